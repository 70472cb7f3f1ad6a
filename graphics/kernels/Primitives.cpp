// Fill, in-place box filter and the single-precision vector steps.
#include "Primitives.h"

#include "SimdKernels.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

TPrimitiveStatus FillPixels32(const uint8_t value[4], uint8_t* pDst, int dstStep,
                              TImageSize roiSize) {
  if (!value || !pDst)
    return psNullPointer;
  if (roiSize.width <= 0 || roiSize.height <= 0)
    return psSizeError;
  uint32_t pixel;
  std::memcpy(&pixel, value, 4);
  for (int y = 0; y < roiSize.height; ++y) {
    uint8_t* row = pDst + ptrdiff_t(y) * dstStep;
    for (int x = 0; x < roiSize.width; ++x)
      std::memcpy(row + 4 * ptrdiff_t(x), &pixel, 4);
  }
  return psOk;
}

namespace {

// Rounded division of window sums by the window's pixel count n: to nearest,
// halves to even, so that a blur repeated every frame drifts neither up nor
// down. The quotient comes from a single-precision reciprocal and is then
// corrected with the exact remainder, all in 32-bit lanes; the estimate is off
// by at most one while sums stay below 2^24 (n up to 65793), else the plain
// division serves.
// (Written as selects so that the compiler can run it on vector lanes.)
inline int32_t FastMean(int32_t sum, float inverse, int32_t n) {
  int32_t q = int32_t(float(sum) * inverse);
  int32_t r = sum - q * n;
  q += r >= n ? 1 : 0;
  q -= r < 0 ? 1 : 0;
  r = sum - q * n;
  const int32_t twiceRest = 2 * r;
  q += twiceRest > n ? 1 : 0;
  q += twiceRest == n ? (q & 1) : 0;
  return q;
}

inline uint32_t SlowMean(uint32_t sum, uint32_t n) {
  const uint32_t q = sum / n, twiceRest = 2 * (sum - q * n);
  return q + (uint32_t(twiceRest > n) | (uint32_t(twiceRest == n) & q & 1u));
}

} // namespace

namespace {

TPrimitiveStatus CheckFilterBox(const uint8_t* pSrcDst, TImageSize dstRoiSize, TImageSize maskSize,
                                TImagePoint anchor) {
  if (!pSrcDst)
    return psNullPointer;
  if (dstRoiSize.width <= 0 || dstRoiSize.height <= 0)
    return psSizeError;
  if (maskSize.width <= 0 || maskSize.height <= 0)
    return psMaskSizeError;
  if (int64_t(maskSize.width) * maskSize.height >= (int64_t(1) << 24))
    return psMaskSizeError;
  if (anchor.x < 0 || anchor.x >= maskSize.width || anchor.y < 0 || anchor.y >= maskSize.height)
    return psAnchorError;
  return psOk;
}

} // namespace

TPrimitiveStatus BoxFilter32(uint8_t* pSrcDst, int srcDstStep, TImageSize dstRoiSize,
                             TImageSize maskSize, TImagePoint anchor) {
  const TPrimitiveStatus st = CheckFilterBox(pSrcDst, dstRoiSize, maskSize, anchor);
  if (st != psOk)
    return st;
  if (FilterBox8u4Fast(pSrcDst, srcDstStep, dstRoiSize.width, dstRoiSize.height, maskSize.width,
                       maskSize.height, anchor.x, anchor.y))
    return psOk;
  return BoxFilter32Reference(pSrcDst, srcDstStep, dstRoiSize, maskSize, anchor);
}

TPrimitiveStatus BoxFilter32Reference(uint8_t* pSrcDst, int srcDstStep, TImageSize dstRoiSize,
                                      TImageSize maskSize, TImagePoint anchor) {
  if (!pSrcDst)
    return psNullPointer;
  if (dstRoiSize.width <= 0 || dstRoiSize.height <= 0)
    return psSizeError;
  if (maskSize.width <= 0 || maskSize.height <= 0)
    return psMaskSizeError;
  // Window sums are 32-bit: 255 * n must fit.
  const int64_t n = int64_t(maskSize.width) * maskSize.height;
  if (n >= (int64_t(1) << 24))
    return psMaskSizeError;
  if (anchor.x < 0 || anchor.x >= maskSize.width || anchor.y < 0 || anchor.y >= maskSize.height)
    return psAnchorError;

  const int w = dstRoiSize.width;
  const int h = dstRoiSize.height;
  const int mw = maskSize.width;
  const int mh = maskSize.height;
  const int span = w + mw - 1; // pixels of a source row that the windows of a region row cover
  const ptrdiff_t spanBytes = ptrdiff_t(span) * 4;
  const bool fast = n <= 65793;
  const float inverse = 1.0f / float(n);
  const int32_t count = int32_t(n);

  // Source row r (0 .. h + mh - 2) of the windows, as it was before filtering.
  auto sourceRow = [&](int r) -> const uint8_t* {
    return pSrcDst + ptrdiff_t(r - anchor.y) * srcDstStep - ptrdiff_t(anchor.x) * 4;
  };

  // Column sums over the mh rows of the current window; the rows in the window
  // are kept as copies, since the rows above are overwritten as we go.
  std::vector<uint32_t> columns(std::size_t(spanBytes), 0);
  std::vector<uint8_t> ring(std::size_t(spanBytes) * std::size_t(mh));
  // Running sums of the column sums along the row, one per byte lane: a
  // window's sum is the difference of two of them. They may wrap around 2^32;
  // the differences stay exact.
  std::vector<uint32_t> prefix(std::size_t(spanBytes) + 4, 0);
  std::vector<int32_t> rowMeans(std::size_t(w) * 4);
  auto ringRow = [&](int r) { return ring.data() + ptrdiff_t(r % mh) * spanBytes; };
  auto take = [&](int r) {
    uint8_t* copy = ringRow(r);
    std::memcpy(copy, sourceRow(r), std::size_t(spanBytes));
    uint32_t* col = columns.data();
    for (ptrdiff_t i = 0; i < spanBytes; ++i)
      col[i] += copy[i];
  };

  for (int r = 0; r < mh - 1; ++r)
    take(r);
  const ptrdiff_t outBytes = ptrdiff_t(w) * 4;
  const ptrdiff_t windowBytes = ptrdiff_t(mw) * 4;
  for (int y = 0; y < h; ++y) {
    take(y + mh - 1);
    uint32_t* pre = prefix.data();
    const uint32_t* col = columns.data();
    for (ptrdiff_t i = 0; i < spanBytes; ++i)
      pre[i + 4] = pre[i] + col[i];
    uint8_t* out = pSrcDst + ptrdiff_t(y) * srcDstStep;
    int32_t* means = rowMeans.data();
    if (fast)
      for (ptrdiff_t i = 0; i < outBytes; ++i)
        means[i] = FastMean(int32_t(pre[i + windowBytes] - pre[i]), inverse, count);
    else
      for (ptrdiff_t i = 0; i < outBytes; ++i)
        means[i] = int32_t(SlowMean(pre[i + windowBytes] - pre[i], uint32_t(count)));
    for (ptrdiff_t i = 0; i < outBytes; ++i)
      out[i] = uint8_t(means[i]);
    const uint8_t* leaving = ringRow(y);
    uint32_t* colw = columns.data();
    for (ptrdiff_t i = 0; i < spanBytes; ++i)
      colw[i] -= leaving[i];
  }
  return psOk;
}

TPrimitiveStatus FillRamp(float* pDst, int len, float offset, float slope) {
  if (!pDst)
    return psNullPointer;
  if (len <= 0)
    return psSizeError;
  for (int j = 0; j < len; ++j) {
    const float step = float(j) * slope;
    pDst[j] = offset + step;
  }
  return psOk;
}

// The argument check every run function shares.
static TPrimitiveStatus CheckRun(const void* pSrc, const void* pDst, int len) {
  if (!pSrc || !pDst)
    return psNullPointer;
  return len <= 0 ? psSizeError : psOk;
}

TPrimitiveStatus SquareFloats(const float* pSrc, float* pDst, int len) {
  if (const TPrimitiveStatus st = CheckRun(pSrc, pDst, len); st != psOk)
    return st;
  for (int j = 0; j < len; ++j)
    pDst[j] = pSrc[j] * pSrc[j];
  return psOk;
}

TPrimitiveStatus CopyFloats(const float* pSrc, float* pDst, int len) {
  if (const TPrimitiveStatus st = CheckRun(pSrc, pDst, len); st != psOk)
    return st;
  std::memmove(pDst, pSrc, std::size_t(len) * sizeof(float));
  return psOk;
}

TPrimitiveStatus AddFloat(const float* pSrc, float val, float* pDst, int len) {
  if (const TPrimitiveStatus st = CheckRun(pSrc, pDst, len); st != psOk)
    return st;
  for (int j = 0; j < len; ++j)
    pDst[j] = pSrc[j] + val;
  return psOk;
}

TPrimitiveStatus MultiplyFloat(const float* pSrc, float val, float* pDst, int len) {
  if (const TPrimitiveStatus st = CheckRun(pSrc, pDst, len); st != psOk)
    return st;
  for (int j = 0; j < len; ++j)
    pDst[j] = pSrc[j] * val;
  return psOk;
}

TPrimitiveStatus SqrtFloats(const float* pSrc, float* pDst, int32_t len) {
  if (const TPrimitiveStatus st = CheckRun(pSrc, pDst, len); st != psOk)
    return st;
  // The exact root meets the 11-bit accuracy the callers need and is the same
  // on every processor.
  for (int32_t j = 0; j < len; ++j)
    pDst[j] = std::sqrt(pSrc[j]);
  return psOk;
}

TPrimitiveStatus FloatsToInt32Scaled(const float* pSrc, int32_t* pDst, int len, TRoundMode rndMode,
                                     int scaleFactor) {
  if (const TPrimitiveStatus st = CheckRun(pSrc, pDst, len); st != psOk)
    return st;
  if (rndMode != rmNearestEven && rndMode != rmTowardZero)
    return psScaleRangeError;
  if (scaleFactor < -128 || scaleFactor > 128)
    return psScaleRangeError;
  for (int j = 0; j < len; ++j) {
    // Exact for these exponents; the common scale 0 needs no scaling at all.
    const double v = scaleFactor == 0 ? double(pSrc[j]) : std::ldexp(double(pSrc[j]), -scaleFactor);
    if (std::isnan(v)) {
      pDst[j] = 0;
      continue;
    }
    const double r = rndMode == rmNearestEven ? std::nearbyint(v) : std::trunc(v);
    if (r >= 2147483647.0)
      pDst[j] = std::numeric_limits<int32_t>::max();
    else if (r <= -2147483648.0)
      pDst[j] = std::numeric_limits<int32_t>::min();
    else
      pDst[j] = int32_t(r);
  }
  return psOk;
}

bool BindPrimitives() {
  return true;
}
