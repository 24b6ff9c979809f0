// The geometry operations on a 6000 x 4000 photo: the quarter turns and mirrors
// against a plain copy of the same pixel buffer, and the resize to half as the resize
// tool does it (both images resampled once while they are equal, the images before
// kept for undo). bench/resize_vs_pillow.py sets the resize against Pillow's.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "ImageCodecs.h"
#include "ZelGraphicsDocument.h"
#include "ZelLTBitmap.h"

namespace {

constexpr int32_t kWidth = 6000;
constexpr int32_t kHeight = 4000;

// The sample portrait enlarged to 6000 x 4000, made once.
const TZelLTBitmap& LargePhoto() {
  static TZelLTBitmap* photo = [] {
    auto* bitmap = new TZelLTBitmap;
    quill::TImageRawFormat format;
    quill::TImageMetadata metadata;
    if (!quill::LoadImageFile(QUILL_IMAGES_DIR "/astronaut.png", *bitmap, format, metadata) ||
        !bitmap->Resize(kWidth, kHeight)) {
      std::fprintf(stderr, "cannot make the 6000 x 4000 photo\n");
      std::abort();
    }
    return bitmap;
  }();
  return *photo;
}

// The reference: a new buffer of the same size and every row copied into it, which is
// the least any turn into a new image must do.
void BM_PlainCopy(benchmark::State& state) {
  const TZelLTBitmap& photo = LargePhoto();
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
  auto photo = LargePhoto().Clone();
  for (auto _ : state) benchmark::DoNotOptimize((photo.get()->*Operation)(nullptr));
}
BENCHMARK(BM_Geometry<&TZelLTBitmap::RotateLeft>)->Name("BM_RotateLeft")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Geometry<&TZelLTBitmap::RotateRight>)->Name("BM_RotateRight")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Geometry<&TZelLTBitmap::FlipHorizontal>)->Name("BM_FlipHorizontal")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Geometry<&TZelLTBitmap::FlipVertical>)->Name("BM_FlipVertical")->Unit(benchmark::kMillisecond);

// The resize tool's work on a freshly opened photo: the document's Resize with the
// images before moved out for the undo record (the record copies nothing more).
void BM_ResizeToolToHalf(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    auto document = std::make_unique<TZelGraphicsDocument>(nullptr);
    document->CurrentImage.AssignPixels(LargePhoto().GetPixels());
    document->SetOriginalImage(LargePhoto().GetPixels());
    document->SyncCommittedCopy();
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
