#include "StyleMapping.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "Colors.h"
#include "FlameEngine.h"
#include "Random.h"

namespace {
using S = TStyleSettings;
constexpr int S::*NoSlider = nullptr;
constexpr bool S::*NoCheck = nullptr;
using G = TStyleGroup;
} // namespace

const std::array<TStyleValue, 25> StyleValues = {{
    {"PASel", "Max alpha", "Max_alpha", G::Emitters, 0, 256, 55, false, &S::MaxAlpha, NoCheck},
    {"PHSel", "Hue", "Hue", G::Emitters, 0, 256, 35, true, &S::Hue, NoCheck},
    {"PSSel", "Saturation", "Saturation", G::Emitters, 0, 256, 107, false, &S::Saturation, NoCheck},
    {"PLSel", "Lightness", "Lightness", G::Emitters, 0, 256, 175, false, &S::Lightness, NoCheck},
    {"MaxCountSel", "Max count", "Max_count", G::Emitters, 10, 20000, 10000, false, &S::MaxCount,
     NoCheck},
    {"PMaxSizeSel", "Thickness", "Thickness", G::Emitters, 0, 50, 15, false, &S::Thickness,
     NoCheck},
    {"GlowBox", "Fat", "Fat", G::Emitters, 0, 1, 0, false, NoSlider, &S::Fat},
    {"PXSpreadSel", "X wildness", "X_wildness", G::Emitters, 0, 100, 7, false, &S::XWildness,
     NoCheck},
    {"PYSpreadSel", "Y wildness", "Y_wildness", G::Emitters, 0, 100, 1, false, &S::YWildness,
     NoCheck},
    {"IndPartBox", "Independent emitters", "Independent_emitters", G::Emitters, 0, 1, 0, false,
     NoSlider, &S::Independent},
    {"FASel", "Fade alpha", "Fade_alpha", G::Fading, 0, 256, 248, false, &S::FadeAlpha, NoCheck},
    {"FHSel", "Fade hue", "Fade_hue", G::Fading, 0, 256, 20, true, &S::FadeHue, NoCheck},
    {"FSSel", "Fade saturation", "Fade_saturation", G::Fading, 0, 256, 256, false,
     &S::FadeSaturation, NoCheck},
    {"FLSel", "Fade lightness", "Fade_lightness", G::Fading, 0, 256, 240, false, &S::FadeLightness,
     NoCheck},
    {"FHCycleSel", "Fade hue cycle", "Fade_hue_cycle", G::Fading, 0, 1000, 0, false,
     &S::FadeHueCycle, NoCheck},
    {"XBlurSel", "X blur", "X_blur", G::Fading, 0, 8, 1, false, &S::XBlur, NoCheck},
    {"YBlurSel", "Y blur", "Y_blur", G::Fading, 0, 8, 1, false, &S::YBlur, NoCheck},
    {"YMotionSel", "Y motion", "Y_motion", G::Fading, -3, 3, -1, false, &S::YMotion, NoCheck},
    {"FPSSel", "FPS", "FPS", G::Animation, 10, 100, 30, false, &S::FPS, NoCheck},
    {"GravitySel", "Gravity", "Gravity", G::Animation, 0, 1000, 0, false, &S::Gravity, NoCheck},
    {"AttractionSel", "Attraction", "Attraction", G::Animation, -1000, 1000, 0, false,
     &S::Attraction, NoCheck},
    {"ELTSel", "Emitter lifetime", "Emitter_lifetime", G::Animation, 0, 1000, 1000, false,
     &S::EmitterLifetime, NoCheck},
    {"EFOSel", "Emitter fade out", "Emitter_fade_out", G::Animation, 0, 1000, 200, false,
     &S::EmitterFadeOut, NoCheck},
    {"AddBox", "Additive (only works with some graphic cards)", nullptr, G::System, 0, 1, 0, false,
     NoSlider, &S::Additive},
    {"DebugBox", "Debug mode", nullptr, G::System, 0, 1, 0, false, NoSlider, &S::Debug},
}};

int ApplyRange(int Value, int Min, int Max, bool Endless) {
  if (Max < Min)
    return Min;
  if (!Endless)
    return std::clamp(Value, Min, Max);
  // Wrapping by whole turns; done in 64 bits with a modulo so that a huge
  // value from a file takes no time and cannot overflow.
  const int64_t span = int64_t(Max) - Min + 1;
  int64_t v = (int64_t(Value) - Min) % span;
  if (v < 0)
    v += span;
  return int(v + Min);
}

int ApplyRange(int Value, const TStyleValue& Slider) {
  return ApplyRange(Value, Slider.Min, Slider.Max, Slider.Endless);
}

TStyleSettings InRange(const TStyleSettings& In) {
  TStyleSettings out = In;
  for (const TStyleValue& v : StyleValues)
    if (v.Slider)
      out.*v.Slider = ApplyRange(out.*v.Slider, v);
  return out;
}

float ExpMap(int N, double t) {
  return float(std::exp(std::log(double(N) + 1.0) * t) - 1.0);
}

int TrailLength(int C) {
  C = std::clamp(C, 0, 255);
  int v = 255, replacements = 0;
  while (v != 0) {
    v = (v * C) / 256;
    ++replacements;
  }
  return replacements - 1;
}

int FrameInterval(int FPS) {
  if (FPS <= 0)
    FPS = 1;
  return int(std::nearbyint(1000.0 / FPS));
}

void UpdateArtMargin(TPartForm& Form, const TStyleSettings& In) {
  const TStyleSettings s = InRange(In);
  float t = Form.FStyle.Thickness;
  for (int i = 0; i < Form.FEmitters.Count; ++i) {
    const TEmitter* e = Form.Emitter(i);
    t = std::max(t, e->Style->Thickness);
  }
  t = t + 2.0f;
  const int mx = int(
      std::nearbyint(2.0 * double(Form.FStyle.XWildness) + double(t) + 4.0 * (Form.FXBlur - 1)));
  const int my = int(
      std::nearbyint(2.0 * double(Form.FStyle.YWildness) + double(t) + 4.0 * (Form.FYBlur - 1)));
  const int d = std::abs(Form.FYMotion) * TrailLength(std::min(s.FadeAlpha, 255));
  if (Form.FYMotion < 0)
    Form.FArtMargin = {mx, my + d, mx, my};
  else
    Form.FArtMargin = {mx, my, mx, my + d};
}

void YMotionSelChange(TPartForm& Form, const TStyleSettings& In) {
  const TStyleSettings s = InRange(In);
  Form.FStyle.Thickness = float(s.Thickness);
  Form.FStyle.XWildness = float(s.XWildness);
  Form.FStyle.YWildness = float(s.YWildness);
  Form.FXBlur = 2 * s.XBlur + 1;
  Form.FYBlur = 2 * s.YBlur + 1;
  Form.FYMotion = s.YMotion;
  Form.FHueSpeed = float(double(ExpMap(1000, s.FadeHueCycle / 1000.0)) / 10000.0);
  if (!(Form.FHueSpeed > 0))
    Form.FHuePhase = 0;
  Form.UpdateFadeColor(s.FadeAlpha, s.FadeHue, s.FadeSaturation, s.FadeLightness);
  uint32_t color = SwapRB(HslToColor(s.Hue / 256.0f, s.Saturation / 256.0f, s.Lightness / 256.0f));
  if (!s.Additive)
    color |= 0xFF000000u;
  Form.FStyle.Color = color;
  Form.FStyle.MaxAlpha = std::min(s.MaxAlpha, 256);
  UpdateArtMargin(Form, s);
  Form.FMaxCount = s.MaxCount;
  while (Form.FEmitters.Count > Form.FMaxCount)
    Form.FEmitters.Delete(0);
  Form.FChanged = true;
}

void GravitySelChange(TPartForm& Form, const TStyleSettings& In) {
  const TStyleSettings s = InRange(In);
  const bool wasOff = Form.FGravity == 0.0f;
  Form.FGravity = float(double(ExpMap(1000, s.Gravity / 1000.0)) * double(Form.FFrameTime) * 3e-5);
  if (wasOff && Form.FGravity > 0) {
    for (int i = 0; i < Form.FEmitters.Count; ++i)
      Form.Emitter(i)->Fall = float(-(RandomReal() * 3000.0 + 100.0));
  }
  const int p = s.Attraction;
  if (p == 0)
    Form.FAttraction = 0;
  else if (p > 0)
    Form.FAttraction = float(double(ExpMap(1000, p / 1000.0)) * double(Form.FFrameTime) * 5e-6);
  else
    Form.FAttraction =
        float(double(ExpMap(1000, (p + 1000) / 1000.0)) * double(Form.FFrameTime) * -5e-6);

  const float fadeT = float(s.EmitterFadeOut * 0.001);
  Form.FFadeOut = float(double(ExpMap(500, fadeT)) * 600.0 + 100.0);
  Form.FFadeOutScale = float(256.0 / double(Form.FFadeOut));

  if (s.EmitterLifetime == 1000) {
    Form.FLifetime = ImmortalLife;
    return;
  }
  // Unlike the fade-out's, this product stays in double: rounding it to a
  // single first moves about half the positions' lifetimes by one unit.
  const double lifeT = s.EmitterLifetime * 0.001;
  Form.FLifetime = float(double(ExpMap(500, lifeT)) * 600.0 + 100.0);
  const double life = Form.FLifetime;
  for (int i = 0; i < Form.FEmitters.Count; ++i) {
    TEmitter* e = Form.Emitter(i);
    if (double(e->Life) > 2.0 * life)
      e->Life = float(life + RandomReal() * life * double(0.1f));
  }
}

int FPSSelChange(TPartForm& Form, const TStyleSettings& In) {
  const TStyleSettings s = InRange(In);
  const int interval = FrameInterval(s.FPS);
  Form.FFrameTime = float(interval);
  GravitySelChange(Form, s);
  return interval;
}

void IndPartBoxClick(TPartForm& Form, const TStyleSettings& S) {
  Form.FIndependent = S.Independent;
  Form.FStyle.Fat = S.Fat;
}

void DebugBoxClick(TPartForm& Form, const TStyleSettings& S) {
  Form.FDebug = S.Debug;
}

int ApplyStyle(TPartForm& Form, const TStyleSettings& S) {
  YMotionSelChange(Form, S);
  const int interval = FPSSelChange(Form, S);
  GravitySelChange(Form, S);
  IndPartBoxClick(Form, S);
  return interval;
}
