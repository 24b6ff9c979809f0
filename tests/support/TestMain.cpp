// The entry point of every test binary: headless Qt, and a settings folder of its own
// for each test process, so no test reads or writes the user's settings.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  std::string config = (std::filesystem::temp_directory_path() / "quill-test-XXXXXX").string();
  if (mkdtemp(config.data()) == nullptr) return 2;
  setenv("XDG_CONFIG_HOME", config.c_str(), 1);

  testing::InitGoogleTest(&argc, argv);
  const int result = RUN_ALL_TESTS();
  std::filesystem::remove_all(config);
  return result;
}
