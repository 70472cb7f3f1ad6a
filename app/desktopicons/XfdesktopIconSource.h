#pragma once
// xfdesktop keeps the grid cell (row, column) of every icon: in
// <config>/xfce4/desktop/icons.screen0.yaml (current versions: per monitor,
// "icons" maps each icon to "row" and "col") or, before that, in
// icons.screen0-<W>x<H>.rc (one group per icon with "row" and "col"). The
// icon size is /desktop-icons/icon-size of the xfce4-desktop xfconf channel.
#include "IconPositionSource.h"

// xfdesktop's icon grid: square cells two and a half icons wide plus padding,
// with spacing between them, starting a margin inside the work area.
struct TXfdesktopGrid {
  int32_t Cell;
  int32_t Pitch;
  int32_t Margin;
  int32_t Padding; // above the icon inside its cell
  static TXfdesktopGrid ForIconSize(int32_t S) {
    return {S * 5 / 2 + 12, S * 5 / 2 + 12 + 8, 8, 6};
  }
  TIconPoint Icon(TIconPoint Origin, int32_t S, int32_t Row, int32_t Col) const {
    return {Origin.X + Margin + Col * Pitch + (Cell - S) / 2,
            Origin.Y + Margin + Row * Pitch + Padding};
  }
};

class TXfdesktopIconSource : public IIconPositionSource {
public:
  std::string Name() const override { return "xfdesktop"; }
  bool Serves(std::string_view CurrentDesktop) const override;
  std::optional<TDesktopIcons> Read(const TDesktopPlace& Place) override;
};

// Parsed position files, for tests: cells and, for the YAML file, the
// geometry origin of the monitor each cell belongs to.
struct TXfdesktopCell {
  int32_t Row = 0, Col = 0;
  std::optional<TIconPoint> MonitorOrigin;
};
std::vector<TXfdesktopCell> ParseXfdesktopYaml(std::string_view Text);
std::vector<TXfdesktopCell> ParseXfdesktopRc(std::string_view Text);
// The value of /desktop-icons/icon-size in an xfconf channel file, if any.
std::optional<int32_t> XfconfDesktopIconSize(std::string_view ChannelXml);
