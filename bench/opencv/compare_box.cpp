// Our box filter against OpenCV's cv::boxFilter on the same 1920 x 1080
// 8-bit four-channel picture, one thread, for each window size; prints the
// median time of each and their ratio. Google Benchmark runs the timing.
#include <benchmark/benchmark.h>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <cstdio>
#include <map>
#include <utility>

#include "../BenchPictures.h"
#include "DIBmp.h"

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

std::map<std::pair<int, int>, std::pair<double, double>> Times; // window -> (ours, OpenCV) ms

void BM_Ours(benchmark::State& state) {
  const int w = int(state.range(0)), h = int(state.range(1));
  TDIBmp s(kWidth, kHeight, 32, false);
  FillRandom(s.PixelMemory, size_t(s.Size));
  for (auto _ : state) {
    s.BoxBlur(TRect{0, 0, kWidth, kHeight}, TPoint{w, h}, TPoint{w / 2, h / 2});
    benchmark::ClobberMemory();
  }
}

void BM_OpenCV(benchmark::State& state) {
  const int w = int(state.range(0)), h = int(state.range(1));
  cv::Mat src(kHeight, kWidth, CV_8UC4), dst;
  FillRandom(src.data, src.total() * src.elemSize());
  for (auto _ : state) {
    cv::boxFilter(src, dst, -1, cv::Size(w, h), cv::Point(-1, -1), true, cv::BORDER_REPLICATE);
    benchmark::ClobberMemory();
  }
}

// Records each run's median (or only time) for the table at the end.
class TRatioReporter : public benchmark::ConsoleReporter {
public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& r : runs) {
      if (r.error_occurred || (r.run_type == Run::RT_Aggregate && r.aggregate_name != "median"))
        continue;
      int w = 0, h = 0;
      const std::string name = r.benchmark_name();
      if (std::sscanf(name.c_str() + name.find('/'), "/%d/%d", &w, &h) != 2)
        continue;
      const double ms = r.GetAdjustedCPUTime() / 1e6; // the time unit is nanoseconds
      auto& t = Times[{w, h}];
      (name.rfind("BM_Ours", 0) == 0 ? t.first : t.second) = ms;
    }
  }
};

} // namespace

BENCHMARK(BM_Ours)->Args({3, 3})->Args({17, 17})->Args({3, 1})->Args({5, 5})->Args({9, 9});
BENCHMARK(BM_OpenCV)->Args({3, 3})->Args({17, 17})->Args({3, 1})->Args({5, 5})->Args({9, 9});

int main(int argc, char** argv) {
  cv::setNumThreads(1);
  benchmark::Initialize(&argc, argv);
  TRatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  std::printf("\n%-8s %12s %12s %8s\n", "window", "ours ms", "OpenCV ms", "ratio");
  for (const auto& [win, t] : Times)
    if (t.first > 0 && t.second > 0)
      std::printf("%3d x %-3d %12.3f %12.3f %8.2f\n", win.first, win.second, t.first, t.second,
                  t.second / t.first);
  benchmark::Shutdown();
  return 0;
}
