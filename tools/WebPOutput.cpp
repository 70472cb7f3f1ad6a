#include "WebPOutput.h"

#include <webp/encode.h>
#include <webp/mux.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <vector>

namespace {

// A rectangle of the canvas, [Left, Right) x [Top, Bottom).
struct TArea {
  int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;
  bool Empty() const { return Left >= Right; }
};

// Where two RGBA frames of the same size differ (all of A when B is null).
// Whole rows are compared first: in a flame most rows either all stay or
// change somewhere, and a row that stays costs one memcmp.
TArea ChangedArea(const TFrameImage& A, const TFrameImage* B) {
  const size_t rowBytes = size_t(A.Width) * 4;
  TArea area{A.Width, A.Height, 0, 0};
  for (int32_t y = 0; y < A.Height; ++y) {
    const uint8_t* a = &A.Rgba[size_t(y) * rowBytes];
    const uint8_t* b = B ? &B->Rgba[size_t(y) * rowBytes] : nullptr;
    if (b && std::memcmp(a, b, rowBytes) == 0)
      continue;
    int32_t left = 0, right = A.Width;
    if (b) {
      while (std::memcmp(a + size_t(left) * 4, b + size_t(left) * 4, 4) == 0)
        ++left;
      while (std::memcmp(a + size_t(right - 1) * 4, b + size_t(right - 1) * 4, 4) == 0)
        --right;
    }
    area.Left = std::min(area.Left, left);
    area.Right = std::max(area.Right, right);
    area.Top = std::min(area.Top, y);
    area.Bottom = y + 1;
  }
  if (area.Empty())
    return TArea{};
  // Frame offsets are stored halved: the corner goes to even coordinates.
  area.Left &= ~1;
  area.Top &= ~1;
  return area;
}

class TWebPOutput : public IAnimatedOutput {
public:
  TWebPOutput(const std::string& FileName, int32_t Width, int32_t Height, int Quality)
      : File(std::fopen(FileName.c_str(), "wb"), &std::fclose), Mux(WebPMuxNew(), &WebPMuxDelete),
        Width(Width), Height(Height) {
    if (!File)
      throw std::runtime_error("cannot create the file");
    if (!Mux || !WebPConfigInit(&Config))
      throw std::runtime_error("the WebP library does not match its headers");
    Config.quality = float(Quality);
    Config.method = WebPMethod;
    Config.alpha_quality = WebPAlphaQuality;
    // The alpha plane on a thread of its own: the same bytes, sooner.
    Config.thread_level = 1;
    if (!WebPValidateConfig(&Config))
      throw std::runtime_error("cannot start the WebP encoder");
    WebPDataInit(&Held.bitstream);
  }
  ~TWebPOutput() override { WebPDataClear(&Held.bitstream); }

  void AddFrame(const TFrameImage& Frame, double DurationMs) override {
    if (Frame.Width != Width || Frame.Height != Height)
      throw std::logic_error("a frame of another size than the animation");
    const int start = Timestamp();
    TimeMs += DurationMs;
    const int duration = Timestamp() - start;
    // The first frame covers what differs from a blank canvas: anything not
    // wholly transparent. (A viewer starts from transparent, whatever the
    // background colour says.)
    TArea area = HasHeld ? ChangedArea(Frame, &Last) : ChangedArea(Frame, &Blank());
    if (area.Empty() && HasHeld) {
      Held.duration += duration; // nothing changed: the held frame stays longer
      return;
    }
    if (area.Empty())
      area = TArea{0, 0, 1, 1};
    Push();
    Encode(Frame, area, duration);
    Last = Frame;
  }

  void Finish() override {
    Push();
    WebPMuxAnimParams params;
    params.bgcolor = 0;    // transparent
    params.loop_count = 0; // forever
    WebPData data;
    WebPDataInit(&data);
    const bool ok = WebPMuxSetAnimationParams(Mux.get(), &params) == WEBP_MUX_OK &&
                    WebPMuxSetCanvasSize(Mux.get(), Width, Height) == WEBP_MUX_OK &&
                    WebPMuxAssemble(Mux.get(), &data) == WEBP_MUX_OK;
    if (!ok) {
      WebPDataClear(&data);
      throw std::runtime_error("WebP assembling failed");
    }
    const bool written = std::fwrite(data.bytes, 1, data.size, File.get()) == data.size;
    WebPDataClear(&data);
    FILE* f = File.release();
    if (!written || std::fclose(f) != 0)
      throw std::runtime_error("write error");
  }

private:
  std::unique_ptr<FILE, int (*)(FILE*)> File;
  std::unique_ptr<WebPMux, void (*)(WebPMux*)> Mux;
  int32_t Width, Height;
  WebPConfig Config;
  double TimeMs = 0; // start of the next frame; rounded only when handed over, so rates
                     // such as 30 per second keep their pace
  TFrameImage Last;  // the last frame encoded, as given
  TFrameImage BlankFrame;
  // The last encoded frame, held until its duration is known for sure.
  WebPMuxFrameInfo Held{};
  bool HasHeld = false;

  int Timestamp() const { return int(std::lround(TimeMs)); }

  const TFrameImage& Blank() {
    if (BlankFrame.Rgba.empty()) {
      BlankFrame.Width = Width;
      BlankFrame.Height = Height;
      BlankFrame.Rgba.assign(size_t(Width) * size_t(Height) * 4, 0);
    }
    return BlankFrame;
  }

  void Encode(const TFrameImage& Frame, const TArea& Area, int Duration) {
    WebPPicture picture;
    if (!WebPPictureInit(&picture))
      throw std::runtime_error("the WebP library does not match its headers");
    picture.use_argb = 1;
    picture.width = Area.Right - Area.Left;
    picture.height = Area.Bottom - Area.Top;
    WebPMemoryWriter writer;
    WebPMemoryWriterInit(&writer);
    picture.writer = WebPMemoryWrite;
    picture.custom_ptr = &writer;
    const uint8_t* corner = &Frame.Rgba[(size_t(Area.Top) * size_t(Width) + size_t(Area.Left)) * 4];
    const bool ok =
        WebPPictureImportRGBA(&picture, corner, Width * 4) && WebPEncode(&Config, &picture);
    const int error = picture.error_code;
    WebPPictureFree(&picture);
    if (!ok) {
      WebPMemoryWriterClear(&writer);
      throw std::runtime_error("WebP encoding failed (error " + std::to_string(error) + ")");
    }
    Held.bitstream.bytes = writer.mem;
    Held.bitstream.size = writer.size;
    Held.x_offset = Area.Left;
    Held.y_offset = Area.Top;
    Held.duration = Duration;
    Held.id = WEBP_CHUNK_ANMF;
    Held.dispose_method = WEBP_MUX_DISPOSE_NONE;
    Held.blend_method = WEBP_MUX_NO_BLEND;
    HasHeld = true;
  }

  void Push() {
    if (!HasHeld)
      return;
    const WebPMuxError pushed = WebPMuxPushFrame(Mux.get(), &Held, 1);
    WebPDataClear(&Held.bitstream);
    HasHeld = false;
    if (pushed != WEBP_MUX_OK)
      throw std::runtime_error("WebP assembling failed");
  }
};

} // namespace

std::unique_ptr<IAnimatedOutput> OpenWebPOutput(const std::string& FileName, int32_t Width,
                                                int32_t Height, int Quality) {
  return std::make_unique<TWebPOutput>(FileName, Width, Height, Quality);
}
