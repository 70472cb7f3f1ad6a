// Stroke arithmetic: where the emitters of a drawn stroke go and how bright.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "FlameDisplay.h"
#include "FlameEngine.h"
#include "Stroke.h"

namespace {

struct TAdded {
  int32_t Intensity;
  float X, Y;
};

struct Recorder {
  std::vector<TAdded> Points;
  TStrokeSink Sink() {
    return [this](int32_t I, float X, float Y) { Points.push_back({I, X, Y}); };
  }
};

TEST(Stroke, NoPointIsTheSingleNearestTo3_4e38) {
  EXPECT_EQ(NoPoint, static_cast<float>(3.4e38));
  EXPECT_LT(NoPoint, std::numeric_limits<float>::max());
  EXPECT_EQ(TArtPoint{}.X, NoPoint);
}

TEST(Stroke, IntensityFollowsTheModifiers) {
  EXPECT_EQ(StrokeIntensity(false, false), 256);
  EXPECT_EQ(StrokeIntensity(true, false), 128);
  EXPECT_EQ(StrokeIntensity(false, true), 64);
  EXPECT_EQ(StrokeIntensity(true, true), 128);
}

TEST(Stroke, SpacingIsHalfOfThicknessPlusTwoAndAtLeastOne) {
  EXPECT_FLOAT_EQ(StrokeSpacing(15), 8.5f);
  EXPECT_FLOAT_EQ(StrokeSpacing(0), 1.0f);
  EXPECT_FLOAT_EQ(StrokeSpacing(-5), 1.0f);
  EXPECT_FLOAT_EQ(StrokeSpacing(std::nanf("")), 1.0f);
  EXPECT_FLOAT_EQ(StrokeSpacing(INFINITY), 1.0f);
}

TEST(Stroke, ScreenToArtSubtractsTheOriginAsSingles) {
  const TArtPoint P = ScreenToArt(100, 50, 960.5f, 540.0f);
  EXPECT_EQ(P.X, -860.5f);
  EXPECT_EQ(P.Y, -490.0f);
  // A large coordinate minus a fractional origin: formed exactly, rounded once.
  const TArtPoint Q = ScreenToArt(16777217, 0, 0.5f, 0);
  EXPECT_EQ(Q.X, static_cast<float>(16777216.5));
}

TEST(Stroke, PressAddsExactlyOneEmitterAtThePressPoint) {
  TStroke S;
  Recorder R;
  S.FLastPoint = {3, 4}; // left over from an earlier stroke: no gap filling from it
  S.Press({100, 100}, 256, 15, R.Sink());
  ASSERT_EQ(R.Points.size(), 1u);
  EXPECT_EQ(R.Points[0].X, 100);
  EXPECT_EQ(R.Points[0].Y, 100);
  EXPECT_TRUE(S.FDrawing);
}

TEST(Stroke, TenPixelsWithThickness15AddsOneBetweenAndOneAtTheEnd) {
  TStroke S;
  Recorder R;
  S.Press({0, 0}, 256, 15, R.Sink());
  S.Move({10, 0}, 256, 15, R.Sink());
  ASSERT_EQ(R.Points.size(), 3u);
  EXPECT_FLOAT_EQ(R.Points[1].X, 5);
  EXPECT_NEAR(R.Points[1].Y, 0, 1e-5); // the angle pi is held as a single
  EXPECT_EQ(R.Points[2].X, 10);
  EXPECT_EQ(R.Points[2].Y, 0);
  EXPECT_EQ(S.FLastPoint.X, 10);
}

TEST(Stroke, ShortMoveAddsOnlyTheNewPoint) {
  TStroke S;
  Recorder R;
  S.Press({0, 0}, 256, 15, R.Sink());
  S.Move({4, 0}, 256, 15, R.Sink()); // 4 / 8.5 rounds to 0
  ASSERT_EQ(R.Points.size(), 2u);
  EXPECT_EQ(R.Points[1].X, 4);
}

TEST(Stroke, MoveToTheSamePositionAddsAnotherEmitterThere) {
  TStroke S;
  Recorder R;
  S.Press({7, 9}, 256, 15, R.Sink());
  S.Move({7, 9}, 256, 15, R.Sink());
  ASSERT_EQ(R.Points.size(), 2u);
  EXPECT_EQ(R.Points[1].X, 7);
  EXPECT_EQ(R.Points[1].Y, 9);
}

TEST(Stroke, GapCountRoundsHalvesToEven) {
  // Spacing 1 (thickness 0): n = round(dist), ties to even.
  const struct {
    float Dist;
    size_t Between;
  } Cases[] = {{0.5f, 0}, {1.5f, 2}, {2.5f, 2}, {3.5f, 4}, {3.49f, 3}};
  for (const auto& C : Cases) {
    TStroke S;
    Recorder R;
    S.Press({0, 0}, 256, 0, R.Sink());
    S.Move({C.Dist, 0}, 256, 0, R.Sink());
    EXPECT_EQ(R.Points.size(), C.Between + 2) << "distance " << C.Dist;
  }
}

TEST(Stroke, GapPointsLieEvenlyOnTheSegmentInEveryDirection) {
  const TArtPoint Ends[] = {{40, 0},  {-40, 0},  {0, 40},   {0, -40},
                            {30, 40}, {-30, 40}, {30, -40}, {-30, -40}};
  for (const TArtPoint& End : Ends) {
    TStroke S;
    Recorder R;
    const TArtPoint Start{100, 200};
    const TArtPoint P{Start.X + End.X, Start.Y + End.Y};
    S.Press(Start, 256, 8, R.Sink()); // spacing 5
    S.Move(P, 256, 8, R.Sink());
    const float Dist = std::hypot(End.X, End.Y);
    const long N = std::lrint(Dist / 5.0);
    ASSERT_EQ(R.Points.size(), static_cast<size_t>(N + 2)) << End.X << "," << End.Y;
    const float Step = Dist / static_cast<float>(N + 1);
    for (long i = 1; i <= N; ++i) {
      const float t = Step * static_cast<float>(i) / Dist;
      EXPECT_NEAR(R.Points[i].X, Start.X + End.X * t, 1e-3) << End.X << "," << End.Y << " #" << i;
      EXPECT_NEAR(R.Points[i].Y, Start.Y + End.Y * t, 1e-3) << End.X << "," << End.Y << " #" << i;
    }
    EXPECT_EQ(R.Points.back().X, P.X);
    EXPECT_EQ(R.Points.back().Y, P.Y);
  }
}

TEST(Stroke, NothingIsAddedWithoutAPressOrAfterRelease) {
  TStroke S;
  Recorder R;
  S.Move({5, 5}, 256, 15, R.Sink());
  EXPECT_TRUE(R.Points.empty());
  S.Press({0, 0}, 256, 15, R.Sink());
  S.Release();
  S.Move({50, 0}, 256, 15, R.Sink());
  EXPECT_EQ(R.Points.size(), 1u);
  EXPECT_FALSE(S.FDrawing);
}

class StrokeEngine : public ::testing::Test {
protected:
  void SetUp() override {
    Form.OriginX = 500;
    Form.OriginY = 300;
    Form.FMaxCount = 10000;
    Form.FStyle.Thickness = 15;
  }
  TSurfaceDisplay Display;
  TPartForm Form{Display};
  TStroke Stroke;
};

TEST_F(StrokeEngine, HoveringMovesTheAttractorAndAddsNothing) {
  StrokeMove(Form, Stroke, 520, 310, false, false);
  EXPECT_EQ(Form.FEmitters.Count, 0);
  EXPECT_EQ(Form.FAttractor.X, 20);
  EXPECT_EQ(Form.FAttractor.Y, 10);
  EXPECT_EQ(Form.FAttractor.Z, 0);
  EXPECT_EQ(Form.FAttractor.W, 0);
}

TEST_F(StrokeEngine, StrokeAddsEmittersInArtCoordinatesWithTheModifierIntensity) {
  StrokePress(Form, Stroke, 500, 300, false, true); // Shift
  StrokeMove(Form, Stroke, 510, 300, true, true);   // Ctrl+Shift
  ASSERT_EQ(Form.FEmitters.Count, 3);
  EXPECT_EQ(Form.Emitter(0)->X, 0);
  EXPECT_EQ(Form.Emitter(0)->BaseAlpha, 64);
  EXPECT_FLOAT_EQ(Form.Emitter(1)->X, 5);
  EXPECT_EQ(Form.Emitter(1)->BaseAlpha, 128);
  EXPECT_EQ(Form.Emitter(2)->X, 10);
  EXPECT_EQ(Form.Emitter(2)->Y, 0);
  EXPECT_EQ(Form.FAttractor.X, 10);
  // The emitters follow the shared style.
  EXPECT_FALSE(Form.Emitter(2)->HasOwnStyle());
}

TEST_F(StrokeEngine, SpacingFollowsTheEngineThickness) {
  Form.FStyle.Thickness = 0; // spacing 1: 10 pixels give 10 between
  StrokePress(Form, Stroke, 500, 300, false, false);
  StrokeMove(Form, Stroke, 510, 300, false, false);
  EXPECT_EQ(Form.FEmitters.Count, 12);
}

} // namespace
