// A long retouching session in the running editor and the memory its history holds:
// 2,000 Wire Eraser strokes of 8 dabs at Size 25 on a 6000 x 4000 photo opened from a
// file, driven through the view's own mouse handling, with a crop (3% off every side,
// which keeps both images before it) after every 400 strokes, so 5 crops. One run per
// history budget: 512 MB (the least default) and the default (a quarter of the
// memory). Counters: the budget, the bytes the history holds at the end and their
// peak, the records kept, the process's resident memory after the session and its peak.
//
// Run each budget in a process of its own (--benchmark_filter=BM_LongSession/512/ and
// BM_LongSession/0/): the peak resident memory is the process's.

#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include <QTemporaryDir>

#include "ImageCodecs.h"
#include "MainForm.h"
#include "Module.h"
#include "ZelCrop2Tool.h"
#include "ZelForms.h"
#include "ZelGraphicsDocument.h"
#include "ZelGraphicsEditor.h"
#include "ZelGraphicsView.h"
#include "ZelLocalizer.h"
#include "ZelToolPanelModule.h"
#include "ZelWireEraserTool.h"

namespace {

constexpr int32_t kWidth = 6000;
constexpr int32_t kHeight = 4000;
constexpr int kStrokes = 2000;
constexpr int kStrokesPerCrop = 400;
constexpr int kDabs = 8;
constexpr int32_t kDabSize = 25;
constexpr int32_t kDabStep = 6;

// The editor with the program's own format table, the tool panel, the Wire Eraser and
// the crop tool in a 1920 x 1080 view, and the sample photo with a cable enlarged to
// 6000 x 4000 in a BMP file; made once.
struct Program {
  Program() {
    TZelLTBitmap photo;
    quill::TImageRawFormat format;
    quill::TImageMetadata metadata;
    if (!quill::LoadImageFile(QUILL_IMAGES_DIR "/astronaut-wire.png", photo, format, metadata) ||
        !photo.Resize(kWidth, kHeight) ||
        !quill::SaveImageFile(fileName.toStdString(), photo.GetPixels(), "image/bmp", -1, {})) {
      std::fprintf(stderr, "cannot make the 6000 x 4000 photo\n");
      std::abort();
    }
    SetLanguage(1033);
    ZelApplication->CreateComponent(GraphicsEditor);
    ZelApplication->CreateComponent(ToolPanelModule);
    ZelApplication->CreateComponent(WireEraserTool);
    ZelApplication->CreateComponent(Crop2Tool);
    MainForm->resize(1920 + 300, 1200);
    MainForm->show();
  }

  quill::TZelLocalizerUnit localizer;
  quill::TZelFormsUnit forms;
  QTemporaryDir folder;
  const QString fileName = folder.filePath(QStringLiteral("photo.bmp"));
};

int64_t ResidentBytes() {
  long pages = 0;
  long resident = 0;
  if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(statm);
  }
  return int64_t{resident} * ::sysconf(_SC_PAGE_SIZE);
}

int64_t PeakResidentBytes() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return int64_t{usage.ru_maxrss} * 1024;
}

// One stroke, its place spread over the image by I.
void Stroke(TZelGraphicsView* view, const quill::TRect& image, int i) {
  const int32_t span = kDabs * kDabStep;
  const int32_t x = image.Left + 50 + (i * 397) % (image.Width() - span - 100);
  const int32_t y = image.Top + 50 + (i * 211) % (image.Height() - 100);
  view->CenterOnPoint({x + span / 2, y});
  const TZelMapMode& map = view->GetMapMode();
  view->MouseMove(0, map.LogicalToDevice({x, y}));
  view->MouseDown(quill::mbLeft, quill::ssLeft, map.LogicalToDevice({x, y}));
  for (int d = 1; d < kDabs; ++d) view->MouseMove(quill::ssLeft, map.LogicalToDevice({x + d * kDabStep, y}));
  view->MouseUp(quill::mbLeft, 0, map.LogicalToDevice({x + span - kDabStep, y}));
}

void BM_LongSession(benchmark::State& state) {
  static Program program;
  const int64_t budget = state.range(0) > 0 ? state.range(0) << 20 : TZelCommandHistoryList::DefaultBudget();
  int64_t historyBytes = 0;
  int64_t historyPeak = 0;
  int records = 0;
  for (auto _ : state) {
    TZelDocument* opened = nullptr;
    GraphicsEditor->OpenFile(program.fileName, opened, false);
    auto* document = static_cast<TZelGraphicsDocument*>(opened);
    TZelCommandHistoryList& history = document->GetHistory();
    history.SetBudget(budget);
    TZelGraphicsView* view = GraphicsEditor->GetCurrentView();
    view->SetZoom(1, 1);
    for (int i = 1; i <= kStrokes; ++i) {
      GraphicsEditor->SetActiveTool(WireEraserTool);
      WireEraserTool->SetSize(kDabSize);
      Stroke(view, document->CurrentImage.GetBounds(), i);
      if (i % kStrokesPerCrop == 0) {
        const quill::TRect image = document->CurrentImage.GetBounds();
        const int32_t dx = image.Width() * 3 / 100;
        const int32_t dy = image.Height() * 3 / 100;
        GraphicsEditor->SetActiveTool(Crop2Tool);
        Crop2Tool->CropTo({image.Left + dx, image.Top + dy, image.Right - dx, image.Bottom - dy});
      }
      historyPeak = std::max(historyPeak, history.GetSize());
    }
    historyBytes = history.GetSize();
    records = history.GetCount();
    state.PauseTiming();
    state.counters["rss_after_session_bytes"] = static_cast<double>(ResidentBytes());
    document->MarkSaved();
    document->CloseQuery();
    state.ResumeTiming();
  }
  state.counters["budget_bytes"] = static_cast<double>(budget);
  state.counters["history_bytes"] = static_cast<double>(historyBytes);
  state.counters["history_peak_bytes"] = static_cast<double>(historyPeak);
  state.counters["records"] = records;
  state.counters["peak_rss_bytes"] = static_cast<double>(PeakResidentBytes());
}
BENCHMARK(BM_LongSession)->Arg(512)->Arg(0)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
