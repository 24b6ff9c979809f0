// quill-play-demo: plays a demo script in the full program without a user.
//
//   quill-play-demo PHOTO SCRIPT OUT.png [--shots DIR]
//
// Starts the program (offscreen unless a display is given, with settings of its own in
// a temporary folder), opens PHOTO, plays SCRIPT through the demonstration module with
// its real player and pointer driver, and when the script ends writes the live image to
// OUT.png (lossless). With --shots, a picture of the screen (every shown window, the
// pointer sprite and the balloons) goes into DIR after every script line, as
// line-NNNN.png, and one more while the balloon of each MESSAGE is on the screen, as
// line-NNNN-message.png (NNNN counts the pictures). Message boxes are answered at once (questions Yes, save questions No,
// the rest OK), so it never waits. When the player reports an error, its message goes
// to standard error and the exit code is 1; a bad command line or a photo or script that
// does not open gives 2.

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "ImageCodecs.h"
#include "MainForm.h"
#include "Module.h"
#include "Program.h"
#include "ScreenPicture.h"
#include "ZelBalloon.h"
#include "ZelDemoActions.h"
#include "ZelDemonstrationModule.h"
#include "ZelGraphicsDocument.h"
#include "ZelGraphicsEditor.h"
#include "ZelLocalizer.h"

namespace {

int Fail(const QString& message, int code) {
  std::fprintf(stderr, "quill-play-demo: %s\n", message.toLocal8Bit().constData());
  return code;
}

// The running MESSAGE shows its balloon.
bool BalloonShown(TZelDemoPlayback& player) {
  const auto* message = dynamic_cast<TZelDemoScriptBalloonAction*>(player.GetCurrentAction());
  return message != nullptr && message->GetBalloon() != nullptr && message->GetBalloon()->isVisible();
}

}  // namespace

int main(int argc, char** argv) {
  QString shots;
  QStringList paths;
  for (int i = 1; i < argc; ++i) {
    const QString argument = QString::fromLocal8Bit(argv[i]);
    if (argument == "--shots" && i + 1 < argc) {
      shots = QString::fromLocal8Bit(argv[++i]);
    } else {
      paths.append(argument);
    }
  }
  if (paths.size() != 3) {
    return Fail("usage: quill-play-demo PHOTO SCRIPT OUT.png [--shots DIR]", 2);
  }
  if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  QTemporaryDir settings;
  qputenv("XDG_CONFIG_HOME", settings.path().toLocal8Bit());

  // The program sees no file argument: the photo is opened once the demo has begun.
  int programArgc = 1;
  quill::TProgram program(programArgc, argv);
  const QString photo = QDir::current().absoluteFilePath(paths[0]);
  const QString out = paths[2];
  TZelDemoScript script;
  if (!QFileInfo(paths[1]).isFile() || !script.LoadFromFile(paths[1])) {
    return Fail("cannot read the script " + paths[1], 2);
  }
  if (!shots.isEmpty() && !QDir().mkpath(shots)) return Fail("cannot make the folder " + shots, 2);

  QString error;
  ZelApplication->SetMessageBoxAnswerer([&error](const QString& text, const QString&, uint32_t flags) {
    if ((flags & 0xF0) == MB_ICONERROR && error.isEmpty()) error = text;
    switch (flags & 0xF) {
      case MB_YESNO: return quill::IDYES;
      case quill::MB_YESNOCANCEL: return quill::IDNO;
      default: return quill::IDOK;
    }
  });
  DemonstrationModule->ShowAtStartup = false;  // no demo list at start
  ZelApplication->LoadSettings();
  // Fresh settings hold no placement: a window of a usual size, inside the screen.
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  MainForm->resize(QSize(1024, 768).boundedTo(screen.size()));
  MainForm->move(screen.topLeft());
  MainForm->show();

  TZelDemoPlayback& player = DemonstrationModule->GetPlayback();
  QEventLoop loop;
  bool ended = false;
  auto finish = [&] {
    ended = true;
    loop.quit();
  };
  auto finished = player.OnFinished;
  player.OnFinished = [&, finished](TZelDemoPlayback* sender) {
    finished(sender);
    finish();
  };
  auto reported = player.OnError;
  player.OnError = [&, reported](TZelDemoPlayback* sender, const QString& message, bool& stop,
                                 const std::string& line) {
    reported(sender, message, stop, line);
    if (stop) finish();
  };

  // Pictures are taken when the event loop has nothing left to do. No step runs while
  // the windows catch up with the window system first: under X a window that has just
  // closed stays on the screen until the one below it repaints.
  int shot = 0;
  int shownLine = -1;
  int balloonLine = -1;
  const auto save = [&](const char* suffix) {
    player.GetThread().Stop();
    QGuiApplication::sync();
    quill::ScreenPicture().save(QDir(shots).filePath(QString::asprintf("line-%04d%s.png", shot++, suffix)));
    if (player.IsPlaying()) player.GetThread().Start();
  };
  if (!shots.isEmpty()) {
    QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, &loop,
                     [&] {
                       if (!player.IsPlaying()) return;
                       const int line = player.GetCurrentLine();
                       if (line != shownLine) {
                         shownLine = line;
                         save("");
                       }
                       // The balloon lives only while its line runs.
                       if (line != balloonLine && BalloonShown(player)) {
                         balloonLine = line;
                         save("-message");
                       }
                     });
  }
  bool opened = false;
  QTimer::singleShot(0, &loop, [&] {
    if (!DemonstrationModule->PlayScript(script)) {
      error = QStringLiteral("the demo did not start");
      finish();
      return;
    }
    TZelDocument* document = nullptr;
    opened = GraphicsEditor->OpenFile(photo, document, false);
    if (!opened) {
      player.RequestStop();
      finish();
    }
  });
  if (!ended) loop.exec();
  if (!opened) return Fail("cannot open the photo " + paths[0], 2);
  if (!error.isEmpty()) return Fail(error, 1);

  TZelGraphicsDocument* document = GraphicsEditor->GetCurrentDocument();
  if (document == nullptr) return Fail("the demo left no image open", 1);
  if (!quill::SaveImageFile(out.toStdString(), document->GetCurrentPixels(), "image/png", -1, {})) {
    return Fail("cannot write " + out, 2);
  }
  return 0;
}
