#include "Program.h"

#include <csignal>

#include "Module.h"
#include "PluginHost.h"
#include "ZelEditor.h"
#include "ZelGraphicsEditor.h"

namespace quill {

TProgram::TProgram(int& argc, char** argv) : application_(argc, argv) {
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
