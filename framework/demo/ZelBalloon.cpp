#include "ZelBalloon.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPolygon>
#include <QScreen>
#include <QToolTip>

#include <algorithm>

namespace {

constexpr int kPointerSize = 16;  // the triangle's height and base; also the text margin

// The body: (0, 0, W, H) with corners rounded by a 16 x 16 ellipse.
QRegion RoundedBody(int width, int height) {
  QPainterPath path;
  path.addRoundedRect(QRectF(0, 0, width, height), kPointerSize / 2.0, kPointerSize / 2.0);
  return QRegion(path.toFillPolygon().toPolygon(), Qt::WindingFill);
}

}  // namespace

TZelBalloon::TZelBalloon() : QWidget(nullptr) {
  setWindowFlags(Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                 Qt::WindowTransparentForInput | Qt::WindowDoesNotAcceptFocus);
  setAttribute(Qt::WA_ShowWithoutActivating);
  setFont(QToolTip::font());
  setPalette(QToolTip::palette());
}

TZelBalloon::~TZelBalloon() {
  HideBalloon();
  SetRegion(QRegion());
}

void TZelBalloon::ShowBalloon(int32_t x, int32_t y, uint8_t placement, const QString& text) {
  HideBalloon();
  text_ = text.left(kMaxTextLength);
  wrap_ = Qt::TextWordWrap;
  const QFontMetrics metrics(font());
  QRect measured = metrics.boundingRect(QRect(0, 0, kMaxTextWidth, 0), Qt::AlignLeft | Qt::AlignTop | wrap_, text_);
  if (measured.width() > kMaxTextWidth) {
    wrap_ = Qt::TextWrapAnywhere;
    measured = metrics.boundingRect(QRect(0, 0, kMaxTextWidth, 0), Qt::AlignLeft | Qt::AlignTop | wrap_, text_);
  }
  textRect_ = QRect(0, 0, std::min(measured.width(), kMaxTextWidth), measured.height());
  const int w = textRect_.width() + kPointerSize;
  const int h = textRect_.height() + kPointerSize;

  if (placement == 0 || placement > 4) {
    const QPoint point(x, y);
    QScreen* screen = QGuiApplication::screenAt(point);
    if (screen == nullptr) screen = QGuiApplication::primaryScreen();
    placement = quill::ChooseBalloonPlacement(x, y, screen != nullptr ? screen->geometry() : QRect());
  }
  placement_ = placement;

  QPolygon triangle;
  QPoint tip;
  switch (placement) {
    case 1:
      triangle << QPoint(16, 0) << QPoint(16, -16) << QPoint(32, 0);
      tip = QPoint(16, -16);
      textRect_.translate(12, 24);
      break;
    case 2:
      triangle << QPoint(w - 16, 0) << QPoint(w - 16, -16) << QPoint(w - 32, 0);
      tip = QPoint(w - 16, -16);
      textRect_.translate(12, 24);
      break;
    case 3:
      triangle << QPoint(15, h - 1) << QPoint(31, h - 1) << QPoint(15, h + 15);
      tip = QPoint(15, h + 15);
      textRect_.translate(12, 8);
      break;
    default:
      triangle << QPoint(w - 17, h - 1) << QPoint(w - 33, h - 1) << QPoint(w - 17, h + 15);
      tip = QPoint(w - 17, h + 15);
      textRect_.translate(12, 8);
      break;
  }
  // A polygon region leaves out its right and bottom edges, and with them the tip.
  QRegion region = RoundedBody(w, h).united(QRegion(triangle, Qt::WindingFill)).united(QRect(tip, QSize(1, 1)));
  if (tip.y() < 0) {
    region.translate(0, kPointerSize);
    tip.setY(0);
  }

  setGeometry(x - tip.x(), y - tip.y(), w, h + kPointerSize);
  SetRegion(region);
  show();
  update();
}

void TZelBalloon::HideBalloon() { hide(); }

void TZelBalloon::SetRegion(const QRegion& region) {
  region_ = region;
  if (region.isEmpty()) {
    clearMask();
  } else {
    setMask(region);
  }
}

void TZelBalloon::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  painter.fillRect(rect(), palette().color(QPalette::ToolTipBase));
  const QColor textColour = palette().color(QPalette::ToolTipText);
  for (const QRect& band : BuildOutlineRegion(region_, -1)) painter.fillRect(band, textColour);
  painter.setPen(textColour);
  painter.drawText(textRect_, Qt::AlignLeft | Qt::AlignTop | wrap_, text_);
}

QRegion BuildOutlineRegion(const QRegion& region, int width) {
  if (width > 0) {
    QRegion inner = region;
    for (const QPoint move : {QPoint(0, -width), QPoint(width, 0), QPoint(0, width), QPoint(-width, 0)}) {
      inner = inner.intersected(region.translated(move));
    }
    return region.subtracted(inner);
  }
  const int d = -width;
  QRegion outline;
  if (d == 0) return outline;
  for (const QPoint move : {QPoint(0, d), QPoint(-d, 0), QPoint(0, -d), QPoint(d, 0)}) {
    outline = outline.united(region.subtracted(region.translated(move)));
  }
  return outline;
}

namespace quill {

uint8_t ChooseBalloonPlacement(int32_t x, int32_t y, const QRect& screen) {
  const int64_t column = int64_t{x} - screen.left();
  const int64_t row = int64_t{y} - screen.top();
  uint8_t placement = column > screen.width() / 2 ? 4 : 3;
  if (row <= screen.height() / 2) placement -= 2;
  return placement;
}

}  // namespace quill
