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
}

namespace {

// The four pixels of a 2 x 2 picture, top left first, as 24-bit surface bytes.
const Bytes A = {1, 2, 3}, B = {4, 5, 6}, C = {7, 8, 9}, D = {10, 11, 12};

Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts)
    out.insert(out.end(), p.begin(), p.end());
  return out;
}

// Every pixel's bytes, top row first, without the rows' padding.
Bytes SurfaceBytes(const TDIB& d) {
  Bytes out;
  for (int y = 0; y < d.Height; ++y)
    out = Concat(out, Bytes(d.PixelMemory + y * d.RowStride,
                            d.PixelMemory + y * d.RowStride + d.Width * d.BitCount / 8));
  return out;
}

struct TTgaCase {
  const char* Name;
  Bytes File;
  int Bits;      // of the surface
  Bytes Surface; // SurfaceBytes
};

} // namespace

// Every stored form of a 2 x 2 picture: the corners of origin, colour maps of
// each entry depth starting past entry 0, 16-bit colours, greys and
// run-length packets, also across rows and beyond the last pixel.
TEST_F(Pictures, TgaVariantsReadTheirColours) {
  const fx::TTgaMap map24{.First = 2, .Entries = Join({A, B, C, D})};
  const fx::TTgaMap map32{.First = 0, .Bits = 32, .Entries = {1, 2, 3, 0x80, 4, 5, 6, 0}};
  // Red, green, blue and a grey with the attribute bit set, 5 bits a channel.
  const Bytes fives = {0x00, 0x7C, 0xE0, 0x03, 0x1F, 0x00, 0x10, 0xC2};
  const Bytes widened = {0, 0, 255, 0, 255, 0, 255, 0, 0, 132, 132, 132};
  const fx::TTgaMap map16{.Bits = 16, .Entries = fives};
  const TTgaCase cases[] = {
      {"bottom-left origin", fx::MakeTga(2, 2, 2, 24, 0x00, Join({C, D, A, B})), 24,
       Join({A, B, C, D})},
      {"top-left origin", fx::MakeTga(2, 2, 2, 24, 0x20, Join({A, B, C, D})), 24,
       Join({A, B, C, D})},
      {"bottom-right origin", fx::MakeTga(2, 2, 2, 24, 0x10, Join({D, C, B, A})), 24,
       Join({A, B, C, D})},
      {"top-right origin", fx::MakeTga(2, 2, 2, 24, 0x30, Join({B, A, D, C})), 24,
       Join({A, B, C, D})},
      {"colour-mapped", fx::MakeTga(1, 2, 2, 8, 0x20, {2, 3, 4, 5}, 3, &map24), 24,
       Join({A, B, C, D})},
      {"colour-mapped, 16-bit indices",
       fx::MakeTga(1, 2, 2, 16, 0x00, {4, 0, 5, 0, 2, 0, 3, 0}, 0, &map24), 24, Join({A, B, C, D})},
      {"colour map of 32-bit entries",
       fx::MakeTga(1, 2, 1, 8, 0x20, {1, 0}, 0, &map32),
       32,
       {4, 5, 6, 0, 1, 2, 3, 0x80}},
      {"colour map of 16-bit entries", fx::MakeTga(1, 2, 2, 8, 0x20, {0, 1, 2, 3}, 0, &map16), 24,
       widened},
      {"true colour of 16 bits", fx::MakeTga(2, 2, 2, 16, 0x20, fives), 24, widened},
      {"true colour of 15 bits", fx::MakeTga(2, 2, 2, 15, 0x20, fives), 24, widened},
      {"grey",
       fx::MakeTga(3, 2, 2, 8, 0x00, {0, 100, 200, 255}),
       24,
       {200, 200, 200, 255, 255, 255, 0, 0, 0, 100, 100, 100}},
      // A run of three, then one stored pixel.
      {"run-length true colour, a run across rows",
       fx::MakeTga(10, 2, 2, 24, 0x20, Join({{0x82}, A, {0x00}, D})), 24, Join({A, A, A, D})},
      {"run-length true colour of 32 bits",
       fx::MakeTga(10, 2, 1, 32, 0x28, {0x81, 9, 8, 7, 6}),
       32,
       {9, 8, 7, 6, 9, 8, 7, 6}},
      {"run-length colour-mapped", fx::MakeTga(9, 2, 2, 8, 0x20, {0x01, 2, 3, 0x81, 5}, 0, &map24),
       24, Join({A, B, D, D})},
      {"run-length grey",
       fx::MakeTga(11, 2, 2, 8, 0x20, {0x81, 50, 0x01, 60, 70}),
       24,
       {50, 50, 50, 50, 50, 50, 60, 60, 60, 70, 70, 70}},
      // The picture ends inside the packet; the rest is never read.
      {"run beyond the last pixel", fx::MakeTga(10, 2, 2, 24, 0x20, Join({{0xFF}, B})), 24,
       Join({B, B, B, B})},
  };
  for (const TTgaCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TDIBmp d;
    d.LoadFromFile(dir.Write("v.tga", c.File));
    ASSERT_EQ(d.BitCount, c.Bits);
    EXPECT_EQ(SurfaceBytes(d), c.Surface);
    // Every cut of the file is refused and leaves nothing.
    for (std::size_t n = 0; n < c.File.size(); ++n) {
      TDIBmp cut;
      MakeKnown(cut);
      EXPECT_EQ(ErrorOf([&] {
                  TReadOnlyMemoryStream s(c.File.data(), n);
                  LoadTga(cut, s);
                }),
                "Stream read error")
          << n << " bytes";
      EXPECT_TRUE(cut.Empty());
    }
  }
}

TEST_F(Pictures, TgaErrorsLeaveAnEmptySurface) {
  const fx::TTgaMap map{.First = 2, .Entries = Join({A, B})};
  const fx::TTgaMap map8{.Bits = 8, .Entries = {1, 2}};
  const fx::TTgaMap longMap{.Length = 200, .Entries = A};
  struct Case {
    const char* name;
    Bytes file;
    const char* message;
  };
  const Case cases[] = {
      // Variants not read.
      {"no image data", fx::MakeTga(0, 2, 1, 24, 0, Bytes(6, 0)),
       "TGA image type 0 (no image data) is not supported"},
      {"Huffman coding", fx::MakeTga(32, 2, 1, 8, 0, Bytes(2, 0), 0, &map),
       "TGA image type 32 (Huffman-coded colour-mapped) is not supported"},
      {"unknown type", fx::MakeTga(4, 2, 1, 24, 0, Bytes(6, 0)),
       "TGA image type 4 is not supported"},
      {"true colour of 8 bits", fx::MakeTga(2, 4, 1, 8, 0, Bytes(4, 0)),
       "TGA true-colour image of 8 bits per pixel is not supported"},
      {"grey of 16 bits", fx::MakeTga(3, 2, 1, 16, 0, Bytes(4, 0)),
       "TGA grey image of 16 bits per pixel is not supported"},
      {"colour-mapped 24 bits", fx::MakeTga(1, 2, 1, 24, 0, Bytes(6, 0), 0, &map),
       "TGA colour-mapped image of 24 bits per pixel is not supported"},
      {"colour map of 8-bit entries", fx::MakeTga(1, 2, 1, 8, 0, Bytes(2, 0), 0, &map8),
       "TGA colour map of 8-bit entries is not supported"},
      {"interleaved rows", fx::MakeTga(2, 2, 2, 24, 0x40, Bytes(12, 0)),
       "TGA interleaving of rows (descriptor bits 0x40) is not supported"},
      // Damaged files.
      {"colour-mapped without a map", fx::MakeTga(9, 2, 1, 8, 0, {0x81, 0}),
       "TGA is invalid (colour-mapped image without a colour map)"},
      {"index below the map", fx::MakeTga(1, 2, 1, 8, 0, {2, 1}, 0, &map),
       "TGA is invalid (colour index 1 outside the colour map)"},
      {"index past the map", fx::MakeTga(9, 2, 1, 8, 0, {0x81, 4}, 0, &map),
       "TGA is invalid (colour index 4 outside the colour map)"},
      {"short header", Bytes(10, 0), "Stream read error"},
      {"colour map cut short", fx::MakeTga(1, 1, 1, 8, 0, {0}, 0, &longMap), "Stream read error"},
      {"ID longer than the file", fx::MakeTga(2, 2, 1, 24, 0, {}, 200), "Stream read error"},
      // Refused before the surface is made.
      {"run-length picture beyond the byte limit",
       fx::MakeTga(10, 30000, 30000, 24, 0, {0xFF, 1, 2, 3}), "out of memory"},
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
