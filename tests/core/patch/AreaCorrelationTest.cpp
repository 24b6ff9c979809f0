#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "AreaCorrelation.h"
#include "DabShapes.h"
#include "HandInpaintingArea.h"
#include "SamplePhoto.h"
#include "ZelColor.h"

namespace {

uint32_t PixelAt(const TZelPixels& image, int x, int y) {
  return quill::PackPixel(image.GetPixelAddress(x, y));
}

void SetPixel(TZelPixels& image, int x, int y, uint32_t colour) {
  const TZelRGB c = quill::UnpackColor(colour);
  uint8_t* p = image.GetPixelAddress(x, y);
  p[0] = c.B;
  p[1] = c.G;
  p[2] = c.R;
}

uint32_t Grey(uint8_t level) { return level * 0x010101u; }

void Fill(TZelPixels& image, const quill::TRect& rect, uint32_t colour) {
  for (int y = rect.Top; y < rect.Bottom; ++y) {
    for (int x = rect.Left; x < rect.Right; ++x) SetPixel(image, x, y, colour);
  }
}

void MakeImage(TZelPixelBuffer& image, int width, int height, uint32_t colour) {
  ASSERT_TRUE(image.Allocate(quill::kPixelFormat24, {0, 0, width, height}));
  Fill(image, image.GetBounds(), colour);
}

// Deterministic colour noise.
void MakeNoise(TZelPixelBuffer& image, int width, int height, uint32_t seed) {
  MakeImage(image, width, height, 0);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      seed = seed * 1664525u + 1013904223u;
      SetPixel(image, x, y, seed >> 8);
    }
  }
}

void CopyImage(TZelPixelBuffer& copy, const TZelPixels& image) {
  ASSERT_TRUE(copy.Allocate(quill::kPixelFormat24, image.GetBounds()));
  copy.CopyFrom(image);
}

void ReadPhoto(TZelPixelBuffer& photo) { ASSERT_TRUE(quill::LoadSamplePhoto("astronaut.png", photo)); }

void MarkAll(TAreaCorrelator& engine, const quill::TRect& area) {
  for (int x = area.Left; x < area.Right; ++x) {
    for (int y = area.Top; y < area.Bottom; ++y) engine.SetMask(x, y, 1);
  }
}

void MarkDisc(TAreaCorrelator& engine, const quill::TRect& area) {
  TZelPixelMask dab;
  quill::HandInpaintingDab(dab, static_cast<int32_t>(area.Width()));
  quill::MarkHandInpaintingArea(engine, area, dab);
}

// Whether every interior pixel of the engine holds in Target the colour that Expected
// has there.
::testing::AssertionResult InteriorMatches(const TAreaCorrelator& engine, const TZelPixels& target,
                                           const TZelPixels& expected) {
  const TBorderArea8& interior = engine.Interior();
  for (int i = 0; i < interior.Count(); ++i) {
    const quill::TPoint p = interior.Record(i).Position;
    if (PixelAt(target, p.X, p.Y) != PixelAt(expected, p.X, p.Y)) {
      return ::testing::AssertionFailure() << "pixel (" << p.X << ", " << p.Y << ") differs";
    }
  }
  return ::testing::AssertionSuccess();
}

// A block of packed colours, row by row, and the plain geometric transforms of it.
struct Block {
  int w = 0, h = 0;
  std::vector<uint32_t> px;
  Block(int width, int height) : w(width), h(height), px(width * height) {}
  uint32_t& at(int x, int y) { return px[y * w + x]; }
  uint32_t at(int x, int y) const { return px[y * w + x]; }
};

Block ReadBlock(const TZelPixels& image, const quill::TRect& rect) {
  Block b(static_cast<int>(rect.Width()), static_cast<int>(rect.Height()));
  for (int y = 0; y < b.h; ++y) {
    for (int x = 0; x < b.w; ++x) b.at(x, y) = PixelAt(image, rect.Left + x, rect.Top + y);
  }
  return b;
}

void WriteBlock(TZelPixels& image, quill::TPoint corner, const Block& b) {
  for (int y = 0; y < b.h; ++y) {
    for (int x = 0; x < b.w; ++x) SetPixel(image, corner.X + x, corner.Y + y, b.at(x, y));
  }
}

Block MirrorLeftRight(const Block& b) {
  Block out(b.w, b.h);
  for (int y = 0; y < b.h; ++y) {
    for (int x = 0; x < b.w; ++x) out.at(b.w - 1 - x, y) = b.at(x, y);
  }
  return out;
}

Block MirrorTopBottom(const Block& b) {
  Block out(b.w, b.h);
  for (int y = 0; y < b.h; ++y) {
    for (int x = 0; x < b.w; ++x) out.at(x, b.h - 1 - y) = b.at(x, y);
  }
  return out;
}

Block Transpose(const Block& b) {
  Block out(b.h, b.w);
  for (int y = 0; y < b.h; ++y) {
    for (int x = 0; x < b.w; ++x) out.at(y, x) = b.at(x, y);
  }
  return out;
}

// The top row becomes the right column.
Block RotateClockwise(const Block& b) {
  Block out(b.h, b.w);
  for (int y = 0; y < b.h; ++y) {
    for (int x = 0; x < b.w; ++x) out.at(b.h - 1 - y, x) = b.at(x, y);
  }
  return out;
}

// The top row becomes the left column, read upwards.
Block RotateCounterClockwise(const Block& b) {
  Block out(b.h, b.w);
  for (int y = 0; y < b.h; ++y) {
    for (int x = 0; x < b.w; ++x) out.at(y, b.w - 1 - x) = b.at(x, y);
  }
  return out;
}

Block Rotate180(const Block& b) { return MirrorLeftRight(MirrorTopBottom(b)); }
Block MirrorAntiDiagonal(const Block& b) { return Rotate180(Transpose(b)); }

// The source region that orientation K turns into Shown: K shows the source
// unchanged, mirrored left to right, rotated clockwise, transposed, rotated by 180
// degrees, mirrored top to bottom, mirrored across the anti-diagonal, rotated
// counter-clockwise; the source is the inverse transform of what is shown.
Block SourceShowing(int k, const Block& shown) {
  switch (k) {
    case 1:
      return MirrorLeftRight(shown);
    case 2:
      return RotateCounterClockwise(shown);
    case 3:
      return Transpose(shown);
    case 4:
      return Rotate180(shown);
    case 5:
      return MirrorTopBottom(shown);
    case 6:
      return MirrorAntiDiagonal(shown);
    case 7:
      return RotateClockwise(shown);
    default:
      return shown;
  }
}

// For each orientation k, writes at SourceCorner of a copy of Image the region that
// orientation k turns into Area's content; then the engine must find k, score it 1,
// and fill the area's interior back exactly from it.
void ExpectEachOrientationFound(const TZelPixels& image, const quill::TRect& area, quill::TPoint sourceCorner,
                                void (*mark)(TAreaCorrelator&, const quill::TRect&)) {
  const Block shown = ReadBlock(image, area);
  for (int k = 0; k < 8; ++k) {
    SCOPED_TRACE("orientation " + std::to_string(k));
    TZelPixelBuffer source, target;
    CopyImage(source, image);
    const Block region = SourceShowing(k, shown);
    WriteBlock(source, sourceCorner, region);
    CopyImage(target, source);
    Fill(target, area, 0);

    TAreaCorrelator engine(area, quill::kHandInpaintingRadiusSquared, source, target);
    mark(engine, area);
    engine.SplitBorder();
    ASSERT_GT(engine.Border().Count(), 0);
    const quill::TRect sourceRect{sourceCorner.X, sourceCorner.Y, sourceCorner.X + region.w,
                           sourceCorner.Y + region.h};
    EXPECT_EQ(engine.FindBestOrientation(sourceRect), k);
    EXPECT_EQ(engine.Correlation(sourceRect, static_cast<uint8_t>(k)), 1.0);

    engine.FillArea(sourceCorner, static_cast<uint8_t>(k), false, TAreaCorrelator::kModeCopy, 2);
    EXPECT_TRUE(InteriorMatches(engine, target, image));
  }
}

}  // namespace

TEST(AreaOrientation, EachOrientationIsFoundOnARealPhoto) {
  TZelPixelBuffer photo;
  ReadPhoto(photo);
  // The mission patch, matched against regions written into the backdrop.
  ExpectEachOrientationFound(photo, quill::HandInpaintingSquare({185, 385}, 25), {300, 30}, MarkDisc);
}

TEST(AreaOrientation, NonSquareAreaReadsATurnedRegion) {
  TZelPixelBuffer noise;
  MakeNoise(noise, 60, 40, 7);
  ExpectEachOrientationFound(noise, {10, 10, 22, 17}, {35, 15}, MarkAll);
}

TEST(AreaOrientation, EmptyRimGivesOrientationZeroAndFillsNothing) {
  TZelPixelBuffer source, target;
  MakeNoise(source, 30, 30, 3);
  MakeImage(target, 30, 30, 0);
  TAreaCorrelator engine({5, 5, 15, 15}, 2, source, target);
  engine.SplitBorder();
  engine.ComputeContactWeights();
  EXPECT_EQ(engine.Border().Count(), 0);
  EXPECT_EQ(engine.FindBestOrientation({18, 18, 28, 28}), 0);
  engine.FillArea({18, 18}, 0, true, TAreaCorrelator::kModeColor, 2);
  EXPECT_TRUE(InteriorMatches(engine, target, target));
  for (int y = 0; y < 30; ++y) {
    for (int x = 0; x < 30; ++x) ASSERT_EQ(PixelAt(target, x, y), 0u);
  }
}

TEST(AreaSplit, FullAreaInsideTheImageHasItsRimOnTheEdges) {
  TZelPixelBuffer image;
  MakeImage(image, 30, 30, Grey(90));
  const quill::TRect area{5, 5, 15, 13};
  TAreaCorrelator engine(area, 2, image, image);
  MarkAll(engine, area);
  engine.SplitBorder();
  EXPECT_EQ(engine.Border().Count(), 2 * 10 + 2 * 8 - 4);
  EXPECT_EQ(engine.Interior().Count(), 8 * 6);
  for (int i = 0; i < engine.Border().Count(); ++i) {
    const quill::TPoint p = engine.Border().Record(i).Position;
    EXPECT_TRUE(p.X == 5 || p.X == 14 || p.Y == 5 || p.Y == 12) << p.X << ", " << p.Y;
  }
  // Visiting order is column by column.
  EXPECT_EQ(engine.Border().Record(0).Position, (quill::TPoint{5, 5}));
  EXPECT_EQ(engine.Border().Record(1).Position, (quill::TPoint{5, 6}));
  EXPECT_EQ(engine.Interior().Record(0).Position, (quill::TPoint{6, 6}));
}

TEST(AreaSplit, ImageEdgesAreNotRim) {
  TZelPixelBuffer image;
  MakeImage(image, 30, 30, Grey(90));
  const quill::TRect corner{0, 0, 10, 10};
  TAreaCorrelator engine(corner, 2, image, image);
  MarkAll(engine, corner);
  engine.SplitBorder();
  EXPECT_EQ(engine.Border().Count(), 19);
  for (int i = 0; i < engine.Border().Count(); ++i) {
    const quill::TPoint p = engine.Border().Record(i).Position;
    EXPECT_TRUE(p.X == 9 || p.Y == 9) << p.X << ", " << p.Y;
  }
}

TEST(AreaSplit, AreaRunningOffTheImageFillsOnlyItsPixelsInside) {
  TZelPixelBuffer image, target;
  MakeImage(image, 30, 30, Grey(90));
  MakeImage(target, 30, 30, Grey(7));
  const quill::TRect off{-8, -8, 17, 17};
  TAreaCorrelator engine(off, 2, image, target);
  MarkDisc(engine, off);
  engine.SplitBorder();
  engine.ComputeContactWeights();
  engine.FillArea({0, 0}, 0, true, TAreaCorrelator::kModeCopy, 2);
  int written = 0;
  for (int i = 0; i < engine.Interior().Count(); ++i) {
    const quill::TPoint p = engine.Interior().Record(i).Position;
    if (p.X < 0 || p.Y < 0) continue;
    EXPECT_EQ(PixelAt(target, p.X, p.Y), Grey(90)) << p.X << ", " << p.Y;
    ++written;
  }
  EXPECT_GT(written, 50);
  EXPECT_LT(written, engine.Interior().Count());
}

TEST(AreaSplit, LargerReachWidensTheRim) {
  TZelPixelBuffer image;
  MakeImage(image, 30, 30, Grey(90));
  const quill::TRect area{5, 5, 15, 15};
  TAreaCorrelator wide(area, 4, image, image);  // reach 2, straight lines only
  MarkAll(wide, area);
  wide.SplitBorder();
  // The outer two rings of 36 and 28 pixels reach the outside; the third does not.
  EXPECT_EQ(wide.Border().Count(), 36 + 28);
  TAreaCorrelator none(area, -3, image, image);
  MarkAll(none, area);
  none.SplitBorder();
  EXPECT_EQ(none.Border().Count(), 0);
  EXPECT_EQ(none.Interior().Count(), 100);
}

TEST(AreaFill, ModeZeroAtTheAreaCornerRestoresTheArea) {
  TZelPixelBuffer photo, target;
  ReadPhoto(photo);
  MakeImage(target, photo.Width(), photo.Height(), Grey(0));
  const quill::TRect area = quill::HandInpaintingSquare({220, 130}, 40);
  TAreaCorrelator engine(area, 2, photo, target);
  MarkDisc(engine, area);
  engine.SplitBorder();
  engine.ComputeContactWeights();
  engine.FillArea({area.Left, area.Top}, 0, true, TAreaCorrelator::kModeCopy, 2);
  EXPECT_TRUE(InteriorMatches(engine, target, photo));
  for (int i = 0; i < engine.Border().Count(); ++i) {
    const quill::TPoint p = engine.Border().Record(i).Position;
    ASSERT_EQ(PixelAt(target, p.X, p.Y), 0u) << "rim pixels are never written";
  }
}

// Copies the photo's Area content, shifted per channel by (DB, DG, DR), to SourceCorner.
void WriteShiftedCopy(TZelPixels& image, const quill::TRect& area, quill::TPoint sourceCorner, int db, int dg,
                      int dr) {
  for (int y = area.Top; y < area.Bottom; ++y) {
    for (int x = area.Left; x < area.Right; ++x) {
      const uint8_t* p = image.GetPixelAddress(x, y);
      const int b = p[0] + db, g = p[1] + dg, r = p[2] + dr;
      ASSERT_TRUE(b >= 0 && b <= 255 && g >= 0 && g <= 255 && r >= 0 && r <= 255);
      SetPixel(image, sourceCorner.X + x - area.Left, sourceCorner.Y + y - area.Top,
               (uint32_t(r) << 16) | (uint32_t(g) << 8) | uint32_t(b));
    }
  }
}

TEST(AreaFill, ColourSurfaceRemovesAChannelOffsetExactly) {
  TZelPixelBuffer source, target;
  ReadPhoto(source);
  const quill::TRect area = quill::HandInpaintingSquare({220, 130}, 25);  // the face
  const quill::TPoint corner{330, 60};
  WriteShiftedCopy(source, area, corner, 10, -8, -15);
  for (bool blend : {false, true}) {
    CopyImage(target, source);
    Fill(target, area, 0);
    TAreaCorrelator engine(area, 2, source, target);
    MarkDisc(engine, area);
    engine.SplitBorder();
    engine.RemoveBorderOutliers(quill::kLongDefectFraction);
    engine.ComputeContactWeights();
    engine.FillArea(corner, 0, blend, TAreaCorrelator::kModeColor, 2);
    EXPECT_TRUE(InteriorMatches(engine, target, source)) << "blend " << blend;

    // A plain copy keeps the offset.
    engine.FillArea(corner, 0, blend, TAreaCorrelator::kModeCopy, 2);
    const quill::TPoint centre = engine.Interior().Record(engine.Interior().Count() / 2).Position;
    EXPECT_EQ(target.GetPixelAddress(centre.X, centre.Y)[0],
              source.GetPixelAddress(centre.X, centre.Y)[0] + 10);
  }
}

TEST(AreaFill, BrightnessSurfaceRemovesAGreyOffsetExactly) {
  TZelPixelBuffer source, target;
  ReadPhoto(source);
  const quill::TRect area = quill::HandInpaintingSquare({220, 130}, 25);
  const quill::TPoint corner{330, 60};
  WriteShiftedCopy(source, area, corner, -12, -12, -12);
  CopyImage(target, source);
  Fill(target, area, 0);
  TAreaCorrelator engine(area, 2, source, target);
  MarkDisc(engine, area);
  engine.SplitBorder();
  engine.ComputeContactWeights();
  engine.FillArea(corner, 0, true, TAreaCorrelator::kModeBrightness, 2);
  EXPECT_TRUE(InteriorMatches(engine, target, source));
}

TEST(AreaFill, BrightnessWithTooSmallARimCopiesUncorrected) {
  // A 2 x 2 area in the image's corner: 3 rim pixels and 1 interior pixel. Three
  // samples cannot fix a bilinear surface, but do fix a constant one.
  TZelPixelBuffer source, target;
  MakeImage(source, 10, 10, Grey(50));
  Fill(source, {5, 5, 7, 7}, Grey(90));
  const quill::TRect area{0, 0, 2, 2};
  for (uint8_t order : {2, 0}) {
    CopyImage(target, source);
    TAreaCorrelator engine(area, 2, source, target);
    MarkAll(engine, area);
    engine.SplitBorder();
    ASSERT_EQ(engine.Border().Count(), 3);
    engine.FillArea({5, 5}, 0, false, TAreaCorrelator::kModeBrightness, order);
    EXPECT_EQ(PixelAt(target, 0, 0), Grey(order == 2 ? 90 : 50)) << int{order};
  }
}

TEST(AreaFill, BlendWeighsOwnColourByRimContact) {
  // A 5 x 5 area: the corner pixel (1, 1) touches the rim with weight 7 and the
  // centre with 1; the edge pixel (2, 1) with 4 and 2; the centre not at all.
  TZelPixelBuffer source, target;
  MakeImage(source, 20, 20, Grey(0));
  Fill(source, {10, 10, 15, 15}, Grey(100));
  const quill::TRect area{2, 2, 7, 7};
  MakeImage(target, 20, 20, Grey(255));
  TAreaCorrelator engine(area, 2, source, target);
  MarkAll(engine, area);
  engine.SplitBorder();
  engine.ComputeContactWeights();
  engine.FillArea({10, 10}, 0, true, TAreaCorrelator::kModeCopy, 2);
  EXPECT_EQ(PixelAt(target, 3, 3), Grey(12)) << "Round(100 / 8) = Round(12.5)";
  EXPECT_EQ(PixelAt(target, 4, 3), Grey(33)) << "Round(200 / 6)";
  EXPECT_EQ(PixelAt(target, 4, 4), Grey(100));
  EXPECT_EQ(PixelAt(target, 2, 2), Grey(255)) << "rim";

  // In a 3 x 3 area the centre touches only the rim: blended, it keeps its own
  // colour; unblended it takes the fill, corrected by the rim's difference of -100.
  SetPixel(source, 3, 3, Grey(30));
  TAreaCorrelator small({2, 2, 5, 5}, 2, source, target);
  MarkAll(small, {2, 2, 5, 5});
  small.SplitBorder();
  small.ComputeContactWeights();
  small.FillArea({10, 10}, 0, true, TAreaCorrelator::kModeColor, 2);
  EXPECT_EQ(PixelAt(target, 3, 3), Grey(30));
  small.FillArea({10, 10}, 0, false, TAreaCorrelator::kModeColor, 2);
  EXPECT_EQ(PixelAt(target, 3, 3), Grey(0));
}

TEST(AreaFill, SourceRunningOffTheImageFillsOnlyWhatItCovers) {
  TZelPixelBuffer source, target;
  MakeNoise(source, 30, 30, 11);
  MakeImage(target, 30, 30, 0);
  const quill::TRect area{10, 10, 20, 20};
  TAreaCorrelator engine(area, 2, source, target);
  MarkAll(engine, area);
  engine.SplitBorder();
  engine.FillArea({25, 10}, 0, false, TAreaCorrelator::kModeCopy, 2);
  for (int i = 0; i < engine.Interior().Count(); ++i) {
    const quill::TBorderPixel& r = engine.Interior().Record(i);
    const bool covered = 25 + engine.Interior().Variant(i, 0).X < 30;
    EXPECT_EQ(PixelAt(target, r.Position.X, r.Position.Y) != 0, covered)
        << r.Position.X << ", " << r.Position.Y;
  }
}

TEST(AreaFill, UnknownModesAndOrientationsWriteNothing) {
  TZelPixelBuffer source, target;
  MakeNoise(source, 30, 30, 5);
  MakeImage(target, 30, 30, 0);
  const quill::TRect area{5, 5, 15, 15};
  TAreaCorrelator engine(area, 2, source, target);
  MarkAll(engine, area);
  engine.SetMask(100, 100, 0);  // outside the area: ignored
  engine.SetMask(15, 5, 0);
  engine.SplitBorder();
  EXPECT_EQ(engine.Interior().Count(), 64);
  engine.FillArea({18, 18}, 0, true, 3, 2);
  engine.FillArea({18, 18}, 0, true, -1, 2);
  engine.FillArea({18, 18}, 8, true, TAreaCorrelator::kModeCopy, 2);
  engine.FillArea({18, 18}, 255, false, TAreaCorrelator::kModeColor, 2);
  EXPECT_EQ(engine.Correlation({18, 18, 28, 28}, 8), 0);
  for (int y = 0; y < 30; ++y) {
    for (int x = 0; x < 30; ++x) ASSERT_EQ(PixelAt(target, x, y), 0u);
  }
  // An order without terms gives no correction: the plain copy.
  engine.FillArea({18, 18}, 0, false, TAreaCorrelator::kModeColor, 6);
  EXPECT_EQ(PixelAt(target, 8, 8), PixelAt(source, 21, 21));
}

TEST(AreaFill, OversizedAreaCountsAsEmpty) {
  TZelPixelBuffer image;
  MakeNoise(image, 30, 30, 2);
  const quill::TRect huge{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX};
  TAreaCorrelator engine(huge, 2, image, image);
  EXPECT_TRUE(engine.AreaRect().IsEmpty());
  engine.SetMask(3, 3, 1);
  engine.SplitBorder();
  EXPECT_EQ(engine.Border().Count() + engine.Interior().Count(), 0);
}

TEST(AreaFill, ImagesAreTouchedOnlyWhereBothLie) {
  // A Target smaller than the Source: matching, outlier removal and every fill keep
  // to the part the two share.
  TZelPixelBuffer source, target;
  MakeNoise(source, 40, 40, 9);
  MakeImage(target, 12, 12, Grey(1));
  const quill::TRect area{4, 4, 20, 20};
  TAreaCorrelator engine(area, 2, source, target);
  EXPECT_EQ(engine.ImageBounds(), (quill::TRect{0, 0, 12, 12}));
  MarkDisc(engine, area);
  engine.SplitBorder();
  engine.RemoveBorderOutliers(1.0);
  engine.ComputeContactWeights();
  const quill::TRect sourceRect{20, 0, 36, 16};
  const uint8_t k = engine.FindBestOrientation(sourceRect);
  for (int32_t mode = 2; mode >= 0; --mode) engine.FillArea({0, 0}, k, true, mode, 2);
  EXPECT_NE(PixelAt(target, 10, 10), Grey(1));

  // Either image in another pixel format: nothing is read or written.
  TZelPixelBuffer wide;
  ASSERT_TRUE(wide.Allocate(quill::kPixelFormat32, {0, 0, 40, 40}));
  TAreaCorrelator refused(area, 2, source, wide);
  EXPECT_TRUE(refused.ImageBounds().IsEmpty());
  MarkDisc(refused, area);
  refused.SplitBorder();
  refused.FillArea({0, 0}, 0, false, TAreaCorrelator::kModeCopy, 2);
  for (int i = 0; i < 40 * wide.Stride(); ++i) ASSERT_EQ(wide.Bits()[i], 0);
}

TEST(AreaOutliers, RemovesAMinorityOfAtMostTheFraction) {
  // A 26 x 26 area inside the image has a rim of exactly 100 pixels.
  const quill::TRect area{5, 5, 31, 31};
  for (int minority : {0, 20, 21}) {
    SCOPED_TRACE("minority " + std::to_string(minority));
    TZelPixelBuffer image;
    MakeImage(image, 40, 40, Grey(100));
    TAreaCorrelator engine(area, 2, image, image);
    MarkAll(engine, area);
    engine.SplitBorder();
    ASSERT_EQ(engine.Border().Count(), 100);
    for (int i = 100 - minority; i < 100; ++i) {
      const quill::TPoint p = engine.Border().Record(i).Position;
      SetPixel(image, p.X, p.Y, 0x00C80A0A);
    }
    engine.RemoveBorderOutliers(0.2);
    EXPECT_EQ(engine.Border().Count(), minority == 20 ? 80 : 100);
    if (minority == 20) {
      for (int i = 0; i < 80; ++i) {
        const quill::TPoint p = engine.Border().Record(i).Position;
        EXPECT_EQ(PixelAt(image, p.X, p.Y), Grey(100));
      }
    }
  }
}

// A wire crossing the rim of a marked disc is taken out of the fit by the outlier
// removal, and only then does the colour-corrected fill give the clean background.
TEST(AreaOutliers, WireCrossingTheRimIsExcludedOnlyWithTheLongDefectFraction) {
  // A linear colour ramp, and a two-pixel dark wire across it.
  TZelPixelBuffer clean, wired, target;
  MakeImage(clean, 80, 100, 0);
  for (int y = 0; y < 100; ++y) {
    for (int x = 0; x < 80; ++x) SetPixel(clean, x, y, ((60 + x) << 16) | ((80 + y) << 8) | 150);
  }
  CopyImage(wired, clean);
  Fill(wired, {0, 58, 80, 60}, 0x00141E28);
  const quill::TRect area = quill::HandInpaintingSquare({40, 60}, 25);
  const quill::TRect sourceRect = quill::HandInpaintingSquare({40, 20}, 25);

  for (bool longDefect : {true, false}) {
    SCOPED_TRACE(longDefect ? "long defect" : "no outlier removal");
    CopyImage(target, wired);
    TAreaCorrelator engine(area, 2, wired, target);
    MarkDisc(engine, area);
    engine.SplitBorder();
    int wireOnRim = 0;
    for (int i = 0; i < engine.Border().Count(); ++i) {
      wireOnRim += engine.Border().Record(i).Position.Y / 2 == 29;
    }
    ASSERT_GT(wireOnRim, 0);
    const int rim = engine.Border().Count();
    if (longDefect) engine.RemoveBorderOutliers(quill::kLongDefectFraction);
    EXPECT_EQ(engine.Border().Count(), longDefect ? rim - wireOnRim : rim);
    // Unblended, so that the wire's own pixels next to the rim are replaced whole.
    engine.FillArea({sourceRect.Left, sourceRect.Top}, 0, false, TAreaCorrelator::kModeColor, 2);
    if (longDefect) {
      EXPECT_TRUE(InteriorMatches(engine, target, clean));
    } else {
      EXPECT_FALSE(InteriorMatches(engine, target, clean));
    }
  }
  // A fraction below the wire's share of the rim leaves it in.
  CopyImage(target, wired);
  TAreaCorrelator strict(area, 2, wired, target);
  MarkDisc(strict, area);
  strict.SplitBorder();
  const int rim = strict.Border().Count();
  strict.RemoveBorderOutliers(0.01);
  EXPECT_EQ(strict.Border().Count(), rim);
}

// The tool's use on a real photo: a dark blot on the backdrop is filled from the
// backdrop beside it and comes out close to the clean photo.
TEST(AreaFill, FillsABlotOnARealPhotoFromNearbyBackdrop) {
  TZelPixelBuffer clean, blotted, target;
  ReadPhoto(clean);
  CopyImage(blotted, clean);
  const quill::TPoint centre{330, 210};
  TZelPixelMask blot;
  PowerDisc(blot, 15, 255, 160);
  blot.MoveTo(centre.X - 7, centre.Y - 7);
  ApplyColourThroughMask(blot, blotted, 0x00302820, DabRect(centre, 15), blotted);
  CopyImage(target, blotted);

  const quill::TRect area = quill::HandInpaintingSquare(centre, 25);
  TAreaCorrelator engine(area, quill::kHandInpaintingRadiusSquared, blotted, target);
  MarkDisc(engine, area);
  engine.SplitBorder();
  engine.RemoveBorderOutliers(quill::kLongDefectFraction);
  engine.ComputeContactWeights();
  const quill::TRect sourceRect = quill::HandInpaintingSquare({330, 170}, 25);
  const uint8_t k = engine.FindBestOrientation(sourceRect);
  engine.FillArea({sourceRect.Left, sourceRect.Top}, k, true, TAreaCorrelator::kModeColor, 2);

  const auto meanError = [&](const TZelPixels& image) {
    double sum = 0;
    int count = 0;
    for (int y = centre.Y - 7; y <= centre.Y + 7; ++y) {
      for (int x = centre.X - 7; x <= centre.X + 7; ++x) {
        for (int c = 0; c < 3; ++c) {
          sum += std::abs(image.GetPixelAddress(x, y)[c] - clean.GetPixelAddress(x, y)[c]);
          ++count;
        }
      }
    }
    return sum / count;
  };
  EXPECT_GT(meanError(blotted), 60);
  EXPECT_LT(meanError(target), 5);
}
