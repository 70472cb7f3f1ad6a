// Whole-area operations of the surface: fill, box blur, scaled copies and the
// 1:1 block copy that stands in for drawing onto a device context.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "Colors.h"
#include "DIBmp.h"
#include "Numerics.h"
#include "Primitives.h"
#include "Resample.h"

void TDIB::FillRect(const TRect& Rect, uint32_t Color, int32_t Alpha) {
  // Four-byte pixels only: on another depth the rows would be overrun.
  if (BitCount != 32)
    return;
  TRect r = Rect;
  if (!ClipToSurface(r))
    return;
  if (Alpha >= 256) {
    const uint8_t value[4] = {uint8_t(Color), uint8_t(Color >> 8), uint8_t(Color >> 16),
                              uint8_t(Color >> 24)};
    FillPixels32(value, reinterpret_cast<uint8_t*>(PixelAddress(r.Left, r.Top)), RowStride,
                 TImageSize{r.Width(), r.Height()});
    return;
  }
  if (Alpha < 0)
    Alpha = 0;
  const uint32_t scaled = ScaleColor(Color, uint32_t(Alpha));
  for (int32_t y = r.Top; y < r.Bottom; ++y) {
    uint32_t* row = PixelAddress(r.Left, y);
    ScaleAddRow(row, row, r.Width(), uint32_t(256 - Alpha), scaled);
  }
}

void TDIB::BoxBlur(const TRect& Rect, TPoint MaskSize, TPoint Anchor) {
  if (BitCount != 32)
    return;
  TRect shifted = Rect;
  OffsetRect(shifted, Anchor.X, Anchor.Y);
  if (int64_t(shifted.Left) + MaskSize.X + Anchor.X > Width ||
      int64_t(shifted.Top) + MaskSize.Y + Anchor.Y > Height)
    return;
  if (MaskSize.X < 1 || MaskSize.Y < 1 || Anchor.X < 0 || Anchor.X >= MaskSize.X || Anchor.Y < 0 ||
      Anchor.Y >= MaskSize.Y)
    return;
  // The windows must stay in the pixel memory: a Rect reaching outside the
  // surface is cut to it (for a Rect inside, this changes nothing).
  TRect inside{std::max(Rect.Left, 0), std::max(Rect.Top, 0), std::min(Rect.Right, Width),
               std::min(Rect.Bottom, Height)};
  const int64_t w = int64_t(inside.Right) - inside.Left - MaskSize.X + 1;
  const int64_t h = int64_t(inside.Bottom) - inside.Top - MaskSize.Y + 1;
  if (w <= 0 || h <= 0)
    return;
  BoxFilter32(
      reinterpret_cast<uint8_t*>(PixelAddress(inside.Left + Anchor.X, inside.Top + Anchor.Y)),
      RowStride, TImageSize{int(w), int(h)}, TImageSize{MaskSize.X, MaskSize.Y},
      TImagePoint{Anchor.X, Anchor.Y});
}

namespace {

// Resamples through the map, picking the kernel for the depth: smooth kernels
// for 24- and 32-bit pixels, the nearest pixel for the others (colour-table
// indices and packed values do not mix).
void ResampleSurfaces(const TDIB& Src, const TRect& SrcRect, TDIB& Dest, const TRect& DestPart,
                      const TResampleMap& Map, int32_t Interpolation) {
  const TImageSize srcSize{Src.Width, Src.Height};
  const TImageRect roi{SrcRect.Left, SrcRect.Top, SrcRect.Width(), SrcRect.Height()};
  uint8_t* dst = Dest.PixelMemory + ptrdiff_t(DestPart.Top) * Dest.RowStride;
  const TImageSize dstSize{DestPart.Width(), DestPart.Height()};
  if (Src.BitCount == 24 || Src.BitCount == 32) {
    const int ch = Src.BitCount / 8;
    ResampleBytes(ch, Src.PixelMemory, srcSize, Src.RowStride, roi,
                  dst + ptrdiff_t(DestPart.Left) * ch, Dest.RowStride, dstSize, Map, Interpolation);
  } else {
    ResampleNearestBits(Src.BitCount, Src.PixelMemory, srcSize, Src.RowStride, roi, dst,
                        DestPart.Left, Dest.RowStride, dstSize, Map);
  }
}

bool Resamplable(const TDIB& Src, const TDIB& Dest) {
  return Src.BitCount == Dest.BitCount && !Src.GetEmpty() && !Dest.GetEmpty() &&
         !Src.Image->Compressed && !Dest.Image->Compressed;
}

} // namespace

void TDIB::ScaledCopyTo(TDIB& Dest, const TRect& SrcRect, int32_t Interpolation,
                        const TRect& DestRect) const {
  if (!Resamplable(*this, Dest))
    return;
  const int64_t srcW = int64_t(SrcRect.Right) - SrcRect.Left,
                srcH = int64_t(SrcRect.Bottom) - SrcRect.Top;
  const int64_t dstW = int64_t(DestRect.Right) - DestRect.Left,
                dstH = int64_t(DestRect.Bottom) - DestRect.Top;
  if (srcW <= 0 || srcH <= 0 || dstW <= 0 || dstH <= 0)
    return;
  // The part of DestRect on Dest; the map keeps DestRect's own scale and origin.
  const TRect part{std::max(DestRect.Left, 0), std::max(DestRect.Top, 0),
                   std::min(DestRect.Right, Dest.Width), std::min(DestRect.Bottom, Dest.Height)};
  if (part.Left >= part.Right || part.Top >= part.Bottom)
    return;
  const double xScale = double(srcW) / double(dstW);
  const double yScale = double(srcH) / double(dstH);
  const TResampleMap map{xScale, SrcRect.Left + (part.Left - int64_t(DestRect.Left)) * xScale,
                         yScale, SrcRect.Top + (part.Top - int64_t(DestRect.Top)) * yScale};
  ResampleSurfaces(*this, SrcRect, Dest, part, map, Interpolation);
}

void TDIB::ScaledCopyAboutCenter(TDIB& Dest, const TRect& SrcRect, double XFactor, double YFactor,
                                 double XCenter, double YCenter, int32_t Interpolation) const {
  if (!Resamplable(*this, Dest))
    return;
  if (BitCount == 24)
    ResizeAboutCenter24(PixelMemory, TImageSize{Width, Height}, RowStride,
                        TImageRect{SrcRect.Left, SrcRect.Top, SrcRect.Width(), SrcRect.Height()},
                        Dest.PixelMemory, Dest.RowStride, TImageSize{Dest.Width, Dest.Height},
                        XFactor, YFactor, XCenter, YCenter, Interpolation);
  else if (BitCount == 32)
    ResizeAboutCenter32(PixelMemory, TImageSize{Width, Height}, RowStride,
                        TImageRect{SrcRect.Left, SrcRect.Top, SrcRect.Width(), SrcRect.Height()},
                        Dest.PixelMemory, Dest.RowStride, TImageSize{Dest.Width, Dest.Height},
                        XFactor, YFactor, XCenter, YCenter, Interpolation);
  else if (std::isfinite(XFactor) && std::isfinite(YFactor) && XFactor > 0 && YFactor > 0)
    ResampleSurfaces(*this, SrcRect, Dest, TRect{0, 0, Dest.Width, Dest.Height},
                     TResampleMap{1.0 / XFactor, XCenter - XCenter / XFactor, 1.0 / YFactor,
                                  YCenter - YCenter / YFactor},
                     Interpolation);
}
