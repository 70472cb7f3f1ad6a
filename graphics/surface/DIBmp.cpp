// TDIB: creation, format changes, sharing and copy on write.
#include "DIBmp.h"

#include <algorithm>

#include "Numerics.h"

namespace {

using TImagePtr = std::unique_ptr<TDIBSharedImage>;

bool SameMasks(const TDIBPixelFormat& a, const TDIBPixelFormat& b) {
  return a.RedMask == b.RedMask && a.GreenMask == b.GreenMask && a.BlueMask == b.BlueMask;
}

} // namespace

TDIB::TDIB() {
  SetImage(EmptyDIBImage());
}

TDIB::TDIB(int32_t AWidth, int32_t AHeight, int32_t ABitCount, bool AMemoryStorage) : TDIB() {
  auto image = std::make_unique<TDIBSharedImage>();
  image->Allocate(AWidth, AHeight, ABitCount, MakePixelFormat(8, 8, 8), TDIBColorTable{},
                  AMemoryStorage, false);
  SetImage(image.release());
  PaletteModified = true;
}

TDIB::~TDIB() {
  TDIBSharedImage::Release(Image);
}

void TDIB::Changed() {
  Modified = true;
  if (OnChange)
    OnChange(*this);
}

void TDIB::SetImage(TDIBSharedImage* NewImage) {
  if (NewImage == Image)
    return;
  NewImage->AddRef();
  TDIBSharedImage* old = Image;
  Image = NewImage;
  TDIBSharedImage::Release(old);
  SyncFromImage();
}

void TDIB::SyncFromImage() {
  Height = Image->Height;
  Width = Image->Width;
  RowStride = Image->RowStride;
  RowStep = Image->RowStep;
  Size = Image->Size;
  BitmapInfo = Image->BitmapInfo.get();
  ColorTable = Image->ColorTable.data();
  PixelMemory = Image->PixelMemory;
  BottomRow = Image->BottomRow;
  BitCount = Image->BitCount;
  PixelFormat = Image->PixelFormat;
  ImagePixelFormat = Image->PixelFormat;
  ClipRect = TRect{0, 0, Width, Height};
}

void TDIB::SetFormat(int32_t AWidth, int32_t AHeight, int32_t ABitCount) {
  if (AWidth == Width && AHeight == Height && ABitCount == BitCount &&
      SameMasks(ImagePixelFormat, PixelFormat))
    return;
  if (AWidth <= 0 || AHeight <= 0) {
    Clear();
    return;
  }
  // The new image keeps the storage kind of the current one: a surface made a
  // DIB section stays one.
  auto image = std::make_unique<TDIBSharedImage>();
  image->Allocate(AWidth, AHeight, ABitCount, PixelFormat, Image->ColorTable, Image->MemoryStorage,
                  false);
  SetImage(image.release());
  PaletteModified = true;
}

void TDIB::SetWidth(int32_t Value) {
  if (Value <= 0)
    Clear();
  else if (GetEmpty())
    SetFormat(Value, Height < 1 ? 1 : Height, 8);
  else
    SetFormat(Value, Height, BitCount);
}

void TDIB::SetHeight(int32_t Value) {
  if (Value <= 0)
    Clear();
  else if (GetEmpty())
    SetFormat(Width < 1 ? 1 : Width, Value, 8);
  else
    SetFormat(Width, Value, BitCount);
}

void TDIB::Clear() {
  SetImage(EmptyDIBImage());
  Changed();
}

void TDIB::Assign(const TDIB* Source) {
  if (!Source)
    SetImage(EmptyDIBImage());
  else if (Source != this)
    SetImage(Source->Image);
  Changed();
}

void TDIB::Unshare(bool WantMemory) {
  if (Image->RefCount <= 1 && !Image->Compressed && Image->MemoryStorage == WantMemory)
    return;
  auto image = std::make_unique<TDIBSharedImage>();
  image->ExpandFrom(*Image, WantMemory && Image->MemoryStorage);
  SetImage(image.release());
}

void TDIB::MakeDIBSection() {
  if (Image->MemoryStorage)
    Unshare(false);
}

void TDIB::MakeMemoryStorage() {
  if (Image->MemoryStorage)
    return;
  auto image = std::make_unique<TDIBSharedImage>();
  image->CopyFrom(*Image, true);
  SetImage(image.release());
}

void TDIB::ExpandCompressed() {
  if (!Image->Compressed)
    return;
  auto image = std::make_unique<TDIBSharedImage>();
  image->ExpandFrom(*Image, Image->MemoryStorage);
  SetImage(image.release());
}

bool TDIB::ClipToSurface(TRect& Rect) const {
  // ClipRect is public and writable; the surface bounds keep a careless one
  // from sending writes outside the pixel memory.
  const TRect clip{std::max({ClipRect.Left, 0, Rect.Left}), std::max({ClipRect.Top, 0, Rect.Top}),
                   std::min({ClipRect.Right, Width, Rect.Right}),
                   std::min({ClipRect.Bottom, Height, Rect.Bottom})};
  Rect = clip;
  return Rect.Left < Rect.Right && Rect.Top < Rect.Bottom;
}

void TDIBmp::Assign(const TDIB* Source) {
  if (auto* other = dynamic_cast<const TDIBmp*>(Source)) {
    ILCount = other->ILCount;
    DrawMode = other->DrawMode;
  }
  TDIB::Assign(Source);
}
