#include "WireEraserStroke.h"

#include <algorithm>
#include <cmath>

#include "DabShapes.h"
#include "ZelUtils.h"

namespace quill {

void WireEraserDab(TZelPixelMask& mask, int32_t size) { PowerDisc(mask, size, 255, 160); }

TPoint ImagePixelAt(double x, double y) {
  auto floor32 = [](double v) { return SaturateInt32(RoundHalfEven(std::floor(v))); };
  return {floor32(x), floor32(y)};
}

int32_t WireEraserSize(double diameter) {
  return static_cast<int32_t>(EnsureRangeInt64(RoundHalfEven(diameter), kWireEraserMinSize, kWireEraserMaxSize));
}

void TWireEraserStroke::Begin(TZelPixels& live, const TZelPixels& committed, const TZelPixels& original,
                              bool measuring) {
  End();
  FLive = &live;
  FCommitted = &committed;
  FOriginal = &original;
  FMeasuring = measuring;
}

TWireEraserDab TWireEraserStroke::ApplyDab(TPoint centre, int32_t size, const TWireEraserOptions& options) {
  TWireEraserDab result;
  if (!Running()) return result;
  const TRect images = IntersectRect(FLive->GetBounds(), FCommitted->GetBounds());
  size = std::clamp(size, kWireEraserMinSize, kWireEraserMaxSize);
  const TRect rect = DabRect(centre, size);

  // Trial Mode: the previous dab's rectangle goes back to how it was before the stroke.
  if (options.TrialMode) {
    if (FTrialHasPrevious) {
      FLive->CopyRect(FPreviousDabRect.Left, FPreviousDabRect.Top, *FCommitted, FPreviousDabRect);
      result.Changed = IntersectRect(FPreviousDabRect, images);
    }
    FTrialHasPrevious = true;
    FPreviousDabRect = rect;
  }

  const TRect clipped = IntersectRect(rect, images);
  if (!clipped.IsEmpty()) {
    if (size != FMaskSize) {
      WireEraserDab(FMask, size);
      FMaskSize = size;
    }
    FMask.MoveTo(rect.Left, rect.Top);
    const TZelPixels& source = options.CumulativeEffect ? *FCommitted : *FOriginal;
    if (FMeasuring) {
      double noise = 0;
      result.Measured = MeasureDabNoise(FGrid, FMask, source, clipped, noise);
      if (result.Measured) {
        result.Noise = static_cast<int32_t>(
            EnsureRangeInt64(RoundHalfEven(noise), kMinBackgroundNoise, kMaxBackgroundNoise));
      }
    } else {
      RepairDab(FGrid, FMask, source, *FLive, clipped, options.BackgroundNoise, options.OnlyShow);
    }
    FMask.MoveTo(0, 0);
    result.Changed = UnionRect(result.Changed, clipped);
  }
  FChanged = UnionRect(FChanged, result.Changed);
  return result;
}

TRect TWireEraserStroke::End() {
  const TRect changed = FChanged;
  FLive = nullptr;
  FCommitted = nullptr;
  FOriginal = nullptr;
  FMeasuring = false;
  FTrialHasPrevious = false;
  FPreviousDabRect = {};
  FChanged = {};
  return changed;
}

}  // namespace quill
