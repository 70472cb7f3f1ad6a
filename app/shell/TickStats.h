#pragma once
// Frame timing for measuring the running program. When the environment
// variable QUELMA_TICK_STATS names a file, every animation tick (step,
// render and present) adds a line there: the time it ended, in seconds since
// 1970, then its wall-clock time and the CPU time of the GUI thread in it, in
// milliseconds ("1733840000.123456 0.412 0.398"). The lines reach the file
// about once a second, so that measuring costs the idle program little.
// scripts/profile-cpu reads it. Unset, it costs a tick next to nothing.
#include <chrono>
#include <cstdio>

class TTickStats {
public:
  struct TStamp {
    std::chrono::steady_clock::time_point Wall;
    double ThreadCpuMs = 0; // 0 where the platform has no thread clock
  };

  // The recorder for this run: nullptr when QUELMA_TICK_STATS is unset or
  // empty, or its file cannot be created (said once on standard error).
  static TTickStats* Instance();
  static TStamp Now();

  explicit TTickStats(std::FILE* File)
      : FFile(File), FLastFlush(std::chrono::steady_clock::now()) {}
  TTickStats(const TTickStats&) = delete;
  TTickStats& operator=(const TTickStats&) = delete;
  ~TTickStats();

  void Add(const TStamp& Start, const TStamp& End);

private:
  std::FILE* FFile;
  std::chrono::steady_clock::time_point FLastFlush;
};

// Times the scope it lives in, when a recorder is on.
class TTickTiming {
public:
  TTickTiming() : FStats(TTickStats::Instance()) {
    if (FStats)
      FStart = TTickStats::Now();
  }
  ~TTickTiming() {
    if (FStats)
      FStats->Add(FStart, TTickStats::Now());
  }
  TTickTiming(const TTickTiming&) = delete;
  TTickTiming& operator=(const TTickTiming&) = delete;

private:
  TTickStats* FStats;
  TTickStats::TStamp FStart;
};
