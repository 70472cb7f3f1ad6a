#include "SmoothingFilter.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr double kSettled = 0.999;
// Far beyond any useful smoothing time; keeps the arithmetic finite.
constexpr double kMaxTicks = 1e6;
} // namespace

double SmoothingStepResponse(double A, int N) {
  // The sections update one after the other within a tick, so after N ticks the
  // output is the chance of at least 3 successes in N + 2 trials of chance A.
  const double p = 1.0 - A;
  const double n = N + 2.0;
  const double below = std::pow(p, n) + n * A * std::pow(p, n - 1.0) +
                       n * (n - 1.0) / 2.0 * A * A * std::pow(p, n - 2.0);
  return 1.0 - below;
}

void TSmoothingFilter::Setup(double Ticks) {
  const int n = static_cast<int>(std::nearbyint(std::clamp(Ticks, 1.0, kMaxTicks)));
  // The response grows with the coefficient: bisect for the smallest one that settles in n ticks.
  double lo = 0.0, hi = 1.0;
  for (int i = 0; i < 60; ++i) {
    const double mid = (lo + hi) / 2.0;
    if (SmoothingStepResponse(mid, n) >= kSettled)
      hi = mid;
    else
      lo = mid;
  }
  FCoefficient = hi;
}

void TSmoothingFilter::Reset(double Value) {
  for (double& s : FStage)
    s = Value;
}

double TSmoothingFilter::Next(double Input) {
  double in = Input;
  for (double& s : FStage) {
    s += FCoefficient * (in - s);
    in = s;
  }
  return in;
}
