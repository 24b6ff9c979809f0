#include "HandInpaintingFill.h"

#include "HandInpaintingArea.h"

namespace quill {

void THandInpaintingFill::Mark(const TRect& area, const TZelPixels& committed, TZelPixels& live,
                               const TZelPixelMask& dab) {
  Release();
  FEngine = std::make_unique<TAreaCorrelator>(area, kHandInpaintingRadiusSquared, committed, live);
  MarkHandInpaintingArea(*FEngine, area, dab);
  FCommitted = &committed;
  FLive = &live;
  FArea = area;
  FNeedsSplit = true;
}

void THandInpaintingFill::Split(const THandInpaintingOptions& options) {
  if (!FNeedsSplit || FEngine == nullptr) return;
  FEngine->SplitBorder();
  FSplitRimCount = FEngine->Border().Count();
  if (options.LongDefect) FEngine->RemoveBorderOutliers(kLongDefectFraction);
  if (options.AntiAliasing) FEngine->ComputeContactWeights();
  FNeedsSplit = false;
}

uint8_t THandInpaintingFill::BestOrientation(const TRect& source, const THandInpaintingOptions& options) {
  Split(options);
  return FEngine != nullptr ? FEngine->FindBestOrientation(source) : 0;
}

void THandInpaintingFill::Restore(const THandInpaintingOptions& options) {
  if (FEngine == nullptr) return;
  Split(options);
  const TRect inside = IntersectRect(FArea, FLive->GetBounds());
  if (!inside.IsEmpty()) FLive->CopyRect(inside.Left, inside.Top, *FCommitted, inside);
}

void THandInpaintingFill::Fill(const TRect& source, uint8_t orientation, int32_t mode,
                               const THandInpaintingOptions& options) {
  if (FEngine == nullptr) return;
  Restore(options);
  FEngine->FillArea({source.Left, source.Top}, orientation, options.AntiAliasing, mode, kCorrectionOrder);
}

void THandInpaintingFill::Release() {
  FEngine.reset();
  FCommitted = nullptr;
  FLive = nullptr;
  FNeedsSplit = false;
}

}  // namespace quill
