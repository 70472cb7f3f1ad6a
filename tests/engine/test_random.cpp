#include <gtest/gtest.h>

#include "Random.h"

// The sequence from seed 0: 1, 134775814 (0x08088406), 0xDC6DAC1F, 0x33DC589C.
TEST(Random, SequenceFromSeedZero) {
  const uint32_t saved = RandSeed;
  RandSeed = 0;
  EXPECT_EQ(RandomReal(), 1.0 / 4294967296.0);
  EXPECT_EQ(RandSeed, 1u);
  EXPECT_EQ(RandomInt(1000), 31); // floor(134775814 * 1000 / 2^32) = 31.38
  EXPECT_EQ(RandSeed, 0x08088406u);
  EXPECT_EQ(RandomInt(10), 8); // 0xDC6DAC1F / 2^32 = 0.861
  EXPECT_DOUBLE_EQ(RandomReal(), double(0x33DC589Cu) / 4294967296.0);
  RandSeed = saved;
}

TEST(Random, IntegerDrawsStayInRangeAndEmptyRangesGiveZero) {
  const uint32_t saved = RandSeed;
  RandSeed = 0xFFFFFFFEu;
  for (int i = 0; i < 1000; ++i) {
    const int32_t v = RandomInt(256);
    ASSERT_GE(v, 0);
    ASSERT_LT(v, 256);
  }
  const uint32_t before = RandSeed;
  EXPECT_EQ(RandomInt(0), 0);
  EXPECT_EQ(RandomInt(-5), 0);
  EXPECT_EQ(RandSeed, (before * 134775813u + 1u) * 134775813u + 1u); // both draws spent
  EXPECT_EQ(RandomInt(1), 0);
  RandSeed = saved;
}

TEST(Random, LargestSeedGivesTheTopOfTheRange) {
  const uint32_t saved = RandSeed;
  // A seed of 0xFFFFFFFF after the step gives n - 1 and a real just below 1.
  uint32_t inv = 134775813u; // inverse of the multiplier mod 2^32 by Newton's iteration
  for (int i = 0; i < 5; ++i)
    inv *= 2u - 134775813u * inv;
  ASSERT_EQ(inv * 134775813u, 1u);
  RandSeed = (0xFFFFFFFFu - 1u) * inv;
  EXPECT_EQ(RandomInt(256), 255);
  RandSeed = (0xFFFFFFFFu - 1u) * inv;
  EXPECT_LT(RandomReal(), 1.0);
  RandSeed = saved;
}
