// Linked into a second build of the program's own main (editor/app/QuillmereMain.cpp)
// for the start-up benchmark: once the application object exists it watches every
// paint event, and when the graphics view of the document opened from the command line
// has been painted for the first time it writes "painted" to standard output and ends
// the process at once (no settings are written, nothing is freed). The demo list that a
// first start offers is closed as soon as it shows.

#include <QCoreApplication>
#include <QEvent>
#include <QMetaObject>
#include <QObject>
#include <QWidget>

#include <cstdio>
#include <cstdlib>

#include "ZelDemonstrationModule.h"
#include "ZelGraphicsEditor.h"
#include "ZelGraphicsView.h"

namespace {

class TPaintProbe : public QObject {
  Q_OBJECT

 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    // A first start offers the demo list once the photo is open: closed at once, as a
    // user's Esc would.
    auto* list = qobject_cast<TZelDemonstrationForm*>(watched);
    if (list != nullptr && event->type() == QEvent::Show) {
      QMetaObject::invokeMethod(
          list, [list] { list->SetModalResult(quill::IDCANCEL); }, Qt::QueuedConnection);
      return false;
    }
    if (event->type() != QEvent::Paint || GraphicsEditor == nullptr || reported_) {
      return false;
    }
    auto* view = GraphicsEditor->GetCurrentView();
    auto* widget = qobject_cast<QWidget*>(watched);
    if (view == nullptr || widget == nullptr || (widget != view && !view->isAncestorOf(widget))) {
      return false;
    }
    // Reported once this paint event has been handled.
    reported_ = true;
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [] {
          std::fputs("painted\n", stdout);
          std::fflush(stdout);
          std::_Exit(0);
        },
        Qt::QueuedConnection);
    return false;
  }

 private:
  bool reported_ = false;
};

void InstallPaintProbe() {
  QCoreApplication::instance()->installEventFilter(new TPaintProbe(QCoreApplication::instance()));
}

}  // namespace

Q_COREAPP_STARTUP_FUNCTION(InstallPaintProbe)

#include "StartupProbe.moc"
