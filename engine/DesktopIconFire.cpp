#include "DesktopIconFire.h"

#include "FlameEngine.h"
#include "Random.h"

void PlaceIconEmitters(TPartForm& Form, const std::vector<TIconPoint>& Positions,
                       int32_t IconSize) {
  const int32_t s = IconSize > 0 ? IconSize : DefaultDesktopIconSize;
  // Singles, as the emitter space is; the sums are formed in double and
  // rounded once, so large screen coordinates lose nothing on the way.
  const float offX = float(double(s) / 2.0 - double(Form.OriginX));
  const float offY = float(3.0 - double(Form.OriginY));
  for (const TIconPoint& p : Positions) {
    const double x = double(p.X) + double(offX);
    const double y = double(p.Y) + double(offY);
    Form.AddEmitter(nullptr, 256, float(x), float(y + 2.0));
    for (int k = -2; k <= 2; ++k)
      Form.AddEmitter(nullptr, 256, float(x + 4.0 * k), float(y + 2.0 * RandomReal()));
  }
}

bool DeskIconsBtnClick(TPartForm& Form, IDesktopIconsHost& Host, const std::string& StyleFileName) {
  try {
    const TDesktopIcons icons = Host.GetDesktopIcons();
    if (icons.Positions.empty()) {
      // Loading the style would replace the user's art with nothing.
      Host.NoIconsFound();
      return false;
    }
    Host.SetKeepInFront(false);
    Host.SetLoadStyle(true);
    Host.SetLoadArt(true);
    Host.LoadStateFile(StyleFileName);
    PlaceIconEmitters(Form, icons.Positions, icons.IconSize);
    return true;
  } catch (...) {
    // Desktop-icon errors are silent by design.
    return false;
  }
}
