// Four sines and cosines at a time on AVX2 (this file alone is built for AVX2;
// it runs only where the processor reports it).
#include "SinCosAvx2.h"

#if defined(__x86_64__) && defined(__GLIBC__) && defined(__AVX2__)
#include <immintrin.h>

#include <cmath>

// The C library's four-lane forms (errors of a few units in the last place).
extern "C" __m256d _ZGVdN4v_sin(__m256d);
extern "C" __m256d _ZGVdN4v_cos(__m256d);

namespace {

// float(y) in each lane, and in ok a bit for each lane where that is certainly
// the float of the scalar function's result too: as the two-lane form's test,
// y lies farther than 64 double units in the last place from every rounding
// boundary of float. Floats below the normal range and lanes that are not
// numbers are never sure.
__m128 SureFloats(__m256d y, int& ok) {
  const __m128 f = _mm256_cvtpd_ps(y);
  const __m256d sign = _mm256_set1_pd(-0.0);
  const __m256d ay = _mm256_andnot_pd(sign, y);
  const __m256d a = _mm256_andnot_pd(sign, _mm256_cvtps_pd(f));
  const __m256i bits = _mm256_castpd_si256(a);
  // A float's unit in the last place: its power of two times 2^-23; half that
  // below a power of two, where the floats are closer together.
  const __m256d power =
      _mm256_castsi256_pd(_mm256_and_si256(bits, _mm256_set1_epi64x(0x7FF0000000000000)));
  const __m256d ulp = _mm256_mul_pd(power, _mm256_set1_pd(0x1p-23));
  const __m256i mantissa = _mm256_and_si256(bits, _mm256_set1_epi64x(0x000FFFFFFFFFFFFF));
  const __m256d exact = _mm256_castsi256_pd(_mm256_cmpeq_epi64(mantissa, _mm256_setzero_si256()));
  const __m256d gap = _mm256_blendv_pd(ulp, _mm256_mul_pd(ulp, _mm256_set1_pd(0.5)), exact);
  const __m256d err = _mm256_andnot_pd(sign, _mm256_sub_pd(ay, a));
  const __m256d room = _mm256_sub_pd(_mm256_mul_pd(gap, _mm256_set1_pd(0.5)), err);
  const __m256d tol =
      _mm256_add_pd(_mm256_mul_pd(ay, _mm256_set1_pd(0x1p-46)), _mm256_set1_pd(0x1p-1000));
  const __m256d sure = _mm256_and_pd(_mm256_cmp_pd(room, tol, _CMP_GT_OQ),
                                     _mm256_cmp_pd(a, _mm256_set1_pd(0x1p-126), _CMP_GE_OQ));
  ok = _mm256_movemask_pd(sure);
  return f;
}

} // namespace

int SureFloatsAvx2(const double* Y, float* Out) {
  int ok = 0;
  _mm_storeu_ps(Out, SureFloats(_mm256_loadu_pd(Y), ok));
  return ok;
}

size_t SinCosRunAvx2(const float* X, float* Sin, float* Cos, size_t N) {
  size_t i = 0;
  for (; i + 4 <= N; i += 4) {
    const __m256d x = _mm256_cvtps_pd(_mm_loadu_ps(X + i));
    int okS = 0, okC = 0;
    _mm_storeu_ps(Sin + i, SureFloats(_ZGVdN4v_sin(x), okS));
    _mm_storeu_ps(Cos + i, SureFloats(_ZGVdN4v_cos(x), okC));
    if ((okS & okC) != 0xF)
      for (size_t k = 0; k < 4; ++k) {
        if (!(okS >> k & 1))
          Sin[i + k] = float(std::sin(double(X[i + k])));
        if (!(okC >> k & 1))
          Cos[i + k] = float(std::cos(double(X[i + k])));
      }
  }
  return i;
}

#else

int SureFloatsAvx2(const double*, float*) {
  return -1;
}
size_t SinCosRunAvx2(const float*, float*, float*, size_t) {
  return 0;
}

#endif
