// DrawToDC: the 1:1 block copy from one surface into another.
#include <algorithm>
#include <cstring>
#include <vector>

#include "DIBmp.h"
#include "PixelCodec.h"

namespace {

// The colour of pixel x of a row as 0x00RRGGBB.
uint32_t ColourAt(const TDIB& s, const uint8_t* row, int32_t x) {
  const TRGB8 c = RowPixelColor(row, x, s.BitCount, s.ImagePixelFormat, s.ColorTable);
  return uint32_t(c.B) | uint32_t(c.G) << 8 | uint32_t(c.R) << 16;
}

} // namespace

void TDIB::DrawToDC(TDIB& Target, int32_t X, int32_t Y, int32_t SrcX, int32_t SrcY, int32_t W,
                    int32_t H) {
  ExpandCompressed();
  // Cut the block to this surface, then to the target, moving both corners alike.
  int64_t x = X, y = Y, sx = SrcX, sy = SrcY, w = W, h = H;
  if (sx < 0) {
    x -= sx;
    w += sx;
    sx = 0;
  }
  if (sy < 0) {
    y -= sy;
    h += sy;
    sy = 0;
  }
  if (x < 0) {
    sx -= x;
    w += x;
    x = 0;
  }
  if (y < 0) {
    sy -= y;
    h += y;
    y = 0;
  }
  w = std::min<int64_t>({w, int64_t(Width) - sx, int64_t(Target.Width) - x});
  h = std::min<int64_t>({h, int64_t(Height) - sy, int64_t(Target.Height) - y});
  if (w <= 0 || h <= 0 || GetEmpty() || Target.GetEmpty())
    return;
  const bool sameDepth = BitCount == Target.BitCount;
  if (!sameDepth && Target.BitCount != 24 && Target.BitCount != 32)
    return;
  // Drawing on a shared picture must not show through its other holders.
  Target.Unshare(Target.MemoryStorage());

  const int32_t bpp = BitCount;
  if (sameDepth && bpp >= 8) {
    const size_t rowBytes = size_t(w) * size_t(bpp / 8);
    // Copying within one picture downwards must start at the bottom row.
    const bool upwards = &Target == this && y > sy;
    for (int64_t i = 0; i < h; ++i) {
      const int64_t r = upwards ? h - 1 - i : i;
      std::memmove(Target.PixelMemory + (y + r) * Target.RowStride + x * (bpp / 8),
                   PixelMemory + (sy + r) * RowStride + sx * (bpp / 8), rowBytes);
    }
  } else if (sameDepth) {
    // Packed pixels: through a copy of the block, which also covers overlap.
    std::vector<uint8_t> block(size_t(w) * size_t(h));
    for (int64_t r = 0; r < h; ++r)
      for (int64_t c = 0; c < w; ++c)
        block[size_t(r * w + c)] =
            uint8_t(GetPackedIndex(PixelMemory + (sy + r) * RowStride, int32_t(sx + c), bpp));
    for (int64_t r = 0; r < h; ++r)
      for (int64_t c = 0; c < w; ++c)
        SetPackedIndex(Target.PixelMemory + (y + r) * Target.RowStride, int32_t(x + c), bpp,
                       block[size_t(r * w + c)]);
  } else {
    for (int64_t r = 0; r < h; ++r) {
      const uint8_t* in = PixelMemory + (sy + r) * RowStride;
      uint8_t* out = Target.PixelMemory + (y + r) * Target.RowStride;
      for (int64_t c = 0; c < w; ++c) {
        const uint32_t rgb = ColourAt(*this, in, int32_t(sx + c));
        if (Target.BitCount == 32) {
          std::memcpy(out + 4 * (x + c), &rgb, 4); // alpha 0
        } else {
          uint8_t* p = out + 3 * (x + c);
          p[0] = uint8_t(rgb);
          p[1] = uint8_t(rgb >> 8);
          p[2] = uint8_t(rgb >> 16);
        }
      }
    }
  }
}
