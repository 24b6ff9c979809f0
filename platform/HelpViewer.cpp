#include "HelpViewer.h"

#include <QDesktopServices>

namespace quill {

namespace {

class DesktopHelpViewer : public HelpViewer {
 public:
  bool Open(const QUrl& url) override { return QDesktopServices::openUrl(url); }
};

HelpViewer* installed = nullptr;

}  // namespace

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
