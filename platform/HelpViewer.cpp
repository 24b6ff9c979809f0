#include "HelpViewer.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QProcess>
#include <QStandardPaths>

#include <chrono>
#include <utility>

namespace quill {

namespace {

int64_t SteadyMilliseconds() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

HelpViewer* installed = nullptr;

}  // namespace

DesktopHelpViewer::DesktopHelpViewer(Clock clock)
    : clock_(clock ? std::move(clock) : Clock(SteadyMilliseconds)) {}

void DesktopHelpViewer::Open(const QUrl& url, std::function<void()> failed) {
  const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
  if (opener.isEmpty()) {
    if (!QDesktopServices::openUrl(url)) failed();
    return;
  }
  // The process belongs to the application object, so that it outlives a short-lived
  // caller and goes with the application; it deletes itself when the opener ends.
  auto* process = new QProcess(QCoreApplication::instance());
  process->setProcessChannelMode(QProcess::ForwardedChannels);
  process->setStandardInputFile(QProcess::nullDevice());
  const int64_t started = clock_();
  ++*running_;
  const auto end = [process, running = running_, failed, clock = clock_, started](bool error) {
    --*running;
    process->deleteLater();
    if (error && clock() - started < kPatience) failed();
  };
  QObject::connect(process, &QProcess::finished, process, [end](int code, QProcess::ExitStatus status) {
    end(status != QProcess::NormalExit || code != 0);
  });
  // Started or not, the opener gives a finished signal, except when it cannot start.
  QObject::connect(process, &QProcess::errorOccurred, process, [end](QProcess::ProcessError error) {
    if (error == QProcess::FailedToStart) end(true);
  });
  process->start(opener, {url.isLocalFile() ? url.toLocalFile() : url.toString(QUrl::FullyEncoded)});
}

HelpViewer& GetHelpViewer() {
  static DesktopHelpViewer desktop;
  return installed != nullptr ? *installed : desktop;
}

HelpViewer* SetHelpViewer(HelpViewer* viewer) {
  HelpViewer* previous = installed;
  installed = viewer;
  return previous;
}

}  // namespace quill
