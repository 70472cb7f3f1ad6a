#pragma once
// Picture objects and the registry that maps file extensions to them. A
// surface takes a registered picture over through its AssignTo
// (TDIB::AssignPicture): drawn onto black in a 24-bit picture, or, for the
// formats that carry transparency, as 32 bits of premultiplied colour.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class TDIB;

class TPictureObject {
public:
  virtual ~TPictureObject() = default;
  // Raises the file layer's or the format's error.
  virtual void LoadFromFile(const std::string& FileName) = 0;
  // Makes Dest show the picture (without firing Dest's change event).
  virtual void AssignTo(TDIB& Dest) const = 0;
};

// A decoded picture: 8-bit red, green, blue, alpha per pixel (alpha not
// premultiplied), rows top first.
class TRasterPicture : public TPictureObject {
public:
  int32_t Width = 0;
  int32_t Height = 0;
  std::vector<uint8_t> Pixels; // 4 * Width * Height bytes

  void LoadFromFile(const std::string&) override {}
  // A 24-bit picture of the same size, cleared to black, with every pixel
  // drawn over it with its alpha; an empty picture clears Dest.
  void AssignTo(TDIB& Dest) const override;
};

// Makes Dest a 32-bit surface of the picture's size holding premultiplied
// colour (each colour byte * alpha div 255, truncating) and the alpha, the
// form in which the picture import reads transparency. Source is not empty.
void AssignPremultiplied(const TRasterPicture& Source, TDIB& Dest);

// A picture whose transparency the surface keeps: with any alpha below 255 it
// becomes a premultiplied 32-bit surface (AssignPremultiplied). A fully
// opaque one is drawn in 24 bits like any other raster picture: it then loads
// as the same picture stored as JPEG does, and the import's "Mask only",
// which takes a 32-bit picture's alpha for its only input, does not turn an
// opaque picture into a plain rectangle.
class TAlphaRasterPicture : public TRasterPicture {
public:
  TAlphaRasterPicture() = default;
  explicit TAlphaRasterPicture(TRasterPicture&& Source) : TRasterPicture(std::move(Source)) {}
  // True when some pixel has an alpha below 255.
  bool Translucent() const;
  void AssignTo(TDIB& Dest) const override;
};

using TPictureFactory = std::function<std::unique_ptr<TPictureObject>()>;

// Registers (or replaces) the class of pictures stored under Extension (no
// dot, any case).
void RegisterFileFormat(const std::string& Extension, const std::string& Description,
                        TPictureFactory Factory);
void UnregisterFileFormat(const std::string& Extension);
// Extension and description of every registered format, in registration order.
std::vector<std::pair<std::string, std::string>> RegisteredFileFormats();

// A picture object of the class registered for the file's extension, loaded
// from the file. Raises EInvalidGraphic "Unknown picture file extension (.%s)"
// for an extension nobody registered. The registry starts with "jpg" and
// "jpeg" (JPEG pictures), "dib" (device-independent bitmaps), "gif" (the
// first frame of a GIF) and "webp" (WebP pictures, the first frame of an
// animation); GIF and WebP pictures keep their transparency
// (TAlphaRasterPicture).
std::unique_ptr<TPictureObject> LoadRegisteredPicture(const std::string& FileName);

// The extension of a file name without the dot, as written ("" for none).
std::string FileExtension(const std::string& FileName);
