#pragma once
// "My desktop icons on fire!": loads the small-flame style and puts a short
// row of emitters on top of every desktop icon. Where the icon positions come
// from is the platform's business (the host); the placement is plain
// arithmetic on the list of points and lives here.
#include <cstdint>
#include <string>
#include <vector>

class TPartForm;

// Upper-left corner of a desktop icon, in screen pixels.
struct TIconPoint {
  int32_t X = 0;
  int32_t Y = 0;
  bool operator==(const TIconPoint&) const = default;
};

// What a desktop tells about its icons. IconSize 0: the desktop did not say.
struct TDesktopIcons {
  std::vector<TIconPoint> Positions;
  int32_t IconSize = 0;
};

// Icon size used when the desktop's settings do not give one.
inline constexpr int32_t DefaultDesktopIconSize = 32;
// The style made for small flames, relative to the program's data folder.
inline constexpr const char* AlternateFireFileName = "Alternate fire.quelma";

// The settings window's side of the button: the icon reading and the check
// boxes, whose click handlers must run as for a user's click.
class IDesktopIconsHost {
public:
  virtual ~IDesktopIconsHost() = default;
  // The desktop's icons. May throw; the click then ends without loading.
  virtual TDesktopIcons GetDesktopIcons() = 0;
  virtual void SetKeepInFront(bool Checked) = 0; // "Keep in front"
  virtual void SetLoadStyle(bool Checked) = 0;   // "Load style"
  virtual void SetLoadArt(bool Checked) = 0;     // "Load art"
  // Reads a state file as "Load" does with the boxes as they are; a missing
  // file is skipped.
  virtual void LoadStateFile(const std::string& FileName) = 0;
  // The desktop showed no icons: nothing was changed; tell the user.
  virtual void NoIconsFound() {}
};

// Six emitters per icon, in list order: one at the icon's horizontal centre
// 5 pixels below its top, five at -8, -4, 0, 4, 8 pixels from that centre,
// 3 to 5 pixels below the top (one random draw each). Screen points become
// emitter space by subtracting the origin. IconSize <= 0 means the default.
void PlaceIconEmitters(TPartForm& Form, const std::vector<TIconPoint>& Positions, int32_t IconSize);

// The button's handler: icon positions, "Keep in front" cleared, "Load style"
// and "Load art" set, StyleFileName read, emitters placed, the list emptied.
// Without icons nothing is changed (the art and "Keep in front" stay) and the
// host is told. Every error is swallowed; returns whether emitters were
// placed.
bool DeskIconsBtnClick(TPartForm& Form, IDesktopIconsHost& Host, const std::string& StyleFileName);
