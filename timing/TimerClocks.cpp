#include "TimerClocks.h"

#include <chrono>
#include <system_error>
#include <thread>
#include <vector>

// ---------------------------------------------------------------------------------------------
// TSteadyTimerClock

struct TSteadyTimerClock::TWorker {
  std::mutex Lock;
  std::condition_variable Wake;
  bool Stopping = false;
  std::thread Thread;
};

namespace {

void RunWorker(std::mutex& Lock, std::condition_variable& Wake, const bool& Stopping,
               int32_t Interval, ITimerClock::TCallback Callback, void* User) {
  using Clock = std::chrono::steady_clock;
  const auto Period = std::chrono::milliseconds(Interval);
  // Ticks stale by more than this are not worth catching up on.
  const auto MaxLag = std::chrono::seconds(1);
  auto Next = Clock::now() + Period;
  std::unique_lock<std::mutex> Guard(Lock);
  while (!Wake.wait_until(Guard, Next, [&] { return Stopping; })) {
    Guard.unlock();
    Callback(User);
    Guard.lock();
    Next += Period;
    const auto Now = Clock::now();
    if (Now - Next > MaxLag)
      Next = Now + Period;
  }
}

} // namespace

TSteadyTimerClock::TSteadyTimerClock() = default;

TSteadyTimerClock::~TSteadyTimerClock() {
  std::vector<uint32_t> Ids;
  {
    std::lock_guard<std::mutex> Guard(FLock);
    for (const auto& Entry : FWorkers)
      Ids.push_back(Entry.first);
  }
  for (uint32_t Id : Ids)
    KillEvent(Id);
}

uint32_t TSteadyTimerClock::SetEvent(int32_t Interval, int32_t Resolution, TCallback Callback,
                                     void* User) {
  (void)Resolution; // sleeping until absolute deadlines needs no resolution request
  if (Interval < 1 || !Callback)
    return 0;
  auto Worker = std::make_unique<TWorker>();
  TWorker* W = Worker.get();
  uint32_t Id;
  {
    std::lock_guard<std::mutex> Guard(FLock);
    do
      Id = ++FLastId;
    while (Id == 0 || FWorkers.count(Id) != 0);
    FWorkers.emplace(Id, std::move(Worker));
  }
  try {
    W->Thread = std::thread(RunWorker, std::ref(W->Lock), std::ref(W->Wake), std::cref(W->Stopping),
                            Interval, Callback, User);
  } catch (const std::system_error&) {
    std::lock_guard<std::mutex> Guard(FLock);
    FWorkers.erase(Id);
    return 0;
  }
  return Id;
}

void TSteadyTimerClock::KillEvent(uint32_t Id) {
  std::unique_ptr<TWorker> Worker;
  {
    std::lock_guard<std::mutex> Guard(FLock);
    auto It = FWorkers.find(Id);
    if (It == FWorkers.end())
      return;
    Worker = std::move(It->second);
    FWorkers.erase(It);
  }
  {
    std::lock_guard<std::mutex> Guard(Worker->Lock);
    Worker->Stopping = true;
  }
  Worker->Wake.notify_all();
  if (Worker->Thread.joinable())
    Worker->Thread.join();
}
