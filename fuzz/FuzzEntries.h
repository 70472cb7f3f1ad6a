#pragma once
// One entry per picture reader: feed it arbitrary bytes, then use the picture
// the way the program does. Errors are the expected outcome for most inputs;
// only crashes, sanitizer reports and hangs are findings. Shared by the
// libFuzzer programs and the seed replay of the unit tests.
#include <cstddef>
#include <cstdint>
#include <exception>
#include <new>

#include "BmpFormat.h"
#include "DIBmp.h"
#include "GifFormat.h"
#include "JpegFormat.h"
#include "PictureLimits.h"
#include "PngFormat.h"
#include "Streams.h"
#include "TgaFormat.h"
#include "WebpFormat.h"

namespace quelma_fuzz {

// Touches every pixel so that a picture shorter than its header says shows up.
inline uint32_t Checksum(TDIB& d) {
  uint32_t sum = 0;
  d.ExpandCompressed();
  for (int32_t y = 0; y < d.Height; ++y)
    for (int32_t x = 0; x < d.Width; ++x)
      sum += d.PixelColorFromBottom(x, y);
  return sum;
}

// What the program does with a loaded picture: read it, bring it to 24 bits
// and write it out again.
inline void Exercise(TDIB& d) {
  // Pictures of many megapixels are valid; walking them pixel by pixel under
  // the sanitizers only slows the search down.
  if (d.GetEmpty() || int64_t(d.Width) * d.Height > (int64_t(1) << 18))
    return;
  volatile uint32_t sink = Checksum(d);
  (void)sink;
  TMemoryStream out;
  d.SaveToStream(out);
  if (d.BitCount < 24) {
    d.PixelFormat = MakePixelFormat(8, 8, 8);
    d.ConvertBitCount(24);
    sink = Checksum(d);
  }
  // What was written must read back.
  out.Seek(0);
  TDIBmp back;
  back.LoadFromStream(out);
}

template <class F> int Guarded(F&& f) {
  // Pictures of up to 16 MB: large enough for every path, small enough to
  // keep thousands of runs a second.
  const TPictureByteLimit limit(int64_t(1) << 24);
  try {
    f();
  } catch (const std::bad_alloc&) {
  } catch (const std::exception&) {
  }
  return 0;
}

inline int FuzzBmp(const uint8_t* Data, std::size_t Size) {
  return Guarded([&] {
    TReadOnlyMemoryStream in(Data, Size);
    TDIBmp d;
    d.LoadFromStream(in);
    Exercise(d);
  });
}

inline int FuzzTga(const uint8_t* Data, std::size_t Size) {
  return Guarded([&] {
    TReadOnlyMemoryStream in(Data, Size);
    TDIBmp d;
    LoadTga(d, in);
    Exercise(d);
  });
}

inline int FuzzPng(const uint8_t* Data, std::size_t Size) {
  return Guarded([&] {
    TDIBmp d;
    LoadPngInto(d, Data, Size);
    Exercise(d);
  });
}

inline int FuzzJpeg(const uint8_t* Data, std::size_t Size) {
  return Guarded([&] {
    TDIBmp d;
    d.AssignPicture(DecodeJpeg(Data, Size));
    Exercise(d);
  });
}

// GIF and WebP pictures load as their registry classes do: 32 bits when
// they carry transparency, 24 otherwise.
inline int FuzzGif(const uint8_t* Data, std::size_t Size) {
  return Guarded([&] {
    TDIBmp d;
    d.AssignPicture(TAlphaRasterPicture(DecodeGif(Data, Size)));
    Exercise(d);
  });
}

inline int FuzzWebp(const uint8_t* Data, std::size_t Size) {
  return Guarded([&] {
    TDIBmp d;
    d.AssignPicture(TAlphaRasterPicture(DecodeWebp(Data, Size)));
    Exercise(d);
  });
}

} // namespace quelma_fuzz
