// Integer rectangles and points shared by every layer.
//
// A rectangle is half-open: it covers the columns Left .. Right - 1 and the rows
// Top .. Bottom - 1. It is empty when Right <= Left or Bottom <= Top; its width and
// height are never reported negative. Helpers that compute a rectangle from others
// work in 64 bits and saturate each side at the 32-bit limits: a side that would pass
// INT32_MIN or INT32_MAX stops there, so a result can come out narrower than asked
// (or empty) but never wraps round to the other end of the plane.

#ifndef QUILL_CORE_ZELTYPES_H_
#define QUILL_CORE_ZELTYPES_H_

#include <cstdint>

namespace quill {

struct TPoint {
  int32_t X = 0;
  int32_t Y = 0;
  friend bool operator==(const TPoint&, const TPoint&) = default;
};

struct TRect {
  int32_t Left = 0;
  int32_t Top = 0;
  int32_t Right = 0;
  int32_t Bottom = 0;

  // Extents as 64-bit values, 0 for a reversed rectangle, so that no caller
  // ever sizes anything from a negative or overflowing difference.
  int64_t Width() const { return Right > Left ? int64_t{Right} - Left : 0; }
  int64_t Height() const { return Bottom > Top ? int64_t{Bottom} - Top : 0; }
  bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
  bool Contains(int32_t x, int32_t y) const {
    return x >= Left && x < Right && y >= Top && y < Bottom;
  }
  friend bool operator==(const TRect&, const TRect&) = default;
};

// The common part of A and B; the empty rectangle (0, 0, 0, 0) when they do not meet.
TRect IntersectRect(const TRect& a, const TRect& b);

// The smallest rectangle covering A and B. An empty operand is ignored, so a union
// with an empty rectangle never drags the result towards (0, 0).
TRect UnionRect(const TRect& a, const TRect& b);

// R moved by (DX, DY); each side saturates at the 32-bit limits.
TRect OffsetRect(const TRect& r, int64_t dx, int64_t dy);

// Value kept to the 32-bit signed range.
constexpr int32_t SaturateInt32(int64_t value) {
  if (value < INT32_MIN) return INT32_MIN;
  if (value > INT32_MAX) return INT32_MAX;
  return static_cast<int32_t>(value);
}

}  // namespace quill

#endif  // QUILL_CORE_ZELTYPES_H_
