// One Wire Eraser dab as the tool runs it inside a mouse event, through the tool's
// stroke code: the power-disc mask over a real photo, clipped, pixels read from the
// pre-stroke copy, classify + fit + fill, and the covered pixels written into the live
// image. Dabs walk a diagonal across the photo so that they meet sky, skin, fabric and
// edges alike.
//
// bench/wire_eraser_vs_telea.py runs BM_WireEraserDab in turns with OpenCV's Telea
// inpainting of the same dabs and prints both medians and their ratio.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "ImageCodecs.h"
#include "WireEraserStroke.h"
#include "ZelLTBitmap.h"

namespace {

struct Photo {
  TZelPixelBuffer committed;  // the image as it stood before the stroke
  std::vector<quill::TPoint> centres;

  Photo() {
    TZelLTBitmap photo;
    quill::TImageRawFormat format;
    quill::TImageMetadata metadata;
    if (!quill::LoadImageFile(QUILL_IMAGES_DIR "/astronaut.png", photo, format, metadata) ||
        !CopyBitmapToBuffer(photo, committed)) {
      std::fprintf(stderr, "cannot read the sample photo\n");
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

void BM_WireEraserDab(benchmark::State& state) {
  const Photo& photo = SamplePhoto();
  TZelPixelBuffer live;
  live.Allocate(quill::kPixelFormat24, photo.committed.GetBounds());  // the image the dabs write into
  live.CopyFrom(photo.committed);
  const int size = static_cast<int>(state.range(0));
  quill::TWireEraserStroke stroke;
  stroke.Begin(live, photo.committed, photo.committed, false);
  const quill::TWireEraserOptions options;
  size_t next = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(stroke.ApplyDab(photo.centres[next], size, options));
    next = (next + 1) % photo.centres.size();
  }
}
BENCHMARK(BM_WireEraserDab)->Arg(5)->Arg(25)->Arg(50)->Unit(benchmark::kMicrosecond);

// The right-button dab that measures Background Noise.
void BM_BackgroundNoiseDab(benchmark::State& state) {
  const Photo& photo = SamplePhoto();
  TZelPixelBuffer live;
  live.Allocate(quill::kPixelFormat24, photo.committed.GetBounds());
  live.CopyFrom(photo.committed);
  const int size = static_cast<int>(state.range(0));
  quill::TWireEraserStroke stroke;
  stroke.Begin(live, photo.committed, photo.committed, true);
  const quill::TWireEraserOptions options;
  size_t next = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(stroke.ApplyDab(photo.centres[next], size, options));
    next = (next + 1) % photo.centres.size();
  }
}
BENCHMARK(BM_BackgroundNoiseDab)->Arg(50)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
