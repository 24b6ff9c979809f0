// Sends each frame to the screen as soon as it is made.
//
// A top-level widget's update request paints its dirty widgets into the window's
// backing store and hands the result to the window system. On X11 that only queues
// requests on the display connection, which Qt writes out when the event loop next
// waits; whatever runs before that (a zero-interval timer's idle slice, a posted
// event, another frame) holds the frame back from the screen for as long as it runs.
//
// TFrameSender is an event filter for the application: it lets each update request of
// a top-level widget run to its end and then calls Send, by default
// SendWindowSystemOutput (WindowSystemOutput.h), which writes the queued requests out
// without waiting for an answer. The request still passes every other filter and
// reaches its widget exactly once. Requests to child widgets and to anything else
// pass untouched.
//
// Main thread only.

#ifndef QUILL_FRAMEWORK_FRAMESENDER_H_
#define QUILL_FRAMEWORK_FRAMESENDER_H_

#include <QObject>

#include <functional>

namespace quill {

class TFrameSender : public QObject {
  Q_OBJECT

 public:
  explicit TFrameSender(std::function<void()> send = {}, QObject* parent = nullptr);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  std::function<void()> send_;
  bool inFrame_ = false;
};

}  // namespace quill

#endif  // QUILL_FRAMEWORK_FRAMESENDER_H_
