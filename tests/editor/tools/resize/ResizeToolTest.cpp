// The resize tool: the proportional sides, their limits, the refusal of a picture too
// large (when resizing and when redoing), and undo and redo pixel-exact.

#include <gtest/gtest.h>

#include <QPushButton>
#include <QSpinBox>


#include "EditorTesting.h"
#include "Module.h"
#include "ZelProperties.h"
#include "ZelResizeTool.h"
#include "ZelToolPanelModule.h"

namespace quilltest {
namespace {

class ResizeToolTest : public EditorTest {
 protected:
  void SetUp() override {
    EditorTest::SetUp();
    ZelApplication->CreateComponent(ToolPanelModule);
    ZelApplication->CreateComponent(ResizeTool);
  }

  TZelGraphicsDocument* OpenPicture(int width, int height) {
    TZelGraphicsDocument* document = Open(QStringLiteral("/photos/s.png"), MakePicture(width, height));
    if (document != nullptr) ResizeTool->Select();
    return document;
  }
  static void Command(const QString& command, int32_t value) {
    TZelProperties params;
    params.SetInteger(1, value);
    bool handled = false;
    ResizeTool->ExecuteCommand(nullptr, command, handled, &params);
    EXPECT_TRUE(handled);
  }
  static void ExpectSize(int32_t width, int32_t height) {
    EXPECT_EQ(ResizeTool->NewWidth, width);
    EXPECT_EQ(ResizeTool->NewHeight, height);
    EXPECT_EQ(ResizeTool->Frame->WidthEdit->value(), width);
    EXPECT_EQ(ResizeTool->Frame->HeightEdit->value(), height);
  }
};

TEST_F(ResizeToolTest, TheProportionalSideFollowsAndStaysWithinLimits) {
  ASSERT_NE(OpenPicture(400, 300), nullptr);
  Command(QStringLiteral("RESIZEWIDTH"), 200);
  ExpectSize(200, 150);
  ResizeTool->Frame->WidthEdit->setValue(301);  // typed: 225.75 rounds to 226
  ExpectSize(301, 226);
  Command(QStringLiteral("RESIZEWIDTH"), 0);
  ExpectSize(1, 1);  // 0.75 rounds to 1
  // A negative size from a script is below 1 like 0, not a side too large.
  Command(QStringLiteral("RESIZEWIDTH"), 200);
  Command(QStringLiteral("RESIZEHEIGHT"), -5);
  ExpectSize(1, 1);
  ResizeTool->SetConstrainProportions(false);
  Command(QStringLiteral("RESIZEWIDTH"), 320);
  Command(QStringLiteral("RESIZEHEIGHT"), INT32_MIN);
  ExpectSize(320, 1);
  Command(QStringLiteral("RESIZEWIDTH"), -1);
  ExpectSize(1, 1);
  ResizeTool->SetNewWidth(400);
  ResizeTool->SetNewHeight(100);
  ResizeTool->SetConstrainProportions(true);
  ExpectSize(133, 100);
  ResizeTool->Frame->CancelButtonClick();
  ExpectSize(400, 300);
  ResizeTool->UpdateControls();
  EXPECT_FALSE(ResizeTool->Frame->OkButton->isEnabled());
  EXPECT_FALSE(ResizeTool->Frame->CancelButton->isEnabled());

  // A thin image: the proportional side would be 0, or beyond 32767, or overflow.
  ASSERT_NE(OpenPicture(100, 1), nullptr);
  Command(QStringLiteral("RESIZEWIDTH"), 10);
  ExpectSize(10, 1);
  ASSERT_NE(OpenPicture(1, 20000), nullptr);
  Command(QStringLiteral("RESIZEWIDTH"), 2);
  ExpectSize(2, 32767);
  Command(QStringLiteral("RESIZEWIDTH"), 32767);  // 20000 * 32767 does not fit 32 bits
  ExpectSize(32767, 32767);
}

// Through the script path: a fractional size rounds to the nearest, halves to even,
// and text gives the command's default; a Boolean is false for text, true for -1
// (the script's True) and its command's default without an argument; every target
// of the frame is found.
TEST_F(ResizeToolTest, ScriptCommandsAndTargetsFollowTheArgumentRules) {
  ASSERT_NE(OpenPicture(400, 300), nullptr);
  ResizeTool->SetConstrainProportions(false);
  RunScriptLine(*ResizeTool, "ResizeWidth 10.7");
  RunScriptLine(*ResizeTool, "ResizeHeight 20.5");
  ExpectSize(11, 20);
  RunScriptLine(*ResizeTool, "ResizeWidth 21.5");
  RunScriptLine(*ResizeTool, "ResizeHeight wide");
  ExpectSize(22, 100);

  RunScriptLine(*ResizeTool, "ResizeProportional");
  EXPECT_TRUE(ResizeTool->ConstrainProportions);
  RunScriptLine(*ResizeTool, "ResizeProportional yes");
  EXPECT_FALSE(ResizeTool->ConstrainProportions);
  RunScriptLine(*ResizeTool, "ResizeProportional -1");
  EXPECT_TRUE(ResizeTool->ConstrainProportions);
  RunScriptLine(*ResizeTool, "ResizeDisproportional");
  EXPECT_FALSE(ResizeTool->ConstrainProportions);
  RunScriptLine(*ResizeTool, "ResizeShowOptions 0.5");
  EXPECT_TRUE(ResizeTool->OptionsShown);
  RunScriptLine(*ResizeTool, "ResizeShowOptions false");
  EXPECT_FALSE(ResizeTool->OptionsShown);
  EXPECT_TRUE(RunScriptLine(*ResizeTool, "ResizeShowOptions"));

  for (const char* target : {"Resize", "ResizeWidth", "ResizeHeight", "ResizeProportions", "ResizePerform",
                             "ResizeCancel", "ResizeOptions"}) {
    EXPECT_TRUE(FindsScriptTarget(*ResizeTool, target)) << target;
  }
  EXPECT_FALSE(FindsScriptTarget(*ResizeTool, "ResizeDepth"));
}

TEST_F(ResizeToolTest, APictureTooLargeIsRefusedWithAMessageAndNoRecord) {
  TZelGraphicsDocument* document = OpenPicture(40, 30);
  ASSERT_NE(document, nullptr);
  ResizeTool->SetNewWidth(32767);
  ASSERT_EQ(ResizeTool->NewHeight, 24575);
  ResizeTool->Frame->OkButtonClick();
  EXPECT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(document->CurrentImage.GetBounds(), (quill::TRect{0, 0, 40, 30}));
  EXPECT_EQ(document->GetHistory().GetCount(), 0);
  EXPECT_TRUE(document->IsSaved());
}

TEST_F(ResizeToolTest, ARedoThatCannotMakeItsPictureLeavesHistoryAndDocumentAsTheyWere) {
  TZelGraphicsDocument* document = OpenPicture(40, 30);
  ASSERT_NE(document, nullptr);
  const QImage before = PicturePixels(document->GetCurrentPixels());
  // The record of a resize to a picture too large to be made, undone: its saved
  // images are the document's own.
  auto savedImage = std::make_unique<TZelLTBitmap>();
  auto savedOriginal = std::make_unique<TZelLTBitmap>();
  ASSERT_TRUE(savedImage->AssignPixels(document->GetCurrentPixels()));
  ASSERT_TRUE(savedOriginal->AssignPixels(document->GetOriginalPixels()));
  document->AddCommandState(std::make_unique<TZelResizeCommandState>(
      ResizeTool, document, document->GetBounds(), 32767, 24575, std::move(savedImage),
      std::move(savedOriginal), document->JPEG->GetGeometry()));
  editor_->UndoClick();
  ASSERT_TRUE(document->IsSaved());

  editor_->RedoClick();
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_TRUE(boxes_[0].Text.contains(QStringLiteral("32767 x 24575")));
  EXPECT_EQ(document->GetHistory().GetCursor(), 0);
  EXPECT_EQ(PicturePixels(document->GetCurrentPixels()), before);
  EXPECT_TRUE(document->IsSaved());
  // Redo all stops at the step it cannot redo.
  editor_->RedoAllClick();
  EXPECT_EQ(boxes_.size(), 2u);
  EXPECT_EQ(document->GetHistory().GetCursor(), 0);
}

TEST_F(ResizeToolTest, UndoGivesBothImagesAndTheSelectionBackExactly) {
  TZelGraphicsDocument* document = OpenPicture(120, 80);
  ASSERT_NE(document, nullptr);
  // An edited current image, so that it differs from the original.
  QImage edited = MakePicture(120, 80, 5);
  TZelPixels pixels;
  pixels.Attach({0, 0, 120, 80}, edited.bits(), static_cast<int32_t>(edited.bytesPerLine()), quill::kPixelFormat24);
  document->CurrentImage.GetPixels().CopyFrom(pixels);
  document->SyncCommittedCopy();
  const QImage current = PicturePixels(document->GetCurrentPixels());
  const QImage original = PicturePixels(document->GetOriginalPixels());
  document->SetSelection({10, 10, 50, 40});

  Command(QStringLiteral("RESIZEWIDTH"), 60);
  bool handled = false;
  ResizeTool->ExecuteCommand(nullptr, QStringLiteral("RESIZEPERFORM"), handled, nullptr);
  EXPECT_EQ(document->CurrentImage.GetBounds(), (quill::TRect{0, 0, 60, 40}));
  const QImage resized = PicturePixels(document->GetCurrentPixels());
  const QImage resizedOriginal = PicturePixels(document->GetOriginalPixels());
  EXPECT_NE(resized, resizedOriginal);
  EXPECT_EQ(document->GetBounds(), (quill::TRect{5, 5, 25, 20}));
  ExpectSize(60, 40);
  ASSERT_EQ(document->GetHistory().GetCount(), 1);

  editor_->UndoClick();
  EXPECT_EQ(PicturePixels(document->GetCurrentPixels()), current);
  EXPECT_EQ(PicturePixels(document->GetOriginalPixels()), original);
  EXPECT_EQ(PicturePixels(document->CommittedCopy), current);
  EXPECT_EQ(document->GetBounds(), (quill::TRect{10, 10, 50, 40}));
  editor_->RedoClick();
  EXPECT_EQ(PicturePixels(document->GetCurrentPixels()), resized);
  EXPECT_EQ(PicturePixels(document->GetOriginalPixels()), resizedOriginal);
}

}  // namespace
}  // namespace quilltest
