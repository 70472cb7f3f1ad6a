// GIF and WebP pictures: colours, transparency, interlaced and offset frames,
// the first frame of animations, the surfaces they load into, and damaged
// files. Small GIFs are written byte by byte (PictureFixtures.h); the other
// files are made at build time by Debian's tools (ToolPictures.cmake).
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "DIBmp.h"
#include "GifFormat.h"
#include "PictureFixtures.h"
#include "PictureLimits.h"
#include "PictureRegistry.h"
#include "Streams.h"
#include "WebpFormat.h"

namespace {

using fx::Bytes;
using fx::ErrorOf;

// One pixel: x, y and the expected straight colour 0xAARRGGBB. The colour of
// a pixel with alpha 0 means nothing and is not compared.
struct TPixel {
  int X, Y;
  uint32_t Argb;
};

uint32_t At(const TRasterPicture& p, int x, int y) {
  const uint8_t* q = p.Pixels.data() + (std::size_t(y) * std::size_t(p.Width) + std::size_t(x)) * 4;
  return uint32_t(q[3]) << 24 | uint32_t(q[0]) << 16 | uint32_t(q[1]) << 8 | q[2];
}

int Channel(uint32_t argb, int shift) {
  return int((argb >> shift) & 0xFF);
}

// The straight colours of the picture, each channel within Tolerance (alpha
// exact).
void ExpectPixels(const TRasterPicture& p, const std::vector<TPixel>& pixels, int tolerance) {
  for (const TPixel& e : pixels) {
    SCOPED_TRACE(testing::Message() << "pixel " << e.X << "," << e.Y);
    const uint32_t got = At(p, e.X, e.Y);
    EXPECT_EQ(got >> 24, e.Argb >> 24) << std::hex << got;
    if (e.Argb >> 24 == 0)
      continue;
    for (int shift : {16, 8, 0})
      EXPECT_NEAR(Channel(got, shift), Channel(e.Argb, shift), tolerance) << std::hex << got;
  }
}

// The surface's bytes for the same pixels: 24 bits blue, green, red; 32 bits
// premultiplied (colour * alpha div 255) with the alpha.
void ExpectSurface(const TDIB& d, const std::vector<TPixel>& pixels, int tolerance) {
  const int n = d.BitCount / 8;
  for (const TPixel& e : pixels) {
    SCOPED_TRACE(testing::Message() << "surface pixel " << e.X << "," << e.Y);
    const uint8_t* p = d.PixelMemory + e.Y * d.RowStride + e.X * n;
    const uint32_t a = e.Argb >> 24;
    for (int i = 0; i < 3; ++i) {
      const uint32_t c = uint32_t(Channel(e.Argb, 8 * i));
      EXPECT_NEAR(p[i], n == 4 ? c * a / 255 : c, a == 0 ? 0 : tolerance) << "byte " << i;
    }
    if (n == 4) {
      EXPECT_EQ(p[3], a);
    }
  }
}

const uint32_t Red = 0xFF0000, Green = 0x00FF00, Blue = 0x0000FF, White = 0xFFFFFF;

// A colour map of N greys: entry i is (i, i, i).
std::vector<uint32_t> Greys(uint32_t n) {
  std::vector<uint32_t> map;
  for (uint32_t i = 0; i < n; ++i)
    map.push_back(i * 0x010101u);
  return map;
}

// A WebP file of nothing but an extended header: its canvas size and flags
// (0x02: animated, 0x10: alpha).
Bytes Vp8xOnly(uint32_t width, uint32_t height, uint8_t flags) {
  Bytes d = {'R', 'I', 'F', 'F'};
  fx::Put32(d, 4 + 8 + 10);
  d.insert(d.end(), {'W', 'E', 'B', 'P', 'V', 'P', '8', 'X'});
  fx::Put32(d, 10);
  d.insert(d.end(), {flags, 0, 0, 0});
  for (uint32_t v : {width - 1, height - 1})
    d.insert(d.end(), {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16)});
  return d;
}

} // namespace

TEST(GifPictures, FramesOnTheCanvas) {
  const struct {
    const char* Name;
    fx::TGifSpec Spec;
    int Width, Height;
    std::vector<TPixel> Pixels;
  } cases[] = {
      {"global colour map",
       {.ScreenWidth = 2, .Global = {0xC86432, 0x0A141E}, .Width = 2, .Indices = {1, 0}},
       2,
       1,
       {{0, 0, 0xFF0A141E}, {1, 0, 0xFFC86432}}},
      {"local colour map over the global one",
       {.ScreenWidth = 2,
        .Global = {Red, Green},
        .Width = 2,
        .Local = {Blue, White},
        .Indices = {0, 1}},
       2,
       1,
       {{0, 0, 0xFF000000 | Blue}, {1, 0, 0xFF000000 | White}}},
      {"transparent index",
       {.ScreenWidth = 2, .Global = {Red, Green}, .Width = 2, .Transparent = 1, .Indices = {0, 1}},
       2,
       1,
       {{0, 0, 0xFF000000 | Red}, {1, 0, 0}}},
      // Rows arrive as 0, 8; 4; 2, 6; 1, 3, 5, 7, and row y has colour y.
      {"interlaced",
       {.ScreenHeight = 9,
        .Global = {0x000000, 0x111111, 0x222222, 0x333333, 0x444444, 0x555555, 0x666666, 0x777777,
                   0x888888},
        .Height = 9,
        .Interlaced = true,
        .Indices = {0, 8, 4, 2, 6, 1, 3, 5, 7},
        .CodeSize = 4},
       1,
       9,
       {{0, 0, 0xFF000000},
        {0, 1, 0xFF111111},
        {0, 2, 0xFF222222},
        {0, 3, 0xFF333333},
        {0, 4, 0xFF444444},
        {0, 5, 0xFF555555},
        {0, 6, 0xFF666666},
        {0, 7, 0xFF777777},
        {0, 8, 0xFF888888}}},
      {"small frame at an offset",
       {.ScreenWidth = 4,
        .ScreenHeight = 3,
        .Global = {Red, Green},
        .Left = 1,
        .Top = 2,
        .Width = 2,
        .Indices = {0, 1}},
       4,
       3,
       {{1, 2, 0xFF000000 | Red}, {2, 2, 0xFF000000 | Green}, {0, 0, 0}, {3, 2, 0}, {1, 1, 0}}},
      {"frame reaching past the screen",
       {.ScreenWidth = 2, .Global = {Red, Green}, .Left = 1, .Width = 2, .Indices = {0, 1}},
       3,
       1,
       {{0, 0, 0}, {1, 0, 0xFF000000 | Red}, {2, 0, 0xFF000000 | Green}}},
      {"screen of size 0",
       {.ScreenWidth = 0, .ScreenHeight = 0, .Global = {Red, Green}, .Indices = {1}},
       1,
       1,
       {{0, 0, 0xFF000000 | Green}}},
      {"8-bit codes",
       {.ScreenWidth = 3,
        .Global = Greys(256),
        .Width = 3,
        .Indices = {255, 0, 128},
        .CodeSize = 8},
       3,
       1,
       {{0, 0, 0xFFFFFFFF}, {1, 0, 0xFF000000}, {2, 0, 0xFF808080}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const Bytes file = fx::MakeGif(c.Spec);
    const TRasterPicture p = DecodeGif(file.data(), file.size());
    ASSERT_EQ(p.Width, c.Width);
    ASSERT_EQ(p.Height, c.Height);
    ExpectPixels(p, c.Pixels, 0);
  }
}

TEST(GifPictures, DamagedFilesAreRefused) {
  const Bytes small = fx::MakeGif({.Global = {Red, Green}, .Indices = {1}});
  const struct {
    const char* Name;
    Bytes File;
    std::string Error;
  } cases[] = {
      {"index outside the colour map",
       fx::MakeGif({.ScreenWidth = 2, .Global = {Red, Green}, .Width = 2, .Indices = {1, 2}}),
       "GIF is invalid (colour index 2 outside the colour map)"},
      {"index outside the local map, inside the global one",
       fx::MakeGif({.Global = {Red, Green, Blue, White}, .Local = {Red, Green}, .Indices = {3}}),
       "GIF is invalid (colour index 3 outside the colour map)"},
      {"no colour map", fx::MakeGif({.Indices = {1}}), "GIF is invalid (no colour map)"},
      {"no image",
       {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0, 0x3B},
       "GIF is invalid (no image)"},
      {"not a GIF", Bytes(40, 'x'), "GIF is invalid (Data is not in GIF format)"},
      {"empty", {}, "GIF is invalid (the data ends early)"},
      {"cut inside the pixels", Bytes(small.begin(), small.end() - 4),
       "GIF is invalid (the data ends early)"},
      // Refused by the limits before anything of that size is allocated.
      {"screen wider than the side limit",
       fx::MakeGif({.ScreenWidth = 65535, .Global = {Red, Green}, .Indices = {1}}),
       "out of memory"},
      {"screen beyond the byte limit",
       fx::MakeGif(
           {.ScreenWidth = 30000, .ScreenHeight = 30000, .Global = {Red, Green}, .Indices = {1}}),
       "out of memory"},
      {"frame far past the screen",
       fx::MakeGif({.Global = {Red, Green}, .Left = 65535, .Top = 65535, .Indices = {1}}),
       "out of memory"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(ErrorOf([&] { DecodeGif(c.File.data(), c.File.size()); }), c.Error);
  }
}

TEST(GifPictures, EveryCutShortOfTheTrailerIsRefused) {
  const Bytes file = fx::MakeGif({.ScreenWidth = 3,
                                  .ScreenHeight = 2,
                                  .Global = {Red, Green},
                                  .Width = 3,
                                  .Height = 2,
                                  .Interlaced = true,
                                  .Transparent = 0,
                                  .Indices = {0, 1, 0, 1, 1, 0}});
  // The trailer itself is never read: the first frame is all there is to take.
  for (std::size_t n = 0; n + 1 < file.size(); ++n) {
    SCOPED_TRACE(n);
    EXPECT_EQ(ErrorOf([&] { DecodeGif(file.data(), n); }).rfind("GIF is invalid (", 0), 0u);
  }
  EXPECT_EQ(DecodeGif(file.data(), file.size() - 1).Width, 3);
}

// The thread's byte limit, which the fuzz programs lower, applies as well as
// the fixed one.
TEST(GifWebpPictures, LoweredByteLimitApplies) {
  const Bytes gif = fx::MakeGif(
      {.ScreenWidth = 1024, .ScreenHeight = 1024, .Global = {Red, Green}, .Indices = {1}});
  const Bytes webp = Vp8xOnly(1024, 1024, 0x02);
  EXPECT_EQ(DecodeGif(gif.data(), gif.size()).Width, 1024);
  EXPECT_EQ(ErrorOf([&] { DecodeWebp(webp.data(), webp.size()); }),
            "WebP is invalid (damaged or incomplete animation)");
  const TPictureByteLimit limit(int64_t(1) << 20);
  EXPECT_EQ(ErrorOf([&] { DecodeGif(gif.data(), gif.size()); }), "out of memory");
  EXPECT_EQ(ErrorOf([&] { DecodeWebp(webp.data(), webp.size()); }), "out of memory");
}

TEST(WebpPictures, DamagedFilesAreRefused) {
  const struct {
    const char* Name;
    Bytes File;
    std::string Error;
  } cases[] = {
      {"not a WebP", Bytes(40, 'x'), "WebP is invalid (bitstream error)"},
      {"empty", {}, "WebP is invalid (the data ends early)"},
      {"header without a picture", Vp8xOnly(4, 4, 0x10), "WebP is invalid (the data ends early)"},
      // 16384 x 16384 x 4 bytes is beyond the byte limit: refused before the
      // animation decoder sets up its canvases.
      {"huge animation canvas", Vp8xOnly(16384, 16384, 0x02), "out of memory"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(ErrorOf([&] { DecodeWebp(c.File.data(), c.File.size()); }), c.Error);
  }
}

// Through the surface: transparency makes a premultiplied 32-bit surface, an
// opaque picture a 24-bit one, as JPEG and BMP files give.
TEST(GifWebpPictures, SurfacesKeepTransparency) {
  fx::TTempDir dir;
  const Bytes transparent = fx::MakeGif({.ScreenWidth = 2,
                                         .ScreenHeight = 2,
                                         .Global = {0xC86432, Green},
                                         .Width = 2,
                                         .Transparent = 1,
                                         .Indices = {0, 1}});
  TDIBmp d;
  int changes = 0;
  d.OnChange = [&](TDIB&) { ++changes; };
  d.LoadFromFile(dir.Write("a.GIF", transparent));
  ASSERT_EQ(d.BitCount, 32);
  ASSERT_EQ(d.Height, 2);
  ExpectSurface(d, {{0, 0, 0xFFC86432}, {1, 0, 0}, {0, 1, 0}}, 0);
  EXPECT_TRUE(d.MemoryStorage());
  EXPECT_EQ(changes, 1);

  d.LoadFromFile(dir.Write("b.gif", fx::MakeGif({.Global = {0xC86432}, .Indices = {0}})));
  ASSERT_EQ(d.BitCount, 24);
  ExpectSurface(d, {{0, 0, 0xFFC86432}}, 0);

  for (const char* name : {"c.gif", "c.webp"}) {
    SCOPED_TRACE(name);
    TDIBmp known;
    known.SetFormat(2, 2, 24);
    TDIBSharedImage* before = known.Image;
    EXPECT_NE(ErrorOf([&] { known.LoadFromFile(dir.Write(name, Bytes(30, 'x'))); }), "(none)");
    EXPECT_EQ(known.Image, before);
  }

  const auto formats = RegisteredFileFormats();
  for (const auto& f :
       {std::pair<std::string, std::string>{"gif", "GIF Image File"}, {"webp", "WebP Image File"}})
    EXPECT_NE(std::find(formats.begin(), formats.end(), f), formats.end()) << f.first;
}

// Files made by ImageMagick and the webp tools, each through its decoder and
// through a surface.
struct TToolCase {
  const char* File;
  const char* Tools; // what makes the file
  int Width, Height;
  int Tolerance; // per colour channel: lossy files
  int SurfaceBits;
  std::vector<TPixel> Pixels;
};

void PrintTo(const TToolCase& c, std::ostream* os) {
  *os << c.File;
}

class ToolPictures : public testing::TestWithParam<TToolCase> {
protected:
  static std::filesystem::path PathOf(const char* file) {
    return std::filesystem::path(QUELMA_TOOL_PICTURES) / file;
  }
  static TRasterPicture Decode(const std::string& name, const Bytes& b) {
    return name.ends_with(".gif") ? DecodeGif(b.data(), b.size()) : DecodeWebp(b.data(), b.size());
  }
};

// Rows of the 2 x 10 picture: (25y, 255 - 25y, 100 + 50x).
std::vector<TPixel> RowColours() {
  std::vector<TPixel> p;
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 2; ++x)
      p.push_back({x, y,
                   0xFF000000u | uint32_t(25 * y) << 16 | uint32_t(255 - 25 * y) << 8 |
                       uint32_t(100 + 50 * x)});
  return p;
}

TEST_P(ToolPictures, ColoursAndTransparency) {
  const TToolCase& c = GetParam();
  const std::filesystem::path path = PathOf(c.File);
  if (!std::filesystem::exists(path))
    GTEST_SKIP() << c.File << " is made by " << c.Tools << ", which the build did not find";
  const Bytes bytes = ReadWholeFile(path.string());
  const TRasterPicture p = Decode(c.File, bytes);
  ASSERT_EQ(p.Width, c.Width);
  ASSERT_EQ(p.Height, c.Height);
  ExpectPixels(p, c.Pixels, c.Tolerance);

  TDIBmp d;
  d.LoadFromFile(path.string());
  ASSERT_EQ(d.BitCount, c.SurfaceBits);
  ASSERT_EQ(d.Width, c.Width);
  ExpectSurface(d, c.Pixels, c.Tolerance);

  // A cut of the file is refused as damaged, unless all it loses follows the
  // first frame of a GIF, which then reads as before.
  const bool gif = std::string(c.File).ends_with(".gif");
  const std::string invalid = gif ? "GIF is invalid (" : "WebP is invalid (";
  for (std::size_t n = 0; n < bytes.size(); ++n) {
    SCOPED_TRACE(n);
    const Bytes cut(bytes.begin(), bytes.begin() + long(n));
    try {
      const TRasterPicture q = Decode(c.File, cut);
      EXPECT_TRUE(gif) << "a cut WebP loads";
      EXPECT_EQ(q.Pixels, p.Pixels);
    } catch (const EInvalidGraphic& e) {
      EXPECT_EQ(std::string(e.what()).rfind(invalid, 0), 0u) << e.what();
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    GifWebp, ToolPictures,
    testing::Values(
        TToolCase{"transparent.gif",
                  "convert",
                  3,
                  2,
                  0,
                  32,
                  {{0, 0, 0xFFFF0000},
                   {1, 0, 0xFF00FF00},
                   {2, 0, 0},
                   {0, 1, 0xFF0A141E},
                   {1, 1, 0xFFC86432},
                   {2, 1, 0xFFFFFFFF}}},
        TToolCase{"interlaced.gif", "convert", 2, 10, 0, 24, RowColours()},
        TToolCase{"offset.gif",
                  "convert",
                  5,
                  4,
                  0,
                  32,
                  {{2, 1, 0xFFFF8000}, {3, 2, 0xFFFF8000}, {0, 0, 0}, {1, 1, 0}, {4, 3, 0}}},
        // The first frame is red, the second blue.
        TToolCase{"animated.gif", "convert", 3, 3, 0, 24, {{0, 0, 0xFFFF0000}, {2, 2, 0xFFFF0000}}},
        TToolCase{"lossy.webp",
                  "convert and cwebp",
                  16,
                  16,
                  12,
                  24,
                  {{3, 8, 0xFFC82828}, {12, 8, 0xFF2828C8}}},
        TToolCase{"lossless.webp", "convert and cwebp", 2, 10, 0, 24, RowColours()},
        TToolCase{"alpha.webp",
                  "convert and cwebp",
                  16,
                  16,
                  12,
                  32,
                  {{3, 3, 0}, {3, 12, 0}, {12, 3, 0xFF28A050}, {12, 12, 0x8028A050}}},
        // A 2 x 2 orange first frame at (2, 2) on a 6 x 5 canvas, then all
        // blue: the first frame as shown, transparent around it.
        TToolCase{"animated.webp",
                  "convert and gif2webp",
                  6,
                  5,
                  0,
                  32,
                  {{2, 2, 0xFFFF8000}, {3, 3, 0xFFFF8000}, {0, 0, 0}, {5, 4, 0}, {1, 2, 0}}}),
    [](const testing::TestParamInfo<TToolCase>& info) {
      std::string name = info.param.File;
      std::replace(name.begin(), name.end(), '.', '_');
      return name;
    });
