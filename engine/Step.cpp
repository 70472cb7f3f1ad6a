// Adding emitters and the simulation step: falling, attraction, ageing.
#include <algorithm>
#include <cmath>
#include <memory>

#include "FlameEngine.h"
#include "Random.h"

namespace {

// Lifetime 0 to 10 % longer than set; 0.1 as the single it is stored as.
float NewLife(float lifetime) {
  if (lifetime == ImmortalLife)
    return ImmortalLife;
  return float(double(lifetime) + RandomReal() * double(lifetime) * double(0.1f));
}

constexpr double HalfPi = 1.57079632679489661923;
constexpr double ThreeHalfPi = 4.71238898038468985769;

// Angle whose (cos, -sin) points from the emitter to the attraction point.
float Direction(float dx, float dy) {
  if (dy < 0)
    return float(std::atan(double(dx) / double(dy)) + HalfPi);
  if (dy > 0)
    return float(std::atan(double(dx) / double(dy)) + ThreeHalfPi);
  return dx >= 0 ? 0.0f : 3.1415927f;
}

} // namespace

TEmitter* TPartForm::AddEmitter(const TEmitterStyle* Style, int32_t Intensity, float X, float Y) {
  auto e = std::make_unique<TEmitter>();
  e->X = X;
  e->Y = Y;
  e->Z = 0;
  e->W = 0;
  FAttractor = TVector4{X, Y, 0, 0};
  e->Fall = 0;
  e->Life = NewLife(FLifetime);
  // Intensities come from files too; keep them in the range the drawing expects.
  Intensity = std::clamp(Intensity, 0, 256);
  e->BaseAlpha = Intensity;
  e->Alpha = Intensity * 256;
  if (FIndependent || Style) {
    e->OwnStyle = Style ? *Style : FStyle;
    e->Style = &e->OwnStyle;
  } else {
    e->Style = &FStyle;
  }
  // One deletion at most; an empty list (FMaxCount 0 before the style is
  // applied) has nothing to drop.
  if (FEmitters.Count >= FMaxCount && FEmitters.Count > 0)
    FEmitters.Delete(0);
  TEmitter* result = e.get();
  FEmitters.Add(std::move(e));
  FChanged = true;
  return result;
}

void TPartForm::Step(int32_t Ticks) {
  for (int32_t pass = 0; pass < Ticks; ++pass) {
    if (FGravity > 0) {
      for (int32_t i = FEmitters.Count - 1; i >= 0; --i) {
        TEmitter& e = *FEmitters[i];
        if (std::signbit(e.Fall)) {
          const float t = e.Fall + FFrameTime;
          e.Fall = t >= 0 ? 0.0f : t;
        } else {
          e.Y = e.Y + e.Fall;
          e.Fall = e.Fall + FGravity;
          // Fallen below the screen.
          if (double(e.Y) > double(OriginY) + double(e.Style->Thickness))
            FEmitters.Delete(i);
        }
      }
      FChanged = true;
    }

    if (FAttraction != 0) {
      for (int32_t i = FEmitters.Count - 1; i >= 0; --i) {
        TEmitter& e = *FEmitters[i];
        const float dx = FAttractor.X - e.X;
        const float dy = FAttractor.Y - e.Y;
        const float d = float(std::sqrt(double(dx) * dx + double(dy) * dy));
        const float theta = Direction(dx, dy);
        const float c = float(std::cos(double(theta)));
        const float s = float(std::sin(double(theta)));
        if (FAttraction < 0) {
          if (d <= 2.0f)
            continue;
          // Inversely proportional to the distance: close emitters jump far.
          const float step = float(1.0 / (double(d) * double(FAttraction)));
          e.X = float(double(e.X) + double(c) * double(step));
          e.Y = float(double(e.Y) - double(s) * double(step));
          const double t = e.Style->Thickness;
          if (double(e.X) < -double(OriginX) - t || double(e.Y) < -double(OriginY) - t ||
              double(e.X) > double(OriginX) + t || double(e.Y) > double(OriginY) + t)
            FEmitters.Delete(i);
        } else {
          const float step = float(double(d) * double(FAttraction));
          e.X = float(double(e.X) + double(c) * double(step));
          e.Y = float(double(e.Y) - double(s) * double(step));
        }
      }
      FChanged = true;
    }
  }

  const float dt = float(double(Ticks) * double(FFrameTime));
  for (int32_t i = FEmitters.Count - 1; i >= 0; --i) {
    TEmitter& e = *FEmitters[i];
    if (e.Life == ImmortalLife)
      continue;
    e.Life = e.Life - dt;
    if (e.Life < 0) {
      const double a = std::nearbyint(double(e.Life) * double(FFadeOutScale) + 256.0);
      if (!(a > 0)) // also a NaN level: nothing left to show
        FEmitters.Delete(i);
      else // at most 256 while Life is negative; held there whatever the fade scale
        e.Alpha = e.BaseAlpha * int32_t(std::min(a, 256.0));
    }
  }

  if (FDebug && OnDebugCaption)
    OnDebugCaption(DebugCaption(FEmitters.Count, Ticks - 1, FDebugCounter));
}

std::string TPartForm::DebugCaption(int32_t Count, int32_t Overflow, int32_t Counter) {
  return "Emitters: " + std::to_string(Count) + "   Frame overflow: " + std::to_string(Overflow) +
         "    Debug: " + std::to_string(Counter);
}

TArtBounds TPartForm::GetArtBounds() const {
  TArtBounds b{2147483648.0f, 2147483648.0f, -2147483648.0f, -2147483648.0f};
  for (int32_t i = 0; i < FEmitters.Count; ++i) {
    const TEmitter& e = *FEmitters[i];
    if (b.MinX >= e.X)
      b.MinX = e.X;
    if (b.MinY >= e.Y)
      b.MinY = e.Y;
    if (b.MaxX <= e.X)
      b.MaxX = e.X;
    if (b.MaxY <= e.Y)
      b.MaxY = e.Y;
  }
  return b;
}
