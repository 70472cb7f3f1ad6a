#pragma once
// Small integer and single-precision helpers.
#include <cstdint>

// (a * b) / c with a 64-bit product, truncated towards zero. A quotient that does
// not fit 32 bits saturates, and c = 0 gives INT32_MAX, INT32_MIN or 0 by the
// sign of the product, instead of a processor trap.
int32_t MulDivTrunc(int32_t a, int32_t b, int32_t c);

// x shifted right by n with the sign copied in (floor of x / 2^n). n is clamped
// to 0..31, so a shift of 32 or more gives 0 or -1.
int32_t ShiftRightArith(int32_t x, int32_t n);

// x rounded to the nearest integer, halves to even, as nearbyint under the
// default rounding mode, but inline (nearbyint is a library call on baseline
// x86-64). Moving x into the binade of 2^52 and back leaves no fraction bits;
// values of 2^52 or more are integers already. -0.3 gives +0.
inline double RoundHalfEven(double x) {
  constexpr double Two52 = 4503599627370496.0;
  if (x >= 0 && x < Two52)
    return (x + Two52) - Two52;
  if (x < 0 && x > -Two52)
    return (x - Two52) + Two52;
  return x; // integral, infinite or not a number
}
