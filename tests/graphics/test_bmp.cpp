// BMP data: the file header, the Data block, depths, masks, colour tables,
// RLE and the errors of malformed files.
#include <gtest/gtest.h>

#include <cstring>

#include "BmpFormat.h"
#include "DIBmp.h"
#include "PictureFixtures.h"
#include "Streams.h"

namespace {

using fx::Bytes;

uint32_t Get32(const Bytes& b, size_t at) {
  return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 |
         uint32_t(b[at + 3]) << 24;
}

void LoadBytes(TDIB& d, const Bytes& b) {
  TReadOnlyMemoryStream s(b.data(), b.size());
  d.LoadFromStream(s);
}

Bytes SaveBytes(const TDIB& d) {
  TMemoryStream s;
  d.SaveToStream(s);
  return s.TakeBytes();
}

// Memory bytes of row y (top-down) of a surface.
Bytes Row(const TDIB& d, int y, int n) {
  return Bytes(d.PixelMemory + y * d.RowStride, d.PixelMemory + y * d.RowStride + n);
}

// A 2 x 2 24-bit picture surface with known pixels, used to see that failed
// loads keep the old picture.
void MakeKnown(TDIB& d) {
  d.SetFormat(2, 2, 24);
  for (int i = 0; i < d.Size; ++i)
    d.PixelMemory[i] = uint8_t(i + 1);
}

} // namespace

TEST(BmpData, SavesThe90ByteFileOfA3x2Surface) {
  TDIBmp d(3, 2, 32, true);
  for (int i = 0; i < 24; ++i)
    d.PixelMemory[i] = uint8_t(10 * i);
  const Bytes f = SaveBytes(d);
  ASSERT_EQ(f.size(), 90u);
  EXPECT_EQ(f[0], 'B');
  EXPECT_EQ(f[1], 'M');
  EXPECT_EQ(Get32(f, 2), 90u);
  EXPECT_EQ(Get32(f, 10), 66u);
  EXPECT_EQ(Get32(f, 14), 40u);
  EXPECT_EQ(int32_t(Get32(f, 22)), -2);
  EXPECT_EQ(Get32(f, 30), 3u);
  EXPECT_EQ(Get32(f, 34), 24u);
  EXPECT_EQ(Get32(f, 54), 0xFF0000u);
  EXPECT_EQ(Get32(f, 58), 0xFF00u);
  EXPECT_EQ(Get32(f, 62), 0xFFu);

  TDIBmp back;
  LoadBytes(back, f);
  ASSERT_EQ(back.Width, 3);
  ASSERT_EQ(back.Height, 2);
  ASSERT_EQ(back.BitCount, 32);
  EXPECT_EQ(0, std::memcmp(back.PixelMemory, d.PixelMemory, 24));

  // The clipboard form is the same block without the file header.
  uint16_t format = 0;
  Bytes block;
  uintptr_t palette = 1;
  d.SaveToClipboardFormat(format, block, palette);
  EXPECT_EQ(format, CF_DIB);
  EXPECT_EQ(palette, 0u);
  EXPECT_EQ(block, Bytes(f.begin() + 14, f.end()));
  TDIBmp fromClipboard;
  fromClipboard.LoadFromClipboardFormat(format, block, 0);
  EXPECT_EQ(0, std::memcmp(fromClipboard.PixelMemory, d.PixelMemory, 24));
}

TEST(BmpData, BottomUpAndTopDownLoadAlike) {
  // 3 x 2 pixels of 24 bits: rows of 9 bytes padded to 12.
  const Bytes top = {1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 0, 0};
  const Bytes bottom = {11, 12, 13, 14, 15, 16, 17, 18, 19, 0, 0, 0};
  fx::TBmpSpec up{.Width = 3, .Height = 2, .BitCount = 24};
  up.Pixels = bottom;
  up.Pixels.insert(up.Pixels.end(), top.begin(), top.end());
  fx::TBmpSpec down{.Width = 3, .Height = -2, .BitCount = 24};
  down.Pixels = top;
  down.Pixels.insert(down.Pixels.end(), bottom.begin(), bottom.end());
  TDIBmp a, b;
  LoadBytes(a, fx::MakeBmp(up));
  LoadBytes(b, fx::MakeBmp(down));
  ASSERT_EQ(a.Height, 2);
  EXPECT_EQ(Row(a, 0, 9), Bytes(top.begin(), top.begin() + 9));
  EXPECT_EQ(0, std::memcmp(a.PixelMemory, b.PixelMemory, size_t(a.Size)));
  // Row 0 from the bottom is the bottom row.
  EXPECT_EQ(a.PixelColorFromBottom(0, 0), 0x0B0C0Du);
}

TEST(BmpData, ReadsEveryDepth) {
  struct Case {
    const char* name;
    fx::TBmpSpec spec;
    uint32_t colour[2]; // PixelColorFromBottom of pixels 0 and 1 of the one row
  };
  const std::vector<uint32_t> two = {0x102030, 0xA0B0C0};
  const Case cases[] = {
      {"1 bit",
       {.Width = 2, .BitCount = 1, .Colors = two, .Pixels = {0x40, 0, 0, 0}},
       {0x302010, 0xC0B0A0}},
      {"4 bits",
       {.Width = 2, .BitCount = 4, .ColorCount = 2, .Colors = two, .Pixels = {0x10, 0, 0, 0}},
       {0xC0B0A0, 0x302010}},
      {"8 bits",
       {.Width = 2, .BitCount = 8, .ColorCount = 2, .Colors = two, .Pixels = {1, 0, 0, 0}},
       {0xC0B0A0, 0x302010}},
      {"16 bits 5-5-5",
       {.Width = 2, .BitCount = 16, .Pixels = {0x1F, 0x7C, 0x34, 0x12}},
       {0x1F7C00, 0x341200}},
      {"16 bits 5-6-5",
       {.Width = 2,
        .BitCount = 16,
        .Compression = 3,
        .Masks = {0xF800, 0x7E0, 0x1F},
        .Pixels = {0, 0xF8, 0xE0, 0x07}},
       {0x00F800, 0xE00700}},
      {"24 bits",
       {.Width = 2, .BitCount = 24, .Pixels = {1, 2, 3, 4, 5, 6, 0, 0}},
       {0x010203, 0x040506}},
      {"32 bits",
       {.Width = 2, .BitCount = 32, .Pixels = {1, 2, 3, 4, 5, 6, 7, 8}},
       {0x010203, 0x050607}},
      {"32 bits with masks",
       {.Width = 2,
        .BitCount = 32,
        .Compression = 3,
        .Masks = {0xFF0000, 0xFF00, 0xFF},
        .Pixels = {1, 2, 3, 4, 5, 6, 7, 8}},
       {0x010203, 0x050607}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TDIBmp d;
    LoadBytes(d, fx::MakeBmp(c.spec));
    ASSERT_EQ(d.BitCount, c.spec.BitCount);
    EXPECT_EQ(d.PixelColorFromBottom(0, 0), c.colour[0]);
    EXPECT_EQ(d.PixelColorFromBottom(1, 0), c.colour[1]);
  }
}

TEST(BmpData, SixteenBitPixelsDecodeThroughTheirMasks) {
  // 5-6-5: full red, full green; 5-5-5: full blue, and a mid grey.
  fx::TBmpSpec s565{.Width = 2,
                    .BitCount = 16,
                    .Compression = 3,
                    .Masks = {0xF800, 0x7E0, 0x1F},
                    .Pixels = {0, 0xF8, 0xE0, 0x07}};
  TDIBmp a;
  LoadBytes(a, fx::MakeBmp(s565));
  a.PixelFormat = MakePixelFormat(8, 8, 8);
  a.ConvertBitCount(24);
  EXPECT_EQ(Row(a, 0, 6), (Bytes{0, 0, 255, 0, 255, 0}));

  fx::TBmpSpec s555{
      .Width = 2, .BitCount = 16, .Pixels = {0x1F, 0x00, 0x10, 0x42}}; // 0x4210 = 16,16,16
  TDIBmp b;
  LoadBytes(b, fx::MakeBmp(s555));
  b.PixelFormat = MakePixelFormat(8, 8, 8);
  b.ConvertBitCount(32);
  // Fields of 16 widen with their top bits repeated: 10000 100 = 132. Alpha is 0.
  EXPECT_EQ(Row(b, 0, 8), (Bytes{255, 0, 0, 0, 132, 132, 132, 0}));

  // And back: 24 bits to 5-6-5 encodes with the target masks.
  a.PixelFormat = MakePixelFormat(5, 6, 5);
  a.ConvertBitCount(16);
  EXPECT_EQ(Row(a, 0, 4), (Bytes{0, 0xF8, 0xE0, 0x07}));
}

TEST(BmpData, ColourCountAndCoreHeaders) {
  // A count of 300 reads 256 entries; the pixels follow them.
  fx::TBmpSpec many{.Width = 1, .BitCount = 8, .ColorCount = 300, .Pixels = {255, 0, 0, 0}};
  for (uint32_t i = 0; i < 256; ++i)
    many.Colors.push_back(i * 0x010101u);
  TDIBmp d;
  LoadBytes(d, fx::MakeBmp(many));
  EXPECT_EQ(d.ColorTable[255], 0xFFFFFFu);
  EXPECT_EQ(d.PixelColorFromBottom(0, 0), 0xFFFFFFu);

  // A core header: 16-bit sizes, 3-byte entries, 256 of them for 8 bits.
  fx::TBmpSpec core{
      .HeaderSize = 12, .Width = 2, .Height = 1, .BitCount = 8, .Pixels = {7, 200, 0, 0}};
  for (uint32_t i = 0; i < 256; ++i)
    core.Colors.push_back(i << 16 | (255 - i));
  TDIBmp c;
  LoadBytes(c, fx::MakeBmp(core));
  ASSERT_EQ(c.Width, 2);
  EXPECT_EQ(c.ColorTable[200], (200u << 16) | 55u);
  EXPECT_EQ(c.PixelColorFromBottom(0, 0), 0xF80007u);
}

namespace {

// An RLE8 picture of 4 x 2 pixels with a 4-entry table: index i is colour i * 0x10.
fx::TBmpSpec Rle8(Bytes Data, int Width = 4, int Height = 2) {
  fx::TBmpSpec s{.Width = Width,
                 .Height = Height,
                 .BitCount = 8,
                 .Compression = 1,
                 .ColorCount = 4,
                 .Colors = {0x000000, 0x101010, 0x202020, 0x303030}};
  s.Pixels = std::move(Data);
  return s;
}

Bytes Indices(TDIB& d) {
  d.ExpandCompressed();
  Bytes out;
  for (int y = 0; y < d.Height; ++y)
    for (int x = 0; x < d.Width; ++x)
      out.push_back(
          d.BitCount == 8
              ? d.PixelMemory[y * d.RowStride + x]
              : uint8_t((d.PixelMemory[y * d.RowStride + x / 2] >> (x & 1 ? 0 : 4)) & 0xF));
  return out;
}

} // namespace

TEST(BmpRle, StaysEncodedUntilPixelsAreNeeded) {
  // Bottom row first: 4 x index 1, end of line, 2 literal pixels (3, 2) and a
  // run of 2 x index 0, end of picture.
  TDIBmp d;
  LoadBytes(d, fx::MakeBmp(Rle8({4, 1, 0, 0, 0, 3, 3, 2, 0, 0, 2, 0, 0, 1})));
  ASSERT_TRUE(d.Image->Compressed);
  EXPECT_EQ(d.Size, 14);
  EXPECT_EQ(d.PixelColorFromBottom(0, 0), 0x101010u); // expands
  EXPECT_FALSE(d.Image->Compressed);
  EXPECT_EQ(Indices(d), (Bytes{3, 2, 0, 0, 1, 1, 1, 1}));
}

TEST(BmpRle, EncodedImagesWriteAndReadBack) {
  TDIBmp d;
  const Bytes data = {4, 1, 0, 0, 2, 2, 2, 3, 0, 1};
  LoadBytes(d, fx::MakeBmp(Rle8(data)));
  const Bytes saved = SaveBytes(d);
  EXPECT_EQ(Bytes(saved.end() - long(data.size()), saved.end()), data);
  // RLE data runs bottom-up, so the written height is positive.
  EXPECT_EQ(int32_t(Get32(saved, 22)), 2);
  TDIBmp back;
  LoadBytes(back, saved);
  EXPECT_EQ(Indices(back), Indices(d));
}

TEST(BmpRle, EscapesAndEdges) {
  struct Case {
    const char* name;
    Bytes data;
    Bytes expected; // indices, top row first
  };
  const Case cases[] = {
      // Delta (0, 2, 3, 1): three right and one row up, then one pixel.
      {"delta", {1, 1, 0, 2, 3, 1, 1, 2, 0, 1}, {0, 0, 0, 0, 1, 0, 0, 0}},
      {"delta then pixel lands at x 3", {0, 2, 3, 1, 1, 3, 0, 1}, {0, 0, 0, 3, 0, 0, 0, 0}},
      // A run longer than the row is cut; it never spills into the next row.
      {"long run", {9, 2, 0, 0, 1, 3, 0, 1}, {3, 0, 0, 0, 2, 2, 2, 2}},
      // A literal past the right edge is cut, and its padding skipped.
      {"long literal", {0, 5, 1, 2, 3, 1, 2, 0, 1, 3}, {0, 0, 0, 0, 1, 2, 3, 1}},
      // Moves beyond the picture drop what follows.
      {"delta out", {0, 2, 200, 200, 4, 1}, {0, 0, 0, 0, 0, 0, 0, 0}},
      // Data ending inside a literal, a run pair or a delta stops cleanly.
      {"cut literal", {0, 6, 1, 2}, {0, 0, 0, 0, 1, 2, 0, 0}},
      {"cut pair", {2, 1, 3}, {0, 0, 0, 0, 1, 1, 0, 0}},
      {"cut delta", {1, 1, 0, 2, 1}, {0, 0, 0, 0, 1, 0, 0, 0}},
      {"no end code", {4, 1}, {0, 0, 0, 0, 1, 1, 1, 1}},
      {"empty", {}, {0, 0, 0, 0, 0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TDIBmp d;
    LoadBytes(d, fx::MakeBmp(Rle8(c.data)));
    EXPECT_EQ(Indices(d), c.expected);
  }
}

TEST(BmpRle, Rle4AlternatesNibbles) {
  fx::TBmpSpec s{.Width = 5, .Height = 2, .BitCount = 4, .Compression = 2, .ColorCount = 16};
  for (uint32_t i = 0; i < 16; ++i)
    s.Colors.push_back(i * 0x111111u);
  // Bottom: run of 5 alternating 1 and 2; top: literal of 3 nibbles 4, 5, 6
  // (2 bytes, even), then a run of 1 x 7.
  s.Pixels = {5, 0x12, 0, 0, 0, 3, 0x45, 0x60, 1, 0x7F, 0, 1};
  TDIBmp d;
  LoadBytes(d, fx::MakeBmp(s));
  EXPECT_EQ(Indices(d), (Bytes{4, 5, 6, 7, 0, 1, 2, 1, 2, 1}));
}

TEST(BmpErrors, MalformedDataKeepsTheOldPicture) {
  auto withHeaderSize = [](uint32_t n) {
    fx::TBmpSpec s{.HeaderSize = 40, .Width = 1, .BitCount = 24, .Pixels = {0, 0, 0, 0}};
    Bytes b = fx::MakeBmp(s);
    b[14] = uint8_t(n);
    return b;
  };
  fx::TBmpSpec ok{.Width = 2, .Height = 2, .BitCount = 24, .Pixels = Bytes(16, 9)};
  const Bytes good = fx::MakeBmp(ok);
  Bytes notBM = good;
  notBM[0] = 'X';
  auto withCompression = [&](uint8_t n, uint8_t bits = 24) {
    Bytes b = good;
    b[30] = n;
    b[28] = bits;
    return b;
  };
  Bytes bitCount48 = good;
  bitCount48[28] = 48;
  const Bytes rleFile = fx::MakeBmp(Rle8({}));
  Bytes rleDepth = good;
  rleDepth[30] = 1; // RLE8 on a 24-bit picture
  Bytes negativeWidth = good;
  negativeWidth[21] = 0x80;
  Bytes huge = good;
  huge[18] = 0x00;
  huge[19] = 0x00;
  huge[20] = 0x01; // 65536 wide
  Bytes hugeRle = fx::MakeBmp(Rle8({0, 1}));
  hugeRle[34] = 0xFF;
  hugeRle[35] = 0xFF;
  hugeRle[36] = 0xFF;
  hugeRle[37] = 0x7F; // image size 2^31 - 1
  Bytes rleShort = fx::MakeBmp(Rle8({0, 1}));
  rleShort[34] = 100; // claims 100 encoded bytes

  struct Case {
    const char* name;
    Bytes data;
    const char* message; // nullptr: a read error or out of memory
  };
  const Case cases[] = {
      {"header size 20", withHeaderSize(20), "BMP with an OS/2 2.x header is not supported"},
      {"header size 64", withHeaderSize(64), "BMP with an OS/2 2.x header is not supported"},
      {"header size 100", withHeaderSize(100), "DIB is invalid"},
      {"header size 8", withHeaderSize(8), "DIB is invalid"},
      {"V5 header cut short", withHeaderSize(124), "DIB is invalid"},
      {"short file header", Bytes(good.begin(), good.begin() + 10), "DIB is invalid"},
      {"not BM", notBM, "DIB is invalid"},
      {"only the header size", Bytes(good.begin(), good.begin() + 16), "DIB is invalid"},
      {"short info header", Bytes(good.begin(), good.begin() + 30), "DIB is invalid"},
      {"embedded JPEG", withCompression(4), "BMP with embedded JPEG is not supported"},
      {"embedded PNG", withCompression(5), "BMP with embedded PNG is not supported"},
      {"CMYK", withCompression(11), "BMP with compression 11 is not supported"},
      {"Huffman", withCompression(3, 1), "BMP with Huffman compression is not supported"},
      {"64 bits", withCompression(0, 64), "BMP with 64 bits per pixel is not supported"},
      {"bit fields on 8 bits", withCompression(3, 8), "DIB is invalid"},
      {"RLE8 with 24 bits", rleDepth, "DIB is invalid"},
      {"negative width", negativeWidth, "DIB is invalid"},
      {"bit count 48", bitCount48, "Bitcount in invalid (48)"},
      {"pixels cut short", Bytes(good.begin(), good.end() - 1), "Stream read error"},
      {"colour table cut short", Bytes(rleFile.begin(), rleFile.begin() + 60), "Stream read error"},
      {"RLE data cut short", rleShort, "Stream read error"},
      {"65536 wide", huge, nullptr},
      {"2 GB of RLE data", hugeRle, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TDIBmp d;
    MakeKnown(d);
    TDIBSharedImage* before = d.Image;
    std::string message = "(none)";
    try {
      LoadBytes(d, c.data);
    } catch (const std::bad_alloc&) {
      message = "out of memory";
    } catch (const std::exception& e) {
      message = e.what();
    }
    EXPECT_EQ(message, c.message ? c.message : "out of memory");
    EXPECT_EQ(d.Image, before);
    EXPECT_EQ(d.PixelMemory[5], 6);
  }
}

TEST(BmpData, EmptyStreams) {
  TDIBmp d;
  MakeKnown(d);
  TMemoryStream empty;
  d.LoadFromStream(empty); // nothing at all
  EXPECT_EQ(d.Width, 2);
  d.ReadData(empty); // an empty picture
  EXPECT_TRUE(d.Empty());
  TMemoryStream out;
  d.SaveToStream(out);
  d.WriteData(out);
  EXPECT_EQ(out.Size(), 0);
}

TEST(BmpData, ReadDataKeepsTheStorageKindAndFiresChanged) {
  TDIBmp d;
  d.MakeDIBSection();
  int changes = 0;
  d.OnChange = [&](TDIB&) { ++changes; };
  fx::TBmpSpec s{.Width = 1, .BitCount = 24, .Pixels = {1, 2, 3, 0}, .FileHeader = false};
  const Bytes block = fx::MakeBmp(s);
  TReadOnlyMemoryStream in(block.data(), block.size());
  d.ReadData(in);
  EXPECT_FALSE(d.MemoryStorage());
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(d.PixelColorFromBottom(0, 0), 0x010203u);
}

TEST(BmpData, PixelColorFromBottom) {
  TDIBmp d(2, 2, 32, true);
  const uint8_t bottomLeft[4] = {1, 2, 3, 4};
  std::memset(d.PixelMemory, 0, 16);
  std::memcpy(d.RowFromBottom(0), bottomLeft, 4);
  EXPECT_EQ(d.PixelColorFromBottom(0, 0), 0x00010203u); // bytes 3, 2, 1, 0 from the low end
  for (auto [x, y] : {std::pair{-1, 0}, {0, -1}, {2, 0}, {0, 2}})
    EXPECT_EQ(d.PixelColorFromBottom(x, y), 0x1FFFFFFFu);
}

TEST(BmpConvert, CarriesColoursToEveryTrueColourDepth) {
  // An 8-bit picture with a colour table, converted to 24 and then 32 bits.
  fx::TBmpSpec s{.Width = 3,
                 .BitCount = 8,
                 .ColorCount = 3,
                 .Colors = {0x112233, 0x445566, 0x778899},
                 .Pixels = {2, 1, 0, 0}};
  TDIBmp d;
  LoadBytes(d, fx::MakeBmp(s));
  d.SetBitCount(24);
  ASSERT_EQ(d.BitCount, 24);
  EXPECT_EQ(Row(d, 0, 9), (Bytes{0x99, 0x88, 0x77, 0x66, 0x55, 0x44, 0x33, 0x22, 0x11}));
  d.SetBitCount(32);
  EXPECT_EQ(Row(d, 0, 12), (Bytes{0x99, 0x88, 0x77, 0, 0x66, 0x55, 0x44, 0, 0x33, 0x22, 0x11, 0}));
  TDIBSharedImage* same = d.Image;
  d.ConvertBitCount(32); // same format: nothing happens
  EXPECT_EQ(d.Image, same);

  // A shared image stays as it was for its other holder.
  TDIBmp other;
  other.Assign(&d);
  d.SetBitCount(24);
  EXPECT_EQ(other.BitCount, 32);

  // A 16-bit target needs 16-bit masks; with 8-8-8 the format is refused.
  EXPECT_THROW(d.SetBitCount(16), EInvalidGraphicOperation);
  EXPECT_EQ(d.BitCount, 24);

  TDIBmp empty;
  empty.SetBitCount(8);
  EXPECT_EQ(empty.Width, 1);
  EXPECT_EQ(empty.Height, 1);
  EXPECT_EQ(empty.BitCount, 8);
  empty.SetBitCount(0);
  EXPECT_TRUE(empty.Empty());
}

TEST(BmpConvert, CompressedPicturesConvertFromTheirPixels) {
  TDIBmp d;
  LoadBytes(d, fx::MakeBmp(Rle8({4, 3, 0, 0, 4, 2, 0, 1})));
  d.SetBitCount(24);
  EXPECT_EQ(Row(d, 0, 3), (Bytes{0x20, 0x20, 0x20}));
  EXPECT_EQ(Row(d, 1, 3), (Bytes{0x30, 0x30, 0x30}));
}
