#pragma once
// What the flame engine needs of the window that shows its surface: the
// surface, the window's screen rectangle, its size limits, and presentation.
// The windowed program implements it with a layered top-level window; a build
// without a windowing system uses TSurfaceDisplay.
#include <functional>

#include "DIBmp.h"

class IFlameDisplay {
public:
  virtual ~IFlameDisplay() = default;

  // The 32-bit surface that is shown; the engine paints it in place.
  virtual TDIBmp& Surface() = 0;
  // The window's screen rectangle; the engine renders into (0, 0, its width,
  // its height) of the surface.
  virtual TRect LayeredBounds() const = 0;
  // Smallest client size := (R.Left, R.Top), largest := (R.Right, R.Bottom).
  virtual void SetSizeLimits(const TRect& R) = 0;
  // Moves and sizes the window to R (at least one pixel each way) and gives the
  // surface R's size, kept within the size limits; a surface whose size
  // changes starts all zero. Presents at once when Present is set.
  virtual void SetLayeredBounds(const TRect& R, bool Present) = 0;
  // Shows the whole surface at the window's screen position.
  virtual void Present() = 0;
};

// The display without a window: SetLayeredBounds records the rectangle and
// resizes the surface, Present hands the surface and its screen position to
// OnPresent.
class TSurfaceDisplay : public IFlameDisplay {
public:
  TSurfaceDisplay();

  TDIBmp FSurface;
  TRect FLayeredBounds;
  TPoint FMinClient{0, 0};
  TPoint FMaxClient{30000, 30000};
  // Receives every presented frame: the surface and its screen top-left.
  std::function<void(const TDIBmp& Surface, TPoint ScreenPos)> OnPresent;

  TDIBmp& Surface() override { return FSurface; }
  TRect LayeredBounds() const override { return FLayeredBounds; }
  void SetSizeLimits(const TRect& R) override;
  void SetLayeredBounds(const TRect& R, bool Present) override;
  void Present() override;
};
