// TRasterSurface: paints and prints core pixel views through a QPainter.
//
// The pixels are wrapped, not copied: only the part of the source that lands inside
// the visible destination (the destination rectangle within the clip) is handed to
// Qt, so painting a zoomed-out or scrolled view of a large photograph costs what the
// window shows, not what the photograph holds. Where the painter paints on a 24-bit
// image (the view's canvas) without a transformation, that part is scaled straight
// into the image's memory, pixel for pixel as Qt's own drawing would give it, without
// Qt's conversion of every pixel to 32 bits and back.

#ifndef QUILL_PLATFORM_RASTERSURFACE_H_
#define QUILL_PLATFORM_RASTERSURFACE_H_

#include "ZelBitmap.h"

class QPainter;

namespace quill {

class TRasterSurface : public TZelDeviceContext {
 public:
  // Paints through Painter, which must stay active while the surface is used.
  explicit TRasterSurface(QPainter& painter) : painter_(painter) {}

  // Stretches SourceRect of the 24-bit Pixels into DestRect (device coordinates),
  // nearest pixel, within ClipRect and the painter's own clip. Returns false for
  // pixels that are not 24-bit, a source outside the pixels, an empty rectangle or an
  // inactive painter; true when everything visible was painted (also when nothing is).
  bool PaintPixels(const TZelPixels& pixels, const TRect& destRect, const TRect& sourceRect,
                   const TRect& clipRect) override;

  // Prints the whole of Pixels scaled smoothly into Rect of the painter's page, compressed
  // without loss where the page is a PDF file.
  bool PrintPixels(const TZelPixels& pixels, const TRect& rect) override;

 private:
  QPainter& painter_;
};

}  // namespace quill

#endif  // QUILL_PLATFORM_RASTERSURFACE_H_
