// State files from anywhere: hostile values held to bounds the engine can
// live with, the fuzz programs' seeds and earlier findings replayed, and a
// failed save that loses nothing.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "../../fuzz/StateFuzzEntries.h"
#include "FlameDisplay.h"
#include "FlameEngine.h"
#include "Random.h"
#include "StateFile.h"
#include "StyleMapping.h"

namespace fs = std::filesystem;

namespace {

const fs::path FuzzDir = fs::path(QUELMA_SOURCE_DIR) / "fuzz";

// The files of a folder that must exist: a moved or misspelt folder fails
// instead of replaying nothing.
std::vector<fs::path> FilesIn(const fs::path& dir) {
  std::vector<fs::path> files;
  if (!fs::is_directory(dir)) {
    ADD_FAILURE() << dir << " is not a folder";
    return files;
  }
  for (const auto& e : fs::directory_iterator(dir))
    if (e.is_regular_file())
      files.push_back(e.path());
  std::sort(files.begin(), files.end());
  return files;
}

std::string ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteAll(const fs::path& p, const std::string& text) {
  std::ofstream out(p, std::ios::binary);
  out << text;
}

// Style attributes with Gravity, Attraction and the rest given.
std::string StyleWith(int Gravity, int Attraction, int MaxCount = 20000) {
  return R"(<Style><Emitters Max_alpha="256" Hue="35" Saturation="107" Lightness="175" Max_count=")" +
         std::to_string(MaxCount) +
         R"(" Thickness="50" Fat="True" X_wildness="100" Y_wildness="100" Independent_emitters="False"/>)"
         R"(<Fading Fade_alpha="248" Fade_hue="20" Fade_saturation="256" Fade_lightness="240" Fade_hue_cycle="500" X_blur="8" Y_blur="8" Y_motion="3"/>)"
         R"(<Animation FPS="10" Gravity=")" +
         std::to_string(Gravity) + R"(" Attraction=")" + std::to_string(Attraction) +
         R"(" Emitter_lifetime="1000" Emitter_fade_out="200"/></Style>)";
}

class HostileStateFiles : public ::testing::Test {
protected:
  void SetUp() override {
    savedSeed = RandSeed;
    form.DesktopRect = MakeRect(0, 0, 640, 480);
    form.OriginX = 320;
    form.OriginY = 240;
    ApplyStyle(form, style);
  }
  void TearDown() override { RandSeed = savedSeed; }

  // Every emitter within the bounds the reader promises and the engine's
  // arithmetic needs; the flame window on the desktop.
  void ExpectSound() {
    ASSERT_LE(form.FEmitters.Count, form.FMaxCount);
    for (int32_t i = 0; i < form.FEmitters.Count; ++i) {
      const TEmitter& e = *form.Emitter(i);
      ASSERT_TRUE(std::isfinite(e.X) && std::isfinite(e.Y)) << i;
      // Rotation may carry a corner of the bounds 1.42e6 from the origin.
      ASSERT_LE(std::fabs(e.X), 2e6f) << i;
      ASSERT_LE(std::fabs(e.Y), 2e6f) << i;
      ASSERT_FALSE(std::isnan(e.Fall) || std::isnan(e.Life)) << i;
      ASSERT_TRUE(e.Alpha >= 0 && e.Alpha <= 65536) << i;
      ASSERT_LE(e.Style->Thickness, 1000.0f) << i;
    }
    const TRect b = display.FLayeredBounds;
    EXPECT_TRUE(b.Left >= 0 && b.Top >= 0 && b.Right <= 640 && b.Bottom <= 480);
    EXPECT_LE(int64_t(display.FSurface.Width) * display.FSurface.Height, 640 * 480);
  }

  uint32_t savedSeed = 0;
  TSurfaceDisplay display;
  TPartForm form{display};
  TStyleSettings style;
};

// The bound each value is held to when read: positions within 1e6 pixels of
// the origin (cover arithmetic stays far inside 32 bits), "FS" within 1e7,
// "LT" within the immortal value, intensities 0..256, thickness 0..1000 (a
// spot's box stays within 2005 x 2005 pixels), wildness 0..100; text that is
// no finite single reads as 0.
TEST_F(HostileStateFiles, EveryEmitterFieldIsHeldToItsBound) {
  struct Case {
    const char* Attributes;
    float X, Y, Fall, Life;
    int32_t BaseAlpha;
    float Thickness, XWildness, YWildness;
    int32_t MaxAlpha;
  };
  const float I = ImmortalLife;
  const Case cases[] = {
      {R"(X="1e30" Y="-1e30" FS="1e38" LT="1e30" AM="2000000000")", 1e6f, -1e6f, 1e7f, I, 256, -1,
       0, 0, 0},
      {R"(X="1e39" Y="nan" FS="-1e38" LT="-1e30" AM="-2147483648")", 0, 0, -1e7f, -I, 0, -1, 0, 0,
       0},
      {R"(X="inf" Y="-inf" FS="NaN" LT="nan" AM="0")", 0, 0, 0, 0, 0, -1, 0, 0, 0},
      {R"(X="999999.9" Y="-0.000001" FS="-3000" LT="2147483647" AM="256")", 999999.9f, -1e-6f,
       -3000, I, 256, -1, 0, 0, 0},
      {R"(X="1" Y="2" FS="0" AM="7" MS="1e30" XS="1e30" YS="-1e30" C="-1" A="2000000000" F="1")", 1,
       2, 0, I, 7, 1000, 100, 0, 256},
      {R"(X="1" Y="2" FS="0" AM="7" MS="-1e30" XS="nan" YS="100.5" C="0" A="-2000000000" F="0")", 1,
       2, 0, I, 7, 0, 0, 100, 0},
      {R"(X="1" Y="2" FS="0" AM="7" MS="61.5" XS="0.25" YS="99" C="2147483647" A="255" F="0")", 1,
       2, 0, I, 7, 61.5f, 0.25f, 99, 255},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Attributes);
    ASSERT_TRUE(ReadStateText(std::string(R"(<QUELMA_state Version="1"><Art><Emitters><New )") +
                                  c.Attributes + "/></Emitters></Art></QUELMA_state>",
                              form, style));
    ASSERT_EQ(form.FEmitters.Count, 1);
    const TEmitter& e = *form.Emitter(0);
    EXPECT_EQ(e.X, c.X);
    EXPECT_EQ(e.Y, c.Y);
    EXPECT_EQ(e.Fall, c.Fall);
    EXPECT_EQ(e.Life, c.Life);
    EXPECT_EQ(e.BaseAlpha, c.BaseAlpha);
    EXPECT_EQ(e.Alpha, c.BaseAlpha * 256);
    if (c.Thickness < 0) {
      EXPECT_FALSE(e.HasOwnStyle());
    } else {
      ASSERT_TRUE(e.HasOwnStyle());
      EXPECT_EQ(e.OwnStyle.Thickness, c.Thickness);
      EXPECT_EQ(e.OwnStyle.XWildness, c.XWildness);
      EXPECT_EQ(e.OwnStyle.YWildness, c.YWildness);
      EXPECT_EQ(e.OwnStyle.MaxAlpha, c.MaxAlpha);
    }
    for (int i = 0; i < 3; ++i)
      form.Tick(i);
    ExpectSound();
  }
}

// Art at the reading bounds under every kind of motion: falling, repulsion
// (whose steps are largest at the weakest setting), attraction, rotation and
// centring, frame after frame, with swallowed ticks.
TEST_F(HostileStateFiles, ArtAtTheBoundsSurvivesEveryMotion) {
  std::string art = "<Art><Emitters>";
  const char* xs[] = {"1e30", "-1e30", "0", "3.4e38", "-1e-45", "319.5", "-320", "1e6"};
  for (int i = 0; i < 400; ++i) {
    art += std::string(R"(<New X=")") + xs[i % 8] + R"(" Y=")" + xs[(i / 8) % 8] + R"(" FS=")" +
           (i % 3 ? "1e30" : "-1e30") + R"(" LT=")" + (i % 5 ? "-1e30" : "1e30") + R"(" AM="256")";
    if (i % 2)
      art += R"( MS="1e30" XS="1e30" YS="1e30" C="-1" A="256" F="True")";
    art += "/>";
  }
  art += "</Emitters></Art>";
  for (const auto& [gravity, attraction] :
       {std::pair{1000, 0}, {1, -999}, {0, -1}, {0, 1000}, {500, 999}}) {
    SCOPED_TRACE(std::to_string(gravity) + " " + std::to_string(attraction));
    ASSERT_TRUE(ReadStateText("<QUELMA_state Version=\"1\">" + StyleWith(gravity, attraction) +
                                  art + "</QUELMA_state>",
                              form, style));
    ExpectSound();
    for (int frame = 0; frame < 60; ++frame) {
      form.Tick(frame % 7 == 0 ? 3 : 0);
      if (frame % 10 == 0)
        form.RotateArt();
      if (frame % 25 == 0)
        form.CenterArt();
      ExpectSound();
      if (HasFatalFailure())
        return;
    }
  }
}

// 20000 emitters each with its own style: all kept (the largest "Max count"),
// drawn, written and read back.
TEST_F(HostileStateFiles, TwentyThousandOwnStyles) {
  std::string art = "<Art><Emitters>";
  for (int i = 0; i < 20000; ++i)
    art += R"(<New X=")" + std::to_string(i % 600 - 300) + R"(" Y=")" +
           std::to_string(i / 600 * 7 - 200) +
           R"(" FS="0" AM="256" MS="1e30" XS="1e30" YS="1e30" C=")" + std::to_string(i * 7919) +
           R"(" A="2000000000" F="True"/>)";
  art += "</Emitters></Art>";
  style.MaxCount = 20000;
  ApplyStyle(form, style);
  ASSERT_TRUE(ReadStateText(
      "<QUELMA_state Version=\"1\">" + StyleWith(0, 0) + art + "</QUELMA_state>", form, style));
  ASSERT_EQ(form.FEmitters.Count, 20000);
  form.Tick(0);
  ExpectSound();
  const std::string written = WriteStateText(form, style);
  ASSERT_TRUE(ReadStateText(written, form, style));
  EXPECT_EQ(WriteStateText(form, style), written);
}

// Reading more elements than "Max count" keeps exactly what adding them one
// by one keeps: the newest, in order, after the same random draws, also when
// an element fails part way.
TEST_F(HostileStateFiles, LongArtKeepsWhatAddingOneByOneKeeps) {
  style.MaxCount = 10;
  style.EmitterLifetime = 500;
  ApplyStyle(form, style);
  auto element = [](int i) {
    return R"(<New X=")" + std::to_string(i) + R"(" Y="1" FS="0" LT="20" AM="256"/>)";
  };
  for (const bool failing : {false, true}) {
    SCOPED_TRACE(failing);
    std::string art;
    for (int i = 0; i < 47; ++i)
      art += element(i);
    if (failing)
      art += R"(<New X="1"/>)" + element(99);
    const std::string doc =
        R"(<QUELMA_state Version="1"><Art><Emitters>)" + art + "</Emitters></Art></QUELMA_state>";

    const uint32_t seed = RandSeed;
    TSurfaceDisplay d;
    TPartForm oneByOne(d);
    oneByOne.DesktopRect = form.DesktopRect;
    oneByOne.OriginX = form.OriginX;
    oneByOne.OriginY = form.OriginY;
    oneByOne.FMaxCount = form.FMaxCount;
    oneByOne.FLifetime = form.FLifetime;
    for (int i = 0; i < 47; ++i)
      oneByOne.AddEmitter(nullptr, 256, float(i), 1);
    const uint32_t seedAfter = RandSeed;

    RandSeed = seed;
    if (failing)
      EXPECT_THROW(ReadStateText(doc, form, style), EStateFileError);
    else
      ASSERT_TRUE(ReadStateText(doc, form, style));
    EXPECT_EQ(RandSeed, seedAfter);
    ASSERT_EQ(form.FEmitters.Count, 10);
    EXPECT_EQ(form.FMaxCount, 10);
    for (int i = 0; i < 10; ++i)
      EXPECT_EQ(form.Emitter(i)->X, float(37 + i));
  }
}

// What the program writes reads back unchanged, also after the engine has
// moved the art as far as it can.
TEST_F(HostileStateFiles, WrittenFilesReadBackUnchanged) {
  ASSERT_TRUE(ReadStateText(
      "<QUELMA_state Version=\"1\">" + StyleWith(0, 1000) +
          R"(<Art><Emitters><New X="1e6" Y="-1e6" FS="-1e30" LT="12.5" AM="3"/>)"
          R"(<New X="-1e6" Y="1e6" FS="1e30" AM="256" MS="0" XS="100" YS="0" C="5" A="1" F="0"/>)"
          R"(</Emitters></Art></QUELMA_state>)",
      form, style));
  for (int i = 0; i < 30; ++i) {
    form.Tick(0);
    form.RotateArt();
  }
  const std::string written = WriteStateText(form, style);
  ASSERT_TRUE(ReadStateText(written, form, style));
  EXPECT_EQ(WriteStateText(form, style), written);
}

// The fuzz entries draw from the program's random generator; later tests get
// its seed back.
class FuzzReplay : public ::testing::Test {
protected:
  void TearDown() override { RandSeed = savedSeed; }
  const uint32_t savedSeed = RandSeed;
};

// The fuzz programs' seeds, every cut of them, and every input that once
// failed them, through the same entries (which stop the program on a broken
// invariant). The state-file program has no findings yet: its seeds and
// their cuts are the replay.
TEST_F(FuzzReplay, StateFileSeeds) {
  const std::vector<fs::path> seeds = FilesIn(FuzzDir / "corpus" / "statefile");
  EXPECT_GE(seeds.size(), 4u);
  for (const fs::path& p : seeds) {
    SCOPED_TRACE(p.string());
    const std::string text = ReadAll(p);
    quelma_fuzz::FuzzStateFile(reinterpret_cast<const uint8_t*>(text.data()), text.size());
    for (std::size_t n = 0; n < text.size(); n += 1 + text.size() / 24)
      quelma_fuzz::FuzzStateFile(reinterpret_cast<const uint8_t*>(text.data()), n);
  }
}

TEST_F(FuzzReplay, ClipboardSeedsAndFindings) {
  const std::vector<fs::path> seeds = FilesIn(FuzzDir / "corpus" / "clipboard");
  EXPECT_GE(seeds.size(), 5u);
  for (const fs::path& p : seeds) {
    SCOPED_TRACE(p.string());
    const std::vector<uint8_t> bytes = ReadWholeFile(p.string());
    // A seed is a valid Data block.
    TDIBmp d;
    EXPECT_NO_THROW(d.LoadFromClipboardFormat(CF_DIB, bytes, 0));
    EXPECT_FALSE(d.Empty());
    quelma_fuzz::FuzzClipboard(bytes.data(), bytes.size());
    for (std::size_t n = 0; n < bytes.size(); n += 1 + bytes.size() / 16)
      quelma_fuzz::FuzzClipboard(bytes.data(), n);
  }
  for (const fs::path& p : FilesIn(FuzzDir / "regressions" / "clipboard")) {
    SCOPED_TRACE(p.string());
    const std::vector<uint8_t> bytes = ReadWholeFile(p.string());
    quelma_fuzz::FuzzClipboard(bytes.data(), bytes.size());
  }
}

// ------------------------------------------------------------ losing nothing

class FailedSave : public HostileStateFiles {
protected:
  void SetUp() override {
    HostileStateFiles::SetUp();
    char tmpl[] = "/tmp/quelma-failedsave-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir = tmpl;
    old = dir / "art.quelma";
    for (int i = 0; i < 3000; ++i)
      form.AddEmitter(nullptr, 256, float(i % 300), float(i / 300));
    oldText = WriteStateText(form, style);
    WriteAll(old, oldText);
    form.StartOver();
    for (int i = 0; i < 5000; ++i)
      form.AddEmitter(nullptr, 128, float(-i % 200), float(i / 200));
  }
  void TearDown() override {
    ::chmod(dir.c_str(), 0700);
    std::error_code ec;
    fs::remove_all(dir, ec);
    HostileStateFiles::TearDown();
  }

  // Runs Save in a child process (so that limits and identities stay there)
  // and returns its exit status: 0 when the save failed with the save error.
  int SaveInChild(const std::function<void()>& Prepare) {
    const pid_t pid = ::fork();
    if (pid == 0) {
      Prepare();
      int status = 1;
      try {
        LoadSaveState(old.string(), true, form, style);
      } catch (const EStateFileError& e) {
        status = std::string(e.what()) == "Error saving the file." ? 0 : 2;
      } catch (...) {
        status = 3;
      }
      ::_exit(status);
    }
    int st = 0;
    ::waitpid(pid, &st, 0);
    return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  }

  // The old file whole and nothing else left in the folder.
  void ExpectOldFileWhole() {
    EXPECT_EQ(ReadAll(old), oldText);
    EXPECT_EQ(FilesIn(dir), std::vector<fs::path>{old});
  }

  fs::path dir, old;
  std::string oldText;
};

TEST_F(FailedSave, ReadOnlyFolderLeavesTheOldFileWhole) {
  ASSERT_EQ(::chmod(dir.c_str(), 0555), 0);
  // The superuser writes anywhere; the child gives that up first.
  const int status = SaveInChild([] {
    if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
      ::_exit(4);
  });
  EXPECT_EQ(status, 0);
  ::chmod(dir.c_str(), 0700);
  ExpectOldFileWhole();
}

TEST_F(FailedSave, WriteErrorMidwayLeavesTheOldFileWhole) {
  // A file size limit makes the write fail part way, as a full disk does.
  const int status = SaveInChild([] {
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{4096, 4096};
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
      ::_exit(4);
  });
  EXPECT_EQ(status, 0);
  ExpectOldFileWhole();
  // And a save that can complete replaces the file.
  ASSERT_TRUE(LoadSaveState(old.string(), true, form, style));
  EXPECT_EQ(ReadAll(old), WriteStateText(form, style));
}

} // namespace
