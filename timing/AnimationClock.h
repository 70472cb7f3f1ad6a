#pragma once
// The animation clock: one shared timer that every fade and smoothing steps
// on (GUI thread).
#include <cstdint>

#include "Timers.h"

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
