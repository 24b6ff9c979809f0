// An event filter given as a function, for the places that watch another object's
// events (an application-wide key filter, a dialog that must not see Esc).
//
// Install it with installEventFilter; the function returns true to stop an event. It
// must not throw: it runs inside Qt's event dispatch.

#ifndef QUILL_FRAMEWORK_EVENTFILTER_H_
#define QUILL_FRAMEWORK_EVENTFILTER_H_

#include <QObject>

#include <functional>

class QEvent;

namespace quill {

class EventFilter : public QObject {
  Q_OBJECT

 public:
  using Function = std::function<bool(QObject* watched, QEvent* event)>;

  explicit EventFilter(Function function, QObject* parent = nullptr);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  Function function_;
};

}  // namespace quill

#endif  // QUILL_FRAMEWORK_EVENTFILTER_H_
