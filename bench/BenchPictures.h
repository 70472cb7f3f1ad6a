#pragma once
// The same random bytes for every benchmark that needs a busy picture.
#include <cstddef>
#include <cstdint>
#include <random>

inline void FillRandom(uint8_t* p, size_t n) {
  std::mt19937 rng(1);
  for (size_t i = 0; i < n; ++i)
    p[i] = uint8_t(rng() >> 5);
}
