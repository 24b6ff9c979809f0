// The order in which a window's frames and its widgets' paints happen, for the tests of
// what must reach the screen before something slower to paint.

#ifndef QUILL_TESTS_SUPPORT_PAINTLOG_H_
#define QUILL_TESTS_SUPPORT_PAINTLOG_H_

#include <QEvent>
#include <QObject>

#include <algorithm>
#include <initializer_list>
#include <string>
#include <vector>

namespace quill::test {

// Install it on widgets named by their object names and on their window: each paint
// logs the widget's name, each repaint request of the window "frame".
class PaintLog : public QObject {
 public:
  void Watch(std::initializer_list<QObject*> watched) {
    for (QObject* object : watched) object->installEventFilter(this);
  }
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::UpdateRequest) Lines.push_back("frame");  // on the window
    if (event->type() == QEvent::Paint) Lines.push_back(watched->objectName().toStdString());
    return false;
  }
  // Whether Later was painted after First, in a later frame (a frame lies between).
  bool PaintedInALaterFrame(const std::string& first, const std::string& later) const {
    const auto a = std::find(Lines.begin(), Lines.end(), first);
    const auto b = std::find(Lines.begin(), Lines.end(), later);
    return a < b && b != Lines.end() && std::find(a, b, "frame") != b;
  }
  std::vector<std::string> Lines;
};

}  // namespace quill::test

#endif  // QUILL_TESTS_SUPPORT_PAINTLOG_H_
