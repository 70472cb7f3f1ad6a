// Where the desktop icons are: each desktop's position store read from
// fixture files in a temporary home, the fallback grid, and the order in
// which the stores are asked.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>

#include "GioMetadataIconSource.h"
#include "GridIconSource.h"
#include "IconPositionSource.h"
#include "KeyFile.h"
#include "PcmanfmIconSource.h"
#include "ScopedEnv.h"
#include "XfdesktopIconSource.h"

namespace fs = std::filesystem;

namespace {

const fs::path Fixtures = fs::path(QUELMA_TEST_DATA) / "desktopicons";

void Write(const fs::path& p, std::string_view text) {
  fs::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary) << text;
}

std::vector<TIconPoint> Points(std::initializer_list<TIconPoint> l) {
  return l;
}

// A fresh home with a desktop folder, removed afterwards.
class DesktopIconsSourceTest : public ::testing::Test {
protected:
  void SetUp() override {
    home = fs::temp_directory_path() /
           ("quelma-icons-" +
            std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
    place.Home = home;
    place.ConfigHome = home / ".config";
    place.DesktopDir = home / "Desktop";
    place.WorkArea = {0, 0, 1920, 1056};
    place.Monitors = {{0, 0, 1920, 1080}, {1920, 0, 1280, 1024}};
    fs::create_directories(place.DesktopDir);
  }
  void TearDown() override { fs::remove_all(home); }
  void Desktop(std::initializer_list<const char*> names) {
    for (const char* n : names)
      Write(place.DesktopDir / n, "x");
  }

  fs::path home;
  TDesktopPlace place;
};

TEST_F(DesktopIconsSourceTest, DesktopFolderFromUserDirs) {
  TScopedEnv env("XDG_DESKTOP_DIR", nullptr);
  EXPECT_EQ(DesktopDirectory(home, place.ConfigHome), home / "Desktop"); // no user-dirs.dirs
  Write(place.ConfigHome / "user-dirs.dirs",
        "# written by "
        "xdg-user-dirs-update\nXDG_DOWNLOAD_DIR=\"$HOME/Downloads\"\nXDG_DESKTOP_DIR=\"$HOME/"
        "Schreibtisch\"\n");
  EXPECT_EQ(DesktopDirectory(home, place.ConfigHome), home / "Schreibtisch");
  Write(place.ConfigHome / "user-dirs.dirs", "XDG_DESKTOP_DIR=\"/srv/desk\"\n");
  EXPECT_EQ(DesktopDirectory(home, place.ConfigHome), fs::path("/srv/desk"));
  TScopedEnv set("XDG_DESKTOP_DIR", "/elsewhere/Desk");
  EXPECT_EQ(DesktopDirectory(home, place.ConfigHome), fs::path("/elsewhere/Desk"));
}

TEST_F(DesktopIconsSourceTest, PlaceFromEnvironment) {
  TScopedEnv h("HOME", home.c_str()), c("XDG_CONFIG_HOME", nullptr), d("XDG_DESKTOP_DIR", nullptr),
      cur("XDG_CURRENT_DESKTOP", "ubuntu:GNOME");
  const TDesktopPlace p = DesktopPlaceFromEnvironment({0, 27, 1920, 1053}, {{0, 0, 1920, 1080}});
  EXPECT_EQ(p.ConfigHome, home / ".config");
  EXPECT_EQ(p.DesktopDir, home / "Desktop");
  EXPECT_EQ(p.CurrentDesktop, "ubuntu:GNOME");
  EXPECT_EQ(p.WorkArea, (TScreenRect{0, 27, 1920, 1053}));
  EXPECT_TRUE(DesktopNamed(p.CurrentDesktop, {"gnome"}));
  EXPECT_FALSE(DesktopNamed(p.CurrentDesktop, {"GNOME-Flashback", "XFCE"}));
}

TEST_F(DesktopIconsSourceTest, EntriesSortedWithoutHiddenOnes) {
  Desktop({"zeta.txt", "Alpha", ".hidden", "beta.desktop", "alpha"});
  EXPECT_EQ(DesktopEntries(place.DesktopDir),
            (std::vector<std::string>{"Alpha", "alpha", "beta.desktop", "zeta.txt"}));
  EXPECT_TRUE(DesktopEntries(home / "missing").empty());
}

TEST_F(DesktopIconsSourceTest, GridIsColumnMajorFromTheWorkAreaTopLeft) {
  Desktop({"a", "b", "c", "d"});
  place.WorkArea = {100, 24, 800, 160}; // room for two rows of 72 pixels
  const std::optional<TDesktopIcons> icons = TGridIconSource().Read(place);
  ASSERT_TRUE(icons);
  EXPECT_EQ(icons->IconSize, 0);
  // Cells 80 x 72 for 32-pixel icons, 8 pixels in from the edges, icon centred
  // in its cell 4 pixels below the cell top.
  EXPECT_EQ(icons->Positions, Points({{132, 36}, {132, 108}, {212, 36}, {212, 108}}));

  const std::optional<TDesktopIcons> big = TGridIconSource(48).Read(place);
  EXPECT_EQ(big->IconSize, 48);
  EXPECT_EQ(big->Positions.front(), (TIconPoint{132, 36})); // (96 - 48) / 2 in
  EXPECT_EQ(big->Positions[1], (TIconPoint{228, 36}));      // 88-pixel rows: one row only

  fs::remove_all(place.DesktopDir);
  EXPECT_TRUE(TGridIconSource().Read(place)->Positions.empty());
}

TEST_F(DesktopIconsSourceTest, PcmanfmDesktopItemsOfTheNewestProfile) {
  Desktop({"Notes.txt", "My Folder", "back\\slash"});
  const fs::path lx = place.ConfigHome / "pcmanfm" / "LXDE-pi";
  Write(lx / "desktop-items-0.conf",
        "[Notes.txt]\nx=10\ny=20\n\n[My Folder]\nx=100\ny=20\n\n[gone.txt]\nx=5\ny=5\n\n"
        "[back\\\\slash]\nx=7\ny=8\n\n[bad]\nx=abc\ny=1\n");
  Write(lx / "desktop-items-1.conf", "[Notes.txt]\nx=30\ny=40\n");
  Write(lx / "pcmanfm.conf", "[desktop]\nwallpaper_mode=color\n");
  // An older profile that is no longer used.
  const fs::path old = place.ConfigHome / "pcmanfm" / "default" / "desktop-items-0.conf";
  Write(old, "[Notes.txt]\nx=999\ny=999\n");
  fs::last_write_time(old,
                      fs::last_write_time(lx / "desktop-items-0.conf") - std::chrono::hours(24));

  TPcmanfmIconSource source;
  std::optional<TDesktopIcons> icons = source.Read(place);
  ASSERT_TRUE(icons);
  EXPECT_EQ(icons->Positions, Points({{10, 20}, {100, 20}, {7, 8}, {1920 + 30, 40}}));
  EXPECT_EQ(icons->IconSize, 0);

  Write(place.ConfigHome / "libfm" / "libfm.conf",
        "[config]\nsingle_click=0\n\n[ui]\nbig_icon_size=48\n");
  EXPECT_EQ(source.Read(place)->IconSize, 48);
  EXPECT_TRUE(source.Serves("LXDE"));
  EXPECT_TRUE(source.Serves("LXQt"));
  EXPECT_FALSE(source.Serves("XFCE"));
}

TEST_F(DesktopIconsSourceTest, PcmanfmQtPositions) {
  Desktop({"My File.txt", "b.txt"});
  const fs::path lxqt = place.ConfigHome / "pcmanfm-qt" / "lxqt";
  Write(lxqt / "desktop-items-0.conf",
        "[My%20File.txt]\npos=@Point(12 34)\n\n[b.txt]\npos=@Point(-4 "
        "100)\n\n[c.txt]\npos=@Point(1 1)\n");
  Write(lxqt / "settings.conf", "[Desktop]\nBgColor=#2e3436\nDesktopIconSize=64\n");
  const std::optional<TDesktopIcons> icons = TPcmanfmIconSource().Read(place);
  ASSERT_TRUE(icons);
  EXPECT_EQ(icons->Positions, Points({{12, 34}, {-4, 100}}));
  EXPECT_EQ(icons->IconSize, 64);
}

TEST_F(DesktopIconsSourceTest, PcmanfmWithoutStoredPositionsHasNoAnswer) {
  Desktop({"a.txt"});
  EXPECT_FALSE(TPcmanfmIconSource().Read(place)); // no configuration at all
  Write(place.ConfigHome / "pcmanfm" / "default" / "desktop-items-0.conf", "");
  EXPECT_FALSE(TPcmanfmIconSource().Read(place)); // nothing placed by hand
}

TEST_F(DesktopIconsSourceTest, XfdesktopYamlPerMonitor) {
  const fs::path dir = place.ConfigHome / "xfce4" / "desktop";
  fs::create_directories(dir);
  fs::copy_file(Fixtures / "icons.screen0.yaml", dir / "icons.screen0.yaml");
  fs::copy_file(Fixtures / "icons.screen0-1904x1040.rc",
                dir / "icons.screen0-1904x1040.rc"); // older, ignored
  TXfdesktopIconSource source;
  std::optional<TDesktopIcons> icons = source.Read(place);
  ASSERT_TRUE(icons);
  EXPECT_EQ(icons->IconSize, 0);
  // 32-pixel icons: 92-pixel cells 100 apart, 8 in from the monitor, the icon
  // centred 6 below the cell top. The negative row is dropped.
  EXPECT_EQ(icons->Positions, Points({{38, 14}, {138, 214}, {1920 + 38, 14}}));

  fs::create_directories(place.ConfigHome / "xfce4" / "xfconf" / "xfce-perchannel-xml");
  fs::copy_file(Fixtures / "xfce4-desktop.xml", place.ConfigHome / "xfce4" / "xfconf" /
                                                    "xfce-perchannel-xml" / "xfce4-desktop.xml");
  icons = source.Read(place);
  EXPECT_EQ(icons->IconSize, 48); // the desktop-icons one, not the backdrop's
  EXPECT_EQ(icons->Positions, Points({{50, 14}, {190, 294}, {1920 + 50, 14}}));
  EXPECT_TRUE(source.Serves("XFCE"));
}

TEST_F(DesktopIconsSourceTest, XfdesktopRcNamedAfterTheWorkArea) {
  const fs::path dir = place.ConfigHome / "xfce4" / "desktop";
  place.WorkArea = {0, 24, 1920, 1056}; // files of older versions took 16 off
  Write(dir / "icons.screen0-1904x1040.rc", ReadTextFile(Fixtures / "icons.screen0-1904x1040.rc"));
  const fs::path other = dir / "icons.screen0-1280x1024.rc";
  Write(other, "[x]\nrow=5\ncol=5\n");
  fs::last_write_time(other, fs::last_write_time(dir / "icons.screen0-1904x1040.rc") +
                                 std::chrono::hours(1));
  const std::optional<TDesktopIcons> icons = TXfdesktopIconSource().Read(place);
  ASSERT_TRUE(icons);
  EXPECT_EQ(icons->Positions, Points({{38, 24 + 114}, {238, 24 + 14}}));

  // No file for this work area: the newest one.
  fs::remove(dir / "icons.screen0-1904x1040.rc");
  EXPECT_EQ(TXfdesktopIconSource().Read(place)->Positions, Points({{538, 24 + 514}}));
}

TEST_F(DesktopIconsSourceTest, XfdesktopParsersIgnoreWhatIsNotACell) {
  EXPECT_TRUE(
      ParseXfdesktopRc("[xfdesktop-version-4.10.3+-rcfile_format]\n4.10.3+=true\n").empty());
  EXPECT_TRUE(ParseXfdesktopYaml("configs: []\n").empty());
  EXPECT_TRUE(
      ParseXfdesktopYaml("configs:\n- level: 0\n  icons:\n    \"a\":\n      row: x\n      col: 1\n")
          .empty());
  EXPECT_FALSE(XfconfDesktopIconSize("<channel name=\"xfce4-desktop\"/>"));
  EXPECT_FALSE(XfconfDesktopIconSize(
      "<property name=\"desktop-icons\"><property name=\"icon-size\" value=\"0\"/>"));
}

// Parsed cells as "row,col@x,y" ("@-": no monitor geometry), for tables.
std::string CellText(const std::vector<TXfdesktopCell>& Cells) {
  std::string t;
  for (const TXfdesktopCell& c : Cells) {
    if (!t.empty())
      t += ' ';
    t += std::to_string(c.Row) + "," + std::to_string(c.Col) + "@";
    t += c.MonitorOrigin
             ? std::to_string(c.MonitorOrigin->X) + "," + std::to_string(c.MonitorOrigin->Y)
             : "-";
  }
  return t;
}

// Files as YAML allows them to be written, not only line by line the way
// xfdesktop does: the structure decides what is an icon and whose row it is.
TEST(XfdesktopYaml, FollowsTheStructureNotTheLines) {
  const struct {
    const char* What;
    const char* Text;
    const char* Cells;
  } cases[] = {
      {"comment after a value",
       "configs:\n- level: 0\n  icons:\n    \"a\":\n      row: 1 # moved\n      col: 2\n", "1,2@-"},
      {"flow style", "configs: [{level: 0, icons: {\"a\": {row: 3, col: 4}}}]\n", "3,4@-"},
      {"quoted key with a colon and an escaped quote",
       "configs:\n- icons:\n    \"file:///D/a\\\": b.txt\":\n      row: 1\n      col: 1\n",
       "1,1@-"},
      {"explicit key, as an emitter writes a key over 128 characters",
       "configs:\n- icons:\n    ? \"file:///D/long%20name\"\n    : row: 1\n      col: 2\n",
       "1,2@-"},
      {"a nested mapping of an icon is no icon",
       "configs:\n- icons:\n    \"a\":\n      row: 1\n      col: 2\n      emblem:\n        row: "
       "9\n        col: 9\n",
       "1,2@-"},
      {"monitors after the icons",
       "configs:\n- level: 1\n  icons:\n    \"a\":\n      row: 0\n      col: 0\n    \"b\":\n      "
       "row: 1\n      col: 0\n"
       "  monitors:\n  - geometry:\n      x: 1920\n      y: 0\n",
       "0,0@1920,0 1,0@1920,0"},
      {"the first monitor with a geometry",
       "configs:\n- monitors: [{id: a}, {id: b, geometry: {x: 5, y: 6}}, {geometry: {x: 7, y: "
       "8}}]\n"
       "  icons: {a: {row: 0, col: 1}}\n",
       "0,1@5,6"},
      {"a geometry value that is no number counts as 0",
       "configs:\n- monitors: [{geometry: {x: left, y: 40}}]\n  icons: {a: {row: 0, col: 1}}\n",
       "0,1@0,40"},
      {"numbers: too big, quoted, negative, missing",
       "configs:\n- icons:\n    a: {row: 99999999999, col: 0}\n    b: {row: \"1\", col: 0}\n    c: "
       "{row: -1, col: 0}\n"
       "    d: {row: 1}\n    e: {row: +2, col: 0}\n",
       "2,0@-"},
      {"each config its own monitor",
       "configs:\n- monitors: [{geometry: {x: 0, y: 0}}]\n  icons: {a: {row: 0, col: 0}}\n- icons: "
       "{b: {row: 1, col: 1}}\n",
       "0,0@0,0 1,1@-"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(CellText(ParseXfdesktopYaml(c.Text)), c.Cells) << c.What;
}

// A damaged or hostile file gives the cells read before the damage, quickly
// and without following aliases or nesting without end (libyaml slows down
// with every level of brackets).
TEST(XfdesktopYaml, MalformedAndHostileFiles) {
  const std::string fixture = ReadTextFile(Fixtures / "icons.screen0.yaml");
  const size_t cut = fixture.find("Photos\":\n      row: 0\n      co");
  ASSERT_NE(cut, std::string::npos);
  std::string aliases = "a: &a [x, x, x, x, x, x, x, x, x, x]\n";
  for (char c = 'b'; c <= 'j'; ++c) {
    aliases += std::string(1, c) + ": &" + c + " [";
    for (int i = 0; i < 10; ++i)
      aliases += std::string(i ? ", *" : "*") + char(c - 1);
    aliases += "]\n";
  }
  aliases += "configs:\n- icons: {n: {row: 1, col: 1}, m: *j}\n";
  const struct {
    const char* What;
    std::string Text;
    const char* Cells;
  } cases[] = {
      {"cut off in the middle of an icon", fixture.substr(0, cut + 30), "0,0@0,0 2,1@0,0"},
      {"unterminated quote",
       "configs:\n- icons:\n    \"a\": {row: 1, col: 1}\n    \"b\n      row: 2\n", "1,1@-"},
      {"tab indentation", "configs:\n- icons:\n\t\"a\": {row: 1, col: 1}\n", ""},
      // Decoded ahead of parsing: such a file is no YAML at all.
      {"not UTF-8",
       "configs:\n- icons:\n    a: {row: 1, col: 1}\n    \"caf\xe9\": {row: 2, col: 2}\n", ""},
      {"NUL bytes", std::string("configs:\0\0- [\0", 14), ""},
      {"nested without end",
       "configs:\n- icons: {a: {row: 1, col: 1}}\n  junk: " + std::string(200000, '['), "1,1@-"},
      {"deep block nesting inside an icon",
       [] {
         std::string t = "configs:\n- icons:\n    a: {row: 3, col: 3}\n    b:\n";
         for (int i = 0; i < 100; ++i)
           t += std::string(6 + 2 * i, ' ') + "k:\n";
         return t;
       }(),
       "3,3@-"},
      {"aliases are not followed", aliases, "1,1@-"},
      {"nothing", "", ""},
      {"a scalar document", "--- just text\n...\n", ""},
  };
  const auto start = std::chrono::steady_clock::now();
  for (const auto& c : cases)
    EXPECT_EQ(CellText(ParseXfdesktopYaml(c.Text)), c.Cells) << c.What;
  // Milliseconds; with nesting unbounded the bracket line alone takes about a minute.
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST_F(DesktopIconsSourceTest, GioMetadataOfTheDesktopEntries) {
  Desktop({"a.txt", "b.txt", "c.txt", "d.txt", "e.txt"});
  std::map<std::pair<std::string, std::string>, std::string> meta = {
      {{"a.txt", "metadata::caja-icon-position"}, "64,32"},
      {{"b.txt", "metadata::desktop-icon-position"}, "1000, 500"},
      {{"c.txt", "metadata::caja-icon-position"}, "oops"},
      {{"c.txt", "metadata::nautilus-icon-position"}, "7,9"},
      {{"d.txt", "metadata::nemo-icon-position"}, ""},
  };
  std::vector<std::string> asked;
  TGioMetadataIconSource source(
      [&](const std::string& path, const char* attribute) -> std::optional<std::string> {
        const std::string name = fs::path(path).filename().string();
        EXPECT_EQ(fs::path(path).parent_path(), place.DesktopDir);
        asked.push_back(name);
        const auto it = meta.find({name, attribute});
        if (it == meta.end())
          return std::nullopt;
        return it->second;
      });
  const std::optional<TDesktopIcons> icons = source.Read(place);
  ASSERT_TRUE(icons);
  EXPECT_EQ(icons->Positions, Points({{64, 32}, {1000, 500}, {7, 9}}));
  EXPECT_EQ(icons->IconSize, 0);
  EXPECT_EQ(std::count(asked.begin(), asked.end(), "a.txt"),
            1); // first attribute found: no more asked
  EXPECT_EQ(std::count(asked.begin(), asked.end(), "e.txt"), 4);

  meta.clear();
  EXPECT_FALSE(source.Read(place));
  EXPECT_TRUE(source.Serves("MATE"));
  EXPECT_TRUE(source.Serves("X-Cinnamon"));
}

TEST(DesktopIconsGio, PositionTexts) {
  const struct {
    const char* Text;
    std::optional<TIconPoint> Point;
  } cases[] = {{"1,2", TIconPoint{1, 2}},
               {" -5 , 40 ", TIconPoint{-5, 40}},
               {"", std::nullopt},
               {"3", std::nullopt},
               {"1,2,3", std::nullopt},
               {"1.5,2", std::nullopt},
               {"99999999999,1", std::nullopt}};
  for (const auto& c : cases)
    EXPECT_EQ(ParseIconPositionText(c.Text), c.Point) << c.Text;
}

// The real GIO binding, on an attribute every file has.
TEST_F(DesktopIconsSourceTest, GioBindingReadsAStringAttribute) {
  Desktop({"Readme.txt"});
  const std::string path = (place.DesktopDir / "Readme.txt").string();
  const std::optional<std::string> name = GioFileAttribute(path, "standard::display-name");
  ASSERT_TRUE(name);
  EXPECT_EQ(*name, "Readme.txt");
  EXPECT_FALSE(GioFileAttribute(path, "standard::size")); // a number, not a string
  EXPECT_FALSE(GioFileAttribute(path, "metadata::caja-icon-position"));
  EXPECT_FALSE(GioFileAttribute((place.DesktopDir / "missing").string(), "standard::display-name"));
}

TEST_F(DesktopIconsSourceTest, StoresOfTheRunningDesktopAreAskedFirst) {
  Desktop({"Notes.txt", "two"});
  Write(place.ConfigHome / "pcmanfm" / "LXDE" / "desktop-items-0.conf", "[Notes.txt]\nx=1\ny=2\n");
  Write(place.ConfigHome / "xfce4" / "desktop" / "icons.screen0.yaml",
        ReadTextFile(Fixtures / "icons.screen0.yaml"));
  TIconPositionSources sources;
  sources.push_back(std::make_unique<TPcmanfmIconSource>());
  sources.push_back(std::make_unique<TXfdesktopIconSource>());
  sources.push_back(std::make_unique<TGioMetadataIconSource>(
      [](const std::string&, const char*) -> std::optional<std::string> {
        throw std::runtime_error("no bus");
      }));
  sources.push_back(std::make_unique<TGridIconSource>());

  place.CurrentDesktop = "";
  EXPECT_EQ(ReadDesktopIcons(place, sources).Positions, Points({{1, 2}}));
  place.CurrentDesktop = "XFCE";
  EXPECT_EQ(ReadDesktopIcons(place, sources).Positions.size(), 3u);
  // Neither store: the failing metadata source is passed over, the grid answers.
  fs::remove_all(place.ConfigHome);
  place.CurrentDesktop = "MATE";
  EXPECT_EQ(ReadDesktopIcons(place, sources).Positions, Points({{32, 12}, {32, 84}}));
  EXPECT_EQ(DefaultIconPositionSources().size(), 4u);
}

} // namespace
