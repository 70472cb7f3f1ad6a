// The reference-counted image behind a surface: format checks, the bitmap
// header, pixel memory and copies.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

#include "DIBmp.h"
#include "Palette.h"

namespace {

void Put32(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
  p[2] = uint8_t(v >> 16);
  p[3] = uint8_t(v >> 24);
}

void Put16(uint8_t* p, uint16_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
}

uint32_t Get32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

bool MasksAre(const TDIBPixelFormat& f, int32_t r, int32_t g, int32_t b) {
  return f.RedMask == r && f.GreenMask == g && f.BlueMask == b;
}

void CheckFormat(int32_t BitCount, const TDIBPixelFormat& PixelFormat) {
  switch (BitCount) {
  case 1:
  case 4:
  case 8:
  case 24:
  case 32:
    if (!MasksAre(PixelFormat, 0xFF0000, 0xFF00, 0xFF))
      throw EInvalidGraphicOperation("PixelFormat in invalid");
    return;
  case 16:
    if (!MasksAre(PixelFormat, 0x7C00, 0x3E0, 0x1F) && !MasksAre(PixelFormat, 0xF800, 0x7E0, 0x1F))
      throw EInvalidGraphicOperation("PixelFormat in invalid");
    return;
  default: {
    char text[64];
    std::snprintf(text, sizeof text, "Bitcount in invalid (%d)", int(BitCount));
    throw EInvalidGraphicOperation(text);
  }
  }
}

} // namespace

TDIBPixelFormat MakePixelFormat(int32_t RedBits, int32_t GreenBits, int32_t BlueBits) {
  TDIBPixelFormat f;
  f.RedMask = ((1 << RedBits) - 1) << (GreenBits + BlueBits);
  f.GreenMask = ((1 << GreenBits) - 1) << BlueBits;
  f.BlueMask = (1 << BlueBits) - 1;
  f.RedBits = RedBits;
  f.GreenBits = GreenBits;
  f.BlueBits = BlueBits;
  f.RedShift = RedBits + GreenBits + BlueBits - 8;
  f.GreenShift = GreenBits + BlueBits - 8;
  f.BlueShift = 8 - BlueBits;
  f.RedFill = 8 - RedBits;
  f.GreenFill = 8 - GreenBits;
  f.BlueFill = 8 - BlueBits;
  return f;
}

TDIBSharedImage::TDIBSharedImage() {
  // A valid empty picture: a bare header of a 0 x 0 image.
  HeaderSize = 40;
  BitmapInfo = std::make_unique<uint8_t[]>(std::size_t(HeaderSize));
  std::memset(BitmapInfo.get(), 0, std::size_t(HeaderSize));
  Put32(BitmapInfo.get() + biHeaderSize, 40);
  Put16(BitmapInfo.get() + biPlanes, 1);
}

TDIBSharedImage::~TDIBSharedImage() {
  // The image holds one reference to its shared palette.
  ReleasePalette(PaletteHandle);
  FreePixels();
}

void TDIBSharedImage::FreePixels() {
  std::free(FOwnedPixels);
  FOwnedPixels = nullptr;
  PixelMemory = nullptr;
  BottomRow = nullptr;
}

void TDIBSharedImage::Release(TDIBSharedImage* Image) {
  if (Image && --Image->RefCount <= 0)
    delete Image;
}

void TDIBSharedImage::Allocate(int32_t AWidth, int32_t AHeight, int32_t ABitCount,
                               const TDIBPixelFormat& APixelFormat,
                               const TDIBColorTable& AColorTable, bool AMemoryStorage,
                               bool ACompressed) {
  CheckFormat(ABitCount, APixelFormat);
  if (AWidth < 0 || AHeight < 0) {
    char text[80];
    std::snprintf(text, sizeof text, "DIB size is invalid (%d x %d)", int(AWidth), int(AHeight));
    throw EInvalidGraphicOperation(text);
  }
  // The sizes are 32-bit fields of the header: a picture whose bytes do not fit
  // cannot be had, whatever memory there is.
  const int64_t stride64 = ((int64_t(AWidth) * ABitCount + 31) >> 5) * 4;
  const int64_t size64 = stride64 * AHeight;
  const bool tooLarge = stride64 > std::numeric_limits<int32_t>::max() ||
                        size64 > std::numeric_limits<int32_t>::max();

  BitCount = ABitCount;
  Height = AHeight;
  Width = AWidth;
  RowStride = tooLarge ? 0 : int32_t(stride64);
  RowStep = -RowStride;
  Size = tooLarge ? 0 : int32_t(size64);
  PixelFormat = APixelFormat;
  ColorTableCount = BitCount <= 8 ? 1 << BitCount : 0;

  const bool bitFields = BitCount == 16 || BitCount == 32;
  uint32_t compression = biRGB;
  if (bitFields)
    compression = biBitFields;
  else if (ACompressed && BitCount == 4)
    compression = biRLE4;
  else if (ACompressed && BitCount == 8)
    compression = biRLE8;

  HeaderSize = 40 + (bitFields ? 12 : 0) + 4 * ColorTableCount;
  ColorTableOffset = bitFields ? 52 : 40;
  BitmapInfo = std::make_unique<uint8_t[]>(std::size_t(HeaderSize));
  uint8_t* bi = BitmapInfo.get();
  std::memset(bi, 0, std::size_t(HeaderSize));
  Put32(bi + biHeaderSize, 40);
  Put32(bi + biWidth, uint32_t(Width));
  Put32(bi + biHeight, uint32_t(-Height)); // negative: rows top-down
  Put16(bi + biPlanes, 1);
  Put16(bi + biBitCount, uint16_t(BitCount));
  Put32(bi + biCompression, compression);
  Put32(bi + biSizeImage, uint32_t(Size));
  if (bitFields) {
    Put32(bi + biRedMask, uint32_t(PixelFormat.RedMask));
    Put32(bi + biGreenMask, uint32_t(PixelFormat.GreenMask));
    Put32(bi + biBlueMask, uint32_t(PixelFormat.BlueMask));
  }

  ColorTable = AColorTable;
  for (int32_t i = 0; i < ColorTableCount; ++i)
    Put32(bi + ColorTableOffset + 4 * i, ColorTable[std::size_t(i)]);

  Compressed = compression == biRLE8 || compression == biRLE4;
  MemoryStorage = AMemoryStorage || Compressed;

  FreePixels();
  if (!Compressed) {
    if (MemoryStorage) {
      if (tooLarge)
        throw std::bad_alloc();
      if (Size > 0) {
        FOwnedPixels = static_cast<uint8_t*>(std::malloc(std::size_t(Size)));
        if (!FOwnedPixels)
          throw std::bad_alloc();
      }
    } else {
      // A DIB section comes zero-filled.
      if (tooLarge)
        throw EOutOfResources("DIB cannot be made");
      if (Size > 0) {
        FOwnedPixels = static_cast<uint8_t*>(std::calloc(std::size_t(Size), 1));
        if (!FOwnedPixels)
          throw EOutOfResources("DIB cannot be made");
      }
    }
    PixelMemory = FOwnedPixels;
  }
  BottomRow =
      PixelMemory && Height > 0 ? PixelMemory + ptrdiff_t(Height - 1) * RowStride : PixelMemory;
}

uint8_t* TDIBSharedImage::AllocateEncoded(int32_t ByteCount, TDecoder WithDecoder) {
  FreePixels();
  Decoder = WithDecoder;
  if (ByteCount < 0)
    ByteCount = 0;
  if (ByteCount > 0) {
    FOwnedPixels = static_cast<uint8_t*>(std::malloc(std::size_t(ByteCount)));
    if (!FOwnedPixels)
      throw std::bad_alloc();
  }
  PixelMemory = FOwnedPixels;
  // Encoded bytes have no rows; BottomRow is not used until decoded.
  BottomRow = PixelMemory;
  Size = ByteCount;
  Put32(BitmapInfo.get() + biSizeImage, uint32_t(ByteCount));
  return PixelMemory;
}

int32_t TDIBSharedImage::HeaderImageSize() const {
  if (!BitmapInfo || HeaderSize < 40)
    return 0;
  return int32_t(Get32(BitmapInfo.get() + biSizeImage));
}

void TDIBSharedImage::CopyFrom(const TDIBSharedImage& Source, bool WantMemory) {
  if (Source.Size == 0) {
    MemoryStorage = WantMemory;
    return;
  }
  Allocate(Source.Width, Source.Height, Source.BitCount, Source.PixelFormat, Source.ColorTable,
           WantMemory, Source.Compressed);
  int32_t bytes = Source.HeaderImageSize();
  if (Compressed)
    AllocateEncoded(bytes, Source.Decoder);
  // The header may claim more than either buffer holds: copy what both hold.
  if (bytes > Source.Size)
    bytes = Source.Size;
  if (bytes > Size)
    bytes = Size;
  if (bytes > 0)
    std::memcpy(PixelMemory, Source.PixelMemory, std::size_t(bytes));
}

void TDIBSharedImage::ExpandFrom(const TDIBSharedImage& Source, bool WantMemory) {
  if (!Source.Compressed) {
    CopyFrom(Source, WantMemory);
    return;
  }
  Allocate(Source.Width, Source.Height, Source.BitCount, Source.PixelFormat, Source.ColorTable,
           WantMemory, false);
  if (!Source.Decoder)
    throw EInvalidGraphic("DIB is invalid");
  // Pixels the encoded data skips stay defined.
  if (Size > 0)
    std::memset(PixelMemory, 0, std::size_t(Size));
  Source.Decoder(Source, *this);
}

namespace {

// Holds the empty image's own reference and frees it at exit when no surface
// holds it any more.
struct TEmptyImageHolder {
  TDIBSharedImage* Image;
  TEmptyImageHolder() : Image(new TDIBSharedImage) { Image->AddRef(); }
  ~TEmptyImageHolder() {
    if (Image->RefCount <= 1)
      TDIBSharedImage::Release(Image);
  }
};

} // namespace

TDIBSharedImage* EmptyDIBImage() {
  static TEmptyImageHolder holder;
  return holder.Image;
}
