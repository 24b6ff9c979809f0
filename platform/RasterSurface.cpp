#include "RasterSurface.h"

#include <QImage>
#include <QPainter>
#include <QTransform>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "RowBands.h"

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

// Qt's raster engine draws an image scaled without smoothing in 16.16 fixed point: the
// matrix from the device to the image, nudged by 1/65536 as Qt nudges it, gives each
// span's first sample; every further pixel adds the truncated step. Spans restart at
// every clip rectangle and every 2048 pixels (the engine's buffer). The engine falls
// back to floating point where these numbers leave its limits; so does the caller.
constexpr double kFixedScale = 65536.0;
constexpr int kSpanBuffer = 2048;
// The fewest pixels worth a band of their own (RowBands.h): about 0.2 ms of sampling.
constexpr int kBandPixels = 1 << 17;

struct TNearestScale {
  double M11 = 0, M22 = 0, Dx = 0, Dy = 0;
  int Step = 0;  // M11 in 16.16, truncated

  // The first sample of the span that starts at column X (a 16.16 source column).
  int FirstColumn(int x) const { return static_cast<int>((M11 * (x + 0.5) + Dx) * kFixedScale); }
  // The source row of device row Y, before clamping.
  int Row(int y) const { return static_cast<int>((M22 * (y + 0.5) + Dy) * kFixedScale) >> 16; }
};

// The sampling Qt uses for Target (device) over an image of Width x Height pixels; false
// where Qt would not take its fixed-point path for some pixel of Area.
bool NearestScale(const QRectF& target, int32_t width, int32_t height, const QRect& area, TNearestScale& scale) {
  QTransform forward;
  forward.translate(target.x(), target.y());
  forward.scale(target.width() / width, target.height() / height);
  QTransform nudge;
  nudge.translate(1.0 / kFixedScale, 1.0 / kFixedScale);
  bool invertible = false;
  const QTransform inverse = (nudge * forward).inverted(&invertible);
  if (!invertible) return false;
  scale.M11 = inverse.m11();
  scale.M22 = inverse.m22();
  scale.Dx = inverse.dx();
  scale.Dy = inverse.dy();
  const double f1 = scale.M11 * scale.M11;
  const double f2 = scale.M22 * scale.M22;
  if (!(f1 < 1e4 && f2 < 1e4 && f1 > 1.0 / kFixedScale && f2 > 1.0 / kFixedScale && std::abs(scale.Dx) < 1e4 &&
        std::abs(scale.Dy) < 1e4)) {
    return false;
  }
  scale.Step = static_cast<int>(scale.M11 * kFixedScale);
  // Every span's samples lie between the area's edges, one buffer beyond at most.
  const double limit = 2147483647.0;
  for (const double x : {area.left() + 0.5, area.right() + 1.5 + kSpanBuffer}) {
    if (std::abs((scale.M11 * x + scale.Dx) * kFixedScale) >= limit) return false;
  }
  for (const double y : {area.top() + 0.5, area.bottom() + 1.5}) {
    if (std::abs((scale.M22 * y + scale.Dy) * kFixedScale) >= limit) return false;
  }
  return true;
}

// Out[i] := Source[Offsets[i]], for Length 3-byte pixels.
void GatherRow(const uint8_t* __restrict source, const int32_t* __restrict offsets, int length,
               uint8_t* __restrict out) {
  for (int i = 0; i < length; ++i, out += 3) {
    const uint8_t* pixel = source + offsets[i];
    out[0] = pixel[0];
    out[1] = pixel[1];
    out[2] = pixel[2];
  }
}

// Paints Part of Pixels into Target on the painter's own 24-bit image, straight into
// its memory, with the pixels Qt's drawImage gives (see TNearestScale) but without
// its conversion of every pixel to 32 bits and back. False, with nothing painted,
// where the painter is not such a plain image painter or Qt would sample otherwise.
bool PaintIntoImage(QPainter& painter, const TZelPixels& pixels, const TRect& part, const QRectF& target,
                    const TRect& visible) {
  QPaintDevice* device = painter.device();
  if (device == nullptr || device->devType() != QInternal::Image) return false;
  QImage& image = *static_cast<QImage*>(device);
  if (image.format() != QImage::Format_BGR888 || !painter.transform().isIdentity() || painter.opacity() != 1.0 ||
      painter.compositionMode() != QPainter::CompositionMode_SourceOver) {
    return false;
  }
  const QRect area = target.toRect() & ToQRect(visible) & image.rect();
  if (area.isEmpty()) return true;
  TNearestScale scale;
  if (!NearestScale(target, part.Width(), part.Height(), area, scale)) return false;
  const QRegion region = painter.hasClipping() ? painter.clipRegion() & area : QRegion(area);

  uint8_t* bits = image.bits();
  const qsizetype stride = image.bytesPerLine();
  const int lastColumn = static_cast<int>(part.Width()) - 1;
  const int lastRow = static_cast<int>(part.Height()) - 1;
  thread_local std::vector<int32_t> columns;  // byte offsets of one span's samples
  for (const QRect& rect : region) {
    for (int x0 = rect.left(); x0 <= rect.right(); x0 += kSpanBuffer) {
      const int length = std::min(kSpanBuffer, rect.right() + 1 - x0);
      columns.resize(static_cast<size_t>(length));
      int fx = scale.FirstColumn(x0);
      for (int i = 0; i < length; ++i, fx += scale.Step) columns[static_cast<size_t>(i)] = std::clamp(fx >> 16, 0, lastColumn) * 3;
      // At 1:1 the samples are one run of the source row.
      const bool run = columns.back() - columns.front() == 3 * (length - 1);
      // A whole view of a large photo is bound by how fast one core reads its rows:
      // bands of rows of at least kBandPixels go to a few threads. They read this
      // thread's columns through Offsets (each thread has its own thread_local).
      const int32_t* offsets = columns.data();
      RunRowBands(rect.top(), rect.bottom() + 1, kBandPixels / length, [&](int top, int bottom) {
        int previousRow = -1;
        const uint8_t* previous = nullptr;
        for (int y = top; y < bottom; ++y) {
          uint8_t* out = bits + y * stride + x0 * 3;
          const int row = std::clamp(scale.Row(y), 0, lastRow);
          if (row == previousRow) {
            std::memcpy(out, previous, static_cast<size_t>(length) * 3);
          } else {
            const uint8_t* source = pixels.GetPixelAddress(part.Left, part.Top + row);
            if (run) {
              std::memcpy(out, source + offsets[0], static_cast<size_t>(length) * 3);
            } else {
              GatherRow(source, offsets, length, out);
            }
          }
          previousRow = row;
          previous = out;
        }
      });
    }
  }
  return true;
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
  if (PaintIntoImage(painter_, pixels, part, target, visible)) return true;
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
  // A PDF page would otherwise carry the photograph JPEG-compressed.
  painter_.setRenderHint(QPainter::LosslessImageRendering, true);
  painter_.drawImage(ToQRect(rect), WrapPixels(pixels, pixels.GetBounds()));
  painter_.restore();
  return true;
}

}  // namespace quill
