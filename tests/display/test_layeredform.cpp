// The layered form: layered rectangle and surface size, size limits, position
// constraint, presentation of the surface, input state, mouse zones.
#include "WindowBases.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QMouseEvent>
#include <QPixmap>
#include <QScreen>
#include <QWindow>

#include <climits>
#include <vector>

#include "DisplayTestSupport.h"
#include "FlameEngine.h"

namespace {

class LayeredFormTest : public ::testing::Test {
protected:
  void SetUp() override { TestApp(); }
};

TEST_F(LayeredFormTest, IsAnUnfocusableFramelessToolWindow) {
  TLayeredForm F;
  // No taskbar entry, no frame, never the focus, per-pixel alpha.
  EXPECT_EQ(F.windowFlags() & Qt::WindowType_Mask, Qt::Tool);
  EXPECT_TRUE(F.windowFlags() & Qt::FramelessWindowHint);
  EXPECT_TRUE(F.windowFlags() & Qt::WindowDoesNotAcceptFocus);
  EXPECT_TRUE(F.testAttribute(Qt::WA_TranslucentBackground));
  EXPECT_TRUE(F.testAttribute(Qt::WA_ShowWithoutActivating));
}

TEST_F(LayeredFormTest, LayeredBoundsAreNeverEmptyAndSurfaceFollows) {
  struct Case {
    TRect In;
    TPoint MinClient;
    TRect Bounds;
    int32_t W, H;
  };
  const std::vector<Case> Cases = {
      {{10, 20, 110, 70}, {0, 0}, {10, 20, 110, 70}, 100, 50},
      {{10, 20, 10, 20}, {0, 0}, {10, 20, 11, 21}, 1, 1},         // empty: one pixel
      {{300, 300, 128, 128}, {0, 0}, {300, 300, 301, 301}, 1, 1}, // inverted
      {{-50, -40, -60, 10}, {0, 0}, {-50, -40, -49, 10}, 1, 50},
      {{0, 0, 5, 5}, {16, 16}, {0, 0, 5, 5}, 16, 16}, // surface never below the limit
      {{0, 0, 40, 5}, {16, 16}, {0, 0, 40, 5}, 40, 16},
      {{INT32_MAX, 0, INT32_MAX, 1}, {0, 0}, {INT32_MAX - 1, 0, INT32_MAX, 1}, 1, 1},
  };
  for (const Case& C : Cases) {
    TLayeredForm F;
    F.SetSizeLimits(TRect{C.MinClient.X, C.MinClient.Y, 30000, 30000});
    F.SetLayeredBounds(C.In, false);
    EXPECT_EQ(F.FLayeredBounds, C.Bounds) << C.In.Left << "," << C.In.Top;
    EXPECT_EQ(F.FSurface.Width, C.W) << C.In.Left;
    EXPECT_EQ(F.FSurface.Height, C.H) << C.In.Left;
    EXPECT_EQ(F.FSurface.BitCount, 32);
  }
}

TEST_F(LayeredFormTest, ResizeNotificationOnlyWhenTheSurfaceSizeChanges) {
  TLayeredForm F;
  int Resizing = 0, Resized = 0;
  F.OnResizing = [&](TLayeredForm&) { ++Resizing; };
  F.OnResize = [&](TLayeredForm&) { ++Resized; };

  F.SetLayeredBounds(TRect{100, 100, 132, 132}, false); // moved, same 32 x 32
  EXPECT_EQ(Resizing, 1);
  EXPECT_EQ(Resized, 0);

  FillPattern(F.FSurface);
  F.SetLayeredBounds(TRect{100, 100, 150, 120}, false);
  EXPECT_EQ(Resizing, 2);
  EXPECT_EQ(Resized, 1);
  // A resized surface starts all zero.
  for (int32_t Y = 0; Y < F.FSurface.Height; ++Y)
    for (int32_t X = 0; X < F.FSurface.Width; ++X)
      ASSERT_EQ(F.FSurface.GetPixel32(X, Y), 0u) << X << "," << Y;
}

TEST_F(LayeredFormTest, SizeLimitsBoundTheSurfaceNotTheWindow) {
  TLayeredForm F;
  F.SetSizeLimits(TRect{16, 20, 300, 200});
  EXPECT_EQ(F.FMinClient.X, 16);
  EXPECT_EQ(F.FMinClient.Y, 20);
  EXPECT_EQ(F.FMaxClient.X, 300);
  EXPECT_EQ(F.FMaxClient.Y, 200);
  // The window is always exactly its surface, also beyond the largest size.
  F.SetLayeredBounds(TRect{0, 0, 400, 10}, false);
  EXPECT_EQ(F.FSurface.Width, 400);
  EXPECT_EQ(F.FSurface.Height, 20);
  F.show();
  F.Present();
  EXPECT_EQ(F.geometry(), QRect(0, 0, 400, 20));
  F.hide();
}

TEST_F(LayeredFormTest, PositionConstraintKeeps16PixelsOnTheDesktop) {
  TLayeredForm F;
  F.FDesktopRect = TRect{-1280, 0, 1920, 1080};
  F.SetLayeredBounds(TRect{0, 0, 200, 100}, false);
  struct Case {
    int32_t X, Y, W, H, EX, EY;
  };
  const std::vector<Case> Cases = {
      {100, 100, 200, 100, 100, 100}, // inside: unchanged
      {-2000, 50, 200, 100, -1280 - 200 + 16, 50},
      {1910, 1075, 200, 100, 1920 - 16, 1080 - 16},
      {0, -500, 200, 100, 0, -100 + 16},
      {-1464, -84, 200, 100, -1464, -84},                // exactly 16 left each way
      {-3000, -3000, 0, 0, -1280 - 200 + 16, -100 + 16}, // 0: the layered size
      {-3000, 5000, -5, 40, -1280 - 200 + 16, 1080 - 16},
      {INT32_MIN, INT32_MAX, 200, 100, -1280 - 200 + 16, 1080 - 16},
  };
  for (const Case& C : Cases) {
    int32_t X = C.X, Y = C.Y;
    F.ConstrainPosition(X, Y, C.W, C.H);
    EXPECT_EQ(X, C.EX) << C.X << "," << C.Y;
    EXPECT_EQ(Y, C.EY) << C.X << "," << C.Y;
  }
}

TEST_F(LayeredFormTest, PresentShowsTheWholeSurfaceAtTheLayeredPosition) {
  TLayeredForm F;
  F.FDesktopRect = TRect{0, 0, 1280, 720};
  F.SetLayeredBounds(TRect{40, 30, 104, 78}, false);
  FillPattern(F.FSurface);
  ShowExposed(F);
  const int64_t Before = F.PresentedFrames();
  F.Present();
  EXPECT_EQ(F.PresentedFrames(), Before + 1); // synchronous
  EXPECT_TRUE(IsRectEmpty(F.FInvalidRect));
  EXPECT_EQ(F.geometry(), QRect(40, 30, 64, 48));

  // What reached the window system: the surface, byte for byte.
  const QImage Shown = F.screen()->grabWindow(F.winId()).toImage();
  ASSERT_EQ(Shown.size(), QSize(64, 48));
  int Wrong = 0;
  for (int Y = 0; Y < 48; ++Y)
    for (int X = 0; X < 64; ++X)
      Wrong += !ShownEquals(Shown, X, Y, PatternPixel(X, Y));
  EXPECT_EQ(Wrong, 0);

  // Under a constant alpha every premultiplied channel scales with it.
  F.FConstantAlpha = 128;
  const QImage Faded = F.grab().toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
  ASSERT_EQ(Faded.size(), QSize(64, 48));
  int Off = 0;
  for (int Y = 0; Y < 48; ++Y)
    for (int X = 0; X < 64; ++X) {
      const uint32_t S = PatternPixel(X, Y), D = Faded.pixel(X, Y);
      for (int Shift = 0; Shift < 32; Shift += 8) {
        const int Want = int(((S >> Shift) & 0xFF) * 128 + 127) / 255;
        const int Got = int((D >> Shift) & 0xFF);
        Off += std::abs(Want - Got) > 1;
      }
    }
  EXPECT_EQ(Off, 0);
  F.hide();
}

TEST_F(LayeredFormTest, PresentWhileHiddenHandsNothingOver) {
  TLayeredForm F;
  int Painted = 0;
  F.OnPaint = [&](TLayeredForm&) { ++Painted; };
  const int64_t Before = F.PresentedFrames();
  F.Present();
  EXPECT_EQ(Painted, 1); // the paint hook runs all the same
  EXPECT_EQ(F.PresentedFrames(), Before);
  EXPECT_TRUE(IsRectEmpty(F.FInvalidRect));
  EXPECT_FALSE(F.isVisible());
}

TEST_F(LayeredFormTest, ShowingPresentsAndPresentMovesTheWindow) {
  TLayeredForm F;
  F.FDesktopRect = TRect{0, 0, 1280, 720};
  F.SetLayeredBounds(TRect{200, 100, 232, 116}, false);
  ShowExposed(F);
  EXPECT_GE(F.PresentedFrames(), 1);
  EXPECT_EQ(F.geometry(), QRect(200, 100, 32, 16));
  // The engine grows the rectangle without presenting; the window follows at
  // the next presentation.
  F.SetLayeredBounds(TRect{150, 90, 250, 140}, false);
  EXPECT_EQ(F.geometry(), QRect(200, 100, 32, 16));
  F.Present();
  EXPECT_EQ(F.geometry(), QRect(150, 90, 100, 50));
  F.hide();
}

TEST_F(LayeredFormTest, InvalidateSchedulesAPaint) {
  TLayeredForm F;
  F.Invalidate(); // no window yet: nothing to do
  EXPECT_TRUE(IsRectEmpty(F.FInvalidRect));
  F.show();
  const int64_t Before = F.PresentedFrames();
  F.Invalidate();
  EXPECT_EQ(F.FInvalidRect, (TRect{0, 0, F.FSurface.Width, F.FSurface.Height}));
  QCoreApplication::sendPostedEvents();
  QCoreApplication::processEvents();
  EXPECT_GT(F.PresentedFrames(), Before);
  EXPECT_TRUE(IsRectEmpty(F.FInvalidRect));
  F.hide();
}

TEST_F(LayeredFormTest, SolidDecidesWhetherInputPassesThrough) {
  TLayeredForm F;
  F.show();
  EXPECT_FALSE(F.windowFlags() & Qt::WindowTransparentForInput);
  F.SetSolid(false);
  EXPECT_TRUE(F.windowFlags() & Qt::WindowTransparentForInput);
  ASSERT_NE(F.windowHandle(), nullptr);
  EXPECT_TRUE(F.windowHandle()->flags() & Qt::WindowTransparentForInput);
  EXPECT_TRUE(F.isVisible()); // switched live, not by re-creating the window
  F.SetSolid(true);
  EXPECT_FALSE(F.windowHandle()->flags() & Qt::WindowTransparentForInput);
  EXPECT_EQ(F.windowFlags() & Qt::WindowType_Mask, Qt::Tool);
  F.hide();
}

} // namespace
