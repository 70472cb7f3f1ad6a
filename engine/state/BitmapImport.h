#pragma once
// Turning a picture into art: the picture is shrunk to at most MaxSize samples
// on its longer side and every sample that is not fully transparent becomes
// one emitter, on a grid Scaling / 100 pixels apart, centred on the origin.
#include <string>

#include "StyleMapping.h"

class TDIB;
class TPartForm;

// The "Conversion" group of the settings window's "Files" tab.
struct TImportSettings {
  int MaxSize = 128;      // BmpMaxSizeSel "Max size", 0..128: longest side in samples
  int Scaling = 400;      // BmpScaleSel "Scaling", 100..1000: spacing in hundredths of a pixel
  bool ResetStyle = true; // BmpResetBox "Reset style": a style suited to pictures
  bool MaskOnly = false;  // BmpMonoBox "Mask only": a 32-bit picture's alpha as the only input
};

inline constexpr int ImportMaxSizeMin = 0, ImportMaxSizeMax = 128;
inline constexpr int ImportScalingMin = 100, ImportScalingMax = 1000;
// The emitter limit an import sets.
inline constexpr int ImportMaxCount = 20000;

// What an import did. No emitter means nothing changed (art, trails, style,
// limits and the random numbers are as before); Why then tells the user the
// reason in a sentence.
struct TImportResult {
  int Emitters = 0;
  std::string Why;
  bool Imported() const { return Emitters > 0; }
};

// The import itself. Style is the style as the settings window holds it: the
// import sets its "Max count" to 20000 and, with ResetStyle, moves "Y motion"
// to 0, "Fade alpha" to 240 and "Fade lightness" to 256 as the user would,
// through the style mapping. The picture is sampled first: an empty picture,
// one that gives no sample (Max size 0, or too thin for it) or one whose every
// sample is transparent changes nothing and says why. Raises what the surface
// raises for a picture it cannot convert (before anything changes).
TImportResult ImportBitmap(TPartForm& Form, const TDIB& Picture, const TImportSettings& Import,
                           TStyleSettings& Style);

// Loads the file into a picture (by its extension) and imports it. Nothing
// is raised: false when the file could not be loaded, the import failed or
// the picture became no emitter (nothing changed in each case); Error (when
// given) then says why.
bool ImportPictureFile(TPartForm& Form, const std::string& FileName, const TImportSettings& Import,
                       TStyleSettings& Style, std::string* Error = nullptr);
