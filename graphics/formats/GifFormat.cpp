#include "GifFormat.h"

#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "DIBmp.h"
#include "PictureLimits.h"
#include "Streams.h"

namespace {

struct TGifSource {
  const uint8_t* Data;
  std::size_t Size;
  std::size_t Pos;
  bool Short; // a read asked for more than was left
};

// giflib reads through this callback, so files and fuzz inputs take the same
// path from memory.
int GifRead(GifFileType* gif, GifByteType* out, int count) {
  auto* src = static_cast<TGifSource*>(gif->UserData);
  if (count <= 0)
    return 0;
  const std::size_t n = std::min(std::size_t(count), src->Size - src->Pos);
  if (n < std::size_t(count))
    src->Short = true;
  if (n)
    std::memcpy(out, src->Data + src->Pos, n);
  src->Pos += n;
  return int(n);
}

[[noreturn]] void Fail(const std::string& why) {
  throw EInvalidGraphic("GIF is invalid (" + why + ")");
}

// The library's reason, or the end of the data when that is what stopped it.
[[noreturn]] void FailWith(const TGifSource& src, int code) {
  if (src.Short)
    Fail("the data ends early");
  const char* message = GifErrorString(code);
  Fail(message ? message : "error " + std::to_string(code));
}

struct TGifCloser {
  void operator()(GifFileType* gif) const {
    int error = 0;
    DGifCloseFile(gif, &error);
  }
};

// The rows of an interlaced frame arrive in four passes: every eighth row
// from 0, every eighth from 4, every fourth from 2, every second from 1.
std::vector<int> RowOrder(int height, bool interlaced) {
  std::vector<int> order;
  order.reserve(std::size_t(height));
  if (!interlaced) {
    for (int y = 0; y < height; ++y)
      order.push_back(y);
    return order;
  }
  static const int start[4] = {0, 4, 2, 1}, step[4] = {8, 8, 4, 2};
  for (int pass = 0; pass < 4; ++pass)
    for (int y = start[pass]; y < height; y += step[pass])
      order.push_back(y);
  return order;
}

} // namespace

TRasterPicture DecodeGif(const uint8_t* Data, std::size_t Size) {
  TGifSource src{Data, Data ? Size : 0, 0, false};
  int error = 0;
  std::unique_ptr<GifFileType, TGifCloser> gif(DGifOpen(&src, GifRead, &error));
  if (!gif) {
    if (error == D_GIF_ERR_NOT_ENOUGH_MEM)
      throw std::bad_alloc();
    FailWith(src, error);
  }

  // Records up to the first image; only a graphic control block before it
  // matters (its transparent colour). Other extensions are skipped.
  int transparent = NO_TRANSPARENT_COLOR;
  for (;;) {
    GifRecordType type = UNDEFINED_RECORD_TYPE;
    if (DGifGetRecordType(gif.get(), &type) == GIF_ERROR)
      FailWith(src, gif->Error);
    if (type == IMAGE_DESC_RECORD_TYPE)
      break;
    if (type == TERMINATE_RECORD_TYPE)
      Fail("no image");
    if (type != EXTENSION_RECORD_TYPE)
      Fail("unexpected record");
    int code = 0;
    GifByteType* block = nullptr;
    if (DGifGetExtension(gif.get(), &code, &block) == GIF_ERROR)
      FailWith(src, gif->Error);
    if (code == GRAPHICS_EXT_FUNC_CODE && block) {
      // A control block of the wrong length says nothing; the frame is
      // still readable without it.
      GraphicsControlBlock gcb{};
      if (DGifExtensionToGCB(block[0], block + 1, &gcb) == GIF_OK)
        transparent = gcb.TransparentColor;
    }
    while (block)
      if (DGifGetExtensionNext(gif.get(), &block) == GIF_ERROR)
        FailWith(src, gif->Error);
  }
  if (DGifGetImageDesc(gif.get()) == GIF_ERROR)
    FailWith(src, gif->Error);

  const GifImageDesc& frame = gif->Image;
  if (frame.Left < 0 || frame.Top < 0 || frame.Width < 0 || frame.Height < 0)
    Fail("bad frame position");
  // A frame reaching past the screen grows the picture rather than losing
  // pixels; that also serves files that leave the screen size 0.
  const int64_t width = std::max<int64_t>(gif->SWidth, int64_t(frame.Left) + frame.Width);
  const int64_t height = std::max<int64_t>(gif->SHeight, int64_t(frame.Top) + frame.Height);
  if (width <= 0 || height <= 0)
    Fail("empty picture");
  CheckPictureSize(width, height, 32);
  const ColorMapObject* map = frame.ColorMap ? frame.ColorMap : gif->SColorMap;
  if (!map)
    Fail("no colour map");

  TRasterPicture out;
  out.Width = int32_t(width);
  out.Height = int32_t(height);
  // What the frame does not cover stays transparent rather than taking the
  // screen's background colour: viewers show what lies behind there, and the
  // picture import then makes no emitters of it. Animated WebP is composed on
  // a transparent canvas as well, so both formats agree.
  out.Pixels.assign(std::size_t(width) * std::size_t(height) * 4, 0);

  if (frame.Width == 0 || frame.Height == 0)
    return out;
  std::vector<GifPixelType> line(std::size_t(frame.Width));
  for (const int y : RowOrder(frame.Height, frame.Interlace)) {
    if (DGifGetLine(gif.get(), line.data(), frame.Width) == GIF_ERROR)
      FailWith(src, gif->Error);
    uint8_t* o = out.Pixels.data() +
                 (std::size_t(frame.Top + y) * std::size_t(width) + std::size_t(frame.Left)) * 4;
    for (const GifPixelType index : line) {
      if (index == transparent) {
        o += 4;
        continue;
      }
      if (index >= map->ColorCount)
        Fail("colour index " + std::to_string(index) + " outside the colour map");
      const GifColorType& c = map->Colors[index];
      o[0] = c.Red;
      o[1] = c.Green;
      o[2] = c.Blue;
      o[3] = 255;
      o += 4;
    }
  }
  return out;
}

void TGifPicture::LoadFromFile(const std::string& FileName) {
  const std::vector<uint8_t> bytes = ReadWholeFile(FileName);
  static_cast<TRasterPicture&>(*this) = DecodeGif(bytes.data(), bytes.size());
}
