#include "ScreenFit.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>

namespace quill {

QRect AvailableScreenArea(const QWidget& window) {
  const QScreen* screen = window.screen();
  if (screen == nullptr) screen = QGuiApplication::primaryScreen();
  return screen != nullptr ? screen->availableGeometry() : QRect();
}

void FitToScreen(QWidget& window) {
  const QRect area = AvailableScreenArea(window);
  if (area.isEmpty()) return;
  // The frame that the window manager adds (none before the first show).
  const QRect frame = window.frameGeometry();
  const QRect client = window.geometry();
  const QSize decoration(frame.width() - client.width(), frame.height() - client.height());
  const QSize room = (area.size() - decoration).expandedTo(QSize(1, 1));

  const QSize minimum = window.minimumSize();
  if (minimum.width() > room.width() || minimum.height() > room.height()) {
    window.setMinimumSize(minimum.boundedTo(room));
  }
  if (client.width() > room.width() || client.height() > room.height()) {
    window.resize(client.size().boundedTo(room));
  }
  QRect placed = window.frameGeometry();
  placed.moveLeft(std::clamp(placed.left(), area.left(), std::max(area.left(), area.right() - placed.width() + 1)));
  placed.moveTop(std::clamp(placed.top(), area.top(), std::max(area.top(), area.bottom() - placed.height() + 1)));
  if (placed.topLeft() != frame.topLeft()) window.move(placed.topLeft());
}

TScreenFit::TScreenFit(QObject* parent) : QObject(parent) {}

bool TScreenFit::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Show && watched->isWidgetType()) {
    auto* widget = static_cast<QWidget*>(watched);
    const Qt::WindowType type = widget->windowType();
    if (widget->isWindow() && type != Qt::Popup && type != Qt::ToolTip && type != Qt::SplashScreen) {
      FitToScreen(*widget);
    }
  }
  return false;
}

}  // namespace quill
