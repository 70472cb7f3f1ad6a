#include "FlameEngine.h"

#include <algorithm>

TPartForm::TPartForm(IFlameDisplay& Display)
    : Display(Display), FSpotBuf(SpotBufferValues), FSpotTmp(SpotBufferValues) {
  FCoverRect = EmptyCover;
  FStyle.Fat = false;
  Display.SetSizeLimits(TRect{16, 16, 16, 16});
  Display.SetLayeredBounds(TRect{0, 0, 16, 16}, true);
}

TPartForm::~TPartForm() = default;

void TPartForm::Tick(int32_t Missed) {
  const int32_t n = Missed + 1;
  Step(n);
  UpdateCover();
  if (FHueSpeed > 0) {
    FHuePhase = FHuePhase + double(n) * double(FHueSpeed);
    UpdateFadeColor();
  }
  if (Render()) {
    FBlankPresented = false;
  } else if (!FBlankPresented) {
    FBlankPresented = true;
  } else {
    return;
  }
  Present();
}

namespace {

// True when every pixel of R is 0 (stops at the first that is not).
bool AllZero(const TDIBmp& S, const TRect& R) {
  for (int32_t y = R.Top; y < R.Bottom; ++y) {
    const uint32_t* row =
        reinterpret_cast<const uint32_t*>(S.PixelMemory + ptrdiff_t(y) * S.RowStride) + R.Left;
    uint32_t any = 0;
    for (int32_t x = 0; x < R.Right - R.Left; ++x)
      any |= row[x];
    if (any != 0)
      return false;
  }
  return true;
}

} // namespace

bool TPartForm::Render() {
  const TRect bounds = Display.LayeredBounds();
  const TDIBmp& surface = Display.Surface();
  // The layered area, never beyond the surface whatever the display does.
  const TRect r{0, 0, std::min(bounds.Width(), surface.Width),
                std::min(bounds.Height(), surface.Height)};
  if (IsRectEmpty(r))
    return false;
  // An all-zero cover with no emitters stays all zero (blur and fade of zeros
  // are zeros, and no spot is drawn): an idle flame costs one read of the cover.
  if (FEmitters.Count == 0 && !FDebug && surface.BitCount == 32 && AllZero(surface, r))
    return false;
  // Debug: wipe the trails every frame so the cover shows as a dim rectangle.
  if (FDebug)
    Display.Surface().FillRect(r, 0x40000000u, 256);
  if (ActiveKernelPath() == TKernelPath::Reference) {
    FadePass(r);
    DrawSpots(r);
  } else {
    RenderBands(r);
  }
  return true;
}
