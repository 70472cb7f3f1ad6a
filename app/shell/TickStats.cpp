#include "TickStats.h"

#include <cstdlib>
#include <ctime>
#include <memory>

TTickStats* TTickStats::Instance() {
  static const std::unique_ptr<TTickStats> Stats = []() -> std::unique_ptr<TTickStats> {
    const char* Path = std::getenv("QUELMA_TICK_STATS");
    if (!Path || !*Path)
      return nullptr;
    std::FILE* File = std::fopen(Path, "w");
    if (!File) {
      std::fprintf(stderr, "quelma: QUELMA_TICK_STATS: cannot write %s\n", Path);
      return nullptr;
    }
    std::setvbuf(File, nullptr, _IOFBF, 1 << 16);
    return std::make_unique<TTickStats>(File);
  }();
  return Stats.get();
}

TTickStats::TStamp TTickStats::Now() {
  TStamp S;
  S.Wall = std::chrono::steady_clock::now();
#ifdef CLOCK_THREAD_CPUTIME_ID
  timespec T{};
  if (clock_gettime(CLOCK_THREAD_CPUTIME_ID, &T) == 0)
    S.ThreadCpuMs = double(T.tv_sec) * 1e3 + double(T.tv_nsec) / 1e6;
#endif
  return S;
}

TTickStats::~TTickStats() {
  std::fclose(FFile);
}

void TTickStats::Add(const TStamp& Start, const TStamp& End) {
  using namespace std::chrono;
  const double Wall = duration<double, std::milli>(End.Wall - Start.Wall).count();
  const double Ended = duration<double>(system_clock::now().time_since_epoch()).count();
  std::fprintf(FFile, "%.6f %.3f %.3f\n", Ended, Wall, End.ThreadCpuMs - Start.ThreadCpuMs);
  if (End.Wall - FLastFlush >= seconds(1)) {
    std::fflush(FFile);
    FLastFlush = End.Wall;
  }
}
