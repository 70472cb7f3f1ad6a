#pragma once
// What the dispatcher hands the per-instruction-set kernels.
#include <cstddef>
#include <cstdint>

#include "SimdKernels.h"

// Work rows of the box filter, owned by the caller (allocated outside the
// vector files, which use no standard-library templates). Widened: one source
// row as 16-bit lanes plus 32 spare zero lanes; Ring: mask-height rows of
// window-row sums; Columns: the running 32-bit sums down the columns. Rows of
// Ring and Columns hold the region's lanes rounded up to 16.
struct TBoxScratch {
  uint16_t* Widened = nullptr;
  uint16_t* Ring = nullptr;
  uint32_t* Columns = nullptr;
};

// The work rows of the box filters that sum columns first, and the small
// windows' mean: Ring holds mh rows, Columns and Groups one row each, of
// RowLanes 16-bit lanes, all zero on entry; RowLanes covers the source span
// rounded up to 16 lanes plus 64 spare lanes, so the sums across may read
// past the span.
struct TBoxSmall {
  uint16_t* Ring = nullptr;
  uint16_t* Columns = nullptr;
  uint16_t* Groups = nullptr;
  ptrdiff_t RowLanes = 0;
  uint16_t Bias = 0, Magic = 0;
  int Shift = 0;
  const TBoxFade* Fade = nullptr; // when given, the filter fades and moves as it goes
};

// The entry points each vector file defines.
#define QUELMA_SIMD_ENTRY_POINTS(ns)                                                               \
  namespace ns {                                                                                   \
  void FilterBox(bool odd, uint8_t* region, ptrdiff_t step, int w, int h, int mw, int mh, int ax,  \
                 int ay, const TBoxScratch& scratch, TBoxRowHook hook, void* ctx);                 \
  void FilterBoxSmall(uint8_t* region, ptrdiff_t step, int w, int h, int mw, int mh, int ax,       \
                      int ay, const TBoxSmall& small, TBoxRowHook hook, void* ctx);                \
  void FilterBoxWide(bool odd, uint8_t* region, ptrdiff_t step, int w, int h, int mw, int mh,      \
                     int ax, int ay, const TBoxSmall& small, TBoxRowHook hook, void* ctx);         \
  void ScaleLanes(const uint32_t* src, uint32_t* dst, int32_t count, uint64_t lanes);              \
  void SpotBoxes(uint8_t* pixels, ptrdiff_t stride, const TSpotBatch& batch);                      \
  }

QUELMA_SIMD_ENTRY_POINTS(quelma_sse2)
QUELMA_SIMD_ENTRY_POINTS(quelma_avx2)

// Defines the entry points of namespace ns over the kernels of ops O.
#define QUELMA_SIMD_DEFINE_ENTRY_POINTS(ns, O)                                                     \
  void ns::FilterBox(bool odd, uint8_t* region, ptrdiff_t step, int w, int h, int mw, int mh,      \
                     int ax, int ay, const TBoxScratch& scratch, TBoxRowHook hook, void* ctx) {    \
    if (odd)                                                                                       \
      TKernels<O>::Filter<true>(region, step, w, h, mw, mh, ax, ay, scratch, hook, ctx);           \
    else                                                                                           \
      TKernels<O>::Filter<false>(region, step, w, h, mw, mh, ax, ay, scratch, hook, ctx);          \
  }                                                                                                \
  void ns::FilterBoxSmall(uint8_t* region, ptrdiff_t step, int w, int h, int mw, int mh, int ax,   \
                          int ay, const TBoxSmall& small, TBoxRowHook hook, void* ctx) {           \
    TKernels<O>::FilterSmall(region, step, w, h, mw, mh, ax, ay, small, hook, ctx);                \
  }                                                                                                \
  void ns::FilterBoxWide(bool odd, uint8_t* region, ptrdiff_t step, int w, int h, int mw, int mh,  \
                         int ax, int ay, const TBoxSmall& small, TBoxRowHook hook, void* ctx) {    \
    if (odd)                                                                                       \
      TKernels<O>::FilterWide<true>(region, step, w, h, mw, mh, ax, ay, small, hook, ctx);         \
    else                                                                                           \
      TKernels<O>::FilterWide<false>(region, step, w, h, mw, mh, ax, ay, small, hook, ctx);        \
  }                                                                                                \
  void ns::ScaleLanes(const uint32_t* src, uint32_t* dst, int32_t count, uint64_t lanes) {         \
    TKernels<O>::ScaleLanes(src, dst, count, lanes);                                               \
  }                                                                                                \
  void ns::SpotBoxes(uint8_t* pixels, ptrdiff_t stride, const TSpotBatch& batch) {                 \
    for (size_t i = 0; i < batch.Count; ++i) {                                                     \
      const TSpotBox& box = batch.Boxes[batch.Which ? size_t(batch.Which[i]) : i];                 \
      const int64_t above = int64_t(batch.RowsTop) - box.Top;                                      \
      const int64_t below = int64_t(batch.RowsBottom) - box.Top;                                   \
      const int64_t first = above > 0 ? above : 0;                                                 \
      const int64_t end = below < box.Height ? below : box.Height;                                 \
      if (box.Width <= 0 || first >= end)                                                          \
        continue;                                                                                  \
      uint8_t* topLeft = pixels + ptrdiff_t(box.Top) * stride + ptrdiff_t(box.Left) * 4;           \
      if (box.Levels)                                                                              \
        TKernels<O>::SpotBoxAny<true>(topLeft, stride, box, batch.Work, int32_t(first),            \
                                      int32_t(end));                                               \
      else                                                                                         \
        TKernels<O>::SpotBoxAny<false>(topLeft, stride, box, batch.Work, int32_t(first),           \
                                       int32_t(end));                                              \
    }                                                                                              \
  }
