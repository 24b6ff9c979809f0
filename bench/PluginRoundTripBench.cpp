// The plug-in's own share of a filter run on a 6000 x 4000 RGB image: the host's pixels
// written into a new exchange file, read back into the host's output buffer and the file
// deleted (the main program in between left out); next to it a plain `cp` of a file of
// the same size into the same temporary folder, its copy deleted likewise, measured in
// the same run. Both are wall-clock times.

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
constexpr TPhotoshopDataInfo kHeader{kExchangeHeaderSize, kExchangeModeRGB, 0, 0, kWidth, kHeight, kWidth * 3, 3};
constexpr int64_t kFileSize = kExchangePixelOffset + int64_t{kWidth} * 3 * kHeight;

void Fail(const char* what) {
  std::fprintf(stderr, "%s failed\n", what);
  std::abort();
}

void ExchangeRoundTrip(benchmark::State& state) {
  std::vector<uint8_t> input(static_cast<size_t>(kWidth) * 3 * kHeight);
  for (size_t i = 0; i < input.size(); ++i) input[i] = static_cast<uint8_t>(i * 7 + 13);
  std::vector<uint8_t> output(input.size());
  for (auto _ : state) {
    std::string name;
    const int file = MakeTempFileName(GetTempDirectory(), "PSPF", name);
    if (file < 0 || !quill::WriteExchangeInput(file, kHeader, input.data()) || ::close(file) != 0) Fail("writing");
    if (quill::ReadExchangeOutput(name, kHeader, output.data()) != quill::TReadBack::Copied) Fail("reading back");
    ::unlink(name.c_str());
  }
  if (output != input) Fail("the round trip");
  state.SetBytesProcessed(state.iterations() * kFileSize);
}

void PlainCopy(benchmark::State& state) {
  const std::string folder = GetTempDirectory();
  std::string source;
  const int file = MakeTempFileName(folder, "cpsrc", source);
  const std::string target = source + ".copy";
  std::vector<char> bytes(static_cast<size_t>(kFileSize), 'x');
  if (file < 0 || ::write(file, bytes.data(), bytes.size()) != kFileSize || ::close(file) != 0) Fail("the source");
  for (auto _ : state) {
    char* arguments[] = {const_cast<char*>("cp"), source.data(), const_cast<char*>(target.c_str()), nullptr};
    pid_t process = 0;
    int status = 0;
    if (::posix_spawnp(&process, "cp", nullptr, nullptr, arguments, environ) != 0 ||
        ::waitpid(process, &status, 0) != process || status != 0) {
      Fail("cp");
    }
    ::unlink(target.c_str());
  }
  ::unlink(source.c_str());
  state.SetBytesProcessed(state.iterations() * kFileSize);
}

BENCHMARK(ExchangeRoundTrip)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(PlainCopy)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
