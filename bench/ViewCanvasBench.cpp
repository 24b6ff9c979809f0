// Repainting the image view: a 1920 x 1080 scroll view over a 6000 x 4000 image layer,
// at zoom 1:1 and 1/4, with a brush outline drawn by inversion and a darkened crop
// band written straight into the canvas pixels as overlays; the whole view (a scroll
// or a zoom), warm and in a fresh view, and one brush dab's area (what every dab
// repaints). The wall time counts: Qt may spread its own drawing over threads.

#include <benchmark/benchmark.h>

#include <QImage>
#include <QPainter>

#include <cstdint>
#include <memory>

#include "BenchPhotos.h"
#include "ZelComponent.h"
#include "ZelLTBitmap.h"
#include "ZelViewControl.h"

namespace {

constexpr int32_t kImageWidth = 6000;
constexpr int32_t kImageHeight = 4000;
constexpr int kViewWidth = 1920;
constexpr int kViewHeight = 1080;

// A smooth colour field, made once.
TZelLTBitmap& LargeImage() {
  static TZelLTBitmap* image = [] {
    auto* bitmap = new TZelLTBitmap;
    bitmap->SetSize(kImageWidth, kImageHeight, quill::kPixelFormat24);
    quillbench::FillColourField(bitmap->GetPixels());
    return bitmap;
  }();
  return *image;
}

// The document image: painted through the canvas's device context, then cut out of
// the clip.
class ImageLayer : public TZelViewObject {
 public:
  void InitFlags() override { SetFlags(quill::kViewObjectVisible | quill::kViewObjectContent | quill::kViewObjectPaint); }
  void PaintContent(TZelViewCanvas& canvas) override {
    TZelLTBitmap& image = LargeImage();
    const quill::TRect device = GetContentBounds(canvas.GetMapMode());
    image.Draw(canvas.GetDeviceContext(), device, image.GetBounds(), canvas.GetClipBox());
    canvas.ExcludeClipRect(device);
  }
};

// A brush outline: an ellipse inverting what lies under it.
class OutlineLayer : public TZelViewObject {
 public:
  void InitFlags() override { SetFlags(quill::kViewObjectVisible | quill::kViewObjectOverlay | quill::kViewObjectNoExtent); }
  void PaintOverlay(TZelViewCanvas& canvas) override {
    QPainter& painter = canvas.GetPainter();
    painter.setCompositionMode(QPainter::RasterOp_NotSourceXorDestination);
    painter.setPen(QPen(Qt::black, 0));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(quill::RectToQRect(GetOverlayBounds(canvas.GetMapMode())));
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
  }
};

// A crop band: every pixel of the band darkened in place, within the clip rectangles.
class BandLayer : public TZelViewObject {
 public:
  void InitFlags() override { SetFlags(quill::kViewObjectVisible | quill::kViewObjectOverlay | quill::kViewObjectNoExtent); }
  void PaintOverlay(TZelViewCanvas& canvas) override {
    TZelCanvasPixels& pixels = canvas.GetPixels();
    canvas.ForEachClipRect(GetOverlayBounds(canvas.GetMapMode()), [&](const quill::TRect& part) {
      for (int32_t y = part.Top; y < part.Bottom; ++y) {
        uint8_t* p = pixels.GetPixelAddress(part.Left, y);
        for (int64_t i = 0; i < part.Width() * 3; ++i) p[i] = static_cast<uint8_t>(p[i] - ((p[i] * 92) >> 8));
      }
    });
  }
};

template <class T>
T* Add(TZelViewControl& view, const quill::TRect& bounds) {
  T* layer = static_cast<T*>(view.GetViewObjects().Add(std::unique_ptr<T>(quill::ZelCreate<T>())));
  layer->SetBounds(bounds);
  return layer;
}

// The view at zoom 1/Divisor, scrolled to the image's middle, with its overlays.
std::unique_ptr<TZelScrollViewControl> MakeView(int divisor) {
  auto view = std::make_unique<TZelScrollViewControl>();
  view->resize(kViewWidth, kViewHeight);
  view->GetMapMode().LogicalExtent = {divisor, divisor};
  Add<ImageLayer>(*view, LargeImage().GetBounds());
  Add<BandLayer>(*view, {0, 0, kImageWidth, kImageHeight / 8});
  Add<OutlineLayer>(*view, {2900, 1900, 3100, 2100});
  view->ClampOrigin();
  view->CenterOnPoint({kImageWidth / 2, kImageHeight / 2});
  return view;
}

void RepaintArea(benchmark::State& state, const QRegion& area) {
  const auto view = MakeView(static_cast<int>(state.range(0)));
  QImage window(view->size(), QImage::Format_RGB32);  // the window's backing store
  for (auto _ : state) {
    // The view alone: its scroll bars repaint on their own, only when they change.
    view->render(&window, area.boundingRect().topLeft(), area, QWidget::RenderFlags());
    benchmark::DoNotOptimize(window.constBits());
  }
}

void BM_RepaintWholeView(benchmark::State& state) {
  RepaintArea(state, QRegion(0, 0, kViewWidth, kViewHeight));
}
BENCHMARK(BM_RepaintWholeView)->Arg(1)->Arg(4)->Unit(benchmark::kMillisecond);

// The first paint of a new view (what opening a photo or a new window pays): the
// canvas's memory and the window's copy of it are fresh, not the warm ones above.
void BM_RepaintWholeViewCold(benchmark::State& state) {
  QImage window(kViewWidth, kViewHeight, QImage::Format_RGB32);
  const QRegion area(0, 0, kViewWidth, kViewHeight);
  for (auto _ : state) {
    state.PauseTiming();
    auto view = MakeView(static_cast<int>(state.range(0)));
    state.ResumeTiming();
    view->render(&window, QPoint(), area, QWidget::RenderFlags());
    benchmark::DoNotOptimize(window.constBits());
    state.PauseTiming();
    view.reset();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_RepaintWholeViewCold)->Arg(1)->Arg(4)->Unit(benchmark::kMillisecond);

void BM_RepaintDabArea(benchmark::State& state) {
  RepaintArea(state, QRegion(kViewWidth / 2 - 30, kViewHeight / 2 - 30, 60, 60));
}
BENCHMARK(BM_RepaintDabArea)->Arg(1)->Arg(4)->Unit(benchmark::kMicrosecond);

}  // namespace
