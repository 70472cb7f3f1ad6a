#include "AnimationClock.h"

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
