#pragma once
// One light source of the flame and its look.
#include <cstdint>

// Life (or lifetime) value of an emitter that never ages: 2^31.
inline constexpr float ImmortalLife = 2147483648.0f;

struct TEmitterStyle {
  float Thickness = 0;  // pixels: spot radius is 2 + random * Thickness
  float XWildness = 0;  // pixels: horizontal reach of the spot jitter
  float YWildness = 0;  // pixels: vertical reach of the spot jitter
  uint32_t Color = 0;   // 0xAARRGGBB; alpha 0xFF, or 0 to add light without covering
  int32_t MaxAlpha = 0; // 0 .. 256: a frame's intensity is a random integer below it
  bool Fat = false;     // rounder spot profile
};

struct TEmitter {
  float X = 0, Y = 0, Z = 0, W = 0; // position in emitter space; spots go at (X, Y)
  float Fall = 0;        // < 0: milliseconds before falling starts; >= 0: pixels per tick
  float Life = 0;        // milliseconds left; ImmortalLife: never ages; < 0: fading out
  int32_t Alpha = 0;     // intensity * 256, 0 .. 65536
  int32_t BaseAlpha = 0; // 0 .. 256
  TEmitterStyle OwnStyle;
  // The style in force: &OwnStyle, or the engine's shared style (followed live).
  TEmitterStyle* Style = nullptr;

  TEmitter() = default;
  // Style may point into the record itself, so records are never copied.
  TEmitter(const TEmitter&) = delete;
  TEmitter& operator=(const TEmitter&) = delete;

  bool HasOwnStyle() const { return Style == &OwnStyle; }
};
