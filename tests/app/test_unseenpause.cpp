// Pausing while the flame cannot be seen, and following the monitors: the
// settings window with a watch the test drives, its timers on a hand-driven
// clock, so that every tick and every clock event is counted.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QSettings>
#include <QTemporaryDir>

#include <memory>

#include "AnimationClock.h"
#include "FakeUnseenWatch.h"
#include "FlameEngine.h"
#include "FlameWindow.h"
#include "MainForm.h"
#include "SettingsTestSupport.h"
#include "Timers.h"
#include "timing/ManualTimerClock.h"

namespace {

constexpr TUnseenState FullScreen{true, false};
constexpr TUnseenState ScreenSaver{false, true};
constexpr TUnseenState Seen{};

class UnseenPause : public SettingsAppTest {
protected:
  void SetUp() override {
    // A private preference store: the box starts at its default.
    ASSERT_TRUE(Prefs.isValid());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, Prefs.path());
    SetTimerClock(&Clock);
    SetTimerPoster(&Ticks);
    Form = std::make_unique<TQUELMAMainForm>();
    Form->FormCreate(Folder.path(), {});
    Form->show();
    auto W = std::make_unique<TFakeWatch>();
    Watch = W.get();
    Form->SetUnseenWatch(std::move(W));
    // Shown again now that there are timers: the frames run.
    Form->DisplayBox->setChecked(false);
    Run(1000);
    Form->DisplayBox->setChecked(true);
    Run(1000);
    ASSERT_TRUE(Form->AnimTimer.Enabled());
  }
  void TearDown() override {
    Form.reset();
    FreeAnimationClock();
    SetTimerClock(nullptr);
    SetTimerPoster(nullptr);
    SettleEvents();
  }

  // Milliseconds of time, the ticks handled as they fall due.
  void Run(int Milliseconds) {
    for (int T = 0; T < Milliseconds; ++T) {
      Clock.Advance(1);
      while (Ticks.DeliverOne()) {
      }
    }
  }
  bool FlameShown() const { return Form->PartWindow()->isVisible(); }

  TManualTimerClock Clock;
  TTimerQueue Ticks;
  QTemporaryDir Folder, Prefs;
  std::unique_ptr<TQUELMAMainForm> Form;
  TFakeWatch* Watch = nullptr;
};

TEST_F(UnseenPause, StopsEveryTimerAndResumesWithoutCatchingUp) {
  TPartForm& E = *Form->Engine();
  E.FLifetime = 1e6f;
  E.AddEmitter(nullptr, 256, 0, 0);
  Form->DrawingBox->setChecked(true);

  Watch->Set(FullScreen);
  EXPECT_TRUE(Form->PausedUnseen());
  Run(1000); // the fade out
  EXPECT_FALSE(FlameShown());
  EXPECT_EQ(Form->DrawingForm(), nullptr);
  EXPECT_EQ(Clock.Running(), 0u); // no clock event left to wake anything
  const uint64_t Frames = Form->TickCount();
  const float Life = E.Emitter(0)->Life;
  Run(10000);
  EXPECT_EQ(Form->TickCount(), Frames);
  EXPECT_EQ(E.Emitter(0)->Life, Life);

  Watch->Set(Seen);
  EXPECT_FALSE(Form->PausedUnseen());
  EXPECT_TRUE(FlameShown());
  EXPECT_TRUE(Form->DrawingBox->isChecked());
  EXPECT_NE(Form->DrawingForm(), nullptr);
  // One frame's time later, one frame: the ten seconds are not made up for.
  Run(Form->AnimTimer.Interval());
  EXPECT_EQ(Form->TickCount(), Frames + 1);
  EXPECT_EQ(Form->AnimTimer.Missed(), 0);
  EXPECT_EQ(E.Emitter(0)->Life, Life - E.FFrameTime);
}

TEST_F(UnseenPause, TheBoxDecidesForFullScreenWindowsOnly) {
  struct Step {
    const char* what;
    bool box;
    TUnseenState state;
    bool paused;
  };
  const Step Steps[] = {
      {"full screen, box set", true, FullScreen, true},
      {"box cleared while full screen", false, FullScreen, false},
      {"screen saver, box clear", false, ScreenSaver, true},
      {"both, box clear", false, {true, true}, true},
      {"saver off, still full screen, box clear", false, FullScreen, false},
      {"box set again while full screen", true, FullScreen, true},
      {"seen", true, Seen, false},
  };
  for (const Step& S : Steps) {
    SCOPED_TRACE(S.what);
    Form->PauseFullScreenBox->setChecked(S.box);
    Watch->Set(S.state);
    EXPECT_EQ(Form->PausedUnseen(), S.paused);
    EXPECT_TRUE(Form->DisplayBox->isChecked()); // what the user asked stays
    EXPECT_EQ(Form->Controller.Shown().Flame, !S.paused);
    Run(1000);
    EXPECT_EQ(FlameShown(), !S.paused);
    EXPECT_EQ(Form->AnimTimer.Enabled(), !S.paused);
  }
}

TEST_F(UnseenPause, NestsWithTheFileDialogsSuspension) {
  Form->DrawingBox->setChecked(true);
  const auto Shown = [this] { return Form->Controller.Shown(); };
  // A dialog first, then unseen; seen again while the dialog is open.
  Form->SuspendDisplay();
  Watch->Set(FullScreen);
  Watch->Set(Seen);
  EXPECT_FALSE(Shown().Flame);
  Form->ResumeDisplay();
  EXPECT_TRUE(Shown().Flame);
  EXPECT_TRUE(Shown().Drawing);
  // Unseen first, then a dialog that closes while still unseen.
  Watch->Set(ScreenSaver);
  Form->SuspendDisplay();
  Form->ResumeDisplay();
  EXPECT_FALSE(Shown().Flame);
  Watch->Set(Seen);
  EXPECT_TRUE(Shown().Flame);
  EXPECT_TRUE(Shown().Drawing);
  EXPECT_EQ(Form->SuspendCount(), 0);
  // An unmatched resume changes nothing.
  Form->ResumeDisplay();
  EXPECT_EQ(Form->SuspendCount(), 0);
  EXPECT_TRUE(Shown().Flame);
  // Throughout, the boxes showed what the user asked.
  EXPECT_TRUE(Form->DisplayBox->isChecked());
  EXPECT_TRUE(Form->DrawingBox->isChecked());
}

TEST_F(UnseenPause, MonitorChangesMoveTheArtWithItsMonitor) {
  TPartForm& E = *Form->Engine();
  const QList<TMonitor> Start = CurrentMonitors();
  ASSERT_FALSE(Start.isEmpty());
  const QRect Ours = Start.front().Geometry;
  const TRect Desktop = E.DesktopRect;
  EXPECT_EQ(Watch->Area, QRect(Desktop.Left, Desktop.Top, Desktop.Width(), Desktop.Height()));
  const float X = E.OriginX, Y = E.OriginY;

  // A monitor added left: ours moves right by its width.
  QList<TMonitor> Now = {{QStringLiteral("left"), QRect(0, 0, 1000, Ours.height())},
                         {Start.front().Name, Ours.translated(1000, 0)}};
  const TRect Wider{0, 0, Desktop.Right + 1000, Desktop.Bottom};
  Form->ApplyMonitors(Now, Wider);
  EXPECT_EQ(E.DesktopRect, Wider);
  EXPECT_EQ(Form->PartWindow()->FDesktopRect, Wider);
  EXPECT_EQ(Watch->Area, QRect(0, 0, Wider.Width(), Wider.Height()));
  EXPECT_EQ(E.OriginX, X + 1000);
  EXPECT_EQ(E.OriginY, Y);

  // Removed again: back where it was.
  Form->ApplyMonitors(Start, Desktop);
  EXPECT_EQ(E.DesktopRect, Desktop);
  EXPECT_EQ(E.OriginX, X);
}

} // namespace
