#include "JpegFormat.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

#include <jpeglib.h>

#include "DIBmp.h"
#include "PictureLimits.h"
#include "Streams.h"

// libjpeg reports errors through error_exit, which must not return: it
// longjmps back into the plain function that made the call. Those functions
// hold no C++ object, so no destructor is skipped.
namespace {

struct TJpegError {
  jpeg_error_mgr Pub;
  jmp_buf Jump;
  char Message[JMSG_LENGTH_MAX];
};

void JpegErrorExit(j_common_ptr cinfo) {
  auto* err = reinterpret_cast<TJpegError*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, err->Message);
  longjmp(err->Jump, 1);
}

void JpegOutputMessage(j_common_ptr) {}

// Progressive files may hold any number of scans; a few hundred bytes can
// otherwise keep the decoder busy for minutes.
constexpr int MaxScans = 1000;

void JpegProgress(j_common_ptr cinfo) {
  if (cinfo->is_decompressor) {
    auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (d->input_scan_number > MaxScans) {
      auto* err = reinterpret_cast<TJpegError*>(cinfo->err);
      std::snprintf(err->Message, sizeof err->Message, "Too many scans");
      longjmp(err->Jump, 1);
    }
  }
}

struct TJpegHeader {
  JDIMENSION Width, Height;
  int Components;
  bool Cmyk, Inverted;
};

bool JpegStart(j_decompress_ptr cinfo, TJpegError* err, const uint8_t* data, unsigned long size,
               TJpegHeader* h) {
  if (setjmp(err->Jump))
    return false;
  jpeg_create_decompress(cinfo);
  jpeg_mem_src(cinfo, data, size);
  jpeg_read_header(cinfo, TRUE);
  h->Cmyk = cinfo->jpeg_color_space == JCS_CMYK || cinfo->jpeg_color_space == JCS_YCCK;
  h->Inverted = h->Cmyk && cinfo->saw_Adobe_marker;
  cinfo->out_color_space = h->Cmyk ? JCS_CMYK : JCS_RGB;
  jpeg_calc_output_dimensions(cinfo);
  h->Width = cinfo->output_width;
  h->Height = cinfo->output_height;
  h->Components = cinfo->output_components;
  return true;
}

bool JpegReadRows(j_decompress_ptr cinfo, TJpegError* err, uint8_t* out, std::size_t rowBytes) {
  if (setjmp(err->Jump))
    return false;
  jpeg_start_decompress(cinfo);
  while (cinfo->output_scanline < cinfo->output_height) {
    JSAMPROW row = out + std::size_t(cinfo->output_scanline) * rowBytes;
    jpeg_read_scanlines(cinfo, &row, 1);
  }
  jpeg_finish_decompress(cinfo);
  return true;
}

} // namespace

TRasterPicture DecodeJpeg(const uint8_t* Data, std::size_t Size) {
  jpeg_decompress_struct cinfo{};
  TJpegError err{};
  cinfo.err = jpeg_std_error(&err.Pub);
  err.Pub.error_exit = JpegErrorExit;
  err.Pub.output_message = JpegOutputMessage;
  jpeg_progress_mgr progress{};
  progress.progress_monitor = JpegProgress;
  struct TGuard {
    jpeg_decompress_struct& C;
    ~TGuard() { jpeg_destroy_decompress(&C); }
  } guard{cinfo};
  static const uint8_t none[1] = {0};
  TJpegHeader h{};
  if (!JpegStart(&cinfo, &err, Size ? Data : none, (unsigned long)Size, &h))
    throw EInvalidGraphic(std::string("JPEG is invalid (") + err.Message + ")");
  cinfo.progress = &progress;
  if (h.Components != (h.Cmyk ? 4 : 3))
    throw EInvalidGraphic("JPEG is invalid (unexpected colour components)");
  CheckPictureSize(h.Width, h.Height, 32);

  const std::size_t rowBytes = std::size_t(h.Width) * std::size_t(h.Components);
  std::vector<uint8_t> samples(rowBytes * h.Height);
  if (!JpegReadRows(&cinfo, &err, samples.data(), rowBytes))
    throw EInvalidGraphic(std::string("JPEG is invalid (") + err.Message + ")");

  TRasterPicture out;
  out.Width = int32_t(h.Width);
  out.Height = int32_t(h.Height);
  out.Pixels.resize(std::size_t(h.Width) * h.Height * 4);
  const std::size_t n = std::size_t(h.Width) * h.Height;
  for (std::size_t i = 0; i < n; ++i) {
    uint8_t* o = out.Pixels.data() + 4 * i;
    if (h.Cmyk) {
      const uint8_t* s = samples.data() + 4 * i;
      // Adobe writes CMYK inverted (0 = full ink).
      uint32_t c = s[0], m = s[1], y = s[2], k = s[3];
      if (!h.Inverted) {
        c = 255 - c;
        m = 255 - m;
        y = 255 - y;
        k = 255 - k;
      }
      o[0] = uint8_t(c * k / 255);
      o[1] = uint8_t(m * k / 255);
      o[2] = uint8_t(y * k / 255);
    } else {
      std::memcpy(o, samples.data() + 3 * i, 3);
    }
    o[3] = 255;
  }
  return out;
}

void TJpegPicture::LoadFromFile(const std::string& FileName) {
  const std::vector<uint8_t> bytes = ReadWholeFile(FileName);
  static_cast<TRasterPicture&>(*this) = DecodeJpeg(bytes.data(), bytes.size());
}
