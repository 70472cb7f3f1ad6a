#pragma once
// An edit that takes a key combination as it is pressed: a key with Ctrl or
// Alt (and maybe Shift), or F1 to F12 alone; other keys alone are refused, as
// a global hot key would take them from every program. Backspace or Delete
// alone clears it ("None"). Tab and Shift+Tab move the focus as everywhere.
// Escape leaves the value as it is and gives up the focus, and nothing else.
//
// While an edit has the focus the global hot keys are not grabbed, so it
// never keeps the focus by itself: a click anywhere else, the window losing
// its activation or a page switch takes it away, and only a click, Tab or a
// shortcut gives it back.
#include <QLineEdit>

#include <functional>

class THotKeyEdit : public QLineEdit {
public:
  explicit THotKeyEdit(QWidget* Parent = nullptr);

  // The shortcut (HotKeys.h encoding); 0 = none.
  int HotKey() const { return FHotKey; }
  // From code: no OnChange.
  void SetHotKey(int ShortCut);

  // The user changed the combination.
  std::function<void(THotKeyEdit* Sender)> OnChange;
  // The edit got (true) or lost (false) the keyboard focus.
  std::function<void(bool Focused)> OnFocusChange;
  // Asked before a pressed combination is taken: a non-empty answer refuses
  // it (the value stays) and is handed to OnRefused.
  std::function<QString(int ShortCut)> Refuse;
  std::function<void(const QString& Why)> OnRefused;

  // What a key press makes of the current value: the new shortcut, or -1 when
  // the key leaves it alone (a modifier alone, Escape, an unknown key).
  static int ShortCutForKey(int QtKey, Qt::KeyboardModifiers Modifiers);
  // Why a shortcut cannot be a global hot key, or "" when it can.
  static QString WhyNotGlobal(int ShortCut);
  // Tab or Shift+Tab without Ctrl, Alt or Super: the focus moves on.
  static bool MovesFocus(int QtKey, Qt::KeyboardModifiers Modifiers);
  static constexpr Qt::KeyboardModifiers ChordModifiers{Qt::ShiftModifier | Qt::ControlModifier |
                                                        Qt::AltModifier};

protected:
  bool event(QEvent* Event) override;
  void keyPressEvent(QKeyEvent* Event) override;
  void contextMenuEvent(QContextMenuEvent* Event) override;
  void focusInEvent(QFocusEvent* Event) override;
  void focusOutEvent(QFocusEvent* Event) override;
  void mousePressEvent(QMouseEvent* Event) override;
  bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
  void GiveUpFocus();
  int FHotKey = 0;
  bool FFocused = false; // OnFocusChange(true) was sent
  bool FClicked = false; // pressed since the last focus change
};
