#pragma once
// For the tests of timers and animations: a clock that stands still until
// the test moves it.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <map>

#include "TimerClocks.h"

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

inline uint32_t TManualTimerClock::SetEvent(int32_t Interval, int32_t Resolution,
                                            TCallback Callback, void* User) {
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

inline void TManualTimerClock::KillEvent(uint32_t Id) {
  FEvents.erase(Id);
}

inline int32_t TManualTimerClock::Resolution(uint32_t Id) const {
  auto It = FEvents.find(Id);
  return It == FEvents.end() ? -1 : It->second.Resolution;
}

inline void TManualTimerClock::Advance(int64_t Milliseconds) {
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
