// The original image tool on the real view over the sample photo, edited: the O key
// and the toolbar button show the opened pixels while held and bring back the tool
// that was current, whatever the window system's auto-repeat sends in between; a
// recording gets the button press; the script's targets find the button.

#include <gtest/gtest.h>

#include <QKeyEvent>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

#include "MainForm.h"
#include "Module.h"
#include "PaintLog.h"
#include "ToolTesting.h"
#include "ZelOriginalImageTool.h"
#include "ZelWireEraserTool.h"

namespace quilltest {
namespace {

class OriginalImageToolTest : public BrushToolTest {
 protected:
  void SetUp() override {
    BrushToolTest::SetUp();
    ZelApplication->CreateComponent(OriginalImageTool);
    tool_ = OriginalImageTool;
  }

  void Key(QEvent::Type type, bool autoRepeat = false) {
    QKeyEvent event(type, Qt::Key_O, Qt::NoModifier, QStringLiteral("o"), autoRepeat);
    QCoreApplication::sendEvent(View(), &event);
    ProcessEvents();
  }

  // The colour the view shows over image pixel Point.
  QRgb Shown(const quill::TPoint& point) const {
    const quill::TPoint device = View()->GetMapMode().LogicalToDevice(point);
    return View()->grab().toImage().pixel(device.X, device.Y);
  }

  QToolButton* ToolbarButton() const {
    return qobject_cast<QToolButton*>(editor_->StandardToolbar->widgetForAction(tool_->Button));
  }

  TZelOriginalImageTool* tool_ = nullptr;
};

TEST_F(OriginalImageToolTest, HoldingOOrTheButtonShowsTheOpenedPhotoAndReleasingBringsBackTheTool) {
  // Without a document there is nothing to show.
  tool_->UpdateControls();
  EXPECT_FALSE(tool_->Button->isEnabled());
  tool_->ShowOriginal();
  EXPECT_EQ(editor_->CurrentTool, WireEraserTool);

  ASSERT_NE(OpenSample(), nullptr);
  const QImage opened = Live();
  auto* invert = ZelApplication->NewComponent<InvertTool>();
  invert->Invert(View(), {100, 100, 140, 140});
  const quill::TPoint edited{120, 120};
  const QRgb editedColour = Live().pixel(edited.X, edited.Y);
  const QRgb openedColour = opened.pixel(edited.X, edited.Y);
  ASSERT_NE(editedColour, openedColour);
  ASSERT_EQ(Shown(edited), editedColour);
  const quill::TRect extent = View()->GetExtent();

  // O held, with the auto-repeat pairs X11 sends meanwhile: the original shows.
  Key(QEvent::KeyPress);
  EXPECT_EQ(editor_->CurrentTool, tool_);
  EXPECT_EQ(Shown(edited), openedColour);
  EXPECT_EQ(View()->GetExtent(), extent);
  for (int i = 0; i < 3; ++i) {
    Key(QEvent::KeyRelease, true);
    Key(QEvent::KeyPress, true);
  }
  EXPECT_EQ(editor_->CurrentTool, tool_);
  EXPECT_EQ(Shown(edited), openedColour);
  tool_->UpdateControls();
  EXPECT_TRUE(tool_->Button->isChecked());
  // Released: the Wire Eraser and the edited photo come back.
  Key(QEvent::KeyRelease);
  EXPECT_EQ(editor_->CurrentTool, WireEraserTool);
  EXPECT_EQ(Shown(edited), editedColour);
  EXPECT_EQ(View()->GetExtent(), extent);

  // The button: held down, the original; released, the previous tool, unchecked.
  tool_->UpdateControls();
  ASSERT_TRUE(tool_->Button->isEnabled());
  QToolButton* button = ToolbarButton();
  ASSERT_NE(button, nullptr);
  QTest::mousePress(button, Qt::LeftButton);
  EXPECT_EQ(editor_->CurrentTool, tool_);
  EXPECT_EQ(Shown(edited), openedColour);
  QTest::mouseRelease(button, Qt::LeftButton);
  EXPECT_EQ(editor_->CurrentTool, WireEraserTool);
  EXPECT_FALSE(tool_->Button->isChecked());
  EXPECT_EQ(Shown(edited), editedColour);
}

// O shows the original in a frame of its own: the buttons and the tool panel, which
// follow the current tool when the program next goes idle, are slow to paint and
// follow in the next frame, checked and enabled as the current tool has them.
TEST_F(OriginalImageToolTest, TheViewRepaintsBeforeTheButtonsAndThePanelThatFollowIt) {
  ASSERT_NE(OpenSample(), nullptr);
  // Started as the program starts them: their controls follow the editor when idle.
  tool_->Initialize();
  WireEraserTool->Initialize();
  // Each turn of the program's event loop, as it runs: it goes idle first (when it
  // would wait), then delivers what is posted; a posted wake-up keeps it from waiting.
  QObject wakeUp;
  const auto runEventLoop = [&wakeUp] {
    for (int i = 0; i < 4; ++i) {
      QCoreApplication::postEvent(&wakeUp, new QEvent(QEvent::User));
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
  };
  runEventLoop();
  QToolButton* button = ToolbarButton();
  ASSERT_TRUE(button != nullptr && button->isVisible());
  QWidget* panel = WireEraserTool->Frame;
  ASSERT_TRUE(panel->isVisible() && panel->isEnabled());
  View()->setObjectName("view");
  button->setObjectName("button");
  panel->setObjectName("panel");

  for (const QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease}) {
    quill::test::PaintLog log;
    log.Watch({MainForm, View(), button, panel});
    QKeyEvent event(type, Qt::Key_O, Qt::NoModifier, QStringLiteral("o"));
    QCoreApplication::sendEvent(View(), &event);
    runEventLoop();
    EXPECT_TRUE(log.PaintedInALaterFrame("view", "button")) << "the button was painted in the view's frame";
    EXPECT_TRUE(log.PaintedInALaterFrame("view", "panel")) << "the panel was painted in the view's frame";
    const bool shown = type == QEvent::KeyPress;
    EXPECT_EQ(tool_->Button->isChecked(), shown);
    EXPECT_EQ(WireEraserTool->Button->isChecked(), !shown);
    EXPECT_EQ(panel->isEnabled(), !shown);
  }
}

TEST_F(OriginalImageToolTest, RecordsTheButtonPressAndFindsItsButtonAsATarget) {
  ASSERT_NE(OpenSample(), nullptr);
  tool_->RecordingStarted(&recorder_);
  Key(QEvent::KeyPress);
  Key(QEvent::KeyRelease);
  EXPECT_EQ(recorder_.lines,
            (QStringList{QStringLiteral("MouseCurvedMove OriginalImage"), QStringLiteral("MouseDown"),
                         QStringLiteral("Message \"Original Image\""), QStringLiteral("MouseUp"),
                         QStringLiteral("Message \"Corrected Image\"")}));
  for (const char* target : {"OriginalImage", "originalimagebutton"}) {
    EXPECT_TRUE(FindsScriptTarget(*tool_, target)) << target;
  }
  EXPECT_FALSE(FindsScriptTarget(*tool_, "OriginalImageView"));
}

}  // namespace
}  // namespace quilltest
