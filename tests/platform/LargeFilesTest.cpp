// Files that are large on disk or on paper, as the open dialog meets them: a 40 GB
// sparse file, a PNG whose pixels fill hundreds of megabytes, JPEGs whose header
// promises far more than their bytes hold, and entry points that run out of memory.
// Memory is measured from outside the code under test: the process's peak resident
// size (reset through /proc/self/clear_refs), or an address-space limit in a child.

#include <gtest/gtest.h>
#include <png.h>

#include <unistd.h>

#include <QImage>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>

#include "CodecTestSupport.h"
#include "ImageCodecs.h"
#include "LosslessJpeg.h"

namespace {

namespace fs = std::filesystem;

using LargeFiles = quill::CodecTest;

using quill::kSanitized;
using quill::StatusKiB;
using quill::ExpectWithMemoryLimit;

// How far Work raises the process's peak resident size, in MiB; -1 when the peak
// cannot be reset.
int64_t PeakGrowthMiB(const std::function<void()>& work) {
  {
    std::ofstream reset("/proc/self/clear_refs");
    reset << "5";
    if (!reset) return -1;
  }
  const int64_t before = StatusKiB("VmHWM");
  work();
  return (StatusKiB("VmHWM") - before) / 1024;
}

// A Side x Side RGB PNG whose rows repeat a gradient (filter "up" over zeros): Side^2 x 3
// bytes of pixels in a file of a thousandth of that.
void WriteHugePng(const fs::path& fileName, uint32_t side) {
  FILE* file = std::fopen(fileName.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_init_io(png, file);
  png_set_IHDR(png, info, side, side, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_set_filter(png, 0, PNG_FILTER_UP);
  png_write_info(png, info);
  std::vector<png_byte> row(size_t{3} * side);
  for (uint32_t x = 0; x < side; ++x) {
    row[3 * x] = static_cast<png_byte>(x * 256 / side);
    row[3 * x + 1] = 100;
    row[3 * x + 2] = static_cast<png_byte>(255 - x * 256 / side);
  }
  for (uint32_t y = 0; y < side; ++y) png_write_row(png, row.data());
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  std::fclose(file);
}

// A JPEG of 64 x 64 pixels whose frame header claims Side x Side: its bytes hold a
// sliver of the blocks it promises, as a download cut short does.
std::vector<uint8_t> ShortJpeg(const fs::path& folder, bool progressive, uint16_t side) {
  TZelLTBitmap picture;
  quill::MakePicture(picture, 64, 64);
  quill::WriteLibJpeg(folder / "small.jpg", picture.GetPixels(), 2, 2, progressive);
  std::vector<uint8_t> jpeg = quill::FileBytes(folder / "small.jpg");
  const uint8_t frame = progressive ? 0xC2 : 0xC0;
  for (size_t i = 2; i + 9 < jpeg.size(); ++i) {
    if (jpeg[i] == 0xFF && jpeg[i + 1] == frame) {
      jpeg[i + 5] = jpeg[i + 7] = static_cast<uint8_t>(side >> 8);
      jpeg[i + 6] = jpeg[i + 8] = static_cast<uint8_t>(side);
      return jpeg;
    }
  }
  ADD_FAILURE() << "no frame header";
  return jpeg;
}

// A small TIFF with a camera's items, then zeros up to Size bytes: a hole of the file
// system, no disk.
void WriteSparseTiff(const fs::path& fileName, uint64_t size) {
  TZelLTBitmap picture;
  quill::MakePicture(picture, 60, 40);
  quill::TImageMetadata metadata;
  metadata.Items = quill::SampleProperties();
  ASSERT_TRUE(quill::SaveImageFile(fileName, picture.GetPixels(), "image/tiff", -1, metadata));
  ASSERT_EQ(::truncate(fileName.c_str(), static_cast<off_t>(size)), 0);
}

TEST_F(LargeFiles, A40GigabyteSparseFileIsDescribedAndPreviewedFromItsHeader) {
  WriteSparseTiff(Path("sparse.tif"), uint64_t{40} << 30);
  quill::TImageFileInfo info;
  QImage thumbnail;
  const int64_t growth = PeakGrowthMiB([&] {
    EXPECT_NO_THROW(EXPECT_TRUE(quill::ReadImageFileInfo(Path("sparse.tif"), info)));
    EXPECT_NO_THROW(EXPECT_TRUE(quill::MakeThumbnail(Path("sparse.tif"), 120, 120, thumbnail)));
  });
  EXPECT_EQ(info.Format, quill::TImageRawFormat::Tiff);
  EXPECT_EQ(info.Width, 60);
  EXPECT_EQ(info.Height, 40);
  EXPECT_EQ(info.Make, "Quillmere Optics");
  EXPECT_EQ(thumbnail.size(), QSize(120, 80));
  if (!kSanitized && growth >= 0) { EXPECT_LT(growth, 16); }

  // The description reads the header only, whatever follows it.
  quill::TImageSource source;
  ASSERT_TRUE(source.OpenFile(Path("sparse.tif")));
  source.SetReadLimit(quill::kHeaderReadLimit);
  ASSERT_TRUE(quill::ReadImageFileInfo(source, info));
  EXPECT_LE(source.BytesRead(), uint64_t{64} << 10);

  // A JPEG and a PNG followed by 2 GB of zeros are described the same way.
  TZelLTBitmap picture;
  quill::MakePicture(picture, 50, 30);
  for (const char* mime : {"image/jpeg", "image/png"}) {
    SCOPED_TRACE(mime);
    ASSERT_TRUE(quill::SaveImageFile(Path("padded"), picture.GetPixels(), mime, 90, {}));
    ASSERT_EQ(::truncate(Path("padded").c_str(), off_t{2} << 30), 0);
    quill::TImageSource padded;
    ASSERT_TRUE(padded.OpenFile(Path("padded")));
    padded.SetReadLimit(quill::kHeaderReadLimit);
    EXPECT_NO_THROW(EXPECT_TRUE(quill::ReadImageFileInfo(padded, info)));
    EXPECT_EQ(info.Width, 50);
    EXPECT_LE(padded.BytesRead(), uint64_t{64} << 10);
  }
}

TEST_F(LargeFiles, TheDescriptionSkipsLargeSegmentsItDoesNotShow) {
  // A 3 MB colour profile sits between the Exif segment and the frame header.
  TZelLTBitmap picture;
  quill::MakePicture(picture, 80, 60);
  quill::TImageMetadata metadata;
  metadata.Items = quill::SampleProperties();
  metadata.Items.push_back({quill::kPropertyIccProfile, quill::kTiffUndefined,
                            quill::MakeIccProfile("big", "RGB ", size_t{3} << 20)});
  ASSERT_TRUE(quill::SaveImageFile(Path("profiled.jpg"), picture.GetPixels(), "image/jpeg", 90, metadata));
  quill::TImageSource source;
  ASSERT_TRUE(source.OpenFile(Path("profiled.jpg")));
  source.SetReadLimit(quill::kHeaderReadLimit);
  quill::TImageFileInfo info;
  ASSERT_TRUE(quill::ReadImageFileInfo(source, info));
  EXPECT_EQ(info.Width, 80);
  EXPECT_EQ(info.Model, "QM-1");
  EXPECT_EQ(info.DateTime, "2024:05:06 07:08:09");
  EXPECT_LE(source.BytesRead(), uint64_t{256} << 10);

  // A header that does not end within the limit gives no description, and no more
  // than the limit is read.
  std::vector<uint8_t> endless = {0xFF, 0xD8};
  for (int i = 0; i < 40; ++i) {
    endless.insert(endless.end(), {0xFF, 0xE1, 0xFF, 0xFF, 'E', 'x', 'i', 'f', 0, 0});
    endless.resize(endless.size() + 0xFFFF - 8, 0);
  }
  quill::WriteBytes(Path("endless.jpg"), endless);
  quill::TImageSource limited;
  ASSERT_TRUE(limited.OpenFile(Path("endless.jpg")));
  limited.SetReadLimit(quill::kHeaderReadLimit);
  EXPECT_FALSE(quill::ReadImageFileInfo(limited, info));
  EXPECT_LE(limited.BytesRead(), quill::kHeaderReadLimit);
}

TEST_F(LargeFiles, AThumbnailOfAHugePngNeverHoldsThePicture) {
  constexpr uint32_t kSide = 8192;  // 192 MiB of pixels
  WriteHugePng(Path("huge.png"), kSide);
  QImage thumbnail;
  const int64_t growth = PeakGrowthMiB([&] { ASSERT_TRUE(quill::MakeThumbnail(Path("huge.png"), 200, 150, thumbnail)); });
  ASSERT_EQ(thumbnail.size(), QSize(150, 150));
  if (!kSanitized && growth >= 0) { EXPECT_LT(growth, 32) << "MiB for a thumbnail"; }
  // Each thumbnail pixel is the mean of the 54 or 55 columns under it: red climbs from
  // 0 to 255 across the picture, blue falls, green stays.
  const QImage rgb = thumbnail.convertToFormat(QImage::Format_RGB32);
  EXPECT_NEAR(qRed(rgb.pixel(0, 75)), 0, 1);
  EXPECT_NEAR(qRed(rgb.pixel(75, 10)), 128, 1);
  EXPECT_NEAR(qRed(rgb.pixel(149, 0)), 255, 1);
  EXPECT_NEAR(qBlue(rgb.pixel(0, 149)), 255, 1);
  EXPECT_EQ(qGreen(rgb.pixel(75, 149)), 100);
}

// Picture as an interlaced (Adam7) PNG.
void WriteInterlacedPng(const fs::path& fileName, const TZelPixels& picture) {
  FILE* file = std::fopen(fileName.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_init_io(png, file);
  png_set_IHDR(png, info, static_cast<png_uint_32>(picture.Width()), static_cast<png_uint_32>(picture.Height()), 8,
               PNG_COLOR_TYPE_RGB, PNG_INTERLACE_ADAM7, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  png_set_bgr(png);
  std::vector<png_bytep> rows;
  for (int32_t y = 0; y < picture.Height(); ++y) rows.push_back(picture.GetScanLine(0, y));
  png_write_image(png, rows.data());
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  std::fclose(file);
}

TEST_F(LargeFiles, AThumbnailIsTheAreaMeanOfThePictureWhateverTheFileLayout) {
  TZelLTBitmap picture;
  quill::MakePicture(picture, 37, 23);
  const TZelPixels& pixels = picture.GetPixels();
  ASSERT_TRUE(quill::SaveImageFile(Path("plain.png"), pixels, "image/png", -1, {}));
  WriteInterlacedPng(Path("interlaced.png"), pixels);
  ASSERT_TRUE(quill::SaveImageFile(Path("bottom-up.bmp"), pixels, "image/bmp", -1, {}));
  ASSERT_TRUE(quill::SaveImageFile(Path("strips.tif"), pixels, "image/tiff", -1, {}));
  // The box takes 10 x 6 of the picture's 37 x 23: each thumbnail pixel is the mean of
  // the pixels whose column x and row y fall in it (x * 10 / 37, y * 6 / 23).
  QImage expected(10, 6, QImage::Format_BGR888);
  for (int cy = 0; cy < 6; ++cy) {
    for (int cx = 0; cx < 10; ++cx) {
      int64_t sum[3] = {}, count = 0;
      for (int y = 0; y < 23; ++y) {
        for (int x = 0; x < 37; ++x) {
          if (x * 10 / 37 != cx || y * 6 / 23 != cy) continue;
          for (int c = 0; c < 3; ++c) sum[c] += pixels.GetPixelAddress(x, y)[c];
          ++count;
        }
      }
      for (int c = 0; c < 3; ++c) expected.scanLine(cy)[3 * cx + c] = static_cast<uint8_t>((sum[c] + count / 2) / count);
    }
  }
  for (const char* name : {"plain.png", "interlaced.png", "bottom-up.bmp", "strips.tif"}) {
    SCOPED_TRACE(name);
    QImage thumbnail;
    ASSERT_TRUE(quill::MakeThumbnail(Path(name), 10, 10, thumbnail));
    EXPECT_EQ(thumbnail.convertToFormat(QImage::Format_BGR888), expected);
  }
}

TEST_F(LargeFiles, AJpegTooShortForItsBlocksIsRefusedBeforeItsPixelsAreAllocated) {
  for (const bool progressive : {true, false}) {
    SCOPED_TRACE(progressive ? "progressive" : "sequential");
    const std::vector<uint8_t> jpeg = ShortJpeg(folder_, progressive, 16000);
    quill::WriteBytes(Path("short.jpg"), jpeg);
    TZelLTBitmap image;
    quill::TImageRawFormat format;
    quill::TImageMetadata metadata;
    QImage thumbnail;
    quill::TLosslessJpeg lossless;
    const int64_t growth = PeakGrowthMiB([&] {
      EXPECT_FALSE(quill::LoadImageFile(Path("short.jpg"), image, format, metadata));
      EXPECT_FALSE(quill::MakeThumbnail(Path("short.jpg"), 200, 200, thumbnail));
      EXPECT_FALSE(lossless.LoadFromFile(Path("short.jpg")));
    });
    if (!kSanitized && growth >= 0) { EXPECT_LT(growth, 16) << "MiB for a refused file"; }
    // Its header is whole: the dialog still says what it claims.
    quill::TImageFileInfo info;
    ASSERT_TRUE(quill::ReadImageFileInfo(Path("short.jpg"), info));
    EXPECT_EQ(info.Width, 16000);
  }
}

TEST_F(LargeFiles, EveryEntryPointAnswersFalseWhenMemoryRunsOut) {
  if (kSanitized) GTEST_SKIP() << "an address-space limit stops the sanitizer itself";
  // A 9 MiB picture, and files that hold it, made before the limit is set.
  TZelLTBitmap picture;
  quill::MakePicture(picture, 2000, 1500);
  std::vector<uint8_t> jpeg;
  ASSERT_TRUE(quill::EncodeImage(picture.GetPixels(), "image/jpeg", 90, {}, jpeg));
  quill::WriteBytes(Path("photo.jpg"), jpeg);
  ASSERT_TRUE(quill::SaveImageFile(Path("photo.bmp"), picture.GetPixels(), "image/bmp", -1, {}));
  WriteSparseTiff(Path("sparse.tif"), uint64_t{40} << 30);

  std::vector<uint8_t> output;
  std::vector<uint8_t> data;
  TZelLTBitmap image;
  quill::TImageRawFormat format;
  quill::TImageMetadata metadata;
  quill::TLosslessJpeg lossless;
  QImage thumbnail;
  // Each call needs more than 4 MiB beyond what is there, and answers false.
  ExpectWithMemoryLimit(__LINE__, 4, [&] { return !quill::EncodeImage(picture.GetPixels(), "image/bmp", -1, {}, output); });
  ExpectWithMemoryLimit(__LINE__, 4, [&] { return !quill::ReadFileBytes(Path("photo.bmp"), data); });
  ExpectWithMemoryLimit(__LINE__, 4, [&] { return !quill::LoadImageFile(Path("photo.jpg"), image, format, metadata); });
  ExpectWithMemoryLimit(__LINE__, 4, [&] { return !quill::DecodeImage(jpeg, image, format, metadata); });
  ExpectWithMemoryLimit(__LINE__, 4, [&] { return !lossless.LoadFromFile(Path("photo.jpg")); });
  // What the open dialog asks of any file still works within that room.
  ExpectWithMemoryLimit(__LINE__, 4, [&] { return quill::MakeThumbnail(Path("photo.bmp"), 200, 200, thumbnail); });
  ExpectWithMemoryLimit(__LINE__, 4, [&] { return quill::MakeThumbnail(Path("photo.jpg"), 200, 200, thumbnail); });
  quill::TImageFileInfo info;
  ExpectWithMemoryLimit(__LINE__, 4, [&] { return quill::ReadImageFileInfo(Path("sparse.tif"), info); });
  ExpectWithMemoryLimit(__LINE__, 4, [&] { return quill::MakeThumbnail(Path("sparse.tif"), 200, 200, thumbnail); });
}

}  // namespace
