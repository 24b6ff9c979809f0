// TAreaCorrelator: the patch-fill engine behind Hand Inpainting.
//
// It fills a marked area of an image with the pixels of another, equally large
// region of the same image, read in one of 8 orientations, and around that copy it
// can choose the orientation whose pixels best match the area's rim (Pearson
// correlation), drop rim pixels of a minority colour such as a wire crossing the rim,
// blend the filled pixels that touch the rim with what was there, and correct the
// copy by a smooth brightness or colour surface fitted to the differences between
// the area's rim and the source region's rim.
//
// The area is AreaRect, W x H pixels; area coordinates (x, y) start at its top-left.
// Area pixel (x, y) is filled, in orientation k, from the source region's corner
// plus variant k of (x, y):
//
//   k  variant          the filled area shows the source region
//   0  (x, y)           unchanged
//   1  (W-1-x, y)       mirrored left to right
//   2  (y, W-1-x)       rotated 90 degrees clockwise
//   3  (y, x)           mirrored across its main diagonal
//   4  (W-1-x, H-1-y)   rotated 180 degrees
//   5  (x, H-1-y)       mirrored top to bottom
//   6  (H-1-y, W-1-x)   mirrored across its anti-diagonal
//   7  (H-1-y, x)       rotated 90 degrees counter-clockwise
//
// so the source region is W x H for orientations 0, 1, 4, 5 and H x W for the others.
//
// The engine reads Source and writes Target, two 24-bit (kPixelFormat24) images of
// one size that it does not own and that must outlive it. Source is never written,
// so the fill can be redone any number of times with other offsets and orientations,
// each run overwriting the last in Target. Only pixels inside both images are read
// or written; when either image is not a 24-bit image with pixels, nothing is.
// Pass two different images: a fill reads Source while it writes Target.
//
// Calling order: the constructor, SetMask over the area, then SplitBorder,
// optionally RemoveBorderOutliers and ComputeContactWeights (again whenever these
// options change), then FindBestOrientation and FillArea any number of times.
// Nothing is reported; records whose own or source pixel lies outside the images
// are skipped in matching and filling and give zero samples in fitting.

#ifndef QUILL_CORE_AREACORRELATION_H_
#define QUILL_CORE_AREACORRELATION_H_

#include <cstdint>
#include <vector>

#include "BorderArea8.h"
#include "ZelBitmap.h"
#include "ZelTypes.h"

class TAreaCorrelator {
 public:
  // Fill modes of FillArea.
  static constexpr int32_t kModeCopy = 0;
  static constexpr int32_t kModeBrightness = 1;  // corrected by one brightness surface
  static constexpr int32_t kModeColor = 2;       // corrected by one surface per channel

  // The most k-means steps RemoveBorderOutliers runs. Two clusters of a few hundred
  // rim colours settle in a handful; the bound only guards against a cycle that
  // rounding might cause.
  static constexpr int kMaxClusteringSteps = 1000;

  // The largest reach of the rim test, squared; a larger RadiusSquared is taken as
  // this, which keeps the rim test's cost bounded. The tool uses 2.
  static constexpr int32_t kMaxRadiusSquared = 100;

  // An engine for AreaRect with an all-zero mask; no pixel work. RadiusSquared is the
  // reach of the rim test, squared (below 0 nothing is in reach). An area of more
  // than TBorderArea8::kMaxAreaPixels pixels counts as empty.
  TAreaCorrelator(const quill::TRect& areaRect, int32_t radiusSquared, const TZelPixels& source,
                  TZelPixels& target);

  // Marks (Value non-zero) or unmarks the pixel at image position (X, Y). A position
  // outside AreaRect is ignored. Takes effect at the next SplitBorder.
  void SetMask(int32_t x, int32_t y, uint8_t value);

  // Sorts every marked pixel, column by column, into the border list (the rim) or the
  // interior list. With r = Trunc(Sqrt(RadiusSquared) + 0.001), a marked pixel is on
  // the rim when some pixel within |dx|, |dy| <= r and dx^2 + dy^2 <= RadiusSquared of
  // it is an unmarked pixel of the area, or lies outside the area but inside the
  // images. Marked pixels along the image's own edge are not rim pixels on that
  // account. Clears all exclusions and weights.
  void SplitBorder();

  // Clusters the rim's colours (read from Target) into two by k-means, seeded with
  // the first rim colour and the first later one that differs, and when the smaller
  // cluster covers at most Fraction of the rim, removes its pixels from the border
  // list: they then count neither in matching nor in fitting, and are still never
  // written. A rim of fewer than two colours keeps every pixel.
  void RemoveBorderOutliers(double fraction);

  // The interior pixels' contact weights against the rim (TBorderArea8::ComputeWeights),
  // which make blending work.
  void ComputeContactWeights();

  // The Pearson correlation, over the rim pixels inside the images whose source pixel
  // in Orientation (0..7) lies inside them too, of the source pixels' channels with
  // the rim pixels' channels in Source (R, G, B pairs from every pixel). The source
  // region's corner is SourceRect's top-left. 0 when nothing varies, nothing is
  // sampled, or Orientation is above 7.
  double Correlation(const quill::TRect& sourceRect, uint8_t orientation) const;

  // The orientation 0..7 of the highest Correlation; a tie keeps the lower one, and
  // an empty rim gives 0.
  uint8_t FindBestOrientation(const quill::TRect& sourceRect) const;

  // Writes the interior pixels whose own and source pixels lie inside the images into
  // Target, each filled from Source at Offset + its variant Orientation:
  //  - kModeCopy: the source pixel;
  //  - kModeBrightness: each channel of the source pixel plus a third of the surface
  //    of Order fitted to the rim's differences (R + G + B of its own pixel minus R +
  //    G + B of its source pixel), rounded and clamped to 0..255; never blended;
  //  - kModeColor: each channel of the source pixel plus its own channel's surface,
  //    clamped to 0..255 and rounded.
  // Rim records whose pixels lie outside the images add zero samples to the fit; a
  // fit with fewer samples than terms, or an Order above 5, gives no correction.
  // With Blend, copied and colour-corrected pixels that touch the rim become, per
  // channel, Round((A * b + P * i) / (b + i)) of their own Source colour A and the
  // fill P, b and i being their border and inner weights. Rim pixels are never
  // written. An Orientation above 7 or another Mode writes nothing.
  void FillArea(quill::TPoint offset, uint8_t orientation, bool blend, int32_t mode, uint8_t order);

  const TBorderArea8& Border() const { return FBorder; }
  const TBorderArea8& Interior() const { return FInterior; }
  const quill::TRect& AreaRect() const { return FAreaRect; }
  const quill::TRect& ImageBounds() const { return FImageBounds; }

 private:
  // Record's position in area coordinates.
  quill::TPoint AreaPosition(const quill::TBorderPixel& record) const {
    return {record.Position.X - FAreaRect.Left, record.Position.Y - FAreaRect.Top};
  }
  // Whether image position (X, Y) lies inside both images.
  bool InImage(int64_t x, int64_t y) const;
  // Record's source position for Offset and an orientation's Variant, into Source;
  // false when it or the record's own position lies outside the images.
  bool SourceOf(const quill::TBorderPixel& record, quill::TPoint offset, const quill::TVariantMap& variant,
                quill::TPoint& source) const;
  // Writes Fill over interior record Index in Target, blended with its own Source
  // colour when Blend is set and it touches the rim.
  void PutFill(int32_t index, const uint8_t* fill, bool blend);
  void FillCopy(quill::TPoint offset, const quill::TVariantMap& variant, bool blend);
  void FillBrightness(quill::TPoint offset, const quill::TVariantMap& variant, uint8_t order);
  void FillColor(quill::TPoint offset, const quill::TVariantMap& variant, bool blend, uint8_t order);

  quill::TRect FAreaRect;
  int32_t FWidth;
  int32_t FHeight;
  int32_t FRadiusSquared;
  quill::TRect FImageBounds;
  std::vector<uint8_t> FMask;  // column by column: x * FHeight + y
  const TZelPixels& FSource;
  TZelPixels& FTarget;
  TBorderArea8 FBorder;
  TBorderArea8 FInterior;
};

#endif  // QUILL_CORE_AREACORRELATION_H_
