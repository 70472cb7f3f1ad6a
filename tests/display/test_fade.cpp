// Animated visibility on a hand-driven animation clock: the constant alphas of
// each step, the step counts, turning around, swallowed ticks, input state.
#include "FadingWindow.h"

#include <gtest/gtest.h>

#include <QWindow>

#include <vector>

#include "AnimationClock.h"
#include "DisplayTestSupport.h"
#include "Timers.h"
#include "timing/ManualTimerClock.h"

namespace {

class FadeTest : public ::testing::Test {
protected:
  void SetUp() override {
    TestApp();
    SetTimerClock(&Clock);
    SetTimerPoster(&Queue);
  }
  void TearDown() override {
    FreeAnimationClock();
    DetachTimerPoster(&Queue);
    SetTimerClock(nullptr);
  }
  // One animation interval; the tick it brings is handled.
  bool Tick() {
    Clock.Advance(DefaultAnimationInterval);
    return Queue.DeliverOne();
  }
  // The constant alpha the next presentation uses.
  static int32_t Alpha(TLayeredFormEx& F) {
    F.Present();
    return F.FConstantAlpha;
  }
  static bool ClickThrough(const QWidget& W) {
    return W.windowFlags().testFlag(Qt::WindowTransparentForInput);
  }

  TManualTimerClock Clock;
  TTimerQueue Queue;
};

TEST_F(FadeTest, NeverAnimatedReadsVisible) {
  TLayeredFormEx F;
  EXPECT_TRUE(F.AnimatedVisible());
  EXPECT_EQ(F.FHideLevel, 0.0f);
  EXPECT_EQ(F.FAnimSpeed, 1.0f);
  EXPECT_EQ(Alpha(F), 255);
}

TEST_F(FadeTest, HidingTakes17StepsWithTheListedAlphas) {
  TLayeredFormEx F;
  F.show();
  F.SetAnimatedVisible(false);
  EXPECT_FALSE(F.AnimatedVisible());
  EXPECT_NEAR(F.FHideRate, 0.06f, 1e-7f);
  std::vector<int32_t> Alphas{Alpha(F)}; // the first step happened during the call
  int Ticks = 0;
  while (F.isVisible() && Ticks < 100) {
    ASSERT_TRUE(Tick());
    ++Ticks;
    if (F.isVisible())
      Alphas.push_back(Alpha(F));
  }
  EXPECT_EQ(Alphas, (std::vector<int32_t>{240, 224, 209, 194, 179, 163, 148, 133, 117, 102, 87, 71,
                                          56, 41, 26, 10}));
  EXPECT_EQ(Ticks, 16); // 17 steps with the one at the call: hidden 384 ms later
  EXPECT_EQ(Clock.Now(), 384);
  EXPECT_EQ(F.FHideLevel, 1.0f);
  EXPECT_FALSE(F.isVisible());
  EXPECT_EQ(AnimationClock()->ClientCount(), 0u);
  EXPECT_FALSE(Tick()); // the clock stopped with its last client
}

TEST_F(FadeTest, ShowingTakes9StepsWithTheListedAlphas) {
  TLayeredFormEx F;
  F.SetLayeredBounds(TRect{20, 30, 52, 62}, false);
  ASSERT_FALSE(F.isVisible());
  F.SetAnimatedVisible(true);
  EXPECT_TRUE(F.AnimatedVisible());
  EXPECT_TRUE(F.isVisible());
  EXPECT_EQ(F.pos(), QPoint(20, 30));
  std::vector<int32_t> Alphas{Alpha(F)};
  for (int I = 0; I < 8; ++I) {
    ASSERT_TRUE(Tick());
    Alphas.push_back(Alpha(F));
  }
  EXPECT_EQ(Alphas, (std::vector<int32_t>{31, 61, 92, 122, 153, 184, 214, 245, 255}));
  EXPECT_EQ(F.FHideLevel, 0.0f);
  EXPECT_EQ(AnimationClock()->ClientCount(), 0u);
  F.hide();
}

TEST_F(FadeTest, TurningAroundContinuesFromTheCurrentLevel) {
  TLayeredFormEx F;
  F.show();
  F.SetAnimatedVisible(false);
  for (int I = 0; I < 4; ++I)
    ASSERT_TRUE(Tick());
  EXPECT_EQ(Alpha(F), 179);   // fifth hiding step
  F.SetAnimatedVisible(true); // back up by one showing step (0.12) at once
  EXPECT_TRUE(F.AnimatedVisible());
  EXPECT_EQ(Alpha(F), 209);
  EXPECT_EQ(AnimationClock()->ClientCount(), 1u);
  EXPECT_EQ(Queue.Count(), 0u);
  ASSERT_TRUE(Tick());
  EXPECT_EQ(Alpha(F), 240);
  ASSERT_TRUE(Tick());
  EXPECT_EQ(Alpha(F), 255);
  EXPECT_TRUE(F.isVisible());
  EXPECT_EQ(AnimationClock()->ClientCount(), 0u);
  F.hide();
}

TEST_F(FadeTest, SwallowedTicksAreCaughtUp) {
  TLayeredFormEx F;
  F.show();
  F.SetAnimatedVisible(false); // level 0.06
  // Four intervals pass while the first tick waits for the GUI thread: the
  // clock keeps that one queued and swallows the other three, which the next
  // handled tick reports as Missed.
  Clock.Advance(4 * DefaultAnimationInterval);
  EXPECT_EQ(Queue.Count(), 1u);
  ASSERT_TRUE(Queue.DeliverOne());
  EXPECT_NEAR(F.FHideLevel, 0.12f, 1e-6f);
  ASSERT_TRUE(Tick());
  EXPECT_EQ(AnimationClock()->Missed(), 3);
  EXPECT_NEAR(F.FHideLevel, 0.36f, 1e-6f);
  EXPECT_EQ(Alpha(F), 163); // the seventh step's alpha, two handled ticks later
  F.hide();
}

TEST_F(FadeTest, AFadingOrHiddenWindowIsAlwaysClickThrough) {
  TLayeredFormEx F;
  F.SetSolid(true);
  F.show();
  EXPECT_FALSE(ClickThrough(F));
  F.SetAnimatedVisible(false);
  EXPECT_TRUE(ClickThrough(F)); // from the first step on
  while (F.isVisible())
    ASSERT_TRUE(Tick());
  EXPECT_TRUE(ClickThrough(F));
  F.SetAnimatedVisible(true);
  EXPECT_FALSE(ClickThrough(F)); // takes input from the start of the fade-in
  ASSERT_NE(F.windowHandle(), nullptr);
  EXPECT_FALSE(F.windowHandle()->flags().testFlag(Qt::WindowTransparentForInput));
  F.hide();
}

TEST_F(FadeTest, WithoutAClockVisibilityChangesAtOnce) {
  DetachTimerPoster(&Queue); // no poster: the clock cannot start
  TLayeredFormEx F;
  F.show();
  F.SetAnimatedVisible(false);
  EXPECT_FALSE(F.isVisible());
  EXPECT_FALSE(F.AnimatedVisible());
  F.SetAnimatedVisible(true);
  EXPECT_TRUE(F.isVisible());
  EXPECT_TRUE(F.AnimatedVisible());
  EXPECT_EQ(Alpha(F), 255);
  F.hide();
}

TEST_F(FadeTest, AnimSpeedScalesTheRate) {
  TLayeredFormEx F;
  F.FAnimSpeed = 2.0f;
  F.show();
  F.SetAnimatedVisible(false);
  EXPECT_NEAR(F.FHideRate, 0.12f, 1e-7f);
  int Ticks = 0;
  while (F.isVisible() && Ticks < 100) {
    ASSERT_TRUE(Tick());
    ++Ticks;
  }
  EXPECT_EQ(Ticks, 8);
}

TEST_F(FadeTest, DestroyingAFadingWindowLeavesTheClock) {
  auto* F = new TLayeredFormEx;
  F->show();
  F->SetAnimatedVisible(false);
  EXPECT_EQ(AnimationClock()->ClientCount(), 1u);
  delete F;
  EXPECT_EQ(AnimationClock()->ClientCount(), 0u);
  EXPECT_FALSE(Tick());
}

} // namespace
