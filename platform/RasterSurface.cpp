#include "RasterSurface.h"

#include <QImage>
#include <QPainter>

#include <cmath>

namespace quill {

namespace {

bool Readable(const TZelPixels& pixels) {
  return pixels.PixelFormat() == kPixelFormat24 && pixels.Bits() != nullptr;
}

// A QImage over the Area part of Pixels, sharing their memory.
QImage WrapPixels(const TZelPixels& pixels, const TRect& area) {
  return QImage(pixels.GetPixelAddress(area.Left, area.Top), static_cast<int>(area.Width()),
                static_cast<int>(area.Height()), pixels.Stride(), QImage::Format_BGR888);
}

QRect ToQRect(const TRect& r) {
  return QRect(r.Left, r.Top, static_cast<int>(r.Width()), static_cast<int>(r.Height()));
}

}  // namespace

bool TRasterSurface::PaintPixels(const TZelPixels& pixels, const TRect& destRect,
                                 const TRect& sourceRect, const TRect& clipRect) {
  if (!Readable(pixels) || destRect.IsEmpty() || sourceRect.IsEmpty() ||
      !(IntersectRect(sourceRect, pixels.GetBounds()) == sourceRect) || !painter_.isActive()) {
    return false;
  }
  const TRect visible = IntersectRect(destRect, clipRect);
  if (visible.IsEmpty()) return true;

  // The source columns and rows that land in the visible part, widened to whole pixels.
  const double scaleX = static_cast<double>(sourceRect.Width()) / destRect.Width();
  const double scaleY = static_cast<double>(sourceRect.Height()) / destRect.Height();
  TRect part;
  part.Left = sourceRect.Left + static_cast<int32_t>(std::floor((visible.Left - destRect.Left) * scaleX));
  part.Top = sourceRect.Top + static_cast<int32_t>(std::floor((visible.Top - destRect.Top) * scaleY));
  part.Right = sourceRect.Left + static_cast<int32_t>(std::ceil((visible.Right - destRect.Left) * scaleX));
  part.Bottom = sourceRect.Top + static_cast<int32_t>(std::ceil((visible.Bottom - destRect.Top) * scaleY));
  part = IntersectRect(part, sourceRect);
  if (part.IsEmpty()) return true;

  // Where that part lands, in device coordinates.
  const QRectF target(destRect.Left + (part.Left - sourceRect.Left) / scaleX,
                      destRect.Top + (part.Top - sourceRect.Top) / scaleY,
                      part.Width() / scaleX, part.Height() / scaleY);
  painter_.save();
  painter_.setClipRect(ToQRect(visible), Qt::IntersectClip);
  painter_.setRenderHint(QPainter::SmoothPixmapTransform, false);
  painter_.drawImage(target, WrapPixels(pixels, part));
  painter_.restore();
  return true;
}

bool TRasterSurface::PrintPixels(const TZelPixels& pixels, const TRect& rect) {
  if (!Readable(pixels) || rect.IsEmpty() || pixels.Width() <= 0 || pixels.Height() <= 0 ||
      !painter_.isActive()) {
    return false;
  }
  painter_.save();
  painter_.setRenderHint(QPainter::SmoothPixmapTransform, true);
  painter_.drawImage(ToQRect(rect), WrapPixels(pixels, pixels.GetBounds()));
  painter_.restore();
  return true;
}

}  // namespace quill
