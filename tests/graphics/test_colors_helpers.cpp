// Numeric, rectangle and memory helpers.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <numeric>
#include <vector>

#include "Numerics.h"
#include "Rects.h"

namespace {

constexpr int32_t kMinI = std::numeric_limits<int32_t>::min();
constexpr int32_t kMaxI = std::numeric_limits<int32_t>::max();

TEST(Numerics, MulDivTruncTable) {
  const int32_t cases[][4] = {
      {7, 3, 2, 10},
      {-7, 3, 2, -10}, // towards zero, not down
      {7, -3, -2, 10},
      {1 << 30, 4, 8, 1 << 29}, // the product needs 64 bits
      {kMaxI, kMaxI, kMaxI, kMaxI},
      {kMinI, 1, -1, kMaxI}, // quotient 2^31 saturates instead of trapping
      {kMaxI, 2, 1, kMaxI},
      {kMinI, 2, 1, kMinI},
      {5, 6, 0, kMaxI}, // division by zero: the product's sign decides
      {-5, 6, 0, kMinI},
      {0, 6, 0, 0},
  };
  for (const auto& c : cases)
    EXPECT_EQ(MulDivTrunc(c[0], c[1], c[2]), c[3]) << c[0] << "*" << c[1] << "/" << c[2];
}

TEST(Numerics, ShiftRightArithFloors) {
  EXPECT_EQ(ShiftRightArith(-5, 1), -3);
  EXPECT_EQ(ShiftRightArith(5, 1), 2);
  EXPECT_EQ(ShiftRightArith(-256, 8), -1);
  EXPECT_EQ(ShiftRightArith(-1, 31), -1);
  EXPECT_EQ(ShiftRightArith(-1, 40), -1);
  EXPECT_EQ(ShiftRightArith(kMaxI, 40), 0);
  EXPECT_EQ(ShiftRightArith(12, 0), 12);
  EXPECT_EQ(ShiftRightArith(12, -3), 12);
}

TEST(Numerics, RoundHalfEvenMatchesNearbyint) {
  const double inf = std::numeric_limits<double>::infinity();
  for (double x : {0.0,
                   0.5,
                   1.5,
                   2.5,
                   -0.5,
                   -1.5,
                   -2.5,
                   0.49999999999999994,
                   1e-300,
                   -1e-300,
                   1234.5,
                   -1234.5,
                   1234.5000001,
                   4503599627370495.5,
                   4503599627370497.0,
                   2251799813685247.5,
                   -2251799813685247.5,
                   2251799813685248.0,
                   1e300,
                   -1e300,
                   inf,
                   -inf})
    EXPECT_EQ(RoundHalfEven(x), std::nearbyint(x) + 0.0) << x; // + 0.0: the sign of zero may differ
  EXPECT_TRUE(std::isnan(RoundHalfEven(std::nan(""))));
}

TEST(Rects, OffsetAndInflate) {
  TRect r{1, 2, 10, 20};
  EXPECT_TRUE(OffsetRect(r, -3, 5));
  EXPECT_EQ(r, (TRect{-2, 7, 7, 25}));
  EXPECT_TRUE(InflateRect(r, 2, -3));
  EXPECT_EQ(r, (TRect{-4, 10, 9, 22}));
  // Shrinking past empty inverts the rectangle, as the window system's does.
  InflateRect(r, -10, 0);
  EXPECT_EQ(r, (TRect{6, 10, -1, 22}));
  EXPECT_TRUE(IsRectEmpty(r));
  // Coordinates wrap rather than overflow.
  TRect big{0, 0, kMaxI, 1};
  OffsetRect(big, 1, 0);
  EXPECT_EQ(big.Right, kMinI);
  InflateRect(big, kMinI, 0);
  EXPECT_EQ(big.Left, kMinI + 1);
}

TEST(Rects, EmptyAndOverlap) {
  EXPECT_TRUE(IsRectEmpty(TRect{}));
  EXPECT_TRUE(IsRectEmpty(TRect{0, 0, 5, 0}));
  EXPECT_TRUE(IsRectEmpty(TRect{5, 0, 4, 9}));
  EXPECT_FALSE(IsRectEmpty(TRect{0, 0, 1, 1}));
  const TRect a{0, 0, 10, 10};
  const struct {
    TRect B;
    bool Overlap;
  } cases[] = {
      {{5, 5, 15, 15}, true},
      {{2, 2, 3, 3}, true},
      {{-5, -5, 20, 20}, true},
      {{10, 0, 20, 10}, false}, // edges touching share no pixel
      {{0, 10, 10, 20}, false},
      {{-5, 0, 0, 10}, false},
      // Plain edge comparison: a zero-width line strictly inside still counts.
      {{3, 3, 3, 8}, true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(RectsOverlap(a, c.B), c.Overlap)
        << c.B.Left << "," << c.B.Top << "," << c.B.Right << "," << c.B.Bottom;
    EXPECT_EQ(RectsOverlap(c.B, a), c.Overlap);
  }
}

} // namespace
