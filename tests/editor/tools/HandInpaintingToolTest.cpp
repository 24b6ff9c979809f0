// Hand Inpainting in the running editor: a fill marked and pointed at through the demo
// player's pointer driver on the sample photo gives the patch-fill driver's very
// pixels; confirm, cancel, undo and redo; a save with a fill open, which confirms it
// first; the orientation steps; the faults kept out
// (a size change while filling, previews sized before layout, the engine outliving
// its document, Cancel after a fill beside the image, Cancel or a close while filling
// touching the history); the pointer keys; the options
// through their commands and controls, recorded.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QRegularExpression>
#include <QSlider>
#include <QPushButton>
#include <QToolButton>

#include <functional>
#include <utility>
#include <vector>

#include "Module.h"
#include "ToolTesting.h"
#include "ZelHandInpaintingTool.h"
#include "ZelJPEGOptionsForm.h"

namespace quilltest {
namespace {

// The sample's cable near its lower end, and clean backdrop below it.
constexpr quill::TPoint kArea{340, 58};
constexpr quill::TPoint kSource{340, 110};
constexpr int32_t kSize = 30;

class HandInpaintingToolTest : public BrushToolTest {
 protected:
  void SetUp() override {
    BrushToolTest::SetUp();
    tool_ = HandInpaintingTool;
    editor_->SetActiveTool(tool_);
  }

  void Click() { Buttons(MOUSEEVENTF_LEFTDOWN | MOUSEEVENTF_LEFTUP); }

  // Marks the area around Area, fills it from around Source and confirms it.
  void FillAndConfirm(const quill::TPoint& area, const quill::TPoint& source) {
    MoveTo(area);
    Click();
    MoveTo(source);
    Click();
    ASSERT_FALSE(tool_->Filling);
  }

  // Marks the sample's area and fills it, unconfirmed, from beside the usual source.
  void StartFill() {
    MoveTo(kArea);
    Click();
    MoveTo({kSource.X + 40, kSource.Y});
    ASSERT_TRUE(tool_->Filling);
  }

  // The fill was dropped: back to marking, Image shown, the history's Count records
  // and its redo step untouched.
  void ExpectFillDropped(const QImage& image, int count) {
    EXPECT_FALSE(tool_->Filling);
    EXPECT_EQ(Live(), image);
    EXPECT_EQ(document_->GetHistory().GetCount(), count);
    EXPECT_TRUE(editor_->CanRedo());
  }

  // The patch-fill driver's picture for the sample's area and source with Options;
  // Orientation gets the orientation it chose.
  QImage DriverFill(const QStringList& options, int* orientation = nullptr) {
    const QString patched = scratch_.filePath(QStringLiteral("patched.png"));
    const QString output = RunDriver(
        QStringLiteral(QUILL_PATCH_FILL),
        QStringList{QStringLiteral(QUILL_IMAGES_DIR "/astronaut-wire.png"), patched, "--area",
                    QStringLiteral("%1,%2,%3").arg(kArea.X).arg(kArea.Y).arg(kSize), "--source",
                    QStringLiteral("%1,%2").arg(kSource.X).arg(kSource.Y)} +
            options);
    const QRegularExpressionMatch match = QRegularExpression("orientation (\\d)").match(output);
    if (orientation != nullptr) *orientation = match.hasMatch() ? match.captured(1).toInt() : -1;
    return ReadPicture(patched);
  }

  TZelHandInpaintingTool* tool_ = nullptr;
};

TEST_F(HandInpaintingToolTest, AFillOverTheSampleCableGivesTheDriversPixelsAndConfirmsAsOneRecord) {
  ASSERT_NE(OpenSample(), nullptr);
  Command(tool_, QStringLiteral("HANDINPAINTINGSIZE"), kSize);
  ASSERT_EQ(tool_->Size, kSize);
  const QImage before = Live();
  MoveTo(kArea);
  Click();
  ASSERT_TRUE(tool_->Filling);
  EXPECT_EQ(Live(), before);  // marking alone changes nothing
  MoveTo(kSource);

  int orientation = -1;
  const QImage expected = DriverFill({}, &orientation);
  ASSERT_FALSE(expected.isNull());
  ASSERT_NE(expected, before);
  EXPECT_EQ(Live(), expected);
  EXPECT_EQ(tool_->Reflection, orientation);
  EXPECT_TRUE(tool_->Frame->ReflectionButtons[tool_->Reflection]->isChecked());

  Click();  // confirms
  EXPECT_FALSE(tool_->Filling);
  EXPECT_EQ(Live(), expected);
  ASSERT_EQ(document_->GetHistory().GetCount(), 1);
  editor_->UndoClick();
  EXPECT_EQ(Live(), before);
  editor_->RedoClick();
  EXPECT_EQ(Live(), expected);

  // A second fill cancelled leaves the first one and its record as they were.
  MoveTo(kArea);
  Click();
  MoveTo({kSource.X + 40, kSource.Y});
  ASSERT_NE(Live(), expected);
  tool_->Cancel();
  EXPECT_FALSE(tool_->Filling);
  EXPECT_EQ(Live(), expected);
  editor_->UndoClick();
  EXPECT_EQ(Live(), before);
}

// Each way to cancel a running fill drops it and leaves the history, its redo step
// included, as it was: Redo still brings back the undone fill, not the cancelled one.
TEST_F(HandInpaintingToolTest, CancelWhileFillingKeepsTheRedoSteps) {
  ASSERT_NE(OpenSample(), nullptr);
  const QImage opened = Live();
  FillAndConfirm(kArea, kSource);
  const QImage confirmed = Live();
  editor_->UndoClick();
  ASSERT_TRUE(editor_->CanRedo());

  const std::vector<std::pair<const char*, std::function<void()>>> cancels = {
      {"the Cancel button", [&] { tool_->Frame->CancelTBXButton->click(); }},
      {"Esc", [&] { View()->KeyDown(quill::VK_ESCAPE, 0); }},
      {"Ctrl+Z", [&] { View()->KeyDown('Z', quill::ssCtrl); }},
      {"the script", [&] { Command(tool_, QStringLiteral("HANDINPAINTINGCANCELBUTTON"), 0); }},
      {"a stopped demo", [&] { tool_->CancelPendingWork(); }}};
  for (const auto& [name, cancel] : cancels) {
    SCOPED_TRACE(name);
    StartFill();
    ASSERT_NE(Live(), opened);
    cancel();
    ExpectFillDropped(opened, 1);
  }
  editor_->RedoClick();
  EXPECT_EQ(Live(), confirmed);
}

// The tools hear of a close before the save question: an unconfirmed fill must be gone
// by then, so Yes cannot save it and Cancel finds the history as it was.
TEST_F(HandInpaintingToolTest, ClosingWithAFillOpenDropsItBeforeTheSaveQuestion) {
  ASSERT_NE(OpenSample(), nullptr);
  FillAndConfirm(kArea, kSource);
  const QImage first = Live();
  FillAndConfirm({kArea.X - 60, kArea.Y + 100}, {kSource.X - 60, kSource.Y + 100});
  const QImage second = Live();
  editor_->UndoClick();
  ASSERT_EQ(Live(), first);

  StartFill();
  ASSERT_NE(Live(), first);
  QImage atQuestion;
  answer_ = [&](const QString&, uint32_t) {
    atQuestion = Live();
    return quill::IDCANCEL;
  };
  editor_->CloseClick();
  ProcessEvents();
  ASSERT_EQ(editor_->GetDocumentCount(), 1);
  EXPECT_EQ(atQuestion, first);  // what Yes would save
  ExpectFillDropped(first, 2);
  editor_->RedoClick();
  EXPECT_EQ(Live(), second);
}

// A save with a fill open writes what the window shows: the fill, confirmed first as
// one undo step. Esc then has nothing to cancel, and only stepping away from the saved
// step makes closing ask.
TEST_F(HandInpaintingToolTest, SavingWithAFillOpenConfirmsItAndSavesWhatTheWindowShows) {
  ASSERT_NE(OpenSample(), nullptr);
  const QImage opened = Live();
  StartFill();
  const QImage filled = Live();
  ASSERT_NE(filled, opened);

  EXPECT_EQ(SaveAsPng(scratch_.filePath(QStringLiteral("filled.png"))), filled);
  EXPECT_FALSE(tool_->Filling);
  EXPECT_EQ(document_->GetHistory().GetCount(), 1);
  EXPECT_TRUE(document_->IsSaved());
  View()->KeyDown(quill::VK_ESCAPE, 0);
  EXPECT_EQ(Live(), filled);
  EXPECT_TRUE(document_->IsSaved());
  // A later fill cancelled leaves the window as the file.
  StartFill();
  View()->KeyDown(quill::VK_ESCAPE, 0);
  EXPECT_EQ(Live(), filled);
  EXPECT_TRUE(document_->IsSaved());
  ExpectClosingAsksOnlyAwayFromTheSave(opened, filled);
}

// A save cancelled on the way (the JPEG quality question) confirms nothing: the fill
// stays open. A save whose write fails keeps the confirmed fill, and closing asks.
TEST_F(HandInpaintingToolTest, ASaveThatWritesNothingLeavesTheFillOpenOrTheDocumentModified) {
  ASSERT_NE(OpenSample(), nullptr);
  StartFill();
  const QImage filled = Live();
  editor_->realFormats = true;
  quill::SetJPEGQualityAsker([](int32_t&) { return false; });
  EXPECT_FALSE(SaveAs(1, scratch_.filePath(QStringLiteral("asked.jpg"))));
  quill::SetJPEGQualityAsker({});
  EXPECT_TRUE(tool_->Filling);
  EXPECT_EQ(document_->GetHistory().GetCount(), 0);

  EXPECT_FALSE(SaveAs(3, scratch_.filePath(QStringLiteral("no-such-folder/filled.png"))));
  EXPECT_FALSE(tool_->Filling);
  EXPECT_EQ(Live(), filled);
  EXPECT_EQ(document_->GetHistory().GetCount(), 1);
  EXPECT_FALSE(document_->IsSaved());
}

TEST_F(HandInpaintingToolTest, TheChosenOrientationModeAndBlendGiveTheDriversPixels) {
  ASSERT_NE(OpenSample(), nullptr);
  Command(tool_, QStringLiteral("HANDINPAINTINGSIZE"), kSize);
  Command(tool_, QStringLiteral("HANDINPAINTINGAUTOREFLECTION"), 0);
  Command(tool_, QStringLiteral("HANDINPAINTINGAREAREFLECTION"), 7);
  Command(tool_, QStringLiteral("HANDINPAINTINGADJUSTMENT"), 1);
  Command(tool_, QStringLiteral("HANDINPAINTINGANTIALIASING"), 0);
  Command(tool_, QStringLiteral("HANDINPAINTINGLONGDEFECT"), 0);
  Command(tool_, QStringLiteral("HANDINPAINTINGAREAREFLECTION"), 8);  // no such orientation
  Command(tool_, QStringLiteral("HANDINPAINTINGADJUSTMENT"), "color");
  EXPECT_EQ(tool_->Reflection, 7);
  EXPECT_EQ(tool_->Adjustment, 1);
  EXPECT_FALSE(tool_->Frame->AdjustmentTBXCheckBox->isChecked());
  MoveTo(kArea);
  Click();
  MoveTo(kSource);
  // A further step up stays at 7; Ctrl+Down steps down and fills again.
  tool_->StepReflection(1);
  EXPECT_EQ(tool_->Reflection, 7);
  EXPECT_EQ(Live(), DriverFill({"--orientation", "7", "--mode", "1", "--no-blend", "--no-long-defect"}));
  View()->KeyDown(quill::VK_DOWN, quill::ssCtrl);
  EXPECT_EQ(tool_->Reflection, 6);
  EXPECT_EQ(Live(), DriverFill({"--orientation", "6", "--mode", "1", "--no-blend", "--no-long-defect"}));
  // With AutoReflection on, steps change nothing.
  Command(tool_, QStringLiteral("HANDINPAINTINGAUTOREFLECTION"), 1);
  const uint8_t chosen = tool_->Reflection;
  View()->KeyDown(quill::VK_UP, quill::ssCtrl);
  EXPECT_EQ(tool_->Reflection, chosen);
}

// Through the script path: the brush tools' commands take a number, halves rounded
// to even, and ignore a text argument; the frame's controls and the eight
// orientation buttons are found as targets.
TEST_F(HandInpaintingToolTest, ScriptCommandsIgnoreTextAndTheOrientationButtonsAreTargets) {
  ASSERT_NE(OpenSample(), nullptr);
  RunScriptLine(*tool_, "HandInpaintingAreaReflection 2.5");
  EXPECT_EQ(tool_->Reflection, 2);
  RunScriptLine(*tool_, "HandInpaintingAreaReflection 3.5");
  EXPECT_EQ(tool_->Reflection, 4);
  RunScriptLine(*tool_, "HandInpaintingAreaReflection west");
  EXPECT_EQ(tool_->Reflection, 4);
  RunScriptLine(*tool_, "HandInpaintingLongDefect no");
  EXPECT_TRUE(tool_->LongDefect);
  RunScriptLine(*tool_, "HandInpaintingLongDefect false");
  EXPECT_FALSE(tool_->LongDefect);
  RunScriptLine(*tool_, "HandInpaintingLongDefect -1");
  EXPECT_TRUE(tool_->LongDefect);

  for (const char* target : {"HandInpainting", "HandInpaintingAdjustment", "HandInpaintingAutoReflection",
                             "HandInpaintingLongDefect", "HandInpaintingAntiAliasing", "HandInpaintingarWestSpeedButton",
                             "HandInpaintingArNorthReflexSpeedButton", "HandInpaintingSize"}) {
    EXPECT_TRUE(FindsScriptTarget(*tool_, target)) << target;
  }
  EXPECT_FALSE(FindsScriptTarget(*tool_, "HandInpaintingarUpSpeedButton"));
}

TEST_F(HandInpaintingToolTest, TheSizeStaysWhileFillingAndThePreviewsAreSizedBeforeLayout) {
  // Opened before the frame was ever shown or laid out: the design widths size it.
  ASSERT_NE(OpenSample(), nullptr);
  EXPECT_EQ(tool_->TargetBitmap.width(), 40);  // 240 / 6: at most six times
  MoveTo(kArea);
  Click();
  ASSERT_TRUE(tool_->Filling);
  Command(tool_, QStringLiteral("HANDINPAINTINGSIZE"), 100);
  tool_->Frame->SizeTrackBar->setValue(90);
  EXPECT_EQ(tool_->Size, 25);
  EXPECT_EQ(tool_->Frame->SizeTrackBar->value(), 25);
  EXPECT_EQ(tool_->TargetBitmap.width(), 40);
  MoveTo(kSource);  // renders into the preview as laid out for Size 25
  tool_->Cancel();
  Command(tool_, QStringLiteral("HANDINPAINTINGSIZE"), 100);
  EXPECT_EQ(tool_->Size, 100);
  EXPECT_EQ(tool_->TargetBitmap.width(), 120);  // 240 / 2
  MoveTo(kArea);
  Click();
  MoveTo(kSource);
  tool_->ToggleFillState();
}

TEST_F(HandInpaintingToolTest, ClosingTheDocumentFreesTheEngineAndAFillBesideTheImageKeepsTheHistory) {
  ASSERT_NE(OpenSample(), nullptr);
  MoveTo(kArea);
  Click();
  MoveTo(kSource);
  ASSERT_TRUE(tool_->AreaFill.Marked());
  answer_ = [](const QString&, uint32_t) { return quill::IDNO; };
  editor_->CloseClick();
  ProcessEvents();
  EXPECT_FALSE(tool_->AreaFill.Marked());
  EXPECT_FALSE(tool_->Filling);

  ASSERT_NE(OpenSample(), nullptr);
  MoveTo(kArea);
  Click();
  MoveTo(kSource);
  Click();
  const QImage filled = Live();
  ASSERT_EQ(document_->GetHistory().GetCount(), 1);
  // An area wholly beside the image: no engine, nothing filled, and Cancel must not
  // undo the fill before it.
  tool_->Pointer = {-200, -200};
  tool_->ToggleFillState();
  EXPECT_TRUE(tool_->Filling);
  tool_->Pointer = kSource;
  tool_->UpdateFill();
  tool_->Cancel();
  EXPECT_EQ(Live(), filled);
  EXPECT_EQ(document_->GetHistory().GetCount(), 1);
  EXPECT_TRUE(editor_->CanUndo());
  // In the marking state the script's Cancel undoes the last edit.
  Command(tool_, QStringLiteral("HANDINPAINTINGCANCELBUTTON"), 0);
  EXPECT_NE(Live(), filled);
}

TEST_F(HandInpaintingToolTest, ThePointerKeysMoveThePointerThroughTheDriver) {
  ASSERT_NE(OpenSample(), nullptr);
  quill::RecordingPointerDriver recording;
  recording.Position = {500, 400};
  tool_->Driver = &recording;
  View()->KeyDown(quill::VK_RIGHT, 0);
  View()->KeyDown(quill::VK_PRIOR, quill::ssShift);
  View()->KeyDown(0x24, 0);  // Home
  View()->KeyDown(quill::VK_DOWN, quill::ssShift);
  std::vector<quill::TPoint> moves;
  for (const auto& event : recording.Of(quill::RecordingPointerDriver::Kind::Move)) moves.push_back(event.Point);
  EXPECT_EQ(moves, (std::vector<quill::TPoint>{{501, 400}, {506, 395}, {505, 394}, {505, 399}}));
  // Esc does nothing while marking; Enter marks, Esc cancels.
  const QImage before = Live();
  MoveTo(kArea);
  EXPECT_TRUE(View()->KeyDown(quill::VK_ESCAPE, 0));
  EXPECT_FALSE(tool_->Filling);
  View()->KeyDown(quill::VK_RETURN, 0);
  EXPECT_TRUE(tool_->Filling);
  MoveTo(kSource);
  View()->KeyDown(quill::VK_ESCAPE, 0);
  EXPECT_FALSE(tool_->Filling);
  EXPECT_EQ(Live(), before);
}

TEST_F(HandInpaintingToolTest, TheFramesControlsAreRecorded) {
  ASSERT_NE(OpenSample(), nullptr);
  tool_->RecordingStarted(&recorder_);
  tool_->Frame->AdjustmentTBXCheckBox->setChecked(false);
  tool_->Frame->LongDefectTBXCheckBox->setChecked(false);
  tool_->Frame->AutoReflectionTBXCheckBox->setChecked(false);
  tool_->Frame->ReflectionButtons[3]->click();
  EXPECT_EQ(tool_->Adjustment, 0);
  EXPECT_FALSE(tool_->LongDefect);
  EXPECT_FALSE(tool_->AutoReflection);
  EXPECT_EQ(tool_->Reflection, 3);
  EXPECT_EQ(recorder_.lines,
            (QStringList{"MouseCurvedMove HandInpaintingAdjustment", "HandInpaintingAdjustment 0",
                         "MouseCurvedMove HandInpaintingLongDefect", "HandInpaintingLongDefect 0",
                         "MouseCurvedMove HandInpaintingAutoReflection", "HandInpaintingAutoReflection 0",
                         "MouseCurvedMove HandInpaintingarEastReflexSpeedButton",
                         "HandInpaintingAreaReflection 3"}));
  tool_->RecordingStopped();
}

}  // namespace
}  // namespace quilltest
