// The composition root as far as it exists: what it creates, in which order, and Qt's
// own texts following the program's language.

#include <gtest/gtest.h>

#include <QAction>
#include <QCoreApplication>
#include <QToolBar>

#include <memory>

#include "MainForm.h"
#include "Module.h"
#include "ProgressMeter.h"
#include "ZelDockablePanel.h"
#include "ZelGraphicsEditor.h"
#include "ZelGraphicsTool.h"
#include "ZelLocalizer.h"
#include "ZelScrollTool.h"
#include "ZelToolPanelModule.h"
#include "ZelWireEraserTool.h"

namespace {

TEST(Module, CreatesTheEditorFirstAndTheScrollToolAsTheFirstTool) {
  quill::TZelLocalizerUnit localizerUnit;
  SetLanguage(1033);
  auto formsUnit = std::make_unique<quill::TZelFormsUnit>();
  ZelApplication->CreateForm(Module);
  ASSERT_NE(GraphicsEditor, nullptr);
  EXPECT_EQ(ZelApplication->GetMainForm(), MainForm);
  EXPECT_EQ(GraphicsEditor->ImagesFolder, QCoreApplication::applicationDirPath() + "/Images/");

  TZelGraphicsTool* first = nullptr;
  quill::ForEachGraphicsTool([&first](TZelGraphicsTool& tool) {
    if (first == nullptr) first = &tool;
  });
  EXPECT_NE(dynamic_cast<TZelScrollTool*>(first), nullptr);
  // The Wire Eraser is the current tool at start.
  ASSERT_NE(WireEraserTool, nullptr);
  EXPECT_EQ(GraphicsEditor->CurrentTool, WireEraserTool);
  EXPECT_EQ(ToolPanelModule->GetPanel()->GetMinClientWidth(), 272);
  EXPECT_EQ(ToolPanelModule->GetPanel()->GetMaxClientWidth(), 272);
  EXPECT_TRUE(GraphicsEditor->StandardToolbar->actions().back()->isSeparator());
  ASSERT_NE(ProgressMeter, nullptr);
  EXPECT_NE(ProgressMeter->GetProgressBar(), nullptr);

  // Qt's own texts follow the program's language.
  SetLanguage(1031);
  EXPECT_EQ(QCoreApplication::translate("QFileDialog", "Look in:"), "Suchen in:");
  SetLanguage(1033);
  EXPECT_EQ(QCoreApplication::translate("QFileDialog", "Look in:"), "Look in:");
  formsUnit.reset();
  EXPECT_EQ(GraphicsEditor, nullptr);
  EXPECT_EQ(QCoreApplication::translate("QFileDialog", "Look in:"), "Look in:");
}

}  // namespace
