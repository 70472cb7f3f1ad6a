#pragma once
// WebP pictures through libwebp: lossy, lossless, with or without alpha, and
// the first frame of an animation.
#include <cstddef>
#include <cstdint>
#include <string>

#include "PictureRegistry.h"

// Decodes a whole WebP file held in memory. An animation gives its first
// frame as the animation shows it: the canvas's size, the frame at its
// offset, transparent elsewhere. Raises EInvalidGraphic for damaged or
// truncated data and std::bad_alloc for a picture beyond the size limits.
TRasterPicture DecodeWebp(const uint8_t* Data, std::size_t Size);

// The picture class the registry keeps for "webp".
class TWebpPicture : public TAlphaRasterPicture {
public:
  void LoadFromFile(const std::string& FileName) override;
};
