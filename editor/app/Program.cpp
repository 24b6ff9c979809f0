#include "Program.h"

#include "Module.h"
#include "ZelEditor.h"

namespace quill {

TProgram::TProgram(int& argc, char** argv) : application_(argc, argv) {
  ZelApplication->Initialize();
  ZelApplication->SetTitle(QStringLiteral("Quillmere"));
  ZelApplication->CreateForm(Module);
}

int TProgram::Run() {
  ZelApplication->Run();
  return ExitCode;
}

}  // namespace quill
