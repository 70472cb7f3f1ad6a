#include "PictureRegistry.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "BmpFormat.h"
#include "DIBmp.h"
#include "GifFormat.h"
#include "JpegFormat.h"
#include "WebpFormat.h"

void TRasterPicture::AssignTo(TDIB& Dest) const {
  if (Width <= 0 || Height <= 0) {
    Dest.SetFormat(0, 0, 24);
    return;
  }
  Dest.PixelFormat = MakePixelFormat(8, 8, 8);
  Dest.SetFormat(Width, Height, 24);
  Dest.Unshare(Dest.MemoryStorage());
  for (int32_t y = 0; y < Height; ++y) {
    const uint8_t* in = Pixels.data() + std::size_t(y) * std::size_t(Width) * 4;
    uint8_t* out = Dest.PixelMemory + std::size_t(y) * std::size_t(Dest.RowStride);
    // Over black: each channel weighted by alpha, rounded.
    for (int32_t x = 0; x < Width; ++x, in += 4, out += 3) {
      const uint32_t a = in[3];
      out[0] = uint8_t((in[2] * a + 127) / 255);
      out[1] = uint8_t((in[1] * a + 127) / 255);
      out[2] = uint8_t((in[0] * a + 127) / 255);
    }
    // The row's padding bytes are part of the picture's data too.
    std::memset(out, 0, std::size_t(Dest.RowStride) - std::size_t(Width) * 3);
  }
}

void AssignPremultiplied(const TRasterPicture& Source, TDIB& Dest) {
  // A fresh format from 8-8-8 masks, whatever depth the surface had before.
  Dest.PixelFormat = MakePixelFormat(8, 8, 8);
  Dest.SetFormat(Source.Width, Source.Height, 32);
  // An unchanged format keeps the image, which another surface may share.
  Dest.Unshare(Dest.MemoryStorage());
  for (int32_t y = 0; y < Source.Height; ++y) {
    const uint8_t* in = Source.Pixels.data() + std::size_t(y) * std::size_t(Source.Width) * 4;
    uint8_t* out = Dest.RowFromBottom(Dest.Height - 1 - y);
    for (int32_t x = 0; x < Source.Width; ++x, in += 4, out += 4) {
      const uint32_t a = in[3];
      out[0] = uint8_t(in[2] * a / 255);
      out[1] = uint8_t(in[1] * a / 255);
      out[2] = uint8_t(in[0] * a / 255);
      out[3] = uint8_t(a);
    }
  }
}

bool TAlphaRasterPicture::Translucent() const {
  for (std::size_t i = 3; i < Pixels.size(); i += 4)
    if (Pixels[i] != 255)
      return true;
  return false;
}

void TAlphaRasterPicture::AssignTo(TDIB& Dest) const {
  if (Translucent())
    AssignPremultiplied(*this, Dest);
  else
    TRasterPicture::AssignTo(Dest);
}

namespace {

// A device-independent bitmap file as a registered picture. It reads the BMP
// stream itself: going through TDIB::LoadFromFile would find its extension in
// this registry again.
class TDIBFilePicture : public TPictureObject {
public:
  TDIBmp Bitmap;
  void LoadFromFile(const std::string& FileName) override {
    TFileStream file(FileName, TFileStream::fmOpenRead);
    Bitmap.LoadFromStream(file);
  }
  void AssignTo(TDIB& Dest) const override { Dest.Assign(&Bitmap); }
};

struct TFormat {
  std::string Extension; // lower case
  std::string Description;
  TPictureFactory Factory;
};

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(),
                 [](unsigned char c) { return char(std::tolower(c)); });
  return s;
}

std::vector<TFormat>& Formats() {
  static std::vector<TFormat> formats = [] {
    std::vector<TFormat> f;
    auto jpeg = [] { return std::unique_ptr<TPictureObject>(new TJpegPicture); };
    f.push_back({"jpg", "JPEG Image File", jpeg});
    f.push_back({"jpeg", "JPEG Image File", jpeg});
    f.push_back({"dib", "Device Independent Bitmap",
                 [] { return std::unique_ptr<TPictureObject>(new TDIBFilePicture); }});
    f.push_back(
        {"gif", "GIF Image File", [] { return std::unique_ptr<TPictureObject>(new TGifPicture); }});
    f.push_back({"webp", "WebP Image File",
                 [] { return std::unique_ptr<TPictureObject>(new TWebpPicture); }});
    return f;
  }();
  return formats;
}

} // namespace

void RegisterFileFormat(const std::string& Extension, const std::string& Description,
                        TPictureFactory Factory) {
  const std::string ext = Lower(Extension);
  for (TFormat& f : Formats())
    if (f.Extension == ext) {
      f.Description = Description;
      f.Factory = std::move(Factory);
      return;
    }
  Formats().push_back({ext, Description, std::move(Factory)});
}

void UnregisterFileFormat(const std::string& Extension) {
  const std::string ext = Lower(Extension);
  auto& f = Formats();
  f.erase(std::remove_if(f.begin(), f.end(), [&](const TFormat& x) { return x.Extension == ext; }),
          f.end());
}

std::vector<std::pair<std::string, std::string>> RegisteredFileFormats() {
  std::vector<std::pair<std::string, std::string>> out;
  for (const TFormat& f : Formats())
    out.emplace_back(f.Extension, f.Description);
  return out;
}

std::string FileExtension(const std::string& FileName) {
  const std::size_t slash = FileName.find_last_of("/\\");
  const std::size_t dot = FileName.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
    return "";
  return FileName.substr(dot + 1);
}

std::unique_ptr<TPictureObject> LoadRegisteredPicture(const std::string& FileName) {
  const std::string ext = FileExtension(FileName);
  const std::string key = Lower(ext);
  for (const TFormat& f : Formats())
    if (f.Extension == key) {
      std::unique_ptr<TPictureObject> picture = f.Factory();
      picture->LoadFromFile(FileName);
      return picture;
    }
  throw EInvalidGraphic("Unknown picture file extension (." + ext + ")");
}
