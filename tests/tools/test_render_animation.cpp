// quelma-render --out NAME.webp / NAME.gif: one animated picture of the run,
// decoded back with the system's WebP and GIF libraries and compared with the
// PNG frames of the same run.
#include <gif_lib.h>
#include <gtest/gtest.h>
#include <png.h>
#include <webp/demux.h>

#include "RenderRun.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "../graphics/PictureFixtures.h"

namespace fs = std::filesystem;

namespace {

// Frames as a viewer shows them: whole canvases, straight RGBA.
struct TAnimation {
  int Width = 0, Height = 0;
  int Loop = -1; // 0: forever; -1: the file does not loop
  std::vector<std::vector<uint8_t>> Frames;
  std::vector<int> DelaysMs;
};

bool DecodeWebP(const std::string& Path, TAnimation& A) {
  const std::string bytes = ReadFileText(Path);
  WebPData data{reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()};
  WebPAnimDecoderOptions options;
  if (!WebPAnimDecoderOptionsInit(&options))
    return false;
  options.color_mode = MODE_RGBA;
  WebPAnimDecoder* dec = WebPAnimDecoderNew(&data, &options);
  WebPAnimInfo info;
  if (!dec || !WebPAnimDecoderGetInfo(dec, &info)) {
    WebPAnimDecoderDelete(dec);
    return false;
  }
  A.Width = int(info.canvas_width);
  A.Height = int(info.canvas_height);
  A.Loop = int(info.loop_count);
  int before = 0;
  while (WebPAnimDecoderHasMoreFrames(dec)) {
    uint8_t* rgba = nullptr;
    int end = 0; // the frame's end time
    if (!WebPAnimDecoderGetNext(dec, &rgba, &end)) {
      WebPAnimDecoderDelete(dec);
      return false;
    }
    A.Frames.emplace_back(rgba, rgba + std::size_t(A.Width) * std::size_t(A.Height) * 4);
    A.DelaysMs.push_back(end - before);
    before = end;
  }
  WebPAnimDecoderDelete(dec);
  return true;
}

// Composes the frames as the format says: transparent indices leave the
// canvas alone, disposal 2 clears the frame's rectangle after it is shown.
bool DecodeGif(const std::string& Path, TAnimation& A) {
  int error = 0;
  GifFileType* gif = DGifOpenFileName(Path.c_str(), &error);
  if (!gif)
    return false;
  if (DGifSlurp(gif) != GIF_OK) {
    DGifCloseFile(gif, &error);
    return false;
  }
  A.Width = gif->SWidth;
  A.Height = gif->SHeight;
  std::vector<uint8_t> canvas(std::size_t(A.Width) * std::size_t(A.Height) * 4, 0);
  for (int i = 0; i < gif->ImageCount; ++i) {
    const SavedImage& image = gif->SavedImages[i];
    for (int b = 0; b + 1 < image.ExtensionBlockCount; ++b) {
      const ExtensionBlock& e = image.ExtensionBlocks[b];
      const ExtensionBlock& next = image.ExtensionBlocks[b + 1];
      if (e.Function == APPLICATION_EXT_FUNC_CODE && e.ByteCount == 11 &&
          std::string(reinterpret_cast<const char*>(e.Bytes), 11) == "NETSCAPE2.0" &&
          next.ByteCount == 3 && next.Bytes[0] == 1)
        A.Loop = next.Bytes[1] | next.Bytes[2] << 8;
    }
    GraphicsControlBlock gcb{};
    gcb.TransparentColor = NO_TRANSPARENT_COLOR;
    DGifSavedExtensionToGCB(gif, i, &gcb);
    A.DelaysMs.push_back(gcb.DelayTime * 10);
    const GifImageDesc& d = image.ImageDesc;
    const ColorMapObject* map = d.ColorMap ? d.ColorMap : gif->SColorMap;
    for (int y = 0; y < d.Height; ++y)
      for (int x = 0; x < d.Width; ++x) {
        const int index = image.RasterBits[y * d.Width + x];
        if (index == gcb.TransparentColor || !map || index >= map->ColorCount)
          continue;
        uint8_t* p =
            &canvas[(std::size_t(d.Top + y) * std::size_t(A.Width) + std::size_t(d.Left + x)) * 4];
        const GifColorType c = map->Colors[index];
        p[0] = c.Red;
        p[1] = c.Green;
        p[2] = c.Blue;
        p[3] = 255;
      }
    A.Frames.push_back(canvas);
    if (gcb.DisposalMode == DISPOSE_BACKGROUND)
      for (int y = 0; y < d.Height; ++y)
        std::fill_n(
            &canvas[(std::size_t(d.Top + y) * std::size_t(A.Width) + std::size_t(d.Left)) * 4],
            std::size_t(d.Width) * 4, uint8_t(0));
  }
  DGifCloseFile(gif, &error);
  return true;
}

bool Decode(const std::string& Path, TAnimation& A) {
  return Path.ends_with(".gif") ? DecodeGif(Path, A) : DecodeWebP(Path, A);
}

bool LoadPng(const std::string& Path, int& Width, int& Height, std::vector<uint8_t>& Rgba) {
  png_image img{};
  img.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&img, Path.c_str()))
    return false;
  img.format = PNG_FORMAT_RGBA;
  Width = int(img.width);
  Height = int(img.height);
  Rgba.resize(PNG_IMAGE_SIZE(img));
  const bool ok = png_image_finish_read(&img, nullptr, Rgba.data(), 0, nullptr) != 0;
  png_image_free(&img);
  return ok;
}

std::string Q(const std::string& Path) {
  return "'" + Path + "'";
}

} // namespace

// Both formats, with and without a background, against the PNG frames of the
// same run (the start-up flame's cover keeps its size, so the PNG frames are
// the canvas).
TEST(RenderAnimation, FramesMatchThePngFramesOfTheSameRun) {
  fx::TTempDir dir;
  constexpr int Frames = 12;
  struct TCase {
    const char* Ext;
    const char* Background; // "" for none
    int ColourTolerance;    // a bright flame pixel, per channel
    double MeanTolerance;   // all pixels a viewer would show, per channel
  };
  const TCase cases[] = {
      {"webp", "", 16, 4}, {"webp", "102030", 16, 4}, {"gif", "", 12, 3}, {"gif", "102030", 12, 3}};
  for (const TCase& c : cases) {
    const std::string bg = *c.Background ? std::string(" --background ") + c.Background : "";
    SCOPED_TRACE(std::string(c.Ext) + bg);
    const std::string anim = dir.Path + "/flame." + c.Ext;
    const std::string pngs = dir.Path + "/f%02d.png";
    TRun r = Render("--frames " + std::to_string(Frames) + bg + " -o " + Q(anim));
    ASSERT_EQ(r.Status, 0) << r.Out;
    r = Render("--frames " + std::to_string(Frames) + bg + " -o " + Q(pngs));
    ASSERT_EQ(r.Status, 0) << r.Out;

    TAnimation a;
    ASSERT_TRUE(Decode(anim, a));
    EXPECT_EQ(a.Loop, 0); // forever
    EXPECT_EQ(a.Width, 300 + 2 * 39);
    EXPECT_EQ(a.Height, 112 + 27);
    ASSERT_EQ(int(a.Frames.size()), Frames);
    // The start-up style runs at 30 frames per second: 33 ms a frame.
    int total = 0;
    for (const int d : a.DelaysMs) {
      total += d;
      if (std::string(c.Ext) == "webp")
        EXPECT_EQ(d, 33);
      else
        EXPECT_TRUE(d == 30 || d == 40) << d; // hundredths, rounded so the pace holds
    }
    EXPECT_NEAR(total, Frames * 33, 5);

    for (const int frame : {6, Frames}) { // the sixth is the first with a solid flame
      char name[32];
      std::snprintf(name, sizeof name, "/f%02d.png", frame);
      int w = 0, h = 0;
      std::vector<uint8_t> want;
      ASSERT_TRUE(LoadPng(dir.Path + name, w, h, want));
      ASSERT_EQ(w, a.Width);
      ASSERT_EQ(h, a.Height);
      const std::vector<uint8_t>& got = a.Frames[std::size_t(frame - 1)];
      // A corner far from the emitters: the background, or nothing.
      if (*c.Background) {
        // Lossy WebP passes through YUV: a step off.
        EXPECT_NEAR(got[0], 0x10, 2);
        EXPECT_NEAR(got[1], 0x20, 2);
        EXPECT_NEAR(got[2], 0x30, 2);
        EXPECT_EQ(got[3], 255);
      } else {
        EXPECT_EQ(got[3], 0);
      }
      std::size_t brightest = 0;
      double error = 0;
      int shown = 0, wrongAlpha = 0;
      for (std::size_t p = 0; p < want.size(); p += 4) {
        const int wantAlpha = want[p + 3], gotAlpha = got[p + 3];
        if (*c.Background)
          wrongAlpha += gotAlpha != 255;
        else if (std::string(c.Ext) == "gif")
          wrongAlpha +=
              (gotAlpha == 255) != (wantAlpha >= 128) || (gotAlpha != 0 && gotAlpha != 255);
        else
          wrongAlpha += std::abs(gotAlpha - wantAlpha) > 24;
        if (gotAlpha < 128 || wantAlpha < 128)
          continue;
        ++shown;
        for (int ch = 0; ch < 3; ++ch)
          error += std::abs(int(got[p + ch]) - int(want[p + ch]));
        if (want[p] + want[p + 1] + want[p + 2] >
            want[brightest] + want[brightest + 1] + want[brightest + 2])
          brightest = p;
      }
      EXPECT_EQ(wrongAlpha, 0);
      ASSERT_GT(shown, 1000);
      EXPECT_LT(error / (3.0 * shown), c.MeanTolerance);
      for (int ch = 0; ch < 3; ++ch)
        EXPECT_NEAR(got[brightest + std::size_t(ch)], want[brightest + std::size_t(ch)],
                    c.ColourTolerance)
            << "channel " << ch;
    }
  }
}

// Desktop-sized WebP frames hold only the rectangle that changed, at its
// offset (even, as the format stores them), and still decode to the PNG
// frames of the same run; a lower --quality makes a smaller file.
TEST(RenderAnimation, WebPFramesAreTheChangedRectangles) {
  fx::TTempDir dir;
  constexpr int Frames = 10;
  const std::string common =
      "--frames " + std::to_string(Frames) + " --desktop 800x400 --desktop-frames";
  const std::string anim = dir.Path + "/desk.webp", low = dir.Path + "/low.webp";
  ASSERT_EQ(Render(common + " -o " + Q(anim)).Status, 0);
  ASSERT_EQ(Render(common + " --quality 20 -o " + Q(low)).Status, 0);
  ASSERT_EQ(Render(common + " -o " + Q(dir.Path + "/d%02d.png")).Status, 0);
  EXPECT_LT(fs::file_size(low), fs::file_size(anim));

  const std::string bytes = ReadFileText(anim);
  const WebPData data{reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()};
  WebPDemuxer* demux = WebPDemux(&data);
  ASSERT_NE(demux, nullptr);
  EXPECT_EQ(WebPDemuxGetI(demux, WEBP_FF_CANVAS_WIDTH), 800u);
  EXPECT_EQ(WebPDemuxGetI(demux, WEBP_FF_CANVAS_HEIGHT), 400u);
  EXPECT_EQ(WebPDemuxGetI(demux, WEBP_FF_FRAME_COUNT), uint32_t(Frames));
  WebPIterator it;
  ASSERT_TRUE(WebPDemuxGetFrame(demux, 1, &it));
  do {
    SCOPED_TRACE(it.frame_num);
    EXPECT_LT(it.width * it.height, 800 * 400 / 4); // the flame, not the desktop
    EXPECT_EQ(it.x_offset % 2, 0);
    EXPECT_EQ(it.y_offset % 2, 0);
    EXPECT_EQ(it.blend_method, WEBP_MUX_NO_BLEND);
    EXPECT_EQ(it.dispose_method, WEBP_MUX_DISPOSE_NONE);
  } while (WebPDemuxNextFrame(&it));
  WebPDemuxReleaseIterator(&it);
  WebPDemuxDelete(demux);

  TAnimation a;
  ASSERT_TRUE(Decode(anim, a));
  ASSERT_EQ(int(a.Frames.size()), Frames);
  for (const int frame : {1, 6, Frames}) {
    char name[32];
    std::snprintf(name, sizeof name, "/d%02d.png", frame);
    int w = 0, h = 0;
    std::vector<uint8_t> want;
    ASSERT_TRUE(LoadPng(dir.Path + name, w, h, want));
    ASSERT_EQ(w, 800);
    const std::vector<uint8_t>& got = a.Frames[std::size_t(frame - 1)];
    double error = 0;
    int shown = 0, wrongAlpha = 0;
    for (std::size_t p = 0; p < want.size(); p += 4) {
      wrongAlpha += std::abs(int(got[p + 3]) - int(want[p + 3])) > 24;
      if (got[p + 3] < 128 || want[p + 3] < 128)
        continue;
      ++shown;
      for (int ch = 0; ch < 3; ++ch)
        error += std::abs(int(got[p + ch]) - int(want[p + ch]));
    }
    EXPECT_EQ(wrongAlpha, 0) << "frame " << frame;
    if (shown > 0) {
      EXPECT_LT(error / (3.0 * shown), 4) << "frame " << frame;
    }
  }
}

// The animation's pace: the style's, --fps, --every; GIF keeps two
// hundredths of a second at least by dropping frames.
TEST(RenderAnimation, FrameRateAndEvery) {
  fx::TTempDir dir;
  struct TCase {
    const char* Args;
    const char* Ext;
    int Frames;
    int DelayMs;
  };
  const TCase cases[] = {
      {"--frames 12 --every 3", "webp", 4, 99},
      {"--frames 12 --every 3", "gif", 4, 100},
      {"--frames 12 --every 3 --fps 20", "webp", 4, 150},
      {"--frames 12 --every 3 --fps 20", "gif", 4, 150},
      {"--frames 10 --fps 100", "webp", 10, 10},
      {"--frames 10 --fps 100", "gif", 5, 20},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(std::string(c.Args) + " ." + c.Ext);
    const std::string anim = dir.Path + "/a." + c.Ext;
    const TRun r = Render(std::string(c.Args) + " -o " + Q(anim));
    ASSERT_EQ(r.Status, 0) << r.Out;
    TAnimation a;
    ASSERT_TRUE(Decode(anim, a));
    EXPECT_EQ(int(a.Frames.size()), c.Frames);
    for (const int d : a.DelaysMs)
      EXPECT_EQ(d, c.DelayMs);
  }
}

// Falling emitters grow the cover after the first frame: the picture takes
// the final size, and the frames are those of a plain run.
TEST(RenderAnimation, AGrowingFlameGetsItsFinalSize) {
  fx::TTempDir dir;
  std::string style = ReadFileText(std::string(QUELMA_SOURCE_DIR) + "/Data/Startup.quelma");
  const std::size_t at = style.find("Gravity=\"0\"");
  ASSERT_NE(at, std::string::npos);
  style.replace(at, 11, "Gravity=\"600\"");
  const std::string falling = dir.Path + "/falling.quelma";
  std::ofstream(falling) << style;

  const std::string args = "--no-startup --frames 40 --checksum " + Q(falling);
  const TRun plain = Render(args);
  ASSERT_EQ(plain.Status, 0) << plain.Out;
  const TRun first = Render("--frames 1 --checksum --no-startup " + Q(falling));
  ASSERT_NE(plain.Out.substr(plain.Out.find("size:")), first.Out.substr(first.Out.find("size:")))
      << "the flame no longer grows: the case tests nothing";
  const TRun r = Render(args + " -o " + Q(dir.Path + "/falling.webp"));
  ASSERT_EQ(r.Status, 0) << r.Out;
  EXPECT_EQ(r.Out, plain.Out); // the same last frame after the second pass
  TAnimation a;
  ASSERT_TRUE(Decode(dir.Path + "/falling.webp", a));
  EXPECT_EQ(int(a.Frames.size()), 40);
  EXPECT_NE(plain.Out.find("size: " + std::to_string(a.Width) + "x" + std::to_string(a.Height)),
            std::string::npos)
      << plain.Out;
}

TEST(RenderAnimation, RefusedNamesAndOptions) {
  struct TCase {
    const char* Args;
    int Status;
    const char* Says;
  };
  const TCase cases[] = {
      {"-o flame.jpg", 1, "writes .png frames or an animated .webp or .gif picture"},
      {"-o flame", 1, "writes .png frames or an animated .webp or .gif picture"},
      {"-o 'flame%03d.gif'", 1, "leave out the %d"},
      {"--fps 10 -o flame.png", 1, "--fps only applies"},
      {"--fps 10", 1, "--fps only applies"},
      {"--fps 0 -o flame.gif", 1, "--fps wants"},
      {"--frames 0 -o flame.webp", 1, "needs at least one frame"},
      {"--frames 2 --every 3 -o flame.gif", 1, "needs at least one frame"},
      {"--frames 2 -o /no/such/folder/flame.gif", 2, "cannot create the file"},
      {"--frames 2 -o /no/such/folder/flame.webp", 2, "cannot create the file"},
      {"--quality 101 -o flame.webp", 1, "--quality wants"},
      {"--quality -1 -o flame.webp", 1, "--quality wants"},
      {"--quality 50 -o flame.gif", 1, "--quality only applies"},
      {"--quality 50", 1, "--quality only applies"},
      {"--threads 9", 1, "--threads wants"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Args);
    const TRun r = Render(c.Args);
    EXPECT_EQ(r.Status, c.Status) << r.Out;
    EXPECT_NE(r.Out.find(c.Says), std::string::npos) << r.Out;
  }
  EXPECT_FALSE(fs::exists("flame.gif"));
  EXPECT_FALSE(fs::exists("flame.webp"));
}

// The progress line shows on a terminal only, and only for a render longer
// than a second; the terminal is a pseudo-terminal made by script(1).
TEST(RenderAnimation, ProgressLineOnATerminalOnly) {
  if (std::system("command -v script >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "script(1) is not installed";
  const std::string args =
      "--no-startup --emitters 20000 --desktop 1280x720 --frames 400 --checksum";

  const auto t0 = std::chrono::steady_clock::now();
  const TRun piped = Render(args);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  ASSERT_EQ(piped.Status, 0) << piped.Out;
  EXPECT_EQ(piped.Out.find('\r'), std::string::npos) << piped.Out;
  EXPECT_EQ(piped.Out.find("frame "), std::string::npos) << piped.Out;
  if (seconds < 1.5)
    GTEST_SKIP() << "the render took " << seconds << " s here: too short to show a progress line";

  const std::string command =
      std::string("script -qefc \"'") + QUELMA_RENDER + "' " + args + "\" /dev/null 2>&1";
  TRun tty;
  FILE* p = popen(command.c_str(), "r");
  ASSERT_NE(p, nullptr);
  char buf[4096];
  std::size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0)
    tty.Out.append(buf, n);
  const int st = pclose(p);
  ASSERT_TRUE(WIFEXITED(st) && WEXITSTATUS(st) == 0) << tty.Out;
  EXPECT_NE(tty.Out.find("\rframe "), std::string::npos) << tty.Out;
  EXPECT_NE(tty.Out.find(" of 400, "), std::string::npos) << tty.Out;
  EXPECT_NE(tty.Out.find(" s left"), std::string::npos) << tty.Out;
  // Blanked before the program's last words, which start on a clean line.
  const std::size_t last = tty.Out.rfind("\rframe ");
  const std::size_t checksum = tty.Out.find("checksum: ");
  ASSERT_NE(checksum, std::string::npos) << tty.Out;
  EXPECT_LT(last, checksum);
  const std::string between = tty.Out.substr(last + 1, checksum - last - 1);
  ASSERT_GE(between.size(), 2u);
  EXPECT_EQ(between.back(), '\r') << between;
  EXPECT_EQ(between.find_first_not_of(' ', between.find('\r') + 1), between.size() - 1) << between;
}
