// Start-up of the program: from starting the process to the first painted frame of
// the sample photo's view, on Qt's offscreen platform. The process is the program's own
// main with a probe that reports that frame (StartupProbe.cpp); each run is a first
// start (a fresh, empty settings folder). Wall-clock time, one process per iteration.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

extern char** environ;

namespace {

void Fail(const char* what) {
  std::fprintf(stderr, "%s failed\n", what);
  std::abort();
}

// Starts the probe on Photo with Environment and returns the seconds until it reports
// its first painted frame; waits for it to end.
double StartToFirstFrame(const std::string& photo, std::vector<std::string> environment) {
  int output[2];
  if (::pipe(output) != 0) Fail("pipe");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, output[0]);
  // Qt's notes about the offscreen platform are of no interest here.
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  std::string program = QUILL_STARTUP_PROBE;
  char* arguments[] = {program.data(), const_cast<char*>(photo.c_str()), nullptr};
  std::vector<char*> variables;
  for (std::string& variable : environment) variables.push_back(variable.data());
  variables.push_back(nullptr);

  const auto start = std::chrono::steady_clock::now();
  pid_t process = 0;
  if (::posix_spawn(&process, program.c_str(), &actions, nullptr, arguments, variables.data()) != 0) {
    Fail("posix_spawn");
  }
  ::close(output[1]);
  char reply[16] = {};
  const ssize_t got = ::read(output[0], reply, sizeof reply - 1);
  const auto painted = std::chrono::steady_clock::now();
  ::close(output[0]);
  posix_spawn_file_actions_destroy(&actions);
  int status = 0;
  ::waitpid(process, &status, 0);
  if (got <= 0 || std::string(reply) != "painted\n" || !WIFEXITED(status) ||
      WEXITSTATUS(status) != 0) {
    Fail("the program's start");
  }
  return std::chrono::duration<double>(painted - start).count();
}

void BM_StartToFirstPaintedFrame(benchmark::State& state) {
  const std::filesystem::path config =
      std::filesystem::temp_directory_path() / ("quill-startup-" + std::to_string(::getpid()));
  std::vector<std::string> environment = {"QT_QPA_PLATFORM=offscreen",
                                          "XDG_CONFIG_HOME=" + config.string()};
  for (char** variable = environ; *variable != nullptr; ++variable) {
    const std::string text = *variable;
    if (text.rfind("QT_QPA_PLATFORM=", 0) != 0 && text.rfind("XDG_CONFIG_HOME=", 0) != 0) {
      environment.push_back(text);
    }
  }
  const std::string photo = std::string(QUILL_IMAGES_DIR) + "/astronaut-wire.png";
  for (auto _ : state) {
    std::filesystem::remove_all(config);
    state.SetIterationTime(StartToFirstFrame(photo, environment));
  }
  std::filesystem::remove_all(config);
}
BENCHMARK(BM_StartToFirstPaintedFrame)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace

BENCHMARK_MAIN();
