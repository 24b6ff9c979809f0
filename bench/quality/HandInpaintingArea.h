// How the Hand Inpainting tool places and marks the area it fills, for the driver,
// the benchmarks and the tests that stand in for the tool.

#ifndef QUILL_BENCH_QUALITY_HANDINPAINTINGAREA_H_
#define QUILL_BENCH_QUALITY_HANDINPAINTINGAREA_H_

#include <cstdint>

#include "AreaCorrelation.h"
#include "DabShapes.h"
#include "ZelBitmap.h"
#include "ZelTypes.h"

// The tool's brush sizes, the reach of its rim test, its outlier fraction and the
// order of its correction surface.
constexpr int32_t kHandInpaintingMinSize = 10;
constexpr int32_t kHandInpaintingMaxSize = 100;
constexpr int32_t kHandInpaintingRadiusSquared = 2;
constexpr double kLongDefectFraction = 0.2;
constexpr uint8_t kCorrectionOrder = 2;

// The area or source square of side Size around Point: its top-left corner lies
// (Size + 1) div 2 above and left of Point.
inline TRect HandInpaintingSquare(TPoint point, int32_t size) {
  const int32_t half = (size + 1) / 2;
  return {point.X - half, point.Y - half, point.X - half + size, point.Y - half + size};
}

// The tool's dab: a power disc of Size, nearly flat inside and falling steeply at the rim.
inline void HandInpaintingDab(TZelPixelMask& dab, int32_t size) { PowerDisc(dab, size, 255, 160); }

// Marks, column by column over Area, the pixels where Dab (at (0, 0)) placed with its
// top-left corner at Area's top-left corner is non-zero, and unmarks the others.
inline void MarkHandInpaintingArea(TAreaCorrelator& engine, const TRect& area,
                                   const TZelPixelMask& dab) {
  for (int32_t x = area.Left; x < area.Right; ++x) {
    for (int32_t y = area.Top; y < area.Bottom; ++y) {
      const uint8_t* m = dab.GetPixelAddress(x - area.Left, y - area.Top);
      engine.SetMask(x, y, m != nullptr && *m != 0 ? 1 : 0);
    }
  }
}

#endif  // QUILL_BENCH_QUALITY_HANDINPAINTINGAREA_H_
