// The parts of the plug-in that its one export hides: where the installed setting is
// found, and the wait for the main program.

#include <fcntl.h>
#include <sched.h>
#include <sys/stat.h>
#include <unistd.h>

#include "ExternalPhotoshopFilter.h"
#include "PluginSystem.h"
#include "PluginTesting.h"

namespace {

namespace fs = std::filesystem;
using quill::test::WriteTextFile;

constexpr char kSetting[] = "Norvane/Pictoria/Quillmere.conf";

TEST(InstalledSettingTest, ConfigHomeComesFirstThenEachConfigFolder) {
  quill::test::TTestFolder folder;
  quill::test::TScopedEnvironment env;
  const fs::path home = folder.Path / "home";
  const fs::path first = folder.Path / "first";
  const fs::path second = folder.Path / "second";
  env.Set("XDG_CONFIG_HOME", home.string());
  env.Set("XDG_CONFIG_DIRS", first.string() + ":" + second.string());
  WriteTextFile(second / kSetting, "Path=/opt/second/Quillmere\n");
  EXPECT_EQ(ReadRegistryString("Path", "", kSetting), "/opt/second/Quillmere");
  WriteTextFile(first / kSetting, "# the system's\r\nOther=1\r\nPath=/opt/first/Quillmere\r\n");
  EXPECT_EQ(ReadRegistryString("Path", "", kSetting), "/opt/first/Quillmere");
  // The first file found is the one read, even without the value.
  WriteTextFile(home / kSetting, "Other=2\n");
  EXPECT_EQ(ReadRegistryString("Path", "none", kSetting), "none");
  WriteTextFile(home / kSetting, "Path=/home/user/Quillmere\nPath=/later\n");
  EXPECT_EQ(ReadRegistryString("Path", "", kSetting), "/home/user/Quillmere");
  // A value longer than 1023 bytes is not taken.
  WriteTextFile(home / kSetting, "Path=/" + std::string(1023, 'a') + "\n");
  EXPECT_EQ(ReadRegistryString("Path", "none", kSetting), "none");

  // Without XDG_CONFIG_HOME the user's folder is ~/.config.
  env.Set("XDG_CONFIG_HOME", {});
  env.Set("HOME", home.string());
  WriteTextFile(home / ".config" / kSetting, "Path=/from/dot/config\n");
  EXPECT_EQ(ReadRegistryString("Path", "", kSetting), "/from/dot/config");
}

// The wait polls: the program cannot end before the wait loop's idle step lets it go, so
// a wait that blocked until the program ended would never return.
TEST(WaitForProgramTest, IdleStepRunsWhileTheProgramRuns) {
  quill::test::TTestFolder folder;
  quill::test::TScopedEnvironment env;
  const fs::path tmp = folder.Path / "tmp";
  const fs::path fifo = folder.Path / "go";
  fs::create_directories(tmp);
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  env.Set("TMPDIR", tmp.string());
  env.Set("QUILL_STANDIN_FIFO", fifo.string());
  for (const char* name : {"QUILL_STANDIN_MODE", "QUILL_STANDIN_LOG", "QUILL_STANDIN_KEEP"}) env.Set(name, {});

  TExternalPhotoshopFilter filter(quill::test::kStandIn, "About", "");
  bool released = false;
  int idleSteps = 0;
  filter.WaitIdle = [&] {
    ++idleSteps;
    if (released) {
      sched_yield();
      return;
    }
    // Fails until the program has opened its end of the pipe.
    const int pipe = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (pipe < 0) return;
    released = ::write(pipe, "g", 1) == 1;
    ::close(pipe);
  };

  std::vector<uint8_t> input(4 * 3 * 2, 100);
  std::vector<uint8_t> output(input.size(), 0);
  FilterRecord record{};
  record.planes = 3;
  record.imageMode = quill::kImageModeRGB;
  record.filterRect = {0, 0, 2, 4};
  static FilterRecord* current = nullptr;
  static std::vector<uint8_t>* in = nullptr;
  static std::vector<uint8_t>* out = nullptr;
  current = &record;
  in = &input;
  out = &output;
  record.advanceState = [] {
    current->inData = current->inRect.bottom > 0 ? in->data() : nullptr;
    current->outData = current->outRect.bottom > 0 ? out->data() : nullptr;
    current->inRowBytes = current->outRowBytes = 12;
    return int16_t{0};
  };

  EXPECT_EQ(filter.Start(&record), quill::kResultDone);
  EXPECT_TRUE(released);
  EXPECT_GE(idleSteps, 1);
  EXPECT_EQ(output, std::vector<uint8_t>(input.size(), 155));
  EXPECT_TRUE(fs::is_empty(tmp));
}

}  // namespace
