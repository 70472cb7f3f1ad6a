#pragma once
// State files (".quelma"): the style's slider positions and the art (every
// emitter) as an XML document with the root "QUELMA_state".

#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

#include "Version.h"

class TPartForm;
struct TStyleSettings;

// what() is exactly the text the application shows in its "Debug" box;
// Reason() says why, for the box's detail ("" when nothing more is known).
class EStateFileError : public std::runtime_error {
public:
  explicit EStateFileError(const char* Text, std::string Reason = {})
      : std::runtime_error(Text), FReason(std::move(Reason)) {}
  const std::string& Reason() const { return FReason; }

private:
  std::string FReason;
};

inline constexpr const char* StateLoadErrorText = "Error loading the file.";
inline constexpr const char* StateSaveErrorText = "Error saving the file.";
inline constexpr const char* StateFileExtension = ".quelma";

// Files larger than this are refused when reading: the program never writes
// one above 5 MB (20000 emitters at most), and the parsed document takes
// about ten times the file's size in memory.
inline constexpr std::uintmax_t StateFileMaxBytes = 16u * 1024u * 1024u;

// The largest own thickness ("MS") an emitter is read with; beyond the
// Thickness slider's 50, as files may describe. A spot's radius is at most
// the thickness + 2, so its box stays within 2005 x 2005 pixels: the spot
// work buffers, which grow to the largest box, stay near 16 MB each.
inline constexpr float StateFileMaxThickness = 1000.0f;

struct TStateFileOptions {
  bool LoadStyle = true;                // "Load style"
  bool LoadArt = true;                  // "Load art"
  std::string DecimalSeparator = ".";   // the user's locale separator
  std::string Version = QUELMA_VERSION; // written as "Version"
  // Shows the file's "Version" text while the engine's FDebug is on. The
  // reading waits for it to return.
  std::function<void(const std::string&)> ShowDebugMessage;
  // After the art: the cover reset. Default: the engine's own reset.
  std::function<void()> ClearFading;
  // Last step of reading: apply the whole style. Default: ApplyStyle(Form,
  // Style). The application passes its own to also set its timer.
  std::function<void()> ApplyStyle;
};

// True when the name ends in ".quelma", in any letter case.
bool HasStateFileExtension(std::string_view FileName);

// Writes (Save) or reads a state file. Returns false when nothing was done
// (another extension, or a file to read that does not exist, or a document
// without a "QUELMA_state" root). Throws EStateFileError with
// StateLoadErrorText / StateSaveErrorText on failure. A failed read keeps
// what was read before the failure (settings, emitters); a failed write
// leaves any existing file as it was.
bool LoadSaveState(const std::string& FileName, bool Save, TPartForm& Form, TStyleSettings& Style,
                   const TStateFileOptions& Options = {});

// The document as text, exactly as saved (CR LF, two-space indentation).
std::string WriteStateText(const TPartForm& Form, const TStyleSettings& Style,
                           const TStateFileOptions& Options = {});

// Reads a document held in memory; same rules and results as reading a file.
bool ReadStateText(std::string_view Text, TPartForm& Form, TStyleSettings& Style,
                   const TStateFileOptions& Options = {});

// Value texts.
// General form with at most 15 significant digits: fixed notation from
// 0.00001 up to 15 integer digits, otherwise mantissa "E" exponent.
std::string FloatToStateText(double Value, std::string_view DecimalSeparator);
// Decimal text with the given separator and an optional exponent; nullopt
// when the whole text is not such a number or lies outside the single range.
std::optional<float> StateTextToFloat(std::string_view Text, std::string_view DecimalSeparator);
// Plain decimal 32-bit integer; nullopt for anything else or out of range.
std::optional<int32_t> StateTextToInt(std::string_view Text);
// "True"/"False" in any case, or a number (non-zero is true).
std::optional<bool> StateTextToBool(std::string_view Text, std::string_view DecimalSeparator);
