#include "MemoryHelpers.h"

#include <cstring>

void MoveBytes(const void* src, void* dst, intptr_t n) {
  if (n > 0)
    std::memmove(dst, src, size_t(n));
}

void ZeroBytes(void* p, intptr_t n) {
  if (n > 0)
    std::memset(p, 0, size_t(n));
}
