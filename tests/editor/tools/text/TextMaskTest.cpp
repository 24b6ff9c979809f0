// The text tool's mask: the text's own extent at the font's size, and a text far beyond
// the caps (a line of 100,000 characters, 20,000 lines) drawn whole at a lower
// resolution, with as much ink as ordinary text in every part of the mask. Renders
// with DejaVu Sans.

#include <gtest/gtest.h>

#include <QFontMetrics>

#include "ZelTextMask.h"

namespace quilltest {
namespace {

QFont Font(int pixelSize) {
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setPixelSize(pixelSize);
  font.setStyleStrategy(QFont::NoSubpixelAntialias);
  return font;
}

// The mean grey level of the mask's part X0..X1 x Y0..Y1 (right and bottom exclusive).
double MeanInk(const QImage& mask, int x0, int y0, int x1, int y1) {
  double sum = 0;
  for (int y = y0; y < y1; ++y) {
    const uint8_t* row = mask.constScanLine(y);
    for (int x = x0; x < x1; ++x) sum += row[x];
  }
  return sum / (static_cast<double>(x1 - x0) * (y1 - y0));
}

// A line of Length characters: the words "Quillmere " over and over.
QString LongLine(int length) {
  QString line;
  while (line.size() < length) line += QStringLiteral("Quillmere ");
  line.truncate(length);
  return line;
}

// Each of 32 bands of the mask (columns, or rows with Rows) holds at least half the ink
// of ordinary text: the whole text is there, nothing vanished or wrapped around.
void ExpectInkEverywhere(const QImage& mask, bool rows, double ordinary) {
  constexpr int kBands = 32;
  const int extent = rows ? mask.height() : mask.width();
  for (int band = 0; band < kBands; ++band) {
    const int from = extent * band / kBands;
    const int to = extent * (band + 1) / kBands;
    const double ink = rows ? MeanInk(mask, 0, from, mask.width(), to)
                            : MeanInk(mask, from, 0, to, mask.height());
    EXPECT_GT(ink, ordinary / 2) << (rows ? "rows " : "columns ") << from << ".." << to;
  }
}

TEST(TextMaskTest, AtTheFontsSizeTheMaskIsTheTextsOwnExtent) {
  const QFont font = Font(42);
  const QFontMetrics metrics(font);
  // Empty lines at the end are left out; one between texts leaves a line's gap.
  const QImage mask = quill::RenderTextMask({"Ag", "", "Wide line", "", ""}, font);
  ASSERT_EQ(mask.format(), QImage::Format_Grayscale8);
  EXPECT_EQ(mask.size(), QSize(metrics.horizontalAdvance("Wide line"), 3 * metrics.height()));
  EXPECT_EQ(MeanInk(mask, 0, metrics.height(), mask.width(), 2 * metrics.height()), 0.0);
  EXPECT_GT(MeanInk(mask, 0, 2 * metrics.height(), mask.width(), mask.height()), 20.0);

  EXPECT_TRUE(quill::RenderTextMask({"", ""}, font).isNull());
  EXPECT_TRUE(quill::RenderTextMask({}, font).isNull());
}

TEST(TextMaskTest, ATextBeyondTheCapsIsDrawnWholeAtALowerResolution) {
  const QImage ordinary = quill::RenderTextMask({LongLine(60)}, Font(42));
  const double ink = MeanInk(ordinary, 0, 0, ordinary.width(), ordinary.height());
  ASSERT_GT(ink, 20.0);

  // A line of 100,000 characters at 32 points (42 pixels), about 2 million pixels
  // long: squeezed to the widest mask, at the letters' full height.
  const QImage line = quill::RenderTextMask({LongLine(100000)}, Font(42));
  ASSERT_FALSE(line.isNull());
  EXPECT_EQ(line.size(), QSize(quill::kMaxTextSide, QFontMetrics(Font(42)).height()));
  ExpectInkEverywhere(line, false, ink);

  // At 400 points it would overflow the layout's fixed point (about 100 million
  // pixels): laid out smaller, the same band.
  const QImage large = quill::RenderTextMask({LongLine(100000)}, Font(533));
  ASSERT_FALSE(large.isNull());
  EXPECT_EQ(large.width(), quill::kMaxTextSide);
  EXPECT_LE(int64_t{large.width()} * large.height(), quill::kMaxTextPixels);
  ExpectInkEverywhere(large, false, ink);

  // 20,000 lines: squeezed to the tallest mask.
  const QStringList many(20000, QStringLiteral("Quillmere"));
  const QImage tall = quill::RenderTextMask(many, Font(42));
  ASSERT_FALSE(tall.isNull());
  EXPECT_EQ(tall.size(), QSize(QFontMetrics(Font(42)).horizontalAdvance("Quillmere"), quill::kMaxTextSide));
  ExpectInkEverywhere(tall, true, ink);
}

}  // namespace
}  // namespace quilltest
