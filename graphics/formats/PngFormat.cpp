#include "PngFormat.h"

#include <png.h>

#include <csetjmp>
#include <cstring>
#include <vector>

#include "DIBmp.h"
#include "PictureLimits.h"
#include "Streams.h"

// libpng reports errors by longjmp. Every libpng call sits in a plain function
// below that holds no C++ object, so a longjmp never skips a destructor; the
// C++ side turns the outcome into an exception.
namespace {

struct TPngSource {
  const uint8_t* Data;
  std::size_t Size;
  std::size_t Pos;
  char Message[200];
};

void PngError(png_structp png, png_const_charp message) {
  auto* src = static_cast<TPngSource*>(png_get_error_ptr(png));
  std::snprintf(src->Message, sizeof src->Message, "%s", message ? message : "");
  png_longjmp(png, 1);
}

void PngWarning(png_structp, png_const_charp) {}

void PngRead(png_structp png, png_bytep out, png_size_t count) {
  auto* src = static_cast<TPngSource*>(png_get_io_ptr(png));
  if (count > src->Size - src->Pos)
    png_error(png, "Read past the end of the data");
  std::memcpy(out, src->Data + src->Pos, count);
  src->Pos += count;
}

struct TPngHeader {
  png_uint_32 Width, Height;
  int BitDepth, ColorType;
  bool Alpha;
};

// Reads the header and sets up the transforms to 8-bit RGBA.
bool PngReadHeader(png_structp png, png_infop info, TPngHeader* h) {
  if (setjmp(png_jmpbuf(png)))
    return false;
  png_set_user_limits(png, png_uint_32(MaxPictureSide), png_uint_32(MaxPictureSide));
  png_set_chunk_malloc_max(png, 64u << 20);
  png_read_info(png, info);
  h->Width = png_get_image_width(png, info);
  h->Height = png_get_image_height(png, info);
  h->BitDepth = png_get_bit_depth(png, info);
  h->ColorType = png_get_color_type(png, info);
  const bool rgba8 = h->BitDepth == 8 && h->ColorType == PNG_COLOR_TYPE_RGB_ALPHA;
  const bool trns = png_get_valid(png, info, PNG_INFO_tRNS);
  h->Alpha = rgba8 || trns;
  if (!rgba8) {
    png_set_expand(png); // palette to RGB, small greys to 8 bits, tRNS to alpha
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    if (!(h->ColorType & PNG_COLOR_MASK_ALPHA) && !trns)
      png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
  }
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  if (png_get_rowbytes(png, info) != png_size_t(h->Width) * 4)
    png_error(png, "Unexpected row layout");
  return true;
}

bool PngReadRows(png_structp png, png_infop info, png_bytepp rows) {
  if (setjmp(png_jmpbuf(png)))
    return false;
  png_read_image(png, rows);
  png_read_end(png, nullptr);
  (void)info;
  return true;
}

[[noreturn]] void Fail(const TPngSource& src) {
  throw EInvalidGraphic(std::string("PNG is invalid (") + src.Message + ")");
}

} // namespace

TPngPicture DecodePng(const uint8_t* Data, std::size_t Size) {
  TPngSource src{Data, Data ? Size : 0, 0, "no data"};
  if (src.Size < 8 || png_sig_cmp(Data, 0, 8) != 0) {
    std::snprintf(src.Message, sizeof src.Message, "Not a PNG signature");
    Fail(src);
  }
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &src, PngError, PngWarning);
  if (!png)
    throw std::bad_alloc();
  png_infop info = png_create_info_struct(png);
  struct TGuard {
    png_structp& Png;
    png_infop& Info;
    ~TGuard() { png_destroy_read_struct(&Png, Info ? &Info : nullptr, nullptr); }
  } guard{png, info};
  if (!info)
    throw std::bad_alloc();
  png_set_read_fn(png, &src, PngRead);

  TPngHeader h{};
  if (!PngReadHeader(png, info, &h))
    Fail(src);
  CheckPictureSize(h.Width, h.Height, 32);

  TPngPicture out;
  out.Alpha = h.Alpha;
  out.Raster.Width = int32_t(h.Width);
  out.Raster.Height = int32_t(h.Height);
  out.Raster.Pixels.resize(std::size_t(h.Width) * h.Height * 4);
  std::vector<png_bytep> rows(h.Height);
  for (png_uint_32 r = 0; r < h.Height; ++r)
    rows[r] = out.Raster.Pixels.data() + std::size_t(r) * h.Width * 4;
  if (!PngReadRows(png, info, rows.data()))
    Fail(src);
  return out;
}

void LoadPngInto(TDIB& Dest, const uint8_t* Data, std::size_t Size) {
  const TPngPicture png = DecodePng(Data, Size);
  const TRasterPicture& r = png.Raster;
  if (png.Alpha)
    AssignPremultiplied(r, Dest);
  else
    r.AssignTo(Dest);
}

void LoadPngFile(TDIB& Dest, const std::string& FileName) {
  const std::vector<uint8_t> bytes = ReadWholeFile(FileName);
  LoadPngInto(Dest, bytes.data(), bytes.size());
}
