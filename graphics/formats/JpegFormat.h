#pragma once
// JPEG pictures through libjpeg.
#include <cstddef>
#include <cstdint>
#include <string>

#include "PictureRegistry.h"

// Decodes a whole JPEG file held in memory into an opaque picture (greyscale,
// colour and CMYK files). Raises EInvalidGraphic with libjpeg's message for
// damaged data and std::bad_alloc for a picture beyond the size limits.
TRasterPicture DecodeJpeg(const uint8_t* Data, std::size_t Size);

// The picture class the registry keeps for "jpg" and "jpeg".
class TJpegPicture : public TRasterPicture {
public:
  void LoadFromFile(const std::string& FileName) override;
};
