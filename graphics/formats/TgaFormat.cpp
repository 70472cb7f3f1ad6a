#include "TgaFormat.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "DIBmp.h"
#include "PictureLimits.h"

namespace {

constexpr int TgaHeaderSize = 18;
constexpr uint8_t TgaTrueColor = 2;
constexpr uint8_t TgaTopDown = 0x20;

void ReadTga(TDIB& Dest, TStream& Stream) {
  uint8_t h[TgaHeaderSize];
  Stream.ReadBuffer(h, TgaHeaderSize);
  const uint8_t idLength = h[0];
  const uint8_t colorMapType = h[1];
  const uint8_t imageType = h[2];
  const int32_t mapLength = h[5] | h[6] << 8;
  const int32_t mapEntryBits = h[7];
  const int32_t width = h[12] | h[13] << 8;
  const int32_t height = h[14] | h[15] << 8;
  const int32_t bits = h[16];
  const uint8_t descriptor = h[17];

  CheckPictureSize(width, height, std::min(bits, 32));
  const bool pixels = imageType == TgaTrueColor;
  // The image ID and a colour map, when present, lie between the header and
  // the pixels.
  const int64_t skip =
      idLength + (colorMapType == 1 ? int64_t(mapLength) * ((mapEntryBits + 7) / 8) : 0);
  const int32_t bytesPerPixel = (bits == 15 || bits == 16) ? 2
                                : bits == 24               ? 3
                                : bits == 32               ? 4
                                                           : 1;
  const int64_t fileRow = int64_t(bytesPerPixel) * width;
  // A file shorter than its header says is refused before anything is allocated.
  const int64_t left = Stream.Remaining();
  if (pixels && left >= 0 && left < skip + fileRow * height)
    throw EReadError();

  Dest.SetFormat(width, height, bits);
  if (Dest.GetEmpty())
    return;
  Dest.Unshare(Dest.MemoryStorage());
  // Memory storage starts undefined; a type without pixels here shows black.
  std::memset(Dest.PixelMemory, 0, std::size_t(Dest.Size));
  if (!pixels)
    return;

  std::vector<uint8_t> row(static_cast<std::size_t>(std::max<int64_t>(skip, fileRow)));
  Stream.ReadBuffer(row.data(), skip);
  const bool topDown = descriptor & TgaTopDown;
  // A file row of an unusual depth may be wider than the surface's row: what
  // does not fit is dropped.
  const std::size_t keep = std::min<std::size_t>(std::size_t(fileRow), std::size_t(Dest.RowStride));
  for (int32_t i = 0; i < height; ++i) {
    Stream.ReadBuffer(row.data(), fileRow);
    const int32_t y = topDown ? i : height - 1 - i;
    std::memcpy(Dest.PixelMemory + int64_t(y) * Dest.RowStride, row.data(), keep);
  }
}

} // namespace

void LoadTga(TDIB& Dest, TStream& Stream) {
  Dest.Clear();
  try {
    ReadTga(Dest, Stream);
  } catch (...) {
    Dest.Clear();
    throw;
  }
}

void LoadTgaFile(TDIB& Dest, const std::string& FileName) {
  Dest.Clear();
  TFileStream file(FileName, TFileStream::fmOpenRead);
  LoadTga(Dest, file);
}
