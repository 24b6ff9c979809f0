// A brush stroke's mask growing dab by dab: 5,000 dabs of a Size-50 soft brush merged
// one after another into the stroke mask along a diagonal of a 6000 x 4000 photo, as
// the painting tools that keep a stroke mask do on every mouse event. Down-right grows
// the mask to the right and downwards, up-left to the left and upwards. The time is
// that of one whole stroke; it must grow linearly with the dabs, not with their square.

#include <benchmark/benchmark.h>

#include "DabShapes.h"
#include "ZelBitmap.h"

namespace {

constexpr int kWidth = 6000;
constexpr int kHeight = 4000;

void BM_StrokeMaskMerge(benchmark::State& state) {
  const int dabs = static_cast<int>(state.range(0));
  const bool upLeft = state.range(1) != 0;
  TZelPixelMask dab;
  SoftDisc(dab, 50, 255, 128);
  TZelPixelMask stroke;
  for (auto _ : state) {
    stroke.Clear();
    for (int i = 0; i < dabs; ++i) {
      const int k = upLeft ? dabs - 1 - i : i;
      dab.MoveTo(static_cast<int>(int64_t{k} * (kWidth - dab.Width()) / dabs),
                 static_cast<int>(int64_t{k} * (kHeight - dab.Height()) / dabs));
      stroke.Merge(dab);
    }
    benchmark::DoNotOptimize(stroke.Bits());
  }
  state.counters["mask_MB"] = static_cast<double>(stroke.Width()) * stroke.Height() / 1e6;
  state.SetItemsProcessed(state.iterations() * dabs);
}
BENCHMARK(BM_StrokeMaskMerge)
    ->ArgsProduct({{1250, 2500, 5000}, {0, 1}})
    ->ArgNames({"dabs", "up_left"})
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
