// TZelMapMode: maps logical coordinates (image pixels) to device coordinates (window
// pixels) and back, with an origin and an integer scale ratio per axis.
//
// Per axis: device = Floor((logical - LogicalOrigin) * DeviceExtent / LogicalExtent)
// + DeviceOrigin, and the inverse with the roles swapped. The difference and the
// product wrap to 32 bits as two's-complement integers; the quotient is floored
// exactly (towards minus infinity, so device x = -1 at a zoom of 2/1 gives logical
// x = -1). A zoom of n/d is DeviceExtent n, LogicalExtent d. After construction both
// origins are 0 and all extents 1, the identity. The owner sets the fields directly.
//
// An extent of 0 as divisor is a caller error; the result is then the target origin,
// in every build.

#ifndef QUILL_FRAMEWORK_ZELMAPMODE_H_
#define QUILL_FRAMEWORK_ZELMAPMODE_H_

#include "ZelTypes.h"

class TZelMapMode {
 public:
  quill::TPoint LogicalOrigin{0, 0};
  quill::TPoint LogicalExtent{1, 1};
  quill::TPoint DeviceOrigin{0, 0};
  quill::TPoint DeviceExtent{1, 1};

  quill::TPoint LogicalToDevice(const quill::TPoint& point) const;
  quill::TPoint DeviceToLogical(const quill::TPoint& point) const;
  // Left/Top and Right/Bottom mapped each as a point; no widening to cover partial pixels.
  quill::TRect LogicalToDeviceRect(const quill::TRect& rect) const;
};

// The map mode of printing; no behaviour of its own.
class TZelHiMetric : public TZelMapMode {};

#endif  // QUILL_FRAMEWORK_ZELMAPMODE_H_
