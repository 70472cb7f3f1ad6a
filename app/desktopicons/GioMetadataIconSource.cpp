#include "GioMetadataIconSource.h"

#include <dlfcn.h>

#include "KeyFile.h"

namespace {

// The few GIO entry points needed, resolved at run time so that the program
// neither builds nor runs against GIO unless the system has it.
struct TGio {
  using NewForPath = void* (*)(const char*);
  using QueryInfo = void* (*)(void*, const char*, int, void*, void**);
  using GetString = const char* (*)(void*, const char*);
  using Unref = void (*)(void*);
  NewForPath FileNewForPath = nullptr;
  QueryInfo FileQueryInfo = nullptr;
  GetString InfoGetAttributeString = nullptr;
  Unref ObjectUnref = nullptr;
  Unref ErrorFree = nullptr;
  bool Ok = false;

  TGio() {
    void* lib = dlopen("libgio-2.0.so.0", RTLD_NOW | RTLD_LOCAL);
    if (!lib) return;
    FileNewForPath = reinterpret_cast<NewForPath>(dlsym(lib, "g_file_new_for_path"));
    FileQueryInfo = reinterpret_cast<QueryInfo>(dlsym(lib, "g_file_query_info"));
    InfoGetAttributeString = reinterpret_cast<GetString>(dlsym(lib, "g_file_info_get_attribute_string"));
    ObjectUnref = reinterpret_cast<Unref>(dlsym(lib, "g_object_unref"));
    ErrorFree = reinterpret_cast<Unref>(dlsym(lib, "g_error_free"));
    Ok = FileNewForPath && FileQueryInfo && InfoGetAttributeString && ObjectUnref && ErrorFree;
  }
};

const TGio& Gio() {
  static const TGio gio;
  return gio;
}

}  // namespace

std::optional<std::string> GioFileAttribute(const std::string& Path, const char* Attribute) {
  const TGio& g = Gio();
  if (!g.Ok) return std::nullopt;
  void* file = g.FileNewForPath(Path.c_str());
  if (!file) return std::nullopt;
  void* error = nullptr;
  void* info = g.FileQueryInfo(file, Attribute, 0, nullptr, &error);
  std::optional<std::string> result;
  if (info) {
    if (const char* v = g.InfoGetAttributeString(info, Attribute)) result = std::string(v);
    g.ObjectUnref(info);
  }
  if (error) g.ErrorFree(error);
  g.ObjectUnref(file);
  return result;
}

std::optional<TIconPoint> ParseIconPositionText(std::string_view Text) {
  const size_t comma = Text.find(',');
  if (comma == std::string_view::npos) return std::nullopt;
  const std::optional<int> x = ParseInt(Text.substr(0, comma)), y = ParseInt(Text.substr(comma + 1));
  if (!x || !y) return std::nullopt;
  return TIconPoint{*x, *y};
}

GioMetadataIconSource::GioMetadataIconSource(TAttributeReader Reader)
    : FReader(Reader ? std::move(Reader) : TAttributeReader(GioFileAttribute)) {}

bool GioMetadataIconSource::Serves(std::string_view CurrentDesktop) const {
  return DesktopNamed(CurrentDesktop, {"MATE", "GNOME", "X-Cinnamon", "Cinnamon", "Unity", "GNOME-Flashback"});
}

std::optional<TDesktopIcons> GioMetadataIconSource::Read(const TDesktopPlace& Place) {
  TDesktopIcons icons;
  for (const std::string& name : DesktopEntries(Place.DesktopDir)) {
    const std::string path = (Place.DesktopDir / name).string();
    for (const char* attribute : IconPositionAttributes) {
      const std::optional<std::string> text = FReader(path, attribute);
      if (!text) continue;
      if (const std::optional<TIconPoint> p = ParseIconPositionText(*text)) {
        icons.Positions.push_back(*p);
        break;
      }
    }
  }
  if (icons.Positions.empty()) return std::nullopt;
  return icons;
}
