// The 3-byte pixel and its colour routines.
//
// A packed colour is a 32-bit integer with B in bits 0-7, G in bits 8-15 and R in
// bits 16-23 (bits 24-31 ignored): the three bytes of a pixel read as a
// little-endian integer.

#ifndef QUILL_CORE_ZELCOLOR_H_
#define QUILL_CORE_ZELCOLOR_H_

#include <cstdint>

// One 24-bit pixel in the memory order B, G, R.
struct TZelRGB {
  uint8_t B = 0;
  uint8_t G = 0;
  uint8_t R = 0;
  friend bool operator==(const TZelRGB&, const TZelRGB&) = default;
};
static_assert(sizeof(TZelRGB) == 3, "TZelRGB must match the 3-byte pixel layout");

namespace quill {

// The packed colour of the 3-byte pixel at P.
inline uint32_t PackPixel(const uint8_t* p) {
  return (uint32_t{p[2]} << 16) | (uint32_t{p[1]} << 8) | p[0];
}

inline TZelRGB UnpackColor(uint32_t color) {
  return {static_cast<uint8_t>(color), static_cast<uint8_t>(color >> 8),
          static_cast<uint8_t>(color >> 16)};
}

}  // namespace quill

void MakePixel(uint8_t r, uint8_t g, uint8_t b, TZelRGB& pixel);

// Each channel := MulDiv(channel of Color, Numerator, Denominator) stored as a byte
// (halves away from zero; a zero denominator gives 255).
void ScalePixel(uint8_t numerator, uint8_t denominator, TZelRGB& pixel, uint32_t color);

// Alpha 0 gives Base, 255 gives Over exactly; otherwise per channel
// Base + ((Alpha * (Over - Base)) >> 8), the shift rounding towards minus infinity.
void BlendPixels(uint8_t alpha, TZelRGB& pixel, const TZelRGB& base, const TZelRGB& over);

// The same blend of Color over Pixel in place; Alpha 0 leaves Pixel alone.
void BlendPixelInto(TZelRGB& pixel, uint8_t alpha, uint32_t color);

#endif  // QUILL_CORE_ZELCOLOR_H_
