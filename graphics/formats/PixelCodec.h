#pragma once
// Pixel values of the picture depths: packed 1- and 4-bit indices, and 16- and
// 32-bit values split into 8-bit channels by a pixel format's masks and shifts.
#include <cstdint>
#include <cstring>

#include "DIBmp.h"

// Index of pixel X of a 1-, 2-, 4- or 8-bit row, most significant bits first.
inline uint32_t GetPackedIndex(const uint8_t* Row, int32_t X, int32_t BitCount) {
  const int64_t bit = int64_t(X) * BitCount;
  const int shift = 8 - BitCount - int(bit & 7);
  return (Row[bit >> 3] >> shift) & ((1u << BitCount) - 1);
}

inline void SetPackedIndex(uint8_t* Row, int32_t X, int32_t BitCount, uint32_t Index) {
  const int64_t bit = int64_t(X) * BitCount;
  const int shift = 8 - BitCount - int(bit & 7);
  const uint32_t mask = ((1u << BitCount) - 1) << shift;
  Row[bit >> 3] = uint8_t((Row[bit >> 3] & ~mask) | ((Index << shift) & mask));
}

struct TRGB8 {
  uint8_t R = 0, G = 0, B = 0;
};

// Widens a channel whose Bits-bit value sits at the top of the byte X to 8
// bits by repeating its top bits into the low ones, so that the largest value
// gives 255 and the steps stay even (a 5-bit 16 gives 132).
inline uint8_t WidenTopBits(uint32_t X, int Bits) {
  if (Bits <= 0 || Bits >= 8)
    return uint8_t(X);
  uint32_t out = X;
  for (int s = Bits; s < 8; s += Bits)
    out |= X >> s;
  return uint8_t(out);
}

// A channel value Bits wide, at the bottom of Value, as 8 bits: wider fields
// keep their top 8 bits, narrower ones are widened as above.
inline uint8_t WidenField(uint32_t Value, int Bits) {
  if (Bits <= 0)
    return 0;
  if (Bits >= 8)
    return uint8_t(Value >> (Bits - 8));
  return WidenTopBits(Value << (8 - Bits), Bits);
}

// A 16- or 32-bit pixel value of an image format to 8-bit channels.
inline TRGB8 DecodePixel(uint32_t V, const TDIBPixelFormat& F) {
  TRGB8 c;
  c.R = WidenTopBits(((V & uint32_t(F.RedMask)) >> F.RedShift) & 0xFF, F.RedBits);
  c.G = WidenTopBits(((V & uint32_t(F.GreenMask)) >> F.GreenShift) & 0xFF, F.GreenBits);
  c.B = WidenTopBits(((V & uint32_t(F.BlueMask)) << F.BlueShift) & 0xFF, F.BlueBits);
  return c;
}

// 8-bit channels to a 16- or 32-bit pixel value; the alpha byte is 0.
inline uint32_t EncodePixel(TRGB8 C, const TDIBPixelFormat& F) {
  return ((uint32_t(C.R) << F.RedShift) & uint32_t(F.RedMask)) |
         ((uint32_t(C.G) << F.GreenShift) & uint32_t(F.GreenMask)) |
         ((uint32_t(C.B) >> F.BlueShift) & uint32_t(F.BlueMask));
}

// The colour of pixel X of a row of a picture of the given depth, format and
// colour table (entries 0x00RRGGBB).
inline TRGB8 RowPixelColor(const uint8_t* Row, int32_t X, int32_t BitCount,
                           const TDIBPixelFormat& F, const uint32_t* ColorTable) {
  switch (BitCount) {
  case 32: {
    uint32_t v;
    std::memcpy(&v, Row + 4 * int64_t(X), 4);
    return DecodePixel(v, F);
  }
  case 24: {
    const uint8_t* p = Row + 3 * int64_t(X);
    return TRGB8{p[2], p[1], p[0]};
  }
  case 16: {
    const uint32_t v = uint32_t(Row[2 * int64_t(X)]) | uint32_t(Row[2 * int64_t(X) + 1]) << 8;
    return DecodePixel(v, F);
  }
  default: {
    const uint32_t e = ColorTable[GetPackedIndex(Row, X, BitCount)];
    return TRGB8{uint8_t(e >> 16), uint8_t(e >> 8), uint8_t(e)};
  }
  }
}
