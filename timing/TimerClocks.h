#pragma once
// The periodic sources behind the timers: each calls back on a thread of its
// own.
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>

// ---------------------------------------------------------------------------------------------
// Clocks: the periodic sources behind the timers.

// Calls Callback(User) every Interval milliseconds until killed. The periodic source of
// every timer; the callbacks may run on any thread.
class ITimerClock {
public:
  using TCallback = void (*)(void* User);
  virtual ~ITimerClock() = default;
  // Returns a non-zero identifier, or 0 when no timer could be set up (Interval below 1).
  virtual uint32_t SetEvent(int32_t Interval, int32_t Resolution, TCallback Callback,
                            void* User) = 0;
  // After this returns, no callback of Id runs or will run. Never call it from a callback.
  virtual void KillEvent(uint32_t Id) = 0;
};

// One std::thread per running timer, sleeping until absolute deadlines on the steady clock so
// the period does not drift with the time the callback takes. A thread that finds itself more
// than a second behind (a suspended machine, a stopped debugger) starts counting afresh
// instead of firing a burst of stale ticks.
class TSteadyTimerClock final : public ITimerClock {
public:
  TSteadyTimerClock();
  TSteadyTimerClock(const TSteadyTimerClock&) = delete;
  TSteadyTimerClock& operator=(const TSteadyTimerClock&) = delete;
  ~TSteadyTimerClock() override; // kills every timer still running

  uint32_t SetEvent(int32_t Interval, int32_t Resolution, TCallback Callback, void* User) override;
  void KillEvent(uint32_t Id) override;

private:
  struct TWorker;
  std::mutex FLock;
  std::map<uint32_t, std::unique_ptr<TWorker>> FWorkers;
  uint32_t FLastId = 0;
};
