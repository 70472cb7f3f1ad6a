#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "ReferenceLists.h"

namespace {

int Tag(int i) {
  return i;
}
void* P(int i) {
  return reinterpret_cast<void*>(static_cast<intptr_t>(Tag(i) + 1));
}

std::vector<void*> Entries(const TCustomQuickList& l) {
  return std::vector<void*>(l.Items, l.Items + l.Count);
}

} // namespace

TEST(QuickList, GrowsBySixteenUpTo64ThenByAQuarter) {
  TQuickList l(true);
  // Capacity after the add that found the list full.
  const std::vector<std::pair<int, int>> steps = {{1, 16},  {17, 32},  {33, 48},   {49, 64},
                                                  {65, 80}, {81, 100}, {101, 125}, {126, 156}};
  int added = 0;
  for (auto [count, capacity] : steps) {
    while (added < count)
      l.Add(P(added++));
    EXPECT_EQ(l.Capacity, capacity) << "after " << count << " adds";
  }
  for (int i = 0; i < l.Count; ++i)
    EXPECT_EQ(l[i], P(i));
}

TEST(QuickList, FullEmitterSizedListGrowsByAQuarter) {
  TQuickList l(true, 5000);
  EXPECT_EQ(l.Capacity, 5000);
  for (int i = 0; i < 5001; ++i)
    l.Add(P(i));
  EXPECT_EQ(l.Capacity, 6250);
}

TEST(QuickList, DeleteKeepsOrderOrMovesLastEntry) {
  struct Case {
    bool ordered;
    int index;
    std::vector<int> expected;
  };
  const Case cases[] = {
      {true, 1, {0, 2, 3, 4}},    {false, 1, {0, 4, 2, 3}},     {true, 0, {1, 2, 3, 4}},
      {false, 0, {4, 1, 2, 3}},   {true, 4, {0, 1, 2, 3}},      {false, 4, {0, 1, 2, 3}},
      {true, 5, {0, 1, 2, 3, 4}}, {false, -1, {0, 1, 2, 3, 4}}, // out of range: nothing
  };
  for (const Case& c : cases) {
    TQuickList l(c.ordered);
    for (int i = 0; i < 5; ++i)
      l.Add(P(i));
    l.Delete(c.index);
    std::vector<void*> expected;
    for (int v : c.expected)
      expected.push_back(P(v));
    EXPECT_EQ(Entries(l), expected) << "ordered " << c.ordered << " index " << c.index;
  }
}

TEST(QuickList, PopResetAndClear) {
  TQuickList l(true);
  for (int i = 0; i < 20; ++i)
    l.Add(P(i));
  EXPECT_EQ(l.Pop(), P(19));
  EXPECT_EQ(l.Count, 19);
  l.Reset();
  EXPECT_EQ(l.Count, 0);
  EXPECT_EQ(l.Capacity, 32);
  EXPECT_EQ(l.Pop(), nullptr);
  l.Add(P(7));
  l.Clear();
  EXPECT_EQ(l.Count, 0);
  EXPECT_EQ(l.Capacity, 0);
  EXPECT_EQ(l.Items, nullptr);
}

TEST(QuickList, CountAndCapacitySetting) {
  TQuickList l(true);
  l.SetCount(3); // grows the capacity to the count
  EXPECT_EQ(l.Count, 3);
  EXPECT_EQ(l.Capacity, 3);
  l.Add(P(1));
  EXPECT_EQ(l.Capacity, 19);
  l.SetCapacity(2); // never leaves entries outside the array
  EXPECT_EQ(l.Count, 2);
  EXPECT_EQ(l.Capacity, 2);
}

namespace {
struct Tracked {
  std::set<int>* alive;
  int id;
  Tracked(std::set<int>* a, int i) : alive(a), id(i) { alive->insert(id); }
  ~Tracked() { alive->erase(id); }
};
} // namespace

TEST(OwnedQuickList, RemovedRecordsAreDiscardedAtOnce) {
  std::set<int> alive;
  {
    TOwnedQuickList<Tracked> l(true, 4);
    for (int i = 0; i < 6; ++i)
      l.Add(std::make_unique<Tracked>(&alive, i));
    l.Delete(0);
    EXPECT_EQ(alive, (std::set<int>{1, 2, 3, 4, 5}));
    EXPECT_EQ(l[0]->id, 1);
    std::unique_ptr<Tracked> last = l.Pop();
    EXPECT_EQ(last->id, 5);
    last.reset();
    EXPECT_EQ(alive, (std::set<int>{1, 2, 3, 4}));
    l.SetCount(2);
    EXPECT_EQ(alive, (std::set<int>{1, 2}));
    const int capacity = l.Capacity;
    l.Reset();
    EXPECT_TRUE(alive.empty());
    EXPECT_EQ(l.Capacity, capacity);
    l.Add(std::make_unique<Tracked>(&alive, 9));
  }
  EXPECT_TRUE(alive.empty()); // the list takes its records with it
}
