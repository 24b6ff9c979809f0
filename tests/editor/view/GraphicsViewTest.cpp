// The graphics view with real widgets, headless: zoom steps and fitting, keys, wheel,
// the hand tool's drag, the status bar, the cursor and the recorded script lines.

#include <gtest/gtest.h>

#include <QCursor>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QStatusBar>
#include <QWheelEvent>

#include <functional>
#include <new>
#include <stdexcept>

#include "EditorTesting.h"
#include "ZelDemoPlayback.h"
#include "ZelLocalizer.h"
#include "ZelGraphicsView.h"
#include "ZelScrollTool.h"

namespace quilltest {
namespace {

class GraphicsViewTest : public EditorTest {
 protected:
  void SetUp() override {
    EditorTest::SetUp();
    probeTool_ = ZelApplication->NewComponent<ProbeTool>();
    QCursor::setPos(20000, 20000);  // far from the view unless a test puts it there
  }

  TZelGraphicsDocument* OpenPicture(int width, int height) {
    return Open(QStringLiteral("/photos/p.png"), MakePicture(width, height), 2);
  }

  TZelMapMode& MapMode() const { return View()->GetMapMode(); }
  quill::TPoint Zoom() const { return {MapMode().DeviceExtent.X, MapMode().LogicalExtent.X}; }

  void Key(QEvent::Type type, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier,
           bool autoRepeat = false) {
    QKeyEvent event(type, key, modifiers, QString(), autoRepeat);
    QCoreApplication::sendEvent(View(), &event);
  }
  void Press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    Key(QEvent::KeyPress, key, modifiers);
    Key(QEvent::KeyRelease, key, modifiers);
  }
  void Mouse(QEvent::Type type, const quill::TPoint& point, Qt::MouseButton button,
             Qt::MouseButtons buttons) {
    const QPointF local(point.X, point.Y);
    QMouseEvent event(type, local, View()->mapToGlobal(local), button, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(View(), &event);
  }
  void Wheel(const QPoint& angleDelta) {
    const QPointF local(10, 10);
    QWheelEvent event(local, View()->mapToGlobal(local), QPoint(), angleDelta, Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(View(), &event);
  }
  // A device point inside image pixel Point.
  quill::TPoint DeviceOf(const quill::TPoint& point) const {
    const quill::TPoint device = MapMode().LogicalToDevice(point);
    return {device.X + MapMode().DeviceExtent.X / 2, device.Y + MapMode().DeviceExtent.Y / 2};
  }

  ProbeTool* probeTool_ = nullptr;
};

TEST_F(GraphicsViewTest, ZoomWalksTheTwentyOneStepsAndStopsAtTheEnds) {
  ASSERT_NE(OpenPicture(200, 150), nullptr);
  EXPECT_EQ(Zoom(), (quill::TPoint{1, 1}));  // fits: opens at 1:1
  std::vector<quill::TPoint> up;
  for (int i = 0; i < 11; ++i) {
    editor_->ZoomInClick();
    up.push_back(Zoom());
  }
  EXPECT_EQ(up, (std::vector<quill::TPoint>{{3, 2}, {2, 1}, {3, 1}, {4, 1}, {5, 1}, {6, 1}, {7, 1},
                                     {8, 1}, {12, 1}, {16, 1}, {16, 1}}));
  std::vector<quill::TPoint> down;
  for (int i = 0; i < 21; ++i) {
    editor_->ZoomOutClick();
    down.push_back(Zoom());
  }
  EXPECT_EQ(down, (std::vector<quill::TPoint>{{12, 1}, {8, 1}, {7, 1}, {6, 1}, {5, 1}, {4, 1}, {3, 1},
                                       {2, 1}, {3, 2}, {1, 1}, {3, 4}, {1, 2}, {1, 3}, {1, 4},
                                       {1, 5}, {1, 6}, {1, 7}, {1, 8}, {1, 12}, {1, 16}, {1, 16}}));
  editor_->ActualSizeClick();
  EXPECT_EQ(Zoom(), (quill::TPoint{1, 1}));
  editor_->ZoomOutClick();
  EXPECT_EQ(Zoom(), (quill::TPoint{3, 4}));
}

TEST_F(GraphicsViewTest, BestFitComparesBothAxesAndZoomMovesToTheNextStepBeyondIt) {
  ASSERT_NE(OpenPicture(10, 10), nullptr);
  const int viewWidth = View()->width();
  const int viewHeight = View()->height();
  ASSERT_GT(viewWidth, 100);

  // Twice as wide and 1.5 times as high as the view: the width decides.
  ASSERT_NE(OpenPicture(2 * viewWidth, viewHeight * 3 / 2), nullptr);
  EXPECT_EQ(Zoom(), (quill::TPoint{viewWidth, 2 * viewWidth}));
  // Taller than wide, relative to the view: the height decides.
  ASSERT_NE(OpenPicture(viewWidth, 3 * viewHeight), nullptr);
  EXPECT_EQ(Zoom(), (quill::TPoint{viewHeight, 3 * viewHeight}));

  // A fit of 0.62 lies between 1/2 and 3/4.
  const int width = viewWidth * 100 / 62;
  ASSERT_NE(OpenPicture(width, 4), nullptr);
  ASSERT_EQ(View()->CompareZoom(62, 100), 0);
  editor_->ZoomInClick();
  EXPECT_EQ(Zoom(), (quill::TPoint{3, 4}));
  editor_->BestFitClick();
  editor_->ZoomOutClick();
  EXPECT_EQ(Zoom(), (quill::TPoint{1, 2}));

  // A view without area has no fit: nothing changes, nothing divides by zero.
  View()->resize(0, 0);
  editor_->BestFitClick();
  EXPECT_EQ(Zoom(), (quill::TPoint{1, 2}));
}

TEST_F(GraphicsViewTest, ZoomKeepsTheCentreAndDeliversAMoveAtThePointer) {
  ASSERT_NE(OpenPicture(1600, 1200), nullptr);
  editor_->ActualSizeClick();
  View()->CenterOnPoint({800, 600});
  const quill::TRect client = View()->GetClientRect();
  const quill::TPoint centre{static_cast<int32_t>(client.Width() / 2), static_cast<int32_t>(client.Height() / 2)};
  const quill::TPoint before = View()->ClientToImage(centre);
  QCursor::setPos(View()->mapToGlobal(QPoint(centre.X, centre.Y)));
  View()->SetZoom(3, 1);
  const quill::TPoint after = View()->ClientToImage(centre);
  EXPECT_LE(std::abs(after.X - before.X), 1);
  EXPECT_LE(std::abs(after.Y - before.Y), 1);
  // The status bar followed the zoom without a real move of the mouse.
  EXPECT_EQ(editor_->XStatusPanel->text(), QString::number(after.X));
  EXPECT_EQ(editor_->YStatusPanel->text(), QString::number(after.Y));
}

// A move knows where the pointer is and what is held: the cursor is picked for that,
// without asking the display server (a round trip on every move).
TEST_F(GraphicsViewTest, AMovePicksTheCursorForItsOwnPointAndKeys) {
  ASSERT_NE(OpenPicture(1600, 1200), nullptr);
  ProbeControl* probe = probeTool_->Probe();
  ASSERT_NE(probe, nullptr);
  const QPointF local(120, 90);
  QMouseEvent move(QEvent::MouseMove, local, View()->mapToGlobal(local), Qt::NoButton, Qt::LeftButton,
                   Qt::ShiftModifier);
  QCoreApplication::sendEvent(View(), &move);
  EXPECT_EQ(probe->cursorPoint, (quill::TPoint{120, 90}));
  EXPECT_EQ(probe->cursorShift, quill::ssShift | quill::ssLeft);
}

TEST_F(GraphicsViewTest, KeysReachOnlyTheControlsAndTheViewScrollsByNone) {
  ASSERT_NE(OpenPicture(1600, 1200), nullptr);
  editor_->ActualSizeClick();
  View()->CenterOnPoint({800, 600});
  const quill::TPoint origin = MapMode().DeviceOrigin;
  ProbeControl* probe = probeTool_->Probe();
  ASSERT_NE(probe, nullptr);
  for (int key : {Qt::Key_PageUp, Qt::Key_PageDown, Qt::Key_Left, Qt::Key_Up, Qt::Key_Right,
                  Qt::Key_Down, Qt::Key_Tab, Qt::Key_O}) {
    Press(key);
  }
  EXPECT_EQ(probe->keysDown, (std::vector<uint16_t>{33, 34, 37, 38, 39, 40, 9, 'O'}));
  EXPECT_EQ(probe->keysUp, probe->keysDown);
  EXPECT_EQ(MapMode().DeviceOrigin, origin);
  EXPECT_EQ(Zoom(), (quill::TPoint{1, 1}));

  // The main keyboard's "=" and "-" zoom (the scroll tool's control, any tool current).
  Press(Qt::Key_Equal);
  EXPECT_EQ(Zoom(), (quill::TPoint{3, 2}));
  Press(Qt::Key_Minus);
  Press(Qt::Key_Minus);
  EXPECT_EQ(Zoom(), (quill::TPoint{3, 4}));
  // The keypad's plus is another key.
  probe->keysDown.clear();
  Press(Qt::Key_Plus, Qt::KeypadModifier);
  EXPECT_EQ(probe->keysDown, (std::vector<uint16_t>{107}));
  EXPECT_EQ(Zoom(), (quill::TPoint{3, 4}));
}

TEST_F(GraphicsViewTest, HoldingSpaceSwitchesToTheHandUntilReleased) {
  ASSERT_NE(OpenPicture(1600, 1200), nullptr);
  editor_->ActualSizeClick();
  editor_->SetActiveTool(probeTool_);
  EXPECT_EQ(View()->GetCursorId(), quill::crDefault);

  Key(QEvent::KeyPress, Qt::Key_Space);
  auto* scroll = dynamic_cast<TZelScrollTool*>(editor_->CurrentTool);
  ASSERT_NE(scroll, nullptr);
  EXPECT_EQ(View()->GetCursorId(), quill::crHand);
  // X11's auto-repeat: release and press pairs while the key is held.
  for (int i = 0; i < 3; ++i) {
    Key(QEvent::KeyRelease, Qt::Key_Space, Qt::NoModifier, true);
    Key(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, true);
    EXPECT_EQ(editor_->CurrentTool, scroll);
  }

  // Drag: the image follows the pointer; the right button does nothing.
  const quill::TPoint origin = MapMode().DeviceOrigin;
  Mouse(QEvent::MouseButtonPress, {300, 300}, Qt::RightButton, Qt::RightButton);
  Mouse(QEvent::MouseMove, {250, 250}, Qt::NoButton, Qt::RightButton);
  Mouse(QEvent::MouseButtonRelease, {250, 250}, Qt::RightButton, Qt::NoButton);
  EXPECT_EQ(MapMode().DeviceOrigin, origin);
  Mouse(QEvent::MouseButtonPress, {300, 300}, Qt::LeftButton, Qt::LeftButton);
  Mouse(QEvent::MouseMove, {260, 280}, Qt::NoButton, Qt::LeftButton);
  Mouse(QEvent::MouseButtonRelease, {260, 280}, Qt::LeftButton, Qt::NoButton);
  EXPECT_EQ(MapMode().DeviceOrigin, (quill::TPoint{origin.X - 40, origin.Y - 20}));
  // At the end of the range the image stops.
  Mouse(QEvent::MouseButtonPress, {300, 300}, Qt::LeftButton, Qt::LeftButton);
  Mouse(QEvent::MouseMove, {300, 5300}, Qt::NoButton, Qt::LeftButton);
  EXPECT_EQ(MapMode().DeviceOrigin.Y, 0);
  Mouse(QEvent::MouseButtonRelease, {300, 5300}, Qt::LeftButton, Qt::NoButton);

  Key(QEvent::KeyRelease, Qt::Key_Space);
  EXPECT_EQ(editor_->CurrentTool, probeTool_);
  EXPECT_EQ(View()->GetCursorId(), quill::crDefault);

  // An image smaller than the window does not move.
  ASSERT_NE(OpenPicture(100, 80), nullptr);
  const quill::TPoint centred = MapMode().DeviceOrigin;
  Key(QEvent::KeyPress, Qt::Key_Space);
  Mouse(QEvent::MouseButtonPress, {300, 300}, Qt::LeftButton, Qt::LeftButton);
  Mouse(QEvent::MouseMove, {200, 100}, Qt::NoButton, Qt::LeftButton);
  Mouse(QEvent::MouseButtonRelease, {200, 100}, Qt::LeftButton, Qt::NoButton);
  Key(QEvent::KeyRelease, Qt::Key_Space);
  EXPECT_EQ(MapMode().DeviceOrigin, centred);
}

TEST_F(GraphicsViewTest, TheWheelGivesOneStepAndItsHorizontalAxisIsNotTheViews) {
  ASSERT_NE(OpenPicture(300, 200), nullptr);
  ProbeControl* probe = probeTool_->Probe();
  Wheel({0, 240});
  Wheel({0, -120});
  Wheel({120, 0});  // the horizontal wheel
  Wheel({-360, 0});
  EXPECT_EQ(probe->wheelDeltas, (std::vector<int>{1, -1}));
  EXPECT_FALSE(View()->MouseWheel(0, 0, {5, 5}));  // a delta of 0 gives -1
  EXPECT_EQ(probe->wheelDeltas.back(), -1);
  probe->claim = true;
  EXPECT_TRUE(View()->MouseWheel(0, 7, {5, 5}));
}

// A control that, offered an event, begins its tool's operation, changes the live image
// and then throws halfway, as a dab that runs out of memory does: std::bad_alloc on a
// button press, a plain error on everything else.
class ThrowingControl : public TZelGraphicsToolControl {
 public:
  using TZelGraphicsToolControl::TZelGraphicsToolControl;
  bool MouseDown(quill::TMouseButton, quill::TShiftState, const quill::TPoint&) override {
    return Fail(std::bad_alloc());
  }
  bool MouseMove(quill::TShiftState, const quill::TPoint&) override { return Fail(std::runtime_error("move")); }
  bool MouseUp(quill::TMouseButton, quill::TShiftState, const quill::TPoint&) override {
    return Fail(std::runtime_error("up"));
  }
  bool MouseWheel(quill::TShiftState, int, const quill::TPoint&) override { return Fail(std::runtime_error("wheel")); }
  bool KeyDown(uint16_t, quill::TShiftState) override { return Fail(std::runtime_error("key down")); }
  bool KeyUp(uint16_t, quill::TShiftState) override { return Fail(std::runtime_error("key up")); }

  bool armed = false;

 private:
  template <class Error>
  bool Fail(const Error& error) {
    if (!armed) return false;
    auto* tool = static_cast<InvertTool*>(Tool);
    if (tool->Document == nullptr && !tool->BeginOperation(View)) return false;
    // Pixels changed, and not yet in the dirty rectangle.
    tool->Live->GetPixelAddress(3, 4)[0] ^= 0xFF;
    throw error;
  }
};

class ThrowingTool : public InvertTool {
 public:
  explicit ThrowingTool(quill::TZelComponent* owner) : InvertTool(owner) {
    ControlClass = &MakeControl<ThrowingControl>;
  }
  ThrowingControl* Control() const { return static_cast<ThrowingControl*>(GetControl(0)); }
};

TEST_F(GraphicsViewTest, WhatAControlThrowsIsShownAndItsOperationCancelled) {
  auto* tool = ZelApplication->NewComponent<ThrowingTool>();
  TZelGraphicsDocument* document = OpenPicture(60, 40);
  ASSERT_NE(document, nullptr);
  const QImage opened = PicturePixels(document->GetCurrentPixels());
  tool->Control()->armed = true;
  const QString memoryText = GetLocalizedString(quill::kMemoryText);
  const struct {
    const char* name;
    std::function<void()> send;
    QString shown;
  } events[] = {
      {"press", [&] { Mouse(QEvent::MouseButtonPress, {5, 5}, Qt::LeftButton, Qt::LeftButton); }, memoryText},
      {"double click", [&] { Mouse(QEvent::MouseButtonDblClick, {5, 5}, Qt::LeftButton, Qt::LeftButton); },
       memoryText},
      {"move", [&] { Mouse(QEvent::MouseMove, {6, 6}, Qt::NoButton, Qt::LeftButton); }, "move"},
      {"release", [&] { Mouse(QEvent::MouseButtonRelease, {6, 6}, Qt::LeftButton, Qt::NoButton); }, "up"},
      {"wheel", [&] { Wheel({0, 120}); }, "wheel"},
      {"key down", [&] { Key(QEvent::KeyPress, Qt::Key_A); }, "key down"},
      {"key up", [&] { Key(QEvent::KeyRelease, Qt::Key_A); }, "key up"},
  };
  for (const auto& event : events) {
    SCOPED_TRACE(event.name);
    boxes_.clear();
    EXPECT_NO_THROW(event.send());
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].Text, event.shown);
    // Cancelled: the image is the committed one again, and nothing is recorded.
    EXPECT_FALSE(document->Running);
    EXPECT_EQ(tool->Document, nullptr);
    EXPECT_EQ(PicturePixels(document->GetCurrentPixels()), opened);
    EXPECT_EQ(PicturePixels(document->CommittedCopy), opened);
    EXPECT_EQ(document->GetHistory().GetCount(), 0);
  }
}

TEST_F(GraphicsViewTest, TheStatusBarShowsThePointAndColourUnderThePointer) {
  const QImage picture = MakePicture(300, 200);
  ASSERT_NE(Open(QStringLiteral("/photos/p.png"), picture), nullptr);
  editor_->ZoomInClick();  // 3/2
  Mouse(QEvent::MouseMove, DeviceOf({123, 45}), Qt::NoButton, Qt::NoButton);
  const uint8_t* pixel = picture.constScanLine(45) + 3 * 123;
  EXPECT_EQ(editor_->XStatusPanel->text(), "123");
  EXPECT_EQ(editor_->YStatusPanel->text(), "45");
  EXPECT_EQ(editor_->RStatusPanel->text(), QString::number(pixel[2]));
  EXPECT_EQ(editor_->GStatusPanel->text(), QString::number(pixel[1]));
  EXPECT_EQ(editor_->BStatusPanel->text(), QString::number(pixel[0]));
  EXPECT_TRUE(View()->MouseInside);

  // Left of and above the image: its coordinates, and black. New texts repaint their
  // panels alone: the status bar is not laid out again.
  struct LayoutRequests : QObject {
    int count = 0;
    bool eventFilter(QObject* /*watched*/, QEvent* event) override {
      if (event->type() == QEvent::LayoutRequest) ++count;
      return false;
    }
  } requests;
  QCoreApplication::processEvents();
  MainForm->StatusBar->installEventFilter(&requests);
  Mouse(QEvent::MouseMove, DeviceOf({-3, -2}), Qt::NoButton, Qt::NoButton);
  QCoreApplication::processEvents();
  EXPECT_EQ(requests.count, 0);
  EXPECT_EQ(editor_->XStatusPanel->text(), "-3");
  EXPECT_EQ(editor_->YStatusPanel->text(), "-2");
  EXPECT_EQ(editor_->RStatusPanel->text(), "0");
  EXPECT_EQ(editor_->GStatusPanel->text(), "0");
  EXPECT_EQ(editor_->BStatusPanel->text(), "0");
}

TEST_F(GraphicsViewTest, MouseActionsAreRecordedAsScriptLines) {
  ASSERT_NE(OpenPicture(100, 80), nullptr);
  View()->SetZoom(4, 1);
  RecordingRecorder recorder;
  editor_->RecordingStarted(&recorder);

  const quill::TPoint start = DeviceOf({5, 6});
  Mouse(QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::LeftButton);
  Mouse(QEvent::MouseMove, {start.X + 1, start.Y}, Qt::NoButton, Qt::LeftButton);  // same pixel
  Mouse(QEvent::MouseMove, DeviceOf({6, 6}), Qt::NoButton, Qt::LeftButton);
  Mouse(QEvent::MouseMove, DeviceOf({6, 6}), Qt::NoButton, Qt::LeftButton);
  Mouse(QEvent::MouseButtonRelease, DeviceOf({7, 6}), Qt::LeftButton, Qt::NoButton);
  EXPECT_EQ(recorder.lines,
            (QStringList{"MouseCurvedMove Image, 5, 6", "MouseDown Image, 5, 6",
                         "MouseTo Image, 6, 6", "MouseUp Image, 7, 6", "Pause 0.5"}));

  recorder.lines.clear();
  recorder.recordMessages = true;
  Mouse(QEvent::MouseButtonPress, DeviceOf({1, 2}), Qt::RightButton, Qt::RightButton);
  Mouse(QEvent::MouseButtonPress, DeviceOf({1, 3}), Qt::MiddleButton,
        Qt::RightButton | Qt::MiddleButton);
  Mouse(QEvent::MouseButtonRelease, DeviceOf({1, 3}), Qt::MiddleButton, Qt::RightButton);
  Mouse(QEvent::MouseButtonRelease, DeviceOf({2, 3}), Qt::RightButton, Qt::NoButton);
  EXPECT_EQ(recorder.lines,
            (QStringList{"MouseCurvedMove Image, 1, 2", "Message \"Click\"",
                         "MouseRightDown Image, 1, 2", "MouseMove Image, 1, 3",
                         "Message \"Click\"", "Pause 0.5", "MouseRightUp Image, 2, 3",
                         "Pause 0.5"}));

  editor_->RecordingStopped();
  recorder.lines.clear();
  Mouse(QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::LeftButton);
  Mouse(QEvent::MouseButtonRelease, start, Qt::LeftButton, Qt::NoButton);
  EXPECT_TRUE(recorder.lines.isEmpty());
}

// The demo player behind the recorder: the lines land in its script at the record
// position, in the script's encoding, and only while it records.
TEST_F(GraphicsViewTest, ARecordingThroughTheDemoPlayerTakesTheEditorsAndTheViewsLines) {
  auto* tool = ZelApplication->NewComponent<InvertTool>();
  ASSERT_NE(OpenPicture(100, 80), nullptr);
  tool->Invert(View(), {0, 0, 10, 10});
  TZelDemoPlayback playback;
  playback.GetScript().GetScriptLines() = {"Pause 1"};
  playback.RecordMessages = false;
  QString messageText = QStringLiteral("Click");
  quill::TZelPlaybackRecorder recorder(playback, messageText);
  ASSERT_TRUE(playback.StartRecording(0));
  editor_->RecordingStarted(&recorder);

  editor_->ZoomInClick();
  View()->SetZoom(4, 1);
  Mouse(QEvent::MouseButtonPress, DeviceOf({5, 6}), Qt::LeftButton, Qt::LeftButton);
  Mouse(QEvent::MouseMove, DeviceOf({6, 7}), Qt::NoButton, Qt::LeftButton);
  Mouse(QEvent::MouseButtonRelease, DeviceOf({6, 7}), Qt::LeftButton, Qt::NoButton);
  editor_->UndoClick();
  EXPECT_FALSE(editor_->CanUndo());
  playback.RecordMessages = true;
  messageText = QStringLiteral("Wire");
  Mouse(QEvent::MouseButtonPress, DeviceOf({1, 2}), Qt::LeftButton, Qt::LeftButton);
  Mouse(QEvent::MouseButtonRelease, DeviceOf({1, 2}), Qt::LeftButton, Qt::NoButton);
  playback.RecordMessages = false;
  // A name beyond ASCII in a single-byte script: the system code page, 1252 here.
  editor_->formats.pictures[QStringLiteral("/photos/Z\u00fcrich.png")] = {MakePicture(8, 8), 2};
  TZelDocument* document = nullptr;
  ASSERT_TRUE(editor_->OpenFile(QStringLiteral("/photos/Z\u00fcrich.png"), document, false));
  const std::string size = std::to_string(View()->width()) + ", " + std::to_string(View()->height());
  playback.StopRecording();
  editor_->ZoomInClick();
  EXPECT_EQ(playback.GetScript().GetScriptLines(),
            (TZelDemoScript::TLines{
                "MouseCurvedMove ZoomIn", "ZoomIn", "MouseCurvedMove Image, 5, 6",
                "MouseDown Image, 5, 6", "MouseTo Image, 6, 7", "MouseUp Image, 6, 7", "Pause 0.5",
                "MouseCurvedMove Undo", "Undo", "MouseCurvedMove Image, 1, 2", "Message \"Wire\"",
                "MouseDown Image, 1, 2", "MouseUp Image, 1, 2", "Pause 0.5", "MouseCurvedMove Open",
                "ImageOpen \"Z\xFCrich.png\", " + size, "Pause 1"}));

  // A UTF-8 script takes the name in UTF-8.
  playback.GetScript().GetScriptLines().clear();
  playback.GetScript().Utf8 = true;
  ASSERT_TRUE(playback.StartRecording(-1));
  ASSERT_TRUE(editor_->OpenFile(QStringLiteral("/photos/Z\u00fcrich.png"), document, false));
  ASSERT_EQ(playback.GetScript().GetScriptLines().size(), 2u);
  EXPECT_EQ(playback.GetScript().GetScriptLines()[1], "ImageOpen \"Z\xC3\xBCrich.png\", " + size);
  playback.StopRecording();

  // A name the single-byte script's code page cannot hold turns the script into UTF-8,
  // the lines it had included, instead of losing characters.
  playback.GetScript().GetScriptLines() = {"Message \"Z\xFCrich\""};
  playback.GetScript().Utf8 = false;
  editor_->formats.pictures[QStringLiteral("/photos/\u03A9.png")] = {MakePicture(8, 8), 2};
  ASSERT_TRUE(playback.StartRecording(-1));
  ASSERT_TRUE(editor_->OpenFile(QStringLiteral("/photos/\u03A9.png"), document, false));
  EXPECT_TRUE(playback.GetScript().Utf8);
  EXPECT_EQ(playback.GetScript().GetScriptLines(),
            (TZelDemoScript::TLines{"Message \"Z\xC3\xBCrich\"", "MouseCurvedMove Open",
                                    "ImageOpen \"\xCE\xA9.png\", " + size}));
  editor_->RecordingStopped();
}

}  // namespace
}  // namespace quilltest
