#include "Soak.h"

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "BitmapImport.h"
#include "DIBmp.h"
#include "DataFolders.h"
#include "FlameEngine.h"
#include "FrameImage.h"
#include "StateFile.h"
#include "StyleMapping.h"

namespace fs = std::filesystem;

#if defined(__SANITIZE_ADDRESS__)
#define QUELMA_SOAK_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUELMA_SOAK_ASAN 1
#endif
#endif

namespace {

using Clock = std::chrono::steady_clock;

// Resident memory of this process in bytes, 0 when it cannot be read.
int64_t ResidentBytes() {
  std::ifstream statm("/proc/self/statm");
  int64_t size = 0, resident = 0;
  if (!(statm >> size >> resident))
    return 0;
  return resident * int64_t(::sysconf(_SC_PAGESIZE));
}

double Megabytes(int64_t Bytes) {
  return double(Bytes) / (1024.0 * 1024.0);
}

std::string ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct TCounts {
  int64_t Frames = 0, Actions = 0, StyleChanges = 0, Strokes = 0, Added = 0, Deletions = 0,
          ArtOps = 0, Saves = 0, Reloads = 0, ShippedLoads = 0, Imports = 0;
  int32_t MostEmitters = 0;
};

class TSoak {
public:
  TSoak(const TRenderOptions& O, fs::path Dir) : O(O), Dir(std::move(Dir)) {
    Form.OnDebugCaption = [this](const std::string& Caption) { LastCaption = Caption; };
  }

  TSurfaceDisplay Display;
  TPartForm Form{Display};
  TStyleSettings Style;
  TCounts Counts;
  std::string Fault; // the first broken invariant

  bool LoadFile(const std::string& File, std::string& Error) {
    try {
      if (!LoadSaveState(File, false, Form, Style, FileOptions(O.DecimalSeparator))) {
        Error = File + ": not a state file";
        return false;
      }
    } catch (const EStateFileError& e) {
      Error = File + ": " + e.what();
      return false;
    }
    return true;
  }

  // One frame: the timer may have swallowed a few ticks before it.
  void Frame() {
    Form.Tick(int32_t(Pick(0, 7) == 0 ? Pick(1, 3) : 0));
    ++Counts.Frames;
    if (Fault.empty() && Form.FDebug && LastCaption.rfind("Emitters: ", 0) != 0)
      Fault = "no debug readout after a frame in debug mode";
    Check("after a frame");
  }

  // One random action of a user (or of a file, or of the desktop icons).
  void Act() {
    // The first sixteen actions go through every kind once, so that even a
    // short soak uses them all.
    const int64_t kind = Counts.Actions < 16 ? Counts.Actions : Pick(0, 15);
    ++Counts.Actions;
    switch (kind) {
    case 0:
    case 1:
    case 2:
    case 3:
      ChangeStyleValue();
      break;
    case 4:
    case 5:
    case 6:
      Stroke();
      break;
    case 7:
      DeleteSome();
      break;
    case 8:
      ArtOperation();
      break;
    case 9:
    case 10:
      SaveAndReload();
      break;
    case 11:
      LoadShippedFile();
      break;
    case 12:
      ImportPicture();
      break;
    case 13:
      ToggleCheck();
      break;
    case 14:
      Style = TStyleSettings{};
      ApplyStyle(Form, Style);
      ++Counts.StyleChanges;
      break;
    default:
      LowerMaxCount();
      break;
    }
    Check("after an action");
  }

  // Checks what must hold whatever happened; records the first fault.
  void Check(const char* When) {
    if (!Fault.empty())
      return;
    auto fail = [&](const std::string& What) { Fault = What + " (" + When + ")"; };
    Counts.MostEmitters = std::max(Counts.MostEmitters, Form.FEmitters.Count);
    if (Form.FEmitters.Count > Form.FMaxCount)
      return fail("emitter count " + std::to_string(Form.FEmitters.Count) + " above FMaxCount " +
                  std::to_string(Form.FMaxCount));
    for (int32_t i = 0; i < Form.FEmitters.Count; ++i) {
      const TEmitter& e = *Form.Emitter(i);
      if (!std::isfinite(e.X) || !std::isfinite(e.Y) || std::isnan(e.Fall) || std::isnan(e.Life))
        return fail("emitter " + std::to_string(i) +
                    " holds a position, fall or life that is no number");
      if (e.Alpha < 0 || e.Alpha > 65536 || e.BaseAlpha < 0 || e.BaseAlpha > 256)
        return fail("emitter " + std::to_string(i) + " has an intensity out of range");
      if (e.Style != &e.OwnStyle && e.Style != &Form.FStyle)
        return fail("emitter " + std::to_string(i) +
                    " follows a style that is neither its own nor the shared one");
    }
    const TRect b = Display.FLayeredBounds;
    const TRect& d = Form.DesktopRect;
    const bool reset = b.Left == 0 && b.Top == 0 && b.Right == 16 && b.Bottom == 16;
    if (!reset && (b.Left < d.Left || b.Top < d.Top || b.Right > d.Right || b.Bottom > d.Bottom))
      return fail("the flame window (" + RectText(b) + ") leaves the desktop (" + RectText(d) +
                  ")");
    const TDIBmp& s = Display.FSurface;
    if (s.Width != b.Width() || s.Height != b.Height() || s.BitCount != 32)
      return fail("the surface (" + std::to_string(s.Width) + "x" + std::to_string(s.Height) +
                  ") does not match the flame window (" + RectText(b) + ")");
  }

private:
  const TRenderOptions& O;
  const fs::path Dir;
  std::mt19937 Gen{0x50AC}; // the soak's own choices; the engine keeps its sequence
  std::string LastCaption;
  int Saved = 0;

  int64_t Pick(int64_t Lo, int64_t Hi) {
    return std::uniform_int_distribution<int64_t>(Lo, Hi)(Gen);
  }
  double Real(double Lo, double Hi) { return std::uniform_real_distribution<double>(Lo, Hi)(Gen); }

  static std::string RectText(const TRect& r) {
    return std::to_string(r.Left) + ", " + std::to_string(r.Top) + ", " + std::to_string(r.Right) +
           ", " + std::to_string(r.Bottom);
  }

  static TStateFileOptions FileOptions(const std::string& Separator) {
    TStateFileOptions o;
    o.DecimalSeparator = Separator;
    return o;
  }

  // A slider moved by the user (its handler runs), sometimes past its ends
  // as a value set from elsewhere would be.
  void ChangeStyleValue() {
    ++Counts.StyleChanges;
    std::vector<const TStyleValue*> sliders;
    for (const TStyleValue& v : StyleValues)
      if (v.Slider)
        sliders.push_back(&v);
    const TStyleValue& v = *sliders[std::size_t(Pick(0, int64_t(sliders.size()) - 1))];
    const int span = v.Max - v.Min;
    Style.*v.Slider = int(Pick(v.Min - span / 8, v.Max + span / 8));
    Style = InRange(Style);
    if (v.Group == TStyleGroup::Animation) {
      if (v.Slider == &TStyleSettings::FPS)
        FPSSelChange(Form, Style);
      else
        GravitySelChange(Form, Style);
    } else {
      YMotionSelChange(Form, Style);
    }
  }

  void ToggleCheck() {
    ++Counts.StyleChanges;
    switch (Pick(0, 3)) {
    case 0:
      Style.Fat = !Style.Fat;
      IndPartBoxClick(Form, Style);
      break;
    case 1:
      Style.Independent = !Style.Independent;
      IndPartBoxClick(Form, Style);
      break;
    case 2:
      Style.Additive = !Style.Additive;
      YMotionSelChange(Form, Style);
      break;
    default:
      Style.Debug = !Style.Debug;
      DebugBoxClick(Form, Style);
      LastCaption.clear();
      break;
    }
  }

  // Emitters along a mouse path, as the drawing window adds them; now and
  // then far off the desktop.
  void Stroke() {
    ++Counts.Strokes;
    const double w = Form.DesktopRect.Width(), h = Form.DesktopRect.Height();
    const double reach = Pick(0, 20) == 0 ? 4.0 : 0.6;
    double x = Real(-w * reach, w * reach), y = Real(-h * reach, h * reach);
    const int32_t intensity = int32_t(std::vector<int>{256, 128, 64}[std::size_t(Pick(0, 2))]);
    for (int64_t n = Pick(1, Pick(0, 9) == 0 ? 3000 : 200); n > 0; --n) {
      Form.AddEmitter(nullptr, intensity, float(x), float(y));
      x += Real(-6, 6);
      y += Real(-6, 6);
      ++Counts.Added;
    }
  }

  void DeleteSome() {
    ++Counts.Deletions;
    if (Pick(0, 9) == 0) {
      Form.StartOver();
      return;
    }
    for (int64_t n = Pick(1, 500); n > 0 && Form.FEmitters.Count > 0; --n)
      Form.FEmitters.Delete(int32_t(Pick(0, Form.FEmitters.Count - 1)));
    Form.FChanged = true;
  }

  void LowerMaxCount() {
    ++Counts.StyleChanges;
    Style.MaxCount = int(Pick(0, 3) == 0 ? Pick(10, 200) : Pick(10, 20000));
    YMotionSelChange(Form, Style);
  }

  void ArtOperation() {
    ++Counts.ArtOps;
    switch (Pick(0, 3)) {
    case 0:
      Form.RotateArt();
      break;
    case 1:
      Form.CenterArt();
      break;
    case 2:
      Form.ClearFading();
      break;
    default:
      for (int64_t n = Pick(1, 20); n > 0; --n)
        Form.RotateArt();
      break;
    }
  }

  // Saves the state, reads it back and checks that what the program wrote
  // reads back unchanged.
  void SaveAndReload() {
    const std::string separator = Pick(0, 1) ? O.DecimalSeparator : std::string(",");
    const TStateFileOptions options = FileOptions(separator);
    const fs::path file = Dir / ("soak" + std::to_string(Saved++ % 3) + ".quelma");
    const std::string text = WriteStateText(Form, Style, options);
    const int32_t count = Form.FEmitters.Count;
    try {
      LoadSaveState(file.string(), true, Form, Style, options);
      ++Counts.Saves;
      if (ReadAll(file) != text) {
        Fault = "a saved state file differs from the document it should hold";
        return;
      }
      const TStyleSettings before = Style;
      LoadSaveState(file.string(), false, Form, Style, options);
      ++Counts.Reloads;
      // Emitters that followed the shared style come back with their own copy
      // while "Independent emitters" is on; everything else is as written.
      if (Style != before || Form.FEmitters.Count != count ||
          (!Form.FIndependent && WriteStateText(Form, Style, options) != text))
        Fault =
            "a state file the program wrote did not read back unchanged (" + file.string() + ")";
    } catch (const EStateFileError& e) {
      Fault = std::string("saving or reading back a state file: ") + e.what();
    }
  }

  void LoadShippedFile() {
    std::vector<fs::path> files;
    std::error_code ec;
    const std::string shipped = ShippedDataFolder(RunningProgramFolder());
    if (shipped.empty())
      return;
    for (const auto& entry : fs::directory_iterator(shipped, ec))
      if (HasStateFileExtension(entry.path().string()))
        files.push_back(entry.path());
    if (files.empty())
      return;
    std::sort(files.begin(), files.end());
    std::string error;
    if (!LoadFile(files[std::size_t(Pick(0, int64_t(files.size()) - 1))].string(), error))
      Fault = error;
    ++Counts.ShippedLoads;
  }

  // A picture written by the program (a random one, or the flame itself) and
  // imported back as art.
  void ImportPicture() {
    ++Counts.Imports;
    TImportSettings settings;
    settings.MaxSize = int(Pick(0, 128));
    settings.Scaling = int(Pick(100, 1000));
    settings.ResetStyle = Pick(0, 1) == 0;
    settings.MaskOnly = Pick(0, 3) == 0;
    fs::path file;
    try {
      if (Pick(0, 1)) {
        file = Dir / "flame.png";
        WritePng(file.string(), FrameFromSurface(Display.FSurface));
      } else {
        file = Dir / "picture.bmp";
        const int32_t w = int32_t(Pick(1, 300)), h = int32_t(Pick(1, 300));
        TDIBmp p(w, h, 32, true);
        const uint32_t base = uint32_t(Gen());
        for (int32_t y = 0; y < h; ++y)
          for (int32_t x = 0; x < w; ++x)
            *p.PixelAddress(x, y) =
                (x * 7 + y * 13) % 5 == 0 ? 0u : base ^ uint32_t(x * 0x10305 + y * 0x3011);
        if (Pick(0, 1)) {
          p.PixelFormat = MakePixelFormat(8, 8, 8);
          p.ConvertBitCount(24);
        }
        p.SaveToFile(file.string());
      }
    } catch (const std::exception& e) {
      Fault = std::string("writing a picture to import: ") + e.what();
      return;
    }
    TDIBmp picture;
    std::string why;
    try {
      picture.LoadFromFile(file.string());
      // A picture that becomes no emitter (Max size 0, a flame not yet drawn)
      // is refused; the art must then be as it was.
      const int32_t before = Form.FEmitters.Count;
      const TImportResult r = ImportBitmap(Form, picture, settings, Style);
      if (!r.Imported() && (r.Why.empty() || Form.FEmitters.Count != before))
        why = "a refused import changed the art or gave no reason";
    } catch (const std::exception& e) {
      why = e.what();
    }
    if (!why.empty())
      Fault = "importing a picture the program wrote failed (" + file.string() + "): " + why;
  }
};

// A folder of its own for the soak's files, removed at the end.
fs::path MakeSoakFolder() {
  std::error_code ec;
  std::string base = fs::temp_directory_path(ec).string();
  if (ec || base.empty())
    base = "/tmp";
  std::string tmpl = base + "/quelma-soak-XXXXXX";
  if (!::mkdtemp(tmpl.data()))
    return {};
  return tmpl;
}

} // namespace

int RunSoak(const TRenderOptions& O, const std::string& StartupFile) {
  const char* conflict = !O.Out.empty()      ? "--out"
                         : O.Bench           ? "--bench"
                         : !O.Save.empty()   ? "--save"
                         : O.Checksum        ? "--checksum"
                         : !O.Import.empty() ? "--import"
                                             : nullptr;
  if (conflict) {
    std::fprintf(stderr, "quelma-render: %s does not combine with --soak\n", conflict);
    return 1;
  }
  const fs::path dir = MakeSoakFolder();
  if (dir.empty()) {
    std::perror("quelma-render: cannot make a folder for the soak's files");
    return 2;
  }

  TSoak soak(O, dir);
  soak.Form.DesktopRect = MakeRect(0, 0, O.DesktopWidth, O.DesktopHeight);
  soak.Form.OriginX = float(O.DesktopWidth / 2.0);
  soak.Form.OriginY = float(O.DesktopHeight / 2.0);
  ApplyStyle(soak.Form, soak.Style);

  std::vector<std::string> files;
  if (!StartupFile.empty())
    files.push_back(StartupFile);
  files.insert(files.end(), O.Files.begin(), O.Files.end());
  for (const std::string& f : files) {
    std::string error;
    if (!soak.LoadFile(f, error)) {
      std::fprintf(stderr, "quelma-render: %s\n", error.c_str());
      std::error_code ec;
      fs::remove_all(dir, ec);
      return 2;
    }
  }
  for (int32_t i = 0; i < O.Emitters; ++i)
    soak.Form.AddEmitter(nullptr, 256, float((i * 37) % O.DesktopWidth - O.DesktopWidth / 2),
                         float((i * 101) % O.DesktopHeight - O.DesktopHeight / 2));

  const int64_t startRss = ResidentBytes();
  int64_t peakRss = startRss;
#ifdef QUELMA_SOAK_ASAN
  const bool boundRss = false; // freed memory sits in quarantine; LeakSanitizer checks at exit
#else
  const bool boundRss = startRss > 0;
#endif
  std::printf(
      "soak: %lld s on a %dx%d desktop; resident memory %.1f MB at the start, %s\n",
      (long long)O.Soak, O.DesktopWidth, O.DesktopHeight, Megabytes(startRss),
      boundRss ? ("bound " + std::to_string(SoakMemoryGrowthBound >> 20) + " MB above it").c_str()
               : "no bound (address sanitizer build or no /proc)");
  std::fflush(stdout);

  const auto start = Clock::now();
  const auto end = start + std::chrono::seconds(O.Soak);
  auto nextReport = start + std::chrono::seconds(60);
  std::mt19937 pace(7);
  int64_t untilAction = 0;
  while (soak.Fault.empty() && Clock::now() < end) {
    if (untilAction-- <= 0) {
      soak.Act();
      untilAction = std::uniform_int_distribution<int64_t>(0, 12)(pace);
    } else {
      soak.Frame();
    }
    const int64_t rss = ResidentBytes();
    peakRss = std::max(peakRss, rss);
    if (boundRss && soak.Fault.empty() && rss - startRss > SoakMemoryGrowthBound)
      soak.Fault = "resident memory grew to " + std::to_string(rss >> 20) + " MB, more than " +
                   std::to_string(SoakMemoryGrowthBound >> 20) + " MB above the start";
    if (Clock::now() >= nextReport) {
      nextReport += std::chrono::seconds(60);
      const double s = std::chrono::duration<double>(Clock::now() - start).count();
      std::printf(
          "soak: %.0f s  frames %lld  actions %lld  emitters %d  resident %.1f MB (peak %.1f MB)\n",
          s, (long long)soak.Counts.Frames, (long long)soak.Counts.Actions,
          soak.Form.FEmitters.Count, Megabytes(rss), Megabytes(peakRss));
      std::fflush(stdout);
    }
  }

  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  const TCounts& c = soak.Counts;
  std::printf("soak: %.1f s, %lld frames (%.1f frames/s), %lld actions\n", seconds,
              (long long)c.Frames, seconds > 0 ? double(c.Frames) / seconds : 0.0,
              (long long)c.Actions);
  std::printf("  style changes %lld, strokes %lld (%lld emitters added), deletions %lld, art "
              "operations %lld\n",
              (long long)c.StyleChanges, (long long)c.Strokes, (long long)c.Added,
              (long long)c.Deletions, (long long)c.ArtOps);
  std::printf("  state files saved %lld, read back %lld, shipped files loaded %lld, pictures "
              "imported %lld\n",
              (long long)c.Saves, (long long)c.Reloads, (long long)c.ShippedLoads,
              (long long)c.Imports);
  std::printf("  emitters: most %d, at the end %d\n", c.MostEmitters, soak.Form.FEmitters.Count);
  std::printf("  resident memory: start %.1f MB, peak %.1f MB, end %.1f MB\n", Megabytes(startRss),
              Megabytes(peakRss), Megabytes(ResidentBytes()));

  if (!soak.Fault.empty()) {
    // The state that broke it, for a closer look.
    const fs::path keep = dir / "fault.quelma";
    try {
      LoadSaveState(keep.string(), true, soak.Form, soak.Style);
    } catch (const EStateFileError&) {
    }
    std::printf("soak: FAILED after %.1f s, frame %lld: %s\n  the state at that moment: %s\n",
                seconds, (long long)c.Frames, soak.Fault.c_str(), keep.string().c_str());
    return ExitSoakFault;
  }
  std::error_code ec;
  fs::remove_all(dir, ec);
  std::printf("soak: passed\n");
  return 0;
}
