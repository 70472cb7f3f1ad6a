#pragma once
// What the frame's passes work on: whole rows of a 32-bit surface (all of the
// render area, or one band of it), and the fading pass over such rows.
#include <cstddef>
#include <cstdint>

#include "ColorKernels.h"

struct TPixelRows {
  uint8_t* Pixels = nullptr; // the first row's first pixel
  ptrdiff_t Stride = 0;      // bytes from one row to the next
  int32_t Width = 0, Height = 0;

  uint32_t* Row(int32_t Y) const {
    return reinterpret_cast<uint32_t*>(Pixels + ptrdiff_t(Y) * Stride);
  }
  // Rows [Top, Bottom) of these.
  TPixelRows Rows(int32_t Top, int32_t Bottom) const {
    return TPixelRows{Pixels + ptrdiff_t(Top) * Stride, Stride, Width, Bottom - Top};
  }
};

// The blur window, the motion and the fade lanes of the fading pass.
struct TFadeSettings {
  int32_t XBlur = 1, YBlur = 1; // window width and height
  int32_t YMotion = 0;          // rows per frame, negative = up
  TLaneFactors Lanes = 0;

  // Odd windows of at least one pixel: FadeRows can run the pass. (Others come
  // only from state files and take the surface's own blur.)
  bool OddWindows() const { return XBlur >= 1 && YBlur >= 1 && XBlur % 2 == 1 && YBlur % 2 == 1; }
  // Rows at the top and bottom of a run whose result depends on rows outside
  // it: row y takes in source rows y - YMotion - YBlur / 2 to
  // y - YMotion + YBlur / 2.
  int32_t ReachDown() const; // rows at the top that read rows above the run
  int32_t ReachUp() const;   // rows at the bottom that read rows below it
};

// The fading pass over Rows as if they were the whole render area, with odd
// windows: the blur (skipped when the rows are too few or too narrow for the
// window), then every row moved and faded, rows that no source maps to kept.
// Row by row this is a function of the source rows alone, so a run of rows
// inside a larger area gives that area's bytes everywhere except the
// ReachDown() rows at its top and the ReachUp() rows at its bottom.
void FadeRows(const TPixelRows& Rows, const TFadeSettings& S);
