// The first half of a frame: blur, move and fade the surface in place, so that
// what earlier frames drew becomes a rising, darkening trail.
#include <algorithm>
#include <cstdlib>

#include "Colors.h"
#include "FlameEngine.h"
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

} // namespace

void TPartForm::FadePass(const TRect& R) {
  TDIBmp& surface = Display.Surface();
  const int32_t width = R.Right;
  const int32_t height = R.Bottom;

  // Debug: wipe the trails every frame so the cover shows as a dim rectangle.
  if (FDebug)
    surface.FillRect(R, 0x40000000u, 256);

  // The fused walk, where it gives the same bytes as the blur and then the
  // fade: odd windows (the surface's blur then always runs), motion up or none.
  if ((FXBlur > 1 || FYBlur > 1) && FXBlur % 2 == 1 && FYBlur % 2 == 1 && FYMotion <= 0 &&
      width >= 2 * FXBlur - 1 && height >= 2 * FYBlur - 1 && surface.BitCount == 32 &&
      R.Right <= surface.Width && R.Bottom <= surface.Height) {
    const int32_t ax = FXBlur / 2, ay = FYBlur / 2;
    const int32_t up = -FYMotion;
    const int32_t regionW = width - FXBlur + 1, regionH = height - FYBlur + 1;
    uint8_t* origin = surface.PixelMemory + ptrdiff_t(ay) * surface.RowStride + ptrdiff_t(ax) * 4;
    TFadeWalk walk{surface.PixelMemory, surface.RowStride, width, up, ay, ay + regionH, ax,
                   ax + regionW,        FFadeFactors,      up};
    TBoxFade fade;
    fade.Lanes = FFadeFactors;
    fade.Up = up;
    fade.RegionTop = ay;
    fade.KeepFrom = height - up - ay;
    fade.BeforeRow = &TFadeWalk::BeforeRow;
    fade.Context = &walk;
    if (FilterBoxFadeFast(origin, surface.RowStride, regionW, regionH, FXBlur, FYBlur, ax, ay,
                          fade)) {
      walk.FadeThrough(height - 1);
      return;
    }
    walk.MovedBottom = walk.BlurTop; // this filter moves nothing
    if (FilterBox8u4Fast(origin, surface.RowStride, regionW, regionH, FXBlur, FYBlur, ax, ay,
                         &TFadeWalk::AfterRow, &walk)) {
      walk.FadeThrough(height - 1);
      return;
    }
  }

  if (FXBlur > 1 || FYBlur > 1) {
    // Too small for the window: this frame goes unblurred.
    if (width >= 2 * FXBlur - 1 && height >= 2 * FYBlur - 1)
      surface.BoxBlur(R, TPoint{FXBlur, FYBlur}, TPoint{FXBlur / 2, FYBlur / 2});
  }

  // Walk so that every source row is read before it is overwritten. Rows no
  // source maps to keep their content, unfaded.
  const int32_t u = std::abs(FYMotion);
  if (FYMotion < 0) {
    for (int32_t y = u; y < height; ++y)
      ScaleRowLanes(surface.PixelAddress(0, y), surface.PixelAddress(0, y - u), width,
                    FFadeFactors);
  } else {
    for (int32_t y = height - 1 - FYMotion; y >= 0; --y)
      ScaleRowLanes(surface.PixelAddress(0, y), surface.PixelAddress(0, y + FYMotion), width,
                    FFadeFactors);
  }
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
