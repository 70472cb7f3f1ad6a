#pragma once
// The owner of the program's state: the flame engine, the flame window, the
// drawing window, the animation timer, the watch of what hides the flame and
// the monitor the art belongs to. The settings window, the tray, the hot
// keys and the commands of later starts send it requests and show what it
// reports through its signals; none of them reads another's widgets. Each
// frame runs timer -> controller -> engine -> flame window.
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

#include "ArtHistory.h"
#include "DrawingWindow.h"
#include "Rects.h"
#include "Screens.h"
#include "ShownState.h"
#include "Timers.h"
#include "UnseenWatch.h"

class QTimer;
class QWidget;
class TPartForm;
class TPartWindow;

class TFlameController : public QObject, public IDrawingHost {
  Q_OBJECT
public:
  explicit TFlameController(QObject* Parent = nullptr);
  ~TFlameController() override;

  // Creates the flame window (placed at 300, 300, 128 x 128, not shown yet)
  // and the engine over it, for the desktop rectangle Desktop.
  void Create(const TRect& Desktop);
  TPartForm* Engine() const { return FEngine.get(); }
  TPartWindow* PartWindow() const { return FPartWindow.get(); }
  // The open drawing window, or nullptr.
  TInputForm* DrawingForm() const { return FDrawing ? FDrawing->Form() : nullptr; }

  // The settings window: its monitor places the drawing window, and it
  // stays over the flame while shown. nullptr when there is none.
  void SetSettingsWindow(QWidget* Window);

  // ---- What the user asks for ----------------------------------------------------
  const TUserRequests& Requests() const { return FAsked; }
  // Drawing on also makes the flame visible, as opening the drawing window
  // does.
  void SetDrawing(bool On);
  void SetVisible(bool On);
  void ToggleDrawing() { SetDrawing(!FAsked.Drawing); }
  void ToggleVisible() { SetVisible(!FAsked.Visible); }
  // Keep in front changed: the flame is placed again and drawing ends.
  void SetKeepInFront(bool On);
  void SetSolid(bool On);
  void SetVisibleOnlyWithEditor(bool On);
  void SetPauseFullScreen(bool On);
  // The art operations of the top row.
  void StartOver();
  void ClearFading();
  void CenterArt();

  // ---- What the desktop imposes ------------------------------------------------------
  const TDesktopConditions& Conditions() const { return FDesktop; }
  // The settings window was shown (true) or closed (false); only these two
  // decide "Visible only when editor visible".
  void SetEditorShown(bool Shown);
  // Around the file dialogs: nothing is shown until the last resume. The
  // requests stay as they were.
  void SuspendDisplay();
  void ResumeDisplay();
  int SuspendCount() const { return FDesktop.Suspended; }
  // The platform's watch (CreateUnseenWatch), or a test's.
  void SetUnseenWatch(std::unique_ptr<IUnseenWatch> Watch);
  IUnseenWatch* UnseenWatch() const { return FUnseen.get(); }
  bool PausedUnseen() const { return FShown.Paused; }
  // Whether a notification area holds the icon; the tray reports it.
  void SetTrayAvailable(bool Available);
  // Starts the checks of the compositing manager and the tray (once a
  // second; stopped while paused).
  void WatchDesktop();
  // Asks the display now for the compositing manager and the tray.
  void CheckDesktop();
  static constexpr int DesktopCheckInterval = 1000;
  // The note to show while per-pixel alpha cannot be seen, else "".
  const QString& CompositingNote() const { return FCompositingNote; }

  // Monitors added, removed, moved or resized: the engine's desktop, the art
  // (which moves with the monitor holding the origin), the flame window, the
  // drawing window and the unseen watch's area follow. Several notices of one
  // change are handled once, from the event loop.
  void WatchMonitors();
  void MonitorsChanged();
  void ApplyMonitors(const QList<TMonitor>& Monitors, const TRect& Desktop);

  // ---- What is shown --------------------------------------------------------------------
  const TShownState& Shown() const { return FShown; }

  // ---- Frame cycle ----------------------------------------------------------------------
  TQuickTimer AnimTimer;
  void AnimTimerTimer();
  // Animation frames run since the start, and the steps of the emitters in
  // them: a frame that follows missed ticks moves the emitters once for each.
  uint64_t TickCount() const { return FTickCount; }
  uint64_t StepCount() const { return FStepCount; }

  // The drawing hot key as the settings show it ("" for none); the drawing
  // window names it.
  void SetDrawingHotKeyText(const QString& Text);

  // ---- Undo of the art ----------------------------------------------------------------
  // The style as the settings hold it, and how to put one back; the history
  // keeps it with the art. Unset: the default style, and none put back.
  std::function<TStyleSettings()> CurrentStyle;
  std::function<void(const TStyleSettings&)> RestoreStyle;
  // A change of the art is about to happen: one step of the history.
  void RecordArt(TArtChange Change);
  // Around a change that may fail or change nothing (a file read): the state
  // before is taken at the first Begin, and filed as one step at the last End
  // when Changed. Changes recorded in between belong to it.
  void BeginArtChange(TArtChange Change);
  void EndArtChange(bool Changed);
  // The last change of the art undone, or the last undone one made again;
  // false when there is none.
  bool Undo();
  bool Redo();
  const TArtHistory& History() const { return FHistory; }
  // The program has its art: what it took to get there is no step back.
  void ClearHistory();

  // ---- IDrawingHost ------------------------------------------------------------------------
  QWidget* SettingsWindow() override;
  void SetDrawingBox(bool Checked) override;
  void SetDisplayBox(bool Checked) override;
  void SetSettingsStayOnTop(bool OnTop) override;
  void StartOverClick() override { StartOver(); }
  QString DrawingHotKeyText() override { return FDrawingHotKeyText; }
  bool FlameStayOnTop() override;
  void RaiseFlameWindow() override;
  void StrokeBegins() override { RecordArt(TArtChange::Stroke); }
  void UndoArt() override { Undo(); }
  void RedoArt() override { Redo(); }
  // Flame window over the drawing window, the settings window over both.
  void ArrangeZOrder();

signals:
  // A request changed (from anywhere): the controls show it.
  void RequestsChanged(const TUserRequests& Asked);
  // What is shown changed.
  void ShownChanged(const TShownState& Shown);
  void CompositingNoteChanged(const QString& Note);
  void TrayAvailableChanged(bool Available);
  // The monitors changed and the program's windows followed.
  void MonitorsApplied();
  // A step was added to the history or taken from it.
  void HistoryChanged(bool CanUndo, bool CanRedo);

private:
  // Brings the windows and the timer in line with DeriveShown.
  void Apply();
  void SetRequests(const TUserRequests& Asked);
  // One of the user's on-or-off requests.
  void Ask(bool TUserRequests::*Request, bool On);
  // The settings window stays on top while drawing and while the flame is
  // kept in front.
  void StackSettingsWindow();
  // Under XWayland: the flame over the drawing window just opened.
  void KeepFlameOverDrawing();
  // Time for the drawing window to reach the screen (ms).
  static constexpr int RemapDelayMs = 300;

  TUserRequests FAsked;
  TDesktopConditions FDesktop;
  TShownState FShown;
  bool FApplying = false; // the windows' own reports are echoes of Apply
  bool FDrawingKeepsSettingsOnTop = false;

  std::unique_ptr<TPartWindow> FPartWindow;
  std::unique_ptr<TPartForm> FEngine;
  std::unique_ptr<TDrawingWindow> FDrawing;
  std::unique_ptr<IUnseenWatch> FUnseen;
  QPointer<QWidget> FSettings;
  QString FDrawingHotKeyText;
  QString FCompositingNote;
  QTimer* FDesktopWatch = nullptr;
  TMonitorAnchor FAnchor;
  bool FMonitorsQueued = false;
  uint64_t FTickCount = 0;
  uint64_t FStepCount = 0;

  TArtState ArtNow() const;
  void PutBack(const TArtState& State);
  // One step back or forward (Step: TArtHistory::Undo or Redo).
  bool Travel(std::optional<TArtState> (TArtHistory::*Step)(TArtState));
  TArtHistory FHistory;
  TArtState FPendingArt; // the state before the change in progress
  TArtChange FPendingChange = TArtChange::Load;
  int FArtChangeDepth = 0;
  bool FRestoringArt = false;
};
