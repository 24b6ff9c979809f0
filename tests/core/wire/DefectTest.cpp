#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "DabShapes.h"
#include "Defect.h"
#include "SamplePhoto.h"
#include "WireEraserStroke.h"

namespace {

// A 24-bit image of Width x Height filled with Grey.
void MakeImage(TZelPixelBuffer& image, int width, int height, uint8_t grey) {
  ASSERT_TRUE(image.Allocate(quill::kPixelFormat24, {0, 0, width, height}));
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      uint8_t* p = image.GetPixelAddress(x, y);
      p[0] = p[1] = p[2] = grey;
    }
  }
}

void SetGrey(TZelPixels& image, int x, int y, uint8_t grey) {
  uint8_t* p = image.GetPixelAddress(x, y);
  p[0] = p[1] = p[2] = grey;
}

uint8_t Grey(const TZelPixels& image, int x, int y) { return image.GetPixelAddress(x, y)[0]; }

// A mask of 255 over all of Rect.
TZelPixelMask FullMask(const quill::TRect& rect) {
  TZelPixelMask mask;
  mask.SetBounds(rect.Left, rect.Top, static_cast<int>(rect.Width()), static_cast<int>(rect.Height()));
  std::fill(mask.Bits(), mask.Bits() + rect.Width() * rect.Height(), 255);
  return mask;
}

// One row of greys whose gaps grow 1, 2, 3, ...: every cell's contrast is distinct,
// and the contrasts ascend from left to right.
void GapRow(TZelPixelBuffer& image, int count, uint8_t first) {
  MakeImage(image, count, 1, 0);
  int grey = first;
  for (int x = 0; x < count; ++x) {
    grey += x;
    SetGrey(image, x, 0, static_cast<uint8_t>(grey));
  }
}

// Runs the preview over the whole row and returns how many cells stayed background.
int BackgroundCellsOfPreview(const TZelPixelBuffer& row, double noise) {
  TZelPixelBuffer out;
  MakeImage(out, row.Width(), 1, 0);
  quill::TDefectGrid grid;
  const quill::TRect rect = row.GetBounds();
  EXPECT_TRUE(quill::RepairDab(grid, FullMask(rect), row, out, rect, noise, /*showOnly=*/true));
  int background = 0;
  for (int x = 0; x < row.Width(); ++x) background += Grey(out, x, 0) == Grey(row, x, 0);
  return background;
}

}  // namespace

TEST(PercentileIndex, MatchesTheRoundingTable) {
  struct Row {
    int n, low, high, noise;
  };
  const Row table[] = {{1, -1, 0, 0},  {2, 0, 1, 1},    {3, 0, 1, 2},    {4, 0, 2, 3},
                       {5, 1, 3, 3},   {10, 2, 7, 8},   {20, 6, 15, 17}, {25, 7, 19, 21},
                       {50, 15, 39, 44}};
  for (const Row& row : table) {
    EXPECT_EQ(quill::TDefectGrid::PercentileIndex(row.n, 0.33L), row.low) << row.n;
    EXPECT_EQ(quill::TDefectGrid::PercentileIndex(row.n, 0.8L), row.high) << row.n;
    EXPECT_EQ(quill::TDefectGrid::PercentileIndex(row.n, 0.9L), row.noise) << row.n;
  }
  // Products that are exact halves in extended precision go to the even neighbour;
  // 150 * 0.33 lies just above 49.5 there.
  EXPECT_EQ(quill::TDefectGrid::PercentileIndex(450, 0.33L), 147);
  EXPECT_EQ(quill::TDefectGrid::PercentileIndex(850, 0.33L), 279);
  EXPECT_EQ(quill::TDefectGrid::PercentileIndex(150, 0.33L), 49);
  EXPECT_EQ(quill::TDefectGrid::PercentileIndex(2601, 0.9L), 2340);
}

TEST(PercentileIndex, StaysInsideEveryDabUpToTheLargestGrid) {
  for (int n = 1; n <= 51 * 51; ++n) {
    for (long double p : {0.33L, 0.8L, 0.9L}) {
      const int64_t index = quill::TDefectGrid::PercentileIndex(n, p);
      ASSERT_GE(index, -1) << n;
      ASSERT_LT(index, n) << n;
      // Away from halves the index is the nearest integer to the exact product.
      const double exact = n * static_cast<double>(p);
      if (std::fabs(exact - std::floor(exact) - 0.5) > 1e-6) {
        ASSERT_EQ(index, std::lround(exact) - 1) << n << " at " << static_cast<double>(p);
      }
    }
    // n * 0.9 is an exact half for every n ending in 5: the even neighbour wins.
    if (n % 10 == 5) {
      ASSERT_EQ(quill::TDefectGrid::PercentileIndex(n, 0.9L), (n * 9 / 10) % 2 == 0 ? n * 9 / 10 - 1 : n * 9 / 10) << n;
    }
  }
}

TEST(WireFill, UniformDabIsLeftAsItIs) {
  TZelPixelBuffer image, out;
  MakeImage(image, 30, 30, 77);
  MakeImage(out, 30, 30, 0);
  TZelPixelMask mask;
  PowerDisc(mask, 25, 255, 160);
  const quill::TRect rect = DabRect({15, 15}, 25);
  mask.MoveTo(rect.Left, rect.Top);
  quill::TDefectGrid grid;
  double noise = -1;
  ASSERT_TRUE(quill::MeasureDabNoise(grid, mask, image, rect, noise));
  EXPECT_EQ(noise, 0);
  ASSERT_TRUE(quill::RepairDab(grid, mask, image, out, rect, 6, false));
  EXPECT_EQ(Grey(out, 15, 15), 77);
  EXPECT_EQ(Grey(out, 15, 3), 77);  // on the disc's rim
  EXPECT_EQ(Grey(out, 3, 3), 0);    // corner outside the disc: not written
}

TEST(WireFill, RampCrossedByALineIsRestored) {
  // A horizontal ramp 40 + 2x with a dark one-pixel line down column 12.
  TZelPixelBuffer image;
  MakeImage(image, 25, 25, 0);
  for (int y = 0; y < 25; ++y) {
    for (int x = 0; x < 25; ++x) SetGrey(image, x, y, static_cast<uint8_t>(x == 12 ? 5 : 40 + 2 * x));
  }
  const quill::TRect rect = image.GetBounds();
  quill::TDefectGrid grid;
  ASSERT_TRUE(quill::RepairDab(grid, FullMask(rect), image, image, rect, 6, false));
  for (int y = 0; y < 25; ++y) {
    for (int x = 0; x < 25; ++x) ASSERT_EQ(Grey(image, x, y), 40 + 2 * x) << x << "," << y;
  }
}

TEST(WireFill, ThresholdIsKeptBetweenThePercentiles) {
  TZelPixelBuffer row;
  GapRow(row, 10, 0);  // greys 0, 1, 3, 6, ..., 45: contrasts ascend with the column
  // Noise 0 is raised to the 33rd percentile (index 2): columns 0..2 are background.
  EXPECT_EQ(BackgroundCellsOfPreview(row, 0), 3);
  // Noise far above is lowered to the 80th percentile (index 7): columns 8 and 9 remain.
  EXPECT_EQ(BackgroundCellsOfPreview(row, 1e9), 8);
  // A cell exactly at the threshold is background. Column 5's contrast: right, then left.
  const double column5 = (std::sqrt(3.0 * 36) + std::sqrt(3.0 * 25)) / 2 * 4.0;
  EXPECT_EQ(BackgroundCellsOfPreview(row, column5), 6);
  EXPECT_EQ(BackgroundCellsOfPreview(row, std::nextafter(column5, 0.0)), 5);
}

TEST(WireFill, NoiseIsTheNinetiethPercentile) {
  TZelPixelBuffer row;
  GapRow(row, 10, 0);
  quill::TDefectGrid grid;
  TZelPixelMask mask = FullMask(row.GetBounds());
  double noise = 0;
  ASSERT_TRUE(quill::MeasureDabNoise(grid, mask, row, row.GetBounds(), noise));
  // Index 8 of 10: column 8, gaps 9 (right) and 8 (left).
  EXPECT_EQ(noise, (std::sqrt(3.0 * 81) + std::sqrt(3.0 * 64)) / 2 * 4.0);
}

TEST(WireFill, PreviewPaintsContrastExtremes) {
  TZelPixelBuffer image, out;
  MakeImage(image, 10, 1, 0);
  MakeImage(out, 10, 1, 0);
  for (int x = 0; x < 10; ++x) {
    uint8_t* p = image.GetPixelAddress(x, 0);
    p[0] = 50;   // B
    p[1] = 100;  // G
    p[2] = static_cast<uint8_t>(x == 9 ? 250 : 200);  // R: one high-contrast cell at the end
  }
  quill::TDefectGrid grid;
  const quill::TRect rect = image.GetBounds();
  ASSERT_TRUE(quill::RepairDab(grid, FullMask(rect), image, out, rect, 0, true));
  // Columns 8 and 9 have the two highest contrasts and stay to repair.
  const uint8_t* repaired = out.GetPixelAddress(8, 0);
  EXPECT_EQ(repaired[2], 0);    // R 200 -> 0
  EXPECT_EQ(repaired[1], 255);  // G 100 -> 255
  EXPECT_EQ(repaired[0], 255);  // B 50 -> 255
  const uint8_t* kept = out.GetPixelAddress(2, 0);
  EXPECT_EQ(kept[2], 200);
  EXPECT_EQ(kept[1], 100);
  EXPECT_EQ(kept[0], 50);
}

TEST(WireFill, FailedFitFallsBackToTheRoundedMean) {
  // Five cells in one row: greys 2, 3, 5, 8, 12. Noise 0 leaves columns 0 and 1 as
  // background; a fit along one row fails, so the others get the mean 2.5 -> 2.
  TZelPixelBuffer row;
  GapRow(row, 5, 2);
  quill::TDefectGrid grid;
  const quill::TRect rect = row.GetBounds();
  ASSERT_TRUE(quill::RepairDab(grid, FullMask(rect), row, row, rect, 0, false));
  const uint8_t expected[5] = {2, 3, 2, 2, 2};
  for (int x = 0; x < 5; ++x) EXPECT_EQ(Grey(row, x, 0), expected[x]) << x;
}

TEST(WireFill, TooFewBackgroundCellsForTheSurface) {
  // A 3 x 3 dab: its 33rd percentile makes too few samples for six terms whatever
  // the colours, so every repaired cell gets the mean background colour.
  TZelPixelBuffer image;
  MakeImage(image, 3, 3, 0);
  const uint8_t greys[3][3] = {{10, 10, 10}, {10, 200, 10}, {10, 10, 12}};
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 3; ++x) SetGrey(image, x, y, greys[y][x]);
  }
  quill::TDefectGrid grid;
  const quill::TRect rect = image.GetBounds();
  ASSERT_TRUE(quill::RepairDab(grid, FullMask(rect), image, image, rect, 6, false));
  EXPECT_EQ(Grey(image, 1, 1), 10);
}

TEST(WireFill, DabAtTheImageCornerCountsOnlyPixelsInside) {
  TZelPixelBuffer image;
  MakeImage(image, 8, 8, 90);
  SetGrey(image, 0, 0, 10);
  TZelPixelMask mask;
  PowerDisc(mask, 5, 255, 160);
  const quill::TRect rect = DabRect({0, 0}, 5);  // (-2, -2, 3, 3): a quarter lies inside
  mask.MoveTo(rect.Left, rect.Top);
  quill::TDefectGrid grid;
  const quill::TRect clipped = quill::IntersectRect(rect, image.GetBounds());
  ASSERT_TRUE(quill::RepairDab(grid, mask, image, image, clipped, 6, false));
  EXPECT_EQ(grid.DefectPixelCount(), 8);  // the part of the disc inside the image
  EXPECT_EQ(Grey(image, 0, 0), 90);       // the dark corner pixel is repaired
  EXPECT_EQ(Grey(image, 4, 4), 90);
}

TEST(WireFill, SinglePixelFootprintHasZeroContrast) {
  // Only the corner pixel is covered: it has no covered neighbour.
  TZelPixelBuffer image;
  MakeImage(image, 4, 4, 33);
  TZelPixelMask mask;
  mask.SetBounds(-1, -1, 2, 2);
  *mask.GetPixelAddress(0, 0) = 255;
  quill::TDefectGrid grid;
  double noise = -1;
  ASSERT_TRUE(quill::MeasureDabNoise(grid, mask, image, {-1, -1, 1, 1}, noise));
  EXPECT_EQ(noise, 0);
  ASSERT_TRUE(quill::RepairDab(grid, mask, image, image, {-1, -1, 1, 1}, 6, false));
  EXPECT_EQ(Grey(image, 0, 0), 33);
}

TEST(WireFill, NothingCoveredOrWrongFormatWritesNothing) {
  TZelPixelBuffer image, wide;
  MakeImage(image, 4, 4, 33);
  ASSERT_TRUE(wide.Allocate(quill::kPixelFormat32, {0, 0, 4, 4}));
  TZelPixelMask empty;
  empty.SetBounds(0, 0, 4, 4);
  quill::TDefectGrid grid;
  EXPECT_FALSE(quill::RepairDab(grid, empty, image, image, image.GetBounds(), 6, false));
  EXPECT_FALSE(quill::RepairDab(grid, FullMask(image.GetBounds()), wide, image, image.GetBounds(), 6, false));
  EXPECT_FALSE(quill::RepairDab(grid, FullMask(image.GetBounds()), image, image, {10, 10, 20, 20}, 6, false));
  double noise = 0;
  EXPECT_FALSE(quill::MeasureDabNoise(grid, empty, image, image.GetBounds(), noise));
}

// A dark cable painted over a real photo's background is removed by a stroke of
// dabs, each reading the image as it was before the stroke.
TEST(WireFill, RemovesACableFromARealPhoto) {
  TZelPixelBuffer clean, live, before;
  ASSERT_TRUE(quill::LoadSamplePhoto("astronaut.png", clean));

  // A gently sloping two-pixel cable through the grey backdrop at the top right.
  ASSERT_TRUE(live.Allocate(quill::kPixelFormat24, clean.GetBounds()));
  live.CopyFrom(clean);
  std::vector<quill::TPoint> path;
  for (int x = 300; x < 360; ++x) path.push_back({x, 30 + (x - 300) / 6});
  for (const quill::TPoint& p : path) {
    for (int dy = 0; dy < 2; ++dy) SetGrey(live, p.X, p.Y + dy, 35);
  }
  ASSERT_TRUE(before.Allocate(quill::kPixelFormat24, live.GetBounds()));
  before.CopyFrom(live);

  auto cableError = [&](const TZelPixels& image) {
    double sum = 0;
    int count = 0;
    for (const quill::TPoint& p : path) {
      for (int dy = 0; dy < 2; ++dy) {
        for (int c = 0; c < 3; ++c) {
          sum += std::abs(image.GetPixelAddress(p.X, p.Y + dy)[c] - clean.GetPixelAddress(p.X, p.Y + dy)[c]);
          ++count;
        }
      }
    }
    return sum / count;
  };

  quill::TWireEraserStroke stroke;
  stroke.Begin(live, before, before, false);
  for (size_t i = 0; i < path.size(); i += 2) stroke.ApplyDab(path[i], 9, {});
  stroke.End();
  const double damaged = cableError(before);
  const double repaired = cableError(live);
  EXPECT_GT(damaged, 80);
  EXPECT_LT(repaired, 10) << "mean error on the cable before " << damaged;
  // Far from the stroke nothing changed.
  EXPECT_EQ(quill::PackPixel(live.GetPixelAddress(100, 400)), quill::PackPixel(clean.GetPixelAddress(100, 400)));
}
