// The frame on the vector paths, in bands of rows: each band is blurred,
// moved and faded, then given its rows of every spot while it is still in
// cache, and the bands are shared out among threads. Each band is faded on
// its own as if it were the whole render area: that gives the right bytes
// except in the few rows at its edges whose blur or motion reaches into the
// next band. Those rows are faded beforehand, while every band is still as
// the last frame left it, from a copy of the rows around each inner edge;
// the bands then take them over. Spots add with saturation, which does not
// depend on their order, so each band paints its part of every spot it meets
// on its own. The bytes are thus the same on any number of threads and with
// any band height.
#include <algorithm>
#include <cstring>
#include <thread>

#include "FlameEngine.h"
#include "FrameRows.h"

namespace {

// Rows of a band: about a megabyte, so that a band and its spots stay in the
// processor's second-level cache.
constexpr int64_t BandBytes = 1 << 20;
// Frames up to this size run as one band on one thread.
constexpr int64_t WholeFrameBytes = int64_t(16) << 20;

int32_t BandRows(const TFadeSettings& S, int32_t Width, int32_t Asked) {
  // The blur must run on a band as on the whole area, and a band must hold
  // both edges it takes over.
  const int32_t least = 4 * (S.YBlur / 2 + std::abs(S.YMotion)) + 8;
  const int32_t rows = Asked > 0 ? Asked : int32_t(BandBytes / (int64_t(Width) * 4 + 1));
  return std::max(least, rows);
}

} // namespace

int32_t TPartForm::FrameThreads(int32_t W, int32_t H) const {
  if (FThreads > 0)
    return std::min(FThreads, MaxFrameThreads);
  constexpr int64_t Step = 1920 * 1080;
  const int64_t wanted = 1 + (std::max<int64_t>(int64_t(W) * H, 1) - 1) / Step;
  const int32_t cores = std::max(1, int32_t(std::thread::hardware_concurrency()));
  return int32_t(std::min<int64_t>({wanted, cores, MaxFrameThreads}));
}

void TPartForm::RenderBands(const TRect& R) {
  TDIBmp& surface = Display.Surface();
  const int32_t W = R.Right, H = R.Bottom;
  PlanSpotBoxes(R);

  const TFadeSettings fade = FadeSettings();
  const TPixelRows rows{surface.PixelMemory, surface.RowStride, W, H};
  const int32_t threads = FrameThreads(W, H);
  const int32_t bandRows = BandRows(fade, W, FBandRows);
  // A frame that the last-level cache holds whole gains nothing from bands on
  // one thread (measured: the extra edge rows cost more than they save).
  const bool worthBands = threads > 1 || FBandRows > 0 || int64_t(W) * H * 4 > WholeFrameBytes;
  const bool banded =
      worthBands && fade.OddWindows() && surface.BitCount == 32 && H >= 2 * bandRows;
  const int32_t bands = banded ? H / bandRows : 1;
  auto bandTop = [&](int32_t k) { return k == bands ? H : k * bandRows; };

  if (FSpotWork.size() < size_t(threads))
    FSpotWork.resize(size_t(threads));
  for (int32_t t = 0; t < threads; ++t)
    if (FSpotWork[size_t(t)].size() < size_t(FSpotWidest) + 16)
      FSpotWork[size_t(t)].resize(size_t(FSpotWidest) + 16);

  if (bands == 1) {
    FadePass(R);
    PaintSpotRows(0, H, nullptr, FSpotBoxes.size(), 0);
    return;
  }

  // Each band's boxes, in list order; from each box's first and last row.
  FBandStarts.assign(size_t(bands) + 1, 0);
  const uint32_t rowsPerBand = uint32_t(bandRows);
  auto bandOf = [&](int32_t y) { return std::min(int32_t(uint32_t(y) / rowsPerBand), bands - 1); };
  for (const TSpotRowSpan& r : FSpotRowSpans)
    for (int32_t k = bandOf(r.First); k <= bandOf(r.Last); ++k)
      ++FBandStarts[size_t(k) + 1];
  for (int32_t k = 0; k < bands; ++k)
    FBandStarts[size_t(k) + 1] += FBandStarts[size_t(k)];
  FBandBoxes.resize(size_t(FBandStarts[size_t(bands)]));
  FBandNext.assign(FBandStarts.begin(), FBandStarts.end() - 1);
  for (size_t i = 0; i < FSpotRowSpans.size(); ++i) {
    const TSpotRowSpan& r = FSpotRowSpans[i];
    for (int32_t k = bandOf(r.First); k <= bandOf(r.Last); ++k)
      FBandBoxes[size_t(FBandNext[size_t(k)]++)] = int32_t(i);
  }

  // The rows around inner edge k (1 .. bands - 1): those the bands above and
  // below take over, with enough rows around them to be faded right.
  const int32_t down = fade.ReachDown(), up = fade.ReachUp();
  auto edgeFrom = [&](int32_t k) { return std::max(0, bandTop(k) - up - down); };
  auto edgeTo = [&](int32_t k) { return std::min(H, bandTop(k) + down + up + 1); };
  if (FEdgeRows.size() < size_t(bands))
    FEdgeRows.resize(size_t(bands));
  const size_t rowBytes = size_t(W) * 4;
  FWorkers.Run(threads, bands - 1, [&](int32_t item, int32_t) {
    const int32_t k = item + 1, from = edgeFrom(k), to = edgeTo(k);
    std::vector<uint32_t>& copy = FEdgeRows[size_t(k)];
    copy.resize(size_t(to - from) * size_t(W));
    for (int32_t y = from; y < to; ++y)
      std::memcpy(&copy[size_t(y - from) * size_t(W)], rows.Row(y), rowBytes);
    FadeRows(TPixelRows{reinterpret_cast<uint8_t*>(copy.data()), ptrdiff_t(rowBytes), W, to - from},
             fade);
  });

  FWorkers.Run(threads, bands, [&](int32_t k, int32_t worker) {
    const int32_t top = bandTop(k), bottom = bandTop(k + 1);
    FadeRows(rows.Rows(top, bottom), fade);
    auto takeOver = [&](int32_t edge, int32_t from, int32_t to) {
      const std::vector<uint32_t>& copy = FEdgeRows[size_t(edge)];
      for (int32_t y = from; y < to; ++y)
        std::memcpy(rows.Row(y), &copy[size_t(y - edgeFrom(edge)) * size_t(W)], rowBytes);
    };
    if (k > 0)
      takeOver(k, top, top + down);
    if (k + 1 < bands)
      takeOver(k + 1, bottom - up, bottom);
    const size_t first = size_t(FBandStarts[size_t(k)]);
    PaintSpotRows(top, bottom, FBandBoxes.data() + first,
                  size_t(FBandStarts[size_t(k) + 1]) - first, worker);
  });
}
