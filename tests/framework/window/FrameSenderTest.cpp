// Each frame of a top-level window is sent on as soon as it is painted, once, and its
// update request still reaches the window (and the filters installed on it) once.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QWidget>

#include <algorithm>
#include <string>
#include <vector>

#include "FrameSender.h"
#include "PaintLog.h"

namespace {

class FrameSenderTest : public testing::Test {
 protected:
  FrameSenderTest() : sender_([this] { log_.Lines.push_back("send"); }) {
    window_.setObjectName("window");
    child_ = new QWidget(&window_);
    child_->setObjectName("child");
    child_->setGeometry(10, 10, 50, 50);
    window_.resize(200, 150);
    window_.show();
    Settle();
    QCoreApplication::instance()->installEventFilter(&sender_);
    log_.Watch({&window_, child_});
  }
  ~FrameSenderTest() override { QCoreApplication::instance()->removeEventFilter(&sender_); }
  static void Settle() {
    for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
  }
  long Count(const std::string& line) const { return std::count(log_.Lines.begin(), log_.Lines.end(), line); }

  quill::test::PaintLog log_;
  quill::TFrameSender sender_;
  QWidget window_;
  QWidget* child_ = nullptr;
};

}  // namespace

TEST_F(FrameSenderTest, AFrameIsSentOnceAfterItsPaint) {
  child_->update();
  Settle();
  ASSERT_EQ(Count("frame"), 1);
  EXPECT_EQ(Count("child"), 1);
  EXPECT_EQ(Count("send"), 1);
  EXPECT_EQ(log_.Lines.front(), "frame");
  EXPECT_EQ(log_.Lines.back(), "send");

  // A repaint is a frame made at once: it is sent before the repaint returns.
  log_.Lines.clear();
  child_->repaint();
  EXPECT_EQ(log_.Lines.back(), "send");
  EXPECT_EQ(Count("send"), 1);
}

TEST_F(FrameSenderTest, RequestsToOtherObjectsPassUntouched) {
  QEvent request(QEvent::UpdateRequest);
  QCoreApplication::sendEvent(child_, &request);
  QObject plain;
  QCoreApplication::sendEvent(&plain, &request);
  EXPECT_EQ(Count("send"), 0);
}
