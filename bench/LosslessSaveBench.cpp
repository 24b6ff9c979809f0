// The lossless JPEG save as the user meets it: each save in a fresh process (the
// program's own load and save through quill-lossless-save-probe, so nothing is warm),
// after a small edit and after a quarter turn, beside jpegtran doing the same to the
// same 6000 x 4000 file as a whole program, in the same run (with
// --benchmark_repetitions=5 --benchmark_enable_random_interleaving=true the cases take
// turns, so a busy machine weighs on them alike). The save's
// own time is what the probe reports (Save As's Enter to the file in place); jpegtran's
// is its whole run. The goals: at most 1.25 times `jpegtran -copy all` after an edit,
// 1.1 times `jpegtran -rotate 90 -copy all` after a turn. The warm and cold in-process
// cases are in CodecBench.cpp.

#include <benchmark/benchmark.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "BenchPhotos.h"
#include "ImageCodecs.h"

namespace {

std::filesystem::path Folder() { return std::filesystem::temp_directory_path() / "quill-lossless-bench"; }

// The photo with a sensor's grain at quality 92, written once.
const std::filesystem::path& Photo() {
  static const std::filesystem::path file = [] {
    std::filesystem::create_directories(Folder());
    const std::filesystem::path name = Folder() / "photo.jpg";
    if (!quill::SaveImageFile(name, quillbench::GrainyLargePhoto().GetPixels(), "image/jpeg", 92, {})) std::abort();
    return name;
  }();
  return file;
}

// Runs Command through the shell; its standard output.
std::string Run(const std::string& command) {
  std::string output;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return output;
  char buffer[256];
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) output += buffer;
  if (::pclose(pipe) != 0) output.clear();
  return output;
}

void BM_FreshProcessLosslessSave(benchmark::State& state, const char* change) {
  const std::string command = std::string(QUILL_LOSSLESS_SAVE_PROBE) + " '" + Photo().string() + "' '" +
                              (Folder() / "saved.jpg").string() + "' " + change + " 2>/dev/null";
  for (auto _ : state) {
    const std::string reply = Run(command);
    if (reply.empty()) {
      state.SkipWithError("the probe failed");
      return;
    }
    state.SetIterationTime(std::stod(reply) / 1000.0);
  }
}
BENCHMARK_CAPTURE(BM_FreshProcessLosslessSave, edit, "edit")->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(7);
BENCHMARK_CAPTURE(BM_FreshProcessLosslessSave, turn, "turn")->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(7);

void BM_FreshProcessJpegtran(benchmark::State& state, const char* options) {
  const std::string command = std::string("jpegtran ") + options + " -copy all -outfile '" +
                              (Folder() / "jpegtran.jpg").string() + "' '" + Photo().string() + "'";
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    if (std::system(command.c_str()) != 0) {
      state.SkipWithError("jpegtran did not run");
      return;
    }
    state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
}
BENCHMARK_CAPTURE(BM_FreshProcessJpegtran, copy, "")->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(7);
BENCHMARK_CAPTURE(BM_FreshProcessJpegtran, rotate90, "-rotate 90")
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(7);

}  // namespace

BENCHMARK_MAIN();
