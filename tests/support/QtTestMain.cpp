// The entry point of every test binary that needs Qt widgets: what TestMain.cpp does
// (headless Qt, a settings folder of its own for each test process), then one
// QApplication for the whole run.

#include <gtest/gtest.h>

#include <QApplication>

#include <cstdlib>
#include <filesystem>
#include <string>

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  std::string config = (std::filesystem::temp_directory_path() / "quill-test-XXXXXX").string();
  if (mkdtemp(config.data()) == nullptr) return 2;
  setenv("XDG_CONFIG_HOME", config.c_str(), 1);

  testing::InitGoogleTest(&argc, argv);
  int result;
  {
    QApplication application(argc, argv);
    result = RUN_ALL_TESTS();
  }
  std::filesystem::remove_all(config);
  return result;
}
