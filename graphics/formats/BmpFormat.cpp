#include "BmpFormat.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

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

// Variants that are valid BMP but not read here are named, so that the user
// learns what the file is rather than that it is broken.
[[noreturn]] void Unsupported(const std::string& What) {
  throw EInvalidGraphic("BMP with " + What + " is not supported");
}

// Refuses to allocate for bytes the stream cannot hold, when it can tell.
void CheckAvailable(TStream& Stream, int64_t Bytes) {
  const int64_t left = Stream.Remaining();
  if (left >= 0 && left < Bytes)
    throw EReadError();
}

void Skip(TStream& Stream, int64_t Bytes) {
  if (Bytes <= 0)
    return;
  CheckAvailable(Stream, Bytes);
  uint8_t buffer[4096];
  while (Bytes > 0) {
    const int64_t n = std::min<int64_t>(Bytes, sizeof buffer);
    Stream.ReadBuffer(buffer, n);
    Bytes -= n;
  }
}

enum : uint32_t { biJPEG = 4, biPNG = 5, biAlphaBitFields = 6 };

// Info header sizes: the original one, the V2 and V3 extensions (colour masks,
// then the alpha mask, inside the header), V4 and V5 (colour space, intent
// and profile, which are not used).
constexpr uint32_t CoreHeader = 12, InfoHeader = 40, V2Header = 52, V3Header = 56, V4Header = 108,
                   V5Header = 124;

struct TChannel {
  uint32_t Mask = 0;
  int Shift = 0; // the mask's lowest set bit
  int Bits = 0;  // from the lowest to the highest set bit
};

TChannel ChannelOf(uint32_t Mask) {
  TChannel c;
  c.Mask = Mask;
  if (Mask != 0) {
    c.Shift = std::countr_zero(Mask);
    c.Bits = 32 - std::countl_zero(Mask) - c.Shift;
  }
  return c;
}

uint8_t ChannelValue(uint32_t V, const TChannel& C) {
  return WidenField((V & C.Mask) >> C.Shift, C.Bits);
}

// Masks red, green, blue, alpha of a 16-, 24- or 32-bit picture.
struct TMasks {
  uint32_t R = 0, G = 0, B = 0, A = 0;
};

TMasks DefaultMasks(uint32_t BitCount) {
  if (BitCount == 16)
    return {0x7C00, 0x3E0, 0x1F, 0};
  return {0xFF0000, 0xFF00, 0xFF, 0};
}

// The surface format that holds pixels with these masks as they are, if any:
// the 5-5-5 and 5-6-5 layouts of 16 bits and 8-8-8 of 24 and 32 bits, without
// alpha. Other masks are converted to 32 bits on reading.
std::optional<TDIBPixelFormat> NativeFormat(uint32_t BitCount, const TMasks& M) {
  if (M.A != 0)
    return std::nullopt;
  if (BitCount == 16 && M.R == 0x7C00 && M.G == 0x3E0 && M.B == 0x1F)
    return MakePixelFormat(5, 5, 5);
  if (BitCount == 16 && M.R == 0xF800 && M.G == 0x7E0 && M.B == 0x1F)
    return MakePixelFormat(5, 6, 5);
  if ((BitCount == 24 || BitCount == 32) && M.R == 0xFF0000 && M.G == 0xFF00 && M.B == 0xFF)
    return MakePixelFormat(8, 8, 8);
  return std::nullopt;
}

// Rows of a picture whose pixels the surface cannot hold as stored, turned
// into surface rows as they are read: bit-field pixels into 32-bit
// premultiplied ones (opaque without an alpha mask), 2-bit indices into 8-bit
// ones.
class TRowConverter {
public:
  TRowConverter(uint32_t BitCount, const TMasks& M)
      : FBitCount(BitCount), FR(ChannelOf(M.R)), FG(ChannelOf(M.G)), FB(ChannelOf(M.B)),
        FA(ChannelOf(M.A)) {}

  void Convert(const uint8_t* In, uint8_t* Out, int32_t Width) const {
    if (FBitCount == 2) {
      for (int32_t x = 0; x < Width; ++x)
        Out[x] = uint8_t(GetPackedIndex(In, x, 2));
      return;
    }
    const int bytes = int(FBitCount / 8);
    for (int32_t x = 0; x < Width; ++x, In += bytes, Out += 4) {
      uint32_t v = 0;
      for (int i = 0; i < bytes; ++i)
        v |= uint32_t(In[i]) << (8 * i);
      const uint32_t a = FA.Mask ? ChannelValue(v, FA) : 255;
      // Straight alpha in the file, premultiplied on the surface, truncating
      // as the PNG reader does.
      Out[0] = uint8_t(ChannelValue(v, FB) * a / 255);
      Out[1] = uint8_t(ChannelValue(v, FG) * a / 255);
      Out[2] = uint8_t(ChannelValue(v, FR) * a / 255);
      Out[3] = uint8_t(a);
    }
  }

private:
  uint32_t FBitCount;
  TChannel FR, FG, FB, FA;
};

// A 32-bit picture without an alpha mask has no use for its fourth bytes;
// when all of them are 0 the writer left them unset and the picture is
// opaque, not invisible.
void OpaqueWhenFourthBytesUnset(TDIBSharedImage& Image) {
  const int64_t pixels = int64_t(Image.Width) * Image.Height;
  for (int64_t i = 0; i < pixels; ++i)
    if (Image.PixelMemory[4 * i + 3] != 0)
      return;
  for (int64_t i = 0; i < pixels; ++i)
    Image.PixelMemory[4 * i + 3] = 0xFF;
}

} // namespace

std::unique_ptr<TDIBSharedImage> ReadDIBImage(TStream& Stream, bool MemoryStorage,
                                              int64_t PixelOffset) {
  auto image = std::make_unique<TDIBSharedImage>();
  uint8_t header[V5Header] = {};
  const int64_t got = Stream.Read(header, 4);
  if (got == 0) {
    image->MemoryStorage = MemoryStorage;
    return image;
  }
  if (got < 4)
    Invalid();
  const uint32_t headerSize = Get32(header);
  switch (headerSize) {
  case CoreHeader:
  case InfoHeader:
  case V2Header:
  case V3Header:
  case V4Header:
  case V5Header:
    break;
  default:
    // OS/2 2.x headers are 64 bytes, or cut short to anything from 16.
    if (headerSize >= 16 && headerSize <= 64)
      Unsupported("an OS/2 2.x header");
    Invalid();
  }
  const bool core = headerSize == CoreHeader;
  if (Stream.Read(header + 4, headerSize - 4) != int64_t(headerSize - 4))
    Invalid();
  int64_t consumed = headerSize;

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
  switch (compression) {
  case biJPEG:
    Unsupported("embedded JPEG");
  case biPNG:
    Unsupported("embedded PNG");
  case biRGB:
  case biRLE8:
  case biRLE4:
  case biBitFields:
  case biAlphaBitFields:
    break;
  default:
    Unsupported("compression " + std::to_string(compression));
  }
  const bool bitFields = compression == biBitFields || compression == biAlphaBitFields;
  if (bitCount == 64)
    Unsupported("64 bits per pixel");
  // Bit fields on 1 bit is the fax coding of another system's headers.
  if (bitFields && bitCount == 1)
    Unsupported("Huffman compression");
  // RLE8 codes 8-bit indices and RLE4 4-bit ones; any other pairing would leave
  // the encoded bytes where plain rows are expected.
  if ((compression == biRLE8 && bitCount != 8) || (compression == biRLE4 && bitCount != 4))
    Invalid();
  if (bitFields && bitCount != 16 && bitCount != 24 && bitCount != 32)
    Invalid();
  if (width < 0)
    Invalid();
  const bool topDown = height < 0;
  const int64_t rows = topDown ? -height : height;
  CheckPictureSize(width, rows, std::min<uint32_t>(bitCount, 32));

  TMasks masks = DefaultMasks(bitCount);
  if (bitFields) {
    if (headerSize >= V2Header) {
      masks = {Get32(header + 40), Get32(header + 44), Get32(header + 48), 0};
    } else {
      uint8_t after[16];
      const int count = compression == biAlphaBitFields ? 4 : 3;
      Stream.ReadBuffer(after, 4 * count);
      consumed += 4 * count;
      masks = {Get32(after), Get32(after + 4), Get32(after + 8),
               count == 4 ? Get32(after + 12) : 0};
    }
    if (headerSize >= V3Header)
      masks.A = Get32(header + 52);
    // Writers that leave the colour masks empty mean the usual layout.
    if (masks.R == 0 && masks.G == 0 && masks.B == 0) {
      const TMasks usual = DefaultMasks(bitCount);
      masks.R = usual.R;
      masks.G = usual.G;
      masks.B = usual.B;
    }
  }

  const bool deep = bitCount == 16 || bitCount == 24 || bitCount == 32;
  const std::optional<TDIBPixelFormat> native =
      deep ? NativeFormat(bitCount, masks) : std::optional(MakePixelFormat(8, 8, 8));
  // Pixels the surface cannot hold as stored are converted row by row.
  const bool convert = (deep && !native) || bitCount == 2;

  const uint32_t tableCount = colorCount == 0 && bitCount <= 8 ? 1u << bitCount : colorCount;
  const uint32_t readCount = std::min<uint32_t>(tableCount, 256);
  TDIBColorTable table{};
  const int entrySize = core ? 3 : 4;
  uint8_t entries[256 * 4];
  Stream.ReadBuffer(entries, int64_t(readCount) * entrySize);
  consumed += int64_t(readCount) * entrySize;
  for (uint32_t i = 0; i < readCount; ++i) {
    const uint8_t* e = entries + i * entrySize;
    table[i] = uint32_t(e[0]) | uint32_t(e[1]) << 8 | uint32_t(e[2]) << 16 |
               (core ? 0 : uint32_t(e[3]) << 24);
  }

  // The pixels start where the file header says, when that is past what was
  // read and inside the file; writers may leave a gap or a longer colour table.
  // Otherwise they follow the table: all of it for deep pictures, which may
  // carry a table of any length, and at most 256 entries for shallow ones,
  // whose larger counts are broken headers.
  const int64_t remaining = Stream.Remaining();
  if (PixelOffset >= consumed && (remaining < 0 || PixelOffset - consumed <= remaining))
    Skip(Stream, PixelOffset - consumed);
  else if (bitCount > 8)
    Skip(Stream, (int64_t(tableCount) - readCount) * entrySize);

  const bool rle = compression == biRLE8 || compression == biRLE4;
  // Plain rows must all be there: a short stream is refused before the
  // picture is allocated.
  const int64_t fileStride = ((width * std::min<uint32_t>(bitCount, 32) + 31) / 32) * 4;
  if (!rle)
    CheckAvailable(Stream, fileStride * rows);
  const int32_t surfaceBits = convert ? (bitCount == 2 ? 8 : 32) : int32_t(bitCount);
  image->Allocate(int32_t(width), int32_t(rows), surfaceBits,
                  native ? *native : MakePixelFormat(8, 8, 8), table, MemoryStorage, rle);

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

  // File rows run bottom-up unless the height is negative; memory rows run
  // top-down.
  auto memoryRow = [&](int32_t i) {
    return image->PixelMemory + int64_t(topDown ? i : image->Height - 1 - i) * image->RowStride;
  };
  if (convert) {
    const TRowConverter converter(bitCount, masks);
    std::vector<uint8_t> row(static_cast<std::size_t>(fileStride));
    for (int32_t i = 0; i < image->Height; ++i) {
      Stream.ReadBuffer(row.data(), fileStride);
      converter.Convert(row.data(), memoryRow(i), image->Width);
    }
  } else if (topDown) {
    Stream.ReadBuffer(image->PixelMemory, image->Size);
  } else {
    for (int32_t i = 0; i < image->Height; ++i)
      Stream.ReadBuffer(memoryRow(i), image->RowStride);
  }
  if (!convert && bitCount == 32)
    OpaqueWhenFourthBytesUnset(*image);
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

bool ReadBmpFileHeader(TStream& Stream, uint32_t* PixelOffset) {
  uint8_t header[14];
  const int64_t got = Stream.Read(header, 14);
  if (got == 0)
    return false;
  if (got < 14 || Get16(header) != BmpFileType)
    Invalid();
  if (PixelOffset)
    *PixelOffset = Get32(header + 10);
  return true;
}

void WriteBmpFileHeader(const TDIBSharedImage& Image, TStream& Stream) {
  uint8_t header[14] = {};
  Put16(header, BmpFileType);
  Put32(header + 2, uint32_t(Image.HeaderImageSize()) + uint32_t(Image.HeaderSize) + 14);
  Put32(header + 10, uint32_t(Image.HeaderSize) + 14);
  Stream.WriteBuffer(header, 14);
}
