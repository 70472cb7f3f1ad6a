#include "FlameDisplay.h"

#include <algorithm>
#include <climits>
#include <cstdint>

TSurfaceDisplay::TSurfaceDisplay() {
  // Fresh surfaces of a DIB-section image start all zero, as the engine expects.
  FSurface.MakeDIBSection();
  SetLayeredBounds(TRect{0, 0, 16, 16}, false);
}

void TSurfaceDisplay::SetSizeLimits(const TRect& R) {
  FMinClient = TPoint{R.Left, R.Top};
  FMaxClient = TPoint{R.Right, R.Bottom};
}

void TSurfaceDisplay::SetLayeredBounds(const TRect& R, bool Present) {
  FLayeredBounds = R;
  // Never empty: at least one pixel each way (computed wide: R may sit at the
  // end of the integer range).
  FLayeredBounds.Right =
      int32_t(std::max<int64_t>(R.Right, std::min<int64_t>(int64_t(R.Left) + 1, INT32_MAX)));
  FLayeredBounds.Bottom =
      int32_t(std::max<int64_t>(R.Bottom, std::min<int64_t>(int64_t(R.Top) + 1, INT32_MAX)));
  const int64_t lw = int64_t(FLayeredBounds.Right) - FLayeredBounds.Left;
  const int64_t lh = int64_t(FLayeredBounds.Bottom) - FLayeredBounds.Top;
  const int32_t w = int32_t(std::clamp<int64_t>(std::max<int64_t>(lw, FMinClient.X), 1, INT32_MAX));
  const int32_t h = int32_t(std::clamp<int64_t>(std::max<int64_t>(lh, FMinClient.Y), 1, INT32_MAX));
  if (w != FSurface.Width || h != FSurface.Height || FSurface.BitCount != 32)
    FSurface.SetFormat(w, h, 32);
  if (Present)
    this->Present();
}

void TSurfaceDisplay::Present() {
  if (OnPresent)
    OnPresent(FSurface, TPoint{FLayeredBounds.Left, FLayeredBounds.Top});
}
