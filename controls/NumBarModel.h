#pragma once

// The numeric slider's behaviour without any widget: ranges, position, knob
// geometry, keys, dragging and smoothing. The widget (NumBar.h) derives from it and
// turns the protected hooks into painting, pointer control and events, so all of
// this can be exercised without a display.

#include <climits>
#include <cstdint>
#include <initializer_list>
#include <string>

#include "SmoothingFilter.h"

enum TTrackBarOrientation { trHorizontal = 0, trVertical = 1 };

enum TNumBarOption {
  nbShowNumber = 0,     // Text follows Position; the knob fits the widest number
  nbSlideKnob = 1,      // grabbing the knob keeps the grab point under the pointer
  nbHideArrows = 2,     // no arrow buttons
  nbNotPressed = 3,     // the knob is not drawn pressed while dragged
  nbEndless = 4,        // values wrap around at Min and Max, except while dragging
  nbUpdateOnChange = 5, // repaint at once after every change
  nbOnBackPaint = 6,    // OnPaintKnob also paints the track background
};

class TNumBarOptions {
public:
  constexpr TNumBarOptions() = default;
  constexpr TNumBarOptions(std::initializer_list<TNumBarOption> Values) {
    for (TNumBarOption v : Values)
      FBits = static_cast<uint8_t>(FBits | Bit(v));
  }
  static constexpr TNumBarOptions FromBits(uint8_t Bits) {
    TNumBarOptions o;
    o.FBits = Bits;
    return o;
  }
  constexpr uint8_t Bits() const { return FBits; }
  constexpr bool Contains(TNumBarOption Value) const { return (FBits & Bit(Value)) != 0; }
  constexpr TNumBarOptions With(TNumBarOption Value) const {
    return FromBits(static_cast<uint8_t>(FBits | Bit(Value)));
  }
  constexpr TNumBarOptions Without(TNumBarOption Value) const {
    return FromBits(static_cast<uint8_t>(FBits & ~Bit(Value)));
  }
  friend constexpr bool operator==(TNumBarOptions, TNumBarOptions) = default;

private:
  static constexpr uint8_t Bit(TNumBarOption Value) { return static_cast<uint8_t>(1u << Value); }
  uint8_t FBits = 0;
};

// The keys the slider answers; every other key is left to its parent.
enum TNumBarKey { nkPageUp, nkPageDown, nkHome, nkEnd, nkLeft, nkRight, nkInsert };

// Pointer buttons as drag states: 0 absolute drag, 1 and 2 relative drags.
enum TDragButton { dbLeft = 0, dbRight = 1, dbMiddle = 2 };

// Drag states besides the buttons.
constexpr int dsIdle = -1;
constexpr int dsLinked = -2; // moved as the linked slider of another one

struct TNumBarRect {
  int Left = 0, Top = 0, Width = 0, Height = 0;
  bool Contains(int X, int Y) const {
    return X >= Left && X < Left + Width && Y >= Top && Y < Top + Height;
  }
  friend bool operator==(const TNumBarRect&, const TNumBarRect&) = default;
};

struct TNumBarPoint {
  int X = 0, Y = 0;
  friend bool operator==(const TNumBarPoint&, const TNumBarPoint&) = default;
};

// Keeps a hidden pointer inside Clip: a point that left it goes to the opposite
// edge, so that a relative drag never runs out of screen. Returns P when inside.
TNumBarPoint WrapPointer(TNumBarPoint P, const TNumBarRect& Clip);

class TNumBarModel {
public:
  static constexpr int NotSmoothing = INT_MAX;
  // The animation clock's period, which the smoothing runs on.
  static constexpr int AnimationInterval = 24;
  static constexpr int RelativeScale = 16; // accumulator units per value step

  TNumBarModel() = default;
  TNumBarModel(const TNumBarModel&) = delete;
  TNumBarModel& operator=(const TNumBarModel&) = delete;
  virtual ~TNumBarModel() = default;

  // Properties (defaults as created).
  int LineSize() const { return FLineSize; }
  void SetLineSize(int Value) { FLineSize = Value; }
  int PageSize() const { return FPageSize; }
  void SetPageSize(int Value) { FPageSize = Value; }
  int Min() const { return FMin; }
  void SetMin(int Value);
  int Max() const { return FMax; }
  void SetMax(int Value);
  int MoveMin() const { return FMoveMin; }
  void SetMoveMin(int Value);
  int MoveMax() const { return FMoveMax; }
  void SetMoveMax(int Value);
  const std::string& Text() const { return FText; }
  void SetText(const std::string& Value);
  int Position() const { return FPosition; }
  int MoveSpeed() const { return FMoveSpeed; }
  void SetMoveSpeed(int Value) { FMoveSpeed = Value; }
  TTrackBarOrientation Orientation() const { return FOrientation; }
  void SetOrientation(TTrackBarOrientation Value);
  TNumBarOptions Options() const { return FOptions; }
  void SetOptions(TNumBarOptions Value);
  int SmoothingTime() const { return FSmoothingTime; }
  void SetSmoothingTime(int Value);
  int ArrowsWidth() const { return FArrowsWidth; }
  void SetArrowsWidth(int Value);
  TNumBarModel* LinkedNumBar() const { return FLinked; }
  void SetLinkedNumBar(TNumBarModel* Value);

  // Sets the value from code: brought into range, the knob placed, no event.
  void SetPosition(int Value);
  // The one path of every user change; events only when Position really changes.
  void ChangeValue(int64_t Value, bool Notify, bool Smooth);
  // Clamped into Min..Max, or wrapped around with nbEndless (outside a drag).
  int ApplyRange(int64_t Value) const;

  // Min = A, Max = max(A, B); resets the movement range to the full range.
  void SetRange(int A, int B);
  // Movement range inside the full range; MoveMin never above MoveMax.
  void SetMoveRange(int A, int B);

  // Client size in pixels (width, height whatever the orientation).
  void SetClientSize(int Width, int Height);
  int ClientWidth() const { return FClientWidth; }
  int ClientHeight() const { return FClientHeight; }
  // The control's enabled state; SetRange sets it to Min < Max.
  bool EnabledState() const { return FEnabled; }
  void SetEnabledState(bool Value);
  // While loading, layout waits until EndLoading.
  void BeginLoading() { FLoading = true; }
  void EndLoading();
  void LayoutParts();
  void UpdateKnob();

  // Keys and focus. KeyDown/KeyUp return whether the key is the slider's.
  bool KeyDown(TNumBarKey Key);
  bool KeyUp(TNumBarKey Key);
  void FocusIn();
  void FocusOut();
  bool KeyHeld() const { return FKeyHeld; }

  // Pointer, in client coordinates.
  void MouseDownTrack(TDragButton Button, int X, int Y);
  void MouseDownKnob(TDragButton Button, int X, int Y);
  void StartDrag(TDragButton Button, int X, int Y);
  void DragMove(int X, int Y); // absolute drag
  // Relative drag: pointer movement since the last move, previous minus current, in screen axes.
  void RelativeDragMove(int DX, int DY);
  void EndDrag(); // the pointer capture ended
  int DragState() const { return FDragState; }
  int64_t DragOffset() const { return FDragOffset; }

  // One step of an arrow button.
  void StepArrow(bool Increment);
  // The mouse wheel: WheelDelta in eighths of a degree as the platform
  // reports it (120 a notch; forward is positive). Each whole notch steps one
  // LineSize, as an arrow button does, and a change ends with OnRelease.
  // Fractions of a notch (smooth scrolling) add up.
  void Wheel(int WheelDelta);

  // Smoothing: the value shown while it runs, NotSmoothing otherwise.
  int Smoothed() const { return FSmoothed; }
  bool Smoothing() const { return FSmoothed != NotSmoothing; }
  // One animation tick; Missed ticks were swallowed before it.
  void SmoothStep(int Missed);

  // Layout results.
  int KnobWidth() const { return FKnobWidth; }
  int KnobInner() const { return FKnobInner; }
  int KnobOffset() const { return FKnobOffset; }
  bool KnobVisible() const { return FKnobVisible; }
  bool KnobPressed() const;
  int TrackStart() const { return FTrackStart; }
  int TrackLength() const { return FTrackLength; }
  bool HasArrowButtons() const { return !FOptions.Contains(nbHideArrows); }
  bool ArrowsVisible() const { return FArrowsVisible; }
  // Glyph index of an arrow button: 0 left, 1 right, 2 up, 3 down.
  int ArrowGlyph(bool Increment) const { return 2 * FOrientation + (Increment ? 1 : 0); }
  TNumBarRect KnobRect() const;
  TNumBarRect ArrowRect(bool Increment) const;
  TNumBarRect TrackRect() const; // the background between the arrow buttons

protected:
  // Hooks for the widget; the defaults do nothing.
  virtual void Changed() {}                       // OnChange
  virtual void Released() {}                      // OnRelease with the slider as sender
  virtual void AdjustKnobWidth(int& /*Width*/) {} // OnSetKnobWidth
  virtual int TextWidth(const std::string& /*Text*/) const { return 0; }
  virtual void KnobMoved() {}    // knob place, size or visibility
  virtual void KnobChanged() {}  // knob content or pressed look
  virtual void PartsChanged() {} // arrow buttons created, freed or moved
  virtual void RepaintNow() {}
  virtual void EnabledStateChanged(bool /*Enabled*/) {}
  virtual void StartSmoothingClock() {}
  virtual void StopSmoothingClock() {}
  virtual bool HasPopupMenu() const { return false; }
  virtual void GrabPointer() {}          // focus (when a tab stop) and capture
  virtual void BeginRelativePointer() {} // hide the pointer, remember where it is
  virtual void EndRelativePointer() {}   // put it back there and show it

private:
  bool Horizontal() const { return FOrientation == trHorizontal; }
  void PlaceKnob();
  void StartSmoothing(int From);
  void StopSmoothing();
  void SetLinkedDragState(int Value);

  int FLineSize = 1;
  int FPageSize = 10;
  int FMin = 0;
  int FMax = 100;
  int FMoveMin = 0;
  int FMoveMax = 100;
  std::string FText;
  int FPosition = 0;
  int FMoveSpeed = 16;
  TTrackBarOrientation FOrientation = trHorizontal;
  TNumBarOptions FOptions{nbSlideKnob, nbHideArrows};
  int FSmoothingTime = 0;
  int FArrowsWidth = 23;
  int FWheelRest = 0; // eighths of a degree short of a whole notch
  TNumBarModel* FLinked = nullptr;

  int FSmoothed = NotSmoothing;
  TSmoothingFilter FFilter;
  int FKnobInner = 20;
  int FKnobWidth = 22;
  int FKnobOffset = 0;
  bool FKnobVisible = false;
  int64_t FDragOffset = 0; // wide: the relative accumulator holds value * 16
  int FTrackStart = 1;
  int FTrackLength = 0;
  int FThickness = 0;
  bool FArrowsVisible = false;
  int FDragState = dsIdle;
  bool FKeyHeld = false;
  bool FEnabled = true;
  bool FLoading = false;
  bool FDragMoving = false; // wrap-around is off while a drag moves the value
  int FClientWidth = 0;
  int FClientHeight = 0;
};
