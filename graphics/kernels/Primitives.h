#pragma once
// Image and vector primitives: fill, in-place box filter, resampling and the
// single-precision vector steps of the spot drawing, under the names and
// argument orders the callers use. Plain loops over rows.
//
// Image arguments describe pixels by a start pointer and a row step in bytes;
// the functions touch nothing outside the described pixels (the box filter also
// reads the window frame around its region, see below).
#include <cstddef>
#include <cstdint>

struct TImageSize {
  int width = 0;
  int height = 0;
};
struct TImagePoint {
  int x = 0;
  int y = 0;
};
struct TImageRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
};

enum TPrimitiveStatus : int {
  psOk = 0,
  psSizeError = -6,
  psNullPointer = -8,
  psStepError = -14,
  psInterpolationError = -22,
  psResizeFactorError = -23,
  psMaskSizeError = -33,
  psAnchorError = -34,
  psNoIntersection = -35,
  psScaleRangeError = -36,
  // Warning: nothing to do (the region lies outside the source, or is empty).
  psNothingToDo = 1,
};

enum TRoundMode : int { rmTowardZero = 0, rmNearestEven = 1 };

// Interpolation codes of the resampling functions.
enum : int {
  InterNearest = 1,
  InterLinear = 2,
  InterCubic = 4,
  InterLanczos = 16,
};

// Every pixel of the roiSize rectangle at pDst becomes the four bytes of value.
TPrimitiveStatus FillPixels32(const uint8_t value[4], uint8_t* pDst, int dstStep,
                              TImageSize roiSize);

// In place: every pixel of the dstRoiSize region at pSrcDst becomes, per byte,
// the mean (rounded to nearest, halves to even) of the maskSize window whose
// top-left lies at the pixel minus anchor, from the values before filtering.
// Reads the frame of anchor pixels before and maskSize - anchor - 1 pixels after
// the region in each direction; writes only the region. The anchor must lie
// inside the mask.
TPrimitiveStatus BoxFilter32(uint8_t* pSrcDst, int srcDstStep, TImageSize dstRoiSize,
                             TImageSize maskSize, TImagePoint anchor);

// The scalar definition of the box filter, which the vector path above must
// match byte for byte (kept for the tests and as the fallback).
TPrimitiveStatus BoxFilter32Reference(uint8_t* pSrcDst, int srcDstStep, TImageSize dstRoiSize,
                                      TImageSize maskSize, TImagePoint anchor);

// Resamples srcRoi (cut to the srcSize picture) into the dstRoiSize picture at
// pDst: destination pixel centre (x + 0.5, y + 0.5) maps to the source point
// srcRoi.x + (x + 0.5) / xFactor, srcRoi.y + (y + 0.5) / yFactor. Destination
// pixels that map outside the source region are left alone; kernel taps past
// its edges are dropped and the rest renormalised, and shrinking widens the
// kernel to the footprint of a destination pixel. interpolation: InterNearest,
// _LINEAR, _CUBIC (Catmull-Rom), _LANCZOS (three lobes). C3: 3 bytes a pixel;
// C4: 4.
TPrimitiveStatus Resize24(const uint8_t* pSrc, TImageSize srcSize, int srcStep, TImageRect srcRoi,
                          uint8_t* pDst, int dstStep, TImageSize dstRoiSize, double xFactor,
                          double yFactor, int interpolation);
TPrimitiveStatus Resize32(const uint8_t* pSrc, TImageSize srcSize, int srcStep, TImageRect srcRoi,
                          uint8_t* pDst, int dstStep, TImageSize dstRoiSize, double xFactor,
                          double yFactor, int interpolation);

// As the resize, with the source and the destination in one coordinate frame and
// the point (xCenter, yCenter) of that frame kept in place: destination pixel
// centre p maps to the source point xCenter + (p - xCenter) / xFactor (likewise
// for y).
TPrimitiveStatus ResizeAboutCenter24(const uint8_t* pSrc, TImageSize srcSize, int srcStep,
                                     TImageRect srcRoi, uint8_t* pDst, int dstStep,
                                     TImageSize dstRoiSize, double xFactor, double yFactor,
                                     double xCenter, double yCenter, int interpolation);
TPrimitiveStatus ResizeAboutCenter32(const uint8_t* pSrc, TImageSize srcSize, int srcStep,
                                     TImageRect srcRoi, uint8_t* pDst, int dstStep,
                                     TImageSize dstRoiSize, double xFactor, double yFactor,
                                     double xCenter, double yCenter, int interpolation);

// Single-precision runs (len <= 0: nothing; every step rounded to single).
// pDst[j] = offset + j * slope.
TPrimitiveStatus FillRamp(float* pDst, int len, float offset, float slope);
// pDst[j] = pSrc[j]^2.
TPrimitiveStatus SquareFloats(const float* pSrc, float* pDst, int len);
TPrimitiveStatus CopyFloats(const float* pSrc, float* pDst, int len);
// pDst[j] = pSrc[j] + val.
TPrimitiveStatus AddFloat(const float* pSrc, float val, float* pDst, int len);
// pDst[j] = pSrc[j] * val.
TPrimitiveStatus MultiplyFloat(const float* pSrc, float val, float* pDst, int len);
// Correctly rounded square root; a negative value gives NaN.
TPrimitiveStatus SqrtFloats(const float* pSrc, float* pDst, int32_t len);
// pDst[j] = pSrc[j] * 2^-scaleFactor rounded (rmNearestEven: to nearest, halves to
// even; rmTowardZero: towards zero), saturated to the int32 range; NaN gives 0.
TPrimitiveStatus FloatsToInt32Scaled(const float* pSrc, int32_t* pDst, int len, TRoundMode rndMode,
                                     int scaleFactor);

// Binds the primitives the program calls. They are linked in, so this always
// succeeds.
bool BindPrimitives();
