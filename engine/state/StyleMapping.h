#pragma once
// The style as the settings window holds it (slider positions and check
// states) and the handlers that turn it into the engine's fields. The Qt
// settings window only copies its controls into a TStyleSettings and calls
// these functions, so the mapping exists once.

#include <array>
#include <cstddef>
#include <cstdint>

class TPartForm;

// Slider positions and check states, with their defaults. These are the
// values a state file stores, never the derived engine values.
struct TStyleSettings {
  // "Emitters" tab
  int MaxAlpha = 55;        // PASel
  int Hue = 35;             // PHSel (endless)
  int Saturation = 107;     // PSSel
  int Lightness = 175;      // PLSel
  int MaxCount = 10000;     // MaxCountSel
  int Thickness = 15;       // PMaxSizeSel
  bool Fat = false;         // GlowBox
  int XWildness = 7;        // PXSpreadSel
  int YWildness = 1;        // PYSpreadSel
  bool Independent = false; // IndPartBox
  // "Fading" tab
  int FadeAlpha = 248;      // FASel
  int FadeHue = 20;         // FHSel (endless)
  int FadeSaturation = 256; // FSSel
  int FadeLightness = 240;  // FLSel
  int FadeHueCycle = 0;     // FHCycleSel
  int XBlur = 1;            // XBlurSel
  int YBlur = 1;            // YBlurSel
  int YMotion = -1;         // YMotionSel
  // "Animation" tab
  int FPS = 30;               // FPSSel
  int Gravity = 0;            // GravitySel
  int Attraction = 0;         // AttractionSel
  int EmitterLifetime = 1000; // ELTSel
  int EmitterFadeOut = 200;   // EFOSel
  // "System" tab
  bool Additive = false; // AddBox
  bool Debug = false;    // DebugBox (never stored in state files)

  bool operator==(const TStyleSettings&) const = default;
};

// The groups of the style; the first three are the state file's groups.
enum class TStyleGroup { Emitters, Fading, Animation, System };

// One style control: an integer slider or a check box.
struct TStyleValue {
  const char* Control;   // control name on the settings window
  const char* Label;     // its caption
  const char* Attribute; // attribute name in a state file; nullptr: not stored
  TStyleGroup Group;
  int Min, Max, Default;       // a check box: 0, 1 and its default state
  bool Endless;                // wraps instead of clamping (the two hue sliders)
  int TStyleSettings::*Slider; // exactly one of Slider and Check is set
  bool TStyleSettings::*Check;
};

// The 23 stored values in the order a state file writes them, then
// "Additive" and "Debug mode".
extern const std::array<TStyleValue, 25> StyleValues;
inline constexpr std::size_t StoredStyleValueCount = 23;

// Brings a value into Min..Max the way a slider set from code does: clamped,
// or for an endless slider wrapped by whole turns of (Max - Min + 1).
int ApplyRange(int Value, int Min, int Max, bool Endless);
int ApplyRange(int Value, const TStyleValue& Slider);

// Every slider of S brought into its range (what the controls would hold).
TStyleSettings InRange(const TStyleSettings& S);

// exp(ln(N + 1) * t) - 1 in double, stored as a single.
float ExpMap(int N, double t);

// Frames a fully opaque pixel's trail lasts under fade alpha C (0..255).
int TrailLength(int C);

// Timer interval in ms for a frames-per-second value, rounded half to even.
int FrameInterval(int FPS);

// The handlers. Each reads every value of its group from S (brought into
// range first) and rewrites every engine field of that group.
void YMotionSelChange(TPartForm& Form, const TStyleSettings& S);
void GravitySelChange(TPartForm& Form, const TStyleSettings& S);
// Returns the new animation timer interval in ms, for the caller's timer.
int FPSSelChange(TPartForm& Form, const TStyleSettings& S);
void IndPartBoxClick(TPartForm& Form, const TStyleSettings& S);
// The engine side of "Debug mode": FDebug := S.Debug.
void DebugBoxClick(TPartForm& Form, const TStyleSettings& S);

// Recomputes FArtMargin from the style and the emitters' own thicknesses.
void UpdateArtMargin(TPartForm& Form, const TStyleSettings& S);

// YMotionSelChange, FPSSelChange, GravitySelChange, IndPartBoxClick in this
// order. Returns the animation timer interval in ms.
int ApplyStyle(TPartForm& Form, const TStyleSettings& S);
