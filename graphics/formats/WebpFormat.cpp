#include "WebpFormat.h"

#include <webp/decode.h>
#include <webp/demux.h>

#include <memory>
#include <vector>

#include "DIBmp.h"
#include "PictureLimits.h"
#include "Streams.h"

namespace {

[[noreturn]] void Fail(const std::string& why) {
  throw EInvalidGraphic("WebP is invalid (" + why + ")");
}

// libwebp gives a status code and no text of its own.
[[noreturn]] void FailWith(VP8StatusCode status) {
  switch (status) {
  case VP8_STATUS_OUT_OF_MEMORY:
    throw std::bad_alloc();
  case VP8_STATUS_NOT_ENOUGH_DATA:
    Fail("the data ends early");
  case VP8_STATUS_UNSUPPORTED_FEATURE:
    Fail("unsupported feature");
  case VP8_STATUS_INVALID_PARAM:
    Fail("invalid parameter");
  case VP8_STATUS_BITSTREAM_ERROR:
    Fail("bitstream error");
  default:
    Fail("decoding stopped with status " + std::to_string(int(status)));
  }
}

struct TAnimDecoderDeleter {
  void operator()(WebPAnimDecoder* d) const { WebPAnimDecoderDelete(d); }
};

// The first frame composed on the canvas; the decoder clears the canvas to
// transparent black and ignores the file's background colour.
TRasterPicture FirstFrame(const uint8_t* Data, std::size_t Size) {
  WebPAnimDecoderOptions options;
  if (!WebPAnimDecoderOptionsInit(&options))
    Fail("library version mismatch");
  options.color_mode = MODE_RGBA; // straight alpha
  options.use_threads = 0;
  const WebPData data{Data, Size};
  std::unique_ptr<WebPAnimDecoder, TAnimDecoderDeleter> decoder(
      WebPAnimDecoderNew(&data, &options));
  if (!decoder)
    Fail("damaged or incomplete animation");
  WebPAnimInfo info{};
  if (!WebPAnimDecoderGetInfo(decoder.get(), &info))
    Fail("damaged animation");
  CheckPictureSize(info.canvas_width, info.canvas_height, 32);
  uint8_t* frame = nullptr;
  int timestamp = 0;
  if (!WebPAnimDecoderGetNext(decoder.get(), &frame, &timestamp) || !frame)
    Fail("the first frame cannot be decoded");
  TRasterPicture out;
  out.Width = int32_t(info.canvas_width);
  out.Height = int32_t(info.canvas_height);
  out.Pixels.assign(frame, frame + std::size_t(out.Width) * std::size_t(out.Height) * 4);
  return out;
}

} // namespace

TRasterPicture DecodeWebp(const uint8_t* Data, std::size_t Size) {
  static const uint8_t none[1] = {0};
  if (!Data || !Size) {
    Data = none;
    Size = 0;
  }
  WebPBitstreamFeatures features{};
  const VP8StatusCode status = WebPGetFeatures(Data, Size, &features);
  if (status != VP8_STATUS_OK)
    FailWith(status);
  if (features.width <= 0 || features.height <= 0)
    Fail("empty picture");
  // Before any decoder allocates: the animation decoder sets up whole
  // canvases as soon as it is made.
  CheckPictureSize(features.width, features.height, 32);
  if (features.has_animation)
    return FirstFrame(Data, Size);

  TRasterPicture out;
  out.Width = features.width;
  out.Height = features.height;
  out.Pixels.resize(std::size_t(out.Width) * std::size_t(out.Height) * 4);
  WebPDecoderConfig config;
  if (!WebPInitDecoderConfig(&config))
    Fail("library version mismatch");
  config.output.colorspace = MODE_RGBA; // straight alpha; 255 where there is none
  config.output.is_external_memory = 1;
  config.output.u.RGBA.rgba = out.Pixels.data();
  config.output.u.RGBA.stride = out.Width * 4;
  config.output.u.RGBA.size = out.Pixels.size();
  const VP8StatusCode decoded = WebPDecode(Data, Size, &config);
  WebPFreeDecBuffer(&config.output);
  if (decoded != VP8_STATUS_OK)
    FailWith(decoded);
  return out;
}

void TWebpPicture::LoadFromFile(const std::string& FileName) {
  const std::vector<uint8_t> bytes = ReadWholeFile(FileName);
  static_cast<TRasterPicture&>(*this) = DecodeWebp(bytes.data(), bytes.size());
}
