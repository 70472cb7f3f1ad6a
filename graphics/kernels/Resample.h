#pragma once
// The resampling engine behind the resize primitives and the surface's scaled
// copies. One affine map per axis: the destination pixel centre d + 0.5 comes
// from the continuous source position Offset + (d + 0.5) * Scale (source pixel
// i covers [i, i + 1)). Destination pixels whose position falls outside the
// source region are not written; kernel taps outside the region are dropped and
// the rest renormalised, so nothing outside the region is ever read.
#include "Primitives.h"

struct TResampleMap {
  double XScale = 1.0; // source pixels per destination pixel
  double XOffset = 0.0;
  double YScale = 1.0;
  double YOffset = 0.0;
};

// Bytes per pixel 3 or 4. srcRoi is cut to the srcSize picture first.
TPrimitiveStatus ResampleBytes(int Channels, const uint8_t* pSrc, TImageSize srcSize, int srcStep,
                               TImageRect srcRoi, uint8_t* pDst, int dstStep, TImageSize dstSize,
                               const TResampleMap& Map, int Interpolation);

// Nearest-pixel resampling for any pixel width of 1, 2, 4, 8, 16, 24 or 32 bits
// (1- and 4-bit pixels packed most significant first). Used for the depths the
// smooth kernels do not apply to (colour-table indices, packed 16-bit values).
// pDst is the first destination row; its pixels start at column dstX of it.
TPrimitiveStatus ResampleNearestBits(int BitsPerPixel, const uint8_t* pSrc, TImageSize srcSize,
                                     int srcStep, TImageRect srcRoi, uint8_t* pDst, int dstX,
                                     int dstStep, TImageSize dstSize, const TResampleMap& Map);
