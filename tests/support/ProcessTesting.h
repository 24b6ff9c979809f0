// A process that has ended, for the tests of what watches a process through its process
// descriptor.

#ifndef QUILL_TESTS_SUPPORT_PROCESSTESTING_H_
#define QUILL_TESTS_SUPPORT_PROCESSTESTING_H_

#include <spawn.h>
#include <sys/wait.h>

#include "HostProcess.h"

extern char** environ;

namespace quill::test {

// A process descriptor of a process that has ended and been reaped, as a host's parent
// reaps it; -1 when none can be made.
inline int EndedProcessDescriptor() {
  char* arguments[] = {const_cast<char*>("/bin/true"), nullptr};
  pid_t process = -1;
  if (::posix_spawn(&process, "/bin/true", nullptr, nullptr, arguments, environ) != 0) return -1;
  const int descriptor = OpenProcessDescriptor(process);
  int status = 0;
  ::waitpid(process, &status, 0);
  return descriptor;
}

}  // namespace quill::test

#endif  // QUILL_TESTS_SUPPORT_PROCESSTESTING_H_
