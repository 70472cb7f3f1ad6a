// The primitives: fill, box filter frames and errors, resampling bounds and the
// vector steps of the spot drawing.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "Primitives.h"

TEST(Primitives, BindingSucceeds) { EXPECT_TRUE(BindPrimitives()); }

TEST(Primitives, SetFillsTheRegionAndNotTheRowPadding) {
  // 3 x 2 pixels inside rows of 20 bytes.
  std::vector<Ipp8u> mem(60, 0xEE);
  const Ipp8u value[4] = {1, 2, 3, 4};
  ASSERT_EQ(ippiSet_8u_C4R(value, mem.data() + 20 + 4, 20, IppiSize{3, 2}), ippStsNoErr);
  for (int i = 0; i < 60; ++i) {
    const int row = i / 20, col = i % 20;
    const bool inside = row >= 1 && col >= 4 && col < 16;
    EXPECT_EQ(mem[size_t(i)], inside ? Ipp8u(1 + (col % 4)) : 0xEE) << i;
  }
  EXPECT_EQ(ippiSet_8u_C4R(value, mem.data(), 20, IppiSize{0, 2}), ippStsSizeErr);
}

TEST(Primitives, BoxFilterTouchesOnlyItsRegionAndReadsOnlyItsFrame) {
  // A 6 x 5 region with a 3 x 3 mask anchored at (1, 1) inside a larger picture
  // whose outside-the-frame bytes are poison: they must neither change nor
  // reach a result.
  const int w = 12, h = 10, step = w * 4;
  std::vector<Ipp8u> mem(size_t(step * h));
  std::mt19937 rng(3);
  for (auto& b : mem)
    b = Ipp8u(rng());
  const int fx = 2, fy = 2;  // top-left of the frame
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      if (!(x >= fx && x < fx + 8 && y >= fy && y < fy + 7))
        for (int c = 0; c < 4; ++c)
          mem[size_t(y * step + x * 4 + c)] = 255;
  std::vector<Ipp8u> flat(mem);
  for (int y = fy; y < fy + 7; ++y)
    for (int x = fx; x < fx + 8; ++x)
      for (int c = 0; c < 4; ++c)
        flat[size_t(y * step + x * 4 + c)] = 9;
  for (auto* picture : {&mem, &flat}) {
    const std::vector<Ipp8u> before(*picture);
    ASSERT_EQ(ippiFilterBox_8u_C4IR(picture->data() + (fy + 1) * step + (fx + 1) * 4, step, IppiSize{6, 5},
                                    IppiSize{3, 3}, IppiPoint{1, 1}),
              ippStsNoErr);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        for (int c = 0; c < 4; ++c) {
          const size_t i = size_t(y * step + x * 4 + c);
          const bool region = x >= fx + 1 && x < fx + 7 && y >= fy + 1 && y < fy + 6;
          if (!region) {
            ASSERT_EQ((*picture)[i], before[i]) << x << "," << y;
          } else if (picture == &flat) {
            ASSERT_EQ((*picture)[i], 9) << "poison outside the frame leaked in at " << x << "," << y;
          }
        }
  }
}

TEST(Primitives, BoxFilterRejectsBadMasksAndAnchors) {
  std::vector<Ipp8u> mem(4 * 16 * 16, 7);
  Ipp8u* mid = mem.data() + 4 * (16 * 4 + 4);
  const struct {
    IppiSize roi, mask;
    IppiPoint anchor;
    IppStatus status;
  } cases[] = {
      {{4, 4}, {0, 3}, {0, 1}, ippStsMaskSizeErr},
      {{4, 4}, {3, 3}, {3, 1}, ippStsAnchorErr},
      {{4, 4}, {3, 3}, {-1, 1}, ippStsAnchorErr},
      {{0, 4}, {3, 3}, {1, 1}, ippStsSizeErr},
      {{4, 4}, {3, 3}, {1, 1}, ippStsNoErr},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ippiFilterBox_8u_C4IR(mid, 64, c.roi, c.mask, c.anchor), c.status);
  EXPECT_EQ(ippiFilterBox_8u_C4IR(nullptr, 64, IppiSize{4, 4}, IppiSize{3, 3}, IppiPoint{1, 1}),
            ippStsNullPtrErr);
  for (Ipp8u b : mem)
    ASSERT_EQ(b, 7);
}

TEST(Primitives, ResizeStaysInsideBothPicturesForEverySizeAndFactor) {
  // Source and destination in buffers guarded on both sides; odd factors,
  // regions partly outside the source, and all four kernels.
  const int kernels[] = {IPPI_INTER_NN, IPPI_INTER_LINEAR, IPPI_INTER_CUBIC, IPPI_INTER_LANCZOS};
  const double factors[] = {0.01, 0.3, 1.0 / 3.0, 0.999, 1.0, 1.7, 3.0, 250.0};
  std::mt19937 rng(17);
  for (int ch : {3, 4})
    for (int k : kernels)
      for (double f : factors)
        for (int sw : {1, 2, 5}) {
          const int sh = 3, dw = 6, dh = 4, guard = 64;
          const int sstep = sw * ch + 1, dstep = dw * ch + 3;
          std::vector<Ipp8u> src(size_t(sstep * sh + 2 * guard));
          for (auto& b : src)
            b = Ipp8u(rng());
          std::vector<Ipp8u> dst(size_t(dstep * dh + 2 * guard), 0xA5);
          const IppiRect roi{-1, 1, sw + 3, 9};
          IppStatus s;
          if (ch == 3)
            s = ippiResize_8u_C3R(src.data() + guard, IppiSize{sw, sh}, sstep, roi, dst.data() + guard, dstep,
                                  IppiSize{dw, dh}, f, f * 0.75, k);
          else
            s = ippiResizeCenter_8u_C4R(src.data() + guard, IppiSize{sw, sh}, sstep, roi, dst.data() + guard,
                                        dstep, IppiSize{dw, dh}, f, f * 1.25, 1.5, 2.0, k);
          ASSERT_TRUE(s == ippStsNoErr || s == ippStsNoOperation) << s;
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
  std::vector<Ipp8u> src(64, 1), dst(64, 2);
  const IppiSize size{4, 4};
  const IppiRect roi{0, 0, 4, 4};
  EXPECT_EQ(ippiResize_8u_C4R(src.data(), size, 16, roi, dst.data(), 16, size, 0.0, 1.0, 1), ippStsResizeFactorErr);
  EXPECT_EQ(ippiResize_8u_C4R(src.data(), size, 16, roi, dst.data(), 16, size, 1.0, NAN, 1), ippStsResizeFactorErr);
  EXPECT_EQ(ippiResize_8u_C4R(src.data(), size, 16, roi, dst.data(), 16, size, 1.0, 1.0, 3), ippStsInterpolationErr);
  EXPECT_EQ(ippiResize_8u_C4R(src.data(), size, 16, IppiRect{5, 0, 2, 2}, dst.data(), 16, size, 1.0, 1.0, 1),
            ippStsNoOperation);
  EXPECT_EQ(ippiResize_8u_C4R(nullptr, size, 16, roi, dst.data(), 16, size, 1.0, 1.0, 1), ippStsNullPtrErr);
  for (Ipp8u b : dst)
    ASSERT_EQ(b, 2);
}

TEST(Primitives, ResizeWritesOnlyWhatTheRegionCovers) {
  // A 2x enlargement of a 2 x 2 region into a 6 x 6 picture fills 4 x 4.
  std::vector<Ipp8u> src(16 * 4);
  for (size_t i = 0; i < src.size(); ++i)
    src[i] = Ipp8u(i);
  std::vector<Ipp8u> dst(6 * 6 * 4, 0);
  ASSERT_EQ(ippiResize_8u_C4R(src.data(), IppiSize{4, 4}, 16, IppiRect{1, 1, 2, 2}, dst.data(), 24, IppiSize{6, 6},
                              2.0, 2.0, IPPI_INTER_NN),
            ippStsNoErr);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 6; ++x) {
      const Ipp8u expected = (x < 4 && y < 4) ? src[size_t((1 + y / 2) * 16 + (1 + x / 2) * 4)] : 0;
      EXPECT_EQ(dst[size_t(y * 24 + x * 4)], expected) << x << "," << y;
    }
}

TEST(Primitives, VectorSteps) {
  float ramp[5];
  ASSERT_EQ(ippsVectorRamp_32f(ramp, 5, -2.25f, 1.0f), ippStsNoErr);
  for (int j = 0; j < 5; ++j)
    EXPECT_EQ(ramp[j], -2.25f + float(j));

  const float in[4] = {-3.0f, 0.5f, 1e20f, 2.0f};
  float out[4];
  ippsSqr_32f(in, out, 4);
  EXPECT_EQ(out[0], 9.0f);
  EXPECT_EQ(out[1], 0.25f);
  EXPECT_TRUE(std::isinf(out[2]));
  ippsAddC_32f(in, 1.5f, out, 4);
  EXPECT_EQ(out[0], -1.5f);
  EXPECT_EQ(out[3], 3.5f);
  ippsMulC_32f(in, -0.5f, out, 4);
  EXPECT_EQ(out[0], 1.5f);
  EXPECT_EQ(out[1], -0.25f);
  ippsCopy_32f(in, out, 4);
  EXPECT_EQ(std::memcmp(in, out, sizeof in), 0);
  float same[3] = {1, 2, 3};
  ippsAddC_32f(same, 1.0f, same, 3);  // in place
  EXPECT_EQ(same[2], 4.0f);
  EXPECT_EQ(ippsSqr_32f(in, out, 0), ippStsSizeErr);
}

TEST(Primitives, SquareRootIsCorrectlyRounded) {
  std::mt19937 rng(5);
  std::vector<float> v(4096), r(4096);
  for (auto& x : v) {
    const uint32_t bits = rng() & 0x7FFFFFFF;  // every positive float, subnormals and specials included
    std::memcpy(&x, &bits, 4);
  }
  v[0] = 0.0f;
  v[1] = 2.0f;
  v[2] = 1e-40f;
  ippsSqrt_32f_A11(v.data(), r.data(), int(v.size()));
  for (size_t i = 0; i < v.size(); ++i) {
    const float expected = std::sqrt(v[i]);
    if (std::isnan(expected))
      ASSERT_TRUE(std::isnan(r[i]));
    else
      ASSERT_EQ(r[i], expected) << v[i];
  }
  const float neg = -4.0f;
  float out;
  ippsSqrt_32f_A11(&neg, &out, 1);
  EXPECT_TRUE(std::isnan(out)) << "a negative distance has no root: no light";
}

TEST(Primitives, ConversionRoundsHalvesToEvenAndSaturates) {
  const struct {
    float in;
    int scale;
    Ipp32s out;
  } cases[] = {
      {0.5f, 0, 0},    {1.5f, 0, 2},      {2.5f, 0, 2},        {-0.5f, 0, 0},
      {-1.5f, 0, -2},  {255.49f, 0, 255}, {256.5f, 0, 256},    {-7.7f, 0, -8},
      {3e9f, 0, std::numeric_limits<Ipp32s>::max()},           {-3e9f, 0, std::numeric_limits<Ipp32s>::min()},
      {2147483648.0f, 0, std::numeric_limits<Ipp32s>::max()},  {-2147483648.0f, 0, std::numeric_limits<Ipp32s>::min()},
      {INFINITY, 0, std::numeric_limits<Ipp32s>::max()},       {NAN, 0, 0},
      {3.0f, 1, 2},    {5.0f, 1, 2},      {1.25f, -2, 5},
  };
  for (const auto& c : cases) {
    Ipp32s out = 12345;
    ASSERT_EQ(ippsConvert_32f32s_Sfs(&c.in, &out, 1, ippRndNear, c.scale), ippStsNoErr);
    EXPECT_EQ(out, c.out) << c.in << " scale " << c.scale;
  }
  const float x = -2.7f;
  Ipp32s out;
  ippsConvert_32f32s_Sfs(&x, &out, 1, ippRndZero, 0);
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
  std::vector<Ipp8u> mem(size_t(step * h));
  std::mt19937 rng(seed);
  for (auto& b : mem)
    b = Ipp8u(rng() % 7 == 0 ? 255 : rng());
  const std::vector<Ipp8u> before(mem);
  const int rw = w - mw + 1, rh = h - mh + 1;
  ASSERT_EQ(ippiFilterBox_8u_C4IR(mem.data(), step, IppiSize{rw, rh}, IppiSize{mw, mh}, IppiPoint{0, 0}),
            ippStsNoErr);
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

}  // namespace

TEST(Primitives, BoxFilterMeansAreExactForEveryWindowSize) {
  for (int n = 1; n <= 48; ++n)
    CheckAgainstReference(n + 20, 2, n, 1, uint32_t(n));
  for (int n = 2; n <= 12; ++n)
    CheckAgainstReference(n + 3, n + 2, n, n, uint32_t(100 + n));
  // Windows past 65793 pixels take the plain division.
  CheckAgainstReference(259, 258, 257, 257, 7);
}
