// A stand-in xdg-open for the help and About tests: a real program, first on PATH while
// the object lives, that notes the argument it was given and ends as the test chose
// (an exit code, or killed by a signal). With it the desktop's help viewer runs as it
// does for the user, down to the opener's exit status.

#ifndef QUILL_TESTS_FRAMEWORK_SUPPORT_STANDINOPENER_H_
#define QUILL_TESTS_FRAMEWORK_SUPPORT_STANDINOPENER_H_

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

#include "HelpViewer.h"

namespace quill {

class StandInOpener {
 public:
  StandInOpener() : savedPath_(qgetenv("PATH")) {
    QFile script(folder_.filePath(QStringLiteral("xdg-open")));
    if (script.open(QIODevice::WriteOnly)) {
      script.write(
          "#!/bin/sh\n"
          "here=$(dirname \"$0\")\n"
          "printf '%s\\n' \"$1\" >> \"$here/arguments\"\n"
          "end=$(cat \"$here/end\")\n"
          "[ \"$end\" = killed ] && kill -KILL $$\n"
          "exit \"$end\"\n");
      script.close();
      script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    EndWith("0");
    qputenv("PATH", QFile::encodeName(folder_.path()) + ':' + savedPath_);
  }
  ~StandInOpener() { qputenv("PATH", savedPath_); }
  StandInOpener(const StandInOpener&) = delete;
  StandInOpener& operator=(const StandInOpener&) = delete;

  // How the next openers end: an exit code in decimal, or "killed".
  void EndWith(const QByteArray& end) {
    QFile file(folder_.filePath(QStringLiteral("end")));
    if (file.open(QIODevice::WriteOnly)) file.write(end);
  }
  // The arguments the openers were given, in order.
  QStringList Arguments() const {
    QFile file(folder_.filePath(QStringLiteral("arguments")));
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
  }

 private:
  QTemporaryDir folder_;
  QByteArray savedPath_;
};

// Runs the event loop until every opener Viewer started has ended; the openers' ends
// are events, so this waits for nothing else.
inline void WaitForOpeners(const DesktopHelpViewer& viewer) {
  while (viewer.GetRunningCount() > 0) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

}  // namespace quill

#endif  // QUILL_TESTS_FRAMEWORK_SUPPORT_STANDINOPENER_H_
