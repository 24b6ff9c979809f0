// TZelViewCanvas: the paint context of one paint of a view control.
//
// Between BeginPaint and EndPaint the canvas renders off screen into one 24-bit
// bitmap (pixel format 4114: B, G, R) that spans from the window's origin to the
// bottom-right corner of the area being repainted, so device coordinates and bitmap
// coordinates are the same. View objects paint on it in device coordinates through
// any of three faces: the QPainter, the device context that core bitmaps draw through,
// or the pixels themselves. EndPaint copies the repainted area to the window in one
// step, so the screen never shows a half-painted view.
//
// The canvas keeps its own clip region. It starts as the area being repainted; content
// layers exclude what they covered from it, and PushClip/PopClip save and restore it
// for the overlays. The painter always clips to it. Code that writes pixels directly
// keeps to its rectangles (ForEachClipRect), not merely to its bounding box.
//
// The canvas also owns the view's map mode, which the view control shares.
//
// The painting operations are valid only between a BeginPaint that returned true and
// the matching EndPaint. Main thread only.

#ifndef QUILL_FRAMEWORK_ZELVIEWCANVAS_H_
#define QUILL_FRAMEWORK_ZELVIEWCANVAS_H_

#include <QImage>
#include <QPainter>
#include <QRect>
#include <QRegion>

#include <cassert>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <vector>

#include "RasterSurface.h"
#include "ZelBitmap.h"
#include "ZelMapMode.h"
#include "ZelTypes.h"

class QWidget;
class TZelViewObject;

// The bytes of one row of a bitmap of Width pixels of BitsPerPixel, padded to a
// multiple of 4: ((Width * BitsPerPixel + 31) div 32) * 4.
int32_t DIBRowBytes(int32_t width, int32_t bitsPerPixel);

namespace quill {

// Conversions at Qt calls; both rectangles are half-open in effect (QRect's right()
// is inclusive, and its width is Right - Left). An empty TRect gives an empty QRect.
// RectToQRect clamps the edges into +-(2^30 - 1), far beyond any window: a rectangle
// too wide for a QRect (over 2^31 - 1) still covers every window, and one wholly
// beyond that range converts to an empty QRect.
QRect RectToQRect(const TRect& rect);
TRect QRectToRect(const QRect& rect);

}  // namespace quill

// The pixel view of the off-screen bitmap: format 4114 at (0, 0), rows top first,
// DIBRowBytes(width, 24) apart.
class TZelCanvasPixels : public TZelPixels {
 public:
  void AttachBitmap(uint8_t* bits, int32_t width, int32_t height);
  void Detach();
};

// A clip region saved by PushClip, with the object it was saved for.
struct TZelViewState {
  TZelViewObject* View = nullptr;
  QRegion Region;
};

class TZelViewCanvas {
 public:
  // Dark grey behind the layers, as a packed 0x00BBGGRR colour (R = G = B = 64).
  static constexpr uint32_t kBackgroundColour = 0x404040;

  TZelViewCanvas() = default;
  ~TZelViewCanvas();
  TZelViewCanvas(const TZelViewCanvas&) = delete;
  TZelViewCanvas& operator=(const TZelViewCanvas&) = delete;

  TZelMapMode& GetMapMode() { return mapMode_; }
  const TZelMapMode& GetMapMode() const { return mapMode_; }

  // Starts a paint of UpdateRegion (device coordinates; parts left of or above the
  // origin are dropped) of Window, which is in its paint event. False, with nothing
  // started, when the region is empty or the off-screen bitmap cannot be had.
  bool BeginPaint(QWidget* window, const QRegion& updateRegion);
  // Copies the repainted area to the window and ends the paint; the clip stack is
  // emptied. Nothing when no paint runs.
  void EndPaint();
  bool IsPainting() const { return window_ != nullptr; }

  // ---- During a paint ----

  QPainter& GetPainter() { return painter_; }
  // Core bitmaps draw through this (TZelBitmap::Draw); it paints through the painter.
  quill::TZelDeviceContext& GetDeviceContext() {
    assert(surface_.has_value());
    return *surface_;
  }
  TZelCanvasPixels& GetPixels() { return pixels_; }
  // The bounding box of the area being repainted.
  const quill::TRect& GetUpdateBox() const { return updateBox_; }

  quill::TRect GetClipBox() const { return quill::QRectToRect(clip_.boundingRect()); }
  // Whether Rect meets the clip region; never for an empty Rect.
  bool RectVisible(const quill::TRect& rect) const;
  void ExcludeClipRect(const quill::TRect& rect);
  // Calls Visit(TRect) for every non-empty part of Area that lies in a rectangle of
  // the clip region (and in the bitmap); the parts do not overlap.
  template <class Visit>
  void ForEachClipRect(const quill::TRect& area, Visit&& visit) const;
  // Fills the clip region with a packed 0x00BBGGRR colour.
  void FillClip(uint32_t colour);

  // Saves the clip region for Object.
  void PushClip(TZelViewObject* object);
  // Restores the region saved last and gives its object; false when none is saved.
  bool PopClip(TZelViewObject*& object);

 private:
  void SelectClip(const QRegion& region);
  // Converts the update region straight into Target's device where that is a plain
  // 32-bit image (the window's backing store, or an image the window is rendered to)
  // reached by a whole-pixel translation, within Qt's clip of the window: one pass
  // over the pixels instead of a conversion and Qt's copy. False, with nothing
  // written, for any other device.
  bool CopyIntoDevice(QPainter& target);
  // The update box in the window's own 32-bit layout (0xFFRRGGBB), converted here
  // within the update region: Qt's drawing of a 24-bit image onto the window converts
  // every pixel through a generic path several times slower, and a 32-bit image it
  // copies row by row. Valid until the next paint; a null image when the memory
  // cannot be had.
  QImage ScreenPixels();

  TZelMapMode mapMode_;
  TZelCanvasPixels pixels_;
  // The off-screen bitmap's memory, kept from paint to paint and grown when needed.
  struct FreeDeleter {
    void operator()(uint8_t* block) const { std::free(block); }
  };
  std::unique_ptr<uint8_t, FreeDeleter> buffer_;  // a pixel block (quill::AllocatePixelBlock)
  size_t bufferSize_ = 0;
  QImage image_;  // over buffer_ during a paint
  struct FreeScreen {
    void operator()(uint32_t* block) const { std::free(block); }
  };
  std::unique_ptr<uint32_t, FreeScreen> screen_;  // ScreenPixels' memory, kept and grown like buffer_
  size_t screenSize_ = 0;  // in pixels
  QPainter painter_;
  std::optional<quill::TRasterSurface> surface_;
  std::vector<TZelViewState> clipStack_;  // entries reused from paint to paint
  int clipDepth_ = 0;
  QWidget* window_ = nullptr;
  QRegion updateRegion_;
  quill::TRect updateBox_;
  QRegion clip_;
};

template <class Visit>
void TZelViewCanvas::ForEachClipRect(const quill::TRect& area, Visit&& visit) const {
  const quill::TRect limit = quill::IntersectRect(area, pixels_.GetBounds());
  if (limit.IsEmpty()) return;
  for (const QRect& part : clip_) {
    const quill::TRect piece = quill::IntersectRect(quill::QRectToRect(part), limit);
    if (!piece.IsEmpty()) visit(piece);
  }
}

#endif  // QUILL_FRAMEWORK_ZELVIEWCANVAS_H_
