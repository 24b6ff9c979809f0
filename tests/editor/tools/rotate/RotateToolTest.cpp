// The rotate tool on a document: its operations through script commands and the frame,
// undo and redo pixel-exact, the preview, and the guards of every entry point.

#include <gtest/gtest.h>

#include <QPushButton>
#include <QRadioButton>

#include "EditorTesting.h"
#include "Module.h"
#include "ZelResizeTool.h"
#include "ZelRotateTool.h"
#include "ZelToolPanelModule.h"

namespace quilltest {
namespace {

class RotateToolTest : public EditorTest {
 protected:
  void SetUp() override {
    EditorTest::SetUp();
    ZelApplication->CreateComponent(ToolPanelModule);
    ZelApplication->CreateComponent(RotateTool);
    ZelApplication->CreateComponent(ResizeTool);
  }

  void Command(const QString& command) {
    bool handled = false;
    RotateTool->ExecuteCommand(nullptr, command, handled, nullptr);
    EXPECT_TRUE(handled) << qPrintable(command);
  }
  static QImage Current(TZelGraphicsDocument& document) {
    return PicturePixels(document.GetCurrentPixels());
  }
};

TEST_F(RotateToolTest, TurnsAndFlipsUndoAndRedoPixelExact) {
  TZelGraphicsDocument* document = Open(QStringLiteral("/photos/r.png"), MakePicture(300, 200));
  ASSERT_NE(document, nullptr);
  const QImage before = Current(*document);
  QTransform left;
  left.rotate(-90);

  Command(QStringLiteral("ROTATIONLEFT"));
  EXPECT_EQ(Current(*document), before.transformed(left));
  EXPECT_EQ(PicturePixels(document->GetOriginalPixels()), before.transformed(left));
  EXPECT_FALSE(document->IsSaved());
  editor_->UndoClick();
  EXPECT_EQ(Current(*document), before);
  EXPECT_EQ(PicturePixels(document->GetOriginalPixels()), before);
  editor_->RedoClick();
  EXPECT_EQ(Current(*document), before.transformed(left));
  editor_->UndoClick();

  // Each flip is its own step; two flips give the image back.
  RotateTool->Frame->FlipHorizontalButtonClick();
  EXPECT_EQ(Current(*document), before.mirrored(true, false));
  RotateTool->Frame->FlipHorizontalButtonClick();
  EXPECT_EQ(Current(*document), before);
  EXPECT_EQ(document->GetHistory().GetCount(), 2);

  // The options: checking a choice turns only the preview; Perform does it.
  Command(QStringLiteral("ROTATION"));
  Command(QStringLiteral("ROTATIONSHOWOPTIONS"));
  Command(QStringLiteral("ROTATIONVERTICALOPTION"));
  TZelRotateFrame& frame = *RotateTool->Frame;
  EXPECT_TRUE(frame.FlipVerticalRadioButton->isChecked());
  EXPECT_EQ(frame.RotateButton->text(), frame.FlipVerticalRadioButton->text());
  EXPECT_EQ(Current(*document), before);
  ASSERT_NE(frame.SourceBitmap, nullptr);
  ASSERT_NE(frame.PreviewBitmap, nullptr);
  TZelLTBitmap flipped;
  ASSERT_TRUE(flipped.AssignPixels(frame.SourceBitmap->GetPixels()));
  flipped.FlipVertical();
  EXPECT_EQ(PicturePixels(frame.PreviewBitmap->GetPixels()), PicturePixels(flipped.GetPixels()));
  Command(QStringLiteral("ROTATIONPERFORM"));
  EXPECT_EQ(Current(*document), before.mirrored(false, true));
}

// Buttons are disabled without a document and in plug-in mode; script commands reach
// the same operations and must be refused there too.
TEST_F(RotateToolTest, ScriptCommandsDoNothingWhereTheButtonsAreDisabled) {
  Command(QStringLiteral("ROTATIONRIGHT"));
  Command(QStringLiteral("ROTATIONPERFORM"));
  bool handled = false;
  ResizeTool->ExecuteCommand(nullptr, QStringLiteral("RESIZEPERFORM"), handled, nullptr);
  EXPECT_TRUE(boxes_.empty());

  TZelGraphicsDocument* document = Open(QStringLiteral("/photos/r.png"), MakePicture(30, 20));
  ASSERT_NE(document, nullptr);
  editor_->SetPluginMode(true);
  RotateTool->DocumentOpened(document);
  ResizeTool->DocumentOpened(document);
  EXPECT_FALSE(RotateTool->Available);
  EXPECT_FALSE(RotateTool->Button->isVisible());
  Command(QStringLiteral("ROTATIONRIGHT"));
  ResizeTool->SetNewWidth(10);
  ResizeTool->Perform();
  EXPECT_EQ(document->CurrentImage.GetBounds(), (quill::TRect{0, 0, 30, 20}));
  EXPECT_EQ(document->GetHistory().GetCount(), 0);
}

}  // namespace
}  // namespace quilltest
