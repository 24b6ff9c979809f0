#include "ZelUtils.h"

#include <cassert>
#include <cfenv>
#include <cmath>
#include <cstdlib>

namespace quill {

// Relies on the default rounding mode (to nearest, ties to even).
int64_t RoundHalfEven(long double value) {
  return static_cast<int64_t>(std::nearbyintl(value));
}

}  // namespace quill

int32_t MulDiv(int32_t a, int32_t b, int32_t c) {
  if (c == 0) return -1;
  const int64_t product = int64_t{a} * b;
  const uint64_t magnitude = product < 0 ? 0 - static_cast<uint64_t>(product) : product;
  const uint64_t divisor = c < 0 ? 0 - static_cast<uint64_t>(int64_t{c}) : c;
  const uint64_t quotient = (magnitude + divisor / 2) / divisor;
  if (quotient > uint64_t{INT32_MAX} + 1) return -1;
  const bool negative = (product < 0) != (c < 0);
  if (!negative && quotient > uint64_t{INT32_MAX}) return -1;
  return static_cast<int32_t>(negative ? -static_cast<int64_t>(quotient)
                                       : static_cast<int64_t>(quotient));
}

int32_t MulDivFloor(int32_t a, int32_t b, int32_t c) {
  assert(c != 0 && "MulDivFloor with a zero divisor");
  if (c == 0) return 0;
  const int64_t product = int64_t{a} * b;
  int64_t quotient = product / c;
  // Only a truncated quotient below 0 steps down: a true quotient between -1 and 0
  // truncates to 0 and stays there.
  if (quotient < 0 && product % c != 0) --quotient;
  return static_cast<int32_t>(quotient);
}

namespace quill {

int64_t FloorDiv(int64_t numerator, int64_t denominator) {
  assert(denominator != 0 && "FloorDiv with a zero divisor");
  if (denominator == 0) return 0;
  int64_t quotient = numerator / denominator;
  if (numerator % denominator != 0 && (numerator < 0) != (denominator < 0)) --quotient;
  return quotient;
}

}  // namespace quill

int32_t MakeLong(uint16_t low, uint16_t high) {
  return static_cast<int32_t>((uint32_t{high} << 16) | low);
}

quill::TPoint MakePoint(int32_t x, int32_t y) { return {x, y}; }

int RectRelation(const quill::TRect& a, const quill::TRect& b) {
  quill::TRect i = a;
  if (b.Left > i.Left) i.Left = b.Left;
  if (b.Top > i.Top) i.Top = b.Top;
  if (b.Right < i.Right) i.Right = b.Right;
  if (b.Bottom < i.Bottom) i.Bottom = b.Bottom;
  if (i.IsEmpty()) return 0;
  return i == a ? 2 : 1;
}

using quill::SaturateInt32;

quill::TRect RectToBounds(const quill::TRect& r) {
  return {r.Left, r.Top, SaturateInt32(int64_t{r.Right} - r.Left),
          SaturateInt32(int64_t{r.Bottom} - r.Top)};
}

quill::TRect InflatedRect(const quill::TRect& r, int32_t dx, int32_t dy) {
  return {SaturateInt32(int64_t{r.Left} - dx), SaturateInt32(int64_t{r.Top} - dy),
          SaturateInt32(int64_t{r.Right} + dx), SaturateInt32(int64_t{r.Bottom} + dy)};
}

quill::TRect FitRectProportional(const quill::TRect& source, const quill::TRect& box) {
  int32_t sw = source.Right - source.Left;
  int32_t sh = source.Bottom - source.Top;
  if (sw == 0) sw = 1;
  if (sh == 0) sh = 1;
  const int32_t bw = box.Right - box.Left;
  const int32_t bh = box.Bottom - box.Top;
  if (static_cast<double>(bh) / sh > static_cast<double>(bw) / sw) {
    const int32_t h = MulDivFloor(sh, bw, sw);
    const int32_t offset = static_cast<int32_t>(static_cast<uint32_t>(bh - h) >> 1);
    return {box.Left, box.Top + offset, box.Right, box.Top + offset + h};
  }
  const int32_t w = MulDivFloor(sw, bh, sh);
  const int32_t offset = static_cast<int32_t>(static_cast<uint32_t>(bw - w) >> 1);
  return {box.Left + offset, box.Top, box.Left + offset + w, box.Bottom};
}

quill::TRect CenterRect(const quill::TRect& source, const quill::TRect& box) {
  const int64_t left =
      (int64_t{box.Left} + box.Right) / 2 - (int64_t{source.Left} + source.Right) / 2;
  const int64_t top =
      (int64_t{box.Top} + box.Bottom) / 2 - (int64_t{source.Top} + source.Bottom) / 2;
  return {SaturateInt32(left), SaturateInt32(top),
          SaturateInt32(left + source.Right - source.Left),
          SaturateInt32(top + source.Bottom - source.Top)};
}

long double EnsureRangeExtended(long double value, long double min, long double max) {
  if (value < min) return min;
  if (value > max) return max;
  return value;
}

bool InRangeInt(int32_t value, int32_t min, int32_t max) { return min <= value && value <= max; }
