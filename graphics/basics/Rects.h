#pragma once
// Integer rectangles and points, and the few rectangle helpers the surface and
// the controls share.
#include <cstdint>

struct TPoint {
  int32_t X = 0;
  int32_t Y = 0;
};

// Right and Bottom are exclusive.
struct TRect {
  int32_t Left = 0;
  int32_t Top = 0;
  int32_t Right = 0;
  int32_t Bottom = 0;

  int32_t Width() const { return Right - Left; }
  int32_t Height() const { return Bottom - Top; }
  friend bool operator==(const TRect&, const TRect&) = default;
};

inline TRect MakeRect(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  return TRect{left, top, right, bottom};
}

// Moves the rectangle by (dx, dy). Coordinates wrap on overflow, as 32-bit
// window-system rectangles do. Always returns true.
bool OffsetRect(TRect& r, int32_t dx, int32_t dy);
// Left -= dx, Top -= dy, Right += dx, Bottom += dy (negative values shrink).
bool InflateRect(TRect& r, int32_t dx, int32_t dy);
// True when the rectangle holds no pixel: Left >= Right or Top >= Bottom.
bool IsRectEmpty(const TRect& r);
// True when a and b share at least one pixel.
bool RectsOverlap(const TRect& a, const TRect& b);
