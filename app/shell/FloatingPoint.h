#pragma once
// The floating-point environment of the GUI thread: every exception masked
// (divisions by zero and overflows give infinities and NaNs, never faults),
// round to nearest with halves to even, denormals flushed to zero.

// On x86 the SSE control register MXCSR holds this value afterwards.
inline constexpr unsigned SseControlWord = 0x9F80;

void SetFloatingPointMode();
