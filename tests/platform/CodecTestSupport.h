// Shared by the codec tests: a scratch folder per test, synthetic photographs, JPEG
// coefficients read with libjpeg, and the command-line checking tools.

#ifndef QUILL_TESTS_PLATFORM_CODECTESTSUPPORT_H_
#define QUILL_TESTS_PLATFORM_CODECTESTSUPPORT_H_

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "ImageProperties.h"
#include "ZelLTBitmap.h"

namespace quill {

class CodecTest : public testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  std::filesystem::path Path(const std::string& name) const { return folder_ / name; }

  std::filesystem::path folder_;
};

// A smooth colour picture with some detail: gradients and a few edges, so JPEG
// round trips behave as on photographs.
void MakePicture(TZelLTBitmap& image, int32_t width, int32_t height);

// Mean absolute difference per byte between two images of the same size; 255 when the
// sizes differ.
double MeanDifference(const TZelPixels& a, const TZelPixels& b);
bool SamePixels(const TZelPixels& a, const TZelPixels& b);

// Every DCT coefficient of a JPEG file, component by component, block rows in order;
// empty when it does not decode.
struct TJpegCoefficients {
  int Width = 0;
  int Height = 0;
  std::vector<int> BlocksAcross;  // per component
  std::vector<std::vector<int16_t>> Components;
  // The quantisation table of each component, in natural order.
  std::vector<std::array<uint16_t, 64>> Tables;
};
TJpegCoefficients ReadCoefficients(const std::filesystem::path& fileName);

// Rewrites the JPEG From into To with its coefficients unchanged, except that table 0
// gets Quantisers (natural-order position, value; a value above 255 makes the table
// 16-bit) and its components' coefficients at those positions become 0.
void RequantiseJpeg(const std::filesystem::path& from, const std::filesystem::path& to,
                    const std::vector<std::pair<int, uint16_t>>& quantisers);

// Writes a JPEG of Image with libjpeg directly: quality 90, the given luma sampling,
// progressive or not.
void WriteLibJpeg(const std::filesystem::path& fileName, const TZelPixels& image, int hSampling, int vSampling,
                  bool progressive, bool grey = false);

// Items of every kind the EXIF tests check: make, model, date, orientation in IFD0,
// a maker note and the original date in EXIF, latitude in GPS, an interoperability
// index (whose tag number collides with GPS's), and thumbnail items.
TImagePropertyList SampleProperties();

// A small valid ICC profile (version 2, a monitor's) for data of ColourSpace ("RGB ",
// "GRAY"), whose description is Description; Padding bytes of a private tag make it as
// large as a test needs.
std::vector<uint8_t> MakeIccProfile(const std::string& description, const char (&colourSpace)[5] = "RGB ",
                                    size_t padding = 0);

// Whether a program is on the PATH.
bool HaveTool(const std::string& name);
// Runs a shell command; its exit status, its standard output in Output.
int RunCommand(const std::string& command, std::string* output = nullptr);

// While it lives, no file of the process may grow beyond Bytes (RLIMIT_FSIZE), as on a
// nearly full file system: a write past it fails with EFBIG, for SIGXFSZ is ignored.
// The old limit and the signal's old action come back when it goes.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(uint64_t bytes);
  ~FileSizeLimit();
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  uint64_t oldCurrent_;
  uint64_t oldMaximum_;
  void (*oldAction_)(int);
};

// The sanitizers reserve address space of their own and keep freed memory aside:
// memory measurements and address-space limits do not apply there.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

// A field of /proc/self/status in KiB; -1 when missing.
int64_t StatusKiB(const std::string& field);

// Work in a child process whose address space may grow by at most Headroom MiB: the
// child exits 0 when Work returns true, 1 when false; a crash or an uncaught exception
// ends it otherwise. The child starts the test again up to this point (gtest's
// "threadsafe" death tests: a fork beside Qt's threads can hang), so what the test did
// before is done there too.
void ExpectWithMemoryLimit(int line, int64_t headroomMiB, const std::function<bool()>& work);

// The Orientation item (1..8) of an image file, a .zli read as the JPEG it holds; 0
// when it has none or does not read.
int ReadOrientation(const std::filesystem::path& fileName);

std::vector<uint8_t> FileBytes(const std::filesystem::path& fileName);
void WriteBytes(const std::filesystem::path& fileName, const std::vector<uint8_t>& bytes);

}  // namespace quill

#endif  // QUILL_TESTS_PLATFORM_CODECTESTSUPPORT_H_
