// TDIB's picture files: BMP streams and files, the clipboard form, and loading
// PNG, TGA and registered formats by file extension.
#include <algorithm>
#include <cctype>

#include "BmpFormat.h"
#include "DIBmp.h"
#include "PictureRegistry.h"
#include "PngFormat.h"
#include "Streams.h"
#include "TgaFormat.h"

void TDIB::LoadFromFile(const std::string& FileName) {
  std::string ext = FileExtension(FileName);
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return char(std::toupper(c)); });
  if (ext == "BMP") {
    TFileStream file(FileName, TFileStream::fmOpenRead);
    LoadFromStream(file);
  } else if (ext == "PNG") {
    LoadPngFile(*this, FileName);
    MakeMemoryStorage();
    Changed();
  } else if (ext == "TGA") {
    LoadTgaFile(*this, FileName);
    Changed();
  } else {
    const std::unique_ptr<TPictureObject> picture = LoadRegisteredPicture(FileName);
    AssignPicture(*picture);
    MakeMemoryStorage();
  }
}

void TDIB::LoadFromStream(TStream& Stream) {
  uint32_t offset = 0;
  // The header's offset counts from its own first byte, 14 bytes before the
  // Data block.
  if (ReadBmpFileHeader(Stream, &offset))
    ReadImage(Stream, int64_t(offset) - 14);
}

void TDIB::SaveToStream(TStream& Stream) const {
  if (GetEmpty())
    return;
  WriteBmpFileHeader(*Image, Stream);
  WriteData(Stream);
}

void TDIB::SaveToFile(const std::string& FileName) const {
  TFileStream file(FileName, TFileStream::fmCreate);
  SaveToStream(file);
  file.Flush();
}

void TDIB::ReadData(TStream& Stream) {
  ReadImage(Stream, -1);
}

void TDIB::ReadImage(TStream& Stream, int64_t PixelOffset) {
  // The new image is freed by its owner if reading fails; the surface keeps
  // its picture.
  std::unique_ptr<TDIBSharedImage> image = ReadDIBImage(Stream, Image->MemoryStorage, PixelOffset);
  SetImage(image.release());
  Changed();
}

void TDIB::WriteData(TStream& Stream) const {
  if (GetEmpty())
    return;
  WriteDIBImage(*Image, Stream);
}

void TDIB::SaveToClipboardFormat(uint16_t& Format, std::vector<uint8_t>& Data,
                                 uintptr_t& Palette) const {
  Format = CF_DIB;
  Palette = 0;
  TMemoryStream block;
  WriteData(block);
  Data = block.TakeBytes();
}

void TDIB::LoadFromClipboardFormat(uint16_t, const std::vector<uint8_t>& Data, uintptr_t) {
  TReadOnlyMemoryStream block(Data.data(), Data.size());
  ReadData(block);
}

void TDIB::AssignPicture(const TPictureObject& Source) {
  Source.AssignTo(*this);
  Changed();
}
