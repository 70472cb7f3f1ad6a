#pragma once
// The pixel surface: TDIB holds a reference to a reference-counted image
// (TDIBSharedImage); assigning one surface to another shares the image, and
// Unshare takes a private copy before drawing through the windowing layer.
//
// Pixels live in plain memory. The storage kind ("memory" or "DIB section")
// stays a flag because it is sticky and observable: a DIB-section image starts
// zero-filled, a memory image does not, and a surface keeps the kind it has on
// every later SetFormat. Drawing through a canvas belongs to the windowing layer,
// which calls CanvasChanging before it draws.
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "Rects.h"

class TStream;
class TPictureObject;

// Errors of the surface. Out of plain memory is std::bad_alloc.
class EInvalidGraphicOperation : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};
class EOutOfResources : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};
// Malformed picture data (raised by the picture readers).
class EInvalidGraphic : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

// Channel masks and the shifts that widen a channel to 8 bits.
struct TDIBPixelFormat {
  int32_t RedMask = 0;
  int32_t GreenMask = 0;
  int32_t BlueMask = 0;
  int32_t RedBits = 0;
  int32_t GreenBits = 0;
  int32_t BlueBits = 0;
  int32_t RedShift = 0;
  int32_t GreenShift = 0;
  int32_t BlueShift = 0;
  int32_t RedFill = 0;
  int32_t GreenFill = 0;
  int32_t BlueFill = 0;
  friend bool operator==(const TDIBPixelFormat&, const TDIBPixelFormat&) = default;
};

// Fills the record from three channel bit counts; (8, 8, 8) is the format of
// every new image.
TDIBPixelFormat MakePixelFormat(int32_t RedBits, int32_t GreenBits, int32_t BlueBits);

// 256 entries of 4 bytes blue, green, red, 0 (read as uint32: 0x00RRGGBB).
using TDIBColorTable = std::array<uint32_t, 256>;

// Byte offsets inside BitmapInfo (the 40-byte header, then masks, then colours).
enum : int32_t {
  biHeaderSize = 0,
  biWidth = 4,
  biHeight = 8,
  biPlanes = 12,
  biBitCount = 14,
  biCompression = 16,
  biSizeImage = 20,
  biRedMask = 40,
  biGreenMask = 44,
  biBlueMask = 48,
};

// Compression codes of BitmapInfo.
enum : uint32_t { biRGB = 0, biRLE8 = 1, biRLE4 = 2, biBitFields = 3 };

class TDIBSharedImage {
public:
  TDIBSharedImage();
  ~TDIBSharedImage();
  TDIBSharedImage(const TDIBSharedImage&) = delete;
  TDIBSharedImage& operator=(const TDIBSharedImage&) = delete;

  int32_t RefCount = 0;
  int32_t BitCount = 0;
  std::unique_ptr<uint8_t[]> BitmapInfo; // HeaderSize bytes
  int32_t HeaderSize = 0;
  TDIBColorTable ColorTable{};
  int32_t ColorTableOffset = 40;
  uintptr_t PaletteHandle = 0; // shared palette of an image with a colour table
  int32_t Height = 0;
  int32_t RowStep = 0; // -RowStride
  int32_t ColorTableCount = 0;
  uint8_t* PixelMemory = nullptr; // pixel rows, or the encoded bytes of a compressed image
  TDIBPixelFormat PixelFormat = MakePixelFormat(8, 8, 8);
  int32_t Size = 0;
  uint8_t* BottomRow = nullptr;
  int32_t Width = 0;
  int32_t RowStride = 0;
  bool PaletteStale = false;
  bool Compressed = false;
  bool MemoryStorage = true;

  // Gives the fresh image its format and pixel memory. Raises
  // EInvalidGraphicOperation ("Bitcount in invalid (%d)", "PixelFormat in
  // invalid"), EOutOfResources ("DIB cannot be made") when DIB-section storage
  // cannot be had, std::bad_alloc when plain memory cannot. A compressed image
  // gets no pixel memory here: its reader calls AllocateEncoded.
  void Allocate(int32_t Width, int32_t Height, int32_t BitCount, const TDIBPixelFormat& PixelFormat,
                const TDIBColorTable& ColorTable, bool MemoryStorage, bool Compressed);
  // Decodes the RLE4/RLE8 data of Source into the uncompressed, allocated
  // Target of the same size.
  using TDecoder = void (*)(const TDIBSharedImage& Source, TDIBSharedImage& Target);
  // The decoder of a compressed image, given by the reader that kept its data
  // encoded; without one the image cannot be expanded ("DIB is invalid").
  TDecoder Decoder = nullptr;
  // Gives a compressed image a plain buffer of ByteCount bytes for its encoded
  // data, decoded later by Decoder, and records that size in Size and in
  // BitmapInfo.
  uint8_t* AllocateEncoded(int32_t ByteCount, TDecoder Decoder);
  // Byte count of the pixel data as the header states it.
  int32_t HeaderImageSize() const;

  // Makes this fresh image a copy of Source (still encoded if Source is).
  void CopyFrom(const TDIBSharedImage& Source, bool WantMemory);
  // Makes this fresh image a decoded copy of Source.
  void ExpandFrom(const TDIBSharedImage& Source, bool WantMemory);

  void AddRef() { ++RefCount; }
  // Drops one reference; the last one frees the image.
  static void Release(TDIBSharedImage* Image);

private:
  void FreePixels();
  uint8_t* FOwnedPixels = nullptr;
};

// The process-wide empty image every empty surface holds.
TDIBSharedImage* EmptyDIBImage();

class TDIB {
public:
  // Create: an empty surface holding the process-wide empty image.
  TDIB();
  // CreateSized: a fresh image with masks 8-8-8 and an all-zero colour table.
  TDIB(int32_t Width, int32_t Height, int32_t BitCount, bool MemoryStorage);
  virtual ~TDIB();
  TDIB(const TDIB&) = delete;
  TDIB& operator=(const TDIB&) = delete;

  static std::unique_ptr<TDIB> Create() { return std::make_unique<TDIB>(); }
  static std::unique_ptr<TDIB> CreateSized(int32_t Width, int32_t Height, int32_t BitCount,
                                           bool MemoryStorage) {
    return std::make_unique<TDIB>(Width, Height, BitCount, MemoryStorage);
  }

  // Copies of the held image, refreshed on every image change.
  TDIBSharedImage* Image = nullptr;
  int32_t BitCount = 0;
  int32_t Height = 0;
  int32_t RowStep = 0;
  TDIBPixelFormat ImagePixelFormat;
  int32_t Size = 0;
  uint8_t* BottomRow = nullptr;
  int32_t Width = 0;
  int32_t RowStride = 0;
  uint8_t* PixelMemory = nullptr;
  uint8_t* BitmapInfo = nullptr;
  // The masks the next SetFormat uses; equal to ImagePixelFormat after every
  // image change.
  TDIBPixelFormat PixelFormat;
  uint32_t* ColorTable = nullptr;
  // Clip of FillRect and ClipToSurface; reset to the whole surface on every
  // image change.
  TRect ClipRect;

  // Picture state.
  bool Modified = false;
  bool PaletteModified = false;
  std::function<void(TDIB&)> OnChange;

  // Format.
  void SetFormat(int32_t Width, int32_t Height, int32_t BitCount);
  void SetWidth(int32_t Value);
  void SetHeight(int32_t Value);
  void Clear();
  // Shares Source's image (nothing if Source is this); nullptr clears.
  virtual void Assign(const TDIB* Source);
  bool GetEmpty() const { return Size == 0; }
  bool Empty() const { return GetEmpty(); }
  int32_t GetWidth() const { return Width; }
  int32_t GetHeight() const { return Height; }

  // Copy on write: afterwards the image is private and decoded; it stays in
  // memory storage only when WantMemory and it was there already.
  void Unshare(bool WantMemory);
  void MakeDIBSection();
  void MakeMemoryStorage();
  void ExpandCompressed();
  // The windowing layer calls this before it draws into the pixels.
  void CanvasChanging() { Unshare(false); }
  bool MemoryStorage() const { return Image->MemoryStorage; }

  // Pixel access: no bounds checks, coordinates must lie inside the surface.
  uint32_t* PixelAddress(int32_t X, int32_t Y) const {
    return reinterpret_cast<uint32_t*>(PixelMemory + ptrdiff_t(Y) * RowStride + ptrdiff_t(X) * 4);
  }
  uint8_t* PixelAddress24(int32_t X, int32_t Y) const {
    return PixelMemory + ptrdiff_t(Y) * RowStride + ptrdiff_t(X) * 3;
  }
  uint8_t* ByteAddress(int32_t X, int32_t Y) const {
    return PixelMemory + ptrdiff_t(Y) * RowStride + X;
  }
  uint32_t GetPixel32(int32_t X, int32_t Y) const { return *PixelAddress(X, Y); }
  // Each byte of the pixel becomes min(255, byte + matching byte of Color).
  void AddPixel(int32_t X, int32_t Y, uint32_t Color) {
    uint8_t* p = reinterpret_cast<uint8_t*>(PixelAddress(X, Y));
    for (int i = 0; i < 4; ++i) {
      uint32_t v = uint32_t(p[i]) + ((Color >> (8 * i)) & 0xFF);
      p[i] = uint8_t(v > 255 ? 255 : v);
    }
  }
  // Each byte becomes min(255, byte + (c * Factor) div 256), Factor 0..256.
  void AddPixelScaled(int32_t X, int32_t Y, int32_t Factor, uint32_t Color) {
    uint8_t* p = reinterpret_cast<uint8_t*>(PixelAddress(X, Y));
    const uint32_t f = uint32_t(Factor) & 0xFFFF;
    for (int i = 0; i < 4; ++i) {
      uint32_t c = (Color >> (8 * i)) & 0xFF;
      uint32_t v = uint32_t(p[i]) + ((c * 16 * (f * 16)) >> 16);
      p[i] = uint8_t(v > 255 ? 255 : v);
    }
  }
  uint8_t* PixelMemoryFlushed() const { return PixelMemory; }
  // Row Y counted from the bottom row of the picture (Y = 0 is the last row in memory).
  uint8_t* RowFromBottom(int32_t Y) const { return BottomRow + ptrdiff_t(Y) * RowStep; }

  // Area operations (32-bit surfaces unless noted).
  // Rect becomes its intersection with ClipRect; true when something is left.
  bool ClipToSurface(TRect& Rect) const;
  // Alpha 256 or more: opaque fill; below: blend towards Color.
  void FillRect(const TRect& Rect, uint32_t Color, int32_t Alpha);
  // In-place box filter of Rect shrunk by Anchor at the top-left and by
  // MaskSize - Anchor - 1 at the bottom-right.
  void BoxBlur(const TRect& Rect, TPoint MaskSize, TPoint Anchor);
  // 24- or 32-bit surfaces of equal depth. Interpolation: 1 nearest, 2 linear,
  // 4 cubic, 16 Lanczos.
  void ScaledCopyTo(TDIB& Dest, const TRect& SrcRect, int32_t Interpolation,
                    const TRect& DestRect) const;
  void ScaledCopyAboutCenter(TDIB& Dest, const TRect& SrcRect, double XFactor, double YFactor,
                             double XCenter, double YCenter, int32_t Interpolation) const;

  // Picture files, colour tables and palettes, bit-depth conversion (defined
  // beside the picture readers).
  virtual void LoadFromFile(const std::string& FileName);
  void SaveToFile(const std::string& FileName) const;
  virtual void LoadFromStream(TStream& Stream);
  virtual void SaveToStream(TStream& Stream) const;
  virtual void ReadData(TStream& Stream);
  virtual void WriteData(TStream& Stream) const;
  virtual void LoadFromClipboardFormat(uint16_t Format, const std::vector<uint8_t>& Data,
                                       uintptr_t Palette);
  virtual void SaveToClipboardFormat(uint16_t& Format, std::vector<uint8_t>& Data,
                                     uintptr_t& Palette) const;
  // Takes over a picture of another kind: drawn onto a black 24-bit surface.
  void AssignPicture(const TPictureObject& Source);
  virtual uintptr_t GetPalette();
  virtual void SetPalette(uintptr_t Palette);
  void SetColorTable(const TDIBColorTable& Table);
  void SetBitCount(int32_t ABitCount);
  void ConvertBitCount(int32_t ABitCount);
  // Rows counted from the bottom; 0x1FFFFFFF outside the picture.
  uint32_t PixelColorFromBottom(int32_t X, int32_t Y);

  // Copies the W x H block whose top-left is (SrcX, SrcY) 1:1 to (X, Y) of
  // Target (the stand-in for drawing onto a device context). The block is cut to
  // both surfaces. Equal depths copy the bytes; a 24- or 32-bit Target takes any
  // other depth's colours (alpha 0); other mixes copy nothing. A shared Target
  // first takes a private copy, as drawing on it would; a compressed source is
  // expanded first.
  void DrawToDC(TDIB& Target, int32_t X, int32_t Y, int32_t SrcX, int32_t SrcY, int32_t W,
                int32_t H);

protected:
  // Fires OnChange and marks the picture modified.
  virtual void Changed();
  void SetImage(TDIBSharedImage* NewImage);
  void SyncFromImage();

private:
  // ReadData with the pixels at PixelOffset of the block (-1: after the
  // colour table), as a file header gives it.
  void ReadImage(TStream& Stream, int64_t PixelOffset);
};

enum TDIBmpDrawMode : int32_t { dmNormal = 0, dmTransparent = 1, dmBlend = 2, dmAlphaBlend = 3 };

class TDIBmp : public TDIB {
public:
  TDIBmp() = default;
  TDIBmp(int32_t Width, int32_t Height, int32_t BitCount, bool MemoryStorage)
      : TDIB(Width, Height, BitCount, MemoryStorage) {}

  static std::unique_ptr<TDIBmp> Create() { return std::make_unique<TDIBmp>(); }
  static std::unique_ptr<TDIBmp> CreateSized(int32_t Width, int32_t Height, int32_t BitCount,
                                             bool MemoryStorage) {
    return std::make_unique<TDIBmp>(Width, Height, BitCount, MemoryStorage);
  }

  int32_t ILCount = 1;
  TDIBmpDrawMode DrawMode = dmNormal;

  // From another TDIBmp also takes ILCount and DrawMode.
  void Assign(const TDIB* Source) override;

  // Glyph strips: cells side by side (defined beside the picture readers).
  void SetILCount(int32_t Value);
  int32_t CellWidth() const;
  int32_t CellCount() const;
  TRect CellRect(int32_t Index) const;
  int32_t ClampCellIndex(int32_t Index) const;
  void DrawCell(TDIB& Target, int32_t X, int32_t Y, int32_t Index);
  void DrawGlyphOn(TDIB& Target, int32_t X, int32_t Y, const TRect& Block);
};

// The process-wide 24-bit DIB-section scratch surface, at least Width x Height.
// When it is already handed out, a fresh surface is returned instead.
TDIB* GetTempSurface(int32_t Width, int32_t Height);
// Hands the scratch surface back, or frees a fresh one.
void ReleaseTempSurface(TDIB* Surface);
