// The flame window as the engine's display: creation, the engine drawing
// through it, no mouse zones, the animation-timer coupling, re-parenting and
// keeping in front.
#include "FlameWindow.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QMouseEvent>
#include <QPixmap>
#include <QScreen>
#include <QWindow>

#include <vector>

#include "AnimationClock.h"
#include "DisplayTestSupport.h"
#include "FlameEngine.h"
#include "Timers.h"
#include "timing/ManualTimerClock.h"

namespace {

class FlameWindowTest : public ::testing::Test {
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
  TManualTimerClock Clock;
  TTimerQueue Queue;
};

TEST_F(FlameWindowTest, CreationLeavesAClickThroughSixteenPixelWindow) {
  TPartWindow W;
  EXPECT_EQ(W.windowTitle(), QStringLiteral("PartForm"));
  EXPECT_EQ(W.FLayeredBounds, (TRect{0, 0, 16, 16}));
  EXPECT_EQ(W.FMinClient.X, 16);
  EXPECT_EQ(W.FMaxClient.Y, 16);
  EXPECT_EQ(W.FSurface.Width, 16);
  EXPECT_EQ(W.FTransition, -1);
  EXPECT_FALSE(W.Solid());
  EXPECT_TRUE(W.windowFlags().testFlag(Qt::WindowTransparentForInput));
  EXPECT_TRUE(W.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
  EXPECT_TRUE(W.StayOnTop());
  EXPECT_EQ(W.windowFlags() & Qt::WindowType_Mask, Qt::Tool);
  EXPECT_FALSE(W.isVisible());
}

TEST_F(FlameWindowTest, TheEngineDrawsThroughTheWindow) {
  TPartWindow W;
  TPartForm Engine(W);
  Engine.DesktopRect = TRect{0, 0, 1280, 720};
  W.FDesktopRect = Engine.DesktopRect;
  // Start-up: a one-pixel placeholder, detached, then shown.
  W.SetLayeredBounds(TRect{300, 300, 128, 128}, true);
  EXPECT_EQ(W.FLayeredBounds, (TRect{300, 300, 301, 301}));
  W.ReparentToDesktop();
  ShowExposed(W);
  EXPECT_EQ(W.geometry(), QRect(300, 300, 16, 16));

  // A cover update: new limits and rectangle, then the frame's presentation.
  IFlameDisplay& D = W;
  D.SetSizeLimits(TRect{64, 48, 64, 48});
  D.SetLayeredBounds(TRect{500, 400, 564, 448}, false);
  FillPattern(D.Surface());
  D.Present();
  EXPECT_EQ(W.geometry(), QRect(500, 400, 64, 48));
  const QImage Shown = W.screen()->grabWindow(W.winId()).toImage();
  ASSERT_EQ(Shown.size(), QSize(64, 48));
  for (int Y : {0, 17, 47})
    for (int X : {0, 31, 63})
      EXPECT_TRUE(ShownEquals(Shown, X, Y, PatternPixel(X, Y))) << X << "," << Y;

  // "Clear fading" shrinks it back.
  Engine.ClearFading();
  EXPECT_EQ(W.geometry(), QRect(0, 0, 16, 16));
  W.hide();
}

TEST_F(FlameWindowTest, MouseNeverMovesTheFlame) {
  TPartWindow W;
  W.SetSolid(true);
  W.SetSizeLimits(TRect{0, 0, 30000, 30000});
  W.SetLayeredBounds(TRect{100, 100, 200, 200}, false);
  W.show();
  const QPointF L(50, 50), G(W.mapToGlobal(QPoint(50, 50)));
  QMouseEvent Press(QEvent::MouseButtonPress, L, L, G, Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
  QCoreApplication::sendEvent(&W, &Press);
  const QPointF L2(80, 90), G2(W.mapToGlobal(QPoint(80, 90)));
  QMouseEvent Move(QEvent::MouseMove, L2, L2, G2, Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&W, &Move);
  EXPECT_EQ(W.FLayeredBounds, (TRect{100, 100, 200, 200}));
  EXPECT_EQ(W.cursor().shape(), Qt::ArrowCursor);
  EXPECT_FALSE(W.isActiveWindow());
  W.hide();
}

TEST_F(FlameWindowTest, AnimTimerRunsExactlyWhileTheWindowIsVisible) {
  TPartWindow W;
  std::vector<bool> Calls;
  W.OnAnimTimerEnable = [&](bool Visible) { Calls.push_back(Visible); };
  W.show();
  EXPECT_EQ(Calls, (std::vector<bool>{true}));
  W.SetAnimatedVisible(false);
  EXPECT_EQ(Calls.size(), 1u); // fading out: frames still run
  for (int I = 0; I < 16; ++I) {
    Clock.Advance(DefaultAnimationInterval);
    ASSERT_TRUE(Queue.DeliverOne());
  }
  EXPECT_FALSE(W.isVisible());
  EXPECT_EQ(Calls, (std::vector<bool>{true, false}));
  W.SetAnimatedVisible(true);
  EXPECT_EQ(Calls, (std::vector<bool>{true, false, true}));
  W.hide();
}

TEST_F(FlameWindowTest, ReparentToDesktopHidesAndShowingAgainAtAlphaZero) {
  TPartWindow W;
  W.show();
  W.SetAnimatedVisible(false);
  while (W.isVisible()) {
    Clock.Advance(DefaultAnimationInterval);
    ASSERT_TRUE(Queue.DeliverOne());
  }
  // "Keep in front" changed while faded out: re-parented and shown plainly.
  W.SetStayOnTop(false);
  EXPECT_FALSE(W.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
  W.ReparentToDesktop();
  EXPECT_FALSE(W.isVisible());
  EXPECT_EQ(W.parentWidget(), nullptr);
  W.show();
  EXPECT_EQ(W.FConstantAlpha, 0); // nothing is seen
  EXPECT_TRUE(W.windowFlags().testFlag(Qt::WindowTransparentForInput));
  W.SetStayOnTop(true);
  EXPECT_TRUE(W.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
  W.ReparentToDesktop(); // later calls only hide
  EXPECT_FALSE(W.isVisible());
}

TEST_F(FlameWindowTest, OffX11NothingWarnsAboutTransparency) {
  // The offscreen platform composites nothing and is not X11: no warning.
  EXPECT_FALSE(RunningOnX11());
  EXPECT_EQ(AlphaCompositing(), TAlphaCompositing::Unknown);
  EXPECT_TRUE(PerPixelAlphaWarning().isEmpty());
  EXPECT_TRUE(ReportPerPixelAlphaOnce().isEmpty());
}

} // namespace
