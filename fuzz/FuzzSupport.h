// What the fuzz targets share. Each target in fuzz/targets/ defines the libFuzzer
// entry point LLVMFuzzerTestOneInput; the same source is linked into the libFuzzer
// executable (clang build, QUILL_FUZZ) and into a replay driver that CTest runs over the
// stored inputs in every build, so fuzzing and replaying run the same code.
//
// An entry function feeds one input to the code under test and then checks what that
// code promises (a decode that succeeds gives an image of the size its header gave, a
// file we wrote reads back). A broken promise calls Fail, which aborts: the fuzzer keeps
// the input as a crash, the replay test fails.
//
// Entry functions run in one process one after another, on the main thread.

#ifndef QUILL_FUZZ_FUZZSUPPORT_H_
#define QUILL_FUZZ_FUZZSUPPORT_H_

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string_view>

#include "ImageCodecsPrivate.h"

namespace quill::fuzz {

// Images above this many pixels are only checked up to their header: decoding them
// costs seconds (a few bytes can claim 65535 x 4096 pixels) and reaches no code that a
// smaller image does not.
constexpr int64_t kMaxDecodedPixels = int64_t{1} << 20;
// Decoded images up to this many pixels are also encoded in every format and read back.
constexpr int64_t kMaxRoundTripPixels = int64_t{1} << 16;

// Reports a broken promise of the code under test on stderr and aborts.
[[noreturn]] void Fail(std::string_view what);
inline void Check(bool condition, std::string_view what) {
  if (!condition) Fail(what);
}

// An input read from its front: control bytes first, the rest passed on whole.
class TFuzzInput {
 public:
  TFuzzInput(const uint8_t* data, size_t size) : FData(data, size) {}
  // The next byte; 0 once the input is used up.
  uint8_t Byte();
  // The bytes not taken yet.
  std::span<const uint8_t> Rest() const { return FData; }

 private:
  std::span<const uint8_t> FData;
};

// This process's scratch folder, made at the first call (under $TMPDIR) and removed
// when the process exits normally.
const std::filesystem::path& ScratchFolder();
// Writes Data to the file Name in the scratch folder, replacing it; returns its path.
std::filesystem::path WriteScratchFile(std::string_view name, std::span<const uint8_t> data);

// The process's QApplication on the offscreen platform, made at the first call and
// destroyed at exit. Objects that need it and live until exit are made after it, in
// function-local statics, so that they are destroyed before it.
void EnsureQtApplication();

// Whether A and B hold the same pixels at the same size and format (rows compared up
// to their width; the padding at their ends may differ).
bool SamePixels(const TZelPixels& a, const TZelPixels& b);

// The decoder of one format (DecodeJpeg, DecodePng, ...).
using TDecoder = bool (*)(TImageSource&, TDecodeRequest&);

// Runs Decoder on Data for the header alone, then, within kMaxDecodedPixels, for the
// pixels (into an image, into a thumbnail, and with ScaleDenominators 2, 4 and 8 when
// Scaled), and checks that the answers agree: sizes, metadata, a thumbnail whenever
// the image decodes.
void CheckDecoder(std::span<const uint8_t> data, TDecoder decoder, bool scaled);

}  // namespace quill::fuzz

#endif  // QUILL_FUZZ_FUZZSUPPORT_H_
