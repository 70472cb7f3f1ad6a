// The palette of a GIF frame.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "MedianCut.h"

namespace {

int LargestError(TMedianCut& Cut, const std::vector<TPaletteColor>& Pixels) {
  int worst = 0;
  for (const TPaletteColor& p : Pixels) {
    const TPaletteColor& e = Cut.Colors()[Cut.Index(p.R, p.G, p.B)];
    worst = std::max({worst, std::abs(e.R - p.R), std::abs(e.G - p.G), std::abs(e.B - p.B)});
  }
  return worst;
}

} // namespace

TEST(MedianCut, FewColoursAreKeptExactly) {
  // Neighbours that share a histogram cell must still stay apart.
  const std::vector<TPaletteColor> pixels = {{0, 0, 0},     {1, 0, 0},    {255, 128, 7},
                                             {255, 129, 7}, {16, 32, 48}, {0, 0, 0}};
  TMedianCut cut;
  for (const TPaletteColor& p : pixels)
    cut.Add(p.R, p.G, p.B);
  cut.Build(255);
  EXPECT_EQ(cut.Colors().size(), 5u);
  EXPECT_EQ(LargestError(cut, pixels), 0);
}

TEST(MedianCut, ManyColoursAreCloselyMatched) {
  // A flame-like ramp, dark red to white, with noise: far more colours than entries.
  std::vector<TPaletteColor> pixels;
  srand(7);
  for (int i = 0; i < 20000; ++i) {
    const int t = i % 766, n = rand() % 9 - 4;
    const auto c = [&](int v) { return uint8_t(std::clamp(v + n, 0, 255)); };
    pixels.push_back(
        {c(std::min(t, 255)), c(std::clamp(t - 255, 0, 255)), c(std::max(t - 510, 0))});
  }
  TMedianCut cut;
  for (const TPaletteColor& p : pixels)
    cut.Add(p.R, p.G, p.B);
  cut.Build(255);
  EXPECT_LE(cut.Colors().size(), 255u);
  EXPECT_LE(LargestError(cut, pixels), 12);

  // After Reset the next frame starts from nothing.
  cut.Reset();
  cut.Add(9, 9, 9);
  cut.Build(255);
  ASSERT_EQ(cut.Colors().size(), 1u);
  EXPECT_EQ(cut.Colors()[0], (TPaletteColor{9, 9, 9}));
}
