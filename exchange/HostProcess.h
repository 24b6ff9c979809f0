// What the filter plug-in hands the program besides the exchange file: a process
// descriptor (pidfd) of the host, the program's descriptor kHostProcessDescriptor, named
// by the environment variable kHostProcessVariable (its decimal number). Through it the
// program learns whether the host that waits for the edited image is still there; the
// process's own descriptor, not its parent's, since the program's parent is the
// plug-in's helper, and not a parent-death signal, which follows the thread that
// started the program rather than the host process.

#ifndef QUILL_EXCHANGE_HOSTPROCESS_H_
#define QUILL_EXCHANGE_HOSTPROCESS_H_

#include <sys/syscall.h>
#include <sys/types.h>
#include <unistd.h>

namespace quill {

constexpr char kHostProcessVariable[] = "QUILLMERE_HOST_PROCESS_FD";
constexpr int kHostProcessDescriptor = 3;

// A process descriptor of Process, close-on-exec; -1 with errno set on failure (a
// kernel before 5.3 has none). The C library's own declaration is not usable from C++.
inline int OpenProcessDescriptor(pid_t process) {
  return static_cast<int>(::syscall(SYS_pidfd_open, process, 0));
}

}  // namespace quill

#endif  // QUILL_EXCHANGE_HOSTPROCESS_H_
