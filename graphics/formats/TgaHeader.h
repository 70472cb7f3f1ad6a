#pragma once
// The 18-byte header of a TGA file and the variants the reader takes.
#include <cstdint>

#include "Streams.h"

enum class ETgaKind { ColorMapped, TrueColor, Grey };

// The header's fields and what they make of the picture. Read from a stream
// by ReadTgaHeader, which refuses the variants the reader does not take.
struct TTgaHeader {
  uint8_t IdLength = 0;
  uint8_t MapType = 0; // 1: a colour map follows the image ID
  uint8_t ImageType = 0;
  int32_t MapFirst = 0; // the index of the first stored map entry
  int32_t MapLength = 0;
  int32_t MapBits = 0;
  int32_t Width = 0, Height = 0;
  int32_t Bits = 0; // per pixel as stored
  uint8_t Descriptor = 0;

  ETgaKind Kind = ETgaKind::TrueColor;
  bool Rle = false; // image types 9, 10 and 11

  // Bytes of one stored pixel and of one stored map entry.
  int32_t PixelBytes() const { return (Bits + 7) / 8; }
  int32_t MapEntryBytes() const { return (MapBits + 7) / 8; }
  // The first stored row is the top one (descriptor bit 5); otherwise the
  // bottom one.
  bool TopDown() const { return Descriptor & 0x20; }
  // Rows run from right to left (descriptor bit 4).
  bool RightToLeft() const { return Descriptor & 0x10; }
  // The surface depth the picture loads into: 32 bits where the stored
  // colours carry alpha (32-bit pixels or map entries), else 24.
  int32_t SurfaceBits() const;
};

// Reads and checks the header. Raises EReadError for a short one and
// EInvalidGraphic naming the variant for one the reader does not take: an
// image type other than 1, 2, 3, 9, 10 and 11, a pixel or map-entry depth
// that does not fit the type, interleaved rows, a colour-mapped image
// without a colour map.
TTgaHeader ReadTgaHeader(TStream& Stream);
