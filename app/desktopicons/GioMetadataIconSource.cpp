#include "GioMetadataIconSource.h"

#include <gio/gio.h>

#include "KeyFile.h"

std::optional<std::string> GioFileAttribute(const std::string& Path, const char* Attribute) {
  g_autoptr(GFile) file = g_file_new_for_path(Path.c_str());
  g_autoptr(GError) error = nullptr; // a missing file is no answer, not a failure
  g_autoptr(GFileInfo) info =
      g_file_query_info(file, Attribute, G_FILE_QUERY_INFO_NONE, nullptr, &error);
  // Asking a string of an attribute of another type would log a critical.
  if (!info || g_file_info_get_attribute_type(info, Attribute) != G_FILE_ATTRIBUTE_TYPE_STRING)
    return std::nullopt;
  const char* value = g_file_info_get_attribute_string(info, Attribute);
  if (!value)
    return std::nullopt;
  return std::string(value);
}

std::optional<TIconPoint> ParseIconPositionText(std::string_view Text) {
  const size_t comma = Text.find(',');
  if (comma == std::string_view::npos)
    return std::nullopt;
  const std::optional<int> x = ParseInt(Text.substr(0, comma)),
                           y = ParseInt(Text.substr(comma + 1));
  if (!x || !y)
    return std::nullopt;
  return TIconPoint{*x, *y};
}

TGioMetadataIconSource::TGioMetadataIconSource(TAttributeReader Reader)
    : FReader(Reader ? std::move(Reader) : TAttributeReader(GioFileAttribute)) {}

bool TGioMetadataIconSource::Serves(std::string_view CurrentDesktop) const {
  return DesktopNamed(CurrentDesktop,
                      {"MATE", "GNOME", "X-Cinnamon", "Cinnamon", "Unity", "GNOME-Flashback"});
}

std::optional<TDesktopIcons> TGioMetadataIconSource::Read(const TDesktopPlace& Place) {
  TDesktopIcons icons;
  for (const std::string& name : DesktopEntries(Place.DesktopDir)) {
    const std::string path = (Place.DesktopDir / name).string();
    for (const char* attribute : IconPositionAttributes) {
      const std::optional<std::string> text = FReader(path, attribute);
      if (!text)
        continue;
      if (const std::optional<TIconPoint> p = ParseIconPositionText(*text)) {
        icons.Positions.push_back(*p);
        break;
      }
    }
  }
  if (icons.Positions.empty())
    return std::nullopt;
  return icons;
}
