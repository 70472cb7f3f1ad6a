// The measures of the frame on a 1920 x 1080 cover, each on the scalar
// reference path (path 0), SSE2 (1) and AVX2 (2, skipped where the processor
// lacks it): the box filter, the fade-and-move pass, blur and fade together,
// the spots of 20000 emitters and the whole Render; and a memcpy of a frame,
// the floor of any pass over it. CPU time, one thread.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

#include "BenchPictures.h"
#include "ColorKernels.h"
#include "DIBmp.h"
#include "FlameEngine.h"
#include "SimdKernels.h"
#include "StyleMapping.h"

namespace {

constexpr int32_t kWidth = 1920;
constexpr int32_t kHeight = 1080;
// The default fade: blue 216, green 230, red 247, alpha 248.
constexpr TLaneFactors kFade = MakeLaneFactors(216, 230, 247, 248);

// Sets the path of state.range(Arg); false (and the run skipped) when the
// processor cannot run it.
bool UsePath(benchmark::State& state, int arg) {
  const int p = int(state.range(arg));
  if (p == 2 && !CpuHasAvx2()) {
    state.SkipWithError("no AVX2 on this processor");
    return false;
  }
  SetKernelPath(p == 0 ? TKernelPath::Reference : p == 1 ? TKernelPath::Sse2 : TKernelPath::Avx2);
  state.SetLabel(p == 0 ? "reference" : p == 1 ? "sse2" : "avx2");
  return true;
}

void BM_BoxBlur(benchmark::State& state) {
  const int32_t w = int32_t(state.range(0)), h = int32_t(state.range(1));
  if (!UsePath(state, 2))
    return;
  TDIBmp s(kWidth, kHeight, 32, false);
  FillRandom(s.PixelMemory, size_t(s.Size));
  for (auto _ : state) {
    s.BoxBlur(TRect{0, 0, kWidth, kHeight}, TPoint{w, h}, TPoint{w / 2, h / 2});
    benchmark::ClobberMemory();
  }
  SetKernelPath(TKernelPath::Auto);
}
BENCHMARK(BM_BoxBlur)
    ->ArgsProduct({{3}, {3}, {0, 1, 2}})
    ->ArgsProduct({{17}, {17}, {0, 1, 2}})
    ->ArgsProduct({{3}, {1}, {0, 1, 2}})
    ->Unit(benchmark::kMillisecond);

// ScaleRowLanes over every row, each moved up by one (FYMotion -1).
void BM_FadeMove(benchmark::State& state) {
  if (!UsePath(state, 0))
    return;
  TDIBmp s(kWidth, kHeight, 32, false);
  FillRandom(s.PixelMemory, size_t(s.Size));
  for (auto _ : state) {
    for (int32_t y = 1; y < kHeight; ++y)
      ScaleRowLanes(s.PixelAddress(0, y), s.PixelAddress(0, y - 1), kWidth, kFade);
    benchmark::ClobberMemory();
  }
  SetKernelPath(TKernelPath::Auto);
}
BENCHMARK(BM_FadeMove)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

// An engine on a desktop-sized cover with the default style.
struct TBenchEngine {
  TSurfaceDisplay Display;
  TPartForm Form{Display};
  TStyleSettings Style;

  explicit TBenchEngine(int32_t Emitters) {
    Form.OriginX = kWidth / 2.0f;
    Form.OriginY = kHeight / 2.0f;
    Form.DesktopRect = TRect{0, 0, kWidth, kHeight};
    Style.MaxCount = 20000;
    ApplyStyle(Form, Style);
    Form.FLifetime = ImmortalLife;
    Display.SetSizeLimits(TRect{kWidth, kHeight, kWidth, kHeight});
    Display.SetLayeredBounds(TRect{0, 0, kWidth, kHeight}, false);
    Form.SurfaceOffsetX = Form.OriginX;
    Form.SurfaceOffsetY = Form.OriginY;
    std::mt19937 gen(20000);
    auto real = [&] { return double(gen()) / 4294967296.0; };
    for (int32_t i = 0; i < Emitters; ++i)
      Form.AddEmitter(nullptr, 256, float(real() * kWidth - kWidth / 2.0),
                      float(real() * kHeight - kHeight / 2.0));
  }
};

// Blur 3 x 3 (the default) and the fade-and-move pass: Render without emitters
// on a cover that is not blank (fade factors of 256 keep it so).
void BM_BlurAndFade(benchmark::State& state) {
  if (!UsePath(state, 0))
    return;
  TBenchEngine e(0);
  TDIBmp& s = e.Display.FSurface;
  FillRandom(s.PixelMemory, size_t(s.Size));
  e.Form.FFadeFactors = MakeLaneFactors(256, 256, 256, 256);
  for (auto _ : state) {
    e.Form.Render();
    benchmark::ClobberMemory();
  }
  SetKernelPath(TKernelPath::Auto);
}
BENCHMARK(BM_BlurAndFade)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

// The spots of 20000 emitters: Render with no blur and no motion; subtract
// BM_FadeInPlace for the spots alone.
void BM_SpotsWithFade(benchmark::State& state) {
  if (!UsePath(state, 0))
    return;
  TBenchEngine e(20000);
  e.Form.FXBlur = 1;
  e.Form.FYBlur = 1;
  e.Form.FYMotion = 0;
  for (auto _ : state) {
    e.Form.Render();
    benchmark::ClobberMemory();
  }
  SetKernelPath(TKernelPath::Auto);
}
BENCHMARK(BM_SpotsWithFade)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

void BM_FadeInPlace(benchmark::State& state) {
  if (!UsePath(state, 0))
    return;
  TDIBmp s(kWidth, kHeight, 32, false);
  FillRandom(s.PixelMemory, size_t(s.Size));
  for (auto _ : state) {
    for (int32_t y = kHeight - 1; y >= 0; --y)
      ScaleRowLanes(s.PixelAddress(0, y), s.PixelAddress(0, y), kWidth, kFade);
    benchmark::ClobberMemory();
  }
  SetKernelPath(TKernelPath::Auto);
}
BENCHMARK(BM_FadeInPlace)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

// The whole Render, default style (blur 3 x 3, motion -1) and 20000 emitters
// over the desktop.
void BM_Render20000(benchmark::State& state) {
  if (!UsePath(state, 0))
    return;
  TBenchEngine e(20000);
  for (auto _ : state) {
    e.Form.Render();
    benchmark::ClobberMemory();
  }
  SetKernelPath(TKernelPath::Auto);
}
BENCHMARK(BM_Render20000)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

// The idle flame: no emitters, an all-zero cover.
void BM_RenderIdle(benchmark::State& state) {
  TBenchEngine e(0);
  for (auto _ : state) {
    e.Form.Render();
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_RenderIdle)->Unit(benchmark::kMillisecond);

// The floor of any pass over a frame: one memcpy of it (W x H pixels), the
// peer that bench/side-by-side sets the render against.
void BM_FrameCopy(benchmark::State& state) {
  const size_t bytes = size_t(state.range(0)) * size_t(state.range(1)) * 4;
  std::vector<uint8_t> from(bytes), to(bytes);
  FillRandom(from.data(), bytes);
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), bytes);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * state.range(0) * state.range(1));
}
BENCHMARK(BM_FrameCopy)->Args({1920, 1080})->Args({3840, 2160})->Unit(benchmark::kMillisecond);

} // namespace
