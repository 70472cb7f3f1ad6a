#include "Stroke.h"

#include <cmath>
#include <numbers>

#include "FlameEngine.h"

TArtPoint ScreenToArt(int32_t ScreenX, int32_t ScreenY, float OriginX, float OriginY) {
  // An int32 minus a single is exact in double; only the store rounds.
  return {static_cast<float>(static_cast<double>(ScreenX) - static_cast<double>(OriginX)),
          static_cast<float>(static_cast<double>(ScreenY) - static_cast<double>(OriginY))};
}

int32_t StrokeIntensity(bool Ctrl, bool Shift) {
  if (Ctrl)
    return 128;
  if (Shift)
    return 64;
  return 256;
}

float StrokeSpacing(float Thickness) {
  if (!(Thickness >= 0.0f) || std::isinf(Thickness))
    Thickness = 0.0f;
  return (Thickness + 2.0f) * 0.5f;
}

void TStroke::Press(TArtPoint P, int32_t Intensity, float Thickness, const TStrokeSink& Add) {
  FDrawing = true;
  FLastPoint.X = NoPoint;
  Move(P, Intensity, Thickness, Add);
}

void TStroke::Move(TArtPoint P, int32_t Intensity, float Thickness, const TStrokeSink& Add) {
  if (!FDrawing)
    return;
  if (FLastPoint.X != NoPoint) {
    const float dX = FLastPoint.X - P.X;
    const float dY = FLastPoint.Y - P.Y;
    const float Dist = std::sqrt(dX * dX + dY * dY);
    const float Spacing = StrokeSpacing(Thickness);
    // The quotient of two singles in double never lands on a tie it does not
    // really have, which a single quotient could.
    const double Ratio = static_cast<double>(Dist) / static_cast<double>(Spacing);
    const long N = std::lrint(Ratio);
    if (N > 0) {
      const float Step = Dist / static_cast<float>(N + 1);
      constexpr double Pi = std::numbers::pi;
      // The angle of (dX, -dY).
      float A;
      if (dY < 0)
        A = static_cast<float>(std::atan(static_cast<double>(dX) / dY) + Pi / 2);
      else if (dY > 0)
        A = static_cast<float>(std::atan(static_cast<double>(dX) / dY) + 3 * Pi / 2);
      else
        A = dX >= 0 ? 0.0f : static_cast<float>(Pi);
      const float Cs = static_cast<float>(Step * std::cos(static_cast<double>(A)));
      const float Sn = static_cast<float>(Step * std::sin(static_cast<double>(A)));
      for (long i = 0; i < N; ++i) {
        FLastPoint.X = FLastPoint.X - Cs;
        FLastPoint.Y = FLastPoint.Y + Sn;
        Add(Intensity, FLastPoint.X, FLastPoint.Y);
      }
    }
  }
  Add(Intensity, P.X, P.Y);
  FLastPoint = P;
}

namespace {

TStrokeSink EngineSink(TPartForm& Form) {
  return
      [&Form](int32_t Intensity, float X, float Y) { Form.AddEmitter(nullptr, Intensity, X, Y); };
}

} // namespace

void StrokeMove(TPartForm& Form, TStroke& Stroke, int32_t ScreenX, int32_t ScreenY, bool Ctrl,
                bool Shift) {
  const TArtPoint P = ScreenToArt(ScreenX, ScreenY, Form.OriginX, Form.OriginY);
  Stroke.Move(P, StrokeIntensity(Ctrl, Shift), Form.FStyle.Thickness, EngineSink(Form));
  Form.FAttractor = {P.X, P.Y, 0, 0};
}

void StrokePress(TPartForm& Form, TStroke& Stroke, int32_t ScreenX, int32_t ScreenY, bool Ctrl,
                 bool Shift) {
  const TArtPoint P = ScreenToArt(ScreenX, ScreenY, Form.OriginX, Form.OriginY);
  Stroke.Press(P, StrokeIntensity(Ctrl, Shift), Form.FStyle.Thickness, EngineSink(Form));
  Form.FAttractor = {P.X, P.Y, 0, 0};
}
