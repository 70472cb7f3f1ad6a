#pragma once
// The drawing window: a maximised, uniformly translucent blue overlay on the
// settings window's monitor, below the flame window. Left-dragging adds
// emitters along the stroke, the middle button starts the art over, a right
// click or Escape discards the window. It exists only while drawing is on.
#include <QColor>
#include <QString>
#include <QWidget>

#include "Stroke.h"

class QLabel;

// What the drawing window needs of the settings window and the flame window.
// The settings window implements it; tests use a fake.
class TDrawingHost {
public:
  virtual ~TDrawingHost() = default;
  // The settings window (its monitor, its visibility, its stacking).
  virtual QWidget* SettingsWindow() = 0;
  // Set the "Enable drawing" / "Visible" check boxes (running their handlers
  // when the state changes).
  virtual void SetDrawingBox(bool Checked) = 0;
  virtual void SetDisplayBox(bool Checked) = 0;
  // The settings window's stay-on-top state.
  virtual void SetSettingsStayOnTop(bool OnTop) = 0;
  // The "Start over" button's action.
  virtual void StartOverClick() = 0;
  // The drawing hot key as text ("Ctrl+F8"), empty when none is assigned.
  virtual QString DrawingHotKeyText() = 0;
  // The flame window's stay-on-top state.
  virtual bool FlameStayOnTop() = 0;
  // Re-applies the flame window's rectangle to it and brings it to the front,
  // under the settings window and over the drawing window (InputForm).
  virtual void RaiseFlameWindow() = 0;
};

// The host ShowDrawingWindow and friends work with; set once by the settings
// window (nullptr: the operations do nothing).
void SetDrawingHost(TDrawingHost* Host);
TDrawingHost* DrawingHost();

inline const QColor DrawingWindowColor{29, 100, 158};
inline const QColor DrawingLabelColor{211, 232, 248};
inline constexpr int DrawingWindowAlpha = 144;

class TInputForm : public QWidget {
public:
  explicit TInputForm(TDrawingHost& Host, bool StayOnTop);
  ~TInputForm() override;

  QLabel* DMLabel;
  QLabel* KeyLabel;
  QLabel* Label1;
  // FDrawing (left button held) and FLastPoint (the stroke's last emitter).
  TStroke FStroke;
  // KeyLabel := the hint with the drawing hot key as it is now.
  void UpdateKeyLabel();

protected:
  void keyPressEvent(QKeyEvent* Event) override;
  void mousePressEvent(QMouseEvent* Event) override;
  void mouseMoveEvent(QMouseEvent* Event) override;
  void mouseReleaseEvent(QMouseEvent* Event) override;
  void mouseDoubleClickEvent(QMouseEvent* Event) override;
  void closeEvent(QCloseEvent* Event) override;
  void changeEvent(QEvent* Event) override;

private:
  TDrawingHost& FHost;
};

// The drawing window, or nullptr.
extern TInputForm* InputForm;

// Creates and shows the drawing window when none exists; sets "Enable drawing"
// and "Visible" and makes the settings window stay on top.
void ShowDrawingWindow();
// Discards the drawing window if one exists (which clears "Enable drawing")
// and makes the settings window normal again.
void HideDrawingWindow();
// Flame window over the drawing window, settings window (when visible) over
// both.
void ArrangeZOrder();
