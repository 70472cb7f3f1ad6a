#pragma once
// A palette of at most 256 colours for the pixels of one picture, by median
// cut over a histogram of 5-bit-per-channel colours, and the mapping of
// colours to its entries. GIF needs one per frame.
#include <cstdint>
#include <unordered_set>
#include <vector>

struct TPaletteColor {
  uint8_t R = 0, G = 0, B = 0;
  friend bool operator==(const TPaletteColor&, const TPaletteColor&) = default;
};

class TMedianCut {
public:
  TMedianCut();

  // Forgets the counted colours and the palette.
  void Reset();
  void Add(uint8_t R, uint8_t G, uint8_t B);
  // Splits the counted colours into at most MaxColors (1 to 256) entries.
  // When the picture has no more distinct colours than that, the palette holds
  // exactly them.
  void Build(int MaxColors);
  const std::vector<TPaletteColor>& Colors() const { return Palette; }
  // The entry nearest to a colour, remembered for its histogram cell; after
  // Build.
  uint8_t Index(uint8_t R, uint8_t G, uint8_t B);

private:
  struct TCell {
    uint32_t Count = 0;
    uint64_t Sum[3] = {0, 0, 0};
    TPaletteColor First; // the cell's first colour, to know whether it holds one
    bool Mixed = false;  // it holds more than one distinct colour
  };
  std::vector<TCell> Cells;   // 32768, by Key
  std::vector<uint16_t> Used; // keys of the cells counted, in the order met
  std::vector<int16_t> Entry; // per cell: its palette entry, -1 until asked
  std::vector<TPaletteColor> Palette;
  // The distinct colours while there are no more than 256 of them.
  std::unordered_set<uint32_t> Distinct;
  bool TooMany = false;
  bool Exact = false; // the palette is Distinct

  static uint16_t Key(uint8_t R, uint8_t G, uint8_t B) {
    return uint16_t((R >> 3) << 10 | (G >> 3) << 5 | (B >> 3));
  }
};
