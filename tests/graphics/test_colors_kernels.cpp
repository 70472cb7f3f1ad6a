// Row kernels against a per-pixel computation, and the rectangle kernels'
// placement and clipping.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "Colors.h"

namespace {

// The program's generator, so failures reproduce.
struct TLcg {
  uint32_t Seed = 0;
  uint32_t Next() { return Seed = Seed * 134775813u + 1u; }
  uint32_t Pixel() { return (Next() >> 16) | (Next() & 0xFFFF0000u); }
};

uint32_t Channel(uint32_t c, int i) {
  return (c >> (8 * i)) & 0xFFu;
}

uint32_t RefScaleLanes(uint32_t c, const uint32_t lanes[4]) {
  uint32_t r = 0;
  for (int i = 0; i < 4; ++i)
    r |= std::min<uint32_t>(255, (Channel(c, i) * lanes[i]) >> 8) << (8 * i);
  return r;
}

uint32_t RefScaleAdd(uint32_t c, uint32_t f, uint32_t a) {
  uint32_t r = 0;
  for (int i = 0; i < 4; ++i)
    r |= std::min<uint32_t>(255, ((Channel(c, i) * f) >> 8) + Channel(a, i)) << (8 * i);
  return r;
}

// A run with a guard pixel on each side that no kernel may touch.
struct TGuardedRun {
  static constexpr uint32_t kGuard = 0xDEADBEEFu;
  std::vector<uint32_t> Data;
  explicit TGuardedRun(const std::vector<uint32_t>& px) : Data(px.size() + 2, kGuard) {
    std::copy(px.begin(), px.end(), Data.begin() + 1);
  }
  uint32_t* Pixels() { return Data.data() + 1; }
  bool GuardsIntact() const { return Data.front() == kGuard && Data.back() == kGuard; }
};

std::vector<uint32_t> RandomRun(TLcg& g, size_t n) {
  std::vector<uint32_t> v(n);
  for (auto& p : v)
    p = g.Pixel();
  // The extremes are where saturation and truncation show.
  if (n > 4) {
    v[0] = 0x00000000u;
    v[1] = 0xFFFFFFFFu;
    v[2] = 0x01010101u;
    v[3] = 0x80FF7F01u;
  }
  return v;
}

TEST(ScaleRowLanes, MatchesPerPixelAcrossFactors) {
  TLcg g;
  const std::vector<uint32_t> src = RandomRun(g, 257); // odd length: no whole vector multiple
  const uint32_t laneSets[][4] = {
      {0, 0, 0, 0},         {256, 256, 256, 256}, {255, 255, 255, 255},
      {216, 230, 247, 248}, {1, 128, 512, 65535}, {65535, 0, 257, 300},
  };
  for (const auto& l : laneSets) {
    const TLaneFactors lanes =
        MakeLaneFactors(uint16_t(l[0]), uint16_t(l[1]), uint16_t(l[2]), uint16_t(l[3]));
    TGuardedRun dst(std::vector<uint32_t>(src.size(), 0x12345678u));
    ScaleRowLanes(src.data(), dst.Pixels(), int32_t(src.size()), lanes);
    for (size_t i = 0; i < src.size(); ++i)
      ASSERT_EQ(dst.Pixels()[i], RefScaleLanes(src[i], l))
          << "pixel " << i << " lanes " << l[0] << "," << l[1];
    EXPECT_TRUE(dst.GuardsIntact());

    // In place gives the same.
    TGuardedRun same(src);
    ScaleRowLanes(same.Pixels(), same.Pixels(), int32_t(src.size()), lanes);
    EXPECT_TRUE(std::equal(same.Pixels(), same.Pixels() + src.size(), dst.Pixels()));
    EXPECT_TRUE(same.GuardsIntact());
  }
}

TEST(ScaleRowLanes, LaneIMultipliesByteI) {
  // 255 becomes 254 and 1 becomes 0 in one step at factor 255.
  uint32_t px[2] = {0xFFFFFFFFu, 0x01010101u};
  ScaleRowLanes(px, px, 2, MakeLaneFactors(255, 255, 255, 255));
  EXPECT_EQ(px[0], 0xFEFEFEFEu);
  EXPECT_EQ(px[1], 0x00000000u);
  // Blue lane 0, green 128, red 256, alpha 512: byte order is blue, green, red, alpha.
  uint32_t c = 0x40FF8040u;
  ScaleRowLanes(&c, &c, 1, MakeLaneFactors(0, 128, 256, 512));
  EXPECT_EQ(c, 0x80FF4000u);
  EXPECT_EQ(LaneOf(MakeLaneFactors(1, 2, 3, 65535), 3), 65535);
}

TEST(ScaleRowLanes, DefaultFadeKeepsPixelsPremultiplied) {
  // Fade lanes blue 216, green 230, red 247, alpha 248: no colour channel of a
  // premultiplied pixel ever passes its alpha.
  const TLaneFactors fade = MakeLaneFactors(216, 230, 247, 248);
  TLcg g;
  for (int n = 0; n < 2000; ++n) {
    const uint32_t a = g.Next() >> 24;
    uint32_t c = a << 24;
    for (int i = 0; i < 3; ++i)
      c |= std::min<uint32_t>(a, g.Next() >> 24) << (8 * i);
    for (int frame = 0; frame < 40; ++frame) {
      ScaleRowLanes(&c, &c, 1, fade);
      for (int i = 0; i < 3; ++i)
        ASSERT_LE(Channel(c, i), Channel(c, 3));
    }
  }
}

TEST(ScaleRow, IsScaleColorOnEveryPixel) {
  TLcg g;
  const std::vector<uint32_t> src = RandomRun(g, 131);
  for (uint32_t f : {0u, 1u, 128u, 255u, 256u, 300u, 65535u, 0x10080u}) {
    TGuardedRun dst(std::vector<uint32_t>(src.size(), 0));
    ScaleRow(src.data(), dst.Pixels(), int32_t(src.size()), f);
    for (size_t i = 0; i < src.size(); ++i)
      ASSERT_EQ(dst.Pixels()[i], ScaleColor(src[i], f)) << i << " f=" << f;
    EXPECT_TRUE(dst.GuardsIntact());
  }
}

TEST(ScaleAddRow, MatchesPerPixelAndSaturates) {
  TLcg g;
  const std::vector<uint32_t> src = RandomRun(g, 99);
  const uint32_t cases[][2] = {{0, 0},
                               {256, 0},
                               {128, 0x80808080u},
                               {200, 0xFFFFFFFFu},
                               {65535, 0x01020304u},
                               {0x10040, 0x10203040u}};
  for (const auto& c : cases) {
    TGuardedRun dst(src);
    ScaleAddRow(dst.Pixels(), dst.Pixels(), int32_t(src.size()), c[0], c[1]);
    for (size_t i = 0; i < src.size(); ++i)
      ASSERT_EQ(dst.Pixels()[i], RefScaleAdd(src[i], c[0] & 0xFFFF, c[1])) << i << " f=" << c[0];
    EXPECT_TRUE(dst.GuardsIntact());
  }
}

TEST(ScaleAddRow, BlendedFillEnds) {
  // The blended fill: f = 256 - alpha, addend = ScaleColor(colour, alpha).
  const uint32_t colour = 0x80FF4020u;
  TLcg g;
  const std::vector<uint32_t> src = RandomRun(g, 16);
  TGuardedRun none(src), full(src);
  ScaleAddRow(none.Pixels(), none.Pixels(), 16, 256, ScaleColor(colour, 0));
  ScaleAddRow(full.Pixels(), full.Pixels(), 16, 0, ScaleColor(colour, 256));
  for (size_t i = 0; i < 16; ++i) {
    EXPECT_EQ(none.Pixels()[i], src[i]);
    EXPECT_EQ(full.Pixels()[i], colour);
  }
  uint32_t px = 0xFF000000u; // half over opaque black: (255 * 128 >> 8) + (0x80 * 128 >> 8)
  ScaleAddRow(&px, &px, 1, 128, ScaleColor(colour, 128));
  EXPECT_EQ(px, 0xBF7F2010u);
}

TEST(RowKernels, ZeroOrNegativeCountTouchesNothing) {
  TGuardedRun r(std::vector<uint32_t>{0x11111111u});
  for (int32_t n : {0, -1, -1000}) {
    ScaleRow(r.Pixels(), r.Pixels(), n, 128);
    ScaleRowLanes(r.Pixels(), r.Pixels(), n, MakeLaneFactors(1, 1, 1, 1));
    ScaleAddRow(r.Pixels(), r.Pixels(), n, 128, 0xFFFFFFFFu);
    uint8_t b[3] = {1, 2, 3};
    PremulOverRow24(r.Pixels(), b, n);
    LerpRow24(b, b, b, n, BuildLerpTable(128));
    const uint32_t table[256] = {};
    PaletteRow8To24(b, b, n, -1, table);
    EXPECT_EQ(b[0], 1);
    EXPECT_EQ(b[2], 3);
  }
  EXPECT_EQ(r.Pixels()[0], 0x11111111u);
  EXPECT_TRUE(r.GuardsIntact());
}

TEST(BuildLerpTable, Table) {
  const TLerpTable zero = BuildLerpTable(0), full = BuildLerpTable(256), half = BuildLerpTable(128);
  for (int32_t j = -255; j <= 255; ++j) {
    EXPECT_EQ(zero[j], 0);
    EXPECT_EQ(full[j], j);
    EXPECT_EQ(half[j], -half[-j]); // symmetric: truncation towards zero, not floor
  }
  EXPECT_EQ(half[0], 0);
  EXPECT_EQ(half[1], 0);
  EXPECT_EQ(half[-1], 0);
  EXPECT_EQ(half[255], 127);
  EXPECT_EQ(half[-255], -127);
  EXPECT_EQ(BuildLerpTable(100)[200], 78); // 20000 >> 8
}

TEST(LerpRow24, MovesFromBTowardsA) {
  const uint8_t a[6] = {0, 255, 100, 7, 200, 0};
  const uint8_t b[6] = {255, 0, 100, 8, 0, 200};
  uint8_t d[6];
  LerpRow24(a, b, d, 2, BuildLerpTable(128));
  const uint8_t expectHalf[6] = {128, 127, 100, 8, 100, 100}; // rounded towards b
  EXPECT_TRUE(std::equal(d, d + 6, expectHalf));
  LerpRow24(a, b, d, 2, BuildLerpTable(0));
  EXPECT_TRUE(std::equal(d, d + 6, b));
  LerpRow24(a, b, d, 2, BuildLerpTable(256));
  EXPECT_TRUE(std::equal(d, d + 6, a));
  // In place over b.
  uint8_t bb[6];
  std::copy(b, b + 6, bb);
  LerpRow24(a, bb, bb, 2, BuildLerpTable(128));
  EXPECT_TRUE(std::equal(bb, bb + 6, expectHalf));
}

TEST(PremulOverRow24, Table) {
  const struct {
    uint32_t Src;
    uint8_t Dst[3];
    uint8_t Out[3];
  } cases[] = {
      {0x00000000u, {10, 200, 255}, {10, 200, 255}},     // transparent: unchanged
      {0xFF102030u, {10, 200, 255}, {0x30, 0x20, 0x10}}, // opaque: (d * 1) >> 8 = 0, then src
      {0x80404040u, {200, 0, 255}, {164, 64, 191}},      // d * 128 >> 8 + 64
      {0x01010101u, {255, 255, 255}, {255, 255, 255}},   // 255 * 255 >> 8 = 254, + 1
      // Additive pixel (colour above alpha) saturates rather than wrapping to dark.
      {0x00C8C8C8u, {100, 50, 0}, {255, 250, 200}},
  };
  for (const auto& c : cases) {
    uint8_t d[4] = {c.Dst[0], c.Dst[1], c.Dst[2], 0xAB};
    PremulOverRow24(&c.Src, d, 1);
    EXPECT_EQ(d[0], c.Out[0]) << std::hex << c.Src;
    EXPECT_EQ(d[1], c.Out[1]) << std::hex << c.Src;
    EXPECT_EQ(d[2], c.Out[2]) << std::hex << c.Src;
    EXPECT_EQ(d[3], 0xAB); // three bytes per pixel, not four
  }
}

TEST(PaletteRow8To24, TransparentIndexLeavesDestination) {
  uint32_t table[256] = {};
  table[1] = 0xFF112233u; // byte 3 is not copied
  table[2] = 0x00A0B0C0u;
  table[255] = 0x00010203u;
  const uint8_t idx[5] = {1, 2, 0, 2, 255};
  uint8_t d[16];
  std::fill(d, d + 16, 0x55);
  PaletteRow8To24(idx, d, 5, 2, table);
  const uint8_t expect[16] = {0x33, 0x22, 0x11, 0x55, 0x55, 0x55, 0, 0,
                              0,    0x55, 0x55, 0x55, 3,    2,    1, 0x55};
  EXPECT_TRUE(std::equal(d, d + 16, expect));
  std::fill(d, d + 16, 0x55);
  PaletteRow8To24(idx, d, 5, -1, table); // no transparent index
  EXPECT_EQ(d[3], 0xC0);
  EXPECT_EQ(d[9], 0xC0);
  EXPECT_EQ(d[15], 0x55);
}

// ---- Rectangles -------------------------------------------------------------

// A picture with padded rows and a frame of guard bytes around its memory.
struct TPicture {
  int32_t W, H, Bpp;
  intptr_t Stride;
  std::vector<uint8_t> Mem;
  static constexpr size_t kPad = 64;
  static constexpr uint8_t kGuard = 0xEE;

  TPicture(int32_t w, int32_t h, int32_t bpp)
      : W(w), H(h), Bpp(bpp), Stride((w * bpp + 3 + 8) & ~3) {
    Mem.assign(size_t(Stride * h) + 2 * kPad, kGuard);
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w * bpp; ++x)
        At(0, y)[x] = uint8_t(31 * y + 7 * x + bpp);
  }
  uint8_t* At(int32_t x, int32_t y) { return Mem.data() + kPad + y * Stride + x * Bpp; }
  TPixelView View() { return {Mem.data() + kPad, Stride, W, H}; }
  // Guards before and after the image and in every row's padding.
  bool GuardsIntact() {
    for (size_t i = 0; i < kPad; ++i)
      if (Mem[i] != kGuard || Mem[Mem.size() - 1 - i] != kGuard)
        return false;
    for (int32_t y = 0; y < H; ++y)
      for (intptr_t x = W * Bpp; x < Stride; ++x)
        if (At(0, y)[x] != kGuard)
          return false;
    return true;
  }
};

TEST(LerpRect24, EachPictureAdvancesByItsOwnStride) {
  TPicture a(7, 5, 3), b(9, 6, 3), d(8, 8, 3);
  const TPicture b0 = b;
  TPicture d0 = d;
  const TRect r{1, 1, 5, 4};
  const TPoint bAt{3, 2}, dAt{2, 4};
  LerpRect24(a.View(), r, b.View(), bAt, 100, d.View(), dAt);
  const TLerpTable t = BuildLerpTable(100);
  for (int32_t y = 0; y < d.H; ++y)
    for (int32_t x = 0; x < d.W; ++x)
      for (int k = 0; k < 3; ++k) {
        const int32_t ax = x - dAt.X + r.Left, ay = y - dAt.Y + r.Top;
        const bool inside = ax >= r.Left && ax < r.Right && ay >= r.Top && ay < r.Bottom;
        uint8_t expect = d0.At(x, y)[k];
        if (inside) {
          const uint8_t av = a.At(ax, ay)[k];
          const uint8_t bv = b.At(ax - r.Left + bAt.X, ay - r.Top + bAt.Y)[k];
          expect = uint8_t(bv + t[av - bv]);
        }
        ASSERT_EQ(d.At(x, y)[k], expect) << x << "," << y << " byte " << k;
      }
  EXPECT_EQ(b.Mem, b0.Mem);
  EXPECT_TRUE(d.GuardsIntact());
}

TEST(LerpRect24, ClipsToEveryPicture) {
  TPicture a(6, 6, 3), b(4, 4, 3), d(5, 3, 3);
  // The rectangle runs off a, and its image runs off b and d on several sides.
  LerpRect24(a.View(), TRect{-3, -2, 10, 9}, b.View(), TPoint{1, -1}, 256, d.View(), TPoint{-2, 1});
  EXPECT_TRUE(d.GuardsIntact());
  EXPECT_TRUE(b.GuardsIntact());
  // With f = 256, D = A wherever it is written. Pixel (x, y) of a maps to
  // b (x + 4, y + 1), which lies left of b for every column a has: nothing in common.
  int written = 0;
  TPicture d0(5, 3, 3);
  for (int32_t y = 0; y < d.H; ++y)
    for (int32_t x = 0; x < d.W; ++x) {
      const int32_t ax = x - 1, ay = y - 3, bx = ax + 4, by = ay + 1;
      const bool in =
          ax >= 0 && ax < 6 && ay >= 0 && ay < 6 && bx >= 0 && bx < 4 && by >= 0 && by < 4;
      for (int k = 0; k < 3; ++k)
        ASSERT_EQ(d.At(x, y)[k], in ? a.At(ax, ay)[k] : d0.At(x, y)[k]) << x << "," << y;
      written += in;
    }
  EXPECT_EQ(written, 0); // this placement leaves nothing in common

  // A placement with an overlap on every picture's edge.
  TPicture d2(5, 3, 3);
  LerpRect24(a.View(), TRect{-1, 2, 9, 9}, b.View(), TPoint{0, 0}, 256, d2.View(), TPoint{-2, 1});
  // a (x, y) -> b (x + 1, y - 2) -> d2 (x - 1, y - 1)
  written = 0;
  for (int32_t y = 0; y < 3; ++y)
    for (int32_t x = 0; x < 5; ++x) {
      const int32_t ax = x + 1, ay = y + 1, bx = ax + 1, by = ay - 2;
      const bool in = ay >= 2 && ax < 6 && bx < 4 && by >= 0 && by < 4;
      for (int k = 0; k < 3; ++k)
        ASSERT_EQ(d2.At(x, y)[k], in ? a.At(ax, ay)[k] : d0.At(x, y)[k]) << x << "," << y;
      written += in;
    }
  EXPECT_EQ(written, 2 * 2);
  EXPECT_TRUE(d2.GuardsIntact());
}

TEST(PremulOverRect24, PlacesRowsAndClips) {
  TPicture s(4, 3, 4), d(5, 4, 3);
  TPicture d0 = d;
  // Give the source readable pixels: alpha 128, colour 16.
  for (int32_t y = 0; y < 3; ++y)
    for (int32_t x = 0; x < 4; ++x) {
      uint8_t* p = s.At(x, y);
      p[0] = uint8_t(16 + x);
      p[1] = uint8_t(16 + y);
      p[2] = 16;
      p[3] = 128;
    }
  PremulOverRect24(s.View(), TRect{1, 0, 4, 3}, d.View(), TPoint{3, 2});
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 5; ++x) {
      const int32_t sx = x - 3 + 1, sy = y - 2;
      const bool in = sx >= 1 && sx < 4 && sy >= 0 && sy < 3;
      for (int k = 0; k < 3; ++k) {
        const uint8_t was = d0.At(x, y)[k];
        const uint8_t expect = in ? uint8_t(((was * 128) >> 8) + s.At(sx, sy)[k]) : was;
        ASSERT_EQ(d.At(x, y)[k], expect) << x << "," << y << " byte " << k;
      }
    }
  EXPECT_TRUE(d.GuardsIntact());
}

TEST(PaletteRect8To24, UsesTheTableAndTransparentIndex) {
  TPicture s(4, 4, 1), d(4, 4, 3);
  TPicture d0 = d;
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 4; ++x)
      *s.At(x, y) = uint8_t(x + 4 * y); // 0..15
  const uint32_t table[8] = {0x000000u, 0x010203u, 0x040506u, 0x070809u,
                             0x0A0B0Cu, 0x0D0E0Fu, 0x101112u, 0x131415u};
  TPaletteView pv{s.Mem.data() + TPicture::kPad, s.Stride, 4, 4, table, 8, 5};
  PaletteRect8To24(pv, TRect{0, 0, 4, 4}, d.View(), TPoint{1, 1});
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 4; ++x) {
      const int32_t sx = x - 1, sy = y - 1;
      const bool in = sx >= 0 && sy >= 0;
      const int32_t j = sx + 4 * sy;
      for (int k = 0; k < 3; ++k) {
        uint8_t expect = d0.At(x, y)[k];
        if (in && j != 5)
          expect = j < 8 ? uint8_t(table[j] >> (8 * k)) : 0; // beyond the table: black
        ASSERT_EQ(d.At(x, y)[k], expect) << x << "," << y << " index " << j;
      }
    }
  EXPECT_TRUE(d.GuardsIntact());
}

TEST(RectKernels, EmptyOrMissingPicturesDoNothing) {
  TPicture a(3, 3, 3), d(3, 3, 3);
  const std::vector<uint8_t> before = d.Mem;
  LerpRect24(a.View(), TRect{2, 2, 1, 1}, a.View(), TPoint{}, 128, d.View(),
             TPoint{}); // inverted rect
  LerpRect24(a.View(), TRect{0, 0, 3, 3}, TPixelView{}, TPoint{}, 128, d.View(), TPoint{});
  PremulOverRect24(TPixelView{}, TRect{0, 0, 3, 3}, d.View(), TPoint{});
  PremulOverRect24(a.View(), TRect{0, 0, 3, 3}, d.View(), TPoint{3, 0}); // just off the right edge
  PaletteRect8To24(TPaletteView{}, TRect{0, 0, 3, 3}, d.View(), TPoint{});
  EXPECT_EQ(d.Mem, before);
}

} // namespace
