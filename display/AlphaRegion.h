#pragma once
// The part of a 32-bit premultiplied surface that shows something (alpha > 0),
// as rectangles, for letting clicks through the transparent rest of a window.
#include <cstdint>
#include <vector>

struct TRegionRect {
  int32_t X = 0, Y = 0, Width = 0, Height = 0;
  friend bool operator==(const TRegionRect&, const TRegionRect&) = default;
};

// Rectangles covering every pixel with a non-zero alpha byte (the byte at
// offset 3 of each 4-byte pixel), on a grid of Cell x Cell pixels: a cell is in
// when any of its pixels is. Sorted by Y then X, in bands: rectangles of one
// band share Y and Height, and bands do not overlap. Rows with the same runs
// share a band. Empty when nothing shows; Overflow is set (and the result
// empty) when more than MaxRects rectangles would be needed.
std::vector<TRegionRect> OpaqueRegion(const uint8_t* Pixels, int32_t Width, int32_t Height,
                                      int32_t RowStride, int32_t Cell, std::size_t MaxRects,
                                      bool* Overflow = nullptr);
