#include "ZelTextMask.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace quill {

namespace {

// The most the text could reach in Metrics' font: its longest line (in UTF-16 units)
// of the widest character, or its height.
int64_t LayoutBound(const QFontMetrics& metrics, qsizetype longest, qsizetype lineCount) {
  return std::max(int64_t{longest} * std::max(1, metrics.maxWidth()),
                  int64_t{lineCount} * std::max(1, metrics.height()));
}

}  // namespace

QImage RenderTextMask(const QStringList& lines, const QFont& requested) {
  qsizetype last = lines.size() - 1;
  while (last >= 0 && lines[last].isEmpty()) --last;
  if (last < 0) return {};
  const qsizetype lineCount = last + 1;
  qsizetype longest = 0;
  for (qsizetype i = 0; i < lineCount; ++i) longest = std::max(longest, lines[i].size());

  // A pixel size whose layout stays within the fixed-point range.
  QFont font = requested;
  for (;;) {
    const int64_t bound = LayoutBound(QFontMetrics(font), longest, lineCount);
    if (bound <= kMaxLayoutExtent) break;
    const int pixelSize = font.pixelSize();
    if (pixelSize <= 1) return {};
    font.setPixelSize(std::clamp(static_cast<int>(pixelSize * kMaxLayoutExtent / bound), 1, pixelSize - 1));
  }

  const QFontMetrics metrics(font);
  const int lineHeight = metrics.height();
  int64_t width = 0;
  for (qsizetype i = 0; i < lineCount; ++i) {
    if (!lines[i].isEmpty()) width = std::max<int64_t>(width, metrics.horizontalAdvance(lines[i]));
  }
  const int64_t height = int64_t{lineHeight} * lineCount;
  if (width <= 0 || height <= 0) return {};

  // The bitmap within the caps; the text is scaled to fill it exactly.
  int64_t maskWidth = std::min<int64_t>(width, kMaxTextSide);
  int64_t maskHeight = std::min<int64_t>(height, kMaxTextSide);
  if (maskWidth * maskHeight > kMaxTextPixels) {
    const double shrink = std::sqrt(static_cast<double>(kMaxTextPixels) /
                                    (static_cast<double>(maskWidth) * static_cast<double>(maskHeight)));
    maskWidth = std::max<int64_t>(1, static_cast<int64_t>(std::floor(static_cast<double>(maskWidth) * shrink)));
    maskHeight = std::max<int64_t>(1, static_cast<int64_t>(std::floor(static_cast<double>(maskHeight) * shrink)));
  }

  // Drawn where the painter is fastest, then kept as one grey level a pixel.
  QImage canvas(static_cast<int>(maskWidth), static_cast<int>(maskHeight), QImage::Format_RGB32);
  if (canvas.isNull()) return {};
  canvas.fill(Qt::black);
  QPainter painter(&canvas);
  if (maskWidth != width || maskHeight != height) {
    painter.scale(static_cast<double>(maskWidth) / static_cast<double>(width),
                  static_cast<double>(maskHeight) / static_cast<double>(height));
  }
  painter.setFont(font);
  painter.setPen(Qt::white);
  for (qsizetype i = 0; i < lineCount; ++i) {
    if (!lines[i].isEmpty()) painter.drawText(0, static_cast<int>(i) * lineHeight + metrics.ascent(), lines[i]);
  }
  painter.end();
  return canvas.convertToFormat(QImage::Format_Grayscale8);
}

}  // namespace quill
