// The first half of a frame: blur, move and fade the surface in place, so that
// what earlier frames drew becomes a rising, darkening trail.
#include <algorithm>
#include <cstdlib>

#include "Colors.h"
#include "FlameEngine.h"
#include "FrameRows.h"
#include "Primitives.h"
#include "SimdKernels.h"

namespace {

// Blur and fade-and-move in one walk down the surface, for motion upwards or
// none, giving the bytes of the two passes in turn: the blur reads each
// source row once, ahead of the rows it writes, and every source row is faded
// into its place before anything overwrites it, while it is still in cache.
// Either the filter stores each filtered row in place (then, after each one,
// every source row up to it is faded whole), or the filter stores it faded
// in its new place itself (then the walk moves only what the filter leaves:
// the rows above and below the region and the unfiltered columns at its
// sides, each before the filter's store covers it).
struct TFadeWalk {
  uint8_t* Pixels;
  ptrdiff_t Stride;
  int32_t Width, Up;
  int32_t BlurTop, MovedBottom, BlurLeft, BlurRight; // rows [BlurTop, MovedBottom) the filter moves
  TLaneFactors Lanes;
  int32_t Next; // next source row to fade

  uint32_t* Row(int32_t y) const {
    return reinterpret_cast<uint32_t*>(Pixels + ptrdiff_t(y) * Stride);
  }
  void FadeThrough(int32_t Last) {
    for (; Next <= Last; ++Next) {
      const uint32_t* src = Row(Next);
      uint32_t* dst = Row(Next - Up);
      if (Next >= BlurTop && Next < MovedBottom) {
        ScaleRowLanes(src, dst, BlurLeft, Lanes);
        ScaleRowLanes(src + BlurRight, dst + BlurRight, Width - BlurRight, Lanes);
      } else {
        ScaleRowLanes(src, dst, Width, Lanes);
      }
    }
  }
  // The filter stored region row r in place.
  static void AfterRow(void* Context, int32_t RegionRow) {
    auto* f = static_cast<TFadeWalk*>(Context);
    f->FadeThrough(f->BlurTop + RegionRow);
  }
  // The filter is about to store region row r, faded, Up rows higher.
  static void BeforeRow(void* Context, int32_t RegionRow) {
    auto* f = static_cast<TFadeWalk*>(Context);
    f->FadeThrough(f->BlurTop + RegionRow - f->Up);
  }
};

// Walks so that every source row is read before it is overwritten. Rows no
// source maps to keep their content, unfaded.
void MoveAndFade(const TPixelRows& Rows, int32_t Motion, TLaneFactors Lanes) {
  const int32_t u = std::abs(Motion);
  if (Motion < 0) {
    for (int32_t y = u; y < Rows.Height; ++y)
      ScaleRowLanes(Rows.Row(y), Rows.Row(y - u), Rows.Width, Lanes);
  } else {
    for (int32_t y = Rows.Height - 1 - Motion; y >= 0; --y)
      ScaleRowLanes(Rows.Row(y), Rows.Row(y + Motion), Rows.Width, Lanes);
  }
}

} // namespace

int32_t TFadeSettings::ReachDown() const {
  return std::max(0, YMotion + YBlur / 2);
}

int32_t TFadeSettings::ReachUp() const {
  return std::max(0, YBlur / 2 - YMotion);
}

void FadeRows(const TPixelRows& Rows, const TFadeSettings& S) {
  const int32_t width = Rows.Width;
  const int32_t height = Rows.Height;
  const bool blur =
      (S.XBlur > 1 || S.YBlur > 1) && width >= 2 * S.XBlur - 1 && height >= 2 * S.YBlur - 1;
  const int32_t ax = S.XBlur / 2, ay = S.YBlur / 2;
  const int32_t regionW = width - S.XBlur + 1, regionH = height - S.YBlur + 1;
  uint8_t* origin = Rows.Pixels + ptrdiff_t(ay) * Rows.Stride + ptrdiff_t(ax) * 4;

  // The fused walk, where it gives the same bytes as the blur and then the
  // fade: motion up or none.
  if (blur && S.YMotion <= 0) {
    const int32_t up = -S.YMotion;
    TFadeWalk walk{Rows.Pixels,  Rows.Stride, width,        up,      ay,
                   ay + regionH, ax,          ax + regionW, S.Lanes, up};
    TBoxFade fade;
    fade.Lanes = S.Lanes;
    fade.Up = up;
    fade.RegionTop = ay;
    fade.KeepFrom = height - up - ay;
    fade.BeforeRow = &TFadeWalk::BeforeRow;
    fade.Context = &walk;
    if (FilterBoxFadeFast(origin, Rows.Stride, regionW, regionH, S.XBlur, S.YBlur, ax, ay, fade)) {
      walk.FadeThrough(height - 1);
      return;
    }
    walk.MovedBottom = walk.BlurTop; // this filter moves nothing
    if (FilterBox8u4Fast(origin, Rows.Stride, regionW, regionH, S.XBlur, S.YBlur, ax, ay,
                         &TFadeWalk::AfterRow, &walk)) {
      walk.FadeThrough(height - 1);
      return;
    }
  }

  if (blur)
    BoxFilter32(origin, int(Rows.Stride), TImageSize{regionW, regionH},
                TImageSize{S.XBlur, S.YBlur}, TImagePoint{ax, ay});
  MoveAndFade(Rows, S.YMotion, S.Lanes);
}

void TPartForm::FadePass(const TRect& R) {
  TDIBmp& surface = Display.Surface();
  const int32_t width = R.Right;
  const int32_t height = R.Bottom;
  const TFadeSettings settings = FadeSettings();
  const TPixelRows rows{surface.PixelMemory, surface.RowStride, width, height};
  if (settings.OddWindows() && surface.BitCount == 32) {
    FadeRows(rows, settings);
    return;
  }
  if (FXBlur > 1 || FYBlur > 1) {
    // Too small for the window: this frame goes unblurred.
    if (width >= 2 * FXBlur - 1 && height >= 2 * FYBlur - 1)
      surface.BoxBlur(R, TPoint{FXBlur, FYBlur}, TPoint{FXBlur / 2, FYBlur / 2});
  }
  MoveAndFade(rows, FYMotion, FFadeFactors);
}

TFadeSettings TPartForm::FadeSettings() const {
  return TFadeSettings{FXBlur, FYBlur, FYMotion, FFadeFactors};
}

void TPartForm::UpdateFadeColor(int32_t Alpha, int32_t Hue, int32_t Saturation, int32_t Lightness) {
  FFadeSliders = TFadeSliders{Alpha, Hue, Saturation, Lightness};
  UpdateFadeColor();
}

void TPartForm::UpdateFadeColor() {
  const float h = float(FFadeSliders.Hue) / 256.0f;
  const float s = float(FFadeSliders.Saturation) / 256.0f;
  const float l = float(FFadeSliders.Lightness) / 256.0f;
  const float hue = Frac(float(FHuePhase + double(h)));
  // Colour-reference order: byte 0 red, byte 1 green, byte 2 blue.
  uint32_t c = HslToColor(hue, s, l);
  const uint32_t alpha = uint32_t(std::clamp(FFadeSliders.Alpha, 0, 256));
  c = ScaleRGB(c, alpha);
  // No colour lane above the alpha lane, so faded pixels stay premultiplied.
  FFadeFactors = MakeLaneFactors(uint16_t((c >> 16) & 0xFF), uint16_t((c >> 8) & 0xFF),
                                 uint16_t(c & 0xFF), uint16_t(std::min<uint32_t>(alpha, 255)));
}
