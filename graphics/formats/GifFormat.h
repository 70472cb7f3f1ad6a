#pragma once
// GIF pictures through giflib: the first frame only.
#include <cstddef>
#include <cstdint>
#include <string>

#include "PictureRegistry.h"

// Decodes the first frame of a whole GIF file held in memory. The picture has
// the logical screen's size (grown to hold the frame should the frame reach
// past it), with the frame at its offset and every pixel it does not cover
// transparent; the transparent colour of the frame's graphic control gives
// alpha 0. Raises EInvalidGraphic for damaged or truncated data and for a
// colour index outside the colour map, and std::bad_alloc for a picture
// beyond the size limits.
TRasterPicture DecodeGif(const uint8_t* Data, std::size_t Size);

// The picture class the registry keeps for "gif".
class TGifPicture : public TAlphaRasterPicture {
public:
  void LoadFromFile(const std::string& FileName) override;
};
