// The vector kernels on AVX2 (this file alone is built with -mavx2; it runs
// only where the processor reports AVX2).
#if defined(__x86_64__) && defined(__AVX2__)
#include <immintrin.h>

#include "SimdKernelsShared.h"

namespace {

struct TAvx2 {
  using I = __m256i;
  using F = __m256;
  static constexpr int N16 = 16;

  static I Load(const void* p) { return _mm256_loadu_si256(static_cast<const I*>(p)); }
  static void Store(void* p, I v) { _mm256_storeu_si256(static_cast<I*>(p), v); }
  static F LoadF(const float* p) { return _mm256_loadu_ps(p); }
  static void StoreF(float* p, F v) { _mm256_storeu_ps(p, v); }
  static I LoadWidenU8(const uint8_t* p) {
    return _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
  }
  static void StoreBytes(uint8_t* p, I v) {
    // The pack works per 128-bit half; gather the two low quarters.
    const I packed = _mm256_permute4x64_epi64(_mm256_packus_epi16(v, v), 0x08);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), _mm256_castsi256_si128(packed));
  }
  // a's bytes then b's.
  static void StoreBytes2(uint8_t* p, I a, I b) {
    Store(p, _mm256_permute4x64_epi64(_mm256_packus_epi16(a, b), 0xD8));
  }
  // The bytes of lo and hi, the low and high unpacks of one vector of bytes,
  // back in their order.
  static void StoreUnpacked(uint8_t* p, I lo, I hi) { Store(p, _mm256_packus_epi16(lo, hi)); }
  // The sums of four neighbouring pixels' 16-bit lanes, for the pixels of a,
  // b holding the next ones.
  static I GroupSum(I a, I b) {
    const I mid = _mm256_permute2x128_si256(a, b, 0x21);
    return _mm256_add_epi16(_mm256_add_epi16(a, _mm256_alignr_epi8(mid, a, 8)),
                            _mm256_add_epi16(mid, _mm256_alignr_epi8(b, mid, 8)));
  }
  // v as it stands: the compiler may not fold the additions that made it
  // into those that use it.
  static I Opaque(I v) {
    __asm__("" : "+x"(v));
    return v;
  }
  static I Add16(I a, I b) { return _mm256_add_epi16(a, b); }
  static I Sub16(I a, I b) { return _mm256_sub_epi16(a, b); }
  static I Add32(I a, I b) { return _mm256_add_epi32(a, b); }
  static I Sub32(I a, I b) { return _mm256_sub_epi32(a, b); }
  static I Mul16(I a, I b) { return _mm256_mullo_epi16(a, b); }
  static I Srl16(I a, int n) { return _mm256_srli_epi16(a, n); }
  static I Sra16(I a, int n) { return _mm256_srai_epi16(a, n); }
  static I UnpackLo16(I a, I b) { return _mm256_unpacklo_epi16(a, b); }
  static I UnpackHi16(I a, I b) { return _mm256_unpackhi_epi16(a, b); }
  static I Sll32(I a, int n) { return _mm256_slli_epi32(a, n); }
  static I WidenLo16(I a) { return _mm256_unpacklo_epi16(a, _mm256_setzero_si256()); }
  static I WidenHi16(I a) { return _mm256_unpackhi_epi16(a, _mm256_setzero_si256()); }
  static I UnpackLo8Zero(I a) { return _mm256_unpacklo_epi8(a, _mm256_setzero_si256()); }
  static I UnpackHi8Zero(I a) { return _mm256_unpackhi_epi8(a, _mm256_setzero_si256()); }
  static I UnpackLo32(I a, I b) { return _mm256_unpacklo_epi32(a, b); }
  static I UnpackHi32(I a, I b) { return _mm256_unpackhi_epi32(a, b); }
  static I Packs32(I a, I b) { return _mm256_packs_epi32(a, b); }
  static I PackUs16(I a, I b) { return _mm256_packus_epi16(a, b); }
  static I And(I a, I b) { return _mm256_and_si256(a, b); }
  static I AndNot(I a, I b) { return _mm256_andnot_si256(a, b); }
  static I Or(I a, I b) { return _mm256_or_si256(a, b); }
  static I CmpGt32(I a, I b) { return _mm256_cmpgt_epi32(a, b); }
  static I Max32(I a, I b) { return _mm256_max_epi32(a, b); }
  static I Min32(I a, I b) { return _mm256_min_epi32(a, b); }
  // 32-bit levels (at most 256; those below 0 count as 0), each into the four
  // 16-bit lanes of its pixel: Lo pixels 0, 1 and 4, 5; Hi pixels 2, 3 and 6, 7
  // (each 128-bit half on its own, as the byte packs that follow).
  static void SpreadLevels(I a, I& Lo, I& Hi) {
    const I pos = _mm256_max_epi32(a, _mm256_setzero_si256());
    Lo = _mm256_shuffle_epi8(pos, _mm256_setr_epi8(0, 1, 0, 1, 0, 1, 0, 1, 4, 5, 4, 5, 4, 5, 4, 5,
                                                   0, 1, 0, 1, 0, 1, 0, 1, 4, 5, 4, 5, 4, 5, 4, 5));
    Hi = _mm256_shuffle_epi8(pos, _mm256_setr_epi8(8, 9, 8, 9, 8, 9, 8, 9, 12, 13, 12, 13, 12, 13,
                                                   12, 13, 8, 9, 8, 9, 8, 9, 8, 9, 12, 13, 12, 13,
                                                   12, 13, 12, 13));
  }
  static I MulHiU16(I a, I b) { return _mm256_mulhi_epu16(a, b); }
  static I AddsU8(I a, I b) { return _mm256_adds_epu8(a, b); }
  static I CmpEq32(I a, I b) { return _mm256_cmpeq_epi32(a, b); }
  static I Iota32() { return _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7); }
  static I Set16(int16_t v) { return _mm256_set1_epi16(v); }
  static I SrlVar16(I a, int n) { return _mm256_srl_epi16(a, _mm_cvtsi32_si128(n)); }
  static I Set32(int32_t v) { return _mm256_set1_epi32(v); }
  static I Broadcast64(uint64_t v) { return _mm256_set1_epi64x(int64_t(v)); }
  static F SetF(float v) { return _mm256_set1_ps(v); }
  static F ToFloat(I a) { return _mm256_cvtepi32_ps(a); }
  static I ToIntNearest(F a) { return _mm256_cvtps_epi32(a); }
  static F AddF(F a, F b) { return _mm256_add_ps(a, b); }
  static F MulF(F a, F b) { return _mm256_mul_ps(a, b); }
  static F DivF(F a, F b) { return _mm256_div_ps(a, b); }
  static F SqrtF(F a) { return _mm256_sqrt_ps(a); }
};

} // namespace

#include "SimdKernelsBody.h"

QUELMA_SIMD_DEFINE_ENTRY_POINTS(quelma_avx2, TAvx2)
#endif
