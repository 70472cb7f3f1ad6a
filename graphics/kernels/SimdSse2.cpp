// The vector kernels on SSE2, the baseline of every x86-64 processor.
#if defined(__x86_64__) || defined(__i386__)
#include <emmintrin.h>

#include "SimdKernelsShared.h"

namespace {

struct TSse2 {
  using I = __m128i;
  using F = __m128;
  static constexpr int N16 = 8;

  static I Load(const void* p) { return _mm_loadu_si128(static_cast<const I*>(p)); }
  static void Store(void* p, I v) { _mm_storeu_si128(static_cast<I*>(p), v); }
  static F LoadF(const float* p) { return _mm_loadu_ps(p); }
  static void StoreF(float* p, F v) { _mm_storeu_ps(p, v); }
  // N16 bytes widened to 16-bit lanes.
  static I LoadWidenU8(const uint8_t* p) {
    return _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const I*>(p)), _mm_setzero_si128());
  }
  // N16 16-bit lanes (0..255) stored as N16 bytes.
  static void StoreBytes(uint8_t* p, I v) {
    _mm_storel_epi64(reinterpret_cast<I*>(p), _mm_packus_epi16(v, v));
  }
  // a's bytes then b's.
  static void StoreBytes2(uint8_t* p, I a, I b) { Store(p, _mm_packus_epi16(a, b)); }
  // The bytes of lo and hi, the low and high unpacks of one vector of bytes,
  // back in their order.
  static void StoreUnpacked(uint8_t* p, I lo, I hi) { Store(p, _mm_packus_epi16(lo, hi)); }
  // The sums of two neighbouring pixels' 16-bit lanes, for the pixels of a,
  // b holding the next ones.
  static I GroupSum(I a, I b) {
    return _mm_add_epi16(
        a, _mm_castpd_si128(_mm_shuffle_pd(_mm_castsi128_pd(a), _mm_castsi128_pd(b), 1)));
  }
  // v as it stands: the compiler may not fold the additions that made it
  // into those that use it.
  static I Opaque(I v) {
    __asm__("" : "+x"(v));
    return v;
  }
  static I Add16(I a, I b) { return _mm_add_epi16(a, b); }
  static I Sub16(I a, I b) { return _mm_sub_epi16(a, b); }
  static I Add32(I a, I b) { return _mm_add_epi32(a, b); }
  static I Sub32(I a, I b) { return _mm_sub_epi32(a, b); }
  static I Mul16(I a, I b) { return _mm_mullo_epi16(a, b); }
  static I Srl16(I a, int n) { return _mm_srli_epi16(a, n); }
  static I Sra16(I a, int n) { return _mm_srai_epi16(a, n); }
  static I UnpackLo16(I a, I b) { return _mm_unpacklo_epi16(a, b); }
  static I UnpackHi16(I a, I b) { return _mm_unpackhi_epi16(a, b); }
  static I Sll32(I a, int n) { return _mm_slli_epi32(a, n); }
  static I WidenLo16(I a) { return _mm_unpacklo_epi16(a, _mm_setzero_si128()); }
  static I WidenHi16(I a) { return _mm_unpackhi_epi16(a, _mm_setzero_si128()); }
  static I UnpackLo8Zero(I a) { return _mm_unpacklo_epi8(a, _mm_setzero_si128()); }
  static I UnpackHi8Zero(I a) { return _mm_unpackhi_epi8(a, _mm_setzero_si128()); }
  static I UnpackLo32(I a, I b) { return _mm_unpacklo_epi32(a, b); }
  static I UnpackHi32(I a, I b) { return _mm_unpackhi_epi32(a, b); }
  static I Packs32(I a, I b) { return _mm_packs_epi32(a, b); }
  static I PackUs16(I a, I b) { return _mm_packus_epi16(a, b); }
  static I And(I a, I b) { return _mm_and_si128(a, b); }
  static I AndNot(I a, I b) { return _mm_andnot_si128(a, b); }
  static I Or(I a, I b) { return _mm_or_si128(a, b); }
  static I CmpGt32(I a, I b) { return _mm_cmpgt_epi32(a, b); }
  static I Max32(I a, I b) {
    const I gt = _mm_cmpgt_epi32(a, b);
    return _mm_or_si128(_mm_and_si128(gt, a), _mm_andnot_si128(gt, b));
  }
  static I Min32(I a, I b) {
    const I gt = _mm_cmpgt_epi32(a, b);
    return _mm_or_si128(_mm_and_si128(gt, b), _mm_andnot_si128(gt, a));
  }
  // 32-bit levels (at most 256; those below 0 count as 0), each into the four
  // 16-bit lanes of its pixel: Lo pixels 0 and 1, Hi pixels 2 and 3.
  static void SpreadLevels(I a, I& Lo, I& Hi) {
    const I pos = _mm_and_si128(a, _mm_cmpgt_epi32(a, _mm_setzero_si128()));
    const I l16 = _mm_packs_epi32(pos, pos);
    const I twice = _mm_unpacklo_epi16(l16, l16);
    Lo = _mm_unpacklo_epi32(twice, twice);
    Hi = _mm_unpackhi_epi32(twice, twice);
  }
  static I MulHiU16(I a, I b) { return _mm_mulhi_epu16(a, b); }
  static I AddsU8(I a, I b) { return _mm_adds_epu8(a, b); }
  static I CmpEq32(I a, I b) { return _mm_cmpeq_epi32(a, b); }
  static I Iota32() { return _mm_setr_epi32(0, 1, 2, 3); }
  static I Set16(int16_t v) { return _mm_set1_epi16(v); }
  static I SrlVar16(I a, int n) { return _mm_srl_epi16(a, _mm_cvtsi32_si128(n)); }
  static I Set32(int32_t v) { return _mm_set1_epi32(v); }
  static I Broadcast64(uint64_t v) { return _mm_set1_epi64x(int64_t(v)); }
  static F SetF(float v) { return _mm_set1_ps(v); }
  static F ToFloat(I a) { return _mm_cvtepi32_ps(a); }
  // Rounds in the current mode: to nearest, halves to even, in this program.
  static I ToIntNearest(F a) { return _mm_cvtps_epi32(a); }
  static F AddF(F a, F b) { return _mm_add_ps(a, b); }
  static F MulF(F a, F b) { return _mm_mul_ps(a, b); }
  static F DivF(F a, F b) { return _mm_div_ps(a, b); }
  static F SqrtF(F a) { return _mm_sqrt_ps(a); }
};

} // namespace

#include "SimdKernelsBody.h"

QUELMA_SIMD_DEFINE_ENTRY_POINTS(quelma_sse2, TSse2)
#endif
