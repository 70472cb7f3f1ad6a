// The second half of a frame: every emitter adds one soft, randomly jittered
// spot of light to the surface, saturating per byte.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "Colors.h"
#include "FlameEngine.h"
#include "Numerics.h"
#include "Primitives.h"
#include "Random.h"
#include "SimdKernels.h"
#include "SinCos.h"

namespace {

// Adds colour c to a run of pixels, each at its own level: nothing at a level
// of 0 or below, c in full at 256 or above, otherwise (c byte * level) >> 8;
// every byte saturates at 255 on its own. The same sums as AddPixel and
// AddPixelScaled, written as one branch-free row loop because it runs for
// every pixel of every spot.
void AddSpotRow(uint32_t* dst, const unsigned char* levelBytes, int32_t n, uint32_t c) {
  const uint32_t c0 = c & 0xFF, c1 = (c >> 8) & 0xFF, c2 = (c >> 16) & 0xFF, c3 = c >> 24;
  for (int32_t j = 0; j < n; ++j) {
    int32_t v;
    std::memcpy(&v, levelBytes + size_t(j) * sizeof v, sizeof v); // the buffer now holds integers
    const uint32_t f = uint32_t(std::clamp(v, 0, 256));
    const uint32_t p = dst[j];
    const uint32_t b0 = std::min(255u, (p & 0xFF) + ((c0 * f) >> 8));
    const uint32_t b1 = std::min(255u, ((p >> 8) & 0xFF) + ((c1 * f) >> 8));
    const uint32_t b2 = std::min(255u, ((p >> 16) & 0xFF) + ((c2 * f) >> 8));
    const uint32_t b3 = std::min(255u, (p >> 24) + ((c3 * f) >> 8));
    dst[j] = b0 | (b1 << 8) | (b2 << 16) | (b3 << 24);
  }
}

} // namespace

void TPartForm::EnsureSpotBuffers(int32_t Values) {
  // Only a per-emitter style from a state file can make a box this large; the
  // buffers then grow once and stay grown.
  if (size_t(Values) > FSpotBuf.size()) {
    FSpotBuf.resize(size_t(Values));
    FSpotTmp.resize(size_t(Values));
  }
}

namespace {

// What the random draws of one emitter's spot decide: its box (already cut to
// the clip rectangle), centre, radius, colour and profile.
struct TSpotPlan {
  TRect B;
  float Cx = 0, Cy = 0, R = 0;
  uint32_t Color = 0;
  bool Fat = false;
};

// The random draws of one spot, in their order; false when it draws nothing
// (then only the first draw was taken).
bool DrawRandoms(const TEmitter& E, TSpotDraws& d) {
  const TEmitterStyle& st = *E.Style;
  const uint32_t k = uint32_t(RandomInt(st.MaxAlpha));
  const uint32_t a = (k * uint32_t(E.Alpha)) >> 16;
  if (a == 0)
    return false;
  d.E = &E;
  d.Color = ScaleColor(st.Color, a);
  d.R = float(RandomReal() * double(st.Thickness) + 2.0);
  d.Phi = float(RandomReal() * double(6.2831855f));
  d.M = RandomReal();
  return true;
}

// The spot's centre and box from its draws and the sine and cosine of its
// angle; false when the box misses the clip rectangle.
bool PlaceSpot(const TDIBmp& surface, float offX, float offY, const TSpotDraws& d, float sinPhi,
               float cosPhi, TSpotPlan& p) {
  const TEmitter& E = *d.E;
  const TEmitterStyle& st = *E.Style;
  const float r = d.R;
  const double m = d.M;
  const float cx = float(double(sinPhi) * m * double(st.XWildness) + double(E.X) + double(offX));
  const float cy = float(double(cosPhi) * m * double(st.YWildness) + double(E.Y) + double(offY));

  const float rr = r + 0.5f;
  const double left = RoundHalfEven(double(cx) - double(rr)) + 1;
  const double top = RoundHalfEven(double(cy) - double(rr)) + 1;
  const double right = RoundHalfEven(double(cx) + double(rr));
  const double bottom = RoundHalfEven(double(cy) + double(rr));
  // A centre far outside the surface (or not a number) cannot reach it.
  const double lim = 1073741824.0;
  if (!(left > -lim && top > -lim && right < lim && bottom < lim))
    return false;
  TRect b{int32_t(left), int32_t(top), int32_t(right), int32_t(bottom)};
  if (!surface.ClipToSurface(b))
    return false;
  if (int64_t(b.Width()) * b.Height() > INT32_MAX)
    return false;
  p = TSpotPlan{b, cx, cy, r, d.Color, st.Fat};
  return true;
}

// One spot's draws and placement, for the reference path.
bool PlanSpot(const TDIBmp& surface, float offX, float offY, const TEmitter& E, TSpotPlan& p) {
  TSpotDraws d;
  if (!DrawRandoms(E, d))
    return false;
  return PlaceSpot(surface, offX, offY, d, float(std::sin(double(d.Phi))),
                   float(std::cos(double(d.Phi))), p);
}

} // namespace

void TPartForm::DrawSpots(const TRect& R) {
  TDIBmp& surface = Display.Surface();
  const TRect saved = surface.ClipRect;
  // No spot pixel in the outermost ring of the render area.
  surface.ClipRect = TRect{R.Left + 1, R.Top + 1, R.Right - 1, R.Bottom - 1};
  for (int32_t i = 0; i < FEmitters.Count; ++i)
    DrawSpot(surface, *FEmitters[i]);
  surface.ClipRect = saved;
}

void TPartForm::PlanSpotBoxes(const TRect& R) {
  TDIBmp& surface = Display.Surface();
  const TRect saved = surface.ClipRect;
  surface.ClipRect = TRect{R.Left + 1, R.Top + 1, R.Right - 1, R.Bottom - 1};
  // The same single-precision steps as DrawSpot, a box at a time in vector
  // registers: the random draws of every spot first, in list order; then the
  // sines and cosines of their angles all at once; then each spot's box.
  FSpotDraws.clear();
  for (int32_t i = 0; i < FEmitters.Count; ++i) {
    TSpotDraws d;
    if (DrawRandoms(*FEmitters[i], d))
      FSpotDraws.push_back(d);
  }
  const size_t n = FSpotDraws.size();
  FSpotAngles.resize(n * 3);
  float* phi = FSpotAngles.data();
  float* sines = phi + n;
  float* cosines = sines + n;
  for (size_t i = 0; i < n; ++i)
    phi[i] = FSpotDraws[i].Phi;
  SinCosRun(phi, sines, cosines, n);
  FSpotBoxes.clear();
  FSpotRowSpans.clear();
  FSpotWidest = 0;
  for (size_t i = 0; i < n; ++i) {
    TSpotPlan p;
    if (!PlaceSpot(surface, SurfaceOffsetX, SurfaceOffsetY, FSpotDraws[i], sines[i], cosines[i], p))
      continue;
    const TRect& b = p.B;
    const int32_t w = b.Width();
    // The work buffers grow to the largest box, as on the reference path.
    EnsureSpotBuffers(std::max(w * b.Height(), w + 16));
    FSpotWidest = std::max(FSpotWidest, w);
    TSpotBox box;
    box.Width = w;
    box.Height = b.Height();
    box.Left = b.Left;
    box.Top = b.Top;
    box.Cy = p.Cy;
    box.X0 = float(b.Left) - p.Cx;
    box.Room = surface.Width - b.Left;
    box.K = p.Fat ? -1.0f / p.R : -256.0f / p.R;
    box.Fat = p.Fat;
    box.Color = p.Color;
    FSpotBoxes.push_back(box);
    FSpotRowSpans.push_back(TSpotRowSpan{b.Top, b.Bottom - 1});
  }
  // The last box's levels stay in the work buffer, where DrawSpot leaves them.
  if (!FSpotBoxes.empty())
    FSpotBoxes.back().Levels = reinterpret_cast<int32_t*>(FSpotBuf.data());
  surface.ClipRect = saved;
}

void TPartForm::PaintSpotRows(int32_t Top, int32_t Bottom, const int32_t* Which, size_t Count,
                              int32_t Worker) {
  std::vector<float>& work = FSpotWork[size_t(Worker)];
  TDIBmp& surface = Display.Surface();
  TSpotBatch batch;
  batch.Boxes = FSpotBoxes.data();
  batch.Which = Which;
  batch.Count = Count;
  batch.RowsTop = Top;
  batch.RowsBottom = Bottom;
  batch.Work = work.data();
  AddSpotBoxesFast(surface.PixelMemory, surface.RowStride, batch);
}

void TPartForm::DrawSpot(TDIBmp& surface, const TEmitter& E) {
  TSpotPlan p;
  if (!PlanSpot(surface, SurfaceOffsetX, SurfaceOffsetY, E, p))
    return;
  const TRect& b = p.B;
  const float cx = p.Cx, cy = p.Cy, r = p.R;
  const uint32_t c = p.Color;

  const int32_t w = b.Width();
  const int32_t h = b.Height();
  const int32_t n = w * h;
  EnsureSpotBuffers(n);
  float* buf = FSpotBuf.data();
  float* tmp = FSpotTmp.data();

  // Squared distance to the centre: one ramp row, then one addition per row.
  float d0 = 0;
  for (int32_t y = b.Top; y < b.Bottom; ++y) {
    const int32_t q = (y - b.Top) * w;
    const float dy = float(y) - cy;
    const float dy2 = dy * dy;
    if (q == 0) {
      FillRamp(buf, w, float(b.Left) - cx, 1.0f);
      SquareFloats(buf, tmp, w);
      d0 = dy2;
      AddFloat(tmp, dy2, buf, w);
    } else {
      CopyFloats(buf, tmp + q, w);
      AddFloat(tmp + q, dy2 - d0, buf + q, w);
    }
  }

  int32_t* levels = reinterpret_cast<int32_t*>(buf);
  if (p.Fat) {
    // 256 * sqrt(1 - d / r): bright almost to the rim.
    SqrtFloats(buf, tmp, n);
    MultiplyFloat(tmp, -1.0f / r, buf, n);
    AddFloat(buf, 1.0f, tmp, n);
    SqrtFloats(tmp, buf, n);
    MultiplyFloat(buf, 256.0f, tmp, n);
  } else {
    // 256 * (1 - d / r): a cone.
    SqrtFloats(buf, tmp, n);
    MultiplyFloat(tmp, -256.0f / r, buf, n);
    AddFloat(buf, 256.0f, tmp, n);
  }
  FloatsToInt32Scaled(tmp, levels, n, rmNearestEven, 0);

  const unsigned char* levelBytes = reinterpret_cast<const unsigned char*>(buf);
  for (int32_t y = b.Top; y < b.Bottom; ++y, levelBytes += size_t(w) * sizeof(int32_t))
    AddSpotRow(surface.PixelAddress(b.Left, y), levelBytes, w, c);
}
