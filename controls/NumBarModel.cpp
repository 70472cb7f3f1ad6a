#include "NumBarModel.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

int RoundHalfEven(double Value) {
  return static_cast<int>(std::nearbyint(Value));
}

int ClampToInt(int64_t Value) {
  return static_cast<int>(std::clamp<int64_t>(Value, INT_MIN, INT_MAX));
}

} // namespace

TNumBarPoint WrapPointer(TNumBarPoint P, const TNumBarRect& Clip) {
  // A clip area too small to move in leaves the pointer alone.
  if (Clip.Width < 2 || Clip.Height < 2)
    return P;
  const int right = Clip.Left + Clip.Width - 1;
  const int bottom = Clip.Top + Clip.Height - 1;
  if (P.X < Clip.Left)
    P.X = right;
  else if (P.X > right)
    P.X = Clip.Left;
  if (P.Y < Clip.Top)
    P.Y = bottom;
  else if (P.Y > bottom)
    P.Y = Clip.Top;
  return P;
}

// ---- Ranges -------------------------------------------------------------

int TNumBarModel::ApplyRange(int64_t Value) const {
  const bool endless = FOptions.Contains(nbEndless) && !FDragMoving;
  const int64_t lo = FMin, hi = FMax;
  if (Value >= lo && Value <= hi)
    return static_cast<int>(Value);
  if (!endless)
    return static_cast<int>(Value < lo ? lo : hi);
  // Whole turns at once: the same result as adding or subtracting one turn at a time.
  const int64_t turn = hi - lo + 1;
  if (Value < lo)
    return static_cast<int>(Value + ((lo - Value + turn - 1) / turn) * turn);
  return static_cast<int>(Value - ((Value - hi + turn - 1) / turn) * turn);
}

void TNumBarModel::SetMin(int Value) {
  if (Value != FMin)
    SetRange(Value, FMax);
}

void TNumBarModel::SetMax(int Value) {
  if (Value != FMax)
    SetRange(FMin, Value);
}

void TNumBarModel::SetMoveMin(int Value) {
  SetMoveRange(Value, FMoveMax);
}

void TNumBarModel::SetMoveMax(int Value) {
  SetMoveRange(FMoveMin, Value);
}

void TNumBarModel::SetRange(int A, int B) {
  FMin = A;
  FMax = std::max(A, B);
  SetMoveRange(FMin, FMax);
  if (Smoothing())
    FSmoothed = std::clamp(FSmoothed, FMin, FMax);
  SetEnabledState(FMin < FMax);
}

void TNumBarModel::SetMoveRange(int A, int B) {
  FMoveMin = std::clamp(A, FMin, FMax);
  FMoveMax = std::clamp(B, FMoveMin, FMax);
  UpdateKnob();
}

// ---- Position -----------------------------------------------------------

void TNumBarModel::SetPosition(int Value) {
  FPosition = ApplyRange(Value);
  PlaceKnob();
  if (FOptions.Contains(nbShowNumber)) {
    std::string text = std::to_string(FPosition);
    if (text != FText) {
      FText = std::move(text);
      KnobChanged();
    }
  }
}

void TNumBarModel::PlaceKnob() {
  if (FMoveMin == FMoveMax) {
    FKnobOffset = FTrackStart;
  } else {
    // Values outside the movement range rest at the end of the track.
    const int v = std::clamp(FPosition, FMoveMin, FMoveMax);
    const double span = static_cast<double>(FMoveMax) - FMoveMin;
    FKnobOffset = RoundHalfEven(static_cast<double>(FTrackLength - FKnobInner) *
                                (static_cast<double>(v) - FMoveMin) / span) +
                  FTrackStart - 1;
  }
  KnobMoved();
}

void TNumBarModel::ChangeValue(int64_t Value, bool Notify, bool Smooth) {
  const int value = ApplyRange(Value);
  const int old = FPosition;
  SetPosition(value);
  if (FPosition == old)
    return;
  if (FSmoothingTime != 0 && Smooth) {
    if (!Smoothing())
      StartSmoothing(old);
  } else if (Smoothing()) {
    StopSmoothing();
  }
  if (FOptions.Contains(nbUpdateOnChange))
    RepaintNow();
  if (Notify)
    Changed();
}

void TNumBarModel::SetText(const std::string& Value) {
  if (Value == FText)
    return;
  FText = Value;
  KnobChanged();
}

// ---- Options and layout -------------------------------------------------

void TNumBarModel::SetOrientation(TTrackBarOrientation Value) {
  FOrientation = Value;
  LayoutParts();
}

void TNumBarModel::SetOptions(TNumBarOptions Value) {
  FOptions = Value;
  FText.clear();
  PartsChanged();
  LayoutParts();
}

void TNumBarModel::SetSmoothingTime(int Value) {
  FSmoothingTime = Value;
  FFilter.Setup(static_cast<double>(Value) / AnimationInterval);
}

void TNumBarModel::SetArrowsWidth(int Value) {
  FArrowsWidth = Value;
  LayoutParts();
}

void TNumBarModel::SetLinkedNumBar(TNumBarModel* Value) {
  // A slider linked to itself would take both axes at once.
  FLinked = Value == this ? nullptr : Value;
}

void TNumBarModel::SetClientSize(int Width, int Height) {
  if (Width == FClientWidth && Height == FClientHeight)
    return;
  FClientWidth = Width;
  FClientHeight = Height;
  LayoutParts();
}

void TNumBarModel::SetEnabledState(bool Value) {
  if (Value == FEnabled)
    return;
  FEnabled = Value;
  EnabledStateChanged(Value);
  LayoutParts();
}

void TNumBarModel::EndLoading() {
  FLoading = false;
  LayoutParts();
}

void TNumBarModel::LayoutParts() {
  if (FLoading)
    return;
  const int length = Horizontal() ? FClientWidth : FClientHeight;
  FThickness = Horizontal() ? FClientHeight : FClientWidth;
  FTrackStart = 1;
  FTrackLength = length - 2;
  FArrowsVisible = HasArrowButtons() && FEnabled && length >= 2 * FArrowsWidth - 1;
  if (FArrowsVisible) {
    FTrackStart = FArrowsWidth;
    FTrackLength = length - 2 * FArrowsWidth;
  }
  PartsChanged();
  UpdateKnob();
}

void TNumBarModel::UpdateKnob() {
  const int64_t values = static_cast<int64_t>(FMoveMax) - FMin + 1; // at least 1: MoveMax >= Min
  int w = static_cast<int>(FTrackLength / values) + 2;
  if (FOptions.Contains(nbShowNumber)) {
    const int64_t widest =
        std::max(std::llabs(static_cast<int64_t>(FMin)), std::llabs(static_cast<int64_t>(FMax)));
    w = std::max(w, TextWidth(std::to_string(widest)) + 16);
  } else {
    w = std::max(w, 22);
  }
  AdjustKnobWidth(w);
  FKnobInner = w - 2;
  FKnobWidth = w;
  FKnobVisible = FEnabled && FKnobInner < FTrackLength;
  ChangeValue(FPosition, true, true);
}

TNumBarRect TNumBarModel::KnobRect() const {
  if (Horizontal())
    return {FKnobOffset, 0, FKnobWidth, FThickness};
  return {0, FKnobOffset, FThickness, FKnobWidth};
}

TNumBarRect TNumBarModel::ArrowRect(bool Increment) const {
  const int length = Horizontal() ? FClientWidth : FClientHeight;
  const int start = Increment ? length - FArrowsWidth : 0;
  if (Horizontal())
    return {start, 0, FArrowsWidth, FThickness};
  return {0, start, FThickness, FArrowsWidth};
}

TNumBarRect TNumBarModel::TrackRect() const {
  if (Horizontal())
    return {FTrackStart - 1, 0, FTrackLength + 2, FThickness};
  return {0, FTrackStart - 1, FThickness, FTrackLength + 2};
}

bool TNumBarModel::KnobPressed() const {
  return FDragState != dsIdle && !FOptions.Contains(nbNotPressed);
}

// ---- Keys and focus -----------------------------------------------------

bool TNumBarModel::KeyDown(TNumBarKey Key) {
  const int64_t pos = FPosition;
  int64_t value = pos;
  switch (Key) {
  case nkPageUp:
    value = pos - FPageSize;
    break;
  case nkPageDown:
    value = pos + FPageSize;
    break;
  case nkEnd:
    value = FMax;
    break;
  case nkHome:
    value = FMin;
    break;
  case nkLeft:
    value = pos - FLineSize;
    break;
  case nkRight:
    value = pos + FLineSize;
    break;
  case nkInsert:
    value = (static_cast<int64_t>(FMin) + FMax) / 2;
    break; // toward zero
  }
  ChangeValue(value, true, true);
  FKeyHeld = true;
  return true;
}

bool TNumBarModel::KeyUp(TNumBarKey) {
  FKeyHeld = false;
  Released();
  return true;
}

void TNumBarModel::FocusIn() {
  FKeyHeld = false;
}

void TNumBarModel::FocusOut() {
  if (!FKeyHeld)
    return;
  FKeyHeld = false;
  Released();
}

// ---- Pointer ------------------------------------------------------------

void TNumBarModel::MouseDownTrack(TDragButton Button, int X, int Y) {
  if (FDragState != dsIdle || !FKnobVisible)
    return;
  FDragOffset = 0;
  StartDrag(Button, X, Y);
}

void TNumBarModel::MouseDownKnob(TDragButton Button, int X, int Y) {
  if (FDragState != dsIdle)
    return;
  const int inKnob = (Horizontal() ? X : Y) - FKnobOffset;
  FDragOffset = FOptions.Contains(nbSlideKnob) ? FKnobInner / 2 + 1 - inKnob : 0;
  StartDrag(Button, X, Y);
}

void TNumBarModel::StartDrag(TDragButton Button, int X, int Y) {
  if (Button == dbRight && HasPopupMenu())
    return; // the popup menu opens instead
  const bool relative = Button != dbLeft;
  if (relative) {
    BeginRelativePointer();
    FDragOffset = static_cast<int64_t>(FPosition) * RelativeScale;
    if (FLinked) {
      FLinked->FDragOffset = static_cast<int64_t>(FLinked->FPosition) * RelativeScale;
      FLinked->FDragState = dsLinked;
      FLinked->KnobChanged();
    }
  }
  GrabPointer();
  FDragState = Button;
  KnobChanged();
  if (relative)
    RelativeDragMove(0, 0);
  else
    DragMove(X, Y);
}

void TNumBarModel::DragMove(int X, int Y) {
  if (FDragState != dbLeft)
    return;
  const int room = FTrackLength - FKnobInner;
  if (room <= 0)
    return; // no track to slide on (the control shrank during the drag)
  const int along = Horizontal() ? X : Y;
  const double pixels =
      static_cast<double>(along) + static_cast<double>(FDragOffset) - FTrackStart - FKnobInner / 2;
  int64_t value = static_cast<int64_t>(
      std::nearbyint(pixels * (static_cast<double>(FMoveMax) - FMoveMin) / room + FMoveMin));
  // The track maps onto the movement range only; the rest is for keys and relative drags.
  value = std::clamp<int64_t>(value, FMoveMin, FMoveMax);
  FDragMoving = true;
  ChangeValue(value, true, true);
  FDragMoving = false;
}

void TNumBarModel::RelativeDragMove(int DX, int DY) {
  if (FDragState != dbRight && FDragState != dbMiddle)
    return;
  const int along = Horizontal() ? DX : DY;
  const int across = Horizontal() ? DY : DX;
  FDragOffset -= static_cast<int64_t>(along) * FMoveSpeed;
  FDragMoving = true;
  ChangeValue(ClampToInt(FDragOffset >> 4), true, true);
  FDragMoving = false;
  if (FLinked && FLinked->FDragState == dsLinked) {
    FLinked->FDragOffset -= static_cast<int64_t>(across) * FLinked->FMoveSpeed;
    FLinked->FDragMoving = true;
    FLinked->ChangeValue(ClampToInt(FLinked->FDragOffset >> 4), true, true);
    FLinked->FDragMoving = false;
  }
}

void TNumBarModel::EndDrag() {
  if (FDragState < 0)
    return;
  const bool relative = FDragState != dbLeft;
  FDragState = dsIdle;
  KnobChanged();
  if (FLinked && FLinked->FDragState == dsLinked) {
    FLinked->FDragState = dsIdle;
    FLinked->KnobChanged();
  }
  Released();
  if (relative)
    EndRelativePointer();
}

void TNumBarModel::StepArrow(bool Increment) {
  const int64_t step = Increment ? FLineSize : -static_cast<int64_t>(FLineSize);
  ChangeValue(FPosition + step, true, true);
}

void TNumBarModel::Wheel(int WheelDelta) {
  constexpr int Notch = 120;
  // A reversal drops what was left of the other direction.
  if ((WheelDelta > 0 && FWheelRest < 0) || (WheelDelta < 0 && FWheelRest > 0))
    FWheelRest = 0;
  FWheelRest = static_cast<int>(
      std::clamp<int64_t>(int64_t(FWheelRest) + WheelDelta, -100 * Notch, 100 * Notch));
  const int Notches = FWheelRest / Notch;
  if (Notches == 0)
    return;
  FWheelRest -= Notches * Notch;
  for (int i = 0; i < std::abs(Notches); ++i)
    StepArrow(Notches > 0);
  Released();
}

// ---- Smoothing ----------------------------------------------------------

void TNumBarModel::StartSmoothing(int From) {
  FSmoothed = From;
  FFilter.Setup(static_cast<double>(FSmoothingTime) / AnimationInterval);
  FFilter.Reset(From);
  SmoothStep(0);
  // The first step may already have arrived; only a running smoothing needs the clock.
  if (Smoothing())
    StartSmoothingClock();
}

void TNumBarModel::StopSmoothing() {
  StopSmoothingClock();
  FSmoothed = NotSmoothing;
}

void TNumBarModel::SmoothStep(int Missed) {
  if (!Smoothing())
    return;
  const int old = FSmoothed;
  for (int i = 0; i <= std::max(Missed, 0); ++i)
    FSmoothed = RoundHalfEven(FFilter.Next(FPosition));
  if (FSmoothed != old)
    Changed();
  if (FSmoothed == FPosition)
    StopSmoothing();
}
