// quelma-render --soak: a short soak as the continuous integration runs a
// longer one, and the soak's usage errors.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <cstdio>
#include <regex>
#include <string>

namespace {

struct TSoakRun {
  int Status = -1;
  std::string Out;
};

TSoakRun Soak(const std::string& Args) {
  const std::string cmd = std::string("'") + QUELMA_RENDER + "' " + Args + " 2>&1";
  TSoakRun r;
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) return r;
  char buf[4096];
  std::size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.Out.append(buf, n);
  const int st = pclose(p);
  r.Status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  return r;
}

long long Figure(const std::string& Out, const std::string& Pattern) {
  std::smatch m;
  if (!std::regex_search(Out, m, std::regex(Pattern))) return -1;
  return std::stoll(m[1].str());
}

TEST(Soak, TwentySecondsOfRandomUseHoldEveryInvariant) {
  const TSoakRun r = Soak("--soak 20");
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
    const TSoakRun r = Soak(c.Args);
    EXPECT_EQ(r.Status, c.Status) << c.Args << "\n" << r.Out;
    EXPECT_EQ(r.Out.find("soak: passed"), std::string::npos) << c.Args;
  }
  EXPECT_NE(Soak("--help").Out.find("--soak SECONDS"), std::string::npos);
}

}  // namespace
