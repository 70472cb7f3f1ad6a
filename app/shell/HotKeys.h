#pragma once
// Global hot keys. A shortcut is stored as a virtual-key code in the low bits
// with 0x2000 Shift, 0x4000 Ctrl and 0x8000 Alt, so a stored preference means
// the same key everywhere; 0 is no shortcut. One table maps Qt keys to these
// codes and back (and to the X11 key symbols the grabs need).
#include <QKeyCombination>
#include <QObject>
#include <QString>

#include <array>
#include <functional>
#include <memory>

inline constexpr int scShift = 0x2000;
inline constexpr int scCtrl = 0x4000;
inline constexpr int scAlt = 0x8000;
inline constexpr int scModifiers = scShift | scCtrl | scAlt;

// Modifier bits of a registered hot key.
inline constexpr unsigned ModAlt = 1;
inline constexpr unsigned ModControl = 2;
inline constexpr unsigned ModShift = 4;

inline constexpr int DefaultDrawingHotKey = scCtrl | 0x77; // Ctrl+F8, 16503
inline constexpr int DefaultDisplayHotKey = scCtrl | 0x76; // Ctrl+F7, 16502
inline constexpr int DefaultEditorHotKey = scCtrl | 0x75;  // Ctrl+F6, 16501

struct THotKey {
  int Key = 0;            // virtual-key code
  unsigned Modifiers = 0; // ModAlt | ModControl | ModShift
  friend bool operator==(const THotKey&, const THotKey&) = default;
};

// The shortcut without its modifier bits, and the modifiers as hot-key bits.
THotKey ShortCutToHotKey(int ShortCut);

// Virtual-key code of a Qt key (Keypad: the key came from the number pad);
// 0 when the table has none.
int QtKeyToVK(int QtKey, bool Keypad = false);
// Qt key of a virtual-key code, and whether it is a number-pad key; Key 0
// when the table has none.
struct TQtKey {
  int Key = 0;
  bool Keypad = false;
};
TQtKey VKToQtKey(int VK);
// X11 key symbol of a virtual-key code; 0 when the table has none.
unsigned VKToKeySym(int VK);

// A pressed combination as a shortcut; 0 for a key the table does not know
// or a modifier pressed alone.
int ShortCutFromKeyCombination(QKeyCombination Combination);
// A shortcut as a Qt combination (Qt::Key_unknown for 0 or an unknown code).
QKeyCombination ShortCutToKeyCombination(int ShortCut);
// "Ctrl+F8"; "None" for 0.
QString ShortCutToText(int ShortCut);

// The three global hot keys of the program, in the order drawing, display,
// settings window. Registering takes the key for this program on the whole
// desktop; a key another program holds is left alone without a message.
class TGlobalHotKeys : public QObject {
public:
  static constexpr int Count = 3;
  // Names of the three hot keys' identifiers (atoms).
  static const std::array<const char*, Count> AtomNames;

  explicit TGlobalHotKeys(QObject* Parent = nullptr);
  ~TGlobalHotKeys() override;

  // Runs with the index (0 drawing, 1 display, 2 settings) of a pressed key.
  std::function<void(int Index)> OnHotKey;

  // Unregisters all, then registers the three shortcuts (0 leaves a slot
  // empty). Failures are ignored.
  void RegisterHotKeys(const std::array<int, Count>& ShortCuts);
  void UnregisterHotKeys();
  // Whether slot Index holds a key now (a failed or empty one does not).
  bool Registered(int Index) const;
  // Whether this platform has global hot keys at all.
  bool Available() const;

  // The platform's part: grabs keys and reports presses by slot index.
  class IBackend {
  public:
    virtual ~IBackend() = default;
    virtual bool Available() const = 0;
    virtual bool Grab(int Index, THotKey Key) = 0; // false: not taken
    virtual void Ungrab(int Index) = 0;
  };
  // The platform's backend (platform/x11 or platform/null); Fired runs with
  // the slot index of a pressed key.
  static std::unique_ptr<IBackend> CreateBackend(std::function<void(int Index)> Fired);
  // With another backend (tests).
  using TBackendFactory = std::function<std::unique_ptr<IBackend>(std::function<void(int)> Fired)>;
  TGlobalHotKeys(const TBackendFactory& Factory, QObject* Parent = nullptr);

private:
  std::unique_ptr<IBackend> FBackend;
  std::array<bool, Count> FRegistered{};
};
