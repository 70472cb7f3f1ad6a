#include "Rects.h"

namespace {
// Wrapping 32-bit addition without signed overflow.
int32_t Wrap(int32_t a, int32_t b) {
  return int32_t(uint32_t(a) + uint32_t(b));
}
} // namespace

bool OffsetRect(TRect& r, int32_t dx, int32_t dy) {
  r.Left = Wrap(r.Left, dx);
  r.Right = Wrap(r.Right, dx);
  r.Top = Wrap(r.Top, dy);
  r.Bottom = Wrap(r.Bottom, dy);
  return true;
}

bool InflateRect(TRect& r, int32_t dx, int32_t dy) {
  r.Left = Wrap(r.Left, int32_t(0u - uint32_t(dx)));
  r.Right = Wrap(r.Right, dx);
  r.Top = Wrap(r.Top, int32_t(0u - uint32_t(dy)));
  r.Bottom = Wrap(r.Bottom, dy);
  return true;
}

bool IsRectEmpty(const TRect& r) {
  return r.Left >= r.Right || r.Top >= r.Bottom;
}

bool RectsOverlap(const TRect& a, const TRect& b) {
  return a.Left < b.Right && a.Right > b.Left && a.Top < b.Bottom && a.Bottom > b.Top;
}
