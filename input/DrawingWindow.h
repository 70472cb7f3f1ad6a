#pragma once
// The drawing window: a maximised, uniformly translucent blue overlay on the
// settings window's monitor, below the flame window. Left-dragging adds
// emitters along the stroke, the middle button starts the art over, a right
// click or Escape discards the window, Ctrl+Z and Ctrl+Shift+Z undo and redo.
// It exists only while drawing is on.
#include <QColor>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>

#include "Stroke.h"

class QLabel;

// What the drawing window needs of the settings window and the flame window.
// The settings window implements it; tests use a fake.
class IDrawingHost {
public:
  virtual ~IDrawingHost() = default;
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
  // A stroke is about to add emitters (so that it can be undone).
  virtual void StrokeBegins() = 0;
  // Ctrl+Z and Ctrl+Shift+Z: the art's last change undone or redone.
  virtual void UndoArt() = 0;
  virtual void RedoArt() = 0;
};

inline const QColor DrawingWindowColor{29, 100, 158};
inline const QColor DrawingLabelColor{211, 232, 248};
inline constexpr int DrawingWindowAlpha = 144;

class TInputForm : public QWidget {
public:
  // Strokes add emitters to Engine.
  TInputForm(IDrawingHost& Host, TPartForm& Engine, bool StayOnTop);
  ~TInputForm() override;

  QLabel* DMLabel;
  QLabel* KeyLabel;
  QLabel* Label1;
  // FDrawing (left button held) and FLastPoint (the stroke's last emitter).
  TStroke FStroke;
  // KeyLabel := the hint with the drawing hot key as it is now.
  void UpdateKeyLabel();
  // Covers the work area of the settings window's monitor (else the primary
  // one's) as it is now.
  void FitToScreen();
  // Runs when the window closes (it deletes itself afterwards).
  std::function<void()> OnClose;

protected:
  void keyPressEvent(QKeyEvent* Event) override;
  void mousePressEvent(QMouseEvent* Event) override;
  void mouseMoveEvent(QMouseEvent* Event) override;
  void mouseReleaseEvent(QMouseEvent* Event) override;
  void mouseDoubleClickEvent(QMouseEvent* Event) override;
  void closeEvent(QCloseEvent* Event) override;
  void changeEvent(QEvent* Event) override;

private:
  IDrawingHost& FHost;
  TPartForm& FEngine;
  bool FClosed = false; // closed, awaiting deletion
};

// The drawing window's owner: opens the window on demand and discards it. The
// settings window holds one; the window exists only while drawing is on.
class TDrawingWindow {
public:
  TDrawingWindow(IDrawingHost& Host, TPartForm& Engine) : FHost(Host), FEngine(Engine) {}
  ~TDrawingWindow();
  TDrawingWindow(const TDrawingWindow&) = delete;
  TDrawingWindow& operator=(const TDrawingWindow&) = delete;

  // The open drawing window, or nullptr (also while a closed one awaits deletion).
  TInputForm* Form() const { return FForm.data(); }
  // Creates and shows the drawing window when none exists; sets "Enable
  // drawing" and "Visible" and makes the settings window stay on top.
  void Show();
  // Discards the drawing window if one exists (which clears "Enable drawing")
  // and makes the settings window normal again.
  void Hide();
  // Flame window over the drawing window, settings window (when visible) over
  // both.
  void ArrangeZOrder();
  // The monitors changed: the open window covers its monitor's work area again.
  void FitToScreen();

private:
  IDrawingHost& FHost;
  TPartForm& FEngine;
  QPointer<TInputForm> FForm;
};
