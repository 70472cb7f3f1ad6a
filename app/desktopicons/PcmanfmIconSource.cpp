#include "PcmanfmIconSource.h"

#include <algorithm>

#include "KeyFile.h"

namespace fs = std::filesystem;

namespace {

struct TItemsFile {
  fs::path Path;
  bool Qt = false;
  int Monitor = 0;
  fs::file_time_type Time;
};

// "desktop-items-<n>.conf" -> n; -1 for other names (monitor plug names count as 0).
int ItemsFileMonitor(const std::string& Name) {
  const std::string prefix = "desktop-items-", suffix = ".conf";
  if (!Name.starts_with(prefix) || !Name.ends_with(suffix) ||
      Name.size() <= prefix.size() + suffix.size())
    return -1;
  const std::string mid = Name.substr(prefix.size(), Name.size() - prefix.size() - suffix.size());
  const std::optional<int> n = ParseInt(mid);
  return n && *n >= 0 ? *n : 0;
}

// GKeyFile group names as PCManFM writes them: \\, \n, \r escaped.
std::string UnescapeGroup(std::string_view s) {
  std::string r;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 1 < s.size()) {
      const char c = s[++i];
      r += c == 'n' ? '\n' : c == 'r' ? '\r' : c;
    } else {
      r += s[i];
    }
  }
  return r;
}

int Hex(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  return -1;
}

// QSettings group names: %XX for bytes outside plain ASCII names.
std::string UnescapeQtGroup(std::string_view s) {
  std::string r;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '%' && i + 2 < s.size() && Hex(s[i + 1]) >= 0 && Hex(s[i + 2]) >= 0) {
      r += char(Hex(s[i + 1]) * 16 + Hex(s[i + 2]));
      i += 2;
    } else {
      r += s[i];
    }
  }
  return r;
}

// "@Point(12 34)" -> (12, 34).
std::optional<TIconPoint> ParseQtPoint(std::string_view v) {
  v = Trim(v);
  if (!v.starts_with("@Point(") || !v.ends_with(")"))
    return std::nullopt;
  v = v.substr(7, v.size() - 8);
  const size_t space = Trim(v).find(' ');
  if (space == std::string_view::npos)
    return std::nullopt;
  const std::string_view t = Trim(v);
  const std::optional<int> x = ParseInt(t.substr(0, space)), y = ParseInt(t.substr(space + 1));
  if (!x || !y)
    return std::nullopt;
  return TIconPoint{*x, *y};
}

std::vector<TItemsFile> FindItemsFiles(const fs::path& ConfigHome) {
  std::vector<TItemsFile> files;
  for (const auto& [dir, qt] : {std::pair{"pcmanfm", false}, std::pair{"pcmanfm-qt", true}}) {
    std::error_code ec;
    for (fs::directory_iterator p(ConfigHome / dir, ec), end; !ec && p != end; p.increment(ec)) {
      std::error_code ec2;
      if (!p->is_directory(ec2))
        continue;
      for (fs::directory_iterator f(p->path(), ec2), fend; !ec2 && f != fend; f.increment(ec2)) {
        const int monitor = ItemsFileMonitor(f->path().filename().string());
        std::error_code ec3;
        if (monitor < 0 || !f->is_regular_file(ec3))
          continue;
        files.push_back({f->path(), qt, monitor, f->last_write_time(ec3)});
      }
    }
  }
  return files;
}

} // namespace

bool TPcmanfmIconSource::Serves(std::string_view CurrentDesktop) const {
  return DesktopNamed(CurrentDesktop, {"LXDE", "LXQt"});
}

std::optional<TDesktopIcons> TPcmanfmIconSource::Read(const TDesktopPlace& Place) {
  std::vector<TItemsFile> files = FindItemsFiles(Place.ConfigHome);
  if (files.empty())
    return std::nullopt;
  std::sort(files.begin(), files.end(), [](const TItemsFile& a, const TItemsFile& b) {
    return a.Monitor != b.Monitor ? a.Monitor < b.Monitor : a.Path < b.Path;
  });
  const TItemsFile* newest = &files.front();
  for (const TItemsFile& f : files)
    if (f.Time > newest->Time)
      newest = &f;
  const fs::path profile = newest->Path.parent_path();
  const bool qt = newest->Qt;

  TDesktopIcons icons;
  for (const TItemsFile& f : files) {
    if (f.Path.parent_path() != profile)
      continue;
    TIconPoint origin{};
    if (f.Monitor < int(Place.Monitors.size()))
      origin = {Place.Monitors[f.Monitor].Left, Place.Monitors[f.Monitor].Top};
    for (const TKeyFileGroup& g : TKeyFile::Load(f.Path).Groups) {
      const std::string name = qt ? UnescapeQtGroup(g.Name) : UnescapeGroup(g.Name);
      std::error_code ec;
      if (name.empty() || name.find('/') != std::string::npos ||
          !fs::exists(Place.DesktopDir / name, ec))
        continue;
      std::optional<TIconPoint> p;
      if (const std::string* pos = g.Find("pos")) {
        p = ParseQtPoint(*pos);
      } else if (const std::string* x = g.Find("x"), *y = g.Find("y"); x && y) {
        const std::optional<int> px = ParseInt(*x), py = ParseInt(*y);
        if (px && py)
          p = TIconPoint{*px, *py};
      }
      if (p)
        icons.Positions.push_back({origin.X + p->X, origin.Y + p->Y});
    }
  }
  if (icons.Positions.empty())
    return std::nullopt;

  // The settings file must outlive the value found in it.
  const TKeyFile settings = qt ? TKeyFile::Load(profile / "settings.conf")
                               : TKeyFile::Load(Place.ConfigHome / "libfm" / "libfm.conf");
  const std::string* size =
      qt ? settings.Value("Desktop", "DesktopIconSize") : settings.Value("ui", "big_icon_size");
  if (size)
    if (const std::optional<int> s = ParseInt(*size); s && *s > 0 && *s <= 1024)
      icons.IconSize = *s;
  return icons;
}
