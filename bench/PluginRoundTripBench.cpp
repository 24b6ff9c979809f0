// The plug-in's own share of a filter run on a 6000 x 4000 RGB image: the host's pixels
// written into a new exchange file, read back into the host's output buffer and the file
// deleted (the main program in between left out); next to it a plain `cp` of a file of
// the same size into the same temporary folder, its copy deleted likewise, measured in
// the same run. Both are wall-clock times of the steady state: each runs once untimed
// first, and the host's buffers live through the whole run as a host's image does (on a
// virtual machine that hands freed memory back to its host, the first transfer through
// newly allocated memory costs a fault per page, whatever program makes it). Then the
// start of a program and the wait for its end, through the plug-in's helper and
// through a plain posix_spawn, with the host's image (144 MB) in memory: neither may
// cost more for a larger host.

#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "ExchangeTransfer.h"
#include "PluginSystem.h"

extern char** environ;

namespace {

constexpr int32_t kWidth = 6000;
constexpr int32_t kHeight = 4000;
constexpr TPhotoshopDataInfo kHeader{quill::kExchangeHeaderSize, quill::kExchangeModeRGB, 0, 0, kWidth, kHeight, kWidth * 3, 3};
constexpr int64_t kFileSize = quill::kExchangePixelOffset + int64_t{kWidth} * 3 * kHeight;

void Fail(const char* what) {
  std::fprintf(stderr, "%s failed\n", what);
  std::abort();
}

// The host's input and output buffers.
struct THostBuffers {
  std::vector<uint8_t> Input = std::vector<uint8_t>(static_cast<size_t>(kWidth) * 3 * kHeight);
  std::vector<uint8_t> Output = std::vector<uint8_t>(Input.size());

  THostBuffers() {
    uint32_t noise = 12345;
    for (uint8_t& byte : Input) {
      noise = noise * 1664525u + 1013904223u;
      byte = static_cast<uint8_t>(noise >> 24);
    }
  }
};

THostBuffers& HostBuffers() {
  static THostBuffers* buffers = new THostBuffers;
  return *buffers;
}

void RoundTrip(THostBuffers& host) {
  std::string name;
  const int file = MakeTempFileName(GetTempDirectory(), "PSPF", name);
  if (file < 0 || !quill::WriteExchangeInput(file, kHeader, host.Input.data()) || ::close(file) != 0) {
    Fail("writing");
  }
  if (quill::ReadExchangeOutput(name, kHeader, host.Output.data()) != quill::TReadBack::Copied) Fail("reading back");
  ::unlink(name.c_str());
}

void ExchangeRoundTrip(benchmark::State& state) {
  THostBuffers& host = HostBuffers();
  RoundTrip(host);
  for (auto _ : state) RoundTrip(host);
  if (host.Output != host.Input) Fail("the round trip");
  state.SetBytesProcessed(state.iterations() * kFileSize);
}

void Copy(const std::string& source, const std::string& target) {
  char* arguments[] = {const_cast<char*>("cp"), const_cast<char*>(source.c_str()), const_cast<char*>(target.c_str()),
                       nullptr};
  pid_t process = 0;
  int status = 0;
  if (::posix_spawnp(&process, "cp", nullptr, nullptr, arguments, environ) != 0 ||
      ::waitpid(process, &status, 0) != process || status != 0) {
    Fail("cp");
  }
  ::unlink(target.c_str());
}

void PlainCopy(benchmark::State& state) {
  std::string source;
  const int file = MakeTempFileName(GetTempDirectory(), "cpsrc", source);
  const std::string target = source + ".copy";
  const std::vector<char> bytes(static_cast<size_t>(kFileSize), 'x');
  if (file < 0 || ::write(file, bytes.data(), bytes.size()) != kFileSize || ::close(file) != 0) Fail("the source");
  Copy(source, target);
  for (auto _ : state) Copy(source, target);
  ::unlink(source.c_str());
  state.SetBytesProcessed(state.iterations() * kFileSize);
}

// Starting a program and waiting for its end as the plug-in does, while the host holds
// its image: the helper shares the host's memory, as posix_spawn's child does.
void StartAndWait(benchmark::State& state) {
  HostBuffers();
  const std::vector<std::string> environment = quill::CurrentEnvironment();
  for (auto _ : state) {
    quill::TStartedProgram program;
    if (quill::StartProgram("/bin/true", "", "", environment, -1, program) != 0 ||
        !quill::WaitForExit(program, [] {})) {
      Fail("the start");
    }
  }
}

// The same with posix_spawn and waitpid, the start without a helper.
void SpawnAndWait(benchmark::State& state) {
  HostBuffers();
  char* arguments[] = {const_cast<char*>("/bin/true"), nullptr};
  for (auto _ : state) {
    pid_t process = 0;
    int status = 0;
    if (::posix_spawn(&process, "/bin/true", nullptr, nullptr, arguments, environ) != 0 ||
        ::waitpid(process, &status, 0) != process || status != 0) {
      Fail("posix_spawn");
    }
  }
}

BENCHMARK(ExchangeRoundTrip)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(PlainCopy)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(StartAndWait)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(SpawnAndWait)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
