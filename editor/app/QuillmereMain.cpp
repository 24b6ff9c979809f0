// The program: the application object, the composition root, the event loop.
//
//   Quillmere [PHOTO]
//
// The first argument, when it names an existing file, is opened once start-up is
// complete; an exchange file of the filter plug-in starts plug-in mode, and one that
// does not load ends the program after the open error with -1. The process ends with
// ExitCode (0 unless plug-in mode or such a file set it).

#include "Program.h"

int main(int argc, char** argv) {
  quill::TProgram program(argc, argv);
  return program.Run();
}
