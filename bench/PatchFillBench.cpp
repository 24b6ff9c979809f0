// Hand Inpainting on a real photo, as the tool runs it: marking an area (the click
// and the first render) and refilling it on one pointer move (the best of the 8
// orientations, then the colour-corrected, blended fill), at brush sizes 25 and 100.
// Areas and pointer positions walk across the photo so that they meet backdrop,
// skin, fabric and edges alike.

#include <benchmark/benchmark.h>
#include <malloc.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "AreaCorrelation.h"
#include "HandInpaintingArea.h"
#include "HandInpaintingFill.h"
#include "ImageCodecs.h"
#include "ZelLTBitmap.h"

namespace {

struct Photo {
  TZelPixelBuffer committed;  // the image as it stood before the operation

  Photo() {
    TZelLTBitmap photo;
    quill::TImageRawFormat format;
    quill::TImageMetadata metadata;
    if (!quill::LoadImageFile(QUILL_IMAGES_DIR "/astronaut.png", photo, format, metadata) ||
        !CopyBitmapToBuffer(photo, committed)) {
      std::fprintf(stderr, "cannot read the sample photo\n");
      std::abort();
    }
  }

  // Count points on a diagonal across the photo, Margin pixels in from its edges.
  std::vector<quill::TPoint> Walk(int count, int margin) const {
    std::vector<quill::TPoint> points;
    for (int i = 0; i < count; ++i) {
      points.push_back({margin + i * (committed.Width() - 2 * margin) / count,
                        margin + i * (committed.Height() - 2 * margin) / count});
    }
    return points;
  }
};

const Photo& SamplePhoto() {
  static const Photo* photo = new Photo;
  return *photo;
}

// The click that marks a new area and the first render's split, outlier removal and
// contact weights. Cold: before each click the allocator hands its free memory back
// to the system, so the marking touches fresh pages, as the first click after
// opening a photo and the patch-fill driver's single run do.
void BM_HandInpaintingMark(benchmark::State& state, bool cold) {
  const Photo& photo = SamplePhoto();
  TZelPixelBuffer live;
  live.Allocate(quill::kPixelFormat24, photo.committed.GetBounds());
  live.CopyFrom(photo.committed);
  const int size = static_cast<int>(state.range(0));
  TZelPixelMask dab;
  quill::HandInpaintingDab(dab, size);
  const std::vector<quill::TPoint> centres = photo.Walk(64, size);
  size_t next = 0;
  for (auto _ : state) {
    if (cold) {
      state.PauseTiming();
      malloc_trim(0);
      state.ResumeTiming();
    }
    const quill::TRect area = quill::HandInpaintingSquare(centres[next], size);
    next = (next + 1) % centres.size();
    quill::THandInpaintingFill fill;
    fill.Mark(area, photo.committed, live, dab);
    fill.Restore({});
    benchmark::DoNotOptimize(fill.Engine()->Interior().Count());
  }
}
BENCHMARK_CAPTURE(BM_HandInpaintingMark, warm, false)->Arg(25)->Arg(100)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_HandInpaintingMark, cold, true)->Arg(25)->Arg(100)->Unit(benchmark::kMicrosecond);

// One pointer move over a marked area: the best orientation for the square under the
// pointer, then the fill in colour-surface mode with blending.
void BM_HandInpaintingMove(benchmark::State& state) {
  const Photo& photo = SamplePhoto();
  TZelPixelBuffer live;
  live.Allocate(quill::kPixelFormat24, photo.committed.GetBounds());
  live.CopyFrom(photo.committed);
  const int size = static_cast<int>(state.range(0));
  TZelPixelMask dab;
  quill::HandInpaintingDab(dab, size);
  const quill::TRect area = quill::HandInpaintingSquare({300, 250}, size);
  quill::THandInpaintingFill fill;
  fill.Mark(area, photo.committed, live, dab);
  fill.Restore({});

  const std::vector<quill::TPoint> pointers = photo.Walk(64, size);
  size_t next = 0;
  for (auto _ : state) {
    const quill::TRect source = quill::HandInpaintingSquare(pointers[next], size);
    next = (next + 1) % pointers.size();
    const uint8_t k = fill.BestOrientation(source, {});
    fill.Fill(source, k, TAreaCorrelator::kModeColor, {});
    benchmark::DoNotOptimize(live.Bits());
  }
}
BENCHMARK(BM_HandInpaintingMove)->Arg(25)->Arg(100)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
