#include <climits>

#include "EngineTestSupport.h"

namespace {

bool AllZero(const TDIB& s) {
  for (int32_t y = 0; y < s.Height; ++y)
    for (int32_t x = 0; x < s.Width; ++x)
      if (s.GetPixel32(x, y) != 0)
        return false;
  return true;
}

} // namespace

using Cover = EngineTest;

TEST_F(Cover, CreationLeavesAnEmptyCoverAndASixteenPixelDisplay) {
  EXPECT_EQ(form.FCoverRect.Left, INT32_MAX);
  EXPECT_EQ(form.FCoverRect, (TRect{INT32_MAX, INT32_MAX, -INT32_MAX, -INT32_MAX}));
  EXPECT_EQ(display.FLayeredBounds, (TRect{0, 0, 16, 16}));
  EXPECT_EQ(display.FSurface.Width, 16);
  EXPECT_EQ(display.FSurface.Height, 16);
  EXPECT_EQ(form.FEmitters.Capacity, 5000);
  EXPECT_TRUE(form.FEmitters.Ordered);
  EXPECT_EQ(form.FSpotBuf.size(), 16384u);
  EXPECT_EQ(form.FSpotTmp.size(), 16384u);
}

TEST_F(Cover, OneEmitterGivesTheMarginsAroundTheOrigin) {
  struct Case {
    float originX, originY;
    TRect margin;
    TRect expected;
  };
  const Case cases[] = {
      {960, 540, {10, 10, 10, 10}, {950, 530, 970, 550}},
      // Halves round to even: 950.5 -> 950, 970.5 -> 970, 529.5 -> 530, 551.5 -> 552.
      {960.5f, 541.5f, {10, 12, 10, 10}, {950, 530, 970, 552}},
      // Cut to the desktop.
      {5, 1075, {10, 10, 10, 10}, {0, 1065, 15, 1080}},
  };
  for (const Case& c : cases) {
    form.OriginX = c.originX;
    form.OriginY = c.originY;
    form.StartOver();
    form.FArtMargin = c.margin;
    form.AddEmitter(nullptr, 256, 0, 0);
    form.UpdateCover();
    EXPECT_EQ(form.FCoverRect, c.expected);
    EXPECT_EQ(display.FLayeredBounds, c.expected);
    EXPECT_EQ(display.FSurface.Width, c.expected.Width());
    EXPECT_EQ(display.FSurface.Height, c.expected.Height());
    EXPECT_EQ(form.SurfaceOffsetX, c.originX - float(c.expected.Left));
    EXPECT_EQ(form.SurfaceOffsetY, c.originY - float(c.expected.Top));
    EXPECT_FALSE(form.FChanged);
  }
}

TEST_F(Cover, NothingHappensUnlessSomethingChanged) {
  form.FArtMargin = TRect{10, 10, 10, 10};
  TEmitter* e = form.AddEmitter(nullptr, 256, 0, 0);
  form.FChanged = false;
  form.UpdateCover();
  EXPECT_EQ(form.FCoverRect.Left, INT32_MAX);
  form.FChanged = true;
  form.UpdateCover();
  EXPECT_EQ(form.FCoverRect, (TRect{950, 530, 970, 550}));
  e->X = -100; // moved without telling: the cover stays
  form.UpdateCover();
  EXPECT_EQ(form.FCoverRect, (TRect{950, 530, 970, 550}));
}

TEST_F(Cover, GrowingKeepsOldTrailsAtTheirScreenPixels) {
  form.FArtMargin = TRect{10, 10, 10, 10};
  TEmitter* e = form.AddEmitter(nullptr, 256, 0, 0);
  form.UpdateCover();                                  // (950, 530, 970, 550)
  *display.FSurface.PixelAddress(3, 4) = 0x80402010;   // screen (953, 534)
  *display.FSurface.PixelAddress(19, 19) = 0xFF00FF00; // screen (969, 549)
  e->X = -30; // art moves left: cover grows to (920, 530, 970, 550)
  form.FChanged = true;
  form.UpdateCover();
  ASSERT_EQ(form.FCoverRect, (TRect{920, 530, 970, 550}));
  const TDIBmp& s = display.FSurface;
  ASSERT_EQ(s.Width, 50);
  EXPECT_EQ(s.GetPixel32(33, 4), 0x80402010u);
  EXPECT_EQ(s.GetPixel32(49, 19), 0xFF00FF00u);
  EXPECT_EQ(form.SurfaceOffsetX, 40.0f);
  int nonzero = 0;
  for (int32_t y = 0; y < s.Height; ++y)
    for (int32_t x = 0; x < s.Width; ++x)
      nonzero += s.GetPixel32(x, y) != 0;
  EXPECT_EQ(nonzero, 2); // the newly covered area starts transparent black

  // Growing down and right copies to (0, 0).
  e->X = 0;
  e->Y = 20;
  form.FChanged = true;
  form.UpdateCover();
  ASSERT_EQ(form.FCoverRect, (TRect{920, 530, 970, 570}));
  EXPECT_EQ(display.FSurface.GetPixel32(33, 4), 0x80402010u);
}

TEST_F(Cover, ArtBackInsideDoesNotShrinkButClearFadingDoes) {
  form.FArtMargin = TRect{10, 10, 10, 10};
  TEmitter* e = form.AddEmitter(nullptr, 256, 0, 0);
  form.AddEmitter(nullptr, 256, 100, 0);
  form.UpdateCover();
  ASSERT_EQ(form.FCoverRect, (TRect{950, 530, 1070, 550}));
  form.FEmitters.Delete(1);
  form.FChanged = true;
  form.UpdateCover();
  EXPECT_EQ(form.FCoverRect, (TRect{950, 530, 1070, 550}));
  (void)e;

  presents = 0;
  form.ClearFading();
  EXPECT_EQ(form.FCoverRect.Left, INT32_MAX);
  EXPECT_TRUE(form.FChanged);
  EXPECT_EQ(display.FLayeredBounds, (TRect{0, 0, 16, 16}));
  EXPECT_EQ(display.FMinClient.X, 16);
  EXPECT_EQ(presents, 1);
  form.UpdateCover();
  EXPECT_EQ(form.FCoverRect, (TRect{950, 530, 970, 550}));
  EXPECT_TRUE(AllZero(display.FSurface));
}

TEST_F(Cover, ClearFadingWipesASurfaceThatKeepsItsSize) {
  // A 16 x 16 cover is the size of the reset display: the surface is not
  // reallocated on the way, and must still come back empty.
  form.FArtMargin = TRect{8, 8, 8, 8};
  form.AddEmitter(nullptr, 256, 0, 0);
  form.UpdateCover();
  ASSERT_EQ(display.FSurface.Width, 16);
  *display.FSurface.PixelAddress(5, 5) = 0xFFFFFFFF;
  form.ClearFading();
  EXPECT_TRUE(AllZero(display.FSurface));
  *display.FSurface.PixelAddress(5, 5) = 0xFFFFFFFF;
  form.UpdateCover();
  EXPECT_TRUE(AllZero(display.FSurface));
}

TEST_F(Cover, ArtOutsideTheDesktopGivesAnEmptyCover) {
  form.FArtMargin = TRect{10, 10, 10, 10};
  TEmitter* e = form.AddEmitter(nullptr, 256, -5000, 0);
  form.UpdateCover();
  EXPECT_EQ(form.FCoverRect, (TRect{0, 0, 0, 0}));
  EXPECT_EQ(display.FLayeredBounds, (TRect{0, 0, 1, 1})); // never empty
  // The next growth starts from it: the empty rectangle adds nothing.
  e->X = 0;
  form.FChanged = true;
  form.UpdateCover();
  EXPECT_EQ(form.FCoverRect, (TRect{950, 530, 970, 550}));
}

TEST_F(Cover, FarAwayArtIsCutToTheDesktop) {
  form.FArtMargin = TRect{10, 10, 10, 10};
  form.AddEmitter(nullptr, 256, 0, 0);
  form.AddEmitter(nullptr, 256, 3.0e38f, -3.0e38f); // from a hand-edited state file
  form.UpdateCover();
  EXPECT_EQ(form.FCoverRect, (TRect{950, 0, 1920, 550}));
}

TEST_F(Cover, TickWithNoArtKeepsTheSmallDisplayAndPresents) {
  form.Tick(0);
  EXPECT_EQ(display.FLayeredBounds, (TRect{0, 0, 16, 16}));
  EXPECT_EQ(form.FCoverRect.Left, INT32_MAX);
  EXPECT_EQ(presents, 1);
  EXPECT_EQ(presentedAt.X, 0);
}

TEST_F(Cover, AnIdleFlameIsPresentedOnceUntilItChanges) {
  for (int i = 0; i < 5; ++i)
    form.Tick(0);
  EXPECT_EQ(presents, 1);
  // Something lit while idle (the window would still show blank): shown, and
  // shown again once it has faded back to blank, then no more.
  *display.FSurface.PixelAddress(5, 5) = 0x01010101u;
  form.FFadeFactors = 0;
  form.Tick(0);
  EXPECT_EQ(presents, 2);
  for (int i = 0; i < 3; ++i)
    form.Tick(0);
  EXPECT_EQ(presents, 3);
  EXPECT_EQ(display.FSurface.GetPixel32(5, 5), 0u);
}

TEST_F(Cover, TickCatchesUpOnMissedTicksButRendersOnce) {
  form.FArtMargin = TRect{10, 10, 10, 10};
  form.FHueSpeed = 0.01f;
  form.FHuePhase = 0.25;
  form.FAttraction = 0.5f;
  form.FFadeSliders = TFadeSliders{256, 0, 256, 128};
  TEmitter* e = form.AddEmitter(nullptr, 256, 80, 0);
  form.FAttractor = TVector4{};
  form.Tick(2);
  EXPECT_DOUBLE_EQ(form.FHuePhase, 0.25 + 3 * double(0.01f));
  EXPECT_NEAR(e->X, 10.0f, 1e-4);
  EXPECT_EQ(presents, 1);
  EXPECT_EQ(form.FCoverRect, (TRect{960, 530, 980, 550}));
  EXPECT_EQ(presentedAt.X, 960);
  EXPECT_EQ(presentedAt.Y, 530);
}

TEST_F(Cover, HueStaysWhileCyclingIsOff) {
  form.FHueSpeed = 0;
  form.FHuePhase = 0.5;
  form.FFadeFactors = 12345;
  form.Tick(0);
  EXPECT_EQ(form.FHuePhase, 0.5);
  EXPECT_EQ(form.FFadeFactors, 12345u); // recomputed only by the settings
}
