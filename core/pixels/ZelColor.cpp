#include "ZelColor.h"

#include "ZelUtils.h"

namespace {

// Base + ((Alpha * (Over - Base)) >> 8) as a signed shift, low byte kept.
uint8_t BlendChannel(uint8_t base, uint8_t over, uint8_t alpha) {
  const int diff = int{over} - int{base};
  return static_cast<uint8_t>(base + ((alpha * diff) >> 8));
}

}  // namespace

void MakePixel(uint8_t r, uint8_t g, uint8_t b, TZelRGB& pixel) { pixel = {b, g, r}; }

void ScalePixel(uint8_t numerator, uint8_t denominator, TZelRGB& pixel, uint32_t color) {
  const TZelRGB c = quill::UnpackColor(color);
  pixel.B = static_cast<uint8_t>(MulDiv(c.B, numerator, denominator));
  pixel.G = static_cast<uint8_t>(MulDiv(c.G, numerator, denominator));
  pixel.R = static_cast<uint8_t>(MulDiv(c.R, numerator, denominator));
}

void BlendPixels(uint8_t alpha, TZelRGB& pixel, const TZelRGB& base, const TZelRGB& over) {
  if (alpha == 0) {
    pixel = base;
  } else if (alpha == 255) {
    pixel = over;
  } else {
    pixel = {BlendChannel(base.B, over.B, alpha), BlendChannel(base.G, over.G, alpha),
             BlendChannel(base.R, over.R, alpha)};
  }
}

void BlendPixelInto(TZelRGB& pixel, uint8_t alpha, uint32_t color) {
  if (alpha == 0) return;
  BlendPixels(alpha, pixel, pixel, quill::UnpackColor(color));
}
