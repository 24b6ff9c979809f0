// The help viewer: opens the program's help pages and the About box's web addresses
// with the desktop's default application for them (the browser for web pages and
// HTML files).
//
// Callers go through GetHelpViewer(), which is the desktop's viewer unless another
// one was installed with SetHelpViewer. Tests install a RecordingHelpViewer, which
// opens nothing and keeps the addresses it was asked to open, so that no test starts
// a browser; it can also play a desktop that opens nothing.
//
// The desktop's viewer starts xdg-open on the address and watches how it ends, without
// waiting for it: xdg-open that finds no browser or other handler exits with an error
// (3 when no program for the address is installed), and only then is the failure
// known. An opener that still runs DesktopHelpViewer::kPatience ms after its start
// counts as a success, whatever it ends with later: it is the browser at work (or
// xdg-open waiting for it), and the user has the page. Without xdg-open the viewer
// hands the address to Qt's desktop services, which try the known browsers.
//
// Open only reports a failure; telling the user is the caller's (quill::OpenHelpUrl in
// ZelHelp.h does both).
//
// Main thread only.

#ifndef QUILL_PLATFORM_HELPVIEWER_H_
#define QUILL_PLATFORM_HELPVIEWER_H_

#include <QUrl>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace quill {

class HelpViewer {
 public:
  virtual ~HelpViewer() = default;
  // Hands Url to the desktop. Failed runs once, on the main thread, when the desktop
  // cannot open it: at once when no program to open it could be started, or later from
  // the event loop when the opener fails. The page itself may still fail to load later,
  // which the opening application reports in its own way.
  virtual void Open(const QUrl& url, std::function<void()> failed) = 0;
};

// Records instead of opening; a failure is reported at once unless Opens (true unless
// a test clears it, to play a desktop without a program to open the address).
class RecordingHelpViewer : public HelpViewer {
 public:
  void Open(const QUrl& url, std::function<void()> failed) override {
    Opened.push_back(url);
    if (!Opens) failed();
  }

  std::vector<QUrl> Opened;
  bool Opens = true;
};

class DesktopHelpViewer : public HelpViewer {
 public:
  // Milliseconds of a monotonic clock.
  using Clock = std::function<int64_t()>;
  // How long an opener has to fail before it counts as a success, in ms.
  static constexpr int64_t kPatience = 5000;

  // Clock defaults to the system's steady clock.
  explicit DesktopHelpViewer(Clock clock = {});

  // Starts xdg-open (found on PATH) with the local path of a file address, else the
  // whole address; Failed runs when it cannot start, or when it exits with an error
  // or a signal before kPatience has passed. Without xdg-open, Qt's desktop services.
  void Open(const QUrl& url, std::function<void()> failed) override;

  // The openers started by this viewer that have not ended yet.
  int GetRunningCount() const { return *running_; }

 private:
  Clock clock_;
  // Shared with the watches, which may outlive the viewer.
  std::shared_ptr<int> running_ = std::make_shared<int>(0);
};

// The viewer in use: the one installed last, else the desktop's.
HelpViewer& GetHelpViewer();

// Makes Viewer the viewer in use (nullptr: the desktop's again) and returns the one
// that was installed before (nullptr for the desktop's). Viewer must outlive its use.
HelpViewer* SetHelpViewer(HelpViewer* viewer);

}  // namespace quill

#endif  // QUILL_PLATFORM_HELPVIEWER_H_
