#include "BmpFormat.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "PictureLimits.h"
#include "PixelCodec.h"
#include "RLE.h"

namespace {

uint16_t Get16(const uint8_t* p) {
  return uint16_t(p[0] | p[1] << 8);
}
uint32_t Get32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
void Put16(uint8_t* p, uint16_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
}
void Put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i)
    p[i] = uint8_t(v >> (8 * i));
}

[[noreturn]] void Invalid() {
  throw EInvalidGraphic("DIB is invalid");
}

// Refuses to allocate for bytes the stream cannot hold, when it can tell.
void CheckAvailable(TStream& Stream, int64_t Bytes) {
  const int64_t left = Stream.Remaining();
  if (left >= 0 && left < Bytes)
    throw EReadError();
}

} // namespace

TDIBPixelFormat PixelFormatFromMasks(uint32_t RedMask, uint32_t GreenMask, uint32_t BlueMask) {
  auto run = [](uint32_t m) {
    if (m == 0)
      return 0;
    while (!(m & 1))
      m >>= 1;
    int n = 0;
    while (m & 1) {
      ++n;
      m >>= 1;
    }
    return n;
  };
  const int r = run(RedMask), g = run(GreenMask), b = run(BlueMask);
  // Wider channels fit no accepted format and would overflow the mask arithmetic.
  if (r > 8 || g > 8 || b > 8)
    throw EInvalidGraphicOperation("PixelFormat in invalid");
  return MakePixelFormat(r, g, b);
}

std::unique_ptr<TDIBSharedImage> ReadDIBImage(TStream& Stream, bool MemoryStorage) {
  auto image = std::make_unique<TDIBSharedImage>();
  uint8_t header[40] = {};
  const int64_t got = Stream.Read(header, 4);
  if (got == 0) {
    image->MemoryStorage = MemoryStorage;
    return image;
  }
  if (got < 4)
    Invalid();
  const uint32_t headerSize = Get32(header);
  if (headerSize != 12 && headerSize != 40)
    Invalid();
  const bool core = headerSize == 12;
  if (Stream.Read(header + 4, headerSize - 4) != int64_t(headerSize - 4))
    Invalid();

  int64_t width, height;
  uint32_t bitCount, compression = biRGB, colorCount = 0, imageSize = 0;
  if (core) {
    width = Get16(header + 4);
    height = Get16(header + 6);
    bitCount = Get16(header + 10);
  } else {
    width = int32_t(Get32(header + 4));
    height = int32_t(Get32(header + 8));
    bitCount = Get16(header + 14);
    compression = Get32(header + 16);
    imageSize = Get32(header + 20);
    colorCount = Get32(header + 32);
  }
  if (compression > biBitFields)
    Invalid();
  // RLE8 codes 8-bit indices and RLE4 4-bit ones; any other pairing would leave
  // the encoded bytes where plain rows are expected.
  if ((compression == biRLE8 && bitCount != 8) || (compression == biRLE4 && bitCount != 4))
    Invalid();
  if (width < 0)
    Invalid();
  const bool topDown = height < 0;
  const int64_t rows = topDown ? -height : height;
  CheckPictureSize(width, rows, std::min<uint32_t>(bitCount, 32));

  TDIBPixelFormat format =
      MakePixelFormat(bitCount == 16 ? 5 : 8, bitCount == 16 ? 5 : 8, bitCount == 16 ? 5 : 8);
  if (compression == biBitFields) {
    uint8_t masks[12];
    Stream.ReadBuffer(masks, 12);
    format = PixelFormatFromMasks(Get32(masks), Get32(masks + 4), Get32(masks + 8));
  }

  if (colorCount == 0)
    colorCount = bitCount <= 8 ? 1u << bitCount : 0;
  colorCount = std::min<uint32_t>(colorCount, 256);
  TDIBColorTable table{};
  const int entrySize = core ? 3 : 4;
  uint8_t entries[256 * 4];
  Stream.ReadBuffer(entries, int64_t(colorCount) * entrySize);
  for (uint32_t i = 0; i < colorCount; ++i) {
    const uint8_t* e = entries + i * entrySize;
    table[i] = uint32_t(e[0]) | uint32_t(e[1]) << 8 | uint32_t(e[2]) << 16 |
               (core ? 0 : uint32_t(e[3]) << 24);
  }

  const bool rle = compression == biRLE8 || compression == biRLE4;
  // Plain rows must all be there: a short stream is refused before the
  // picture is allocated.
  if (!rle)
    CheckAvailable(Stream, ((width * std::min<uint32_t>(bitCount, 32) + 31) / 32) * 4 * rows);
  image->Allocate(int32_t(width), int32_t(rows), int32_t(bitCount), format, table, MemoryStorage,
                  rle);

  if (rle) {
    // A picture without pixels has nothing to decode into.
    if (image->Width == 0 || image->Height == 0)
      return image;
    if (int64_t(imageSize) > PictureByteLimit())
      throw std::bad_alloc();
    CheckAvailable(Stream, imageSize);
    // Compressed images are decoded when their pixels are first needed.
    uint8_t* encoded = image->AllocateEncoded(int32_t(imageSize), DecodeRLE);
    Stream.ReadBuffer(encoded, imageSize);
    return image;
  }

  if (topDown) {
    Stream.ReadBuffer(image->PixelMemory, image->Size);
  } else {
    // File rows run bottom-up; memory rows run top-down.
    for (int32_t i = 0; i < image->Height; ++i)
      Stream.ReadBuffer(image->PixelMemory + int64_t(image->Height - 1 - i) * image->RowStride,
                        image->RowStride);
  }
  return image;
}

void WriteDIBImage(const TDIBSharedImage& Image, TStream& Stream) {
  if (Image.Size == 0)
    return;
  if (Image.Compressed && Image.HeaderSize >= 40) {
    // RLE data always runs bottom-up; a negative height would tell other
    // readers it does not.
    std::unique_ptr<uint8_t[]> info(new uint8_t[std::size_t(Image.HeaderSize)]);
    std::memcpy(info.get(), Image.BitmapInfo.get(), std::size_t(Image.HeaderSize));
    Put32(info.get() + biHeight, uint32_t(Image.Height));
    Stream.WriteBuffer(info.get(), Image.HeaderSize);
  } else {
    Stream.WriteBuffer(Image.BitmapInfo.get(), Image.HeaderSize);
  }
  Stream.WriteBuffer(Image.PixelMemory, std::min(Image.Size, std::max(Image.HeaderImageSize(), 0)));
}

bool ReadBmpFileHeader(TStream& Stream) {
  uint8_t header[14];
  const int64_t got = Stream.Read(header, 14);
  if (got == 0)
    return false;
  if (got < 14 || Get16(header) != BmpFileType)
    Invalid();
  return true;
}

void WriteBmpFileHeader(const TDIBSharedImage& Image, TStream& Stream) {
  uint8_t header[14] = {};
  Put16(header, BmpFileType);
  Put32(header + 2, uint32_t(Image.HeaderImageSize()) + uint32_t(Image.HeaderSize) + 14);
  Put32(header + 10, uint32_t(Image.HeaderSize) + 14);
  Stream.WriteBuffer(header, 14);
}
