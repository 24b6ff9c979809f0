// The wire-fill engine: repairs the pixels under one Wire Eraser dab.
//
// The caller loads the colours of the pixels a dab covers into a TDefectGrid. The
// engine rates each covered pixel by its local contrast (4 times the mean colour
// distance to its covered 4-neighbours), takes the smooth ones as background
// samples, fits a quadratic colour surface to them by least squares and repaints the
// others from it (or with the mean background colour when the fit fails). The same
// contrasts give a measurement of the background noise, and a preview mode paints
// the pixels that would be repaired in contrasting colours instead.
//
// One grid serves one dab at a time; it keeps its arrays between dabs so that a
// stroke allocates nothing after its first dab. Not thread-safe.
//
// Every result is bit-for-bit that of the plain method (a neighbour walk per cell,
// sorted contrast lists, one least-squares row per background cell): the contrasts
// are summed in the same neighbour order, the percentiles are selected only when the
// noise setting falls outside them, and the fit's sums are exact integers, so that
// forming them in another order gives the same doubles.

#ifndef QUILL_CORE_DEFECT_H_
#define QUILL_CORE_DEFECT_H_

#include <cstddef>
#include <cstdint>
#include <vector>

#include "ZelBitmap.h"
#include "ZelColor.h"
#include "ZelTypes.h"

namespace quill {

class TDefectGrid {
 public:
  // Starts a dab over Rect (image coordinates): every cell uncovered, no pixel added.
  // A reversed Rect gives an empty grid.
  void InitDefectGrid(const TRect& rect);

  // Enters the pixel (X, Y) with its packed colour as a cell to repair. The point
  // must lie inside the rectangle given to InitDefectGrid.
  void AddDefectPixel(int32_t x, int32_t y, uint32_t color);

  // InitDefectGrid(Rect), then AddDefectPixel for every pixel of Rect that a non-zero
  // byte of Mask covers, with its colour from Source (a 24-bit view containing Rect).
  void LoadDefectPixels(const TZelPixelMask& mask, const TZelPixels& source, const TRect& rect);

  // Pixels added since InitDefectGrid; 0 means the dab covered nothing, and then
  // none of the operations below may be called.
  int32_t DefectPixelCount() const { return FDefectPixelCount; }

  // The 90th-percentile local contrast of the covered pixels.
  double EstimateBackgroundNoise();

  // Turns every covered cell whose contrast is at most BackgroundNoise, kept between
  // the dab's 33rd- and 80th-percentile contrasts, into a background sample.
  void ClassifyDefectGrid(double backgroundNoise);

  // Repaints the cells still to repair: from the quadratic surface fitted to the
  // background (mean background colour when the fit fails), or, when ShowOnly, each
  // channel inverted to an extreme (0 for 128 or more, else 255).
  void FillDefectGrid(bool showOnly);

  // The colour of the cell of image point (X, Y).
  TZelRGB GetDefectGridColor(int32_t x, int32_t y) const {
    const size_t i = CellIndex(x, y);
    return {FBlue[i], FGreen[i], FRed[i]};
  }

  // The colours of the cells of image row Y from image column X on, plane by plane,
  // for a caller that writes the cells itself. (X, Y) must lie inside the rectangle
  // given to InitDefectGrid.
  struct TDefectRow {
    const uint8_t* Blue;
    const uint8_t* Green;
    const uint8_t* Red;
  };
  TDefectRow GetDefectRow(int32_t x, int32_t y) const {
    const size_t i = CellIndex(x, y);
    return {FBlue.data() + i, FGreen.data() + i, FRed.data() + i};
  }

  // The image columns [First, End) of row Y that hold its covered cells; First >= End
  // when it has none. Y must lie inside the rectangle given to InitDefectGrid.
  struct TDefectSpan {
    int32_t First;
    int32_t End;
  };
  TDefectSpan GetDefectSpan(int32_t y) const {
    const auto gy = static_cast<size_t>(y - FGridTop);
    return {FGridLeft + FSpanFirst[gy], FGridLeft + FSpanEnd[gy]};
  }

  // Writes the colour of every covered cell into Dest (a 24-bit view containing the
  // grid's rectangle) at its image point.
  void StoreDefectPixels(TZelPixels& dest) const;

  // The index of the contrast at fraction P of a sorted list of N values:
  // Round(N * P) - 1, the product in 80-bit precision, halves to even.
  static int64_t PercentileIndex(int32_t n, long double p);

 private:
  // The cells are kept plane by plane (blue, green, red, state), row after row, with
  // a border of uncovered cells all round, so that every cell has four neighbours in
  // memory and no step checks bounds.
  size_t CellIndex(int32_t x, int32_t y) const {
    return static_cast<size_t>(y - FGridTop + 1) * FStride + static_cast<size_t>(x - FGridLeft + 1);
  }
  // Index of the grid's first cell in row GY.
  size_t RowStart(int32_t gy) const { return static_cast<size_t>(gy + 1) * FStride + 1; }

  // Covered cells whose contrast is below, and at most, a noise setting.
  struct TNoiseCounts {
    size_t Below = 0;
    size_t AtOrBelow = 0;
  };
  TNoiseCounts ComputeContrasts(double noise);
  size_t PercentilePosition(long double fraction) const;
  double SelectContrast(size_t position);
  double Threshold(double backgroundNoise, const TNoiseCounts& counts);
  void ListRow(int32_t gy);
  bool FitSurface(double coefficients[3][6]) const;
  void PaintSurface(const double coefficients[3][6]);
  void FitAndPaintBySamples(int32_t background);
  void PaintMeanBackground();

  int32_t FGridLeft = 0;
  int32_t FGridTop = 0;
  int32_t FGridWidth = 0;
  int32_t FGridHeight = 0;
  size_t FStride = 0;  // cells in a row, border included
  std::vector<uint8_t> FBlue, FGreen, FRed, FState;
  // Each row's covered cells lie in the columns FSpanFirst..FSpanEnd - 1 (first past
  // end when none); the steps visit only these.
  std::vector<int32_t> FSpanFirst, FSpanEnd;
  std::vector<double> FContrast;        // per cell, valid for covered cells
  std::vector<double> FBelow, FRight;   // colour distances of one row's neighbour pairs
  std::vector<double> FAbove;
  // Per cell: the squared colour distance to the right and the lower neighbour, -1
  // where either is uncovered.
  std::vector<int32_t> FSquaresRight, FSquaresBelow;
  std::vector<uint32_t> FBucketCounts;  // contrasts by integer part, four tables, for a selection
  std::vector<double> FCoveredContrasts;  // the covered cells' contrasts, in no order
  std::vector<double> FContrastValues;    // room for the contrasts of one bucket
  // Per row, FGridWidth entries: the background columns from the front, the to-repair
  // columns from the back, FBackgroundInRow and FRepairInRow of them; valid while FListed.
  std::vector<int32_t> FColumnLists;
  std::vector<int32_t> FBackgroundInRow, FRepairInRow;
  bool FListed = false;
  int32_t FCoveredCount = 0;            // covered cells (a pixel added twice counts once)
  int32_t FDefectPixelCount = 0;
};

// One Wire Eraser dab, shared by the tool and the drivers. Rect is the dab's
// rectangle already clipped to the images; Mask lies over the dab in image
// coordinates and its non-zero bytes mark the covered pixels; Source and Dest are
// 24-bit views (they may be one view) that contain Rect.

// Repairs the covered pixels of Source with BackgroundNoise as the threshold (or paints
// the preview when ShowOnly) and writes every covered pixel into Dest. Returns false,
// writing nothing, when the dab covers no pixel.
bool RepairDab(TDefectGrid& grid, const TZelPixelMask& mask, const TZelPixels& source,
               TZelPixels& dest, const TRect& rect, double backgroundNoise, bool showOnly);

// RepairDab without the writing: the repaired colours stay in Grid, over Area (Rect
// limited to both views), for the caller to write where it chooses. Returns false
// when the dab covers no pixel.
bool RepairDabInGrid(TDefectGrid& grid, const TZelPixelMask& mask, const TZelPixels& source,
                     const TZelPixels& dest, const TRect& rect, double backgroundNoise, bool showOnly,
                     TRect& area);

// Measures the 90th-percentile contrast of the covered pixels of Source into Noise.
// Returns false when the dab covers no pixel.
bool MeasureDabNoise(TDefectGrid& grid, const TZelPixelMask& mask, const TZelPixels& source,
                     const TRect& rect, double& noise);

}  // namespace quill

#endif  // QUILL_CORE_DEFECT_H_
