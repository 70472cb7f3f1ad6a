// The primitives: fill, box filter frames and errors, resampling bounds and the
// vector steps of the spot drawing.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "Primitives.h"

TEST(Primitives, BindingSucceeds) {
  EXPECT_TRUE(BindPrimitives());
}

TEST(Primitives, SetFillsTheRegionAndNotTheRowPadding) {
  // 3 x 2 pixels inside rows of 20 bytes.
  std::vector<uint8_t> mem(60, 0xEE);
  const uint8_t value[4] = {1, 2, 3, 4};
  ASSERT_EQ(FillPixels32(value, mem.data() + 20 + 4, 20, TImageSize{3, 2}), psOk);
  for (int i = 0; i < 60; ++i) {
    const int row = i / 20, col = i % 20;
    const bool inside = row >= 1 && col >= 4 && col < 16;
    EXPECT_EQ(mem[size_t(i)], inside ? uint8_t(1 + (col % 4)) : 0xEE) << i;
  }
  EXPECT_EQ(FillPixels32(value, mem.data(), 20, TImageSize{0, 2}), psSizeError);
}

TEST(Primitives, BoxFilterTouchesOnlyItsRegionAndReadsOnlyItsFrame) {
  // A 6 x 5 region with a 3 x 3 mask anchored at (1, 1) inside a larger picture
  // whose outside-the-frame bytes are poison: they must neither change nor
  // reach a result.
  const int w = 12, h = 10, step = w * 4;
  std::vector<uint8_t> mem(size_t(step * h));
  std::mt19937 rng(3);
  for (auto& b : mem)
    b = uint8_t(rng());
  const int fx = 2, fy = 2; // top-left of the frame
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      if (!(x >= fx && x < fx + 8 && y >= fy && y < fy + 7))
        for (int c = 0; c < 4; ++c)
          mem[size_t(y * step + x * 4 + c)] = 255;
  std::vector<uint8_t> flat(mem);
  for (int y = fy; y < fy + 7; ++y)
    for (int x = fx; x < fx + 8; ++x)
      for (int c = 0; c < 4; ++c)
        flat[size_t(y * step + x * 4 + c)] = 9;
  for (auto* picture : {&mem, &flat}) {
    const std::vector<uint8_t> before(*picture);
    ASSERT_EQ(BoxFilter32(picture->data() + (fy + 1) * step + (fx + 1) * 4, step, TImageSize{6, 5},
                          TImageSize{3, 3}, TImagePoint{1, 1}),
              psOk);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        for (int c = 0; c < 4; ++c) {
          const size_t i = size_t(y * step + x * 4 + c);
          const bool region = x >= fx + 1 && x < fx + 7 && y >= fy + 1 && y < fy + 6;
          if (!region) {
            ASSERT_EQ((*picture)[i], before[i]) << x << "," << y;
          } else if (picture == &flat) {
            ASSERT_EQ((*picture)[i], 9)
                << "poison outside the frame leaked in at " << x << "," << y;
          }
        }
  }
}

TEST(Primitives, BoxFilterRejectsBadMasksAndAnchors) {
  std::vector<uint8_t> mem(4 * 16 * 16, 7);
  uint8_t* mid = mem.data() + 4 * (16 * 4 + 4);
  const struct {
    TImageSize roi, mask;
    TImagePoint anchor;
    TPrimitiveStatus status;
  } cases[] = {
      {{4, 4}, {0, 3}, {0, 1}, psMaskSizeError},
      {{4, 4}, {3, 3}, {3, 1}, psAnchorError},
      {{4, 4}, {3, 3}, {-1, 1}, psAnchorError},
      {{0, 4}, {3, 3}, {1, 1}, psSizeError},
      {{4, 4}, {3, 3}, {1, 1}, psOk},
  };
  for (const auto& c : cases)
    EXPECT_EQ(BoxFilter32(mid, 64, c.roi, c.mask, c.anchor), c.status);
  EXPECT_EQ(BoxFilter32(nullptr, 64, TImageSize{4, 4}, TImageSize{3, 3}, TImagePoint{1, 1}),
            psNullPointer);
  for (uint8_t b : mem)
    ASSERT_EQ(b, 7);
}

TEST(Primitives, ResizeStaysInsideBothPicturesForEverySizeAndFactor) {
  // Source and destination in buffers guarded on both sides; odd factors,
  // regions partly outside the source, and all four kernels.
  const int kernels[] = {InterNearest, InterLinear, InterCubic, InterLanczos};
  const double factors[] = {0.01, 0.3, 1.0 / 3.0, 0.999, 1.0, 1.7, 3.0, 250.0};
  std::mt19937 rng(17);
  for (int ch : {3, 4})
    for (int k : kernels)
      for (double f : factors)
        for (int sw : {1, 2, 5}) {
          const int sh = 3, dw = 6, dh = 4, guard = 64;
          const int sstep = sw * ch + 1, dstep = dw * ch + 3;
          std::vector<uint8_t> src(size_t(sstep * sh + 2 * guard));
          for (auto& b : src)
            b = uint8_t(rng());
          std::vector<uint8_t> dst(size_t(dstep * dh + 2 * guard), 0xA5);
          const TImageRect roi{-1, 1, sw + 3, 9};
          TPrimitiveStatus s;
          if (ch == 3)
            s = Resize24(src.data() + guard, TImageSize{sw, sh}, sstep, roi, dst.data() + guard,
                         dstep, TImageSize{dw, dh}, f, f * 0.75, k);
          else
            s = ResizeAboutCenter32(src.data() + guard, TImageSize{sw, sh}, sstep, roi,
                                    dst.data() + guard, dstep, TImageSize{dw, dh}, f, f * 1.25, 1.5,
                                    2.0, k);
          ASSERT_TRUE(s == psOk || s == psNothingToDo) << s;
          for (int i = 0; i < guard; ++i) {
            ASSERT_EQ(dst[size_t(i)], 0xA5);
            ASSERT_EQ(dst[dst.size() - 1 - size_t(i)], 0xA5);
          }
          for (int y = 0; y < dh; ++y)
            for (int i = dw * ch; i < dstep; ++i)
              ASSERT_EQ(dst[size_t(guard + y * dstep + i)], 0xA5) << "row padding";
        }
}

TEST(Primitives, ResizeRejectsBadArguments) {
  std::vector<uint8_t> src(64, 1), dst(64, 2);
  const TImageSize size{4, 4};
  const TImageRect roi{0, 0, 4, 4};
  EXPECT_EQ(Resize32(src.data(), size, 16, roi, dst.data(), 16, size, 0.0, 1.0, 1),
            psResizeFactorError);
  EXPECT_EQ(Resize32(src.data(), size, 16, roi, dst.data(), 16, size, 1.0, NAN, 1),
            psResizeFactorError);
  EXPECT_EQ(Resize32(src.data(), size, 16, roi, dst.data(), 16, size, 1.0, 1.0, 3),
            psInterpolationError);
  EXPECT_EQ(
      Resize32(src.data(), size, 16, TImageRect{5, 0, 2, 2}, dst.data(), 16, size, 1.0, 1.0, 1),
      psNothingToDo);
  EXPECT_EQ(Resize32(nullptr, size, 16, roi, dst.data(), 16, size, 1.0, 1.0, 1), psNullPointer);
  for (uint8_t b : dst)
    ASSERT_EQ(b, 2);
}

TEST(Primitives, ResizeWritesOnlyWhatTheRegionCovers) {
  // A 2x enlargement of a 2 x 2 region into a 6 x 6 picture fills 4 x 4.
  std::vector<uint8_t> src(16 * 4);
  for (size_t i = 0; i < src.size(); ++i)
    src[i] = uint8_t(i);
  std::vector<uint8_t> dst(6 * 6 * 4, 0);
  ASSERT_EQ(Resize32(src.data(), TImageSize{4, 4}, 16, TImageRect{1, 1, 2, 2}, dst.data(), 24,
                     TImageSize{6, 6}, 2.0, 2.0, InterNearest),
            psOk);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 6; ++x) {
      const uint8_t expected =
          (x < 4 && y < 4) ? src[size_t((1 + y / 2) * 16 + (1 + x / 2) * 4)] : 0;
      EXPECT_EQ(dst[size_t(y * 24 + x * 4)], expected) << x << "," << y;
    }
}

TEST(Primitives, VectorSteps) {
  float ramp[5];
  ASSERT_EQ(FillRamp(ramp, 5, -2.25f, 1.0f), psOk);
  for (int j = 0; j < 5; ++j)
    EXPECT_EQ(ramp[j], -2.25f + float(j));

  const float in[4] = {-3.0f, 0.5f, 1e20f, 2.0f};
  float out[4];
  SquareFloats(in, out, 4);
  EXPECT_EQ(out[0], 9.0f);
  EXPECT_EQ(out[1], 0.25f);
  EXPECT_TRUE(std::isinf(out[2]));
  AddFloat(in, 1.5f, out, 4);
  EXPECT_EQ(out[0], -1.5f);
  EXPECT_EQ(out[3], 3.5f);
  MultiplyFloat(in, -0.5f, out, 4);
  EXPECT_EQ(out[0], 1.5f);
  EXPECT_EQ(out[1], -0.25f);
  CopyFloats(in, out, 4);
  EXPECT_EQ(std::memcmp(in, out, sizeof in), 0);
  float same[3] = {1, 2, 3};
  AddFloat(same, 1.0f, same, 3); // in place
  EXPECT_EQ(same[2], 4.0f);
  EXPECT_EQ(SquareFloats(in, out, 0), psSizeError);
}

TEST(Primitives, SquareRootIsCorrectlyRounded) {
  std::mt19937 rng(5);
  std::vector<float> v(4096), r(4096);
  for (auto& x : v) {
    const uint32_t bits =
        rng() & 0x7FFFFFFF; // every positive float, subnormals and specials included
    std::memcpy(&x, &bits, 4);
  }
  v[0] = 0.0f;
  v[1] = 2.0f;
  v[2] = 1e-40f;
  SqrtFloats(v.data(), r.data(), int(v.size()));
  for (size_t i = 0; i < v.size(); ++i) {
    const float expected = std::sqrt(v[i]);
    if (std::isnan(expected))
      ASSERT_TRUE(std::isnan(r[i]));
    else
      ASSERT_EQ(r[i], expected) << v[i];
  }
  const float neg = -4.0f;
  float out;
  SqrtFloats(&neg, &out, 1);
  EXPECT_TRUE(std::isnan(out)) << "a negative distance has no root: no light";
}

TEST(Primitives, ConversionRoundsHalvesToEvenAndSaturates) {
  const struct {
    float in;
    int scale;
    int32_t out;
  } cases[] = {
      {0.5f, 0, 0},
      {1.5f, 0, 2},
      {2.5f, 0, 2},
      {-0.5f, 0, 0},
      {-1.5f, 0, -2},
      {255.49f, 0, 255},
      {256.5f, 0, 256},
      {-7.7f, 0, -8},
      {3e9f, 0, std::numeric_limits<int32_t>::max()},
      {-3e9f, 0, std::numeric_limits<int32_t>::min()},
      {2147483648.0f, 0, std::numeric_limits<int32_t>::max()},
      {-2147483648.0f, 0, std::numeric_limits<int32_t>::min()},
      {INFINITY, 0, std::numeric_limits<int32_t>::max()},
      {NAN, 0, 0},
      {3.0f, 1, 2},
      {5.0f, 1, 2},
      {1.25f, -2, 5},
  };
  for (const auto& c : cases) {
    int32_t out = 12345;
    ASSERT_EQ(FloatsToInt32Scaled(&c.in, &out, 1, rmNearestEven, c.scale), psOk);
    EXPECT_EQ(out, c.out) << c.in << " scale " << c.scale;
  }
  const float x = -2.7f;
  int32_t out;
  FloatsToInt32Scaled(&x, &out, 1, rmTowardZero, 0);
  EXPECT_EQ(out, -2);
}

namespace {

uint32_t ReferenceMean(uint32_t sum, uint32_t n) {
  uint32_t q = sum / n, twice = 2 * (sum % n);
  if (twice > n || (twice == n && (q & 1)))
    ++q;
  return q;
}

// Filters a random picture with an anchor (0, 0) mask over the largest region
// it fits and compares every byte with the reference mean.
void CheckAgainstReference(int w, int h, int mw, int mh, uint32_t seed) {
  const int step = w * 4;
  std::vector<uint8_t> mem(size_t(step * h));
  std::mt19937 rng(seed);
  for (auto& b : mem)
    b = uint8_t(rng() % 7 == 0 ? 255 : rng());
  const std::vector<uint8_t> before(mem);
  const int rw = w - mw + 1, rh = h - mh + 1;
  ASSERT_EQ(
      BoxFilter32(mem.data(), step, TImageSize{rw, rh}, TImageSize{mw, mh}, TImagePoint{0, 0}),
      psOk);
  for (int y = 0; y < rh; ++y)
    for (int x = 0; x < rw; ++x)
      for (int c = 0; c < 4; ++c) {
        uint32_t sum = 0;
        for (int v = 0; v < mh; ++v)
          for (int u = 0; u < mw; ++u)
            sum += before[size_t((y + v) * step + (x + u) * 4 + c)];
        ASSERT_EQ(mem[size_t(y * step + x * 4 + c)], ReferenceMean(sum, uint32_t(mw * mh)))
            << "mask " << mw << "x" << mh << " at " << x << "," << y;
      }
}

} // namespace

TEST(Primitives, BoxFilterMeansAreExactForEveryWindowSize) {
  for (int n = 1; n <= 48; ++n)
    CheckAgainstReference(n + 20, 2, n, 1, uint32_t(n));
  for (int n = 2; n <= 12; ++n)
    CheckAgainstReference(n + 3, n + 2, n, n, uint32_t(100 + n));
  // Windows past 65793 pixels take the plain division.
  CheckAgainstReference(259, 258, 257, 257, 7);
}
