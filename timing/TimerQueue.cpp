#include "TimerQueue.h"

#include <algorithm>

#include "Timers.h"

// ---------------------------------------------------------------------------------------------
// TTimerQueue

TTimerQueue::~TTimerQueue() {
  DetachTimerPoster(this);
}

bool TTimerQueue::Post(TQuickCustomTimer* Timer) {
  {
    std::lock_guard<std::mutex> Guard(FLock);
    FTicks.push_back(Timer);
    Posted();
  }
  FReady.notify_one();
  return true;
}

void TTimerQueue::Purge(TQuickCustomTimer* Timer) {
  std::lock_guard<std::mutex> Guard(FLock);
  FTicks.erase(std::remove(FTicks.begin(), FTicks.end(), Timer), FTicks.end());
  Purged(FTicks.size());
}

bool TTimerQueue::DeliverOne() {
  TQuickCustomTimer* Timer;
  {
    std::lock_guard<std::mutex> Guard(FLock);
    if (FTicks.empty())
      return false;
    Timer = FTicks.front();
    FTicks.pop_front();
  }
  Timer->DeliverTick();
  return true;
}

bool TTimerQueue::WaitAndDeliver(std::chrono::milliseconds Timeout) {
  {
    std::unique_lock<std::mutex> Guard(FLock);
    if (!FReady.wait_for(Guard, Timeout, [this] { return !FTicks.empty(); }))
      return false;
  }
  // Only the GUI thread takes ticks out, so the one just seen is still there.
  return DeliverOne();
}

std::size_t TTimerQueue::Count() const {
  std::lock_guard<std::mutex> Guard(FLock);
  return FTicks.size();
}

std::size_t TTimerQueue::Count(const TQuickCustomTimer* Timer) const {
  std::lock_guard<std::mutex> Guard(FLock);
  return static_cast<std::size_t>(std::count(FTicks.begin(), FTicks.end(), Timer));
}
