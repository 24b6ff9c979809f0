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
// One per process, on the main thread.

#ifndef QUILL_EDITOR_PROGRAM_H_
#define QUILL_EDITOR_PROGRAM_H_

#include <QApplication>

#include "ZelForms.h"
#include "ZelLocalizer.h"
#include "ZelPrinter.h"

namespace quill {

class TProgram {
 public:
  // ArgC and ArgV must outlive the program (Qt keeps them).
  TProgram(int& argc, char** argv);
  TProgram(const TProgram&) = delete;
  TProgram& operator=(const TProgram&) = delete;

  // Runs the application until the main window closes; the process exit code.
  int Run();

 private:
  QApplication application_;
  TZelLocalizerUnit localizerUnit_;
  TZelFormsUnit formsUnit_;
  TZelPrinterUnit printerUnit_;
};

}  // namespace quill

#endif  // QUILL_EDITOR_PROGRAM_H_
