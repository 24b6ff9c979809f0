// The crop tool and its rectangle control: the ratio arithmetic, drawing and dragging
// through the view's mouse events, the crop by key with undo and redo pixel-exact,
// and the crops that must do nothing.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QRadioButton>
#include <QSpinBox>

#include "CodecTestSupport.h"
#include "EditorTesting.h"
#include "ZelLocalizer.h"
#include "Module.h"
#include "ZelCrop2Tool.h"
#include "ZelCrop2ToolControl.h"
#include "ZelRotateTool.h"
#include "ZelToolPanelModule.h"

namespace quilltest {
namespace {

class CropToolTest : public EditorTest {
 protected:
  void SetUp() override {
    EditorTest::SetUp();
    ZelApplication->CreateComponent(ToolPanelModule);
    ZelApplication->CreateComponent(RotateTool);
    ZelApplication->CreateComponent(Crop2Tool);
  }

  // Opens a picture at 1:1 with the crop tool current.
  TZelGraphicsDocument* OpenPicture(int width, int height) {
    TZelGraphicsDocument* document = Open(QStringLiteral("/photos/c.png"), MakePicture(width, height));
    if (document == nullptr) return nullptr;
    View()->SetZoom(1, 1);
    Crop2Tool->Select();
    return document;
  }
  quill::TPoint Device(int32_t x, int32_t y) const { return View()->GetMapMode().LogicalToDevice({x, y}); }
  // A drag with the left button between two image points.
  void Drag(quill::TPoint from, quill::TPoint to) {
    View()->MouseDown(quill::mbLeft, quill::ssLeft, Device(from.X, from.Y));
    View()->MouseMove(quill::ssLeft, Device(to.X, to.Y));
    View()->MouseUp(quill::mbLeft, 0, Device(to.X, to.Y));
  }
  TZelCrop2ToolControl& Control() const { return *Crop2Tool->FirstControl(); }
};

TEST_F(CropToolTest, TheRatioShapesTheRectangleWithoutOverflow) {
  using quill::ApplyAspectRatio;
  // A drag to the bottom right under 3:2: the height follows the width.
  EXPECT_EQ(ApplyAspectRatio(bhBottomRight, {0, 0, 100, 10}, 3, 2), (quill::TRect{0, 0, 100, 67}));
  // The left middle handle divides first: (100 div 3) * 2 = 66.
  EXPECT_EQ(ApplyAspectRatio(bhLeft, {0, 0, 100, 100}, 3, 2), (quill::TRect{0, 34, 100, 100}));
  EXPECT_EQ(ApplyAspectRatio(bhBottomRight, {0, 0, 100, 10}, 0, 2), (quill::TRect{0, 0, 100, 10}));
  // Products beyond 32 bits: 30000 * 99998 / 99999.
  EXPECT_EQ(ApplyAspectRatio(bhBottomRight, {0, 0, 30000, 1}, 99999, 99998), (quill::TRect{0, 0, 30000, 30000}));
  quill::TRect rect{1, 2, 3, 4};
  EXPECT_FALSE(quill::RectFromDrag({5, 5}, {5, 9}, 0, 0, rect));
  EXPECT_EQ(rect, (quill::TRect{1, 2, 3, 4}));

  // The frame's formats and typed sizes, reduced.
  TZelCrop2Frame& frame = *Crop2Tool->Frame;
  frame.rbScreen->setChecked(true);
  frame.cmbScreen->setCurrentText(QStringLiteral("16x10"));
  EXPECT_EQ(std::pair(Crop2Tool->RatioWidth, Crop2Tool->RatioHeight), std::pair(8, 5));
  frame.rbFoto->setChecked(true);
  frame.cmbFoto->setCurrentText(QStringLiteral("5x5"));
  EXPECT_EQ(std::pair(Crop2Tool->RatioWidth, Crop2Tool->RatioHeight), std::pair(1, 1));
  frame.rbFree->setChecked(true);
  frame.WidthEdit->setValue(1920);
  frame.HeightEdit->setValue(1080);
  EXPECT_EQ(std::pair(Crop2Tool->RatioWidth, Crop2Tool->RatioHeight), std::pair(16, 9));
  frame.btClearClick();
  EXPECT_EQ(std::pair(Crop2Tool->RatioWidth, Crop2Tool->RatioHeight), std::pair(0, 0));
}

TEST_F(CropToolTest, DrawingAndDraggingStayInsideAndNeverEmpty) {
  ASSERT_NE(OpenPicture(200, 150), nullptr);
  Drag({10, 20}, {110, 70});
  EXPECT_EQ(Control().State, bsShown);
  EXPECT_EQ(Crop2Tool->CropRect, (quill::TRect{10, 20, 110, 70}));
  EXPECT_TRUE(GraphicsEditor->ToolLocked);
  EXPECT_FALSE(GraphicsEditor->ToolMayWork(RotateTool));
  EXPECT_EQ(editor_->WStatusPanel->text(), QStringLiteral("100"));

  // Moved against the right edge, it slides along it.
  Drag({50, 40}, {250, 50});
  EXPECT_EQ(Crop2Tool->CropRect, (quill::TRect{100, 30, 200, 80}));
  // A handle dragged past the edge keeps the last accepted rectangle.
  Drag({100, 80}, {90, 200});
  EXPECT_EQ(Crop2Tool->CropRect, (quill::TRect{100, 30, 200, 80}));

  // A new rectangle under 100:1 whose height rounds to nothing keeps the one before.
  View()->KeyDown(27, 0);
  EXPECT_EQ(Control().State, bsNone);
  EXPECT_FALSE(GraphicsEditor->ToolLocked);
  Crop2Tool->RatioWidth = 100;
  Crop2Tool->RatioHeight = 1;
  View()->MouseDown(quill::mbLeft, quill::ssLeft, Device(10, 10));
  View()->MouseMove(quill::ssLeft, Device(30, 30));
  EXPECT_EQ(Crop2Tool->CropRect, (quill::TRect{10, 10, 11, 11}));
  View()->MouseMove(quill::ssLeft, Device(110, 30));
  EXPECT_EQ(Crop2Tool->CropRect, (quill::TRect{10, 10, 110, 11}));
}

TEST_F(CropToolTest, AQuickDragPastTheEdgeReachesTheEdge) {
  TZelGraphicsDocument* document = OpenPicture(200, 150);
  ASSERT_NE(document, nullptr);
  // One move from inside to beyond the bottom right corner: the rectangle reaches the
  // corner, however fast the pointer went.
  Drag({150, 100}, {260, 190});
  EXPECT_EQ(Crop2Tool->CropRect, (quill::TRect{150, 100, 200, 150}));
  View()->KeyDown(13, 0);  // Enter
  EXPECT_EQ(document->CurrentImage.GetBounds(), (quill::TRect{0, 0, 50, 50}));
  editor_->UndoClick();

  // Beyond the top left corner, and beyond a selection's edges.
  Drag({150, 100}, {-30, -40});
  EXPECT_EQ(Crop2Tool->CropRect, (quill::TRect{0, 0, 150, 100}));
  View()->KeyDown(27, 0);
  document->SetSelection({20, 30, 120, 130});
  Drag({50, 60}, {300, 10});
  EXPECT_EQ(Crop2Tool->CropRect, (quill::TRect{50, 30, 120, 60}));
  View()->KeyDown(27, 0);
  document->SetSelection({});

  // Under a fixed ratio the pointer is held at the edge and the ratio still shapes the
  // rectangle: 180 wide under 3:2 is 120 high.
  Crop2Tool->RatioWidth = 3;
  Crop2Tool->RatioHeight = 2;
  Drag({20, 20}, {400, 30});
  EXPECT_EQ(Crop2Tool->CropRect, (quill::TRect{20, 20, 200, 140}));
}

TEST_F(CropToolTest, AGeometryChangeEndsTheRectangleButKeepsIt) {
  TZelGraphicsDocument* document = OpenPicture(200, 150);
  ASSERT_NE(document, nullptr);
  // A rectangle drawn on the turned image, which an undone turn would leave past the
  // image's bottom edge.
  RotateTool->RotateRight();
  ASSERT_EQ(document->CurrentImage.GetBounds(), (quill::TRect{0, 0, 150, 200}));
  Crop2Tool->Select();
  Drag({10, 160}, {100, 190});
  ASSERT_EQ(Control().State, bsShown);
  editor_->UndoClick();
  EXPECT_EQ(Control().State, bsNone);
  EXPECT_FALSE(GraphicsEditor->ToolLocked);
  EXPECT_EQ(Crop2Tool->CropRect, (quill::TRect{10, 160, 100, 190}));
  EXPECT_EQ(editor_->WStatusPanel->text(), QStringLiteral("200"));
  EXPECT_EQ(editor_->HStatusPanel->text(), QStringLiteral("150"));

  // Redone, and a crop undone and redone, alike.
  Drag({10, 10}, {60, 60});
  editor_->RedoClick();
  EXPECT_EQ(Control().State, bsNone);
  EXPECT_FALSE(GraphicsEditor->ToolLocked);
  Drag({10, 10}, {60, 60});
  View()->KeyDown(13, 0);
  ASSERT_EQ(document->CurrentImage.GetBounds(), (quill::TRect{0, 0, 50, 50}));
  Drag({5, 5}, {40, 40});
  editor_->UndoClick();
  EXPECT_EQ(Control().State, bsNone);
  Drag({5, 5}, {40, 40});
  editor_->RedoClick();
  EXPECT_EQ(Control().State, bsNone);
  EXPECT_FALSE(GraphicsEditor->ToolLocked);
  EXPECT_EQ(document->CurrentImage.GetBounds(), (quill::TRect{0, 0, 50, 50}));
}

TEST_F(CropToolTest, CropUndoAndRedoArePixelExact) {
  TZelGraphicsDocument* document = OpenPicture(120, 90);
  ASSERT_NE(document, nullptr);
  const QImage before = PicturePixels(document->GetCurrentPixels());
  document->SetSelection({5, 5, 100, 80});
  RecordingRecorder recorder;
  Crop2Tool->RecordingStarted(&recorder);
  Drag({20, 10}, {70, 50});
  View()->KeyDown(13, 0);  // Enter
  EXPECT_EQ(PicturePixels(document->GetCurrentPixels()), before.copy(20, 10, 50, 40));
  EXPECT_EQ(PicturePixels(document->GetOriginalPixels()), before.copy(20, 10, 50, 40));
  EXPECT_EQ(Control().State, bsNone);
  EXPECT_FALSE(GraphicsEditor->ToolLocked);
  EXPECT_TRUE(recorder.lines.contains(QStringLiteral("CropPerform")));
  ASSERT_EQ(document->GetHistory().GetCount(), 1);

  editor_->UndoClick();
  EXPECT_EQ(PicturePixels(document->GetCurrentPixels()), before);
  EXPECT_EQ(PicturePixels(document->GetOriginalPixels()), before);
  EXPECT_EQ(document->GetBounds(), (quill::TRect{5, 5, 100, 80}));
  editor_->RedoClick();
  EXPECT_EQ(PicturePixels(document->GetCurrentPixels()), before.copy(20, 10, 50, 40));

  // CropPerform crops to the rectangle last drawn, clipped to the image now.
  bool handled = false;
  Crop2Tool->ExecuteCommand(nullptr, QStringLiteral("CROPPERFORM"), handled, nullptr);
  EXPECT_TRUE(handled);
  EXPECT_EQ(PicturePixels(document->GetCurrentPixels()), before.copy(40, 20, 30, 30));
  Crop2Tool->RecordingStopped();
}

TEST_F(CropToolTest, AnUndoThatCannotHaveTheImagesBackIsRefused) {
  if (quill::kSanitized) GTEST_SKIP() << "an address-space limit stops the sanitizer itself";
  // A 3000 x 2000 photo (18 MB an image) cropped to 100 x 100, then undone where the
  // address space may grow by 8 MiB only: the two images of the undo cannot be had.
  TZelGraphicsDocument* document = OpenPicture(3000, 2000);
  ASSERT_NE(document, nullptr);
  Crop2Tool->CropTo({100, 100, 200, 200});
  ASSERT_EQ(document->CurrentImage.GetBounds(), (quill::TRect{0, 0, 100, 100}));
  const QImage cropped = PicturePixels(document->GetCurrentPixels());
  quill::ExpectWithMemoryLimit(__LINE__, 8, [&] {
    editor_->UndoClick();
    editor_->UndoAllClick();  // stops at the step it cannot take, rather than spin
    const TZelCommandHistoryList& history = document->GetHistory();
    return history.GetCursor() == 1 && !document->IsSaved() &&
           document->CurrentImage.GetBounds() == quill::TRect{0, 0, 100, 100} &&
           document->OriginalImage.GetBounds() == quill::TRect{0, 0, 100, 100} &&
           document->CommittedCopy.GetBounds() == quill::TRect{0, 0, 100, 100} &&
           PicturePixels(document->GetCurrentPixels()) == cropped && boxes_.size() == 2 &&
           boxes_[0].Text == GetLocalizedString(quill::kMemoryText);
  });
  // With the memory there, the photo comes back.
  editor_->UndoClick();
  EXPECT_EQ(document->CurrentImage.GetBounds(), (quill::TRect{0, 0, 3000, 2000}));
}

// Through the script path: the button is the tool's one target.
TEST_F(CropToolTest, TheButtonIsTheScriptTarget) {
  ProcessEvents();
  EXPECT_TRUE(FindsScriptTarget(*Crop2Tool, "crop"));
  EXPECT_FALSE(FindsScriptTarget(*Crop2Tool, "CropPerform"));
  EXPECT_FALSE(FindsScriptTarget(*Crop2Tool, "0"));
}

TEST_F(CropToolTest, ARectangleMissingTheImageCropsNothing) {
  TZelGraphicsDocument* document = OpenPicture(60, 40);
  ASSERT_NE(document, nullptr);
  bool handled = false;
  Crop2Tool->ExecuteCommand(nullptr, QStringLiteral("CROPPERFORM"), handled, nullptr);  // none drawn yet
  Crop2Tool->CropTo({100, 100, 150, 150});
  EXPECT_EQ(document->CurrentImage.GetBounds(), (quill::TRect{0, 0, 60, 40}));
  EXPECT_EQ(document->GetHistory().GetCount(), 0);
  EXPECT_TRUE(document->IsSaved());
}

}  // namespace
}  // namespace quilltest
