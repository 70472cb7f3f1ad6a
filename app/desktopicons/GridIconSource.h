#pragma once
// The fallback: the desktop folder's entries laid out the way desktops do
// before the user moves anything: sorted by name, column after column from
// the top-left of the primary screen's work area.
#include "IconPositionSource.h"

// Cell of the default arrangement for an icon of size S: room for the label
// below the icon and a margin around it.
struct TIconGrid {
  int32_t CellWidth;
  int32_t CellHeight;
  int32_t Margin; // between the work area's edge and the first cell
  static TIconGrid ForIconSize(int32_t S) { return {S + 48, S + 40, 8}; }
};

// The upper-left corner of the icon in the Index-th cell (column-major).
TIconPoint GridCellIcon(const TScreenRect& WorkArea, int32_t IconSize, int32_t Index);

class TGridIconSource : public IIconPositionSource {
public:
  // IconSize 0: the default size.
  explicit TGridIconSource(int32_t IconSize = 0) : FIconSize(IconSize) {}
  std::string Name() const override { return "grid"; }
  bool Serves(std::string_view) const override { return false; }
  // Always answers; no entries give no positions.
  std::optional<TDesktopIcons> Read(const TDesktopPlace& Place) override;

private:
  int32_t FIconSize;
};
