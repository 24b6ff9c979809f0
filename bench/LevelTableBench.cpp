// The brightness and contrast tool's table pass on a 6000 x 4000 image made from a
// real photo, each beside a plain copy of the same bytes measured in the same run:
// the whole image (what every slider step and the final application map) and a
// 1920 x 1080 area of it (what a view at 1:1 shows). The automatic correction's scan
// of the whole image is measured too.

#include <benchmark/benchmark.h>

#include <cstring>

#include "BenchPhotos.h"
#include "LevelTable.h"
#include "ZelLTBitmap.h"

namespace {

constexpr int kWidth = quillbench::kLargeWidth;
constexpr int kHeight = quillbench::kLargeHeight;
constexpr quill::TRect kVisible{2000, 1500, 3920, 2580};

// The large photo's pixels: the committed image.
const TZelPixels& LargePhoto() { return quillbench::LargePhoto().GetPixels(); }

// The live image the table is applied to.
TZelPixelBuffer& LiveImage() {
  static TZelPixelBuffer* live = [] {
    auto* buffer = new TZelPixelBuffer;
    buffer->Allocate(quill::kPixelFormat24, LargePhoto().GetBounds());
    buffer->CopyFrom(LargePhoto());
    return buffer;
  }();
  return *live;
}

// Brightness 20, contrast 30, as the tool builds it: the line through (10, 0) and
// (205, 255).
quill::TLevelTable SampleTable() {
  quill::TLevelTable table;
  for (int i = 0; i < 256; ++i) {
    const int value = (i - 10) * 255 / 195;
    table[static_cast<size_t>(i)] = static_cast<uint8_t>(value < 0 ? 0 : value > 255 ? 255 : value);
  }
  return table;
}

void CopyRows(const TZelPixels& source, TZelPixels& dest, const quill::TRect& rect) {
  const size_t bytes = static_cast<size_t>(rect.Width()) * 3;
  for (int32_t y = rect.Top; y < rect.Bottom; ++y) {
    std::memcpy(dest.GetScanLine(rect.Left, y), source.GetScanLine(rect.Left, y), bytes);
  }
}

// Both images made and their pages touched before any timing.
void Warm() {
  static const bool warm = [] {
    CopyRows(LargePhoto(), LiveImage(), LargePhoto().GetBounds());
    return true;
  }();
  benchmark::DoNotOptimize(warm);
}

void Report(benchmark::State& state, const quill::TRect& rect) {
  state.SetBytesProcessed(state.iterations() * rect.Width() * rect.Height() * 3);
}

void BM_CopyWholeImage(benchmark::State& state) {
  Warm();
  const quill::TRect rect = LargePhoto().GetBounds();
  for (auto _ : state) {
    CopyRows(LargePhoto(), LiveImage(), rect);
    benchmark::ClobberMemory();
  }
  Report(state, rect);
}
BENCHMARK(BM_CopyWholeImage)->Unit(benchmark::kMillisecond);

void BM_LevelTableWholeImage(benchmark::State& state) {
  Warm();
  const quill::TRect rect = LargePhoto().GetBounds();
  const quill::TLevelTable table = SampleTable();
  for (auto _ : state) {
    quill::ApplyLevelTable(LargePhoto(), LiveImage(), rect, table);
    benchmark::ClobberMemory();
  }
  Report(state, rect);
}
BENCHMARK(BM_LevelTableWholeImage)->Unit(benchmark::kMillisecond);

void BM_CopyVisibleArea(benchmark::State& state) {
  Warm();
  for (auto _ : state) {
    CopyRows(LargePhoto(), LiveImage(), kVisible);
    benchmark::ClobberMemory();
  }
  Report(state, kVisible);
}
BENCHMARK(BM_CopyVisibleArea)->Unit(benchmark::kMillisecond);

void BM_LevelTableVisibleArea(benchmark::State& state) {
  Warm();
  const quill::TLevelTable table = SampleTable();
  for (auto _ : state) {
    quill::ApplyLevelTable(LargePhoto(), LiveImage(), kVisible, table);
    benchmark::ClobberMemory();
  }
  Report(state, kVisible);
}
BENCHMARK(BM_LevelTableVisibleArea)->Unit(benchmark::kMillisecond);

void BM_FindAutoLevels(benchmark::State& state) {
  Warm();
  for (auto _ : state) benchmark::DoNotOptimize(quill::FindAutoLevels(LargePhoto()));
  Report(state, LargePhoto().GetBounds());
}
BENCHMARK(BM_FindAutoLevels)->Unit(benchmark::kMillisecond);

}  // namespace
