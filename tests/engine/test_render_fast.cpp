// The frame on the vector paths (fused blur and fade, spot boxes) against the
// scalar reference path, byte for byte: every blur window the settings give
// (1 to 17 each way), every motion (-3 to 3), both spot profiles.
#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include "EngineTestSupport.h"
#include "KernelPaths.h"
#include "SimdKernels.h"

class RenderFast : public EngineTest {
protected:
  bool AtRightEdge = false; // every emitter within a few pixels of the right edge

  // A fresh W x H surface of random premultiplied-looking bytes, the same
  // emitters and the same random sequence every time, then Frames renders;
  // returns the surface bytes followed by the final seed.
  std::vector<uint32_t> Run(TKernelPath path, int32_t W, int32_t H, int32_t frames, uint32_t seed) {
    UseSurface(display, W, H);
    TDIBmp& s = display.FSurface;
    std::mt19937 rng(seed);
    FillSurfaceRandomly(s, rng);
    RandSeed = seed;
    std::fill(form.FSpotBuf.begin(), form.FSpotBuf.end(), 0.0f);
    form.FEmitters.Reset();
    form.SurfaceOffsetX = float(W) / 2;
    form.SurfaceOffsetY = float(H) / 2;
    const float spread = float(W) / 2;
    for (int i = 0; i < 12; ++i) {
      const float x = float(int(rng() % 1000)) / 1000.0f * 2 * spread - spread;
      const float y = float(int(rng() % 1000)) / 1000.0f * H - float(H) / 2;
      // At the edge, every third spot in the last rows too: the surface ends there.
      form.AddEmitter(nullptr, 64 + i * 16, AtRightEdge ? spread - float(i % 4) : x,
                      AtRightEdge && i % 3 == 0 ? float(H) / 2 - 2 : y);
    }
    PathGuard g(path);
    for (int32_t f = 0; f < frames; ++f)
      form.Render();
    return PixelsAndSeed(s);
  }

  // The work buffer after one more frame with only the first emitter, so that
  // it holds that one box's levels and, past them, what it was filled with.
  // Compared as integers: the levels are not floats.
  std::vector<int32_t> LastLevels(TKernelPath path, uint32_t seed) {
    while (form.FEmitters.Count > 1)
      form.FEmitters.Delete(form.FEmitters.Count - 1);
    std::fill(form.FSpotBuf.begin(), form.FSpotBuf.end(), -1.0f);
    RandSeed = seed;
    PathGuard g(path);
    form.Render();
    std::vector<int32_t> out(form.FSpotBuf.size());
    std::memcpy(out.data(), form.FSpotBuf.data(), out.size() * sizeof(int32_t));
    return out;
  }
};

TEST_F(RenderFast, EveryBlurWindowAndMotionGivesTheReferenceBytes) {
  form.FStyle = TEmitterStyle{6, 5, 4, 0xFFF0C080u, 256, false};
  form.UpdateFadeColor(248, 20, 256, 240);
  for (int32_t xb = 1; xb <= 17; xb += 2)
    for (int32_t yb = 1; yb <= 17; yb += 2)
      for (int32_t motion = -3; motion <= 3; ++motion) {
        form.FXBlur = xb;
        form.FYBlur = yb;
        form.FYMotion = motion;
        form.FStyle.Fat = (xb + yb + motion) % 2 != 0;
        const uint32_t seed = uint32_t(xb * 1000 + yb * 10 + motion + 3);
        const auto ref = Run(TKernelPath::Reference, 45, 38, 2, seed);
        for (TKernelPath path : VectorPaths())
          ASSERT_TRUE(Run(path, 45, 38, 2, seed) == ref)
              << "blur " << xb << "x" << yb << " motion " << motion << " path " << int(path);
      }
}

TEST_F(RenderFast, TheFilterThatBlursInPlaceFadesAfterItGivesTheReferenceBytes) {
  // A fade lane above 257 or a window taller than 32 rows (only set directly)
  // takes the walk that fades each row after the filter stored it in place.
  form.FStyle = TEmitterStyle{6, 5, 4, 0xFFF0C080u, 256, false};
  struct Case {
    int32_t xb, yb;
    TLaneFactors lanes;
  };
  const Case cases[] = {{3, 3, MakeLaneFactors(300, 200, 256, 250)},
                        {5, 33, MakeLaneFactors(216, 230, 247, 248)}};
  for (const Case& c : cases)
    for (int32_t motion : {-2, 0}) {
      form.FXBlur = c.xb;
      form.FYBlur = c.yb;
      form.FYMotion = motion;
      form.FFadeFactors = c.lanes;
      const uint32_t seed = uint32_t(c.yb * 10 - motion);
      const auto ref = Run(TKernelPath::Reference, 45, 80, 2, seed);
      for (TKernelPath path : VectorPaths())
        EXPECT_TRUE(Run(path, 45, 80, 2, seed) == ref)
            << c.xb << "x" << c.yb << " motion " << motion;
    }
}

TEST_F(RenderFast, EvenWindowsAndSmallSurfacesGiveTheReferenceBytes) {
  // Even windows (only a state file could hold them) and surfaces too small
  // for the window take the separate passes; the bytes still agree.
  form.FStyle = TEmitterStyle{3, 2, 2, 0x80FFFFFFu, 200, true};
  form.UpdateFadeColor(256, 0, 0, 256);
  struct Case {
    int32_t xb, yb, motion, w, h;
  };
  const Case cases[] = {{4, 3, -1, 40, 30},   {3, 6, 0, 40, 30}, {0, 5, -1, 40, 30},
                        {17, 17, -1, 20, 40}, {5, 5, -2, 9, 9},  {3, 1, -1, 2, 12},
                        {1, 3, 1, 30, 5}};
  for (const Case& c : cases) {
    form.FXBlur = c.xb;
    form.FYBlur = c.yb;
    form.FYMotion = c.motion;
    const auto ref = Run(TKernelPath::Reference, c.w, c.h, 3, 77);
    for (TKernelPath path : VectorPaths())
      EXPECT_TRUE(Run(path, c.w, c.h, 3, 77) == ref)
          << c.xb << "x" << c.yb << " " << c.w << "x" << c.h;
  }
}

TEST_F(RenderFast, SpotsOfEverySizeAndProfileGiveTheReferenceBytesAndLevels) {
  // Boxes from 3 to about 100 pixels wide, so that every tail length of a
  // vector row occurs; spots overlap and saturate; additive colour too.
  form.FXBlur = 1;
  form.FYBlur = 1;
  form.FYMotion = 0;
  form.FFadeFactors = MakeLaneFactors(256, 256, 256, 256);
  // A negative thickness (only a state file can give one) makes radii near and
  // below 0, where levels above 256 occur and are capped.
  for (float thickness : {-3.0f, 0.0f, 1.5f, 7.0f, 20.0f, 47.0f})
    for (bool fat : {false, true})
      for (uint32_t color : {0xFFFFFFFFu, 0x00FF8040u, 0x7F102030u}) {
        form.FStyle = TEmitterStyle{thickness, 9, 7, color, 256, fat};
        const uint32_t seed = uint32_t(thickness * 10) + (fat ? 1 : 0);
        const auto ref = Run(TKernelPath::Reference, 160, 120, 3, seed);
        const auto refLevels = LastLevels(TKernelPath::Reference, seed);
        for (TKernelPath path : VectorPaths()) {
          ASSERT_TRUE(Run(path, 160, 120, 3, seed) == ref)
              << thickness << " " << fat << " " << color;
          // The work buffer ends with the last box's levels on either path.
          EXPECT_TRUE(LastLevels(path, seed) == refLevels)
              << thickness << " " << fat << " " << color;
        }
      }
}

TEST_F(RenderFast, SmallSpotsAtTheRightEdgeGiveTheReferenceBytes) {
  // Boxes narrower than a vector, and boxes whose last lanes reach the end of
  // the surface's rows, where nothing past the row may be read.
  form.FXBlur = 1;
  form.FYBlur = 1;
  form.FYMotion = 0;
  form.FFadeFactors = MakeLaneFactors(256, 256, 256, 256);
  AtRightEdge = true;
  for (float thickness : {0.0f, 1.5f, 4.0f, 9.0f})
    for (bool fat : {false, true}) {
      form.FStyle = TEmitterStyle{thickness, 3, 1, 0xFFC08040u, 256, fat};
      for (int32_t width : {61, 64, 67}) {
        const uint32_t seed = uint32_t(width) * 7 + uint32_t(thickness);
        const auto ref = Run(TKernelPath::Reference, width, 40, 2, seed);
        for (TKernelPath path : VectorPaths())
          EXPECT_TRUE(Run(path, width, 40, 2, seed) == ref)
              << thickness << " " << fat << " " << width;
      }
    }
}

TEST_F(RenderFast, AHugeSpotAmongSmallOnesGivesTheReferenceBytes) {
  // A box above the work buffers' size in the middle of the list: they grow
  // while smaller boxes wait to be painted.
  form.FXBlur = 1;
  form.FYBlur = 1;
  form.FYMotion = 0;
  form.FFadeFactors = MakeLaneFactors(256, 256, 256, 256);
  const TEmitterStyle huge{400, 0, 0, 0x40404040u, 256, false};
  std::vector<uint32_t> results[2];
  for (int pass = 0; pass < 2; ++pass) {
    const TKernelPath path = pass == 0 ? TKernelPath::Reference : VectorPaths().back();
    UseSurface(display, 300, 300);
    // Buffers of their first size again, so that growing them moves them.
    std::vector<float>(SpotBufferValues).swap(form.FSpotBuf);
    std::vector<float>(SpotBufferValues).swap(form.FSpotTmp);
    form.FEmitters.Reset();
    form.FStyle = TEmitterStyle{6, 3, 2, 0x20406080u, 256, false};
    form.SurfaceOffsetX = 150;
    form.SurfaceOffsetY = 150;
    for (int i = 0; i < 150; ++i)
      form.AddEmitter(i == 100 ? &huge : nullptr, 256, float(i % 15) * 19 - 140,
                      float(i / 15) * 27 - 130);
    RandSeed = 77;
    PathGuard g(path);
    for (int frame = 0; frame < 3; ++frame)
      form.Render();
    for (int32_t y = 0; y < 300; ++y)
      for (int32_t x = 0; x < 300; ++x)
        results[pass].push_back(display.FSurface.GetPixel32(x, y));
  }
  EXPECT_GT(form.FSpotBuf.size(), 16384u);
  EXPECT_TRUE(results[0] == results[1]);
}

TEST_F(RenderFast, AllZeroCoverWithoutEmittersStaysZeroAndOtherwiseFades) {
  UseSurface(display, 20, 10);
  form.FEmitters.Reset();
  form.FXBlur = 3;
  form.FYBlur = 3;
  form.FYMotion = -1;
  form.FFadeFactors = MakeLaneFactors(128, 128, 128, 128);
  form.Render();
  for (int32_t y = 0; y < 10; ++y)
    for (int32_t x = 0; x < 20; ++x)
      ASSERT_EQ(display.FSurface.GetPixel32(x, y), 0u);
  // A single lit pixel is not skipped: it is blurred, moved up and faded.
  *display.FSurface.PixelAddress(10, 5) = 0xFFFFFFFFu;
  form.Render();
  // Rows 4 to 6 blur to 255 / 9 = 28, then move up a row and halve.
  for (int32_t y = 3; y <= 5; ++y)
    EXPECT_EQ(display.FSurface.GetPixel32(10, y), 0x0E0E0E0Eu) << y;
  EXPECT_EQ(display.FSurface.GetPixel32(10, 6), 0u);
  EXPECT_EQ(display.FSurface.GetPixel32(12, 4), 0u);
}
