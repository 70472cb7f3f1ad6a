#pragma once
// An edit that takes a key combination as it is pressed: any key with or
// without Shift, Ctrl and Alt. Backspace or Delete alone clears it ("None").
// Escape is left to the window (it closes the settings window or ends
// drawing).
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

  // What a key press makes of the current value: the new shortcut, or -1 when
  // the key leaves it alone (a modifier alone, Escape, an unknown key).
  static int ShortCutForKey(int QtKey, Qt::KeyboardModifiers Modifiers);

protected:
  bool event(QEvent* Event) override;
  void keyPressEvent(QKeyEvent* Event) override;
  void contextMenuEvent(QContextMenuEvent* Event) override;
  void focusInEvent(QFocusEvent* Event) override;
  void focusOutEvent(QFocusEvent* Event) override;

private:
  int FHotKey = 0;
};
