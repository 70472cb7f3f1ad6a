#pragma once
// The threads that share a frame's work: the calling thread and helpers kept
// waiting between frames, so that a frame starts no thread.
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

// Most threads a frame runs on.
inline constexpr int32_t MaxFrameThreads = 8;

class TFrameWorkers {
public:
  using TJob = std::function<void(int32_t Item, int32_t Worker)>;

  TFrameWorkers() = default;
  ~TFrameWorkers();
  TFrameWorkers(const TFrameWorkers&) = delete;
  TFrameWorkers& operator=(const TFrameWorkers&) = delete;

  // Runs Job(i, worker) once for every i < Count on up to Threads threads,
  // each taking the next item when it is done with one; the caller is worker 0
  // and the others are numbered 1 to Threads - 1. Returns when every call has
  // returned; what they wrote is then visible to the caller. Job must not
  // throw.
  void Run(int32_t Threads, int32_t Count, const TJob& Job);
  // Helper threads started so far.
  int32_t Helpers() const { return int32_t(FHelpers.size()); }

private:
  std::vector<std::thread> FHelpers;
  std::mutex FLock;
  std::condition_variable FStart, FDone;
  uint64_t FRound = 0;     // counts the runs that involved helpers
  int32_t FTakingPart = 0; // helpers in the current run
  int32_t FStillBusy = 0;  // of those, the ones not finished yet
  const TJob* FJob = nullptr;
  int32_t FCount = 0;
  std::atomic<int32_t> FNext{0};
  bool FQuit = false;

  void Work(int32_t Worker);
  void Helper(int32_t Index);
};
