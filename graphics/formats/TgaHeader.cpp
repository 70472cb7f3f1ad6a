#include "TgaHeader.h"

#include <cstdio>
#include <string>

#include "DIBmp.h"

namespace {

constexpr int TgaHeaderSize = 18;

const char* KindName(ETgaKind Kind) {
  switch (Kind) {
  case ETgaKind::ColorMapped:
    return "colour-mapped";
  case ETgaKind::TrueColor:
    return "true-colour";
  case ETgaKind::Grey:
    return "grey";
  }
  return "";
}

[[noreturn]] void Unsupported(const std::string& What) {
  throw EInvalidGraphic("TGA " + What + " is not supported");
}

[[noreturn]] void UnsupportedType(uint8_t Type) {
  const char* name = Type == 0    ? " (no image data)"
                     : Type == 32 ? " (Huffman-coded colour-mapped)"
                     : Type == 33 ? " (Huffman-coded colour-mapped in four passes)"
                                  : "";
  Unsupported("image type " + std::to_string(Type) + name);
}

// The stored depths each kind is read in.
bool PixelDepthFits(ETgaKind Kind, int32_t Bits) {
  switch (Kind) {
  case ETgaKind::ColorMapped:
    return Bits == 8 || Bits == 16;
  case ETgaKind::TrueColor:
    return Bits == 15 || Bits == 16 || Bits == 24 || Bits == 32;
  case ETgaKind::Grey:
    return Bits == 8;
  }
  return false;
}

} // namespace

int32_t TTgaHeader::SurfaceBits() const {
  const int32_t colourBits = Kind == ETgaKind::ColorMapped ? MapBits : Bits;
  return colourBits == 32 ? 32 : 24;
}

TTgaHeader ReadTgaHeader(TStream& Stream) {
  uint8_t b[TgaHeaderSize];
  Stream.ReadBuffer(b, TgaHeaderSize);
  TTgaHeader h;
  h.IdLength = b[0];
  h.MapType = b[1];
  h.ImageType = b[2];
  h.MapFirst = b[3] | b[4] << 8;
  h.MapLength = b[5] | b[6] << 8;
  h.MapBits = b[7];
  h.Width = b[12] | b[13] << 8;
  h.Height = b[14] | b[15] << 8;
  h.Bits = b[16];
  h.Descriptor = b[17];

  switch (h.ImageType & ~8) {
  case 1:
    h.Kind = ETgaKind::ColorMapped;
    break;
  case 2:
    h.Kind = ETgaKind::TrueColor;
    break;
  case 3:
    h.Kind = ETgaKind::Grey;
    break;
  default:
    UnsupportedType(h.ImageType);
  }
  h.Rle = h.ImageType & 8;

  if (!PixelDepthFits(h.Kind, h.Bits))
    Unsupported(std::string(KindName(h.Kind)) + " image of " + std::to_string(h.Bits) +
                " bits per pixel");
  if (h.Descriptor & 0xC0) {
    char bits[8];
    std::snprintf(bits, sizeof bits, "0x%02X", unsigned(h.Descriptor & 0xC0));
    Unsupported(std::string("interleaving of rows (descriptor bits ") + bits + ")");
  }
  if (h.Kind == ETgaKind::ColorMapped) {
    if (h.MapType != 1 || h.MapLength == 0)
      throw EInvalidGraphic("TGA is invalid (colour-mapped image without a colour map)");
    if (h.MapBits != 15 && h.MapBits != 16 && h.MapBits != 24 && h.MapBits != 32)
      Unsupported("colour map of " + std::to_string(h.MapBits) + "-bit entries");
  }
  return h;
}
