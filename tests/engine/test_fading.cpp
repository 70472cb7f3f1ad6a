#include <vector>

#include "Colors.h"
#include "EngineTestSupport.h"

namespace {

// Every byte of row y holds (y + 1) * 20.
void FillRows(TDIB& s) {
  for (int32_t y = 0; y < s.Height; ++y)
    for (int32_t x = 0; x < s.Width; ++x)
      *s.PixelAddress(x, y) = uint32_t((y + 1) * 20) * 0x01010101u;
}

} // namespace

class Fading : public EngineTest {
protected:
  const TDIBmp& S() const { return display.FSurface; }
};

TEST_F(Fading, RowMotionWalksSoEverySourceIsReadFirst) {
  struct Case {
    int32_t motion;
    int32_t firstMapped, lastMapped; // destination rows that receive a source row
  };
  const Case cases[] = {{-3, 0, 6}, {-1, 0, 8}, {0, 0, 9}, {2, 2, 9}, {3, 3, 9}};
  for (const Case& c : cases) {
    UseSurface(display, 3, 10);
    FillRows(display.FSurface);
    form.FYMotion = c.motion;
    form.FFadeFactors = MakeLaneFactors(128, 128, 128, 128); // halves every byte
    form.Render();
    for (int32_t y = 0; y < 10; ++y) {
      const bool mapped = y >= c.firstMapped && y <= c.lastMapped;
      const int32_t source = y - c.motion;
      const uint32_t expected = mapped ? uint32_t(((source + 1) * 20) >> 1) * 0x01010101u
                                       : uint32_t((y + 1) * 20) * 0x01010101u;
      for (int32_t x = 0; x < 3; ++x)
        EXPECT_EQ(S().GetPixel32(x, y), expected) << "motion " << c.motion << " row " << y;
    }
  }
}

TEST_F(Fading, EachLaneHasItsOwnFactor) {
  UseSurface(display, 4, 4);
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 4; ++x)
      *display.FSurface.PixelAddress(x, y) = 0xFF01FF80u;
  form.FFadeFactors = MakeLaneFactors(64, 255, 255, 0); // blue, green, red, alpha
  form.Render();
  // blue 0x80 * 64 >> 8 = 0x20; green 0xFF * 255 >> 8 = 0xFE; red 1 -> 0; alpha -> 0.
  EXPECT_EQ(S().GetPixel32(2, 1), 0x0000FE20u);
}

TEST_F(Fading, FullLanesLoseOnePerFrame) {
  UseSurface(display, 3, 3);
  *display.FSurface.PixelAddress(1, 1) = 0xFFFFFFFFu;
  *display.FSurface.PixelAddress(2, 2) = 0x01010101u;
  form.FFadeSliders = TFadeSliders{256, 0, 0, 256};
  form.UpdateFadeColor();
  EXPECT_EQ(form.FFadeFactors, MakeLaneFactors(255, 255, 255, 255));
  form.Render();
  EXPECT_EQ(S().GetPixel32(1, 1), 0xFEFEFEFEu);
  EXPECT_EQ(S().GetPixel32(2, 2), 0u);
  for (int i = 1; i < 255; ++i)
    form.Render();
  EXPECT_EQ(S().GetPixel32(1, 1), 0u); // gone after 255 frames
}

TEST_F(Fading, HorizontalBlurAveragesNeighboursAndKeepsTheBorder) {
  UseSurface(display, 5, 2);
  const uint32_t row[5] = {30, 60, 0, 90, 30};
  for (int32_t y = 0; y < 2; ++y)
    for (int32_t x = 0; x < 5; ++x)
      *display.FSurface.PixelAddress(x, y) = row[x] * 0x01010101u;
  form.FXBlur = 3;
  form.FYBlur = 1;
  form.FFadeFactors = MakeLaneFactors(256, 256, 256, 256); // keep values as they are
  form.Render();
  const uint32_t expected[5] = {30, 30, 50, 40, 30};
  for (int32_t y = 0; y < 2; ++y)
    for (int32_t x = 0; x < 5; ++x)
      EXPECT_EQ(S().GetPixel32(x, y), expected[x] * 0x01010101u) << x << "," << y;
}

TEST_F(Fading, VerticalBlurUsesRowsAboveAndBelow) {
  UseSurface(display, 1, 5);
  const uint32_t col[5] = {90, 0, 30, 60, 9};
  for (int32_t y = 0; y < 5; ++y)
    *display.FSurface.PixelAddress(0, y) = col[y] * 0x01010101u;
  form.FXBlur = 1;
  form.FYBlur = 3;
  form.FFadeFactors = MakeLaneFactors(256, 256, 256, 256);
  form.Render();
  const uint32_t expected[5] = {90, 40, 30, 33, 9};
  for (int32_t y = 0; y < 5; ++y)
    EXPECT_EQ(S().GetPixel32(0, y), expected[y] * 0x01010101u) << y;
}

TEST_F(Fading, TooSmallForTheWindowSkipsOnlyTheBlur) {
  UseSurface(display, 4, 3); // 4 < 2 * 3 - 1
  const uint32_t row[4] = {30, 60, 0, 90};
  for (int32_t y = 0; y < 3; ++y)
    for (int32_t x = 0; x < 4; ++x)
      *display.FSurface.PixelAddress(x, y) = row[x] * 0x01010101u;
  form.FXBlur = 3;
  form.FYBlur = 1;
  form.FFadeFactors = MakeLaneFactors(128, 128, 128, 128);
  form.Render();
  for (int32_t x = 0; x < 4; ++x)
    EXPECT_EQ(S().GetPixel32(x, 1), (row[x] >> 1) * 0x01010101u) << x;
}

TEST_F(Fading, DebugFloodWipesTrailsEveryFrame) {
  UseSurface(display, 6, 6);
  *display.FSurface.PixelAddress(2, 2) = 0xFFFFFFFFu;
  form.FDebug = true;
  form.FFadeFactors = MakeLaneFactors(255, 255, 255, 255);
  form.FXBlur = 3;
  form.FYBlur = 3;
  form.Render();
  for (int32_t y = 0; y < 6; ++y)
    for (int32_t x = 0; x < 6; ++x)
      EXPECT_EQ(S().GetPixel32(x, y), 0x3F000000u) << x << "," << y; // 0x40 faded once
}

TEST_F(Fading, FadeColourFromTheDefaultSliders) {
  struct Case {
    TFadeSliders sliders;
    TLaneFactors lanes;
  };
  const Case cases[] = {
      // HSL (0.078, 1, 0.9375) is red 255, green 238, blue 223, each * 248 >> 8.
      {{248, 20, 256, 240}, MakeLaneFactors(216, 230, 247, 248)},
      {{0, 20, 256, 240}, 0},
      {{256, 77, 100, 256}, MakeLaneFactors(255, 255, 255, 255)}, // white fades alike
      {{128, 0, 0, 128}, MakeLaneFactors(64, 64, 64, 128)},       // grey 128 * 128 >> 8
  };
  for (const Case& c : cases) {
    form.FHuePhase = 0;
    form.UpdateFadeColor(c.sliders.Alpha, c.sliders.Hue, c.sliders.Saturation, c.sliders.Lightness);
    EXPECT_EQ(form.FFadeFactors, c.lanes) << c.sliders.Alpha << " " << c.sliders.Hue;
    for (int lane = 0; lane < 3; ++lane)
      EXPECT_LE(LaneOf(form.FFadeFactors, lane), LaneOf(form.FFadeFactors, 3));
  }
}

TEST_F(Fading, HuePhaseShiftsTheFadeHue) {
  // Pure red at phase 0; a third of a turn later the same sliders give green.
  form.FFadeSliders = TFadeSliders{256, 0, 256, 128};
  form.FHuePhase = 0;
  form.UpdateFadeColor();
  EXPECT_EQ(form.FFadeFactors, MakeLaneFactors(0, 0, 255, 255));
  form.FHuePhase = 1.0 / 3.0;
  form.UpdateFadeColor();
  EXPECT_EQ(form.FFadeFactors, MakeLaneFactors(0, 255, 0, 255));
}

TEST_F(Fading, HueCycleComesRoundAfterAHundredTicks) {
  form.FFadeSliders = TFadeSliders{248, 20, 256, 240};
  form.UpdateFadeColor();
  const TLaneFactors start = form.FFadeFactors;
  form.FHueSpeed = 0.01f;
  std::vector<TLaneFactors> seen;
  for (int i = 0; i < 100; ++i) {
    form.Tick(0);
    seen.push_back(form.FFadeFactors);
  }
  EXPECT_EQ(seen.back(), start);
  EXPECT_NE(seen[49], start); // half way round the colour differs
}
