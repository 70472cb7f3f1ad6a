#include "FrameWorkers.h"

TFrameWorkers::~TFrameWorkers() {
  {
    std::lock_guard<std::mutex> lock(FLock);
    FQuit = true;
  }
  FStart.notify_all();
  for (std::thread& t : FHelpers)
    t.join();
}

void TFrameWorkers::Work(int32_t Worker) {
  for (int32_t i = FNext.fetch_add(1, std::memory_order_relaxed); i < FCount;
       i = FNext.fetch_add(1, std::memory_order_relaxed))
    (*FJob)(i, Worker);
}

void TFrameWorkers::Run(int32_t Threads, int32_t Count, const TJob& Job) {
  const int32_t helpers = std::min(std::min(Threads, MaxFrameThreads), Count) - 1;
  if (helpers <= 0) {
    for (int32_t i = 0; i < Count; ++i)
      Job(i, 0);
    return;
  }
  while (int32_t(FHelpers.size()) < helpers) {
    const int32_t index = int32_t(FHelpers.size());
    FHelpers.emplace_back([this, index] { Helper(index); });
  }
  {
    std::lock_guard<std::mutex> lock(FLock);
    FJob = &Job;
    FCount = Count;
    FNext.store(0, std::memory_order_relaxed);
    FTakingPart = helpers;
    FStillBusy = helpers;
    ++FRound;
  }
  FStart.notify_all();
  Work(0);
  std::unique_lock<std::mutex> lock(FLock);
  FDone.wait(lock, [this] { return FStillBusy == 0; });
  FJob = nullptr;
}

void TFrameWorkers::Helper(int32_t Index) {
  uint64_t seen = 0;
  std::unique_lock<std::mutex> lock(FLock);
  for (;;) {
    FStart.wait(lock, [&] { return FQuit || FRound != seen; });
    if (FQuit)
      return;
    seen = FRound;
    if (Index >= FTakingPart)
      continue;
    lock.unlock();
    Work(Index + 1);
    lock.lock();
    if (--FStillBusy == 0)
      FDone.notify_one();
  }
}
