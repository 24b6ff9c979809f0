// What the plug-in tests share: a folder of their own per test, environment variables
// set for one test only, the stand-in program's path and log, a watchdog for tests
// whose program waits to be let go, and a system-call filter that refuses the helper
// process the plug-in starts its program through.

#ifndef QUILL_TESTS_PLUGIN_PLUGINTESTING_H_
#define QUILL_TESTS_PLUGIN_PLUGINTESTING_H_

#include <gtest/gtest.h>
#include <linux/filter.h>
#include <fcntl.h>
#include <linux/seccomp.h>
#include <pthread.h>
#include <sched.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace quill::test {

inline const std::string kStandIn = QUILL_STANDIN;

// An empty folder named after the running test, removed by the destructor.
class TTestFolder {
 public:
  TTestFolder() {
    const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "-" + info->name();
    for (char& c : name) {
      if (c == '/') c = '-';
    }
    Path = std::filesystem::temp_directory_path() / ("quill-plugin-" + std::to_string(::getpid()) + "-" + name);
    std::filesystem::remove_all(Path);
    std::filesystem::create_directories(Path);
  }
  ~TTestFolder() { std::filesystem::remove_all(Path); }

  std::filesystem::path Path;
};

// Sets environment variables and puts back what they held when it is destroyed.
class TScopedEnvironment {
 public:
  ~TScopedEnvironment() {
    for (auto it = FSaved.rbegin(); it != FSaved.rend(); ++it) {
      if (it->second) {
        ::setenv(it->first.c_str(), it->second->c_str(), 1);
      } else {
        ::unsetenv(it->first.c_str());
      }
    }
  }

  // Value none unsets Name.
  void Set(const std::string& name, const std::optional<std::string>& value) {
    const char* old = std::getenv(name.c_str());
    FSaved.emplace_back(name, old != nullptr ? std::optional<std::string>(old) : std::nullopt);
    if (value) {
      ::setenv(name.c_str(), value->c_str(), 1);
    } else {
      ::unsetenv(name.c_str());
    }
  }

 private:
  std::vector<std::pair<std::string, std::optional<std::string>>> FSaved;
};

// Writes Text into the file Path, making its folders.
inline void WriteTextFile(const std::filesystem::path& path, const std::string& text) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

inline std::string ReadTextFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// The "name=value" lines of the stand-in program's log (QUILL_STANDIN_LOG); none when
// the program wrote none.
inline std::map<std::string, std::string> ReadProgramLog(const std::filesystem::path& path) {
  std::map<std::string, std::string> values;
  std::istringstream lines(ReadTextFile(path));
  for (std::string line; std::getline(lines, line);) {
    const size_t equals = line.find('=');
    values[line.substr(0, equals)] = line.substr(equals + 1);
  }
  return values;
}

// Lets a program that waits for a byte through the named pipe Fifo go on once Limit has
// passed, unless the watchdog is destroyed first: a test whose own release never comes
// then fails instead of hanging. Opened for reading and writing, the pipe also lets a
// writer that waits for the program's end of it go on. Its thread takes no signal.
class TWatchdog {
 public:
  TWatchdog(const std::filesystem::path& fifo, std::chrono::seconds limit) {
    sigset_t all;
    sigset_t previous;
    ::sigfillset(&all);
    ::pthread_sigmask(SIG_SETMASK, &all, &previous);
    FThread = std::thread([this, fifo, limit] {
      std::unique_lock<std::mutex> lock(FMutex);
      if (FDismissed.wait_for(lock, limit, [this] { return FDone; })) return;
      FPipe = ::open(fifo.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
      FFired = FPipe >= 0 && ::write(FPipe, "g", 1) == 1;
    });
    ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  }
  ~TWatchdog() {
    {
      std::lock_guard<std::mutex> lock(FMutex);
      FDone = true;
    }
    FDismissed.notify_one();
    FThread.join();
    if (FPipe >= 0) ::close(FPipe);
  }

  bool Fired() {
    std::lock_guard<std::mutex> lock(FMutex);
    return FFired;
  }

 private:
  std::mutex FMutex;
  std::condition_variable FDismissed;
  bool FDone = false;
  bool FFired = false;
  int FPipe = -1;
  std::thread FThread;
};

// Makes this process's kernel refuse the plug-in's helper: a clone that asks for a
// process descriptor (CLONE_PIDFD) fails with Error, as on a kernel before 5.2 (EINVAL)
// or under a container's system-call filter (ENOSYS, EPERM); clone3 fails with ENOSYS,
// as on a kernel without it. The C library's posix_spawn, a clone without a process
// descriptor, still works. False when the filter cannot be installed.
inline bool RefuseTheHelper(int error) {
  constexpr uint32_t kFlagsLow = offsetof(seccomp_data, args[0]);  // little-endian
  sock_filter rules[] = {
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_clone3, 0, 1),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | ENOSYS),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_clone, 0, 3),
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, kFlagsLow),
      BPF_JUMP(BPF_JMP | BPF_JSET | BPF_K, CLONE_PIDFD, 0, 1),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | static_cast<uint32_t>(error)),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
  };
  sock_fprog program = {static_cast<unsigned short>(std::size(rules)), rules};
  return ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 && ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) == 0;
}

}  // namespace quill::test

#endif  // QUILL_TESTS_PLUGIN_PLUGINTESTING_H_
