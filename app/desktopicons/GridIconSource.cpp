#include "GridIconSource.h"

#include <algorithm>

TIconPoint GridCellIcon(const TScreenRect& WorkArea, int32_t IconSize, int32_t Index) {
  const TIconGrid g = TIconGrid::ForIconSize(IconSize);
  const int32_t rows = std::max(1, (WorkArea.Height - 2 * g.Margin) / g.CellHeight);
  const int32_t col = Index / rows, row = Index % rows;
  return {WorkArea.Left + g.Margin + col * g.CellWidth + (g.CellWidth - IconSize) / 2,
          WorkArea.Top + g.Margin + row * g.CellHeight + 4};
}

std::optional<TDesktopIcons> TGridIconSource::Read(const TDesktopPlace& Place) {
  TDesktopIcons icons;
  icons.IconSize = FIconSize;
  const int32_t s = FIconSize > 0 ? FIconSize : DefaultDesktopIconSize;
  const std::vector<std::string> entries = DesktopEntries(Place.DesktopDir);
  for (int32_t i = 0; i < int32_t(entries.size()); ++i)
    icons.Positions.push_back(GridCellIcon(Place.WorkArea, s, i));
  return icons;
}
