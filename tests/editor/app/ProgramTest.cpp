// The program without a display to open its window on: one line on standard error and
// its own exit code, not Qt's abort, so that a script can tell and fall back.

#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>

#include "Program.h"

namespace {

// Runs the program with Changes applied to the environment (an empty value removes
// the variable) and gives its standard error; Status receives how it ended.
QString RunWithout(const std::vector<std::pair<QString, QString>>& changes, QProcess::ExitStatus& status, int& code) {
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
  for (const auto& [name, value] : changes) {
    if (value.isEmpty()) {
      environment.remove(name);
    } else {
      environment.insert(name, value);
    }
  }
  QProcess program;
  program.setProcessEnvironment(environment);
  program.start(QStringLiteral(QUILL_PROGRAM), {QStringLiteral(QUILL_IMAGES_DIR "/astronaut.png")});
  EXPECT_TRUE(program.waitForFinished(-1));
  status = program.exitStatus();
  code = program.exitCode();
  return QString::fromLocal8Bit(program.readAllStandardError());
}

TEST(ProgramWithoutDisplay, SaysSoInOneLineAndEndsWithItsOwnCode) {
  struct TCase {
    std::vector<std::pair<QString, QString>> Changes;
    QString Message;
  };
  const std::vector<TCase> cases = {
      {{{"DISPLAY", ":64999"}, {"WAYLAND_DISPLAY", ""}},
       "Quillmere: cannot open a window: no display server answers at DISPLAY=:64999.\n"},
      {{{"DISPLAY", ""}, {"WAYLAND_DISPLAY", ""}},
       "Quillmere: cannot open a window: neither DISPLAY nor WAYLAND_DISPLAY is set.\n"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Message.toStdString());
    QProcess::ExitStatus status = QProcess::CrashExit;
    int code = 0;
    EXPECT_EQ(RunWithout(c.Changes, status, code).toStdString(), c.Message.toStdString());
    EXPECT_EQ(status, QProcess::NormalExit);
    EXPECT_EQ(code, quill::kNoDisplayExitCode);
  }
}

}  // namespace
