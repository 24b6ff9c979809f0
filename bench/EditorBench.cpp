// The editor on a 6000 x 4000 photo: undo and redo of a 50 x 50 edit with 1,000 edits
// in the history (and the bytes that history holds), one such edit committed, and the
// repaint of a 1920 x 1080 graphics view at 1:1, 1/16 and 16/1.

#include <benchmark/benchmark.h>

#include <QImage>

#include <cstdint>
#include <memory>

#include "BenchPhotos.h"
#include "ZelGraphicsDocument.h"
#include "ZelGraphicsTool.h"
#include "ZelGraphicsView.h"

namespace {

constexpr int32_t kImageWidth = 6000;
constexpr int32_t kImageHeight = 4000;
constexpr int32_t kEdit = 50;

// A document without an editor holding a smooth colour field.
std::unique_ptr<TZelGraphicsDocument> MakeDocument() {
  auto document = std::make_unique<TZelGraphicsDocument>(nullptr);
  document->CurrentImage.SetSize(kImageWidth, kImageHeight, quill::kPixelFormat24);
  TZelPixels& pixels = document->GetCurrentPixels();
  quillbench::FillColourField(pixels);
  document->SetOriginalImage(pixels);
  document->SyncCommittedCopy();
  return document;
}

// A painting tool's stand-in: one operation inverts a rectangle.
class InvertTool : public TZelGraphicsTool {
 public:
  InvertTool() : TZelGraphicsTool(nullptr) {}
  void Invert(TZelGraphicsView* view, const quill::TRect& rect) {
    if (!BeginOperation(view)) return;
    for (int32_t y = rect.Top; y < rect.Bottom; ++y) {
      uint8_t* p = Live->GetPixelAddress(rect.Left, y);
      for (int64_t i = 0; i < rect.Width() * 3; ++i) p[i] = static_cast<uint8_t>(~p[i]);
    }
    AddDirtyRect(rect, false);
    EndOperation();
  }
};

quill::TRect EditRect(int i) {
  const int32_t x = (i * 397) % (kImageWidth - kEdit);
  const int32_t y = (i * 211) % (kImageHeight - kEdit);
  return {x, y, x + kEdit, y + kEdit};
}

void BM_UndoRedo50x50After1000Edits(benchmark::State& state) {
  const auto document = MakeDocument();
  auto* view = static_cast<TZelGraphicsView*>(document->GetView());
  InvertTool tool;
  for (int i = 0; i < 1000; ++i) tool.Invert(view, EditRect(i));
  TZelCommandHistoryList& history = document->GetHistory();
  for (auto _ : state) {
    history.Undo();
    history.Redo();
  }
  state.counters["history_bytes"] = static_cast<double>(history.GetSize());
  state.counters["limit_bytes"] = 2.0 * 1000 * kEdit * kEdit * 3 * 2;
}
BENCHMARK(BM_UndoRedo50x50After1000Edits)->Unit(benchmark::kMicrosecond);

void BM_Commit50x50Edit(benchmark::State& state) {
  const auto document = MakeDocument();
  auto* view = static_cast<TZelGraphicsView*>(document->GetView());
  InvertTool tool;
  int i = 0;
  for (auto _ : state) tool.Invert(view, EditRect(i++));
}
BENCHMARK(BM_Commit50x50Edit)->Unit(benchmark::kMicrosecond);

// The whole 1920 x 1080 view repainted at Numerator / Denominator, centred on the photo.
void BM_RepaintView(benchmark::State& state) {
  static const auto document = MakeDocument();
  auto* view = static_cast<TZelGraphicsView*>(document->GetView());
  view->DocumentView->SetVisible(true);
  view->resize(1920, 1080);
  view->ClampOrigin();
  view->SetZoom(static_cast<int32_t>(state.range(0)), static_cast<int32_t>(state.range(1)));
  view->CenterOnPoint({kImageWidth / 2, kImageHeight / 2});
  QImage window(view->size(), QImage::Format_RGB32);
  const QRegion area(0, 0, view->width(), view->height());
  for (auto _ : state) {
    view->render(&window, QPoint(), area, QWidget::RenderFlags());
    benchmark::DoNotOptimize(window.constBits());
  }
}
BENCHMARK(BM_RepaintView)->Args({1, 1})->Args({1, 16})->Args({16, 1})->Unit(benchmark::kMillisecond);

}  // namespace
