// Timer logic on a hand-driven clock and queue: ticks fire only when the test advances the
// clock, and handlers run only when the test delivers a queued tick. A handler "takes" time
// by advancing the clock itself, during which further ticks fire.
#include "AnimationClock.h"
#include "Timers.h"
#include "timing/ManualTimerClock.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <numeric>
#include <stdexcept>
#include <vector>

namespace {

class TimerTest : public ::testing::Test {
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
  // Advances the clock one millisecond at a time, delivering every queued tick as it comes.
  void Run(int64_t Milliseconds) {
    for (int64_t I = 0; I < Milliseconds; ++I) {
      Clock.Advance(1);
      while (Queue.DeliverOne()) {
      }
    }
  }

  TManualTimerClock Clock;
  TTimerQueue Queue;
};

// Records every handled tick; a handler busy for Busy milliseconds advances the clock.
struct TRecorder {
  TManualTimerClock* Clock = nullptr;
  TTimerQueue* Queue = nullptr;
  int64_t Busy = 0;
  std::vector<int32_t> Missed{};
  std::vector<int64_t> At{};
  std::size_t MaxQueued = 0; // ticks of this timer queued behind the one being handled

  void Tick(TQuickCustomTimer& Sender) {
    Missed.push_back(Sender.Missed());
    At.push_back(Clock->Now());
    if (Busy > 0)
      Clock->Advance(Busy);
    if (Queue)
      MaxQueued = std::max(MaxQueued, Queue->Count(&Sender));
  }
  int64_t Steps() const { // what a frame cycle would advance: Missed + 1 per handled tick
    return std::accumulate(Missed.begin(), Missed.end(), int64_t(0),
                           [](int64_t S, int32_t M) { return S + M + 1; });
  }
};

TTimerEvent Recording(TRecorder& R) {
  return MakeTimerEvent<&TRecorder::Tick>(&R);
}

TEST_F(TimerTest, CreatedStoppedWithDefaultsAndSettingsTakeEffectAtStart) {
  TQuickTimer T;
  EXPECT_EQ(T.Interval(), 100);
  EXPECT_EQ(T.Resolution(), 25);
  EXPECT_FALSE(T.Enabled());
  EXPECT_FALSE(T.NoOverflow());
  EXPECT_EQ(T.Missed(), 0);
  EXPECT_EQ(T.TimerID(), 0u);

  T.SetResolution(5);
  EXPECT_EQ(Clock.Running(), 0u) << "plain stores start nothing";
  T.SetEnabled(true);
  ASSERT_NE(T.TimerID(), 0u);
  EXPECT_EQ(Clock.Resolution(T.TimerID()), 5);
  T.SetEnabled(false);
  EXPECT_EQ(T.TimerID(), 0u);
  EXPECT_EQ(Clock.Running(), 0u);
}

// A handler taking 3.5 intervals: every fourth tick is handled, reporting the three swallowed.
TEST_F(TimerTest, SlowHandlerWithNoOverflowRunsEveryFourthTickWithMissedThree) {
  TQuickTimer T;
  TRecorder R{&Clock, &Queue, 35};
  T.SetInterval(10);
  T.SetNoOverflow(true);
  T.SetOnTimer(Recording(R));
  T.SetEnabled(true);
  Run(400);

  ASSERT_GE(R.Missed.size(), 9u);
  EXPECT_EQ(R.Missed[0], 0);
  for (std::size_t I = 1; I < R.Missed.size(); ++I) {
    EXPECT_EQ(R.Missed[I], 3) << "handled tick " << I;
    EXPECT_EQ(R.At[I] - R.At[I - 1], 40) << "handled tick " << I;
  }
  EXPECT_EQ(R.At[0], 10);
  EXPECT_EQ(R.MaxQueued, 0u) << "nothing queues behind a pending tick";
  EXPECT_EQ(T.Missed(), 3) << "reading Missed does not reset it";
}

// Every tick is counted exactly once: handled, or in the Missed of a later handled tick, or
// still in the overflow count. Plain timers queue every tick instead and report Missed 0.
TEST_F(TimerTest, EveryTickIsCountedOnceForAnyHandlerDuration) {
  for (bool NoOverflow : {true, false})
    for (int64_t Busy : {0, 3, 7, 10, 11, 35, 47, 100}) {
      SCOPED_TRACE(testing::Message() << "NoOverflow " << NoOverflow << ", busy " << Busy);
      TManualTimerClock LocalClock;
      SetTimerClock(&LocalClock);
      TQuickTimer T;
      TRecorder R{&LocalClock, &Queue, Busy};
      T.SetInterval(7);
      T.SetNoOverflow(NoOverflow);
      T.SetOnTimer(Recording(R));
      T.SetEnabled(true);
      for (int I = 0; I < 500 && R.Missed.size() < 40; ++I) {
        LocalClock.Advance(1);
        // Plain timers with a slow handler: deliver one tick per millisecond, so a backlog builds.
        Queue.DeliverOne();
      }
      const int64_t Ticks = LocalClock.Now() / 7;
      if (NoOverflow) {
        // A queued tick carries the ticks swallowed before it in Missed.
        const int64_t Queued = Queue.Count(&T) ? T.Missed() + 1 : 0;
        EXPECT_EQ(R.Steps() + Queued + T.OverflowCount(), Ticks);
        EXPECT_LE(Queue.Count(&T), 1u);
        EXPECT_EQ(R.MaxQueued, 0u);
      } else {
        EXPECT_EQ(int64_t(R.Missed.size() + Queue.Count(&T)), Ticks);
        EXPECT_EQ(R.Steps(), int64_t(R.Missed.size())) << "plain ticks report Missed 0";
        if (Busy > 7) {
          EXPECT_GT(R.MaxQueued, 1u) << "a slow plain handler builds a backlog";
        }
      }
      T.SetEnabled(false);
      EXPECT_EQ(Queue.Count(), 0u);
      SetTimerClock(&Clock);
    }
}

TEST_F(TimerTest, StopDropsOnlyThisTimersQueuedTicks) {
  TQuickTimer A, B;
  TRecorder RA{&Clock}, RB{&Clock};
  A.SetInterval(10);
  B.SetInterval(15);
  A.SetOnTimer(Recording(RA));
  B.SetOnTimer(Recording(RB));
  A.SetEnabled(true);
  B.SetEnabled(true);
  Clock.Advance(30); // queue: A10 B15 A20 A30 B30
  ASSERT_EQ(Queue.Count(), 5u);

  A.SetEnabled(false);
  EXPECT_EQ(Queue.Count(&A), 0u);
  EXPECT_EQ(Queue.Count(&B), 2u);
  while (Queue.DeliverOne()) {
  }
  EXPECT_TRUE(RA.Missed.empty()) << "the handler never runs after Enabled became false";
  EXPECT_EQ(RB.At, (std::vector<int64_t>{30, 30}));

  // A Start on a running timer restarts it the same way.
  B.SetNoOverflow(true);
  Clock.Advance(15);
  ASSERT_EQ(Queue.Count(&B), 1u);
  EXPECT_TRUE(B.Start());
  EXPECT_EQ(Queue.Count(&B), 0u);
  EXPECT_FALSE(B.Pending());
  Run(15);
  EXPECT_EQ(RB.Missed.size(), 3u);
}

TEST_F(TimerTest, SetIntervalRestartsARunningTimerAndResetsItsCounters) {
  TQuickTimer T;
  TRecorder R{&Clock, &Queue, 35};
  T.SetInterval(10);
  T.SetNoOverflow(true);
  T.SetOnTimer(Recording(R));
  T.SetEnabled(true);
  Clock.Advance(10);
  ASSERT_TRUE(Queue.DeliverOne()); // busy until 45: ticks 20, 30, 40 swallowed
  Clock.Advance(5);
  ASSERT_TRUE(Queue.DeliverOne()); // the tick at 50, busy until 85
  ASSERT_EQ(T.Missed(), 3);
  R.Busy = 0;
  Clock.Advance(15); // 90 is queued, 100 swallowed
  ASSERT_EQ(Queue.Count(&T), 1u);
  ASSERT_EQ(T.OverflowCount(), 1);
  const uint32_t Id = T.TimerID();
  const int Sets = Clock.SetEventCount();

  T.SetInterval(10);
  EXPECT_EQ(T.TimerID(), Id) << "the same interval does not restart";
  EXPECT_EQ(Clock.SetEventCount(), Sets);
  EXPECT_EQ(Queue.Count(&T), 1u);
  EXPECT_EQ(T.Missed(), 3);

  const int64_t Restart = Clock.Now();
  T.SetInterval(20);
  EXPECT_EQ(Clock.SetEventCount(), Sets + 1);
  EXPECT_EQ(Queue.Count(&T), 0u) << "the queued tick of the old period is dropped";
  EXPECT_EQ(T.Missed(), 0);
  EXPECT_EQ(T.OverflowCount(), 0);
  EXPECT_FALSE(T.Pending());
  EXPECT_TRUE(T.Enabled());
  const std::size_t Before = R.At.size();
  Run(45);
  ASSERT_EQ(R.At.size(), Before + 2);
  EXPECT_EQ(R.At[Before], Restart + 20);
  EXPECT_EQ(R.At[Before + 1], Restart + 40);
  EXPECT_EQ(R.Missed[Before], 0);

  // On a stopped timer the new interval waits for the next start.
  T.SetEnabled(false);
  T.SetInterval(30);
  EXPECT_EQ(T.TimerID(), 0u);
  EXPECT_EQ(T.Missed(), 0);
}

TEST_F(TimerTest, EnablingTwiceStartsOneClockEvent) {
  TQuickTimer T;
  T.SetEnabled(true);
  T.SetEnabled(true);
  EXPECT_EQ(Clock.SetEventCount(), 1);
  EXPECT_EQ(Clock.Running(), 1u);
  T.SetEnabled(false);
  T.SetEnabled(false);
  EXPECT_EQ(Clock.Running(), 0u);
}

TEST_F(TimerTest, FailuresLeaveTheTimerStoppedAndQuiet) {
  TQuickTimer T;
  T.SetInterval(0); // no clock accepts a zero period
  T.SetEnabled(true);
  EXPECT_FALSE(T.Enabled());
  EXPECT_EQ(T.TimerID(), 0u);

  // No poster installed: nothing could deliver the ticks.
  SetTimerPoster(nullptr);
  T.SetInterval(10);
  T.SetEnabled(true);
  EXPECT_FALSE(T.Enabled());
  SetTimerPoster(&Queue);
  T.SetEnabled(true);
  EXPECT_TRUE(T.Enabled());

  // A restart that fails is not reported: Enabled stays, nothing ticks.
  T.SetInterval(-5);
  EXPECT_TRUE(T.Enabled());
  EXPECT_EQ(T.TimerID(), 0u);
  Clock.Advance(100);
  EXPECT_EQ(Queue.Count(), 0u);
  T.SetEnabled(false);
  T.SetInterval(10);
  T.SetEnabled(true);
  EXPECT_NE(T.TimerID(), 0u) << "disabling and enabling brings it back";
}

TEST_F(TimerTest, AFailingHandlerDoesNotSilenceTheTimer) {
  TQuickTimer T;
  int Calls = 0;
  struct TThrower {
    int* Calls;
    void Tick() {
      ++*Calls;
      throw std::runtime_error("handler failed");
    }
  } Thrower{&Calls};
  T.SetInterval(10);
  T.SetNoOverflow(true);
  T.SetOnTimer(MakeTimerEvent<&TThrower::Tick>(&Thrower));
  T.SetEnabled(true);
  for (int I = 1; I <= 3; ++I) {
    Clock.Advance(10);
    ASSERT_EQ(Queue.Count(&T), 1u) << "tick " << I << " was posted";
    EXPECT_THROW(Queue.DeliverOne(), std::runtime_error);
    EXPECT_FALSE(T.Pending());
  }
  EXPECT_EQ(Calls, 3);
}

// A poster that loses its first ticks.
class TLossyQueue : public TTimerQueue {
public:
  int Lose = 0;
  bool Post(TQuickCustomTimer* Timer) override {
    if (Lose > 0) {
      --Lose;
      return false;
    }
    return TTimerQueue::Post(Timer);
  }
};

TEST_F(TimerTest, ALostTickDoesNotSilenceTheTimer) {
  TLossyQueue Lossy;
  Lossy.Lose = 2;
  SetTimerPoster(&Lossy);
  TQuickTimer T;
  TRecorder R{&Clock};
  T.SetInterval(10);
  T.SetNoOverflow(true);
  T.SetOnTimer(Recording(R));
  T.SetEnabled(true);
  Clock.Advance(30);
  EXPECT_EQ(Lossy.Count(&T), 1u) << "the third tick got through";
  EXPECT_TRUE(Lossy.DeliverOne());
  EXPECT_EQ(R.At, std::vector<int64_t>{30});
  DetachTimerPoster(&Lossy);
  EXPECT_EQ(T.TimerID(), 0u);
}

// The repeat step changes the interval inside its own handler; the new period's first tick
// may already be queued when the handler returns, and must still be the only one.
TEST_F(TimerTest, HandlerThatRestartsItsTimerKeepsAtMostOneTickQueued) {
  TQuickTimer T;
  struct TStep {
    TManualTimerClock* Clock;
    TTimerQueue* Queue;
    std::vector<int32_t> Missed{};
    std::size_t MaxQueued = 0;
    void Tick(TQuickCustomTimer& Sender) {
      Missed.push_back(Sender.Missed());
      Sender.SetInterval(50);
      Clock->Advance(120); // slow step: ticks at +50 and +100 of the new period
      MaxQueued = std::max(MaxQueued, Queue->Count(&Sender));
    }
  } Step{&Clock, &Queue};
  T.SetInterval(250);
  T.SetNoOverflow(true);
  T.SetOnTimer(MakeTimerEvent<&TStep::Tick>(&Step));
  T.SetEnabled(true);
  Clock.Advance(250);
  ASSERT_TRUE(Queue.DeliverOne());
  EXPECT_EQ(Queue.Count(&T), 1u);
  EXPECT_TRUE(T.Pending()) << "the queued tick of the new period is still pending";
  Clock.Advance(40); // tick at +150 overflows instead of queueing a second message
  EXPECT_EQ(Queue.Count(&T), 1u);
  ASSERT_TRUE(Queue.DeliverOne()); // the interval is 50 already: no restart this time
  EXPECT_EQ(T.OverflowCount(), 4) << "ticks at 350 and 400, then 450 and 500 during the handler";
  Clock.Advance(30);
  ASSERT_TRUE(Queue.DeliverOne());
  EXPECT_EQ(Step.Missed, (std::vector<int32_t>{0, 0, 4}));
  EXPECT_LE(Step.MaxQueued, 1u);
}

TEST_F(TimerTest, HandlerMayDestroyItsOwnTimer) {
  struct TOwner {
    std::unique_ptr<TQuickTimer> Timer = std::make_unique<TQuickTimer>();
    int Calls = 0;
    void Tick() {
      ++Calls;
      Timer.reset();
    }
  } Owner;
  Owner.Timer->SetInterval(10);
  Owner.Timer->SetNoOverflow(true);
  Owner.Timer->SetOnTimer(MakeTimerEvent<&TOwner::Tick>(&Owner));
  Owner.Timer->SetEnabled(true);
  Clock.Advance(10);
  EXPECT_TRUE(Queue.DeliverOne());
  EXPECT_EQ(Owner.Calls, 1);
  EXPECT_EQ(Clock.Running(), 0u);
  Clock.Advance(50);
  EXPECT_EQ(Queue.Count(), 0u);
}

TEST_F(TimerTest, DestroyingARunningTimerDropsItsQueuedTick) {
  TQuickTimer Other;
  Other.SetInterval(10);
  Other.SetEnabled(true);
  {
    TQuickTimer T;
    T.SetInterval(10);
    T.SetEnabled(true);
    Clock.Advance(10);
    EXPECT_EQ(Queue.Count(), 2u);
  }
  EXPECT_EQ(Queue.Count(), 1u);
  EXPECT_EQ(Clock.Running(), 1u);
}

// ---------------------------------------------------------------------------------------------
// Shared timer

struct TClientLog {
  std::vector<int> Calls;
};

struct TClient {
  TClientLog* Log = nullptr;
  int Id = 0;
  std::function<void()> Then{}; // what the client does after logging its call
  void Step() {
    Log->Calls.push_back(Id);
    if (Then)
      Then();
  }
};

constexpr TQuickSharedTimer::TClientProc StepProc = ClientMethod<&TClient::Step>;
void OtherProc(void* Control) {
  auto* Client = static_cast<TClient*>(Control);
  Client->Log->Calls.push_back(-Client->Id);
}

TEST_F(TimerTest, SharedTimerRunsWhileItHasClients) {
  TQuickSharedTimer S;
  TClientLog Log;
  TClient C1{&Log, 1}, C2{&Log, 2}, C3{&Log, 3};
  S.SetInterval(10);
  EXPECT_TRUE(S.AddClient(StepProc, &C1));
  EXPECT_TRUE(S.Enabled());
  const int Sets = Clock.SetEventCount();
  EXPECT_TRUE(S.AddClient(StepProc, &C1)) << "already listed";
  EXPECT_EQ(S.ClientCount(), 1u);
  EXPECT_TRUE(S.AddClient(StepProc, &C2));
  EXPECT_TRUE(S.AddClient(OtherProc, &C2))
      << "another procedure for the same control is another client";
  EXPECT_TRUE(S.AddClient(StepProc, &C3));
  EXPECT_EQ(Clock.SetEventCount(), Sets);
  Run(10);
  EXPECT_EQ(Log.Calls, (std::vector<int>{3, -2, 2, 1})) << "from the last client to the first";

  S.RemoveControl(&C2);           // the first entry of C2, whatever its procedure
  S.RemoveClient(OtherProc, &C1); // not listed: nothing
  EXPECT_EQ(S.ClientCount(), 3u);
  Log.Calls.clear();
  Run(10);
  EXPECT_EQ(Log.Calls, (std::vector<int>{-2, 3, 1})) << "the last entry took the freed slot";

  S.RemoveClient(StepProc, &C1);
  S.RemoveClient(StepProc, &C3);
  EXPECT_TRUE(S.Enabled());
  S.RemoveClient(OtherProc, &C2);
  EXPECT_FALSE(S.Enabled());
  EXPECT_EQ(S.TimerID(), 0u);
  Log.Calls.clear();
  Run(30);
  EXPECT_TRUE(Log.Calls.empty());
}

TEST_F(TimerTest, SharedTimerThatCannotStartForgetsItsClients) {
  TQuickSharedTimer S;
  TClientLog Log;
  TClient C{&Log, 1};
  S.SetInterval(0);
  EXPECT_FALSE(S.AddClient(StepProc, &C));
  EXPECT_EQ(S.ClientCount(), 0u);
}

TEST_F(TimerTest, ClientsChangingTheListDuringThePass) {
  TQuickSharedTimer S;
  TClientLog Log;
  TClient C[5];
  for (int I = 0; I < 5; ++I)
    C[I] = TClient{&Log, I};
  TClient Late{&Log, 99};
  S.SetInterval(10);
  for (TClient& Client : C)
    ASSERT_TRUE(S.AddClient(StepProc, &Client));

  // Client 2 removes itself and adds a new one; client 0 removes itself.
  C[2].Then = [&] {
    S.RemoveClient(StepProc, &C[2]);
    S.AddClient(StepProc, &Late);
  };
  C[0].Then = [&] { S.RemoveControl(&C[0]); };
  S.CallClients();
  EXPECT_EQ(Log.Calls, (std::vector<int>{4, 3, 2, 1, 0}))
      << "none skipped or twice; the new one waits";
  EXPECT_EQ(S.ClientCount(), 4u);

  Log.Calls.clear();
  C[2].Then = nullptr;
  C[0].Then = nullptr;
  S.CallClients();
  std::vector<int> Sorted = Log.Calls;
  std::sort(Sorted.begin(), Sorted.end());
  EXPECT_EQ(Sorted, (std::vector<int>{1, 3, 4, 99}));

  // A client that empties the whole list ends the pass and stops the timer.
  Log.Calls.clear();
  C[3].Then = [&] {
    for (TClient* Client : {&C[1], &C[3], &C[4], &Late})
      S.RemoveClient(StepProc, Client);
  };
  S.CallClients();
  EXPECT_EQ(Log.Calls.size(), 1u);
  EXPECT_FALSE(S.Enabled());
}

// ---------------------------------------------------------------------------------------------
// Process-wide clocks

TEST_F(TimerTest, AnimationClockTicksEvery24MsWhileItHasClients) {
  TClientLog Log;
  TClient A{&Log, 1}, B{&Log, 2};
  EXPECT_EQ(AnimationClock(), nullptr);
  RemoveAnimationControl(&A); // no clock yet: nothing
  EXPECT_EQ(AnimationInterval(), 24);

  EXPECT_TRUE(AddAnimationClient(true, StepProc, &A));
  ASSERT_NE(AnimationClock(), nullptr);
  EXPECT_EQ(Log.Calls, std::vector<int>{1}) << "CallNow calls at once";
  EXPECT_TRUE(AnimationClock()->NoOverflow());
  EXPECT_EQ(AnimationClock()->Interval(), 24);
  EXPECT_TRUE(AddAnimationClient(false, StepProc, &B));
  Run(48);
  EXPECT_EQ(Log.Calls, (std::vector<int>{1, 2, 1, 2, 1}));

  SetAnimationInterval(10);
  EXPECT_EQ(AnimationClock()->Interval(), 10);
  RemoveAnimationClient(StepProc, &B);
  Log.Calls.clear();
  Run(30);
  EXPECT_EQ(Log.Calls, (std::vector<int>{1, 1, 1}));
  RemoveAnimationControl(&A);
  EXPECT_FALSE(AnimationClock()->Enabled());
  Run(30);
  EXPECT_EQ(Log.Calls.size(), 3u);

  // The interval set before the clock exists is the one it is created with.
  FreeAnimationClock();
  SetAnimationInterval(30);
  AddAnimationClient(false, StepProc, &A);
  EXPECT_EQ(AnimationClock()->Interval(), 30);
  SetAnimationInterval(DefaultAnimationInterval);
}

} // namespace
