#include "Defect.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <limits>
#include <utility>

#include "RGBLeastSquaresMethod.h"
#include "ZelUtils.h"
#include "apMinMisclosureSvd.h"

namespace quill {

// The dab's loops are also compiled for the x86-64-v3 level (256-bit vectors), taken
// at run time where the processor has it. Wider vectors change no value: every
// operation is the same IEEE operation on more lanes, sums are still formed in their
// written order, and -ffp-contract=off still forbids fused multiply-adds.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define QUILL_WIDE_VECTORS __attribute__((target_clones("arch=x86-64-v3", "default")))
#else
#define QUILL_WIDE_VECTORS
#endif

static_assert(std::numeric_limits<long double>::digits == 64,
              "the percentile rule needs the 80-bit extended type");

namespace {

// Cell states.
constexpr uint8_t kUncovered = 0;   // not covered by the dab; ignored by every step
constexpr uint8_t kBackground = 1;  // a sample of the surface
constexpr uint8_t kRepair = 2;      // to repaint (every covered cell starts here)

// Percentile fractions, as extended constants.
constexpr long double kNoiseFraction = 0.9L;
constexpr long double kHighFraction = 0.8L;
constexpr long double kLowFraction = 0.33L;

// Up to this many columns and rows, the fit's normal equations are summed as integers.
// With weight 1 and integer basis values, their entries are sums of x^a * y^b
// (a + b <= 4) and of a channel times x^a * y^b (a + b <= 2) over the background
// cells; with x, y <= 63 and at most 64 * 64 cells every product and every partial
// sum is an integer below 64 * 64 * 63^4 < 2^37, far inside the 2^53 that doubles
// hold exactly. So the sums taken row by row here and those the least-squares solver
// forms one sample at a time are the same integers, and so the same doubles, whatever
// the order. The row sums of x^4 (at most 64 * 63^4 < 2^31) fit 32 bits. A larger
// grid is fitted one sample at a time instead.
constexpr int32_t kMaxExactSide = 64;

// Buckets of the contrast selection, one unit wide. Contrasts reach 4 * sqrt(3) * 255;
// those from 255 on share the last bucket, which only a dab mostly over hard edges
// needs to partition.
constexpr size_t kContrastBuckets = 256;

uint8_t ToContrastExtreme(uint8_t channel) { return channel >= 128 ? 0 : 255; }

// The squared colour distance of each of N cells, I + i, to its neighbour I + i + Step
// (plane indices): the integer sum of squared channel differences, or -1 where either
// cell is uncovered. One long loop over the whole grid, which vectorises fully; the
// rows then take the roots of the pairs they need.
QUILL_WIDE_VECTORS void NeighbourSquares(const uint8_t* blue, const uint8_t* green,
                                         const uint8_t* red, const uint8_t* state, size_t first,
                                         size_t n, size_t step, int32_t* out) {
  for (size_t i = first; i < first + n; ++i) {
    // 16-bit differences, whose squares the compiler forms in pairs.
    const auto db = static_cast<int16_t>(blue[i] - blue[i + step]);
    const auto dg = static_cast<int16_t>(green[i] - green[i + step]);
    const auto dr = static_cast<int16_t>(red[i] - red[i + step]);
    const int32_t sum = int32_t{dr} * dr + int32_t{dg} * dg + int32_t{db} * db;
    const bool bothCovered = (state[i] != kUncovered) & (state[i + step] != kUncovered);
    out[i] = bothCovered ? sum : -1;
  }
}

// The colour distances of N pairs from their squares: the roots, and 0 for -1.
QUILL_WIDE_VECTORS void NeighbourDistances(const int32_t* squares, size_t n, double* out) {
  for (size_t i = 0; i < n; ++i) {
    // The root of -1 is taken and dropped; no floating-point trap is enabled.
    const double distance = std::sqrt(static_cast<double>(squares[i]));
    out[i] = squares[i] >= 0 ? distance : 0.0;
  }
}

// A channel of the surface: kept to 0..255 (not-a-number gives 0) and rounded half to
// even. std::lrint rounds in the current rounding mode, which the program never
// changes from to-nearest-even, so it gives RoundHalfEven's integer in one instruction.
uint8_t SurfaceByte(double value) {
  double v = value > 0 ? value : 0.0;
  v = v < 255 ? v : 255.0;
  return static_cast<uint8_t>(std::lrint(v));
}

}  // namespace

void TDefectGrid::InitDefectGrid(const TRect& rect) {
  FGridLeft = rect.Left;
  FGridTop = rect.Top;
  FGridWidth = static_cast<int32_t>(rect.Width());
  FGridHeight = static_cast<int32_t>(rect.Height());
  FStride = static_cast<size_t>(FGridWidth) + 2;
  const size_t cells = FStride * (static_cast<size_t>(FGridHeight) + 2);
  FBlue.resize(cells);
  FGreen.resize(cells);
  FRed.resize(cells);
  FState.assign(cells, kUncovered);
  // Empty spans: first past end.
  FSpanFirst.assign(FGridHeight, FGridWidth);
  FSpanEnd.assign(FGridHeight, 0);
  FContrast.resize(cells);
  FAbove.resize(FGridWidth);
  FBelow.resize(FGridWidth);
  FRight.resize(FGridWidth + 1);
  FSquaresRight.resize(cells);
  FSquaresBelow.resize(cells);
  FBucketCounts.resize(kContrastBuckets * 4);
  FCoveredContrasts.resize(static_cast<size_t>(FGridWidth) * FGridHeight);
  FContrastValues.resize(static_cast<size_t>(FGridWidth) * FGridHeight);
  FColumnLists.resize(static_cast<size_t>(FGridWidth) * FGridHeight);
  FBackgroundInRow.resize(FGridHeight);
  FRepairInRow.resize(FGridHeight);
  FListed = false;
  FCoveredCount = 0;
  FDefectPixelCount = 0;
}

void TDefectGrid::AddDefectPixel(int32_t x, int32_t y, uint32_t color) {
  assert(x >= FGridLeft && x - FGridLeft < FGridWidth && y >= FGridTop &&
         y - FGridTop < FGridHeight && "pixel outside the defect grid");
  const size_t i = CellIndex(x, y);
  const TZelRGB c = UnpackColor(color);
  FBlue[i] = c.B;
  FGreen[i] = c.G;
  FRed[i] = c.R;
  FCoveredCount += FState[i] == kUncovered;
  FState[i] = kRepair;
  const int32_t gx = x - FGridLeft;
  const int32_t gy = y - FGridTop;
  FSpanFirst[gy] = std::min(FSpanFirst[gy], gx);
  FSpanEnd[gy] = std::max(FSpanEnd[gy], gx + 1);
  ++FDefectPixelCount;
  FListed = false;
}

QUILL_WIDE_VECTORS void TDefectGrid::LoadDefectPixels(const TZelPixelMask& mask,
                                                      const TZelPixels& source, const TRect& rect) {
  InitDefectGrid(rect);
  if (FGridWidth == 0 || FGridHeight == 0) return;
  // The mask's columns within the grid, as grid columns.
  const int64_t maskLeft = std::max<int64_t>(int64_t{mask.Left()} - FGridLeft, 0);
  const int64_t maskRight =
      std::min<int64_t>(int64_t{mask.Left()} + mask.Width() - FGridLeft, FGridWidth);
  if (maskLeft >= maskRight) return;
  int32_t covered = 0;
  for (int32_t gy = 0; gy < FGridHeight; ++gy) {
    // The mask's bytes from grid column maskLeft on.
    const uint8_t* weights = mask.GetPixelAddress(static_cast<int32_t>(FGridLeft + maskLeft), FGridTop + gy);
    if (weights == nullptr) continue;  // row outside the mask
    // The row's span: from its first to its last covered column.
    auto first = static_cast<int32_t>(maskLeft);
    auto end = static_cast<int32_t>(maskRight);
    while (first < end && weights[first - maskLeft] == 0) ++first;
    while (end > first && weights[end - 1 - maskLeft] == 0) --end;
    if (first == end) continue;
    FSpanFirst[gy] = first;
    FSpanEnd[gy] = end;
    const size_t row = RowStart(gy);
    uint8_t* const blue = FBlue.data() + row;
    uint8_t* const green = FGreen.data() + row;
    uint8_t* const red = FRed.data() + row;
    uint8_t* const state = FState.data() + row;
    const uint8_t* const pixel = source.GetScanLine(FGridLeft, FGridTop + gy);
    // The states in a loop of their own, which the compiler vectorises.
    for (int32_t gx = first; gx < end; ++gx) {
      const bool isCovered = weights[gx - maskLeft] != 0;
      state[gx] = isCovered ? kRepair : kUncovered;
      covered += isCovered;
    }
    for (int32_t gx = first; gx < end; ++gx) {
      blue[gx] = pixel[3 * gx];
      green[gx] = pixel[3 * gx + 1];
      red[gx] = pixel[3 * gx + 2];
    }
  }
  FCoveredCount = covered;
  FDefectPixelCount = covered;
}

int64_t TDefectGrid::PercentileIndex(int32_t n, long double p) {
  return RoundHalfEven(static_cast<long double>(n) * p) - 1;
}

// Every covered cell's contrast: 4 times the mean colour distance to its covered
// 4-neighbours. The distances are summed in the order above, below, right, left; a
// neighbour that is uncovered or beyond the grid adds +0.0, which leaves every sum
// as it was, and is left out of the count. Background and to-repair neighbours count
// alike, so classifying cells never changes another cell's contrast. A cell without
// covered neighbours (a dab whose footprint in the image is one pixel) has contrast 0.
//
// Each distance is computed once per pair of cells (it is symmetric): the squares for
// the whole grid in two long loops, the roots only within the rows' spans. The
// distances down to the next row become that row's distances up.
// The same pass counts the covered cells whose contrast is below Noise and those at
// most Noise (none when Noise is not a number), for the classification's threshold,
// and lists the covered cells' contrasts in FCoveredContrasts, for a selection.
//
// Where a cell and its four neighbours are covered, the sum over 4 times 4 is the
// sum itself (both scalings by a power of two are exact for sums of square roots of
// integers), so no division is needed. When no span has a gap, these are the cells
// inside the spans of their row and of the rows above and below, away from the ends.
QUILL_WIDE_VECTORS TDefectGrid::TNoiseCounts TDefectGrid::ComputeContrasts(double noise) {
  TNoiseCounts counts;
  double* const covered = FCoveredContrasts.data();
  size_t listed = 0;
  int64_t spanCells = 0;
  for (int32_t gy = 0; gy < FGridHeight; ++gy) {
    spanCells += std::max(FSpanEnd[gy] - FSpanFirst[gy], 0);
  }
  const bool spansWhole = spanCells == FCoveredCount;
  // Every cell's squared distances to its right and lower neighbours, from the first
  // cell of the grid to the last.
  const size_t gridCells = static_cast<size_t>(FGridHeight - 1) * FStride + FGridWidth;
  NeighbourSquares(FBlue.data(), FGreen.data(), FRed.data(), FState.data(), RowStart(0), gridCells, 1,
                   FSquaresRight.data());
  NeighbourSquares(FBlue.data(), FGreen.data(), FRed.data(), FState.data(), RowStart(0), gridCells,
                   FStride, FSquaresBelow.data());
  std::fill(FAbove.begin(), FAbove.end(), 0.0);  // the border row above is uncovered
  for (int32_t gy = 0; gy < FGridHeight; ++gy) {
    const int32_t first = FSpanFirst[gy];
    const int32_t end = FSpanEnd[gy];
    const size_t row = RowStart(gy);
    // FBelow[x]: (x, gy) to (x, gy + 1), where both rows' spans hold x.
    std::fill(FBelow.begin(), FBelow.end(), 0.0);
    if (gy + 1 < FGridHeight) {
      const int32_t from = std::max(first, FSpanFirst[gy + 1]);
      const int32_t to = std::min(end, FSpanEnd[gy + 1]);
      if (from < to) {
        NeighbourDistances(FSquaresBelow.data() + row + from, to - from, FBelow.data() + from);
      }
    }
    if (first >= end) {
      std::swap(FAbove, FBelow);
      continue;
    }
    // FRight[x]: (x - 1, gy) to (x, gy); none at the span's ends.
    FRight[first] = 0.0;
    FRight[end] = 0.0;
    NeighbourDistances(FSquaresRight.data() + row + first, end - first - 1, FRight.data() + first + 1);
    const uint8_t* state = FState.data() + row;
    const uint8_t* up = state - FStride;
    const uint8_t* down = state + FStride;
    const uint8_t* left = state - 1;
    const uint8_t* right = state + 1;
    const double* above = FAbove.data();
    const double* below = FBelow.data();
    const double* beside = FRight.data();
    double* contrast = FContrast.data() + row;
    const auto anyCell = [&](int32_t x) {
      const int count = (up[x] != kUncovered) + (down[x] != kUncovered) +
                        (right[x] != kUncovered) + (left[x] != kUncovered);
      const double sum = ((above[x] + below[x]) + beside[x + 1]) + beside[x];
      const double value = sum / std::max(count, 1) * 4.0;
      contrast[x] = value;
      const bool isCovered = state[x] != kUncovered;
      covered[listed] = value;
      listed += isCovered;
      counts.Below += isCovered & (value < noise);
      counts.AtOrBelow += isCovered & (value <= noise);
    };
    // The columns [inner, innerEnd) whose cells have four covered neighbours.
    int32_t inner = end;
    int32_t innerEnd = end;
    if (spansWhole && gy > 0 && gy + 1 < FGridHeight) {
      inner = std::min(std::max({first + 1, FSpanFirst[gy - 1], FSpanFirst[gy + 1]}), end);
      innerEnd = std::max(std::min({end - 1, FSpanEnd[gy - 1], FSpanEnd[gy + 1]}), inner);
    }
    for (int32_t x = first; x < inner; ++x) anyCell(x);
    for (int32_t x = inner; x < innerEnd; ++x) {
      const double value = ((above[x] + below[x]) + beside[x + 1]) + beside[x];
      contrast[x] = value;
      covered[listed + (x - inner)] = value;
      counts.Below += value < noise;
      counts.AtOrBelow += value <= noise;
    }
    listed += innerEnd - inner;
    for (int32_t x = innerEnd; x < end; ++x) anyCell(x);
    std::swap(FAbove, FBelow);
  }
  assert(listed == static_cast<size_t>(FCoveredCount));
  return counts;
}

// Position of the fraction's index in the ascending list of the covered cells'
// contrasts, kept inside the list.
size_t TDefectGrid::PercentilePosition(long double fraction) const {
  return static_cast<size_t>(
      EnsureRangeInt64(PercentileIndex(FCoveredCount, fraction), 0, FCoveredCount - 1));
}

// The value at Position of the ascending list of the covered cells' contrasts
// (FCoveredContrasts, in any order). The contrasts are first counted in buckets one
// unit wide by their integer part (the last bucket takes every larger value), and
// only the values of the bucket that holds Position are then partitioned.
// Neighbouring cells have alike contrasts, so the counts are kept in four
// interleaved tables, which lets one value's count go ahead without waiting for its
// neighbour's.
QUILL_WIDE_VECTORS double TDefectGrid::SelectContrast(size_t position) {
  uint32_t* const counts = FBucketCounts.data();
  constexpr size_t kLast = kContrastBuckets - 1;
  const double* const contrasts = FCoveredContrasts.data();
  const auto n = static_cast<size_t>(FCoveredCount);
  std::fill(FBucketCounts.begin(), FBucketCounts.end(), 0);
  for (size_t i = 0; i < n; ++i) {
    // Contrasts are never negative or not a number; a 32-bit conversion is one step.
    const auto bucket = static_cast<size_t>(static_cast<int32_t>(std::min(contrasts[i], double{kLast})));
    ++counts[bucket * 4 + (i & 3)];
  }
  size_t chosen = 0;
  size_t before = 0;  // values in the buckets below the chosen one
  const auto bucketCount = [counts](size_t bucket) {
    const uint32_t* c = counts + bucket * 4;
    return size_t{c[0]} + c[1] + c[2] + c[3];
  };
  while (before + bucketCount(chosen) <= position) before += bucketCount(chosen++);
  // The chosen bucket's values, gathered without branches.
  const double low = static_cast<double>(chosen);
  const double high = chosen == kLast ? std::numeric_limits<double>::infinity() : low + 1;
  double* const values = FContrastValues.data();
  size_t count = 0;
  for (size_t i = 0; i < n; ++i) {
    values[count] = contrasts[i];
    count += (contrasts[i] >= low) & (contrasts[i] < high);
  }
  double* const value = values + (position - before);
  std::nth_element(values, value, values + count);
  return *value;
}

double TDefectGrid::EstimateBackgroundNoise() {
  if (FCoveredCount == 0) return 0;
  ComputeContrasts(std::numeric_limits<double>::quiet_NaN());
  return SelectContrast(PercentilePosition(kNoiseFraction));
}

// The classification threshold: BackgroundNoise kept between Low and High, the
// contrasts at the low and high percentile positions of the ascending list. Noise
// is below Low exactly when no more than the low position's count of contrasts are
// at most Noise, and above High exactly when more than the high position's count
// are below it (Counts, from ComputeContrasts); only then is an order statistic needed.
double TDefectGrid::Threshold(double backgroundNoise, const TNoiseCounts& counts) {
  // Not a number stays as it is, and then no cell is at most the threshold.
  if (backgroundNoise != backgroundNoise) return backgroundNoise;
  const size_t lowPosition = PercentilePosition(kLowFraction);
  if (counts.AtOrBelow <= lowPosition) return SelectContrast(lowPosition);
  const size_t highPosition = PercentilePosition(kHighFraction);
  if (counts.Below > highPosition) return SelectContrast(highPosition);
  return backgroundNoise;
}

void TDefectGrid::ClassifyDefectGrid(double backgroundNoise) {
  if (FCoveredCount == 0) return;
  const double threshold = Threshold(backgroundNoise, ComputeContrasts(backgroundNoise));
  // Every to-repair cell whose contrast is at most Threshold becomes background (none
  // when Threshold is not a number), in one long loop over the grid that vectorises;
  // kRepair - 1 is kBackground. Uncovered cells never change.
  uint8_t* const state = FState.data();
  const double* const contrast = FContrast.data();
  const size_t last = RowStart(FGridHeight - 1) + FGridWidth;
  for (size_t i = RowStart(0); i < last; ++i) {
    state[i] -= (state[i] == kRepair) & (contrast[i] <= threshold);
  }
  for (int32_t gy = 0; gy < FGridHeight; ++gy) ListRow(gy);
  FListed = true;
}

// Lists row GY's background columns from the front of its part of FColumnLists and
// its to-repair columns from the back. No step branches on a cell, which the
// scattered states would mislead: each column is written to both ends and kept where
// it counts. The two lists never overlap, as the row has no more covered cells than
// columns.
QUILL_WIDE_VECTORS void TDefectGrid::ListRow(int32_t gy) {
  static_assert(kBackground == 1 && kRepair == 2, "the states are counted by their bits");
  const uint8_t* const state = FState.data() + RowStart(gy);
  int32_t* const columns = FColumnLists.data() + static_cast<size_t>(gy) * FGridWidth;
  int32_t* const last = columns + FGridWidth - 1;
  int32_t* front = columns;  // the next background entry
  int32_t* back = last;      // the next to-repair entry
  const int32_t end = FSpanEnd[gy];  // read once: the stores could alias it
  for (int32_t x = FSpanFirst[gy]; x < end; ++x) {
    *front = x;
    *back = x;
    front += state[x] & kBackground;
    back -= state[x] >> 1;  // 1 for kRepair
  }
  FBackgroundInRow[gy] = static_cast<int32_t>(front - columns);
  FRepairInRow[gy] = static_cast<int32_t>(last - back);
}

// Fits the quadratic surface of each channel (R, G, B) to the background cells and
// returns whether the fit succeeded. The normal equations over the basis 1, x, y,
// x^2, y^2, xy are summed as integers, row by row, then solved through the same
// decomposition as a fit that adds one sample at a time. The grid is at most
// kMaxExactSide wide and high.
QUILL_WIDE_VECTORS bool TDefectGrid::FitSurface(double coefficients[3][6]) const {
  // moment[a][b]: the sum of x^a * y^b; channelMoment[c][a][b]: of channel c times it.
  int64_t moment[5][5] = {};
  int64_t channelMoment[3][3][3] = {};
  for (int32_t gy = 0; gy < FGridHeight; ++gy) {
    const size_t row = RowStart(gy);
    const uint8_t* channels[3] = {FRed.data() + row, FGreen.data() + row, FBlue.data() + row};
    int32_t power[5] = {};            // sums of x^a over the row's background cells
    int32_t channelPower[3][3] = {};  // sums of channel times x^a
    const int32_t* const columns = FColumnLists.data() + static_cast<size_t>(gy) * FGridWidth;
    const int32_t count = FBackgroundInRow[gy];
    for (int32_t i = 0; i < count; ++i) {
      const int32_t x = columns[i];
      const int32_t x2 = x * x;
      power[0] += 1;
      power[1] += x;
      power[2] += x2;
      power[3] += x2 * x;
      power[4] += x2 * x2;
      for (int c = 0; c < 3; ++c) {
        const int32_t value = channels[c][x];
        channelPower[c][0] += value;
        channelPower[c][1] += value * x;
        channelPower[c][2] += value * x2;
      }
    }
    const int64_t y = gy;
    const int64_t yPower[5] = {1, y, y * y, y * y * y, y * y * y * y};
    for (int a = 0; a <= 4; ++a) {
      for (int b = 0; a + b <= 4; ++b) moment[a][b] += power[a] * yPower[b];
    }
    for (int c = 0; c < 3; ++c) {
      for (int a = 0; a <= 2; ++a) {
        for (int b = 0; a + b <= 2; ++b) channelMoment[c][a][b] += channelPower[c][a] * yPower[b];
      }
    }
  }

  // The basis terms as powers of x and of y.
  constexpr int kXPower[6] = {0, 1, 0, 2, 0, 1};
  constexpr int kYPower[6] = {0, 0, 1, 0, 2, 1};
  quill::TSmallSvd svd;  // the normal matrix, indexed from 1, then its decomposition
  svd.Rows = 6;
  svd.Cols = 6;
  for (int p = 0; p < 6; ++p) {
    for (int q = 0; q < 6; ++q) {
      svd.U[p + 1][q + 1] =
          static_cast<double>(moment[kXPower[p] + kXPower[q]][kYPower[p] + kYPower[q]]);
    }
  }
  quill::DecomposeSmallSvd(svd);
  for (int c = 0; c < 3; ++c) {
    double rightHandSide[7];
    double solution[7];
    for (int p = 0; p < 6; ++p) {
      rightHandSide[p + 1] = static_cast<double>(channelMoment[c][kXPower[p]][kYPower[p]]);
    }
    // Whether a singular value is dropped depends on the matrix alone, so the first
    // channel decides for all three.
    if (!quill::SolveSmallSvd(svd, rightHandSide, solution)) return false;
    std::copy(solution + 1, solution + 7, coefficients[c]);
  }
  return true;
}

// Repaints the to-repair cells from the surfaces of R, G and B. Each channel is
// c0 + c1*x + c2*y + c3*x^2 + c4*y^2 + c5*xy summed from the left, as the fit
// evaluates it; the partial sum c0 + c1*x and the term c3*x^2 are kept per column,
// and x*y (exact in doubles) per cell.
QUILL_WIDE_VECTORS void TDefectGrid::PaintSurface(const double coefficients[3][6]) {
  double linear[kMaxExactSide][3];
  double square[kMaxExactSide][3];
  for (int32_t x = 0; x < FGridWidth; ++x) {
    for (int c = 0; c < 3; ++c) {
      linear[x][c] = coefficients[c][0] + coefficients[c][1] * x;
      square[x][c] = coefficients[c][3] * (x * x);
    }
  }
  const double cross[3] = {coefficients[0][5], coefficients[1][5], coefficients[2][5]};
  for (int32_t gy = 0; gy < FGridHeight; ++gy) {
    const size_t row = RowStart(gy);
    uint8_t* const planes[3] = {FRed.data() + row, FGreen.data() + row, FBlue.data() + row};
    double rowTerm[3], rowSquare[3];
    for (int c = 0; c < 3; ++c) {
      rowTerm[c] = coefficients[c][2] * gy;
      rowSquare[c] = coefficients[c][4] * (gy * gy);
    }
    // The row's to-repair columns, listed backwards from the end of its part.
    const int32_t count = FRepairInRow[gy];
    const int32_t* const columns = FColumnLists.data() + static_cast<size_t>(gy + 1) * FGridWidth - count;
    for (int32_t i = 0; i < count; ++i) {
      const int32_t x = columns[i];
      const double xy = x * gy;
      for (int c = 0; c < 3; ++c) {
        const double value = (((linear[x][c] + rowTerm[c]) + square[x][c]) + rowSquare[c]) + cross[c] * xy;
        planes[c][x] = SurfaceByte(value);
      }
    }
  }
}

// The fit of a grid too large for integer sums: one sample per background cell,
// column by column, then the surface evaluated at every to-repair cell.
void TDefectGrid::FitAndPaintBySamples(int32_t background) {
  TRGBLSM fit(background, /*quadratic=*/true);
  for (int32_t gx = 0; gx < FGridWidth; ++gx) {
    for (int32_t gy = 0; gy < FGridHeight; ++gy) {
      const size_t i = RowStart(gy) + gx;
      if (FState[i] == kBackground) fit.AddSample(gx, gy, FRed[i], FGreen[i], FBlue[i]);
    }
  }
  if (!fit.Solve()) {
    PaintMeanBackground();
    return;
  }
  for (int32_t gy = 0; gy < FGridHeight; ++gy) {
    for (int32_t gx = 0; gx < FGridWidth; ++gx) {
      const size_t i = RowStart(gy) + gx;
      if (FState[i] == kRepair) fit.Evaluate(gx, gy, FRed[i], FGreen[i], FBlue[i]);
    }
  }
}

// Repaints the to-repair cells with the rounded mean colour of the background cells
// (there is at least one).
void TDefectGrid::PaintMeanBackground() {
  int64_t sumB = 0, sumG = 0, sumR = 0;
  int32_t count = 0;
  for (size_t i = 0; i < FState.size(); ++i) {
    if (FState[i] != kBackground) continue;
    sumB += FBlue[i];
    sumG += FGreen[i];
    sumR += FRed[i];
    ++count;
  }
  const auto mean = [count](int64_t sum) {
    return static_cast<uint8_t>(RoundHalfEven(static_cast<double>(sum) / count));
  };
  const uint8_t b = mean(sumB), g = mean(sumG), r = mean(sumR);
  for (size_t i = 0; i < FState.size(); ++i) {
    if (FState[i] != kRepair) continue;
    FBlue[i] = b;
    FGreen[i] = g;
    FRed[i] = r;
  }
}

void TDefectGrid::FillDefectGrid(bool showOnly) {
  if (showOnly) {
    for (size_t i = 0; i < FState.size(); ++i) {
      if (FState[i] != kRepair) continue;
      FBlue[i] = ToContrastExtreme(FBlue[i]);
      FGreen[i] = ToContrastExtreme(FGreen[i]);
      FRed[i] = ToContrastExtreme(FRed[i]);
    }
    return;
  }
  if (!FListed) {
    for (int32_t gy = 0; gy < FGridHeight; ++gy) ListRow(gy);  // the cells as they stand
    FListed = true;
  }
  int32_t background = 0;
  int32_t repair = 0;
  for (int32_t gy = 0; gy < FGridHeight; ++gy) {
    background += FBackgroundInRow[gy];
    repair += FRepairInRow[gy];
  }
  // Without background the fit fails and there is no mean: every cell keeps its colour.
  // Without a cell to repaint, nothing depends on the fit.
  if (background == 0 || repair == 0) return;
  if (FGridWidth > kMaxExactSide || FGridHeight > kMaxExactSide) {
    FitAndPaintBySamples(background);
    return;
  }
  double coefficients[3][6];
  if (FitSurface(coefficients)) {
    PaintSurface(coefficients);
  } else {
    PaintMeanBackground();
  }
}

void TDefectGrid::StoreDefectPixels(TZelPixels& dest) const {
  for (int32_t gy = 0; gy < FGridHeight; ++gy) {
    const size_t row = RowStart(gy);
    const uint8_t* const blue = FBlue.data() + row;
    const uint8_t* const green = FGreen.data() + row;
    const uint8_t* const red = FRed.data() + row;
    const uint8_t* const state = FState.data() + row;
    uint8_t* const pixel = dest.GetScanLine(FGridLeft, FGridTop + gy);
    const int32_t end = FSpanEnd[gy];  // read once: the stores could alias it
    for (int32_t gx = FSpanFirst[gy]; gx < end; ++gx) {
      if (state[gx] == kUncovered) continue;
      pixel[3 * gx] = blue[gx];
      pixel[3 * gx + 1] = green[gx];
      pixel[3 * gx + 2] = red[gx];
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

}  // namespace

bool RepairDabInGrid(TDefectGrid& grid, const TZelPixelMask& mask, const TZelPixels& source,
                     const TZelPixels& dest, const TRect& rect, double backgroundNoise, bool showOnly,
                     TRect& area) {
  area = DabArea(source, dest, rect);
  grid.LoadDefectPixels(mask, source, area);
  if (grid.DefectPixelCount() == 0) return false;
  grid.ClassifyDefectGrid(backgroundNoise);
  grid.FillDefectGrid(showOnly);
  return true;
}

bool RepairDab(TDefectGrid& grid, const TZelPixelMask& mask, const TZelPixels& source,
               TZelPixels& dest, const TRect& rect, double backgroundNoise, bool showOnly) {
  TRect area;
  if (!RepairDabInGrid(grid, mask, source, dest, rect, backgroundNoise, showOnly, area)) return false;
  grid.StoreDefectPixels(dest);
  return true;
}

bool MeasureDabNoise(TDefectGrid& grid, const TZelPixelMask& mask, const TZelPixels& source,
                     const TRect& rect, double& noise) {
  grid.LoadDefectPixels(mask, source, DabArea(source, source, rect));
  if (grid.DefectPixelCount() == 0) return false;
  noise = grid.EstimateBackgroundNoise();
  return true;
}

}  // namespace quill
