// One Wire Eraser dab as the tool runs it inside a mouse event: the power-disc mask
// over a real photo, pixels read from the pre-stroke copy, classify + fit + fill, and
// the covered pixels written into the live image. Dabs walk a diagonal across the
// photo so that they meet sky, skin, fabric and edges alike.
//
// bench/wire_eraser_vs_telea.py runs BM_WireEraserDab in turns with OpenCV's Telea
// inpainting of the same dabs and prints both medians and their ratio.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "DabShapes.h"
#include "Defect.h"
#include "PngFile.h"

namespace {

struct Photo {
  TZelPixelBuffer committed;  // the image as it stood before the stroke
  std::vector<TPoint> centres;

  Photo() {
    std::string error;
    if (!ReadPng(QUILL_IMAGES_DIR "/astronaut.png", committed, error)) {
      std::fprintf(stderr, "%s\n", error.c_str());
      std::abort();
    }
    for (int i = 0; i < 64; ++i) {
      centres.push_back({20 + i * (committed.Width() - 40) / 64, 20 + i * (committed.Height() - 40) / 64});
    }
  }
};

const Photo& SamplePhoto() {
  static const Photo* photo = new Photo;
  return *photo;
}

// Walks the dab centres: places Mask over the next dab of Size and returns the dab's
// rectangle clipped to the photo.
TRect NextDab(const Photo& photo, size_t& next, int size, TZelPixelMask& mask) {
  const TRect rect = DabRect(photo.centres[next], size);
  next = (next + 1) % photo.centres.size();
  mask.MoveTo(rect.Left, rect.Top);
  return IntersectRect(rect, photo.committed.GetBounds());
}

void BM_WireEraserDab(benchmark::State& state) {
  const Photo& photo = SamplePhoto();
  TZelPixelBuffer live;
  live.Allocate(kPixelFormat24, photo.committed.GetBounds());  // the image the dabs write into
  live.CopyFrom(photo.committed);
  const int size = static_cast<int>(state.range(0));
  TZelPixelMask mask;
  PowerDisc(mask, size, 255, 160);
  TDefectGrid grid;
  size_t next = 0;
  for (auto _ : state) {
    const TRect rect = NextDab(photo, next, size, mask);
    benchmark::DoNotOptimize(RepairDab(grid, mask, photo.committed, live, rect, 6, false));
  }
}
BENCHMARK(BM_WireEraserDab)->Arg(5)->Arg(25)->Arg(50)->Unit(benchmark::kMicrosecond);

// The right-button dab that measures Background Noise.
void BM_BackgroundNoiseDab(benchmark::State& state) {
  const Photo& photo = SamplePhoto();
  const int size = static_cast<int>(state.range(0));
  TZelPixelMask mask;
  PowerDisc(mask, size, 255, 160);
  TDefectGrid grid;
  size_t next = 0;
  double noise = 0;
  for (auto _ : state) {
    const TRect rect = NextDab(photo, next, size, mask);
    benchmark::DoNotOptimize(MeasureDabNoise(grid, mask, photo.committed, rect, noise));
  }
}
BENCHMARK(BM_BackgroundNoiseDab)->Arg(50)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
