// TDIB's colours: single pixels by colour, the colour table and its shared
// palette, and conversion between bit depths.
#include <algorithm>
#include <cstring>

#include "Colors.h"
#include "DIBmp.h"
#include "Palette.h"
#include "PixelCodec.h"

uint32_t TDIB::PixelColorFromBottom(int32_t X, int32_t Y) {
  ExpandCompressed();
  if (X < 0 || X >= Width || Y < 0 || Y >= Height)
    return 0x1FFFFFFF;
  const uint8_t* row = RowFromBottom(Y);
  uint32_t v;
  switch (BitCount) {
  case 32:
    std::memcpy(&v, row + 4 * int64_t(X), 4);
    v &= 0xFFFFFF;
    break;
  case 24:
    v = uint32_t(row[3 * X]) | uint32_t(row[3 * X + 1]) << 8 | uint32_t(row[3 * X + 2]) << 16;
    break;
  case 16:
    v = uint32_t(row[2 * X]) | uint32_t(row[2 * X + 1]) << 8;
    break;
  default:
    v = ColorTable[GetPackedIndex(row, X, BitCount)] & 0xFFFFFF;
    break;
  }
  return SwapRB(v);
}

uintptr_t TDIB::GetPalette() {
  if (Image->ColorTableCount == 0)
    return 0;
  if (Image->PaletteStale) {
    Image->PaletteStale = false;
    ReleasePalette(Image->PaletteHandle);
    Image->PaletteHandle = AcquirePalette(Image->ColorTable.data(), Image->ColorTableCount);
  }
  return Image->PaletteHandle;
}

void TDIB::SetPalette(uintptr_t Palette) {
  TPaletteEntry entries[256] = {};
  GetPaletteEntries(Palette, 0, 256, entries);
  DeletePalette(Palette);
  TDIBColorTable table{};
  for (int i = 0; i < 256; ++i)
    table[std::size_t(i)] = uint32_t(entries[i].Blue) | uint32_t(entries[i].Green) << 8 |
                            uint32_t(entries[i].Red) << 16;
  SetColorTable(table);
}

void TDIB::SetColorTable(const TDIBColorTable& Table) {
  Unshare(true);
  Image->ColorTable = Table;
  Image->PaletteStale = true;
  if (Image->Size > 0 && Image->ColorTableCount > 0)
    for (int32_t i = 0; i < Image->ColorTableCount; ++i) {
      uint8_t* e = Image->BitmapInfo.get() + Image->ColorTableOffset + 4 * i;
      const uint32_t c = Table[std::size_t(i)];
      e[0] = uint8_t(c);
      e[1] = uint8_t(c >> 8);
      e[2] = uint8_t(c >> 16);
      e[3] = uint8_t(c >> 24);
    }
  PaletteModified = true;
}

void TDIB::SetBitCount(int32_t ABitCount) {
  if (ABitCount <= 0)
    Clear();
  else if (GetEmpty())
    SetFormat(std::max(Width, 1), std::max(Height, 1), ABitCount);
  else
    ConvertBitCount(ABitCount);
}

void TDIB::ConvertBitCount(int32_t ABitCount) {
  TDIB source;
  source.Assign(this);
  SetFormat(Width, Height, ABitCount);
  if (Image == source.Image || GetEmpty())
    return;
  // The old picture's pixels are needed decoded.
  source.ExpandCompressed();
  if (BitCount != 16 && BitCount != 24 && BitCount != 32) {
    // Nothing converts to colour-table depths; the picture is defined all the same.
    std::memset(PixelMemory, 0, std::size_t(Size));
    return;
  }
  const TDIBPixelFormat& in = source.ImagePixelFormat;
  const TDIBPixelFormat& out = ImagePixelFormat;
  for (int32_t i = 0; i < Height; ++i) {
    const uint8_t* s = source.RowFromBottom(i);
    uint8_t* d = RowFromBottom(i);
    for (int32_t x = 0; x < Width; ++x) {
      const TRGB8 c = RowPixelColor(s, x, source.BitCount, in, source.ColorTable);
      if (BitCount == 24) {
        d[3 * x] = c.B;
        d[3 * x + 1] = c.G;
        d[3 * x + 2] = c.R;
      } else if (BitCount == 32) {
        const uint32_t v = EncodePixel(c, out);
        std::memcpy(d + 4 * x, &v, 4);
      } else {
        const uint32_t v = EncodePixel(c, out);
        d[2 * x] = uint8_t(v);
        d[2 * x + 1] = uint8_t(v >> 8);
      }
    }
    // Padding bytes of 16- and 24-bit rows.
    const int32_t used = Width * (BitCount / 8);
    std::memset(d + used, 0, std::size_t(RowStride - used));
  }
}
