#pragma once
// Entries for the state-file reader (with the flame engine behind it) and for
// the BMP Data block in its clipboard form. Shared by the libFuzzer programs
// and the replay in the engine's unit tests. Load errors are the expected
// outcome for most inputs; crashes, sanitizer reports, hangs and a broken
// invariant (which traps) are findings.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "BmpFormat.h"
#include "DIBmp.h"
#include "FlameDisplay.h"
#include "FlameEngine.h"
#include "FuzzEntries.h"
#include "StateFile.h"
#include "StyleMapping.h"

namespace quelma_fuzz {

// A finding that no sanitizer would report: stop at once so the fuzzer keeps
// the input.
inline void Require(bool Condition) {
  if (!Condition)
    __builtin_trap();
}

// What must hold after every load and every frame, whatever the file said.
inline void CheckEngine(const TPartForm& Form, const TSurfaceDisplay& Display) {
  Require(Form.FEmitters.Count >= 0 && Form.FEmitters.Count <= 20000);
  for (int32_t i = 0; i < Form.FEmitters.Count; ++i) {
    const TEmitter& e = *Form.Emitter(i);
    Require(std::isfinite(e.X) && std::isfinite(e.Y) && !std::isnan(e.Fall) && !std::isnan(e.Life));
    Require(e.BaseAlpha >= 0 && e.BaseAlpha <= 256 && e.Alpha >= 0 && e.Alpha <= 65536);
    const TEmitterStyle& s = *e.Style;
    Require(s.MaxAlpha >= 0 && s.MaxAlpha <= 256);
    Require(s.Thickness >= 0 && s.Thickness <= StateFileMaxThickness && s.XWildness >= 0 &&
            s.XWildness <= 100 && s.YWildness >= 0 && s.YWildness <= 100);
  }
  const TRect b = Display.FLayeredBounds;
  const bool reset = b.Left == 0 && b.Top == 0 && b.Right == 16 && b.Bottom == 16;
  const TRect& d = Form.DesktopRect;
  Require(reset ||
          (b.Left >= d.Left && b.Top >= d.Top && b.Right <= d.Right && b.Bottom <= d.Bottom));
}

// The engine the fuzz inputs are loaded into: a small desktop (so frames stay
// cheap under the sanitizers) whose centre is the origin, the default style.
struct StateFuzzEngine {
  TSurfaceDisplay Display;
  TPartForm Form{Display};
  TStyleSettings Style;
  StateFuzzEngine() {
    Form.DesktopRect = MakeRect(0, 0, 192, 128);
    Form.OriginX = 96;
    Form.OriginY = 64;
    ApplyStyle(Form, Style);
  }
};

// Reads Text as the program reads a state file, then runs a few frames and
// the art operations on whatever was read, then checks that what the program
// writes of it reads back to the same document.
inline int FuzzStateFile(const uint8_t* Data, std::size_t Size) {
  const std::string_view text(reinterpret_cast<const char*>(Data), Size);
  StateFuzzEngine engine;
  TPartForm& form = engine.Form;
  TStateFileOptions options;
  // The last byte picks the decimal separator, so both forms are explored.
  if (Size > 0 && Data[Size - 1] == ',')
    options.DecimalSeparator = ",";
  try {
    ReadStateText(text, form, engine.Style, options);
  } catch (const EStateFileError&) {
    // What was read before the failure stays; the engine runs on it.
  } catch (const std::bad_alloc&) {
  }
  CheckEngine(form, engine.Display);
  for (int frame = 0; frame < 4; ++frame) {
    form.Tick(frame == 2 ? 2 : 0);
    CheckEngine(form, engine.Display);
  }
  // The length picks the art operations.
  if (Size & 1)
    form.RotateArt();
  if (Size & 2)
    form.CenterArt();
  form.Tick(0);
  CheckEngine(form, engine.Display);

  // Once a document has passed through the program, writing and reading it
  // again changes nothing. (The first pass may: an emitter that followed the
  // shared style comes back with its own copy while "Independent emitters"
  // is on, and a position moved past the reading bounds is brought back.)
  const std::string first = WriteStateText(form, engine.Style, options);
  try {
    Require(ReadStateText(first, form, engine.Style, options));
    const std::string second = WriteStateText(form, engine.Style, options);
    Require(ReadStateText(second, form, engine.Style, options));
    Require(WriteStateText(form, engine.Style, options) == second);
  } catch (const EStateFileError&) {
    Require(false); // the program's own document always loads
  }
  form.Tick(0);
  CheckEngine(form, engine.Display);
  return 0;
}

// The Data block (BitmapInfo, colour table or masks, pixels) as the clipboard
// hands it over, then used like any loaded picture and copied back to the
// clipboard form, which must read again.
inline int FuzzClipboard(const uint8_t* Data, std::size_t Size) {
  return Guarded([&] {
    const std::vector<uint8_t> block(Data, Data + Size);
    TDIBmp d;
    d.LoadFromClipboardFormat(CF_DIB, block, 0);
    uint16_t format = 0;
    uintptr_t palette = 0;
    std::vector<uint8_t> copy;
    d.SaveToClipboardFormat(format, copy, palette);
    Require(format == CF_DIB);
    try {
      TDIBmp back;
      back.LoadFromClipboardFormat(format, copy, palette);
      // An empty picture (a zero side) is written as nothing and reads back
      // as an empty picture.
      if (d.Empty())
        Require(back.Empty());
      else
        Require(back.Width == d.Width && back.Height == d.Height && back.BitCount == d.BitCount);
    } catch (const std::bad_alloc&) {
    } catch (const std::exception&) {
      Require(false); // what the program wrote must read again
    }
    Exercise(d);
  });
}

} // namespace quelma_fuzz
