// Separable resampling with nearest, linear, cubic and three-lobe Lanczos
// kernels, and the resize primitives built on it.
#include "Resample.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

constexpr double Pi = 3.14159265358979323846;

bool KnownInterpolation(int interpolation) {
  return interpolation == InterNearest || interpolation == InterLinear ||
         interpolation == InterCubic || interpolation == InterLanczos;
}

double KernelRadius(int interpolation) {
  switch (interpolation) {
  case InterLinear:
    return 1.0;
  case InterCubic:
    return 2.0;
  case InterLanczos:
    return 3.0;
  default:
    return 0.5;
  }
}

double Kernel(int interpolation, double t) {
  t = std::fabs(t);
  switch (interpolation) {
  case InterLinear:
    return t < 1.0 ? 1.0 - t : 0.0;
  case InterCubic: {
    // Catmull-Rom (a = -0.5): interpolating, sharp, mild overshoot.
    const double a = -0.5;
    if (t < 1.0)
      return ((a + 2.0) * t - (a + 3.0)) * t * t + 1.0;
    if (t < 2.0)
      return ((a * t - 5.0 * a) * t + 8.0 * a) * t - 4.0 * a;
    return 0.0;
  }
  case InterLanczos: {
    if (t < 1e-12)
      return 1.0;
    if (t >= 3.0)
      return 0.0;
    const double x = Pi * t;
    return 3.0 * std::sin(x) * std::sin(x / 3.0) / (x * x);
  }
  default:
    return 1.0;
  }
}

// Source region [X0, X1) x [Y0, Y1): the requested region cut to the picture.
struct TRegion {
  int X0 = 0, Y0 = 0, X1 = 0, Y1 = 0;
};

bool CutRegion(TImageSize srcSize, TImageRect roi, TRegion& r) {
  const int64_t x0 = std::max<int64_t>(roi.x, 0);
  const int64_t y0 = std::max<int64_t>(roi.y, 0);
  const int64_t x1 = std::min<int64_t>(int64_t(roi.x) + roi.width, srcSize.width);
  const int64_t y1 = std::min<int64_t>(int64_t(roi.y) + roi.height, srcSize.height);
  if (roi.width <= 0 || roi.height <= 0 || x0 >= x1 || y0 >= y1)
    return false;
  r = TRegion{int(x0), int(y0), int(x1), int(y1)};
  return true;
}

bool UsableMap(const TResampleMap& m) {
  return std::isfinite(m.XScale) && std::isfinite(m.YScale) && std::isfinite(m.XOffset) &&
         std::isfinite(m.YOffset) && m.XScale > 0.0 && m.YScale > 0.0;
}

// The taps of one axis: destination indices First .. Last - 1 are written, the
// one at First + k from source indices Index[TapStart[k] .. TapStart[k + 1]).
struct TAxis {
  int First = 0;
  int Last = 0;
  std::vector<size_t> TapStart;
  std::vector<int> Index;
  std::vector<float> Weight;
  int Lo = 0; // lowest and highest source index used
  int Hi = -1;
};

void BuildAxis(TAxis& a, int dstLen, double scale, double offset, int lo, int hi,
               int interpolation) {
  a.First = dstLen;
  a.Last = 0;
  for (int d = 0; d < dstLen; ++d) {
    const double p = offset + (d + 0.5) * scale;
    if (p >= lo && p < hi) {
      if (a.First == dstLen)
        a.First = d;
      a.Last = d + 1;
    } else if (a.First != dstLen) {
      break; // the map is increasing: nothing further lies inside
    }
  }
  if (a.First >= a.Last) {
    a.First = a.Last = 0;
    return;
  }
  a.Lo = hi;
  a.Hi = lo - 1;
  // Shrinking widens the kernel to the source footprint of a destination pixel.
  const double widen = interpolation == InterNearest ? 1.0 : std::max(1.0, scale);
  const double radius = KernelRadius(interpolation) * widen;
  std::vector<double> w;
  for (int d = a.First; d < a.Last; ++d) {
    const double p = offset + (d + 0.5) * scale;
    a.TapStart.push_back(a.Index.size());
    const int nearest = std::clamp(int(std::floor(p)), lo, hi - 1);
    bool done = false;
    if (interpolation != InterNearest) {
      const double centre = p - 0.5; // in index units: pixel i is centred on i
      const int i0 = int(std::max(double(lo), std::ceil(centre - radius)));
      const int i1 = int(std::min(double(hi - 1), std::floor(centre + radius)));
      w.clear();
      double sum = 0.0;
      for (int i = i0; i <= i1; ++i) {
        const double k = Kernel(interpolation, (i - centre) / widen);
        w.push_back(k);
        sum += k;
      }
      if (sum > 1e-6) {
        for (int i = i0; i <= i1; ++i) {
          a.Index.push_back(i);
          a.Weight.push_back(float(w[size_t(i - i0)] / sum));
        }
        a.Lo = std::min(a.Lo, i0);
        a.Hi = std::max(a.Hi, i1);
        done = true;
      }
    }
    if (!done) {
      a.Index.push_back(nearest);
      a.Weight.push_back(1.0f);
      a.Lo = std::min(a.Lo, nearest);
      a.Hi = std::max(a.Hi, nearest);
    }
  }
  a.TapStart.push_back(a.Index.size());
}

TPrimitiveStatus CheckCommon(const uint8_t* pSrc, TImageSize srcSize, uint8_t* pDst,
                             TImageSize dstSize, const TResampleMap& map) {
  if (!pSrc || !pDst)
    return psNullPointer;
  if (srcSize.width <= 0 || srcSize.height <= 0 || dstSize.width <= 0 || dstSize.height <= 0)
    return psSizeError;
  if (!UsableMap(map))
    return psResizeFactorError;
  return psOk;
}

uint8_t ToByte(float v) {
  if (!(v > 0.0f))
    return 0;
  if (v >= 255.0f)
    return 255;
  return uint8_t(std::lrint(v));
}

} // namespace

TPrimitiveStatus ResampleBytes(int Channels, const uint8_t* pSrc, TImageSize srcSize, int srcStep,
                               TImageRect srcRoi, uint8_t* pDst, int dstStep, TImageSize dstSize,
                               const TResampleMap& Map, int Interpolation) {
  if (TPrimitiveStatus s = CheckCommon(pSrc, srcSize, pDst, dstSize, Map); s != psOk)
    return s;
  if (Channels != 3 && Channels != 4)
    return psSizeError;
  if (!KnownInterpolation(Interpolation))
    return psInterpolationError;
  TRegion r;
  if (!CutRegion(srcSize, srcRoi, r))
    return psNothingToDo;

  TAxis ax, ay;
  BuildAxis(ax, dstSize.width, Map.XScale, Map.XOffset, r.X0, r.X1, Interpolation);
  BuildAxis(ay, dstSize.height, Map.YScale, Map.YOffset, r.Y0, r.Y1, Interpolation);
  if (ax.First >= ax.Last || ay.First >= ay.Last)
    return psOk;

  const int ch = Channels;
  const size_t span = size_t(ax.Hi - ax.Lo + 1) * size_t(ch);
  std::vector<float> column(span); // the vertical pass over the columns in use
  for (int yi = ay.First; yi < ay.Last; ++yi) {
    std::fill(column.begin(), column.end(), 0.0f);
    const size_t k = size_t(yi - ay.First);
    for (size_t t = ay.TapStart[k]; t < ay.TapStart[k + 1]; ++t) {
      const uint8_t* row = pSrc + ptrdiff_t(ay.Index[t]) * srcStep + ptrdiff_t(ax.Lo) * ch;
      const float w = ay.Weight[t];
      for (size_t i = 0; i < span; ++i)
        column[i] += w * float(row[i]);
    }
    uint8_t* out = pDst + ptrdiff_t(yi) * dstStep;
    for (int xi = ax.First; xi < ax.Last; ++xi) {
      const size_t j = size_t(xi - ax.First);
      float acc[4] = {0.0f, 0.0f, 0.0f, 0.0f};
      for (size_t t = ax.TapStart[j]; t < ax.TapStart[j + 1]; ++t) {
        const float* px = column.data() + size_t(ax.Index[t] - ax.Lo) * size_t(ch);
        const float w = ax.Weight[t];
        for (int c = 0; c < ch; ++c)
          acc[c] += w * px[c];
      }
      for (int c = 0; c < ch; ++c)
        out[ptrdiff_t(xi) * ch + c] = ToByte(acc[c]);
    }
  }
  return psOk;
}

namespace {

uint32_t GetBits(const uint8_t* row, int x, int bpp) {
  const int64_t bit = int64_t(x) * bpp;
  const uint8_t b = row[bit >> 3];
  const int shift = 8 - bpp - int(bit & 7);
  return (b >> shift) & ((1u << bpp) - 1);
}

void SetBits(uint8_t* row, int x, int bpp, uint32_t v) {
  const int64_t bit = int64_t(x) * bpp;
  uint8_t& b = row[bit >> 3];
  const int shift = 8 - bpp - int(bit & 7);
  const uint32_t mask = ((1u << bpp) - 1) << shift;
  b = uint8_t((b & ~mask) | ((v << shift) & mask));
}

} // namespace

TPrimitiveStatus ResampleNearestBits(int BitsPerPixel, const uint8_t* pSrc, TImageSize srcSize,
                                     int srcStep, TImageRect srcRoi, uint8_t* pDst, int dstX,
                                     int dstStep, TImageSize dstSize, const TResampleMap& Map) {
  if (TPrimitiveStatus s = CheckCommon(pSrc, srcSize, pDst, dstSize, Map); s != psOk)
    return s;
  const int bpp = BitsPerPixel;
  if (bpp != 1 && bpp != 2 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32)
    return psSizeError;
  if (dstX < 0)
    return psSizeError;
  TRegion r;
  if (!CutRegion(srcSize, srcRoi, r))
    return psNothingToDo;
  TAxis ax, ay;
  BuildAxis(ax, dstSize.width, Map.XScale, Map.XOffset, r.X0, r.X1, InterNearest);
  BuildAxis(ay, dstSize.height, Map.YScale, Map.YOffset, r.Y0, r.Y1, InterNearest);
  for (int yi = ay.First; yi < ay.Last; ++yi) {
    const uint8_t* in = pSrc + ptrdiff_t(ay.Index[size_t(yi - ay.First)]) * srcStep;
    uint8_t* out = pDst + ptrdiff_t(yi) * dstStep;
    for (int xi = ax.First; xi < ax.Last; ++xi) {
      const int sx = ax.Index[size_t(xi - ax.First)];
      if (bpp >= 8) {
        const int bytes = bpp / 8;
        std::memcpy(out + (ptrdiff_t(dstX) + xi) * bytes, in + ptrdiff_t(sx) * bytes,
                    size_t(bytes));
      } else {
        SetBits(out, dstX + xi, bpp, GetBits(in, sx, bpp));
      }
    }
  }
  return psOk;
}

namespace {

TResampleMap ResizeMap(TImageRect srcRoi, double xFactor, double yFactor) {
  return TResampleMap{1.0 / xFactor, double(srcRoi.x), 1.0 / yFactor, double(srcRoi.y)};
}

TResampleMap CenterMap(double xFactor, double yFactor, double xCenter, double yCenter) {
  return TResampleMap{1.0 / xFactor, xCenter - xCenter / xFactor, 1.0 / yFactor,
                      yCenter - yCenter / yFactor};
}

bool UsableFactors(double xFactor, double yFactor) {
  return std::isfinite(xFactor) && std::isfinite(yFactor) && xFactor > 0.0 && yFactor > 0.0;
}

} // namespace

TPrimitiveStatus Resize24(const uint8_t* pSrc, TImageSize srcSize, int srcStep, TImageRect srcRoi,
                          uint8_t* pDst, int dstStep, TImageSize dstRoiSize, double xFactor,
                          double yFactor, int interpolation) {
  if (!UsableFactors(xFactor, yFactor))
    return psResizeFactorError;
  return ResampleBytes(3, pSrc, srcSize, srcStep, srcRoi, pDst, dstStep, dstRoiSize,
                       ResizeMap(srcRoi, xFactor, yFactor), interpolation);
}

TPrimitiveStatus Resize32(const uint8_t* pSrc, TImageSize srcSize, int srcStep, TImageRect srcRoi,
                          uint8_t* pDst, int dstStep, TImageSize dstRoiSize, double xFactor,
                          double yFactor, int interpolation) {
  if (!UsableFactors(xFactor, yFactor))
    return psResizeFactorError;
  return ResampleBytes(4, pSrc, srcSize, srcStep, srcRoi, pDst, dstStep, dstRoiSize,
                       ResizeMap(srcRoi, xFactor, yFactor), interpolation);
}

TPrimitiveStatus ResizeAboutCenter24(const uint8_t* pSrc, TImageSize srcSize, int srcStep,
                                     TImageRect srcRoi, uint8_t* pDst, int dstStep,
                                     TImageSize dstRoiSize, double xFactor, double yFactor,
                                     double xCenter, double yCenter, int interpolation) {
  if (!UsableFactors(xFactor, yFactor))
    return psResizeFactorError;
  return ResampleBytes(3, pSrc, srcSize, srcStep, srcRoi, pDst, dstStep, dstRoiSize,
                       CenterMap(xFactor, yFactor, xCenter, yCenter), interpolation);
}

TPrimitiveStatus ResizeAboutCenter32(const uint8_t* pSrc, TImageSize srcSize, int srcStep,
                                     TImageRect srcRoi, uint8_t* pDst, int dstStep,
                                     TImageSize dstRoiSize, double xFactor, double yFactor,
                                     double xCenter, double yCenter, int interpolation) {
  if (!UsableFactors(xFactor, yFactor))
    return psResizeFactorError;
  return ResampleBytes(4, pSrc, srcSize, srcStep, srcRoi, pDst, dstStep, dstRoiSize,
                       CenterMap(xFactor, yFactor, xCenter, yCenter), interpolation);
}
