#include "WireEraserStroke.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "DabShapes.h"
#include "ZelUtils.h"

namespace quill {

namespace {

// Nearness := for each pixel that Dab (the dab of Size at (0, 0)) covers, how near its
// centre it lies relative to the radius: 255 at the centre, falling to 2 at the rim,
// where 4 d^2 reaches Size^2; 0 where Dab does not cover.
void DabNearness(TZelPixelMask& nearness, const TZelPixelMask& dab, int32_t size) {
  nearness = dab;
  if (nearness.IsEmpty()) return;
  const int32_t h = dab.Width() / 2;
  const int64_t sizeSquared = int64_t{size} * size;
  for (int32_t y = 0; y < dab.Height(); ++y) {
    for (int32_t x = 0; x < dab.Width(); ++x) {
      const int64_t squared = int64_t{x - h} * (x - h) + int64_t{y - h} * (y - h);
      uint8_t* const near = nearness.GetPixelAddress(x, y);
      if (*near != 0) *near = static_cast<uint8_t>(255 - std::min<int64_t>(254 * 4 * squared / sizeSquared, 253));
    }
  }
}

// No dab of the stroke stands any more in Rect: its pixels are as before the stroke.
void ForgetNearness(TZelPixelMask& nearness, const TRect& rect) {
  const TRect r = IntersectRect(rect, nearness.GetBounds());
  for (int32_t y = r.Top; y < r.Bottom; ++y) std::memset(nearness.GetPixelAddress(r.Left, y), 0, r.Width());
}

}  // namespace

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
      ForgetNearness(FNearness, FPreviousDabRect);
      result.Changed = IntersectRect(FPreviousDabRect, images);
    }
    FTrialHasPrevious = true;
    FPreviousDabRect = rect;
  }

  const TRect clipped = IntersectRect(rect, images);
  if (!clipped.IsEmpty()) {
    if (size != FMaskSize) {
      WireEraserDab(FMask, size);
      DabNearness(FDabNearness, FMask, size);
      FMaskSize = size;
    }
    FMask.MoveTo(rect.Left, rect.Top);
    FDabNearness.MoveTo(rect.Left, rect.Top);
    const TZelPixels& source = options.CumulativeEffect ? *FCommitted : *FOriginal;
    if (FMeasuring) {
      double noise = 0;
      result.Measured = MeasureDabNoise(FGrid, FMask, source, clipped, noise);
      if (result.Measured) {
        result.Noise = static_cast<int32_t>(
            EnsureRangeInt64(RoundHalfEven(noise), kMinBackgroundNoise, kMaxBackgroundNoise));
      }
    } else {
      RepairNearest(source, clipped, options);
    }
    FMask.MoveTo(0, 0);
    FDabNearness.MoveTo(0, 0);
    result.Changed = UnionRect(result.Changed, clipped);
  }
  FChanged = UnionRect(FChanged, result.Changed);
  return result;
}

void TWireEraserStroke::RepairNearest(const TZelPixels& source, const TRect& rect,
                                      const TWireEraserOptions& options) {
  if (!FNearness.Include(rect)) {  // no memory for the record: every covered pixel is written
    RepairDab(FGrid, FMask, source, *FLive, rect, options.BackgroundNoise, options.OnlyShow);
    return;
  }
  TRect area;
  if (!RepairDabInGrid(FGrid, FMask, source, *FLive, rect, options.BackgroundNoise, options.OnlyShow, area)) {
    return;
  }
  for (int32_t y = area.Top; y < area.Bottom; ++y) {
    const TDefectGrid::TDefectSpan span = FGrid.GetDefectSpan(y);
    if (span.First >= span.End) continue;
    const uint8_t* const dab = FDabNearness.GetPixelAddress(span.First, y);
    uint8_t* const nearness = FNearness.GetPixelAddress(span.First, y);
    uint8_t* const live = FLive->GetPixelAddress(span.First, y);
    const TDefectGrid::TDefectRow repaired = FGrid.GetDefectRow(span.First, y);
    // Without branches, which the dab's rim and the stroke's overlaps would mislead.
    for (int32_t i = 0; i < span.End - span.First; ++i) {
      // Covered, and no nearer dab's result stands.
      const bool write = (dab[i] != 0) & (dab[i] >= nearness[i]);
      nearness[i] = write ? dab[i] : nearness[i];
      live[3 * i] = write ? repaired.Blue[i] : live[3 * i];
      live[3 * i + 1] = write ? repaired.Green[i] : live[3 * i + 1];
      live[3 * i + 2] = write ? repaired.Red[i] : live[3 * i + 2];
    }
  }
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
  FNearness.Clear();
  return changed;
}

}  // namespace quill
