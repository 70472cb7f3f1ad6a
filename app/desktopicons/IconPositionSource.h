#pragma once
// Where the desktop's icons are. Each desktop that draws icons keeps their
// positions in a store of its own; one IIconPositionSource reads one kind of
// store. They are tried in turn, the ones belonging to the running desktop
// first, and a grid laid out like a default desktop answers when none does.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "DesktopIconFire.h"

struct TScreenRect {
  int32_t Left = 0;
  int32_t Top = 0;
  int32_t Width = 0;
  int32_t Height = 0;
  bool operator==(const TScreenRect&) const = default;
};

// The user's desktop as the sources need it.
struct TDesktopPlace {
  std::filesystem::path Home;
  std::filesystem::path ConfigHome;  // $XDG_CONFIG_HOME, else Home/.config
  std::filesystem::path DesktopDir;  // the folder whose entries are the icons
  std::string CurrentDesktop;        // $XDG_CURRENT_DESKTOP, e.g. "XFCE" or "ubuntu:GNOME"
  TScreenRect WorkArea;              // primary screen without panels, screen pixels
  std::vector<TScreenRect> Monitors; // every monitor's geometry, the primary first
};

// The desktop folder: $XDG_DESKTOP_DIR, else XDG_DESKTOP_DIR of
// ConfigHome/user-dirs.dirs, else Home/Desktop.
std::filesystem::path DesktopDirectory(const std::filesystem::path& Home,
                                       const std::filesystem::path& ConfigHome);

// Home, config home, desktop folder and current desktop from the process
// environment; the screens from the caller.
TDesktopPlace DesktopPlaceFromEnvironment(const TScreenRect& WorkArea,
                                          std::vector<TScreenRect> Monitors);

// Names of the desktop folder's visible entries, sorted as a desktop sorts
// them by default (case-insensitive, then byte order).
std::vector<std::string> DesktopEntries(const std::filesystem::path& DesktopDir);

class IIconPositionSource {
public:
  virtual ~IIconPositionSource() = default;
  virtual std::string Name() const = 0;
  // Whether this store belongs to the desktop named by $XDG_CURRENT_DESKTOP.
  virtual bool Serves(std::string_view CurrentDesktop) const = 0;
  // The icons when this desktop's store exists and holds positions.
  virtual std::optional<TDesktopIcons> Read(const TDesktopPlace& Place) = 0;
};

using TIconPositionSources = std::vector<std::unique_ptr<IIconPositionSource>>;

// PCManFM, xfdesktop, GIO metadata, then the grid.
TIconPositionSources DefaultIconPositionSources();

// The first answer, trying the sources that serve Place.CurrentDesktop first
// and the rest in list order. A source that fails counts as no answer.
TDesktopIcons ReadDesktopIcons(const TDesktopPlace& Place, const TIconPositionSources& Sources);

// True when a ':'-separated $XDG_CURRENT_DESKTOP names one of Names (any case).
bool DesktopNamed(std::string_view CurrentDesktop, std::initializer_list<std::string_view> Names);
