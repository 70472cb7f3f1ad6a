#include "AlphaRegion.h"

#include <algorithm>

namespace {

// Runs of cells with some alpha in the cell row starting at pixel row Y.
void CellRuns(const uint8_t* Pixels, int32_t Width, int32_t Rows, int32_t RowStride, int32_t Cell,
              std::vector<int32_t>& Runs) {
  const int32_t Cells = (Width + Cell - 1) / Cell;
  Runs.clear();
  int32_t Start = -1;
  for (int32_t C = 0; C <= Cells; ++C) {
    bool On = false;
    if (C < Cells) {
      const int32_t X0 = C * Cell, X1 = std::min(Width, X0 + Cell);
      for (int32_t R = 0; R < Rows && !On; ++R) {
        const uint8_t* P = Pixels + std::ptrdiff_t(R) * RowStride + std::ptrdiff_t(X0) * 4 + 3;
        for (int32_t X = X0; X < X1; ++X, P += 4)
          if (*P) {
            On = true;
            break;
          }
      }
    }
    if (On && Start < 0)
      Start = C;
    else if (!On && Start >= 0) {
      Runs.push_back(Start * Cell);
      Runs.push_back(std::min(Width, C * Cell));
      Start = -1;
    }
  }
}

} // namespace

std::vector<TRegionRect> OpaqueRegion(const uint8_t* Pixels, int32_t Width, int32_t Height,
                                      int32_t RowStride, int32_t Cell, std::size_t MaxRects,
                                      bool* Overflow) {
  std::vector<TRegionRect> Result;
  if (Overflow)
    *Overflow = false;
  if (!Pixels || Width <= 0 || Height <= 0)
    return Result;
  Cell = std::max(Cell, 1);
  std::vector<int32_t> Band, Runs; // Band: runs of the open band, as X pairs
  int32_t BandY = 0, BandH = 0;
  auto Close = [&] {
    for (std::size_t I = 0; I + 1 < Band.size(); I += 2)
      Result.push_back(TRegionRect{Band[I], BandY, Band[I + 1] - Band[I], BandH});
  };
  for (int32_t Y = 0; Y < Height; Y += Cell) {
    const int32_t Rows = std::min(Cell, Height - Y);
    CellRuns(Pixels + std::ptrdiff_t(Y) * RowStride, Width, Rows, RowStride, Cell, Runs);
    if (Runs == Band && BandH > 0) {
      BandH += Rows; // same runs as the rows above: the band grows
      continue;
    }
    Close();
    if (Result.size() > MaxRects)
      break;
    Band = Runs;
    BandY = Y;
    BandH = Rows;
  }
  Close();
  if (Result.size() > MaxRects) {
    Result.clear();
    if (Overflow)
      *Overflow = true;
  }
  return Result;
}
