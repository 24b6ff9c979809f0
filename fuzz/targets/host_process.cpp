// The host's process descriptor as the program takes it from its environment: any text
// as the variable's value, cut at its first zero byte (an environment holds none). The
// process holds one process descriptor, at kHost, made again for every input; only it
// may be taken for the host, made close-on-exec, and closed with the host. Nothing else
// may be closed (the standard streams stand for the rest), and the variable is gone
// afterwards.

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "FuzzSupport.h"
#include "HostProcess.h"
#include "PluginHost.h"

using quill::fuzz::Check;

namespace {

constexpr int kHost = 100;

bool Open(int descriptor) { return ::fcntl(descriptor, F_GETFD) >= 0; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const int process = quill::OpenProcessDescriptor(::getpid());
  Check(process >= 0 && ::dup2(process, kHost) == kHost && ::close(process) == 0, "no process descriptor for the host");
  const std::string text(reinterpret_cast<const char*>(data), size);
  ::setenv(quill::kHostProcessVariable, text.substr(0, text.find('\0')).c_str(), 1);
  {
    const quill::TPluginHost host = quill::TPluginHost::FromEnvironment();
    Check(std::getenv(quill::kHostProcessVariable) == nullptr, "the variable stayed in the environment");
    if (host.Watched()) {
      Check((::fcntl(kHost, F_GETFD) & FD_CLOEXEC) != 0, "the host's descriptor stays open across an exec");
      Check(!host.Ended(), "a running host counts as ended");
    } else {
      Check(Open(kHost), "a descriptor that was not taken was closed");
    }
  }
  Check(Open(STDIN_FILENO) && Open(STDOUT_FILENO) && Open(STDERR_FILENO), "a standard stream was closed");
  return 0;
}
