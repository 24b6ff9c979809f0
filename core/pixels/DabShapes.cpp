#include "DabShapes.h"

#include <cmath>

#include "ZelColor.h"
#include "ZelUtils.h"

quill::TRect DabRect(quill::TPoint point, int32_t size) {
  const int32_t half = size / 2;
  return quill::OffsetRect({-half, -half, half + 1, half + 1}, point.X, point.Y);
}

namespace {

// Sizes the mask to the dab of Size at (0, 0), all bytes 0, and returns the half width.
int32_t StartDisc(TZelPixelMask& mask, int32_t size) {
  const quill::TRect bounds = DabRect({0, 0}, size);
  mask.SetBounds(0, 0, static_cast<int32_t>(bounds.Width()), static_cast<int32_t>(bounds.Height()));
  return mask.Width() / 2;
}

// Writes Value at the four places mirrored around the centre (H, H).
void PutMirrored(TZelPixelMask& mask, int32_t h, int32_t dx, int32_t dy, uint8_t value) {
  *mask.GetPixelAddress(h + dx, h + dy) = value;
  *mask.GetPixelAddress(h - dx, h + dy) = value;
  *mask.GetPixelAddress(h + dx, h - dy) = value;
  *mask.GetPixelAddress(h - dx, h - dy) = value;
}

uint8_t ToByte(int64_t value) { return static_cast<uint8_t>(EnsureRangeInt64(value, 0, 255)); }

}  // namespace

void SoftDisc(TZelPixelMask& mask, int32_t size, int32_t opacity, int32_t hardness) {
  const int32_t h = StartDisc(mask, size);
  if (mask.IsEmpty()) return;
  if (h == 0) {
    *mask.GetPixelAddress(0, 0) = 255;
    return;
  }
  const double radius = size / 2.0;
  const double outer = radius + 0.5;
  const double inner = radius - radius * (1 - hardness / 255.0) - 0.5;
  const double ramp = outer - inner;
  for (int32_t dy = 0; dy <= h; ++dy) {
    for (int32_t dx = 0; dx <= h; ++dx) {
      const double r = std::sqrt(static_cast<double>(dx * dx + dy * dy));
      if (r > outer) break;
      const int64_t value = r < inner ? opacity : quill::RoundHalfEven((outer - r) / ramp * opacity);
      PutMirrored(mask, h, dx, dy, ToByte(value));
    }
  }
}

void PowerDisc(TZelPixelMask& mask, int32_t size, int32_t peak, int32_t exponent16) {
  const int32_t h = StartDisc(mask, size);
  if (mask.IsEmpty()) return;
  if (h == 0) {
    *mask.GetPixelAddress(0, 0) = ToByte(peak);
    return;
  }
  const double exponent = exponent16 / 16.0;
  for (int32_t dy = 0; dy <= h; ++dy) {
    for (int32_t dx = 0; dx <= h; ++dx) {
      const double t = 2 * std::sqrt(static_cast<double>(dx * dx + dy * dy)) / size;
      const int64_t value = t >= 1 ? 0 : quill::RoundHalfEven((1 - std::pow(t, exponent)) * peak);
      PutMirrored(mask, h, dx, dy, ToByte(value));
    }
  }
}

void ApplyColourThroughMask(const TZelPixelMask& mask, const TZelPixels& source, uint32_t colour,
                            const quill::TRect& rect, TZelPixels& dest) {
  if (source.PixelFormat() != quill::kPixelFormat24 || dest.PixelFormat() != quill::kPixelFormat24 ||
      source.Bits() == nullptr || dest.Bits() == nullptr) {
    return;
  }
  const quill::TRect area = quill::IntersectRect(quill::IntersectRect(rect, source.GetBounds()), dest.GetBounds());
  const TZelRGB c = quill::UnpackColor(colour);
  for (int32_t y = area.Top; y < area.Bottom; ++y) {
    for (int32_t x = area.Left; x < area.Right; ++x) {
      const uint8_t* weight = mask.GetPixelAddress(x, y);
      if (weight == nullptr || *weight == 0) continue;
      const int m = *weight;
      const uint8_t* s = source.GetPixelAddress(x, y);
      uint8_t* d = dest.GetPixelAddress(x, y);
      if (m == 255) {
        d[0] = c.B;
        d[1] = c.G;
        d[2] = c.R;
      } else {
        // m * (c - s) >> 8 is the floor of the division by 256.
        d[0] = static_cast<uint8_t>(s[0] + ((m * (int{c.B} - s[0])) >> 8));
        d[1] = static_cast<uint8_t>(s[1] + ((m * (int{c.G} - s[1])) >> 8));
        d[2] = static_cast<uint8_t>(s[2] + ((m * (int{c.R} - s[2])) >> 8));
      }
    }
  }
}
