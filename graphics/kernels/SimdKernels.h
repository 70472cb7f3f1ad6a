#pragma once
// Vector fast paths of the hot kernels: the box filter, the lane scaling of
// the fading pass and the boxes of spots. Each gives exactly the bytes of its
// scalar reference (the reference functions stay the definition); the
// instruction set is picked at run time: SSE2 as the baseline, AVX2 where the
// processor has it. Callers go through the public kernels (BoxFilter32,
// ScaleRowLanes, the engine's spots), which use these when they apply.
#include <cstddef>
#include <cstdint>

enum class TKernelPath {
  Auto,      // the best the processor runs
  Reference, // the scalar reference code only
  Sse2,
  Avx2, // falls back to Sse2 where the processor lacks AVX2
};

// Process-wide choice, for tests and benchmarks; Auto by default. Auto takes
// the environment variable QUELMA_KERNELS (reference, sse2, avx2) when set.
void SetKernelPath(TKernelPath Path);
// The path in force, resolved: Reference, Sse2 or Avx2.
TKernelPath ActiveKernelPath();
// The path's name as QUELMA_KERNELS takes it: "reference", "sse2", "avx2"
// ("auto" for Auto).
const char* KernelPathName(TKernelPath Path);
bool CpuHasAvx2();

// Called after each output row of the box filter with its index in the region
// (0 = the region's top row), in order.
using TBoxRowHook = void (*)(void* Context, int32_t RegionRow);

// The box filter of BoxFilter32 (same arguments, already checked by
// the caller) on the vector path. Returns false, touching nothing, when the
// window is outside its range (mask width above 257 or more than 2048 pixels)
// or the path is Reference; the caller then runs the reference.
bool FilterBox8u4Fast(uint8_t* Region, ptrdiff_t Step, int32_t Width, int32_t Height, int32_t MaskW,
                      int32_t MaskH, int32_t AnchorX, int32_t AnchorY, TBoxRowHook Hook = nullptr,
                      void* Context = nullptr);

// The box filter with the fading pass folded in, for motion up by Up rows
// (0 or more): each filtered row r of the region, scaled by Lanes as
// ScaleRowLanes does, is stored Up rows higher (dropped above the surface's
// top); it is also stored unscaled in its own row when r >= KeepFrom (no row
// below moves there). Before computing row r the filter calls BeforeRow(r), in
// order, so the caller can move and fade what the store will cover: the
// region's source rows are kept as they were, and only the region's columns
// are written. Returns false, touching nothing, where the kernels that sum
// columns first do not apply (windows over 32 rows or 2048 pixels, a lane
// above 257, motion down, the Reference path).
struct TBoxFade {
  uint64_t Lanes = 0;
  int32_t Up = 0;
  int32_t RegionTop = 0; // the region's first row on the surface
  int32_t KeepFrom = 0;
  TBoxRowHook BeforeRow = nullptr;
  void* Context = nullptr;
};
bool FilterBoxFadeFast(uint8_t* Region, ptrdiff_t Step, int32_t Width, int32_t Height,
                       int32_t MaskW, int32_t MaskH, int32_t AnchorX, int32_t AnchorY,
                       const TBoxFade& Fade);

// ScaleRowLanes on the vector path. Returns false when it does not apply (a
// lane above 257, dst overlapping src from behind, or the Reference path).
bool ScaleRowLanesFast(const uint32_t* Src, uint32_t* Dst, int32_t Count, uint64_t Lanes);

// One spot's box, painted whole. Pixel (i, j) of the box (row i, column j)
// gets, in single precision: x = X0 + j, u = x * x + d0 with d0 = dyTop^2 and
// dyTop = Top - Cy; per row dy = (Top + i) - Cy, v = u + (dy * dy - d0),
// s = sqrt(v), m = s * K; the cone level is nearest(m + 256), the fat one
// nearest(sqrt(m + 1) * 256) (halves to even; no value counts as 0). The level
// clamped to 0..256 scales Color's bytes ((c * level) >> 8), which are added to
// the pixel's bytes with saturation at 255.
struct TSpotBox {
  int32_t Width = 0, Height = 0;
  int32_t Left = 0; // the box's left column on the surface
  int32_t Top = 0;  // the box's top row on the surface
  float Cy = 0;     // the centre's row
  float X0 = 0;     // the box's left column minus the centre's column
  int32_t Room = 0; // pixels from the box's left to the end of its surface rows
  float K = 0;
  bool Fat = false;
  uint32_t Color = 0;
  int32_t* Levels = nullptr; // when given, receives the painted rows' unclamped levels, row by row
};
// Which boxes a call paints, and where: Boxes[Which[i]] for i < Count (Which
// null: the first Count boxes), only their rows in [RowsTop, RowsBottom) of
// the surface whose first pixel is at Pixels, rows Stride bytes apart. A box
// cut by the rows keeps every value it has whole (its top row's distance
// above all), so its pixels get the same bytes, however it is cut. Work: room
// for the widest box's Width + 16 values, the caller's own (threads may paint
// other rows of the same boxes at once).
struct TSpotBatch {
  const TSpotBox* Boxes = nullptr;
  const int32_t* Which = nullptr;
  size_t Count = 0;
  int32_t RowsTop = INT32_MIN, RowsBottom = INT32_MAX;
  float* Work = nullptr;
};
// Paints a batch, several boxes at a call so that choosing the kernel costs
// nothing a spot. Returns false on the Reference path (nothing drawn).
bool AddSpotBoxesFast(uint8_t* Pixels, ptrdiff_t Stride, const TSpotBatch& Batch);
