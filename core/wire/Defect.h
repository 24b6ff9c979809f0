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

#ifndef QUILL_CORE_DEFECT_H_
#define QUILL_CORE_DEFECT_H_

#include <cstddef>
#include <cstdint>
#include <vector>

#include "ZelBitmap.h"
#include "ZelColor.h"
#include "ZelTypes.h"

class TDefectGrid {
 public:
  // Starts a dab over Rect (image coordinates): every cell uncovered, no pixel added.
  // A reversed Rect gives an empty grid.
  void InitDefectGrid(const TRect& rect);

  // Enters the pixel (X, Y) with its packed colour as a cell to repair. The point
  // must lie inside the rectangle given to InitDefectGrid.
  void AddDefectPixel(int32_t x, int32_t y, uint32_t color);

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
  TZelRGB GetDefectGridColor(int32_t x, int32_t y) const { return FCells[CellIndex(x, y)].Color; }

  // The index of the contrast at fraction P of a sorted list of N values:
  // Round(N * P) - 1, the product in 80-bit precision, halves to even.
  static int64_t PercentileIndex(int32_t n, long double p);

 private:
  enum : uint8_t { kUncovered = 0, kBackground = 1, kRepair = 2 };
  struct Cell {
    TZelRGB Color;
    uint8_t State = kUncovered;
  };

  // Cells are stored column after column, matching the engine's visiting order.
  size_t CellIndex(int32_t x, int32_t y) const {
    return static_cast<size_t>(x - FGridLeft) * FGridHeight + static_cast<size_t>(y - FGridTop);
  }
  void CollectContrastValues();
  size_t PercentilePosition(long double fraction) const;
  TZelRGB MeanBackgroundColor() const;

  int32_t FGridLeft = 0;
  int32_t FGridTop = 0;
  int32_t FGridWidth = 0;
  int32_t FGridHeight = 0;
  std::vector<Cell> FCells;
  std::vector<double> FCellContrast;    // per cell, valid for covered cells
  std::vector<double> FEdgeBelow;       // colour distances between covered neighbours
  std::vector<double> FEdgeRight;
  std::vector<double> FContrastValues;  // the covered cells' contrasts, for percentiles
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

// Measures the 90th-percentile contrast of the covered pixels of Source into Noise.
// Returns false when the dab covers no pixel.
bool MeasureDabNoise(TDefectGrid& grid, const TZelPixelMask& mask, const TZelPixels& source,
                     const TRect& rect, double& noise);

#endif  // QUILL_CORE_DEFECT_H_
