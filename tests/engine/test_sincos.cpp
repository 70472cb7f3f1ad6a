// The run form of sine and cosine against the scalar library calls, bit for
// bit, over the angles a spot can draw (0 to 2 pi) and beyond, on every path.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "KernelPaths.h"
#include "SinCos.h"
#include "SinCosAvx2.h"

namespace {

void ExpectScalarResults(const std::vector<float>& x) {
  for (TKernelPath path : VectorPaths()) {
    PathGuard g(path);
    std::vector<float> s(x.size()), c(x.size());
    SinCosRun(x.data(), s.data(), c.data(), x.size());
    size_t bad = 0;
    for (size_t i = 0; i < x.size(); ++i) {
      const float rs = float(std::sin(double(x[i]))), rc = float(std::cos(double(x[i])));
      if (std::memcmp(&rs, &s[i], 4) != 0 || std::memcmp(&rc, &c[i], 4) != 0) {
        if (++bad <= 5)
          ADD_FAILURE() << "x = " << x[i] << " (" << std::hexfloat << x[i] << ")";
      }
    }
    EXPECT_EQ(bad, 0u) << "path " << int(path);
  }
}

} // namespace

TEST(SinCos, RandomAnglesOfASpot) {
  std::mt19937 rng(7);
  std::vector<float> x(2000001); // odd: the last one alone
  for (float& v : x)
    v = float(double(rng()) * (1.0 / 4294967296.0) * double(6.2831855f));
  ExpectScalarResults(x);
}

TEST(SinCos, NearZerosAndEdgesOfTheRange) {
  std::vector<float> x;
  for (double centre : {0.0, M_PI / 2, M_PI, 3 * M_PI / 2, 2 * M_PI}) {
    float v = float(centre);
    for (int i = 0; i < 2000; ++i)
      v = std::nextafter(v, -1.0f);
    for (int i = 0; i < 4000; ++i, v = std::nextafter(v, 10.0f))
      if (v >= 0)
        x.push_back(v);
  }
  for (float v : {0.0f, -0.0f, 1e-30f, 1e-45f, 6.2831855f, 100.0f, -3.0f, 1e30f,
                  std::numeric_limits<float>::infinity(), std::numeric_limits<float>::quiet_NaN()})
    x.push_back(v);
  for (TKernelPath path : VectorPaths()) {
    PathGuard g(path);
    std::vector<float> s(x.size()), c(x.size());
    SinCosRun(x.data(), s.data(), c.data(), x.size());
    for (size_t i = 0; i < x.size(); ++i) {
      const float rs = float(std::sin(double(x[i]))), rc = float(std::cos(double(x[i])));
      if (std::isnan(rs)) {
        EXPECT_TRUE(std::isnan(s[i]) && std::isnan(c[i])) << x[i];
        continue;
      }
      ASSERT_EQ(std::memcmp(&rs, &s[i], 4), 0) << std::hexfloat << x[i] << " path " << int(path);
      ASSERT_EQ(std::memcmp(&rc, &c[i], 4), 0) << std::hexfloat << x[i] << " path " << int(path);
    }
  }
}

TEST(SinCos, TheFourLaneFormTakesOnlyResultsClearOfARoundingBoundary) {
  if (!CpuHasAvx2())
    GTEST_SKIP() << "no AVX2 on this processor";
  const double base = 1.5, ulp = 0x1p-23; // float spacing on both sides of 1.5
  struct Case {
    double y;
    bool sure;
  } cases[] = {
      {0.75, true},                      // a float itself
      {-0.3 + 0x1p-40, true},            // well inside
      {base + ulp / 2, false},           // a midpoint
      {base + ulp / 2 - 0x1p-60, false}, // just inside a midpoint
      {base + ulp / 2 - 0x1p-30, true},  // far enough inside
      {1.0 - 0x1p-25, false},            // midpoint below a power of two
      {1.0 - 0x1p-25 + 0x1p-30, true},   // rounds up to 1, clear of it
      {1.0 + 0x1p-27, true},             // above 1: judged by the closer spacing below
      {1e-40, false},                    // below the normal floats
      {std::numeric_limits<double>::quiet_NaN(), false},
  };
  for (size_t i = 0; i < std::size(cases); i += 4) {
    double y[4] = {0.5, 0.5, 0.5, 0.5};
    for (size_t k = 0; k < 4 && i + k < std::size(cases); ++k)
      y[k] = cases[i + k].y;
    float out[4];
    const int ok = SureFloatsAvx2(y, out);
    for (size_t k = 0; k < 4 && i + k < std::size(cases); ++k) {
      EXPECT_EQ(bool(ok >> k & 1), cases[i + k].sure) << std::hexfloat << y[k];
      if (ok >> k & 1) {
        EXPECT_EQ(out[k], float(y[k])) << std::hexfloat << y[k];
      }
    }
  }
}
