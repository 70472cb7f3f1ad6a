#include "RenderOptions.h"

#include <charconv>
#include <string_view>

#include "AnimatedOutput.h"
#include "FrameImage.h"
#include "FrameWorkers.h"
#include "Soak.h"
#include "StateFile.h"

const char* RenderUsage =
    "Usage: quelma-render [options] [STATE_FILE ...]\n"
    "Runs the flame engine without a display: loads Startup.quelma and the given\n"
    "state files in order, runs the frames and writes them as PNG pictures or as\n"
    "one animated WebP or GIF picture.\n"
    "\n"
    "  --no-startup          do not load Startup.quelma first\n"
    "  --desktop WxH         desktop size in pixels, default 1920x1080; the emitter\n"
    "                        origin is its centre (--size is the same)\n"
    "  --frames N            ticks to run, default 90 (0: load, then save or exit)\n"
    "  -o, --out FILE        where the frames go, by the name's extension:\n"
    "                        .png  PNG pictures; a pattern with %d, %4d or %04d\n"
    "                              (e.g. out/%04d.png) writes every frame under its\n"
    "                              number, a plain name only the last frame\n"
    "                        .webp one animated picture of all the frames, lossy\n"
    "                              (--quality) with alpha\n"
    "                        .gif  one animated picture of all the frames, 255\n"
    "                              colours per frame; pixels less than half opaque\n"
    "                              are transparent\n"
    "                        Each frame is the flame surface with straight (un-\n"
    "                        premultiplied) alpha. An animation loops forever; its\n"
    "                        frames are the size of the whole flame over the run\n"
    "  --every K             with a numbered pattern or an animation, write every\n"
    "                        K-th frame only (an animation shows each K times longer)\n"
    "  --fps N               an animation's frames per second, 1 to 1000, default the\n"
    "                        style's frame rate; the engine still steps by the style's\n"
    "                        frame time. GIF keeps at most 50: faster frames are\n"
    "                        dropped\n"
    "  --quality N           a WebP animation's quality, 0 (smallest) to 100 (best),\n"
    "                        default 80\n"
    "  --background RRGGBB   composite each frame over an opaque colour\n"
    "  --desktop-frames      write desktop-sized frames with the flame at its screen\n"
    "                        position\n"
    "  --emitters N          add N emitters (at most 20000) at random desktop\n"
    "                        positions; raises the style's max count to N if needed\n"
    "  --import PICTURE      after the state files, turn a BMP, PNG, TGA, JPEG, GIF\n"
    "                        or WebP picture into the art (one emitter per sample;\n"
    "                        status 2 when it gives none)\n"
    "  --max-size N          samples on the picture's longer side, 0 to 128,\n"
    "                        default 128\n"
    "  --scaling N           emitter spacing in hundredths of a pixel, 100 to 1000,\n"
    "                        default 400\n"
    "  --keep-style          keep the style (default: set a style suited to pictures)\n"
    "  --mask-only           with a 32-bit picture, use only its alpha and keep the\n"
    "                        style's colour\n"
    "  --save FILE           write a state file (.quelma) after the last frame\n"
    "  --decimal-separator S decimal separator of floats in state files, default '.'\n"
    "  --bench               print milliseconds per frame (min, median, max) for the\n"
    "                        whole tick and for Render alone, frames per second,\n"
    "                        emitter count, cover size, kernels and threads;\n"
    "                        writes no frames\n"
    "  --threads N           threads that render each frame, 1 to 8; 0 (the\n"
    "                        default) picks by the flame's size: one up to 1920x1080\n"
    "                        pixels, one more per further 1920x1080, at most the\n"
    "                        processor's. Any number gives the same frames\n"
    "  --checksum            print a checksum of the last frame's surface (its\n"
    "                        premultiplied pixels) and its size\n"
    "  --soak SECONDS        run the engine that long under random use (style\n"
    "                        changes, strokes, deletions, state files saved and read\n"
    "                        back, pictures imported), checking it after every frame;\n"
    "                        prints figures every minute; exit status 3 on a fault\n"
    "  --help                show this help\n"
    "A render that takes longer than a second shows its progress on standard error\n"
    "when that is a terminal.\n"
    "  --version             show the version\n"
    "\n"
    "The program's random generator always starts at 0, so the same inputs give\n"
    "the same frames.\n"
    "With --frames 0 --save FILE, --import turns a picture into a state file.\n"
    "Startup.quelma is the first one found in $XDG_DATA_HOME/quelma (by default\n"
    "~/.local/share/quelma), each of $XDG_DATA_DIRS/quelma (/usr/local/share and\n"
    "/usr/share), share/quelma of the program's prefix and, in a build tree, Data/\n"
    "beside the program.\n"
    "Exit status: 0 done, 1 bad usage, 2 a file could not be read or written,\n"
    "3 the soak found a fault.\n";

namespace {

template <class T> bool ParseNumber(std::string_view text, T& out, T lo, T hi) {
  T v{};
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc() || end != text.data() + text.size() || v < lo || v > hi)
    return false;
  out = v;
  return true;
}

} // namespace

std::optional<TRenderOptions> ParseRenderOptions(int argc, char** argv, std::string& Error) {
  TRenderOptions o;
  bool optionsEnd = false;
  std::string importOption; // the last option that only means something with --import
  bool qualityGiven = false;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (optionsEnd || arg.empty() || arg[0] != '-' || arg == "-") {
      o.Files.push_back(arg);
      continue;
    }
    if (arg == "--") {
      optionsEnd = true;
      continue;
    }
    std::string value;
    bool hasInlineValue = false;
    if (const auto eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
      value = arg.substr(eq + 1);
      arg = arg.substr(0, eq);
      hasInlineValue = true;
    }
    auto needValue = [&]() -> bool {
      if (hasInlineValue)
        return true;
      if (i + 1 >= argc) {
        Error = arg + " needs a value";
        return false;
      }
      value = argv[++i];
      return true;
    };
    auto flag = [&]() -> bool {
      if (hasInlineValue) {
        Error = arg + " takes no value";
        return false;
      }
      return true;
    };

    if (arg == "--help" || arg == "-h") {
      if (!flag())
        return std::nullopt;
      o.Help = true;
    } else if (arg == "--version") {
      if (!flag())
        return std::nullopt;
      o.Version = true;
    } else if (arg == "--no-startup") {
      if (!flag())
        return std::nullopt;
      o.NoStartup = true;
    } else if (arg == "--desktop-frames") {
      if (!flag())
        return std::nullopt;
      o.DesktopFrames = true;
    } else if (arg == "--bench") {
      if (!flag())
        return std::nullopt;
      o.Bench = true;
    } else if (arg == "--checksum") {
      if (!flag())
        return std::nullopt;
      o.Checksum = true;
    } else if (arg == "--desktop" || arg == "--size") {
      if (!needValue())
        return std::nullopt;
      const auto x = value.find_first_of("xX");
      int32_t w = 0, h = 0;
      if (x == std::string::npos ||
          !ParseNumber<int32_t>(std::string_view(value).substr(0, x), w, 16, MaxDesktopSide) ||
          !ParseNumber<int32_t>(std::string_view(value).substr(x + 1), h, 16, MaxDesktopSide) ||
          int64_t(w) * h > MaxDesktopPixels) {
        Error = arg +
                " wants WIDTHxHEIGHT, each 16 to 16384 and at most 8192x8192 pixels in all, not '" +
                value + "'";
        return std::nullopt;
      }
      o.DesktopWidth = w;
      o.DesktopHeight = h;
    } else if (arg == "--soak") {
      if (!needValue())
        return std::nullopt;
      if (!ParseNumber<int64_t>(value, o.Soak, 1, MaxSoakSeconds)) {
        Error = "--soak wants a whole number of seconds from 1 to 604800, not '" + value + "'";
        return std::nullopt;
      }
    } else if (arg == "--frames") {
      if (!needValue())
        return std::nullopt;
      if (!ParseNumber<int64_t>(value, o.Frames, 0, MaxFrames)) {
        Error = "--frames wants a whole number from 0 to 10000000, not '" + value + "'";
        return std::nullopt;
      }
    } else if (arg == "--every") {
      if (!needValue())
        return std::nullopt;
      if (!ParseNumber<int64_t>(value, o.Every, 1, MaxFrames)) {
        Error = "--every wants a whole number of at least 1, not '" + value + "'";
        return std::nullopt;
      }
    } else if (arg == "--threads") {
      if (!needValue())
        return std::nullopt;
      if (!ParseNumber<int32_t>(value, o.Threads, 0, MaxFrameThreads)) {
        Error = "--threads wants a whole number from 0 to " + std::to_string(MaxFrameThreads) +
                ", not '" + value + "'";
        return std::nullopt;
      }
    } else if (arg == "--quality") {
      if (!needValue())
        return std::nullopt;
      if (!ParseNumber<int32_t>(value, o.Quality, 0, 100)) {
        Error = "--quality wants a whole number from 0 to 100, not '" + value + "'";
        return std::nullopt;
      }
      qualityGiven = true;
    } else if (arg == "--fps") {
      if (!needValue())
        return std::nullopt;
      if (!ParseNumber<int32_t>(value, o.Fps, 1, MaxFps)) {
        Error = "--fps wants a whole number from 1 to 1000, not '" + value + "'";
        return std::nullopt;
      }
    } else if (arg == "--emitters") {
      if (!needValue())
        return std::nullopt;
      if (!ParseNumber<int32_t>(value, o.Emitters, 0, MaxEmitterOption)) {
        Error = "--emitters wants a whole number from 0 to 20000, not '" + value + "'";
        return std::nullopt;
      }
    } else if (arg == "-o" || arg == "--out") {
      if (!needValue())
        return std::nullopt;
      const auto pattern = TFramePattern::Parse(value);
      if (value.empty() || !pattern) {
        Error = arg + " wants a file name with at most one %d (or %4d, %04d), not '" + value + "'";
        return std::nullopt;
      }
      const auto kind = OutputKindOf(value);
      if (!kind) {
        Error = arg + " writes .png frames or an animated .webp or .gif picture; '" + value +
                "' names none of them";
        return std::nullopt;
      }
      if (*kind != TOutputKind::Png && pattern->HasNumber()) {
        Error =
            arg + " '" + value + "': an animation holds every frame in one file; leave out the %d";
        return std::nullopt;
      }
      o.Out = value;
    } else if (arg == "--background") {
      if (!needValue())
        return std::nullopt;
      std::string_view v = value;
      if (!v.empty() && v[0] == '#')
        v.remove_prefix(1);
      uint32_t rgb = 0;
      const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), rgb, 16);
      if (v.size() != 6 || ec != std::errc() || end != v.data() + v.size()) {
        Error = "--background wants a colour RRGGBB in hexadecimal, not '" + value + "'";
        return std::nullopt;
      }
      o.Background = rgb;
    } else if (arg == "--save") {
      if (!needValue())
        return std::nullopt;
      if (!HasStateFileExtension(value)) {
        Error = "--save wants a file name ending in .quelma, not '" + value + "'";
        return std::nullopt;
      }
      o.Save = value;
    } else if (arg == "--decimal-separator") {
      if (!needValue())
        return std::nullopt;
      if (value.empty() || value.size() > 8 ||
          value.find_first_of("0123456789+-eE \t\r\n<>&\"'") != std::string::npos) {
        Error = "--decimal-separator wants one separator character such as . or ,";
        return std::nullopt;
      }
      o.DecimalSeparator = value;
    } else if (arg == "--import") {
      if (!needValue())
        return std::nullopt;
      if (value.empty()) {
        Error = "--import wants a picture file name";
        return std::nullopt;
      }
      o.Import = value;
    } else if (arg == "--max-size") {
      if (!needValue())
        return std::nullopt;
      if (!ParseNumber<int>(value, o.ImportSettings.MaxSize, ImportMaxSizeMin, ImportMaxSizeMax)) {
        Error = "--max-size wants a whole number from 0 to 128, not '" + value + "'";
        return std::nullopt;
      }
      importOption = arg;
    } else if (arg == "--scaling") {
      if (!needValue())
        return std::nullopt;
      if (!ParseNumber<int>(value, o.ImportSettings.Scaling, ImportScalingMin, ImportScalingMax)) {
        Error = "--scaling wants a whole number from 100 to 1000, not '" + value + "'";
        return std::nullopt;
      }
      importOption = arg;
    } else if (arg == "--keep-style") {
      if (!flag())
        return std::nullopt;
      o.ImportSettings.ResetStyle = false;
      importOption = arg;
    } else if (arg == "--mask-only") {
      if (!flag())
        return std::nullopt;
      o.ImportSettings.MaskOnly = true;
      importOption = arg;
    } else if (arg == "--seed") {
      Error = "there is no --seed: the random generator always starts at 0";
      return std::nullopt;
    } else {
      Error = "unknown option '" + arg + "'";
      return std::nullopt;
    }
  }
  if (o.Fps > 0 && (o.Out.empty() || OutputKindOf(o.Out) == TOutputKind::Png)) {
    Error = "--fps only applies to an animated .webp or .gif --out";
    return std::nullopt;
  }
  if (qualityGiven && (o.Out.empty() || OutputKindOf(o.Out) != TOutputKind::WebP)) {
    Error = "--quality only applies to a .webp --out";
    return std::nullopt;
  }
  if (!importOption.empty() && o.Import.empty()) {
    Error = importOption + " only applies with --import";
    return std::nullopt;
  }
  return o;
}
