// The host of a plug-in run as the program sees it: the process descriptor the
// environment names, whether that process has ended, and the files of a run whose host
// is gone.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "HostProcess.h"
#include "PluginHost.h"
#include "ProcessTesting.h"

namespace {

namespace fs = std::filesystem;
using quill::TPluginHost;

// The host taken from the environment variable set to Text.
TPluginHost HostNamed(const std::string& text) {
  ::setenv(quill::kHostProcessVariable, text.c_str(), 1);
  return TPluginHost::FromEnvironment();
}

bool CloseOnExec(int descriptor) { return (::fcntl(descriptor, F_GETFD) & FD_CLOEXEC) != 0; }

TEST(PluginHostTest, TheEnvironmentNamesTheHostsProcessDescriptor) {
  // Its own process stands for a host that runs.
  const int running = quill::OpenProcessDescriptor(::getpid());
  ASSERT_GE(running, 0);
  ::fcntl(running, F_SETFD, 0);  // as the program receives it
  TPluginHost host = HostNamed(std::to_string(running));
  EXPECT_TRUE(host.Watched());
  EXPECT_FALSE(host.Ended());
  EXPECT_TRUE(CloseOnExec(running)) << "the program's own children would inherit the host";
  EXPECT_EQ(std::getenv(quill::kHostProcessVariable), nullptr);

  const int ended = quill::test::EndedProcessDescriptor();
  ASSERT_GE(ended, 0);
  host = HostNamed(std::to_string(ended));
  EXPECT_TRUE(host.Watched());
  EXPECT_TRUE(host.Ended());
  EXPECT_EQ(::fcntl(running, F_GETFD), -1) << "the host before was not closed";
}

// A program started otherwise, or a variable that names anything but an open process
// descriptor, watches nothing, so nothing counts as the host's end; a descriptor that
// is no process descriptor is not the program's to close.
TEST(PluginHostTest, AnythingButAProcessDescriptorIsNoHost) {
  ::unsetenv(quill::kHostProcessVariable);
  EXPECT_FALSE(TPluginHost::FromEnvironment().Watched());

  int pipe[2];
  ASSERT_EQ(::pipe(pipe), 0);
  const int folder = ::open("/proc/self", O_RDONLY | O_DIRECTORY);  // a process, but no descriptor of one
  ASSERT_GE(folder, 0);
  for (const std::string& text : {std::string(), std::string("x"), std::string("-1"), std::string("+3"),
                                  std::to_string(pipe[0]) + " ", std::string("99999999999999999999"),
                                  std::to_string(pipe[0]), std::to_string(folder), std::string("1000000")}) {
    SCOPED_TRACE(text);
    const TPluginHost host = HostNamed(text);
    EXPECT_FALSE(host.Watched());
    EXPECT_FALSE(host.Ended());
    EXPECT_EQ(std::getenv(quill::kHostProcessVariable), nullptr);
  }
  EXPECT_FALSE(CloseOnExec(pipe[0]));
  EXPECT_EQ(::write(pipe[1], "x", 1), 1) << "the pipe was closed";
  ::close(pipe[0]);
  ::close(pipe[1]);
  ::close(folder);
}

class PluginRunFilesTest : public testing::Test {
 protected:
  void SetUp() override {
    temporary_ = fs::temp_directory_path() / ("quill-run-files-" + std::to_string(::getpid()));
    fs::create_directories(temporary_);
    std::ofstream(Exchange()) << "PSPF";
  }
  void TearDown() override { fs::remove_all(temporary_); }

  fs::path Exchange() const { return temporary_ / "PSPa1b2c3.tmp"; }

  // A folder Name in Parent with one file in it, as a runtime folder in use holds.
  fs::path MakeFolder(const fs::path& parent, const std::string& name) const {
    const fs::path folder = parent / name;
    fs::create_directories(folder);
    std::ofstream(folder / "socket") << "socket";
    return folder;
  }

  fs::path temporary_;
};

TEST_F(PluginRunFilesTest, TheExchangeFileAndTheRunsRuntimeFolderGo) {
  const fs::path runtime = MakeFolder(temporary_, "PSPd4e5f6");
  quill::RemovePluginRunFiles(Exchange(), runtime);
  EXPECT_FALSE(fs::exists(Exchange()));
  EXPECT_FALSE(fs::exists(runtime));
}

// A runtime folder the plug-in did not make for the run is the session's.
TEST_F(PluginRunFilesTest, AnyOtherRuntimeFolderStays) {
  const fs::path elsewhere = MakeFolder(temporary_ / "session", "PSPd4e5f6");
  const fs::path otherName = MakeFolder(temporary_, "runtime-1000");
  const fs::path target = MakeFolder(temporary_ / "target", "kept");
  const fs::path link = temporary_ / "PSPlink00";
  fs::create_directory_symlink(target, link);
  for (const fs::path& runtime : {elsewhere, otherName, link, fs::path()}) {
    SCOPED_TRACE(runtime.string());
    std::ofstream(Exchange()) << "PSPF";
    quill::RemovePluginRunFiles(Exchange(), runtime);
    EXPECT_FALSE(fs::exists(Exchange()));
  }
  EXPECT_TRUE(fs::exists(elsewhere / "socket"));
  EXPECT_TRUE(fs::exists(otherName / "socket"));
  EXPECT_TRUE(fs::exists(target / "socket"));
  EXPECT_TRUE(fs::is_symlink(link));
}

}  // namespace
