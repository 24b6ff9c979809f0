// What the plug-in tests share: a folder of their own per test, environment variables
// set for one test only, and the stand-in program's path.

#ifndef QUILL_TESTS_PLUGIN_PLUGINTESTING_H_
#define QUILL_TESTS_PLUGIN_PLUGINTESTING_H_

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
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

}  // namespace quill::test

#endif  // QUILL_TESTS_PLUGIN_PLUGINTESTING_H_
