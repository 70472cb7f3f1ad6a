#include "AnimatedOutput.h"

#include <fcntl.h>
#include <gif_lib.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <vector>

#include "MedianCut.h"
#include "WebPOutput.h"

std::optional<TOutputKind> OutputKindOf(const std::string& FileName) {
  const std::size_t slash = FileName.find_last_of('/');
  const std::size_t dot = FileName.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
    return std::nullopt;
  std::string ext = FileName.substr(dot + 1);
  for (char& c : ext)
    c = char(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  if (ext == "png")
    return TOutputKind::Png;
  if (ext == "webp")
    return TOutputKind::WebP;
  if (ext == "gif")
    return TOutputKind::Gif;
  return std::nullopt;
}

namespace {

// ---- GIF --------------------------------------------------------------------

// Frames are held back by one, because a frame's delay is written before its
// picture and is known only when the next frame starts: GIF counts in
// hundredths of a second, and a frame that would start less than two of them
// after the held one is dropped (many viewers slow shorter delays down to a
// tenth of a second).
class TGifOutput : public IAnimatedOutput {
public:
  TGifOutput(const std::string& FileName, int32_t Width, int32_t Height, bool Opaque)
      : Gif(nullptr, &CloseGif), Width(Width), Height(Height), Opaque(Opaque) {
    // Opened here rather than by the GIF library, which would make the file
    // readable by its owner alone: a render is meant to be shared.
    const int fd = ::open(FileName.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0)
      throw std::runtime_error("cannot create the file");
    int error = 0;
    Gif.reset(EGifOpenFileHandle(fd, &error));
    if (!Gif) {
      ::close(fd);
      throw std::runtime_error(std::string("cannot start the GIF encoder: ") +
                               GifErrorString(error));
    }
    EGifSetGifVersion(Gif.get(), true);
    Check(EGifPutScreenDesc(Gif.get(), Width, Height, 8, 0, nullptr));
    // The application extension that makes viewers loop: count 0, forever.
    const unsigned char loop[3] = {1, 0, 0};
    Check(EGifPutExtensionLeader(Gif.get(), APPLICATION_EXT_FUNC_CODE));
    Check(EGifPutExtensionBlock(Gif.get(), 11, "NETSCAPE2.0"));
    Check(EGifPutExtensionBlock(Gif.get(), 3, loop));
    Check(EGifPutExtensionTrailer(Gif.get()));
    if (Opaque)
      Shown.resize(std::size_t(Width) * std::size_t(Height) * 3);
  }
  void AddFrame(const TFrameImage& Frame, double DurationMs) override {
    if (Frame.Width != Width || Frame.Height != Height)
      throw std::logic_error("a frame of another size than the animation");
    const double start = TimeMs;
    TimeMs += DurationMs;
    if (HasHeld) {
      const int delay = Hundredths(start) - Hundredths(HeldStart);
      if (delay < 2)
        return;
      Write(Held, delay);
    }
    Held = Frame;
    HeldStart = start;
    HasHeld = true;
  }

  void Finish() override {
    if (HasHeld)
      Write(Held, std::max(1, Hundredths(TimeMs) - Hundredths(HeldStart)));
    HasHeld = false;
    int error = 0;
    if (EGifCloseFile(Gif.release(), &error) != GIF_OK)
      throw std::runtime_error(std::string("GIF writing failed: ") + GifErrorString(error));
  }

private:
  static void CloseGif(GifFileType* G) { EGifCloseFile(G, nullptr); }

  std::unique_ptr<GifFileType, void (*)(GifFileType*)> Gif;
  int32_t Width, Height;
  bool Opaque;
  double TimeMs = 0;
  TFrameImage Held;
  double HeldStart = 0;
  bool HasHeld = false;
  // Opaque frames: the canvas as a viewer shows it after the last written
  // frame, RGB; empty until the first.
  std::vector<uint8_t> Shown;
  bool HasShown = false;
  TMedianCut Cut;
  std::vector<GifPixelType> Line;

  static int Hundredths(double Ms) { return int(std::lround(Ms / 10)); }

  void Check(int Result) {
    if (Result != GIF_OK)
      throw std::runtime_error(std::string("GIF writing failed: ") + GifErrorString(Gif->Error));
  }

  bool Visible(const uint8_t* P) const { return P[3] >= 128; }

  // Opaque frames leave in place whatever a viewer already shows closely
  // enough; frames with transparency are drawn whole and cleared after
  // showing, since a GIF frame can never make a shown pixel transparent again.
  bool Drawn(std::size_t Pixel, const uint8_t* P) const {
    if (!Opaque)
      return Visible(P);
    if (!HasShown)
      return true;
    const uint8_t* s = &Shown[Pixel * 3];
    for (int c = 0; c < 3; ++c)
      if (std::abs(int(P[c]) - int(s[c])) > GifKeepDifference)
        return true;
    return false;
  }

  void Write(const TFrameImage& F, int DelayHundredths) {
    // The smallest rectangle that holds every drawn pixel.
    int32_t left = Width, top = Height, right = 0, bottom = 0;
    Cut.Reset();
    for (int32_t y = 0; y < Height; ++y) {
      const std::size_t row = std::size_t(y) * std::size_t(Width);
      for (int32_t x = 0; x < Width; ++x) {
        const uint8_t* p = &F.Rgba[(row + std::size_t(x)) * 4];
        if (!Drawn(row + std::size_t(x), p))
          continue;
        Cut.Add(p[0], p[1], p[2]);
        left = std::min(left, x);
        right = std::max(right, x + 1);
        top = std::min(top, y);
        bottom = std::max(bottom, y + 1);
      }
    }
    if (left >= right) { // nothing to draw: one transparent pixel
      left = top = 0;
      right = bottom = 1;
    }
    Cut.Build(255);
    const std::vector<TPaletteColor>& colors = Cut.Colors();
    const int transparent = int(colors.size());
    int tableSize = 2;
    while (tableSize < transparent + 1)
      tableSize *= 2;
    std::vector<GifColorType> table(std::size_t(tableSize), GifColorType{0, 0, 0});
    for (std::size_t i = 0; i < colors.size(); ++i)
      table[i] = GifColorType{colors[i].R, colors[i].G, colors[i].B};

    GraphicsControlBlock gcb;
    gcb.DisposalMode = Opaque ? DISPOSE_DO_NOT : DISPOSE_BACKGROUND;
    gcb.UserInputFlag = false;
    gcb.DelayTime = DelayHundredths;
    gcb.TransparentColor = transparent;
    GifByteType extension[4];
    const std::size_t n = EGifGCBToExtension(&gcb, extension);
    Check(EGifPutExtension(Gif.get(), GRAPHICS_EXT_FUNC_CODE, int(n), extension));

    ColorMapObject* map = GifMakeMapObject(tableSize, table.data());
    if (!map)
      throw std::runtime_error("out of memory");
    const int put = EGifPutImageDesc(Gif.get(), left, top, right - left, bottom - top, false, map);
    GifFreeMapObject(map);
    Check(put);
    Line.resize(std::size_t(right - left));
    for (int32_t y = top; y < bottom; ++y) {
      const std::size_t row = std::size_t(y) * std::size_t(Width);
      for (int32_t x = left; x < right; ++x) {
        const std::size_t pixel = row + std::size_t(x);
        const uint8_t* p = &F.Rgba[pixel * 4];
        GifPixelType index = GifPixelType(transparent);
        if (Drawn(pixel, p)) {
          index = Cut.Index(p[0], p[1], p[2]);
          if (Opaque) {
            uint8_t* s = &Shown[pixel * 3];
            s[0] = colors[index].R;
            s[1] = colors[index].G;
            s[2] = colors[index].B;
          }
        }
        Line[std::size_t(x - left)] = index;
      }
      Check(EGifPutLine(Gif.get(), Line.data(), right - left));
    }
    HasShown = true;
  }
};

} // namespace

std::unique_ptr<IAnimatedOutput> OpenAnimatedOutput(TOutputKind Kind, const std::string& FileName,
                                                    int32_t Width, int32_t Height, bool Opaque,
                                                    int Quality) {
  switch (Kind) {
  case TOutputKind::WebP:
    return OpenWebPOutput(FileName, Width, Height, Quality);
  case TOutputKind::Gif:
    return std::make_unique<TGifOutput>(FileName, Width, Height, Opaque);
  case TOutputKind::Png:
    break;
  }
  throw std::logic_error("PNG frames are not an animation");
}
