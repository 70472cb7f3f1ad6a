#include "Timers.h"

#include <algorithm>

// ---------------------------------------------------------------------------------------------
// Process-wide settings

namespace {

ITimerPoster* GPoster = nullptr;
ITimerClock* GClock = nullptr;
// Timers with a clock event, so a poster that goes away can stop the ones posting into it.
// Never destroyed, like the steady clock: posters and timers may outlive static destruction.
std::vector<TQuickCustomTimer*>& RunningTimers() {
  static auto* const List = new std::vector<TQuickCustomTimer*>;
  return *List;
}

ITimerClock& SteadyClock() {
  // Never destroyed: a timer stopped during static destruction must still find its clock.
  static TSteadyTimerClock* const Clock = new TSteadyTimerClock;
  return *Clock;
}

} // namespace

void SetTimerPoster(ITimerPoster* Poster) {
  GPoster = Poster;
}
ITimerPoster* TimerPoster() {
  return GPoster;
}
void SetTimerClock(ITimerClock* Clock) {
  GClock = Clock;
}
ITimerClock& TimerClock() {
  return GClock ? *GClock : SteadyClock();
}

void DetachTimerPoster(ITimerPoster* Poster) {
  const std::vector<TQuickCustomTimer*> Started = RunningTimers();
  for (TQuickCustomTimer* Timer : Started)
    if (Timer->FPoster == Poster)
      Timer->Stop();
  if (GPoster == Poster)
    GPoster = nullptr;
}

// ---------------------------------------------------------------------------------------------
// TQuickCustomTimer

TQuickCustomTimer::~TQuickCustomTimer() {
  Stop();
  *FAlive = false;
}

void TQuickCustomTimer::SetInterval(int32_t Value) {
  if (Value == FInterval)
    return;
  Stop();
  FInterval = Value;
  if (FEnabled)
    Start();
}

void TQuickCustomTimer::SetEnabled(bool Value) {
  if (Value == FEnabled)
    return;
  if (Value) {
    FPending.store(false, std::memory_order_release);
    FEnabled = Start();
  } else {
    Stop();
    FEnabled = false;
  }
}

bool TQuickCustomTimer::Start() {
  Stop();
  ++FStarts;
  FPoster = TimerPoster();
  if (!FPoster)
    return false;
  FClock = &TimerClock();
  FOverflowCount.store(0, std::memory_order_relaxed);
  FTimerID = FClock->SetEvent(FInterval, FResolution, FNoOverflow ? OverflowTick : PlainTick, this);
  if (FTimerID != 0)
    RunningTimers().push_back(this);
  return FTimerID != 0;
}

void TQuickCustomTimer::Stop() {
  if (FTimerID == 0)
    return;
  // Kill first: once the clock event is gone nothing can post behind the purge.
  FClock->KillEvent(FTimerID);
  FTimerID = 0;
  RunningTimers().erase(std::remove(RunningTimers().begin(), RunningTimers().end(), this),
                        RunningTimers().end());
  FPoster->Purge(this);
  FPending.store(false, std::memory_order_release);
  FOverflowCount.store(0, std::memory_order_relaxed);
  FMissed.store(0, std::memory_order_relaxed);
}

void TQuickCustomTimer::DeliverTick() {
  // Pending is cleared after the handler, also when it throws, so a failing handler does not
  // leave a NoOverflow timer counting ticks forever. A handler that restarted the timer (a new
  // interval, say) leaves Pending to the new run, whose first tick may already be queued.
  struct TIdleAgain {
    TQuickCustomTimer& Timer;
    std::shared_ptr<bool> Alive;
    uint64_t Starts;
    ~TIdleAgain() {
      if (*Alive && Timer.FStarts == Starts)
        Timer.FPending.store(false, std::memory_order_release);
    }
  } IdleAgain{*this, FAlive, FStarts};
  Timer();
}

void TQuickCustomTimer::Timer() {
  if (FOnTimer)
    FOnTimer(*this);
}

void TQuickCustomTimer::PlainTick(void* User) {
  auto* Self = static_cast<TQuickCustomTimer*>(User);
  Self->FPoster->Post(Self);
}

void TQuickCustomTimer::OverflowTick(void* User) {
  auto* Self = static_cast<TQuickCustomTimer*>(User);
  // Acquire pairs with the release in DeliverTick: the handler's reading of Missed is over
  // before Missed is written again here.
  if (Self->FPending.load(std::memory_order_acquire)) {
    Self->FOverflowCount.store(Self->FOverflowCount.load(std::memory_order_relaxed) + 1,
                               std::memory_order_relaxed);
    return;
  }
  Self->FPending.store(true, std::memory_order_relaxed);
  Self->FMissed.store(Self->FOverflowCount.load(std::memory_order_relaxed),
                      std::memory_order_relaxed);
  Self->FOverflowCount.store(0, std::memory_order_relaxed);
  // A tick that could not be posted would otherwise keep the timer silent until stopped.
  if (!Self->FPoster->Post(Self))
    Self->FPending.store(false, std::memory_order_relaxed);
}

// ---------------------------------------------------------------------------------------------
// TQuickSharedTimer

TQuickSharedTimer::~TQuickSharedTimer() {
  Stop();
}

bool TQuickSharedTimer::AddClient(TClientProc Proc, void* Control) {
  for (const TClient& Client : FClients)
    if (Client.Proc == Proc && Client.Control == Control)
      return true;
  FClients.push_back(TClient{Proc, Control});
  SetEnabled(true);
  if (!Enabled())
    FClients.clear();
  return Enabled();
}

void TQuickSharedTimer::RemoveAt(std::size_t Index) {
  FClients[Index] = FClients.back();
  FClients.pop_back();
  if (FClients.empty())
    SetEnabled(false);
}

void TQuickSharedTimer::RemoveClient(TClientProc Proc, void* Control) {
  for (std::size_t I = 0; I < FClients.size(); ++I)
    if (FClients[I].Proc == Proc && FClients[I].Control == Control) {
      RemoveAt(I);
      return;
    }
}

void TQuickSharedTimer::RemoveControl(const void* Control) {
  for (std::size_t I = 0; I < FClients.size(); ++I)
    if (FClients[I].Control == Control) {
      RemoveAt(I);
      return;
    }
}

void TQuickSharedTimer::CallClients() {
  // From the last entry to the first, over the entries present when the pass began: a removal
  // fills the freed slot from the end, which has been called already.
  for (std::size_t I = FClients.size(); I > 0;) {
    --I;
    if (I >= FClients.size()) {
      // Clients removed several entries at once: go on from the new end.
      I = FClients.size();
      continue;
    }
    const TClient Client = FClients[I];
    Client.Proc(Client.Control);
  }
}
