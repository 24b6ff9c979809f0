#include "FrameSender.h"

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>

#include <utility>

#include "WindowSystemOutput.h"

namespace quill {

TFrameSender::TFrameSender(std::function<void()> send, QObject* parent)
    : QObject(parent), send_(send ? std::move(send) : std::function<void()>(SendWindowSystemOutput)) {}

bool TFrameSender::eventFilter(QObject* watched, QEvent* event) {
  if (inFrame_ || event->type() != QEvent::UpdateRequest || !watched->isWidgetType() ||
      !static_cast<QWidget*>(watched)->isWindow()) {
    return false;
  }
  // The request is delivered here, through the remaining filters to the widget, and
  // stopped on its first way; a frame made inside this one goes out with it.
  inFrame_ = true;
  struct Leave {
    bool& flag;
    ~Leave() { flag = false; }
  } leave{inFrame_};
  QCoreApplication::sendEvent(watched, event);
  send_();
  return true;
}

}  // namespace quill
