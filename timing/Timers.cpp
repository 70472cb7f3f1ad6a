#include "Timers.h"

#include <algorithm>
#include <functional>
#include <system_error>
#include <thread>

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

// ---------------------------------------------------------------------------------------------
// TManualTimerClock

uint32_t TManualTimerClock::SetEvent(int32_t Interval, int32_t Resolution, TCallback Callback,
                                     void* User) {
  if (Interval < 1 || !Callback)
    return 0;
  ++FSetEventCount;
  uint32_t Id;
  do
    Id = ++FLastId;
  while (Id == 0 || FEvents.count(Id) != 0);
  FEvents.emplace(Id, TEvent{Interval, Resolution, Callback, User, FNow + Interval});
  return Id;
}

void TManualTimerClock::KillEvent(uint32_t Id) {
  FEvents.erase(Id);
}

int32_t TManualTimerClock::Resolution(uint32_t Id) const {
  auto It = FEvents.find(Id);
  return It == FEvents.end() ? -1 : It->second.Resolution;
}

void TManualTimerClock::Advance(int64_t Milliseconds) {
  const int64_t Target = FNow + std::max<int64_t>(Milliseconds, 0);
  for (;;) {
    // The earliest due event; equal deadlines fire in the order the events were set.
    auto Due = FEvents.end();
    for (auto It = FEvents.begin(); It != FEvents.end(); ++It)
      if (It->second.Due <= Target && (Due == FEvents.end() || It->second.Due < Due->second.Due))
        Due = It;
    if (Due == FEvents.end())
      break;
    FNow = std::max(FNow, Due->second.Due);
    Due->second.Due += Due->second.Interval;
    const TCallback Callback = Due->second.Callback;
    void* const User = Due->second.User;
    Callback(User);
  }
  FNow = std::max(FNow, Target);
}

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

// ---------------------------------------------------------------------------------------------
// Process-wide clocks

namespace {

int32_t GAnimationInterval = DefaultAnimationInterval;
// Freed by FreeAnimationClock, not by static destruction: the poster may be gone by then.
TQuickSharedTimer* GAnimationClock = nullptr;

} // namespace

bool AddAnimationClient(bool CallNow, TQuickSharedTimer::TClientProc Proc, void* Control) {
  if (!GAnimationClock) {
    GAnimationClock = new TQuickSharedTimer;
    GAnimationClock->SetInterval(GAnimationInterval);
    GAnimationClock->SetNoOverflow(true);
  }
  if (CallNow)
    Proc(Control);
  return GAnimationClock->AddClient(Proc, Control);
}

void RemoveAnimationClient(TQuickSharedTimer::TClientProc Proc, void* Control) {
  if (GAnimationClock)
    GAnimationClock->RemoveClient(Proc, Control);
}

void RemoveAnimationControl(const void* Control) {
  if (GAnimationClock)
    GAnimationClock->RemoveControl(Control);
}

void SetAnimationInterval(int32_t Milliseconds) {
  GAnimationInterval = Milliseconds;
  if (GAnimationClock)
    GAnimationClock->SetInterval(Milliseconds);
}

int32_t AnimationInterval() {
  return GAnimationInterval;
}
TQuickSharedTimer* AnimationClock() {
  return GAnimationClock;
}

void FreeAnimationClock() {
  delete GAnimationClock;
  GAnimationClock = nullptr;
}
