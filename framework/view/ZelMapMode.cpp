#include "ZelMapMode.h"

#include <cstdint>

#include "ZelUtils.h"

namespace {

// Floor((value - sourceOrigin) * targetExtent / sourceExtent) + targetOrigin, with the
// difference, the product and the sum wrapping in 32 bits.
int32_t MapAxis(int32_t value, int32_t sourceOrigin, int32_t sourceExtent, int32_t targetOrigin,
                int32_t targetExtent) {
  const uint32_t offset = static_cast<uint32_t>(value) - static_cast<uint32_t>(sourceOrigin);
  const auto product = static_cast<int32_t>(offset * static_cast<uint32_t>(targetExtent));
  // No caller sets an extent of 0; should one slip through, the target origin stands in
  // for the quotient, the same in every build.
  if (sourceExtent == 0) return targetOrigin;
  const int64_t quotient = quill::FloorDiv(product, sourceExtent);
  return static_cast<int32_t>(static_cast<uint32_t>(quotient) +
                              static_cast<uint32_t>(targetOrigin));
}

}  // namespace

quill::TPoint TZelMapMode::LogicalToDevice(const quill::TPoint& point) const {
  return {MapAxis(point.X, LogicalOrigin.X, LogicalExtent.X, DeviceOrigin.X, DeviceExtent.X),
          MapAxis(point.Y, LogicalOrigin.Y, LogicalExtent.Y, DeviceOrigin.Y, DeviceExtent.Y)};
}

quill::TPoint TZelMapMode::DeviceToLogical(const quill::TPoint& point) const {
  return {MapAxis(point.X, DeviceOrigin.X, DeviceExtent.X, LogicalOrigin.X, LogicalExtent.X),
          MapAxis(point.Y, DeviceOrigin.Y, DeviceExtent.Y, LogicalOrigin.Y, LogicalExtent.Y)};
}

quill::TRect TZelMapMode::LogicalToDeviceRect(const quill::TRect& rect) const {
  const quill::TPoint topLeft = LogicalToDevice({rect.Left, rect.Top});
  const quill::TPoint bottomRight = LogicalToDevice({rect.Right, rect.Bottom});
  return {topLeft.X, topLeft.Y, bottomRight.X, bottomRight.Y};
}
