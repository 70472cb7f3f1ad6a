// Whole-surface operations on a 1920 x 1080 32-bit surface, in megapixels per
// second (items = pixels of the surface or of the filtered region).
#include <benchmark/benchmark.h>

#include <random>

#include "DIBmp.h"

namespace {

constexpr int32_t kWidth = 1920;
constexpr int32_t kHeight = 1080;

void FillRandom(TDIB& s) {
  std::mt19937 rng(1);
  for (int32_t i = 0; i < s.Size; i += 4) {
    const uint32_t v = rng();
    s.PixelMemory[i] = uint8_t(v);
    s.PixelMemory[i + 1] = uint8_t(v >> 8);
    s.PixelMemory[i + 2] = uint8_t(v >> 16);
    s.PixelMemory[i + 3] = uint8_t(v >> 24);
  }
}

void BM_FillRectOpaque(benchmark::State& state) {
  TDIBmp s(kWidth, kHeight, 32, false);
  for (auto _ : state) {
    s.FillRect(TRect{0, 0, kWidth, kHeight}, 0x40000000, 256);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * int64_t(kWidth) * kHeight);
}
BENCHMARK(BM_FillRectOpaque)->Unit(benchmark::kMillisecond);

void BM_FillRectBlended(benchmark::State& state) {
  TDIBmp s(kWidth, kHeight, 32, false);
  FillRandom(s);
  for (auto _ : state) {
    s.FillRect(TRect{0, 0, kWidth, kHeight}, 0x80406080, 200);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * int64_t(kWidth) * kHeight);
}
BENCHMARK(BM_FillRectBlended)->Unit(benchmark::kMillisecond);

// Window w x h with the engine's anchor (w div 2, h div 2) over the whole surface.
void BM_BoxBlur(benchmark::State& state) {
  const int32_t w = int32_t(state.range(0)), h = int32_t(state.range(1));
  TDIBmp s(kWidth, kHeight, 32, false);
  FillRandom(s);
  for (auto _ : state) {
    s.BoxBlur(TRect{0, 0, kWidth, kHeight}, TPoint{w, h}, TPoint{w / 2, h / 2});
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * int64_t(kWidth - w + 1) * (kHeight - h + 1));
}
BENCHMARK(BM_BoxBlur)
    ->Args({3, 3})
    ->Args({3, 1})
    ->Args({9, 9})
    ->Args({17, 17})
    ->Unit(benchmark::kMillisecond);

// The picture import's reduction: the whole surface into 128 x 72 with Lanczos.
void BM_ScaledCopyToLanczos(benchmark::State& state) {
  TDIBmp src(kWidth, kHeight, 32, true);
  FillRandom(src);
  TDIBmp dst(128, 72, 32, true);
  for (auto _ : state) {
    src.ScaledCopyTo(dst, TRect{0, 0, kWidth, kHeight}, 16, TRect{0, 0, 128, 72});
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * int64_t(kWidth) * kHeight);
}
BENCHMARK(BM_ScaledCopyToLanczos)->Unit(benchmark::kMillisecond);

} // namespace
