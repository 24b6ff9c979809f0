// The parts of the plug-in that its one export hides: where the installed setting is
// found, and the start of and the wait for the main program.

#include <fcntl.h>
#include <linux/kcmp.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <functional>

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

// A filter run whose program, the stand-in, writes its log and then waits for one byte
// through a named pipe before it inverts the image.
class WaitForProgramTest : public testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(Tmp());
    ASSERT_EQ(::mkfifo(Fifo().c_str(), 0600), 0);
    env_.Set("TMPDIR", Tmp().string());
    env_.Set("QUILL_STANDIN_FIFO", Fifo().string());
    env_.Set("QUILL_STANDIN_LOG", (folder_.Path / "standin.log").string());
    for (const char* name : {"QUILL_STANDIN_MODE", "QUILL_STANDIN_KEEP", "QUILL_STANDIN_RUNTIME_FILE"}) {
      env_.Set(name, {});
    }
  }

  fs::path Tmp() const { return folder_.Path / "tmp"; }
  fs::path Fifo() const { return folder_.Path / "go"; }

  // The program's parent, from its log; -1 before the program has written it.
  pid_t ProgramParent() const {
    const auto log = quill::test::ReadProgramLog(folder_.Path / "standin.log");
    const auto parent = log.find("ppid");
    return parent != log.end() ? static_cast<pid_t>(std::stol(parent->second)) : -1;
  }

  // Runs Filter's Start on a 4 x 2 image; true when the host received the program's
  // edit and the temporary folder was left empty.
  bool RunFilter(TExternalPhotoshopFilter& filter) {
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
    return filter.Start(&record) == quill::kResultDone && output == std::vector<uint8_t>(input.size(), 155) &&
           fs::is_empty(Tmp());
  }

  quill::test::TTestFolder folder_;
  quill::test::TScopedEnvironment env_;

  // An idle step that lets the program go as soon as it waits at its end of the pipe,
  // having run Before first; it counts its runs in IdleSteps.
  std::function<void()> ReleasingIdle(const std::function<void()>& before) {
    return [this, before] {
      ++idleSteps_;
      if (released_) return;
      // Fails until the program has opened its end of the pipe, its log written.
      const int pipe = ::open(Fifo().c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
      if (pipe < 0) return;
      before();
      released_ = ::write(pipe, "g", 1) == 1;
      ::close(pipe);
    };
  }

  bool released_ = false;
  int idleSteps_ = 0;
};

// The program runs under a helper that shares the host's memory, so nothing of the
// host is copied for it, however large the host. The start returns once the program
// runs, and the wait polls it, running the idle step meanwhile: here the idle step lets
// the program go, so a wait that held the plug-in's thread until the program ended
// would never return (the watchdog would end it).
TEST_F(WaitForProgramTest, TheHelperSharesTheHostsMemoryAndTheIdleStepRunsWhileTheProgramRuns) {
  TExternalPhotoshopFilter filter(quill::test::kStandIn, "About", "");
  pid_t helper = -1;
  long sharesMemory = -1;
  filter.WaitIdle = ReleasingIdle([&] {
    helper = ProgramParent();
    if (helper > 0) sharesMemory = ::syscall(SYS_kcmp, ::getpid(), helper, KCMP_VM, 0, 0);
  });
  bool watchdogFired = false;
  {
    quill::test::TWatchdog watchdog(Fifo(), std::chrono::seconds(30));
    EXPECT_TRUE(RunFilter(filter));
    watchdogFired = watchdog.Fired();
  }
  EXPECT_FALSE(watchdogFired);
  EXPECT_TRUE(released_);
  EXPECT_NE(helper, ::getpid());
  EXPECT_EQ(sharesMemory, 0) << "the helper has a memory of its own";
}

using WaitForProgramDeathTest = WaitForProgramTest;

// Where the kernel refuses the helper, the program is the host's own child, and the
// wait polls it as it polls the helper. Run in a child process of the test, which the
// filter stays confined to.
TEST_F(WaitForProgramDeathTest, WithoutTheHelperTheIdleStepRunsWhileTheProgramRuns) {
  TExternalPhotoshopFilter filter(quill::test::kStandIn, "About", "");
  filter.WaitIdle = ReleasingIdle([] {});
  const auto run = [&] {
    if (!quill::test::RefuseTheHelper(ENOSYS)) return 2;
    if (!RunFilter(filter)) return 3;
    if (ProgramParent() != ::getpid()) return 4;
    return released_ && idleSteps_ >= 1 ? 0 : 5;
  };
  EXPECT_EXIT(std::_Exit(run()), testing::ExitedWithCode(0), "");
}

}  // namespace
