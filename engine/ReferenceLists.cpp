#include "ReferenceLists.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

TCustomQuickList::~TCustomQuickList() {
  std::free(Items);
}

void* TCustomQuickList::Pop() {
  if (Count <= 0)
    return nullptr;
  --Count;
  return Items[Count];
}

void TCustomQuickList::Clear() {
  SetCount(0);
  SetCapacity(0);
}

int32_t TCustomQuickList::GrownCapacity() const {
  return Capacity <= 64 ? Capacity + 16 : Capacity + Capacity / 4;
}

void TCustomQuickList::ResizeSlots(int32_t n) {
  if (n <= 0) {
    std::free(Items);
    Items = nullptr;
    Capacity = 0;
    return;
  }
  void** p = static_cast<void**>(std::realloc(Items, sizeof(void*) * static_cast<size_t>(n)));
  if (!p)
    throw std::bad_alloc();
  Items = p;
  if (n > Capacity)
    std::memset(Items + Capacity, 0, sizeof(void*) * static_cast<size_t>(n - Capacity));
  Capacity = n;
}

// --- TQuickList ------------------------------------------------------------

TQuickList::TQuickList(bool ordered, int32_t capacity) : TCustomQuickList(ordered) {
  if (capacity > 0)
    ResizeSlots(capacity);
}

TQuickList::~TQuickList() {
  // Release is dispatched by the most derived destructor (TOwnedQuickList
  // clears itself); here only the slots go.
}

void TQuickList::SetCapacity(int32_t n) {
  n = std::max(n, 0);
  if (n == Capacity)
    return;
  // A capacity below the count would leave entries outside the array.
  if (n < Count)
    SetCount(n);
  ResizeSlots(n);
}

void TQuickList::SetCount(int32_t n) {
  n = std::max(n, 0);
  if (n > Capacity)
    SetCapacity(n);
  for (int32_t i = n; i < Count; ++i)
    Release(Items[i]);
  for (int32_t i = Count; i < n; ++i)
    Items[i] = nullptr;
  Count = n;
}

void TQuickList::Delete(int32_t i) {
  if (i < 0 || i >= Count)
    return;
  void* gone = Items[i];
  --Count;
  if (i < Count) {
    if (Ordered)
      std::memmove(Items + i, Items + i + 1, sizeof(void*) * static_cast<size_t>(Count - i));
    else
      Items[i] = Items[Count];
  }
  Release(gone);
}

void TQuickList::Add(void* p) {
  if (Count == Capacity)
    SetCapacity(GrownCapacity());
  Items[Count] = p;
  ++Count;
}
