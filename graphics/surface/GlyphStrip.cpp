// TDIBmp glyph strips: cells side by side in one picture, and the draw modes
// the custom controls draw them with.
#include <algorithm>

#include "ColorKernels.h"
#include "DIBmp.h"

void TDIBmp::SetILCount(int32_t Value) {
  ILCount = Value;
  Changed();
}

int32_t TDIBmp::CellWidth() const {
  return CellRect(0).Width();
}

int32_t TDIBmp::CellCount() const {
  if (ILCount >= 0)
    return ILCount;
  return Width / -int64_t(ILCount) > 0 ? int32_t(Width / -int64_t(ILCount)) : 0;
}

TRect TDIBmp::CellRect(int32_t Index) const {
  const int64_t w = ILCount > 0 ? Width / ILCount : -int64_t(ILCount);
  const int64_t x = Index > 0 ? int64_t(Index) * w : -int64_t(Index);
  // Far-out indices give a cell beyond the picture, not a wrapped one.
  const int64_t limit = INT32_MAX;
  const int64_t left = std::min(x, limit);
  const int64_t right = std::min(x + w, limit);
  return TRect{int32_t(left), 0, int32_t(right), Height};
}

int32_t TDIBmp::ClampCellIndex(int32_t Index) const {
  if (ILCount <= 0)
    return Index;
  return std::min(Index, ILCount - 1);
}

void TDIBmp::DrawCell(TDIB& Target, int32_t X, int32_t Y, int32_t Index) {
  const TRect r = CellRect(Index);
  DrawToDC(Target, X, Y, r.Left, r.Top, r.Width(), r.Height());
}

void TDIBmp::DrawGlyphOn(TDIB& Target, int32_t X, int32_t Y, const TRect& Block) {
  switch (DrawMode) {
  case dmNormal:
  case dmBlend:
    DrawToDC(Target, X, Y, Block.Left, Block.Top, Block.Width(), Block.Height());
    return;
  case dmTransparent:
  case dmAlphaBlend:
    break;
  }
  const bool transparent = DrawMode == dmTransparent;
  if (Target.BitCount != 24 || Target.GetEmpty() || BitCount != (transparent ? 8 : 32))
    return;
  ExpandCompressed();
  Target.Unshare(Target.MemoryStorage());
  const TPixelView dst{Target.PixelMemory, Target.RowStride, Target.Width, Target.Height};
  if (transparent) {
    // Index 0 is the transparent colour.
    const TPaletteView src{PixelMemory, RowStride, Width, Height, ColorTable, 256, 0};
    PaletteRect8To24(src, Block, dst, TPoint{X, Y});
  } else {
    // The glyph holds premultiplied colour.
    const TPixelView src{PixelMemory, RowStride, Width, Height};
    PremulOverRect24(src, Block, dst, TPoint{X, Y});
  }
}
