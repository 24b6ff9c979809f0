#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "ZelColor.h"
#include "ZelLTBitmap.h"

namespace {

// A 24-bit bitmap whose pixels are numbered row by row from 1, the number in blue.
void MakeNumbered(TZelLTBitmap& bitmap, int width, int height) {
  ASSERT_TRUE(bitmap.SetSize(width, height, quill::kPixelFormat24));
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) bitmap.GetPixels().GetPixelAddress(x, y)[0] = static_cast<uint8_t>(1 + y * width + x);
  }
}

// The pixel numbers of every row.
std::vector<std::vector<int>> Rows(TZelLTBitmap& bitmap) {
  std::vector<std::vector<int>> rows(bitmap.GetHeight());
  for (int y = 0; y < bitmap.GetHeight(); ++y) {
    for (int x = 0; x < bitmap.GetWidth(); ++x) rows[y].push_back(bitmap.GetPixels().GetPixelAddress(x, y)[0]);
  }
  return rows;
}

using R = std::vector<std::vector<int>>;

// Records what a bitmap asks of its paint target.
class RecordingContext : public quill::TZelDeviceContext {
 public:
  bool PaintPixels(const TZelPixels& pixels, const quill::TRect& destRect, const quill::TRect& sourceRect,
                   const quill::TRect& clipRect) override {
    painted = pixels.Bits();
    dest = destRect;
    source = sourceRect;
    clip = clipRect;
    return true;
  }
  bool PrintPixels(const TZelPixels& pixels, const quill::TRect& rect) override {
    printed = pixels.Bits();
    dest = rect;
    return true;
  }
  const uint8_t* painted = nullptr;
  const uint8_t* printed = nullptr;
  quill::TRect dest, source, clip;
};

}  // namespace

TEST(LTBitmap, QuarterTurnsMoveThePixels) {
  TZelLTBitmap bitmap;
  MakeNumbered(bitmap, 3, 2);
  ASSERT_TRUE(bitmap.RotateLeft());
  EXPECT_EQ(Rows(bitmap), (R{{3, 6}, {2, 5}, {1, 4}}));
  MakeNumbered(bitmap, 3, 2);
  ASSERT_TRUE(bitmap.RotateRight());
  EXPECT_EQ(Rows(bitmap), (R{{4, 1}, {5, 2}, {6, 3}}));
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(bitmap.RotateRight());
  EXPECT_EQ(Rows(bitmap), (R{{1, 2, 3}, {4, 5, 6}}));
}

TEST(LTBitmap, FlipsMirror) {
  TZelLTBitmap bitmap;
  MakeNumbered(bitmap, 3, 2);
  ASSERT_TRUE(bitmap.FlipHorizontal());
  EXPECT_EQ(Rows(bitmap), (R{{3, 2, 1}, {6, 5, 4}}));
  ASSERT_TRUE(bitmap.FlipHorizontal());
  ASSERT_TRUE(bitmap.FlipVertical());
  EXPECT_EQ(Rows(bitmap), (R{{4, 5, 6}, {1, 2, 3}}));
}

TEST(LTBitmap, CropKeepsTheOverlap) {
  TZelLTBitmap bitmap;
  MakeNumbered(bitmap, 3, 2);
  ASSERT_TRUE(bitmap.Crop({1, -5, 9, 1}));
  EXPECT_EQ(Rows(bitmap), (R{{2, 3}}));
  EXPECT_FALSE(bitmap.Crop({5, 5, 9, 9}));
  EXPECT_EQ(Rows(bitmap), (R{{2, 3}}));
}

TEST(LTBitmap, ResizeToTheSameSizeChangesNothing) {
  TZelLTBitmap bitmap;
  MakeNumbered(bitmap, 5, 4);
  const R before = Rows(bitmap);
  ASSERT_TRUE(bitmap.Resize(5, 4));
  EXPECT_EQ(Rows(bitmap), before);
  ASSERT_TRUE(bitmap.Resize(10, 2));
  EXPECT_EQ(bitmap.GetWidth(), 10);
  EXPECT_EQ(bitmap.GetHeight(), 2);
  EXPECT_FALSE(bitmap.Resize(0, 2));
  EXPECT_FALSE(bitmap.Resize(3, -1));
  EXPECT_EQ(bitmap.GetWidth(), 10);
}

TEST(LTBitmap, OnlyTwentyFourBitImagesTurnOrResize) {
  TZelLTBitmap bitmap;
  ASSERT_TRUE(bitmap.SetSize(4, 3, quill::kPixelFormat32));
  bitmap.GetPixels().GetPixelAddress(3, 2)[3] = 77;
  EXPECT_FALSE(bitmap.FlipHorizontal());
  EXPECT_FALSE(bitmap.FlipVertical());
  EXPECT_FALSE(bitmap.RotateLeft());
  EXPECT_FALSE(bitmap.RotateRight());
  EXPECT_FALSE(bitmap.Resize(8, 6));
  EXPECT_EQ(bitmap.GetWidth(), 4);
  EXPECT_EQ(bitmap.GetHeight(), 3);
  EXPECT_EQ(bitmap.GetPixels().GetPixelAddress(3, 2)[3], 77);
}

TEST(LTBitmap, EmptyBitmapRefusesEveryChange) {
  TZelLTBitmap bitmap;
  EXPECT_TRUE(bitmap.IsEmpty());
  EXPECT_EQ(bitmap.GetWidth(), 0);
  EXPECT_EQ(bitmap.GetPixels().Bits(), nullptr);
  EXPECT_FALSE(bitmap.FlipHorizontal());
  EXPECT_FALSE(bitmap.FlipVertical());
  EXPECT_FALSE(bitmap.RotateLeft());
  EXPECT_FALSE(bitmap.RotateRight());
  EXPECT_FALSE(bitmap.Resize(4, 4));
  EXPECT_FALSE(bitmap.Crop({0, 0, 4, 4}));
  const auto copy = bitmap.Clone();
  ASSERT_NE(copy, nullptr);
  EXPECT_TRUE(copy->IsEmpty());
  RecordingContext dc;
  EXPECT_FALSE(bitmap.Draw(dc, {0, 0, 1, 1}, {0, 0, 1, 1}, {0, 0, 1, 1}));
  EXPECT_FALSE(bitmap.Print(dc, {0, 0, 1, 1}));
}

TEST(LTBitmap, SizingAndCopies) {
  TZelLTBitmap bitmap;
  ASSERT_TRUE(bitmap.SetSize(1, 2, quill::kPixelFormat24));
  EXPECT_EQ(bitmap.GetPixels().Stride(), 4);
  EXPECT_EQ(bitmap.GetPixels().GetPixelAddress(0, 1)[2], 0);  // zero-filled
  EXPECT_FALSE(bitmap.SetSize(0, 5, quill::kPixelFormat24));
  EXPECT_TRUE(bitmap.IsEmpty());
  EXPECT_FALSE(bitmap.SetSize(5, 5, 0));  // invalid format

  // AssignPixels of an empty view fails without copying anything.
  TZelPixelBuffer empty;
  EXPECT_FALSE(bitmap.AssignPixels(empty));

  TZelPixelBuffer source;
  ASSERT_TRUE(source.Allocate(quill::kPixelFormat24, {0, 0, 3, 2}));
  source.GetPixelAddress(2, 1)[1] = 99;
  ASSERT_TRUE(bitmap.AssignPixels(source));
  EXPECT_EQ(bitmap.GetBounds(), (quill::TRect{0, 0, 3, 2}));
  EXPECT_EQ(bitmap.GetPixels().GetPixelAddress(2, 1)[1], 99);

  // A source placed elsewhere lands at its own coordinates: only its overlap with
  // the bitmap's (0, 0, 3, 2) is copied.
  TZelLTBitmap shifted;
  TZelPixelBuffer placed;
  ASSERT_TRUE(placed.Allocate(quill::kPixelFormat24, {1, 1, 4, 3}));
  placed.GetPixelAddress(1, 1)[0] = 11;
  placed.GetPixelAddress(3, 2)[0] = 33;
  ASSERT_TRUE(shifted.AssignPixels(placed));
  EXPECT_EQ(shifted.GetBounds(), (quill::TRect{0, 0, 3, 2}));
  EXPECT_EQ(Rows(shifted), (R{{0, 0, 0}, {0, 11, 0}}));

  const auto copy = bitmap.Clone();
  ASSERT_NE(copy, nullptr);
  EXPECT_NE(copy->GetPixels().Bits(), bitmap.GetPixels().Bits());
  EXPECT_EQ(copy->GetPixels().GetPixelAddress(2, 1)[1], 99);

  TZelPixelBuffer snapshot;
  ASSERT_TRUE(CopyBitmapToBuffer(bitmap, snapshot));
  EXPECT_EQ(snapshot.GetBounds(), (quill::TRect{0, 0, 3, 2}));
  EXPECT_EQ(snapshot.GetPixelAddress(2, 1)[1], 99);
}

TEST(LTBitmap, PaintsAndPrintsItsOwnBlock) {
  TZelLTBitmap bitmap;
  MakeNumbered(bitmap, 8, 8);
  RecordingContext dc;
  ASSERT_TRUE(bitmap.Draw(dc, {0, 0, 16, 16}, {0, 0, 8, 8}, {2, 2, 5, 5}));
  EXPECT_EQ(dc.painted, bitmap.GetPixels().Bits());  // no copy
  EXPECT_EQ(dc.dest, (quill::TRect{0, 0, 16, 16}));
  EXPECT_EQ(dc.source, (quill::TRect{0, 0, 8, 8}));
  EXPECT_EQ(dc.clip, (quill::TRect{2, 2, 5, 5}));
  ASSERT_TRUE(bitmap.Print(dc, {10, 10, 90, 90}));
  EXPECT_EQ(dc.printed, bitmap.GetPixels().Bits());
  EXPECT_EQ(dc.dest, (quill::TRect{10, 10, 90, 90}));
}

// A closed photo's block (2000 x 1500 x 3 bytes, above kKeptBlockBytes) serves the next
// picture of its size that is written whole; an image that must start zero-filled
// never gets it, and a smaller picture's rows keep their padding zero.
TEST(LTBitmap, ReusesAClosedPhotosBlockOnlyForAPictureWrittenWhole) {
  quill::ReleaseKeptPixelBlocks();
  const auto fill = [](TZelLTBitmap& bitmap) {
    TZelPixels& pixels = bitmap.GetPixels();
    std::memset(pixels.Bits(), 0xAB, static_cast<size_t>(pixels.Stride()) * pixels.Height());
  };
  const uint8_t* block = nullptr;
  {
    TZelLTBitmap closed;
    ASSERT_TRUE(closed.SetSize(2000, 1500, quill::kPixelFormat24));
    fill(closed);
    block = closed.GetPixels().Bits();
  }
  TZelLTBitmap zeroed;
  ASSERT_TRUE(zeroed.SetSize(2000, 1500, quill::kPixelFormat24));
  const TZelPixels& pixels = zeroed.GetPixels();
  const std::vector<uint8_t> row(static_cast<size_t>(pixels.Stride()), 0);
  for (int y = 0; y < pixels.Height(); y += 499) {
    EXPECT_EQ(std::memcmp(pixels.GetScanLine(0, y), row.data(), row.size()), 0) << "row " << y;
  }
  fill(zeroed);
  block = zeroed.GetPixels().Bits();
  zeroed.Clear();

  TZelLTBitmap decoded;
  ASSERT_TRUE(decoded.SetSizeForWriting(2000, 1500, quill::kPixelFormat24));
  EXPECT_EQ(decoded.GetPixels().Bits(), block);
  fill(decoded);
  decoded.Clear();

  // 1999 pixels a row: 5997 bytes and three of padding, zero.
  TZelLTBitmap narrower;
  ASSERT_TRUE(narrower.SetSizeForWriting(1999, 1500, quill::kPixelFormat24));
  EXPECT_EQ(narrower.GetPixels().Bits(), block);
  for (int y = 0; y < 1500; y += 7) {
    const uint8_t* padding = narrower.GetPixels().GetScanLine(0, y) + 5997;
    EXPECT_EQ(padding[0] | padding[1] | padding[2], 0) << "row " << y;
  }
  narrower.Clear();

  // Far smaller: a block of its own.
  TZelLTBitmap small;
  ASSERT_TRUE(small.SetSizeForWriting(1000, 1000, quill::kPixelFormat24));
  EXPECT_NE(small.GetPixels().Bits(), block);
  quill::ReleaseKeptPixelBlocks();
}
