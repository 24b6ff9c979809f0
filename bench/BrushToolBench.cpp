// The brush tools in the running editor on a 6000 x 4000 photo with a wire across it,
// driven through the view's own mouse handling as the window system's events are:
//
// - BM_WireEraserStroke: strokes of 200 dabs at Size 50 along the wire. Each mouse
//   event's time runs from the view's mouse move to the repaired dab being in the live
//   image with its device rectangle invalidated; the same dabs through the engine's
//   stroke alone (TWireEraserStroke) are timed in the same run. Counters: both
//   medians in microseconds, their ratio, and the stroke's undo record beside the two
//   copies of its union rectangle and beside the photo.
// - BM_FirstWireEraserPress: the first press (Size 25) on the photo as a load leaves
//   it, from the view's mouse down to the dab in the live image. Arg 1: the idle-time
//   preparation ran before, as the second after the first paint lets it (counter: its
//   longest slice); arg 0, the cold case: none ran, so the press makes the copies on
//   freshly mapped memory. Counter later_press_ms: the next press, prepared again.
// - BM_SecondWireEraserPress: on the photo freshly opened and prepared, a first stroke
//   (press, a move, release), then the second press's mouse down, which begins its
//   operation (and so makes whatever copy the commit of the first left to make). Arg
//   idle: 0, the cold case, no idle time at all (a stroke of one event, the second
//   press at once); 1, the idle time of a stroke of a hand's pace runs between its
//   events, none after it; 2, warm, idle time after it too.
// - BM_RepaintDabAt16: the repaint of one dab's device rectangle with the view at 16/1.
// - BM_HandInpaintingPointerMove: one pointer move while filling at Size 100, both
//   previews drawn.

#include <benchmark/benchmark.h>

#include <QImage>
#include <QRegion>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <memory>
#include <vector>

#include "BenchEditor.h"
#include "BenchPhotos.h"
#include "DabShapes.h"
#include "MainForm.h"
#include "Module.h"
#include "WireEraserStroke.h"
#include "ZelForms.h"
#include "ZelGraphicsDocument.h"
#include "ZelGraphicsEditor.h"
#include "ZelGraphicsFormats.h"
#include "ZelGraphicsView.h"
#include "ZelHandInpaintingTool.h"
#include "ZelLocalizer.h"
#include "ZelToolPanelModule.h"
#include "ZelWireEraserTool.h"

namespace {

constexpr int32_t kWidth = 6000;
constexpr int32_t kHeight = 4000;
constexpr int kDabs = 200;
constexpr int32_t kDabSize = 50;
constexpr int32_t kDabStep = 12;

// The wire's row at column X: a gentle diagonal through the middle of the photo.
int32_t WireRow(int32_t x) { return kHeight / 3 + x / 4; }

// A smooth sky-like field with a three-pixel dark wire across it.
void PaintWire(TZelGraphicsDocument& document) {
  TZelPixels& pixels = document.GetCurrentPixels();
  for (int32_t y = 0; y < kHeight; ++y) {
    uint8_t* p = pixels.GetPixelAddress(0, y);
    for (int32_t x = 0; x < kWidth; ++x, p += 3) {
      const bool wire = y >= WireRow(x) - 1 && y <= WireRow(x) + 1;
      p[0] = wire ? 40 : static_cast<uint8_t>(180 + (x + y) % 61 / 4);
      p[1] = wire ? 40 : static_cast<uint8_t>(150 + y / 100);
      p[2] = wire ? 45 : static_cast<uint8_t>(120 + x / 150);
    }
  }
  document.SetOriginalImage(pixels);
  document.SyncCommittedCopy();
}

// The editor with the tool panel and both tools, the wire photo open in a 1920 x 1080
// view; made once.
struct Program {
  Program() {
    quillbench::TBenchEditor* editor = quillbench::MakeBenchEditor(kWidth, kHeight, PaintWire);
    ZelApplication->CreateComponent(WireEraserTool);
    ZelApplication->CreateComponent(HandInpaintingTool);
    MainForm->resize(1920 + 300, 1200);
    MainForm->show();
    view = quillbench::OpenBenchDocument(*editor, QStringLiteral("wire.png"));
    document = editor->GetCurrentDocument();
    bench = editor;
  }

  // Opens the wire photo afresh (the current one unmodified), as a load leaves it.
  void Reopen(const QString& name) {
    view = quillbench::OpenBenchDocument(*bench, name);
    document = bench->GetCurrentDocument();
    document->SetOriginalToCurrent();
    document->SyncCommittedCopy();
  }

  quill::TPoint Device(const quill::TPoint& image) const { return view->GetMapMode().LogicalToDevice(image); }

  quill::TZelLocalizerUnit localizer;
  quill::TZelFormsUnit forms;
  TZelGraphicsDocument* document = nullptr;
  TZelGraphicsView* view = nullptr;
  quillbench::TBenchEditor* bench = nullptr;
};

Program& TheProgram() {
  static Program program;
  return program;
}

std::vector<quill::TPoint> StrokeCentres() {
  std::vector<quill::TPoint> centres;
  for (int i = 0; i < kDabs; ++i) {
    const int32_t x = 200 + i * kDabStep;
    centres.push_back({x, WireRow(x)});
  }
  return centres;
}

using quillbench::Median;

using Clock = std::chrono::steady_clock;

double Microseconds(Clock::duration d) { return std::chrono::duration<double, std::micro>(d).count(); }

void BM_WireEraserStroke(benchmark::State& state) {
  Program& program = TheProgram();
  GraphicsEditor->SetActiveTool(WireEraserTool);
  WireEraserTool->SetSize(kDabSize);
  program.view->SetZoom(1, 1);
  const std::vector<quill::TPoint> centres = StrokeCentres();

  // The engine alone works on copies of the same images.
  TZelPixelBuffer live;
  TZelPixelBuffer committed;
  live.Allocate(quill::kPixelFormat24, program.document->CommittedCopy.GetBounds());
  committed.Allocate(quill::kPixelFormat24, program.document->CommittedCopy.GetBounds());
  live.CopyFrom(program.document->CommittedCopy);
  committed.CopyFrom(program.document->CommittedCopy);
  quill::TWireEraserStroke engine;

  std::vector<double> events;
  std::vector<double> dabs;
  double recordBytes = 0;
  quill::TRect unionRect;
  for (auto _ : state) {
    TZelGraphicsView* view = program.view;
    view->MouseMove(0, program.Device(centres[0]));
    view->MouseDown(quill::mbLeft, quill::ssLeft, program.Device(centres[0]));
    for (size_t i = 1; i < centres.size(); ++i) {
      const quill::TPoint device = program.Device(centres[i]);
      const Clock::time_point start = Clock::now();
      view->MouseMove(quill::ssLeft, device);
      events.push_back(Microseconds(Clock::now() - start));
    }
    view->MouseUp(quill::mbLeft, 0, program.Device(centres.back()));

    engine.Begin(live, committed, committed, false);
    engine.ApplyDab(centres[0], kDabSize, {});
    for (size_t i = 1; i < centres.size(); ++i) {
      const Clock::time_point start = Clock::now();
      engine.ApplyDab(centres[i], kDabSize, {});
      dabs.push_back(Microseconds(Clock::now() - start));
    }
    engine.End();

    state.PauseTiming();
    auto* record = dynamic_cast<TZelGraphicsCommandState*>(program.document->GetHistory().GetUndoState());
    if (record != nullptr) {
      recordBytes = static_cast<double>(record->GetSize());
      unionRect = record->Rect;
    }
    GraphicsEditor->UndoClick();
    state.ResumeTiming();
  }
  const double event = Median(events);
  const double dab = Median(dabs);
  state.counters["event_median_us"] = event;
  state.counters["engine_dab_median_us"] = dab;
  state.counters["event_per_engine"] = event / dab;
  state.counters["record_bytes"] = recordBytes;
  state.counters["union_copies_bytes"] = 2.0 * unionRect.Width() * unionRect.Height() * 3;
  state.counters["photo_bytes"] = 3.0 * kWidth * kHeight;
}
BENCHMARK(BM_WireEraserStroke)->Unit(benchmark::kMillisecond)->Iterations(10);

double Milliseconds(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// Runs the document's idle-time preparation to its end; appends each slice's time.
void Prepare(TZelGraphicsDocument& document, std::vector<double>& slices) {
  for (bool more = true; more;) {
    const Clock::time_point start = Clock::now();
    more = document.PrepareSlice(TZelGraphicsDocument::kPrepareSliceBytes);
    slices.push_back(Milliseconds(Clock::now() - start));
  }
}

void BM_FirstWireEraserPress(benchmark::State& state) {
  Program& program = TheProgram();
  GraphicsEditor->SetActiveTool(WireEraserTool);
  WireEraserTool->SetSize(25);
  program.view->SetZoom(1, 1);
  TZelGraphicsDocument& document = *program.document;
  TZelGraphicsView& view = *program.view;
  const quill::TPoint first = program.Device({3000, WireRow(3000)});
  const quill::TPoint second = program.Device({3100, WireRow(3100)});
  std::vector<double> slices;
  std::vector<double> later;
  for (auto _ : state) {
    state.PauseTiming();
    // As a load leaves the photo: the original image and the committed copy share it.
    document.SetOriginalToCurrent();
    document.SyncCommittedCopy();
    if (state.range(0) != 0) Prepare(document, slices);
    state.ResumeTiming();
    view.MouseDown(quill::mbLeft, quill::ssLeft, first);
    state.PauseTiming();
    view.MouseUp(quill::mbLeft, 0, first);
    Prepare(document, slices);
    const Clock::time_point start = Clock::now();
    view.MouseDown(quill::mbLeft, quill::ssLeft, second);
    later.push_back(Milliseconds(Clock::now() - start));
    view.MouseUp(quill::mbLeft, 0, second);
    GraphicsEditor->UndoClick();
    GraphicsEditor->UndoClick();
    state.ResumeTiming();
  }
  state.counters["later_press_ms"] = Median(later);
  state.counters["longest_slice_ms"] = slices.empty() ? 0 : *std::max_element(slices.begin(), slices.end());
}
BENCHMARK(BM_FirstWireEraserPress)->ArgName("prepared")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_SecondWireEraserPress(benchmark::State& state) {
  Program& program = TheProgram();
  GraphicsEditor->SetActiveTool(WireEraserTool);
  WireEraserTool->SetSize(25);
  std::vector<double> slices;
  int opened = 0;
  for (auto _ : state) {
    state.PauseTiming();
    program.Reopen(QStringLiteral("wire%1.png").arg(++opened));
    program.view->SetZoom(1, 1);
    TZelGraphicsView& view = *program.view;
    Prepare(*program.document, slices);
    // Inside the view at 1:1 around the photo's centre.
    const quill::TPoint from = program.Device({2850, WireRow(2850)});
    const quill::TPoint to = program.Device({3050, WireRow(3050)});
    const quill::TPoint second = program.Device({3180, WireRow(3180)});
    view.MouseDown(quill::mbLeft, quill::ssLeft, from);
    view.MouseMove(quill::ssLeft, to);
    if (state.range(0) >= 1) Prepare(*program.document, slices);
    view.MouseUp(quill::mbLeft, 0, to);
    if (state.range(0) >= 2) Prepare(*program.document, slices);
    state.ResumeTiming();
    view.MouseDown(quill::mbLeft, quill::ssLeft, second);
    state.PauseTiming();
    view.MouseUp(quill::mbLeft, 0, second);
    GraphicsEditor->UndoClick();
    GraphicsEditor->UndoClick();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_SecondWireEraserPress)->ArgName("idle")->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_RepaintDabAt16(benchmark::State& state) {
  Program& program = TheProgram();
  GraphicsEditor->SetActiveTool(WireEraserTool);
  WireEraserTool->SetSize(kDabSize);
  TZelGraphicsView* view = program.view;
  view->SetZoom(16, 1);
  const quill::TPoint centre{3000, WireRow(3000)};
  view->CenterOnPoint(centre);
  const quill::TRect device = view->GetMapMode().LogicalToDeviceRect(DabRect(centre, kDabSize));
  const QRect rect = QRect(device.Left, device.Top, device.Width(), device.Height()) & view->rect();
  QImage window(view->size(), QImage::Format_RGB32);
  for (auto _ : state) {
    view->render(&window, rect.topLeft(), QRegion(rect), QWidget::RenderFlags());
    benchmark::DoNotOptimize(window.constBits());
  }
  state.counters["rect_px"] = static_cast<double>(rect.width()) * rect.height();
  view->SetZoom(1, 1);
}
BENCHMARK(BM_RepaintDabAt16)->Unit(benchmark::kMillisecond);

void BM_HandInpaintingPointerMove(benchmark::State& state) {
  Program& program = TheProgram();
  TZelHandInpaintingTool* tool = HandInpaintingTool;
  GraphicsEditor->SetActiveTool(tool);
  tool->SetSize(100);
  tool->SetTwoPreviews(true);
  program.view->SetZoom(1, 1);
  const quill::TPoint area{3000, WireRow(3000)};
  program.view->MouseMove(0, program.Device(area));
  program.view->MouseDown(quill::mbLeft, quill::ssLeft, program.Device(area));
  program.view->MouseUp(quill::mbLeft, 0, program.Device(area));
  const quill::TPoint sources[2] = {program.Device({3000, WireRow(3000) + 200}),
                             program.Device({3040, WireRow(3000) + 240})};
  int i = 0;
  for (auto _ : state) program.view->MouseMove(0, sources[i++ & 1]);
  tool->Cancel();
  tool->SetTwoPreviews(false);
}
BENCHMARK(BM_HandInpaintingPointerMove)->Unit(benchmark::kMicrosecond);

}  // namespace
