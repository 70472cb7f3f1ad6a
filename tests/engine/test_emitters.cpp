#include <bit>
#include <string>
#include <vector>

#include "EngineTestSupport.h"

using Emitters = EngineTest;

TEST_F(Emitters, AddEmitterSetsTheRecordAndTheAttractor) {
  form.FStyle.Thickness = 7;
  TEmitter* e = form.AddEmitter(nullptr, 128, 12.5f, -3.0f);
  EXPECT_EQ(e->X, 12.5f);
  EXPECT_EQ(e->Y, -3.0f);
  EXPECT_EQ(e->Z, 0.0f);
  EXPECT_EQ(e->W, 0.0f);
  EXPECT_EQ(e->Fall, 0.0f);
  EXPECT_EQ(std::bit_cast<uint32_t>(e->Life), std::bit_cast<uint32_t>(ImmortalLife));
  EXPECT_EQ(e->BaseAlpha, 128);
  EXPECT_EQ(e->Alpha, 128 * 256);
  EXPECT_EQ(e->Style, &form.FStyle); // shared: follows later changes
  EXPECT_EQ(form.FAttractor.X, 12.5f);
  EXPECT_EQ(form.FAttractor.Y, -3.0f);
  EXPECT_TRUE(form.FChanged);
  EXPECT_EQ(form.FEmitters.Count, 1);
  EXPECT_EQ(form.Emitter(0), e);
}

TEST_F(Emitters, IntensityIsKeptInRange) {
  EXPECT_EQ(form.AddEmitter(nullptr, 5000, 0, 0)->Alpha, 65536);
  EXPECT_EQ(form.AddEmitter(nullptr, -3, 0, 0)->BaseAlpha, 0);
}

TEST_F(Emitters, OwnStyleIsACopyOfThePassedStyleOrOfTheSharedOne) {
  TEmitterStyle own;
  own.Thickness = 3;
  own.Color = 0xFF102030;
  TEmitter* e = form.AddEmitter(&own, 256, 0, 0);
  own.Thickness = 99;
  EXPECT_TRUE(e->HasOwnStyle());
  EXPECT_EQ(e->Style->Thickness, 3.0f);
  EXPECT_EQ(e->Style->Color, 0xFF102030u);

  form.FIndependent = true;
  form.FStyle.Thickness = 11;
  TEmitter* f = form.AddEmitter(nullptr, 256, 0, 0);
  form.FStyle.Thickness = 12;
  EXPECT_TRUE(f->HasOwnStyle());
  EXPECT_EQ(f->Style->Thickness, 11.0f);
}

TEST_F(Emitters, FiniteLifeIsUpToTenPercentLongerAndSpendsOneDraw) {
  form.FLifetime = 1000;
  RandSeed = SeedBefore(0x80000000u); // the draw is exactly 0.5
  TEmitter* e = form.AddEmitter(nullptr, 256, 0, 0);
  // 1000 + 0.5 * 1000 * single(0.1) = 1050.0000074505806, stored as a single.
  EXPECT_EQ(e->Life, float(1000.0 + 0.5 * 1000.0 * double(0.1f)));
  EXPECT_EQ(RandSeed, 0x80000000u);
  form.FLifetime = ImmortalLife;
  form.AddEmitter(nullptr, 256, 0, 0);
  EXPECT_EQ(RandSeed, 0x80000000u); // immortal emitters draw nothing
}

TEST_F(Emitters, FullListDropsTheOldestFirst) {
  form.FMaxCount = 10;
  for (int i = 0; i < 10; ++i)
    form.AddEmitter(nullptr, 256, float(i), 0);
  TEmitter* last = form.AddEmitter(nullptr, 256, 10, 0);
  ASSERT_EQ(form.FEmitters.Count, 10);
  EXPECT_EQ(form.Emitter(0)->X, 1.0f);
  EXPECT_EQ(form.Emitter(9), last);

  // A lowered maximum still drops one emitter per addition only.
  form.FMaxCount = 5;
  form.AddEmitter(nullptr, 256, 11, 0);
  EXPECT_EQ(form.FEmitters.Count, 10);
  EXPECT_EQ(form.Emitter(0)->X, 2.0f);
}

TEST_F(Emitters, AddingWithNoRoomSetYetDoesNotFail) {
  form.FMaxCount = 0; // as before the style is first applied
  form.AddEmitter(nullptr, 256, 0, 0);
  EXPECT_EQ(form.FEmitters.Count, 1);
  form.AddEmitter(nullptr, 256, 1, 0);
  ASSERT_EQ(form.FEmitters.Count, 1);
  EXPECT_EQ(form.Emitter(0)->X, 1.0f);
}

TEST_F(Emitters, GravityCountsTheDelayDownThenFallsFaster) {
  form.FGravity = 1;
  TEmitter* e = form.AddEmitter(nullptr, 256, 0, 100);
  e->Fall = -50;
  struct Pass {
    float fall, y;
  };
  const Pass passes[] = {{-17, 100}, {0, 100}, {1, 100}, {2, 101}, {3, 103}};
  for (const Pass& p : passes) {
    form.FChanged = false;
    form.Step(1);
    EXPECT_EQ(e->Fall, p.fall);
    EXPECT_EQ(e->Y, p.y);
    EXPECT_TRUE(form.FChanged);
  }
}

TEST_F(Emitters, WithoutGravityNothingFalls) {
  for (float gravity : {0.0f, -1.0f}) {
    form.FGravity = gravity;
    TEmitter* e = form.AddEmitter(nullptr, 256, 0, 100);
    e->Fall = -50;
    TEmitter* f = form.AddEmitter(nullptr, 256, 0, 100);
    f->Fall = 3;
    form.FChanged = false;
    form.Step(4);
    EXPECT_EQ(e->Fall, -50.0f);
    EXPECT_EQ(f->Fall, 3.0f);
    EXPECT_EQ(f->Y, 100.0f);
    EXPECT_FALSE(form.FChanged);
  }
}

TEST_F(Emitters, FallingBelowTheScreenDeletes) {
  form.FGravity = 0.5f;
  form.FStyle.Thickness = 15;
  TEmitter* stays = form.AddEmitter(nullptr, 256, 0, 554); // 555 is not below 540 + 15
  stays->Fall = 1;
  TEmitter* goes = form.AddEmitter(nullptr, 256, 1, 555);
  goes->Fall = 1;
  form.Step(1);
  ASSERT_EQ(form.FEmitters.Count, 1);
  EXPECT_EQ(form.Emitter(0), stays);
  EXPECT_EQ(stays->Y, 555.0f);
}

TEST_F(Emitters, AgeingFadesOutAndDeletes) {
  form.FFadeOutScale = 256.0f / 200.0f;
  form.FFrameTime = 33;
  TEmitter* e = form.AddEmitter(nullptr, 100, 0, 0);
  e->Life = 10;
  form.FChanged = false;
  form.Step(1);
  EXPECT_EQ(e->Life, -23.0f);
  EXPECT_EQ(e->Alpha, 100 * 227); // round(-23 * 1.28 + 256) = round(226.56)
  EXPECT_FALSE(form.FChanged);    // ageing alone needs no larger cover

  e->Life = -199.0f + 33.0f; // -199 after the step: round(1.28) = 1
  form.Step(1);
  ASSERT_EQ(form.FEmitters.Count, 1);
  EXPECT_EQ(e->Alpha, 100);
  e->Life = -200.0f + 33.0f; // -200: the level reaches 0
  form.Step(1);
  EXPECT_EQ(form.FEmitters.Count, 0);
}

TEST_F(Emitters, FadeLevelRoundsHalvesToEven) {
  form.FFadeOutScale = 1.0f;
  form.FFrameTime = 1;
  TEmitter* e = form.AddEmitter(nullptr, 1, 0, 0);
  e->Life = 0.5f; // -0.5 after the step: 255.5 rounds to 256
  form.Step(1);
  EXPECT_EQ(e->Alpha, 256);
  e->Life = -0.5f; // -1.5: 254.5 rounds to 254
  form.Step(1);
  EXPECT_EQ(e->Alpha, 254);
}

TEST_F(Emitters, ImmortalEmittersNeverAge) {
  form.FFadeOutScale = 1.28f;
  TEmitter* e = form.AddEmitter(nullptr, 256, 0, 0);
  for (int i = 0; i < 100; ++i)
    form.Step(50);
  EXPECT_EQ(std::bit_cast<uint32_t>(e->Life), std::bit_cast<uint32_t>(2147483648.0f));
  EXPECT_EQ(e->Alpha, 65536);
}

TEST_F(Emitters, AttractionMovesAFixedFractionOfTheDistance) {
  struct Case {
    float x, y, attraction, ex, ey;
  };
  // Attraction point at (10, 20); the emitter starts 100 pixels away.
  const Case cases[] = {
      {110, 20, 0.5f, 60, 20},  // right of it (dy = 0, dx < 0)
      {-90, 20, 0.5f, -40, 20}, // left of it (dy = 0, dx > 0)
      {10, 120, 0.5f, 10, 70},  // below it (dy < 0)
      {10, -80, 0.5f, 10, -30}, // above it (dy > 0)
      {70, 100, 1.0f, 10, 20},  // attraction 1 lands on the point
  };
  for (const Case& c : cases) {
    form.FEmitters.Reset();
    TEmitter* e = form.AddEmitter(nullptr, 256, c.x, c.y);
    form.FAttractor = TVector4{10, 20, 0, 0};
    form.FAttraction = c.attraction;
    form.Step(1);
    EXPECT_NEAR(e->X, c.ex, 1e-4) << c.x << "," << c.y;
    EXPECT_NEAR(e->Y, c.ey, 1e-4) << c.x << "," << c.y;
  }
}

TEST_F(Emitters, RepulsionSparesCloseEmittersAndDeletesOnesPushedOffScreen) {
  form.FAttraction = -0.01f;
  form.FStyle.Thickness = 15;
  TEmitter* close = form.AddEmitter(nullptr, 256, 1.5f, 0);
  TEmitter* edge = form.AddEmitter(nullptr, 256, 0, 2); // exactly 2 pixels: still spared
  TEmitter* near = form.AddEmitter(nullptr, 256, 0, 10);
  TEmitter* inside = form.AddEmitter(nullptr, 256, 974.5f, 0); // moves 0.103 to 974.6
  form.AddEmitter(nullptr, 256, 974.95f, 0);                   // crosses 960 + 15
  form.AddEmitter(nullptr, 256, 0, -2000);                     // far above the screen
  form.FAttractor = TVector4{};
  form.FChanged = false;
  form.Step(1);
  EXPECT_EQ(close->X, 1.5f); // within 2 pixels: left alone
  EXPECT_EQ(close->Y, 0.0f);
  EXPECT_EQ(edge->Y, 2.0f);
  // 1 / (10 * -0.01) = -10 towards the point: 10 pixels away from it.
  EXPECT_NEAR(near->X, 0.0f, 1e-5);
  EXPECT_NEAR(near->Y, 20.0f, 1e-4);
  EXPECT_NEAR(inside->X, 974.5f + 1.0f / 9.745f, 1e-3);
  ASSERT_EQ(form.FEmitters.Count, 4);
  EXPECT_EQ(form.Emitter(3), inside);
  EXPECT_TRUE(form.FChanged);
}

TEST_F(Emitters, SeveralTicksRunSeveralPassesButAgeOnce) {
  std::vector<std::string> captions;
  form.OnDebugCaption = [&](const std::string& s) { captions.push_back(s); };
  form.FDebug = true;
  form.FLifetime = 1000;
  form.FFadeOutScale = 1;
  TEmitter* e = form.AddEmitter(nullptr, 256, 100, 0);
  e->Life = 1000;
  form.FAttractor = TVector4{};
  form.FAttraction = 0.5f;
  form.Step(3);
  EXPECT_NEAR(e->X, 12.5f, 1e-4); // 100 -> 50 -> 25 -> 12.5
  EXPECT_EQ(e->Life, 1000.0f - 99.0f);
  ASSERT_EQ(captions.size(), 1u);
  EXPECT_EQ(captions[0], "Emitters: 1   Frame overflow: 2    Debug: 0");

  form.FDebug = false;
  form.Step(1);
  EXPECT_EQ(captions.size(), 1u); // no readout outside debug mode
}

TEST_F(Emitters, NoTicksRunNoPasses) {
  form.FAttraction = 0.5f;
  TEmitter* e = form.AddEmitter(nullptr, 256, 100, 0);
  form.FAttractor = TVector4{};
  form.Step(0);
  EXPECT_EQ(e->X, 100.0f);
}

TEST_F(Emitters, ArtBoundsWithAndWithoutEmitters) {
  TArtBounds none = form.GetArtBounds();
  EXPECT_TRUE(none.Empty());
  EXPECT_EQ(none.MinX, 2147483648.0f);
  EXPECT_EQ(none.MaxY, -2147483648.0f);
  form.AddEmitter(nullptr, 256, 5, -7);
  form.AddEmitter(nullptr, 256, -3, 9);
  form.AddEmitter(nullptr, 256, 1, 1);
  TArtBounds b = form.GetArtBounds();
  EXPECT_FALSE(b.Empty());
  EXPECT_EQ(b.MinX, -3.0f);
  EXPECT_EQ(b.MinY, -7.0f);
  EXPECT_EQ(b.MaxX, 5.0f);
  EXPECT_EQ(b.MaxY, 9.0f);
}
