// The tools with a button and an option frame: the tool panel owns the frames, so a
// tool and the panel may go in either order; a frame left behind by its tool no longer
// reaches it. Which tools may work in plug-in mode is the same for every entry point.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QPointer>
#include <QPushButton>
#include <QSlider>
#include <QToolButton>

#include <initializer_list>

#include "EditorTesting.h"
#include "Module.h"
#include "ZelBrightnessContrastTool.h"
#include "ZelCrop2Tool.h"
#include "ZelHandInpaintingTool.h"
#include "ZelResizeTool.h"
#include "ZelRotateTool.h"
#include "ZelTextTool.h"
#include "ZelToolPanelModule.h"
#include "ZelToolSupport.h"
#include "ZelUndoBrushTool.h"
#include "ZelWireEraserTool.h"

namespace quilltest {
namespace {

class FramedToolTest : public EditorTest {
 protected:
  void SetUp() override {
    EditorTest::SetUp();
    ZelApplication->CreateComponent(ToolPanelModule);
    ZelApplication->CreateComponent(WireEraserTool);
    ZelApplication->CreateComponent(HandInpaintingTool);
    ZelApplication->CreateComponent(UndoBrushTool);
    ZelApplication->CreateComponent(RotateTool);
    ZelApplication->CreateComponent(ResizeTool);
    ZelApplication->CreateComponent(Crop2Tool);
    brightness_ = ZelApplication->NewComponent<TZelBrightnessContrastTool>();
    text_ = ZelApplication->NewComponent<TZelTextTool>();
  }
  void TearDown() override {
    EditorTest::TearDown();
    ToolPanelModule = nullptr;
  }

  TZelBrightnessContrastTool* brightness_ = nullptr;
  TZelTextTool* text_ = nullptr;
};

// Freeing a tool while the program runs leaves its frame in the panel; the frame's
// controls, used afterwards, must not call into the tool that is gone.
TEST_F(FramedToolTest, AToolGoneLeavesItsFrameToThePanelAndOutOfReach) {
  const QPointer<TZelWireEraserFrame> wire = WireEraserTool->Frame;
  const QPointer<TZelHandInpaintingFrame> patch = HandInpaintingTool->Frame;
  const QPointer<TZelUndoBrushFrame> undo = UndoBrushTool->Frame;
  const QPointer<TZelRotateFrame> rotate = RotateTool->Frame;
  delete WireEraserTool;
  delete HandInpaintingTool;
  delete UndoBrushTool;
  delete RotateTool;
  WireEraserTool = nullptr;
  HandInpaintingTool = nullptr;
  UndoBrushTool = nullptr;
  RotateTool = nullptr;

  ASSERT_NE(wire, nullptr);
  ASSERT_NE(patch, nullptr);
  ASSERT_NE(undo, nullptr);
  ASSERT_NE(rotate, nullptr);
  wire->TrialModeCheckBox->toggle();
  wire->BackgroundNoiseTrackBar->setValue(wire->BackgroundNoiseTrackBar->value() + 1);
  wire->SizeTrackBar->setValue(wire->SizeTrackBar->value() + 1);
  patch->LongDefectTBXCheckBox->toggle();
  patch->CancelTBXButton->click();
  patch->TargetImage->grab();  // paints without the tool's picture
  undo->ShowOptions->click();
  undo->PreviewPaintBox->grab();
  undo->OpacityTrackBar->setValue(undo->OpacityTrackBar->value() - 1);
  rotate->RotateRightButton->click();
}

// At exit the panel may be freed before the tools: they then hold no frame, and free
// nothing of it a second time.
TEST_F(FramedToolTest, ThePanelFreedFirstLeavesEveryToolWithoutAFrame) {
  delete ToolPanelModule;
  ToolPanelModule = nullptr;
  EXPECT_TRUE(WireEraserTool->Frame == nullptr);
  EXPECT_TRUE(HandInpaintingTool->Frame == nullptr);
  EXPECT_TRUE(UndoBrushTool->Frame == nullptr);
  EXPECT_TRUE(RotateTool->Frame == nullptr);
  EXPECT_TRUE(ResizeTool->Frame == nullptr);
  EXPECT_TRUE(Crop2Tool->Frame == nullptr);
  EXPECT_TRUE(brightness_->Frame == nullptr);
  EXPECT_TRUE(text_->Frame == nullptr);
  delete WireEraserTool;
  delete HandInpaintingTool;
  delete UndoBrushTool;
  WireEraserTool = nullptr;
  HandInpaintingTool = nullptr;
  UndoBrushTool = nullptr;
}

// Plug-in mode withdraws the tools that are not plug-in capable, except brightness
// and contrast, which stays; the one check every entry point asks agrees.
TEST_F(FramedToolTest, PlugInModeWithdrawsTheSameToolsFromEveryEntryPoint) {
  TZelGraphicsDocument* document = Open(QStringLiteral("/photos/p.png"), MakePicture(40, 30));
  ASSERT_NE(document, nullptr);
  editor_->SetPluginMode(true);
  for (TZelGraphicsTool* tool : std::initializer_list<TZelGraphicsTool*>{
           WireEraserTool, HandInpaintingTool, UndoBrushTool, RotateTool, ResizeTool, Crop2Tool,
           brightness_, text_}) {
    tool->DocumentOpened(document);
  }
  EXPECT_TRUE(quill::ToolMayStart(*WireEraserTool));
  EXPECT_TRUE(quill::ToolMayStart(*HandInpaintingTool));
  EXPECT_TRUE(quill::ToolMayStart(*UndoBrushTool));
  EXPECT_TRUE(quill::ToolMayStart(*text_));
  EXPECT_TRUE(quill::ToolMayStart(*brightness_));
  EXPECT_FALSE(quill::ToolMayStart(*RotateTool));
  EXPECT_FALSE(quill::ToolMayStart(*ResizeTool));
  EXPECT_FALSE(quill::ToolMayStart(*Crop2Tool));

  // Brightness and contrast still previews its change in plug-in mode.
  const QImage before = PicturePixels(document->GetCurrentPixels());
  brightness_->SetBrightness(40);
  EXPECT_NE(PicturePixels(document->GetCurrentPixels()), before);
  brightness_->Frame->CancelButtonClick();
  EXPECT_EQ(PicturePixels(document->GetCurrentPixels()), before);
}

}  // namespace
}  // namespace quilltest
