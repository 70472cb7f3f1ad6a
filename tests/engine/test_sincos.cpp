// The run form of sine and cosine against the scalar library calls, bit for
// bit, over the angles a spot can draw (0 to 2 pi) and beyond.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "SinCos.h"

namespace {

void ExpectScalarResults(const std::vector<float>& x)
{
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
  EXPECT_EQ(bad, 0u);
}

}  // namespace

TEST(SinCos, RandomAnglesOfASpot)
{
  std::mt19937 rng(7);
  std::vector<float> x(2000001);  // odd: the last one alone
  for (float& v : x)
    v = float(double(rng()) * (1.0 / 4294967296.0) * double(6.2831855f));
  ExpectScalarResults(x);
}

TEST(SinCos, NearZerosAndEdgesOfTheRange)
{
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
  std::vector<float> s(x.size()), c(x.size());
  SinCosRun(x.data(), s.data(), c.data(), x.size());
  for (size_t i = 0; i < x.size(); ++i) {
    const float rs = float(std::sin(double(x[i]))), rc = float(std::cos(double(x[i])));
    if (std::isnan(rs)) {
      EXPECT_TRUE(std::isnan(s[i]) && std::isnan(c[i])) << x[i];
      continue;
    }
    ASSERT_EQ(std::memcmp(&rs, &s[i], 4), 0) << std::hexfloat << x[i];
    ASSERT_EQ(std::memcmp(&rc, &c[i], 4), 0) << std::hexfloat << x[i];
  }
}
