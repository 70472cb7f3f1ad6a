#include "ColorKernels.h"

#include <algorithm>

#include "SimdKernels.h"

namespace {

// Widen, multiply, shift and narrow with saturation: one 8-bit channel.
inline uint8_t ScaleByte(uint32_t v, uint32_t f) {
  const uint32_t r = (v * f) >> 8;
  return uint8_t(r > 255 ? 255 : r);
}

// The part of a rectangle of the first picture that lies inside it and, moved to
// each further picture's point, inside that picture too.
struct TClip {
  int64_t X0, Y0, X1, Y1; // in the first picture; X1, Y1 exclusive

  TClip(const TRect& r, int32_t w, int32_t h)
      : X0(std::max<int64_t>(r.Left, 0)), Y0(std::max<int64_t>(r.Top, 0)),
        X1(std::min<int64_t>(r.Right, w)), Y1(std::min<int64_t>(r.Bottom, h)) {}

  // The picture (w x h) gets pixel (x + dx, y + dy) for pixel (x, y) of the first.
  void Limit(int64_t dx, int64_t dy, int32_t w, int32_t h) {
    X0 = std::max(X0, -dx);
    Y0 = std::max(Y0, -dy);
    X1 = std::min(X1, w - dx);
    Y1 = std::min(Y1, h - dy);
  }
  bool Empty() const { return X0 >= X1 || Y0 >= Y1; }
};

bool Usable(const uint8_t* bits, int32_t w, int32_t h) {
  return bits && w > 0 && h > 0;
}

} // namespace

void ScaleRow(const uint32_t* src, uint32_t* dst, int32_t count, uint32_t f) {
  const uint16_t f16 = uint16_t(f);
  ScaleRowLanes(src, dst, count, MakeLaneFactors(f16, f16, f16, f16));
}

void ScaleRowLanes(const uint32_t* src, uint32_t* dst, int32_t count, TLaneFactors lanes) {
  if (!ScaleRowLanesFast(src, dst, count, lanes))
    ScaleRowLanesReference(src, dst, count, lanes);
}

void ScaleRowLanesReference(const uint32_t* src, uint32_t* dst, int32_t count, TLaneFactors lanes) {
  const uint8_t* s = reinterpret_cast<const uint8_t*>(src);
  uint8_t* d = reinterpret_cast<uint8_t*>(dst);
  const uint32_t l0 = LaneOf(lanes, 0), l1 = LaneOf(lanes, 1), l2 = LaneOf(lanes, 2),
                 l3 = LaneOf(lanes, 3);
  for (int32_t i = 0; i < count; ++i) {
    const uint8_t* p = s + 4 * intptr_t(i);
    uint8_t* q = d + 4 * intptr_t(i);
    const uint8_t b0 = ScaleByte(p[0], l0), b1 = ScaleByte(p[1], l1), b2 = ScaleByte(p[2], l2),
                  b3 = ScaleByte(p[3], l3);
    q[0] = b0;
    q[1] = b1;
    q[2] = b2;
    q[3] = b3;
  }
}

void ScaleAddRow(const uint32_t* src, uint32_t* dst, int32_t count, uint32_t f, uint32_t addend) {
  const uint8_t* s = reinterpret_cast<const uint8_t*>(src);
  uint8_t* d = reinterpret_cast<uint8_t*>(dst);
  const uint32_t f16 = f & 0xFFFFu;
  uint32_t a[4];
  for (int k = 0; k < 4; ++k)
    a[k] = (addend >> (8 * k)) & 0xFFu;
  for (int32_t i = 0; i < count; ++i) {
    const uint8_t* p = s + 4 * intptr_t(i);
    uint8_t* q = d + 4 * intptr_t(i);
    uint32_t v[4];
    for (int k = 0; k < 4; ++k)
      v[k] = std::min<uint32_t>(255, ((p[k] * f16) >> 8) + a[k]);
    for (int k = 0; k < 4; ++k)
      q[k] = uint8_t(v[k]);
  }
}

TLerpTable BuildLerpTable(int32_t f) {
  TLerpTable t;
  for (int32_t j = 1; j <= 255; ++j) {
    // Arithmetic shift: f is 0..256 in use, a negative f still gives T[-j] = -T[j].
    const int32_t v = int32_t((int64_t(f) * j) >> 8);
    t.Values[std::size_t(255 + j)] = v;
    t.Values[std::size_t(255 - j)] = -v;
  }
  return t;
}

void LerpRow24(const uint8_t* a, const uint8_t* b, uint8_t* dst, int32_t count,
               const TLerpTable& t) {
  const intptr_t n = 3 * intptr_t(std::max(count, 0));
  for (intptr_t i = 0; i < n; ++i)
    dst[i] = uint8_t(b[i] + t[int32_t(a[i]) - int32_t(b[i])]);
}

void PremulOverRow24(const uint32_t* src, uint8_t* dst, int32_t count) {
  const uint8_t* s = reinterpret_cast<const uint8_t*>(src);
  for (int32_t i = 0; i < count; ++i) {
    const uint8_t* p = s + 4 * intptr_t(i);
    uint8_t* q = dst + 3 * intptr_t(i);
    const uint32_t inv = 256 - p[3];
    // Saturated: an additive pixel (colour above its alpha) brightens instead of wrapping.
    for (int k = 0; k < 3; ++k)
      q[k] = uint8_t(std::min<uint32_t>(255, ((q[k] * inv) >> 8) + p[k]));
  }
}

void PaletteRow8To24(const uint8_t* src, uint8_t* dst, int32_t count, int32_t transparent,
                     const uint32_t* table) {
  for (int32_t i = 0; i < count; ++i) {
    const uint8_t j = src[i];
    uint8_t* q = dst + 3 * intptr_t(i);
    if (j == transparent)
      continue;
    const uint32_t e = table[j];
    q[0] = uint8_t(e);
    q[1] = uint8_t(e >> 8);
    q[2] = uint8_t(e >> 16);
  }
}

void LerpRect24(const TPixelView& a, const TRect& rect, const TPixelView& b, TPoint bAt, int32_t f,
                const TPixelView& d, TPoint dAt) {
  if (!Usable(a.Bits, a.Width, a.Height) || !Usable(b.Bits, b.Width, b.Height) ||
      !Usable(d.Bits, d.Width, d.Height))
    return;
  TClip c(rect, a.Width, a.Height);
  const int64_t bdx = int64_t(bAt.X) - rect.Left, bdy = int64_t(bAt.Y) - rect.Top;
  const int64_t ddx = int64_t(dAt.X) - rect.Left, ddy = int64_t(dAt.Y) - rect.Top;
  c.Limit(bdx, bdy, b.Width, b.Height);
  c.Limit(ddx, ddy, d.Width, d.Height);
  if (c.Empty())
    return;
  const TLerpTable t = BuildLerpTable(f);
  const int32_t w = int32_t(c.X1 - c.X0);
  for (int64_t y = c.Y0; y < c.Y1; ++y) {
    const uint8_t* pa = a.Bits + y * a.Stride + 3 * c.X0;
    const uint8_t* pb = b.Bits + (y + bdy) * b.Stride + 3 * (c.X0 + bdx);
    uint8_t* pd = d.Bits + (y + ddy) * d.Stride + 3 * (c.X0 + ddx);
    LerpRow24(pa, pb, pd, w, t);
  }
}

void PremulOverRect24(const TPixelView& src, const TRect& rect, const TPixelView& dst,
                      TPoint dstAt) {
  if (!Usable(src.Bits, src.Width, src.Height) || !Usable(dst.Bits, dst.Width, dst.Height))
    return;
  TClip c(rect, src.Width, src.Height);
  const int64_t dx = int64_t(dstAt.X) - rect.Left, dy = int64_t(dstAt.Y) - rect.Top;
  c.Limit(dx, dy, dst.Width, dst.Height);
  if (c.Empty())
    return;
  const int32_t w = int32_t(c.X1 - c.X0);
  for (int64_t y = c.Y0; y < c.Y1; ++y) {
    const auto* ps = reinterpret_cast<const uint32_t*>(src.Bits + y * src.Stride + 4 * c.X0);
    uint8_t* pd = dst.Bits + (y + dy) * dst.Stride + 3 * (c.X0 + dx);
    PremulOverRow24(ps, pd, w);
  }
}

void PaletteRect8To24(const TPaletteView& src, const TRect& rect, const TPixelView& dst,
                      TPoint dstAt) {
  if (!Usable(src.Bits, src.Width, src.Height) || !Usable(dst.Bits, dst.Width, dst.Height))
    return;
  TClip c(rect, src.Width, src.Height);
  const int64_t dx = int64_t(dstAt.X) - rect.Left, dy = int64_t(dstAt.Y) - rect.Top;
  c.Limit(dx, dy, dst.Width, dst.Height);
  if (c.Empty())
    return;
  // A short (or missing) colour table reads as black beyond its end.
  uint32_t table[256] = {};
  const int32_t n = src.ColorTable ? std::clamp(src.ColorCount, 0, 256) : 0;
  std::copy(src.ColorTable, src.ColorTable + n, table);
  const int32_t w = int32_t(c.X1 - c.X0);
  for (int64_t y = c.Y0; y < c.Y1; ++y) {
    const uint8_t* ps = src.Bits + y * src.Stride + c.X0;
    uint8_t* pd = dst.Bits + (y + dy) * dst.Stride + 3 * (c.X0 + dx);
    PaletteRow8To24(ps, pd, w, src.TransparentIndex, table);
  }
}
