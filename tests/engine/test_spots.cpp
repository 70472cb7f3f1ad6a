#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <vector>

#include "EngineTestSupport.h"

namespace {

// Byte i of pixel (x, y).
int ByteAt(const TDIB& s, int32_t x, int32_t y, int i) {
  return int((s.GetPixel32(x, y) >> (8 * i)) & 0xFF);
}

} // namespace

// A 12 x 12 render area with the origin at its top-left; no fading (all lanes
// 0 clear the area first), no blur, no motion. Spots of Thickness 0 and no
// wildness have radius 2 whatever the random draws.
class Spots : public EngineTest {
protected:
  void SetUp() override {
    EngineTest::SetUp();
    UseSurface(display, 12, 12);
    form.FFadeFactors = 0;
    form.FStyle = TEmitterStyle{0, 0, 0, 0xFFFFFFFFu, 256, false};
  }
  // The first draw of the next spot gives k = 255: a = 255 at full intensity,
  // so the colour 0xFFFFFFFF is added as 254 in every byte.
  void FullIntensityNext() { RandSeed = SeedBefore(0xFFFFFFFFu); }
  const TDIBmp& S() const { return display.FSurface; }
};

TEST_F(Spots, ConeAndFatLevelsAtAnEvenPosition) {
  struct Case {
    bool fat;
    std::array<int, 3> levels; // centre, edge neighbour, diagonal neighbour
  };
  const Case cases[] = {{false, {256, 128, 75}}, {true, {256, 181, 138}}};
  for (const Case& c : cases) {
    form.FStyle.Fat = c.fat;
    form.FEmitters.Reset();
    form.AddEmitter(nullptr, 256, 4, 6);
    FullIntensityNext();
    form.Render();
    // c byte 254 at level v adds (254 * v) >> 8; level 256 adds 254 in full.
    auto added = [](int level) { return level >= 256 ? 254 : (254 * level) >> 8; };
    for (int i = 0; i < 4; ++i) {
      EXPECT_EQ(ByteAt(S(), 4, 6, i), 254) << c.fat;
      EXPECT_EQ(ByteAt(S(), 3, 6, i), added(c.levels[1])) << c.fat;
      EXPECT_EQ(ByteAt(S(), 5, 6, i), added(c.levels[1])) << c.fat;
      EXPECT_EQ(ByteAt(S(), 4, 5, i), added(c.levels[1])) << c.fat;
      EXPECT_EQ(ByteAt(S(), 4, 7, i), added(c.levels[1])) << c.fat;
      for (auto [x, y] : {std::pair{3, 5}, {5, 5}, {3, 7}, {5, 7}})
        EXPECT_NEAR(ByteAt(S(), x, y, i), added(c.levels[2]), c.fat ? 1 : 0)
            << c.fat << " " << x << "," << y;
    }
    // Box B = (3, 5, 6, 8): nothing outside it.
    for (int32_t y = 0; y < 12; ++y)
      for (int32_t x = 0; x < 12; ++x)
        if (x < 3 || x > 5 || y < 5 || y > 7) {
          EXPECT_EQ(S().GetPixel32(x, y), 0u) << c.fat << " " << x << "," << y;
        }
  }
}

TEST_F(Spots, WorkBufferEndsWithTheLevelsOfTheLastBox) {
  // At an even position B = (px - 1, py - 1, px + 2, py + 2): three by three,
  // the rows laid out with the box width. At an odd one it is five wide.
  struct Case {
    float x;
    bool fat;
    std::vector<int32_t> levels;
  };
  const Case cases[] = {
      {4, false, {75, 128, 75, 128, 256, 128, 75, 128, 75}},
      {4, true, {138, 181, 138, 181, 256, 181, 138, 181, 138}},
      {5,
       false,
       {-30, 75, 128, 75, -30, 0, 128, 256, 128, 0, -30, 75, 128, 75, -30}}, // odd x: five wide
  };
  for (const Case& c : cases) {
    form.FStyle.Fat = c.fat;
    form.FEmitters.Reset();
    form.AddEmitter(nullptr, 256, c.x, 6);
    FullIntensityNext();
    form.Render();
    std::vector<int32_t> levels(c.levels.size());
    std::memcpy(levels.data(), form.FSpotBuf.data(), levels.size() * sizeof(int32_t));
    if (c.fat) {
      // The diagonal may be 138 or 139 with a less exact square root.
      for (size_t i : {0u, 2u, 6u, 8u})
        if (levels[i] == 139)
          levels[i] = 138;
    }
    EXPECT_EQ(levels, c.levels) << c.x << " " << c.fat;
  }
}

TEST_F(Spots, OddPositionGivesAFivePixelBoxWhoseRimGetsNoLight) {
  for (bool fat : {false, true}) {
    form.FStyle.Fat = fat;
    form.FEmitters.Reset();
    form.AddEmitter(nullptr, 256, 5, 5);
    FullIntensityNext();
    form.Render();
    EXPECT_EQ(ByteAt(S(), 5, 5, 0), 254);
    // Pixels at distance 2 (the box's outer columns and rows) have level 0.
    EXPECT_EQ(S().GetPixel32(3, 5), 0u) << fat;
    EXPECT_EQ(S().GetPixel32(7, 5), 0u) << fat;
    EXPECT_EQ(S().GetPixel32(5, 3), 0u) << fat;
    EXPECT_EQ(S().GetPixel32(5, 7), 0u) << fat;
    EXPECT_EQ(ByteAt(S(), 4, 5, 0), fat ? (254 * 181) >> 8 : 127);
  }
}

TEST_F(Spots, TheOutermostRingIsNeverDrawn) {
  const std::pair<float, float> positions[] = {{1, 1}, {10, 10}, {10, 1},  {1, 10},
                                               {6, 0}, {11, 6},  {0.4f, 5}};
  for (auto [px, py] : positions) {
    form.FEmitters.Reset();
    form.AddEmitter(nullptr, 256, px, py);
    FullIntensityNext();
    form.Render();
    int lit = 0;
    for (int32_t y = 0; y < 12; ++y)
      for (int32_t x = 0; x < 12; ++x) {
        const bool ring = x == 0 || y == 0 || x == 11 || y == 11;
        if (ring) {
          EXPECT_EQ(S().GetPixel32(x, y), 0u) << px << "," << py << " at " << x << "," << y;
        } else {
          lit += S().GetPixel32(x, y) != 0;
        }
      }
    EXPECT_GT(lit, 0) << px << "," << py;
    EXPECT_EQ(display.FSurface.ClipRect, (TRect{0, 0, 12, 12})); // restored
  }
}

TEST_F(Spots, ClipRingKeepsTheCentreOfACutSpot) {
  form.AddEmitter(nullptr, 256, 1, 1);
  FullIntensityNext();
  form.Render();
  EXPECT_EQ(ByteAt(S(), 1, 1, 3), 254);
  EXPECT_EQ(ByteAt(S(), 2, 1, 3), 127);
  EXPECT_EQ(S().GetPixel32(0, 1), 0u);
}

TEST_F(Spots, OverlappingSpotsAddAndSaturate) {
  form.FStyle.Color = 0xFF808080u;
  form.AddEmitter(nullptr, 256, 4, 4);
  form.AddEmitter(nullptr, 256, 4, 4);
  // The first spot's intensity draw gives k = 255; it spends three more draws,
  // and the fifth is the second spot's intensity.
  FullIntensityNext();
  uint32_t seed = 0xFFFFFFFFu;
  for (int i = 0; i < 4; ++i)
    seed = seed * 134775813u + 1u;
  const uint32_t k2 = uint32_t((uint64_t(seed) * 256) >> 32);
  ASSERT_GT(k2, 0u);
  form.Render();
  // Colour bytes 0x80 at a = 255 give 127, alpha 0xFF gives 254; the second
  // spot adds its own share on top, stopping at 255.
  EXPECT_EQ(ByteAt(S(), 4, 4, 0), std::min(255u, 127 + ((0x80 * k2) >> 8)));
  EXPECT_EQ(ByteAt(S(), 4, 4, 3), 255);
}

TEST_F(Spots, SpotsAddToWhatTheFadeLeft) {
  form.FFadeFactors = MakeLaneFactors(255, 255, 255, 255);
  *display.FSurface.PixelAddress(4, 4) = 0x80808080u; // faded once to 0x7F
  *display.FSurface.PixelAddress(3, 4) = 0x80808080u;
  form.AddEmitter(nullptr, 256, 4, 4);
  FullIntensityNext();
  form.Render();
  EXPECT_EQ(S().GetPixel32(4, 4), 0xFFFFFFFFu);
  EXPECT_EQ(S().GetPixel32(3, 4), 0xFEFEFEFEu); // 0x7F + 127
}

TEST_F(Spots, AdditiveColourLeavesAlphaAlone) {
  form.FStyle.Color = 0x00FF8040u; // alpha byte 0
  form.AddEmitter(nullptr, 256, 4, 4);
  FullIntensityNext();
  form.Render();
  EXPECT_EQ(S().GetPixel32(4, 4), 0x00FE7F3Fu); // each byte * 255 >> 8
  for (int32_t y = 0; y < 12; ++y)
    for (int32_t x = 0; x < 12; ++x)
      EXPECT_EQ(ByteAt(S(), x, y, 3), 0);
}

TEST_F(Spots, DrawsPerEmitterDependOnTheIntensity) {
  struct Case {
    int32_t maxAlpha;
    int32_t intensity;
    int draws;
  };
  const Case cases[] = {
      {0, 256, 1}, // MaxAlpha 0: k = 0, one draw, nothing drawn
      {1, 256, 1}, // MaxAlpha 1: k is always 0
      {256, 0, 1}, // intensity 0
  };
  for (const Case& c : cases) {
    form.FEmitters.Reset();
    form.FStyle.MaxAlpha = c.maxAlpha;
    form.AddEmitter(nullptr, c.intensity, 4, 4);
    UseSurface(display, 12, 12);
    uint32_t seed = 12345;
    RandSeed = seed;
    form.Render();
    for (int i = 0; i < c.draws; ++i)
      seed = seed * 134775813u + 1u;
    EXPECT_EQ(RandSeed, seed) << c.maxAlpha << " " << c.intensity;
    EXPECT_EQ(S().GetPixel32(4, 4), 0u);
  }
  // A drawing spot spends four draws, also when its box misses the surface.
  for (float x : {4.0f, 400.0f}) {
    form.FEmitters.Reset();
    form.FStyle.MaxAlpha = 256;
    form.AddEmitter(nullptr, 256, x, 4);
    RandSeed = SeedBefore(0xFFFFFFFFu);
    form.Render();
    uint32_t seed = 0xFFFFFFFFu;
    for (int i = 0; i < 3; ++i)
      seed = seed * 134775813u + 1u;
    EXPECT_EQ(RandSeed, seed) << x;
  }
}

TEST_F(Spots, ThicknessAndWildnessPlaceTheSpotFromTheDraws) {
  // Draws: k, then r = draw * Thickness + 2, phi = draw * 2pi, m = draw; the
  // centre lies at (sin phi * m * XWildness, cos phi * m * YWildness) from the
  // emitter.
  UseSurface(display, 24, 24);
  form.FStyle = TEmitterStyle{4, 4, 4, 0xFFFFFFFFu, 256, false};
  form.AddEmitter(nullptr, 256, 8, 8);
  // Only the first draw is chosen (k = 255); the radius, angle and reach follow
  // from it.
  RandSeed = SeedBefore(0xFFFFFFFFu);
  uint32_t s = 0xFFFFFFFFu;
  double r[3];
  for (double& v : r) {
    s = s * 134775813u + 1u;
    v = double(s) / 4294967296.0;
  }
  form.Render();
  const float radius = float(r[0] * 4.0 + 2.0);
  const float phi = float(r[1] * double(6.2831855f));
  const float cx = float(double(float(std::sin(double(phi)))) * r[2] * 4.0 + 8.0);
  const float cy = float(double(float(std::cos(double(phi)))) * r[2] * 4.0 + 8.0);
  // The brightest pixel is the one nearest the centre, and nothing lies
  // farther than the radius.
  int32_t bx = -1, by = -1, best = -1;
  for (int32_t y = 0; y < 24; ++y)
    for (int32_t x = 0; x < 24; ++x) {
      const int v = ByteAt(S(), x, y, 3);
      const float d = std::hypot(float(x) - cx, float(y) - cy);
      if (d >= radius) {
        EXPECT_EQ(v, 0) << x << "," << y;
      }
      if (v > best) {
        best = v;
        bx = x;
        by = y;
      }
    }
  EXPECT_EQ(bx, int32_t(std::nearbyint(cx)));
  EXPECT_EQ(by, int32_t(std::nearbyint(cy)));
}

TEST_F(Spots, WorkBuffersGrowForHugeSpots) {
  UseSurface(display, 300, 300);
  form.FStyle = TEmitterStyle{400, 0, 0, 0xFFFFFFFFu, 256, false};
  form.AddEmitter(nullptr, 256, 150, 150);
  // k = 255, then r from the next draw; the box is cut to the surface.
  RandSeed = SeedBefore(0xFFFFFFFFu);
  uint32_t s = 0xFFFFFFFFu * 134775813u + 1u;
  const float radius = float(double(s) / 4294967296.0 * 400.0 + 2.0);
  ASSERT_GT(radius, 70.0f); // a box above 16384 pixels
  form.Render();
  EXPECT_GT(form.FSpotBuf.size(), 16384u);
  EXPECT_EQ(form.FSpotBuf.size(), form.FSpotTmp.size());
  EXPECT_EQ(ByteAt(S(), 150, 150, 3), 254);
  // Along the row through the centre the cone falls off monotonically.
  for (int32_t x = 151; x < 299; ++x)
    EXPECT_LE(ByteAt(S(), x, 150, 3), ByteAt(S(), x - 1, 150, 3));
}

TEST_F(Spots, SameSeedSameFrames) {
  UseSurface(display, 40, 40);
  form.FStyle = TEmitterStyle{6, 5, 3, 0xFFE0A040u, 200, false};
  form.FFadeFactors = MakeLaneFactors(200, 220, 240, 245);
  form.FYMotion = -1;
  for (int i = 0; i < 5; ++i)
    form.AddEmitter(nullptr, 256, float(5 + 6 * i), 20);
  auto run = [&] {
    UseSurface(display, 40, 40);
    RandSeed = 777;
    for (int f = 0; f < 10; ++f)
      form.Render();
    std::vector<uint32_t> pixels;
    for (int32_t y = 0; y < 40; ++y)
      for (int32_t x = 0; x < 40; ++x)
        pixels.push_back(S().GetPixel32(x, y));
    return pixels;
  };
  const auto first = run();
  const auto second = run();
  EXPECT_EQ(first, second);
  int lit = 0;
  for (uint32_t p : first)
    lit += p != 0;
  EXPECT_GT(lit, 50);
}
