// The Qt-free half of the Hand Inpainting tool, which the tool, the patch-fill driver,
// the benchmarks and the tests share: the brush's sizes, the squares the area and the
// source occupy around a point, the tool's dab, and the marking of an area in the
// patch-fill engine, with the engine settings the tool fills with.

#ifndef QUILL_CORE_TOOLS_HANDINPAINTINGAREA_H_
#define QUILL_CORE_TOOLS_HANDINPAINTINGAREA_H_

#include <cstdint>

#include "AreaCorrelation.h"
#include "ZelBitmap.h"
#include "ZelTypes.h"

namespace quill {

// The brush sizes: from 10 to 100, 25 at start.
constexpr int32_t kHandInpaintingMinSize = 10;
constexpr int32_t kHandInpaintingMaxSize = 100;
constexpr int32_t kHandInpaintingDefaultSize = 25;

// The engine settings of every fill: the reach of the rim test (squared), the share of
// the rim that the long-defect option may drop as outliers, and the order of the
// correction surface.
constexpr int32_t kHandInpaintingRadiusSquared = 2;
constexpr double kLongDefectFraction = 0.2;
constexpr uint8_t kCorrectionOrder = 2;

// The area or source square of side Size around Point: its top-left corner lies
// (Size + 1) div 2 above and left of Point. Sides that would pass the 32-bit limits
// stop there.
TRect HandInpaintingSquare(TPoint point, int32_t size);

// The tool's dab of Size, at (0, 0): a power disc, nearly flat inside and falling
// steeply at the rim. Only its non-zero bytes matter: they are the marked pixels.
void HandInpaintingDab(TZelPixelMask& dab, int32_t size);

// Marks, column by column over Area, the pixels where Dab placed with its top-left
// corner at Area's top-left corner is non-zero, and unmarks the others; where the mask
// itself lies does not matter (the tool's lies over the area, the driver's at (0, 0)).
// An even Size gives a dab one pixel wider than the area: its last row and column are
// left out.
void MarkHandInpaintingArea(TAreaCorrelator& engine, const TRect& area, const TZelPixelMask& dab);

}  // namespace quill

#endif  // QUILL_CORE_TOOLS_HANDINPAINTINGAREA_H_
