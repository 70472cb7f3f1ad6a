#pragma once
// Caja, Nemo, the old Nautilus desktop and the GNOME desktop-icons extension
// keep each icon's position as GIO metadata of the file in the desktop
// folder: "metadata::caja-icon-position", "metadata::nemo-icon-position",
// "metadata::nautilus-icon-position" or "metadata::desktop-icon-position",
// a text "x,y". Without the metadata service (gvfs) this source has nothing
// to say.
#include <functional>

#include "IconPositionSource.h"

// The metadata attributes holding a position, in the order they are asked.
inline constexpr const char* IconPositionAttributes[] = {
    "metadata::caja-icon-position", "metadata::nemo-icon-position",
    "metadata::nautilus-icon-position", "metadata::desktop-icon-position"};

class TGioMetadataIconSource : public IIconPositionSource {
public:
  // Text of a string attribute of the file at Path, or nullopt.
  using TAttributeReader =
      std::function<std::optional<std::string>(const std::string& Path, const char* Attribute)>;

  // Reader: how attributes are read; empty: through GIO.
  explicit TGioMetadataIconSource(TAttributeReader Reader = {});
  std::string Name() const override { return "gio-metadata"; }
  bool Serves(std::string_view CurrentDesktop) const override;
  // The entries that have a position, in DesktopEntries order.
  std::optional<TDesktopIcons> Read(const TDesktopPlace& Place) override;

private:
  TAttributeReader FReader;
};

// "x,y" (blanks allowed around each number) -> the point.
std::optional<TIconPoint> ParseIconPositionText(std::string_view Text);

// Reads a string attribute through GIO; nullopt when the file does not exist
// or has no such string attribute.
std::optional<std::string> GioFileAttribute(const std::string& Path, const char* Attribute);
