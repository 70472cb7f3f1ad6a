#include "Numerics.h"

#include <algorithm>
#include <limits>

int32_t MulDivTrunc(int32_t a, int32_t b, int32_t c) {
  constexpr int64_t lo = std::numeric_limits<int32_t>::min(),
                    hi = std::numeric_limits<int32_t>::max();
  const int64_t p = int64_t(a) * b;
  if (c == 0)
    return p > 0 ? int32_t(hi) : p < 0 ? int32_t(lo) : 0;
  return int32_t(std::clamp<int64_t>(p / c, lo, hi)); // C++ division truncates towards zero
}

int32_t ShiftRightArith(int32_t x, int32_t n) {
  return x >> std::clamp(n, 0, 31);
}
