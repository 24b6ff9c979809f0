#include "ColorVector.h"

void ScaleVector(const quill::TColorVector& src, quill::TColorVector& dst, double factor) {
  dst.B = static_cast<float>(src.B * factor);
  dst.G = static_cast<float>(src.G * factor);
  dst.R = static_cast<float>(src.R * factor);
}

bool SameColor(uint8_t r, uint8_t g, uint8_t b, uint32_t packed) {
  const TZelRGB c = quill::UnpackColor(packed);
  return c.R == r && c.G == g && c.B == b;
}

bool SamePackedColor(uint32_t a, uint32_t b) {
  const TZelRGB c = quill::UnpackColor(a);
  return SameColor(c.R, c.G, c.B, b);
}

void RGBToPixel(uint8_t r, uint8_t g, uint8_t b, TZelRGB& pixel) { MakePixel(r, g, b, pixel); }

void ColorToVector(uint8_t r, uint8_t g, uint8_t b, quill::TColorVector& vector) {
  vector = {static_cast<float>(b), static_cast<float>(g), static_cast<float>(r)};
}

void PackedColorToVector(uint32_t packed, quill::TColorVector& vector) {
  const TZelRGB c = quill::UnpackColor(packed);
  ColorToVector(c.R, c.G, c.B, vector);
}
