#include "ZelTypes.h"

#include <algorithm>

namespace quill {

TRect IntersectRect(const TRect& a, const TRect& b) {
  TRect r{std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right),
          std::min(a.Bottom, b.Bottom)};
  return r.IsEmpty() ? TRect{} : r;
}

TRect UnionRect(const TRect& a, const TRect& b) {
  if (a.IsEmpty()) return b.IsEmpty() ? TRect{} : b;
  if (b.IsEmpty()) return a;
  return {std::min(a.Left, b.Left), std::min(a.Top, b.Top), std::max(a.Right, b.Right),
          std::max(a.Bottom, b.Bottom)};
}

TRect OffsetRect(const TRect& r, int64_t dx, int64_t dy) {
  using quill::SaturateInt32;
  // A shift beyond 2^33 moves every side past the limits just as 2^33 does; keeping
  // it there keeps the sums inside 64 bits. Saturated sides meet any rectangle of the
  // plane exactly where the true ones would, so clipping a moved rectangle stays right.
  dx = std::clamp<int64_t>(dx, -(int64_t{1} << 33), int64_t{1} << 33);
  dy = std::clamp<int64_t>(dy, -(int64_t{1} << 33), int64_t{1} << 33);
  return {SaturateInt32(r.Left + dx), SaturateInt32(r.Top + dy), SaturateInt32(r.Right + dx),
          SaturateInt32(r.Bottom + dy)};
}

}  // namespace quill
