#pragma once
// Packed colours, HSL conversion, per-channel arithmetic and shades.
//
// Two byte orders are in use: surface order 0xAARRGGBB (bytes blue, green, red,
// alpha in memory) for every surface pixel, and colour-reference order
// 0x00BBGGRR (bytes red, green, blue, 0) for HSL results. Channel i is byte i of
// the 32-bit value (i = 0 the low byte); byte 3 is alpha in surface order.
//
// The row kernels live in ColorKernels.h, included here for convenience.
#include <cstdint>

#include "ColorKernels.h"

// ---- Conversions -----------------------------------------------------------

// Exchanges bytes 0 and 2 and clears byte 3: colour-reference order to surface
// order with alpha 0, and back.
uint32_t SwapRB(uint32_t c);

struct TRgbF {
  float R = 0, G = 0, B = 0;
};
struct THslF {
  float H = 0, S = 0, L = 0;
};

// Hue, saturation, lightness (0..1) to red, green, blue (0..1). The hue goes
// round the circle: -0.25 is 0.75.
void HslToRgb(float h, float s, float l, float& r, float& g, float& b);
TRgbF HslToRgb(float h, float s, float l);
// HSL to a packed colour in colour-reference order, byte 3 = 0. Each channel is
// channel x 255 rounded half to even.
uint32_t HslToColor(float h, float s, float l);

void RgbToHsl(float r, float g, float b, float& h, float& s, float& l);
THslF RgbToHsl(float r, float g, float b);
// Colour-reference packed colour to HSL.
void ColorToHsl(uint32_t c, float& h, float& s, float& l);
THslF ColorToHsl(uint32_t c);

// x - trunc(x): the fraction with the sign of x.
float Frac(float x);

// ---- Per-channel arithmetic on one packed colour ----------------------------

// All four channels: min(255, (ci * f) >> 8); f is taken as unsigned 16-bit.
uint32_t ScaleColor(uint32_t c, uint32_t f);
// Channels 0..2 as ScaleColor, channel 3 becomes 0.
uint32_t ScaleRGB(uint32_t c, uint32_t f);
// Channels 0..2: clamp(ci + n, 0, 255) with n taken as signed 16-bit; channel 3
// unchanged.
uint32_t AddToRGB(uint32_t c, int32_t n);
// Channels 0..2: bi + floor((ai - bi) * t / 256), saturated; channel 3 = b's.
// t = 0 gives b, t = 256 gives a's colour with b's alpha.
uint32_t BlendRGB(uint32_t a, uint32_t b, int32_t t);

// ---- Shades (light and dark variants of a face colour) ----------------------

struct TShadePair {
  uint32_t Dark = 0;
  uint32_t Light = 0;
  float Amount = 0; // ShadesOf's v; ShadesOf2's v' (the luminance alone)
};

// v = luminance(c) * k as a single (luminance 0..255/256 in 16-bit weights),
// n = round(v); Dark = AddToRGB(c, -n), Light = AddToRGB(c, n).
TShadePair ShadesOf(uint32_t c, int32_t k);
// v' = luminance(c); Dark = AddToRGB(c, -round(k1 * v')),
// Light = AddToRGB(c, round(k2 * v')).
TShadePair ShadesOf2(uint32_t c, int32_t k1, int32_t k2);

struct TShade {
  uint32_t Color = 0;
  uint32_t Dark = 0;
  uint32_t Light = 0;
  float Amount = 0;

  TShade() = default;
  // {c, dark, light, v} of ShadesOf(c, k).
  TShade(uint32_t c, int32_t k);
};

// AddToRGB(s.Color, round(s.Amount * x)).
uint32_t ShadeBy(const TShade& s, float x);
