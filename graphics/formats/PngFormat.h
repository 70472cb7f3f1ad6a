#pragma once
// PNG pictures through libpng.
#include <cstddef>
#include <cstdint>
#include <string>

#include "PictureRegistry.h"

struct TPngPicture {
  // True for 8 bits per sample with red, green, blue and alpha, and for any
  // picture whose transparency is a tRNS chunk (a palette's alphas, a grey or
  // RGB colour that stands for transparent): such pictures load as 32-bit
  // premultiplied surfaces. Every other kind is given an alpha channel by
  // libpng and drawn onto black.
  bool Alpha = false;
  TRasterPicture Raster;
};

// Decodes a whole PNG file held in memory. Raises EInvalidGraphic with
// libpng's message for damaged data and std::bad_alloc for a picture beyond
// the size limits.
TPngPicture DecodePng(const uint8_t* Data, std::size_t Size);

class TDIB;
// The ".PNG" load: an 8-bit RGBA picture or one with a tRNS chunk becomes a
// 32-bit surface of premultiplied colour (each colour byte * alpha div 255);
// any other is drawn onto black in 24 bits. The surface is unchanged when decoding fails.
void LoadPngInto(TDIB& Dest, const uint8_t* Data, std::size_t Size);
void LoadPngFile(TDIB& Dest, const std::string& FileName);
