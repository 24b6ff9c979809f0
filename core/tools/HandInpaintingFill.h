// The Hand Inpainting fill sequence, which the tool, the patch-fill driver and the
// benchmarks run alike: the click that marks an area, and the refill on every pointer
// move, over the patch-fill engine.
//
//   THandInpaintingFill fill;
//   fill.Mark(area, committed, live, dab);       // the click: a new engine over Area
//   fill.Restore(options);                       // the first render: the area as it was
//   k = fill.BestOrientation(source, options);   // every move, with AutoReflection
//   fill.Fill(source, k, mode, options);         // every move: the area refilled
//   fill.OptionsChanged();                       // LongDefect or AntiAliasing changed
//   fill.Release();                              // the images are going away
//
// Committed is the image as it stood before the operation, read only; Live the image
// shown, in which the area is written. Both are 24-bit images of equal bounds that the
// caller owns and keeps alive and unmoved until Release or the next Mark; they must
// not share memory. The area's pixels are the non-zero ones of Dab placed with its
// top-left corner at Area's top-left corner (MarkHandInpaintingArea).
//
// Before its first use after Mark or OptionsChanged, every call below Mark splits the
// area into rim and interior, drops the rim's minority colour (LongDefect) and weighs
// the interior's contact with the rim (AntiAliasing). Every fill starts from the
// committed pixels of the area, so no pixel keeps an earlier fill and a source square
// partly outside the image fills only the pixels whose source lies inside. Before the
// first Mark and after Release every call does nothing (BestOrientation gives 0).
//
// Main thread only, like the engine.

#ifndef QUILL_CORE_TOOLS_HANDINPAINTINGFILL_H_
#define QUILL_CORE_TOOLS_HANDINPAINTINGFILL_H_

#include <cstdint>
#include <memory>

#include "AreaCorrelation.h"
#include "ZelBitmap.h"
#include "ZelTypes.h"

namespace quill {

// The options that change how the area is split and blended.
struct THandInpaintingOptions {
  bool LongDefect = true;    // rim pixels of a minority colour left out of the fit
  bool AntiAliasing = true;  // filled pixels next to the rim blended with what was there
};

class THandInpaintingFill {
 public:
  // A new engine over Area, marked by Dab; the split is pending. The old engine is
  // freed first.
  void Mark(const TRect& area, const TZelPixels& committed, TZelPixels& live, const TZelPixelMask& dab);

  // The next call splits the area again with its options.
  void OptionsChanged() { FNeedsSplit = true; }

  // The orientation whose source pixels in the square Source best match the rim.
  uint8_t BestOrientation(const TRect& source, const THandInpaintingOptions& options);

  // The committed pixels of the area put back into Live.
  void Restore(const THandInpaintingOptions& options);

  // Restore, then the area filled from the square Source in Orientation, in Mode (a
  // TAreaCorrelator fill mode), blended with AntiAliasing.
  void Fill(const TRect& source, uint8_t orientation, int32_t mode, const THandInpaintingOptions& options);

  // Frees the engine; it no longer refers to the images.
  void Release();

  bool Marked() const { return FEngine != nullptr; }
  // The engine, or null before Mark and after Release.
  const TAreaCorrelator* Engine() const { return FEngine.get(); }
  // The rim's pixel count as the last split found it, before any outlier removal.
  int32_t SplitRimCount() const { return FSplitRimCount; }

 private:
  void Split(const THandInpaintingOptions& options);

  std::unique_ptr<TAreaCorrelator> FEngine;
  const TZelPixels* FCommitted = nullptr;
  TZelPixels* FLive = nullptr;
  TRect FArea;
  bool FNeedsSplit = false;
  int32_t FSplitRimCount = 0;
};

}  // namespace quill

#endif  // QUILL_CORE_TOOLS_HANDINPAINTINGFILL_H_
