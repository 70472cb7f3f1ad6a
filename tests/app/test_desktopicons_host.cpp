// The button's settings-window side: real check boxes whose toggled handlers
// run, the engine, the shipped style file, and the icons of a fixture home
// read through Qt's screens.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QFile>
#include <QGuiApplication>
#include <QScreen>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "DesktopIconsHost.h"
#include "FlameDisplay.h"
#include "FlameEngine.h"
#include "ScopedEnv.h"
#include "SettingsTestSupport.h"
#include "StateFile.h"
#include "StyleMapping.h"

namespace fs = std::filesystem;

namespace {

class DesktopIconsHostTest : public ::testing::Test {
protected:
  static void SetUpTestSuite() { SettingsTestApp(); } // before any widget member
  void SetUp() override {
    form.OriginX = 400;
    form.OriginY = 300;
    front.setChecked(true);
    QObject::connect(&front, &QCheckBox::toggled,
                     [this](bool on) { log += on ? "front+ " : "front- "; });
    QObject::connect(&style, &QCheckBox::toggled,
                     [this](bool on) { log += on ? "style+ " : "style- "; });
    QObject::connect(&art, &QCheckBox::toggled, [this](bool on) { log += on ? "art+ " : "art- "; });
  }

  // What the settings window's "Load" does, with the boxes as they are.
  void Load(const QString& FileName) {
    log += "load";
    TStateFileOptions o;
    o.LoadStyle = style.isChecked();
    o.LoadArt = art.isChecked();
    LoadSaveState(QFile::encodeName(FileName).toStdString(), false, form, settings, o);
  }

  TSurfaceDisplay display;
  TPartForm form{display};
  TStyleSettings settings;
  QCheckBox front, style, art;
  std::string log;
  TDesktopIconsHost host{&front, &style, &art, [this](const QString& f) { Load(f); }};
  const std::string styleFile = std::string(QUELMA_SOURCE_DIR) + "/Data/Alternate fire.quelma";
};

TEST_F(DesktopIconsHostTest, ClickRunsTheBoxHandlersLoadsAndPlaces) {
  style.setChecked(true); // already set: no handler runs for it
  log.clear();
  host.ReadIcons = [] { return TDesktopIcons{{{100, 200}, {300, 200}}, 48}; };
  ASSERT_TRUE(DeskIconsBtnClick(form, host, styleFile));
  EXPECT_EQ(log, "front- art+ load");
  EXPECT_FALSE(front.isChecked());
  EXPECT_TRUE(art.isChecked());
  ASSERT_EQ(form.FEmitters.Count, 12);
  EXPECT_FLOAT_EQ(form.Emitter(0)->X, 124 - form.OriginX);
  EXPECT_FLOAT_EQ(form.Emitter(0)->Y, 205 - form.OriginY);
  EXPECT_EQ(settings.Thickness, 6);
}

TEST_F(DesktopIconsHostTest, FixtureHomeGivesTheGridOfTheDesktopFolder) {
  const fs::path home =
      fs::temp_directory_path() /
      ("quelma-host-" +
       std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
  fs::create_directories(home / "Desktop");
  for (const char* n : {"b.txt", "a.txt", "c"})
    std::ofstream(home / "Desktop" / n) << "x";
  TScopedEnv h("HOME", home.c_str()), c("XDG_CONFIG_HOME", nullptr), d("XDG_DESKTOP_DIR", nullptr),
      cur("XDG_CURRENT_DESKTOP", nullptr);

  const TDesktopPlace place = CurrentDesktopPlace();
  const QRect work = QGuiApplication::primaryScreen()->availableGeometry();
  EXPECT_EQ(place.WorkArea, (TScreenRect{work.left(), work.top(), work.width(), work.height()}));
  ASSERT_FALSE(place.Monitors.empty());
  EXPECT_EQ(place.DesktopDir, home / "Desktop");

  ASSERT_TRUE(DeskIconsBtnClick(form, host, styleFile)); // the host reads the real desktop
  fs::remove_all(home);
  ASSERT_EQ(form.FEmitters.Count, 18);
  // The first icon of the default grid: 80 x 72 cells 8 pixels in, a
  // 32-pixel icon centred, 4 pixels down; its centre emitter 16 right, 5 down.
  EXPECT_FLOAT_EQ(form.Emitter(0)->X, float(work.left() + 8 + 24 + 16) - form.OriginX);
  EXPECT_FLOAT_EQ(form.Emitter(0)->Y, float(work.top() + 8 + 4 + 5) - form.OriginY);
}

} // namespace
