#include "ScreenPicture.h"

#include <QApplication>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QWidget>

#include "MainForm.h"

namespace quill {

QImage ScreenPicture() {
  QScreen* screen = QGuiApplication::primaryScreen();
  if (QGuiApplication::platformName() != QLatin1String("offscreen")) return screen->grabWindow(0).toImage();
  const QRect area = screen->geometry();
  QImage picture(area.size(), QImage::Format_RGB32);
  picture.fill(QColor(0x30, 0x30, 0x30));
  QPainter painter(&picture);
  if (MainForm != nullptr && MainForm->isVisible()) {
    painter.drawPixmap(MainForm->geometry().topLeft() - area.topLeft(), MainForm->grab());
  }
  for (QWidget* window : QApplication::topLevelWidgets()) {
    if (window == MainForm || !window->isVisible()) continue;
    painter.drawPixmap(window->geometry().topLeft() - area.topLeft(), window->grab());
  }
  return picture;
}

}  // namespace quill
