// quelma-render --import of TGA and PNG files as ImageMagick's convert writes
// them, made in the test: every variant imports the same art as the same
// picture stored as an RGBA PNG. Skipped where convert is not installed.
#include <gtest/gtest.h>

#include "RenderRun.h"

#include <cstdlib>
#include <filesystem>
#include <string>

#include "../graphics/PictureFixtures.h"

namespace {

struct TSource {
  const char* Name;
  const char* Draw; // convert's arguments that draw it
  int Visible;      // its pixels that are not transparent
};

// 8 x 6, different in every corner, so that a flip or a mirror shows. The
// colour ones have three colours, so convert stores them colour-mapped unless
// told otherwise.
const TSource Sources[] = {
    {"colour",
     "-size 8x6 xc:red -fill blue -draw 'rectangle 0,0 7,1' -fill lime "
     "-draw 'rectangle 0,4 2,5'",
     48},
    {"grey",
     "-size 8x6 xc:gray40 -fill white -draw 'rectangle 0,0 7,1' -fill black "
     "-draw 'rectangle 0,4 2,5' -colorspace Gray",
     48},
    {"transparent",
     "-size 8x6 xc:none -fill red -draw 'rectangle 0,0 3,5' -fill blue "
     "-draw 'rectangle 4,0 7,1'",
     32},
    {"transparent grey",
     "-size 8x6 xc:none -fill white -draw 'rectangle 0,0 3,5' -fill gray30 "
     "-draw 'rectangle 4,0 7,1' -colorspace Gray",
     32},
};

class ImportConverted : public testing::Test {
protected:
  void SetUp() override {
    if (std::system("command -v convert >/dev/null 2>&1") != 0)
      GTEST_SKIP() << "ImageMagick's convert is not installed";
  }

  // Runs convert in the test's folder and returns the path of Out.
  std::string Convert(const std::string& Args, const std::string& Out) {
    const std::string cmd = "cd '" + dir.Path + "' && convert " + Args + " " + Out + " 2>&1";
    EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
    return dir.Path + "/" + Out.substr(Out.find(':') + 1);
  }

  // Source, drawn into a PNG of convert's choice, converted again with the
  // given arguments, as a user converts a picture they have.
  std::string Make(const TSource& Source, const std::string& Args, const std::string& Out) {
    const std::string drawn = "drawn-" + std::to_string(&Source - Sources) + ".png";
    if (!std::filesystem::exists(dir.Path + "/" + drawn))
      Convert(Source.Draw, drawn);
    return Convert(drawn + " " + Args, Out);
  }

  // The state file saved after importing Picture; "" when the import failed.
  std::string Imported(const std::string& Picture) {
    const std::string out = dir.Path + "/art.quelma";
    std::filesystem::remove(out);
    const TRun r =
        Render("--no-startup --frames 0 --import '" + Picture + "' --save '" + out + "'");
    EXPECT_EQ(r.Status, 0) << Picture << ": " << r.Out;
    return ReadFileText(out);
  }

  fx::TTempDir dir;
};

fx::Bytes Head(const std::string& Path, std::size_t N) {
  const std::string text = ReadFileText(Path);
  return fx::Bytes(text.begin(), text.begin() + long(std::min(N, text.size())));
}

} // namespace

TEST_F(ImportConverted, EveryTgaVariantImportsAsTheRgbaPng) {
  // convert keeps a TGA's rows in the order it read them and records the
  // origin beside them, so from a PNG it stores the top row first under a
  // bottom-left origin: a file that readers going by the origin show upside
  // down. -flip stores the bottom row first, as a bottom-left file has it.
  const struct {
    const char* Name;
    const TSource& Source;
    const char* Args;
    uint8_t ImageType, Descriptor;
  } cases[] = {
      {"true colour, bottom-left", Sources[0], "-flip -type TrueColor", 2, 0x00},
      {"true colour, top-left", Sources[0], "-orient TopLeft -type TrueColor", 2, 0x20},
      {"colour-mapped, bottom-left", Sources[0], "-flip", 1, 0x00},
      {"colour-mapped, top-left", Sources[0], "-orient TopLeft", 1, 0x20},
      {"colour-mapped, 16-bit map entries", Sources[0], "-orient TopLeft -depth 5", 1, 0x20},
      {"grey", Sources[1], "-orient TopLeft", 3, 0x20},
      {"run-length colour-mapped", Sources[0], "-orient TopLeft -compress RLE", 9, 0x20},
      {"run-length true colour", Sources[0], "-flip -type TrueColor -compress RLE", 10, 0x00},
      {"run-length grey", Sources[1], "-flip -compress RLE", 11, 0x00},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const std::string rgba = Imported(
        Make(c.Source, "-define png:color-type=6", "rgba-" + std::string(c.Source.Name) + ".png"));
    ASSERT_EQ(CountOf(rgba, "<New "), c.Source.Visible);
    const std::string tga = Make(c.Source, c.Args, "picture.tga");
    const fx::Bytes head = Head(tga, 18);
    ASSERT_EQ(head.size(), 18u);
    EXPECT_EQ(head[2], c.ImageType);
    EXPECT_EQ(head[17], c.Descriptor);
    EXPECT_EQ(Imported(tga), rgba);
  }
}

TEST_F(ImportConverted, PngsWithTrnsImportAsTheRgbaPng) {
  const struct {
    const char* Name;
    const TSource& Source;
    const char* Args;
    const char* Out;
    uint8_t ColorType;
  } cases[] = {
      {"palette", Sources[2], "", "PNG8:picture.png", 3},
      {"grey", Sources[3], "-define png:color-type=0 -define png:bit-depth=8", "picture.png", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const std::string rgba = Imported(Make(c.Source, "-define png:color-type=6", "rgba.png"));
    ASSERT_EQ(CountOf(rgba, "<New "), c.Source.Visible);
    const std::string png = Make(c.Source, c.Args, c.Out);
    const fx::Bytes head = Head(png, 26);
    ASSERT_EQ(head.size(), 26u);
    EXPECT_EQ(head[25], c.ColorType);
    EXPECT_NE(ReadFileText(png).find("tRNS"), std::string::npos);
    EXPECT_EQ(Imported(png), rgba);
  }
}

// A picture of nothing but transparent pixels is refused as having no
// visible pixel, whichever way its transparency is stored.
TEST_F(ImportConverted, FullyTransparentPngsHaveNoVisiblePixel) {
  const struct {
    const char* Name;
    const char* Args;
    const char* Out;
  } cases[] = {
      {"RGBA", "-define png:color-type=6", "clear.png"},
      {"palette with tRNS", "", "PNG8:clear.png"},
      {"grey with tRNS", "-colorspace Gray -define png:color-type=0", "clear.png"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const std::string png = Convert(std::string("-size 5x4 xc:none ") + c.Args, c.Out);
    const std::string out = dir.Path + "/never.quelma";
    const TRun r = Render("--no-startup --frames 0 --import '" + png + "' --save '" + out + "'",
                          /*ErrorsOnly=*/true);
    EXPECT_EQ(r.Status, 2);
    EXPECT_NE(r.Out.find(png + ": The picture has no visible pixel"), std::string::npos) << r.Out;
    EXPECT_FALSE(std::filesystem::exists(out));
  }
}
