#include "Random.h"

uint32_t RandSeed = 0;

static uint32_t NextSeed() {
  RandSeed = RandSeed * 134775813u + 1u; // unsigned: wraps mod 2^32
  return RandSeed;
}

double RandomReal() {
  return static_cast<double>(NextSeed()) * (1.0 / 4294967296.0);
}

int32_t RandomInt(int32_t n) {
  const uint64_t seed = NextSeed();
  if (n <= 0)
    return 0;
  return static_cast<int32_t>((seed * static_cast<uint64_t>(n)) >> 32);
}
