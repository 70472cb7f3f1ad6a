#pragma once
// Growable lists of references on one slot array. Slots beyond Count hold
// nothing of use.
#include <cstdint>
#include <memory>

class TCustomQuickList {
public:
  void** Items = nullptr; // the slot array, Capacity entries
  int32_t Count = 0;
  int32_t Capacity = 0;
  const bool Ordered; // a deletion keeps the order of the rest

  explicit TCustomQuickList(bool ordered) : Ordered(ordered) {}
  virtual ~TCustomQuickList();
  TCustomQuickList(const TCustomQuickList&) = delete;
  TCustomQuickList& operator=(const TCustomQuickList&) = delete;

  virtual void SetCapacity(int32_t n) = 0;
  virtual void SetCount(int32_t n) = 0;
  // Removes entry i (0 <= i < Count; other indices are ignored).
  virtual void Delete(int32_t i) = 0;

  // Removes the last entry and returns it; nullptr when the list is empty.
  void* Pop();
  // Count 0 and every slot released.
  void Clear();
  // Count 0; the capacity stays.
  void Reset() { SetCount(0); }

protected:
  // Capacity after one growth step: + 16 up to 64 entries, then + a quarter.
  int32_t GrownCapacity() const;
  // Reallocates the slot array to n entries; new slots are null.
  void ResizeSlots(int32_t n);
};

// A plain list of references; it owns none of them.
class TQuickList : public TCustomQuickList {
public:
  explicit TQuickList(bool ordered, int32_t capacity = 0);
  ~TQuickList() override;

  void SetCapacity(int32_t n) override;
  void SetCount(int32_t n) override;
  void Delete(int32_t i) override;
  void Add(void* p);

  void* operator[](int32_t i) const { return Items[i]; }

protected:
  // Called for every entry that leaves the list other than by Pop.
  virtual void Release(void*) {}
};

// A TQuickList that owns its records: an entry removed by Delete, by a smaller
// count or capacity, by Clear or with the list is destroyed at once.
template <class T> class TOwnedQuickList : public TQuickList {
public:
  explicit TOwnedQuickList(bool ordered, int32_t capacity = 0) : TQuickList(ordered, capacity) {}
  ~TOwnedQuickList() override { Clear(); }

  T* operator[](int32_t i) const { return static_cast<T*>(Items[i]); }
  void Add(std::unique_ptr<T> p) { TQuickList::Add(p.release()); }
  // Hands the last record to the caller.
  std::unique_ptr<T> Pop() { return std::unique_ptr<T>(static_cast<T*>(TCustomQuickList::Pop())); }

protected:
  void Release(void* p) override { delete static_cast<T*>(p); }
};
