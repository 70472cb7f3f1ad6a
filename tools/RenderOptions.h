#pragma once
// Command line of quelma-render.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "BitmapImport.h"

struct TRenderOptions {
  bool NoStartup = false;
  int32_t DesktopWidth = 1920;
  int32_t DesktopHeight = 1080;
  int64_t Frames = 90;
  std::string Out; // frame file pattern or animation; empty: no frames written
  int64_t Every = 1;
  int32_t Fps = 0;                    // frames per second of an animation; 0: the style's
  int32_t Quality = 80;               // of a WebP animation, 0 to 100
  int32_t Threads = 0;                // per frame; 0: by the flame's size
  std::optional<uint32_t> Background; // 0xRRGGBB
  bool DesktopFrames = false;
  int32_t Emitters = 0;
  std::string Save;
  std::string DecimalSeparator = ".";
  bool Bench = false;
  bool Checksum = false;
  bool Help = false;
  bool Version = false;
  std::vector<std::string> Files;
  std::string Import;             // picture turned into art after the state files
  TImportSettings ImportSettings; // --max-size, --scaling, --keep-style, --mask-only
  int64_t Soak = 0;               // --soak SECONDS: the soak run instead of frames (Soak.h)
};

// Most frames, emitters and desktop pixels the tool accepts.
inline constexpr int64_t MaxFrames = 10'000'000;
inline constexpr int32_t MaxEmitterOption = 20000; // the engine keeps no more
inline constexpr int32_t MaxDesktopSide = 16384;
inline constexpr int64_t MaxDesktopPixels = int64_t(8192) * 8192;
inline constexpr int32_t MaxFps = 1000;

// Parses argv[1..]; on a usage error returns nullopt and sets Error.
std::optional<TRenderOptions> ParseRenderOptions(int argc, char** argv, std::string& Error);

extern const char* RenderUsage;
