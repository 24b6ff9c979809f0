#include "Program.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "Module.h"
#include "PluginHost.h"
#include "ZelEditor.h"
#include "ZelGraphicsEditor.h"

namespace quill {

namespace {

struct THeldMessage {
  QtMsgType Type;
  QByteArray Category;
  QString Text;
};

QtMessageHandler gPreviousHandler = nullptr;
std::vector<THeldMessage>* gHeldMessages = nullptr;

// Qt's platform plug-in ends the program with a fatal message when it cannot reach the
// display; everything else is held until the application object stands.
void HoldStartupMessage(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  if (type == QtFatalMsg) {
    const char* display = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if (wayland != nullptr && *wayland != '\0') {
      std::fprintf(stderr, "Quillmere: cannot open a window: no display server answers at WAYLAND_DISPLAY=%s.\n", wayland);
    } else if (display != nullptr && *display != '\0') {
      std::fprintf(stderr, "Quillmere: cannot open a window: no display server answers at DISPLAY=%s.\n", display);
    } else {
      std::fprintf(stderr, "Quillmere: cannot open a window: neither DISPLAY nor WAYLAND_DISPLAY is set.\n");
    }
    std::fflush(stderr);
    std::_Exit(kNoDisplayExitCode);
  }
  gHeldMessages->push_back({type, context.category != nullptr ? QByteArray(context.category) : QByteArray(), text});
}

}  // namespace

TStartupMessages::TStartupMessages() {
  gHeldMessages = new std::vector<THeldMessage>();
  gPreviousHandler = qInstallMessageHandler(HoldStartupMessage);
}

TStartupMessages::~TStartupMessages() { Release(); }

void TStartupMessages::Release() {
  if (gHeldMessages == nullptr) return;
  qInstallMessageHandler(gPreviousHandler);
  std::vector<THeldMessage>* held = gHeldMessages;
  gHeldMessages = nullptr;
  for (const THeldMessage& message : *held) {
    const QMessageLogContext context(nullptr, 0, nullptr, message.Category.isEmpty() ? nullptr : message.Category.constData());
    qt_message_output(message.Type, context, message.Text);
  }
  delete held;
}

TProgram::TProgram(int& argc, char** argv) : application_(argc, argv) {
  startupMessages_.Release();
  // The desktop entry that the installation writes, quillmere.desktop.
  QGuiApplication::setDesktopFileName(QStringLiteral("quillmere"));
  // A write beyond the process's file size limit then fails with EFBIG, which the save
  // reports, instead of ending the program and the user's unsaved work with it.
  std::signal(SIGXFSZ, SIG_IGN);
  ZelApplication->Initialize();
  ZelApplication->SetTitle(QStringLiteral("Quillmere"));
  ZelApplication->CreateForm(Module);
  GraphicsEditor->PluginHost = TPluginHost::FromEnvironment();
}

int TProgram::Run() {
  ZelApplication->Run();
  GraphicsEditor->EndPluginRun();
  return ExitCode;
}

}  // namespace quill
