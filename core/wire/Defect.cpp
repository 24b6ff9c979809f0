#include "Defect.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <limits>

#include "RGBLeastSquaresMethod.h"
#include "ZelUtils.h"

static_assert(std::numeric_limits<long double>::digits == 64,
              "the percentile rule needs the 80-bit extended type");

namespace {

// Percentile fractions, as extended constants.
constexpr long double kNoiseFraction = 0.9L;
constexpr long double kHighFraction = 0.8L;
constexpr long double kLowFraction = 0.33L;

double ColourDistance(const TZelRGB& a, const TZelRGB& b) {
  const int dr = int{a.R} - b.R;
  const int dg = int{a.G} - b.G;
  const int db = int{a.B} - b.B;
  return std::sqrt(static_cast<double>(dr * dr + dg * dg + db * db));
}

uint8_t ToContrastExtreme(uint8_t channel) { return channel >= 128 ? 0 : 255; }

}  // namespace

void TDefectGrid::InitDefectGrid(const TRect& rect) {
  FGridLeft = rect.Left;
  FGridTop = rect.Top;
  FGridWidth = static_cast<int32_t>(rect.Width());
  FGridHeight = static_cast<int32_t>(rect.Height());
  const size_t cells = static_cast<size_t>(FGridWidth) * FGridHeight;
  FCells.resize(cells);
  for (Cell& cell : FCells) cell.State = kUncovered;
  FCellContrast.resize(cells);
  FEdgeBelow.resize(cells);
  FEdgeRight.resize(cells);
  FContrastValues.clear();
  FContrastValues.reserve(cells);
  FDefectPixelCount = 0;
}

void TDefectGrid::AddDefectPixel(int32_t x, int32_t y, uint32_t color) {
  assert(x >= FGridLeft && x - FGridLeft < FGridWidth && y >= FGridTop &&
         y - FGridTop < FGridHeight && "pixel outside the defect grid");
  Cell& cell = FCells[CellIndex(x, y)];
  cell.Color = UnpackColor(color);
  cell.State = kRepair;
  ++FDefectPixelCount;
}

int64_t TDefectGrid::PercentileIndex(int32_t n, long double p) {
  return RoundHalfEven(static_cast<long double>(n) * p) - 1;
}

// Every covered cell's contrast: 4 times the mean colour distance to its covered
// 4-neighbours, visited above, below, right, left. Background and to-repair
// neighbours count alike, so classifying cells never changes another cell's
// contrast. A cell without covered neighbours (a dab whose footprint in the image is
// one pixel) has contrast 0.
//
// Each distance is computed once per pair of cells (the distance is symmetric, so
// the value is the same from either side) and the sums are formed in the visiting
// order. The per-cell values serve the classification and the list the percentiles,
// so both see the same numbers.
void TDefectGrid::CollectContrastValues() {
  const size_t height = static_cast<size_t>(FGridHeight);
  // FEdgeBelow[i]: distance from cell i to the cell below it; FEdgeRight[i]: to the
  // cell right of it. Set only where both cells are covered.
  for (int32_t gx = 0; gx < FGridWidth; ++gx) {
    for (int32_t gy = 0; gy < FGridHeight; ++gy) {
      const size_t i = gx * height + gy;
      if (FCells[i].State == kUncovered) continue;
      if (gy + 1 < FGridHeight && FCells[i + 1].State != kUncovered) {
        FEdgeBelow[i] = ColourDistance(FCells[i].Color, FCells[i + 1].Color);
      }
      if (gx + 1 < FGridWidth && FCells[i + height].State != kUncovered) {
        FEdgeRight[i] = ColourDistance(FCells[i].Color, FCells[i + height].Color);
      }
    }
  }
  FContrastValues.clear();
  for (int32_t gx = 0; gx < FGridWidth; ++gx) {
    for (int32_t gy = 0; gy < FGridHeight; ++gy) {
      const size_t i = gx * height + gy;
      if (FCells[i].State == kUncovered) continue;
      double sum = 0;
      int count = 0;
      if (gy > 0 && FCells[i - 1].State != kUncovered) {
        sum += FEdgeBelow[i - 1];
        ++count;
      }
      if (gy + 1 < FGridHeight && FCells[i + 1].State != kUncovered) {
        sum += FEdgeBelow[i];
        ++count;
      }
      if (gx + 1 < FGridWidth && FCells[i + height].State != kUncovered) {
        sum += FEdgeRight[i];
        ++count;
      }
      if (gx > 0 && FCells[i - height].State != kUncovered) {
        sum += FEdgeRight[i - height];
        ++count;
      }
      const double contrast = count == 0 ? 0.0 : sum / count * 4.0;
      FCellContrast[i] = contrast;
      FContrastValues.push_back(contrast);
    }
  }
}

// Position of the fraction's index in the list of N contrasts, kept inside the list.
size_t TDefectGrid::PercentilePosition(long double fraction) const {
  const int32_t n = static_cast<int32_t>(FContrastValues.size());
  return static_cast<size_t>(EnsureRangeInt64(PercentileIndex(n, fraction), 0, n - 1));
}

double TDefectGrid::EstimateBackgroundNoise() {
  CollectContrastValues();
  if (FContrastValues.empty()) return 0;
  const auto noise = FContrastValues.begin() + PercentilePosition(kNoiseFraction);
  std::nth_element(FContrastValues.begin(), noise, FContrastValues.end());
  return *noise;
}

void TDefectGrid::ClassifyDefectGrid(double backgroundNoise) {
  CollectContrastValues();
  if (FContrastValues.empty()) return;
  // Only two order statistics of the ascending list are needed, so the list is
  // partitioned rather than sorted: after the first partition the values before the
  // high position are the smaller ones, and the low position lies among them.
  const auto high = FContrastValues.begin() + PercentilePosition(kHighFraction);
  const auto low = FContrastValues.begin() + PercentilePosition(kLowFraction);
  std::nth_element(FContrastValues.begin(), high, FContrastValues.end());
  std::nth_element(FContrastValues.begin(), low, high);
  const double threshold = EnsureRangeDouble(backgroundNoise, *low, *high);
  for (size_t index = 0; index < FCells.size(); ++index) {
    if (FCells[index].State == kRepair && FCellContrast[index] <= threshold) {
      FCells[index].State = kBackground;
    }
  }
}
// The rounded mean colour of the background cells; computed once per fill.
TZelRGB TDefectGrid::MeanBackgroundColor() const {
  double sumB = 0, sumG = 0, sumR = 0;
  int count = 0;
  for (const Cell& cell : FCells) {
    if (cell.State != kBackground) continue;
    sumB += cell.Color.B;
    sumG += cell.Color.G;
    sumR += cell.Color.R;
    ++count;
  }
  return {static_cast<uint8_t>(RoundHalfEven(sumB / count)),
          static_cast<uint8_t>(RoundHalfEven(sumG / count)),
          static_cast<uint8_t>(RoundHalfEven(sumR / count))};
}

void TDefectGrid::FillDefectGrid(bool showOnly) {
  if (showOnly) {
    for (Cell& cell : FCells) {
      if (cell.State != kRepair) continue;
      cell.Color = {ToContrastExtreme(cell.Color.B), ToContrastExtreme(cell.Color.G),
                    ToContrastExtreme(cell.Color.R)};
    }
    return;
  }

  int background = 0;
  for (const Cell& cell : FCells) background += cell.State == kBackground;
  // The fit's capacity only bounds its sample count, so the background count suffices.
  TRGBLSM fit(background, /*quadratic=*/true);
  for (int32_t gx = 0; gx < FGridWidth; ++gx) {
    for (int32_t gy = 0; gy < FGridHeight; ++gy) {
      const Cell& cell = FCells[static_cast<size_t>(gx) * FGridHeight + gy];
      if (cell.State == kBackground) fit.AddSample(gx, gy, cell.Color.R, cell.Color.G, cell.Color.B);
    }
  }

  if (fit.Solve()) {
    for (int32_t gx = 0; gx < FGridWidth; ++gx) {
      for (int32_t gy = 0; gy < FGridHeight; ++gy) {
        Cell& cell = FCells[static_cast<size_t>(gx) * FGridHeight + gy];
        if (cell.State == kRepair) fit.Evaluate(gx, gy, cell.Color.R, cell.Color.G, cell.Color.B);
      }
    }
  } else if (background > 0) {
    // Without background every cell keeps its own colour.
    const TZelRGB mean = MeanBackgroundColor();
    for (Cell& cell : FCells) {
      if (cell.State == kRepair) cell.Color = mean;
    }
  }
}

// ---- One Wire Eraser dab ----

namespace {

// Rect limited to both views, or empty when either is not a 24-bit image with pixels.
TRect DabArea(const TZelPixels& source, const TZelPixels& dest, const TRect& rect) {
  if (source.PixelFormat() != kPixelFormat24 || dest.PixelFormat() != kPixelFormat24 ||
      source.Bits() == nullptr || dest.Bits() == nullptr) {
    return {};
  }
  return IntersectRect(IntersectRect(rect, source.GetBounds()), dest.GetBounds());
}

bool Covered(const TZelPixelMask& mask, int32_t x, int32_t y) {
  const uint8_t* weight = mask.GetPixelAddress(x, y);
  return weight != nullptr && *weight != 0;
}

// Starts the grid over Area and enters every covered pixel of Source, column by column.
void LoadDab(TDefectGrid& grid, const TZelPixelMask& mask, const TZelPixels& source,
             const TRect& area) {
  grid.InitDefectGrid(area);
  for (int32_t x = area.Left; x < area.Right; ++x) {
    for (int32_t y = area.Top; y < area.Bottom; ++y) {
      if (Covered(mask, x, y)) grid.AddDefectPixel(x, y, PackPixel(source.GetPixelAddress(x, y)));
    }
  }
}

}  // namespace

bool RepairDab(TDefectGrid& grid, const TZelPixelMask& mask, const TZelPixels& source,
               TZelPixels& dest, const TRect& rect, double backgroundNoise, bool showOnly) {
  const TRect area = DabArea(source, dest, rect);
  LoadDab(grid, mask, source, area);
  if (grid.DefectPixelCount() == 0) return false;
  grid.ClassifyDefectGrid(backgroundNoise);
  grid.FillDefectGrid(showOnly);
  for (int32_t x = area.Left; x < area.Right; ++x) {
    for (int32_t y = area.Top; y < area.Bottom; ++y) {
      if (!Covered(mask, x, y)) continue;
      const TZelRGB color = grid.GetDefectGridColor(x, y);
      uint8_t* pixel = dest.GetPixelAddress(x, y);
      pixel[0] = color.B;
      pixel[1] = color.G;
      pixel[2] = color.R;
    }
  }
  return true;
}

bool MeasureDabNoise(TDefectGrid& grid, const TZelPixelMask& mask, const TZelPixels& source,
                     const TRect& rect, double& noise) {
  LoadDab(grid, mask, source, DabArea(source, source, rect));
  if (grid.DefectPixelCount() == 0) return false;
  noise = grid.EstimateBackgroundNoise();
  return true;
}
