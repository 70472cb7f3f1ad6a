#pragma once
// Ticks posted from the timer threads into the GUI thread.
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>

class TQuickCustomTimer;

// ---------------------------------------------------------------------------------------------
// Posting ticks into the GUI thread.

class ITimerPoster {
public:
  virtual ~ITimerPoster() = default;
  // Timer thread: queue one tick of Timer for the GUI thread. False when it could not be queued.
  virtual bool Post(TQuickCustomTimer* Timer) = 0;
  // GUI thread: drop every queued tick of Timer; queued ticks of other timers keep their order.
  virtual void Purge(TQuickCustomTimer* Timer) = 0;
};

// A thread-safe queue of ticks that the GUI thread empties itself. Used as it is by tests and
// the core's own programs; the Qt timer window builds on it and wakes the event loop through
// the Posted/Purged hooks.
class TTimerQueue : public ITimerPoster {
public:
  TTimerQueue() = default;
  TTimerQueue(const TTimerQueue&) = delete;
  TTimerQueue& operator=(const TTimerQueue&) = delete;
  ~TTimerQueue() override; // stops the timers still posting here (DetachTimerPoster)

  bool Post(TQuickCustomTimer* Timer) override;
  void Purge(TQuickCustomTimer* Timer) override;

  // GUI thread: runs the oldest queued tick; false when the queue was empty. An exception
  // from the handler passes through (the timer is back to idle already).
  bool DeliverOne();
  // Waits up to Timeout for a tick, then delivers it as DeliverOne does.
  bool WaitAndDeliver(std::chrono::milliseconds Timeout);
  std::size_t Count() const;
  std::size_t Count(const TQuickCustomTimer* Timer) const;

protected:
  // Called with the queue locked: after a tick was queued (from the timer thread), and after
  // a purge (GUI thread) with the number of ticks left.
  virtual void Posted() {}
  virtual void Purged(std::size_t Remaining) { (void)Remaining; }

private:
  mutable std::mutex FLock;
  std::condition_variable FReady;
  std::deque<TQuickCustomTimer*> FTicks;
};
