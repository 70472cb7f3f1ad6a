#include "Palette.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>

namespace {

struct TLogPalette {
  uint16_t Version = 0x300;
  std::vector<TPaletteEntry> Entries;
};

// Live palettes by handle. Handles count up and are never reused, so a stale
// handle can neither reach freed memory nor a newer palette.
std::unordered_map<TPaletteHandle, TLogPalette>& LivePalettes() {
  static std::unordered_map<TPaletteHandle, TLogPalette> live;
  return live;
}

TLogPalette* Find(TPaletteHandle h) {
  auto it = LivePalettes().find(h);
  return it == LivePalettes().end() ? nullptr : &it->second;
}

int32_t HashOf(const uint32_t* Colors, int32_t Count) {
  uint32_t h = uint32_t(Count);
  for (int32_t i = 0; i < Count; ++i)
    h += (Colors[i] & 0xFF) + ((Colors[i] >> 8) & 0xFF) + ((Colors[i] >> 16) & 0xFF);
  return int32_t(h);
}

} // namespace

TPaletteHandle CreatePalette(const std::vector<TPaletteEntry>& Entries) {
  static TPaletteHandle next = 0x1000;
  const TPaletteHandle h = next++;
  LivePalettes()[h].Entries = Entries;
  return h;
}

void DeletePalette(TPaletteHandle Palette) {
  LivePalettes().erase(Palette);
}

int32_t GetPaletteEntries(TPaletteHandle Palette, int32_t Start, int32_t Count,
                          TPaletteEntry* Out) {
  const TLogPalette* p = Find(Palette);
  if (!p || Start < 0 || Count <= 0)
    return 0;
  const int32_t n = std::clamp<int32_t>(int32_t(p->Entries.size()) - Start, 0, Count);
  std::copy_n(p->Entries.begin() + Start, n, Out);
  return n;
}

int32_t LivePaletteCount() {
  return int32_t(LivePalettes().size());
}

namespace {
bool ManagerGone = false;
}

TPaletteManager::~TPaletteManager() {
  ManagerGone = true;
  for (auto& item : FItems)
    DeletePalette(item->Palette);
}

TPaletteHandle TPaletteManager::AcquirePalette(const uint32_t* Colors, int32_t Count) {
  Count = std::clamp<int32_t>(Count, 0, 256);
  const int32_t hash = HashOf(Colors, Count);
  for (auto& item : FItems)
    if (item->Hash == hash && item->ColorCount == Count &&
        std::equal(Colors, Colors + Count, item->Colors.begin())) {
      ++item->RefCount;
      return item->Palette;
    }
  auto item = std::make_unique<TPaletteItem>();
  item->Hash = hash;
  item->ColorCount = Count;
  std::copy_n(Colors, Count, item->Colors.begin());
  std::vector<TPaletteEntry> entries(static_cast<std::size_t>(Count));
  for (int32_t i = 0; i < Count; ++i)
    entries[std::size_t(i)] = {uint8_t(Colors[i] >> 16), uint8_t(Colors[i] >> 8),
                               uint8_t(Colors[i]), 0};
  item->Palette = CreatePalette(entries);
  item->RefCount = 1;
  FItems.push_back(std::move(item));
  return FItems.back()->Palette;
}

void TPaletteManager::ReleasePalette(TPaletteHandle& Handle) {
  if (!Handle)
    return;
  auto it = std::find_if(FItems.begin(), FItems.end(),
                         [&](const auto& i) { return i->Palette == Handle; });
  Handle = 0;
  if (it == FItems.end())
    return;
  if (--(*it)->RefCount <= 0) {
    DeletePalette((*it)->Palette);
    FItems.erase(it);
  }
}

TPaletteManager& PaletteManager() {
  // The set of live palettes must outlive the manager, which deletes its
  // palettes at exit: made first, it is destroyed last.
  LivePalettes();
  static TPaletteManager manager;
  return manager;
}

TPaletteHandle AcquirePalette(const uint32_t* Colors, int32_t Count) {
  return PaletteManager().AcquirePalette(Colors, Count);
}

void ReleasePalette(TPaletteHandle& Handle) {
  if (!Handle || ManagerGone) {
    Handle = 0;
    return;
  }
  PaletteManager().ReleasePalette(Handle);
}
