#include "MedianCut.h"

#include <algorithm>

namespace {

constexpr int CellCount = 1 << 15;

// A counted cell as the cut sees it: its mean colour and its weight.
struct TItem {
  uint16_t Key;
  uint8_t Mean[3];
  uint32_t Count;
};

struct TBox {
  std::size_t Begin, End; // items
  uint64_t Count = 0;
  int Lo[3] = {255, 255, 255}, Hi[3] = {0, 0, 0};

  int LongestAxis() const {
    int axis = 0;
    for (int c = 1; c < 3; ++c)
      if (Hi[c] - Lo[c] > Hi[axis] - Lo[axis])
        axis = c;
    return axis;
  }
  int Extent() const {
    const int a = LongestAxis();
    return Hi[a] - Lo[a];
  }
};

TBox MakeBox(const std::vector<TItem>& Items, std::size_t Begin, std::size_t End) {
  TBox b{Begin, End};
  for (std::size_t i = Begin; i < End; ++i) {
    b.Count += Items[i].Count;
    for (int c = 0; c < 3; ++c) {
      b.Lo[c] = std::min<int>(b.Lo[c], Items[i].Mean[c]);
      b.Hi[c] = std::max<int>(b.Hi[c], Items[i].Mean[c]);
    }
  }
  return b;
}

} // namespace

TMedianCut::TMedianCut() : Cells(CellCount), Entry(CellCount, -1) {}

void TMedianCut::Reset() {
  for (const uint16_t k : Used) {
    Cells[k] = TCell{};
    Entry[k] = -1;
  }
  Used.clear();
  Palette.clear();
  Distinct.clear();
  TooMany = false;
  Exact = false;
}

void TMedianCut::Add(uint8_t R, uint8_t G, uint8_t B) {
  const uint16_t k = Key(R, G, B);
  TCell& c = Cells[k];
  // A colour is new only where it is not its cell's first: looked up rarely.
  if (!TooMany && (c.Count == 0 || !(c.First == TPaletteColor{R, G, B}))) {
    Distinct.insert(uint32_t(R) << 16 | uint32_t(G) << 8 | B);
    TooMany = Distinct.size() > 256;
  }
  if (c.Count == 0) {
    Used.push_back(k);
    c.First = {R, G, B};
  } else if (!c.Mixed && !(c.First == TPaletteColor{R, G, B})) {
    c.Mixed = true;
  }
  ++c.Count;
  c.Sum[0] += R;
  c.Sum[1] += G;
  c.Sum[2] += B;
}

void TMedianCut::Build(int MaxColors) {
  MaxColors = std::clamp(MaxColors, 1, 256);
  Palette.clear();
  for (const uint16_t k : Used)
    Entry[k] = -1;
  if (Used.empty()) {
    Palette.push_back({});
    return;
  }
  Exact = !TooMany && Distinct.size() <= std::size_t(MaxColors);
  if (Exact) {
    std::vector<uint32_t> colors(Distinct.begin(), Distinct.end());
    std::sort(colors.begin(), colors.end()); // the same palette on every machine
    for (const uint32_t c : colors)
      Palette.push_back({uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c)});
    return;
  }

  std::vector<TItem> items;
  items.reserve(Used.size());
  for (const uint16_t k : Used) {
    const TCell& c = Cells[k];
    TItem it{k, {}, c.Count};
    for (int ch = 0; ch < 3; ++ch)
      it.Mean[ch] = uint8_t((c.Sum[ch] + c.Count / 2) / c.Count);
    items.push_back(it);
  }
  std::vector<TBox> boxes{MakeBox(items, 0, items.size())};
  while (boxes.size() < std::size_t(MaxColors)) {
    // The box that is both crowded and wide gains most from a cut.
    TBox* best = nullptr;
    uint64_t bestScore = 0;
    for (TBox& b : boxes) {
      const uint64_t score = b.Count * uint64_t(b.Extent());
      if (b.End - b.Begin >= 2 && score > bestScore) {
        best = &b;
        bestScore = score;
      }
    }
    if (!best)
      break;
    const int axis = best->LongestAxis();
    std::sort(items.begin() + std::ptrdiff_t(best->Begin),
              items.begin() + std::ptrdiff_t(best->End),
              [axis](const TItem& a, const TItem& b) { return a.Mean[axis] < b.Mean[axis]; });
    // The weighted median, leaving at least one cell on each side.
    uint64_t below = 0;
    std::size_t cut = best->Begin + 1;
    for (std::size_t i = best->Begin; i + 1 < best->End; ++i) {
      below += items[i].Count;
      cut = i + 1;
      if (2 * below >= best->Count)
        break;
    }
    const std::size_t begin = best->Begin, end = best->End;
    *best = MakeBox(items, begin, cut);
    boxes.push_back(MakeBox(items, cut, end));
  }
  for (const TBox& b : boxes) {
    uint64_t sum[3] = {0, 0, 0};
    for (std::size_t i = b.Begin; i < b.End; ++i)
      for (int ch = 0; ch < 3; ++ch)
        sum[ch] += Cells[items[i].Key].Sum[ch];
    const auto mean = [&](int ch) { return uint8_t((sum[ch] + b.Count / 2) / b.Count); };
    Palette.push_back({mean(0), mean(1), mean(2)});
  }
}

uint8_t TMedianCut::Index(uint8_t R, uint8_t G, uint8_t B) {
  const uint16_t k = Key(R, G, B);
  if (Entry[k] >= 0)
    return uint8_t(Entry[k]);
  // An exact palette holds the colour itself; otherwise the cell's mean
  // stands for all its colours.
  int target[3] = {R, G, B};
  if (const TCell& c = Cells[k]; c.Count > 0 && !Exact)
    for (int ch = 0; ch < 3; ++ch)
      target[ch] = int((c.Sum[ch] + c.Count / 2) / c.Count);
  int best = 0, bestDistance = 1 << 30;
  for (std::size_t i = 0; i < Palette.size(); ++i) {
    const int dr = Palette[i].R - target[0], dg = Palette[i].G - target[1],
              db = Palette[i].B - target[2];
    // Green weighs most and blue least to the eye.
    const int d = 3 * dr * dr + 4 * dg * dg + 2 * db * db;
    if (d < bestDistance) {
      bestDistance = d;
      best = int(i);
    }
  }
  if (Cells[k].Count == 0 || (Exact && Cells[k].Mixed))
    return uint8_t(best); // not one answer for the whole cell
  Entry[k] = int16_t(best);
  return uint8_t(best);
}
