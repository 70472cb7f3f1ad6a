// The visible part of a surface as banded rectangles (the input region of a
// solid flame window).
#include "AlphaRegion.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A surface from a picture: '#' opaque-ish pixel (alpha 1), '.' alpha 0 with
// colour bytes set (only alpha counts).
struct TPicture {
  int32_t W, H, Stride;
  std::vector<uint8_t> Bytes;
  explicit TPicture(const std::vector<std::string>& Rows)
      : W(int32_t(Rows[0].size())), H(int32_t(Rows.size())), Stride(W * 4 + 8),
        Bytes(std::size_t(Stride) * H, 0x7F) {
    for (int32_t Y = 0; Y < H; ++Y)
      for (int32_t X = 0; X < W; ++X)
        Bytes[std::size_t(Y) * Stride + X * 4 + 3] = Rows[Y][X] == '#' ? 1 : 0;
  }
  std::vector<TRegionRect> Region(int32_t Cell, std::size_t Max = 1000,
                                  bool* Overflow = nullptr) const {
    return OpaqueRegion(Bytes.data(), W, H, Stride, Cell, Max, Overflow);
  }
};

using R = TRegionRect;

TEST(OpaqueRegion, RunsPerBandAndEqualRowsMerge) {
  const TPicture P({
      "..##..#",
      "..##..#",
      ".......",
      "#######",
      "#.....#",
  });
  EXPECT_EQ(P.Region(1),
            (std::vector<R>{{2, 0, 2, 2}, {6, 0, 1, 2}, {0, 3, 7, 1}, {0, 4, 1, 1}, {6, 4, 1, 1}}));
}

TEST(OpaqueRegion, CoarseCellsCoverEveryVisiblePixel) {
  const TPicture P({
      ".....",
      "...#.",
      ".....",
      ".....",
      "#....",
  });
  // 2 x 2 cells: the pixel (3, 1) lights cell (1, 0), (0, 4) the clipped cell (0, 2).
  EXPECT_EQ(P.Region(2), (std::vector<R>{{2, 0, 2, 2}, {0, 4, 2, 1}}));
}

TEST(OpaqueRegion, EmptyPicturesAndOverflow) {
  const TPicture Clear({"....", "...."});
  EXPECT_TRUE(Clear.Region(1).empty());
  EXPECT_TRUE(OpaqueRegion(nullptr, 4, 4, 16, 1, 10).empty());
  EXPECT_TRUE(OpaqueRegion(Clear.Bytes.data(), 0, 2, 16, 1, 10).empty());

  const TPicture Checker({"#.#.#.", ".#.#.#", "#.#.#."});
  bool Overflow = false;
  EXPECT_EQ(Checker.Region(1, 9, &Overflow).size(), 9u);
  EXPECT_FALSE(Overflow);
  EXPECT_TRUE(Checker.Region(1, 8, &Overflow).empty());
  EXPECT_TRUE(Overflow);
  EXPECT_EQ(Checker.Region(3, 8, &Overflow), (std::vector<R>{{0, 0, 6, 3}}));
  EXPECT_FALSE(Overflow);
}

} // namespace
