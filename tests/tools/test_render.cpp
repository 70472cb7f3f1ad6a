// Runs the built quelma-render as a user would.
#include <gtest/gtest.h>

#include "RenderRun.h"
#include "ScopedEnv.h"
#include <png.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string ReadAll(const fs::path& p) {
  return ReadFileText(p.string());
}

struct Picture {
  int Width = 0, Height = 0;
  std::vector<uint8_t> Rgba;
  uint8_t Alpha(int x, int y) const {
    return Rgba[(std::size_t(y) * std::size_t(Width) + std::size_t(x)) * 4 + 3];
  }
};

bool LoadPng(const fs::path& p, Picture& pic) {
  png_image img{};
  img.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&img, p.c_str()))
    return false;
  img.format = PNG_FORMAT_RGBA;
  pic.Width = int(img.width);
  pic.Height = int(img.height);
  pic.Rgba.resize(PNG_IMAGE_SIZE(img));
  const bool ok = png_image_finish_read(&img, nullptr, pic.Rgba.data(), 0, nullptr) != 0;
  png_image_free(&img);
  return ok;
}

class RenderTool : public ::testing::Test {
protected:
  void SetUp() override {
    char tmpl[] = "/tmp/quelma-render-test-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir = tmpl;
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir, ec);
  }
  // Startup.quelma is the build tree's, whatever the user or an installed
  // copy has, unless a test says otherwise.
  const TScopedEnv NoUserData{"XDG_DATA_HOME", "/nonexistent/data-home"};
  const TScopedEnv NoSystemData{"XDG_DATA_DIRS", "/nonexistent/data-dirs"};
  std::string Q(const fs::path& p) const { return "'" + p.string() + "'"; }
  fs::path dir;
};

const fs::path StartupFile = fs::path(QUELMA_SOURCE_DIR) / "Data" / "Startup.quelma";

TEST_F(RenderTool, HelpAndVersion) {
  TRun r = Render("--help");
  EXPECT_EQ(r.Status, 0);
  EXPECT_NE(r.Out.find("Usage: quelma-render"), std::string::npos);
  EXPECT_NE(r.Out.find("--bench"), std::string::npos);
  r = Render("--version");
  EXPECT_EQ(r.Status, 0);
  EXPECT_NE(r.Out.find("1.0.0.0"), std::string::npos);
}

TEST_F(RenderTool, StartupFlameRisesAboveTheEmitters) {
  // 800 x 600 desktop: the origin is (400, 300); the start-up art is a line of
  // emitters 200 pixels below it, from x -150 to 150.
  const TRun r = Render("--desktop 800x600 --desktop-frames --frames 40 --every 20 -o " +
                        Q(dir / "f%03d.png"));
  ASSERT_EQ(r.Status, 0) << r.Out;
  EXPECT_TRUE(fs::exists(dir / "f020.png"));
  EXPECT_FALSE(fs::exists(dir / "f021.png"));
  Picture pic;
  ASSERT_TRUE(LoadPng(dir / "f040.png", pic));
  ASSERT_EQ(pic.Width, 800);
  ASSERT_EQ(pic.Height, 600);
  int lit = 0;
  for (int y = 430; y < 495; ++y)
    for (int x = 250; x <= 550; ++x)
      lit += pic.Alpha(x, y) > 8;
  EXPECT_GT(lit, 301 * 65 / 4); // the trail above the line is well lit
  int stray = 0;
  for (int y = 0; y < 300; ++y)
    for (int x = 0; x < 800; ++x)
      stray += pic.Alpha(x, y) != 0;
  for (int y = 0; y < 600; ++y)
    for (int x = 0; x < 200; ++x)
      stray += pic.Alpha(x, y) != 0;
  EXPECT_EQ(stray, 0); // nothing far above or beside the art
}

TEST_F(RenderTool, FramesAreTheCoverAndRepeatExactly) {
  ASSERT_EQ(Render("--frames 30 -o " + Q(dir / "a.png")).Status, 0);
  ASSERT_EQ(Render("--frames 30 --out=" + Q(dir / "b.png")).Status, 0);
  Picture pic;
  ASSERT_TRUE(LoadPng(dir / "a.png", pic));
  // The line's bounds with the default margins (39, 112, 39, 27).
  EXPECT_EQ(pic.Width, 300 + 2 * 39);
  EXPECT_EQ(pic.Height, 112 + 27);
  EXPECT_EQ(ReadAll(dir / "a.png"), ReadAll(dir / "b.png"));
}

TEST_F(RenderTool, SavingTheStartupFileWritesItUnchanged) {
  const TRun r = Render("--frames 0 --save " + Q(dir / "copy.quelma"));
  ASSERT_EQ(r.Status, 0) << r.Out;
  EXPECT_EQ(ReadAll(dir / "copy.quelma"), ReadAll(StartupFile));
}

// Startup.quelma comes from the user's data folder, else the copy beside the
// program in the build tree, before any the system's folders hold.
TEST_F(RenderTool, StartupComesFromTheFirstDataFolderThatHasIt) {
  const fs::path Shipped = fs::path(QUELMA_SOURCE_DIR) / "Data";
  const fs::path user = dir / "user", first = dir / "first", second = dir / "second";
  for (const fs::path& d : {user / "quelma", first / "quelma", second / "quelma"})
    fs::create_directories(d);
  const TScopedEnv home("XDG_DATA_HOME", user.string()),
      dirs("XDG_DATA_DIRS", first.string() + ":" + second.string());
  const struct {
    const char* What;
    fs::path Put;    // where a Startup.quelma is added ("" for none)
    fs::path Source; // which shipped style it is
    fs::path Expected;
  } Steps[] = {
      {"the build tree's", {}, {}, Shipped / "Startup.quelma"},
      {"the build tree's over the second system folder's", second, Shipped / "Smoke.quelma",
       Shipped / "Startup.quelma"},
      {"the build tree's over the first system folder's", first, Shipped / "Neon.quelma",
       Shipped / "Startup.quelma"},
      {"the user's", user, Shipped / "Plasma.quelma", Shipped / "Plasma.quelma"},
  };
  for (const auto& S : Steps) {
    SCOPED_TRACE(S.What);
    if (!S.Put.empty())
      fs::copy_file(S.Source, S.Put / "quelma" / "Startup.quelma");
    const TRun r = Render("--frames 0 --save " + Q(dir / "copy.quelma"));
    ASSERT_EQ(r.Status, 0) << r.Out;
    EXPECT_EQ(ReadAll(dir / "copy.quelma"), ReadAll(S.Expected));
  }
}

TEST_F(RenderTool, FileErrorsExitWithTwo) {
  std::ofstream(dir / "bad.quelma") << "<QUELMA_state><Style/></QUELMA_state>"; // no Version
  std::ofstream(dir / "junk.quelma") << "not xml";
  std::ofstream(dir / "other.quelma") << "<Something/>";
  std::ofstream(dir / "style.txt") << "";
  const std::string files[] = {"bad.quelma", "junk.quelma", "other.quelma", "missing.quelma",
                               "style.txt"};
  for (const std::string& f : files) {
    const TRun r = Render("--frames 1 " + Q(dir / f));
    EXPECT_EQ(r.Status, 2) << f << ": " << r.Out;
    EXPECT_NE(r.Out.find(f), std::string::npos) << r.Out;
  }
  EXPECT_EQ(Render("--frames 1 -o " + Q(dir / "no/such/folder/x.png")).Status, 2);
  EXPECT_EQ(Render("--frames 0 --save " + Q(dir / "no/such/folder/x.quelma")).Status, 2);
}

TEST_F(RenderTool, BadUsageExitsWithOne) {
  const char* args[] = {
      "--frames abc",
      "--frames -1",
      "--frames",
      "--seed 1",
      "--what",
      "--desktop 10",
      "--desktop 0x0",
      "--every 0",
      "-o '%s.png'",
      "-o 'a%d%d.png'",
      "--background 12345G",
      "--emitters 20001",
      "--save x.png",
      "--bench -o x.png",
      "--help=yes",
  };
  for (const char* a : args) {
    const TRun r = Render(a);
    EXPECT_EQ(r.Status, 1) << a << ": " << r.Out;
    EXPECT_NE(r.Out.find("quelma-render: "), std::string::npos) << a;
  }
}

// A fixed scene that touches every stage of the frame: blur, upward motion,
// hue cycling, both spot profiles, own and shared styles, an additive colour,
// finite lifetimes with fading out, and attraction.
const char* const GoldenScene =
    "<QUELMA_state Version=\"1.0.0.0\"><Style>"
    "<Emitters Max_alpha=\"90\" Hue=\"20\" Saturation=\"200\" Lightness=\"160\" "
    "Max_count=\"10000\" "
    "Thickness=\"9\" Fat=\"True\" X_wildness=\"5\" Y_wildness=\"3\" "
    "Independent_emitters=\"False\"/>"
    "<Fading Fade_alpha=\"244\" Fade_hue=\"30\" Fade_saturation=\"230\" Fade_lightness=\"235\" "
    "Fade_hue_cycle=\"400\" X_blur=\"2\" Y_blur=\"1\" Y_motion=\"-2\"/>"
    "<Animation FPS=\"40\" Gravity=\"0\" Attraction=\"120\" Emitter_lifetime=\"700\" "
    "Emitter_fade_out=\"150\"/></Style><Art><Emitters>"
    "<New X=\"-40\" Y=\"10\" FS=\"0\" AM=\"256\"/><New X=\"-30\" Y=\"12\" FS=\"0\" AM=\"200\"/>"
    "<New X=\"-20\" Y=\"14\" FS=\"0\" LT=\"300\" AM=\"256\"/><New X=\"-10\" Y=\"16\" FS=\"0\" "
    "AM=\"128\"/>"
    "<New X=\"0\" Y=\"18\" FS=\"0\" AM=\"256\" MS=\"14\" XS=\"2\" YS=\"1\" C=\"-16744448\" "
    "A=\"120\" F=\"False\"/>"
    "<New X=\"10\" Y=\"16\" FS=\"0\" AM=\"256\" MS=\"6\" XS=\"8\" YS=\"2\" C=\"255\" A=\"200\" "
    "F=\"True\"/>"
    "<New X=\"20\" Y=\"14\" FS=\"0\" LT=\"5000\" AM=\"256\"/><New X=\"30.5\" Y=\"12.25\" FS=\"0\" "
    "AM=\"64\"/>"
    "</Emitters></Art></QUELMA_state>";

TEST_F(RenderTool, GoldenFrameChecksum) {
  // Update the expected value only for an intended change of the frame, and
  // say why in the commit.
  std::ofstream(dir / "golden.quelma") << GoldenScene;
  const TRun r = Render("--no-startup --frames 45 --checksum " + Q(dir / "golden.quelma"));
  ASSERT_EQ(r.Status, 0) << r.Out;
  EXPECT_NE(r.Out.find("checksum: c0156a0b90838aeb  size: 154x194"), std::string::npos) << r.Out;
}

// QUELMA_KERNELS picks the kernels of a whole run; the frames stay the same.
TEST_F(RenderTool, KernelsFromTheEnvironmentGiveTheSameFrames) {
  const std::string args = "--no-startup --emitters 300 --desktop 320x200 --frames 12";
  std::string checksum;
  for (const char* path : {"reference", "sse2"}) {
    SCOPED_TRACE(path);
    setenv("QUELMA_KERNELS", path, 1);
    const TRun bench = Render("--bench " + args);
    const TRun frames = Render("--checksum " + args);
    unsetenv("QUELMA_KERNELS");
    ASSERT_EQ(bench.Status, 0) << bench.Out;
    EXPECT_NE(bench.Out.find(std::string("kernels: ") + path), std::string::npos) << bench.Out;
    ASSERT_EQ(frames.Status, 0) << frames.Out;
    if (checksum.empty())
      checksum = frames.Out;
    EXPECT_EQ(frames.Out, checksum);
  }
}

TEST_F(RenderTool, BenchReportsTheMedian) {
  const TRun r = Render("--bench --no-startup --emitters 50 --desktop 320x200 --frames 5");
  ASSERT_EQ(r.Status, 0) << r.Out;
  EXPECT_NE(r.Out.find("emitters: 50"), std::string::npos) << r.Out;
  EXPECT_NE(r.Out.find("render  ms per frame"), std::string::npos) << r.Out;
  EXPECT_NE(r.Out.find("median"), std::string::npos);
}

} // namespace
