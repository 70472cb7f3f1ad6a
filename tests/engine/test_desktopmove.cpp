// The monitors change under the art: the origin moves with its monitor, the
// cover is cut to the new desktop, the trails stay on their screen pixels.
#include "EngineTestSupport.h"

TEST(DesktopMove, PlansOriginCoverOffsetsAndTheKeptPart) {
  // One 1600 x 900 monitor at (0, 0); the art around the origin (800, 450),
  // its cover (100, 100)-(500, 400): the origin sits 700, 350 into it.
  const TRect cover{100, 100, 500, 400};
  struct Case {
    const char* what;
    TRect cover;
    TRect newDesktop;
    TPoint shift; // how far the origin's monitor moved
    float originX, originY;
    TRect expectedCover;
    float offsetX, offsetY;
    TRect kept;
  };
  const Case cases[] = {
      {"a monitor added right",
       cover,
       {0, 0, 2400, 900},
       {0, 0},
       800,
       450,
       cover,
       700,
       350,
       {0, 0, 400, 300}},
      {"a monitor added left; ours moves right",
       cover,
       {0, 0, 2400, 900},
       {800, 0},
       1600,
       450,
       {900, 100, 1300, 400},
       700,
       350,
       {0, 0, 400, 300}},
      {"a monitor added left at negative coordinates",
       cover,
       {-800, 0, 1600, 900},
       {0, 0},
       800,
       450,
       cover,
       700,
       350,
       {0, 0, 400, 300}},
      {"the right monitor removed under the art",
       {1400, 100, 1800, 400},
       {0, 0, 1600, 900},
       {0, 0},
       800,
       450,
       {1400, 100, 1600, 400},
       -600,
       350,
       {0, 0, 200, 300}},
      {"the left monitor removed; ours moves left",
       {900, 100, 1300, 400},
       {0, 0, 1600, 900},
       {-800, 0},
       0,
       450,
       {100, 100, 500, 400},
       -100,
       350,
       {0, 0, 400, 300}},
      {"the left monitor removed at negative coordinates",
       {-300, 100, 300, 400},
       {0, 0, 1600, 900},
       {0, 0},
       800,
       450,
       {0, 100, 300, 400},
       800,
       350,
       {300, 0, 600, 300}},
      {"the primary made smaller",
       {1000, 500, 1500, 800},
       {0, 0, 1280, 720},
       {0, 0},
       800,
       450,
       {1000, 500, 1280, 720},
       -200,
       -50,
       {0, 0, 280, 220}},
      {"the primary made larger",
       cover,
       {0, 0, 1920, 1080},
       {0, 0},
       800,
       450,
       cover,
       700,
       350,
       {0, 0, 400, 300}},
      {"the art's monitor gone",
       {1700, 100, 2100, 400},
       {0, 0, 1600, 900},
       {0, 0},
       800,
       450,
       EmptyCover,
       700,
       350,
       {}},
      {"nothing covered yet",
       EmptyCover,
       {0, 0, 2400, 900},
       {800, 0},
       1600,
       450,
       EmptyCover,
       700,
       350,
       {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const TDesktopMove m = PlanDesktopMove(c.newDesktop, c.cover, 800, 450, 700, 350, c.shift);
    EXPECT_EQ(m.OriginX, c.originX);
    EXPECT_EQ(m.OriginY, c.originY);
    EXPECT_EQ(m.Cover, c.expectedCover);
    EXPECT_EQ(m.SurfaceOffsetX, c.offsetX);
    EXPECT_EQ(m.SurfaceOffsetY, c.offsetY);
    EXPECT_EQ(m.Kept, c.kept);
    if (c.expectedCover.Left != EmptyCover.Left) {
      // Whatever changed, the origin's pixel in the new surface is where the
      // origin is on the screen.
      EXPECT_EQ(float(m.Cover.Left) + m.SurfaceOffsetX, m.OriginX);
      EXPECT_EQ(float(m.Cover.Top) + m.SurfaceOffsetY, m.OriginY);
    }
  }
}

using MoveDesktop = EngineTest;

// The trails of a frame, and where each pixel is on the screen.
TEST_F(MoveDesktop, KeepsTheTrailsOnTheirScreenPixels) {
  form.FArtMargin = TRect{40, 40, 40, 40};
  form.AddEmitter(nullptr, 256, 900, 0); // near the right edge: (1860, 540)
  form.UpdateCover();
  ASSERT_EQ(form.FCoverRect, (TRect{1820, 500, 1900, 580}));
  TDIBmp& s = display.FSurface;
  // A mark on the surface at screen pixel (1830, 510) and one at (1890, 570).
  *s.PixelAddress(10, 10) = 0x11223344;
  *s.PixelAddress(70, 70) = 0x55667788;

  struct Step {
    const char* what;
    TRect desktop;
    TPoint shift;
    TRect cover;
    bool secondMarkKept;
  };
  const Step steps[] = {
      {"a monitor added right: nothing moves",
       {0, 0, 3200, 1080},
       {0, 0},
       {1820, 500, 1900, 580},
       true},
      {"a monitor added left: the art moves with its monitor",
       {0, 0, 4480, 1080},
       {1280, 0},
       {3100, 500, 3180, 580},
       true},
      {"the desktop cut through the art",
       {0, 0, 3160, 1080},
       {0, 0},
       {3100, 500, 3160, 580},
       false},
  };
  int32_t movedX = 0;
  for (const Step& st : steps) {
    SCOPED_TRACE(st.what);
    const int before = presents;
    form.MoveDesktop(st.desktop, st.shift);
    movedX += st.shift.X;
    EXPECT_EQ(form.DesktopRect, st.desktop);
    EXPECT_EQ(form.FCoverRect, st.cover);
    EXPECT_EQ(display.FLayeredBounds, st.cover);
    EXPECT_EQ(s.Width, st.cover.Width());
    // The emitter's screen position moved with its monitor only.
    EXPECT_EQ(form.OriginX + form.Emitter(0)->X, 1860.0f + float(movedX));
    EXPECT_EQ(form.OriginX - form.SurfaceOffsetX, float(st.cover.Left));
    // The marks are at their screen pixels, as far as the surface reaches.
    const int32_t x0 = 1830 + movedX - st.cover.Left;
    EXPECT_EQ(s.GetPixel32(x0, 10), 0x11223344u);
    if (st.secondMarkKept) {
      EXPECT_EQ(s.GetPixel32(x0 + 60, 70), 0x55667788u);
    }
    // Shown anew when the window moved or its surface changed.
    EXPECT_EQ(presents > before, st.shift.X != 0 || !st.secondMarkKept);
  }
  // The art cut off comes back when the desktop grows again.
  form.MoveDesktop(TRect{0, 0, 4480, 1080}, TPoint{});
  form.UpdateCover();
  EXPECT_EQ(form.FCoverRect, (TRect{3100, 500, 3180, 580}));
  EXPECT_EQ(s.GetPixel32(10, 10), 0x11223344u);
}

TEST_F(MoveDesktop, ArtWhoseMonitorWentLeavesNothingCovered) {
  form.FArtMargin = TRect{40, 40, 40, 40};
  form.AddEmitter(nullptr, 256, 900, 0);
  form.UpdateCover();
  form.MoveDesktop(TRect{0, 0, 1280, 1080}, TPoint{});
  EXPECT_EQ(form.FCoverRect.Left, EmptyCover.Left);
  EXPECT_EQ(display.FLayeredBounds, (TRect{0, 0, 16, 16}));
  EXPECT_EQ(form.FEmitters.Count, 1); // the art is kept, off the desktop
  EXPECT_TRUE(form.FChanged);
  // Its monitor back: the cover comes back with it.
  form.MoveDesktop(TRect{0, 0, 1920, 1080}, TPoint{});
  form.UpdateCover();
  EXPECT_EQ(form.FCoverRect, (TRect{1820, 500, 1900, 580}));
}
