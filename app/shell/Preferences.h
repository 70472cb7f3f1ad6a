#pragma once
// Preferences that outlive the program: the settings window's placement, the
// three global hot keys and five check boxes of the "System" tab. They live
// in the user's native settings store under the organisation "QUELMA" (a
// per-user file under the XDG config folder on Linux), every value a string
// holding a decimal integer. Read once at start-up and written once at exit.
#include <QString>

#include <array>
#include <memory>
#include <stdexcept>
#include <vector>

class QCheckBox;
class QSettings;
class QWidget;
class THotKeyEdit;

// Raised inside the preference code for a store that cannot be used or a
// value that is not a string; the public operations end silently on it.
class EPrefsError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

// The user's preference store ("Software\QUELMA").
std::unique_ptr<QSettings> OpenPrefs();

// The settings window's component name: the group of its placement.
inline constexpr const char* MainFormPlacementName = "QUELMAMainForm";

// Reading a value: the string converted to an integer; Default when missing
// or not an integer. Raises EPrefsError for a value that is not a string.
int ReadPrefInt(QSettings& Key, const QString& Name, int Default);
// Writing a value: its decimal text, replacing what was there.
void WritePrefInt(QSettings& Key, const QString& Name, int Value);

// Placement in the group Key/Name (Name: the window's object name, else
// "QUELMAMainForm"): "Left", "Top", "Width", "Height", "Parent", "State",
// "Visible", each defaulting to the window's current value.
void LoadFormPlacement(QWidget& Window, QSettings& Key);
enum TPlacementPart : unsigned { fpState = 0, fpLeftTop = 1 };
// Writes "State" always, then with fpLeftTop "Left" and "Top" (of the
// restored rectangle when maximised). Width and height are never written.
void SaveFormPlacement(QWidget& Window, QSettings& Key, unsigned Components);

// One value per box, named after the box (its object name): 1 set, 0 clear.
// Reading applies only values that exist: 1 sets the box, any other integer
// clears it (its click handling runs as for a click).
void LoadControlStates(const std::vector<QCheckBox*>& Boxes, QSettings& Key);
void SaveControlStates(const std::vector<QCheckBox*>& Boxes, QSettings& Key);

// What LoadSavePrefs reads and writes.
struct TPrefsTargets {
  QWidget* Window = nullptr;             // the settings window
  std::array<THotKeyEdit*, 3> HotKeys{}; // drawing, display, settings
  std::array<const char*, 3> HotKeyNames{"DrawingHotKey", "DisplayHotKey", "EditorHotKey"};
  // WOEVisibleBox, WFrontBox, WSolidBox, AddBox, PauseFullScreenBox
  std::vector<QCheckBox*> Boxes;
};

// Reads (Save false) or writes everything, in the order placement, hot keys,
// check boxes; ends silently at the first failure. Key: the store to use,
// nullptr for OpenPrefs(). A store that cannot be read is left as it is and
// gives the defaults.
void LoadSavePrefs(const TPrefsTargets& Targets, bool Save, QSettings* Key = nullptr);
