// The geometry operations on a 6000 x 4000 photo: the quarter turns and mirrors
// against a plain copy of the same pixel buffer, and the resize to half as the resize
// tool does it (both images resampled once while they are equal, the images before
// kept for undo). bench/resize_vs_pillow.py sets the resize against Pillow's.

#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>

#include "BenchPhotos.h"
#include "ZelGraphicsDocument.h"
#include "ZelLTBitmap.h"

namespace {

constexpr int32_t kWidth = quillbench::kLargeWidth;
constexpr int32_t kHeight = quillbench::kLargeHeight;

// The reference: a new buffer of the same size and every row copied into it, which is
// the least any turn into a new image must do.
void BM_PlainCopy(benchmark::State& state) {
  const TZelLTBitmap& photo = quillbench::LargePhoto();
  for (auto _ : state) {
    TZelLTBitmap copy;
    copy.SetSize(kWidth, kHeight, quill::kPixelFormat24);
    const TZelPixels& from = photo.GetPixels();
    TZelPixels& to = copy.GetPixels();
    for (int32_t y = 0; y < kHeight; ++y) {
      std::memcpy(to.GetScanLine(0, y), from.GetScanLine(0, y), size_t{kWidth} * 3);
    }
    benchmark::DoNotOptimize(to.Bits());
  }
}
BENCHMARK(BM_PlainCopy)->Unit(benchmark::kMillisecond);

template <bool (TZelLTBitmap::*Operation)(TZelLTBitmap*)>
void BM_Geometry(benchmark::State& state) {
  auto photo = quillbench::LargePhoto().Clone();
  for (auto _ : state) benchmark::DoNotOptimize((photo.get()->*Operation)(nullptr));
}
BENCHMARK(BM_Geometry<&TZelLTBitmap::RotateLeft>)->Name("BM_RotateLeft")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Geometry<&TZelLTBitmap::RotateRight>)->Name("BM_RotateRight")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Geometry<&TZelLTBitmap::FlipHorizontal>)->Name("BM_FlipHorizontal")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Geometry<&TZelLTBitmap::FlipVertical>)->Name("BM_FlipVertical")->Unit(benchmark::kMillisecond);

// The resize tool's work on a freshly opened photo: the document's Resize with the
// images before moved out for the undo record (the record copies nothing more). The
// photo as a load leaves it, after the idle-time preparation that follows its first
// paint; the new image is freshly mapped memory in every iteration (the original and
// the committed copy share it until idle time copies it, which is not timed).
void BM_ResizeToolToHalf(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    auto document = std::make_unique<TZelGraphicsDocument>(nullptr);
    document->CurrentImage.AssignPixels(quillbench::LargePhoto().GetPixels());
    document->SetOriginalToCurrent();
    document->SyncCommittedCopy();
    while (document->PrepareSlice(TZelGraphicsDocument::kPrepareSliceBytes)) {
    }
    TZelLTBitmap savedImage;
    TZelLTBitmap savedOriginal;
    state.ResumeTiming();
    benchmark::DoNotOptimize(document->Resize(kWidth / 2, kHeight / 2, &savedImage, &savedOriginal));
    state.PauseTiming();
    document.reset();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_ResizeToolToHalf)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
