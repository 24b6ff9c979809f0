// What the Wire Eraser does to wires of each width: a dark cable (RGB 20, 20, 20) of
// Width pixels drawn across the 6000 x 4000 photo (LargePhoto), then one stroke along
// its middle through the tool's stroke code, exactly as the wire-repair driver paints a
// dab file (pre-stroke copy, Background Noise 6, one dab every 2 pixels along the
// cable). The time is that of the stroke; the counters are the pixels more than 40
// levels (in any channel) off the clean photo before the stroke (Damaged) and after it
// (Left): the repair's quality per wire width and Size, so that a change to the engine
// shows its effect on each.
//
// The engine judges a dab's pixels by their contrast: a thin wire's pixels all stand out
// and are repaired from the background around them, while the flat inside of a wide
// cable counts as background itself, so that the repair smears it instead. A Size of
// about five times the width clears wires up to 2 to 3 pixels; wider cables are for
// Hand Inpainting.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "BenchPhotos.h"
#include "WireEraserStroke.h"
#include "ZelLTBitmap.h"

namespace {

// The cable runs from column 1000 to 5000, falling 1 row every 5 columns from row 1800.
constexpr int32_t kCableLeft = 1000;
constexpr int32_t kCableRight = 5000;
constexpr double kCableTop = 1800;
constexpr double kCableSlope = 0.2;
constexpr uint8_t kCableLevel = 20;
constexpr int kDamageLevels = 40;
constexpr int32_t kDabStep = 2;
// The rows the cable and the dabs can reach.
constexpr quill::TRect kBand{0, 1700, quillbench::kLargeWidth, 2700};

double CableMiddle(int32_t x) { return kCableTop + (x - kCableLeft) * kCableSlope; }

// Paints the cable of Width rows in every column of its run.
void DrawCable(TZelPixels& image, int32_t width) {
  for (int32_t x = kCableLeft; x < kCableRight; ++x) {
    const int32_t top = static_cast<int32_t>(std::floor(CableMiddle(x))) - (width - 1) / 2;
    for (int32_t y = top; y < top + width; ++y) {
      uint8_t* pixel = image.GetPixelAddress(x, y);
      pixel[0] = pixel[1] = pixel[2] = kCableLevel;
    }
  }
}

// The pixels of the band more than kDamageLevels off Clean in any channel.
int64_t Damaged(const TZelPixels& image, const TZelPixels& clean) {
  int64_t count = 0;
  for (int32_t y = kBand.Top; y < kBand.Bottom; ++y) {
    const uint8_t* a = image.GetScanLine(kBand.Left, y);
    const uint8_t* b = clean.GetScanLine(kBand.Left, y);
    for (int32_t i = 0; i < kBand.Width() * 3; i += 3) {
      const int off = std::max({std::abs(a[i] - b[i]), std::abs(a[i + 1] - b[i + 1]), std::abs(a[i + 2] - b[i + 2])});
      count += off > kDamageLevels ? 1 : 0;
    }
  }
  return count;
}

struct TCabledPhoto {
  TZelPixelBuffer Clean;
  TZelPixelBuffer Cabled;
};

const TCabledPhoto& CabledPhoto(int32_t width) {
  static std::vector<TCabledPhoto*> photos(8, nullptr);
  TCabledPhoto*& photo = photos.at(static_cast<size_t>(width));
  if (photo == nullptr) {
    photo = new TCabledPhoto;
    if (!CopyBitmapToBuffer(quillbench::LargePhoto(), photo->Clean) ||
        !photo->Cabled.Allocate(quill::kPixelFormat24, photo->Clean.GetBounds())) {
      std::abort();
    }
    photo->Cabled.CopyFrom(photo->Clean);
    DrawCable(photo->Cabled, width);
  }
  return *photo;
}

// Arguments: the cable's width in pixels, the Wire Eraser's Size.
void BM_WireEraserByWireWidth(benchmark::State& state) {
  const auto width = static_cast<int32_t>(state.range(0));
  const int32_t size = quill::WireEraserSize(static_cast<double>(state.range(1)));
  const TCabledPhoto& photo = CabledPhoto(width);
  TZelPixelBuffer live;
  TZelPixelBuffer before;
  if (!live.Allocate(quill::kPixelFormat24, photo.Cabled.GetBounds()) ||
      !before.Allocate(quill::kPixelFormat24, photo.Cabled.GetBounds())) {
    state.SkipWithError("not enough memory");
    return;
  }
  live.CopyFrom(photo.Cabled);
  before.CopyFrom(photo.Cabled);
  const quill::TWireEraserOptions options;
  for (auto _ : state) {
    state.PauseTiming();
    live.CopyRect(kBand.Left, kBand.Top, photo.Cabled, kBand);
    state.ResumeTiming();
    quill::TWireEraserStroke stroke;
    stroke.Begin(live, before, before, false);
    for (int32_t x = kCableLeft; x < kCableRight; x += kDabStep) {
      stroke.ApplyDab(quill::ImagePixelAt(x, CableMiddle(x)), size, options);
    }
    stroke.End();
  }
  state.counters["Damaged"] = static_cast<double>(Damaged(photo.Cabled, photo.Clean));
  state.counters["Left"] = static_cast<double>(Damaged(live, photo.Clean));
}

// Per width, the Size the help advises (about five times the width) and others around it.
BENCHMARK(BM_WireEraserByWireWidth)
    ->ArgNames({"width", "size"})
    ->Args({1, 5})
    ->Args({1, 10})
    ->Args({2, 6})
    ->Args({2, 10})
    ->Args({2, 15})
    ->Args({3, 8})
    ->Args({3, 15})
    ->Args({3, 25})
    ->Args({4, 10})
    ->Args({4, 20})
    ->Args({5, 25})
    ->Args({6, 15})
    ->Args({6, 30})
    ->Iterations(2)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
