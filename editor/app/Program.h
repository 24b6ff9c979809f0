// TProgram: the program as its entry point starts it. Creating it creates Qt's
// application object over the command line, the units of the localizer, the forms and
// the printer, initialises the application object, gives it the title "Quillmere" and
// builds the composition root (Module.h), whose graphics editor takes the plug-in's
// host from the environment (TPluginHost::FromEnvironment). Run enters the event loop;
// the program ends when the main window closes, with ExitCode (0 unless plug-in mode,
// or an exchange file that did not load, set it; see ZelGraphicsEditor.h), after the
// files of a plug-in run whose host has ended are removed (EndPluginRun). Freeing it
// frees the model and the units in reverse order.
//
// When Qt cannot start its display connection (DISPLAY names no reachable X server,
// no Wayland compositor answers), creating it writes one line to standard error and
// ends the process with kNoDisplayExitCode, instead of Qt's abort; what Qt said while
// it started is shown only when it did start.
//
// One per process, on the main thread.

#ifndef QUILL_EDITOR_PROGRAM_H_
#define QUILL_EDITOR_PROGRAM_H_

#include <QApplication>

#include "ZelForms.h"
#include "ZelLocalizer.h"
#include "ZelPrinter.h"

namespace quill {

// The exit code of a program that found no display to open its window on.
constexpr int kNoDisplayExitCode = 2;

// Holds back Qt's messages while the application object starts; see TProgram.
class TStartupMessages {
 public:
  TStartupMessages();
  ~TStartupMessages();
  TStartupMessages(const TStartupMessages&) = delete;
  TStartupMessages& operator=(const TStartupMessages&) = delete;

  // Hands the messages held back to Qt's previous handler and restores it.
  void Release();
};

class TProgram {
 public:
  // ArgC and ArgV must outlive the program (Qt keeps them).
  TProgram(int& argc, char** argv);
  TProgram(const TProgram&) = delete;
  TProgram& operator=(const TProgram&) = delete;

  // Runs the application until the main window closes; the process exit code.
  int Run();

 private:
  TStartupMessages startupMessages_;
  QApplication application_;
  TZelLocalizerUnit localizerUnit_;
  TZelFormsUnit formsUnit_;
  TZelPrinterUnit printerUnit_;
};

}  // namespace quill

#endif  // QUILL_EDITOR_PROGRAM_H_
