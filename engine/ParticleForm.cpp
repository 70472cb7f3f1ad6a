#include "ParticleForm.h"

#include <algorithm>

float OriginX = 0;
float OriginY = 0;
float SurfaceOffsetX = 0;
float SurfaceOffsetY = 0;
TRect DesktopRect;

TPartForm* PartForm = nullptr;

TPartForm::TPartForm(TFlameDisplay& Display)
  : Display(Display), FSpotBuf(SpotBufferValues), FSpotTmp(SpotBufferValues)
{
  FCoverRect = EmptyCover;
  FStyle.Fat = false;
  Display.SetSizeLimits(TRect{16, 16, 16, 16});
  Display.SetLayeredBounds(TRect{0, 0, 16, 16}, true);
}

TPartForm::~TPartForm() = default;

void TPartForm::Tick(int32_t Missed)
{
  const int32_t n = Missed + 1;
  Step(n);
  UpdateCover();
  if (FHueSpeed > 0) {
    FHuePhase = FHuePhase + double(n) * double(FHueSpeed);
    UpdateFadeColor();
  }
  Render();
  Present();
}

void TPartForm::Render()
{
  const TRect bounds = Display.LayeredBounds();
  const TDIBmp& surface = Display.Surface();
  // The layered area, never beyond the surface whatever the display does.
  const TRect r{0, 0, std::min(bounds.Width(), surface.Width), std::min(bounds.Height(), surface.Height)};
  if (IsRectEmpty(r))
    return;
  FadePass(r);
  DrawSpots(r);
}
