// Colour conversions, per-channel arithmetic and shades.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>

#include "Colors.h"

namespace {

struct THslCase {
  float H, S, L;
  uint32_t Color; // colour-reference order
};

TEST(SwapRB, ExchangesRedAndBlueAndClearsAlpha) {
  EXPECT_EQ(SwapRB(0x11223344u), 0x00443322u);
  EXPECT_EQ(SwapRB(0x000000FFu), 0x00FF0000u);
  EXPECT_EQ(SwapRB(0xFF00FF00u), 0x0000FF00u);
  for (uint32_t c : {0x00123456u, 0x00FFFFFFu, 0x0000007Fu})
    EXPECT_EQ(SwapRB(SwapRB(c)), c);
}

TEST(HslToColor, Table) {
  const THslCase cases[] = {
      // Grey: 0.5 * 255 = 127.5 rounds to the even 128, whatever the hue.
      {0.0f, 0.0f, 0.5f, 0x00808080u},
      {0.3f, 0.0f, 0.5f, 0x00808080u},
      {-0.7f, 0.0f, 0.5f, 0x00808080u},
      {0.0f, 0.0f, 0.0f, 0x00000000u},
      {0.0f, 0.0f, 1.0f, 0x00FFFFFFu},
      {0.5f, 1.0f, 1.0f, 0x00FFFFFFu}, // slider maximum 256 / 256
      // Primaries and secondaries, red in byte 0.
      {0.0f, 1.0f, 0.5f, 0x000000FFu},
      {1.0f / 3.0f, 1.0f, 0.5f, 0x0000FF00u},
      {2.0f / 3.0f, 1.0f, 0.5f, 0x00FF0000u},
      {1.0f / 6.0f, 1.0f, 0.5f, 0x0000FFFFu},
      {0.5f, 1.0f, 0.5f, 0x00FFFF00u},
      {1.0f, 1.0f, 0.5f, 0x000000FFu},
      // The default fade colour: HSL (20, 256, 240) / 256 is red 255, green 238, blue 223.
      {20 / 256.0f, 1.0f, 240 / 256.0f, 0x00DFEEFFu},
      // Half saturation, dark: q = 1.5 * 0.25, p = 0.125.
      {0.0f, 0.5f, 0.25f, 0x00202060u},
      // Sits next to a rounding boundary: with single-precision intermediates the
      // green channel comes out 184 instead of 183.
      {1 / 256.0f, 117 / 256.0f, 206 / 256.0f, 0x00B6B7E4u},
  };
  for (const auto& c : cases)
    EXPECT_EQ(HslToColor(c.H, c.S, c.L), c.Color) << "h=" << c.H << " s=" << c.S << " l=" << c.L;
}

TEST(HslToColor, HueWrapsOnceIntoZeroToOne) {
  EXPECT_EQ(HslToColor(-0.25f, 1.0f, 0.5f), HslToColor(0.75f, 1.0f, 0.5f));
  EXPECT_EQ(HslToColor(-0.25f, 1.0f, 0.5f), 0x00FF0080u);
  EXPECT_EQ(HslToColor(Frac(1.25f), 0.8f, 0.4f), HslToColor(0.25f, 0.8f, 0.4f));
  EXPECT_EQ(HslToColor(Frac(-0.25f), 0.8f, 0.4f), HslToColor(0.75f, 0.8f, 0.4f));
  // The engine's hue cycle: every phase step lands in the same colour as its fraction.
  for (int i = -20; i <= 20; ++i) {
    const float hue = Frac(i * 0.1f + 0.05f);
    const float wrapped = hue < 0 ? hue + 1 : hue;
    EXPECT_EQ(HslToColor(hue, 1.0f, 0.6f), HslToColor(wrapped, 1.0f, 0.6f)) << hue;
  }
  // Far outside one turn every channel still lands on the circle (blue's -0.95 - 1/3
  // needs two turns).
  EXPECT_EQ(HslToColor(-0.95f, 1.0f, 0.5f), HslToColor(Frac(-0.95f) + 1, 1.0f, 0.5f));
  EXPECT_EQ(HslToColor(3.5f, 1.0f, 0.5f), HslToColor(0.5f, 1.0f, 0.5f));
  EXPECT_EQ(HslToColor(-2.0f, 1.0f, 0.5f), 0x000000FFu);
}

TEST(HslToColor, GarbageInputGivesSomeColourWithoutTrapping) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  for (float v : {nan, inf, -inf, 1e30f}) {
    EXPECT_EQ(HslToColor(v, 1.0f, 0.5f) & 0xFF000000u, 0u);
    EXPECT_EQ(HslToColor(0.2f, v, 0.5f) & 0xFF000000u, 0u);
    EXPECT_EQ(HslToColor(0.2f, 1.0f, v) & 0xFF000000u, 0u);
  }
}

TEST(HslToRgb, ExactChannels) {
  TRgbF c = HslToRgb(0.0f, 1.0f, 0.5f);
  EXPECT_EQ(c.R, 1.0f);
  EXPECT_EQ(c.G, 0.0f);
  // Blue's hue -1/3 wraps to a single just below 2/3; against the wider constant
  // 2/3 that leaves 2^-22 (a single-precision 2/3 would leave 1.5 times that).
  EXPECT_EQ(c.B, 0x1p-22f);
  c = HslToRgb(0.9f, 0.0f, 0.3f); // achromatic: every channel is the lightness itself
  EXPECT_EQ(c.R, 0.3f);
  EXPECT_EQ(c.G, 0.3f);
  EXPECT_EQ(c.B, 0.3f);
  float r, g, b;
  HslToRgb(0.5f, 1.0f, 0.75f, r, g, b); // light cyan: q = 1, p = 0.5
  EXPECT_EQ(r, 0.5f);
  EXPECT_EQ(g, 1.0f);
  EXPECT_EQ(b, 1.0f);
}

TEST(RgbToHsl, Table) {
  struct Case {
    float R, G, B, H, S, L;
  };
  const Case cases[] = {
      {0.5f, 0.5f, 0.5f, 0.0f, 0.0f, 0.5f}, // grey: no hue, no saturation
      {0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f},
      {1.0f, 1.0f, 1.0f, 0.0f, 0.0f, 1.0f},
      {1.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.5f},
      {0.0f, 1.0f, 0.0f, float(1.0L / 3.0L), 1.0f, 0.5f},
      {0.0f, 0.0f, 1.0f, float(2.0L / 3.0L), 1.0f, 0.5f},
      {1.0f, 1.0f, 0.0f, float(1.0L / 6.0L), 1.0f, 0.5f},
      // Red is largest and blue above green: the hue comes out negative and wraps.
      {1.0f, 0.0f, 1.0f, float(5.0L / 6.0L), 1.0f, 0.5f},
      {0.5f, 0.25f, 0.25f, 0.0f, float(1.0L / 3.0L), 0.375f},
      {0.75f, 0.25f, 0.25f, 0.0f, 0.5f, 0.5f},
      {0.25f, 0.75f, 0.75f, 0.5f, 0.5f, 0.5f},
  };
  for (const auto& c : cases) {
    const THslF h = RgbToHsl(c.R, c.G, c.B);
    EXPECT_FLOAT_EQ(h.H, c.H) << c.R << "," << c.G << "," << c.B;
    EXPECT_FLOAT_EQ(h.S, c.S) << c.R << "," << c.G << "," << c.B;
    EXPECT_FLOAT_EQ(h.L, c.L) << c.R << "," << c.G << "," << c.B;
    EXPECT_GE(h.H, 0.0f);
    EXPECT_LE(h.H, 1.0f);
  }
}

TEST(ColorToHsl, RoundTripsThroughHslToColor) {
  // Every third colour of the whole cube comes back unchanged.
  for (uint32_t c = 0; c < (1u << 24); c += 3) {
    const THslF h = ColorToHsl(c);
    ASSERT_EQ(HslToColor(h.H, h.S, h.L), c) << std::hex << c;
  }
}

TEST(ColorToHsl, ReadsRedFromByteZero) {
  const THslF red = ColorToHsl(0x000000FFu);
  EXPECT_EQ(red.H, 0.0f);
  EXPECT_EQ(red.S, 1.0f);
  EXPECT_EQ(red.L, 0.5f);
  const THslF blue = ColorToHsl(0x00FF0000u);
  EXPECT_FLOAT_EQ(blue.H, 2.0f / 3.0f);
  // The alpha byte plays no part.
  const THslF a = ColorToHsl(0xAB336699u), b = ColorToHsl(0x00336699u);
  EXPECT_EQ(a.H, b.H);
  EXPECT_EQ(a.S, b.S);
  EXPECT_EQ(a.L, b.L);
}

TEST(Frac, KeepsTheSignOfX) {
  const float cases[][2] = {{1.25f, 0.25f}, {-0.25f, -0.25f}, {-1.75f, -0.75f}, {3.0f, 0.0f},
                            {0.0f, 0.0f},   {0.5f, 0.5f},     {1e9f, 0.0f}};
  for (const auto& c : cases)
    EXPECT_EQ(Frac(c[0]), c[1]) << c[0];
  EXPECT_TRUE(std::isnan(Frac(std::numeric_limits<float>::infinity())));
}

TEST(ScaleColor, Table) {
  const uint32_t cases[][3] = {
      {0xFFFFFFFFu, 256, 0xFFFFFFFFu},
      {0x80FF4020u, 128, 0x407F2010u},
      {0x80FF4020u, 0, 0x00000000u},
      {0x01020304u, 0xFFFF, 0xFFFFFFFFu},  // (1 * 65535) >> 8 = 255: saturates
      {0x80FF4020u, 0x10100, 0x80FF4020u}, // only the low 16 bits of f count
      {0x10101010u, 512, 0x20202020u},
      {0xC0804020u, 255, 0xBF7F3F1Fu},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ScaleColor(c[0], c[1]), c[2]) << std::hex << c[0] << " * " << c[1];
}

TEST(ScaleRGB, ClearsAlphaAndScalesColour) {
  EXPECT_EQ(ScaleRGB(0x00FFFFFFu, 256), 0x00FFFFFFu);
  EXPECT_EQ(ScaleRGB(0xFF000000u, 256), 0u);
  EXPECT_EQ(ScaleRGB(0x80FF4020u, 128), 0x007F2010u);
  // The default fade: HSL colour (255, 238, 223) at alpha slider 248.
  EXPECT_EQ(ScaleRGB(0x00DFEEFFu, 248), 0x00D8E6F7u);
}

TEST(AddToRGB, SaturatesColourAndKeepsAlpha) {
  const struct {
    uint32_t C;
    int32_t N;
    uint32_t R;
  } cases[] = {
      {0x10F0F0F0u, 32, 0x10FFFFFFu},
      {0x10F0F0F0u, -300, 0x10000000u},
      {0x10102030u, -32, 0x10000010u},
      {0xFF000000u, 255, 0xFFFFFFFFu},
      {0x00123456u, 0, 0x00123456u},
      {0x00123456u, 65536 + 16, 0x00224466u}, // n is a 16-bit value
      {0x00808080u, 0x8000, 0x00000000u},     // 0x8000 is -32768
  };
  for (const auto& c : cases)
    EXPECT_EQ(AddToRGB(c.C, c.N), c.R) << std::hex << c.C << " + " << std::dec << c.N;
}

TEST(BlendRGB, Table) {
  const struct {
    uint32_t A, B;
    int32_t T;
    uint32_t R;
  } cases[] = {
      {0x11223344u, 0xAA556677u, 0, 0xAA556677u},
      {0x11223344u, 0xAA556677u, 256, 0xAA223344u}, // a's colour, b's alpha
      {0x00000000u, 0x00FFFFFFu, 128, 0x007F7F7Fu}, // 255 + floor(-127.5) = 127
      {0x00FFFFFFu, 0x00000000u, 128, 0x007F7F7Fu}, // 0 + floor(127.5) = 127
      {0x00000000u, 0x00FFFFFFu, 1, 0x00FEFEFEu},   // floor goes down for a darker a
      {0x00FFFFFFu, 0x00000000u, 1, 0x00000000u},
      {0x000000FFu, 0x00FF0000u, 64, 0x00BF003Fu},
      {0x00FFFFFFu, 0x00000000u, 512, 0x00FFFFFFu}, // beyond 256: saturated
      {0x00000000u, 0x00FFFFFFu, 512, 0x00000000u},
  };
  for (const auto& c : cases)
    EXPECT_EQ(BlendRGB(c.A, c.B, c.T), c.R)
        << std::hex << c.A << " " << c.B << " " << std::dec << c.T;
}

TEST(ShadesOf, Table) {
  const struct {
    uint32_t C;
    int32_t K;
    uint32_t Dark, Light;
    float V;
  } cases[] = {
      {0x00808080u, 64, 0x00606060u, 0x00A0A0A0u, 32.0f},
      {0xFF808080u, 64, 0xFF606060u, 0xFFA0A0A0u, 32.0f}, // alpha byte untouched
      {0x00808080u, -64, 0x00A0A0A0u, 0x00606060u, -32.0f},
      {0x00808080u, 5, 0x007E7E7Eu, 0x00828282u, 2.5f}, // 2.5 rounds to the even 2
      {0x00808080u, 3, 0x007E7E7Eu, 0x00828282u, 1.5f}, // 1.5 rounds to the even 2
      {0x00808080u, 1, 0x00808080u, 0x00808080u, 0.5f},
      {0x00000000u, 200, 0x00000000u, 0x00000000u, 0.0f}, // black has no luminance to scale
      // Red weighs 19595 / 65536: 255 * 19595 * 256 / 2^24 = 76.24.
      {0x000000FFu, 256, 0x000000B3u, 0x004C4CFFu, 4996725.0f / 65536.0f},
      // White with k = 255: the product passes 2^31 and must not wrap.
      {0x00FFFFFFu, 255, 0x00010101u, 0x00FFFFFFu, 254.00390625f},
  };
  for (const auto& c : cases) {
    const TShadePair p = ShadesOf(c.C, c.K);
    EXPECT_EQ(p.Dark, c.Dark) << std::hex << c.C << " k=" << std::dec << c.K;
    EXPECT_EQ(p.Light, c.Light) << std::hex << c.C << " k=" << std::dec << c.K;
    EXPECT_FLOAT_EQ(p.Amount, c.V) << std::hex << c.C << " k=" << std::dec << c.K;
  }
}

TEST(ShadesOf2, RoundsEachFactorSeparately) {
  // v' = 0.5 for mid grey: 5 * 0.5 = 2.5 -> 2, 3 * 0.5 = 1.5 -> 2, 7 * 0.5 = 3.5 -> 4.
  TShadePair p = ShadesOf2(0x00808080u, 5, 3);
  EXPECT_EQ(p.Dark, 0x007E7E7Eu);
  EXPECT_EQ(p.Light, 0x00828282u);
  p = ShadesOf2(0x40808080u, 7, 0);
  EXPECT_EQ(p.Dark, 0x407C7C7Cu);
  EXPECT_EQ(p.Light, 0x40808080u);
  // Factors far beyond a byte saturate instead of wrapping through 16 bits.
  p = ShadesOf2(0x00808080u, 200000, 200000);
  EXPECT_EQ(p.Dark, 0x00000000u);
  EXPECT_EQ(p.Light, 0x00FFFFFFu);
}

TEST(TShade, IsShadesOfAndShadeByScalesItsAmount) {
  const TShade s(0x00808080u, 64);
  EXPECT_EQ(s.Color, 0x00808080u);
  EXPECT_EQ(s.Dark, 0x00606060u);
  EXPECT_EQ(s.Light, 0x00A0A0A0u);
  EXPECT_EQ(s.Amount, 32.0f);
  EXPECT_EQ(ShadeBy(s, 1.0f), s.Light);
  EXPECT_EQ(ShadeBy(s, -1.0f), s.Dark);
  EXPECT_EQ(ShadeBy(s, 0.0f), s.Color);
  EXPECT_EQ(ShadeBy(s, 0.5f), 0x00909090u);
  EXPECT_EQ(ShadeBy(TShade(0x00808080u, 5), 1.0f), 0x00828282u); // round(2.5) = 2
  EXPECT_EQ(ShadeBy(TShade(0x00808080u, 5), 3.0f), 0x00888888u); // round(7.5) = 8
  // Huge factors saturate; NaN leaves the colour.
  EXPECT_EQ(ShadeBy(s, 1e30f), 0x00FFFFFFu);
  EXPECT_EQ(ShadeBy(s, -1e30f), 0x00000000u);
  EXPECT_EQ(ShadeBy(s, std::numeric_limits<float>::quiet_NaN()), s.Color);
}

} // namespace
