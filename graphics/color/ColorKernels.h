#pragma once
// Row kernels over runs of pixels. 32-bit runs are in surface order (bytes
// blue, green, red, alpha); 24-bit runs are blue, green, red. src and dst may be
// the same run; every kernel walks from the first pixel to the last and
// allocates nothing. count <= 0 does nothing.
#include <array>
#include <cstddef>
#include <cstdint>

#include "Rects.h"

// Four unsigned 16-bit lanes, lane i (i = 0 lowest) multiplying channel i.
using TLaneFactors = uint64_t;

inline constexpr TLaneFactors MakeLaneFactors(uint16_t l0, uint16_t l1, uint16_t l2, uint16_t l3) {
  return uint64_t(l0) | uint64_t(l1) << 16 | uint64_t(l2) << 32 | uint64_t(l3) << 48;
}
inline constexpr uint16_t LaneOf(TLaneFactors l, int i) {
  return uint16_t(l >> (16 * i));
}

// dst channel i = min(255, (src i * f) >> 8), all four channels; f unsigned 16-bit.
void ScaleRow(const uint32_t* src, uint32_t* dst, int32_t count, uint32_t f);
// dst channel i = min(255, (src i * Li) >> 8).
void ScaleRowLanes(const uint32_t* src, uint32_t* dst, int32_t count, TLaneFactors lanes);
// The scalar definition ScaleRowLanes's vector path must match byte for byte.
void ScaleRowLanesReference(const uint32_t* src, uint32_t* dst, int32_t count, TLaneFactors lanes);
// dst channel i = min(255, ((src i * f) >> 8) + a i), all four channels. The
// blended fill: f = 256 - alpha, a = ScaleColor(colour, alpha).
void ScaleAddRow(const uint32_t* src, uint32_t* dst, int32_t count, uint32_t f, uint32_t addend);

// T[j] for j = -255..255: T[0] = 0, T[j] = (f * j) >> 8, T[-j] = -T[j].
struct TLerpTable {
  std::array<int32_t, 511> Values{};
  int32_t operator[](int32_t j) const { return Values[std::size_t(j + 255)]; }
};
TLerpTable BuildLerpTable(int32_t f);

// Every byte: dst = b + T[a - b] (a value between a and b, rounded towards b).
// count is in pixels of three bytes.
void LerpRow24(const uint8_t* a, const uint8_t* b, uint8_t* dst, int32_t count,
               const TLerpTable& t);

// Premultiplied 32-bit source over a 24-bit destination:
// dst i = min(255, ((dst i * (256 - src alpha)) >> 8) + src i). A premultiplied
// source never reaches the limit; an additive one (colour above alpha) saturates.
void PremulOverRow24(const uint32_t* src, uint8_t* dst, int32_t count);

// For each index j: unless j = transparent, the three dst bytes become bytes
// 0..2 of table[j]; dst advances three bytes either way. table holds 256
// entries; transparent = -1 means none.
void PaletteRow8To24(const uint8_t* src, uint8_t* dst, int32_t count, int32_t transparent,
                     const uint32_t* table);

// ---- Whole rectangles ------------------------------------------------------

// A picture's pixel memory as the rectangle kernels see it: rows top-down,
// Stride bytes apart, Width x Height pixels.
struct TPixelView {
  uint8_t* Bits = nullptr;
  intptr_t Stride = 0;
  int32_t Width = 0;
  int32_t Height = 0;
};

// An 8-bit picture with its colour table (entries in surface order, blue in the
// low byte) and transparent index (-1 for none).
struct TPaletteView {
  const uint8_t* Bits = nullptr;
  intptr_t Stride = 0;
  int32_t Width = 0;
  int32_t Height = 0;
  const uint32_t* ColorTable = nullptr;
  int32_t ColorCount = 0;
  int32_t TransparentIndex = -1;
};

// The rectangle kernels clip the rectangle to every picture involved (each
// picture's point moves with the rectangle's clipped corner), so no pixel outside
// a picture is read or written.

// D = B + (A - B) * f / 256, rounded towards B, over rect of A; B and D from
// their points on. 24-bit pictures.
void LerpRect24(const TPixelView& a, const TRect& rect, const TPixelView& b, TPoint bAt, int32_t f,
                const TPixelView& d, TPoint dAt);
// PremulOverRow24 row by row: 32-bit src over rect onto the 24-bit dst at dstAt.
void PremulOverRect24(const TPixelView& src, const TRect& rect, const TPixelView& dst,
                      TPoint dstAt);
// PaletteRow8To24 row by row. Indices beyond the colour table give black.
void PaletteRect8To24(const TPaletteView& src, const TRect& rect, const TPixelView& dst,
                      TPoint dstAt);
