#include <gtest/gtest.h>

#include <QImage>
#include <QPalette>

#include "ZelBalloon.h"

namespace {

int64_t Area(const QRegion& region) {
  int64_t area = 0;
  for (const QRect& rect : region) area += int64_t{rect.width()} * rect.height();
  return area;
}

}  // namespace

TEST(Balloon, AutomaticPlacementFollowsTheHalvesOfTheScreen) {
  const QRect screen(0, 0, 1000, 800);
  EXPECT_EQ(quill::ChooseBalloonPlacement(700, 600, screen), 4);  // lower right: above, leftwards
  EXPECT_EQ(quill::ChooseBalloonPlacement(100, 100, screen), 1);  // upper left
  EXPECT_EQ(quill::ChooseBalloonPlacement(100, 400, screen), 1);  // the middle row is upper
  EXPECT_EQ(quill::ChooseBalloonPlacement(100, 401, screen), 3);
  EXPECT_EQ(quill::ChooseBalloonPlacement(500, 100, screen), 1);  // the middle column is left
  EXPECT_EQ(quill::ChooseBalloonPlacement(501, 100, screen), 2);
  EXPECT_EQ(quill::ChooseBalloonPlacement(0, 0, screen), 1);
  EXPECT_EQ(quill::ChooseBalloonPlacement(999, 799, screen), 4);
  // A screen right of the first counts from its own corner.
  EXPECT_EQ(quill::ChooseBalloonPlacement(1100, 100, QRect(1000, 0, 1000, 800)), 1);
  EXPECT_EQ(quill::ChooseBalloonPlacement(1700, 600, QRect(1000, 0, 1000, 800)), 4);
}

TEST(Balloon, ItsTipPixelSitsOnThePointInEveryPlacement) {
  TZelBalloon balloon;
  for (uint8_t placement = 1; placement <= 4; ++placement) {
    SCOPED_TRACE(placement);
    balloon.ShowBalloon(400, 300, placement, QStringLiteral("Paint along the wire."));
    EXPECT_TRUE(balloon.isVisible());
    EXPECT_EQ(balloon.GetPlacement(), placement);
    const QPoint tip = QPoint(400, 300) - balloon.geometry().topLeft();
    EXPECT_TRUE(balloon.GetRegion().contains(tip));
    EXPECT_TRUE(balloon.GetRegion().boundingRect().contains(balloon.GetTextRect()));
    const int bodyHeight = balloon.GetTextRect().height() + 16;
    EXPECT_EQ(balloon.height(), bodyHeight + 16);
    EXPECT_EQ(balloon.width(), balloon.GetTextRect().width() + 16);
    if (placement <= 2) {
      EXPECT_EQ(tip.y(), 0);  // hanging below the point
    } else {
      EXPECT_EQ(tip.y(), bodyHeight + 15);  // above it: the top is at Y - (body + 15)
    }
    const int w = balloon.width();
    const int tipX[] = {0, 16, w - 16, 15, w - 17};
    EXPECT_EQ(tip.x(), tipX[placement]);
    // The tip is painted in the outline colour.
    const QImage picture = balloon.grab().toImage();
    EXPECT_EQ(picture.pixelColor(tip), balloon.palette().color(QPalette::ToolTipText));
  }
  balloon.ShowBalloon(100, 100, 1, QStringLiteral("x"));
  EXPECT_EQ(balloon.geometry().topLeft(), QPoint(84, 100));
  balloon.HideBalloon();
  EXPECT_FALSE(balloon.isVisible());
}

TEST(Balloon, LongTextWrapsAt350Pixels) {
  TZelBalloon balloon;
  balloon.ShowBalloon(10, 10, 0, QStringLiteral("Word"));
  const QRect word = balloon.GetTextRect();
  EXPECT_LT(word.width(), 100);
  QString text;
  for (int i = 0; i < 40; ++i) text += QStringLiteral("wire ");
  balloon.ShowBalloon(10, 10, 0, text);
  EXPECT_LE(balloon.GetTextRect().width(), TZelBalloon::kMaxTextWidth);
  EXPECT_GT(balloon.GetTextRect().width(), TZelBalloon::kMaxTextWidth - 60);
  EXPECT_GE(balloon.GetTextRect().height(), 3 * word.height());

  // A word too long for a line is broken; a text too long for a balloon is cut.
  balloon.ShowBalloon(10, 10, 0, QString(100000, QLatin1Char('x')));
  EXPECT_LE(balloon.GetTextRect().width(), TZelBalloon::kMaxTextWidth);
  EXPECT_LT(balloon.height(), 1000);
}

TEST(Balloon, OutlineRegionsAreBandsAlongTheEdge) {
  const QRegion square(QRect(0, 0, 10, 10));
  EXPECT_EQ(Area(BuildOutlineRegion(square, -1)), 36);
  EXPECT_EQ(Area(BuildOutlineRegion(square, 1)), 36);
  EXPECT_EQ(Area(BuildOutlineRegion(square, 2)), 64);
  EXPECT_EQ(Area(BuildOutlineRegion(square, -2)), 64);
  EXPECT_TRUE(BuildOutlineRegion(square, 0).isEmpty());
  EXPECT_FALSE(BuildOutlineRegion(square, -1).contains(QPoint(5, 5)));
  EXPECT_TRUE(BuildOutlineRegion(square, -1).contains(QPoint(9, 5)));
}
