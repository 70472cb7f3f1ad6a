#pragma once
// Sines and cosines of a run of angles, each exactly float(sin(double(x))) and
// float(cos(double(x))) as the C library's scalar functions give them, but
// several at a time where the library has vector forms (on the SSE2 and AVX2
// kernel paths; the reference path calls the scalar functions).
#include <cstddef>

void SinCosRun(const float* X, float* Sin, float* Cos, size_t N);
