#pragma once
// BMP data: the 14-byte file header and the Data block (BitmapInfo, then the
// pixel bytes), which is also the clipboard's CF_DIB form.
#include <cstdint>
#include <memory>

#include "DIBmp.h"
#include "Streams.h"

// Clipboard format number of the Data block.
inline constexpr uint16_t CF_DIB = 8;
// "BM" read as a little-endian 16-bit value.
inline constexpr uint16_t BmpFileType = 0x4D42;

// Reads a Data block into a new image of the given storage kind. A stream with
// no byte at all gives an empty image.
// - Headers: the 12-byte core header and the 40-, 52-, 56-, 108- and 124-byte
//   info headers, with bit-field masks (the alpha mask too) after or inside
//   them.
// - Pixels start PixelOffset bytes after the block's first byte when that lies
//   past the headers and colour table and inside the stream; otherwise (and
//   with -1) they follow the colour table.
// - 16- and 32-bit pixels whose masks the surface formats do not have, or that
//   have an alpha mask, become 32-bit premultiplied pixels; 2-bit indices
//   become 8-bit ones. A 32-bit picture without alpha mask whose fourth bytes
//   are all 0 is made opaque.
// Raises EInvalidGraphic "DIB is invalid" for a malformed header and "BMP with
// ... is not supported" for a variant it does not read (embedded JPEG or PNG,
// OS/2 2.x headers, 64 bits, Huffman), the surface's format errors for a
// depth it does not take, EReadError when the stream ends early and
// std::bad_alloc for a picture beyond the size limits. RLE data stays encoded
// (Compressed).
std::unique_ptr<TDIBSharedImage> ReadDIBImage(TStream& Stream, bool MemoryStorage,
                                              int64_t PixelOffset = -1);

// Writes BitmapInfo and the pixel bytes; nothing for an empty image.
void WriteDIBImage(const TDIBSharedImage& Image, TStream& Stream);

// Reads the 14-byte file header. False when the stream holds no byte at all;
// "DIB is invalid" when it is short or not "BM". PixelOffset (when given)
// receives the offset of the pixel data from the header's first byte; the
// size field is not used.
bool ReadBmpFileHeader(TStream& Stream, uint32_t* PixelOffset = nullptr);
// Writes the file header of Image's Data block.
void WriteBmpFileHeader(const TDIBSharedImage& Image, TStream& Stream);
