// The real program, started by the plug-in under test in place of the installed one,
// with a demo script that edits the image before the user's answer:
//
//   ZoomIn
//   Invert 1, 1, 4, 3      (inverts the image rectangle Left, Top, Right, Bottom)
//
// then OK, or Cancel when QUILL_SCRIPTED_ANSWER is "cancel"; when QUILL_SCRIPTED_FIFO
// names a named pipe, it first waits there for one byte (the user away from the
// keyboard: the test acts on the host meanwhile). The script runs once the
// command-line file is open; without plug-in mode the program ends with exit code 3
// (unless it has ended already). A script error is written to standard error and ends
// the program with exit code 4. Message boxes are answered OK and their text written
// to standard error as "Message: <text>".

#include <QAction>
#include <QTimer>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "MainForm.h"
#include "Program.h"
#include "ZelDemoPlayback.h"
#include "ZelDemoScriptable.h"
#include "ZelDemonstrationModule.h"
#include "ZelEditor.h"
#include "ZelGraphicsEditor.h"
#include "ZelGraphicsTool.h"

namespace {

// A tool with the one script command INVERT Left, Top, Right, Bottom: one undoable
// operation that inverts that rectangle of the image.
class TInvertTool : public TZelGraphicsTool {
 public:
  explicit TInvertTool(TZelComponent* owner) : TZelGraphicsTool(owner) { PluginCapable = true; }

  void ExecuteCommand(TZelDemoPlayback* /*sender*/, const QString& command, bool& handled,
                      const TZelProperties* params) override {
    if (command != QLatin1String("INVERT") || params == nullptr) return;
    int32_t side[4] = {};
    for (int i = 0; i < 4; ++i) {
      quill::TZelVariant value;
      params->GetVariant(i, value);
      side[i] = quill::NumberToInteger(value, 0);
    }
    handled = true;
    if (!BeginOperation(GraphicsEditor->GetCurrentView())) return;
    const quill::TRect rect = IntersectRect({side[0], side[1], side[2], side[3]}, Live->GetBounds());
    for (int32_t y = rect.Top; y < rect.Bottom; ++y) {
      uint8_t* pixel = Live->GetPixelAddress(rect.Left, y);
      for (int64_t i = 0; i < rect.Width() * 3; ++i) pixel[i] = static_cast<uint8_t>(~pixel[i]);
    }
    AddDirtyRect(rect, false);
    EndOperation();
  }
};

void WaitForByte(const char* fifo) {
  const int pipe = ::open(fifo, O_RDONLY | O_CLOEXEC);
  char byte;
  if (pipe < 0 || ::read(pipe, &byte, 1) != 1) std::exit(5);
  ::close(pipe);
}

// Plays the script once the command-line file is open, then answers.
class TDriver {
 public:
  TDriver() {
    quill::ConnectScriptables(player_);
    player_.GetScript().GetScriptLines() = {"ZoomIn", "Invert 1, 1, 4, 3"};
    player_.OnError = [](TZelDemoPlayback*, const QString& message, bool& stop,
                         const std::string& line) {
      std::fprintf(stderr, "%s in \"%s\"\n", message.toLocal8Bit().constData(), line.c_str());
      stop = true;
      quill::ExitCode = 4;
      MainForm->close();
    };
    player_.OnFinished = [](TZelDemoPlayback*) {
      if (const char* fifo = std::getenv("QUILL_SCRIPTED_FIFO")) WaitForByte(fifo);
      const char* answer = std::getenv("QUILL_SCRIPTED_ANSWER");
      const bool cancel = answer != nullptr && std::strcmp(answer, "cancel") == 0;
      (cancel ? GraphicsEditor->CancelButton : GraphicsEditor->OkButton)->trigger();
    };
  }

  void Start() {
    if (!MainForm->isVisible()) return;
    if (!GraphicsEditor->PluginMode) {
      quill::ExitCode = 3;
      MainForm->close();
      return;
    }
    player_.Play(0);
  }

 private:
  TZelDemoPlayback player_;
};

}  // namespace

int main(int argc, char** argv) {
  quill::TProgram program(argc, argv);
  DemonstrationModule->ShowAtStartup = false;  // no demo list at start
  ZelApplication->NewComponent<TInvertTool>();
  ZelApplication->SetMessageBoxAnswerer([](const QString& text, const QString&, uint32_t) {
    std::fprintf(stderr, "Message: %s\n", text.toLocal8Bit().constData());
    return quill::IDOK;
  });
  TDriver driver;
  // The editor queues the opening of the command-line file while the application
  // starts; the driver's start is queued behind it once the event loop runs.
  QTimer::singleShot(0, [&driver] {
    ZelApplication->PostDeferredCall(quill::TZelMethod(&driver, &TDriver::Start));
  });
  return program.Run();
}
