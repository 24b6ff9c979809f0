// The Qt-free half of the Wire Eraser tool, which the tool, the wire-repair driver,
// the benchmarks and the tests share: a stroke of dabs over an image, each dab placed,
// clipped and repaired (or measured) as the tool does it inside one mouse event.
//
//   TWireEraserStroke stroke;
//   stroke.Begin(live, committed, original, measuring);  // on mouse down
//   TWireEraserDab dab = stroke.ApplyDab(centre, size, options);  // every mouse event
//   ... widen the operation's dirty rectangle by dab.Changed ...
//   stroke.End();                                         // on mouse up
//
// Live is the image shown and edited in place; Committed the image as it stood before
// the stroke; Original the image as opened. The three are 24-bit images of equal
// bounds that the caller owns and keeps alive and unmoved until End. Live must not
// share memory with the other two; Committed and Original may be one image (a caller
// that never turns Cumulative Effect off needs no image as opened).
//
// A dab of Size (limited to 5..50) centred on the image pixel Centre covers
// DabRect(Centre, Size), so an even Size gives a dab of Size + 1 pixels across. Its
// mask is WireEraserDab(Size); the pixels where the mask is not 0 are the covered
// ones. The rectangle is clipped to the images: a dab wholly outside them repairs and
// measures nothing (Trial Mode still puts the previous dab back), one across an edge
// works on the pixels inside.
//
// A repairing dab reads the covered pixels from Committed (or, with CumulativeEffect
// off, from Original), so the dabs of one stroke never read each other's results, and
// writes the covered pixels into Live: repaired from the background with
// BackgroundNoise as the threshold, or, with OnlyShow, in the engine's preview colours.
// Where the dabs of a stroke overlap, each pixel keeps the result of the dab whose
// centre lies nearest to it, relative to the dab's radius (of equally near ones, the
// latest): a dab judges the middle of its disc from the background all round, while
// near its rim it sees the wire's surroundings on one side only and may extrapolate
// its surface or take wire pixels for background; letting the later dab's rim win
// would leave specks of the wire along every stroke.
// With TrialMode each dab first puts the previous dab's rectangle back from Committed,
// so only the latest dab of the stroke stays in the image.
//
// A measuring stroke (the right button) writes no pixel: each dab that covers pixels
// gives the Background Noise measured under it, the 90th-percentile contrast rounded
// (halves to even) and limited to 0..100, for the tool to take; the last one wins.
//
// Main thread only, like the wire-fill engine it drives.

#ifndef QUILL_CORE_TOOLS_WIREERASERSTROKE_H_
#define QUILL_CORE_TOOLS_WIREERASERSTROKE_H_

#include <cstdint>

#include "Defect.h"
#include "ZelBitmap.h"
#include "ZelTypes.h"

namespace quill {

// The brush sizes: from 5 to 50, 25 at start.
constexpr int32_t kWireEraserMinSize = 5;
constexpr int32_t kWireEraserMaxSize = 50;
constexpr int32_t kWireEraserDefaultSize = 25;

// Background Noise: from 0 to 100, 6 at start.
constexpr int32_t kMinBackgroundNoise = 0;
constexpr int32_t kMaxBackgroundNoise = 100;
constexpr int32_t kDefaultBackgroundNoise = 6;

// The tool's dab of Size at (0, 0): the power disc with peak 255 and exponent 160/16,
// nearly flat inside and falling steeply at the rim.
void WireEraserDab(TZelPixelMask& mask, int32_t size);

// The image pixel under the real image position (X, Y): the floor of each coordinate,
// kept to 32 bits (NaN gives 0).
TPoint ImagePixelAt(double x, double y);

// A real brush diameter as a Size: rounded (halves to even) and limited to 5..50.
int32_t WireEraserSize(double diameter);

// The tool's options, read at every dab.
struct TWireEraserOptions {
  int32_t BackgroundNoise = kDefaultBackgroundNoise;
  bool CumulativeEffect = true;
  bool OnlyShow = false;
  bool TrialMode = false;
};

// What one dab did.
struct TWireEraserDab {
  // The part of Live the dab may have changed, clipped to the images: the dab's
  // rectangle (also for a measuring dab, and when its mask covers none of it) and,
  // with TrialMode, the previous dab's rectangle put back. Empty when nothing.
  TRect Changed;
  // A measuring dab covered pixels; Noise holds its measurement.
  bool Measured = false;
  int32_t Noise = 0;
};

class TWireEraserStroke {
 public:
  // Starts a stroke over the three images (see the top of this file); a stroke still
  // running is ended first. Measuring: the right-button stroke.
  void Begin(TZelPixels& live, const TZelPixels& committed, const TZelPixels& original, bool measuring);

  // Places one dab; outside a stroke it does nothing.
  TWireEraserDab ApplyDab(TPoint centre, int32_t size, const TWireEraserOptions& options);

  // Ends the stroke and returns the union of its dabs' Changed rectangles (the caller
  // that keeps its own pre-stroke copy brings that part of it up to date).
  TRect End();

  bool Running() const { return FLive != nullptr; }

 private:
  // Repairs the covered pixels of Rect (the dab's rectangle clipped) from Source into
  // Live where this dab is the nearest one of the stroke so far.
  void RepairNearest(const TZelPixels& source, const TRect& rect, const TWireEraserOptions& options);

  TZelPixels* FLive = nullptr;
  const TZelPixels* FCommitted = nullptr;
  const TZelPixels* FOriginal = nullptr;
  bool FMeasuring = false;
  bool FTrialHasPrevious = false;
  TRect FPreviousDabRect;  // unclipped
  TRect FChanged;          // the stroke's changes so far
  TZelPixelMask FMask;     // the dab of FMaskSize at (0, 0) between dabs
  TZelPixelMask FDabNearness;  // over FMask: how near the dab's centre each covered pixel lies
  int32_t FMaskSize = 0;
  TDefectGrid FGrid;
  // Over the stroke's pixels: 0 where no dab of the stroke has written, else how near
  // the centre of the dab whose result stands there the pixel lies (255 at the centre).
  TZelPixelMask FNearness;
};

}  // namespace quill

#endif  // QUILL_CORE_TOOLS_WIREERASERSTROKE_H_
