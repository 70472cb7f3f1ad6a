// quelma-render: the flame engine without a display.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "AnimatedOutput.h"
#include "BitmapImport.h"
#include "DIBmp.h"
#include "DataFolders.h"
#include "FlameEngine.h"
#include "FrameImage.h"
#include "Progress.h"
#include "Random.h"
#include "RenderOptions.h"
#include "SimdKernels.h"
#include "Soak.h"
#include "StateFile.h"
#include "StyleMapping.h"
#include "Version.h"

namespace fs = std::filesystem;

namespace {

constexpr int ExitOk = 0;
constexpr int ExitUsage = 1;
constexpr int ExitFile = 2;

void Fail(const std::string& Message) {
  std::cerr << "quelma-render: " << Message << "\n";
}

bool LoadState(const std::string& File, TPartForm& Form, TStyleSettings& Style,
               const TRenderOptions& O) {
  std::error_code ec;
  if (!HasStateFileExtension(File)) {
    Fail(File + ": not a state file (the name must end in .quelma)");
    return false;
  }
  if (!fs::exists(File, ec)) {
    Fail(File + ": no such file");
    return false;
  }
  TStateFileOptions options;
  options.DecimalSeparator = O.DecimalSeparator;
  try {
    if (!LoadSaveState(File, false, Form, Style, options)) {
      Fail(File + ": no \"QUELMA_state\" element: not a state file");
      return false;
    }
  } catch (const EStateFileError& e) {
    Fail(File + ": " + e.what());
    return false;
  }
  return true;
}

// Emitters spread over the desktop by a generator of their own, so that the
// program's generator keeps its sequence.
void AddRandomEmitters(TPartForm& Form, TStyleSettings& Style, int32_t N, int32_t W, int32_t H) {
  if (N <= 0)
    return;
  if (Form.FMaxCount < N) {
    Style.MaxCount = std::min(N, 20000);
    YMotionSelChange(Form, Style);
  }
  std::mt19937 gen(20000);
  auto real = [&] { return double(gen()) / 4294967296.0; };
  for (int32_t i = 0; i < N; ++i) {
    const float x = float(real() * W - W / 2.0);
    const float y = float(real() * H - H / 2.0);
    Form.AddEmitter(nullptr, 256, x, y);
  }
}

struct TStats {
  double Min = 0, Median = 0, Max = 0;
};

TStats Summarise(std::vector<double> ms) {
  TStats s;
  if (ms.empty())
    return s;
  std::sort(ms.begin(), ms.end());
  s.Min = ms.front();
  s.Max = ms.back();
  const std::size_t n = ms.size();
  s.Median = n % 2 ? ms[n / 2] : (ms[n / 2 - 1] + ms[n / 2]) / 2;
  return s;
}

// FNV-1a, 64 bits, over the rows of the surface's pixels.
uint64_t SurfaceChecksum(const TDIB& S) {
  uint64_t h = 14695981039346656037ull;
  if (S.BitCount != 32 || S.PixelMemory == nullptr)
    return h;
  for (int32_t y = 0; y < S.Height; ++y) {
    const auto* p = reinterpret_cast<const uint8_t*>(S.PixelAddress(0, y));
    for (int32_t i = 0; i < S.Width * 4; ++i)
      h = (h ^ p[i]) * 1099511628211ull;
  }
  return h;
}

void PrintStats(const char* What, const TStats& s) {
  std::printf("%-7s ms per frame: min %.3f  median %.3f  max %.3f  (%.1f frames/s at the median)\n",
              What, s.Min, s.Median, s.Max, s.Median > 0 ? 1000.0 / s.Median : 0.0);
}

// The engine with its display and the style's slider positions.
struct TScene {
  TSurfaceDisplay Display;
  TPartForm Form{Display};
  TStyleSettings Style;
};

// The scene the options ask for: the start-up file and the given state files,
// the imported picture, the random emitters. Nullptr after a failure it has
// reported.
std::unique_ptr<TScene> BuildScene(const TRenderOptions& O) {
  auto scene = std::make_unique<TScene>();
  TPartForm& form = scene->Form;
  TStyleSettings& style = scene->Style;
  form.DesktopRect = MakeRect(0, 0, O.DesktopWidth, O.DesktopHeight);
  form.OriginX = float(O.DesktopWidth / 2.0);
  form.OriginY = float(O.DesktopHeight / 2.0);
  form.FThreads = O.Threads;
  ApplyStyle(form, style);

  std::vector<std::string> files;
  if (!O.NoStartup) {
    const std::string startup = FindDataFile(StartupFileName, RunningProgramFolder());
    if (startup.empty())
      Fail("Startup.quelma not found in the data folders; starting from the default style "
           "without art");
    else
      files.push_back(startup);
  }
  files.insert(files.end(), O.Files.begin(), O.Files.end());
  for (const std::string& f : files)
    if (!LoadState(f, form, style, O))
      return nullptr;

  if (!O.Import.empty()) {
    // Loaded here rather than by ImportPictureFile so that a picture too
    // large to load is named as such rather than as a failed allocation.
    TDIBmp picture;
    try {
      picture.LoadFromFile(O.Import);
    } catch (const std::bad_alloc&) {
      Fail(O.Import + ": the picture is too large");
      return nullptr;
    } catch (const std::exception& e) {
      Fail(O.Import + ": " + e.what());
      return nullptr;
    }
    try {
      const TImportResult imported = ImportBitmap(form, picture, O.ImportSettings, style);
      if (!imported.Imported()) {
        Fail(O.Import + ": " + imported.Why);
        return nullptr;
      }
    } catch (const std::exception& e) {
      Fail(O.Import + ": " + e.what());
      return nullptr;
    }
  }

  AddRandomEmitters(form, style, O.Emitters, O.DesktopWidth, O.DesktopHeight);
  return scene;
}

// Runs the frames into one animated picture. Its size must be known before
// the first frame, but the flame's cover may still grow (falling or attracted
// emitters): then the run goes on without writing to learn the final cover,
// and starts over with a fresh scene, which repeats the same frames.
int RenderAnimation(const TRenderOptions& O, TOutputKind Kind, std::unique_ptr<TScene>& Scene,
                    uint32_t StartSeed, TProgressLine& Progress) {
  const std::string name = TFramePattern::Parse(O.Out)->Name(0);
  const double frameMs =
      double(O.Every) * (O.Fps > 0 ? 1000.0 / O.Fps : double(Scene->Form.FFrameTime));
  // The canvas in screen coordinates; empty until the first frame unless
  // desktop-sized.
  TRect canvas;
  bool created = false; // the file exists by our hand
  if (O.DesktopFrames)
    canvas = Scene->Form.DesktopRect;
  for (int pass = 0; pass < 2; ++pass) {
    if (pass == 1) {
      Progress.AddToTotal(O.Frames);
      Scene.reset();
      RandSeed = StartSeed; // the same draws again, so the same frames
      Scene = BuildScene(O);
      if (!Scene)
        return ExitFile;
    }
    TSurfaceDisplay& display = Scene->Display;
    std::unique_ptr<IAnimatedOutput> out;
    bool grown = false;
    try {
      for (int64_t frame = 1; frame <= O.Frames; ++frame) {
        Scene->Form.Tick(0);
        Progress.Frame();
        if (frame % O.Every != 0)
          continue;
        const TRect bounds = display.FLayeredBounds;
        if (IsRectEmpty(canvas))
          canvas = bounds;
        const bool inside = bounds.Left >= canvas.Left && bounds.Top >= canvas.Top &&
                            bounds.Right <= canvas.Right && bounds.Bottom <= canvas.Bottom;
        if (!inside && pass == 0 && !O.DesktopFrames) {
          canvas = MakeRect(std::min(canvas.Left, bounds.Left), std::min(canvas.Top, bounds.Top),
                            std::max(canvas.Right, bounds.Right),
                            std::max(canvas.Bottom, bounds.Bottom));
          grown = true;
          out.reset();
        }
        if (grown)
          continue;
        if (!out) {
          out = OpenAnimatedOutput(Kind, name, canvas.Width(), canvas.Height(),
                                   O.Background.has_value(), O.Quality);
          created = true;
        }
        const int32_t x = bounds.Left - canvas.Left, y = bounds.Top - canvas.Top;
        const TFrameImage image =
            O.Background
                ? FrameOverBackground(display.FSurface, *O.Background, x, y, canvas.Width(),
                                      canvas.Height())
                : FrameFromSurface(display.FSurface, x, y, canvas.Width(), canvas.Height());
        out->AddFrame(image, frameMs);
      }
      if (!grown) {
        out->Finish();
        return ExitOk;
      }
    } catch (const std::exception& e) {
      out.reset();
      Progress.Clear();
      Fail(name + ": " + e.what());
      if (created)
        std::remove(name.c_str()); // no half-written picture
      return ExitFile;
    }
  }
  // The second pass repeats the first, so its frames always fit.
  return ExitOk;
}

} // namespace

int main(int argc, char** argv) {
  std::string error;
  const auto parsed = ParseRenderOptions(argc, argv, error);
  if (!parsed) {
    Fail(error);
    std::cerr << "Try 'quelma-render --help'.\n";
    return ExitUsage;
  }
  const TRenderOptions& O = *parsed;
  if (O.Help) {
    std::fputs(RenderUsage, stdout);
    return ExitOk;
  }
  if (O.Version) {
    std::printf("quelma-render %s\n", QUELMA_VERSION);
    return ExitOk;
  }
  if (O.Soak > 0)
    return RunSoak(O, O.NoStartup ? std::string()
                                  : FindDataFile(StartupFileName, RunningProgramFolder()));
  if (O.Bench && !O.Out.empty()) {
    Fail("--bench writes no frames: leave out --out");
    return ExitUsage;
  }
  const auto pattern = TFramePattern::Parse(O.Out);
  const TOutputKind kind = O.Out.empty() ? TOutputKind::Png : *OutputKindOf(O.Out);
  const bool animated = kind != TOutputKind::Png;
  if (animated && O.Frames / O.Every == 0) {
    Fail("an animation needs at least one frame: --frames " + std::to_string(O.Frames) +
         (O.Every > 1 ? " with --every " + std::to_string(O.Every) : std::string()) +
         " writes none");
    return ExitUsage;
  }

  const uint32_t startSeed = RandSeed;
  std::unique_ptr<TScene> scene = BuildScene(O);
  if (!scene)
    return ExitFile;

  TProgressLine progress(!O.Bench && O.Frames > 1 && ::isatty(2), O.Frames);
  if (animated) {
    const int status = RenderAnimation(O, kind, scene, startSeed, progress);
    progress.Clear();
    if (status != ExitOk)
      return status;
  }
  std::vector<double> tickMs;
  if (O.Bench)
    tickMs.reserve(std::size_t(O.Frames));
  TSurfaceDisplay& display = scene->Display;
  TPartForm& form = scene->Form;
  for (int64_t frame = 1; frame <= O.Frames && !animated; ++frame) {
    const auto t0 = std::chrono::steady_clock::now();
    // Nothing is swallowed off-line: every tick is handled.
    form.Tick(0);
    if (O.Bench) {
      tickMs.push_back(
          std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
      continue;
    }
    progress.Frame();

    const bool numbered = pattern && pattern->HasNumber();
    const bool write = !O.Out.empty() && (numbered ? frame % O.Every == 0 : frame == O.Frames);
    if (!write)
      continue;
    const TDIB& surface = display.FSurface;
    const TRect bounds = display.FLayeredBounds;
    int32_t x = 0, y = 0, w = 0, h = 0;
    if (O.DesktopFrames) {
      x = bounds.Left - form.DesktopRect.Left;
      y = bounds.Top - form.DesktopRect.Top;
      w = form.DesktopRect.Width();
      h = form.DesktopRect.Height();
    }
    const TFrameImage image = O.Background ? FrameOverBackground(surface, *O.Background, x, y, w, h)
                                           : FrameFromSurface(surface, x, y, w, h);
    const std::string name = pattern->Name(frame);
    try {
      WritePng(name, image);
    } catch (const std::exception& e) {
      progress.Clear();
      Fail(name + ": " + e.what());
      return ExitFile;
    }
  }
  progress.Clear();

  if (O.Bench) {
    // Render alone on the scene the ticks left behind.
    std::vector<double> renderMs;
    renderMs.reserve(tickMs.size());
    for (std::size_t i = 0; i < tickMs.size(); ++i) {
      const auto t0 = std::chrono::steady_clock::now();
      form.Render();
      renderMs.push_back(
          std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
    }
    std::printf("emitters: %d  cover: %dx%d  frames: %lld  kernels: %s  threads: %d\n",
                form.FEmitters.Count, display.FSurface.Width, display.FSurface.Height,
                (long long)O.Frames, KernelPathName(ActiveKernelPath()),
                ActiveKernelPath() == TKernelPath::Reference
                    ? 1
                    : form.FrameThreads(display.FSurface.Width, display.FSurface.Height));
    PrintStats("tick", Summarise(tickMs));
    PrintStats("render", Summarise(renderMs));
  }

  if (O.Checksum)
    std::printf("checksum: %016llx  size: %dx%d\n",
                (unsigned long long)SurfaceChecksum(display.FSurface), display.FSurface.Width,
                display.FSurface.Height);

  if (!O.Save.empty()) {
    TStateFileOptions options;
    options.DecimalSeparator = O.DecimalSeparator;
    try {
      LoadSaveState(O.Save, true, form, scene->Style, options);
    } catch (const EStateFileError& e) {
      Fail(O.Save + ": " + e.what());
      return ExitFile;
    }
  }
  return ExitOk;
}
