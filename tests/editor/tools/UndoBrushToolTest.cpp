// The undo brush in the running editor on the sample photo after a Wire Eraser stroke:
// full-strength dabs put the opened pixels back exactly and leave the rest as edited;
// dabs painted again within one stroke add nothing; one undo record, undone and redone
// byte for byte; a cancelled stroke leaves nothing. Its options through their script
// commands, targets and the settings file.

#include <gtest/gtest.h>

#include <QBuffer>
#include <QSlider>

#include <vector>

#include "DabShapes.h"
#include "Module.h"
#include "ToolTesting.h"
#include "ZelSDFReader.h"
#include "ZelSDFWriter.h"
#include "ZelUndoBrushTool.h"
#include "ZelWireEraserTool.h"

namespace quilltest {
namespace {

class UndoBrushToolTest : public BrushToolTest {
 protected:
  void SetUp() override {
    BrushToolTest::SetUp();
    ZelApplication->CreateComponent(UndoBrushTool);
    UndoBrushTool->SetOpacity(255);
    UndoBrushTool->SetHardness(255);
    tool_ = UndoBrushTool;
  }

  // A left-button stroke through the pointer driver, one mouse event per point.
  void Stroke(const std::vector<quill::TPoint>& points) {
    MoveTo(points.front());
    Buttons(MOUSEEVENTF_LEFTDOWN);
    for (size_t i = 1; i < points.size(); ++i) MoveTo(points[i]);
    Buttons(MOUSEEVENTF_LEFTUP);
  }

  int HistoryCount() const { return document_->GetHistory().GetCount(); }

  TZelUndoBrushTool* tool_ = nullptr;
};

// Whether every pixel of Rect is the same in A and B.
bool SameIn(const QImage& a, const QImage& b, const quill::TRect& rect) {
  for (int y = rect.Top; y < rect.Bottom; ++y) {
    for (int x = rect.Left; x < rect.Right; ++x) {
      if (a.pixel(x, y) != b.pixel(x, y)) return false;
    }
  }
  return true;
}

TEST_F(UndoBrushToolTest, PaintsTheOpenedPhotoBackOverAWireEraserStrokeAsOneUndoableStep) {
  ASSERT_NE(OpenSample(), nullptr);
  const QImage opened = Live();
  // A Wire Eraser stroke across the photo's middle.
  editor_->SetActiveTool(WireEraserTool);
  const int32_t row = opened.height() / 2;
  std::vector<quill::TPoint> across;
  for (int32_t x = 40; x <= 400; x += 8) across.push_back({x, row});
  Stroke(across);
  const QImage edited = Live();
  ASSERT_NE(edited, opened);

  // Full strength: the dabs' cores are the opened pixels, everything off the dabs stays
  // as edited, and the stroke is one record.
  editor_->SetActiveTool(tool_);
  tool_->SetSize(21);
  const int historyBefore = HistoryCount();
  Stroke({{120, row}, {128, row}, {136, row}, {144, row}, {152, row}, {160, row}});
  const QImage restored = Live();
  EXPECT_EQ(HistoryCount(), historyBefore + 1);
  EXPECT_TRUE(SameIn(restored, opened, {114, row - 6, 167, row + 7}));
  const quill::TRect stroke{110, row - 10, 171, row + 11};
  EXPECT_TRUE(SameIn(restored, edited, {0, 0, restored.width(), stroke.Top}));
  EXPECT_TRUE(SameIn(restored, edited, {0, stroke.Bottom, restored.width(), restored.height()}));
  EXPECT_TRUE(SameIn(restored, edited, {0, stroke.Top, stroke.Left, stroke.Bottom}));
  EXPECT_TRUE(SameIn(restored, edited, {stroke.Right, stroke.Top, restored.width(), stroke.Bottom}));
  EXPECT_NE(restored, edited);
  // Undone and redone byte for byte.
  editor_->UndoClick();
  EXPECT_EQ(Live(), edited);
  editor_->RedoClick();
  EXPECT_EQ(Live(), restored);
  editor_->UndoClick();

  // Half strength: dabs painted again within the stroke do not go further.
  tool_->SetOpacity(128);
  tool_->SetHardness(128);
  Stroke({{200, row}, {212, row}});
  const QImage once = Live();
  EXPECT_NE(once, edited);
  editor_->UndoClick();
  Stroke({{200, row}, {212, row}, {200, row}, {212, row}, {200, row}});
  EXPECT_EQ(Live(), once);
  editor_->UndoClick();

  // A stroke cancelled under way leaves the image and the history as they were, also
  // after the button comes up.
  const int historyEdited = HistoryCount();
  MoveTo({300, row});
  Buttons(MOUSEEVENTF_LEFTDOWN);
  MoveTo({320, row});
  ASSERT_NE(Live(), edited);
  tool_->CancelOperation();
  EXPECT_EQ(Live(), edited);
  MoveTo({340, row});
  Buttons(MOUSEEVENTF_LEFTUP);
  EXPECT_EQ(Live(), edited);
  EXPECT_EQ(HistoryCount(), historyEdited);
  EXPECT_FALSE(document_->Running);
}

TEST_F(UndoBrushToolTest, ScriptCommandsTargetsAndSettings) {
  // The options link: shown and hidden, with the defaults and an explicit switch, each
  // change recorded as a move to the link and the command.
  tool_->RecordingStarted(&recorder_);
  Command(tool_, QStringLiteral("UNDOBRUSHSHOWOPTIONS"), 1);
  EXPECT_TRUE(tool_->OptionsShown);
  EXPECT_FALSE(tool_->Frame->HardnessTrackBar->isHidden());
  Command(tool_, QStringLiteral("UNDOBRUSHSHOWOPTIONS"), 0);
  EXPECT_FALSE(tool_->OptionsShown);
  EXPECT_TRUE(tool_->Frame->HardnessTrackBar->isHidden());
  EXPECT_TRUE(tool_->Frame->PreviewAlignmentPanel->isHidden());
  bool handled = false;
  tool_->ExecuteCommand(nullptr, QStringLiteral("UNDOBRUSHSHOWOPTIONS"), handled, nullptr);
  EXPECT_TRUE(handled && tool_->OptionsShown);
  EXPECT_EQ(recorder_.lines.mid(0, 2),
            (QStringList{QStringLiteral("MouseCurvedMove UndoBrushOptions"), QStringLiteral("UndoBrushShowOptions")}));
  EXPECT_EQ(recorder_.lines.at(3), QStringLiteral("UndoBrushHideOptions"));

  // The brush's options, kept to their ranges, and the sliders follow.
  Command(tool_, QStringLiteral("UNDOBRUSHSIZE"), 33);
  Command(tool_, QStringLiteral("UNDOBRUSHSIZE"), 51);
  Command(tool_, QStringLiteral("UNDOBRUSHOPACITY"), 90);
  Command(tool_, QStringLiteral("UNDOBRUSHHARDNESS"), 40);
  Command(tool_, QStringLiteral("UNDOBRUSHHARDNESS"), "soft");
  EXPECT_EQ(tool_->Size, 33);
  EXPECT_EQ(tool_->Opacity, 90);
  EXPECT_EQ(tool_->Hardness, 40);
  EXPECT_EQ(tool_->Frame->SizeTrackBar->value(), 33);
  EXPECT_EQ(tool_->Frame->OpacityTrackBar->value(), 90);
  EXPECT_TRUE(recorder_.lines.contains(QStringLiteral("UndoBrushOpacity 90")));

  // Targets: the button, the link and a slider.
  editor_->SetActiveTool(tool_);
  ProcessEvents();
  for (const char* target : {"UndoBrush", "undobrushoptions", "UndoBrushHardness", "UndoBrushSize",
                             "UndoBrushOpacity"}) {
    EXPECT_TRUE(FindsScriptTarget(*tool_, target)) << target;
  }
  // The options switch reads its argument as a Boolean: text is off, -1 on.
  RunScriptLine(*tool_, "UndoBrushShowOptions shown");
  EXPECT_FALSE(tool_->OptionsShown);
  RunScriptLine(*tool_, "UndoBrushShowOptions -1");
  EXPECT_TRUE(tool_->OptionsShown);

  // The settings: saved and read back; a node without the options switch keeps it.
  QBuffer saved;
  saved.open(QIODevice::WriteOnly);
  {
    TZelSDFWriter writer(&saved, false);
    tool_->SaveState(writer);
  }
  tool_->SetSize(10);
  tool_->SetOpacity(255);
  tool_->SetHardness(255);
  tool_->SetOptionsShown(false);
  {
    auto* buffer = new QBuffer();
    buffer->setData(saved.data());
    buffer->open(QIODevice::ReadOnly);
    TZelSDFReader reader(buffer, true);
    tool_->LoadState(reader);
  }
  EXPECT_EQ(tool_->Size, 33);
  EXPECT_EQ(tool_->Opacity, 90);
  EXPECT_EQ(tool_->Hardness, 40);
  EXPECT_TRUE(tool_->OptionsShown);
  QBuffer partial;
  partial.open(QIODevice::WriteOnly);
  {
    TZelSDFWriter writer(&partial, false);
    writer.BeginGuidNode(1, TZelUndoBrushTool::kSettingsGuid);
    writer.WriteInteger(1, 12);
    writer.EndNode();
  }
  {
    auto* buffer = new QBuffer();
    buffer->setData(partial.data());
    buffer->open(QIODevice::ReadOnly);
    TZelSDFReader reader(buffer, true);
    tool_->LoadState(reader);
  }
  EXPECT_EQ(tool_->Size, 12);
  EXPECT_EQ(tool_->Opacity, 90);
  EXPECT_TRUE(tool_->OptionsShown);
}

}  // namespace
}  // namespace quilltest
