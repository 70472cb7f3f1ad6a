#pragma once
// The settings window: the top row of art operations, the tabs of the style,
// files, system options, help and about, and the owner of the flame window,
// the engine and the animation timer. Closing it only hides it; "Exit" ends
// the program.
#include <QString>
#include <QStringList>
#include <QWidget>

#include <memory>

#include "DrawingWindow.h"
#include "Screens.h"
#include "StyleMapping.h"
#include "Timers.h"
#include "UnseenWatch.h"

class QCheckBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class QTimer;
class QVBoxLayout;
class TPartForm;
class TPartWindow;
class TSettingsComponents;

// What the command line asks for.
struct TCommandLine {
  QStringList Files;        // arguments not starting with "/", in order
  bool StartInTray = false; // "/TRAY" in any letter case
};
TCommandLine ParseCommandLine(const QStringList& Arguments); // without the program name

class TQUELMAMainForm : public QWidget, public IDrawingHost {
public:
  TQUELMAMainForm();
  ~TQUELMAMainForm() override;

  // The creation steps: primitives, floating-point mode, placement, flame
  // window and engine, origin, style, Startup.quelma, command line.
  // AppFolder is the program's folder (trailing separator); Arguments the
  // command line without the program name.
  void FormCreate(const QString& AppFolder, const QStringList& Arguments);

  // ---- Top row ---------------------------------------------------------------
  QPushButton* StartOverBtn;
  QPushButton* ClearFadingBtn;
  QPushButton* CenterArtBtn; // "Center art"
  QPushButton* ExitBtn;
  void StartOverBtnClick();
  void ClearFadingBtnClick();
  void CenterArtBtnClick();
  void ExitBtnClick();

  // ---- Tabs --------------------------------------------------------------------
  QTabWidget* SheetSelect;
  QWidget* FilesSheet;
  QWidget* EmittersSheet;
  QWidget* FadingSheet;
  QWidget* AnimationSheet;
  QWidget* SystemSheet;
  QWidget* HelpSheet;
  QWidget* AboutSheet;
  QWidget* ArtSheet; // exists, never shown

  // ---- System tab ----------------------------------------------------------------
  QCheckBox* DrawingBox;          // "Enable drawing"
  QCheckBox* DisplayBox;          // "Visible"
  QCheckBox* WOEVisibleBox;       // "Visible only when editor visible"
  QCheckBox* WFrontBox;           // "Keep in front"
  QCheckBox* WSolidBox;           // "Solid (no click-through)"
  QCheckBox* AddBox;              // "Additive (only works with some graphic cards)"
  QCheckBox* DebugBox;            // "Debug mode"
  QCheckBox* AutostartBox;        // "Start with the desktop": the autostart entry
  QCheckBox* PauseFullScreenBox;  // "Pause while a full-screen window is active"
  QVBoxLayout* SystemRightColumn; // the hot keys go at its top
  QLabel* CompositingLabel;       // says when per-pixel alpha cannot be seen
  // The note of CompositingLabel; "" hides it. Checked again this often (ms).
  void ShowCompositingNote(const QString& Warning);
  static constexpr int CompositingCheckInterval = 1000;

  // ---- Help and About tabs --------------------------------------------------------
  QPlainTextEdit* HelpMemo;
  QLabel* VersionLabel;
  QPushButton* DeskIconsBtn; // "My desktop icons on fire!"

  // ---- Display options ---------------------------------------------------------------
  bool FSavedDrawing = false;
  bool FSavedDisplay = false;
  void DrawingBoxClick();
  void DisplayBoxClick();
  void WFrontBoxClick();
  void WSolidBoxClick();
  void AutostartBoxClick(); // writes or removes the autostart entry
  // Flame visible := "Visible" and not ("Visible only when editor visible" and
  // this window hidden); written only when it differs.
  void ApplyVisibilityRule();
  // Around the file dialogs and while the flame cannot be seen: save and
  // clear "Enable drawing" and "Visible", then restore them. Suspensions
  // nest: the boxes come back with the last ResumeDisplay.
  void SuspendDisplay();
  void ResumeDisplay();
  int SuspendCount() const { return FSuspendCount; }

  // ---- Pausing while unseen ------------------------------------------------------------
  // The display is suspended while the screen saver (or a lock) is on, and
  // while "Pause while a full-screen window is active" is set and such a
  // window is active: the flame window fades out and hides, which stops the
  // animation timer, so no frame runs and no timer wakes the program. The
  // timer starts afresh when the display comes back: the first frame after
  // is one frame on, whatever the pause lasted.
  static bool PauseWanted(const TUnseenState& State, bool PauseFullScreen);
  // The program installs the platform's watch (CreateUnseenWatch) once its
  // windows are up, so that a pause from the start saves the boxes it shows
  // with; a test puts its own.
  void SetUnseenWatch(std::unique_ptr<IUnseenWatch> Watch);
  IUnseenWatch* UnseenWatch() const { return FUnseen.get(); }
  // Pauses or resumes as the watch and the box say.
  void UpdateUnseenPause();
  bool PausedUnseen() const { return FPausedUnseen; }
  // Animation frames run since the start (for the test readout).
  uint64_t TickCount() const { return FTickCount; }

  // ---- Monitors ---------------------------------------------------------------------------
  // Monitors added, removed, moved or resized: the engine's desktop, the art
  // (which moves with the monitor holding the origin), the flame window, the
  // drawing window and the unseen watch's area follow. Several notices of one
  // change are handled once, from the event loop.
  void MonitorsChanged();
  void ApplyMonitors(const QList<TMonitor>& Monitors, const TRect& Desktop);

  // ---- Style and state files -----------------------------------------------------------
  TStyleSettings FStyle; // the style as the controls hold it
  // Writes the whole style into the engine and the timer interval.
  void ApplyStyle();
  // Sets the style controls from FStyle without running their handlers.
  void StyleToControls();
  // Reads or writes a state file; errors go to the "Debug" message box.
  // Returns whether the file was read or written.
  bool LoadSaveState(const QString& FileName, bool Save);

  // The style tabs, the "Files" tab, the hot keys, the tray icon, the
  // preferences and the debug readout (SettingsComponents.h).
  TSettingsComponents* Components = nullptr;

  // ---- Frame cycle -------------------------------------------------------------------------
  TQuickTimer AnimTimer;
  void AnimTimerTimer();

  // ---- Program ---------------------------------------------------------------------------------
  bool StartInTray = false;
  QString AppFolder;
  QString FVersion;
  // The folder of the shipped state files (trailing separator; "" when there
  // is none), and the first state file called Name in the data folders ("" for
  // none); see DataFolders.h.
  QString DataFolder() const;
  QString FindDataFile(const QString& Name) const;

  TPartWindow* PartWindow() const { return FPartWindow.get(); }
  TPartForm* Engine() const { return FEngine.get(); }
  // The open drawing window, or nullptr.
  TInputForm* DrawingForm() const { return FDrawing ? FDrawing->Form() : nullptr; }
  // "Enable drawing" on and off: the drawing window opened or discarded.
  void ShowDrawingWindow();
  void HideDrawingWindow();

  // ---- IDrawingHost --------------------------------------------------------------------------
  QWidget* SettingsWindow() override { return this; }
  void SetDrawingBox(bool Checked) override;
  void SetDisplayBox(bool Checked) override;
  void SetSettingsStayOnTop(bool OnTop) override;
  void StartOverClick() override;
  QString DrawingHotKeyText() override;
  bool FlameStayOnTop() override;
  void RaiseFlameWindow() override;

  // The links of the Help and About tabs: the program's help in the desktop's
  // viewer, the drawing window hidden first; a message when it cannot be.
  void OpenHelp();

  // Escape: ends drawing when a drawing window exists, else closes (hides).
  void FormKeyDown();
  // Shown, not minimised, on top and active: every way of showing the window
  // comes here, so a window minimised by the window manager comes back.
  void ShowSettingsWindow();
  // Visible and not minimised.
  bool Shown() const;

protected:
  void showEvent(QShowEvent* Event) override;
  void closeEvent(QCloseEvent* Event) override;
  void changeEvent(QEvent* Event) override;

private:
  void BuildTopRow();
  void BuildSystemSheet();
  void BuildHelpSheet();
  void BuildAboutSheet();

  std::unique_ptr<TPartWindow> FPartWindow;
  std::unique_ptr<TPartForm> FEngine;
  std::unique_ptr<TDrawingWindow> FDrawing; // once the engine exists
  bool FExiting = false;
  int FSuspendCount = 0;
  std::unique_ptr<IUnseenWatch> FUnseen;
  bool FPausedUnseen = false;
  uint64_t FTickCount = 0;
  QTimer* FCompositingWatch = nullptr;
  TMonitorAnchor FAnchor; // the origin's monitor
  bool FMonitorsQueued = false;
  void WatchMonitors();
};
