#include <gtest/gtest.h>
#include <stdlib.h>

#include <bit>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "FlameDisplay.h"
#include "FlameEngine.h"
#include "Random.h"
#include "StateFile.h"
#include "StyleMapping.h"

namespace fs = std::filesystem;

namespace {

std::string ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteAll(const fs::path& p, const std::string& text) {
  std::ofstream out(p, std::ios::binary);
  out << text;
}

// Lines joined with CR LF, as the program writes them.
std::string Crlf(std::initializer_list<const char*> lines) {
  std::string s;
  for (const char* l : lines)
    s += std::string(l) + "\r\n";
  return s;
}

const char* const DefaultStyleLines[] = {
    R"(  <Style>)",
    R"(    <Emitters Max_alpha="55" Hue="35" Saturation="107" Lightness="175" Max_count="10000" Thickness="15" Fat="False" X_wildness="7" Y_wildness="1" Independent_emitters="False" />)",
    R"(    <Fading Fade_alpha="248" Fade_hue="20" Fade_saturation="256" Fade_lightness="240" Fade_hue_cycle="0" X_blur="1" Y_blur="1" Y_motion="-1" />)",
    R"(    <Animation FPS="30" Gravity="0" Attraction="0" Emitter_lifetime="1000" Emitter_fade_out="200" />)",
    R"(  </Style>)",
};

// A state document with the given style attributes and art lines.
std::string Doc(const std::string& style, const std::string& art) {
  return "<QUELMA_state Version=\"1.0.0.0\">" + style + art + "</QUELMA_state>";
}

const std::string AllStyle =
    R"(<Style><Emitters Max_alpha="55" Hue="35" Saturation="107" Lightness="175" Max_count="10000" Thickness="15" Fat="False" X_wildness="7" Y_wildness="1" Independent_emitters="False"/>)"
    R"(<Fading Fade_alpha="248" Fade_hue="20" Fade_saturation="256" Fade_lightness="240" Fade_hue_cycle="0" X_blur="1" Y_blur="1" Y_motion="-1"/>)"
    R"(<Animation FPS="30" Gravity="0" Attraction="0" Emitter_lifetime="1000" Emitter_fade_out="200"/></Style>)";

class StateFileTest : public ::testing::Test {
protected:
  void SetUp() override {
    savedSeed = RandSeed;
    form.DesktopRect = MakeRect(0, 0, 1920, 1080);
    form.OriginX = 960;
    form.OriginY = 540;
    char tmpl[] = "/tmp/quelma-statefile-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir = tmpl;
    ApplyStyle(form, style);
  }
  void TearDown() override {
    RandSeed = savedSeed;
    std::error_code ec;
    fs::remove_all(dir, ec);
  }

  std::string Path(const std::string& name) const { return (dir / name).string(); }
  bool Read(const std::string& text, const TStateFileOptions& o = {}) {
    return ReadStateText(text, form, style, o);
  }
  void ExpectLoadError(const std::string& text, const TStateFileOptions& o = {}) {
    try {
      Read(text, o);
      ADD_FAILURE() << "no error for " << text;
    } catch (const EStateFileError& e) {
      EXPECT_STREQ(e.what(), "Error loading the file.");
    }
  }

  uint32_t savedSeed = 0;
  fs::path dir;
  TSurfaceDisplay display;
  TPartForm form{display};
  TStyleSettings style;
};

// ------------------------------------------------------------- value texts

TEST(StateValueText, FloatsAreWrittenInTheGeneralForm) {
  struct Case {
    double value;
    const char* sep;
    const char* text;
  };
  const Case cases[] = {
      {0.0, ".", "0"},
      {double(0.1f), ".", "0.100000001490116"},
      {6.86334851707215e-6, ".", "6.86334851707215E-6"},
      {1500, ".", "1500"},
      {-1, ".", "-1"},
      {-12.5, ",", "-12,5"},
      {12.5, "\xD9\xAB",
       "12\xD9\xAB"
       "5"}, // a separator outside ASCII
      {0.00001, ".", "0.00001"},
      {0.000123, ".", "0.000123"},
      {double(1e-5f), ".", "9.99999974737875E-6"},
      {123456789012345.0, ".", "123456789012345"},
      {1e15, ".", "1E15"},
      {-2.5e20, ".", "-2.5E20"},
      {double(ImmortalLife), ".", "2147483648"},
      {1.0 / 3.0, ".", "0.333333333333333"},
      {999999999999999.9, ".", "1E15"}, // rounds up to 16 integer digits
      {std::nan(""), ".", "0"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(FloatToStateText(c.value, c.sep), c.text) << c.value;
}

TEST(StateValueText, EverySingleReadsBackBitForBit) {
  uint32_t bits = 12345;
  for (int i = 0; i < 200000; ++i) {
    bits = bits * 1664525u + 1013904223u;
    const float f = std::bit_cast<float>(bits);
    if (!std::isfinite(f) || f == 0)
      continue; // -0 is written as "0"
    for (const char* sep : {".", ","}) {
      const auto back = StateTextToFloat(FloatToStateText(f, sep), sep);
      ASSERT_TRUE(back.has_value()) << f;
      ASSERT_EQ(std::bit_cast<uint32_t>(*back), bits) << FloatToStateText(f, sep);
    }
  }
}

TEST(StateValueText, FloatsRead) {
  struct Case {
    const char* text;
    const char* sep;
    std::optional<float> value;
  };
  const Case cases[] = {
      {"12.5", ".", 12.5f},
      {"12,5", ".", std::nullopt},
      {"12,5", ",", 12.5f},
      {"12.5", ",", std::nullopt},
      {"-3E2", ".", -300.0f},
      {"6.86334851707215E-6", ".", 6.86334851707215e-6f},
      {" 7 ", ".", 7.0f},
      {".5", ".", 0.5f},
      {"5.", ".", 5.0f},
      {"+1e+1", ".", 10.0f},
      {"1e-400", ".", 0.0f},
      {"", ".", std::nullopt},
      {"abc", ".", std::nullopt},
      {"1e", ".", std::nullopt},
      {"1e999", ".", std::nullopt},
      {"1e39", ".", std::nullopt},
      {"nan", ".", std::nullopt},
      {"inf", ".", std::nullopt},
      {"0x10", ".", std::nullopt},
      {"1 2", ".", std::nullopt},
      {"-", ".", std::nullopt},
  };
  for (const Case& c : cases)
    EXPECT_EQ(StateTextToFloat(c.text, c.sep), c.value) << c.text;
}

TEST(StateValueText, IntegersAndBooleansRead) {
  const std::pair<const char*, std::optional<int32_t>> ints[] = {
      {"10000", 10000},
      {"-1", -1},
      {"+5", 5},
      {"-2147483648", INT32_MIN},
      {"2147483647", INT32_MAX},
      {"2147483648", std::nullopt},
      {"99999999999999999999999", std::nullopt},
      {"1.5", std::nullopt},
      {"", std::nullopt},
      {"abc", std::nullopt},
      {"0x10", std::nullopt},
      {"--1", std::nullopt},
  };
  for (auto [text, value] : ints)
    EXPECT_EQ(StateTextToInt(text), value) << text;

  const std::pair<const char*, std::optional<bool>> bools[] = {
      {"True", true}, {"FALSE", false}, {"true", true}, {"1", true},           {"0", false},
      {"-3", true},   {"2.5", true},    {"0.0", false}, {"yes", std::nullopt}, {"", std::nullopt},
  };
  for (auto [text, value] : bools)
    EXPECT_EQ(StateTextToBool(text, "."), value) << text;
}

TEST(StateValueText, ExtensionIgnoresCase) {
  EXPECT_TRUE(HasStateFileExtension("a/b.quelma"));
  EXPECT_TRUE(HasStateFileExtension("B.QUELMA"));
  EXPECT_TRUE(HasStateFileExtension(".quelma"));
  EXPECT_FALSE(HasStateFileExtension("b.xml"));
  EXPECT_FALSE(HasStateFileExtension("quelma"));
  EXPECT_FALSE(HasStateFileExtension("dir.quelma/file"));
  EXPECT_FALSE(HasStateFileExtension("b.quelma.bak"));
}

// ------------------------------------------------------------------ writing

TEST_F(StateFileTest, DefaultStyleAndArtAreWrittenExactly) {
  form.AddEmitter(nullptr, 256, -12.25f, 3.5f);
  TEmitter* mortal = form.AddEmitter(nullptr, 128, 0.1f, -7);
  mortal->Life = 1500;
  mortal->Fall = -50;
  TEmitterStyle own = form.FStyle;
  own.Thickness = 3;
  own.Fat = true;
  form.AddEmitter(&own, 256, 1, 2);

  std::string expected = "<QUELMA_state Version=\"1.0.0.0\">\r\n";
  for (const char* l : DefaultStyleLines)
    expected += std::string(l) + "\r\n";
  expected += Crlf({
      R"(  <Art>)",
      R"(    <Emitters>)",
      R"(      <New X="-12.25" Y="3.5" FS="0" AM="256" />)",
      R"(      <New X="0.100000001490116" Y="-7" FS="-50" LT="1500" AM="128" />)",
      R"(      <New X="1" Y="2" FS="0" AM="256" MS="3" XS="7" YS="1" C="-3095411" A="55" F="True" />)",
      R"(    </Emitters>)",
      R"(  </Art>)",
      R"(</QUELMA_state>)",
  });
  EXPECT_EQ(WriteStateText(form, style), expected);
}

TEST_F(StateFileTest, SavedFileLoadsBackAndSavesByteForByte) {
  style.Hue = 200;
  style.FadeHueCycle = 7;
  style.Gravity = 10;
  style.Attraction = -400;
  style.Fat = true;
  ApplyStyle(form, style);
  for (int i = 0; i < 40; ++i) {
    TEmitter* e = form.AddEmitter(nullptr, 256 - i, float(i) / 3.0f - 7.0f, float(i * i) * 0.37f);
    e->Fall = float(-i) * 11.1f;
    if (i % 2)
      e->Life = float(i) * 101.7f - 300.0f;
  }
  TEmitterStyle own = form.FStyle;
  own.Color = 0x00123456; // additive
  own.MaxAlpha = 256;
  form.AddEmitter(&own, 64, 6.86334851707215e-6f, -1e-7f);

  TStateFileOptions o;
  o.DecimalSeparator = ",";
  const std::string first = Path("round.quelma");
  ASSERT_TRUE(LoadSaveState(first, true, form, style, o));
  const std::string text = ReadAll(first);

  TSurfaceDisplay display2;
  TPartForm form2(display2);
  form2.DesktopRect = form.DesktopRect;
  form2.OriginX = form.OriginX;
  form2.OriginY = form.OriginY;
  // Loaded by an engine already in that style, so that switching gravity on
  // does not give the emitters new delays.
  TStyleSettings style2 = style;
  ApplyStyle(form2, style2);
  ASSERT_TRUE(LoadSaveState(first, false, form2, style2, o));
  EXPECT_EQ(style2, style);
  ASSERT_EQ(form2.FEmitters.Count, form.FEmitters.Count);
  for (int i = 0; i < form.FEmitters.Count; ++i) {
    const TEmitter& a = *form.Emitter(i);
    const TEmitter& b = *form2.Emitter(i);
    EXPECT_EQ(a.X, b.X);
    EXPECT_EQ(a.Y, b.Y);
    EXPECT_EQ(a.Fall, b.Fall);
    EXPECT_EQ(a.Life, b.Life);
    EXPECT_EQ(a.BaseAlpha, b.BaseAlpha);
    EXPECT_EQ(b.Alpha, 256 * b.BaseAlpha);
    EXPECT_EQ(a.HasOwnStyle(), b.HasOwnStyle());
  }
  EXPECT_EQ(form2.Emitter(form2.FEmitters.Count - 1)->OwnStyle.Color, 0x00123456u);

  const std::string second = Path("again.quelma");
  ASSERT_TRUE(LoadSaveState(second, true, form2, style2, o));
  EXPECT_EQ(ReadAll(second), text);
}

TEST_F(StateFileTest, SavingChecksTheExtensionAndNeverLeavesHalfFiles) {
  EXPECT_TRUE(LoadSaveState(Path("upper.QUELMA"), true, form, style));
  EXPECT_TRUE(fs::exists(Path("upper.QUELMA")));
  EXPECT_FALSE(LoadSaveState(Path("other.xml"), true, form, style));
  EXPECT_FALSE(fs::exists(Path("other.xml")));

  // A missing folder, and a folder in the way: the error text, nothing left.
  try {
    LoadSaveState(Path("missing/x.quelma"), true, form, style);
    ADD_FAILURE();
  } catch (const EStateFileError& e) {
    EXPECT_STREQ(e.what(), "Error saving the file.");
  }
  fs::create_directory(Path("folder.quelma"));
  EXPECT_THROW(LoadSaveState(Path("folder.quelma"), true, form, style), EStateFileError);
  EXPECT_TRUE(fs::is_directory(Path("folder.quelma")));

  // Overwriting replaces the old content; no temporary file stays behind.
  WriteAll(Path("old.quelma"), "old content");
  ASSERT_TRUE(LoadSaveState(Path("old.quelma"), true, form, style));
  EXPECT_EQ(ReadAll(Path("old.quelma")), WriteStateText(form, style));
  int files = 0;
  for (const auto& entry : fs::directory_iterator(dir)) {
    (void)entry;
    ++files;
  }
  EXPECT_EQ(files, 3); // upper.QUELMA, folder.quelma, old.quelma
}

// ------------------------------------------------------------------ reading

TEST_F(StateFileTest, HandWrittenFileWithDeclarationAndOtherSeparator) {
  const std::string text = "<?xml version=\"1.0\"?>\n<!-- made by hand -->\n"
                           "<QUELMA_state Version=\"0.9\">\n"
                           "<Style><Emitters Max_alpha=\"300\" Hue=\"300\" Saturation=\"1\" "
                           "Lightness=\"2\" Max_count=\"5\" "
                           "Thickness=\"3\" Fat=\"true\" X_wildness=\"4\" Y_wildness=\"5\" "
                           "Independent_emitters=\"0\"/></Style>\n"
                           "<Art><Emitters>\n"
                           "  <New X=\"12,5\" Y=\"-1,25E1\" FS=\"-100\" LT=\"1500\" AM=\"200\"/>\n"
                           "  <!-- a comment between emitters -->\n"
                           "  <Other X=\"1\" Y=\"2\" FS=\"0\" AM=\"256\" MS=\"4,5\" XS=\"1\" "
                           "YS=\"2\" C=\"-1\" A=\"100\" F=\"False\"/>\n"
                           "</Emitters></Art></QUELMA_state>\n";
  TStateFileOptions o;
  o.DecimalSeparator = ",";
  ASSERT_TRUE(Read(text, o));
  EXPECT_EQ(style.MaxAlpha, 256); // clamped
  EXPECT_EQ(style.Hue, 43);       // wrapped: 300 - 257
  EXPECT_EQ(style.Thickness, 3);
  EXPECT_TRUE(style.Fat);
  EXPECT_EQ(style.FadeAlpha, 248); // the missing groups keep their values
  EXPECT_EQ(style.FPS, 30);
  ASSERT_EQ(form.FEmitters.Count, 2);
  const TEmitter& a = *form.Emitter(0);
  EXPECT_EQ(a.X, 12.5f);
  EXPECT_EQ(a.Y, -12.5f);
  EXPECT_EQ(a.Fall, -100.0f);
  EXPECT_EQ(a.Life, 1500.0f);
  EXPECT_EQ(a.BaseAlpha, 200);
  EXPECT_EQ(a.Alpha, 200 * 256);
  EXPECT_FALSE(a.HasOwnStyle());
  const TEmitter& b = *form.Emitter(1);
  EXPECT_EQ(b.Life, ImmortalLife);
  ASSERT_TRUE(b.HasOwnStyle());
  EXPECT_EQ(b.OwnStyle.Thickness, 4.5f);
  EXPECT_EQ(b.OwnStyle.Color, 0xFFFFFFFFu);
  EXPECT_EQ(b.OwnStyle.MaxAlpha, 100);
  // The style was applied after the art: the engine has the file's values.
  EXPECT_EQ(form.FStyle.Thickness, 3.0f);
  EXPECT_EQ(style.MaxCount, 10); // clamped to the slider's minimum
  EXPECT_EQ(form.FMaxCount, 10);
  EXPECT_EQ(form.FAttractor.X, 0.0f);
  EXPECT_EQ(form.FAttractor.Y, 0.0f);
}

TEST_F(StateFileTest, CommaUnderAFullStopLocaleReadsAsZero) {
  ASSERT_TRUE(
      Read(Doc("", R"(<Art><Emitters><New X="12,5" Y="3.5" FS="x" AM="1"/></Emitters></Art>)")));
  ASSERT_EQ(form.FEmitters.Count, 1);
  EXPECT_EQ(form.Emitter(0)->X, 0.0f);
  EXPECT_EQ(form.Emitter(0)->Y, 3.5f);
  EXPECT_EQ(form.Emitter(0)->Fall, 0.0f);
}

TEST_F(StateFileTest, ArtIsReadUnderTheOldStyleAndMaxCount) {
  // Max count 100 in force, the file says 10000 and holds 5000 emitters.
  style.MaxCount = 100;
  ApplyStyle(form, style);
  std::string art = "<Art><Emitters>";
  for (int i = 0; i < 5000; ++i)
    art += "<New X=\"" + std::to_string(i) + "\" Y=\"0\" FS=\"0\" AM=\"256\"/>";
  art += "</Emitters></Art>";
  ASSERT_TRUE(Read(Doc(AllStyle, art)));
  ASSERT_EQ(form.FEmitters.Count, 100);
  EXPECT_EQ(form.Emitter(0)->X, 4900.0f);
  EXPECT_EQ(form.Emitter(99)->X, 4999.0f);
  EXPECT_EQ(form.FMaxCount, 10000);
}

TEST_F(StateFileTest, IndependentBoxActsBeforeTheArt) {
  // The check box fires at once, so emitters without a style of their own
  // get a copy of the engine's style as it was before the file.
  style.Thickness = 20;
  ApplyStyle(form, style);
  std::string s = AllStyle;
  s.replace(s.find("Independent_emitters=\"False\""), 28, "Independent_emitters=\"True\"");
  ASSERT_TRUE(
      Read(Doc(s, R"(<Art><Emitters><New X="0" Y="0" FS="0" AM="256"/></Emitters></Art>)")));
  ASSERT_EQ(form.FEmitters.Count, 1);
  ASSERT_TRUE(form.Emitter(0)->HasOwnStyle());
  EXPECT_EQ(form.Emitter(0)->OwnStyle.Thickness, 20.0f);
  EXPECT_EQ(form.FStyle.Thickness, 15.0f);
}

TEST_F(StateFileTest, LoadStyleAndLoadArtBoxes) {
  form.AddEmitter(nullptr, 256, 5, 5);
  style.Hue = 100;
  ApplyStyle(form, style);
  form.FStyle.Thickness = 99; // stale engine value, fixed by ApplyStyle
  const std::string file = Doc(
      AllStyle,
      R"(<Art><Emitters><New X="1" Y="1" FS="0" AM="256"/><New X="2" Y="2" FS="0" AM="256"/></Emitters></Art>)");

  TStateFileOptions noStyle;
  noStyle.LoadStyle = false;
  ASSERT_TRUE(Read(file, noStyle));
  EXPECT_EQ(style.Hue, 100);
  EXPECT_EQ(form.FStyle.Thickness, 15.0f); // ApplyStyle still ran
  EXPECT_EQ(form.FEmitters.Count, 2);

  form.AddEmitter(nullptr, 256, 9, 9);
  TStateFileOptions noArt;
  noArt.LoadArt = false;
  ASSERT_TRUE(Read(file, noArt));
  EXPECT_EQ(style.Hue, 35);
  EXPECT_EQ(form.FEmitters.Count, 3);
}

TEST_F(StateFileTest, ArtWithoutEmittersKeepsTheArtAnEmptyOneClearsIt) {
  form.AddEmitter(nullptr, 256, 5, 5);
  ASSERT_TRUE(Read(Doc("", "<Art/>")));
  EXPECT_EQ(form.FEmitters.Count, 1);
  ASSERT_TRUE(Read(Doc("", "<Art><Emitters/></Art>")));
  EXPECT_EQ(form.FEmitters.Count, 0);
}

TEST_F(StateFileTest, ReadingEndsWithClearFadingApplyStyleAndAttractorReset) {
  int cleared = 0, applied = 0;
  TStateFileOptions o;
  o.ClearFading = [&] { ++cleared; };
  o.ApplyStyle = [&] {
    EXPECT_EQ(cleared, 1);
    ++applied;
  };
  form.FAttractor = {3, 4, 0, 0};
  ASSERT_TRUE(Read(Doc("", ""), o));
  EXPECT_EQ(cleared, 1);
  EXPECT_EQ(applied, 1);
  EXPECT_EQ(form.FAttractor.X, 0.0f);
}

TEST_F(StateFileTest, DebugModeShowsTheVersionFirst) {
  std::string shown;
  TStateFileOptions o;
  o.ShowDebugMessage = [&](const std::string& t) { shown = t; };
  ASSERT_TRUE(Read(Doc("", ""), o));
  EXPECT_EQ(shown, "");
  form.FDebug = true;
  ASSERT_TRUE(Read(Doc("", ""), o));
  EXPECT_EQ(shown, "1.0.0.0");
}

TEST_F(StateFileTest, SilentSkips) {
  form.AddEmitter(nullptr, 256, 5, 5);
  const TStyleSettings before = style;
  EXPECT_FALSE(LoadSaveState(Path("absent.quelma"), false, form, style));
  WriteAll(Path("doc.xml"), Doc(AllStyle, "<Art><Emitters/></Art>"));
  EXPECT_FALSE(LoadSaveState(Path("doc.xml"), false, form, style));
  // No root: nothing changes, not even the fading.
  form.FAttractor = {1, 1, 0, 0};
  int cleared = 0;
  TStateFileOptions o;
  o.ClearFading = [&] { ++cleared; };
  EXPECT_FALSE(Read("<Other><Style/></Other>", o));
  EXPECT_EQ(cleared, 0);
  EXPECT_EQ(form.FAttractor.X, 1.0f);
  EXPECT_EQ(form.FEmitters.Count, 1);
  EXPECT_EQ(style, before);
}

TEST_F(StateFileTest, FailuresKeepWhatWasReadBefore) {
  form.AddEmitter(nullptr, 256, 5, 5);
  const TStyleSettings before = style;

  // No version: nothing changes.
  ExpectLoadError("<QUELMA_state><Style>" + AllStyle.substr(7) +
                  "<Art><Emitters/></Art></QUELMA_state>");
  EXPECT_EQ(style, before);
  EXPECT_EQ(form.FEmitters.Count, 1);

  // An unconvertible "Lightness": Max_alpha, Hue, Saturation are set already.
  ExpectLoadError(Doc(
      R"(<Style><Emitters Max_alpha="1" Hue="2" Saturation="3" Lightness="light" Max_count="10"/></Style>)",
      ""));
  EXPECT_EQ(style.MaxAlpha, 1);
  EXPECT_EQ(style.Hue, 2);
  EXPECT_EQ(style.Saturation, 3);
  EXPECT_EQ(style.Lightness, 175);
  EXPECT_EQ(style.MaxCount, 10000);
  EXPECT_EQ(form.FStyle.MaxAlpha, 55); // the style was not applied
  EXPECT_EQ(form.FEmitters.Count, 1);

  // A bad Boolean.
  style = before;
  std::string s = AllStyle;
  s.replace(s.find("Fat=\"False\""), 11, "Fat=\"maybe\"");
  ExpectLoadError(Doc(s, ""));

  // The third emitter lacks "AM": it was added before the failure.
  form.FAttractor = {7, 7, 0, 0};
  ExpectLoadError(Doc(
      "",
      R"(<Art><Emitters><New X="1" Y="0" FS="0" AM="256"/><New X="2" Y="0" FS="0" AM="256"/><New X="3" Y="0" FS="0"/><New X="4" Y="0" FS="0" AM="256"/></Emitters></Art>)"));
  EXPECT_EQ(form.FEmitters.Count, 3);
  EXPECT_EQ(form.FAttractor.X, 3.0f); // steps after the art did not run

  // Missing companions of "MS", a missing "X", an integer "AM" given as float.
  const char* badArt[] = {
      R"(<New X="1" Y="0" FS="0" AM="256" MS="2" XS="1" YS="1" C="0" A="1"/>)",
      R"(<New Y="0" FS="0" AM="256"/>)",
      R"(<New X="1" Y="0" FS="0" AM="25.5"/>)",
      R"(<New X="1" Y="0" FS="0" AM="256" MS="2" XS="1" YS="1" C="4294967295" A="1" F="True"/>)",
  };
  for (const char* n : badArt)
    ExpectLoadError(Doc("", std::string("<Art><Emitters>") + n + "</Emitters></Art>"));

  // Not XML at all, and a file cut short.
  ExpectLoadError("this is not xml");
  const std::string full = Doc(AllStyle, "<Art><Emitters/></Art>");
  ExpectLoadError(full.substr(0, full.size() / 2));
}

TEST_F(StateFileTest, FileReadingErrors) {
  fs::create_directory(Path("folder.quelma"));
  EXPECT_THROW(LoadSaveState(Path("folder.quelma"), false, form, style), EStateFileError);
  WriteAll(Path("binary.quelma"), std::string("\x00\xFF\xFE\x01garbage\x00", 12));
  EXPECT_THROW(LoadSaveState(Path("binary.quelma"), false, form, style), EStateFileError);
  WriteAll(Path("empty.quelma"), "");
  EXPECT_THROW(LoadSaveState(Path("empty.quelma"), false, form, style), EStateFileError);
  {
    std::ofstream big(Path("big.quelma"), std::ios::binary);
    big.seekp(std::streamoff(StateFileMaxBytes));
    big.put(' ');
  }
  EXPECT_THROW(LoadSaveState(Path("big.quelma"), false, form, style), EStateFileError);
}

// The reason goes into the message box's detail: it must name what is wrong
// and where, so a user can find the place in the file.
TEST_F(StateFileTest, FailuresSayWhyAndWhere) {
  const struct {
    const char* Name;
    std::string Text;
    std::vector<std::string> Fragments;
  } Reading[] = {
      {"not XML", "this is not xml", {"not well-formed XML", "line 1"}},
      {"cut short",
       "<QUELMA_state Version=\"1\">\n  <Art>\n    <Emitters>",
       {"not well-formed XML", "line 3"}},
      {"no version", "<QUELMA_state/>", {"\"QUELMA_state\"", "\"Version\""}},
      {"missing X",
       Doc("", "<Art><Emitters>\n<New X=\"1\" Y=\"0\" FS=\"0\" AM=\"1\"/>\n<New Y=\"0\" FS=\"0\" "
               "AM=\"1\"/></Emitters></Art>"),
       {"element \"New\" at line 3, column 1", "no \"X\" attribute"}},
      {"integer",
       Doc("", "<Art><Emitters><New X=\"1\" Y=\"0\" FS=\"0\" AM=\"25.5\"/></Emitters></Art>"),
       {"\"AM\"", "\"New\"", "not a whole number", "\"25.5\""}},
      {"boolean",
       Doc("<Style><Emitters Max_alpha=\"55\" Hue=\"35\" Saturation=\"107\" Lightness=\"175\" "
           "Max_count=\"10\" "
           "Thickness=\"15\" Fat=\"maybe\"/></Style>",
           ""),
       {"\"Fat\"", "\"Emitters\"", "neither True nor False", "\"maybe\""}},
  };
  for (const auto& c : Reading) {
    try {
      Read(c.Text);
      ADD_FAILURE() << c.Name << ": no error";
    } catch (const EStateFileError& e) {
      EXPECT_STREQ(e.what(), "Error loading the file.") << c.Name;
      for (const std::string& f : c.Fragments)
        EXPECT_NE(e.Reason().find(f), std::string::npos)
            << c.Name << ": \"" << f << "\" not in: " << e.Reason();
    }
  }

  // Files: the system's own words for what went wrong.
  fs::create_directory(Path("folder.quelma"));
  WriteAll(Path("big.quelma"), std::string(std::size_t(StateFileMaxBytes) + 1, ' '));
  const struct {
    const char* Name;
    std::string File;
    bool Save;
    const char* Text;
    const char* Fragment;
  } Files[] = {
      {"save into a missing folder", Path("missing/x.quelma"), true, "Error saving the file.",
       "No such file or directory"},
      {"save over a folder", Path("folder.quelma"), true, "Error saving the file.", "folder"},
      {"read a folder", Path("folder.quelma"), false, "Error loading the file.",
       "not a regular file"},
      {"read a huge file", Path("big.quelma"), false, "Error loading the file.",
       "larger than 16 MB"},
  };
  for (const auto& c : Files) {
    try {
      LoadSaveState(c.File, c.Save, form, style);
      ADD_FAILURE() << c.Name << ": no error";
    } catch (const EStateFileError& e) {
      EXPECT_STREQ(e.what(), c.Text) << c.Name;
      EXPECT_NE(e.Reason().find(c.Fragment), std::string::npos) << c.Name << ": " << e.Reason();
    }
  }
}

TEST_F(StateFileTest, HostileValuesAreBoundedAndTheEngineRunsOn) {
  const std::string art =
      R"(<Art><Emitters>)"
      R"(<New X="1e30" Y="-3.4e38" FS="1e38" LT="1e30" AM="2147483647"/>)"
      R"(<New X="-0" Y="1e-45" FS="-1e38" LT="-1e38" AM="-5"/>)"
      R"(<New X="0" Y="0" FS="0" AM="256" MS="1e30" XS="-1e30" YS="1e30" C="-2147483648" A="-7" F="7"/>)"
      R"(<New X="3" Y="4" FS="0" AM="256" MS="-5" XS="nan" YS="inf" C="0" A="99999" F="0"/>)"
      R"(</Emitters></Art>)";
  std::string s = AllStyle;
  s.replace(s.find("Max_count=\"10000\""), 17, "Max_count=\"-2147483648\"");
  s.replace(s.find("X_blur=\"1\""), 10, "X_blur=\"2147483647\"");
  s.replace(s.find("FPS=\"30\""), 8, "FPS=\"0\"");
  ASSERT_TRUE(Read(Doc(s, art)));
  EXPECT_EQ(style.MaxCount, 10);
  EXPECT_EQ(style.XBlur, 8);
  EXPECT_EQ(style.FPS, 10);
  ASSERT_EQ(form.FEmitters.Count, 4);
  const TEmitter& a = *form.Emitter(0);
  EXPECT_EQ(a.X, 1e6f);
  EXPECT_EQ(a.Y, -1e6f);
  EXPECT_EQ(a.Life, ImmortalLife);
  EXPECT_EQ(a.BaseAlpha, 256);
  EXPECT_EQ(form.Emitter(1)->BaseAlpha, 0);
  const TEmitterStyle& c = form.Emitter(2)->OwnStyle;
  EXPECT_EQ(c.Thickness, 1000.0f);
  EXPECT_EQ(c.XWildness, 0.0f);
  EXPECT_EQ(c.YWildness, 100.0f);
  EXPECT_EQ(c.Color, 0x80000000u);
  EXPECT_EQ(c.MaxAlpha, 0);
  EXPECT_TRUE(c.Fat);
  const TEmitterStyle& d = form.Emitter(3)->OwnStyle;
  EXPECT_EQ(d.Thickness, 0.0f);
  EXPECT_EQ(d.XWildness, 0.0f);
  EXPECT_EQ(d.MaxAlpha, 256);
  // The engine copes with what was read.
  for (int i = 0; i < 5; ++i)
    form.Tick(0);
  SUCCEED();
}

// An emitter's own thickness beyond the slider's 50 is kept up to 1000, and
// written back as read.
TEST_F(StateFileTest, OwnThicknessBeyondTheSliderIsKeptUpTo1000) {
  const std::string art =
      R"(<Art><Emitters>)"
      R"(<New X="0" Y="0" FS="0" AM="256" MS="150" XS="0" YS="0" C="-1" A="256" F="False"/>)"
      R"(<New X="1" Y="0" FS="0" AM="256" MS="1000" XS="0" YS="0" C="-1" A="256" F="False"/>)"
      R"(<New X="2" Y="0" FS="0" AM="256" MS="5000" XS="0" YS="0" C="-1" A="256" F="False"/>)"
      R"(<New X="3" Y="0" FS="0" AM="256" MS="999.75" XS="0" YS="0" C="-1" A="256" F="True"/>)"
      R"(</Emitters></Art>)";
  ASSERT_TRUE(Read(Doc(AllStyle, art)));
  ASSERT_EQ(form.FEmitters.Count, 4);
  const float expected[] = {150, 1000, 1000, 999.75f};
  for (int i = 0; i < 4; ++i)
    EXPECT_EQ(form.Emitter(i)->OwnStyle.Thickness, expected[i]) << i;
  EXPECT_EQ(style.Thickness, 15); // the slider's own value is apart

  const std::string written = WriteStateText(form, style);
  for (const char* ms : {R"( MS="150" )", R"( MS="1000" )", R"( MS="999.75" )"})
    EXPECT_NE(written.find(ms), std::string::npos) << ms;
  EXPECT_EQ(written.find(R"( MS="5000" )"), std::string::npos);
  ASSERT_TRUE(Read(written));
  EXPECT_EQ(WriteStateText(form, style), written);
}

// Spots of such thickness are drawn whole: a box of up to 2005 x 2005
// pixels, far beyond the work buffers' first size. The farthest lit pixel
// lies beyond most of the thickness but within the largest spot's radius.
TEST_F(StateFileTest, ThickOwnSpotsAreDrawnWhole) {
  std::string s = AllStyle;
  const std::string still = R"(X_blur="1" Y_blur="1" Y_motion="-1")";
  s.replace(s.find(still), still.size(), R"(X_blur="0" Y_blur="0" Y_motion="0")");
  form.DesktopRect = MakeRect(0, 0, 2100, 2100);
  form.OriginX = 1050;
  form.OriginY = 1050;
  for (int thickness : {150, 1000}) {
    SCOPED_TRACE(thickness);
    const std::string art = R"(<Art><Emitters><New X="0" Y="0" FS="0" AM="256" MS=")" +
                            std::to_string(thickness) +
                            R"(" XS="0" YS="0" C="-1" A="256" F="False"/></Emitters></Art>)";
    ASSERT_TRUE(Read(Doc(s, art)));
    ASSERT_EQ(form.FEmitters.Count, 1);
    ASSERT_EQ(form.FXBlur, 1);
    ASSERT_EQ(form.FYMotion, 0);
    RandSeed = 2024;
    for (int frame = 0; frame < 8; ++frame)
      form.Tick(0);

    // The emitter's place on the surface; every spot is centred on it.
    const double cx = form.SurfaceOffsetX, cy = form.SurfaceOffsetY;
    const TDIBmp& surface = display.FSurface;
    double farthest = 0;
    for (int32_t y = 0; y < surface.Height; ++y)
      for (int32_t x = 0; x < surface.Width; ++x)
        if (*surface.PixelAddress(x, y) != 0)
          farthest = std::max(farthest, std::hypot(x - cx, y - cy));
    EXPECT_GT(farthest, 0.7 * thickness);
    EXPECT_LE(farthest, thickness + 2.5 + 1);
    EXPECT_GE(form.FSpotBuf.size(), size_t(thickness * 2) * size_t(thickness * 2) / 4);
  }
}

TEST_F(StateFileTest, MutatedDocumentsNeverCrash) {
  // Damaged copies of a real file: each either loads or fails with the load
  // error, and the engine keeps running on whatever was read.
  const std::string original = ReadAll(fs::path(QUELMA_SOURCE_DIR) / "Data" / "Startup.quelma");
  ASSERT_FALSE(original.empty());
  const char pieces[] = "<>\"/=-+.,eE09 \x00\xFFxTrueFalse";
  uint32_t r = 7;
  auto next = [&](uint32_t n) {
    r = r * 1103515245u + 12345u;
    return (r >> 8) % n;
  };
  int loaded = 0, failed = 0;
  for (int i = 0; i < 1500; ++i) {
    std::string text = original;
    for (int k = 1 + int(next(4)); k > 0; --k) {
      const std::size_t at = next(uint32_t(text.size()));
      switch (next(3)) {
      case 0:
        text[at] = pieces[next(sizeof pieces - 1)];
        break;
      case 1:
        text.erase(at, next(40));
        break;
      default:
        text.insert(at, text.substr(next(uint32_t(text.size())), next(60)));
        break;
      }
    }
    try {
      Read(text);
      ++loaded;
    } catch (const EStateFileError& e) {
      EXPECT_STREQ(e.what(), "Error loading the file.");
      ++failed;
    }
    if (i % 100 == 0)
      form.Tick(0);
  }
  EXPECT_GT(loaded, 0);
  EXPECT_GT(failed, 0);
  EXPECT_LE(form.FEmitters.Count, 20000);
}

TEST_F(StateFileTest, ShippedFilesLoadAndWriteBackUnchanged) {
  const fs::path data = fs::path(QUELMA_SOURCE_DIR) / "Data";
  EXPECT_TRUE(fs::exists(data / "Startup.quelma"));
  EXPECT_TRUE(fs::exists(data / "Alternate fire.quelma"));
  int files = 0;
  for (const auto& entry : fs::directory_iterator(data)) {
    if (!HasStateFileExtension(entry.path().string()))
      continue;
    SCOPED_TRACE(entry.path().filename().string());
    ++files;
    TSurfaceDisplay d;
    TPartForm f(d);
    f.DesktopRect = form.DesktopRect;
    f.OriginX = form.OriginX;
    f.OriginY = form.OriginY;
    TStyleSettings s;
    ApplyStyle(f, s);
    ASSERT_TRUE(LoadSaveState(entry.path().string(), false, f, s));
    EXPECT_EQ(WriteStateText(f, s), ReadAll(entry.path()));
  }
  EXPECT_GE(files, 2);
}

} // namespace
