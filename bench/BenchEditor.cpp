#include "BenchEditor.h"

#include "Module.h"
#include "ZelForms.h"
#include "ZelLocalizer.h"
#include "ZelToolPanelModule.h"

namespace quillbench {

bool TBenchFormats::Load(TZelDocument* document, const QString& /*fileName*/, int32_t& formatId) {
  auto* graphics = dynamic_cast<TZelGraphicsDocument*>(document);
  if (graphics == nullptr) return false;
  graphics->CurrentImage.SetSize(Width, Height, quill::kPixelFormat24);
  Paint(*graphics);
  formatId = 0;
  return true;
}

TBenchEditor* MakeBenchEditor(int32_t width, int32_t height, TPaintDocument paint) {
  SetLanguage(1033);
  TBenchEditor* editor = nullptr;
  ZelApplication->CreateComponent(editor);
  editor->Formats.Width = width;
  editor->Formats.Height = height;
  editor->Formats.Paint = std::move(paint);
  GraphicsEditor = editor;
  ZelApplication->CreateComponent(ToolPanelModule);
  return editor;
}

TZelGraphicsView* OpenBenchDocument(TBenchEditor& editor, const QString& fileName) {
  TZelDocument* opened = nullptr;
  editor.OpenFile(fileName, opened, false);
  return editor.GetCurrentView();
}

}  // namespace quillbench
