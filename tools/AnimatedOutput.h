#pragma once
// One animated picture of all the rendered frames, looping forever: WebP
// (lossy, with alpha) or GIF (a palette per frame, one transparent entry).
#include <memory>
#include <optional>
#include <string>

#include "FrameImage.h"

enum class TOutputKind { Png, WebP, Gif };

// The kind of --out a file name asks for by its extension (any case); nullopt
// for any other extension or none.
std::optional<TOutputKind> OutputKindOf(const std::string& FileName);

// Encoder settings, chosen so that ten seconds of the start-up flame stay far
// below 5 MB in either format.
inline constexpr int WebPQuality = 80; // lossy colour, 0 to 100 (--quality)
// Effort, 0 to 6. Measured on 300 desktop-sized frames of the start-up flame:
// 3 is 8 % faster and 4 % larger, 2 is 30 % faster and 7 % larger, so the
// time goes into the size.
inline constexpr int WebPMethod = 4;
// Alpha below 100 is quantised: lossless alpha of a flickering flame costs
// twice the size and time, for steps the eye does not see in a flame.
inline constexpr int WebPAlphaQuality = 70;
inline constexpr int GifKeepDifference = 6; // largest channel change a kept pixel hides

class IAnimatedOutput {
public:
  virtual ~IAnimatedOutput() = default;
  // Appends a frame of the animation's size, shown for DurationMs.
  virtual void AddFrame(const TFrameImage& Frame, double DurationMs) = 0;
  // Writes what is left and closes the file.
  virtual void Finish() = 0;
};

// Creates the file at once, so that a bad name fails before any frame is
// rendered. Opaque: every frame has alpha 255 (a background was given), which
// lets GIF keep the pixels that hardly change. Quality: WebP's lossy colour,
// 0 to 100. Throws std::runtime_error with the reason.
std::unique_ptr<IAnimatedOutput> OpenAnimatedOutput(TOutputKind Kind, const std::string& FileName,
                                                    int32_t Width, int32_t Height, bool Opaque,
                                                    int Quality = WebPQuality);
