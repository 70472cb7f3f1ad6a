#pragma once
// A frame as it is written to a file: straight-alpha RGBA rows, built from the
// engine's premultiplied 32-bit surface.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "DIBmp.h"

struct TFrameImage {
  int32_t Width = 0;
  int32_t Height = 0;
  std::vector<uint8_t> Rgba; // Width * Height * 4 bytes, R G B A, rows top-down
};

// The surface's pixels un-premultiplied: each colour byte c of a pixel with
// alpha a > 0 becomes min(255, round(c * 255 / a)). Pixels with alpha 0 keep
// their colour bytes ("Additive" light cannot be told apart otherwise).
// Placed at (X, Y) of a Width x Height transparent image when Width > 0,
// else the image is the surface's size.
TFrameImage FrameFromSurface(const TDIB& Surface, int32_t X = 0, int32_t Y = 0, int32_t Width = 0,
                             int32_t Height = 0);

// The surface composited over an opaque colour (0xRRGGBB): premultiplied
// "over", colour c + background * (255 - a) / 255, saturated; alpha 255.
TFrameImage FrameOverBackground(const TDIB& Surface, uint32_t Background, int32_t X = 0,
                                int32_t Y = 0, int32_t Width = 0, int32_t Height = 0);

// Writes an 8-bit RGBA PNG; throws std::runtime_error with the reason.
void WritePng(const std::string& FileName, const TFrameImage& Image);

// A file name pattern with at most one integer conversion (%d, %4d, %04d;
// "%%" is a literal percent sign).
class TFramePattern {
public:
  // nullopt when the pattern holds another conversion or more than one.
  static std::optional<TFramePattern> Parse(const std::string& Pattern);
  bool HasNumber() const { return HasNumber_; }
  std::string Name(int64_t Frame) const;

private:
  std::string Before, After;
  bool HasNumber_ = false;
  bool ZeroPad = false;
  int Width = 0;
};
