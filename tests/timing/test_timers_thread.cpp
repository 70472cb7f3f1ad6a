// Timers on the real steady-clock threads. These check the hand-over between the timer
// threads and the consuming thread (run them under ThreadSanitizer) and counts that hold on
// any machine; they assert nothing about speed.
#include "AnimationClock.h"
#include "Timers.h"

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

// Passes the steady clock's ticks through and counts them, until closed.
class TCountingClock final : public ITimerClock {
public:
  uint32_t SetEvent(int32_t Interval, int32_t Resolution, TCallback Callback, void* User) override {
    auto Slot = std::make_unique<TSlot>(TSlot{this, Callback, User});
    const uint32_t Id = FInner.SetEvent(Interval, Resolution, &Forward, Slot.get());
    if (Id != 0)
      FSlots[Id] = std::move(Slot);
    return Id;
  }
  void KillEvent(uint32_t Id) override {
    FInner.KillEvent(Id);
    FSlots.erase(Id);
  }
  // From now on ticks are swallowed here; a tick already on its way is finished first.
  void Close() {
    std::lock_guard<std::mutex> Guard(FLock);
    FOpen = false;
  }
  int64_t Forwarded() {
    std::lock_guard<std::mutex> Guard(FLock);
    return FForwarded;
  }

private:
  struct TSlot {
    TCountingClock* Owner;
    TCallback Callback;
    void* User;
  };
  static void Forward(void* User) {
    auto* Slot = static_cast<TSlot*>(User);
    std::lock_guard<std::mutex> Guard(Slot->Owner->FLock);
    if (!Slot->Owner->FOpen)
      return;
    ++Slot->Owner->FForwarded;
    Slot->Callback(Slot->User);
  }

  std::mutex FLock;
  bool FOpen = true;
  int64_t FForwarded = 0;
  std::map<uint32_t, std::unique_ptr<TSlot>> FSlots;
  TSteadyTimerClock FInner; // last: its threads end before the slots they use
};

class ThreadTimerTest : public ::testing::Test {
protected:
  void SetUp() override {
    SetTimerClock(&Clock);
    SetTimerPoster(&Queue);
  }
  void TearDown() override {
    FreeAnimationClock();
    SetAnimationInterval(DefaultAnimationInterval);
    DetachTimerPoster(&Queue);
    SetTimerClock(nullptr);
  }
  TCountingClock Clock;
  TTimerQueue Queue;
};

struct TSlowHandler {
  TTimerQueue* Queue;
  std::chrono::milliseconds Busy;
  int64_t Steps = 0;
  int Handled = 0;
  std::size_t MaxQueued = 0;
  void Tick(TQuickCustomTimer& Sender) {
    ++Handled;
    Steps += Sender.Missed() + 1;
    std::this_thread::sleep_for(Busy);
    MaxQueued = std::max(MaxQueued, Queue->Count(&Sender));
  }
};

TEST_F(ThreadTimerTest, SlowHandlerCountsEveryTickOnce) {
  TQuickTimer T;
  TSlowHandler H{&Queue, 7ms};
  T.SetInterval(2);
  T.SetNoOverflow(true);
  T.SetOnTimer(MakeTimerEvent<&TSlowHandler::Tick>(&H));
  const auto Begin = std::chrono::steady_clock::now();
  T.SetEnabled(true);
  while (H.Handled < 25 && Queue.WaitAndDeliver(10s)) {
  }
  ASSERT_EQ(H.Handled, 25) << "the timer kept delivering";

  // Stop the ticks at the source, then hand over what is still on its way.
  Clock.Close();
  const auto Elapsed = std::chrono::steady_clock::now() - Begin;
  while (Queue.DeliverOne()) {
  }
  EXPECT_EQ(H.Steps + T.OverflowCount(), Clock.Forwarded());
  EXPECT_GT(H.Steps, H.Handled) << "a handler slower than the period made the timer swallow ticks";
  EXPECT_EQ(H.MaxQueued, 0u);
  // Absolute deadlines: never more ticks than periods have passed.
  EXPECT_LE(Clock.Forwarded(), Elapsed / 2ms + 1);
  T.SetEnabled(false);
  EXPECT_EQ(T.Missed(), 0);
  EXPECT_EQ(T.OverflowCount(), 0);
}

// Several plain timers post at once while the consumer stops and restarts some of them: no
// tick of a stopped timer is ever delivered, and the others go on.
struct TChecked {
  TQuickTimer Timer;
  int Handled = 0;
  bool StrayTick = false;
  void Tick(TQuickCustomTimer& Sender) {
    ++Handled;
    if (!Sender.Enabled())
      StrayTick = true;
  }
};

TEST_F(ThreadTimerTest, StoppingWhileOtherTimersPostDropsOnlyItsOwnTicks) {
  constexpr int Count = 3;
  TChecked Timers[Count];
  for (int I = 0; I < Count; ++I) {
    Timers[I].Timer.SetInterval(1 + I);
    Timers[I].Timer.SetNoOverflow(I == 2);
    Timers[I].Timer.SetOnTimer(MakeTimerEvent<&TChecked::Tick>(&Timers[I]));
    Timers[I].Timer.SetEnabled(true);
  }
  for (int Round = 0; Round < 60; ++Round) {
    Queue.WaitAndDeliver(50ms);
    TQuickTimer& Victim = Timers[Round % Count].Timer;
    Victim.SetEnabled(false);
    EXPECT_EQ(Queue.Count(&Victim), 0u);
    std::this_thread::sleep_for(1ms);
    Queue.DeliverOne();
    Victim.SetInterval(1 + Round % 4);
    Victim.SetEnabled(true);
  }
  for (TChecked& Checked : Timers) {
    Checked.Timer.SetEnabled(false);
    EXPECT_FALSE(Checked.StrayTick);
  }
  EXPECT_EQ(Queue.Count(), 0u);
  int Handled = 0;
  for (const TChecked& Checked : Timers)
    Handled += Checked.Handled;
  EXPECT_GT(Handled, 0);
}

TEST_F(ThreadTimerTest, AnimationClockCallsItsClientsOnTheConsumingThread) {
  struct TClient {
    std::thread::id Consumer;
    int Calls = 0;
    bool WrongThread = false;
    void Step() {
      ++Calls;
      if (std::this_thread::get_id() != Consumer)
        WrongThread = true;
      if (Calls == 5)
        RemoveAnimationControl(this);
    }
  } Client{std::this_thread::get_id()};
  SetAnimationInterval(2);
  ASSERT_TRUE(AddAnimationClient(false, ClientMethod<&TClient::Step>, &Client));
  while (Client.Calls < 5 && Queue.WaitAndDeliver(10s)) {
  }
  EXPECT_EQ(Client.Calls, 5);
  EXPECT_FALSE(Client.WrongThread);
  EXPECT_FALSE(AnimationClock()->Enabled()) << "removing the last client stopped the clock";
}

} // namespace
