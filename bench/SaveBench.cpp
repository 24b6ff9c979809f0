// Saving a 6000 x 4000 photo as BMP (the cheapest encoder, so the rest shows) through
// the document's SaveAs, with nothing open and with a brightness preview open, which the
// save first commits as one undo step of the whole image. The file goes to TMPDIR.

#include <benchmark/benchmark.h>

#include <QDir>
#include <QString>

#include <cstdint>

#include "BenchEditor.h"
#include "BenchPhotos.h"
#include "MainForm.h"
#include "ZelBrightnessContrastTool.h"
#include "ZelForms.h"
#include "ZelGraphicsDocument.h"
#include "ZelLocalizer.h"

namespace {

constexpr int32_t kWidth = quillbench::kLargeWidth;
constexpr int32_t kHeight = quillbench::kLargeHeight;
constexpr int32_t kBmpFormatId = 3;

void PaintField(TZelGraphicsDocument& document) {
  TZelPixels& pixels = document.GetCurrentPixels();
  quillbench::FillColourField(pixels);
  document.SetOriginalImage(pixels);
  document.SyncCommittedCopy();
}

// The editor with the brightness and contrast tool (current) and the photo open; made
// once.
struct Program {
  Program() {
    quillbench::TBenchEditor* editor = quillbench::MakeBenchEditor(kWidth, kHeight, PaintField);
    tool = ZelApplication->NewComponent<TZelBrightnessContrastTool>();
    tool->Initialize();
    editor->SetActiveTool(tool);
    MainForm->show();
    quillbench::OpenBenchDocument(*editor, QStringLiteral("photo.png"));
    document = editor->GetCurrentDocument();
  }

  quill::TZelLocalizerUnit localizer;
  quill::TZelFormsUnit forms;
  TZelBrightnessContrastTool* tool = nullptr;
  TZelGraphicsDocument* document = nullptr;
};

// Argument 1: a brightness preview is open when the save begins.
void BM_SaveBmp(benchmark::State& state) {
  static Program program;
  const bool preview = state.range(0) != 0;
  const QString file = QDir::temp().filePath(QStringLiteral("quill-save-bench.bmp"));
  for (auto _ : state) {
    if (preview) {
      state.PauseTiming();
      program.tool->SetBrightness(20);
      state.ResumeTiming();
    }
    if (!program.document->SaveAs(file, kBmpFormatId)) state.SkipWithError("the save failed");
  }
  if (program.tool->OperationRunning() || !program.document->IsSaved()) {
    state.SkipWithError("the preview was not committed before the save");
  }
  QDir::temp().remove(QStringLiteral("quill-save-bench.bmp"));
}
BENCHMARK(BM_SaveBmp)->ArgName("preview")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
