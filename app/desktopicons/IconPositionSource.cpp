#include "IconPositionSource.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "GioMetadataIconSource.h"
#include "GridIconSource.h"
#include "KeyFile.h"
#include "PcmanfmIconSource.h"
#include "XfdesktopIconSource.h"

namespace fs = std::filesystem;

namespace {

std::string Env(const char* Name) {
  const char* v = std::getenv(Name);
  return v ? std::string(v) : std::string();
}

std::string Lower(std::string_view s) {
  std::string r(s);
  for (char& c : r)
    c = char(std::tolower(static_cast<unsigned char>(c)));
  return r;
}

} // namespace

fs::path DesktopDirectory(const fs::path& Home, const fs::path& ConfigHome) {
  if (const std::string d = Env("XDG_DESKTOP_DIR"); !d.empty() && fs::path(d).is_absolute())
    return d;
  // user-dirs.dirs holds shell assignments: XDG_DESKTOP_DIR="$HOME/Desktop".
  const TKeyFile f = TKeyFile::Parse("[dirs]\n" + ReadTextFile(ConfigHome / "user-dirs.dirs"));
  if (const std::string* v = f.Value("dirs", "XDG_DESKTOP_DIR")) {
    std::string_view p = *v;
    if (p.size() >= 2 && p.front() == '"' && p.back() == '"')
      p = p.substr(1, p.size() - 2);
    if (p.starts_with("$HOME"))
      return Home / fs::path(std::string(p.substr(5))).relative_path();
    if (!p.empty() && p.front() == '/')
      return fs::path(std::string(p));
  }
  return Home / "Desktop";
}

TDesktopPlace DesktopPlaceFromEnvironment(const TScreenRect& WorkArea,
                                          std::vector<TScreenRect> Monitors) {
  TDesktopPlace p;
  p.Home = Env("HOME");
  const std::string config = Env("XDG_CONFIG_HOME");
  p.ConfigHome =
      !config.empty() && fs::path(config).is_absolute() ? fs::path(config) : p.Home / ".config";
  p.DesktopDir = DesktopDirectory(p.Home, p.ConfigHome);
  p.CurrentDesktop = Env("XDG_CURRENT_DESKTOP");
  p.WorkArea = WorkArea;
  p.Monitors = std::move(Monitors);
  return p;
}

std::vector<std::string> DesktopEntries(const fs::path& DesktopDir) {
  std::vector<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(DesktopDir, ec), end; !ec && it != end; it.increment(ec)) {
    std::string n = it->path().filename().string();
    if (!n.empty() && n.front() != '.')
      names.push_back(std::move(n));
  }
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    const std::string la = Lower(a), lb = Lower(b);
    return la != lb ? la < lb : a < b;
  });
  return names;
}

bool DesktopNamed(std::string_view CurrentDesktop, std::initializer_list<std::string_view> Names) {
  const std::string all = Lower(CurrentDesktop);
  std::string_view rest = all;
  while (!rest.empty()) {
    const size_t colon = rest.find(':');
    const std::string_view one = rest.substr(0, colon);
    for (std::string_view n : Names)
      if (one == Lower(n))
        return true;
    if (colon == std::string_view::npos)
      break;
    rest.remove_prefix(colon + 1);
  }
  return false;
}

TIconPositionSources DefaultIconPositionSources() {
  TIconPositionSources s;
  s.push_back(std::make_unique<TPcmanfmIconSource>());
  s.push_back(std::make_unique<TXfdesktopIconSource>());
  s.push_back(std::make_unique<TGioMetadataIconSource>());
  s.push_back(std::make_unique<TGridIconSource>());
  return s;
}

TDesktopIcons ReadDesktopIcons(const TDesktopPlace& Place, const TIconPositionSources& Sources) {
  std::vector<IIconPositionSource*> order;
  for (const auto& s : Sources)
    if (s->Serves(Place.CurrentDesktop))
      order.push_back(s.get());
  for (const auto& s : Sources)
    if (!s->Serves(Place.CurrentDesktop))
      order.push_back(s.get());
  for (IIconPositionSource* s : order) {
    try {
      if (std::optional<TDesktopIcons> icons = s->Read(Place))
        return std::move(*icons);
    } catch (...) {
      // A store that cannot be read is as good as none: ask the next one.
    }
  }
  return {};
}
