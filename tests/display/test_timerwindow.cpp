// The Qt timer window: ticks from timer threads run on the GUI thread, and stopping a timer
// drops its posted ticks while other timers' ticks stay.
#include "TimerWindow.h"

#include "DisplayTestSupport.h"
#include "timing/ManualTimerClock.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include <stdexcept>
#include <vector>

namespace {

// Counts the tick events the window receives.
class TTickCounter : public QObject {
public:
  int Events = 0;
  bool eventFilter(QObject* Watched, QEvent* Event) override {
    if (Event->type() == TTimerWindow::TickEvent())
      ++Events;
    return QObject::eventFilter(Watched, Event);
  }
};

struct TRecorder {
  std::vector<int> Ticks{};
  int Id = 0;
  QThread* Thread = nullptr;
  bool WrongThread = false;
  QEventLoop* Loop = nullptr;
  int QuitAfter = 0;
  void Tick() {
    Ticks.push_back(Id);
    if (QThread::currentThread() != Thread)
      WrongThread = true;
    if (Loop && int(Ticks.size()) == QuitAfter)
      Loop->quit();
  }
};

class TimerWindowTest : public ::testing::Test {
protected:
  void SetUp() override {
    TestApp();
    Window = InstallTimerWindow();
  }
  void TearDown() override {
    FreeTimerWindow();
    SetTimerClock(nullptr);
  }
  TTimerWindow* Window = nullptr;
};

TEST_F(TimerWindowTest, TicksFromTheTimerThreadRunOnTheGuiThread) {
  EXPECT_EQ(TimerPoster(), Window);
  EXPECT_EQ(Window->objectName(), QStringLiteral("TTimerWindow"));
  QEventLoop Loop;
  TRecorder R;
  R.Thread = QThread::currentThread();
  R.Loop = &Loop;
  R.QuitAfter = 5;
  TQuickTimer T;
  T.SetInterval(5);
  T.SetNoOverflow(true);
  T.SetOnTimer(MakeTimerEvent<&TRecorder::Tick>(&R));
  T.SetEnabled(true);
  ASSERT_TRUE(T.Enabled());
  QTimer::singleShot(10000, &Loop, &QEventLoop::quit); // a safety net, not a timing check
  Loop.exec();
  T.SetEnabled(false);
  EXPECT_EQ(R.Ticks.size(), 5u);
  EXPECT_FALSE(R.WrongThread);
  QCoreApplication::sendPostedEvents(Window, TTimerWindow::TickEvent());
  EXPECT_EQ(R.Ticks.size(), 5u) << "nothing arrives after the timer was stopped";
}

TEST_F(TimerWindowTest, StoppingATimerDropsOnlyItsPostedTicks) {
  TManualTimerClock Clock;
  SetTimerClock(&Clock);
  TTickCounter Counter;
  Window->installEventFilter(&Counter);
  TRecorder A, B;
  A.Id = 1;
  B.Id = 2;
  A.Thread = B.Thread = QThread::currentThread();
  TQuickTimer TA, TB;
  TA.SetInterval(10);
  TB.SetInterval(15);
  TA.SetOnTimer(MakeTimerEvent<&TRecorder::Tick>(&A));
  TB.SetOnTimer(MakeTimerEvent<&TRecorder::Tick>(&B));
  TA.SetEnabled(true);
  TB.SetEnabled(true);
  Clock.Advance(45); // A at 10, 20, 30, 40; B at 15, 30, 45
  ASSERT_EQ(Window->Count(), 7u);

  TA.SetEnabled(false);
  EXPECT_EQ(Window->Count(), 3u);
  QCoreApplication::sendPostedEvents(Window, TTimerWindow::TickEvent());
  EXPECT_TRUE(A.Ticks.empty());
  EXPECT_EQ(B.Ticks.size(), 3u);
  EXPECT_EQ(Counter.Events, 3) << "one posted event per tick left, none stale";

  // A tick posted after the purge is delivered as usual.
  Clock.Advance(15);
  QCoreApplication::sendPostedEvents(Window, TTimerWindow::TickEvent());
  EXPECT_EQ(B.Ticks.size(), 4u);
  Window->removeEventFilter(&Counter);
}

TEST_F(TimerWindowTest, AFailingHandlerIsContainedAndTheTimerGoesOn) {
  TManualTimerClock Clock;
  SetTimerClock(&Clock);
  struct TThrower {
    int Calls = 0;
    void Tick() {
      ++Calls;
      throw std::runtime_error("no frame today");
    }
  } Thrower;
  TQuickTimer T;
  T.SetInterval(10);
  T.SetNoOverflow(true);
  T.SetOnTimer(MakeTimerEvent<&TThrower::Tick>(&Thrower));
  T.SetEnabled(true);
  for (int I = 0; I < 3; ++I) {
    Clock.Advance(10);
    QCoreApplication::sendPostedEvents(Window, TTimerWindow::TickEvent());
    EXPECT_FALSE(T.Pending());
  }
  EXPECT_EQ(Thrower.Calls, 3);
}

TEST_F(TimerWindowTest, FreeingTheWindowStopsTheTimersPostingIntoIt) {
  TManualTimerClock Clock;
  SetTimerClock(&Clock);
  TQuickTimer T;
  T.SetInterval(10);
  T.SetEnabled(true);
  Clock.Advance(10);
  FreeTimerWindow();
  EXPECT_EQ(T.TimerID(), 0u);
  EXPECT_EQ(TimerPoster(), nullptr);
  Clock.Advance(100);
  EXPECT_EQ(Clock.Running(), 0u);

  // A new window takes over at the next start.
  Window = InstallTimerWindow();
  T.SetEnabled(false);
  T.SetEnabled(true);
  EXPECT_NE(T.TimerID(), 0u);
}

} // namespace
