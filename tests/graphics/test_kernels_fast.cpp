// The vector paths of the box filter and the lane scaling against their
// scalar references, byte for byte, on every instruction set this processor
// runs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "ColorKernels.h"
#include "KernelPaths.h"
#include "Primitives.h"
#include "SimdKernels.h"

namespace {

const char* Name(TKernelPath p) {
  return p == TKernelPath::Avx2 ? "avx2" : "sse2";
}

std::vector<uint8_t> RandomBytes(size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> v(n);
  for (auto& b : v)
    b = uint8_t(rng());
  return v;
}

// Filters a W x H picture (stride with spare bytes) on both paths and compares
// every byte, the spare ones included.
void CheckBox(const std::vector<uint8_t>& pic, int W, int H, int stride, TImageSize mask,
              TImagePoint anchor, TKernelPath path) {
  const TImageSize roi{W - mask.width + 1, H - mask.height + 1};
  if (roi.width <= 0 || roi.height <= 0)
    return;
  std::vector<uint8_t> ref = pic, fast = pic;
  const size_t at = size_t(anchor.y) * size_t(stride) + size_t(anchor.x) * 4;
  ASSERT_EQ(BoxFilter32Reference(ref.data() + at, stride, roi, mask, anchor), psOk);
  {
    PathGuard g(path);
    ASSERT_EQ(BoxFilter32(fast.data() + at, stride, roi, mask, anchor), psOk);
  }
  ASSERT_TRUE(ref == fast) << Name(path) << " mask " << mask.width << "x" << mask.height
                           << " anchor " << anchor.x << "," << anchor.y << " picture " << W << "x"
                           << H;
}

} // namespace

TEST(KernelsFast, BoxFilterMatchesReferenceForEveryWindowUpTo17) {
  // Widths chosen so that the region's last vector is sometimes whole and
  // sometimes partial on both instruction sets.
  for (TKernelPath path : VectorPaths())
    for (int mw = 1; mw <= 17; ++mw)
      for (int mh = 1; mh <= 17; ++mh) {
        const int W = 21 + (mw * 7 + mh) % 13, H = 19 + mh;
        const int stride = W * 4 + 12;
        const auto pic = RandomBytes(size_t(stride) * H, uint32_t(mw * 100 + mh));
        CheckBox(pic, W, H, stride, TImageSize{mw, mh}, TImagePoint{mw / 2, mh / 2}, path);
        CheckBox(pic, W, H, stride, TImageSize{mw, mh}, TImagePoint{0, mh - 1}, path);
        CheckBox(pic, W, H, stride, TImageSize{mw, mh}, TImagePoint{mw - 1, 0}, path);
      }
}

TEST(KernelsFast, BoxFilterMatchesReferenceOnFlatAndExtremePictures) {
  // All 255 gives the largest sums; halves (even windows over 0/255 stripes)
  // test the rounding of ties to even.
  for (TKernelPath path : VectorPaths())
    for (int kind = 0; kind < 3; ++kind) {
      const int W = 70, H = 50, stride = W * 4;
      std::vector<uint8_t> pic(size_t(stride) * H);
      for (size_t i = 0; i < pic.size(); ++i)
        pic[i] = kind == 0   ? 255
                 : kind == 1 ? uint8_t((i / 4) % 2 ? 255 : 0)
                             : uint8_t((i / 4 + i / stride) % 3 * 127);
      for (TImageSize m : {TImageSize{2, 1}, TImageSize{2, 2}, TImageSize{4, 3}, TImageSize{6, 5},
                           TImageSize{16, 16}, TImageSize{17, 17}, TImageSize{45, 45},
                           TImageSize{64, 32}, TImageSize{7, 32}, TImageSize{5, 33}})
        CheckBox(pic, W, H, stride, m, TImagePoint{m.width / 2, m.height / 2}, path);
    }
}

TEST(KernelsFast, BoxFilterLargeWindowsFallBackOrMatch) {
  // Beyond the vector path's range (257 wide, more than 2048 pixels) the
  // reference runs; either way the bytes agree.
  for (TKernelPath path : VectorPaths())
    for (TImageSize m :
         {TImageSize{257, 1}, TImageSize{258, 1}, TImageSize{1, 300}, TImageSize{60, 40}}) {
      const int W = m.width + 9, H = m.height + 5, stride = W * 4;
      const auto pic = RandomBytes(size_t(stride) * H, uint32_t(m.width * 7 + m.height));
      CheckBox(pic, W, H, stride, m, TImagePoint{m.width / 2, m.height / 2}, path);
    }
}

TEST(KernelsFast, BoxFilterCallsTheRowHookInOrderAfterEachRow) {
  const int W = 30, H = 20, stride = W * 4;
  auto pic = RandomBytes(size_t(stride) * H, 5);
  auto ref = pic;
  const TImageSize roi{W - 2, H - 4};
  BoxFilter32Reference(ref.data() + 2 * stride + 4, stride, roi, TImageSize{3, 5},
                       TImagePoint{1, 2});
  struct Seen {
    std::vector<int32_t> rows;
    const uint8_t* pic;
    const uint8_t* ref;
    bool finished = true;
  } seen{{}, pic.data(), ref.data()};
  // Each reported row already holds its final bytes.
  auto hook = [](void* c, int32_t row) {
    auto* s = static_cast<Seen*>(c);
    s->rows.push_back(row);
    const size_t off = size_t(row + 2) * stride;
    s->finished = s->finished && std::memcmp(s->pic + off, s->ref + off, stride) == 0;
  };
  for (TKernelPath path : VectorPaths()) {
    std::vector<uint8_t> work = pic;
    seen.rows.clear();
    seen.pic = work.data();
    PathGuard g(path);
    ASSERT_TRUE(FilterBox8u4Fast(work.data() + 2 * stride + 4, stride, roi.width, roi.height, 3, 5,
                                 1, 2, hook, &seen));
    std::vector<int32_t> expected(size_t(roi.height));
    for (int i = 0; i < roi.height; ++i)
      expected[size_t(i)] = i;
    EXPECT_EQ(seen.rows, expected) << Name(path);
    EXPECT_TRUE(seen.finished) << Name(path);
    EXPECT_TRUE(work == ref) << Name(path);
  }
}

TEST(KernelsFast, ReferencePathTakesNoVectorKernel) {
  PathGuard g(TKernelPath::Reference);
  EXPECT_EQ(ActiveKernelPath(), TKernelPath::Reference);
  uint8_t px[64] = {};
  EXPECT_FALSE(FilterBox8u4Fast(px, 16, 2, 2, 1, 1, 0, 0));
  uint32_t row[4] = {};
  EXPECT_FALSE(ScaleRowLanesFast(row, row, 4, MakeLaneFactors(1, 1, 1, 1)));
}

TEST(KernelsFast, ScaleRowLanesMatchesReferenceInPlaceAndMoving) {
  std::mt19937 rng(11);
  for (TKernelPath path : VectorPaths())
    for (int count = 0; count <= 41; ++count)
      for (int trial = 0; trial < 8; ++trial) {
        // Lanes up to 257 take the vector path, larger ones the reference.
        const uint32_t limit = trial < 6 ? 258 : 65536;
        const TLaneFactors lanes =
            MakeLaneFactors(uint16_t(rng() % limit), uint16_t(rng() % limit),
                            uint16_t(rng() % limit), uint16_t(rng() % limit));
        std::vector<uint32_t> src(size_t(count) + 8);
        for (auto& p : src)
          p = rng();
        // In place, moved to a separate row, and moved back within the run.
        for (int shift : {0, -1, -3, 100}) {
          std::vector<uint32_t> a = src, b = src;
          std::vector<uint32_t> da(size_t(count) + 8, 0x12345678u), db = da;
          const uint32_t* sa = a.data() + 3;
          const uint32_t* sb = b.data() + 3;
          uint32_t* ta = shift == 100 ? da.data() : a.data() + 3 + shift;
          uint32_t* tb = shift == 100 ? db.data() : b.data() + 3 + shift;
          ScaleRowLanesReference(sa, ta, count, lanes);
          PathGuard g(path);
          ScaleRowLanes(sb, tb, count, lanes);
          ASSERT_TRUE(a == b && da == db) << Name(path) << " count " << count << " shift " << shift;
        }
      }
}

TEST(KernelsFast, ScaleRowLanesKeepsItsEdgeCases) {
  for (TKernelPath path : VectorPaths()) {
    PathGuard g(path);
    uint32_t row[9];
    for (auto& p : row)
      p = 0xFF01FF01u;
    ScaleRowLanes(row, row, 9, MakeLaneFactors(255, 255, 255, 255));
    for (uint32_t p : row)
      EXPECT_EQ(p, 0xFE00FE00u) << Name(path);
  }
}

// The spot kernel against its definition, pixel by pixel: both profiles, a
// factor that can give levels above 256 (capped) and the usual negative one,
// boxes narrower and wider than a vector, with and without room past them.
TEST(KernelsFast, SpotBoxMatchesItsDefinition) {
  constexpr int32_t W = 40, H = 12;
  struct Case {
    int32_t left, width, height;
    float k;
    bool fat;
  };
  const Case cases[] = {
      {3, 5, 4, -256.0f / 3, false},  {3, 5, 4, 30.0f, false},
      {1, 17, 9, -256.0f / 8, false}, {1, 17, 9, -1.0f / 8, true},
      {2, 21, 11, 0.5f, true},        {W - 6, 6, 5, -256.0f / 3, false},
      {W - 19, 19, 7, 40.0f, false},  {W - 9, 9, 3, -1.0f / 4, true},
      {0, 8, 2, -256.0f / 4, false},
  };
  for (TKernelPath path : VectorPaths())
    for (const Case& c : cases)
      for (bool levels : {false, true}) {
        const std::vector<uint8_t> start =
            RandomBytes(size_t(W) * H * 4, uint32_t(c.left * 31 + c.width));
        std::vector<uint32_t> got(size_t(W) * H), want(size_t(W) * H);
        std::memcpy(got.data(), start.data(), start.size());
        std::memcpy(want.data(), start.data(), start.size());
        TSpotBox box;
        box.Width = c.width;
        box.Height = c.height;
        box.Left = c.left;
        box.Top = 1;
        box.Cy = 1.0f + float(c.height) / 2 - 0.3f;
        box.X0 = -float(c.width) / 2 + 0.2f;
        box.Room = W - c.left;
        box.K = c.k;
        box.Fat = c.fat;
        box.Color = 0xC0804020u;
        std::vector<float> work(size_t(c.width) + 16);
        std::vector<int32_t> gotLevels(size_t(c.width) * c.height, -7);
        box.Levels = levels ? gotLevels.data() : nullptr;
        TSpotBatch batch;
        batch.Boxes = &box;
        batch.Count = 1;
        batch.Work = work.data();
        {
          PathGuard g(path);
          ASSERT_TRUE(AddSpotBoxesFast(reinterpret_cast<uint8_t*>(got.data()), W * 4, batch));
        }
        const float dyTop = float(box.Top) - box.Cy, d0 = dyTop * dyTop;
        for (int32_t i = 0; i < c.height; ++i) {
          const float dy = float(box.Top + i) - box.Cy;
          const float dy2 = dy * dy;
          const float dyd = dy2 - d0;
          for (int32_t j = 0; j < c.width; ++j) {
            const float x = box.X0 + float(j);
            const float xx = x * x;
            const float u = xx + d0;
            const float v = u + dyd;
            const float m = std::sqrt(v) * c.k;
            const float a = c.fat ? std::sqrt(m + 1.0f) * 256.0f : m + 256.0f;
            const float r = std::nearbyint(a);
            const int32_t level = r >= -2147483648.0f && r < 2147483648.0f ? int32_t(r) : 0;
            if (levels) {
              ASSERT_EQ(gotLevels[size_t(i) * c.width + j], level)
                  << Name(path) << " " << i << "," << j;
            }
            const uint32_t f = uint32_t(std::clamp(level, 0, 256));
            uint32_t& p = want[size_t(box.Top + i) * W + c.left + j];
            uint32_t out = 0;
            for (int b = 0; b < 4; ++b) {
              const uint32_t add = (((box.Color >> (8 * b)) & 0xFF) * f) >> 8;
              out |= std::min(255u, ((p >> (8 * b)) & 0xFF) + add) << (8 * b);
            }
            p = out;
          }
        }
        EXPECT_TRUE(got == want) << Name(path) << " left " << c.left << " width " << c.width
                                 << " k " << c.k;
      }
}

// A box painted in pieces of rows, as the bands of a frame paint it, gives the
// bytes and levels of the box painted whole: every row keeps the top row's
// distance in its sums.
TEST(KernelsFast, SpotBoxCutIntoRowsGivesTheWholeBox) {
  constexpr int32_t W = 48, H = 40;
  for (TKernelPath path : VectorPaths())
    for (bool fat : {false, true})
      for (int32_t width : {5, 23}) {
        TSpotBox box;
        box.Width = width;
        box.Height = 27;
        box.Left = 4;
        box.Top = 6;
        box.Cy = 19.37f;
        box.X0 = -float(width) / 2 + 0.29f;
        box.Room = W - box.Left;
        box.K = fat ? -1.0f / 13.1f : -256.0f / 13.1f;
        box.Fat = fat;
        box.Color = 0xF0C08040u;
        std::vector<float> work(size_t(width) + 16);
        std::vector<int32_t> wholeLevels(size_t(width) * 27), cutLevels(wholeLevels.size(), -7);
        const std::vector<uint8_t> start = RandomBytes(size_t(W) * H * 4, uint32_t(width));
        std::vector<uint8_t> whole = start, cut = start;
        TSpotBatch batch;
        batch.Boxes = &box;
        batch.Count = 1;
        batch.Work = work.data();
        PathGuard g(path);
        box.Levels = wholeLevels.data();
        ASSERT_TRUE(AddSpotBoxesFast(whole.data(), W * 4, batch));
        // Rows cut at 0 (before the box), 7, 19, 20 and 39 (past it).
        box.Levels = cutLevels.data();
        const int32_t edges[] = {0, 7, 19, 20, 39, H};
        for (size_t e = 0; e + 1 < std::size(edges); ++e) {
          batch.RowsTop = edges[e];
          batch.RowsBottom = edges[e + 1];
          ASSERT_TRUE(AddSpotBoxesFast(cut.data(), W * 4, batch));
        }
        EXPECT_TRUE(cut == whole) << Name(path) << " fat " << fat << " width " << width;
        EXPECT_TRUE(cutLevels == wholeLevels) << Name(path) << " fat " << fat << " width " << width;
      }
}
