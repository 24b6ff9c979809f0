#include "ScreenPicture.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QThread>
#include <QWidget>

#include <cstdio>

#include "MainForm.h"
#include "Module.h"
#include "ZelDemonstrationModule.h"
#include "ZelGraphicsEditor.h"

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

void Settle(int milliseconds) {
  for (int i = 0; i < milliseconds / 10; ++i) {
    QApplication::processEvents();
    ZelApplication->DoIdle();
    QThread::msleep(10);
  }
}

void SaveMainWindowPicture(const QString& folder, const QString& name) {
  const QPixmap screen =
      QGuiApplication::primaryScreen()->grabWindow(0).copy(MainForm->frameGeometry());
  std::printf("%s %s\n", screen.save(QDir(folder).filePath(name)) ? "wrote" : "cannot write",
              qPrintable(name));
}

std::vector<TPoint> SampleCableStroke() {
  std::vector<TPoint> stroke;
  QFile dabs(QStringLiteral(QUILL_IMAGES_DIR "/astronaut-wire.dabs"));
  if (!dabs.open(QIODevice::ReadOnly)) return stroke;
  while (!dabs.atEnd()) {
    const QStringList fields = QString::fromUtf8(dabs.readLine()).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (fields.size() == 4 && !fields[0].startsWith(QLatin1Char('#'))) {
      stroke.push_back(ImagePixelAt(fields[1].toDouble(), fields[2].toDouble()));
    }
  }
  return stroke;
}

QString OutputFolder(const char* argument) {
  const QString folder = QString::fromLocal8Bit(argument);
  QDir().mkpath(folder);
  return folder;
}

QString PhotoArgument(int argc, char** argv, int index) {
  return argc > index ? QString::fromLocal8Bit(argv[index]) : QStringLiteral(QUILL_IMAGES_DIR "/astronaut.png");
}

TShotProgram::TShotProgram(int& argc, char** argv, const char* name, QSize size, uint16_t language)
    : name_(name), program_(argc, argv) {
  // The settings file is read below, so its folder may change until then.
  qputenv("XDG_CONFIG_HOME", settings_.path().toLocal8Bit());
  if (language != 0) SetLanguage(language);
  ZelApplication->SetMessageBoxAnswerer([](const QString&, const QString&, uint32_t) { return IDNO; });
  GraphicsEditor->ImagesFolder = QStringLiteral(QUILL_IMAGES_DIR "/");
  DemonstrationModule->ShowAtStartup = false;
  ZelApplication->LoadSettings();
  MainForm->setGeometry(QRect(QPoint(20, 20), size));
  MainForm->show();
  Settle(400);
}

TShotProgram::~TShotProgram() { MainForm->close(); }

bool TShotProgram::OpenPhoto(const QString& photo) {
  TZelDocument* document = nullptr;
  if (!GraphicsEditor->OpenFile(photo, document, true)) {
    std::fprintf(stderr, "%s: cannot read %s\n", name_, qPrintable(photo));
    return false;
  }
  Settle();
  return true;
}

}  // namespace quill
