#include <gtest/gtest.h>

#include <QImage>
#include <QPageSize>
#include <QPainter>
#include <QPrinter>

#include <filesystem>

#include "RasterSurface.h"
#include "ZelLTBitmap.h"

namespace {

// A bitmap whose pixel (x, y) is B = x, G = y, R = 7.
void MakeCoordinates(TZelLTBitmap& bitmap, int width, int height) {
  ASSERT_TRUE(bitmap.SetSize(width, height, quill::kPixelFormat24));
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      uint8_t* p = bitmap.GetPixels().GetPixelAddress(x, y);
      p[0] = static_cast<uint8_t>(x);
      p[1] = static_cast<uint8_t>(y);
      p[2] = 7;
    }
  }
}

QImage Canvas(int width, int height) {
  QImage canvas(width, height, QImage::Format_BGR888);
  canvas.fill(QColor(0x40, 0x40, 0x40));
  return canvas;
}

// The source coordinates painted at canvas pixel (X, Y), or (-1, -1) for background.
QPoint SourceAt(const QImage& canvas, int x, int y) {
  const QRgb c = canvas.pixel(x, y);
  if (qRed(c) != 7) return {-1, -1};
  return {qBlue(c), qGreen(c)};
}

}  // namespace

TEST(RasterSurface, PaintsOneToOneWithinTheClip) {
  TZelLTBitmap bitmap;
  MakeCoordinates(bitmap, 50, 40);
  QImage canvas = Canvas(30, 30);
  {
    QPainter painter(&canvas);
    quill::TRasterSurface surface(painter);
    // The image scrolled so that source (10, 5) lands on the canvas origin.
    ASSERT_TRUE(bitmap.Draw(surface, {-10, -5, 40, 35}, bitmap.GetBounds(), {0, 0, 20, 30}));
  }
  EXPECT_EQ(SourceAt(canvas, 0, 0), QPoint(10, 5));
  EXPECT_EQ(SourceAt(canvas, 19, 29), QPoint(29, 34));
  EXPECT_EQ(SourceAt(canvas, 20, 0), QPoint(-1, -1));  // beyond the clip
}

TEST(RasterSurface, StretchesByNearestPixel) {
  TZelLTBitmap bitmap;
  MakeCoordinates(bitmap, 8, 8);
  QImage big = Canvas(16, 16);
  QImage small = Canvas(4, 4);
  {
    QPainter painter(&big);
    quill::TRasterSurface surface(painter);
    ASSERT_TRUE(bitmap.Draw(surface, {0, 0, 16, 16}, bitmap.GetBounds(), {0, 0, 16, 16}));
  }
  {
    QPainter painter(&small);
    quill::TRasterSurface surface(painter);
    ASSERT_TRUE(bitmap.Draw(surface, {0, 0, 4, 4}, bitmap.GetBounds(), {0, 0, 4, 4}));
  }
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 16; ++x) ASSERT_EQ(SourceAt(big, x, y), QPoint(x / 2, y / 2)) << x << "," << y;
  }
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 4; ++x) {
      const QPoint s = SourceAt(small, x, y);
      ASSERT_GE(s.x(), 2 * x);
      ASSERT_LE(s.x(), 2 * x + 1);
      ASSERT_GE(s.y(), 2 * y);
      ASSERT_LE(s.y(), 2 * y + 1);
    }
  }
}

TEST(RasterSurface, ZoomedAndClippedMatchesTheWholePainting) {
  // Painting only a clipped part must give the same pixels there as painting all.
  TZelLTBitmap bitmap;
  MakeCoordinates(bitmap, 60, 45);
  QImage whole = Canvas(200, 150);
  QImage part = Canvas(200, 150);
  const quill::TRect dest{-17, -9, 163, 126};  // zoom 3, scrolled
  {
    QPainter painter(&whole);
    quill::TRasterSurface surface(painter);
    ASSERT_TRUE(bitmap.Draw(surface, dest, bitmap.GetBounds(), {0, 0, 200, 150}));
  }
  {
    QPainter painter(&part);
    quill::TRasterSurface surface(painter);
    ASSERT_TRUE(bitmap.Draw(surface, dest, bitmap.GetBounds(), {31, 40, 77, 101}));
  }
  for (int y = 40; y < 101; ++y) {
    for (int x = 31; x < 77; ++x) ASSERT_EQ(part.pixel(x, y), whole.pixel(x, y)) << x << "," << y;
  }
  EXPECT_EQ(SourceAt(part, 30, 50), QPoint(-1, -1));
}

TEST(RasterSurface, RefusesWhatItCannotPaint) {
  TZelLTBitmap bitmap;
  MakeCoordinates(bitmap, 8, 8);
  QImage canvas = Canvas(8, 8);
  QPainter painter(&canvas);
  quill::TRasterSurface surface(painter);
  EXPECT_FALSE(bitmap.Draw(surface, {0, 0, 8, 8}, {4, 4, 12, 12}, {0, 0, 8, 8}));  // source outside
  EXPECT_FALSE(bitmap.Draw(surface, {0, 0, 0, 8}, bitmap.GetBounds(), {0, 0, 8, 8}));
  EXPECT_TRUE(bitmap.Draw(surface, {0, 0, 8, 8}, bitmap.GetBounds(), {20, 20, 30, 30}));  // nothing visible
  TZelLTBitmap wide;
  ASSERT_TRUE(wide.SetSize(4, 4, quill::kPixelFormat32));
  EXPECT_FALSE(wide.Draw(surface, {0, 0, 4, 4}, wide.GetBounds(), {0, 0, 4, 4}));
  painter.end();
  EXPECT_FALSE(bitmap.Draw(surface, {0, 0, 8, 8}, bitmap.GetBounds(), {0, 0, 8, 8}));
}

TEST(RasterSurface, PrintsToAPdfPage) {
  TZelLTBitmap bitmap;
  MakeCoordinates(bitmap, 64, 48);
  const std::string path = (std::filesystem::temp_directory_path() / "quill-print-test.pdf").string();
  std::filesystem::remove(path);
  {
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(path));
    printer.setPageSize(QPageSize(QPageSize::A4));
    QPainter painter(&printer);
    quill::TRasterSurface surface(painter);
    ASSERT_TRUE(bitmap.Print(surface, {100, 100, 3300, 2500}));
  }
  EXPECT_GT(std::filesystem::file_size(path), 500u);
  std::filesystem::remove(path);
}

namespace {

// Paints Bitmap into a canvas of Format (200 x 150 unless Size says otherwise) with the
// clip Region, through the surface.
QImage PaintThrough(TZelLTBitmap& bitmap, QImage::Format format, const quill::TRect& dest,
                    const QRegion& region, QSize size = QSize(200, 150)) {
  QImage canvas(size, format);
  canvas.fill(QColor(0x40, 0x40, 0x40));
  QPainter painter(&canvas);
  painter.setClipRegion(region);
  quill::TRasterSurface surface(painter);
  const QRect box = region.boundingRect();
  EXPECT_TRUE(bitmap.Draw(surface, dest, bitmap.GetBounds(), {box.left(), box.top(), box.right() + 1, box.bottom() + 1}));
  return canvas;
}

}  // namespace

// The view's canvas (24-bit B, G, R) is painted without QPainter; every zoom, scroll
// and clip must still give exactly the pixels QPainter gives (on a canvas of another
// 24-bit layout, which it paints itself).
TEST(RasterSurface, PaintsTheViewCanvasAsQtPaints) {
  TZelLTBitmap bitmap;
  // 240 x 180 divides by every zoom below, so samples fall on pixel edges exactly.
  MakeCoordinates(bitmap, 240, 180);
  // Zooms of the view's steps and of best fits, scrolled to odd origins.
  const struct {
    int numerator, denominator, originX, originY;
  } zooms[] = {{1, 1, -13, 7},  {2, 1, -100, -50}, {16, 1, -1234, -777}, {3, 2, 5, -9},   {2, 3, 11, 3},
               {1, 3, 40, 30},  {1, 16, 90, 70},   {376, 1500, 17, 2},   {1003, 4000, -1, 0}, {47, 61, -3, -8},
               {1, 2, 7, 9},    {1, 4, 33, 21},    {3, 4, -2, 1}};
  const QRegion clips[] = {QRegion(0, 0, 200, 150), QRegion(31, 40, 46, 61),
                           QRegion(10, 10, 60, 40) + QRegion(100, 30, 90, 100) + QRegion(20, 120, 30, 20)};
  for (const auto& zoom : zooms) {
    const quill::TRect dest{zoom.originX, zoom.originY, zoom.originX + 240 * zoom.numerator / zoom.denominator,
                            zoom.originY + 180 * zoom.numerator / zoom.denominator};
    for (const QRegion& clip : clips) {
      const QImage direct = PaintThrough(bitmap, QImage::Format_BGR888, dest, clip);
      const QImage painted = PaintThrough(bitmap, QImage::Format_RGB888, dest, clip);
      for (int y = 0; y < 150; ++y) {
        for (int x = 0; x < 200; ++x) {
          ASSERT_EQ(direct.pixel(x, y), painted.pixel(x, y))
              << "zoom " << zoom.numerator << "/" << zoom.denominator << " at " << x << "," << y;
        }
      }
    }
  }
}

// A view as large as a screen is sampled in bands of rows on several threads; the
// bands meet without a seam or a gap, rows repeated at a zoom above 1 included.
TEST(RasterSurface, PaintsALargeViewInBandsAsQtPaints) {
  TZelLTBitmap bitmap;
  ASSERT_TRUE(bitmap.SetSize(3000, 2000, quill::kPixelFormat24));
  for (int y = 0; y < 2000; ++y) {
    for (int x = 0; x < 3000; ++x) {
      uint8_t* p = bitmap.GetPixels().GetPixelAddress(x, y);
      p[0] = static_cast<uint8_t>(x);
      p[1] = static_cast<uint8_t>(y);
      p[2] = static_cast<uint8_t>((x >> 8) | (y >> 8) << 4);
    }
  }
  const QSize size(1300, 900);
  const struct {
    int numerator, denominator, originX, originY;
  } zooms[] = {{1, 1, -17, -5}, {2, 1, -900, -700}, {1, 3, 60, 40}, {47, 61, -3, -8}, {1003, 4000, 10, 20}};
  const QRegion clips[] = {QRegion(0, 0, 1300, 900), QRegion(0, 0, 1300, 900) - QRegion(400, 300, 200, 100)};
  for (const auto& zoom : zooms) {
    const quill::TRect dest{zoom.originX, zoom.originY, zoom.originX + 3000 * zoom.numerator / zoom.denominator,
                            zoom.originY + 2000 * zoom.numerator / zoom.denominator};
    for (const QRegion& clip : clips) {
      const QImage direct = PaintThrough(bitmap, QImage::Format_BGR888, dest, clip, size);
      const QImage painted = PaintThrough(bitmap, QImage::Format_RGB888, dest, clip, size);
      ASSERT_EQ(direct.convertToFormat(QImage::Format_RGB32), painted.convertToFormat(QImage::Format_RGB32))
          << "zoom " << zoom.numerator << "/" << zoom.denominator;
    }
  }
}
