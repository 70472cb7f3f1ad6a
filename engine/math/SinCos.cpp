#include "SinCos.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "SimdKernels.h"
#include "SinCosAvx2.h"

#if defined(__x86_64__) && defined(__GLIBC__)
#include <emmintrin.h>
// The C library's two-lane forms (errors of a few units in the last place,
// where the scalar functions are within one).
extern "C" __m128d _ZGVbN2v_sin(__m128d);
extern "C" __m128d _ZGVbN2v_cos(__m128d);
#define QUELMA_VECTOR_SINCOS 1
#endif

namespace {

#ifdef QUELMA_VECTOR_SINCOS
// float(y), when that is certainly the float of the scalar function's result
// too: both lie within a few units in the last place of the exact value, so
// if y is farther than 64 such units from every rounding boundary of float
// they round alike. False otherwise (then the scalar function decides).
bool SureFloat(double y, float& Out) {
  const float f = float(y);
  uint32_t bits;
  std::memcpy(&bits, &f, sizeof bits);
  bits &= 0x7FFFFFFFu;
  if (bits >= 0x7F800000u)
    return false;
  auto fromBits = [](uint32_t b) {
    float v;
    std::memcpy(&v, &b, sizeof v);
    return double(v);
  };
  const double a = fromBits(bits);
  const double up = fromBits(bits + 1) - a;
  const double down = bits == 0 ? up : a - fromBits(bits - 1);
  const double gap = std::min(up, down); // the boundaries lie half a gap or more away
  const double err = std::fabs(std::fabs(y) - a);
  if (gap / 2 - err > std::fabs(y) * 0x1p-46 + 0x1p-1000) {
    Out = f;
    return true;
  }
  return false;
}
#endif

} // namespace

void SinCosRun(const float* X, float* Sin, float* Cos, size_t N) {
  size_t i = 0;
  const TKernelPath path = ActiveKernelPath();
  if (path == TKernelPath::Avx2)
    i = SinCosRunAvx2(X, Sin, Cos, N);
#ifdef QUELMA_VECTOR_SINCOS
  for (; path != TKernelPath::Reference && i + 2 <= N; i += 2) {
    const __m128d x = _mm_set_pd(double(X[i + 1]), double(X[i]));
    double s[2], c[2];
    _mm_storeu_pd(s, _ZGVbN2v_sin(x));
    _mm_storeu_pd(c, _ZGVbN2v_cos(x));
    for (size_t k = 0; k < 2; ++k) {
      if (!SureFloat(s[k], Sin[i + k]))
        Sin[i + k] = float(std::sin(double(X[i + k])));
      if (!SureFloat(c[k], Cos[i + k]))
        Cos[i + k] = float(std::cos(double(X[i + k])));
    }
  }
#endif
  for (; i < N; ++i) {
    Sin[i] = float(std::sin(double(X[i])));
    Cos[i] = float(std::cos(double(X[i])));
  }
}
