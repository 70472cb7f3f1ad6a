#include "FrameImage.h"

#include <png.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <stdexcept>

namespace {

// Calls F(pixel, outIndex) for every surface pixel that lands inside the
// output image.
// Pixels outside the surface get the four bytes of Fill.
template <class F>
TFrameImage Place(const TDIB& S, int32_t X, int32_t Y, int32_t W, int32_t H,
                  const uint8_t (&Fill)[4], F&& PerPixel) {
  TFrameImage img;
  if (W <= 0 || H <= 0) {
    W = S.Width;
    H = S.Height;
    X = Y = 0;
  }
  img.Width = W;
  img.Height = H;
  img.Rgba.resize(std::size_t(W) * std::size_t(H) * 4);
  for (std::size_t i = 0; i < img.Rgba.size(); i += 4)
    std::copy(Fill, Fill + 4, &img.Rgba[i]);
  if (S.BitCount != 32 || S.PixelMemory == nullptr)
    return img;
  const int32_t x0 = std::max(0, -X), y0 = std::max(0, -Y);
  const int32_t x1 = std::min(S.Width, W - X), y1 = std::min(S.Height, H - Y);
  for (int32_t y = y0; y < y1; ++y) {
    const uint32_t* row = S.PixelAddress(0, y);
    uint8_t* out = &img.Rgba[(std::size_t(y + Y) * std::size_t(W) + std::size_t(x0 + X)) * 4];
    for (int32_t x = x0; x < x1; ++x, out += 4)
      PerPixel(row[x], out);
  }
  return img;
}

uint8_t Unpremultiply(uint32_t c, uint32_t a) {
  if (a == 0)
    return uint8_t(c);
  return uint8_t(std::min<uint32_t>(255, (c * 255 + a / 2) / a));
}

} // namespace

TFrameImage FrameFromSurface(const TDIB& Surface, int32_t X, int32_t Y, int32_t Width,
                             int32_t Height) {
  const uint8_t clear[4] = {0, 0, 0, 0};
  return Place(Surface, X, Y, Width, Height, clear, [](uint32_t p, uint8_t* out) {
    const uint32_t a = p >> 24;
    out[0] = Unpremultiply((p >> 16) & 0xFF, a);
    out[1] = Unpremultiply((p >> 8) & 0xFF, a);
    out[2] = Unpremultiply(p & 0xFF, a);
    out[3] = uint8_t(a);
  });
}

TFrameImage FrameOverBackground(const TDIB& Surface, uint32_t Background, int32_t X, int32_t Y,
                                int32_t Width, int32_t Height) {
  const uint8_t bg[4] = {uint8_t(Background >> 16), uint8_t(Background >> 8), uint8_t(Background),
                         0xFF};
  return Place(Surface, X, Y, Width, Height, bg, [&](uint32_t p, uint8_t* out) {
    const uint32_t a = p >> 24;
    const uint32_t c[3] = {(p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF};
    for (int i = 0; i < 3; ++i)
      out[i] = uint8_t(std::min<uint32_t>(255, c[i] + (bg[i] * (255 - a) + 127) / 255));
    out[3] = 0xFF;
  });
}

void WritePng(const std::string& FileName, const TFrameImage& Image) {
  if (Image.Width <= 0 || Image.Height <= 0)
    throw std::runtime_error("empty image");
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(FileName.c_str(), "wb"), &std::fclose);
  if (!file)
    throw std::runtime_error("cannot create the file");
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info) {
    png_destroy_write_struct(&png, nullptr);
    throw std::runtime_error("out of memory");
  }
  std::vector<png_bytep> rows(std::size_t(Image.Height));
  for (int32_t y = 0; y < Image.Height; ++y)
    rows[std::size_t(y)] =
        const_cast<png_bytep>(&Image.Rgba[std::size_t(y) * std::size_t(Image.Width) * 4]);
  volatile bool failed = false; // set after a longjmp
  if (setjmp(png_jmpbuf(png))) {
    failed = true;
  } else {
    png_init_io(png, file.get());
    png_set_IHDR(png, info, png_uint_32(Image.Width), png_uint_32(Image.Height), 8,
                 PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_set_compression_level(png, 6);
    png_write_info(png, info);
    png_write_image(png, rows.data());
    png_write_end(png, nullptr);
  }
  png_destroy_write_struct(&png, &info);
  if (failed)
    throw std::runtime_error("PNG encoding failed");
  if (std::fflush(file.get()) != 0 || std::ferror(file.get()))
    throw std::runtime_error("write error");
  FILE* f = file.release();
  if (std::fclose(f) != 0)
    throw std::runtime_error("write error");
}

std::optional<TFramePattern> TFramePattern::Parse(const std::string& Pattern) {
  TFramePattern p;
  std::string* part = &p.Before;
  for (std::size_t i = 0; i < Pattern.size(); ++i) {
    const char c = Pattern[i];
    if (c != '%') {
      *part += c;
      continue;
    }
    if (i + 1 < Pattern.size() && Pattern[i + 1] == '%') {
      *part += '%';
      ++i;
      continue;
    }
    if (p.HasNumber_)
      return std::nullopt;
    std::size_t j = i + 1;
    if (j < Pattern.size() && Pattern[j] == '0') {
      p.ZeroPad = true;
      ++j;
    }
    int width = 0;
    while (j < Pattern.size() && Pattern[j] >= '0' && Pattern[j] <= '9') {
      width = width * 10 + (Pattern[j] - '0');
      if (width > 20)
        return std::nullopt;
      ++j;
    }
    if (j >= Pattern.size() || Pattern[j] != 'd')
      return std::nullopt;
    p.Width = width;
    p.HasNumber_ = true;
    part = &p.After;
    i = j;
  }
  return p;
}

std::string TFramePattern::Name(int64_t Frame) const {
  if (!HasNumber_)
    return Before;
  std::string digits = std::to_string(Frame);
  if (int(digits.size()) < Width)
    digits.insert(0, std::size_t(Width) - digits.size(), ZeroPad ? '0' : ' ');
  return Before + digits + After;
}
