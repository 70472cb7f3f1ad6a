#pragma once
// PCManFM (and PCManFM-Qt) keep the icons the user placed in
// <config>/pcmanfm[-qt]/<profile>/desktop-items-<n>.conf: one group per
// desktop entry, named after the file, with "x" and "y" (PCManFM) or
// "pos=@Point(x y)" (PCManFM-Qt), relative to monitor n. The icon size is
// libfm's "big_icon_size" ([ui] of <config>/libfm/libfm.conf), or
// "DesktopIconSize" ([Desktop] of the profile's settings.conf) for the Qt one.
#include "IconPositionSource.h"

class TPcmanfmIconSource : public IIconPositionSource {
public:
  std::string Name() const override { return "pcmanfm"; }
  bool Serves(std::string_view CurrentDesktop) const override;
  // Uses the profile whose desktop-items file was written last; entries no
  // longer in the desktop folder are left out.
  std::optional<TDesktopIcons> Read(const TDesktopPlace& Place) override;
};
