// Operations on the art as a whole.
#include <cmath>

#include "FlameEngine.h"

void TPartForm::CenterArt() {
  const TArtBounds b = GetArtBounds();
  // With no art the bounds are +-2^31 and the shift is 0.
  const TVector4 t{float(-(double(b.MinX) + double(b.MaxX)) * 0.5),
                   float(-(double(b.MinY) + double(b.MaxY)) * 0.5), 0.0f, 0.0f};
  for (int32_t i = 0; i < FEmitters.Count; ++i) {
    TEmitter& e = *FEmitters[i];
    e.X = e.X + t.X;
    e.Y = e.Y + t.Y;
    e.Z = e.Z + t.Z;
    e.W = e.W + t.W;
  }
  ClearFading();
  FChanged = true;
}

void TPartForm::RotateArt() {
  // Axis-angle rotation about (0, 0, 1) by pi / 10, applied to row vectors.
  const float theta = 0.31415927f;
  const float c = float(std::cos(double(theta)));
  const float s = float(std::sin(double(theta)));
  const float t = 1.0f - c;
  const float x = 0, y = 0, z = 1;
  const float m[4][4] = {
      {float(double(x) * x * t + c), float(double(x) * y * t - double(z) * s),
       float(double(z) * x * t + double(y) * s), 0},
      {float(double(x) * y * t + double(z) * s), float(double(y) * y * t + c),
       float(double(y) * z * t - double(x) * s), 0},
      {float(double(z) * x * t - double(y) * s), float(double(y) * z * t + double(x) * s),
       float(double(z) * z * t + c), 0},
      {0, 0, 0, 1},
  };
  for (int32_t i = 0; i < FEmitters.Count; ++i) {
    TEmitter& e = *FEmitters[i];
    const float v[4] = {e.X, e.Y, e.Z, e.W};
    float r[4];
    for (int j = 0; j < 4; ++j)
      r[j] = float(double(v[0]) * m[0][j] + double(v[1]) * m[1][j] + double(v[2]) * m[2][j] +
                   double(v[3]) * m[3][j]);
    e.X = r[0] + 10.0f;
    e.Y = r[1];
    e.Z = r[2];
    e.W = r[3];
  }
  FChanged = true;
}

void TPartForm::StartOver() {
  FEmitters.Reset();
  ClearFading();
}
