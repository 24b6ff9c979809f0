#include "PluginSystem.h"

#include <fcntl.h>
#include <limits.h>
#include <poll.h>
#include <pthread.h>
#include <sched.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <vector>

#include "HostProcess.h"

extern char** environ;

namespace {

constexpr off_t kMaxSettingsFileSize = 64 * 1024;
// The wait for the program's end checks it this often at the least.
constexpr long kPollMilliseconds = 10;
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

// What a start needs, all of it made before the helper starts. From then until the
// program's exec the helper and the program run in the host's memory, beside the
// host's threads, the calling one among them: they make only raw system calls, which
// leave errno alone (they share the calling thread's thread storage, its errno among
// it), and touch no allocator and no lock, for another thread may hold one at any
// moment. The launch and what it points to live in the caller's frame, which stays
// until the program's exec has closed the error pipe.
struct TLaunch {
  const char* Program;
  char* const* Arguments;
  char* const* Environment;
  const char* Folder;        // null: the caller's
  int Passed;                // the program's descriptor 3 (close-on-exec); -1: none
  pid_t Host;                // the calling process, the helper's parent
  int ErrorPipe;             // the write end, never descriptor 3; the exec closes it
  unsigned DescriptorLimit;  // where closing stops when close_range is missing
  char* ProgramStack;        // the top of the program's stack until its exec
};

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
  // Descriptor 3 open across the exec (the C library clears close-on-exec when Passed
  // is 3 already).
  if (error == 0 && launch.Passed >= 0) {
    error = ::posix_spawn_file_actions_adddup2(&actions, launch.Passed, kHostProcessDescriptor);
  }
  // The host's files, sockets and pipes stay the host's.
  const int firstClosed = launch.Passed >= 0 ? kHostProcessDescriptor + 1 : STDERR_FILENO + 1;
  if (error == 0) error = ::posix_spawn_file_actions_addclosefrom_np(&actions, firstClosed);
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
  if (error == 0) started = {process, -1, nullptr};
  ::posix_spawnattr_destroy(&attributes);
  ::posix_spawn_file_actions_destroy(&actions);
  return error;
}

#if defined(__x86_64__)

// Code that runs on the helper's stacks, which AddressSanitizer does not know: it must
// not mark their frames (the marks would outlive the stacks, and a later mapping at
// the same addresses would be taken for overflows) nor clear the host thread's stack
// when the helper ends. Instrumented, it reports errors that are none, and a report
// cut short by the helper's end leaves the sanitizer's locks taken in the host. It
// calls no function but helper code.
#define QUILL_HELPER_CODE __attribute__((no_sanitize_address))

// The helper's and the program's stacks: one mapping, each stack with an inaccessible
// guard below it, so that an overflow faults instead of writing into the host's memory.
// 64 KiB is a multiple of every page size. The mapping lives until the helper has been
// reaped.
constexpr size_t kStackSize = 64 * 1024;
constexpr size_t kStacksSize = 4 * kStackSize;

// The top of stack 0 or 1 of the mapping Stacks; a stack grows down from there.
char* StackTop(void* stacks, int stack) { return static_cast<char*>(stacks) + (2 * stack + 2) * kStackSize; }

// Maps the stacks; null, with errno set, on failure.
void* MapStacks() {
  void* stacks = ::mmap(nullptr, kStacksSize, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_STACK, -1, 0);
  if (stacks == MAP_FAILED) return nullptr;
  for (int stack = 0; stack < 2; ++stack) {
    if (::mprotect(StackTop(stacks, stack) - kStackSize, kStackSize, PROT_READ | PROT_WRITE) != 0) {
      const int error = errno;
      ::munmap(stacks, kStacksSize);
      errno = error;
      return nullptr;
    }
  }
  return stacks;
}

// A system call straight to the kernel: its result, or minus the error number. The C
// library's wrappers would set errno.
QUILL_HELPER_CODE long SystemCall(long number, long first = 0, long second = 0, long third = 0, long fourth = 0) {
  register long r10 asm("r10") = fourth;
  long result;
  asm volatile("syscall"
               : "=a"(result)
               : "0"(number), "D"(first), "S"(second), "d"(third), "r"(r10)
               : "rcx", "r11", "memory");
  return result;
}

// Starts a process as the system call clone(Flags) does, on the stack whose top is
// Stack; it runs Function(Argument) and ends with its result. The new process's id,
// or minus the error number.
QUILL_HELPER_CODE long CloneOnStack(unsigned long flags, char* stack, int (*function)(void*), void* argument) {
  register long r10 asm("r10") = 0;  // no thread id to store for the child
  register long r8 asm("r8") = 0;    // no thread storage of its own
  register int (*r12)(void*) asm("r12") = function;
  register void* r13 asm("r13") = argument;
  long result;
  asm volatile(
      "syscall\n\t"
      "testq %%rax, %%rax\n\t"
      "jnz 1f\n\t"
      // The new process, on its own stack.
      "xorl %%ebp, %%ebp\n\t"
      "movq %%r13, %%rdi\n\t"
      "callq *%%r12\n\t"
      "movl %%eax, %%edi\n\t"
      "movl %[exit], %%eax\n\t"
      "syscall\n\t"
      "1:"
      : "=a"(result)
      : "0"(static_cast<long>(SYS_clone)), "D"(flags), "S"(stack), "d"(0L), "r"(r10), "r"(r8), "r"(r12), "r"(r13),
        [exit] "i"(SYS_exit_group)
      : "rcx", "r11", "memory");
  return result;
}

[[noreturn]] QUILL_HELPER_CODE void Exit(int code) {
  SystemCall(SYS_exit_group, code);
  __builtin_unreachable();
}

// Sends Error through the pipe and ends the process: the program did not start.
[[noreturn]] QUILL_HELPER_CODE void FailLaunch(int pipe, long error) {
  const int number = static_cast<int>(error);
  SystemCall(SYS_write, pipe, reinterpret_cast<long>(&number), sizeof number);
  Exit(127);
}

// Closes the descriptors First to Last, one by one up to Limit when close_range is
// missing.
QUILL_HELPER_CODE void CloseRange(unsigned first, unsigned last, unsigned limit) {
  if (first > last || SystemCall(SYS_close_range, first, last, 0) == 0) return;
  for (unsigned fd = first; fd <= last && fd < limit; ++fd) SystemCall(SYS_close, fd);
}

// Closes every descriptor from 3 up but Keep and Also (-1: none).
QUILL_HELPER_CODE void CloseDescriptorsExcept(int keep, int also, unsigned limit) {
  const int low = keep < also ? keep : also;
  const int high = keep < also ? also : keep;
  unsigned next = 3;
  if (low >= 3) {
    CloseRange(next, static_cast<unsigned>(low) - 1, limit);
    next = static_cast<unsigned>(low) + 1;
  }
  if (high >= 3) {
    CloseRange(next, static_cast<unsigned>(high) - 1, limit);
    next = static_cast<unsigned>(high) + 1;
  }
  CloseRange(next, ~0U, limit);
}

// Makes Passed the program's descriptor 3, open across its exec; Passed itself is
// close-on-exec. 0, or minus the error number.
QUILL_HELPER_CODE long PassOn(int passed) {
  if (passed == kHostProcessDescriptor) return SystemCall(SYS_fcntl, passed, F_SETFD, 0);
  const long placed = SystemCall(SYS_dup3, passed, kHostProcessDescriptor, 0);
  return placed < 0 ? placed : 0;
}

// The program's side of the start: no blocked signal, the working folder, exec.
[[noreturn]] QUILL_HELPER_CODE int ExecProgram(void* argument) {
  const TLaunch& launch = *static_cast<const TLaunch*>(argument);
  const unsigned long none = 0;
  SystemCall(SYS_rt_sigprocmask, SIG_SETMASK, reinterpret_cast<long>(&none), 0, sizeof none);
  if (launch.Folder != nullptr) {
    const long changed = SystemCall(SYS_chdir, reinterpret_cast<long>(launch.Folder));
    if (changed < 0) FailLaunch(launch.ErrorPipe, -changed);
  }
  const long error = SystemCall(SYS_execve, reinterpret_cast<long>(launch.Program),
                                reinterpret_cast<long>(launch.Arguments), reinterpret_cast<long>(launch.Environment));
  FailLaunch(launch.ErrorPipe, -error);
}

// The kernel's record of a signal's action; all zero is the default action.
struct TKernelSignalAction {
  unsigned long Handler;
  unsigned long Flags;
  unsigned long Restorer;
  unsigned long Mask;
};

// The helper: a process of its own in the host's memory, running beside the host's
// threads. It never execs, which would give it the exit signal SIGCHLD. It comes with
// every signal blocked, and keeps them blocked: it lives only to pass the program's
// exit on. Every disposition goes back to its default (the helper has its own copy of
// them), SIGCHLD's first of all: under the host's SIG_IGN the program's exit status
// would be discarded, and the program must not inherit the host's ignored signals
// either. The program is started as posix_spawn does: it shares the memory until its
// exec, on a stack of its own, and the helper waits for that exec.
[[noreturn]] QUILL_HELPER_CODE int RunHelper(void* argument) {
  const TLaunch& launch = *static_cast<const TLaunch*>(argument);
  const int errorPipe = launch.ErrorPipe;
  // When the host's thread ends (with the host), the helper ends too, rather than hold
  // the host's memory until the program ends; the program lives on and sees the host
  // gone. The thread may have ended before the request.
  SystemCall(SYS_prctl, PR_SET_PDEATHSIG, SIGKILL);
  if (SystemCall(SYS_getppid) != launch.Host) Exit(127);
  static constexpr TKernelSignalAction kDefault = {};
  for (long number = 1; number < NSIG; ++number) {
    // SIGKILL and SIGSTOP refuse; they need nothing.
    SystemCall(SYS_rt_sigaction, number, reinterpret_cast<long>(&kDefault), 0, sizeof kDefault.Mask);
  }
  CloseDescriptorsExcept(errorPipe, launch.Passed, launch.DescriptorLimit);
  if (launch.Passed >= 0) {
    if (const long passed = PassOn(launch.Passed); passed < 0) FailLaunch(errorPipe, -passed);
  }
  const long program = CloneOnStack(CLONE_VM | CLONE_VFORK | SIGCHLD, launch.ProgramStack, ExecProgram, argument);
  if (program < 0) FailLaunch(errorPipe, -program);
  // The program has left the host's memory: from here on the launch may be gone.
  SystemCall(SYS_close, errorPipe);
  int status = 0;
  if (SystemCall(SYS_wait4, program, reinterpret_cast<long>(&status), 0, 0) != program) Exit(127);
  Exit(WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status));
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

// Reaps the helper once it has ended, waiting for that unless Options holds WNOHANG;
// __WALL because the helper tells its end by no signal. False while it runs. Once it
// has ended: Exited tells whether it exited with status 0, its process descriptor is
// closed, its stacks are unmapped and Started is forgotten. A helper that cannot be
// waited for counts as failed; its stacks stay mapped unless it is known gone.
bool ReapHelper(TStartedProgram& started, int options, bool& exited) {
  siginfo_t info = {};
  int result;
  do {
    result = ::waitid(P_PIDFD, static_cast<id_t>(started.ProcessFd), &info, WEXITED | __WALL | options);
  } while (result != 0 && errno == EINTR);
  if (result == 0 && info.si_pid == 0) return false;
  const bool gone = result == 0 || errno == ECHILD;
  exited = result == 0 && info.si_code == CLD_EXITED && info.si_status == 0;
  ::close(started.ProcessFd);
  if (gone) ::munmap(started.Stacks, kStacksSize);
  started = {};
  return true;
}

// Starts the program through the helper and returns once the program has been
// started; where the kernel refuses the helper's clone, as a plain child.
int StartThroughHelper(const TLaunch& prepared, TStartedProgram& started) {
  void* const stacks = MapStacks();
  if (stacks == nullptr) return errno;
  int pipe[2];
  if (::pipe2(pipe, O_CLOEXEC) != 0) {
    const int error = errno;
    ::munmap(stacks, kStacksSize);
    return error;
  }
  // Descriptor 3 is the passed one's place in the program.
  if (prepared.Passed >= 0 && pipe[1] == kHostProcessDescriptor) {
    const int moved = ::fcntl(pipe[1], F_DUPFD_CLOEXEC, kHostProcessDescriptor + 1);
    const int error = errno;
    ::close(pipe[1]);
    pipe[1] = moved;
    if (moved < 0) {
      ::close(pipe[0]);
      ::munmap(stacks, kStacksSize);
      return error;
    }
  }
  TLaunch launch = prepared;
  launch.ErrorPipe = pipe[1];
  launch.ProgramStack = StackTop(stacks, 0);
  // No handler of the host may run in the helper before it has reset them.
  sigset_t all;
  sigset_t previous;
  ::sigfillset(&all);
  ::pthread_sigmask(SIG_SETMASK, &all, &previous);
  // Exit signal 0: neither the host's wait for any child nor its SIG_IGN for SIGCHLD
  // touches the helper. This thread goes on at once, beside the helper.
  int processFd = -1;
  const int helper = ::clone(RunHelper, StackTop(stacks, 1), CLONE_VM | CLONE_PIDFD, &launch, &processFd);
  const int cloneError = errno;
  ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  ::close(pipe[1]);
  if (helper < 0) {
    ::close(pipe[0]);
    ::munmap(stacks, kStacksSize);
    // EINVAL: a kernel before process descriptors (5.2); ENOSYS, EPERM: a system-call
    // filter.
    const bool refused = cloneError == EINVAL || cloneError == ENOSYS || cloneError == EPERM;
    return refused ? StartAsChild(prepared, started) : cloneError;
  }
  // Until the program's exec closes the pipe, the helper and the program read Launch.
  const int error = ReadLaunchError(pipe[0]);
  ::close(pipe[0]);
  started = {static_cast<pid_t>(helper), processFd, stacks};
  if (error != 0) {
    bool exited = false;
    ReapHelper(started, 0, exited);
  }
  return error;
}

#endif  // defined(__x86_64__)

// The pause between two polls of a plain child: 10 ms, less when a signal comes.
void SleepTenMilliseconds() {
  const timespec pause{0, kPollMilliseconds * 1'000'000};
  ::nanosleep(&pause, nullptr);
}

bool WaitForChild(pid_t process, const std::function<void()>& idle) {
  for (;;) {
    int status = 0;
    const pid_t done = ::waitpid(process, &status, WNOHANG);
    if (done == process) return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (done == 0) {
      idle();
      SleepTenMilliseconds();
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
                 const std::string& workingDirectory, const std::vector<std::string>& environment, int passed,
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
                       passed,
                       ::getpid(),
                       -1,
                       static_cast<unsigned>(std::min<rlim_t>(descriptors.rlim_cur, 1 << 20)),
                       nullptr};
#if defined(__x86_64__)
  return StartThroughHelper(launch, started);
#else
  return StartAsChild(launch, started);
#endif
}

bool WaitForExit(TStartedProgram& started, const std::function<void()>& idle) {
#if defined(__x86_64__)
  if (started.ProcessFd >= 0) {
    bool exited = false;
    while (!ReapHelper(started, WNOHANG, exited)) {
      idle();
      // Up to 10 ms, less once the helper has ended or a signal comes.
      pollfd helper = {started.ProcessFd, POLLIN, 0};
      ::poll(&helper, 1, kPollMilliseconds);
    }
    return exited;
  }
#endif
  return WaitForChild(started.Process, idle);
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

void WriteToStandardError(std::string_view text) {
  while (!text.empty()) {
    const ssize_t n = ::write(STDERR_FILENO, text.data(), text.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    text.remove_prefix(static_cast<size_t>(n));
  }
}

}  // namespace quill
