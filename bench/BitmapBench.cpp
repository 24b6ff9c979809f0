// The document bitmap's heavy operations on a 6000 x 4000 image made from a real
// photo: a Lanczos resize to half size (into a new bitmap, freshly mapped memory, as
// the program does it, and warm: into the same memory again, with the vector passes
// and with the plain ones), and painting a 1920 x 1080 view of it through
// the raster surface at 1:1 and at 1/4.

#include <benchmark/benchmark.h>

#include <QImage>
#include <QPainter>


#include "BenchPhotos.h"
#include "RasterSurface.h"
#include "ZelLTBitmap.h"
#include "ZelResample.h"

namespace {

constexpr int kWidth = quillbench::kLargeWidth;
constexpr int kHeight = quillbench::kLargeHeight;

void BM_ResizeToHalf(benchmark::State& state) {
  const TZelLTBitmap& photo = quillbench::LargePhoto();
  for (auto _ : state) {
    state.PauseTiming();
    auto copy = photo.Clone();
    state.ResumeTiming();
    benchmark::DoNotOptimize(copy->Resize(kWidth / 2, kHeight / 2));
  }
}
BENCHMARK(BM_ResizeToHalf)->Unit(benchmark::kMillisecond)->Iterations(3);

// Arg 0: the vector passes; 1: the plain ones.
void BM_ResampleToHalfWarm(benchmark::State& state) {
  const TZelLTBitmap& photo = quillbench::LargePhoto();
  TZelPixelBuffer half;
  if (!half.Allocate(quill::kPixelFormat24, {0, 0, kWidth / 2, kHeight / 2})) {
    state.SkipWithError("no memory");
    return;
  }
  quill::SetResamplePasses(state.range(0) == 0 ? quill::TResamplePasses::Fastest : quill::TResamplePasses::Plain);
  for (auto _ : state) {
    ResamplePixels(half, half.GetBounds(), half.GetBounds(), photo.GetPixels(), photo.GetBounds(),
                   TLanczosResampler());
    benchmark::DoNotOptimize(half.Bits());
  }
  quill::SetResamplePasses(quill::TResamplePasses::Fastest);
}
BENCHMARK(BM_ResampleToHalfWarm)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// A 1920 x 1080 view at zoom 1 / Divisor, scrolled to the photo's middle.
void BM_DrawView(benchmark::State& state) {
  const int divisor = static_cast<int>(state.range(0));
  TZelLTBitmap& photo = const_cast<TZelLTBitmap&>(quillbench::LargePhoto());
  QImage canvas(1920, 1080, QImage::Format_BGR888);
  const quill::TRect view{0, 0, 1920, 1080};
  const int shownWidth = kWidth / divisor, shownHeight = kHeight / divisor;
  const int left = (1920 - shownWidth) / 2, top = (1080 - shownHeight) / 2;
  const quill::TRect dest{left, top, left + shownWidth, top + shownHeight};
  for (auto _ : state) {
    QPainter painter(&canvas);
    quill::TRasterSurface surface(painter);
    benchmark::DoNotOptimize(photo.Draw(surface, dest, photo.GetBounds(), view));
  }
}
BENCHMARK(BM_DrawView)->Arg(1)->Arg(4)->Unit(benchmark::kMillisecond);

}  // namespace
