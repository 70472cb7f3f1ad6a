#pragma once
// The settings window: the top row of art operations and the tabs of the
// style, files, system options, help and about. It shows the program's state
// and sends what the user does to the controller, which owns the engine, the
// flame and drawing windows and the animation timer. Closing it only hides
// it; "Exit" ends the program.
#include <QString>
#include <QStringList>
#include <QWidget>

#include <memory>

#include "FlameController.h"
#include "StyleMapping.h"

class QCheckBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class QTextBrowser;
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

// Why a state file could not be read or written: the message and the reason.
// A caller that takes it also takes the debug readouts the read gives, to
// show them itself: no message box opens during the operation.
struct TFileFailure {
  QString Message;
  QString Reason;
  QStringList DebugMessages;
};

class TQUELMAMainForm : public QWidget {
  std::unique_ptr<TFlameController> FOwnController; // when none was given

public:
  // Shows and drives Controller; without one the window makes its own.
  explicit TQUELMAMainForm(TFlameController* Controller = nullptr);
  ~TQUELMAMainForm() override;
  // The owner of the program's state.
  TFlameController& Controller;

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
  // The note of CompositingLabel; "" hides it.
  void ShowCompositingNote(const QString& Warning);

  // ---- Help and About tabs --------------------------------------------------------
  QPlainTextEdit* HelpMemo;
  QTextBrowser* ManualView;
  QLabel* VersionLabel;
  QPushButton* DeskIconsBtn; // "My desktop icons on fire!"

  // ---- Display options ---------------------------------------------------------------
  // The boxes send the user's requests to the controller; what the
  // controller reports sets them without running these again.
  void DrawingBoxClick();
  void DisplayBoxClick();
  void WFrontBoxClick();
  void WSolidBoxClick();
  void AutostartBoxClick(); // writes or removes the autostart entry
  // "Visible only when editor visible" acts as the window is shown or closed.
  void ApplyVisibilityRule();
  // Around the file dialogs: nothing shows until the last resume; the boxes
  // keep what the user asked. Suspensions nest.
  void SuspendDisplay() { Controller.SuspendDisplay(); }
  void ResumeDisplay() { Controller.ResumeDisplay(); }
  int SuspendCount() const { return Controller.SuspendCount(); }
  // The boxes as the controller reports the user's requests.
  void ShowRequests(const TUserRequests& Asked);

  // ---- Pausing while unseen ------------------------------------------------------------
  // While the screen saver (or a lock) is on, and while "Pause while a
  // full-screen window is active" is set and such a window is active, the
  // controller hides the flame and the drawing window and no frame runs.
  void SetUnseenWatch(std::unique_ptr<IUnseenWatch> Watch) {
    Controller.SetUnseenWatch(std::move(Watch));
  }
  IUnseenWatch* UnseenWatch() const { return Controller.UnseenWatch(); }
  bool PausedUnseen() const { return Controller.PausedUnseen(); }
  // Animation frames run since the start (for the test readout).
  uint64_t TickCount() const { return Controller.TickCount(); }

  // ---- Monitors ---------------------------------------------------------------------------
  void MonitorsChanged() { Controller.MonitorsChanged(); }
  void ApplyMonitors(const QList<TMonitor>& Monitors, const TRect& Desktop) {
    Controller.ApplyMonitors(Monitors, Desktop);
  }
  // The whole window on a screen: moved onto the nearest one when it lies
  // partly or wholly off every screen (a monitor unplugged, a stored place).
  void KeepOnScreen();
  static constexpr int MonitorsSettleMs = 500;

  // ---- Style and state files -----------------------------------------------------------
  TStyleSettings FStyle; // the style as the controls hold it
  // Writes the whole style into the engine and the timer interval.
  void ApplyStyle();
  // Sets the style controls from FStyle without running their handlers.
  void StyleToControls();
  // Reads or writes a state file; errors and debug readouts go to the
  // "Debug" message box, or to Failure when one is given. Returns whether
  // the file was read or written.
  bool LoadSaveState(const QString& FileName, bool Save, TFileFailure* Failure = nullptr);

  // The style tabs, the "Files" tab, the hot keys, the tray icon, the
  // preferences and the debug readout (SettingsComponents.h).
  TSettingsComponents* Components = nullptr;

  // ---- Frame cycle -------------------------------------------------------------------------
  TQuickTimer& AnimTimer; // the controller's
  void AnimTimerTimer() { Controller.AnimTimerTimer(); }

  // ---- Program ---------------------------------------------------------------------------------
  bool StartInTray = false;
  QString AppFolder;
  QString FVersion;
  // The folder of the shipped state files (trailing separator; "" when there
  // is none), and the first state file called Name in the data folders ("" for
  // none); see DataFolders.h.
  QString DataFolder() const;
  QString FindDataFile(const QString& Name) const;

  TPartWindow* PartWindow() const { return Controller.PartWindow(); }
  TPartForm* Engine() const { return Controller.Engine(); }
  // The open drawing window, or nullptr.
  TInputForm* DrawingForm() const { return Controller.DrawingForm(); }
  // "Enable drawing" on and off: the drawing window opened or discarded.
  void ShowDrawingWindow();
  void HideDrawingWindow();

  // The "Start over" button's action.
  void StartOverClick();

  // The About tab's link and logo: the manual on the Help tab, the drawing
  // window hidden first.
  void OpenHelp();
  // The Help tab's link: the manual as a page in the web browser; a message
  // when it cannot be.
  void OpenManualInBrowser();

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
  void moveEvent(QMoveEvent* Event) override;

private:
  void BuildTopRow();
  void BuildSystemSheet();
  void BuildHelpSheet();
  void BuildAboutSheet();
  void FollowController();

  bool FExiting = false;
  bool FPlaceWhenFramed = false; // KeepOnScreen again once the frame is known
  bool FFollowsScreen = false;   // its window's screen changes are followed
};
