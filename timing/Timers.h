// Periodic timers that tick on a timer thread and run their handlers on the GUI thread.
//
// A timer thread only counts ticks and posts them through an ITimerPoster; the poster hands
// each tick back to the GUI thread, which calls TQuickCustomTimer::DeliverTick. With NoOverflow
// at most one tick of a timer is ever queued: ticks that arrive while one is pending are counted
// and reported by the next handled tick as Missed, so the animation can catch up in wall-clock
// time while drawing fewer frames.
//
// Threading: everything here runs on the GUI thread except the tick callbacks, which run on the
// clock's thread and touch only Pending, OverflowCount, Missed and the poster.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <type_traits>
#include <vector>

class TQuickCustomTimer;

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

// A clock driven by hand: time stands still until Advance, which fires every due callback on
// the calling thread, in the order of their deadlines. For tests of timer logic and animations.
class TManualTimerClock final : public ITimerClock {
public:
  uint32_t SetEvent(int32_t Interval, int32_t Resolution, TCallback Callback, void* User) override;
  void KillEvent(uint32_t Id) override;

  // Moves the time forward by Milliseconds (>= 0), firing the ticks that fall due on the way.
  // May be called from inside a tick handler to stand for a handler that takes that long.
  void Advance(int64_t Milliseconds);
  int64_t Now() const { return FNow; }
  std::size_t Running() const { return FEvents.size(); }
  int32_t Resolution(uint32_t Id) const; // as requested at SetEvent; -1 for an unknown Id
  int SetEventCount() const { return FSetEventCount; }

private:
  struct TEvent {
    int32_t Interval;
    int32_t Resolution;
    TCallback Callback;
    void* User;
    int64_t Due;
  };
  std::map<uint32_t, TEvent> FEvents;
  int64_t FNow = 0;
  uint32_t FLastId = 0;
  int FSetEventCount = 0;
};

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

// ---------------------------------------------------------------------------------------------
// Timers.

// A handler bound to its object. Compares equal exactly when both the procedure and the
// object are the same, so a caller can ask "is this still my handler?" (StopRepeat).
struct TTimerEvent {
  void (*Proc)(void* Object, TQuickCustomTimer& Sender) = nullptr;
  void* Object = nullptr;

  explicit operator bool() const { return Proc != nullptr; }
  bool operator==(const TTimerEvent&) const = default;
  void operator()(TQuickCustomTimer& Sender) const { Proc(Object, Sender); }
};

namespace QuickTimersDetail {
template <class M> struct TMemberClass;
template <class C, class M> struct TMemberClass<M C::*> { using Type = C; };
} // namespace QuickTimersDetail

// TTimerEvent for a method of Object, taking (TQuickCustomTimer& Sender) or nothing:
//   AnimTimer.SetOnTimer(MakeTimerEvent<&TQUELMAMainForm::AnimTimerTimer>(this));
template <auto Method, class T> TTimerEvent MakeTimerEvent(T* Object) {
  using C = typename QuickTimersDetail::TMemberClass<decltype(Method)>::Type;
  static_assert(std::is_base_of_v<C, T>, "the method must belong to the object's class");
  TTimerEvent Result;
  Result.Proc = [](void* O, TQuickCustomTimer& Sender) {
    C* Self = static_cast<C*>(static_cast<T*>(O));
    if constexpr (std::is_invocable_v<decltype(Method), C*, TQuickCustomTimer&>)
      (Self->*Method)(Sender);
    else
      (Self->*Method)();
  };
  Result.Object = static_cast<void*>(Object);
  return Result;
}

class TQuickCustomTimer {
public:
  TQuickCustomTimer() = default;
  TQuickCustomTimer(const TQuickCustomTimer&) = delete;
  TQuickCustomTimer& operator=(const TQuickCustomTimer&) = delete;
  virtual ~TQuickCustomTimer();

  int32_t Interval() const { return FInterval; }
  // Nothing when unchanged; otherwise stops, stores and restarts when enabled (the restart's
  // failure is not reported: Enabled stays true and nothing ticks).
  void SetInterval(int32_t Value);
  int32_t Resolution() const { return FResolution; }
  void SetResolution(int32_t Value) { FResolution = Value; } // takes effect at the next Start
  bool NoOverflow() const { return FNoOverflow; }
  void SetNoOverflow(bool Value) { FNoOverflow = Value; } // takes effect at the next Start
  bool Enabled() const { return FEnabled; }

  // Ticks swallowed just before the tick being handled; read it inside the handler. Reading
  // does not reset it; it is 0 after Stop.
  int32_t Missed() const { return FMissed.load(std::memory_order_relaxed); }
  int32_t OverflowCount() const { return FOverflowCount.load(std::memory_order_relaxed); }
  bool Pending() const { return FPending.load(std::memory_order_acquire); }
  uint32_t TimerID() const { return FTimerID; }

  // Stops, then starts a clock event with the current settings; returns whether one was obtained.
  bool Start();
  // Kills the clock event, drops this timer's queued ticks and resets Pending and the counters.
  void Stop();

  // GUI thread, called by the poster for each delivered tick: runs the handler, then clears
  // Pending (also when the handler throws) unless the handler restarted the timer.
  void DeliverTick();

protected:
  void SetEnabled(bool Value);
  const TTimerEvent& OnTimer() const { return FOnTimer; }
  void SetOnTimer(TTimerEvent Value) { FOnTimer = Value; }
  // The tick's work; by default the OnTimer handler.
  virtual void Timer();

private:
  static void PlainTick(void* User);
  static void OverflowTick(void* User);

  uint32_t FTimerID = 0;
  TTimerEvent FOnTimer;
  int32_t FInterval = 100;
  int32_t FResolution = 25;
  std::atomic<int32_t> FOverflowCount{0};
  std::atomic<int32_t> FMissed{0};
  bool FEnabled = false;
  bool FNoOverflow = false;
  std::atomic<bool> FPending{false};
  // Set at Start for the running clock event, read by its callbacks.
  ITimerClock* FClock = nullptr;
  ITimerPoster* FPoster = nullptr;
  uint64_t FStarts = 0; // tells DeliverTick whether its handler restarted the timer
  // Cleared by the destructor, so DeliverTick notices a handler that destroyed its own timer.
  std::shared_ptr<bool> FAlive = std::make_shared<bool>(true);

  friend void DetachTimerPoster(ITimerPoster* Poster);
};

class TQuickTimer : public TQuickCustomTimer {
public:
  using TQuickCustomTimer::OnTimer;
  using TQuickCustomTimer::SetEnabled;
  using TQuickCustomTimer::SetOnTimer;
};

// One timer calling a list of clients on every tick.
class TQuickSharedTimer : public TQuickCustomTimer {
public:
  using TClientProc = void (*)(void* Control);

  ~TQuickSharedTimer() override;

  // Already listed: true and no change. Otherwise appends and enables the timer; when that
  // fails the list is emptied again. Returns Enabled.
  bool AddClient(TClientProc Proc, void* Control);
  // Remove the first matching entry (the last entry takes its slot); an empty list disables.
  void RemoveClient(TClientProc Proc, void* Control);
  void RemoveControl(const void* Control);
  // Calls the clients from the last to the first. Clients added meanwhile wait for the next
  // pass; a client may remove itself without another being skipped or called twice.
  void CallClients();
  std::size_t ClientCount() const { return FClients.size(); }

protected:
  void Timer() override { CallClients(); }

private:
  struct TClient {
    TClientProc Proc;
    void* Control;
  };
  void RemoveAt(std::size_t Index);
  std::vector<TClient> FClients;
};

// Client procedure for a parameterless method of Control's class:
//   AddAnimationClient(false, ClientMethod<&TLayeredFormEx::AnimStep>, this);
template <auto Method> void ClientMethod(void* Control) {
  using C = typename QuickTimersDetail::TMemberClass<decltype(Method)>::Type;
  (static_cast<C*>(Control)->*Method)();
}

// ---------------------------------------------------------------------------------------------
// Process-wide settings and clocks (GUI thread).

// The poster every timer uses from its next Start on; nullptr (the default) makes Start fail.
// The Qt program installs its timer window at start-up.
void SetTimerPoster(ITimerPoster* Poster);
ITimerPoster* TimerPoster();
// Stops every running timer that posts through Poster and uninstalls it if installed: call it
// before a poster goes away so no timer thread posts into a dead object.
void DetachTimerPoster(ITimerPoster* Poster);
// The clock every timer uses from its next Start on; nullptr selects the steady-clock threads.
void SetTimerClock(ITimerClock* Clock);
ITimerClock& TimerClock();

constexpr int32_t DefaultAnimationInterval = 24;

// The animation clock: a shared NoOverflow timer at the animation interval, created on first use.
bool AddAnimationClient(bool CallNow, TQuickSharedTimer::TClientProc Proc, void* Control);
void RemoveAnimationClient(TQuickSharedTimer::TClientProc Proc, void* Control);
void RemoveAnimationControl(const void* Control);
void SetAnimationInterval(int32_t Milliseconds);
int32_t AnimationInterval();
TQuickSharedTimer* AnimationClock(); // nullptr until the first AddAnimationClient

// Stops and frees the animation clock (program end, or between tests).
void FreeAnimationClock();
