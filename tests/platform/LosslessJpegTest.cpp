#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <functional>

#include "CodecTestSupport.h"
#include "ImageCodecs.h"
#include "JpegSupport.h"
#include "LosslessJpeg.h"
#include "TiffStructure.h"

namespace {

namespace fs = std::filesystem;

using LosslessJpeg = quill::CodecTest;

// Loads File and decodes it into Image, as the document does after a load.
void LoadInto(quill::TLosslessJpeg& jpeg, const fs::path& file, TZelLTBitmap& image) {
  ASSERT_TRUE(jpeg.LoadFromFile(file));
  ASSERT_TRUE(image.SetSize(jpeg.GetWidth(), jpeg.GetHeight(), quill::kPixelFormat24));
  ASSERT_TRUE(jpeg.Decode(image.GetPixels().Bits(), image.GetPixels().Stride()));
}

bool SaveFrom(quill::TLosslessJpeg& jpeg, TZelLTBitmap& image, const fs::path& file) {
  jpeg.SetPixels(image.GetPixels().Bits(), image.GetPixels().Stride());
  const bool saved = jpeg.Save(file, {});
  jpeg.EndSave();
  return saved;
}

// As the document loads: File decoded straight into Image, whose copy Original keeps
// the picture as loaded; the object holds no pixels.
void LoadAsDocument(quill::TLosslessJpeg& jpeg, const fs::path& file, TZelLTBitmap& image, TZelLTBitmap& original) {
  const auto target = [&image](int32_t width, int32_t height, int32_t& stride) -> uint8_t* {
    if (!image.SetSize(width, height, quill::kPixelFormat24)) return nullptr;
    stride = image.GetPixels().Stride();
    return image.GetPixels().Bits();
  };
  ASSERT_TRUE(jpeg.LoadFromMemory(quill::FileBytes(file), target));
  ASSERT_TRUE(original.AssignPixels(image.GetPixels()));
}

// As the document saves: Image written, compared with the caller's copy Original.
bool SaveAsDocument(quill::TLosslessJpeg& jpeg, TZelLTBitmap& image, TZelLTBitmap& original,
                    std::vector<uint8_t>& output) {
  jpeg.SetPixels(image.GetPixels().Bits(), image.GetPixels().Stride());
  jpeg.SetReference(original.GetPixels().Bits(), original.GetPixels().Stride());
  const bool saved = jpeg.SaveToMemory(output, {});
  jpeg.EndSave();
  return saved;
}

// The number of 8 x 8 blocks of component C that differ between A and B.
int DifferentBlocks(const quill::TJpegCoefficients& a, const quill::TJpegCoefficients& b, size_t c) {
  int count = 0;
  for (size_t i = 0; i < a.Components[c].size(); i += 64) {
    if (!std::equal(a.Components[c].begin() + i, a.Components[c].begin() + i + 64, b.Components[c].begin() + i)) ++count;
  }
  return count;
}

// Luma block (X, Y) of a file's coefficients.
std::vector<int16_t> LumaBlock(const quill::TJpegCoefficients& file, int x, int y) {
  const auto at = file.Components[0].begin() + (static_cast<ptrdiff_t>(y) * file.BlocksAcross[0] + x) * 64;
  return {at, at + 64};
}

// Appends Size bytes of Value, most significant first.
void PutBigEndian(std::vector<uint8_t>& out, uint32_t value, int size) {
  for (int i = size - 1; i >= 0; --i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// Puts an Exif segment after the SOI of File: a big-endian TIFF structure (as Nikon
// cameras write) whose IFD0 gives ImageWidth as a SHORT and ImageLength as a LONG, and
// whose EXIF directory gives PixelXDimension as a LONG and PixelYDimension as a SHORT.
void AddExifSize(const fs::path& file, uint32_t width, uint32_t height) {
  std::vector<uint8_t> tiff = {'M', 'M', 0, 42};
  PutBigEndian(tiff, 8, 4);
  const auto entry = [&](uint16_t tag, uint16_t type, uint32_t value) {
    PutBigEndian(tiff, tag, 2);
    PutBigEndian(tiff, type, 2);
    PutBigEndian(tiff, 1, 4);
    PutBigEndian(tiff, type == quill::kTiffShort ? value << 16 : value, 4);
  };
  PutBigEndian(tiff, 3, 2);
  entry(0x0100, quill::kTiffShort, width);
  entry(0x0101, quill::kTiffLong, height);
  entry(0x8769, quill::kTiffLong, 8 + 2 + 3 * 12 + 4);
  PutBigEndian(tiff, 0, 4);
  PutBigEndian(tiff, 2, 2);
  entry(0xA002, quill::kTiffLong, width);
  entry(0xA003, quill::kTiffShort, height);
  PutBigEndian(tiff, 0, 4);
  std::vector<uint8_t> segment = {0xFF, 0xE1};
  PutBigEndian(segment, static_cast<uint32_t>(2 + 6 + tiff.size()), 2);
  segment.insert(segment.end(), {'E', 'x', 'i', 'f', 0, 0});
  segment.insert(segment.end(), tiff.begin(), tiff.end());
  std::vector<uint8_t> bytes = quill::FileBytes(file);
  bytes.insert(bytes.begin() + 2, segment.begin(), segment.end());
  quill::WriteBytes(file, bytes);
}

// ImageWidth, ImageLength, PixelXDimension and PixelYDimension of a JPEG's Exif segment.
std::array<uint32_t, 4> ExifSize(const fs::path& file) {
  std::array<uint32_t, 4> size{};
  const std::vector<uint8_t> bytes = quill::FileBytes(file);
  quill::TJpegDecompressor reader;
  quill::TTiffReader tiff;
  if (!quill::ReadJpegHeader(reader, bytes.data(), bytes.size(), false) || !tiff.Open(quill::JpegExifBody(reader))) return size;
  std::vector<quill::TTiffEntry> entries, exif;
  uint32_t next = 0;
  tiff.ReadDirectory(tiff.FirstDirectory(), entries, next);
  for (const quill::TTiffEntry& e : entries) {
    if (e.Tag == 0x0100) size[0] = e.FirstUnsigned();
    if (e.Tag == 0x0101) size[1] = e.FirstUnsigned();
    if (e.Tag == 0x8769) tiff.ReadDirectory(e.FirstUnsigned(), exif, next);
  }
  for (const quill::TTiffEntry& e : exif) {
    if (e.Tag == 0xA002) size[2] = e.FirstUnsigned();
    if (e.Tag == 0xA003) size[3] = e.FirstUnsigned();
  }
  return size;
}

TEST_F(LosslessJpeg, AnUneditedSaveKeepsEveryCoefficientAndTheSegments) {
  const fs::path source = fs::path(QUILL_TEST_DATA_DIR) / "rocket.jpg";  // 4:4:4, 427 rows: a partial block row
  quill::TLosslessJpeg jpeg;
  TZelLTBitmap image;
  LoadInto(jpeg, source, image);
  EXPECT_EQ(jpeg.GetBlockWidth(), 8);
  TZelLTBitmap plain;
  quill::TImageRawFormat format;
  quill::TImageMetadata metadata;
  ASSERT_TRUE(quill::LoadImageFile(source, plain, format, metadata));
  EXPECT_TRUE(quill::SamePixels(image.GetPixels(), plain.GetPixels()));  // one decoder for both paths

  ASSERT_TRUE(SaveFrom(jpeg, image, Path("same.jpg")));
  const quill::TJpegCoefficients before = quill::ReadCoefficients(source), after = quill::ReadCoefficients(Path("same.jpg"));
  ASSERT_FALSE(after.Components.empty());
  EXPECT_EQ(after.Components, before.Components);
  // The ICC profile (APP2) and the comment were copied.
  const std::vector<uint8_t> saved = quill::FileBytes(Path("same.jpg"));
  const std::string text(saved.begin(), saved.end());
  EXPECT_NE(text.find("ICC_PROFILE"), std::string::npos);
  EXPECT_NE(text.find("cmp3.10.3.2Lq3"), std::string::npos);
}

TEST_F(LosslessJpeg, AnEditReencodesOnlyTheBlocksUnderIt) {
  TZelLTBitmap picture;
  quill::MakePicture(picture, 160, 96);
  quill::WriteLibJpeg(Path("source.jpg"), picture.GetPixels(), 2, 2, false);  // 16 x 16 MCUs
  quill::TLosslessJpeg jpeg;
  TZelLTBitmap image;
  LoadInto(jpeg, Path("source.jpg"), image);
  EXPECT_EQ(jpeg.GetBlockWidth(), 16);
  EXPECT_EQ(jpeg.GetSamplingValue(), 0x00020002u);
  // A 5 x 5 edit inside the MCU at column 2, row 1.
  for (int y = 20; y < 25; ++y) {
    for (int x = 36; x < 41; ++x) std::memset(image.GetPixels().GetPixelAddress(x, y), 255, 3);
  }
  ASSERT_TRUE(SaveFrom(jpeg, image, Path("edited.jpg")));
  const quill::TJpegCoefficients before = quill::ReadCoefficients(Path("source.jpg")), after = quill::ReadCoefficients(Path("edited.jpg"));
  ASSERT_EQ(after.Components.size(), 3u);
  EXPECT_GE(DifferentBlocks(before, after, 0), 1);
  EXPECT_LE(DifferentBlocks(before, after, 0), 4);  // the MCU's four luma blocks at most
  EXPECT_LE(DifferentBlocks(before, after, 1), 1);
  // The luma blocks outside that MCU are untouched.
  for (int row = 0; row < 12; ++row) {
    for (int column = 0; column < 20; ++column) {
      if (row / 2 == 1 && column / 2 == 2) continue;
      const size_t at = static_cast<size_t>(row * 20 + column) * 64;
      EXPECT_TRUE(std::equal(before.Components[0].begin() + at, before.Components[0].begin() + at + 64,
                             after.Components[0].begin() + at));
    }
  }
  TZelLTBitmap back;
  quill::TImageRawFormat format;
  quill::TImageMetadata metadata;
  ASSERT_TRUE(quill::LoadImageFile(Path("edited.jpg"), back, format, metadata));
  EXPECT_GT(back.GetPixels().GetPixelAddress(38, 22)[0], 200);  // the edit is in the file
}

// A save that keeps blocks writes what libjpeg's own optimised transcoding writes for
// the same coefficients and segments: jpegtran -optimize -copy all gives its file back
// byte for byte. Edits in place, a crop at the origin, a turn, grey, and a kept block
// whose zero quantiser became 1.
TEST_F(LosslessJpeg, ASaveThatKeepsBlocksIsWhatLibjpegsOptimisedTranscodingWrites) {
  if (!quill::HaveTool("jpegtran")) GTEST_SKIP() << "jpegtran is not installed";
  TZelLTBitmap picture, whole;
  quill::MakePicture(picture, 100, 72);  // partial MCUs at the right and bottom
  quill::MakePicture(whole, 96, 72);     // whole 4:2:2 MCUs, which a turn keeps on the grid
  quill::WriteLibJpeg(Path("s420.jpg"), picture.GetPixels(), 2, 2, false);
  quill::WriteLibJpeg(Path("s422.jpg"), whole.GetPixels(), 2, 1, false);
  quill::WriteLibJpeg(Path("grey.jpg"), picture.GetPixels(), 1, 1, false, true);
  AddExifSize(Path("s420.jpg"), 100, 72);
  struct TCase {
    const char* Name;
    fs::path Source;
    char Geometry;  // '-' none, 'c' crop at the origin, 'l' a left turn
  };
  const fs::path zero = fs::path(QUILL_TEST_DATA_DIR) / "rocket-zero-quantiser.jpg";
  for (const TCase& test : {TCase{"edit", Path("s420.jpg"), '-'}, TCase{"crop", Path("s420.jpg"), 'c'},
                            TCase{"turn", Path("s422.jpg"), 'l'}, TCase{"grey", Path("grey.jpg"), '-'},
                            TCase{"zero quantiser", zero, '-'}}) {
    SCOPED_TRACE(test.Name);
    quill::TLosslessJpeg jpeg;
    TZelLTBitmap image;
    LoadInto(jpeg, test.Source, image);
    if (test.Geometry == 'c') {
      ASSERT_TRUE(image.Crop({0, 0, 70, 50}));
      jpeg.SetRegion({0, 0, 70, 50});
    } else if (test.Geometry == 'l') {
      ASSERT_TRUE(image.RotateLeft());
      jpeg.RotateLeft();
    }
    for (int y = 9; y < 20; ++y) std::memset(image.GetPixels().GetPixelAddress(20, y), 250, 30);
    ASSERT_TRUE(SaveFrom(jpeg, image, Path("ours.jpg")));
    ASSERT_EQ(quill::RunCommand("jpegtran -optimize -copy all -outfile '" + Path("tool.jpg").string() + "' '" +
                                Path("ours.jpg").string() + "'"),
              0);
    const std::vector<uint8_t> ours = quill::FileBytes(Path("ours.jpg")), tool = quill::FileBytes(Path("tool.jpg"));
    EXPECT_EQ(ours.size(), tool.size());
    EXPECT_EQ(std::mismatch(ours.begin(), ours.end(), tool.begin(), tool.end()).first - ours.begin(),
              static_cast<ptrdiff_t>(ours.size()));  // where the files part
  }
}

// One changed pixel re-encodes the one block under it, wherever it lies: at a row's
// first or last pixel, in the partial blocks of the right and bottom edges, and in a
// region whose origin lies inside the source.
TEST_F(LosslessJpeg, OneChangedPixelReencodesTheBlockUnderItAlone) {
  TZelLTBitmap picture;
  quill::MakePicture(picture, 100, 36);  // 4:4:4 blocks: the last column and row are partial
  quill::WriteLibJpeg(Path("source.jpg"), picture.GetPixels(), 1, 1, false);
  const quill::TJpegCoefficients source = quill::ReadCoefficients(Path("source.jpg"));
  struct TCase {
    int Left, Top;  // the region's origin in the source, on the block grid
    int X, Y;       // the pixel changed, in the region
  };
  for (const TCase& test : {TCase{0, 0, 0, 0}, TCase{0, 0, 99, 35}, TCase{0, 0, 96, 20}, TCase{0, 0, 31, 8},
                            TCase{16, 8, 67, 27}, TCase{16, 8, 0, 13}}) {
    SCOPED_TRACE(testing::Message() << test.Left << "," << test.Top << ": " << test.X << "," << test.Y);
    quill::TLosslessJpeg jpeg;
    TZelLTBitmap image;
    LoadInto(jpeg, Path("source.jpg"), image);
    if (test.Left != 0 || test.Top != 0) {
      const quill::TRect region{test.Left, test.Top, 100, 36};
      ASSERT_TRUE(image.Crop(region));
      jpeg.SetRegion(region);
    }
    uint8_t* pixel = image.GetPixels().GetPixelAddress(test.X, test.Y);
    pixel[0] = pixel[1] = pixel[2] = pixel[1] < 128 ? 255 : 0;
    ASSERT_TRUE(SaveFrom(jpeg, image, Path("edited.jpg")));
    const quill::TJpegCoefficients saved = quill::ReadCoefficients(Path("edited.jpg"));
    ASSERT_FALSE(saved.Components.empty());
    std::vector<std::pair<int, int>> changed;
    for (int y = 0; y < (saved.Height + 7) / 8; ++y) {
      for (int x = 0; x < saved.BlocksAcross[0]; ++x) {
        if (LumaBlock(saved, x, y) != LumaBlock(source, x + test.Left / 8, y + test.Top / 8)) changed.emplace_back(x, y);
      }
    }
    EXPECT_EQ(changed, (std::vector<std::pair<int, int>>{{test.X / 8, test.Y / 8}}));
  }
}

TEST_F(LosslessJpeg, TurnsAndMirrorsMoveCoefficientsWithoutLoss) {
  TZelLTBitmap picture;
  quill::MakePicture(picture, 64, 48);
  quill::WriteLibJpeg(Path("source.jpg"), picture.GetPixels(), 2, 1, false);  // 4:2:2: 16 x 8 MCUs
  const quill::TJpegCoefficients source = quill::ReadCoefficients(Path("source.jpg"));
  quill::TLosslessJpeg jpeg;
  TZelLTBitmap image;
  LoadInto(jpeg, Path("source.jpg"), image);

  // The document turns its pixels and the object alike.
  jpeg.RotateLeft();
  ASSERT_TRUE(image.RotateLeft());
  EXPECT_EQ(jpeg.GetBlockWidth(), 8);
  EXPECT_EQ(jpeg.GetBlockHeight(), 16);
  ASSERT_TRUE(SaveFrom(jpeg, image, Path("left.jpg")));
  const quill::TJpegCoefficients left = quill::ReadCoefficients(Path("left.jpg"));
  EXPECT_EQ(left.Width, 48);
  EXPECT_EQ(left.Height, 64);
  // A turn maps every block onto a block: the coefficient magnitudes are a permutation.
  for (size_t c = 0; c < 3; ++c) {
    std::vector<int> a, b;
    for (int16_t v : source.Components[c]) a.push_back(std::abs(v));
    for (int16_t v : left.Components[c]) b.push_back(std::abs(v));
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    EXPECT_EQ(a, b) << c;
  }
  // Three more turns and two mirrors of each kind bring back the source exactly.
  for (int i = 0; i < 3; ++i) {
    jpeg.RotateLeft();
    ASSERT_TRUE(image.RotateLeft());
  }
  jpeg.FlipHorizontal(), jpeg.FlipVertical(), jpeg.FlipHorizontal(), jpeg.FlipVertical();
  image.FlipHorizontal(), image.FlipVertical(), image.FlipHorizontal(), image.FlipVertical();
  ASSERT_TRUE(SaveFrom(jpeg, image, Path("back.jpg")));
  EXPECT_EQ(quill::ReadCoefficients(Path("back.jpg")).Components, source.Components);

  if (!quill::HaveTool("jpegtran")) GTEST_SKIP() << "jpegtran is not installed";
  jpeg.RotateRight();
  ASSERT_TRUE(image.RotateRight());
  ASSERT_TRUE(SaveFrom(jpeg, image, Path("right.jpg")));
  ASSERT_EQ(quill::RunCommand("jpegtran -rotate 90 -copy all -outfile '" + Path("tool.jpg").string() + "' '" +
                       Path("source.jpg").string() + "'"),
            0);
  EXPECT_EQ(quill::ReadCoefficients(Path("right.jpg")).Components, quill::ReadCoefficients(Path("tool.jpg")).Components);
}

TEST_F(LosslessJpeg, AnAlignedCropKeepsBlocksAndAnUnalignedOneShowsTheDocumentsPicture) {
  TZelLTBitmap picture;
  quill::MakePicture(picture, 96, 64);
  quill::WriteLibJpeg(Path("source.jpg"), picture.GetPixels(), 2, 2, false);
  const quill::TJpegCoefficients source = quill::ReadCoefficients(Path("source.jpg"));
  {
    quill::TLosslessJpeg jpeg;
    TZelLTBitmap image, original;
    LoadAsDocument(jpeg, Path("source.jpg"), image, original);
    ASSERT_TRUE(image.Crop({16, 16, 60, 50}));
    ASSERT_TRUE(original.Crop({16, 16, 60, 50}));
    jpeg.Crop({16, 16, 60, 50});
    std::vector<uint8_t> output;
    ASSERT_TRUE(SaveAsDocument(jpeg, image, original, output));
    quill::WriteBytes(Path("aligned.jpg"), output);
    const quill::TJpegCoefficients cropped = quill::ReadCoefficients(Path("aligned.jpg"));
    ASSERT_EQ(cropped.Width, 44);
    // Luma block (0, 0) of the crop is block (2, 2) of the source.
    EXPECT_TRUE(std::equal(cropped.Components[0].begin(), cropped.Components[0].begin() + 64,
                           source.Components[0].begin() + (2 * 12 + 2) * 64));
  }
  {
    // The document crops at x 13 exactly, the object at the block origin 0: the
    // document's original, cropped alike, no longer lines up with the source's blocks.
    quill::TLosslessJpeg jpeg;
    TZelLTBitmap image, original;
    LoadAsDocument(jpeg, Path("source.jpg"), image, original);
    ASSERT_TRUE(image.Crop({13, 7, 80, 60}));
    ASSERT_TRUE(original.Crop({13, 7, 80, 60}));
    jpeg.Crop({13, 7, 80, 60});
    EXPECT_EQ(jpeg.GetGeometry().Map[2], 0);
    std::vector<uint8_t> output;
    ASSERT_TRUE(SaveAsDocument(jpeg, image, original, output));
    quill::WriteBytes(Path("unaligned.jpg"), output);
    TZelLTBitmap back;
    quill::TImageRawFormat format;
    quill::TImageMetadata metadata;
    ASSERT_TRUE(quill::LoadImageFile(Path("unaligned.jpg"), back, format, metadata));
    EXPECT_LT(quill::MeanDifference(back.GetPixels(), image.GetPixels()), 3.0);  // the document's picture, not shifted
  }
}

TEST_F(LosslessJpeg, AResizedImageIsWrittenFromItsPixels) {
  TZelLTBitmap picture;
  quill::MakePicture(picture, 64, 64);
  quill::WriteLibJpeg(Path("source.jpg"), picture.GetPixels(), 1, 1, false);
  quill::TLosslessJpeg jpeg;
  TZelLTBitmap image, original;
  LoadAsDocument(jpeg, Path("source.jpg"), image, original);
  fs::remove(Path("source.jpg"));  // the object holds the bytes
  // The original, resampled alike, equals the image but no longer shows the source.
  ASSERT_TRUE(image.Resize(100, 90));
  ASSERT_TRUE(original.Resize(100, 90));
  jpeg.Resize(100, 90);
  std::vector<uint8_t> output;
  ASSERT_TRUE(SaveAsDocument(jpeg, image, original, output));
  quill::WriteBytes(Path("larger.jpg"), output);
  TZelLTBitmap back;
  quill::TImageRawFormat format;
  quill::TImageMetadata metadata;
  ASSERT_TRUE(quill::LoadImageFile(Path("larger.jpg"), back, format, metadata));
  EXPECT_EQ(back.GetWidth(), 100);
  EXPECT_LT(quill::MeanDifference(back.GetPixels(), image.GetPixels()), 3.0);
}

// The caller's copy of the decoded picture stands in for decoding the file again: a
// save compares with it and writes the same bytes, after edits, turns, mirrors, regions
// and an undone resize (whose geometry brings the copy's validity back).
TEST_F(LosslessJpeg, TheCallersCopyGivesTheFileThatDecodingAgainGives) {
  TZelLTBitmap picture;
  quill::MakePicture(picture, 100, 60);  // partial 4:2:0 MCUs on both edges
  quill::WriteLibJpeg(Path("source.jpg"), picture.GetPixels(), 2, 2, false);
  using TStep = std::function<void(quill::TLosslessJpeg&, TZelLTBitmap&)>;
  const TStep turn = [](quill::TLosslessJpeg& jpeg, TZelLTBitmap& image) {
    jpeg.RotateLeft();
    ASSERT_TRUE(image.RotateLeft());
  };
  const TStep mirror = [](quill::TLosslessJpeg& jpeg, TZelLTBitmap& image) {
    jpeg.FlipVertical();
    ASSERT_TRUE(image.FlipVertical());
  };
  const TStep region = [](quill::TLosslessJpeg& jpeg, TZelLTBitmap& image) {
    jpeg.SetRegion({16, 8, 56, 72});
    ASSERT_TRUE(image.Crop({16, 8, 56, 72}));
  };
  struct TCase {
    const char* Name;
    std::vector<TStep> Steps;
  };
  const std::vector<TCase> cases = {
      {"none", {}}, {"turn", {turn}}, {"mirror", {mirror}}, {"turn, mirror, region", {turn, mirror, region}}};
  for (const TCase& c : cases) {
    for (const bool edit : {false, true}) {
      SCOPED_TRACE(std::string(c.Name) + (edit ? ", edited" : ""));
      quill::TLosslessJpeg jpeg;
      TZelLTBitmap image, original;
      LoadAsDocument(jpeg, Path("source.jpg"), image, original);
      for (const TStep& step : c.Steps) {
        step(jpeg, image);
        quill::TLosslessJpeg ignored;
        step(ignored, original);
      }
      if (edit) std::memset(image.GetPixels().GetPixelAddress(20, 10), 255, 30);
      std::vector<uint8_t> compared, decoded;
      ASSERT_TRUE(SaveAsDocument(jpeg, image, original, compared));
      jpeg.SetPixels(image.GetPixels().Bits(), image.GetPixels().Stride());
      ASSERT_TRUE(jpeg.SaveToMemory(decoded, {}));
      jpeg.EndSave();
      EXPECT_EQ(compared, decoded);
    }
  }

  // A resize ends the copy's validity, and putting back the geometry before it (an
  // undo, with the copy as it was) restores it: the save keeps every block again.
  quill::TLosslessJpeg jpeg;
  TZelLTBitmap image, original;
  LoadAsDocument(jpeg, Path("source.jpg"), image, original);
  const quill::TLosslessJpeg::TGeometry before = jpeg.GetGeometry();
  EXPECT_TRUE(before.ReferenceFollows);
  jpeg.Resize(50, 30);
  EXPECT_FALSE(jpeg.GetGeometry().ReferenceFollows);
  jpeg.SetGeometry(before);
  std::vector<uint8_t> output;
  ASSERT_TRUE(SaveAsDocument(jpeg, image, original, output));
  quill::WriteBytes(Path("undone.jpg"), output);
  EXPECT_EQ(quill::ReadCoefficients(Path("undone.jpg")).Components, quill::ReadCoefficients(Path("source.jpg")).Components);
}

TEST_F(LosslessJpeg, BlocksThatStayOnTheGridAfterATurnOrMirrorAreKept) {
  // 4:2:0 with 40 rows: the luma blocks fill whole rows of blocks, the MCUs do not. A
  // clockwise turn brings the partial MCU row to the left edge, a vertical mirror to
  // the top: no MCU lines up any more, every luma block still does.
  TZelLTBitmap picture;
  quill::MakePicture(picture, 64, 40);
  quill::WriteLibJpeg(Path("source.jpg"), picture.GetPixels(), 2, 2, false);
  AddExifSize(Path("source.jpg"), 64, 40);
  struct TCase {
    const char* Option;
    bool Turn;
    int Across, Down;  // where jpegtran's trimmed luma block (0, 0) lies in ours
  };
  for (const TCase& test : {TCase{"-rotate 90", true, 1, 0}, TCase{"-flip vertical", false, 0, 1}}) {
    SCOPED_TRACE(test.Option);
    quill::TLosslessJpeg jpeg;
    TZelLTBitmap image;
    LoadInto(jpeg, Path("source.jpg"), image);
    if (test.Turn) {
      jpeg.RotateRight();
      ASSERT_TRUE(image.RotateRight());
    } else {
      jpeg.FlipVertical();
      ASSERT_TRUE(image.FlipVertical());
    }
    ASSERT_TRUE(SaveFrom(jpeg, image, Path("ours.jpg")));
    TZelLTBitmap back;
    quill::TImageRawFormat format;
    quill::TImageMetadata metadata;
    ASSERT_TRUE(quill::LoadImageFile(Path("ours.jpg"), back, format, metadata));
    EXPECT_LT(quill::MeanDifference(back.GetPixels(), image.GetPixels()), 3.0);
    // The Exif segment gives the saved size, in the file's byte order and types.
    const uint32_t width = test.Turn ? 40 : 64, height = test.Turn ? 64 : 40;
    EXPECT_EQ(ExifSize(Path("ours.jpg")), (std::array<uint32_t, 4>{width, height, width, height}));
    // After a crop too.
    ASSERT_TRUE(image.Crop({16, 16, 40, 40}));
    jpeg.SetRegion({16, 16, 40, 40});
    ASSERT_TRUE(SaveFrom(jpeg, image, Path("cropped.jpg")));
    EXPECT_EQ(ExifSize(Path("cropped.jpg")), (std::array<uint32_t, 4>{24, 24, 24, 24}));

    if (!quill::HaveTool("jpegtran")) GTEST_SKIP() << "jpegtran is not installed";
    ASSERT_EQ(quill::RunCommand(std::string("jpegtran -trim ") + test.Option + " -outfile '" + Path("tool.jpg").string() +
                         "' '" + Path("source.jpg").string() + "'"),
              0);
    const quill::TJpegCoefficients ours = quill::ReadCoefficients(Path("ours.jpg")), tool = quill::ReadCoefficients(Path("tool.jpg"));
    ASSERT_FALSE(tool.Components.empty());
    for (int y = 0; y < tool.Height / 8; ++y) {
      for (int x = 0; x < tool.Width / 8; ++x) {
        EXPECT_EQ(LumaBlock(ours, x + test.Across, y + test.Down), LumaBlock(tool, x, y)) << x << ", " << y;
      }
    }
  }
}

TEST_F(LosslessJpeg, AZeroQuantiserIsNeverEncodedWith) {
  // Table 0 holds a 0: libjpeg decodes the file but divides by the table when encoding.
  const fs::path source = fs::path(QUILL_TEST_DATA_DIR) / "rocket-zero-quantiser.jpg";
  quill::TLosslessJpeg jpeg;
  TZelLTBitmap image, loaded, back;
  quill::TImageRawFormat format;
  quill::TImageMetadata metadata;
  LoadInto(jpeg, source, image);
  ASSERT_TRUE(quill::LoadImageFile(source, loaded, format, metadata));
  // An edit inside the 4:4:4 block at column 10, row 5 re-encodes that block alone.
  for (int y = 42; y < 46; ++y) std::memset(image.GetPixels().GetPixelAddress(82, y), 255, 12);
  ASSERT_TRUE(SaveFrom(jpeg, image, Path("edited.jpg")));
  ASSERT_TRUE(quill::LoadImageFile(Path("edited.jpg"), back, format, metadata));
  EXPECT_GT(back.GetPixels().GetPixelAddress(83, 43)[0], 200);
  // Every other block decodes to exactly what the source did.
  int changed = 0;
  for (int y = 0; y < back.GetHeight(); ++y) {
    for (int x = 0; x < back.GetWidth(); ++x) {
      if (x / 8 == 10 && y / 8 == 5) continue;
      if (std::memcmp(back.GetPixels().GetPixelAddress(x, y), loaded.GetPixels().GetPixelAddress(x, y), 3) != 0) {
        ++changed;
      }
    }
  }
  EXPECT_EQ(changed, 0);

  // A clockwise turn of its 427 rows moves every block off the grid: all are encoded.
  jpeg.RotateRight();
  ASSERT_TRUE(image.RotateRight());
  ASSERT_TRUE(SaveFrom(jpeg, image, Path("turned.jpg")));
  ASSERT_TRUE(quill::LoadImageFile(Path("turned.jpg"), back, format, metadata));
  EXPECT_LT(quill::MeanDifference(back.GetPixels(), image.GetPixels()), 3.0);
}

// A 16-bit luma table: 32768 is a multiple of 8192, on which libjpeg's forward DCT
// divided by zero, and 8200 one whose divisor it wrapped round to 8. Quantisers that
// large turn every coefficient of an 8-bit block into 0.
TEST_F(LosslessJpeg, SixteenBitQuantisersEncodeAsTheFileDeclares) {
  TZelLTBitmap picture;
  quill::MakePicture(picture, 16, 16);
  quill::WriteLibJpeg(Path("plain.jpg"), picture.GetPixels(), 1, 1, false);
  quill::RequantiseJpeg(Path("plain.jpg"), Path("source.jpg"), {{7, 8200}, {62, 56064}, {63, 32768}});
  const quill::TJpegCoefficients before = quill::ReadCoefficients(Path("source.jpg"));
  ASSERT_EQ(before.Tables.size(), 3u);
  ASSERT_EQ(before.Tables[0][63], 32768);

  quill::TLosslessJpeg jpeg;
  TZelLTBitmap image;
  LoadInto(jpeg, Path("source.jpg"), image);
  // Columns of black and white in the luma block at column 1, row 0: a strong
  // coefficient at horizontal frequency 7.
  for (int y = 0; y < 8; ++y) {
    for (int x = 8; x < 16; ++x) std::memset(image.GetPixels().GetPixelAddress(x, y), x % 2 == 0 ? 0 : 255, 3);
  }
  ASSERT_TRUE(SaveFrom(jpeg, image, Path("edited.jpg")));
  const quill::TJpegCoefficients after = quill::ReadCoefficients(Path("edited.jpg"));
  ASSERT_EQ(after.Components.size(), 3u);
  EXPECT_EQ(after.Tables, before.Tables);
  EXPECT_EQ(DifferentBlocks(before, after, 0), 1);
  const std::vector<int16_t> edited = LumaBlock(after, 1, 0);
  EXPECT_EQ(edited[7], 0);
  EXPECT_EQ(edited[62], 0);
  EXPECT_EQ(edited[63], 0);
  TZelLTBitmap back;
  quill::TImageRawFormat format;
  quill::TImageMetadata metadata;
  ASSERT_TRUE(quill::LoadImageFile(Path("edited.jpg"), back, format, metadata));
  // Without its highest frequencies the block still shows the stripes' mean.
  double sum = 0;
  for (int y = 0; y < 8; ++y) {
    for (int x = 8; x < 16; ++x) sum += back.GetPixels().GetPixelAddress(x, y)[1];
  }
  EXPECT_NEAR(sum / 64, 127.5, 8);

  // A crop off the block grid re-encodes every block, and the file still declares the
  // source's tables.
  jpeg.SetRegion({1, 1, 16, 16});
  ASSERT_TRUE(image.Crop({1, 1, 16, 16}));
  ASSERT_TRUE(SaveFrom(jpeg, image, Path("cropped.jpg")));
  EXPECT_EQ(quill::ReadCoefficients(Path("cropped.jpg")).Tables, before.Tables);
  ASSERT_TRUE(quill::LoadImageFile(Path("cropped.jpg"), back, format, metadata));
  EXPECT_LT(quill::MeanDifference(back.GetPixels(), image.GetPixels()), 40.0);
}

// A progressive grey 8 x 8 JPEG after 80 KB of APP segments, whose one DC coefficient
// (4096) is beyond what an 8-bit encoder may write. libjpeg decodes it, but a save
// that keeps that block, progressive or sequential, stops inside jpeg_finish_compress
// with "DCT coefficient out of range", after the output grew past its first buffer.
std::vector<uint8_t> OutOfRangeJpeg() {
  std::vector<uint8_t> file = {0xFF, 0xD8};
  for (int i = 0; i < 2; ++i) {
    file.insert(file.end(), {0xFF, 0xE9, 0x9C, 0x42});  // APP9, 40000 bytes after the length
    file.insert(file.end(), 40000, 'q');
  }
  file.insert(file.end(), {0xFF, 0xDB, 0x00, 0x43, 0x00});  // quantisers all 1
  file.insert(file.end(), 64, 1);
  file.insert(file.end(), {0xFF, 0xC2, 0x00, 0x0B, 8, 0x00, 0x08, 0x00, 0x08, 1, 1, 0x11, 0});
  // DC table 0: one code, "0", for magnitude category 13.
  file.insert(file.end(), {0xFF, 0xC4, 0x00, 0x14, 0x00, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 13});
  file.insert(file.end(), {0xFF, 0xDA, 0x00, 0x08, 1, 1, 0x00, 0, 0, 0x00});  // the DC scan
  file.insert(file.end(), {0x40, 0x03});  // "0", then 4096 in 13 bits, then padding
  file.insert(file.end(), {0xFF, 0xD9});
  return file;
}

TEST_F(LosslessJpeg, AnEncoderErrorFailsTheSaveAndKeepsTheOldFile) {
  quill::TLosslessJpeg jpeg;
  ASSERT_TRUE(jpeg.LoadFromMemory(OutOfRangeJpeg()));
  TZelLTBitmap image;
  ASSERT_TRUE(image.SetSize(jpeg.GetWidth(), jpeg.GetHeight(), quill::kPixelFormat24));
  ASSERT_TRUE(jpeg.Decode(image.GetPixels().Bits(), image.GetPixels().Stride()));
  quill::WriteBytes(Path("old.jpg"), {1, 2, 3});
  EXPECT_FALSE(SaveFrom(jpeg, image, Path("old.jpg")));
  EXPECT_EQ(quill::FileBytes(Path("old.jpg")), (std::vector<uint8_t>{1, 2, 3}));
  quill::TLosslessJpegSaveOptions sequential;
  sequential.Values[quill::TLosslessJpegSaveOptions::kCoding] = 0;
  std::vector<uint8_t> output;
  jpeg.SetPixels(image.GetPixels().Bits(), image.GetPixels().Stride());
  EXPECT_FALSE(jpeg.SaveToMemory(output, sequential));
}

TEST_F(LosslessJpeg, RefusesWhatItCannotHold) {
  quill::TLosslessJpeg jpeg;
  EXPECT_FALSE(jpeg.LoadFromFile(Path("missing.jpg")));
  EXPECT_FALSE(jpeg.HasImage());
  std::vector<uint8_t> bytes = quill::FileBytes(fs::path(QUILL_TEST_DATA_DIR) / "rocket.jpg");
  bytes.resize(bytes.size() / 2);  // data ends in the middle of the scan
  EXPECT_FALSE(jpeg.LoadFromMemory(bytes));
  EXPECT_FALSE(jpeg.HasImage());
  TZelLTBitmap picture;
  quill::MakePicture(picture, 16, 16);
  std::vector<uint8_t> png;
  ASSERT_TRUE(quill::EncodeImage(picture.GetPixels(), "image/png", -1, {}, png));
  EXPECT_FALSE(jpeg.LoadFromMemory(png));
  ASSERT_TRUE(jpeg.LoadFromFile(fs::path(QUILL_TEST_DATA_DIR) / "rocket.jpg"));
  std::vector<uint8_t> out;
  EXPECT_FALSE(jpeg.SaveToMemory(out, {}));  // no pixels given
}

// A region that reaches past the source on every side decodes the source where it lies
// under the region and black elsewhere, shifted or mirrored alike.
TEST_F(LosslessJpeg, ARegionBeyondTheSourceDecodesBlackAroundIt) {
  TZelLTBitmap picture, source;
  quill::MakePicture(picture, 40, 24);
  quill::WriteLibJpeg(Path("p.jpg"), picture.GetPixels(), 1, 1, false);
  for (const bool mirrored : {false, true}) {
    quill::TLosslessJpeg jpeg;
    LoadInto(jpeg, Path("p.jpg"), source);
    if (mirrored) jpeg.FlipHorizontal();
    jpeg.SetRegion({-5, -3, 45, 30});
    TZelLTBitmap region;
    ASSERT_TRUE(region.SetSize(jpeg.GetWidth(), jpeg.GetHeight(), quill::kPixelFormat24));
    ASSERT_TRUE(jpeg.Decode(region.GetPixels().Bits(), region.GetPixels().Stride()));
    for (int32_t y = 0; y < 33; ++y) {
      for (int32_t x = 0; x < 50; ++x) {
        const int32_t sx = mirrored ? 39 - (x - 5) : x - 5, sy = y - 3;
        const bool inside = sx >= 0 && sx < 40 && sy >= 0 && sy < 24;
        const uint8_t* p = region.GetPixels().GetPixelAddress(x, y);
        const uint8_t* q = inside ? source.GetPixels().GetPixelAddress(sx, sy) : nullptr;
        ASSERT_TRUE(inside ? std::equal(p, p + 3, q) : p[0] == 0 && p[1] == 0 && p[2] == 0) << x << "," << y;
      }
    }
  }
}

}  // namespace
