#pragma once
// SinCosRun's four-lane form on AVX2: fills the first angles in whole groups
// of four and returns how many it did (none where it is not built).
#include <cstddef>

size_t SinCosRunAvx2(const float* X, float* Sin, float* Cos, size_t N);

// The test behind it, for four doubles: Out gets their floats, and the result
// has bit k set where lane k's float is certain to be that of any value within
// 64 double units in the last place (-1 where it is not built).
int SureFloatsAvx2(const double* Y, float* Out);
