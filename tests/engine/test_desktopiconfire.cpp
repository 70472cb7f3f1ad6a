// The desktop-icons button: placement arithmetic, the style file, the boxes,
// and the silent failures, on an engine without a desktop.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "DesktopIconFire.h"
#include "EngineTestSupport.h"
#include "StateFile.h"
#include "StyleMapping.h"

namespace {

const std::string AlternateFire = std::string(QUELMA_SOURCE_DIR) + "/Data/Alternate fire.quelma";

// The settings window as the button sees it: boxes as flags, the real state
// file reader, and a log of the calls in order.
class TFakeHost : public IDesktopIconsHost {
public:
  explicit TFakeHost(TPartForm& Form) : FForm(Form) {}
  TDesktopIcons Icons;
  bool ThrowOnIcons = false;
  bool ThrowOnLoad = false;
  bool KeepInFront = true;
  bool LoadStyle = false;
  bool LoadArt = false;
  TStyleSettings Style;
  std::string Log;

  TDesktopIcons GetDesktopIcons() override {
    Log += "icons ";
    if (ThrowOnIcons)
      throw std::runtime_error("no access");
    return Icons;
  }
  void SetKeepInFront(bool C) override {
    KeepInFront = C;
    Log += C ? "front+ " : "front- ";
  }
  void NoIconsFound() override { Log += "none"; }
  void SetLoadStyle(bool C) override {
    LoadStyle = C;
    Log += C ? "style+ " : "style- ";
  }
  void SetLoadArt(bool C) override {
    LoadArt = C;
    Log += C ? "art+ " : "art- ";
  }
  void LoadStateFile(const std::string& FileName) override {
    Log += "load";
    if (ThrowOnLoad)
      throw EStateFileError(StateLoadErrorText);
    TStateFileOptions o;
    o.LoadStyle = LoadStyle;
    o.LoadArt = LoadArt;
    LoadSaveState(FileName, false, FForm, Style, o);
  }

private:
  TPartForm& FForm;
};

std::vector<TIconPoint> Grid(int n) {
  std::vector<TIconPoint> v;
  for (int i = 0; i < n; ++i)
    v.push_back({20 + 90 * (i / 5), 10 + 80 * (i % 5)});
  return v;
}

class DesktopIconFireTest : public EngineTest {
protected:
  TFakeHost host{form};
  // Some art of the user's own, to see it replaced.
  void DrawSomething() {
    for (int i = 0; i < 7; ++i)
      form.AddEmitter(nullptr, 256, float(i), -300.0f);
  }
};

TEST_F(DesktopIconFireTest, TenIconsGiveSixtyEmittersAndTheFileStyle) {
  DrawSomething();
  host.Icons.Positions = Grid(10);
  host.Icons.IconSize = 48;
  ASSERT_TRUE(DeskIconsBtnClick(form, host, AlternateFire));
  EXPECT_EQ(form.FEmitters.Count, 60); // the file's empty art replaced the drawing
  EXPECT_EQ(host.Log, "icons front- style+ art+ load");
  EXPECT_FALSE(host.KeepInFront);
  EXPECT_EQ(host.Style.Thickness, 6); // "Alternate fire" is the small-flame style
  EXPECT_EQ(host.Style.MaxAlpha, 120);
  // The emitters follow the engine's shared style (no own copy).
  for (int32_t i = 0; i < form.FEmitters.Count; ++i)
    EXPECT_FALSE(form.Emitter(i)->HasOwnStyle());
}

TEST_F(DesktopIconFireTest, MaxCountOfTheLoadedStyleKeepsTheNewest) {
  std::ifstream in(AlternateFire, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  std::string s = text.str();
  const auto at = s.find("Max_count=\"10000\"");
  ASSERT_NE(at, std::string::npos);
  s.replace(at, 17, "Max_count=\"25\"");
  const auto file = std::filesystem::temp_directory_path() / "quelma-icons-maxcount.quelma";
  std::ofstream(file, std::ios::binary) << s;

  host.Icons.Positions = Grid(10);
  ASSERT_TRUE(DeskIconsBtnClick(form, host, file.string()));
  std::filesystem::remove(file);
  EXPECT_EQ(form.FMaxCount, 25);
  ASSERT_EQ(form.FEmitters.Count, 25);
  // The last icon's six emitters are the newest and survive.
  const TIconPoint last = host.Icons.Positions.back();
  EXPECT_FLOAT_EQ(form.Emitter(19)->X, float(last.X + 16) - form.OriginX);
  EXPECT_FLOAT_EQ(form.Emitter(19)->Y, float(last.Y + 5) - form.OriginY);
}

TEST_F(DesktopIconFireTest, IconSize48AtScreenPoint100_200) {
  host.Icons.Positions = {{100, 200}};
  host.Icons.IconSize = 48;
  RandSeed = SeedBefore(0x80000000u); // the first row emitter draws r = 0.5
  ASSERT_TRUE(DeskIconsBtnClick(form, host, AlternateFire));
  ASSERT_EQ(form.FEmitters.Count, 6);
  EXPECT_FLOAT_EQ(form.Emitter(0)->X, 124 - form.OriginX);
  EXPECT_FLOAT_EQ(form.Emitter(0)->Y, 205 - form.OriginY);
  const float dx[5] = {-8, -4, 0, 4, 8};
  for (int k = 0; k < 5; ++k) {
    const TEmitter& e = *form.Emitter(1 + k);
    EXPECT_FLOAT_EQ(e.X, 124 + dx[k] - form.OriginX) << k;
    EXPECT_GE(e.Y, 203 - form.OriginY) << k;
    EXPECT_LT(e.Y, 205 - form.OriginY) << k;
  }
  EXPECT_FLOAT_EQ(form.Emitter(1)->Y, 204 - form.OriginY); // 200 + 3 + 2 * 0.5
}

TEST_F(DesktopIconFireTest, UnknownIconSizeMeans32AndOneDrawPerRowEmitter) {
  host.Icons.Positions = {{0, 0}, {-50, 1000}}; // a monitor left of the primary too
  const uint32_t before = RandSeed;
  ASSERT_TRUE(DeskIconsBtnClick(form, host, AlternateFire));
  ASSERT_EQ(form.FEmitters.Count, 12);
  EXPECT_FLOAT_EQ(form.Emitter(0)->X, 16 - form.OriginX);
  EXPECT_FLOAT_EQ(form.Emitter(6)->X, -34 - form.OriginX);
  EXPECT_FLOAT_EQ(form.Emitter(6)->Y, 1005 - form.OriginY);
  uint32_t expected = before;
  for (int i = 0; i < 10; ++i)
    expected = expected * 134775813u + 1u;
  EXPECT_EQ(RandSeed, expected);
}

TEST_F(DesktopIconFireTest, NoIconsChangesNothingAndSaysSo) {
  DrawSomething();
  const int32_t Before = form.FEmitters.Count;
  EXPECT_FALSE(DeskIconsBtnClick(form, host, AlternateFire));
  EXPECT_EQ(form.FEmitters.Count, Before);
  EXPECT_EQ(host.Style, TStyleSettings{});
  EXPECT_EQ(host.Log, "icons none");
}

TEST_F(DesktopIconFireTest, SecondClickReplacesTheArtAgain) {
  host.Icons.Positions = Grid(10);
  ASSERT_TRUE(DeskIconsBtnClick(form, host, AlternateFire));
  DrawSomething();
  ASSERT_TRUE(DeskIconsBtnClick(form, host, AlternateFire));
  ASSERT_EQ(form.FEmitters.Count, 60);
  EXPECT_FLOAT_EQ(form.Emitter(0)->X, 20 + 16 - form.OriginX);
  EXPECT_FLOAT_EQ(form.Emitter(0)->Y, 10 + 5 - form.OriginY);
}

TEST_F(DesktopIconFireTest, MissingStyleFilePlacesWithTheCurrentStyle) {
  DrawSomething();
  host.Icons.Positions = Grid(2);
  ASSERT_TRUE(DeskIconsBtnClick(form, host, "/nonexistent/Alternate fire.quelma"));
  EXPECT_EQ(form.FEmitters.Count, 7 + 12);
  EXPECT_EQ(host.Style, TStyleSettings{});
}

TEST_F(DesktopIconFireTest, FailuresEndTheClickSilently) {
  struct Case {
    const char* Name;
    bool ThrowOnIcons, ThrowOnLoad;
    const char* Log;
  } cases[] = {
      {"icons unreadable", true, false, "icons "},
      {"style file broken", false, true, "icons front- style+ art+ load"},
  };
  for (const Case& c : cases) {
    TFakeHost h(form);
    h.Icons.Positions = Grid(3);
    h.ThrowOnIcons = c.ThrowOnIcons;
    h.ThrowOnLoad = c.ThrowOnLoad;
    EXPECT_FALSE(DeskIconsBtnClick(form, h, AlternateFire)) << c.Name;
    EXPECT_EQ(form.FEmitters.Count, 0) << c.Name;
    EXPECT_EQ(h.Log, c.Log) << c.Name;
  }
}

} // namespace
