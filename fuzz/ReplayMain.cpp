// The replay driver: runs a fuzz target's entry function over stored inputs, so CTest
// replays them in every build and a crash file can be reproduced alone. Arguments are
// files, each one input, or folders, every regular file in them one input; a missing
// path holds no inputs (CTest names every target's regressions folder, which most
// targets do not have) and is reported on stderr. The inputs run in name order, after
// an empty input; each input's name is printed before it runs, so a failure names its
// input.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

// Under AddressSanitizer, an allocation above 1 GiB ends the run as an error: no stored
// input is large enough to need one, so it was sized from a number the input states.
// (The fuzzers get the same limit from run.sh's -malloc_limit_mb.)
extern "C" const char* __asan_default_options() { return "max_allocation_size_mb=1024"; }

int main(int argc, char** argv) {
  std::vector<std::filesystem::path> inputs;
  for (int i = 1; i < argc; ++i) {
    const std::filesystem::path path = argv[i];
    std::error_code error;
    if (std::filesystem::is_regular_file(path, error)) {
      inputs.push_back(path);
    } else if (std::filesystem::is_directory(path, error)) {
      for (const auto& entry : std::filesystem::directory_iterator(path, error)) {
        if (entry.is_regular_file()) inputs.push_back(entry.path());
      }
    } else {
      std::fprintf(stderr, "no inputs in %s: no such file or folder\n", path.c_str());
    }
  }
  std::sort(inputs.begin(), inputs.end());

  LLVMFuzzerTestOneInput(nullptr, 0);
  for (const std::filesystem::path& input : inputs) {
    std::printf("%s\n", input.c_str());
    std::fflush(stdout);
    std::ifstream file(input, std::ios::binary);
    if (!file) {
      std::fprintf(stderr, "cannot read %s\n", input.c_str());
      return 1;
    }
    const std::vector<uint8_t> data((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    LLVMFuzzerTestOneInput(data.data(), data.size());
  }
  std::printf("replayed %zu inputs\n", inputs.size() + 1);
  return 0;
}
