// BMP as today's writers produce it: the longer info headers, bit-field masks
// anywhere, pixel offsets, unset fourth bytes, the variants that stay
// unsupported, and files written by Debian's ImageMagick.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "DIBmp.h"
#include "PictureFixtures.h"
#include "Streams.h"

namespace {

using fx::Bytes;

void LoadBytes(TDIB& d, const Bytes& b) {
  TReadOnlyMemoryStream s(b.data(), b.size());
  if (b.size() >= 2 && b[0] == 'B' && b[1] == 'M')
    d.LoadFromStream(s);
  else
    d.ReadData(s);
}

Bytes TopRow(const TDIB& d) {
  return Bytes(d.PixelMemory, d.PixelMemory + d.RowStride);
}

std::vector<uint32_t> Grey(int n) {
  std::vector<uint32_t> t;
  for (int i = 0; i < n; ++i)
    t.push_back(uint32_t(i & 0xFF) * 0x010101u);
  return t;
}

} // namespace

TEST(BmpVariants, HeadersMasksOffsetsAndFourthBytes) {
  struct Case {
    const char* name;
    fx::TBmpSpec spec;
    int bits;  // of the surface
    Bytes top; // its top memory row
  };
  const Bytes rgb24 = {1, 2, 3, 4, 5, 6, 0, 0};
  fx::TBmpSpec table300{.Width = 1, .BitCount = 8, .ColorCount = 300, .Colors = Grey(300)};
  table300.Pixels = {255, 0, 0, 0};
  fx::TBmpSpec deepTable = {.Width = 2, .BitCount = 24, .ColorCount = 300, .Colors = Grey(300)};
  deepTable.Pixels = rgb24;
  deepTable.FileHeader = false;
  const Case cases[] = {
      {"V3 header, masks in RGBA order",
       {.HeaderSize = 56,
        .Width = 2,
        .BitCount = 32,
        .Compression = 3,
        .Masks = {0xFF000000, 0xFF0000, 0xFF00, 0xFF},
        .Pixels = {0xFF, 0x30, 0x20, 0x10, 0x00, 0x30, 0x20, 0x10}},
       32,
       {0x30, 0x20, 0x10, 0xFF, 0, 0, 0, 0}},
      {"V5 header, straight alpha premultiplied, unset alpha stays transparent",
       {.HeaderSize = 124,
        .Width = 2,
        .BitCount = 32,
        .Compression = 3,
        .Masks = {0xFF0000, 0xFF00, 0xFF, 0xFF000000},
        .Pixels = {200, 100, 50, 128, 0, 0, 0, 0}},
       32,
       {100, 50, 25, 128, 0, 0, 0, 0}},
      {"V4 header, 5-6-5 stays 16 bits",
       {.HeaderSize = 108,
        .Width = 2,
        .BitCount = 16,
        .Compression = 3,
        .Masks = {0xF800, 0x7E0, 0x1F, 0},
        .Pixels = {0x00, 0xF8, 0xE0, 0x07}},
       16,
       {0x00, 0xF8, 0xE0, 0x07}},
      {"V2 header, 4-4-4 masks widened by repeating the top bits",
       {.HeaderSize = 52,
        .Width = 2,
        .BitCount = 16,
        .Compression = 3,
        .Masks = {0xF00, 0xF0, 0xF},
        .Pixels = {0x84, 0x0F, 0x10, 0x00}},
       32,
       {0x44, 0x88, 0xFF, 0xFF, 0x00, 0x11, 0x00, 0xFF}},
      {"alpha bit fields after a 40-byte header, 1-5-5-5",
       {.Width = 2,
        .BitCount = 16,
        .Compression = 6,
        .Masks = {0x7C00, 0x3E0, 0x1F, 0x8000},
        .Pixels = {0xFF, 0x7F, 0x00, 0xFC}},
       32,
       {0, 0, 0, 0, 0, 0, 255, 255}},
      {"a 5-bit value of 16 gives 132",
       {.HeaderSize = 124,
        .Width = 2,
        .BitCount = 16,
        .Compression = 3,
        .Masks = {0x7C00, 0x3E0, 0x1F, 0x8000},
        .Pixels = {0x10, 0xC2, 0xFF, 0xFF}},
       32,
       {132, 132, 132, 255, 255, 255, 255, 255}},
      {"10-10-10 masks keep their top 8 bits",
       {.Width = 2,
        .BitCount = 32,
        .Compression = 3,
        .Masks = {0x3FF00000, 0xFFC00, 0x3FF},
        .Pixels = {0x01, 0x00, 0xF8, 0x3F, 0, 0, 0, 0}},
       32,
       {0x00, 0x80, 0xFF, 0xFF, 0, 0, 0, 0xFF}},
      {"red and blue masks swapped",
       {.Width = 2,
        .BitCount = 32,
        .Compression = 3,
        .Masks = {0xFF, 0xFF00, 0xFF0000},
        .Pixels = {1, 2, 3, 0, 4, 5, 6, 0}},
       32,
       {3, 2, 1, 0xFF, 6, 5, 4, 0xFF}},
      {"overlapping masks read without error",
       {.Width = 1,
        .BitCount = 32,
        .Compression = 3,
        .Masks = {0xFFFFFFFF, 0xFF00, 0xFF},
        .Pixels = {1, 2, 3, 4}},
       32,
       {1, 2, 4, 0xFF}},
      {"empty masks mean the usual layout",
       {.Width = 1,
        .BitCount = 16,
        .Compression = 3,
        .Masks = {0, 0, 0},
        .Pixels = {0x1F, 0x7C, 0, 0}},
       16,
       {0x1F, 0x7C, 0, 0}},
      {"32 bits, fourth bytes all 0: opaque",
       {.Width = 2, .BitCount = 32, .Pixels = {1, 2, 3, 0, 4, 5, 6, 0}},
       32,
       {1, 2, 3, 255, 4, 5, 6, 255}},
      {"32-bit bit fields without alpha, fourth bytes all 0: opaque",
       {.HeaderSize = 124,
        .Width = 2,
        .BitCount = 32,
        .Compression = 3,
        .Masks = {0xFF0000, 0xFF00, 0xFF, 0},
        .Pixels = {1, 2, 3, 0, 4, 5, 6, 0}},
       32,
       {1, 2, 3, 255, 4, 5, 6, 255}},
      {"32 bits, fourth bytes in use: as stored",
       {.Width = 2, .BitCount = 32, .Pixels = {1, 2, 3, 0, 4, 5, 6, 7}},
       32,
       {1, 2, 3, 0, 4, 5, 6, 7}},
      {"2-bit indices become 8-bit ones",
       {.Width = 4, .BitCount = 2, .Colors = Grey(4), .Pixels = {0x1B, 0, 0, 0}},
       8,
       {0, 1, 2, 3}},
      {"a gap before the pixels",
       {.Width = 2, .BitCount = 24, .Gap = Bytes(6, 0xEE), .Pixels = rgb24},
       24,
       rgb24},
      {"an offset past the end: the pixels follow the table",
       {.Width = 2, .BitCount = 24, .Pixels = rgb24, .PixelOffset = 10000},
       24,
       rgb24},
      {"an offset inside the header: the pixels follow the table",
       {.Width = 2, .BitCount = 24, .Pixels = rgb24, .PixelOffset = 20},
       24,
       rgb24},
      {"a table of 300 entries before the pixels", table300, 8, {255, 0, 0, 0}},
      {"a Data block of 24 bits with a table of 300 entries", deepTable, 24, rgb24},
      {"bottom-up rows converted",
       {.Width = 1,
        .Height = 2,
        .BitCount = 32,
        .Compression = 3,
        .Masks = {0xFF, 0xFF00, 0xFF0000},
        .Pixels = {1, 2, 3, 0, 4, 5, 6, 0}},
       32,
       {6, 5, 4, 255}},
      {"top-down rows converted",
       {.Width = 1,
        .Height = -2,
        .BitCount = 32,
        .Compression = 3,
        .Masks = {0xFF, 0xFF00, 0xFF0000},
        .Pixels = {1, 2, 3, 0, 4, 5, 6, 0}},
       32,
       {3, 2, 1, 255}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TDIBmp d;
    ASSERT_NO_THROW(LoadBytes(d, fx::MakeBmp(c.spec)));
    ASSERT_EQ(d.BitCount, c.bits);
    ASSERT_EQ(d.Width, c.spec.Width);
    EXPECT_EQ(TopRow(d), c.top);
  }
}

TEST(BmpVariants, TablesAndTheirPixels) {
  // The colour table is kept for the indices that were widened.
  TDIBmp two;
  LoadBytes(two,
            fx::MakeBmp({.Width = 4, .BitCount = 2, .Colors = Grey(4), .Pixels = {0x1B, 0, 0, 0}}));
  EXPECT_EQ(two.PixelColorFromBottom(3, 0), 0x030303u);
  // Past 256 entries the table is read to 256 and the pixels found after all of it.
  fx::TBmpSpec s{.Width = 1, .BitCount = 8, .ColorCount = 300, .Colors = Grey(300)};
  s.Pixels = {200, 0, 0, 0};
  TDIBmp d;
  LoadBytes(d, fx::MakeBmp(s));
  EXPECT_EQ(d.PixelColorFromBottom(0, 0), 0xC8C8C8u);
}

namespace {

bool HaveConvert() {
  return std::system("command -v convert >/dev/null 2>&1") == 0;
}

// The source picture: 3 x 2 straight RGBA, with opaque, part-transparent and
// transparent pixels.
const uint8_t Source[2][3][4] = {
    {{255, 0, 0, 255}, {0, 255, 0, 102}, {0, 0, 0, 0}},
    {{0, 0, 0, 0}, {40, 80, 120, 255}, {10, 20, 200, 255}},
};

} // namespace

TEST(BmpVariants, FilesWrittenByImageMagick) {
  if (!HaveConvert())
    GTEST_SKIP() << "ImageMagick's convert is not installed";
  fx::TTempDir dir;
  Bytes rows;
  for (const auto& row : Source)
    for (const auto& px : row)
      rows.insert(rows.end(), px, px + 4);
  const std::string png =
      dir.Write("source.png", fx::MakePng({.Width = 3, .Height = 2, .Rows = rows}));
  struct Case {
    const char* name;
    const char* options; // before the output
    int bits;            // of the surface
    int tolerance;       // one step of the narrowest channel: the writer truncates
  };
  const Case cases[] = {
      {"BMP2", "-alpha off BMP2", 24, 0},
      {"BMP3", "-alpha off BMP3", 24, 0},
      {"BMP3 of a picture with alpha (alpha dropped)", "BMP3", 24, 0},
      {"BMP3 with a colour table", "-alpha off -type palette BMP3", 4, 0},
      {"BMP with alpha (V5 header)", "BMP", 32, 0},
      {"BMP without alpha (V5 header)", "-alpha off BMP", 24, 0},
      {"BMP with a colour table (V5 header)", "-alpha off -type palette BMP", 4, 0},
      {"BMP ARGB4444", "-define bmp:subtype=ARGB4444 BMP", 32, 17},
      {"BMP RGB565", "-alpha off -define bmp:subtype=RGB565 BMP", 16, 9},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string out = dir.Path + "/out.bmp";
    std::string options = c.options;
    const std::size_t space = options.rfind(' ');
    const std::string format = space == std::string::npos ? options : options.substr(space + 1);
    options = space == std::string::npos ? "" : options.substr(0, space);
    const std::string command =
        "convert '" + png + "' " + options + " '" + format + ":" + out + "' 2>/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    TDIBmp d;
    d.LoadFromFile(out);
    ASSERT_EQ(d.BitCount, c.bits);
    ASSERT_EQ(d.Width, 3);
    ASSERT_EQ(d.Height, 2);
    if (d.BitCount == 16) {
      // Colours are read from 24 bits; 16-bit values are not colours.
      d.PixelFormat = MakePixelFormat(8, 8, 8);
      d.ConvertBitCount(24);
    }
    const bool alpha = c.bits == 32;
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < 3; ++x) {
        SCOPED_TRACE("pixel " + std::to_string(x) + "," + std::to_string(y));
        const uint8_t* s = Source[y][x];
        // Without alpha the colour stays as it was; with it the surface holds
        // it premultiplied.
        const int a = alpha ? s[3] : 255;
        const uint32_t c32 = d.PixelColorFromBottom(x, 1 - y); // 0x00BBGGRR
        const int got[3] = {int(c32 & 0xFF), int(c32 >> 8 & 0xFF), int(c32 >> 16 & 0xFF)};
        for (int k = 0; k < 3; ++k) {
          EXPECT_NEAR(got[k], s[k] * a / 255, c.tolerance) << "channel " << k;
        }
        if (alpha) {
          EXPECT_NEAR(d.PixelMemory[y * d.RowStride + 4 * x + 3], a, c.tolerance);
        }
      }
  }
}
