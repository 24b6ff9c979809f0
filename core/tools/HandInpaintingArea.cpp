#include "HandInpaintingArea.h"

#include "DabShapes.h"

namespace quill {

TRect HandInpaintingSquare(TPoint point, int32_t size) {
  const int32_t half = (size + 1) / 2;
  return OffsetRect({-half, -half, size - half, size - half}, point.X, point.Y);
}

void HandInpaintingDab(TZelPixelMask& dab, int32_t size) { PowerDisc(dab, size, 255, 160); }

void MarkHandInpaintingArea(TAreaCorrelator& engine, const TRect& area, const TZelPixelMask& dab) {
  for (int32_t x = area.Left; x < area.Right; ++x) {
    for (int32_t y = area.Top; y < area.Bottom; ++y) {
      const uint8_t* m = dab.GetPixelAddress(static_cast<int32_t>(int64_t{dab.Left()} + x - area.Left),
                                             static_cast<int32_t>(int64_t{dab.Top()} + y - area.Top));
      engine.SetMask(x, y, m != nullptr && *m != 0 ? 1 : 0);
    }
  }
}

}  // namespace quill
