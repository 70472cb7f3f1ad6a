// The slider's value model, without a display.

#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "NumBarModel.h"

namespace {

// Records what the widget would be told.
class TTestBar : public TNumBarModel {
public:
  int Changes = 0;
  int Releases = 0;
  int PointerHidden = 0;
  int PointerRestored = 0;
  int ClockStarts = 0;
  int ClockStops = 0;
  bool Popup = false;
  int KnobWidthOverride = 0;
  std::vector<int> Seen; // value shown at each OnChange

protected:
  void Changed() override {
    ++Changes;
    Seen.push_back(Smoothing() ? Smoothed() : Position());
  }
  void Released() override { ++Releases; }
  // 7 pixels per digit stands in for the font.
  int TextWidth(const std::string& Text) const override {
    return 7 * static_cast<int>(Text.size());
  }
  void AdjustKnobWidth(int& Width) override {
    if (KnobWidthOverride)
      Width = KnobWidthOverride;
  }
  bool HasPopupMenu() const override { return Popup; }
  void BeginRelativePointer() override { ++PointerHidden; }
  void EndRelativePointer() override { ++PointerRestored; }
  void StartSmoothingClock() override { ++ClockStarts; }
  void StopSmoothingClock() override { ++ClockStops; }
};

// The settings window's sliders: numbers shown, knob slides, arrow buttons of 23.
constexpr TNumBarOptions kSettingsOptions{nbShowNumber, nbSlideKnob};

void Configure(TTestBar& Bar, TNumBarOptions Options, int Width, int Height = 21) {
  Bar.SetOptions(Options);
  Bar.SetClientSize(Width, Height);
}

void ResetCounts(TTestBar& Bar) {
  Bar.Changes = Bar.Releases = 0;
  Bar.Seen.clear();
}

} // namespace

TEST(NumBarModel, OptionBitsFollowTheDeclaredOrder) {
  const TNumBarOption all[] = {nbShowNumber, nbSlideKnob,      nbHideArrows, nbNotPressed,
                               nbEndless,    nbUpdateOnChange, nbOnBackPaint};
  for (int bit = 0; bit < 7; ++bit)
    EXPECT_EQ(TNumBarOptions{all[bit]}.Bits(), 1 << bit);
  EXPECT_TRUE(kSettingsOptions.With(nbEndless).Contains(nbEndless));
  EXPECT_FALSE(kSettingsOptions.Without(nbSlideKnob).Contains(nbSlideKnob));
}

TEST(NumBarModel, ArrowButtonsTakeBothEndsOfTheTrack) {
  TTestBar bar;
  Configure(bar, kSettingsOptions, 200);
  EXPECT_TRUE(bar.ArrowsVisible());
  EXPECT_EQ(bar.TrackStart(), 23);
  EXPECT_EQ(bar.TrackLength(), 154);
  EXPECT_EQ(bar.ArrowRect(false), (TNumBarRect{0, 0, 23, 21}));
  EXPECT_EQ(bar.ArrowRect(true), (TNumBarRect{177, 0, 23, 21}));
  EXPECT_EQ(bar.TrackRect(), (TNumBarRect{22, 0, 156, 21}));
  EXPECT_EQ(bar.ArrowGlyph(false), 0);
  EXPECT_EQ(bar.ArrowGlyph(true), 1);

  // Without arrow buttons the track runs from pixel 1 to the last but one.
  bar.SetOptions(kSettingsOptions.With(nbHideArrows));
  EXPECT_FALSE(bar.ArrowsVisible());
  EXPECT_EQ(bar.TrackStart(), 1);
  EXPECT_EQ(bar.TrackLength(), 198);
}

TEST(NumBarModel, ArrowButtonsNeedRoomForBoth) {
  struct Case {
    int Length;
    bool Visible;
    int TrackStart, TrackLength;
    bool Knob;
  };
  for (const Case& c : {Case{44, false, 1, 42, true}, Case{45, true, 23, -1, false},
                        Case{46, true, 23, 0, false}}) {
    TTestBar bar;
    Configure(bar, kSettingsOptions, c.Length);
    EXPECT_EQ(bar.ArrowsVisible(), c.Visible) << c.Length;
    EXPECT_EQ(bar.TrackStart(), c.TrackStart) << c.Length;
    EXPECT_EQ(bar.TrackLength(), c.TrackLength) << c.Length;
    EXPECT_EQ(bar.KnobVisible(), c.Knob) << c.Length; // the 37-pixel knob needs a longer track
  }
}

TEST(NumBarModel, VerticalSliderLaysOutAlongItsHeight) {
  TTestBar bar;
  Configure(bar, kSettingsOptions, 21, 200);
  bar.SetOrientation(trVertical);
  EXPECT_EQ(bar.TrackStart(), 23);
  EXPECT_EQ(bar.TrackLength(), 154);
  EXPECT_EQ(bar.ArrowRect(true), (TNumBarRect{0, 177, 21, 23}));
  EXPECT_EQ(bar.ArrowGlyph(false), 2);
  EXPECT_EQ(bar.ArrowGlyph(true), 3);
  bar.SetPosition(100);
  EXPECT_EQ(bar.KnobRect().Left, 0);
  EXPECT_EQ(bar.KnobRect().Top + bar.KnobRect().Height, 23 + 154 + 1); // at the end of the track
}

TEST(NumBarModel, KeysAtTheLowEndFireOnlyOnRealChanges) {
  TTestBar bar;
  Configure(bar, kSettingsOptions, 200);
  bar.SetRange(10, 100);
  bar.SetPosition(10);
  ResetCounts(bar);

  EXPECT_TRUE(bar.KeyDown(nkLeft));
  EXPECT_EQ(bar.Position(), 10);
  EXPECT_EQ(bar.Changes, 0);
  bar.KeyDown(nkHome);
  EXPECT_EQ(bar.Changes, 0);
  bar.KeyDown(nkEnd);
  EXPECT_EQ(bar.Position(), 100);
  EXPECT_EQ(bar.Changes, 1);
  bar.KeyDown(nkEnd);
  EXPECT_EQ(bar.Changes, 1);
}

TEST(NumBarModel, EachKeyMovesByItsStep) {
  struct Case {
    TNumBarKey Key;
    int Expected;
  };
  // From 50 in 0..100 with line step 3 and page step 7.
  for (const Case& c : {Case{nkPageUp, 43}, Case{nkPageDown, 57}, Case{nkHome, 0}, Case{nkEnd, 100},
                        Case{nkLeft, 47}, Case{nkRight, 53}, Case{nkInsert, 50}}) {
    TTestBar bar;
    Configure(bar, kSettingsOptions, 200);
    bar.SetLineSize(3);
    bar.SetPageSize(7);
    bar.SetPosition(50);
    bar.KeyDown(c.Key);
    EXPECT_EQ(bar.Position(), c.Expected) << c.Key;
    EXPECT_TRUE(bar.KeyHeld());
  }
}

TEST(NumBarModel, InsertGoesToTheMiddleRoundedTowardZero) {
  struct Case {
    int Min, Max, Expected;
  };
  for (const Case& c :
       {Case{-3, 3, 0}, Case{0, 3, 1}, Case{-3, 0, -1}, Case{INT_MAX - 2, INT_MAX, INT_MAX - 1},
        Case{INT_MIN, INT_MIN + 3, INT_MIN + 2}}) {
    TTestBar bar;
    bar.SetRange(c.Min, c.Max);
    bar.SetPosition(c.Max);
    bar.KeyDown(nkInsert);
    EXPECT_EQ(bar.Position(), c.Expected) << c.Min << ".." << c.Max;
  }
}

TEST(NumBarModel, KeyReleaseAndFocusLossEndTheChange) {
  TTestBar bar;
  Configure(bar, kSettingsOptions, 200);
  bar.KeyDown(nkRight);
  bar.KeyDown(nkRight); // held: the key repeats
  EXPECT_EQ(bar.Releases, 0);
  bar.KeyUp(nkRight);
  EXPECT_EQ(bar.Releases, 1);
  EXPECT_FALSE(bar.KeyHeld());

  // Focus lost while a key is held: the change ends there.
  bar.KeyDown(nkRight);
  bar.FocusOut();
  EXPECT_EQ(bar.Releases, 2);
  bar.FocusOut();
  EXPECT_EQ(bar.Releases, 2);

  // Gaining the focus forgets a key held elsewhere.
  bar.KeyDown(nkRight);
  bar.FocusIn();
  bar.FocusOut();
  EXPECT_EQ(bar.Releases, 2);
}

TEST(NumBarModel, ApplyRangeClampsOrWraps) {
  struct Case {
    int Min, Max;
    bool Endless;
    int64_t Value;
    int Expected;
  };
  const Case cases[] = {
      {0, 100, false, -5, 0},
      {0, 100, false, 101, 100},
      {0, 100, false, 50, 50},
      {0, 359, true, 360, 0},
      {0, 359, true, -1, 359},
      {0, 359, true, 725, 5},    // two turns
      {0, 359, true, -721, 359}, // three turns back
      {-5, 5, true, 17, -5},
      {-5, 5, true, -6, 5},
      {0, 9, true, 1000000000000, 0},
      {INT_MIN, INT_MAX, true, static_cast<int64_t>(INT_MAX) + 1, INT_MIN},
      {INT_MIN, INT_MAX, true, static_cast<int64_t>(INT_MIN) - 1, INT_MAX},
      {7, 7, true, 100, 7},
  };
  for (const Case& c : cases) {
    TTestBar bar;
    bar.SetRange(c.Min, c.Max);
    if (c.Endless)
      bar.SetOptions(bar.Options().With(nbEndless));
    EXPECT_EQ(bar.ApplyRange(c.Value), c.Expected) << c.Min << ".." << c.Max << " " << c.Value;
  }
}

TEST(NumBarModel, EndlessSliderWrapsOnKeysAndArrowsButNotOnDrags) {
  TTestBar bar;
  Configure(bar, kSettingsOptions.With(nbEndless), 200);
  bar.SetRange(0, 359);
  bar.SetPosition(359);
  ResetCounts(bar);

  bar.KeyDown(nkRight);
  EXPECT_EQ(bar.Position(), 0);
  bar.KeyDown(nkLeft);
  EXPECT_EQ(bar.Position(), 359);
  EXPECT_EQ(bar.Changes, 2);
  bar.StepArrow(true);
  EXPECT_EQ(bar.Position(), 0);
  bar.SetPosition(-2);
  EXPECT_EQ(bar.Position(), 358);

  // Dragging the knob far past the end stops at the end.
  bar.MouseDownTrack(dbLeft, 100, 10);
  bar.DragMove(5000, 10);
  EXPECT_EQ(bar.Position(), 359);
  bar.EndDrag();

  // So does a relative drag, and it does not wrap on the way back.
  bar.SetPosition(350);
  bar.MouseDownTrack(dbRight, 100, 10);
  bar.RelativeDragMove(-40, 0);
  EXPECT_EQ(bar.Position(), 359);
  bar.EndDrag();
  bar.SetPosition(5);
  bar.MouseDownTrack(dbMiddle, 100, 10);
  bar.RelativeDragMove(40, 0);
  EXPECT_EQ(bar.Position(), 0);
  bar.EndDrag();
  // After the drag, wrap-around is back.
  bar.KeyDown(nkLeft);
  EXPECT_EQ(bar.Position(), 359);
}

TEST(NumBarModel, SetPositionIsSilentChangeValueFiresOnRealChangesOnly) {
  TTestBar bar;
  Configure(bar, kSettingsOptions, 200);
  bar.SetPosition(40);
  bar.SetPosition(500);
  EXPECT_EQ(bar.Position(), 100);
  EXPECT_EQ(bar.Text(), "100");
  EXPECT_EQ(bar.Changes, 0);

  bar.ChangeValue(100, true, true);
  EXPECT_EQ(bar.Changes, 0);
  bar.ChangeValue(30, false, true);
  EXPECT_EQ(bar.Position(), 30);
  EXPECT_EQ(bar.Changes, 0);
  bar.ChangeValue(31, true, true);
  EXPECT_EQ(bar.Changes, 1);
  EXPECT_EQ(bar.Text(), "31");
}

TEST(NumBarModel, TextFollowsPositionOnlyWithShowNumber) {
  TTestBar bar;
  Configure(bar, TNumBarOptions{nbSlideKnob}, 200);
  bar.SetText("Hue");
  bar.SetPosition(12);
  EXPECT_EQ(bar.Text(), "Hue");
  bar.SetOptions(kSettingsOptions);
  EXPECT_EQ(bar.Text(), "12");
  bar.SetOptions(TNumBarOptions{nbSlideKnob});
  EXPECT_EQ(bar.Text(), ""); // options clear the text
}

TEST(NumBarModel, PositionBeyondTheMovementRangeRestsAtTheEnd) {
  TTestBar bar;
  Configure(bar, kSettingsOptions, 200);
  bar.SetRange(0, 1000);
  bar.SetMoveRange(0, 100);
  bar.SetPosition(500);
  EXPECT_EQ(bar.Position(), 500);
  const int end = bar.TrackStart() - 1 + bar.TrackLength() - bar.KnobInner();
  EXPECT_EQ(bar.KnobOffset(), end);
  EXPECT_EQ(bar.KnobRect().Left + bar.KnobWidth(), bar.TrackStart() + bar.TrackLength() + 1);

  bar.KeyDown(nkRight);
  EXPECT_EQ(bar.Position(), 501);
  EXPECT_EQ(bar.Changes, 1);
  EXPECT_EQ(bar.KnobOffset(), end);

  bar.SetPosition(-20); // below MoveMin (0 here): clamped by the full range
  EXPECT_EQ(bar.KnobOffset(), bar.TrackStart() - 1);
}

TEST(NumBarModel, FullRangeResetsTheMovementRange) {
  TTestBar bar;
  bar.SetRange(0, 1000);
  bar.SetMoveMin(100);
  bar.SetMoveMax(600);
  EXPECT_EQ(bar.MoveMin(), 100);
  EXPECT_EQ(bar.MoveMax(), 600);

  bar.SetMax(800); // assigned after MoveMax: the movement range is the full range again
  EXPECT_EQ(bar.MoveMin(), 0);
  EXPECT_EQ(bar.MoveMax(), 800);

  bar.SetMoveRange(100, 600);
  bar.SetMin(-50);
  EXPECT_EQ(bar.MoveMin(), -50);
  EXPECT_EQ(bar.MoveMax(), 800);

  // Either bound alone keeps the other.
  bar.SetMoveMax(300);
  bar.SetMoveMin(20);
  EXPECT_EQ(bar.MoveMin(), 20);
  EXPECT_EQ(bar.MoveMax(), 300);
}

TEST(NumBarModel, RangesStayOrdered) {
  TTestBar bar;
  bar.SetRange(50, 10); // Max never below Min
  EXPECT_EQ(bar.Min(), 50);
  EXPECT_EQ(bar.Max(), 50);
  EXPECT_FALSE(bar.EnabledState());

  bar.SetRange(0, 100);
  EXPECT_TRUE(bar.EnabledState());
  bar.SetMoveRange(-20, 200);
  EXPECT_EQ(bar.MoveMin(), 0);
  EXPECT_EQ(bar.MoveMax(), 100);
  // A movement range below the full range or upside down collapses instead of
  // leaving MoveMax under Min (which would divide by zero in the knob width).
  bar.SetClientSize(200, 21);
  bar.SetMoveRange(60, -1);
  EXPECT_EQ(bar.MoveMin(), 60);
  EXPECT_EQ(bar.MoveMax(), 60);
  bar.SetMoveMax(40);
  EXPECT_EQ(bar.MoveMax(), 60);
  bar.SetPosition(80);
  EXPECT_EQ(bar.KnobOffset(), bar.TrackStart()); // MoveMin = MoveMax
}

TEST(NumBarModel, NarrowingTheRangeFiresOnceWhenItMovesTheValue) {
  TTestBar bar;
  Configure(bar, kSettingsOptions, 200);
  bar.SetPosition(90);
  bar.SetMax(120);
  EXPECT_EQ(bar.Changes, 0);
  bar.SetMax(50);
  EXPECT_EQ(bar.Position(), 50);
  EXPECT_EQ(bar.Changes, 1);
}

TEST(NumBarModel, SingleValueRangeDisablesAndHidesTheParts) {
  TTestBar bar;
  Configure(bar, kSettingsOptions, 200);
  bar.SetRange(5, 5);
  EXPECT_FALSE(bar.EnabledState());
  EXPECT_FALSE(bar.KnobVisible());
  EXPECT_FALSE(bar.ArrowsVisible());
  EXPECT_EQ(bar.TrackStart(), 1);
  bar.SetRange(5, 6);
  EXPECT_TRUE(bar.KnobVisible());
  EXPECT_TRUE(bar.ArrowsVisible());
}

TEST(NumBarModel, KnobWidthFitsTheNumberOrTheValueSpacing) {
  struct Case {
    TNumBarOptions Options;
    int Min, Max, Length, Expected;
  };
  const Case cases[] = {
      {kSettingsOptions.With(nbHideArrows), 0, 1000, 200, 7 * 4 + 16},  // "1000"
      {kSettingsOptions.With(nbHideArrows), -1000, 5, 200, 7 * 4 + 16}, // widest magnitude, no sign
      {kSettingsOptions.With(nbHideArrows), 0, 9, 402, 400 / 10 + 2},   // spacing of ten values
      {TNumBarOptions{nbHideArrows}, 0, 100, 200, 22},                  // grip lines: 22 at least
      {TNumBarOptions{nbHideArrows}, 0, 3, 202, 200 / 4 + 2},
  };
  for (const Case& c : cases) {
    TTestBar bar;
    bar.SetRange(c.Min, c.Max);
    Configure(bar, c.Options, c.Length);
    EXPECT_EQ(bar.KnobWidth(), c.Expected) << c.Min << ".." << c.Max;
    EXPECT_EQ(bar.KnobInner(), c.Expected - 2);
  }

  TTestBar bar;
  bar.KnobWidthOverride = 60;
  Configure(bar, kSettingsOptions, 200);
  EXPECT_EQ(bar.KnobWidth(), 60);
}

TEST(NumBarModel, KnobHidesWhenTheTrackIsTooShort) {
  TTestBar bar;
  Configure(bar, TNumBarOptions{nbHideArrows}, 23); // track 21, knob inner 20
  EXPECT_TRUE(bar.KnobVisible());
  bar.SetClientSize(22, 21); // track 20
  EXPECT_FALSE(bar.KnobVisible());
  bar.SetClientSize(100, 21);
  bar.SetEnabledState(false);
  EXPECT_FALSE(bar.KnobVisible());
}

TEST(NumBarModel, KnobOffsetRoundsHalvesToEven) {
  TTestBar bar;
  Configure(bar, TNumBarOptions{nbHideArrows}, 200); // room 198 - 20 = 178 over 0..100
  struct Case {
    int Position, Offset;
  };
  for (const Case& c : {Case{0, 0}, Case{25, 44}, Case{50, 89}, Case{75, 134}, Case{100, 178}}) {
    bar.SetPosition(c.Position);
    EXPECT_EQ(bar.KnobOffset(), c.Offset) << c.Position; // 44.5 -> 44, 133.5 -> 134
  }
}

TEST(NumBarModel, ClickOnTheTrackJumpsThereAndDragFollows) {
  TTestBar bar;
  Configure(bar, TNumBarOptions{nbHideArrows}, 200);
  // The knob's centre goes under the pointer: pixel 1 + 10 + 89 is the value 50.
  bar.MouseDownTrack(dbLeft, 100, 10);
  EXPECT_EQ(bar.DragState(), dbLeft);
  EXPECT_TRUE(bar.KnobPressed());
  EXPECT_EQ(bar.Position(), 50);
  EXPECT_EQ(bar.Changes, 1);
  bar.DragMove(100 + 89, 10);
  EXPECT_EQ(bar.Position(), 100);
  bar.DragMove(-300, 10);
  EXPECT_EQ(bar.Position(), 0);
  EXPECT_EQ(bar.Releases, 0);
  bar.EndDrag();
  EXPECT_EQ(bar.DragState(), dsIdle);
  EXPECT_EQ(bar.Releases, 1);
  bar.EndDrag();
  EXPECT_EQ(bar.Releases, 1);

  bar.SetOptions(TNumBarOptions{nbHideArrows, nbNotPressed});
  bar.MouseDownTrack(dbLeft, 100, 10);
  EXPECT_FALSE(bar.KnobPressed());
}

TEST(NumBarModel, SlideKnobKeepsTheGrabPoint) {
  TTestBar bar;
  Configure(bar, TNumBarOptions{nbHideArrows, nbSlideKnob}, 200);
  bar.SetPosition(50); // knob at 89..110
  ResetCounts(bar);
  bar.MouseDownKnob(dbLeft, 92, 10); // near its left end
  EXPECT_EQ(bar.Position(), 50);
  EXPECT_EQ(bar.Changes, 0);
  bar.DragMove(92 + 89, 10);
  EXPECT_EQ(bar.Position(), 100);
  bar.EndDrag();

  // Without the option the knob centres on the pointer.
  bar.SetOptions(TNumBarOptions{nbHideArrows});
  bar.SetPosition(50);
  bar.MouseDownKnob(dbLeft, 92, 10);
  EXPECT_EQ(bar.Position(), 46); // round((92 - 1 - 10) * 100 / 178) = round(45.5056)
  bar.EndDrag();
}

TEST(NumBarModel, AbsoluteDragStaysInTheMovementRange) {
  TTestBar bar;
  Configure(bar, TNumBarOptions{nbHideArrows}, 200);
  bar.SetRange(0, 1000);
  bar.SetMoveRange(0, 100);
  bar.MouseDownTrack(dbLeft, 100, 10);
  bar.DragMove(2000, 10);
  EXPECT_EQ(bar.Position(), 100);
  bar.EndDrag();
}

TEST(NumBarModel, RelativeDragScalesByMoveSpeed) {
  struct Case {
    TDragButton Button;
    int Speed, Expected;
  };
  for (const Case& c : {Case{dbRight, 16, 140}, Case{dbRight, 8, 120}, Case{dbMiddle, 32, 180}}) {
    TTestBar bar;
    Configure(bar, kSettingsOptions, 200);
    bar.SetRange(0, 1000);
    bar.SetMoveSpeed(c.Speed);
    bar.SetPosition(100);
    bar.MouseDownKnob(c.Button, 30, 10);
    EXPECT_EQ(bar.PointerHidden, 1);
    EXPECT_EQ(bar.Position(), 100); // a press alone moves nothing
    for (int i = 0; i < 4; ++i)
      bar.RelativeDragMove(-10, 3); // 40 pixels to the right
    EXPECT_EQ(bar.Position(), c.Expected) << c.Speed;
    bar.EndDrag();
    EXPECT_EQ(bar.PointerRestored, 1);
    EXPECT_EQ(bar.Releases, 1);
  }
}

TEST(NumBarModel, RelativeDragKeepsPixelFractions) {
  TTestBar bar;
  Configure(bar, kSettingsOptions, 200);
  bar.SetMoveSpeed(6); // 6/16 of a value per pixel
  bar.SetPosition(10);
  bar.MouseDownTrack(dbRight, 50, 10);
  bar.RelativeDragMove(-1, 0);
  bar.RelativeDragMove(-1, 0);
  EXPECT_EQ(bar.Position(), 10);
  bar.RelativeDragMove(-1, 0);
  EXPECT_EQ(bar.Position(), 11); // 18/16
  bar.RelativeDragMove(3, 0);    // back to the start: 0/16
  EXPECT_EQ(bar.Position(), 10);
  bar.RelativeDragMove(1, 0); // below: -6/16 rounds down (arithmetic shift)
  EXPECT_EQ(bar.Position(), 9);
  bar.EndDrag();
}

TEST(NumBarModel, LinkedSliderFollowsTheOtherAxis) {
  TTestBar bar, linked;
  Configure(bar, kSettingsOptions, 200);
  Configure(linked, kSettingsOptions, 200);
  linked.SetMoveSpeed(32);
  bar.SetLinkedNumBar(&linked);
  bar.SetPosition(50);
  linked.SetPosition(20);

  bar.MouseDownTrack(dbRight, 50, 10);
  EXPECT_EQ(linked.DragState(), dsLinked);
  EXPECT_TRUE(linked.KnobPressed());
  bar.RelativeDragMove(-5, -10); // 5 right, 10 down
  EXPECT_EQ(bar.Position(), 55);
  EXPECT_EQ(linked.Position(), 40);
  EXPECT_EQ(linked.Changes, 1);
  bar.EndDrag();
  EXPECT_EQ(linked.DragState(), dsIdle);
  EXPECT_EQ(linked.Releases, 0);
  EXPECT_EQ(bar.Releases, 1);

  // An absolute drag leaves the linked slider alone.
  bar.MouseDownTrack(dbLeft, 50, 10);
  EXPECT_EQ(linked.DragState(), dsIdle);
  bar.EndDrag();

  bar.SetLinkedNumBar(&bar);
  EXPECT_EQ(bar.LinkedNumBar(), nullptr);
}

TEST(NumBarModel, RightButtonWithPopupMenuDoesNotDrag) {
  TTestBar bar;
  Configure(bar, kSettingsOptions, 200);
  bar.Popup = true;
  bar.MouseDownTrack(dbRight, 50, 10);
  EXPECT_EQ(bar.DragState(), dsIdle);
  EXPECT_EQ(bar.PointerHidden, 0);
  bar.MouseDownTrack(dbMiddle, 50, 10);
  EXPECT_EQ(bar.DragState(), dbMiddle);
}

TEST(NumBarModel, SecondButtonDuringADragIsIgnored) {
  TTestBar bar;
  Configure(bar, kSettingsOptions, 200);
  bar.MouseDownTrack(dbLeft, 100, 10);
  bar.MouseDownTrack(dbRight, 100, 10);
  bar.MouseDownKnob(dbMiddle, 100, 10);
  EXPECT_EQ(bar.DragState(), dbLeft);
  EXPECT_EQ(bar.PointerHidden, 0);
}

TEST(NumBarModel, TrackPressNeedsAVisibleKnob) {
  TTestBar bar;
  Configure(bar, kSettingsOptions, 30); // arrows hidden, knob hidden
  bar.MouseDownTrack(dbLeft, 10, 10);
  EXPECT_EQ(bar.DragState(), dsIdle);
}

TEST(NumBarModel, SmoothingLeadsTheShownValueToThePosition) {
  TTestBar bar;
  Configure(bar, kSettingsOptions, 200);
  bar.SetSmoothingTime(240); // ten animation ticks
  bar.ChangeValue(100, true, true);
  EXPECT_TRUE(bar.Smoothing());
  EXPECT_EQ(bar.ClockStarts, 1);
  EXPECT_EQ(bar.Position(), 100);
  EXPECT_LT(bar.Smoothed(), 100);

  int ticks = 0;
  while (bar.Smoothing() && ticks < 100) {
    bar.SmoothStep(0);
    ++ticks;
  }
  EXPECT_FALSE(bar.Smoothing());
  EXPECT_EQ(bar.ClockStops, 1);
  EXPECT_LE(ticks, 12);
  // Every event showed a value on the way up, ending at the target.
  ASSERT_GE(bar.Seen.size(), 3u);
  for (size_t i = 1; i < bar.Seen.size(); ++i)
    EXPECT_LE(bar.Seen[i - 1], bar.Seen[i]);
  EXPECT_EQ(bar.Seen.back(), 100);

  // A change that must not smooth stops a running smoothing.
  bar.ChangeValue(0, true, true);
  EXPECT_TRUE(bar.Smoothing());
  bar.ChangeValue(50, true, false);
  EXPECT_FALSE(bar.Smoothing());

  // Missed ticks are caught up in one call.
  bar.ChangeValue(0, true, true);
  bar.SmoothStep(50);
  EXPECT_FALSE(bar.Smoothing());
  EXPECT_EQ(bar.Smoothed(), TNumBarModel::NotSmoothing);
}

TEST(NumBarModel, SmoothedValueIsClampedWhenTheRangeShrinks) {
  TTestBar bar;
  Configure(bar, kSettingsOptions, 200);
  bar.SetSmoothingTime(2400);
  bar.SetPosition(100);
  bar.ChangeValue(0, true, true);
  ASSERT_TRUE(bar.Smoothing());
  bar.SetRange(0, 40);
  EXPECT_LE(bar.Smoothed(), 40);
}

TEST(NumBarModel, WrapPointerMovesToTheOppositeEdge) {
  const TNumBarRect clip{32, 32, 100, 50}; // x 32..131, y 32..81
  struct Case {
    TNumBarPoint In, Out;
  };
  for (const Case& c :
       {Case{{50, 50}, {50, 50}}, Case{{31, 50}, {131, 50}}, Case{{132, 50}, {32, 50}},
        Case{{50, 20}, {50, 81}}, Case{{50, 82}, {50, 32}}, Case{{0, 0}, {131, 81}}}) {
    EXPECT_EQ(WrapPointer(c.In, clip), c.Out) << c.In.X << "," << c.In.Y;
  }
  EXPECT_EQ(WrapPointer({5, 5}, TNumBarRect{0, 0, 0, 0}), (TNumBarPoint{5, 5}));
}

TEST(NumBarModel, LoadingDefersTheLayout) {
  TTestBar bar;
  bar.BeginLoading();
  Configure(bar, kSettingsOptions, 200);
  EXPECT_EQ(bar.TrackLength(), 0);
  bar.EndLoading();
  EXPECT_EQ(bar.TrackLength(), 154);
}

TEST(NumBarModel, WheelStepsALineAPerNotch) {
  TTestBar bar;
  Configure(bar, kSettingsOptions.With(nbEndless), 200);
  bar.SetRange(0, 359);
  bar.SetLineSize(5);
  bar.SetPosition(350);
  ResetCounts(bar);
  struct {
    int Delta;
    int Position; // after the wheel event
    int Changes;  // OnChange so far
    int Releases; // OnRelease so far
  } const Cases[] = {
      {120, 355, 1, 1},                    // one notch forward
      {120, 0, 2, 2},                      // wraps at the end like an arrow button
      {-240, 350, 4, 3},                   // two notches back: two steps, one release
      {60, 350, 4, 3},                     // half a notch of a smooth wheel: nothing yet
      {60, 355, 5, 4},                     // the other half completes it
      {90, 355, 5, 4},   {-30, 355, 5, 4}, // turning back drops the part notch forward...
      {-90, 350, 6, 5},                    // ...so these two make one notch back
      {-60, 350, 6, 5},
  };
  for (const auto& C : Cases) {
    bar.Wheel(C.Delta);
    EXPECT_EQ(bar.Position(), C.Position) << "delta " << C.Delta;
    EXPECT_EQ(bar.Changes, C.Changes) << "delta " << C.Delta;
    EXPECT_EQ(bar.Releases, C.Releases) << "delta " << C.Delta;
  }
}
