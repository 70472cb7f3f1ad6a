#include "RLE.h"

#include "PixelCodec.h"

namespace {

struct TRLEWriter {
  TDIBSharedImage& Target;
  int64_t X = 0; // column
  int64_t Y = 0; // row counted from the bottom

  void Put(uint32_t Index) {
    if (X >= 0 && X < Target.Width && Y < Target.Height) {
      uint8_t* row = Target.PixelMemory + (Target.Height - 1 - Y) * int64_t(Target.RowStride);
      if (Target.BitCount == 8)
        row[X] = uint8_t(Index);
      else
        SetPackedIndex(row, int32_t(X), 4, Index & 0xF);
    }
    ++X;
  }
};

} // namespace

void DecodeRLE(const TDIBSharedImage& Source, TDIBSharedImage& Target) {
  if (Target.Compressed || !Target.PixelMemory || (Target.BitCount != 8 && Target.BitCount != 4) ||
      Source.BitCount != Target.BitCount)
    return;
  const bool rle4 = Target.BitCount == 4;
  const uint8_t* in = Source.PixelMemory;
  const int64_t size = in ? Source.Size : 0;
  TRLEWriter out{Target};
  int64_t i = 0;
  while (i + 1 < size && out.Y < Target.Height) {
    const uint32_t count = in[i], value = in[i + 1];
    i += 2;
    if (count > 0) {
      // A run; RLE4 alternates the two nibbles, high first. Pixels past the
      // right edge are dropped, so a long run cannot reach the next row.
      const int64_t n = out.X < Target.Width ? count : 0;
      for (int64_t k = 0; k < n; ++k)
        out.Put(rle4 ? ((k & 1) ? value & 0xF : value >> 4) : value);
      if (n == 0)
        out.X += count;
      continue;
    }
    switch (value) {
    case 0: // end of line
      out.X = 0;
      ++out.Y;
      break;
    case 1: // end of picture
      return;
    case 2: // move right and up
      if (i + 1 >= size)
        return;
      out.X += in[i];
      out.Y += in[i + 1];
      i += 2;
      break;
    default: { // literal pixels, padded to an even byte count
      const int64_t bytes = rle4 ? (value + 1) / 2 : value;
      for (int64_t k = 0; k < value; ++k) {
        const int64_t at = i + (rle4 ? k / 2 : k);
        if (at >= size)
          return;
        out.Put(rle4 ? ((k & 1) ? in[at] & 0xF : in[at] >> 4) : in[at]);
      }
      i += bytes + (bytes & 1);
      break;
    }
    }
  }
}
