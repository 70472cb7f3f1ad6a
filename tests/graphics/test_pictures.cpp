// Picture files by extension: PNG, TGA, JPEG, the picture registry, and the
// errors of unreadable and damaged files.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "DIBmp.h"
#include "JpegFormat.h"
#include "PictureFixtures.h"
#include "PictureRegistry.h"
#include "PngFormat.h"
#include "Streams.h"
#include "TgaFormat.h"

namespace {

using fx::Bytes;
using fx::ErrorOf;

Bytes Pixel(const TDIB& d, int x, int y) {
  const int n = d.BitCount / 8;
  const uint8_t* p = d.PixelMemory + y * d.RowStride + x * n;
  return Bytes(p, p + n);
}

Bytes Concat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

class Pictures : public ::testing::Test {
protected:
  fx::TTempDir dir;
  // A surface holding a known 2 x 2 picture, to see that failures keep it.
  void MakeKnown(TDIB& d) {
    d.SetFormat(2, 2, 24);
    for (int i = 0; i < d.Size; ++i)
      d.PixelMemory[i] = uint8_t(i + 1);
  }
};

} // namespace

TEST_F(Pictures, RgbaPngBecomesAPremultipliedSurface) {
  // Top row: (200, 100, 50, 128), (255, 255, 255, 0); bottom row opaque.
  const Bytes rows = {200, 100, 50, 128, 255, 255, 255, 0, 1, 2, 3, 255, 40, 50, 60, 255};
  const std::string path = dir.Write("a.png", fx::MakePng({.Width = 2, .Height = 2, .Rows = rows}));
  TDIBmp d;
  d.MakeDIBSection();
  int changes = 0;
  d.OnChange = [&](TDIB&) { ++changes; };
  d.LoadFromFile(path);
  ASSERT_EQ(d.BitCount, 32);
  EXPECT_EQ(Pixel(d, 0, 0), (Bytes{25, 50, 100, 128})); // truncating division by 255
  EXPECT_EQ(Pixel(d, 1, 0), (Bytes{0, 0, 0, 0}));
  EXPECT_EQ(Pixel(d, 0, 1), (Bytes{3, 2, 1, 255}));
  EXPECT_TRUE(d.MemoryStorage());
  EXPECT_GE(changes, 1);
}

// PNGs other than 8-bit RGBA: a tRNS chunk gives palette, grey and RGB
// pictures their transparency, kept as in an RGBA picture (32 bits,
// premultiplied); the others are drawn onto black in 24 bits.
TEST_F(Pictures, OtherPngsByTheirTransparency) {
  // Indices 0, 1, 2 packed as 00 01 10 00.
  fx::TPngSpec pal{
      .Width = 3, .Height = 1, .ColorType = PNG_COLOR_TYPE_PALETTE, .BitDepth = 2, .Rows = {0x18}};
  pal.Palette = {{200, 100, 50}, {10, 20, 30}, {255, 255, 255}};
  pal.Trans = {128, 0}; // entry 0 half, entry 1 clear, entry 2 opaque
  auto transparent = [](png_uint_16 grey, png_uint_16 r = 0, png_uint_16 g = 0, png_uint_16 b = 0) {
    return std::vector<png_color_16>{{0, r, g, b, grey}};
  };
  struct Case {
    const char* name;
    fx::TPngSpec spec;
    Bytes first; // blue, green, red (and alpha in 32 bits) of pixel (0, 0)
    Bytes last;
  };
  const Case cases[] = {
      {"palette with tRNS", pal, {25, 50, 100, 128}, {255, 255, 255, 255}},
      {"grey 8 bits with tRNS",
       {.Width = 2,
        .Height = 1,
        .ColorType = PNG_COLOR_TYPE_GRAY,
        .BitDepth = 8,
        .Rows = {100, 51},
        .TransColor = transparent(100)},
       {0, 0, 0, 0},
       {51, 51, 51, 255}},
      // The transparent grey is given in the picture's own depth.
      {"grey 4 bits with tRNS",
       {.Width = 2,
        .Height = 1,
        .ColorType = PNG_COLOR_TYPE_GRAY,
        .BitDepth = 4,
        .Rows = {0x3F},
        .TransColor = transparent(3)},
       {0, 0, 0, 0},
       {255, 255, 255, 255}},
      {"RGB with tRNS",
       {.Width = 2,
        .Height = 1,
        .ColorType = PNG_COLOR_TYPE_RGB,
        .BitDepth = 8,
        .Rows = {1, 2, 3, 4, 5, 6},
        .TransColor = transparent(0, 1, 2, 3)},
       {0, 0, 0, 0},
       {6, 5, 4, 255}},
      {"grey 4 bits",
       {.Width = 2, .Height = 1, .ColorType = PNG_COLOR_TYPE_GRAY, .BitDepth = 4, .Rows = {0xF3}},
       {255, 255, 255},
       {0x33, 0x33, 0x33}},
      {"grey with alpha",
       {.Width = 1,
        .Height = 1,
        .ColorType = PNG_COLOR_TYPE_GRAY_ALPHA,
        .BitDepth = 8,
        .Rows = {100, 51}},
       {20, 20, 20},
       {20, 20, 20}},
      {"RGB",
       {.Width = 1, .Height = 1, .ColorType = PNG_COLOR_TYPE_RGB, .BitDepth = 8, .Rows = {1, 2, 3}},
       {3, 2, 1},
       {3, 2, 1}},
      {"16-bit RGBA",
       {.Width = 1,
        .Height = 1,
        .ColorType = PNG_COLOR_TYPE_RGB_ALPHA,
        .BitDepth = 16,
        .Rows = {200, 0, 100, 0, 50, 0, 255, 255}},
       {50, 100, 200},
       {50, 100, 200}},
      {"interlaced RGB",
       {.Width = 9,
        .Height = 9,
        .ColorType = PNG_COLOR_TYPE_RGB,
        .BitDepth = 8,
        .Rows = Bytes(243, 7),
        .Interlaced = true},
       {7, 7, 7},
       {7, 7, 7}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TDIBmp d;
    d.LoadFromFile(dir.Write("p.PNG", fx::MakePng(c.spec)));
    ASSERT_EQ(d.BitCount, int(c.first.size()) * 8);
    EXPECT_EQ(d.Width, c.spec.Width);
    EXPECT_EQ(Pixel(d, 0, 0), c.first);
    EXPECT_EQ(Pixel(d, d.Width - 1, d.Height - 1), c.last);
    EXPECT_TRUE(d.MemoryStorage());
  }
}

TEST_F(Pictures, TgaRowsAsStored) {
  // 2 x 2, 24 bits, bottom row first in the file.
  const Bytes px = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  TDIBmp d;
  d.LoadFromFile(dir.Write("a.tga", fx::MakeTga(2, 2, 2, 24, 0, px)));
  ASSERT_EQ(d.BitCount, 24);
  EXPECT_EQ(Pixel(d, 0, 1), (Bytes{1, 2, 3}));
  EXPECT_EQ(Pixel(d, 1, 0), (Bytes{10, 11, 12}));

  // 32 bits keep their alpha; the top-down bit and an image ID are honoured.
  const Bytes px32 = {1, 2, 3, 4, 5, 6, 7, 8};
  d.LoadFromFile(dir.Write("b.TGA", fx::MakeTga(2, 1, 2, 32, 0x28, px32, 5)));
  ASSERT_EQ(d.BitCount, 32);
  EXPECT_EQ(Pixel(d, 1, 0), (Bytes{5, 6, 7, 8}));
  d.LoadFromFile(
      dir.Write("c.tga", fx::MakeTga(2, 2, 2, 32, 0x20, Concat(Bytes(8, 1), Bytes(8, 2)))));
  EXPECT_EQ(Pixel(d, 0, 0), (Bytes{1, 1, 1, 1}));

  // Another image type: sized, no pixels read, black.
  d.LoadFromFile(dir.Write("d.tga", fx::MakeTga(10, 3, 2, 24, 0, {})));
  EXPECT_EQ(d.Width, 3);
  EXPECT_EQ(Pixel(d, 2, 1), (Bytes{0, 0, 0}));
}

TEST_F(Pictures, TgaErrorsLeaveAnEmptySurface) {
  struct Case {
    const char* name;
    Bytes file;
    const char* message;
  };
  const Case cases[] = {
      {"16 bits", fx::MakeTga(2, 1, 1, 16, 0, {1, 2}), "PixelFormat in invalid"},
      {"15 bits", fx::MakeTga(2, 1, 1, 15, 0, {1, 2}), "Bitcount in invalid (15)"},
      {"short header", Bytes(10, 0), "Stream read error"},
      {"pixels cut short", fx::MakeTga(2, 2, 2, 24, 0, Bytes(11, 0)), "Stream read error"},
      {"ID longer than the file", fx::MakeTga(2, 1, 1, 24, 0, {}, 200), "Stream read error"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TDIBmp d;
    MakeKnown(d);
    const std::string path = dir.Write("e.tga", c.file);
    EXPECT_EQ(ErrorOf([&] { d.LoadFromFile(path); }), c.message);
    EXPECT_TRUE(d.Empty());
  }
}

TEST_F(Pictures, JpegThroughTheRegistry) {
  Bytes rgb;
  for (int i = 0; i < 64; ++i)
    rgb.insert(rgb.end(), {200, 100, 50});
  TDIBmp d;
  d.MakeDIBSection();
  int changes = 0;
  d.OnChange = [&](TDIB&) { ++changes; };
  d.LoadFromFile(dir.Write("a.jpg", fx::MakeJpeg(8, 8, 3, rgb)));
  ASSERT_EQ(d.BitCount, 24);
  ASSERT_EQ(d.Width, 8);
  const Bytes p = Pixel(d, 4, 4);
  EXPECT_NEAR(p[0], 50, 3);
  EXPECT_NEAR(p[1], 100, 3);
  EXPECT_NEAR(p[2], 200, 3);
  EXPECT_TRUE(d.MemoryStorage());
  EXPECT_EQ(changes, 1);

  d.LoadFromFile(dir.Write("b.JPEG", fx::MakeJpeg(4, 2, 1, Bytes(8, 90), 95, true)));
  EXPECT_EQ(d.Width, 4);
  EXPECT_NEAR(Pixel(d, 3, 1)[1], 90, 2);
}

TEST_F(Pictures, DibFilesThroughTheRegistryAndBmpByAnyCase) {
  fx::TBmpSpec s{.Width = 1, .BitCount = 32, .Pixels = {1, 2, 3, 4}};
  TDIBmp a, b;
  a.LoadFromFile(dir.Write("a.dib", fx::MakeBmp(s)));
  b.LoadFromFile(dir.Write("b.Bmp", fx::MakeBmp(s)));
  ASSERT_EQ(a.BitCount, 32);
  EXPECT_EQ(Pixel(a, 0, 0), (Bytes{1, 2, 3, 4}));
  EXPECT_EQ(Pixel(b, 0, 0), (Bytes{1, 2, 3, 4}));
  // A BMP load keeps the surface's storage kind.
  TDIBmp c;
  c.MakeDIBSection();
  c.LoadFromFile(dir.Path + "/b.Bmp");
  EXPECT_FALSE(c.MemoryStorage());

  // Saving through a file and reading back.
  const std::string saved = dir.Path + "/saved.bmp";
  a.SaveToFile(saved);
  TDIBmp back;
  back.LoadFromFile(saved);
  EXPECT_EQ(Pixel(back, 0, 0), (Bytes{1, 2, 3, 4}));
}

TEST_F(Pictures, FailuresKeepThePicture) {
  Bytes png = fx::MakePng({.Width = 2, .Height = 2, .Rows = Bytes(16, 9)});
  Bytes jpeg = fx::MakeJpeg(8, 8, 1, Bytes(64, 9));
  Bytes pngBadCrc = png;
  pngBadCrc[30] ^= 0xFF; // inside IHDR
  struct Case {
    const char* name;
    std::string path;
    std::string message; // "" : any error
  };
  const Case cases[] = {
      {"unknown extension", dir.Write("a.xyz", {1}), "Unknown picture file extension (.xyz)"},
      {"no extension", dir.Write("noext", {1}), "Unknown picture file extension (.)"},
      {"missing file", dir.Path + "/missing.bmp", ""},
      {"missing jpeg", dir.Path + "/missing.jpg", ""},
      {"a folder", dir.Path + "/", ""},
      {"truncated PNG", dir.Write("t.png", Bytes(png.begin(), png.begin() + long(png.size()) - 20)),
       ""},
      {"PNG with a bad CRC", dir.Write("c.png", pngBadCrc), ""},
      {"not a PNG", dir.Write("n.png", Bytes(100, 'x')), "PNG is invalid (Not a PNG signature)"},
      {"empty PNG", dir.Write("e.png", {}), "PNG is invalid (Not a PNG signature)"},
      {"truncated JPEG", dir.Write("t.jpg", Bytes(jpeg.begin(), jpeg.begin() + 40)), ""},
      {"not a JPEG", dir.Write("n.jpeg", Bytes(100, 'x')), ""},
      {"empty JPEG", dir.Write("e.jpeg", {}), ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TDIBmp d;
    MakeKnown(d);
    TDIBSharedImage* before = d.Image;
    const std::string message = ErrorOf([&] { d.LoadFromFile(c.path); });
    if (c.message.empty())
      EXPECT_NE(message, "(none)");
    else
      EXPECT_EQ(message, c.message);
    EXPECT_EQ(d.Image, before);
  }
}

TEST_F(Pictures, RegistryCanBeExtended) {
  struct TFlat : TRasterPicture {
    void LoadFromFile(const std::string&) override {
      Width = 1;
      Height = 1;
      Pixels = {10, 20, 30, 255};
    }
  };
  RegisterFileFormat("FLAT", "Flat test picture",
                     [] { return std::unique_ptr<TPictureObject>(new TFlat); });
  TDIBmp d;
  d.LoadFromFile(dir.Write("x.flat", {0}));
  EXPECT_EQ(Pixel(d, 0, 0), (Bytes{30, 20, 10}));
  UnregisterFileFormat("flat");
  EXPECT_EQ(ErrorOf([&] { d.LoadFromFile(dir.Path + "/x.flat"); }),
            "Unknown picture file extension (.flat)");
  bool dib = false;
  for (const auto& [ext, description] : RegisteredFileFormats())
    dib |= ext == "dib" && description == "Device Independent Bitmap";
  EXPECT_TRUE(dib);
}
