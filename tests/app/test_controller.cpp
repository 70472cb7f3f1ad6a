// The owner of the program's state: what is shown follows from what the user
// asked and what the desktop imposes, and a toggle during a pause or a file
// dialog changes what was asked, never the pause. The controller runs with
// the real flame and drawing windows on Qt's offscreen platform; no timer
// window is installed, so fades take effect at once.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "FakeUnseenWatch.h"
#include "FlameController.h"
#include "FlameWindow.h"
#include "SettingsTestSupport.h"
#include "ShownState.h"

namespace {

constexpr TUnseenState Seen{};
constexpr TUnseenState FullScreen{true, false};
constexpr TUnseenState ScreenSaver{false, true};

TEST(ShownState, FollowsTheRequestsAndTheDesktop) {
  struct Case {
    const char* What;
    TUserRequests Asked;
    TDesktopConditions Desktop;
    TShownState Shown;
  };
  TUserRequests Drawing;
  Drawing.Drawing = true;
  TUserRequests Hidden;
  Hidden.Visible = false;
  TUserRequests OnlyWithEditor;
  OnlyWithEditor.VisibleOnlyWithEditor = true;
  TUserRequests NoFullScreenPause = Drawing;
  NoFullScreenPause.PauseFullScreen = false;
  const auto With = [](TUnseenState U, int Suspended = 0, bool Editor = false) {
    TDesktopConditions D;
    D.Unseen = U;
    D.Suspended = Suspended;
    D.EditorShown = Editor;
    return D;
  };
  const Case Cases[] = {
      {"defaults", {}, With(Seen), {false, true, false}},
      {"drawing", Drawing, With(Seen), {false, true, true}},
      {"hidden", Hidden, With(Seen), {false, false, false}},
      {"full screen pauses", Drawing, With(FullScreen), {true, false, false}},
      {"unless the user says not to", NoFullScreenPause, With(FullScreen), {false, true, true}},
      {"the saver pauses always", NoFullScreenPause, With(ScreenSaver), {true, false, false}},
      {"a file dialog hides without pausing", Drawing, With(Seen, 1), {false, false, false}},
      {"nested dialogs", Drawing, With(Seen, 2), {false, false, false}},
      {"only with the editor, editor shown",
       OnlyWithEditor,
       With(Seen, 0, true),
       {false, true, false}},
      {"only with the editor, editor closed", OnlyWithEditor, With(Seen), {false, false, false}},
      {"hidden stays hidden with the editor", Hidden, With(Seen, 0, true), {false, false, false}},
  };
  for (const Case& C : Cases) {
    SCOPED_TRACE(C.What);
    const TShownState S = DeriveShown(C.Asked, C.Desktop);
    EXPECT_EQ(S.Paused, C.Shown.Paused);
    EXPECT_EQ(S.Flame, C.Shown.Flame);
    EXPECT_EQ(S.Drawing, C.Shown.Drawing);
  }
}

class Controller : public SettingsAppTest {
protected:
  void SetUp() override {
    C.Create(TRect{0, 0, 800, 600});
    auto W = std::make_unique<TFakeWatch>();
    Watch = W.get();
    C.SetUnseenWatch(std::move(W));
  }
  void TearDown() override { SettleEvents(); }
  bool FlameShown() const { return C.PartWindow()->AnimatedVisible(); }
  bool DrawingOpen() const { return C.DrawingForm() != nullptr; }

  TFlameController C;
  TFakeWatch* Watch = nullptr;
};

TEST_F(Controller, TogglesDuringAPauseChangeWhatTheUserAskedAndShowAfterIt) {
  struct Step {
    const char* What;
    void (*Do)(TFlameController&, TFakeWatch&);
    bool Visible, Drawing;                 // asked
    bool Paused, FlameShown, DrawingShown; // shown
  };
  const Step Steps[] = {
      {"start", [](TFlameController&, TFakeWatch&) {}, true, false, false, true, false},
      {"full screen", [](TFlameController&, TFakeWatch& W) { W.Set(FullScreen); }, true, false,
       true, false, false},
      {"toggle drawing while paused", [](TFlameController& C, TFakeWatch&) { C.ToggleDrawing(); },
       true, true, true, false, false},
      {"toggle visible while paused", [](TFlameController& C, TFakeWatch&) { C.ToggleVisible(); },
       false, true, true, false, false},
      {"toggle visible again", [](TFlameController& C, TFakeWatch&) { C.ToggleVisible(); }, true,
       true, true, false, false},
      {"seen again: both come back", [](TFlameController&, TFakeWatch& W) { W.Set(Seen); }, true,
       true, false, true, true},
      {"saver, then hidden by the user",
       [](TFlameController& C, TFakeWatch& W) {
         W.Set(ScreenSaver);
         C.ToggleVisible();
       },
       false, true, true, false, false},
      {"saver off: the flame stays hidden as asked",
       [](TFlameController&, TFakeWatch& W) { W.Set(Seen); }, false, true, false, false, true},
      {"drawing off during a file dialog",
       [](TFlameController& C, TFakeWatch&) {
         C.SuspendDisplay();
         C.ToggleDrawing();
       },
       false, false, false, false, false},
      {"drawing on again during it makes the flame visible",
       [](TFlameController& C, TFakeWatch&) { C.ToggleDrawing(); }, true, true, false, false,
       false},
      {"the dialog closes", [](TFlameController& C, TFakeWatch&) { C.ResumeDisplay(); }, true, true,
       false, true, true},
  };
  std::vector<TUserRequests> Reports;
  QObject::connect(&C, &TFlameController::RequestsChanged,
                   [&](const TUserRequests& A) { Reports.push_back(A); });
  int Expected = 0;
  bool LastVisible = true, LastDrawing = false;
  for (const Step& S : Steps) {
    SCOPED_TRACE(S.What);
    S.Do(C, *Watch);
    if (S.Visible != LastVisible || S.Drawing != LastDrawing)
      ++Expected;
    LastVisible = S.Visible;
    LastDrawing = S.Drawing;
    EXPECT_EQ(C.Requests().Visible, S.Visible);
    EXPECT_EQ(C.Requests().Drawing, S.Drawing);
    EXPECT_EQ(C.PausedUnseen(), S.Paused);
    EXPECT_EQ(FlameShown(), S.FlameShown);
    EXPECT_EQ(DrawingOpen(), S.DrawingShown);
    EXPECT_EQ(C.Shown().Flame, S.FlameShown);
    EXPECT_EQ(C.Shown().Drawing, S.DrawingShown);
  }
  EXPECT_GE(int(Reports.size()), Expected); // every change was reported
  EXPECT_EQ(Reports.back(), C.Requests());
}

TEST_F(Controller, TheDrawingWindowClosedByTheUserEndsTheRequest) {
  C.SetDrawing(true);
  ASSERT_TRUE(DrawingOpen());
  std::vector<TUserRequests> Reports;
  QObject::connect(&C, &TFlameController::RequestsChanged,
                   [&](const TUserRequests& A) { Reports.push_back(A); });
  C.DrawingForm()->close(); // right click or Escape
  EXPECT_FALSE(C.Requests().Drawing);
  EXPECT_FALSE(DrawingOpen());
  ASSERT_EQ(Reports.size(), 1u);
  EXPECT_FALSE(Reports.front().Drawing);
  // Closed by a pause instead, the request stays.
  C.SetDrawing(true);
  Watch->Set(FullScreen);
  EXPECT_FALSE(DrawingOpen());
  EXPECT_TRUE(C.Requests().Drawing);
}

TEST_F(Controller, KeepInFrontEndsDrawingAndTheSettingsWindowStaysAboveTheFlame) {
  QWidget Settings;
  C.SetSettingsWindow(&Settings);
  EXPECT_TRUE(Settings.windowFlags() & Qt::WindowStaysOnTopHint); // the flame is in front
  C.SetDrawing(true);
  C.SetKeepInFront(false);
  EXPECT_FALSE(C.Requests().Drawing);
  EXPECT_FALSE(DrawingOpen());
  EXPECT_FALSE(C.PartWindow()->StayOnTop());
  EXPECT_FALSE(Settings.windowFlags() & Qt::WindowStaysOnTopHint);
  C.SetDrawing(true); // while drawing it is on top whatever the flame does
  EXPECT_TRUE(Settings.windowFlags() & Qt::WindowStaysOnTopHint);
  C.SetDrawing(false);
  EXPECT_FALSE(Settings.windowFlags() & Qt::WindowStaysOnTopHint);
  C.SetKeepInFront(true);
  EXPECT_TRUE(C.PartWindow()->StayOnTop());
  EXPECT_TRUE(Settings.windowFlags() & Qt::WindowStaysOnTopHint);
  C.SetSettingsWindow(nullptr);
}

TEST_F(Controller, OnlyWithTheEditorFollowsItsShowingAndClosing) {
  C.SetVisibleOnlyWithEditor(true);
  EXPECT_FALSE(FlameShown()); // no settings window shown yet
  C.SetEditorShown(true);
  EXPECT_TRUE(FlameShown());
  C.SetEditorShown(false);
  EXPECT_FALSE(FlameShown());
  EXPECT_TRUE(C.Requests().Visible); // what the user asked is untouched
  C.SetVisibleOnlyWithEditor(false);
  EXPECT_TRUE(FlameShown());
}

} // namespace
