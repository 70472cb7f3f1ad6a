#pragma once
// The parts of the settings window that live outside its own files: the
// style tabs, the "Files" tab, the global hot keys with their edits, the tray
// icon, the preferences, the debug readout, the About tab's contents, and the
// hand-over and commands from later starts. Built once the window's sheets
// exist; the window calls the few entry points below from its creation, its
// style and state-file operations and its destruction.
#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include "DebugReadout.h"
#include "HelpAbout.h"
#include "SingleInstance.h"

class QLabel;
class QSettings;
class TFilesTab;
class TGlobalHotKeys;
class THotKeyEdit;
class TQUELMAMainForm;
class TStyleTabs;
class TTray;
struct TStateFileOptions;

class TSettingsComponents : public QObject {
public:
  // Builds the style tabs, the "Files" tab, the hot-key edits (in the System
  // tab's right column), the About tab, the tray icon and the hot keys.
  explicit TSettingsComponents(TQUELMAMainForm& Form);
  ~TSettingsComponents() override;

  TStyleTabs* StyleTabs;
  TFilesTab* FilesTab;
  THotKeyEdit* DrawingHotKey; // "Toggle drawing", Ctrl+F8
  THotKeyEdit* DisplayHotKey; // "Toggle visibility", Ctrl+F7
  THotKeyEdit* EditorHotKey;  // "Toggle settings", Ctrl+F6
  QLabel* HotKeyNote;         // why a combination was refused
  QLabel* HotKeysTakenNote;   // keys held by other programs; hidden when none
  QLabel* HotKeysSessionNote; // where the hot keys cannot work everywhere; hidden when ""
  TGlobalHotKeys* HotKeys;
  TTray* Tray;
  TDebugReadout Readout;
  TAboutSheet About;

  // ---- Entry points for the settings window -----------------------------------
  // Once the engine and the flame window exist: the debug caption.
  void EngineCreated();
  // Preferences: placement, hot keys, the five System boxes. Store: nullptr
  // for the user's store.
  void LoadSavePrefs(bool Save, QSettings* Store = nullptr);
  // RegisterHotKeys: the three edits' shortcuts; failures are ignored.
  void RegisterHotKeys();
  // As the window ends: the keys are released and the edits no longer
  // register them.
  void UnregisterHotKeys();
  // Shows the tray icon; without a notification area says so once on
  // standard error.
  void ShowTray();
  // "Load style" and "Load art" into the state file's options.
  void PrepareStateFile(TStateFileOptions& Options) const;
  // A second instance started: with a path, a visible settings window comes
  // to the front and the path is loaded; without one the settings window
  // shows, as the program's only way back when no tray holds its icon.
  // Returns why the path could not be loaded ("" when it was); the message
  // box about it shows once the second instance has its answer.
  QString HandOver(const QString& Path);
  // A command from the command line ("quelma --toggle-drawing"): what its hot
  // key, tray entry or button does.
  void RemoteCommand(TRemoteCommand Command);

  // ---- Actions ------------------------------------------------------------------
  void SettingsMenuClick(); // invert the settings window's visibility
  void TrayIconClick();     // a visible settings window comes to the front
  // Inverts the settings window's visibility as it was before the click
  // that began the double click (which may have restored it).
  void TrayIconDblClick();
  void HotKeyPressed(int Index);

private:
  TQUELMAMainForm& FForm;
  bool FTrayNoteGiven = false;
  bool FEditing = false; // a hot-key edit has the focus
  bool FShownAtClick = false;
  QElapsedTimer FClickTime; // since the tray icon's last click
};
