// The fading pass's row kernel over a whole 1920x1080 32-bit surface, in place
// (no motion) and moving every row up by one (the default motion).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "Colors.h"

namespace {

constexpr int32_t kWidth = 1920;
constexpr int32_t kHeight = 1080;
// The default fade: blue 216, green 230, red 247, alpha 248.
constexpr TLaneFactors kFade = MakeLaneFactors(216, 230, 247, 248);

std::vector<uint32_t> FlameLikeSurface() {
  std::vector<uint32_t> px(size_t(kWidth) * kHeight);
  uint32_t seed = 0;
  for (auto& p : px) {
    seed = seed * 134775813u + 1u;
    const uint32_t a = seed >> 24;
    p = a << 24 | (a * 7 / 8) << 16 | (a * 3 / 4) << 8 | (a / 2); // premultiplied warm colour
  }
  return px;
}

void Report(benchmark::State& state) {
  const double pixels = double(state.iterations()) * kWidth * kHeight;
  state.SetItemsProcessed(int64_t(pixels));
  state.counters["Mpix/s"] = benchmark::Counter(pixels / 1e6, benchmark::Counter::kIsRate);
}

void BM_ScaleRowLanes_InPlace(benchmark::State& state) {
  std::vector<uint32_t> px = FlameLikeSurface();
  for (auto _ : state) {
    for (int32_t y = 0; y < kHeight; ++y) {
      uint32_t* row = px.data() + size_t(y) * kWidth;
      ScaleRowLanes(row, row, kWidth, kFade);
    }
    benchmark::DoNotOptimize(px.data());
    benchmark::ClobberMemory();
  }
  Report(state);
}
BENCHMARK(BM_ScaleRowLanes_InPlace)->Unit(benchmark::kMillisecond);

void BM_ScaleRowLanes_MoveUp(benchmark::State& state) {
  std::vector<uint32_t> px = FlameLikeSurface();
  for (auto _ : state) {
    for (int32_t y = 1; y < kHeight; ++y)
      ScaleRowLanes(px.data() + size_t(y) * kWidth, px.data() + size_t(y - 1) * kWidth, kWidth,
                    kFade);
    benchmark::DoNotOptimize(px.data());
    benchmark::ClobberMemory();
  }
  Report(state);
}
BENCHMARK(BM_ScaleRowLanes_MoveUp)->Unit(benchmark::kMillisecond);

} // namespace
