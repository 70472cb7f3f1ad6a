// Writes the seed corpus of the fuzz programs: small valid pictures of every
// kind the readers take. Run: fuzz_make_seeds <fuzz folder>/corpus
#include <cstdio>
#include <filesystem>
#include <string>

#include "DIBmp.h"
#include "PictureFixtures.h"
#include "Streams.h"

namespace {

using fx::Bytes;

void Save(const std::string& Dir, const std::string& Name, const Bytes& B) {
  std::filesystem::create_directories(Dir);
  std::FILE* f = std::fopen((Dir + "/" + Name).c_str(), "wb");
  if (!f)
    return;
  std::fwrite(B.data(), 1, B.size(), f);
  std::fclose(f);
}

Bytes Ramp(size_t n, int step = 37) {
  Bytes b(n);
  for (size_t i = 0; i < n; ++i)
    b[i] = uint8_t(i * size_t(step));
  return b;
}

} // namespace

int main(int argc, char** argv) {
  if (argc != 2 || std::string(argv[1]) == "--help") {
    std::printf("Usage: fuzz_make_seeds CORPUS_FOLDER\nWrites bmp/, tga/, png/ and jpeg/ seed "
                "files into it.\n");
    return argc == 2 ? 0 : 2;
  }
  const std::string root = argv[1];
  const std::string bmp = root + "/bmp", tga = root + "/tga", png = root + "/png",
                    jpeg = root + "/jpeg";

  TDIBmp d32(3, 2, 32, true);
  for (int i = 0; i < d32.Size; ++i)
    d32.PixelMemory[i] = uint8_t(i * 11);
  TMemoryStream s;
  d32.SaveToStream(s);
  Save(bmp, "32bit-3x2.bmp", s.Bytes());
  const std::vector<uint32_t> two = {0x102030, 0xA0B0C0};
  Save(bmp, "24bit-bottom-up.bmp",
       fx::MakeBmp({.Width = 3, .Height = 2, .BitCount = 24, .Pixels = Ramp(24)}));
  Save(bmp, "1bit.bmp",
       fx::MakeBmp({.Width = 9, .Height = 2, .BitCount = 1, .Colors = two, .Pixels = Ramp(8)}));
  Save(bmp, "4bit.bmp",
       fx::MakeBmp({.Width = 3,
                    .Height = -2,
                    .BitCount = 4,
                    .ColorCount = 2,
                    .Colors = two,
                    .Pixels = Ramp(8)}));
  Save(bmp, "16bit-565.bmp",
       fx::MakeBmp({.Width = 2,
                    .Height = 2,
                    .BitCount = 16,
                    .Compression = 3,
                    .Masks = {0xF800, 0x7E0, 0x1F},
                    .Pixels = Ramp(8)}));
  Save(bmp, "16bit-555.bmp",
       fx::MakeBmp({.Width = 2, .Height = 1, .BitCount = 16, .Pixels = Ramp(4)}));
  fx::TBmpSpec core{.HeaderSize = 12, .Width = 2, .Height = 2, .BitCount = 8, .Pixels = Ramp(8)};
  for (uint32_t i = 0; i < 256; ++i)
    core.Colors.push_back(i * 0x010203u);
  Save(bmp, "8bit-core.bmp", fx::MakeBmp(core));
  fx::TBmpSpec rle8{.Width = 4,
                    .Height = 3,
                    .BitCount = 8,
                    .Compression = 1,
                    .ColorCount = 4,
                    .Colors = {0, 0x101010, 0x202020, 0x303030},
                    .Pixels = {4, 1, 0, 0, 0, 3, 3, 2, 1, 0, 0, 2, 1, 1, 1, 2, 0, 1}};
  Save(bmp, "rle8-delta.bmp", fx::MakeBmp(rle8));
  fx::TBmpSpec rle4{.Width = 5,
                    .Height = 2,
                    .BitCount = 4,
                    .Compression = 2,
                    .ColorCount = 16,
                    .Pixels = {5, 0x12, 0, 0, 0, 3, 0x45, 0x60, 1, 0x7F, 0, 1}};
  for (uint32_t i = 0; i < 16; ++i)
    rle4.Colors.push_back(i * 0x111111u);
  Save(bmp, "rle4.bmp", fx::MakeBmp(rle4));
  Save(bmp, "v5-alpha.bmp",
       fx::MakeBmp({.HeaderSize = 124,
                    .Width = 2,
                    .Height = 2,
                    .BitCount = 32,
                    .Compression = 3,
                    .Masks = {0xFF0000, 0xFF00, 0xFF, 0xFF000000},
                    .Pixels = Ramp(16)}));
  Save(bmp, "v3-4444-gap.bmp",
       fx::MakeBmp({.HeaderSize = 56,
                    .Width = 3,
                    .Height = -2,
                    .BitCount = 16,
                    .Compression = 3,
                    .Masks = {0xF00, 0xF0, 0xF, 0xF000},
                    .Gap = Bytes(6, 0xEE),
                    .Pixels = Ramp(16)}));
  Save(bmp, "alpha-bitfields-1555.bmp",
       fx::MakeBmp({.Width = 2,
                    .Height = 1,
                    .BitCount = 16,
                    .Compression = 6,
                    .Masks = {0x7C00, 0x3E0, 0x1F, 0x8000},
                    .Pixels = Ramp(4, 91)}));
  Save(bmp, "2bit.bmp",
       fx::MakeBmp({.Width = 5,
                    .Height = 2,
                    .BitCount = 2,
                    .Colors = {0, 0x555555, 0xAAAAAA, 0xFFFFFF},
                    .Pixels = Ramp(8)}));

  Save(tga, "24bit.tga", fx::MakeTga(2, 3, 2, 24, 0, Ramp(18)));
  Save(tga, "32bit-top-down.tga", fx::MakeTga(2, 2, 2, 32, 0x28, Ramp(16), 3));
  Save(tga, "16bit-right-to-left.tga", fx::MakeTga(2, 3, 2, 16, 0x10, Ramp(12)));
  Save(tga, "grey.tga", fx::MakeTga(3, 4, 2, 8, 0x20, Ramp(8)));
  const fx::TTgaMap map24{.First = 1, .Entries = Ramp(12, 29)};
  const fx::TTgaMap map16{.Bits = 16, .Entries = Ramp(8, 53)};
  const fx::TTgaMap map32{.Bits = 32, .Entries = Ramp(12, 71)};
  Save(tga, "mapped.tga", fx::MakeTga(1, 3, 2, 8, 0, {1, 2, 3, 4, 3, 2}, 2, &map24));
  Save(tga, "mapped-16bit-entries.tga",
       fx::MakeTga(1, 2, 2, 16, 0x30, {0, 0, 1, 0, 2, 0, 3, 0}, 0, &map16));
  // Run-length packets: a run across rows, stored pixels, a run past the end.
  Save(tga, "rle-true-colour.tga",
       fx::MakeTga(10, 3, 2, 24, 0, {0x83, 1, 2, 3, 0x01, 4, 5, 6, 7, 8, 9}));
  Save(tga, "rle-true-colour-32bit.tga",
       fx::MakeTga(10, 2, 2, 32, 0x28, {0x00, 1, 2, 3, 4, 0xFF, 5, 6, 7, 8}));
  Save(tga, "rle-mapped.tga", fx::MakeTga(9, 3, 2, 8, 0x20, {0x02, 0, 1, 2, 0x82, 1}, 0, &map32));
  Save(tga, "rle-grey.tga", fx::MakeTga(11, 4, 2, 8, 0, {0x84, 9, 0x02, 10, 11, 12}));

  Save(png, "rgba8.png", fx::MakePng({.Width = 3, .Height = 2, .Rows = Ramp(24)}));
  fx::TPngSpec pal{.Width = 4,
                   .Height = 2,
                   .ColorType = PNG_COLOR_TYPE_PALETTE,
                   .BitDepth = 4,
                   .Rows = {0x01, 0x23, 0x32, 0x10}};
  pal.Palette = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {9, 9, 9}};
  pal.Trans = {0, 128};
  Save(png, "palette-trns.png", fx::MakePng(pal));
  Save(png, "grey-trns.png",
       fx::MakePng({.Width = 3,
                    .Height = 2,
                    .ColorType = PNG_COLOR_TYPE_GRAY,
                    .BitDepth = 8,
                    .Rows = {7, 8, 9, 7, 7, 8},
                    .TransColor = {{0, 0, 0, 0, 7}}}));
  Save(png, "rgb16-trns.png",
       fx::MakePng({.Width = 2,
                    .Height = 1,
                    .ColorType = PNG_COLOR_TYPE_RGB,
                    .BitDepth = 16,
                    .Rows = Ramp(12),
                    .TransColor = {{0, 0x0025, 0x4A6F, 0x94B9, 0}}}));
  Save(png, "grey2.png",
       fx::MakePng({.Width = 5,
                    .Height = 1,
                    .ColorType = PNG_COLOR_TYPE_GRAY,
                    .BitDepth = 2,
                    .Rows = Ramp(2)}));
  Save(png, "rgba16.png",
       fx::MakePng({.Width = 1,
                    .Height = 2,
                    .ColorType = PNG_COLOR_TYPE_RGB_ALPHA,
                    .BitDepth = 16,
                    .Rows = Ramp(16)}));
  Save(png, "rgb-interlaced.png",
       fx::MakePng({.Width = 9,
                    .Height = 9,
                    .ColorType = PNG_COLOR_TYPE_RGB,
                    .BitDepth = 8,
                    .Rows = Ramp(243),
                    .Interlaced = true}));

  Save(jpeg, "grey.jpg", fx::MakeJpeg(8, 8, 1, Ramp(64)));
  Save(jpeg, "rgb.jpg", fx::MakeJpeg(16, 8, 3, Ramp(384, 7), 80));
  Save(jpeg, "rgb-progressive.jpg", fx::MakeJpeg(16, 16, 3, Ramp(768, 13), 60, true));
  return 0;
}
