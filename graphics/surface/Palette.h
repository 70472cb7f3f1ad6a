#pragma once
// Logical palettes and the process-wide manager that shares one palette among
// all images with the same colour table.
#include <cstdint>
#include <memory>
#include <vector>

#include "DIBmp.h"

// A palette handle: our own palette object, 0 for none.
using TPaletteHandle = uintptr_t;

struct TPaletteEntry {
  uint8_t Red = 0, Green = 0, Blue = 0, Flags = 0;
};

// Makes a palette of the entries (version 0x300).
TPaletteHandle CreatePalette(const std::vector<TPaletteEntry>& Entries);
// Frees a palette; unknown handles and 0 are ignored.
void DeletePalette(TPaletteHandle Palette);
// Copies up to Count entries from Start; returns how many were copied (0 for
// an unknown handle).
int32_t GetPaletteEntries(TPaletteHandle Palette, int32_t Start, int32_t Count, TPaletteEntry* Out);
// Number of palettes alive (for the tests).
int32_t LivePaletteCount();

struct TPaletteItem {
  int32_t Hash = 0;
  TPaletteHandle Palette = 0;
  int32_t RefCount = 0;
  TDIBColorTable Colors{};
  int32_t ColorCount = 0;
};

class TPaletteManager {
public:
  ~TPaletteManager();
  // The palette of the first Count entries of Colors (0x00RRGGBB each), shared
  // with every earlier request for the same entries.
  TPaletteHandle AcquirePalette(const uint32_t* Colors, int32_t Count);
  // Drops one holder of Handle and sets it to 0; the last holder deletes it.
  void ReleasePalette(TPaletteHandle& Handle);
  const std::vector<std::unique_ptr<TPaletteItem>>& Items() const { return FItems; }

private:
  std::vector<std::unique_ptr<TPaletteItem>> FItems;
};

// The process-wide manager, made on first use and freed at exit.
TPaletteManager& PaletteManager();
TPaletteHandle AcquirePalette(const uint32_t* Colors, int32_t Count);
// Also safe for images freed at exit after the manager (their palettes went
// with it).
void ReleasePalette(TPaletteHandle& Handle);
