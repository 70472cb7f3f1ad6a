#include <climits>
#include <cmath>

#include "EngineTestSupport.h"

using ArtOps = EngineTest;

TEST_F(ArtOps, CenterArtMovesTheBoundingBoxOntoTheOrigin) {
  form.AddEmitter(nullptr, 256, 100, -50);
  form.AddEmitter(nullptr, 256, 300, 50);
  form.AddEmitter(nullptr, 256, 150, 0);
  form.FArtMargin = TRect{10, 10, 10, 10};
  form.UpdateCover();
  presents = 0;
  form.CenterArt();
  const TArtBounds b = form.GetArtBounds();
  EXPECT_EQ(b.MinX, -100.0f);
  EXPECT_EQ(b.MaxX, 100.0f);
  EXPECT_EQ(b.MinY, -50.0f);
  EXPECT_EQ(b.MaxY, 50.0f);
  EXPECT_EQ(form.Emitter(2)->X, -50.0f);
  // The trails are cleared and the cover rebuilt on the next tick.
  EXPECT_EQ(form.FCoverRect.Left, INT32_MAX);
  EXPECT_EQ(display.FLayeredBounds, (TRect{0, 0, 16, 16}));
  EXPECT_EQ(presents, 1);
  EXPECT_TRUE(form.FChanged);

  // A second time the shift is zero, but the trails are cleared again.
  form.UpdateCover();
  form.CenterArt();
  EXPECT_EQ(form.GetArtBounds().MinX, -100.0f);
  EXPECT_EQ(form.FCoverRect.Left, INT32_MAX);
  EXPECT_EQ(presents, 2);
}

TEST_F(ArtOps, CenterWithoutArtOnlyClearsTheTrails) {
  form.CenterArt();
  EXPECT_EQ(form.FEmitters.Count, 0);
  EXPECT_EQ(display.FLayeredBounds, (TRect{0, 0, 16, 16}));
  EXPECT_TRUE(form.FChanged);
}

TEST_F(ArtOps, RotateTurnsEighteenDegreesAndShiftsRight) {
  TEmitter* e = form.AddEmitter(nullptr, 256, 100, 0);
  TEmitter* f = form.AddEmitter(nullptr, 256, -40, 25);
  form.FChanged = false;
  form.RotateArt();
  // X' = X cos 18 + Y sin 18 + 10, Y' = -X sin 18 + Y cos 18.
  EXPECT_NEAR(e->X, 105.10565f, 1e-3);
  EXPECT_NEAR(e->Y, -30.901699f, 1e-3);
  EXPECT_NEAR(f->X, -40 * 0.95105652 + 25 * 0.30901699 + 10, 1e-3);
  EXPECT_NEAR(f->Y, 40 * 0.30901699 + 25 * 0.95105652, 1e-3);
  EXPECT_EQ(e->Z, 0.0f);
  EXPECT_EQ(e->W, 0.0f);
  EXPECT_TRUE(form.FChanged);
  // Twenty turns bring the art back.
  for (int i = 1; i < 20; ++i)
    form.RotateArt();
  EXPECT_NEAR(e->X, 100.0f, 1e-3);
  EXPECT_NEAR(e->Y, 0.0f, 1e-3);
  EXPECT_NEAR(f->X, -40.0f, 1e-3);
  EXPECT_NEAR(f->Y, 25.0f, 1e-3);
}

TEST_F(ArtOps, RotateKeepsTheTrails) {
  form.FArtMargin = TRect{10, 10, 10, 10};
  form.AddEmitter(nullptr, 256, 0, 0);
  form.UpdateCover();
  *display.FSurface.PixelAddress(1, 1) = 0xFFFFFFFFu;
  form.RotateArt();
  EXPECT_EQ(display.FSurface.GetPixel32(1, 1), 0xFFFFFFFFu);
  EXPECT_NE(form.FCoverRect.Left, INT32_MAX);
}

TEST_F(ArtOps, StartOverEmptiesTheListAndKeepsItsCapacity) {
  form.FMaxCount = 6000;
  for (int i = 0; i < 5500; ++i)
    form.AddEmitter(nullptr, 256, float(i % 100), 0);
  const int32_t capacity = form.FEmitters.Capacity;
  EXPECT_EQ(capacity, 6250);
  form.FArtMargin = TRect{10, 10, 10, 10};
  form.UpdateCover();
  form.StartOver();
  EXPECT_EQ(form.FEmitters.Count, 0);
  EXPECT_EQ(form.FEmitters.Capacity, capacity);
  EXPECT_EQ(display.FLayeredBounds, (TRect{0, 0, 16, 16}));
  // The next tick finds no art: the cover stays empty.
  form.Tick(0);
  EXPECT_EQ(form.FCoverRect.Left, INT32_MAX);
  EXPECT_EQ(display.FLayeredBounds, (TRect{0, 0, 16, 16}));
}

TEST_F(ArtOps, ClearFadingLeavesTheEmitters) {
  form.AddEmitter(nullptr, 256, 3, 4);
  form.ClearFading();
  EXPECT_EQ(form.FEmitters.Count, 1);
  EXPECT_EQ(form.Emitter(0)->X, 3.0f);
  EXPECT_EQ(form.FCoverRect.Left, INT32_MAX);
}
