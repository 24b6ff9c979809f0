// The help viewer: opens the program's help pages and the About box's web addresses
// with the desktop's default application for them (the browser for web pages and
// HTML files).
//
// Callers go through GetHelpViewer(), which is the desktop's viewer unless another
// one was installed with SetHelpViewer. Tests install a RecordingHelpViewer, which
// opens nothing and keeps the addresses it was asked to open, so that no test starts
// a browser; it can also play a desktop that opens nothing.
//
// Open only reports a failure; telling the user is the caller's (quill::OpenHelpUrl in
// ZelHelp.h does both).
//
// Main thread only.

#ifndef QUILL_PLATFORM_HELPVIEWER_H_
#define QUILL_PLATFORM_HELPVIEWER_H_

#include <QUrl>

#include <vector>

namespace quill {

class HelpViewer {
 public:
  virtual ~HelpViewer() = default;
  // Hands Url to the desktop. False when the desktop could not open it: no program to
  // open it was found (no xdg-open and no known browser), or none could be started.
  // The page itself may still fail to load later, which the opening application
  // reports in its own way.
  virtual bool Open(const QUrl& url) = 0;
};

// Records instead of opening; Open answers Opens (true unless a test clears it, to
// play a desktop without a program to open the address).
class RecordingHelpViewer : public HelpViewer {
 public:
  bool Open(const QUrl& url) override {
    Opened.push_back(url);
    return Opens;
  }

  std::vector<QUrl> Opened;
  bool Opens = true;
};

// The viewer in use: the one installed last, else the desktop's.
HelpViewer& GetHelpViewer();

// Makes Viewer the viewer in use (nullptr: the desktop's again) and returns the one
// that was installed before (nullptr for the desktop's). Viewer must outlive its use.
HelpViewer* SetHelpViewer(HelpViewer* viewer);

}  // namespace quill

#endif  // QUILL_PLATFORM_HELPVIEWER_H_
