#pragma once
// A flame engine on a plain surface, with the program-wide values set to a
// 1920 x 1080 desktop whose centre is the origin.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "FlameEngine.h"
#include "Random.h"

// The seed that the next draw turns into Next, so a test can choose a draw.
inline uint32_t SeedBefore(uint32_t Next) {
  uint32_t inv = 134775813u; // inverse of the multiplier mod 2^32 (Newton's iteration)
  for (int i = 0; i < 5; ++i)
    inv *= 2u - 134775813u * inv;
  return (Next - 1u) * inv;
}

// Gives the display a W x H surface at (0, 0) with the surface's contents zero.
inline void UseSurface(TSurfaceDisplay& Display, int32_t W, int32_t H) {
  Display.SetSizeLimits(TRect{W, H, W, H});
  Display.SetLayeredBounds(TRect{0, 0, W, H}, false);
  TDIBmp& s = Display.FSurface;
  for (int32_t y = 0; y < s.Height; ++y)
    for (int32_t x = 0; x < s.Width; ++x)
      *s.PixelAddress(x, y) = 0;
}

// Random bytes in every pixel of S, a third of the pixels 0.
inline void FillSurfaceRandomly(TDIBmp& S, std::mt19937& Rng) {
  for (int32_t y = 0; y < S.Height; ++y)
    for (int32_t x = 0; x < S.Width; ++x)
      *S.PixelAddress(x, y) = (Rng() % 3 == 0) ? 0u : Rng();
}

// What frames left behind: every pixel of S, row by row, then the seed.
inline std::vector<uint32_t> PixelsAndSeed(const TDIBmp& S) {
  std::vector<uint32_t> out;
  for (int32_t y = 0; y < S.Height; ++y)
    for (int32_t x = 0; x < S.Width; ++x)
      out.push_back(*S.PixelAddress(x, y));
  out.push_back(RandSeed);
  return out;
}

class EngineTest : public ::testing::Test {
protected:
  void SetUp() override {
    FSavedSeed = RandSeed;
    form.OriginX = 960;
    form.OriginY = 540;
    form.SurfaceOffsetX = 0;
    form.SurfaceOffsetY = 0;
    form.DesktopRect = TRect{0, 0, 1920, 1080};
    display.OnPresent = [this](const TDIBmp&, TPoint At) {
      ++presents;
      presentedAt = At;
    };
    form.FLifetime = ImmortalLife;
    form.FMaxCount = 20000;
    form.FFrameTime = 33;
  }
  void TearDown() override { RandSeed = FSavedSeed; }

  TSurfaceDisplay display;
  TPartForm form{display};
  int presents = 0;
  TPoint presentedAt;

private:
  uint32_t FSavedSeed = 0;
};
