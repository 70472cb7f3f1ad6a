#pragma once
// Raw byte moves used by the lists and buffers.
#include <cstddef>
#include <cstdint>

// Copies n bytes from src to dst. Overlapping ranges are handled in either
// direction (a list deletion moves its tail down, an insertion moves it up).
// n <= 0 does nothing.
void MoveBytes(const void* src, void* dst, intptr_t n);
// Clears n bytes at p; n <= 0 does nothing.
void ZeroBytes(void* p, intptr_t n);
