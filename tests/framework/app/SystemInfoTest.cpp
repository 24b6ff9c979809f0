#include <gtest/gtest.h>

#include <sys/utsname.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "ZelSystemInfoModule.h"

namespace {

TEST(SystemInfoTest, TakesTheVersionNumbersFromTheKernelRelease) {
  struct Case {
    const char* release;
    uint32_t major, minor, build;
  };
  for (const Case& c :
       {Case{"6.1.0-18-amd64", 6, 1, 0}, Case{"5.15.153.1-wsl", 5, 15, 153}, Case{"7", 7, 0, 0},
        Case{"rolling", 0, 0, 0}, Case{"99999999999.2.3", 0xFFFFFFFF, 2, 3}}) {
    const quill::TZelOSVersionInfo info = TZelSystemInfoModule::MakeVersionInfo(c.release, "Linux");
    EXPECT_EQ(info.MajorVersion, c.major) << c.release;
    EXPECT_EQ(info.MinorVersion, c.minor) << c.release;
    EXPECT_EQ(info.BuildNumber, c.build) << c.release;
    EXPECT_EQ(info.OSVersionInfoSize, 148u);
    EXPECT_STREQ(info.CSDVersion, "Linux");
  }
}

TEST(SystemInfoTest, CutsALongSystemNameBetweenCharacters) {
  // 126 letters, then a character of two bytes that would end on byte 127, the place
  // of the closing 0.
  const QString name = QString(126, QLatin1Char('a')) + QStringLiteral("ü and more");
  const quill::TZelOSVersionInfo info = TZelSystemInfoModule::MakeVersionInfo("6.1", name);
  EXPECT_EQ(std::string(info.CSDVersion), std::string(126, 'a'));

  const QString fits = QString(125, QLatin1Char('a')) + QStringLiteral("ü");
  EXPECT_EQ(QString::fromUtf8(TZelSystemInfoModule::MakeVersionInfo("6.1", fits).CSDVersion), fits);
}

// The numbers are the running kernel's, as uname(2) tells them, not the distribution's.
TEST(SystemInfoTest, RecordsTheRunningKernelWhenItInitialises) {
  TZelSystemInfoModule module(nullptr);
  module.Initialize();
  const quill::TZelOSVersionInfo& info = module.GetVersionInfo();
  utsname system{};
  ASSERT_EQ(uname(&system), 0);
  unsigned major = 0, minor = 0, build = 0;
  ASSERT_GE(std::sscanf(system.release, "%u.%u.%u", &major, &minor, &build), 2) << system.release;
  EXPECT_EQ(info.MajorVersion, major);
  EXPECT_EQ(info.MinorVersion, minor);
  EXPECT_EQ(info.BuildNumber, build);
  EXPECT_EQ(info.PlatformId, quill::kPlatformLinux);
  EXPECT_NE(info.CSDVersion[0], '\0');
}

}  // namespace
