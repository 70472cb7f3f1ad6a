// The slider's third-order smoothing filter.

#include <gtest/gtest.h>

#include "SmoothingFilter.h"

TEST(SmoothingFilter, StepSettlesInTheGivenTicksWithoutOvershoot) {
  for (int ticks : {1, 2, 5, 10, 42, 400}) {
    TSmoothingFilter f;
    f.Setup(ticks);
    f.Reset(0.0);
    double previous = 0.0;
    for (int i = 1; i <= ticks; ++i) {
      const double y = f.Next(1.0);
      EXPECT_GE(y, previous) << ticks;
      EXPECT_LE(y, 1.0) << ticks;
      if (i == ticks - 1) {
        EXPECT_LT(y, 0.999) << ticks;
      }
      if (i == ticks) {
        EXPECT_GE(y, 0.999 - 1e-12) << ticks;
      }
      previous = y;
    }
  }
}

TEST(SmoothingFilter, ResetHoldsAValueAndDegenerateTimesStillSettle) {
  TSmoothingFilter f;
  f.Setup(0.0); // no time at all: the first tick arrives
  f.Reset(7.0);
  EXPECT_DOUBLE_EQ(f.Next(7.0), 7.0);
  EXPECT_NEAR(f.Next(100.0), 100.0, 0.1);
  f.Setup(1e12); // absurdly long: bounded, still moving
  f.Reset(0.0);
  const double y = f.Next(1.0);
  EXPECT_GT(f.Coefficient(), 0.0);
  EXPECT_GE(y, 0.0);
}
