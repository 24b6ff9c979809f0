#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <numeric>
#include <vector>

#include "CodecTestSupport.h"
#include "ImageSource.h"
#include "LosslessJpeg.h"

namespace {

using ImageSource = quill::CodecTest;

std::vector<uint8_t> Counting(size_t size) {
  std::vector<uint8_t> bytes(size);
  std::iota(bytes.begin(), bytes.end(), uint8_t{0});
  return bytes;
}

// Memory and a file read alike: any offset, reads cut at the end, nothing past it.
TEST_F(ImageSource, MemoryAndFileReadTheSameBytesAndStopAtTheEnd) {
  const std::vector<uint8_t> bytes = Counting(10000);
  quill::WriteBytes(Path("data"), bytes);
  quill::TImageSource memory(bytes);
  quill::TImageSource file;
  ASSERT_TRUE(file.OpenFile(Path("data")));
  for (quill::TImageSource* source : {&memory, &file}) {
    EXPECT_EQ(source->Size(), 10000u);
    std::vector<uint8_t> part(6000);
    // Small and large reads, backwards and forwards, across the buffer's edges.
    for (const uint64_t at : {uint64_t{9000}, uint64_t{3}, uint64_t{4095}, uint64_t{0}}) {
      const size_t count = source->Read(at, part);
      ASSERT_EQ(count, std::min<size_t>(6000, 10000 - at)) << at;
      EXPECT_TRUE(std::equal(part.begin(), part.begin() + static_cast<std::ptrdiff_t>(count),
                             bytes.begin() + static_cast<std::ptrdiff_t>(at)));
    }
    uint8_t one[2];
    EXPECT_EQ(source->Read(10000, one), 0u);
    EXPECT_EQ(source->Read(UINT64_MAX, one), 0u);
    EXPECT_FALSE(source->ReadExactly(9999, one));
  }
  EXPECT_EQ(memory.Memory().size(), 10000u);
  EXPECT_TRUE(file.Memory().empty());
  quill::TImageSource none;
  EXPECT_FALSE(none.OpenFile(Path("missing")));
  EXPECT_FALSE(none.OpenFile(folder_));
  EXPECT_EQ(none.Size(), 0u);
}

TEST_F(ImageSource, TheReadLimitEndsReadingAsTheDataWouldEnd) {
  const std::vector<uint8_t> bytes = Counting(100000);
  quill::WriteBytes(Path("data"), bytes);
  quill::TImageSource file;
  ASSERT_TRUE(file.OpenFile(Path("data")));
  file.SetReadLimit(50000);
  std::vector<uint8_t> part(30000);
  EXPECT_EQ(file.Read(0, part), 30000u);
  EXPECT_EQ(file.Read(60000, part), 20000u);  // what is left of the limit
  EXPECT_EQ(file.Read(0, part), 0u);
  EXPECT_EQ(file.BytesRead(), 50000u);
  // A limited memory source is read through Read too, and counted alike.
  quill::TImageSource memory(bytes);
  memory.SetReadLimit(10);
  EXPECT_TRUE(memory.Memory().empty());
  EXPECT_EQ(memory.Read(0, part), 10u);
}

TEST_F(ImageSource, AnOverlayReplacesTheFirstBytesOfEveryRead) {
  const std::vector<uint8_t> bytes = Counting(64);
  quill::TImageSource source(bytes);
  const uint8_t overlay[4] = {0xAA, 0xBB, 0xCC, 0xDD};
  source.Overlay(overlay);
  EXPECT_TRUE(source.Memory().empty());
  uint8_t part[6];
  ASSERT_EQ(source.Read(2, part), 6u);
  EXPECT_EQ(std::vector<uint8_t>(part, part + 6), (std::vector<uint8_t>{0xCC, 0xDD, 4, 5, 6, 7}));
  std::vector<uint8_t> all;
  ASSERT_TRUE(source.ReadAll(all));
  EXPECT_EQ(all[0], 0xAA);
  EXPECT_EQ(all[4], 4);
}

// The lossless reader keeps a JPEG's bytes up to its end: whatever follows in the file
// (a camera's appended data, or zeros up to gigabytes) is never read.
TEST_F(ImageSource, TheLosslessReaderKeepsTheJpegUpToItsEnd) {
  TZelLTBitmap picture;
  quill::MakePicture(picture, 96, 64);
  quill::WriteLibJpeg(Path("photo.jpg"), picture.GetPixels(), 2, 2, false);
  const std::vector<uint8_t> jpeg = quill::FileBytes(Path("photo.jpg"));
  quill::WriteBytes(Path("padded.jpg"), jpeg);
  ASSERT_EQ(::truncate(Path("padded.jpg").c_str(), off_t{4} << 30), 0);

  quill::TImageSource source;
  ASSERT_TRUE(source.OpenFile(Path("padded.jpg")));
  TZelLTBitmap image;
  const auto target = [&image](int32_t width, int32_t height, int32_t& stride) -> uint8_t* {
    if (!image.SetSize(width, height, quill::kPixelFormat24)) return nullptr;
    stride = image.GetPixels().Stride();
    return image.GetPixels().Bits();
  };
  quill::TLosslessJpeg lossless;
  ASSERT_TRUE(lossless.LoadFromSource(source, target));
  EXPECT_LT(source.BytesRead(), uint64_t{1} << 20);
  // An unedited save gives the file back as it was, without the padding.
  lossless.SetPixels(image.GetPixels().Bits(), image.GetPixels().Stride());
  std::vector<uint8_t> saved;
  ASSERT_TRUE(lossless.SaveToMemory(saved, {}));
  quill::TLosslessJpeg clean;
  ASSERT_TRUE(clean.LoadFromMemory(jpeg));
  clean.SetPixels(image.GetPixels().Bits(), image.GetPixels().Stride());
  std::vector<uint8_t> cleanSaved;
  ASSERT_TRUE(clean.SaveToMemory(cleanSaved, {}));
  EXPECT_EQ(saved, cleanSaved);
}

}  // namespace
