#pragma once
// Small picture files made in the tests: BMPs byte by byte, PNGs with libpng,
// JPEGs with libjpeg, TGAs and GIFs byte by byte.
#include <png.h>
#include <stdio.h>
// jpeglib.h needs FILE declared first.
#include <jpeglib.h>

#include <algorithm>
#include <csetjmp>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <new>
#include <stdexcept>
#include <string>
#include <unistd.h>
#include <vector>

namespace fx {

using Bytes = std::vector<uint8_t>;

inline void Put16(Bytes& b, uint32_t v) {
  b.push_back(uint8_t(v));
  b.push_back(uint8_t(v >> 8));
}
inline void Put32(Bytes& b, uint32_t v) {
  for (int i = 0; i < 4; ++i)
    b.push_back(uint8_t(v >> (8 * i)));
}

struct TBmpSpec {
  uint32_t HeaderSize = 40;
  int32_t Width = 1;
  int32_t Height = 1;
  uint16_t BitCount = 24;
  uint32_t Compression = 0;
  uint32_t ColorCount = 0;        // the header's field
  std::vector<uint32_t> Masks{};  // after a 40-byte header, inside a longer one
  Bytes Gap{};                    // between the colour table and the pixels
  std::vector<uint32_t> Colors{}; // entries 0x00RRGGBB, 3 or 4 bytes each
  Bytes Pixels{};
  int64_t ImageSize = -1; // -1: the size of Pixels
  bool FileHeader = true;
  int64_t PixelOffset = -1; // the file header's offset field; -1: where the pixels are
};

inline Bytes MakeBmp(const TBmpSpec& s) {
  Bytes d;
  Put32(d, s.HeaderSize);
  if (s.HeaderSize == 12) {
    Put16(d, uint32_t(s.Width));
    Put16(d, uint32_t(s.Height));
    Put16(d, 1);
    Put16(d, s.BitCount);
  } else {
    Put32(d, uint32_t(s.Width));
    Put32(d, uint32_t(s.Height));
    Put16(d, 1);
    Put16(d, s.BitCount);
    Put32(d, s.Compression);
    Put32(d, uint32_t(s.ImageSize < 0 ? s.Pixels.size() : s.ImageSize));
    Put32(d, 0);
    Put32(d, 0);
    Put32(d, s.ColorCount);
    Put32(d, 0);
  }
  for (uint32_t m : s.Masks)
    Put32(d, m);
  // Longer headers hold the masks and then colour-space fields, left 0 here.
  if (s.HeaderSize > 40)
    d.resize(s.HeaderSize, 0);
  for (uint32_t c : s.Colors) {
    d.push_back(uint8_t(c));
    d.push_back(uint8_t(c >> 8));
    d.push_back(uint8_t(c >> 16));
    if (s.HeaderSize != 12)
      d.push_back(0);
  }
  d.insert(d.end(), s.Gap.begin(), s.Gap.end());
  const size_t headerBytes = d.size();
  d.insert(d.end(), s.Pixels.begin(), s.Pixels.end());
  if (!s.FileHeader)
    return d;
  Bytes f;
  f.push_back('B');
  f.push_back('M');
  Put32(f, uint32_t(14 + d.size()));
  Put32(f, 0);
  Put32(f, uint32_t(s.PixelOffset < 0 ? 14 + headerBytes : s.PixelOffset));
  f.insert(f.end(), d.begin(), d.end());
  return f;
}

// Rows as libpng takes them for the colour type and depth.
struct TPngSpec {
  int Width = 1, Height = 1;
  int ColorType = PNG_COLOR_TYPE_RGB_ALPHA;
  int BitDepth = 8;
  Bytes Rows{}; // Height rows, packed
  std::vector<png_color> Palette{};
  Bytes Trans{}; // tRNS alphas of palette entries
  bool Interlaced = false;
  std::vector<png_color_16> TransColor{}; // a tRNS colour of a grey or RGB picture
};

inline void PngWriteTo(png_structp png, png_bytep data, png_size_t n) {
  auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + n);
}
inline void PngFlush(png_structp) {}

// No C++ object lives in this frame, so libpng's longjmp skips no destructor.
inline bool PngWrite(png_structp png, png_infop info, const TPngSpec* s, Bytes* out,
                     png_bytepp rows) {
  if (setjmp(png_jmpbuf(png)))
    return false;
  png_set_write_fn(png, out, PngWriteTo, PngFlush);
  png_set_IHDR(png, info, png_uint_32(s->Width), png_uint_32(s->Height), s->BitDepth, s->ColorType,
               s->Interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (!s->Palette.empty())
    png_set_PLTE(png, info, s->Palette.data(), int(s->Palette.size()));
  if (!s->Trans.empty())
    png_set_tRNS(png, info, s->Trans.data(), int(s->Trans.size()), nullptr);
  if (!s->TransColor.empty())
    png_set_tRNS(png, info, nullptr, 0, const_cast<png_color_16p>(s->TransColor.data()));
  png_write_info(png, info);
  png_write_image(png, rows);
  png_write_end(png, nullptr);
  return true;
}

inline Bytes MakePng(const TPngSpec& s) {
  Bytes out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  const size_t rowBytes = s.Rows.size() / size_t(s.Height);
  std::vector<png_bytep> rows(size_t(s.Height));
  for (int r = 0; r < s.Height; ++r)
    rows[size_t(r)] = const_cast<png_bytep>(s.Rows.data() + size_t(r) * rowBytes);
  const bool ok = PngWrite(png, info, &s, &out, rows.data());
  png_destroy_write_struct(&png, &info);
  if (!ok)
    std::abort();
  return out;
}

// Pixels: Components bytes per pixel (1 grey or 3 RGB), rows top first.
inline Bytes MakeJpeg(int Width, int Height, int Components, const Bytes& Pixels, int Quality = 95,
                      bool Progressive = false) {
  jpeg_compress_struct c{};
  jpeg_error_mgr err{};
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  unsigned char* mem = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&c, &mem, &size);
  c.image_width = JDIMENSION(Width);
  c.image_height = JDIMENSION(Height);
  c.input_components = Components;
  c.in_color_space = Components == 1 ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, Quality, TRUE);
  if (Progressive)
    jpeg_simple_progression(&c);
  jpeg_start_compress(&c, TRUE);
  while (c.next_scanline < c.image_height) {
    JSAMPROW row =
        const_cast<JSAMPROW>(Pixels.data() + size_t(c.next_scanline) * size_t(Width * Components));
    jpeg_write_scanlines(&c, &row, 1);
  }
  jpeg_finish_compress(&c);
  Bytes out(mem, mem + size);
  jpeg_destroy_compress(&c);
  std::free(mem);
  return out;
}

// A TGA colour map: its stored entries and the index of the first.
struct TTgaMap {
  int First = 0;
  int Bits = 24;
  int Length = -1; // -1: as many as Entries holds
  Bytes Entries{};
};

inline Bytes MakeTga(uint8_t ImageType, int Width, int Height, int Bits, uint8_t Descriptor,
                     const Bytes& Pixels, uint8_t IdLength = 0, const TTgaMap* Map = nullptr) {
  Bytes d(18, 0);
  d[0] = IdLength;
  d[2] = ImageType;
  d[12] = uint8_t(Width);
  d[13] = uint8_t(Width >> 8);
  d[14] = uint8_t(Height);
  d[15] = uint8_t(Height >> 8);
  d[16] = uint8_t(Bits);
  d[17] = Descriptor;
  d.insert(d.end(), IdLength, 'i');
  if (Map) {
    const int length =
        Map->Length >= 0 ? Map->Length : int(Map->Entries.size()) / ((Map->Bits + 7) / 8);
    d[1] = 1;
    d[3] = uint8_t(Map->First);
    d[4] = uint8_t(Map->First >> 8);
    d[5] = uint8_t(length);
    d[6] = uint8_t(length >> 8);
    d[7] = uint8_t(Map->Bits);
    d.insert(d.end(), Map->Entries.begin(), Map->Entries.end());
  }
  d.insert(d.end(), Pixels.begin(), Pixels.end());
  return d;
}

// A GIF of one frame. Its pixels are coded as plain LZW literals, starting
// afresh before the table would widen the codes, so any index can be written,
// including ones the colour map does not have.
struct TGifSpec {
  int ScreenWidth = 1, ScreenHeight = 1;
  std::vector<uint32_t> Global{}; // 0xRRGGBB; none: no global colour map
  int Left = 0, Top = 0, Width = 1, Height = 1;
  std::vector<uint32_t> Local{}; // the frame's own colour map, when given
  bool Interlaced = false;       // the flag only: Indices are in stream order
  int Transparent = -1;          // a graphic control block's transparent index
  Bytes Indices{};               // Width * Height indices
  int CodeSize = 2;              // LZW minimum code size, 2..8
};

// A colour map of 2, 4, ... 256 entries holding Colors, padded with black;
// returns the packed field's size bits.
inline uint8_t PutGifColors(Bytes& b, const std::vector<uint32_t>& Colors) {
  uint8_t bits = 0;
  while ((2u << bits) < Colors.size())
    ++bits;
  for (uint32_t i = 0; i < (2u << bits); ++i) {
    const uint32_t c = i < Colors.size() ? Colors[i] : 0;
    b.insert(b.end(), {uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c)});
  }
  return bits;
}

inline Bytes MakeGif(const TGifSpec& s) {
  Bytes d = {'G', 'I', 'F', '8', '9', 'a'};
  Put16(d, uint32_t(s.ScreenWidth));
  Put16(d, uint32_t(s.ScreenHeight));
  d.insert(d.end(), {0, 0, 0});
  if (!s.Global.empty())
    d[10] = uint8_t(0xF0 | PutGifColors(d, s.Global));
  if (s.Transparent >= 0)
    d.insert(d.end(), {0x21, 0xF9, 4, 1, 0, 0, uint8_t(s.Transparent), 0});
  d.push_back(0x2C);
  Put16(d, uint32_t(s.Left));
  Put16(d, uint32_t(s.Top));
  Put16(d, uint32_t(s.Width));
  Put16(d, uint32_t(s.Height));
  d.push_back(s.Interlaced ? 0x40 : 0);
  if (!s.Local.empty()) {
    const std::size_t packed = d.size() - 1;
    d[packed] |= uint8_t(0x80 | PutGifColors(d, s.Local));
  }

  // Codes of CodeSize + 1 bits, least significant bit first.
  const uint32_t clear = 1u << s.CodeSize, width = uint32_t(s.CodeSize) + 1;
  Bytes codes;
  uint32_t acc = 0, bits = 0;
  auto code = [&](uint32_t c) {
    acc |= c << bits;
    for (bits += width; bits >= 8; bits -= 8, acc >>= 8)
      codes.push_back(uint8_t(acc));
  };
  for (size_t i = 0; i < s.Indices.size(); ++i) {
    if (i % (clear - 2) == 0)
      code(clear);
    code(s.Indices[i]);
  }
  code(clear + 1);
  if (bits)
    codes.push_back(uint8_t(acc));
  d.push_back(uint8_t(s.CodeSize));
  for (size_t i = 0; i < codes.size(); i += 255) {
    const size_t n = std::min<size_t>(255, codes.size() - i);
    d.push_back(uint8_t(n));
    d.insert(d.end(), codes.begin() + long(i), codes.begin() + long(i + n));
  }
  d.insert(d.end(), {0, 0x3B});
  return d;
}

// The message of what f raises: "out of memory" for std::bad_alloc, "(none)"
// when it raises nothing.
inline std::string ErrorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const std::bad_alloc&) {
    return "out of memory";
  } catch (const std::exception& e) {
    return e.what();
  }
  return "(none)";
}

// A folder of its own under the system's temporary folder, removed at the end.
class TTempDir {
public:
  TTempDir() {
    std::string t = (std::filesystem::temp_directory_path() / "quelma-pictures-XXXXXX").string();
    Path = mkdtemp(t.data());
  }
  ~TTempDir() {
    std::error_code ec;
    std::filesystem::remove_all(Path, ec);
  }
  std::string Write(const std::string& Name, const Bytes& B) const {
    const std::string p = Path + "/" + Name;
    std::ofstream(p, std::ios::binary)
        .write(reinterpret_cast<const char*>(B.data()), std::streamsize(B.size()));
    return p;
  }
  std::string Path;
};

} // namespace fx
