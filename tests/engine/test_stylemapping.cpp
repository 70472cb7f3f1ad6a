#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "FlameDisplay.h"
#include "FlameEngine.h"
#include "Random.h"
#include "StyleMapping.h"

namespace {

class StyleMappingTest : public ::testing::Test {
protected:
  void SetUp() override {
    savedSeed = RandSeed;
    form.DesktopRect = MakeRect(0, 0, 1920, 1080);
    form.OriginX = 960;
    form.OriginY = 540;
  }
  void TearDown() override { RandSeed = savedSeed; }

  TEmitter* Add(float x, float y) { return form.AddEmitter(nullptr, 256, x, y); }

  uint32_t savedSeed = 0;
  TSurfaceDisplay display;
  TPartForm form{display};
  TStyleSettings s;
};

TEST(StyleValuesTable, DefaultsOfTheTableMatchTheRecord) {
  const TStyleSettings defaults;
  int stored = 0;
  for (const TStyleValue& v : StyleValues) {
    SCOPED_TRACE(v.Control);
    ASSERT_TRUE((v.Slider != nullptr) != (v.Check != nullptr));
    if (v.Slider) {
      EXPECT_EQ(defaults.*v.Slider, v.Default);
      EXPECT_LE(v.Min, v.Default);
      EXPECT_LE(v.Default, v.Max);
    } else {
      EXPECT_EQ(int(defaults.*v.Check), v.Default);
    }
    if (v.Attribute)
      ++stored;
  }
  EXPECT_EQ(stored, int(StoredStyleValueCount));
}

TEST(StyleValuesTable, ApplyRangeClampsOrWraps) {
  struct Case {
    int value, min, max;
    bool endless;
    int expected;
  };
  const Case cases[] = {
      {300, 0, 256, false, 256},
      {-5, 0, 256, false, 0},
      {300, 0, 256, true, 43},
      {257, 0, 256, true, 0},
      {-1, 0, 256, true, 256},
      {-258, 0, 256, true, 256},
      {5, -3, 3, false, 3},
      {-9, -3, 3, false, -3},
      {2147483647, 0, 256, true, 2147483647 % 257},
      {-2147483647 - 1, 0, 256, true, int((-2147483648LL % 257 + 257) % 257)},
      {9, 10, 20000, false, 10},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    EXPECT_EQ(ApplyRange(c.value, c.min, c.max, c.endless), c.expected);
  }
}

TEST(StyleNumbers, ExpMapTrailLengthAndInterval) {
  EXPECT_EQ(ExpMap(1000, 0.0), 0.0f);
  EXPECT_NEAR(ExpMap(1000, 0.5), 30.64, 0.005);
  EXPECT_FLOAT_EQ(ExpMap(1000, 1.0), 1000.0f);
  EXPECT_FLOAT_EQ(ExpMap(500, 1.0), 500.0f);

  const std::pair<int, int> trails[] = {{0, 0}, {1, 0}, {2, 1}, {128, 7}, {248, 85}, {255, 254}};
  for (auto [c, n] : trails)
    EXPECT_EQ(TrailLength(c), n) << c;

  const std::pair<int, int> intervals[] = {{30, 33},  {16, 62},  {80, 12},
                                           {100, 10}, {10, 100}, {40, 25}};
  for (auto [fps, ms] : intervals)
    EXPECT_EQ(FrameInterval(fps), ms) << fps;
}

TEST_F(StyleMappingTest, DefaultsGiveTheEngineFields) {
  EXPECT_EQ(ApplyStyle(form, s), 33);
  EXPECT_EQ(form.FStyle.Thickness, 15.0f);
  EXPECT_EQ(form.FStyle.XWildness, 7.0f);
  EXPECT_EQ(form.FStyle.YWildness, 1.0f);
  // Hue 35, saturation 107, lightness 175 worked by hand: red 208, green 196,
  // blue 141, opaque.
  EXPECT_EQ(form.FStyle.Color, 0xFFD0C48Du);
  EXPECT_EQ(form.FStyle.MaxAlpha, 55);
  EXPECT_FALSE(form.FStyle.Fat);
  EXPECT_FALSE(form.FIndependent);
  EXPECT_EQ(form.FXBlur, 3);
  EXPECT_EQ(form.FYBlur, 3);
  EXPECT_EQ(form.FYMotion, -1);
  EXPECT_EQ(form.FMaxCount, 10000);
  EXPECT_EQ(form.FArtMargin, MakeRect(39, 112, 39, 27));
  EXPECT_EQ(form.FHueSpeed, 0.0f);
  EXPECT_EQ(form.FFrameTime, 33.0f);
  EXPECT_EQ(form.FGravity, 0.0f);
  EXPECT_EQ(form.FAttraction, 0.0f);
  EXPECT_EQ(form.FLifetime, ImmortalLife);
  EXPECT_NEAR(form.FFadeOut, 1580.0, 1.0);
  EXPECT_FLOAT_EQ(form.FFadeOutScale, float(256.0 / form.FFadeOut));
  // Fade colour red 255, green 238, blue 223 scaled by 248: lanes blue 216,
  // green 230, red 247, alpha 248.
  EXPECT_EQ(form.FFadeFactors,
            (uint64_t(248) << 48) | (uint64_t(247) << 32) | (uint64_t(230) << 16) | 216u);
  EXPECT_TRUE(form.FChanged);
}

TEST_F(StyleMappingTest, ArtMarginCases) {
  struct Case {
    int thickness, xw, yw, xblur, yblur, ymotion, fadeAlpha;
    TRect expected;
  };
  const Case cases[] = {
      {15, 7, 1, 1, 1, -1, 248, {39, 112, 39, 27}},
      {15, 7, 1, 1, 1, 0, 248, {39, 27, 39, 27}}, // no motion: no trail
      {15, 7, 1, 1, 1, -1, 0, {39, 27, 39, 27}},  // fade alpha 0 and 1: no trail
      {15, 7, 1, 1, 1, -1, 1, {39, 27, 39, 27}},
      {15, 7, 1, 1, 1, 2, 128, {39, 27, 39, 27 + 14}},       // moving down: trail at the bottom
      {15, 7, 1, 1, 1, -3, 256, {39, 27 + 3 * 254, 39, 27}}, // 256 counts as 255
      {0, 0, 0, 0, 0, 0, 248, {2, 2, 2, 2}},
      {50, 100, 100, 8, 8, 0, 248, {316, 316, 316, 316}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.thickness << " " << c.ymotion << " " << c.fadeAlpha);
    s.Thickness = c.thickness;
    s.XWildness = c.xw;
    s.YWildness = c.yw;
    s.XBlur = c.xblur;
    s.YBlur = c.yblur;
    s.YMotion = c.ymotion;
    s.FadeAlpha = c.fadeAlpha;
    YMotionSelChange(form, s);
    EXPECT_EQ(form.FArtMargin, c.expected);
  }
}

TEST_F(StyleMappingTest, ArtMarginFollowsTheThickestOwnStyle) {
  ApplyStyle(form, s);
  TEmitterStyle thick = form.FStyle;
  thick.Thickness = 40;
  form.AddEmitter(&thick, 256, 0, 0);
  YMotionSelChange(form, s);
  // T = 42: MX = 14 + 42 + 8, MY = 2 + 42 + 8, trail 85 on top.
  EXPECT_EQ(form.FArtMargin, MakeRect(64, 52 + 85, 64, 52));
}

TEST_F(StyleMappingTest, ColourHueWrapAdditiveAndMaxAlpha) {
  ApplyStyle(form, s);
  const uint32_t opaque = form.FStyle.Color;
  s.Additive = true;
  YMotionSelChange(form, s);
  EXPECT_EQ(form.FStyle.Color, opaque & 0x00FFFFFFu);

  s.Additive = false;
  s.Hue = 35 + 257; // an endless slider set from code wraps
  YMotionSelChange(form, s);
  EXPECT_EQ(form.FStyle.Color, opaque);

  s.MaxAlpha = 256;
  YMotionSelChange(form, s);
  EXPECT_EQ(form.FStyle.MaxAlpha, 256);
  s.MaxAlpha = 999; // clamped like the slider
  YMotionSelChange(form, s);
  EXPECT_EQ(form.FStyle.MaxAlpha, 256);
}

TEST_F(StyleMappingTest, HueCycleSpeedAndPhaseReset) {
  ApplyStyle(form, s);
  s.FadeHueCycle = 1000;
  YMotionSelChange(form, s);
  EXPECT_FLOAT_EQ(form.FHueSpeed, 0.1f);
  form.FHuePhase = 0.25;
  s.FadeHueCycle = 500;
  YMotionSelChange(form, s);
  EXPECT_EQ(form.FHuePhase, 0.25); // survives while cycling stays on
  s.FadeHueCycle = 0;
  YMotionSelChange(form, s);
  EXPECT_EQ(form.FHueSpeed, 0.0f);
  EXPECT_EQ(form.FHuePhase, 0.0);
}

TEST_F(StyleMappingTest, LoweringMaxCountDropsTheOldest) {
  ApplyStyle(form, s);
  for (int i = 0; i < 30; ++i)
    Add(float(i), 0);
  s.MaxCount = 10;
  YMotionSelChange(form, s);
  ASSERT_EQ(form.FEmitters.Count, 10);
  for (int i = 0; i < 10; ++i)
    EXPECT_EQ(form.Emitter(i)->X, float(20 + i));
  EXPECT_EQ(form.FMaxCount, 10);
}

TEST_F(StyleMappingTest, FrameIntervalScalesGravityAndAttraction) {
  struct Case {
    int fps, gravity, attraction;
    float frame, fgravity, fattraction;
  };
  const Case cases[] = {
      {30, 1000, 1000, 33, 0.99f, 0.165f},
      {30, 0, -1000, 33, 0.0f, 0.0f},
      {30, 0, -1, 33, 0.0f, -0.16386f},
      {16, 1000, 0, 62, 1.86f, 0.0f},
      {100, 500, 500, 10, float(double(ExpMap(1000, 0.5)) * 10 * 3e-5),
       float(double(ExpMap(1000, 0.5)) * 10 * 5e-6)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fps);
    s.FPS = c.fps;
    s.Gravity = c.gravity;
    s.Attraction = c.attraction;
    EXPECT_EQ(FPSSelChange(form, s), int(c.frame));
    EXPECT_EQ(form.FFrameTime, c.frame);
    EXPECT_NEAR(form.FGravity, c.fgravity, 1e-4);
    EXPECT_NEAR(form.FAttraction, c.fattraction, 1e-4);
  }
}

TEST_F(StyleMappingTest, FadeOutAndLifetimeMappings) {
  const std::pair<int, double> fadeOuts[] = {{0, 100}, {200, 1580.0}, {1000, 300100}};
  for (auto [efo, ms] : fadeOuts) {
    s.EmitterFadeOut = efo;
    GravitySelChange(form, s);
    EXPECT_NEAR(form.FFadeOut, ms, ms * 1e-3) << efo;
    EXPECT_FLOAT_EQ(form.FFadeOutScale, float(256.0 / form.FFadeOut));
  }
  s.EmitterLifetime = 0;
  GravitySelChange(form, s);
  EXPECT_EQ(form.FLifetime, 100.0f);
  s.EmitterLifetime = 1000;
  GravitySelChange(form, s);
  EXPECT_EQ(form.FLifetime, ImmortalLife);
}

// The lifetime is ExpMap(500, ELTSel * 0.001) * 600 + 100, with the slider's
// fraction and the sum in double and ExpMap's result a single. A fraction
// rounded to a single first is one unit off at about half the positions
// (5 and 18 among them).
TEST_F(StyleMappingTest, LifetimeIsExactAtEveryPosition) {
  const std::pair<int, float> exact[] = {
      {1, 103.741585f}, {5, 118.942696f}, {18, 171.039886f}, {500, 12929.8184f}, {999, 298237.094f},
  };
  for (auto [elt, life] : exact) {
    s.EmitterLifetime = elt;
    GravitySelChange(form, s);
    EXPECT_EQ(form.FLifetime, life) << elt;
  }
  for (int elt = 0; elt < 1000; ++elt) {
    const double t = elt * 0.001;
    const float expMap = float(std::exp(std::log(501.0) * t) - 1.0);
    s.EmitterLifetime = elt;
    GravitySelChange(form, s);
    ASSERT_EQ(form.FLifetime, float(double(expMap) * 600.0 + 100.0)) << elt;
  }
}

TEST_F(StyleMappingTest, SwitchingGravityOnGivesEachEmitterADelay) {
  ApplyStyle(form, s);
  for (int i = 0; i < 50; ++i)
    Add(float(i), 0);
  s.Gravity = 300;
  GravitySelChange(form, s);
  std::vector<float> delays;
  for (int i = 0; i < form.FEmitters.Count; ++i) {
    const float f = form.Emitter(i)->Fall;
    EXPECT_LE(f, -100.0f);
    EXPECT_GE(f, -3100.0f);
    delays.push_back(f);
  }
  EXPECT_NE(delays.front(), delays.back());
  // Between two non-zero values the delays stay.
  s.Gravity = 900;
  GravitySelChange(form, s);
  for (int i = 0; i < form.FEmitters.Count; ++i)
    EXPECT_EQ(form.Emitter(i)->Fall, delays[std::size_t(i)]);
}

TEST_F(StyleMappingTest, FiniteLifetimeShortensOnlyLongLives) {
  ApplyStyle(form, s);
  TEmitter* immortal = Add(0, 0);
  TEmitter* shortLived = Add(1, 0);
  ASSERT_EQ(immortal->Life, ImmortalLife);
  s.EmitterLifetime = 500;
  GravitySelChange(form, s);
  const float lifetime = form.FLifetime;
  EXPECT_NEAR(lifetime, double(ExpMap(500, 0.5)) * 600 + 100, 0.01);
  EXPECT_GE(immortal->Life, lifetime);
  EXPECT_LE(immortal->Life, lifetime * 1.1f);
  shortLived->Life = 5;
  const float before = immortal->Life;
  GravitySelChange(form, s);
  EXPECT_EQ(shortLived->Life, 5.0f);
  EXPECT_EQ(immortal->Life, before);
}

TEST_F(StyleMappingTest, ApplyStyleDrawsRandomNumbersOnce) {
  // Gravity switched on by ApplyStyle runs its handler twice; only the first
  // run finds gravity at 0 and draws the delays.
  ApplyStyle(form, s);
  for (int i = 0; i < 5; ++i)
    Add(float(i), 0);
  ASSERT_EQ(form.FEmitters.Count, 5);
  s.Gravity = 100;
  const uint32_t seed = RandSeed;
  ApplyStyle(form, s);
  uint32_t expected = seed;
  for (int i = 0; i < 5; ++i)
    expected = expected * 134775813u + 1u;
  EXPECT_EQ(RandSeed, expected);
}

TEST_F(StyleMappingTest, CheckBoxes) {
  s.Fat = true;
  s.Independent = true;
  s.Debug = true;
  IndPartBoxClick(form, s);
  DebugBoxClick(form, s);
  EXPECT_TRUE(form.FStyle.Fat);
  EXPECT_TRUE(form.FIndependent);
  EXPECT_TRUE(form.FDebug);
}

} // namespace
