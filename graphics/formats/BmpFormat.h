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
// no byte at all gives an empty image. Raises EInvalidGraphic "DIB is invalid"
// for a malformed header, the surface's format errors for a depth or masks it
// does not take, EReadError when the stream ends early and std::bad_alloc for
// a picture beyond the size limits. RLE data stays encoded (Compressed).
std::unique_ptr<TDIBSharedImage> ReadDIBImage(TStream& Stream, bool MemoryStorage);

// Writes BitmapInfo and the pixel bytes; nothing for an empty image.
void WriteDIBImage(const TDIBSharedImage& Image, TStream& Stream);

// Reads the 14-byte file header. False when the stream holds no byte at all;
// "DIB is invalid" when it is short or not "BM". Size and offset are not used.
bool ReadBmpFileHeader(TStream& Stream);
// Writes the file header of Image's Data block.
void WriteBmpFileHeader(const TDIBSharedImage& Image, TStream& Stream);
