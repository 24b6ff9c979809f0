// The program: the application object, the composition root, the event loop.
//
//   Quillmere [PHOTO]
//
// The first argument, when it names an existing file, is opened once start-up is
// complete. The process ends with ExitCode (0 unless plug-in mode set it).

#include <QApplication>

#include "Module.h"
#include "ZelEditor.h"
#include "ZelForms.h"
#include "ZelLocalizer.h"
#include "ZelPrinter.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  quill::TZelLocalizerUnit localizerUnit;
  quill::TZelFormsUnit formsUnit;
  quill::TZelPrinterUnit printerUnit;
  ZelApplication->Initialize();
  ZelApplication->SetTitle(QStringLiteral("Quillmere"));
  ZelApplication->CreateForm(Module);
  ZelApplication->Run();
  return quill::ExitCode;
}
