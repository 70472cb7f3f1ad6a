// The frame in bands on several threads against the scalar reference path,
// byte for byte: bands as low as they go, so that every blur and motion
// reaches across band edges, spots that cross them, any thread count.
#include <algorithm>
#include <atomic>
#include <cstring>
#include <random>
#include <thread>
#include <vector>

#include "EngineTestSupport.h"
#include "KernelPaths.h"
#include "SimdKernels.h"

namespace {

class FrameThreads : public EngineTest {
protected:
  // A fresh W x H surface of random bytes and 60 emitters, Frames renders on
  // the given path and threads; the surface bytes, the final seed and the
  // levels of one box.
  std::vector<uint32_t> Run(TKernelPath Path, int32_t Threads, int32_t W, int32_t H, int32_t Frames,
                            uint32_t Seed) {
    UseSurface(display, W, H);
    TDIBmp& s = display.FSurface;
    std::mt19937 rng(Seed);
    FillSurfaceRandomly(s, rng);
    std::fill(form.FSpotBuf.begin(), form.FSpotBuf.end(), 0.0f);
    form.FEmitters.Reset();
    form.SurfaceOffsetX = float(W) / 2;
    form.SurfaceOffsetY = float(H) / 2;
    for (int i = 0; i < 60; ++i)
      form.AddEmitter(nullptr, 40 + i * 3, float(int(rng() % uint32_t(W))) - float(W) / 2,
                      float(int(rng() % uint32_t(H))) - float(H) / 2);
    RandSeed = Seed;
    form.FThreads = Threads;
    PathGuard g(Path);
    for (int32_t f = 0; f < Frames; ++f)
      form.Render();
    std::vector<uint32_t> out = PixelsAndSeed(s);
    // One more frame with the first emitter alone, whose box (likely cut by
    // band edges) leaves its levels in the work buffer, and nothing else.
    while (form.FEmitters.Count > 1)
      form.FEmitters.Delete(form.FEmitters.Count - 1);
    std::fill(form.FSpotBuf.begin(), form.FSpotBuf.end(), -1.0f);
    form.Render();
    const int32_t* levels = reinterpret_cast<const int32_t*>(form.FSpotBuf.data());
    out.insert(out.end(), levels, levels + form.FSpotBuf.size());
    return out;
  }
};

TEST_F(FrameThreads, EveryThreadCountGivesTheReferenceBytes) {
  struct Case {
    int32_t xb, yb, motion, w, h;
    float thickness;
    bool fat, debug;
  };
  const Case cases[] = {
      {3, 3, -1, 70, 150, 15, false, false}, // the default style's window and motion
      {1, 1, 0, 40, 90, 40, true, false},    // no blur: spots alone cross the edges
      {17, 17, -3, 60, 230, 8, false, false}, {5, 9, 3, 50, 200, 8, true, false},
      {9, 1, -2, 64, 120, 6, false, false},   {1, 7, 2, 33, 140, 6, false, false},
      {3, 5, 0, 45, 161, 12, true, true},   // debug flood
      {4, 3, -1, 40, 120, 6, false, false}, // an even window: one band
  };
  for (const Case& c : cases) {
    form.FXBlur = c.xb;
    form.FYBlur = c.yb;
    form.FYMotion = c.motion;
    form.FDebug = c.debug;
    form.FStyle = TEmitterStyle{c.thickness, 6, 5, 0xFFF0C080u, 256, c.fat};
    form.UpdateFadeColor(248, 20, 256, 240);
    const uint32_t seed = uint32_t(c.xb * 100 + c.yb * 10 + c.motion + 3);
    form.FBandRows = 0;
    const auto ref = Run(TKernelPath::Reference, 1, c.w, c.h, 3, seed);
    for (int32_t bandRows : {1, 37})
      for (int32_t threads : {1, 2, 3}) {
        form.FBandRows = bandRows;
        EXPECT_TRUE(Run(VectorPaths().back(), threads, c.w, c.h, 3, seed) == ref)
            << c.xb << "x" << c.yb << " motion " << c.motion << " bands of " << bandRows
            << " threads " << threads;
      }
  }
  form.FDebug = false;
}

TEST_F(FrameThreads, AutomaticCountFollowsTheFrameSize) {
  const int32_t cores = std::max(1, int32_t(std::thread::hardware_concurrency()));
  form.FThreads = 0;
  EXPECT_EQ(form.FrameThreads(400, 300), 1);
  EXPECT_EQ(form.FrameThreads(1920, 1080), 1);
  EXPECT_EQ(form.FrameThreads(1921, 1080), std::min(2, cores));
  EXPECT_EQ(form.FrameThreads(3840, 2160), std::min(4, cores));
  EXPECT_EQ(form.FrameThreads(16384, 8192), std::min(MaxFrameThreads, cores));
  form.FThreads = 3;
  EXPECT_EQ(form.FrameThreads(16, 16), 3);
  form.FThreads = 50;
  EXPECT_EQ(form.FrameThreads(16, 16), MaxFrameThreads);
}

TEST(FrameWorkers, EveryItemRunsOnceOnAWorkerInRange) {
  TFrameWorkers workers;
  for (int32_t threads : {1, 2, 4, 3})
    for (int32_t count : {0, 1, 2, 7, 300}) {
      std::vector<std::atomic<int32_t>> runs(static_cast<size_t>(count));
      std::atomic<bool> badWorker{false};
      workers.Run(threads, count, [&](int32_t item, int32_t worker) {
        runs[size_t(item)].fetch_add(1);
        if (worker < 0 || worker >= threads)
          badWorker = true;
      });
      for (int32_t i = 0; i < count; ++i)
        EXPECT_EQ(runs[size_t(i)].load(), 1) << threads << " threads, item " << i;
      EXPECT_FALSE(badWorker);
    }
  // Helpers are kept between runs: never more than the most threads asked.
  EXPECT_EQ(workers.Helpers(), 3);
}

TEST(FrameWorkers, WritesOfTheWorkersAreSeenAfterTheRun) {
  TFrameWorkers workers;
  std::vector<int32_t> values(1000, 0); // plain memory: the run must order it
  for (int round = 1; round <= 50; ++round) {
    workers.Run(4, 1000, [&](int32_t item, int32_t) { values[size_t(item)] += round; });
    for (int32_t v : values)
      ASSERT_EQ(v, round * (round + 1) / 2);
  }
}

} // namespace
