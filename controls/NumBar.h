#pragma once

// TNumBar: the numeric slider of the settings window. A bordered control made of
// the track (the control itself), a knob that shows the number (TKnob) and two
// optional arrow buttons (TNumBarButton). Its behaviour lives in TNumBarModel;
// this class paints it and turns keys, pointer and focus into model calls.
//
// Events:
//   OnChange        the value changed through a user action (never from SetPosition)
//   OnRelease       the user finished a change: key released, drag ended (sender: the
//                   slider) or arrow button released (sender: the button)
//   OnSetKnobWidth  may adjust the computed knob width
//   OnPaintKnob     replaces the painting of the knob (index -2), the arrow buttons
//                   (their glyph index 0..3) and, with nbOnBackPaint, the track (-1)
//
// Min and Max reset the movement range, so set MoveMin and MoveMax after them.

#include <QMenu>
#include <QMetaObject>
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QWidget>
#include <functional>

#include "NumBarModel.h"
#include "NumBarPaint.h"

class QElapsedTimer;
class QPainter;
class QTimer;
class TNumBar;

enum TBorderStyle { bsNone = 0, bsSingle = 1 };

// The knob: painted by its slider, which also takes its pointer input.
class TKnob : public QWidget {
public:
  explicit TKnob(TNumBar* Slider);

protected:
  void paintEvent(QPaintEvent* Event) override;

private:
  TNumBar* FSlider;
};

// An arrow button at one end of the track. Pressing it steps once and starts the
// repeat clock (RepeatClock.h): another step after 250 ms, then every 50 ms.
class TNumBarButton : public QWidget {
public:
  TNumBarButton(TNumBar* Slider, bool Increment);
  ~TNumBarButton() override;

  bool Increment() const { return FIncrement; }
  int GlyphIndex() const { return FGlyphIndex; }
  void SetGlyphIndex(int Value);
  bool Pressed() const { return FPressed; }

  void Press();
  // Stops the repeat; then the slider's OnRelease runs with this button as sender.
  void Release();
  // Stops the repeat and forgets the press without an event (the button is going away).
  void Cancel();

protected:
  void paintEvent(QPaintEvent* Event) override;

private:
  void RepeatTick();

  TNumBar* FSlider;
  bool FIncrement;
  int FGlyphIndex;
  bool FPressed = false;
};

class TNumBar : public QWidget, public TNumBarModel {
public:
  using TNotifyEvent = std::function<void(TNumBar* Sender)>;
  using TReleaseEvent = std::function<void(QObject* Sender)>;
  using TSetKnobWidthEvent = std::function<void(TNumBar* Sender, int& Width)>;
  // State: pressed for the knob and the arrow buttons, focused for the track.
  using TPaintKnobEvent = std::function<void(TNumBar* Sender, QPainter& Canvas, bool State,
                                             int Index, const QRect& Rect)>;

  explicit TNumBar(QWidget* Parent = nullptr);
  ~TNumBar() override;

  TNotifyEvent OnChange;
  TReleaseEvent OnRelease;
  TSetKnobWidthEvent OnSetKnobWidth;
  TPaintKnobEvent OnPaintKnob;

  // The face colour the shades derive from; the system's button face by default.
  QColor Color() const { return FColor; }
  void SetColor(const QColor& Value);
  TShadeScheme Scheme() const { return TShadeScheme::From(FColor); }
  TBorderStyle BorderStyle() const { return FBorderStyle; }
  void SetBorderStyle(TBorderStyle Value);
  bool TabStop() const;
  void SetTabStop(bool Value);
  // With a popup menu the right button opens it instead of dragging.
  QMenu* PopupMenu() const { return FPopupMenu; }
  void SetPopupMenu(QMenu* Value) { FPopupMenu = Value; }
  // The slider moved by the other pointer axis during a relative drag.
  TNumBar* LinkedNumBar() const { return FLinkedBar; }
  void SetLinkedNumBar(TNumBar* Value);

  TKnob* Knob() const { return FKnob; }
  TNumBarButton* ArrowButton(bool Increment) const { return FArrows[Increment ? 1 : 0]; }

  QSize sizeHint() const override;

  // Painting of the children, which draw through their slider.
  void PaintKnob(QPainter& Canvas, const QRect& R);
  void PaintArrowButton(QPainter& Canvas, const QRect& R, int GlyphIndex, bool Pressed);
  // OnRelease for a sender other than the slider (an arrow button).
  void NotifyRelease(QObject* Sender);

protected:
  void paintEvent(QPaintEvent* Event) override;
  void resizeEvent(QResizeEvent* Event) override;
  void changeEvent(QEvent* Event) override;
  void hideEvent(QHideEvent* Event) override;
  void keyPressEvent(QKeyEvent* Event) override;
  void keyReleaseEvent(QKeyEvent* Event) override;
  void focusInEvent(QFocusEvent* Event) override;
  void focusOutEvent(QFocusEvent* Event) override;
  void mousePressEvent(QMouseEvent* Event) override;
  void mouseMoveEvent(QMouseEvent* Event) override;
  void mouseReleaseEvent(QMouseEvent* Event) override;
  void contextMenuEvent(QContextMenuEvent* Event) override;
  void wheelEvent(QWheelEvent* Event) override;

  void Changed() override;
  void Released() override;
  void AdjustKnobWidth(int& Width) override;
  int TextWidth(const std::string& Text) const override;
  void KnobMoved() override;
  void KnobChanged() override;
  void PartsChanged() override;
  void RepaintNow() override;
  void EnabledStateChanged(bool Enabled) override;
  void StartSmoothingClock() override;
  void StopSmoothingClock() override;
  bool HasPopupMenu() const override { return FPopupMenu != nullptr; }
  void GrabPointer() override;
  void BeginRelativePointer() override;
  void EndRelativePointer() override;

private:
  QPoint ClientOrigin() const { return contentsRect().topLeft(); }
  QRect ToWidget(const TNumBarRect& R) const;
  void SyncClientSize();
  void CancelPointer();
  void SmoothTick();

  QColor FColor;
  TBorderStyle FBorderStyle = bsNone;
  QPointer<QMenu> FPopupMenu;
  QPointer<TNumBar> FLinkedBar;
  QMetaObject::Connection FLinkedConnection;
  TKnob* FKnob = nullptr;
  QPointer<TNumBarButton> FArrows[2];
  QPointer<TNumBarButton> FPressedButton;
  QTimer* FSmoothTimer = nullptr;
  qint64 FSmoothLast = 0;
  // Relative drag: where it started, the last pointer position and the wrap area.
  QPoint FPressGlobal;
  bool FPressKnown = false;
  QPoint FDragStartGlobal;
  QPoint FLastPointer;
  TNumBarRect FPointerClip;
  bool FPointerHidden = false;
};
