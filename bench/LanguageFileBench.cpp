// Reading a language file: the largest file the loader accepts (16 MiB) in code page
// 1251, every line converted to UTF-8, and the same file as UTF-8 for comparison.

#include <benchmark/benchmark.h>

#include <string>

#include "ZelLanguageFile.h"

namespace {

// A [Strings] section of numbered lines up to the size limit; Cyrillic text in code
// page 1251 or in UTF-8.
std::string LargeLanguageFile(bool codePage) {
  const std::string text = codePage ? "\xCF\xF0\xE8\xE2\xE5\xF2, \xEC\xE8\xF0" : "Привет, мир";
  std::string file = "[Language]\nLangId=1049\nLanguage=Russian\n";
  if (codePage) file += "CodePage=1251\n";
  file += "[Strings]\n";
  const size_t limit = static_cast<size_t>(TZelLanguageFile::kMaxFileSize);
  for (int id = 1;; ++id) {
    std::string line = std::to_string(id) + "=" + text + "\n";
    if (file.size() + line.size() > limit) break;
    file += line;
  }
  return file;
}

void BM_LanguageFile(benchmark::State& state) {
  const std::string file = LargeLanguageFile(state.range(0) != 0);
  for (auto _ : state) {
    const TZelLanguageFile parsed(file);
    benchmark::DoNotOptimize(parsed.SectionLines("Strings").size());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * file.size()));
}
BENCHMARK(BM_LanguageFile)->ArgName("CodePage")->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
