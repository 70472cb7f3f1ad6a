#include "FloatingPoint.h"

#include <cfenv>

#if defined(__x86_64__) || defined(__i386__)
#include <xmmintrin.h>
#endif

void SetFloatingPointMode() {
#if defined(__x86_64__) || defined(__i386__)
  // x87: clear pending exceptions, then all masked, 64-bit precision, nearest.
  const unsigned short X87ControlWord = 0x033F;
  asm volatile("fnclex\n\tfldcw %0" : : "m"(X87ControlWord));
  _mm_setcsr(SseControlWord);
#else
  std::feclearexcept(FE_ALL_EXCEPT);
  std::fesetround(FE_TONEAREST);
#endif
}
