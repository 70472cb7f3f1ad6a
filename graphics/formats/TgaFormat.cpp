#include "TgaFormat.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "DIBmp.h"
#include "PictureLimits.h"
#include "TgaHeader.h"

namespace {

// The stored pixels one row at a time, stored plainly or as run-length
// packets. A packet may run on from one row into the next; what a packet
// holds beyond the last pixel of the picture is never read.
class TTgaRowReader {
public:
  TTgaRowReader(TStream& Stream, const TTgaHeader& H)
      : FStream(Stream), FRle(H.Rle), FPixelBytes(H.PixelBytes()),
        FRow(std::size_t(H.Width) * std::size_t(FPixelBytes)) {}

  const uint8_t* Next() {
    if (!FRle) {
      FStream.ReadBuffer(FRow.data(), int64_t(FRow.size()));
      return FRow.data();
    }
    uint8_t* out = FRow.data();
    for (std::size_t left = FRow.size() / FPixelBytes; left > 0;) {
      if (FCount == 0) {
        uint8_t packet = 0;
        FStream.ReadBuffer(&packet, 1);
        FCount = (packet & 0x7F) + 1;
        FRun = packet & 0x80;
        if (FRun)
          FStream.ReadBuffer(FRunPixel, FPixelBytes);
      }
      const std::size_t n = std::min<std::size_t>(FCount, left);
      if (FRun)
        for (std::size_t i = 0; i < n; ++i)
          std::memcpy(out + i * FPixelBytes, FRunPixel, FPixelBytes);
      else
        FStream.ReadBuffer(out, int64_t(n * FPixelBytes));
      out += n * FPixelBytes;
      left -= n;
      FCount -= int32_t(n);
    }
    return FRow.data();
  }

private:
  TStream& FStream;
  bool FRle;
  std::size_t FPixelBytes;
  std::vector<uint8_t> FRow;
  int32_t FCount = 0; // pixels left in the current packet
  bool FRun = false;
  uint8_t FRunPixel[4] = {};
};

uint8_t Widen5(uint32_t v) {
  return uint8_t(v << 3 | v >> 2);
}

// One stored colour of 15, 16, 24 or 32 bits as the surface's blue, green,
// red (and alpha for 32) bytes. The attribute bit of 16-bit colours is not
// read.
void StoredColor(const uint8_t* In, int32_t Bits, uint8_t* Out) {
  if (Bits == 15 || Bits == 16) {
    const uint32_t v = uint32_t(In[0]) | uint32_t(In[1]) << 8;
    Out[0] = Widen5(v & 31);
    Out[1] = Widen5(v >> 5 & 31);
    Out[2] = Widen5(v >> 10 & 31);
  } else {
    std::memcpy(Out, In, std::size_t(Bits / 8));
  }
}

// Turns stored rows into surface rows.
class TTgaColors {
public:
  TTgaColors(const TTgaHeader& H, const std::vector<uint8_t>& StoredMap)
      : FHeader(H), FOutBytes(H.SurfaceBits() / 8) {
    if (H.Kind != ETgaKind::ColorMapped)
      return;
    FMap.resize(std::size_t(H.MapLength) * FOutBytes);
    for (int32_t i = 0; i < H.MapLength; ++i)
      StoredColor(StoredMap.data() + std::size_t(i) * H.MapEntryBytes(), H.MapBits,
                  FMap.data() + std::size_t(i) * FOutBytes);
  }

  void Row(const uint8_t* In, uint8_t* Out) const {
    const TTgaHeader& h = FHeader;
    const bool plain = h.Kind == ETgaKind::TrueColor && h.Bits == FOutBytes * 8;
    if (plain && !h.RightToLeft()) {
      std::memcpy(Out, In, std::size_t(h.Width) * FOutBytes);
      return;
    }
    const std::ptrdiff_t step = h.RightToLeft() ? -FOutBytes : FOutBytes;
    uint8_t* o = h.RightToLeft() ? Out + std::ptrdiff_t(h.Width - 1) * FOutBytes : Out;
    for (int32_t x = 0; x < h.Width; ++x, In += h.PixelBytes(), o += step) {
      switch (h.Kind) {
      case ETgaKind::TrueColor:
        StoredColor(In, h.Bits, o);
        break;
      case ETgaKind::Grey:
        o[0] = o[1] = o[2] = In[0];
        break;
      case ETgaKind::ColorMapped:
        std::memcpy(o, MapEntry(h.Bits == 16 ? In[0] | In[1] << 8 : In[0]), FOutBytes);
        break;
      }
    }
  }

private:
  const uint8_t* MapEntry(int32_t Index) const {
    const int32_t i = Index - FHeader.MapFirst;
    if (i < 0 || i >= FHeader.MapLength)
      throw EInvalidGraphic("TGA is invalid (colour index " + std::to_string(Index) +
                            " outside the colour map)");
    return FMap.data() + std::size_t(i) * FOutBytes;
  }

  const TTgaHeader& FHeader;
  int32_t FOutBytes;
  std::vector<uint8_t> FMap; // entries in the surface's form
};

// The fewest bytes the pixels can take: all of them stored, or for
// run-length data one packet of 128 pixels for each 128.
int64_t LeastPixelBytes(const TTgaHeader& H) {
  const int64_t pixels = int64_t(H.Width) * H.Height;
  if (!H.Rle)
    return pixels * H.PixelBytes();
  return (pixels + 127) / 128 * (1 + H.PixelBytes());
}

void ReadTga(TDIB& Dest, TStream& Stream) {
  const TTgaHeader h = ReadTgaHeader(Stream);
  CheckPictureSize(h.Width, h.Height, h.SurfaceBits());
  // The image ID and a colour map, when present, lie between the header and
  // the pixels.
  const int64_t mapBytes = h.MapType == 1 ? int64_t(h.MapLength) * h.MapEntryBytes() : 0;
  // A file shorter than its header says is refused before anything is allocated.
  const int64_t left = Stream.Remaining();
  if (left >= 0 && left < h.IdLength + mapBytes + LeastPixelBytes(h))
    throw EReadError();

  std::vector<uint8_t> skipped(h.IdLength);
  Stream.ReadBuffer(skipped.data(), h.IdLength);
  std::vector<uint8_t> map(static_cast<std::size_t>(mapBytes));
  Stream.ReadBuffer(map.data(), mapBytes);
  const TTgaColors colors(h, map);

  Dest.PixelFormat = MakePixelFormat(8, 8, 8);
  Dest.SetFormat(h.Width, h.Height, h.SurfaceBits());
  if (Dest.GetEmpty())
    return;
  Dest.Unshare(Dest.MemoryStorage());
  // Memory storage starts undefined; the rows' padding stays 0.
  std::memset(Dest.PixelMemory, 0, std::size_t(Dest.Size));
  TTgaRowReader rows(Stream, h);
  for (int32_t i = 0; i < h.Height; ++i) {
    const int32_t y = h.TopDown() ? i : h.Height - 1 - i;
    colors.Row(rows.Next(), Dest.PixelMemory + int64_t(y) * Dest.RowStride);
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
