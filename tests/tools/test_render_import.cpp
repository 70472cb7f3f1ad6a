// quelma-render --import: pictures turned into art from the command line.
#include <gtest/gtest.h>

#include "RenderRun.h"
#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "../graphics/PictureFixtures.h"

namespace {

TRun RenderWith(const std::string& Args) {
  return Render(Args);
}
std::string ReadText(const std::string& Path) {
  return ReadFileText(Path);
}

} // namespace

TEST(RenderImport, PictureBecomesAStateFile) {
  fx::TTempDir dir;
  // 4 x 2 RGBA, the left half transparent.
  fx::Bytes rows;
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 4; ++x)
      rows.insert(rows.end(), {200, 100, 50, uint8_t(x < 2 ? 0 : 255)});
  const std::string png =
      dir.Write("pic.png", fx::MakePng({.Width = 4, .Height = 2, .Rows = rows}));
  const std::string out = dir.Path + "/art.quelma";
  const TRun r = RenderWith("--no-startup --frames 0 --import '" + png + "' --save '" + out + "'");
  ASSERT_EQ(r.Status, 0) << r.Out;
  const std::string state = ReadText(out);
  EXPECT_EQ(CountOf(state, "<New "), 4);
  EXPECT_NE(state.find("Max_count=\"20000\""), std::string::npos);
  EXPECT_NE(state.find("Fade_alpha=\"240\""), std::string::npos);
  // Each emitter carries its own style: colour and "Reset style"'s alpha limit.
  EXPECT_EQ(CountOf(state, "A=\"60\""), 4);

  // The four settings reach the import.
  const std::string solid =
      dir.Write("solid.png", fx::MakePng({.Width = 4, .Height = 2, .Rows = fx::Bytes(32, 255)}));
  const TRun masked =
      RenderWith("--no-startup --frames 0 --import '" + solid +
                 "' --max-size 2 --scaling 1000 --keep-style --mask-only --save '" + out + "'");
  ASSERT_EQ(masked.Status, 0) << masked.Out;
  const std::string m = ReadText(out);
  EXPECT_EQ(CountOf(m, "<New "), 2); // 2 x 1 samples
  EXPECT_EQ(CountOf(m, " C=\""), 0); // mask mode: no own style
  EXPECT_EQ(m.find("Fade_alpha=\"240\""), std::string::npos);
}

TEST(RenderImport, ErrorsAndUsage) {
  fx::TTempDir dir;
  const TRun missing = RenderWith("--no-startup --frames 0 --import '" + dir.Path + "/none.png'");
  EXPECT_EQ(missing.Status, 2);
  EXPECT_NE(missing.Out.find("none.png"), std::string::npos);
  const TRun unknown =
      RenderWith("--no-startup --frames 0 --import '" + dir.Write("x.xyz", {1}) + "'");
  EXPECT_EQ(unknown.Status, 2);
  EXPECT_NE(unknown.Out.find("Unknown picture file extension (.xyz)"), std::string::npos);
  const TRun damaged =
      RenderWith("--no-startup --frames 0 --import '" + dir.Write("d.bmp", {'B', 'M', 0}) + "'");
  EXPECT_EQ(damaged.Status, 2);
  EXPECT_NE(damaged.Out.find("DIB is invalid"), std::string::npos);

  // A picture with nothing visible is refused as a file error, on standard
  // error and before anything is written.
  const std::string clear =
      dir.Write("clear.png", fx::MakePng({.Width = 3, .Height = 2, .Rows = fx::Bytes(24, 0)}));
  const std::string out = dir.Path + "/never.quelma";
  const TRun transparent = Render(
      "--no-startup --frames 0 --import '" + clear + "' --save '" + out + "'", /*ErrorsOnly=*/true);
  EXPECT_EQ(transparent.Status, 2);
  EXPECT_NE(transparent.Out.find(clear + ": The picture has no visible pixel"), std::string::npos)
      << transparent.Out;
  EXPECT_FALSE(std::ifstream(out).good());
  const TRun noSample =
      RenderWith("--no-startup --frames 0 --max-size 0 --import '" +
                 dir.Write("solid.png", fx::MakePng({.Rows = {1, 2, 3, 255}})) + "'");
  EXPECT_EQ(noSample.Status, 2);
  EXPECT_NE(noSample.Out.find("Max size is 0"), std::string::npos) << noSample.Out;

  for (const char* bad : {"--max-size 129 --import a.png", "--scaling 99 --import a.png",
                          "--mask-only", "--keep-style=1 --import a.png", "--import"}) {
    const TRun r = RenderWith(bad);
    EXPECT_EQ(r.Status, 1) << bad << ": " << r.Out;
  }
  const TRun help = RenderWith("--help");
  EXPECT_NE(help.Out.find("--import PICTURE"), std::string::npos);
  EXPECT_NE(help.Out.find("--mask-only"), std::string::npos);
}
