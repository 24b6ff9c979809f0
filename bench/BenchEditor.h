// The running editor the benchmarks drive: the graphics editor with its main window
// and the tool panel, in English, where every file opened is a new Width x Height
// 24-bit document that Paint draws (current image, original image and committed copy
// as Paint leaves them). The benchmark adds the tools it needs, then shows the window
// and opens a file.

#ifndef QUILL_BENCH_BENCHEDITOR_H_
#define QUILL_BENCH_BENCHEDITOR_H_

#include <cstdint>
#include <functional>

#include "ZelGraphicsDocument.h"
#include "ZelGraphicsEditor.h"
#include "ZelGraphicsFormats.h"

namespace quillbench {

// Draws the opened document's current image (already of its size) and sets its
// original image and committed copy.
using TPaintDocument = std::function<void(TZelGraphicsDocument& document)>;

class TBenchFormats : public TZelGraphicsFormats {
 public:
  bool Load(TZelDocument* document, const QString& fileName, int32_t& formatId) override;

  int32_t Width = 0;
  int32_t Height = 0;
  TPaintDocument Paint;
};

class TBenchEditor : public TZelGraphicsEditor {
 public:
  using TZelGraphicsEditor::TZelGraphicsEditor;
  TZelDocumentFormats& GetFormats() override { return Formats; }

  TBenchFormats Formats;
};

// SetLanguage(1033), the editor (GraphicsEditor) and the tool panel.
TBenchEditor* MakeBenchEditor(int32_t width, int32_t height, TPaintDocument paint);

// Opens FileName in Editor; its view, or null.
TZelGraphicsView* OpenBenchDocument(TBenchEditor& editor, const QString& fileName);

}  // namespace quillbench

#endif  // QUILL_BENCH_BENCHEDITOR_H_
