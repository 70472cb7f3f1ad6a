#pragma once
// The program's one random generator: a 32-bit linear congruential sequence,
// seed := seed * 134775813 + 1 (mod 2^32), starting at 0 and never reseeded, so
// the same inputs always give the same flame. Every draw advances the seed once.
#include <cstdint>

// The current seed. Program code never assigns it, except to repeat a run
// from its start (quelma-render does for an animation whose flame grew);
// tests may, to start a hand-checkable sequence (and should put it back).
extern uint32_t RandSeed;

// Advances the seed and returns seed / 2^32: uniform on [0, 1).
double RandomReal();

// Advances the seed and returns floor(seed * n / 2^32): uniform on 0 .. n - 1.
// A range of 0 or less yields 0 (the draw is still spent), so a style with
// MaxAlpha 0 draws nothing without upsetting the sequence.
int32_t RandomInt(int32_t n);
