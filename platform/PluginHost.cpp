#include "PluginHost.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>

#include "HostProcess.h"

namespace quill {

namespace {

// The descriptor number that Text gives in decimal digits; -1 for anything else.
int DescriptorNumber(std::string_view text) {
  int number = -1;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
  return error == std::errc() && end == text.data() + text.size() && number >= 0 ? number : -1;
}

// Whether the open descriptor Descriptor is a process descriptor: its descriptor
// information names the process ("Pid:"), as that of no other kind of file does.
bool IsProcessDescriptor(int descriptor) {
  if (::fcntl(descriptor, F_GETFD) < 0) return false;
  std::ifstream information("/proc/self/fdinfo/" + std::to_string(descriptor));
  for (std::string line; std::getline(information, line);) {
    if (line.starts_with("Pid:")) return true;
  }
  return false;
}

}  // namespace

TPluginHost::~TPluginHost() {
  if (FProcess >= 0) ::close(FProcess);
}

TPluginHost::TPluginHost(TPluginHost&& other) noexcept : FProcess(std::exchange(other.FProcess, -1)) {}

TPluginHost& TPluginHost::operator=(TPluginHost&& other) noexcept {
  if (this != &other) {
    if (FProcess >= 0) ::close(FProcess);
    FProcess = std::exchange(other.FProcess, -1);
  }
  return *this;
}

TPluginHost TPluginHost::FromEnvironment() {
  const char* value = std::getenv(kHostProcessVariable);
  const int descriptor = value != nullptr ? DescriptorNumber(value) : -1;
  ::unsetenv(kHostProcessVariable);
  if (descriptor < 0 || !IsProcessDescriptor(descriptor)) return TPluginHost();
  ::fcntl(descriptor, F_SETFD, FD_CLOEXEC);
  return TPluginHost(descriptor);
}

bool TPluginHost::Ended() const {
  if (FProcess < 0) return false;
  // A process descriptor turns readable when its process has ended.
  pollfd process = {FProcess, POLLIN, 0};
  int ready;
  do {
    ready = ::poll(&process, 1, 0);
  } while (ready < 0 && errno == EINTR);
  return ready == 1 && (process.revents & POLLIN) != 0;
}

void RemovePluginRunFiles(const std::filesystem::path& exchangeFile, const std::filesystem::path& runtimeFolder) {
  namespace fs = std::filesystem;
  std::error_code ignored;
  fs::remove(exchangeFile, ignored);
  const std::string name = runtimeFolder.filename().string();
  const bool madeForTheRun = !runtimeFolder.empty() && name.size() == 9 && name.starts_with("PSP") &&
                             runtimeFolder.parent_path().lexically_normal() ==
                                 exchangeFile.parent_path().lexically_normal() &&
                             fs::is_directory(fs::symlink_status(runtimeFolder, ignored));
  if (madeForTheRun) fs::remove_all(runtimeFolder, ignored);
}

}  // namespace quill
