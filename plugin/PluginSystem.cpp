#include "PluginSystem.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <vector>

extern char** environ;

namespace {

constexpr off_t kMaxSettingsFileSize = 64 * 1024;
constexpr size_t kMaxValueLength = 1023;

// The configuration folders in the order they are searched.
std::vector<std::string> ConfigFolders() {
  std::vector<std::string> folders;
  const char* home = std::getenv("XDG_CONFIG_HOME");
  if (home != nullptr && *home != '\0') {
    if (home[0] == '/') folders.emplace_back(home);
  } else if (const char* user = std::getenv("HOME"); user != nullptr && user[0] == '/') {
    folders.push_back(std::string(user) + "/.config");
  }
  const char* dirs = std::getenv("XDG_CONFIG_DIRS");
  std::string_view list = dirs != nullptr && *dirs != '\0' ? dirs : "/etc/xdg";
  while (!list.empty()) {
    const size_t colon = list.find(':');
    const std::string_view folder = list.substr(0, colon);
    if (!folder.empty() && folder[0] == '/') folders.emplace_back(folder);
    list = colon == std::string_view::npos ? std::string_view() : list.substr(colon + 1);
  }
  return folders;
}

// The whole of a regular file of at most kMaxSettingsFileSize bytes; false when it
// cannot be opened, is no regular file, is larger or cannot be read.
bool ReadSmallFile(const std::string& path, std::string& contents) {
  const int file = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (file < 0) return false;
  struct stat info;
  bool ok = ::fstat(file, &info) == 0 && S_ISREG(info.st_mode) && info.st_size <= kMaxSettingsFileSize;
  if (ok) {
    contents.resize(static_cast<size_t>(info.st_size));
    size_t done = 0;
    while (ok && done < contents.size()) {
      const ssize_t n = ::read(file, contents.data() + done, contents.size() - done);
      if (n < 0 && errno == EINTR) continue;
      ok = n > 0;
      if (ok) done += static_cast<size_t>(n);
    }
  }
  ::close(file);
  return ok;
}

}  // namespace

std::string ReadRegistryString(std::string_view valueName, std::string_view defaultValue,
                               std::string_view key) {
  std::string contents;
  bool found = false;
  for (const std::string& folder : ConfigFolders()) {
    if (ReadSmallFile(folder + "/" + std::string(key), contents)) {
      found = true;
      break;
    }
  }
  if (!found) return std::string(defaultValue);
  std::string_view rest = contents;
  while (!rest.empty()) {
    const size_t end = rest.find('\n');
    std::string_view line = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() || line[0] == '#') continue;
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos || line.substr(0, equals) != valueName) continue;
    const std::string_view value = line.substr(equals + 1);
    return std::string(value.size() <= kMaxValueLength ? value : defaultValue);
  }
  return std::string(defaultValue);
}

std::string GetTempDirectory() {
  const char* folder = std::getenv("TMPDIR");
  std::string result = folder != nullptr && *folder != '\0' ? folder : "/tmp";
  if (result.back() != '/') result += '/';
  return result;
}

int MakeTempFileName(const std::string& folder, std::string_view prefix, std::string& name) {
  static constexpr char kSuffix[] = ".tmp";
  std::string pattern = folder + std::string(prefix.substr(0, 3)) + "XXXXXX" + kSuffix;
  const int file = ::mkostemps(pattern.data(), sizeof(kSuffix) - 1, O_CLOEXEC);
  name = file >= 0 ? pattern : std::string();
  return file;
}

namespace quill {

int StartProgram(const std::string& program, const std::string& argument,
                 const std::string& workingDirectory, pid_t& process) {
  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attributes;
  if (int error = ::posix_spawn_file_actions_init(&actions); error != 0) return error;
  if (int error = ::posix_spawnattr_init(&attributes); error != 0) {
    ::posix_spawn_file_actions_destroy(&actions);
    return error;
  }
  int error = 0;
  if (!workingDirectory.empty()) error = ::posix_spawn_file_actions_addchdir_np(&actions, workingDirectory.c_str());
  // The host's files, sockets and pipes stay the host's.
  if (error == 0) error = ::posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
  // Signals the host blocks or ignores are no business of the program.
  sigset_t none;
  sigset_t all;
  ::sigemptyset(&none);
  ::sigfillset(&all);
  if (error == 0) error = ::posix_spawnattr_setsigmask(&attributes, &none);
  if (error == 0) error = ::posix_spawnattr_setsigdefault(&attributes, &all);
  if (error == 0) error = ::posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  if (error == 0) {
    char* arguments[] = {const_cast<char*>(program.c_str()), const_cast<char*>(argument.c_str()), nullptr};
    error = ::posix_spawn(&process, program.c_str(), &actions, &attributes, arguments, environ);
  }
  ::posix_spawnattr_destroy(&attributes);
  ::posix_spawn_file_actions_destroy(&actions);
  return error;
}

bool WaitForExit(pid_t process, const std::function<void()>& idle) {
  for (;;) {
    int status = 0;
    const pid_t done = ::waitpid(process, &status, WNOHANG);
    if (done == process) return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (done == 0) {
      idle();
    } else if (errno != EINTR) {
      return false;
    }
  }
}

void SleepTenMilliseconds() {
  const timespec pause{0, 10'000'000};
  ::nanosleep(&pause, nullptr);
}

void WriteToStandardError(std::string_view text) {
  while (!text.empty()) {
    const ssize_t n = ::write(STDERR_FILENO, text.data(), text.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    text.remove_prefix(static_cast<size_t>(n));
  }
}

}  // namespace quill
