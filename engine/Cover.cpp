// The cover: the screen rectangle the display surface spans. It grows to hold
// the art and is reset by "Clear fading".
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <memory>

#include "FlameEngine.h"

namespace {

// Nearest integer, halves to even, held within the 32-bit range (art far off
// the desktop is cut to it later anyway).
int32_t RoundToInt32(double v) {
  const double r = std::nearbyint(v);
  if (!(r >= double(INT32_MIN))) // also NaN
    return INT32_MIN;
  if (r > double(INT32_MAX))
    return INT32_MAX;
  return int32_t(r);
}

// Union as the window system forms it: an empty rectangle adds nothing.
TRect UnionRect(const TRect& a, const TRect& b) {
  if (IsRectEmpty(a))
    return IsRectEmpty(b) ? TRect{} : b;
  if (IsRectEmpty(b))
    return a;
  return TRect{std::min(a.Left, b.Left), std::min(a.Top, b.Top), std::max(a.Right, b.Right),
               std::max(a.Bottom, b.Bottom)};
}

// Intersection as the window system forms it: no overlap gives (0, 0, 0, 0).
TRect IntersectRect(const TRect& a, const TRect& b) {
  const TRect r{std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right),
                std::min(a.Bottom, b.Bottom)};
  return IsRectEmpty(r) ? TRect{} : r;
}

bool Contains(const TRect& outer, const TRect& inner) {
  return outer.Left <= inner.Left && outer.Top <= inner.Top && inner.Right <= outer.Right &&
         inner.Bottom <= outer.Bottom;
}

// Sizes the display to R. The display gives a surface whose size changes fresh
// zero pixels; one that keeps its size keeps its picture, which is cleared here
// so that a new cover never shows stale trails.
void ResizeCleared(IFlameDisplay& display, const TRect& r) {
  TDIBmp& surface = display.Surface();
  const TDIBSharedImage* before = surface.Image;
  display.SetLayeredBounds(r, false);
  if (surface.Image == before && surface.PixelMemory && surface.Size > 0)
    std::memset(surface.PixelMemory, 0, size_t(surface.Size));
}

} // namespace

void TPartForm::UpdateCover() {
  if (!FChanged)
    return;
  FChanged = false;
  const TArtBounds b = GetArtBounds();
  if (b.Empty())
    return;

  TRect n{RoundToInt32(double(b.MinX) - double(FArtMargin.Left) + double(OriginX)),
          RoundToInt32(double(b.MinY) - double(FArtMargin.Top) + double(OriginY)),
          RoundToInt32(double(b.MaxX) + double(FArtMargin.Right) + double(OriginX)),
          RoundToInt32(double(b.MaxY) + double(FArtMargin.Bottom) + double(OriginY))};
  const bool covering = FCoverRect.Left != EmptyCover.Left;
  if (covering)
    n = UnionRect(n, FCoverRect);
  n = IntersectRect(n, DesktopRect);
  if (Contains(FCoverRect, n))
    return;

  TDIBmp& surface = Display.Surface();
  // The old picture, kept so that old trails stay at their screen pixels.
  std::unique_ptr<TDIBmp> old;
  if (covering && surface.Width > 0 && surface.Height > 0) {
    old = TDIBmp::CreateSized(surface.Width, surface.Height, 32, true);
    surface.DrawToDC(*old, 0, 0, 0, 0, surface.Width, surface.Height);
  }

  const int32_t w = n.Width();
  const int32_t h = n.Height();
  Display.SetSizeLimits(TRect{w, h, w, h});
  ResizeCleared(Display, n);
  SurfaceOffsetX = float(double(OriginX) - double(n.Left));
  SurfaceOffsetY = float(double(OriginY) - double(n.Top));

  if (old) {
    const int32_t dx = std::max(FCoverRect.Left - n.Left, 0);
    const int32_t dy = std::max(FCoverRect.Top - n.Top, 0);
    const int32_t cw = std::min(old->Width, surface.Width - dx);
    const int32_t ch = std::min(old->Height, surface.Height - dy);
    if (cw > 0 && ch > 0)
      old->DrawToDC(surface, dx, dy, 0, 0, cw, ch);
  }
  FCoverRect = n;
}

void TPartForm::ClearFading() {
  Display.SetSizeLimits(TRect{16, 16, 16, 16});
  ResizeCleared(Display, TRect{0, 0, 16, 16});
  Display.Present();
  FCoverRect = EmptyCover;
  FChanged = true;
}

TDesktopMove PlanDesktopMove(const TRect& NewDesktop, const TRect& Cover, float OriginX,
                             float OriginY, float SurfaceOffsetX, float SurfaceOffsetY,
                             TPoint Shift) {
  TDesktopMove m;
  m.OriginX = float(double(OriginX) + double(Shift.X));
  m.OriginY = float(double(OriginY) + double(Shift.Y));
  m.SurfaceOffsetX = SurfaceOffsetX;
  m.SurfaceOffsetY = SurfaceOffsetY;
  if (Cover.Left == EmptyCover.Left)
    return m;
  // Computed wide: a cover at the end of the integer range must not wrap.
  const int64_t left = int64_t(Cover.Left) + Shift.X, top = int64_t(Cover.Top) + Shift.Y;
  const int64_t right = int64_t(Cover.Right) + Shift.X, bottom = int64_t(Cover.Bottom) + Shift.Y;
  const TRect n{int32_t(std::max<int64_t>(left, NewDesktop.Left)),
                int32_t(std::max<int64_t>(top, NewDesktop.Top)),
                int32_t(std::min<int64_t>(right, NewDesktop.Right)),
                int32_t(std::min<int64_t>(bottom, NewDesktop.Bottom))};
  if (IsRectEmpty(n))
    return m; // the art's monitor is gone: nothing of the cover is on the desktop
  m.Cover = n;
  m.SurfaceOffsetX = float(double(m.OriginX) - double(n.Left));
  m.SurfaceOffsetY = float(double(m.OriginY) - double(n.Top));
  m.Kept = TRect{int32_t(n.Left - left), int32_t(n.Top - top), int32_t(n.Right - left),
                 int32_t(n.Bottom - top)};
  return m;
}

void TPartForm::MoveDesktop(const TRect& NewDesktop, TPoint Shift) {
  const TDesktopMove m = PlanDesktopMove(NewDesktop, FCoverRect, OriginX, OriginY, SurfaceOffsetX,
                                         SurfaceOffsetY, Shift);
  DesktopRect = NewDesktop;
  OriginX = m.OriginX;
  OriginY = m.OriginY;
  // The cover may grow again where the desktop grew (art that was cut off).
  FChanged = true;
  if (FCoverRect.Left == EmptyCover.Left)
    return;
  if (m.Cover.Left == EmptyCover.Left) {
    ClearFading();
    return;
  }
  SurfaceOffsetX = m.SurfaceOffsetX;
  SurfaceOffsetY = m.SurfaceOffsetY;
  const TRect before = FCoverRect;
  FCoverRect = m.Cover;
  TDIBmp& surface = Display.Surface();
  const int32_t w = m.Cover.Width();
  const int32_t h = m.Cover.Height();
  if (w == before.Width() && h == before.Height()) {
    // Only moved: the same picture at the new place.
    if (m.Cover.Left != before.Left || m.Cover.Top != before.Top)
      Display.SetLayeredBounds(m.Cover, true);
    return;
  }
  std::unique_ptr<TDIBmp> kept;
  const int32_t kw = std::min(m.Kept.Width(), surface.Width - m.Kept.Left);
  const int32_t kh = std::min(m.Kept.Height(), surface.Height - m.Kept.Top);
  if (kw > 0 && kh > 0 && m.Kept.Left >= 0 && m.Kept.Top >= 0) {
    kept = TDIBmp::CreateSized(kw, kh, 32, true);
    surface.DrawToDC(*kept, 0, 0, m.Kept.Left, m.Kept.Top, kw, kh);
  }
  Display.SetSizeLimits(TRect{w, h, w, h});
  ResizeCleared(Display, m.Cover);
  if (kept)
    kept->DrawToDC(surface, 0, 0, 0, 0, std::min(kw, surface.Width), std::min(kh, surface.Height));
  Display.Present();
}
