// Colour vectors and small comparisons of packed colours, shared by the patch-fill
// engine, its k-means clustering and the Hand Inpainting tool.
//
// A colour vector holds a colour's channels as single-precision reals in the order
// B, G, R, so that sums and means of colours can be formed without rounding to bytes.
// Packed colours are those of ZelColor.h: B in bits 0-7, G in 8-15, R in 16-23.

#ifndef QUILL_CORE_COLORVECTOR_H_
#define QUILL_CORE_COLORVECTOR_H_

#include <cstdint>

#include "ZelColor.h"

namespace quill {

struct TColorVector {
  float B = 0;
  float G = 0;
  float R = 0;
  friend bool operator==(const TColorVector&, const TColorVector&) = default;
};

}  // namespace quill

// Each channel of Src times Factor, rounded to single precision.
void ScaleVector(const quill::TColorVector& src, quill::TColorVector& dst, double factor);

// Whether the R, G and B bytes of the packed colour equal R, G and B.
bool SameColor(uint8_t r, uint8_t g, uint8_t b, uint32_t packed);

// Whether two packed colours agree in bits 0-23.
bool SamePackedColor(uint32_t a, uint32_t b);

// The pixel (R, G, B), stored in memory order B, G, R.
void RGBToPixel(uint8_t r, uint8_t g, uint8_t b, TZelRGB& pixel);

void ColorToVector(uint8_t r, uint8_t g, uint8_t b, quill::TColorVector& vector);
void PackedColorToVector(uint32_t packed, quill::TColorVector& vector);

#endif  // QUILL_CORE_COLORVECTOR_H_
