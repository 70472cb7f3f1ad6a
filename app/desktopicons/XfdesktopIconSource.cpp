#include "XfdesktopIconSource.h"

#include "KeyFile.h"

namespace fs = std::filesystem;

namespace {

// "key: value" of a YAML block line (list dash removed), else nothing.
bool SplitYaml(std::string_view Line, std::string_view& Key, std::string_view& Value) {
  std::string_view t = Trim(Line);
  if (t.starts_with("- ")) t = Trim(t.substr(2));
  if (t.empty() || t.front() == '#') return false;
  size_t colon;
  if (t.front() == '"') {  // a quoted key may hold colons (URIs)
    const size_t close = t.find('"', 1);
    if (close == std::string_view::npos) return false;
    colon = t.find(':', close);
  } else {
    colon = t.find(':');
  }
  if (colon == std::string_view::npos) return false;
  Key = Trim(t.substr(0, colon));
  Value = Trim(t.substr(colon + 1));
  return true;
}

}  // namespace

std::vector<TXfdesktopCell> ParseXfdesktopYaml(std::string_view Text) {
  std::vector<TXfdesktopCell> cells;
  std::optional<TIconPoint> origin;  // first monitor of the current config
  int gx = 0, gy = 0;  // geometry of the config's first monitor
  bool haveX = false, haveY = false;
  bool inGeometry = false, inIcons = false, haveIcon = false;
  int row = -1, col = -1;  // -1: not given (or not a cell)
  const auto flush = [&] {
    if (haveIcon && row >= 0 && col >= 0) cells.push_back({row, col, origin});
    haveIcon = false;
    row = col = -1;
  };
  while (!Text.empty()) {
    const size_t eol = Text.find('\n');
    const std::string_view line = Text.substr(0, eol);
    Text.remove_prefix(eol == std::string_view::npos ? Text.size() : eol + 1);
    std::string_view key, value;
    if (!SplitYaml(line, key, value)) continue;
    if (key == "level") {  // a new config
      flush();
      inIcons = inGeometry = false;
      origin.reset();
      haveX = haveY = false;
    } else if (key == "icons") {
      flush();
      inIcons = true;
      inGeometry = false;
    } else if (key == "geometry") {
      inGeometry = !origin.has_value();
    } else if (inGeometry && (key == "x" || key == "y")) {
      const int v = ParseInt(value).value_or(0);
      if (key == "x") {
        gx = v;
        haveX = true;
      } else {
        gy = v;
        haveY = true;
      }
      if (haveX && haveY) {
        origin = TIconPoint{gx, gy};
        inGeometry = false;
      }
    } else if (inIcons && key == "row") {
      row = ParseInt(value).value_or(-1);
    } else if (inIcons && key == "col") {
      col = ParseInt(value).value_or(-1);
    } else if (inIcons && value.empty() && key != "monitors") {
      flush();
      haveIcon = true;
    }
  }
  flush();
  return cells;
}

std::vector<TXfdesktopCell> ParseXfdesktopRc(std::string_view Text) {
  std::vector<TXfdesktopCell> cells;
  for (const TKeyFileGroup& g : TKeyFile::Parse(Text).Groups) {
    const std::string *r = g.Find("row"), *c = g.Find("col");
    if (!r || !c) continue;  // the version stamp group has neither
    const std::optional<int> row = ParseInt(*r), col = ParseInt(*c);
    if (row && col && *row >= 0 && *col >= 0) cells.push_back({*row, *col, std::nullopt});
  }
  return cells;
}

std::optional<int32_t> XfconfDesktopIconSize(std::string_view Xml) {
  const size_t group = Xml.find("name=\"desktop-icons\"");
  if (group == std::string_view::npos) return std::nullopt;
  const size_t prop = Xml.find("name=\"icon-size\"", group);
  if (prop == std::string_view::npos) return std::nullopt;
  const size_t tagEnd = Xml.find('>', prop);
  const size_t value = Xml.find("value=\"", prop);
  if (value == std::string_view::npos || value > tagEnd) return std::nullopt;
  const size_t start = value + 7, end = Xml.find('"', start);
  if (end == std::string_view::npos) return std::nullopt;
  const std::optional<int> s = ParseInt(Xml.substr(start, end - start));
  if (!s || *s <= 0 || *s > 1024) return std::nullopt;
  return *s;
}

bool XfdesktopIconSource::Serves(std::string_view CurrentDesktop) const {
  return DesktopNamed(CurrentDesktop, {"XFCE"});
}

std::optional<TDesktopIcons> XfdesktopIconSource::Read(const TDesktopPlace& Place) {
  const fs::path dir = Place.ConfigHome / "xfce4" / "desktop";
  std::vector<TXfdesktopCell> cells;
  std::error_code ec;
  if (fs::is_regular_file(dir / "icons.screen0.yaml", ec)) {
    cells = ParseXfdesktopYaml(ReadTextFile(dir / "icons.screen0.yaml"));
  } else {
    // The file named after the work area (with or without the 8-pixel
    // margins older versions took off), else the newest one.
    const TScreenRect& w = Place.WorkArea;
    fs::path chosen;
    for (const auto& [dw, dh] : {std::pair{0, 0}, std::pair{16, 16}}) {
      const fs::path p = dir / ("icons.screen0-" + std::to_string(w.Width - dw) + "x" + std::to_string(w.Height - dh) + ".rc");
      if (chosen.empty() && fs::is_regular_file(p, ec)) chosen = p;
    }
    if (chosen.empty()) {
      fs::file_time_type newest{};
      for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string n = it->path().filename().string();
        std::error_code ec2;
        if (!n.starts_with("icons.screen") || !n.ends_with(".rc") || !it->is_regular_file(ec2)) continue;
        const fs::file_time_type t = it->last_write_time(ec2);
        if (chosen.empty() || t > newest) {
          chosen = it->path();
          newest = t;
        }
      }
    }
    if (!chosen.empty()) cells = ParseXfdesktopRc(ReadTextFile(chosen));
  }
  if (cells.empty()) return std::nullopt;

  TDesktopIcons icons;
  const fs::path channel = Place.ConfigHome / "xfce4" / "xfconf" / "xfce-perchannel-xml" / "xfce4-desktop.xml";
  icons.IconSize = XfconfDesktopIconSize(ReadTextFile(channel)).value_or(0);
  const int32_t s = icons.IconSize > 0 ? icons.IconSize : DefaultDesktopIconSize;
  const TXfdesktopGrid grid = TXfdesktopGrid::ForIconSize(s);
  for (const TXfdesktopCell& c : cells) {
    const TIconPoint origin = c.MonitorOrigin.value_or(TIconPoint{Place.WorkArea.Left, Place.WorkArea.Top});
    icons.Positions.push_back(grid.Icon(origin, s, c.Row, c.Col));
  }
  return icons;
}
