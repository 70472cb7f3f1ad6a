// The first half of a frame: blur, move and fade the surface in place, so that
// what earlier frames drew becomes a rising, darkening trail.
#include <algorithm>
#include <cstdlib>

#include "Colors.h"
#include "ParticleForm.h"

void TPartForm::FadePass(const TRect& R)
{
  TDIBmp& surface = Display.Surface();
  const int32_t width = R.Right;
  const int32_t height = R.Bottom;

  // Debug: wipe the trails every frame so the cover shows as a dim rectangle.
  if (FDebug)
    surface.FillRect(R, 0x40000000u, 256);

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
      ScaleRowLanes(surface.PixelAddress(0, y), surface.PixelAddress(0, y - u), width, FFadeFactors);
  } else {
    for (int32_t y = height - 1 - FYMotion; y >= 0; --y)
      ScaleRowLanes(surface.PixelAddress(0, y), surface.PixelAddress(0, y + FYMotion), width, FFadeFactors);
  }
}

void TPartForm::UpdateFadeColor(int32_t Alpha, int32_t Hue, int32_t Saturation, int32_t Lightness)
{
  FFadeSliders = TFadeSliders{Alpha, Hue, Saturation, Lightness};
  UpdateFadeColor();
}

void TPartForm::UpdateFadeColor()
{
  const float h = float(FFadeSliders.Hue) / 256.0f;
  const float s = float(FFadeSliders.Saturation) / 256.0f;
  const float l = float(FFadeSliders.Lightness) / 256.0f;
  const float hue = Frac(float(FHuePhase + double(h)));
  // Colour-reference order: byte 0 red, byte 1 green, byte 2 blue.
  uint32_t c = HslToColor(hue, s, l);
  const uint32_t alpha = uint32_t(std::clamp(FFadeSliders.Alpha, 0, 256));
  c = ScaleRGB(c, alpha);
  // No colour lane above the alpha lane, so faded pixels stay premultiplied.
  FFadeFactors = MakeLaneFactors(uint16_t((c >> 16) & 0xFF), uint16_t((c >> 8) & 0xFF), uint16_t(c & 0xFF),
                                 uint16_t(std::min<uint32_t>(alpha, 255)));
}
