#include "Colors.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "Numerics.h"

namespace {

// The HSL formulas are defined with every intermediate of an expression held in
// extended precision and only the named steps stored as singles. long double is
// that 64-bit-mantissa format on x86; with plain float arithmetic, expressions
// such as 6 * t < 1 or p + (q - p) * t * 6 round differently near the bounds.
using Ext = long double;
constexpr Ext kOneThird = 1.0L / 3.0L;
constexpr Ext kTwoThirds = 2.0L / 3.0L;

uint32_t Byte(uint32_t c, int i) {
  return (c >> (8 * i)) & 0xFFu;
}

uint32_t Saturate(int64_t v) {
  return uint32_t(std::clamp<int64_t>(v, 0, 255));
}

// Round half to even, clamped to the range AddToRGB can take without wrapping;
// any amount beyond +-255 saturates every channel alike.
int32_t RoundShade(Ext v) {
  if (std::isnan(v))
    return 0;
  const Ext limited = std::clamp<Ext>(v, -32767.0L, 32767.0L);
  return int32_t(std::llrint(limited));
}

float HueToChannel(float p, float q, float t) {
  if (t < 0)
    t = float(Ext(t) + 1);
  else if (t > 1)
    t = float(Ext(t) - 1);
  // One wrap covers every hue from -2/3 to 5/3, the engine's range included. A
  // hue further out would give channels outside 0..1, whose low bytes are noise,
  // so it is brought round the circle as often as it takes.
  if (t < 0 || t > 1)
    t = float(Ext(t) - std::floor(Ext(t)));
  if (Ext(6) * t < 1)
    return float(p + (Ext(q) - p) * t * 6);
  if (Ext(2) * t < 1)
    return q;
  if (Ext(3) * t < 2)
    return float(p + (Ext(q) - p) * (kTwoThirds - t) * 6);
  return p;
}

// (19595 c0 + 38470 c1 + 7471 c2): luminance in 16-bit fixed point.
int64_t LuminanceSum(uint32_t c) {
  return 19595 * int64_t(Byte(c, 0)) + 38470 * int64_t(Byte(c, 1)) + 7471 * int64_t(Byte(c, 2));
}

constexpr Ext kInv2Pow24 = 1.0L / 16777216.0L;

} // namespace

uint32_t SwapRB(uint32_t c) {
  return ((c & 0xFFu) << 16) | (c & 0xFF00u) | ((c >> 16) & 0xFFu);
}

void HslToRgb(float h, float s, float l, float& r, float& g, float& b) {
  if (s == 0) {
    r = g = b = l;
    return;
  }
  const float q = l > 0.5f ? float((Ext(l) + s) - Ext(l) * s) : float((1 + Ext(s)) * l);
  const float p = float(2 * Ext(l) - q);
  r = HueToChannel(p, q, float(h + kOneThird));
  g = HueToChannel(p, q, h);
  b = HueToChannel(p, q, float(h - kOneThird));
}

TRgbF HslToRgb(float h, float s, float l) {
  TRgbF c;
  HslToRgb(h, s, l, c.R, c.G, c.B);
  return c;
}

uint32_t HslToColor(float h, float s, float l) {
  float r, g, b;
  HslToRgb(h, s, l, r, g, b);
  // Out-of-range or NaN inputs give whatever low byte the rounding leaves;
  // llrint never traps with exceptions masked.
  auto channel = [](float v) { return uint32_t(uint64_t(std::llrint(Ext(v) * 255))) & 0xFFu; };
  return channel(r) | channel(g) << 8 | channel(b) << 16;
}

void RgbToHsl(float r, float g, float b, float& h, float& s, float& l) {
  const float mn = std::min({r, g, b});
  const float mx = std::max({r, g, b});
  l = float((Ext(mx) + mn) * 0.5L);
  const float d = float(Ext(mx) - mn);
  if (d == 0) {
    h = 0;
    s = 0;
    return;
  }
  s = l < 0.5f ? float(Ext(d) / (Ext(mx) + mn)) : float(Ext(d) / (2 - Ext(mx) - mn));
  const float dr = float(((Ext(mx) - r) / 6 + Ext(d) / 2) / d);
  const float dg = float(((Ext(mx) - g) / 6 + Ext(d) / 2) / d);
  const float db = float(((Ext(mx) - b) / 6 + Ext(d) / 2) / d);
  if (r == mx)
    h = float(Ext(db) - dg);
  else if (g == mx)
    h = float(kOneThird + dr - db);
  else
    h = float(kTwoThirds + dg - dr);
  if (h < 0)
    h = float(Ext(h) + 1);
  else if (h > 1)
    h = float(Ext(h) - 1);
}

THslF RgbToHsl(float r, float g, float b) {
  THslF c;
  RgbToHsl(r, g, b, c.H, c.S, c.L);
  return c;
}

void ColorToHsl(uint32_t c, float& h, float& s, float& l) {
  const float k = float(1.0 / 255.0);
  RgbToHsl(float(Byte(c, 0) * k), float(Byte(c, 1) * k), float(Byte(c, 2) * k), h, s, l);
}

THslF ColorToHsl(uint32_t c) {
  THslF r;
  ColorToHsl(c, r.H, r.S, r.L);
  return r;
}

float Frac(float x) {
  return x - std::trunc(x);
}

uint32_t ScaleColor(uint32_t c, uint32_t f) {
  f &= 0xFFFFu;
  uint32_t r = 0;
  for (int i = 0; i < 4; ++i)
    r |= std::min<uint32_t>(255, (Byte(c, i) * f) >> 8) << (8 * i);
  return r;
}

uint32_t ScaleRGB(uint32_t c, uint32_t f) {
  return ScaleColor(c, f) & 0x00FFFFFFu;
}

uint32_t AddToRGB(uint32_t c, int32_t n) {
  const int16_t n16 = int16_t(n);
  uint32_t r = c & 0xFF000000u;
  for (int i = 0; i < 3; ++i)
    r |= Saturate(int64_t(Byte(c, i)) + n16) << (8 * i);
  return r;
}

uint32_t BlendRGB(uint32_t a, uint32_t b, int32_t t) {
  uint32_t r = b & 0xFF000000u;
  for (int i = 0; i < 3; ++i) {
    const int64_t bi = Byte(b, i);
    // Arithmetic shift: floor division by 256, also for a darker a.
    const int64_t step = ((int64_t(Byte(a, i)) - bi) * t) >> 8;
    r |= Saturate(bi + step) << (8 * i);
  }
  return r;
}

TShadePair ShadesOf(uint32_t c, int32_t k) {
  // The product is taken in 64 bits: a 32-bit one wraps for |k| > 128 and
  // turns a light shade dark.
  const float v = float(Ext(LuminanceSum(c) * int64_t(k)) * kInv2Pow24);
  const int32_t n = RoundShade(v);
  return {AddToRGB(c, -n), AddToRGB(c, n), v};
}

TShadePair ShadesOf2(uint32_t c, int32_t k1, int32_t k2) {
  const float v = float(Ext(LuminanceSum(c)) * kInv2Pow24);
  return {AddToRGB(c, -RoundShade(Ext(k1) * v)), AddToRGB(c, RoundShade(Ext(k2) * v)), v};
}

TShade::TShade(uint32_t c, int32_t k) : Color(c) {
  const TShadePair p = ShadesOf(c, k);
  Dark = p.Dark;
  Light = p.Light;
  Amount = p.Amount;
}

uint32_t ShadeBy(const TShade& s, float x) {
  return AddToRGB(s.Color, RoundShade(Ext(s.Amount) * x));
}
