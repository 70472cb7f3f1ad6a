// Picks the vector kernels for this processor and owns their work rows.
#include "SimdKernels.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "SimdKernelsShared.h"

namespace {

std::atomic<TKernelPath> RequestedPath{TKernelPath::Auto};

// QUELMA_KERNELS=reference|sse2|avx2 picks the path of an Auto request, so a
// whole program can be run on the scalar reference without rebuilding.
TKernelPath PathFromEnvironment() {
  const char* v = std::getenv("QUELMA_KERNELS");
  if (v)
    for (TKernelPath p : {TKernelPath::Reference, TKernelPath::Sse2, TKernelPath::Avx2})
      if (std::strcmp(v, KernelPathName(p)) == 0)
        return p;
  return TKernelPath::Auto;
}

bool X86() {
#if defined(__x86_64__) || defined(__i386__)
  return true;
#else
  return false;
#endif
}

} // namespace

const char* KernelPathName(TKernelPath Path) {
  switch (Path) {
  case TKernelPath::Reference:
    return "reference";
  case TKernelPath::Sse2:
    return "sse2";
  case TKernelPath::Avx2:
    return "avx2";
  case TKernelPath::Auto:
    break;
  }
  return "auto";
}

bool CpuHasAvx2() {
#if defined(__x86_64__) && defined(QUELMA_SIMD_AVX2)
  static const bool has = __builtin_cpu_supports("avx2");
  return has;
#else
  return false;
#endif
}

void SetKernelPath(TKernelPath Path) {
  RequestedPath.store(Path, std::memory_order_relaxed);
}

TKernelPath ActiveKernelPath() {
  static const TKernelPath fromEnvironment = PathFromEnvironment();
  TKernelPath p = RequestedPath.load(std::memory_order_relaxed);
  if (p == TKernelPath::Auto)
    p = fromEnvironment;
  if (p == TKernelPath::Reference || !X86())
    return TKernelPath::Reference;
  if (p == TKernelPath::Sse2)
    return TKernelPath::Sse2;
  return CpuHasAvx2() ? TKernelPath::Avx2 : TKernelPath::Sse2;
}

#if defined(__x86_64__) || defined(__i386__)

namespace {

// The box filter's work rows, kept between calls so that a frame allocates
// nothing once the sizes are known.
struct TBoxBuffers {
  std::vector<uint16_t> Widened, Ring;
  std::vector<uint32_t> Columns;
  std::vector<uint16_t> SmallRows;
};

// The rounded mean of an odd window of n <= 255 pixels as a 16-bit multiply
// high and a shift: (S + bias) * magic >> (16 + shift) = floor((S + bias) / n)
// for every window sum S (0 .. 255 n). Found once per n and checked over that
// whole range; false when no 16-bit magic does (then the general kernel runs).
bool SmallMean(int n, TBoxSmall& sm) {
  static std::atomic<uint32_t> found[256]; // magic | shift << 16 | 1 << 24; 1 << 25: none
  uint32_t f = found[n].load(std::memory_order_relaxed);
  if (f == 0) {
    const uint32_t top = 255u * uint32_t(n) + uint32_t(n - 1) / 2;
    f = 1u << 25;
    for (int shift = 0; shift <= 8 && f == 1u << 25; ++shift) {
      const uint32_t magic =
          uint32_t(((uint64_t(1) << (16 + shift)) + uint64_t(n) - 1) / uint64_t(n));
      if (magic > 0xFFFF)
        continue;
      bool exact = true;
      for (uint32_t x = 0; x <= top && exact; ++x)
        exact = ((x * magic) >> (16 + shift)) == x / uint32_t(n);
      if (exact)
        f = magic | uint32_t(shift) << 16 | 1u << 24;
    }
    found[n].store(f, std::memory_order_relaxed);
  }
  if (f & (1u << 25))
    return false;
  sm.Magic = uint16_t(f & 0xFFFF);
  sm.Shift = int((f >> 16) & 0xFF);
  sm.Bias = uint16_t((n - 1) / 2);
  return true;
}

TBoxBuffers& Buffers() {
  thread_local TBoxBuffers buf;
  return buf;
}

// Which kernel filters a window: the small one (an odd window of at most 255
// pixels and 17 columns, with a 16-bit mean), the wide one (columns summed
// first in 16 bits: at most 32 rows), else the general one (rows first).
enum class TBoxKernel { Small, Wide, General };

TBoxKernel PickKernel(int32_t MaskW, int32_t MaskH, TBoxSmall& small) {
  const int64_t n = int64_t(MaskW) * MaskH;
  if (n % 2 == 1 && n <= 255 && MaskW <= 17 && SmallMean(int(n), small))
    return TBoxKernel::Small;
  return MaskH <= 32 ? TBoxKernel::Wide : TBoxKernel::General;
}

// Runs the small or the wide kernel with its work rows.
void RunColumns(TKernelPath path, TBoxKernel kernel, uint8_t* Region, ptrdiff_t Step, int32_t Width,
                int32_t Height, int32_t MaskW, int32_t MaskH, int32_t AnchorX, int32_t AnchorY,
                TBoxSmall& small, TBoxRowHook Hook, void* Context) {
  TBoxBuffers& buf = Buffers();
  const size_t spanLanes = size_t(Width + MaskW - 1) * 4;
  small.RowLanes = ptrdiff_t((spanLanes + 15) / 16 * 16 + 64);
  buf.SmallRows.assign(size_t(small.RowLanes) * size_t(MaskH + 2), 0);
  small.Columns = buf.SmallRows.data();
  small.Groups = small.Columns + small.RowLanes;
  small.Ring = small.Groups + small.RowLanes;
  const bool odd = (int64_t(MaskW) * MaskH) % 2 == 1;
#if defined(__x86_64__) && defined(QUELMA_SIMD_AVX2)
  if (path == TKernelPath::Avx2) {
    if (kernel == TBoxKernel::Small)
      quelma_avx2::FilterBoxSmall(Region, Step, Width, Height, MaskW, MaskH, AnchorX, AnchorY,
                                  small, Hook, Context);
    else
      quelma_avx2::FilterBoxWide(odd, Region, Step, Width, Height, MaskW, MaskH, AnchorX, AnchorY,
                                 small, Hook, Context);
    return;
  }
#else
  (void)path;
#endif
  if (kernel == TBoxKernel::Small)
    quelma_sse2::FilterBoxSmall(Region, Step, Width, Height, MaskW, MaskH, AnchorX, AnchorY, small,
                                Hook, Context);
  else
    quelma_sse2::FilterBoxWide(odd, Region, Step, Width, Height, MaskW, MaskH, AnchorX, AnchorY,
                               small, Hook, Context);
}

// Row sums of up to 257 bytes fit 16 bits; up to 2048 pixels a window the
// single-precision mean stays exact (see the kernels).
bool WindowFits(int32_t Width, int32_t Height, int32_t MaskW, int32_t MaskH) {
  return MaskW >= 1 && MaskH >= 1 && MaskW <= 257 && int64_t(MaskW) * MaskH <= 2048 && Width >= 1 &&
         Height >= 1;
}

} // namespace

bool FilterBoxFadeFast(uint8_t* Region, ptrdiff_t Step, int32_t Width, int32_t Height,
                       int32_t MaskW, int32_t MaskH, int32_t AnchorX, int32_t AnchorY,
                       const TBoxFade& Fade) {
  const TKernelPath path = ActiveKernelPath();
  if (path == TKernelPath::Reference || !WindowFits(Width, Height, MaskW, MaskH) || Fade.Up < 0)
    return false;
  for (int i = 0; i < 4; ++i)
    if (uint16_t(Fade.Lanes >> (16 * i)) > 257)
      return false;
  TBoxSmall small;
  const TBoxKernel kernel = PickKernel(MaskW, MaskH, small);
  if (kernel == TBoxKernel::General)
    return false;
  small.Fade = &Fade;
  RunColumns(path, kernel, Region, Step, Width, Height, MaskW, MaskH, AnchorX, AnchorY, small,
             nullptr, nullptr);
  return true;
}

bool FilterBox8u4Fast(uint8_t* Region, ptrdiff_t Step, int32_t Width, int32_t Height, int32_t MaskW,
                      int32_t MaskH, int32_t AnchorX, int32_t AnchorY, TBoxRowHook Hook,
                      void* Context) {
  const TKernelPath path = ActiveKernelPath();
  if (path == TKernelPath::Reference || !WindowFits(Width, Height, MaskW, MaskH))
    return false;
  TBoxSmall small;
  const TBoxKernel kernel = PickKernel(MaskW, MaskH, small);
  if (kernel != TBoxKernel::General) {
    RunColumns(path, kernel, Region, Step, Width, Height, MaskW, MaskH, AnchorX, AnchorY, small,
               Hook, Context);
    return true;
  }
  TBoxBuffers& buf = Buffers();
  const size_t lanes = size_t(Width) * 4;
  const size_t padded = (lanes + 15) / 16 * 16;
  const size_t span = size_t(Width + MaskW - 1) * 4;
  buf.Widened.assign(span + 32, 0);
  if (buf.Ring.size() < padded * size_t(MaskH))
    buf.Ring.resize(padded * size_t(MaskH));
  if (buf.Columns.size() < padded)
    buf.Columns.resize(padded);
  const TBoxScratch scratch{buf.Widened.data(), buf.Ring.data(), buf.Columns.data()};
  const bool odd = (int64_t(MaskW) * MaskH) % 2 == 1;
#if defined(__x86_64__) && defined(QUELMA_SIMD_AVX2)
  if (path == TKernelPath::Avx2) {
    quelma_avx2::FilterBox(odd, Region, Step, Width, Height, MaskW, MaskH, AnchorX, AnchorY,
                           scratch, Hook, Context);
    return true;
  }
#endif
  quelma_sse2::FilterBox(odd, Region, Step, Width, Height, MaskW, MaskH, AnchorX, AnchorY, scratch,
                         Hook, Context);
  return true;
}

bool ScaleRowLanesFast(const uint32_t* Src, uint32_t* Dst, int32_t Count, uint64_t Lanes) {
  const TKernelPath path = ActiveKernelPath();
  if (path == TKernelPath::Reference)
    return false;
  for (int i = 0; i < 4; ++i)
    if (uint16_t(Lanes >> (16 * i)) > 257)
      return false;
  // Walking forwards, a destination ahead of the source inside the run would
  // feed written pixels back in; the reference defines that case.
  if (Dst > Src && Dst < Src + Count)
    return false;
  if (Count <= 0)
    return true;
#if defined(__x86_64__) && defined(QUELMA_SIMD_AVX2)
  if (path == TKernelPath::Avx2) {
    quelma_avx2::ScaleLanes(Src, Dst, Count, Lanes);
    return true;
  }
#endif
  quelma_sse2::ScaleLanes(Src, Dst, Count, Lanes);
  return true;
}

bool AddSpotBoxesFast(uint8_t* Pixels, ptrdiff_t Stride, const TSpotBatch& Batch) {
  const TKernelPath path = ActiveKernelPath();
  if (path == TKernelPath::Reference)
    return false;
#if defined(__x86_64__) && defined(QUELMA_SIMD_AVX2)
  if (path == TKernelPath::Avx2) {
    quelma_avx2::SpotBoxes(Pixels, Stride, Batch);
    return true;
  }
#endif
  quelma_sse2::SpotBoxes(Pixels, Stride, Batch);
  return true;
}

#else

bool FilterBox8u4Fast(uint8_t*, ptrdiff_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t,
                      TBoxRowHook, void*) {
  return false;
}
bool ScaleRowLanesFast(const uint32_t*, uint32_t*, int32_t, uint64_t) {
  return false;
}
bool AddSpotBoxesFast(uint8_t*, ptrdiff_t, const TSpotBatch&) {
  return false;
}

#endif
