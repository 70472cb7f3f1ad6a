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

using Ipp8u = uint8_t;
using Ipp32s = int32_t;
using Ipp32f = float;

struct IppiSize {
  int width = 0;
  int height = 0;
};
struct IppiPoint {
  int x = 0;
  int y = 0;
};
struct IppiRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
};

enum IppStatus : int {
  ippStsNoErr = 0,
  ippStsSizeErr = -6,
  ippStsNullPtrErr = -8,
  ippStsStepErr = -14,
  ippStsInterpolationErr = -22,
  ippStsResizeFactorErr = -23,
  ippStsMaskSizeErr = -33,
  ippStsAnchorErr = -34,
  ippStsWrongIntersectROI = -35,
  ippStsScaleRangeErr = -36,
  // Warning: nothing to do (the region lies outside the source, or is empty).
  ippStsNoOperation = 1,
};

enum IppRoundMode : int { ippRndZero = 0, ippRndNear = 1 };

// Interpolation codes of the resampling functions.
enum : int {
  IPPI_INTER_NN = 1,
  IPPI_INTER_LINEAR = 2,
  IPPI_INTER_CUBIC = 4,
  IPPI_INTER_LANCZOS = 16,
};

// Every pixel of the roiSize rectangle at pDst becomes the four bytes of value.
IppStatus ippiSet_8u_C4R(const Ipp8u value[4], Ipp8u* pDst, int dstStep, IppiSize roiSize);

// In place: every pixel of the dstRoiSize region at pSrcDst becomes, per byte,
// the mean (rounded to nearest, halves to even) of the maskSize window whose
// top-left lies at the pixel minus anchor, from the values before filtering.
// Reads the frame of anchor pixels before and maskSize - anchor - 1 pixels after
// the region in each direction; writes only the region. The anchor must lie
// inside the mask.
IppStatus ippiFilterBox_8u_C4IR(Ipp8u* pSrcDst, int srcDstStep, IppiSize dstRoiSize, IppiSize maskSize,
                                IppiPoint anchor);

// The scalar definition of the box filter, which the vector path above must
// match byte for byte (kept for the tests and as the fallback).
IppStatus ippiFilterBox_8u_C4IR_Reference(Ipp8u* pSrcDst, int srcDstStep, IppiSize dstRoiSize,
                                          IppiSize maskSize, IppiPoint anchor);

// Resamples srcRoi (cut to the srcSize picture) into the dstRoiSize picture at
// pDst: destination pixel centre (x + 0.5, y + 0.5) maps to the source point
// srcRoi.x + (x + 0.5) / xFactor, srcRoi.y + (y + 0.5) / yFactor. Destination
// pixels that map outside the source region are left alone; kernel taps past
// its edges are dropped and the rest renormalised, and shrinking widens the
// kernel to the footprint of a destination pixel. interpolation: IPPI_INTER_NN,
// _LINEAR, _CUBIC (Catmull-Rom), _LANCZOS (three lobes). C3: 3 bytes a pixel;
// C4: 4.
IppStatus ippiResize_8u_C3R(const Ipp8u* pSrc, IppiSize srcSize, int srcStep, IppiRect srcRoi, Ipp8u* pDst,
                            int dstStep, IppiSize dstRoiSize, double xFactor, double yFactor, int interpolation);
IppStatus ippiResize_8u_C4R(const Ipp8u* pSrc, IppiSize srcSize, int srcStep, IppiRect srcRoi, Ipp8u* pDst,
                            int dstStep, IppiSize dstRoiSize, double xFactor, double yFactor, int interpolation);

// As the resize, with the source and the destination in one coordinate frame and
// the point (xCenter, yCenter) of that frame kept in place: destination pixel
// centre p maps to the source point xCenter + (p - xCenter) / xFactor (likewise
// for y).
IppStatus ippiResizeCenter_8u_C3R(const Ipp8u* pSrc, IppiSize srcSize, int srcStep, IppiRect srcRoi,
                                  Ipp8u* pDst, int dstStep, IppiSize dstRoiSize, double xFactor, double yFactor,
                                  double xCenter, double yCenter, int interpolation);
IppStatus ippiResizeCenter_8u_C4R(const Ipp8u* pSrc, IppiSize srcSize, int srcStep, IppiRect srcRoi,
                                  Ipp8u* pDst, int dstStep, IppiSize dstRoiSize, double xFactor, double yFactor,
                                  double xCenter, double yCenter, int interpolation);

// Single-precision runs (len <= 0: nothing; every step rounded to single).
// pDst[j] = offset + j * slope.
IppStatus ippsVectorRamp_32f(Ipp32f* pDst, int len, Ipp32f offset, Ipp32f slope);
// pDst[j] = pSrc[j]^2.
IppStatus ippsSqr_32f(const Ipp32f* pSrc, Ipp32f* pDst, int len);
IppStatus ippsCopy_32f(const Ipp32f* pSrc, Ipp32f* pDst, int len);
// pDst[j] = pSrc[j] + val.
IppStatus ippsAddC_32f(const Ipp32f* pSrc, Ipp32f val, Ipp32f* pDst, int len);
// pDst[j] = pSrc[j] * val.
IppStatus ippsMulC_32f(const Ipp32f* pSrc, Ipp32f val, Ipp32f* pDst, int len);
// Correctly rounded square root; a negative value gives NaN.
IppStatus ippsSqrt_32f_A11(const Ipp32f* pSrc, Ipp32f* pDst, Ipp32s len);
// pDst[j] = pSrc[j] * 2^-scaleFactor rounded (ippRndNear: to nearest, halves to
// even; ippRndZero: towards zero), saturated to the int32 range; NaN gives 0.
IppStatus ippsConvert_32f32s_Sfs(const Ipp32f* pSrc, Ipp32s* pDst, int len, IppRoundMode rndMode,
                                 int scaleFactor);

// Binds the primitives the program calls. They are linked in, so this always
// succeeds.
bool BindPrimitives();
