// The surface: layout, creation, format changes, sharing and errors.
#include <gtest/gtest.h>

#include <cstring>
#include <new>

#include "DIBmp.h"

namespace {

uint32_t Read32(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

uint16_t Read16(const uint8_t* p) {
  return uint16_t(p[0] | p[1] << 8);
}

// A 32-bit surface whose pixel (x, y) holds a value unique to it.
void Paint(TDIB& s) {
  for (int32_t y = 0; y < s.Height; ++y)
    for (int32_t x = 0; x < s.Width; ++x)
      *s.PixelAddress(x, y) = 0x01000000u * uint32_t(y + 1) + uint32_t(x * 7 + y);
}

} // namespace

TEST(DIBLayout, RowStrideHeaderAndColourTableFollowTheDepth) {
  struct Case {
    int32_t width, bitCount;
    TDIBPixelFormat format;
    int32_t stride, headerSize, tableOffset, tableCount;
    uint32_t compression;
  } cases[] = {
      {5, 32, MakePixelFormat(8, 8, 8), 20, 52, 52, 0, biBitFields},
      {5, 24, MakePixelFormat(8, 8, 8), 16, 40, 40, 0, biRGB},
      {33, 1, MakePixelFormat(8, 8, 8), 8, 48, 40, 2, biRGB},
      {9, 4, MakePixelFormat(8, 8, 8), 8, 104, 40, 16, biRGB},
      {3, 8, MakePixelFormat(8, 8, 8), 4, 1064, 40, 256, biRGB},
      {3, 16, MakePixelFormat(5, 6, 5), 8, 52, 52, 0, biBitFields},
      {3, 16, MakePixelFormat(5, 5, 5), 8, 52, 52, 0, biBitFields},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.width << " x " << c.bitCount);
    TDIBSharedImage image;
    TDIBColorTable table{};
    table[1] = 0x00112233;
    image.Allocate(c.width, 3, c.bitCount, c.format, table, true, false);
    EXPECT_EQ(image.RowStride, c.stride);
    EXPECT_EQ(image.RowStep, -c.stride);
    EXPECT_EQ(image.Size, c.stride * 3);
    EXPECT_EQ(image.HeaderSize, c.headerSize);
    EXPECT_EQ(image.ColorTableOffset, c.tableOffset);
    EXPECT_EQ(image.ColorTableCount, c.tableCount);
    EXPECT_EQ(image.BottomRow, image.PixelMemory + 2 * c.stride);
    const uint8_t* bi = image.BitmapInfo.get();
    EXPECT_EQ(Read32(bi + biHeaderSize), 40u);
    EXPECT_EQ(int32_t(Read32(bi + biWidth)), c.width);
    EXPECT_EQ(int32_t(Read32(bi + biHeight)), -3); // top-down
    EXPECT_EQ(Read16(bi + biPlanes), 1);
    EXPECT_EQ(Read16(bi + biBitCount), c.bitCount);
    EXPECT_EQ(Read32(bi + biCompression), c.compression);
    EXPECT_EQ(int32_t(Read32(bi + biSizeImage)), image.Size);
    if (c.compression == biBitFields) {
      EXPECT_EQ(int32_t(Read32(bi + biRedMask)), c.format.RedMask);
      EXPECT_EQ(int32_t(Read32(bi + biGreenMask)), c.format.GreenMask);
      EXPECT_EQ(int32_t(Read32(bi + biBlueMask)), c.format.BlueMask);
    }
    if (c.tableCount > 1) {
      EXPECT_EQ(Read32(bi + c.tableOffset + 4), 0x00112233u);
    }
  }
}

TEST(DIBLayout, PixelFormatFromBitCounts) {
  const TDIBPixelFormat f888 = MakePixelFormat(8, 8, 8);
  EXPECT_EQ(f888.RedMask, 0xFF0000);
  EXPECT_EQ(f888.GreenMask, 0xFF00);
  EXPECT_EQ(f888.BlueMask, 0xFF);
  EXPECT_EQ(f888.RedShift, 16);
  EXPECT_EQ(f888.GreenShift, 8);
  EXPECT_EQ(f888.BlueShift, 0);
  EXPECT_EQ(f888.RedFill, 0);

  const TDIBPixelFormat f565 = MakePixelFormat(5, 6, 5);
  EXPECT_EQ(f565.RedMask, 0xF800);
  EXPECT_EQ(f565.GreenMask, 0x7E0);
  EXPECT_EQ(f565.BlueMask, 0x1F);
  EXPECT_EQ(f565.RedShift, 8);
  EXPECT_EQ(f565.GreenShift, 3);
  EXPECT_EQ(f565.BlueShift, 3);
  EXPECT_EQ(f565.RedFill, 3);
  EXPECT_EQ(f565.GreenFill, 2);
  EXPECT_EQ(f565.BlueFill, 3);
}

TEST(DIBLayout, PixelAddressesAndBottomRows) {
  TDIB s(5, 4, 32, true);
  EXPECT_EQ(reinterpret_cast<uint8_t*>(s.PixelAddress(0, 0)), s.PixelMemory);
  EXPECT_EQ(reinterpret_cast<uint8_t*>(s.PixelAddress(3, 2)), s.PixelMemory + 2 * 20 + 12);
  EXPECT_EQ(s.ByteAddress(3, 2), s.PixelMemory + 43);
  EXPECT_EQ(s.RowFromBottom(0), s.PixelMemory + 3 * 20); // the last row in memory
  EXPECT_EQ(s.RowFromBottom(3), s.PixelMemory);
  EXPECT_EQ(s.PixelMemoryFlushed(), s.PixelMemory);
  *s.PixelAddress(4, 3) = 0xAABBCCDD;
  EXPECT_EQ(s.GetPixel32(4, 3), 0xAABBCCDDu);
  EXPECT_EQ(s.PixelMemory[4 * 20 - 4], 0xDD); // blue first in memory

  TDIB t(5, 2, 24, true);
  EXPECT_EQ(t.PixelAddress24(2, 1), t.PixelMemory + 16 + 6);
}

TEST(DIBPixels, AddPixelSaturatesEachByteOnItsOwn) {
  struct Case {
    uint32_t pixel, colour, expected;
  } cases[] = {
      // bytes in memory order blue, green, red, alpha
      {0xF0100010, 0x20FF0010, 0xFFFF0020}, {0x00000000, 0xFFFFFFFF, 0xFFFFFFFF},
      {0xFFFFFFFF, 0x01010101, 0xFFFFFFFF}, {0x7F7F7F7F, 0x01010101, 0x80808080},
      {0x00FF00FF, 0x00010001, 0x00FF00FF}, // no carry into the next byte
  };
  TDIB s(2, 1, 32, true);
  for (const Case& c : cases) {
    *s.PixelAddress(1, 0) = c.pixel;
    s.AddPixel(1, 0, c.colour);
    EXPECT_EQ(s.GetPixel32(1, 0), c.expected) << std::hex << c.pixel << " + " << c.colour;
  }
}

TEST(DIBPixels, AddPixelScaledAddsTheScaledColourPerByte) {
  TDIB s(1, 1, 32, true);
  *s.PixelAddress(0, 0) = 0;
  s.AddPixelScaled(0, 0, 128, 0xFFFFFFFF);
  EXPECT_EQ(s.GetPixel32(0, 0), 0x7F7F7F7Fu);

  // Every byte value and factor: min(255, d + (c * Factor) div 256).
  for (uint32_t f = 0; f <= 256; f += 1)
    for (uint32_t c = 0; c < 256; c += 3) {
      const uint32_t d = (c * 37 + f) & 0xFF;
      *s.PixelAddress(0, 0) = d | (255 - d) << 8 | d << 16 | 0x10u << 24;
      s.AddPixelScaled(0, 0, int32_t(f), c | c << 8 | c << 16 | c << 24);
      const uint32_t add = c * f / 256;
      const uint32_t expected = std::min(255u, d + add) | std::min(255u, 255 - d + add) << 8 |
                                std::min(255u, d + add) << 16 | std::min(255u, 0x10 + add) << 24;
      ASSERT_EQ(s.GetPixel32(0, 0), expected) << "factor " << f << " colour " << c;
    }
}

TEST(DIBCreate, EmptySurfaceHoldsTheSharedEmptyImage) {
  TDIB a, b;
  EXPECT_TRUE(a.GetEmpty());
  EXPECT_EQ(a.Image, EmptyDIBImage());
  EXPECT_EQ(a.Image, b.Image);
  EXPECT_TRUE(a.MemoryStorage());
  EXPECT_EQ(a.Width, 0);
  EXPECT_EQ(a.Height, 0);
  EXPECT_EQ(a.PixelFormat, MakePixelFormat(8, 8, 8));
  EXPECT_EQ(a.ClipRect, (TRect{0, 0, 0, 0}));
}

TEST(DIBCreate, SizedSurfaceOfEachStorageKind) {
  TDIB dib(4, 3, 32, false);
  EXPECT_FALSE(dib.MemoryStorage());
  EXPECT_TRUE(dib.PaletteModified);
  EXPECT_EQ(dib.Image->RefCount, 1);
  EXPECT_EQ(dib.ClipRect, (TRect{0, 0, 4, 3}));
  for (int32_t i = 0; i < dib.Size; ++i)
    ASSERT_EQ(dib.PixelMemory[i], 0) << "a DIB section starts zero-filled";

  auto mem = TDIBmp::CreateSized(4, 3, 24, true);
  EXPECT_TRUE(mem->MemoryStorage());
  EXPECT_EQ(mem->RowStride, 12);
  EXPECT_EQ(mem->ILCount, 1);
  EXPECT_EQ(mem->DrawMode, dmNormal);
  for (uint32_t entry : mem->Image->ColorTable)
    ASSERT_EQ(entry, 0u);
}

TEST(DIBErrors, EachErrorLeavesTheSurfaceAsItWas) {
  struct Case {
    const char* name;
    int32_t width, height, bitCount;
    bool memory;
    const char* message; // nullptr: std::bad_alloc
  } cases[] = {
      {"bit count 7", 4, 4, 7, true, "Bitcount in invalid (7)"},
      {"bit count 0", 4, 4, 0, false, "Bitcount in invalid (0)"},
      {"16 bits with 8-8-8 masks", 4, 4, 16, true, "PixelFormat in invalid"},
      {"DIB section too large", 40000, 40000, 32, false, "DIB cannot be made"},
      {"memory too large", 40000, 40000, 32, true, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // Through SetFormat: the old image and its pixels stay.
    TDIB s(3, 2, 32, c.memory);
    Paint(s);
    TDIBSharedImage* before = s.Image;
    s.ClipRect = TRect{1, 1, 2, 2};
    try {
      s.SetFormat(c.width, c.height, c.bitCount);
      ADD_FAILURE() << "no error";
    } catch (const std::bad_alloc&) {
      EXPECT_EQ(c.message, nullptr);
    } catch (const std::runtime_error& e) {
      ASSERT_NE(c.message, nullptr) << e.what();
      EXPECT_STREQ(e.what(), c.message);
      if (std::strcmp(c.message, "DIB cannot be made") == 0)
        EXPECT_NE(dynamic_cast<const EOutOfResources*>(&e), nullptr);
      else
        EXPECT_NE(dynamic_cast<const EInvalidGraphicOperation*>(&e), nullptr);
    }
    EXPECT_EQ(s.Image, before);
    EXPECT_EQ(s.Image->RefCount, 1);
    EXPECT_EQ(s.Width, 3);
    EXPECT_EQ(s.BitCount, 32);
    EXPECT_EQ(s.ClipRect, (TRect{1, 1, 2, 2}));
    EXPECT_EQ(s.GetPixel32(2, 1), 0x02000000u + 15);

    // Through CreateSized: no surface is made.
    if (c.message)
      EXPECT_THROW(TDIB(c.width, c.height, c.bitCount, c.memory), std::runtime_error);
    else
      EXPECT_THROW(TDIB(c.width, c.height, c.bitCount, c.memory), std::bad_alloc);
  }
  EXPECT_THROW(TDIB(-1, 5, 32, true), EInvalidGraphicOperation);
}

TEST(DIBFormat, SameFormatIsANoOperation) {
  TDIB s(4, 4, 32, true);
  TDIBSharedImage* image = s.Image;
  s.ClipRect = TRect{1, 1, 3, 3};
  s.SetFormat(4, 4, 32);
  EXPECT_EQ(s.Image, image);
  EXPECT_EQ(s.ClipRect, (TRect{1, 1, 3, 3}));

  s.SetFormat(5, 4, 32);
  EXPECT_NE(s.Image, image);
  EXPECT_EQ(s.ClipRect, (TRect{0, 0, 5, 4})) << "an image change resets ClipRect";
  EXPECT_TRUE(s.PaletteModified);
}

TEST(DIBFormat, StorageKindIsSticky) {
  TDIB plain;
  plain.SetFormat(8, 2, 32);
  EXPECT_TRUE(plain.MemoryStorage());

  TDIB display;
  display.MakeDIBSection();
  EXPECT_FALSE(display.MemoryStorage());
  EXPECT_TRUE(display.GetEmpty());
  EXPECT_NE(display.Image, EmptyDIBImage()) << "a private empty image";
  display.SetFormat(8, 2, 32);
  EXPECT_FALSE(display.MemoryStorage());
  display.SetFormat(16, 4, 32);
  EXPECT_FALSE(display.MemoryStorage());
  for (int32_t i = 0; i < display.Size; ++i)
    ASSERT_EQ(display.PixelMemory[i], 0);

  display.SetFormat(0, 4, 32);
  EXPECT_TRUE(display.GetEmpty());
  EXPECT_EQ(display.Image, EmptyDIBImage());
}

TEST(DIBFormat, SixteenBitsNeedSixteenBitMasks) {
  TDIB s(2, 2, 32, true);
  EXPECT_THROW(s.SetFormat(2, 2, 16), EInvalidGraphicOperation);
  s.PixelFormat = MakePixelFormat(5, 6, 5);
  s.SetFormat(2, 2, 16);
  EXPECT_EQ(s.BitCount, 16);
  EXPECT_EQ(s.ImagePixelFormat, MakePixelFormat(5, 6, 5));
  EXPECT_THROW(s.SetFormat(2, 2, 24), EInvalidGraphicOperation);
  EXPECT_EQ(s.BitCount, 16);
}

TEST(DIBFormat, SetWidthAndSetHeight) {
  TDIB s;
  s.SetWidth(10);
  EXPECT_EQ(s.Width, 10);
  EXPECT_EQ(s.Height, 1);
  EXPECT_EQ(s.BitCount, 8);
  s.SetHeight(3);
  EXPECT_EQ(s.Height, 3);
  EXPECT_EQ(s.Width, 10);
  EXPECT_EQ(s.BitCount, 8);
  s.SetWidth(0);
  EXPECT_TRUE(s.GetEmpty());

  TDIB t;
  t.SetHeight(7);
  EXPECT_EQ(t.Width, 1);
  EXPECT_EQ(t.Height, 7);
  TDIB u(4, 4, 32, true);
  u.SetHeight(-2);
  EXPECT_TRUE(u.GetEmpty());
}

TEST(DIBShare, AssignSharesAndCopyOnWriteSeparates) {
  auto a = std::make_unique<TDIBmp>(4, 3, 32, true);
  Paint(*a);
  a->ILCount = 5;
  a->DrawMode = dmAlphaBlend;
  auto b = std::make_unique<TDIBmp>();
  int changes = 0;
  b->OnChange = [&](TDIB&) { ++changes; };
  b->Assign(a.get());
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(b->Image, a->Image);
  EXPECT_EQ(a->Image->RefCount, 2);
  EXPECT_EQ(b->PixelMemory, a->PixelMemory);
  EXPECT_EQ(b->ILCount, 5);
  EXPECT_EQ(b->DrawMode, dmAlphaBlend);

  // Drawing through the windowing layer gives B its own DIB-section copy.
  b->CanvasChanging();
  EXPECT_NE(b->Image, a->Image);
  EXPECT_FALSE(b->MemoryStorage());
  EXPECT_EQ(a->Image->RefCount, 1);
  EXPECT_EQ(std::memcmp(a->PixelMemory, b->PixelMemory, size_t(a->Size)), 0);
  *b->PixelAddress(1, 1) = 0x12345678;
  EXPECT_NE(a->GetPixel32(1, 1), 0x12345678u);
  b->CanvasChanging(); // private already: no further copy
  EXPECT_EQ(b->GetPixel32(1, 1), 0x12345678u);

  // Unshare(true) keeps memory storage only where it was.
  TDIB c;
  c.Assign(a.get());
  c.Unshare(true);
  EXPECT_TRUE(c.MemoryStorage());
  EXPECT_NE(c.Image, a->Image);
  TDIB d;
  d.Assign(b.get());
  d.Unshare(true);
  EXPECT_FALSE(d.MemoryStorage());

  // Freeing a holder releases its reference.
  TDIBSharedImage* shared = a->Image;
  {
    TDIB e;
    e.Assign(a.get());
    EXPECT_EQ(shared->RefCount, 2);
  }
  EXPECT_EQ(shared->RefCount, 1);

  b->Assign(b.get());
  EXPECT_EQ(b->Image->RefCount, 1);
  b->Assign(nullptr);
  EXPECT_TRUE(b->GetEmpty());
  EXPECT_EQ(changes, 3);
}

TEST(DIBShare, StorageConversionsKeepThePixels) {
  TDIB s(5, 3, 32, true);
  Paint(s);
  s.MakeDIBSection();
  EXPECT_FALSE(s.MemoryStorage());
  EXPECT_EQ(s.GetPixel32(4, 2), 0x03000000u + 30);
  TDIBSharedImage* dib = s.Image;
  s.MakeDIBSection();
  EXPECT_EQ(s.Image, dib);
  s.MakeMemoryStorage();
  EXPECT_TRUE(s.MemoryStorage());
  EXPECT_EQ(s.GetPixel32(4, 2), 0x03000000u + 30);
  EXPECT_EQ(s.ClipRect, (TRect{0, 0, 5, 3}));
}

TEST(DIBShare, CopyOfAnEmptyImageIsEmptyWithTheWantedStorage) {
  TDIBSharedImage copy;
  copy.CopyFrom(*EmptyDIBImage(), false);
  EXPECT_EQ(copy.Size, 0);
  EXPECT_FALSE(copy.MemoryStorage);
}

TEST(DIBShare, ClearFiresChangedAndSetFormatDoesNot) {
  TDIB s(2, 2, 32, true);
  int changes = 0;
  s.OnChange = [&](TDIB&) { ++changes; };
  s.SetFormat(3, 3, 32);
  EXPECT_EQ(changes, 0);
  s.Clear();
  EXPECT_EQ(changes, 1);
  EXPECT_TRUE(s.Modified);
  EXPECT_TRUE(s.GetEmpty());
}

TEST(DIBTemp, SharedScratchSurfaceAndFreshOnesWhileInUse) {
  TDIB* first = GetTempSurface(10, 8);
  EXPECT_EQ(first->BitCount, 24);
  EXPECT_FALSE(first->MemoryStorage());
  EXPECT_GE(first->Width, 10);
  EXPECT_GE(first->Height, 8);

  TDIB* second = GetTempSurface(3, 3);
  EXPECT_NE(second, first);
  EXPECT_EQ(second->Width, 3);
  ReleaseTempSurface(second); // freed (the sanitizer build checks)
  ReleaseTempSurface(first);

  TDIB* again = GetTempSurface(4, 4);
  EXPECT_EQ(again, first);
  EXPECT_GE(again->Width, 10) << "a larger scratch surface is handed out unchanged";
  ReleaseTempSurface(again);

  TDIB* grown = GetTempSurface(20, 4);
  EXPECT_EQ(grown, first);
  EXPECT_EQ(grown->Width, 20);
  ReleaseTempSurface(grown);
}

namespace {

// Stands in for the picture readers' decoder: fills every pixel with the first
// encoded byte.
void FirstByteDecoder(const TDIBSharedImage& source, TDIBSharedImage& target) {
  std::memset(target.PixelMemory, source.PixelMemory[0], size_t(target.Size));
}

} // namespace

TEST(DIBCompressed, EncodedImagesAreCopiedEncodedAndExpandedThroughTheDecoder) {
  TDIBColorTable table{};
  TDIBSharedImage rle;
  rle.Allocate(6, 2, 8, MakePixelFormat(8, 8, 8), table, false, true);
  EXPECT_TRUE(rle.Compressed);
  EXPECT_TRUE(rle.MemoryStorage) << "compressed data lives in plain memory";
  EXPECT_EQ(Read32(rle.BitmapInfo.get() + biCompression), biRLE8);
  uint8_t* data = rle.AllocateEncoded(5, nullptr);
  std::memcpy(data, "\x2A\x01\x00\x00\x01", 5);
  EXPECT_EQ(rle.Size, 5);
  EXPECT_EQ(rle.HeaderImageSize(), 5);

  TDIBSharedImage rle4;
  rle4.Allocate(6, 2, 4, MakePixelFormat(8, 8, 8), table, true, true);
  EXPECT_EQ(Read32(rle4.BitmapInfo.get() + biCompression), biRLE4);
  TDIBSharedImage notRle;
  notRle.Allocate(6, 2, 24, MakePixelFormat(8, 8, 8), table, false, true);
  EXPECT_FALSE(notRle.Compressed) << "only 4- and 8-bit pictures are run-length encoded";
  EXPECT_FALSE(notRle.MemoryStorage);

  TDIBSharedImage copy;
  copy.CopyFrom(rle, false);
  EXPECT_TRUE(copy.Compressed);
  EXPECT_EQ(copy.Size, 5);
  EXPECT_EQ(std::memcmp(copy.PixelMemory, data, 5), 0);

  TDIBSharedImage noDecoder;
  EXPECT_THROW(noDecoder.ExpandFrom(rle, true), EInvalidGraphic);

  // The decoder travels with the encoded bytes, also into a copy.
  rle.Decoder = FirstByteDecoder;
  TDIBSharedImage copied;
  copied.CopyFrom(rle, false);
  TDIBSharedImage expanded;
  expanded.ExpandFrom(copied, false);
  EXPECT_FALSE(expanded.Compressed);
  EXPECT_FALSE(expanded.MemoryStorage);
  EXPECT_EQ(expanded.Size, 16);
  EXPECT_EQ(expanded.PixelMemory[15], 0x2A);
}
