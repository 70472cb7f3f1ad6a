#pragma once

// The process-wide repeat clock that auto-repeating controls share: one handler
// at a time, so starting it for one control takes it away from any other.
// By default it is a Qt timer on the GUI thread; another clock (a test's, or the
// application's own timer) can be installed in its place.

#include <functional>

class IRepeatClock {
public:
  virtual ~IRepeatClock() = default;
  // Calls Handler every Interval milliseconds on behalf of Owner.
  virtual void StartRepeat(int Interval, std::function<void()> Handler, const void* Owner) = 0;
  // Changes the period of the running repeat; the next tick comes one new period later.
  virtual void SetInterval(int Interval) = 0;
  // Stops the repeat, but only when Owner is the one it runs for.
  virtual void StopRepeat(const void* Owner) = 0;
};

// The installed clock (the Qt one unless another was installed).
IRepeatClock& RepeatClock();
// Installs Clock; nullptr brings the Qt clock back. The caller keeps ownership.
void SetRepeatClock(IRepeatClock* Clock);

// Repeat steps of the arrow buttons: the first after this delay, then faster.
constexpr int RepeatFirstDelay = 250;
constexpr int RepeatNextDelay = 50;
