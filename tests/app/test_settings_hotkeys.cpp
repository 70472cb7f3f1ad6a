// Hot keys: the shortcut encoding, the Qt key table both ways, the edit that
// takes any combination, and the registration of the three keys.
#include <gtest/gtest.h>

#include <QKeyEvent>
#include <QKeySequence>
#include <QLineEdit>

#include <vector>

#include "HotKeyEdit.h"
#include "HotKeys.h"
#include "SettingsTestSupport.h"

namespace {

TEST(HotKeyEncoding, DefaultsAndModifiers) {
  EXPECT_EQ(DefaultDrawingHotKey, 16503);
  EXPECT_EQ(DefaultDisplayHotKey, 16502);
  EXPECT_EQ(DefaultEditorHotKey, 16501);
  EXPECT_EQ(ShortCutToHotKey(16503), (THotKey{0x77, ModControl}));
  EXPECT_EQ(ShortCutToHotKey(scShift | scCtrl | scAlt | 'D'),
            (THotKey{'D', ModShift | ModControl | ModAlt}));
  EXPECT_EQ(ShortCutToHotKey(0x74), (THotKey{0x74, 0}));
}

TEST(HotKeyEncoding, QtCombinationsBecomeShortcuts) {
  struct TCase {
    QKeyCombination Combination;
    int ShortCut;
  };
  const TCase Cases[] = {
      {Qt::CTRL | Qt::Key_F8, 16503},
      {Qt::CTRL | Qt::SHIFT | Qt::Key_D, scCtrl | scShift | 0x44},
      {Qt::ALT | Qt::Key_Z, scAlt | 0x5a},
      {QKeyCombination(Qt::Key_F5), 0x74},
      {QKeyCombination(Qt::Key_F24), 0x87},
      {Qt::SHIFT | Qt::Key_Exclam, scShift | 0x31}, // Shift+1 as Qt reports it
      {Qt::SHIFT | Qt::Key_Backtab, scShift | 0x09},
      {Qt::KeypadModifier | Qt::Key_5, 0x65},
      {Qt::KeypadModifier | Qt::Key_Asterisk, 0x6a},
      {Qt::KeypadModifier | Qt::Key_Home, 0x24}, // number pad with NumLock off
      {QKeyCombination(Qt::Key_Asterisk), 0x38},
      {QKeyCombination(Qt::Key_Space), 0x20},
      {Qt::CTRL | Qt::Key_Control, 0}, // a modifier alone
      {QKeyCombination(Qt::Key_VolumeDown), 0},
  };
  for (const TCase& C : Cases) {
    SCOPED_TRACE(QKeySequence(C.Combination).toString().toStdString());
    EXPECT_EQ(ShortCutFromKeyCombination(C.Combination), C.ShortCut);
  }
}

TEST(HotKeyEncoding, EveryCodeOfTheTableGoesToQtAndBack) {
  int Known = 0;
  for (int VK = 1; VK < 256; ++VK) {
    const TQtKey K = VKToQtKey(VK);
    if (K.Key == 0) {
      EXPECT_EQ(VKToKeySym(VK), 0u) << VK;
      continue;
    }
    ++Known;
    EXPECT_EQ(QtKeyToVK(K.Key, K.Keypad), VK) << VK;
    EXPECT_NE(VKToKeySym(VK), 0u) << VK;
    for (int Mods : {0, scShift, scCtrl, scAlt, scShift | scCtrl | scAlt}) {
      const int S = VK | Mods;
      EXPECT_EQ(ShortCutFromKeyCombination(ShortCutToKeyCombination(S)), S) << S;
    }
  }
  EXPECT_GE(Known, 26 + 10 + 24 + 10 + 5 + 32);
  // Letters grab the lower-case symbol, function keys theirs.
  EXPECT_EQ(VKToKeySym('A'), 0x61u);
  EXPECT_EQ(VKToKeySym(0x77), 0xffc5u); // F8
}

TEST(HotKeyEncoding, Texts) {
  EXPECT_EQ(ShortCutToText(0), QStringLiteral("None"));
  EXPECT_EQ(ShortCutToText(16503), QStringLiteral("Ctrl+F8"));
  EXPECT_EQ(ShortCutToText(scCtrl | scShift | 'D'), QStringLiteral("Ctrl+Shift+D"));
  EXPECT_EQ(ShortCutToText(scAlt | 0xff), QStringLiteral("Alt+#255"));
}

class HotKeyEditTest : public SettingsAppTest {
protected:
  void SetUp() override {
    SettingsTestApp();
    Edit.SetHotKey(DefaultDrawingHotKey);
    Edit.OnChange = [this](THotKeyEdit*) { Changes.push_back(Edit.HotKey()); };
  }
  // Sends a key as the keyboard would (the shortcut check first).
  bool Press(int Key, Qt::KeyboardModifiers Mods) {
    QKeyEvent Override(QEvent::ShortcutOverride, Key, Mods);
    QCoreApplication::sendEvent(&Edit, &Override);
    QKeyEvent E(QEvent::KeyPress, Key, Mods);
    QCoreApplication::sendEvent(&Edit, &E);
    return Override.isAccepted();
  }
  THotKeyEdit Edit;
  std::vector<int> Changes;
};

TEST_F(HotKeyEditTest, TakesCombinationsWithCtrlOrAltAndFunctionKeysAlone) {
  std::vector<QString> Refusals;
  Edit.OnRefused = [&](const QString& Why) { Refusals.push_back(Why); };
  struct Case {
    int Key;
    Qt::KeyboardModifiers Mods;
    int Expected; // the value after the press
    bool Refused;
  };
  const Case Cases[] = {
      {Qt::Key_D, Qt::ControlModifier | Qt::ShiftModifier, scCtrl | scShift | 'D', false},
      {Qt::Key_F9, Qt::NoModifier, 0x78, false},   // a function key alone
      {Qt::Key_A, Qt::NoModifier, 0x78, true},     // a letter would be taken from typing
      {Qt::Key_F5, Qt::ShiftModifier, 0x78, true}, // Shift is no chord of its own
      {Qt::Key_Space, Qt::ShiftModifier, 0x78, true},
      {Qt::Key_F13, Qt::NoModifier, 0x78, true}, // beyond F12
      {Qt::Key_Tab, Qt::ControlModifier, scCtrl | 0x09, false},
      {Qt::Key_X, Qt::AltModifier, scAlt | 'X', false},
  };
  for (const Case& C : Cases) {
    SCOPED_TRACE(C.Key);
    const size_t Before = Refusals.size();
    EXPECT_TRUE(Press(C.Key, C.Mods)); // kept from the window's shortcuts
    EXPECT_EQ(Edit.HotKey(), C.Expected);
    EXPECT_EQ(Refusals.size(), Before + (C.Refused ? 1 : 0));
  }
  EXPECT_EQ(Refusals.front(), QStringLiteral("A cannot be a global hot key: it needs Ctrl or Alt "
                                             "(F1 to F12 may stand alone)."));
  EXPECT_EQ(Changes, (std::vector<int>{scCtrl | scShift | 'D', 0x78, scCtrl | 0x09, scAlt | 'X'}));
}

TEST_F(HotKeyEditTest, TabAndShiftTabMoveTheFocus) {
  QWidget Window;
  auto* Before = new QLineEdit(&Window);
  Edit.setParent(&Window);
  auto* After = new QLineEdit(&Window);
  Window.show();
  Window.activateWindow();
  Edit.setFocus(Qt::TabFocusReason);
  // Not taken as a combination: the focus chain has it.
  EXPECT_FALSE(Press(Qt::Key_Tab, Qt::NoModifier));
  EXPECT_EQ(Window.focusWidget(), After);
  Edit.setFocus(Qt::TabFocusReason);
  EXPECT_FALSE(Press(Qt::Key_Backtab, Qt::ShiftModifier));
  EXPECT_EQ(Window.focusWidget(), Before);
  EXPECT_EQ(Edit.HotKey(), DefaultDrawingHotKey);
  EXPECT_TRUE(Changes.empty());
  Edit.setParent(nullptr);
}

TEST_F(HotKeyEditTest, BackspaceClearsModifiersAloneAndEscapeDoNot) {
  Press(Qt::Key_Shift, Qt::ShiftModifier);
  EXPECT_EQ(Edit.HotKey(), DefaultDrawingHotKey);
  // Escape is kept from the window's own Escape (which would hide it).
  EXPECT_TRUE(Press(Qt::Key_Escape, Qt::NoModifier));
  EXPECT_EQ(Edit.HotKey(), DefaultDrawingHotKey);
  Press(Qt::Key_Backspace, Qt::NoModifier);
  EXPECT_EQ(Edit.HotKey(), 0);
  EXPECT_EQ(Edit.text(), QStringLiteral("None"));
  Press(Qt::Key_Backspace, Qt::ControlModifier); // with a modifier it is a key
  EXPECT_EQ(Edit.HotKey(), scCtrl | 0x08);
  Edit.SetHotKey(5); // from code: no change event
  EXPECT_EQ(Changes.size(), 2u);
}

// A backend that records grabs and fails for one shortcut, as a key taken
// by another program would.
struct TFakeBackend : TGlobalHotKeys::IBackend {
  explicit TFakeBackend(std::function<void(int)> F) : Fired(std::move(F)) {}
  bool Available() const override { return true; }
  bool Grab(int Index, THotKey Key) override {
    Log.push_back("grab " + std::to_string(Index) + ":" + std::to_string(Key.Key) + "/" +
                  std::to_string(Key.Modifiers));
    return Key.Key != Taken;
  }
  void Ungrab(int Index) override { Log.push_back("ungrab " + std::to_string(Index)); }
  std::function<void(int)> Fired;
  static inline std::vector<std::string> Log;
  static inline int Taken = -1;
};

TEST(GlobalHotKeys, RegistersNonZeroKeysIgnoresFailuresAndReregisters) {
  TFakeBackend::Log.clear();
  TFakeBackend::Taken = 0x75;
  TFakeBackend* Backend = nullptr;
  TGlobalHotKeys Keys([&](std::function<void(int)> Fired) {
    auto B = std::make_unique<TFakeBackend>(std::move(Fired));
    Backend = B.get();
    return B;
  });
  std::vector<int> Pressed;
  Keys.OnHotKey = [&](int I) { Pressed.push_back(I); };
  Keys.RegisterHotKeys({16503, 0, 16501});
  EXPECT_EQ(TFakeBackend::Log, (std::vector<std::string>{"grab 0:119/2", "grab 2:117/2"}));
  EXPECT_TRUE(Keys.Registered(0));
  EXPECT_FALSE(Keys.Registered(1));
  EXPECT_FALSE(Keys.Registered(2)); // taken elsewhere: silently without effect
  Backend->Fired(0);
  Backend->Fired(2); // not ours
  Backend->Fired(7);
  EXPECT_EQ(Pressed, (std::vector<int>{0}));

  TFakeBackend::Log.clear();
  Keys.RegisterHotKeys({scCtrl | scShift | 'D', 0, 0});
  EXPECT_EQ(TFakeBackend::Log, (std::vector<std::string>{"ungrab 0", "grab 0:68/6"}));
  EXPECT_EQ(std::string(TGlobalHotKeys::AtomNames[0]), "QUELMA toggle drawing");
  EXPECT_EQ(std::string(TGlobalHotKeys::AtomNames[1]), "QUELMA toggle display");
  EXPECT_EQ(std::string(TGlobalHotKeys::AtomNames[2]), "QUELMA toggle editor");
}

TEST(GlobalHotKeys, WithoutX11GrabsFailQuietly) {
  SettingsTestApp(); // offscreen: no X11 connection
  TGlobalHotKeys Keys;
  Keys.RegisterHotKeys({16503, 16502, 16501});
  if (Keys.Available())
    GTEST_SKIP() << "running on X11";
  EXPECT_FALSE(Keys.Registered(0));
}

} // namespace
