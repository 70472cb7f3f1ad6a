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
#include <cstddef>
#include <cstdint>
#include <memory>
#include <type_traits>
#include <vector>

#include "TimerClocks.h"
#include "TimerQueue.h"

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
