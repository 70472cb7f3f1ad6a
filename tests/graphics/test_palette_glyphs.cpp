// Colour tables, the shared palettes, and TDIBmp glyph strips with their
// draw modes.
#include <gtest/gtest.h>

#include <cstring>

#include "DIBmp.h"
#include "Palette.h"

namespace {

TDIBColorTable Grey() {
  TDIBColorTable t{};
  for (uint32_t i = 0; i < 256; ++i)
    t[i] = i * 0x010101u;
  return t;
}

} // namespace

TEST(Palettes, SameTableSharesOnePalette) {
  const int32_t live = LivePaletteCount();
  const TDIBColorTable t = Grey();
  TPaletteHandle a = AcquirePalette(t.data(), 16);
  TPaletteHandle b = AcquirePalette(t.data(), 16);
  TPaletteHandle c = AcquirePalette(t.data(), 15); // other count: another palette
  EXPECT_NE(a, 0u);
  EXPECT_EQ(a, b);
  EXPECT_NE(a, c);
  TPaletteEntry e[16];
  ASSERT_EQ(GetPaletteEntries(a, 0, 16, e), 16);
  EXPECT_EQ(e[15].Red, 15);
  EXPECT_EQ(e[15].Blue, 15);
  ReleasePalette(a);
  EXPECT_EQ(a, 0u);
  EXPECT_EQ(LivePaletteCount(), live + 2);
  ReleasePalette(b);
  EXPECT_EQ(LivePaletteCount(), live + 1); // the second release deletes it
  ReleasePalette(c);
  EXPECT_EQ(LivePaletteCount(), live);
  TPaletteHandle none = 0;
  ReleasePalette(none); // nothing
}

TEST(Palettes, GetPaletteFollowsTheColourTable) {
  TDIBmp d(4, 1, 8, true);
  EXPECT_EQ(d.GetPalette(), 0u); // the table was never replaced
  TDIBColorTable t = Grey();
  d.SetColorTable(t);
  EXPECT_TRUE(d.PaletteModified);
  const uintptr_t p = d.GetPalette();
  ASSERT_NE(p, 0u);
  EXPECT_EQ(d.GetPalette(), p);
  // The table is copied into the header the Data block carries.
  uint32_t entry;
  std::memcpy(&entry, d.BitmapInfo + 40 + 4 * 200, 4);
  EXPECT_EQ(entry, 200u * 0x010101u);
  t[1] = 0xFF0000;
  d.SetColorTable(t);
  EXPECT_NE(d.GetPalette(), p);

  // No colour table at 24 bits.
  TDIBmp rgb(1, 1, 24, true);
  rgb.SetColorTable(t);
  EXPECT_EQ(rgb.GetPalette(), 0u);
}

TEST(Palettes, SetColorTableDoesNotShowThroughASharedImage) {
  TDIBmp a(2, 1, 8, true);
  TDIBmp b;
  b.Assign(&a);
  a.SetColorTable(Grey());
  EXPECT_NE(a.Image, b.Image);
  EXPECT_EQ(b.ColorTable[255], 0u);
  EXPECT_EQ(a.ColorTable[255], 0xFFFFFFu);
}

TEST(Palettes, SetPaletteTakesTheEntriesAndDeletesThePalette) {
  const int32_t live = LivePaletteCount();
  std::vector<TPaletteEntry> entries(3);
  entries[2] = {10, 20, 30, 0};
  const TPaletteHandle h = CreatePalette(entries);
  TDIBmp d(1, 1, 8, true);
  d.SetPalette(h);
  EXPECT_EQ(d.ColorTable[2], 0x0A141Eu);
  EXPECT_EQ(d.ColorTable[3], 0u);
  EXPECT_EQ(LivePaletteCount(), live);
}

TEST(GlyphStrips, CellRects) {
  TDIBmp d(60, 5, 24, true);
  struct Case {
    int32_t il, index;
    TRect cell;
  };
  const Case cases[] = {
      {3, 2, {40, 0, 60, 5}},                         // three equal cells of 20
      {-16, 2, {32, 0, 48, 5}},                       // cells 16 wide
      {3, -5, {5, 0, 25, 5}},                         // index 0 or below: x = -index
      {3, 0, {0, 0, 20, 5}},    {0, 3, {0, 0, 0, 5}}, // ILCount 0: cells of width 0
  };
  for (const Case& c : cases) {
    d.ILCount = c.il;
    EXPECT_EQ(d.CellRect(c.index), c.cell) << c.il << " " << c.index;
  }
  d.ILCount = 3;
  EXPECT_EQ(d.CellWidth(), 20);
  EXPECT_EQ(d.CellCount(), 3);
  EXPECT_EQ(d.ClampCellIndex(7), 2);
  EXPECT_EQ(d.ClampCellIndex(1), 1);
  d.ILCount = -16;
  EXPECT_EQ(d.CellCount(), 3);
  EXPECT_EQ(d.ClampCellIndex(7), 7);
  d.ILCount = 0;
  EXPECT_EQ(d.CellCount(), 0);
  d.ILCount = 1;
  EXPECT_EQ(d.CellRect(INT32_MAX).Left, INT32_MAX); // far out, not wrapped

  int changes = 0;
  d.OnChange = [&](TDIB&) { ++changes; };
  d.SetILCount(4);
  EXPECT_EQ(d.ILCount, 4);
  EXPECT_EQ(changes, 1);
}

TEST(GlyphStrips, DrawCellCopiesOneCell) {
  TDIBmp strip(4, 1, 24, true);
  for (int i = 0; i < 12; ++i)
    strip.PixelMemory[i] = uint8_t(i + 1);
  strip.ILCount = 2;
  TDIBmp target(3, 1, 24, true);
  std::memset(target.PixelMemory, 0, size_t(target.Size));
  strip.DrawCell(target, 1, 0, 1);
  const uint8_t expected[9] = {0, 0, 0, 7, 8, 9, 10, 11, 12};
  EXPECT_EQ(0, std::memcmp(target.PixelMemory, expected, 9));
}

TEST(GlyphStrips, DrawModes) {
  TDIBmp target(2, 1, 24, true);
  auto reset = [&] { std::memset(target.PixelMemory, 200, size_t(target.Size)); };
  auto px = [&](int x) {
    return std::vector<uint8_t>(target.PixelMemory + 3 * x, target.PixelMemory + 3 * x + 3);
  };

  // Alpha blend: premultiplied 32-bit pixels over the target.
  TDIBmp glyph(2, 1, 32, true);
  const uint8_t g[8] = {0, 0, 0, 0, 10, 20, 30, 255};
  std::memcpy(glyph.PixelMemory, g, 8);
  glyph.DrawMode = dmAlphaBlend;
  reset();
  glyph.DrawGlyphOn(target, 0, 0, TRect{0, 0, 2, 1});
  EXPECT_EQ(px(0), (std::vector<uint8_t>{200, 200, 200})); // alpha 0, colour 0: unchanged
  EXPECT_EQ(px(1), (std::vector<uint8_t>{10, 20, 30}));    // (200 * 1) shr 8 = 0
  // A colour above its alpha saturates rather than wrapping round.
  const uint8_t bright[4] = {250, 250, 250, 10};
  std::memcpy(glyph.PixelMemory, bright, 4);
  reset();
  glyph.DrawGlyphOn(target, 0, 0, TRect{0, 0, 1, 1});
  EXPECT_EQ(px(0), (std::vector<uint8_t>{255, 255, 255}));

  // Transparent: palette index 0 leaves the target.
  TDIBmp indexed(2, 1, 8, true);
  TDIBColorTable t{};
  t[5] = 0x112233;
  indexed.SetColorTable(t);
  indexed.PixelMemory[0] = 0;
  indexed.PixelMemory[1] = 5;
  indexed.DrawMode = dmTransparent;
  reset();
  indexed.DrawGlyphOn(target, 0, 0, TRect{0, 0, 2, 1});
  EXPECT_EQ(px(0), (std::vector<uint8_t>{200, 200, 200}));
  EXPECT_EQ(px(1), (std::vector<uint8_t>{0x33, 0x22, 0x11}));
  // Blocks reaching outside the glyph or the target are cut.
  reset();
  indexed.DrawGlyphOn(target, 1, 0, TRect{0, -3, 5, 4});
  EXPECT_EQ(px(1), (std::vector<uint8_t>{200, 200, 200}));

  // The modes that need a depth draw nothing at any other depth.
  TDIBmp rgb(2, 1, 24, true);
  std::memset(rgb.PixelMemory, 9, size_t(rgb.Size));
  for (TDIBmpDrawMode m : {dmTransparent, dmAlphaBlend}) {
    rgb.DrawMode = m;
    reset();
    rgb.DrawGlyphOn(target, 0, 0, TRect{0, 0, 2, 1});
    EXPECT_EQ(px(0), (std::vector<uint8_t>{200, 200, 200}));
  }
  // Normal and blend copy the block.
  for (TDIBmpDrawMode m : {dmNormal, dmBlend}) {
    rgb.DrawMode = m;
    reset();
    rgb.DrawGlyphOn(target, 1, 0, TRect{0, 0, 1, 1});
    EXPECT_EQ(px(0), (std::vector<uint8_t>{200, 200, 200}));
    EXPECT_EQ(px(1), (std::vector<uint8_t>{9, 9, 9}));
  }
}

TEST(Palettes, AnImageReleasesItsPaletteWhenFreed) {
  const int32_t live = LivePaletteCount();
  {
    TDIBmp a(2, 1, 4, true);
    TDIBmp b(3, 1, 4, true);
    a.SetColorTable(Grey());
    b.SetColorTable(Grey());
    EXPECT_EQ(a.GetPalette(), b.GetPalette()); // 16 equal entries: one palette
    EXPECT_EQ(LivePaletteCount(), live + 1);
    // A copy starts without palette.
    TDIBmp c;
    c.Assign(&a);
    c.Unshare(true);
    EXPECT_EQ(c.Image->PaletteHandle, 0u);
  }
  EXPECT_EQ(LivePaletteCount(), live);
}
