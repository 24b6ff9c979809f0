// Holding O to compare with the original: the main thread's time from the key event
// reaching the 1920 x 1080 graphics view at 1:1 over a 6000 x 4000 photo to the whole
// view repainted, for the switch to the original (key down) and back (key up). The
// frame budget is 16 ms for each. Counters: the medians of both switches in
// milliseconds.

#include <benchmark/benchmark.h>

#include <QImage>
#include <QRegion>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <vector>

#include "BenchEditor.h"
#include "BenchPhotos.h"
#include "MainForm.h"
#include "Module.h"
#include "ZelForms.h"
#include "ZelGraphicsDocument.h"
#include "ZelGraphicsEditor.h"
#include "ZelGraphicsFormats.h"
#include "ZelGraphicsView.h"
#include "ZelLocalizer.h"
#include "ZelOriginalImageTool.h"
#include "ZelToolPanelModule.h"
#include "ZelWireEraserTool.h"

namespace {

constexpr int32_t kWidth = 6000;
constexpr int32_t kHeight = 4000;
constexpr int kViewWidth = 1920;
constexpr int kViewHeight = 1080;
constexpr uint16_t kKeyO = 'O';

// A photo whose current image differs from its original everywhere: the colour field
// over its negative.
void PaintEdited(TZelGraphicsDocument& document) {
  TZelPixels& pixels = document.GetCurrentPixels();
  quillbench::FillColourField(pixels);
  document.SetOriginalImage(pixels);
  TZelPixels& original = document.GetOriginalPixels();
  for (int32_t y = 0; y < kHeight; ++y) {
    uint8_t* p = original.GetPixelAddress(0, y);
    for (int64_t i = 0; i < int64_t{kWidth} * 3; ++i) p[i] = static_cast<uint8_t>(255 - p[i]);
  }
  document.SyncCommittedCopy();
}

// The editor with the original image tool and the Wire Eraser (current), the photo
// open in a 1920 x 1080 view at 1:1, centred; made once.
struct Program {
  Program() {
    quillbench::TBenchEditor* editor = quillbench::MakeBenchEditor(kWidth, kHeight, PaintEdited);
    ZelApplication->CreateComponent(OriginalImageTool);
    ZelApplication->CreateComponent(WireEraserTool);
    editor->SetActiveTool(WireEraserTool);
    MainForm->resize(kViewWidth + 300, kViewHeight + 200);
    MainForm->show();
    view = quillbench::OpenBenchDocument(*editor, QStringLiteral("photo.png"));
    view->resize(kViewWidth, kViewHeight);
    view->SetZoom(1, 1);
    view->ClampOrigin();
    view->CenterOnPoint({kWidth / 2, kHeight / 2});
  }

  quill::TZelLocalizerUnit localizer;
  quill::TZelFormsUnit forms;
  TZelGraphicsView* view = nullptr;
};

using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

using quillbench::Median;

void BM_HoldOToShowTheOriginal(benchmark::State& state) {
  static Program program;
  TZelGraphicsView* view = program.view;
  QImage window(view->size(), QImage::Format_RGB32);  // the window's backing store
  const QRegion area(0, 0, view->width(), view->height());
  // The key event, then the repaint it asked for.
  const auto switchView = [&](bool down) {
    const Clock::time_point start = Clock::now();
    if (down) {
      view->KeyDown(kKeyO, 0);
    } else {
      view->KeyUp(kKeyO, 0);
    }
    view->render(&window, QPoint(), area, QWidget::RenderFlags());
    benchmark::DoNotOptimize(window.constBits());
    return Milliseconds(Clock::now() - start);
  };
  std::vector<double> shows;
  std::vector<double> restores;
  for (auto _ : state) {
    shows.push_back(switchView(true));
    restores.push_back(switchView(false));
  }
  if (GraphicsEditor->CurrentTool != WireEraserTool) state.SkipWithError("the tool did not come back");
  state.counters["show_median_ms"] = Median(shows);
  state.counters["restore_median_ms"] = Median(restores);
}
BENCHMARK(BM_HoldOToShowTheOriginal)->Unit(benchmark::kMillisecond);

}  // namespace
