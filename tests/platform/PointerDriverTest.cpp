// The Qt pointer driver delivering input to real (headless) windows.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCursor>
#include <QMenu>
#include <QMouseEvent>
#include <QWidget>
#include <QWindow>

#include <string>
#include <vector>

#include "PointerDriver.h"

namespace {

// A window that notes the mouse events it gets: "move 5,5", "press L", "release L".
class NotingWindow : public QWidget {
  Q_OBJECT

 public:
  NotingWindow(const QString& name, const QRect& geometry) {
    setObjectName(name);
    setGeometry(geometry);
    setMouseTracking(true);
    show();
  }
  std::vector<std::string> events;

 protected:
  void mouseMoveEvent(QMouseEvent* event) override {
    events.push_back("move " + std::to_string(event->position().toPoint().x()) + "," +
                     std::to_string(event->position().toPoint().y()));
  }
  void mousePressEvent(QMouseEvent* event) override { events.push_back("press " + ButtonName(event)); }
  void mouseReleaseEvent(QMouseEvent* event) override { events.push_back("release " + ButtonName(event)); }

 private:
  static std::string ButtonName(QMouseEvent* event) {
    return event->button() == Qt::LeftButton ? "L" : event->button() == Qt::RightButton ? "R" : "?";
  }
};

void Deliver() {
  for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
}

}  // namespace

TEST(PointerDriver, TheHitTestPrefersThePopupThenTheNewestWindowThatTakesInput) {
  NotingWindow below(QStringLiteral("below"), QRect(100, 100, 200, 200));
  NotingWindow above(QStringLiteral("above"), QRect(150, 150, 200, 200));
  NotingWindow glass(QStringLiteral("glass"), QRect(100, 100, 300, 300));
  glass.windowHandle()->setFlag(Qt::WindowTransparentForInput);
  NotingWindow hidden(QStringLiteral("hidden"), QRect(100, 100, 300, 300));
  hidden.hide();
  Deliver();
  quill::QtPointerDriver driver;
  EXPECT_EQ(driver.WindowAt({160, 160}), above.windowHandle());
  EXPECT_EQ(driver.WindowAt({110, 110}), below.windowHandle());
  EXPECT_EQ(driver.WindowAt({10, 10}), nullptr);

  QMenu menu;
  menu.addAction(QStringLiteral("Item"));
  menu.popup(QPoint(500, 500));
  Deliver();
  ASSERT_EQ(QApplication::activePopupWidget(), &menu);
  EXPECT_EQ(driver.WindowAt({160, 160}), menu.windowHandle());
  menu.close();
}

TEST(PointerDriver, InputIsPostedAndFollowsThePressWhileAButtonIsHeld) {
  NotingWindow first(QStringLiteral("first"), QRect(100, 100, 100, 100));
  NotingWindow second(QStringLiteral("second"), QRect(300, 100, 100, 100));
  Deliver();
  quill::QtPointerDriver driver;
  driver.BeginDriving();
  driver.SetPosition({150, 150});
  driver.SendButtons(MOUSEEVENTF_LEFTDOWN);
  EXPECT_TRUE(first.events.empty());  // nothing arrives before the event loop runs
  Deliver();
  EXPECT_EQ(first.events, (std::vector<std::string>{"move 50,50", "press L"}));
  driver.SetPosition({320, 120});  // onto the second window with the button down
  driver.SendButtons(MOUSEEVENTF_LEFTUP);
  driver.SetPosition({330, 120});
  Deliver();
  EXPECT_EQ(first.events, (std::vector<std::string>{"move 50,50", "press L", "move 220,20", "release L"}));
  EXPECT_EQ(second.events, (std::vector<std::string>{"move 30,20"}));
  EXPECT_EQ(driver.GetPosition(), (quill::TPoint{330, 120}));

  // A move asked for where the pointer stands is delivered all the same.
  driver.SetPosition({330, 120});
  Deliver();
  EXPECT_EQ(second.events, (std::vector<std::string>{"move 30,20", "move 30,20"}));
  driver.EndDriving();
}

TEST(PointerDriver, SwappedButtonsMapThePhysicalRightButtonToTheLogicalLeft) {
  NotingWindow window(QStringLiteral("window"), QRect(100, 100, 100, 100));
  Deliver();
  quill::QtPointerDriver driver(true);
  EXPECT_TRUE(driver.ButtonsSwapped());
  driver.BeginDriving();
  driver.SetPosition({150, 150});
  driver.SendButtons(MOUSEEVENTF_RIGHTDOWN | MOUSEEVENTF_RIGHTUP);
  Deliver();
  EXPECT_EQ(window.events, (std::vector<std::string>{"move 50,50", "press L", "release L"}));
  EXPECT_EQ(driver.ShowPointer(false), -1);
  EXPECT_EQ(driver.ShowPointer(true), 0);
  driver.EndDriving();
}

TEST(PointerDriver, OutsideDrivingAMoveTakesTheSystemPointerAlong) {
  NotingWindow window(QStringLiteral("window"), QRect(100, 100, 100, 100));
  Deliver();
  quill::QtPointerDriver driver;
  driver.SetPosition({140, 150});
  const quill::TPoint start = driver.GetPosition();
  EXPECT_EQ(start, (quill::TPoint{140, 150}));
  // Two one-pixel steps add up: each starts where the system pointer now is.
  driver.SetPosition({start.X + 1, start.Y});
  driver.SetPosition({driver.GetPosition().X + 1, start.Y});
  EXPECT_EQ(driver.GetPosition(), (quill::TPoint{142, 150}));
  EXPECT_EQ(QCursor::pos(), QPoint(142, 150));
}

#include "PointerDriverTest.moc"
