// The surface's area operations: clip, fill, box blur, scaled copies and the
// block copy.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include "DIBmp.h"

namespace {

void FillRandom(TDIB& s, uint32_t seed) {
  std::mt19937 rng(seed);
  for (int32_t i = 0; i < s.Size; ++i)
    s.PixelMemory[i] = uint8_t(rng());
}

std::vector<uint8_t> Snapshot(const TDIB& s) {
  return {s.PixelMemory, s.PixelMemory + s.Size};
}

uint8_t ByteOf(uint32_t v, int i) {
  return uint8_t(v >> (8 * i));
}

// Mean of n values rounded to nearest, halves to even.
uint32_t RoundedMean(uint32_t sum, uint32_t n) {
  uint32_t q = sum / n, twice = 2 * (sum % n);
  if (twice > n || (twice == n && (q & 1)))
    ++q;
  return q;
}

} // namespace

TEST(DIBClip, ClipToSurfaceIntersectsWithClipRect) {
  TDIB s(10, 8, 32, true);
  s.ClipRect = TRect{1, 1, 9, 7};
  struct Case {
    TRect in, out;
    bool some;
  } cases[] = {
      {{0, 0, 10, 8}, {1, 1, 9, 7}, true},  {{2, 3, 4, 5}, {2, 3, 4, 5}, true},
      {{-5, -5, 2, 2}, {1, 1, 2, 2}, true}, {{9, 0, 12, 8}, {9, 1, 9, 7}, false},
      {{3, 3, 3, 6}, {3, 3, 3, 6}, false},  {{5, 6, 2, 2}, {5, 6, 2, 2}, false},
  };
  for (const Case& c : cases) {
    TRect r = c.in;
    EXPECT_EQ(s.ClipToSurface(r), c.some);
    EXPECT_EQ(r, c.out);
  }
  // A ClipRect reaching past the surface does not let anything past it.
  s.ClipRect = TRect{-4, -4, 40, 40};
  TRect r{-1, 2, 30, 30};
  EXPECT_TRUE(s.ClipToSurface(r));
  EXPECT_EQ(r, (TRect{0, 2, 10, 8}));
}

TEST(DIBFill, OpaqueFillSetsEveryByteInsideTheClipOnly) {
  TDIB s(6, 5, 32, true);
  FillRandom(s, 1);
  const auto before = Snapshot(s);
  s.ClipRect = TRect{1, 1, 5, 4};
  s.FillRect(TRect{0, 0, 3, 6}, 0x80112233, 256);
  for (int32_t y = 0; y < 5; ++y)
    for (int32_t x = 0; x < 6; ++x) {
      const bool inside = x >= 1 && x < 3 && y >= 1 && y < 4;
      uint32_t old;
      std::memcpy(&old, before.data() + y * 24 + x * 4, 4);
      EXPECT_EQ(s.GetPixel32(x, y), inside ? 0x80112233u : old) << x << "," << y;
    }
  const auto afterFill = Snapshot(s);
  s.FillRect(TRect{5, 4, 9, 9}, 0, 256); // outside ClipRect: nothing
  s.FillRect(TRect{0, 0, 6, 5}, 0xFFFFFFFF, 0);
  EXPECT_EQ(Snapshot(s), afterFill) << "Alpha 0 leaves the pixels";
}

TEST(DIBFill, BlendedFillScalesThePixelAndAddsTheScaledColour) {
  struct Case {
    uint8_t pixel, colour;
    int32_t alpha;
    uint8_t expected;
  } cases[] = {
      {200, 100, 64, 175},  // (200*192)>>8 + (100*64)>>8 = 150 + 25
      {255, 255, 128, 254}, // 127 + 127
      {255, 255, 255, 254}, // (255*1)>>8 + (255*255)>>8 = 0 + 254
      {10, 255, 1, 9},      // (10*255)>>8 + 0
      {0, 255, 200, 199},   {77, 0, 100, 46},
  };
  TDIB s(3, 1, 32, true);
  for (const Case& c : cases) {
    const uint32_t pixel = c.pixel * 0x01010101u;
    for (int32_t x = 0; x < 3; ++x)
      *s.PixelAddress(x, 0) = pixel;
    s.FillRect(TRect{1, 0, 2, 1}, c.colour * 0x01010101u, c.alpha);
    EXPECT_EQ(s.GetPixel32(1, 0), c.expected * 0x01010101u)
        << int(c.pixel) << " " << int(c.colour) << " alpha " << c.alpha;
    EXPECT_EQ(s.GetPixel32(0, 0), pixel);
    EXPECT_EQ(s.GetPixel32(2, 0), pixel);
  }
}

TEST(DIBFill, OtherDepthsAreLeftAlone) {
  TDIB s(4, 2, 24, true);
  FillRandom(s, 3);
  const auto before = Snapshot(s);
  s.FillRect(TRect{0, 0, 4, 2}, 0xFFFFFFFF, 256);
  s.BoxBlur(TRect{0, 0, 4, 2}, TPoint{3, 1}, TPoint{1, 0});
  EXPECT_EQ(Snapshot(s), before);
}

TEST(DIBBlur, FiltersTheShrunkRegionWithRoundedMeansAndKeepsTheFrame) {
  struct Case {
    TRect rect;
    TPoint mask, anchor;
  } cases[] = {
      {{0, 0, 24, 20}, {3, 3}, {1, 1}},
      {{0, 0, 24, 20}, {3, 1}, {1, 0}},
      {{2, 1, 14, 11}, {5, 3}, {2, 1}},
      {{0, 0, 24, 20}, {4, 2}, {2, 1}}, // even mask: anchor right of the middle
      {{1, 1, 23, 19}, {9, 9}, {4, 4}},
      {{0, 0, 17, 17}, {9, 9}, {4, 4}}, // just wide and high enough
      {{0, 0, 24, 20}, {2, 2}, {0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "mask " << c.mask.X << "x" << c.mask.Y);
    TDIB s(24, 20, 32, true);
    FillRandom(s, 7);
    TDIB original(24, 20, 32, true);
    std::memcpy(original.PixelMemory, s.PixelMemory, size_t(s.Size));
    s.BoxBlur(c.rect, c.mask, c.anchor);
    const int32_t x0 = c.rect.Left + c.anchor.X, y0 = c.rect.Top + c.anchor.Y;
    const int32_t x1 = c.rect.Right - (c.mask.X - c.anchor.X - 1);
    const int32_t y1 = c.rect.Bottom - (c.mask.Y - c.anchor.Y - 1);
    for (int32_t y = 0; y < 20; ++y)
      for (int32_t x = 0; x < 24; ++x) {
        const bool filtered = x >= x0 && x < x1 && y >= y0 && y < y1;
        for (int i = 0; i < 4; ++i) {
          uint32_t expected = ByteOf(original.GetPixel32(x, y), i);
          if (filtered) {
            uint32_t sum = 0;
            for (int32_t v = 0; v < c.mask.Y; ++v)
              for (int32_t u = 0; u < c.mask.X; ++u)
                sum += ByteOf(original.GetPixel32(x - c.anchor.X + u, y - c.anchor.Y + v), i);
            expected = RoundedMean(sum, uint32_t(c.mask.X * c.mask.Y));
          }
          ASSERT_EQ(ByteOf(s.GetPixel32(x, y), i), expected) << x << "," << y << " byte " << i;
        }
      }
  }
}

TEST(DIBBlur, MeansRoundHalvesToEven) {
  // Two-pixel windows: 1 and 2 give 1.5 -> 2, 2 and 3 give 2.5 -> 2.
  TDIB s(3, 1, 32, true);
  *s.PixelAddress(0, 0) = 0x01020102;
  *s.PixelAddress(1, 0) = 0x02030203;
  *s.PixelAddress(2, 0) = 0;
  s.BoxBlur(TRect{0, 0, 3, 1}, TPoint{2, 1}, TPoint{0, 0});
  EXPECT_EQ(s.GetPixel32(0, 0), 0x02020202u);
  EXPECT_EQ(s.GetPixel32(1, 0), 0x01020102u); // (2+0)/2, (3+0)/2 = 1.5 -> 2
}

TEST(DIBBlur, NoChangeCases) {
  TDIB s(8, 6, 32, true);
  FillRandom(s, 11);
  const auto before = Snapshot(s);
  s.BoxBlur(TRect{0, 0, 8, 6}, TPoint{1, 1}, TPoint{0, 0});
  EXPECT_EQ(Snapshot(s), before) << "a 1 x 1 window";
  // Narrower or lower than mask + 2 * anchor: skipped.
  s.BoxBlur(TRect{0, 0, 8, 6}, TPoint{5, 1}, TPoint{2, 0});
  EXPECT_EQ(Snapshot(s), before) << "0 + 5 + 2*2 > 8";
  s.BoxBlur(TRect{2, 0, 8, 6}, TPoint{3, 1}, TPoint{2, 0});
  EXPECT_EQ(Snapshot(s), before) << "2 + 3 + 2*2 > 8";
  s.BoxBlur(TRect{1, 0, 8, 6}, TPoint{3, 1}, TPoint{1, 0});
  EXPECT_NE(Snapshot(s), before) << "1 + 3 + 2*1 <= 8";
  FillRandom(s, 11);
  s.BoxBlur(TRect{0, 0, 8, 6}, TPoint{3, 5}, TPoint{1, 2});
  EXPECT_EQ(Snapshot(s), before) << "0 + 5 + 2*2 > 6";
  s.BoxBlur(TRect{0, 0, 8, 6}, TPoint{3, 3}, TPoint{3, 1});
  EXPECT_EQ(Snapshot(s), before) << "anchor outside the mask";
  s.BoxBlur(TRect{0, 0, 8, 6}, TPoint{0, 3}, TPoint{0, 1});
  EXPECT_EQ(Snapshot(s), before) << "empty mask";
}

TEST(DIBBlur, RectReachingOutsideTheSurfaceStaysInsideThePixels) {
  // Not the callers' way, but it must not touch memory outside the surface
  // (the sanitizer build checks): the rectangle is cut to the surface.
  TDIB s(8, 6, 32, true);
  FillRandom(s, 5);
  TDIB expected(8, 6, 32, true);
  std::memcpy(expected.PixelMemory, s.PixelMemory, size_t(s.Size));
  s.BoxBlur(TRect{-3, -2, 30, 20}, TPoint{3, 3}, TPoint{1, 1});
  expected.BoxBlur(TRect{0, 0, 8, 6}, TPoint{3, 3}, TPoint{1, 1});
  EXPECT_EQ(Snapshot(s), Snapshot(expected));
}

namespace {

void Flat(TDIB& s, uint32_t colour) {
  for (int32_t y = 0; y < s.Height; ++y)
    for (int32_t x = 0; x < s.Width; ++x) {
      if (s.BitCount == 32)
        *s.PixelAddress(x, y) = colour;
      else
        for (int i = 0; i < 3; ++i)
          s.PixelAddress24(x, y)[i] = ByteOf(colour, i);
    }
}

} // namespace

TEST(DIBScaled, FlatColourStaysFlatAtEveryDepthKernelAndSize) {
  const int32_t kernels[] = {1, 2, 4, 16};
  const TRect targets[] = {{0, 0, 7, 5}, {0, 0, 40, 31}, {3, 2, 9, 13}, {0, 0, 1, 1}};
  for (int32_t bits : {24, 32})
    for (int32_t k : kernels)
      for (const TRect& target : targets) {
        SCOPED_TRACE(testing::Message() << bits << " bits, kernel " << k << ", " << target.Right);
        TDIB src(17, 11, bits, true), dst(40, 31, bits, true);
        Flat(src, 0xC0804020);
        Flat(dst, 0x01010101);
        src.ScaledCopyTo(dst, TRect{2, 1, 15, 10}, k, target);
        for (int32_t y = 0; y < 31; ++y)
          for (int32_t x = 0; x < 40; ++x) {
            const bool inside =
                x >= target.Left && x < target.Right && y >= target.Top && y < target.Bottom;
            const uint32_t want = inside ? 0xC0804020 : 0x01010101;
            if (bits == 32)
              ASSERT_EQ(dst.GetPixel32(x, y), want) << x << "," << y;
            else
              for (int i = 0; i < 3; ++i)
                ASSERT_EQ(dst.PixelAddress24(x, y)[i], ByteOf(want, i)) << x << "," << y;
          }
      }
}

TEST(DIBScaled, PictureStaysInsideItsValueRange) {
  // A random picture in 40..200: the averaging kernels never leave that range;
  // the sharp kernels may ring past it but saturate instead of wrapping.
  TDIB src(23, 19, 32, true);
  std::mt19937 rng(9);
  for (int32_t i = 0; i < src.Size; ++i)
    src.PixelMemory[i] = uint8_t(40 + rng() % 161);
  for (int32_t k : {1, 2}) {
    TDIB dst(50, 9, 32, true);
    src.ScaledCopyTo(dst, TRect{0, 0, 23, 19}, k, TRect{0, 0, 50, 9});
    for (int32_t i = 0; i < dst.Size; ++i)
      ASSERT_TRUE(dst.PixelMemory[i] >= 40 && dst.PixelMemory[i] <= 200) << "kernel " << k;
  }
  // A hard black/white step: next to the edge the sharp kernels overshoot;
  // saturation keeps the white side white and the black side black.
  TDIB step(20, 4, 32, true);
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 20; ++x)
      *step.PixelAddress(x, y) = x < 10 ? 0 : 0xFFFFFFFF;
  for (int32_t k : {4, 16}) {
    TDIB dst(53, 4, 32, true);
    step.ScaledCopyTo(dst, TRect{0, 0, 20, 4}, k, TRect{0, 0, 53, 4});
    for (int32_t x = 0; x < 53; ++x) {
      const uint32_t v = dst.GetPixel32(x, 1) & 0xFF;
      if (x <= 21) {
        EXPECT_LE(v, 40u) << "kernel " << k << " x " << x;
      }
      if (x >= 31) {
        EXPECT_GE(v, 215u) << "kernel " << k << " x " << x;
      }
    }
    EXPECT_EQ(dst.GetPixel32(0, 0), 0u);
    EXPECT_EQ(dst.GetPixel32(52, 3), 0xFFFFFFFFu);
  }
}

TEST(DIBScaled, EqualSizeNearestAndLinearCopyExactly) {
  TDIB src(9, 7, 32, true);
  FillRandom(src, 21);
  for (int32_t k : {1, 2, 4, 16}) {
    TDIB dst(9, 7, 32, true);
    src.ScaledCopyTo(dst, TRect{0, 0, 9, 7}, k, TRect{0, 0, 9, 7});
    EXPECT_EQ(Snapshot(dst), Snapshot(src)) << "kernel " << k;
  }
}

TEST(DIBScaled, EverySizeAndPlacementStaysInsideBothSurfaces) {
  // Sweeps sizes, factors and rectangles partly off either surface; the
  // sanitizer build reports any access outside the pixel memory, and the
  // pixels outside the target part must stay.
  for (int32_t bits : {24, 32})
    for (int32_t k : {1, 2, 4, 16})
      for (int32_t sw = 1; sw <= 6; sw += 1)
        for (int32_t dw = 1; dw <= 13; dw += 3) {
          TDIB src(sw, 3, bits, true);
          FillRandom(src, uint32_t(sw * 31 + dw));
          TDIB dst(7, 5, bits, true);
          Flat(dst, 0x55555555);
          const TRect dstRect{-2, 1, -2 + dw, 1 + dw / 2 + 1};
          src.ScaledCopyTo(dst, TRect{-1, -1, sw + 2, 4}, k, dstRect);
          for (int32_t y = 0; y < 5; ++y)
            for (int32_t x = 0; x < 7; ++x)
              if (!(x < dstRect.Right && y >= dstRect.Top && y < dstRect.Bottom)) {
                ASSERT_EQ(dst.PixelMemory[y * dst.RowStride + x * (bits / 8)], 0x55);
              }
        }
}

TEST(DIBScaled, ShrinkingTheFullPictureAveragesIt) {
  // 1920 x 1080 to 128 x 72 with the import's kernel: each target pixel
  // covers 15 x 15 source pixels; stripes of period 2 average to the middle.
  TDIB src(1920, 1080, 32, true);
  for (int32_t y = 0; y < 1080; ++y)
    for (int32_t x = 0; x < 1920; ++x)
      *src.PixelAddress(x, y) = (x & 1) ? 0xFFC8C8C8 : 0xFF383838;
  TDIB dst(128, 72, 32, true);
  src.ScaledCopyTo(dst, TRect{0, 0, 1920, 1080}, 16, TRect{0, 0, 128, 72});
  for (int32_t y = 0; y < 72; ++y)
    for (int32_t x = 0; x < 128; ++x) {
      const uint32_t v = dst.GetPixel32(x, y);
      ASSERT_EQ(v >> 24, 0xFFu);
      ASSERT_NEAR(int(v & 0xFF), 0x80, 12) << x << "," << y;
    }
}

TEST(DIBScaled, PaletteDepthsTakeTheNearestIndex) {
  TDIB src(4, 2, 8, true);
  for (int32_t i = 0; i < src.Size; ++i)
    src.PixelMemory[i] = 0;
  for (int32_t x = 0; x < 4; ++x) {
    *src.ByteAddress(x, 0) = uint8_t(10 + x);
    *src.ByteAddress(x, 1) = uint8_t(20 + x);
  }
  TDIB dst(8, 4, 8, true);
  src.ScaledCopyTo(dst, TRect{0, 0, 4, 2}, 16, TRect{0, 0, 8, 4});
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 8; ++x)
      EXPECT_EQ(*dst.ByteAddress(x, y), (y < 2 ? 10 : 20) + x / 2);

  TDIB one(9, 2, 1, true);
  std::memset(one.PixelMemory, 0, size_t(one.Size));
  one.PixelMemory[0] = 0xA0; // pixels 0 and 2 set
  TDIB big(18, 2, 1, true);
  std::memset(big.PixelMemory, 0, size_t(big.Size));
  one.ScaledCopyTo(big, TRect{0, 0, 9, 2}, 1, TRect{0, 0, 18, 2});
  EXPECT_EQ(big.PixelMemory[0], 0xCC);
  EXPECT_EQ(big.PixelMemory[1], 0x00);

  TDIB wrong(8, 4, 32, true);
  std::memset(wrong.PixelMemory, 0x5A, size_t(wrong.Size));
  src.ScaledCopyTo(wrong, TRect{0, 0, 4, 2}, 1, TRect{0, 0, 8, 4});
  EXPECT_EQ(wrong.GetPixel32(3, 3), 0x5A5A5A5Au) << "different depths copy nothing";
}

TEST(DIBScaled, AboutCenterKeepsTheCentreAndLeavesTheRest) {
  TDIB src(8, 8, 32, true);
  for (int32_t y = 0; y < 8; ++y)
    for (int32_t x = 0; x < 8; ++x)
      *src.PixelAddress(x, y) = 0x10000000u * uint32_t(y) + uint32_t(x);
  TDIB same(8, 8, 32, true);
  src.ScaledCopyAboutCenter(same, TRect{0, 0, 8, 8}, 1.0, 1.0, 4.0, 4.0, 2);
  EXPECT_EQ(Snapshot(same), Snapshot(src));

  TDIB half(8, 8, 32, true);
  std::memset(half.PixelMemory, 0, size_t(half.Size));
  src.ScaledCopyAboutCenter(half, TRect{0, 0, 8, 8}, 0.5, 0.5, 4.0, 4.0, 1);
  // The picture shrinks into the middle 4 x 4: the centre 2.5 of pixel 2 maps
  // to 4 + (2.5 - 4) * 2 = 1.
  EXPECT_EQ(half.GetPixel32(2, 2), 0x10000000u + 1);
  EXPECT_EQ(half.GetPixel32(5, 5), 0x10000000u * 7 + 7);
  EXPECT_EQ(half.GetPixel32(1, 4), 0u) << "outside the shrunk picture nothing is written";
  EXPECT_EQ(half.GetPixel32(6, 6), 0u);

  // Growing about a corner point keeps that corner's pixel.
  TDIB grown(8, 8, 32, true);
  src.ScaledCopyAboutCenter(grown, TRect{0, 0, 8, 8}, 4.0, 4.0, 0.0, 0.0, 1);
  EXPECT_EQ(grown.GetPixel32(0, 0), 0u);
  EXPECT_EQ(grown.GetPixel32(7, 7), 0x10000000u + 1);
}

TEST(DIBBlockCopy, CopiesTheBlockCutToBothSurfaces) {
  TDIB src(6, 4, 32, true);
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 6; ++x)
      *src.PixelAddress(x, y) = uint32_t(0x100 * y + x);
  TDIB dst(5, 5, 32, false);
  src.DrawToDC(dst, 3, -1, 1, 1, 4,
               3); // block (1,1)-(5,4) to (3,-1): rows 2, 3 and columns 1, 2 land
  for (int32_t y = 0; y < 5; ++y)
    for (int32_t x = 0; x < 5; ++x) {
      const bool inside = x >= 3 && y < 2;
      EXPECT_EQ(dst.GetPixel32(x, y), inside ? uint32_t(0x100 * (y + 2) + (x - 2)) : 0u)
          << x << "," << y;
    }
  // Entirely outside, or a negative size: nothing.
  const auto before = Snapshot(dst);
  src.DrawToDC(dst, 9, 9, 0, 0, 2, 2);
  src.DrawToDC(dst, 0, 0, 0, 0, -2, 2);
  src.DrawToDC(dst, 0, 0, 7, 0, 2, 2);
  EXPECT_EQ(Snapshot(dst), before);
}

TEST(DIBBlockCopy, OverlappingCopyWithinOneSurface) {
  TDIB s(5, 5, 32, true);
  for (int32_t y = 0; y < 5; ++y)
    for (int32_t x = 0; x < 5; ++x)
      *s.PixelAddress(x, y) = uint32_t(10 * y + x);
  s.DrawToDC(s, 1, 1, 0, 0, 4, 4);
  for (int32_t y = 1; y < 5; ++y)
    for (int32_t x = 1; x < 5; ++x)
      EXPECT_EQ(s.GetPixel32(x, y), uint32_t(10 * (y - 1) + x - 1));
  s.DrawToDC(s, 0, 0, 1, 1, 4, 4);
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 4; ++x)
      EXPECT_EQ(s.GetPixel32(x, y), uint32_t(10 * y + x));
}

TEST(DIBBlockCopy, SharedTargetTakesACopyAndDepthsConvert) {
  TDIB a(2, 2, 24, true);
  std::memset(a.PixelMemory, 0, size_t(a.Size));
  TDIB b;
  b.Assign(&a);
  TDIB src(2, 2, 8, true);
  src.ColorTable[3] = 0x00AABBCC;
  std::memset(src.PixelMemory, 3, size_t(src.Size));
  src.DrawToDC(b, 0, 0, 0, 0, 2, 2);
  EXPECT_NE(b.Image, a.Image);
  EXPECT_TRUE(b.MemoryStorage());
  EXPECT_EQ(a.PixelAddress24(1, 1)[0], 0);
  EXPECT_EQ(b.PixelAddress24(1, 1)[0], 0xCC);
  EXPECT_EQ(b.PixelAddress24(1, 1)[1], 0xBB);
  EXPECT_EQ(b.PixelAddress24(1, 1)[2], 0xAA);

  TDIB wide(2, 2, 32, true);
  b.DrawToDC(wide, 0, 0, 0, 0, 2, 2);
  EXPECT_EQ(wide.GetPixel32(0, 1), 0x00AABBCCu);
  wide.DrawToDC(a, 1, 1, 0, 0, 1, 1);
  EXPECT_EQ(a.PixelAddress24(1, 1)[2], 0xAA);
}
