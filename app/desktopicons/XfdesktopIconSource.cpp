#include "XfdesktopIconSource.h"

#include <yaml.h>

#include "KeyFile.h"

namespace fs = std::filesystem;

namespace {

// Far deeper than xfdesktop's files (six levels). A file is read no further
// than this: libyaml's time grows with the square of the nesting, and a line
// of 200 000 brackets would keep it busy for a minute.
constexpr int MaxYamlDepth = 32;

// libyaml's events one at a time. The end of the stream, a syntax error and
// nesting past MaxYamlDepth all read as the end: what came before still counts.
class TYamlEvents {
public:
  explicit TYamlEvents(std::string_view Text) {
    FOpen = yaml_parser_initialize(&FParser) != 0;
    static const unsigned char Nothing = 0; // libyaml wants a buffer even for no text
    const auto* Bytes =
        Text.empty() ? &Nothing : reinterpret_cast<const unsigned char*>(Text.data());
    if (FOpen)
      yaml_parser_set_input_string(&FParser, Bytes, Text.size());
  }
  ~TYamlEvents() {
    Release();
    if (FOpen)
      yaml_parser_delete(&FParser);
  }
  TYamlEvents(const TYamlEvents&) = delete;
  TYamlEvents& operator=(const TYamlEvents&) = delete;

  bool Next() {
    Release();
    if (!FOpen || FEnded)
      return false;
    if (!yaml_parser_parse(&FParser, &FEvent))
      return End();
    FHeld = true;
    switch (FEvent.type) {
    case YAML_MAPPING_START_EVENT:
    case YAML_SEQUENCE_START_EVENT:
      if (++FDepth > MaxYamlDepth)
        return End();
      break;
    case YAML_MAPPING_END_EVENT:
    case YAML_SEQUENCE_END_EVENT:
      --FDepth;
      break;
    case YAML_STREAM_END_EVENT:
      return End();
    default:
      break;
    }
    return true;
  }
  yaml_event_type_t Type() const { return FHeld ? FEvent.type : YAML_NO_EVENT; }
  bool Is(yaml_event_type_t T) const { return Type() == T; }
  std::string_view Scalar() const {
    if (!Is(YAML_SCALAR_EVENT))
      return {};
    return {reinterpret_cast<const char*>(FEvent.data.scalar.value), FEvent.data.scalar.length};
  }
  // A number as xfdesktop writes it: unquoted.
  std::optional<int> Int() const {
    if (!Is(YAML_SCALAR_EVENT) || FEvent.data.scalar.style != YAML_PLAIN_SCALAR_STYLE)
      return std::nullopt;
    return ParseInt(Scalar());
  }
  // Passes over the node the current event begins (aliases are not followed).
  bool Skip() {
    if (!Is(YAML_MAPPING_START_EVENT) && !Is(YAML_SEQUENCE_START_EVENT))
      return !FEnded;
    const int Outside = FDepth - 1;
    while (FDepth > Outside)
      if (!Next())
        return false;
    return true;
  }
  // Each value of the mapping the current event begins, its key given to
  // OnValue with that value's first event current; OnValue consumes the value.
  // Values of keys that are collections themselves are passed over.
  template <class F> bool Mapping(F&& OnValue) {
    if (!Is(YAML_MAPPING_START_EVENT))
      return Skip();
    for (;;) {
      if (!Next())
        return false;
      if (Is(YAML_MAPPING_END_EVENT))
        return true;
      const bool Named = Is(YAML_SCALAR_EVENT);
      const std::string Key(Scalar());
      if (!Skip() || !Next())
        return false;
      if (!(Named ? OnValue(std::string_view(Key)) : Skip()))
        return false;
    }
  }
  // Each item of the sequence the current event begins, as Mapping does.
  template <class F> bool Sequence(F&& OnItem) {
    if (!Is(YAML_SEQUENCE_START_EVENT))
      return Skip();
    for (;;) {
      if (!Next())
        return false;
      if (Is(YAML_SEQUENCE_END_EVENT))
        return true;
      if (!OnItem())
        return false;
    }
  }

private:
  bool End() {
    FEnded = true;
    return false;
  }
  void Release() {
    if (FHeld)
      yaml_event_delete(&FEvent);
    FHeld = false;
  }

  yaml_parser_t FParser{};
  yaml_event_t FEvent{};
  bool FOpen = false, FHeld = false, FEnded = false;
  int FDepth = 0;
};

// The origin of a monitor's geometry when it gives both x and y (a value that
// is no number counts as 0).
std::optional<TIconPoint> ReadGeometry(TYamlEvents& E) {
  bool HaveX = false, HaveY = false;
  TIconPoint P{0, 0};
  E.Mapping([&](std::string_view Key) {
    if (Key == "x" || Key == "y") {
      (Key == "x" ? P.X : P.Y) = E.Int().value_or(0);
      (Key == "x" ? HaveX : HaveY) = true;
    }
    return E.Skip();
  });
  if (HaveX && HaveY)
    return P;
  return std::nullopt;
}

// One entry of "configs": its cells, placed on the first of its monitors
// that has a geometry. Cells read before a syntax error are kept.
bool ReadConfig(TYamlEvents& E, std::vector<TXfdesktopCell>& Cells) {
  std::optional<TIconPoint> Origin;
  std::vector<std::pair<int, int>> Placed;
  const bool Whole = E.Mapping([&](std::string_view Key) {
    if (Key == "monitors")
      return E.Sequence([&] {
        return E.Mapping([&](std::string_view MonitorKey) {
          if (MonitorKey != "geometry" || Origin || !E.Is(YAML_MAPPING_START_EVENT))
            return E.Skip();
          Origin = ReadGeometry(E);
          return true;
        });
      });
    if (Key == "icons")
      return E.Mapping([&](std::string_view) {
        if (!E.Is(YAML_MAPPING_START_EVENT))
          return E.Skip();
        int Row = -1, Col = -1; // -1: not given, or not a cell
        const bool Done = E.Mapping([&](std::string_view IconKey) {
          if (IconKey == "row")
            Row = E.Int().value_or(-1);
          if (IconKey == "col")
            Col = E.Int().value_or(-1);
          return E.Skip();
        });
        if (Done && Row >= 0 && Col >= 0)
          Placed.emplace_back(Row, Col);
        return Done;
      });
    return E.Skip();
  });
  for (const auto& [Row, Col] : Placed)
    Cells.push_back({Row, Col, Origin});
  return Whole;
}

} // namespace

std::vector<TXfdesktopCell> ParseXfdesktopYaml(std::string_view Text) {
  std::vector<TXfdesktopCell> cells;
  TYamlEvents e(Text);
  while (e.Next()) {
    if (!e.Is(YAML_MAPPING_START_EVENT)) {
      if (!e.Skip())
        break;
      continue;
    }
    const bool whole = e.Mapping([&](std::string_view Key) {
      if (Key != "configs")
        return e.Skip();
      return e.Sequence([&] { return ReadConfig(e, cells); });
    });
    if (!whole)
      break;
  }
  return cells;
}

std::vector<TXfdesktopCell> ParseXfdesktopRc(std::string_view Text) {
  std::vector<TXfdesktopCell> cells;
  for (const TKeyFileGroup& g : TKeyFile::Parse(Text).Groups) {
    const std::string *r = g.Find("row"), *c = g.Find("col");
    if (!r || !c)
      continue; // the version stamp group has neither
    const std::optional<int> row = ParseInt(*r), col = ParseInt(*c);
    if (row && col && *row >= 0 && *col >= 0)
      cells.push_back({*row, *col, std::nullopt});
  }
  return cells;
}

std::optional<int32_t> XfconfDesktopIconSize(std::string_view Xml) {
  const size_t group = Xml.find("name=\"desktop-icons\"");
  if (group == std::string_view::npos)
    return std::nullopt;
  const size_t prop = Xml.find("name=\"icon-size\"", group);
  if (prop == std::string_view::npos)
    return std::nullopt;
  const size_t tagEnd = Xml.find('>', prop);
  const size_t value = Xml.find("value=\"", prop);
  if (value == std::string_view::npos || value > tagEnd)
    return std::nullopt;
  const size_t start = value + 7, end = Xml.find('"', start);
  if (end == std::string_view::npos)
    return std::nullopt;
  const std::optional<int> s = ParseInt(Xml.substr(start, end - start));
  if (!s || *s <= 0 || *s > 1024)
    return std::nullopt;
  return *s;
}

bool TXfdesktopIconSource::Serves(std::string_view CurrentDesktop) const {
  return DesktopNamed(CurrentDesktop, {"XFCE"});
}

std::optional<TDesktopIcons> TXfdesktopIconSource::Read(const TDesktopPlace& Place) {
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
      const fs::path p = dir / ("icons.screen0-" + std::to_string(w.Width - dw) + "x" +
                                std::to_string(w.Height - dh) + ".rc");
      if (chosen.empty() && fs::is_regular_file(p, ec))
        chosen = p;
    }
    if (chosen.empty()) {
      fs::file_time_type newest{};
      for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string n = it->path().filename().string();
        std::error_code ec2;
        if (!n.starts_with("icons.screen") || !n.ends_with(".rc") || !it->is_regular_file(ec2))
          continue;
        const fs::file_time_type t = it->last_write_time(ec2);
        if (chosen.empty() || t > newest) {
          chosen = it->path();
          newest = t;
        }
      }
    }
    if (!chosen.empty())
      cells = ParseXfdesktopRc(ReadTextFile(chosen));
  }
  if (cells.empty())
    return std::nullopt;

  TDesktopIcons icons;
  const fs::path channel =
      Place.ConfigHome / "xfce4" / "xfconf" / "xfce-perchannel-xml" / "xfce4-desktop.xml";
  icons.IconSize = XfconfDesktopIconSize(ReadTextFile(channel)).value_or(0);
  const int32_t s = icons.IconSize > 0 ? icons.IconSize : DefaultDesktopIconSize;
  const TXfdesktopGrid grid = TXfdesktopGrid::ForIconSize(s);
  for (const TXfdesktopCell& c : cells) {
    const TIconPoint origin =
        c.MonitorOrigin.value_or(TIconPoint{Place.WorkArea.Left, Place.WorkArea.Top});
    icons.Positions.push_back(grid.Icon(origin, s, c.Row, c.Col));
  }
  return icons;
}
