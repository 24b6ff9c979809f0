#include "PluginSystem.h"

#include <fcntl.h>
#include <limits.h>
#include <pthread.h>
#include <sched.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
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
  std::string result = folder != nullptr && *folder != '\0' ? quill::FromWorkingFolder(folder) : "/tmp";
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

namespace {

// What a start needs, all of it made before the clone. From the clone to the exec the
// helper and the program run in the host's memory, beside the host's other threads:
// they make only async-signal-safe calls and touch no allocator and no lock, for
// another thread may hold one at any moment.
struct TLaunch {
  const char* Program;
  char* const* Arguments;
  char* const* Environment;
  const char* Folder;  // null: the caller's
  int ErrorPipe;       // the write end; the exec closes it
  unsigned DescriptorLimit;  // where closing stops when close_range is missing
  char* ProgramStack;  // the top of the program's stack until its exec
};

// Code that runs on the helper's stacks, which AddressSanitizer does not know: it must
// not mark their frames (the marks would outlive the stacks, and a later mapping at
// the same addresses would be taken for overflows) nor clear the host thread's stack
// when the helper ends. Instrumented, it reports errors that are none, and a report
// cut short by the helper's end leaves the sanitizer's locks taken in the host.
#define QUILL_HELPER_CODE __attribute__((no_sanitize_address))

// The helper's and the program's stacks: one mapping, each stack with an inaccessible
// guard below it, so that an overflow faults instead of writing into the host's memory.
// 64 KiB is a multiple of every page size.
class THelperStacks {
 public:
  static constexpr size_t kSize = 64 * 1024;

  THelperStacks()
      : FBase(::mmap(nullptr, 4 * kSize, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_STACK, -1, 0)) {
    if (FBase == MAP_FAILED) return;
    for (int stack = 0; stack < 2; ++stack) {
      if (::mprotect(Top(stack) - kSize, kSize, PROT_READ | PROT_WRITE) != 0) {
        const int error = errno;
        Unmap();
        errno = error;
        return;
      }
    }
  }
  ~THelperStacks() { Unmap(); }
  THelperStacks(const THelperStacks&) = delete;
  THelperStacks& operator=(const THelperStacks&) = delete;

  bool Mapped() const { return FBase != MAP_FAILED; }
  // The top of stack 0 or 1; a stack grows down from there.
  char* Top(int stack) const { return static_cast<char*>(FBase) + (2 * stack + 2) * kSize; }

 private:
  void Unmap() {
    if (FBase != MAP_FAILED) ::munmap(FBase, 4 * kSize);
    FBase = MAP_FAILED;
  }

  void* FBase;
};

// Sends Error through the pipe and ends the process: the program did not start.
[[noreturn]] QUILL_HELPER_CODE void FailLaunch(int pipe, int error) {
  (void)!::write(pipe, &error, sizeof error);
  ::_exit(127);
}

// Closes the descriptors First to Last, one by one up to Limit when close_range is
// missing.
QUILL_HELPER_CODE void CloseRange(unsigned first, unsigned last, unsigned limit) {
  if (first > last || ::close_range(first, last, 0) == 0) return;
  for (unsigned fd = first; fd <= last && fd < limit; ++fd) ::close(static_cast<int>(fd));
}

// Closes every descriptor from 3 up but Keep.
QUILL_HELPER_CODE void CloseDescriptorsExcept(int keep, unsigned limit) {
  const auto kept = static_cast<unsigned>(keep);
  if (kept < 3) {
    CloseRange(3, ~0U, limit);
  } else {
    CloseRange(3, kept - 1, limit);
    CloseRange(kept + 1, ~0U, limit);
  }
}

// The program's side of the start: no blocked signal, the working folder, exec.
[[noreturn]] QUILL_HELPER_CODE int ExecProgram(void* argument) {
  const TLaunch& launch = *static_cast<const TLaunch*>(argument);
  sigset_t none;
  ::sigemptyset(&none);
  ::sigprocmask(SIG_SETMASK, &none, nullptr);
  if (launch.Folder != nullptr && ::chdir(launch.Folder) != 0) FailLaunch(launch.ErrorPipe, errno);
  ::execve(launch.Program, launch.Arguments, launch.Environment);
  FailLaunch(launch.ErrorPipe, errno);
}

// The helper: a process of its own in the host's memory. It never execs, which would
// give it the exit signal SIGCHLD (and let the host's thread go on). It comes with
// every signal blocked, and keeps them blocked: it lives only to pass the program's
// exit on. Every disposition goes back to its default (the helper has its own copy of
// them), SIGCHLD's first of all: under the host's SIG_IGN the program's exit status
// would be discarded, and the program must not inherit the host's ignored signals
// either. The program is started as posix_spawn does: it shares the memory until its
// exec, on a stack of its own, and the helper waits for that exec.
[[noreturn]] QUILL_HELPER_CODE int RunHelper(void* argument) {
  const TLaunch& launch = *static_cast<const TLaunch*>(argument);
  struct sigaction standard = {};
  standard.sa_handler = SIG_DFL;
  // SIGKILL, SIGSTOP and the C library's own signals refuse; they need nothing.
  for (int number = 1; number < NSIG; ++number) ::sigaction(number, &standard, nullptr);
  CloseDescriptorsExcept(launch.ErrorPipe, launch.DescriptorLimit);
  const int program = ::clone(ExecProgram, launch.ProgramStack, CLONE_VM | CLONE_VFORK | SIGCHLD, argument);
  if (program < 0) FailLaunch(launch.ErrorPipe, errno);
  ::close(launch.ErrorPipe);
  int status = 0;
  while (::waitpid(program, &status, 0) < 0) {
    if (errno != EINTR) ::_exit(127);
  }
  ::_exit(WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status));
}

// Reads the error number that a failed start sends; 0 when the pipe closes without
// one: the program ran.
int ReadLaunchError(int pipe) {
  int error = 0;
  ssize_t n;
  do {
    n = ::read(pipe, &error, sizeof error);
  } while (n < 0 && errno == EINTR);
  return n == sizeof error ? error : 0;
}

// Reaps the helper, which has ended by then; __WALL because the helper tells its end
// by no signal. True when it exited with status 0.
bool ReapHelper(int processFd) {
  siginfo_t info = {};
  while (::waitid(P_PIDFD, static_cast<id_t>(processFd), &info, WEXITED | __WALL) != 0) {
    if (errno != EINTR) return false;
  }
  return info.si_code == CLD_EXITED && info.si_status == 0;
}

// Starts the program as a plain child of the host.
int StartAsChild(const TLaunch& launch, TStartedProgram& started) {
  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attributes;
  if (int error = ::posix_spawn_file_actions_init(&actions); error != 0) return error;
  if (int error = ::posix_spawnattr_init(&attributes); error != 0) {
    ::posix_spawn_file_actions_destroy(&actions);
    return error;
  }
  int error = 0;
  if (launch.Folder != nullptr) error = ::posix_spawn_file_actions_addchdir_np(&actions, launch.Folder);
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
  pid_t process = -1;
  if (error == 0) error = ::posix_spawn(&process, launch.Program, &actions, &attributes, launch.Arguments,
                                        launch.Environment);
  if (error == 0) started = {process, -1};
  ::posix_spawnattr_destroy(&attributes);
  ::posix_spawn_file_actions_destroy(&actions);
  return error;
}

// Starts the program through the helper and returns once the program has ended (see
// StartProgram); where the kernel refuses the helper's clone, as a plain child.
int StartThroughHelper(const TLaunch& prepared, TStartedProgram& started) {
  const THelperStacks stacks;
  if (!stacks.Mapped()) return errno;
  int pipe[2];
  if (::pipe2(pipe, O_CLOEXEC) != 0) return errno;
  TLaunch launch = prepared;
  launch.ErrorPipe = pipe[1];
  launch.ProgramStack = stacks.Top(0);
  // No handler of the host may run in the helper before it has reset them.
  sigset_t all;
  sigset_t previous;
  ::sigfillset(&all);
  ::pthread_sigmask(SIG_SETMASK, &all, &previous);
  // Exit signal 0: neither the host's wait for any child nor its SIG_IGN for SIGCHLD
  // touches the helper. CLONE_VFORK holds this thread until the helper has ended, so
  // the helper's C library calls may use this thread's errno, and its stack stays
  // untouched.
  int processFd = -1;
  const int helper =
      ::clone(RunHelper, stacks.Top(1), CLONE_VM | CLONE_VFORK | CLONE_PIDFD, &launch, &processFd);
  const int cloneError = errno;
  ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  ::close(pipe[1]);
  if (helper < 0) {
    ::close(pipe[0]);
    // EINVAL: a kernel before process descriptors (5.2); ENOSYS, EPERM: a system-call
    // filter.
    const bool refused = cloneError == EINVAL || cloneError == ENOSYS || cloneError == EPERM;
    return refused ? StartAsChild(prepared, started) : cloneError;
  }
  const int error = ReadLaunchError(pipe[0]);
  ::close(pipe[0]);
  if (error != 0) {
    ReapHelper(processFd);
    ::close(processFd);
    return error;
  }
  started = {static_cast<pid_t>(helper), processFd};
  return 0;
}

bool WaitForChild(pid_t process, const std::function<void()>& idle) {
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

}  // namespace

std::string FromWorkingFolder(const std::string& name) {
  if (name.empty() || name[0] == '/') return name;
  char folder[PATH_MAX];
  if (::getcwd(folder, sizeof folder) == nullptr) return name;
  // Only the root folder ends in a slash.
  return std::string(folder) + (folder[1] == '\0' ? "" : "/") + name;
}

int StartProgram(const std::string& program, const std::string& argument,
                 const std::string& workingDirectory, const std::vector<std::string>& environment,
                 TStartedProgram& started) {
  const std::string path = FromWorkingFolder(program);
  char* arguments[] = {const_cast<char*>(path.c_str()), const_cast<char*>(argument.c_str()), nullptr};
  std::vector<char*> entries;
  entries.reserve(environment.size() + 1);
  for (const std::string& entry : environment) entries.push_back(const_cast<char*>(entry.c_str()));
  entries.push_back(nullptr);
  rlimit descriptors = {};
  ::getrlimit(RLIMIT_NOFILE, &descriptors);
  const TLaunch launch{path.c_str(),
                       arguments,
                       entries.data(),
                       workingDirectory.empty() ? nullptr : workingDirectory.c_str(),
                       -1,
                       static_cast<unsigned>(std::min<rlim_t>(descriptors.rlim_cur, 1 << 20)),
                       nullptr};
  return StartThroughHelper(launch, started);
}

bool WaitForExit(TStartedProgram& started, const std::function<void()>& idle) {
  if (started.ProcessFd < 0) return WaitForChild(started.Process, idle);
  const bool exited = ReapHelper(started.ProcessFd);
  ::close(started.ProcessFd);
  started.ProcessFd = -1;
  return exited;
}

std::vector<std::string> CurrentEnvironment() {
  std::vector<std::string> entries;
  for (char** entry = environ; *entry != nullptr; ++entry) entries.emplace_back(*entry);
  return entries;
}

void SetEnvironmentValue(std::vector<std::string>& environment, std::string_view name,
                         std::string_view value) {
  const std::string prefix = std::string(name) + "=";
  std::erase_if(environment, [&](const std::string& entry) { return entry.starts_with(prefix); });
  environment.push_back(prefix + std::string(value));
}

std::string MakeTempFolder(const std::string& folder, std::string_view prefix) {
  std::string pattern = folder + std::string(prefix.substr(0, 3)) + "XXXXXX";
  return ::mkdtemp(pattern.data()) != nullptr ? pattern : std::string();
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
