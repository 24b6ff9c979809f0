// Number rules and geometry helpers shared by the whole program.
//
// This is the one home of the rounding rules: every place that rounds a real value
// to an integer uses RoundHalfEven, and every scaled integer product uses MulDiv or
// MulDivFloor. None of these routines allocates, keeps state or reports errors.
// The rectangle helpers (except FitRectProportional) compute in 64 bits and saturate
// each side of their result at the 32-bit limits, as ZelTypes.h describes.

#ifndef QUILL_CORE_ZELUTILS_H_
#define QUILL_CORE_ZELUTILS_H_

#include <cstdint>

#include "ZelTypes.h"

namespace quill {

// Nearest integer, halves to the even neighbour (2.5 -> 2, 3.5 -> 4, -2.5 -> -2).
// Inline, because the engines round every pixel they compute. Adding and taking away
// 2^52 leaves the nearest integer with halves to even under the default rounding
// mode, which the program never changes; larger magnitudes are integers already.
// Values beyond 64 bits saturate and NaN gives 0.
inline int64_t RoundHalfEven(double value) {
  constexpr double kShift = 4503599627370496.0;  // 2^52
  if (value >= 0 && value < kShift) return static_cast<int64_t>((value + kShift) - kShift);
  if (value < 0 && value > -kShift) return static_cast<int64_t>((value - kShift) + kShift);
  if (value >= 9.2e18) return INT64_MAX;
  if (value <= -9.2e18) return INT64_MIN;
  return value == value ? static_cast<int64_t>(value) : 0;
}

// The same rounding for a product kept in 80-bit extended precision.
int64_t RoundHalfEven(long double value);

}  // namespace quill

// A * B / C with the product in 64 bits, rounded to the nearest integer with halves
// away from zero. A zero divisor, or a result outside 32 bits, gives -1.
int32_t MulDiv(int32_t a, int32_t b, int32_t c);

// A * B / C truncated towards zero, then one less when that quotient is negative and
// the division leaves a remainder: 7*3/2 = 10, -7*3/2 = -11, and a true quotient
// between -1 and 0 gives 0 (-1*1/2 = 0). The product is formed in 64 bits.
// A zero divisor gives 0 (and asserts in debug builds).
int32_t MulDivFloor(int32_t a, int32_t b, int32_t c);

namespace quill {

// Numerator / Denominator rounded towards minus infinity, in 64 bits. A zero
// denominator gives 0 (and asserts in debug builds).
int64_t FloorDiv(int64_t numerator, int64_t denominator);

}  // namespace quill

// (High << 16) | Low, Low taken unsigned: a locale id from a language id.
int32_t MakeLong(uint16_t low, uint16_t high);

quill::TPoint MakePoint(int32_t x, int32_t y);

// 0 when A and B do not meet (touching edges do not meet, an empty rectangle meets
// nothing), 2 when A lies wholly inside B, 1 otherwise.
int RectRelation(const quill::TRect& a, const quill::TRect& b);

// R as origin and size: (Left, Top, Right - Left, Bottom - Top), for calls that take a
// position and a size; a width or height beyond 32 bits saturates at INT32_MAX.
quill::TRect RectToBounds(const quill::TRect& r);

// R grown by DX and DY on each side; negative values shrink it.
quill::TRect InflatedRect(const quill::TRect& r, int32_t dx, int32_t dy);

// The largest rectangle with Source's proportions that fits in Box, centred in it.
// A Source side of 0 counts as 1.
quill::TRect FitRectProportional(const quill::TRect& source, const quill::TRect& box);

// A rectangle of Source's size whose centre is Box's centre (halves truncated).
quill::TRect CenterRect(const quill::TRect& source, const quill::TRect& box);

// Clamps that test the lower bound first: with Min > Max, a Value below Min gives
// Min and any other Value above Max gives Max.
inline int64_t EnsureRangeInt64(int64_t value, int64_t min, int64_t max) {
  if (value < min) return min;
  if (value > max) return max;
  return value;
}
inline double EnsureRangeDouble(double value, double min, double max) {
  if (value < min) return min;
  if (value > max) return max;
  return value;
}
long double EnsureRangeExtended(long double value, long double min, long double max);

// Min <= Value <= Max.
bool InRangeInt(int32_t value, int32_t min, int32_t max);

#endif  // QUILL_CORE_ZELUTILS_H_
