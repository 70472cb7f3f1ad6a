// quelma-render --soak: a short soak as the continuous integration runs a
// longer one, and the soak's usage errors.
#include <gtest/gtest.h>

#include "RenderRun.h"
#include <stdlib.h>
#include <sys/wait.h>

#include <cstdio>
#include <regex>
#include <string>

namespace {

TRun Soak(const std::string& Args) {
  return Render(Args);
}

long long Figure(const std::string& Out, const std::string& Pattern) {
  std::smatch m;
  if (!std::regex_search(Out, m, std::regex(Pattern)))
    return -1;
  return std::stoll(m[1].str());
}

TEST(Soak, AFewSecondsOfRandomUseHoldEveryInvariant) {
  // CI soaks for a minute on its own; here a short run shows the soak works.
  const TRun r = Soak("--soak 3");
  ASSERT_EQ(r.Status, 0) << r.Out;
  EXPECT_NE(r.Out.find("soak: passed"), std::string::npos) << r.Out;
  // The run did what it says: frames, and (the first actions go through
  // every kind) style changes, strokes, state files saved and read back,
  // pictures imported.
  EXPECT_GT(Figure(r.Out, R"(, (\d+) frames)"), 0) << r.Out;
  EXPECT_GT(Figure(r.Out, R"(style changes (\d+))"), 0) << r.Out;
  EXPECT_GT(Figure(r.Out, R"(strokes (\d+))"), 0) << r.Out;
  EXPECT_GT(Figure(r.Out, R"(read back (\d+))"), 0) << r.Out;
  EXPECT_GT(Figure(r.Out, R"(pictures imported (\d+))"), 0) << r.Out;
}

TEST(Soak, UsageAndFileErrors) {
  const struct {
    const char* Args;
    int Status;
  } cases[] = {
      {"--soak 0", 1},
      {"--soak -5", 1},
      {"--soak ten", 1},
      {"--soak 604801", 1},
      {"--soak", 1},
      {"--soak 5 --bench", 1},
      {"--soak 5 --out /tmp/quelma-soak-frame.png", 1},
      {"--soak 5 --save /tmp/quelma-soak-never.quelma", 1},
      {"--soak 5 --no-startup /nonexistent/missing.quelma", 2},
  };
  for (const auto& c : cases) {
    const TRun r = Soak(c.Args);
    EXPECT_EQ(r.Status, c.Status) << c.Args << "\n" << r.Out;
    EXPECT_EQ(r.Out.find("soak: passed"), std::string::npos) << c.Args;
  }
  EXPECT_NE(Soak("--help").Out.find("--soak SECONDS"), std::string::npos);
}

} // namespace
