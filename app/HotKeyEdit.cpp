#include "HotKeyEdit.h"

#include <QContextMenuEvent>
#include <QKeyEvent>

#include "HotKeys.h"

THotKeyEdit::THotKeyEdit(QWidget* Parent) : QLineEdit(Parent) {
  // Typed text never reaches the line itself: it only shows the combination.
  setReadOnly(true);
  setText(ShortCutToText(0));
}

void THotKeyEdit::SetHotKey(int ShortCut) {
  FHotKey = ShortCut;
  setText(ShortCutToText(ShortCut));
}

int THotKeyEdit::ShortCutForKey(int QtKey, Qt::KeyboardModifiers Modifiers) {
  if (QtKey == Qt::Key_Escape && !(Modifiers & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier)))
    return -1;
  const Qt::KeyboardModifiers Chord = Modifiers & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
  if ((QtKey == Qt::Key_Backspace || QtKey == Qt::Key_Delete) && Chord == Qt::NoModifier) return 0;
  const int S = ShortCutFromKeyCombination(QKeyCombination(Modifiers, Qt::Key(QtKey)));
  return S == 0 ? -1 : S;
}

bool THotKeyEdit::event(QEvent* Event) {
  // Take every combination before the window's shortcuts and the focus chain
  // (Tab) see it, except a plain Escape.
  if (Event->type() == QEvent::ShortcutOverride) {
    auto* Key = static_cast<QKeyEvent*>(Event);
    if (ShortCutForKey(Key->key(), Key->modifiers()) >= 0) {
      Event->accept();
      return true;
    }
  }
  if (Event->type() == QEvent::KeyPress) {
    auto* Key = static_cast<QKeyEvent*>(Event);
    if (Key->key() == Qt::Key_Tab || Key->key() == Qt::Key_Backtab) {
      keyPressEvent(Key);
      return true;
    }
  }
  return QLineEdit::event(Event);
}

void THotKeyEdit::keyPressEvent(QKeyEvent* Event) {
  const int S = ShortCutForKey(Event->key(), Event->modifiers());
  if (S < 0) {
    // A modifier alone or an unknown key: nothing to take; Escape goes on.
    if (Event->key() == Qt::Key_Escape) Event->ignore();
    return;
  }
  Event->accept();
  if (S == FHotKey) return;
  SetHotKey(S);
  if (OnChange) OnChange(this);
}

void THotKeyEdit::contextMenuEvent(QContextMenuEvent* Event) {
  // The line's editing menu would offer cut and paste of text it does not hold.
  Event->accept();
}

void THotKeyEdit::focusInEvent(QFocusEvent* Event) {
  QLineEdit::focusInEvent(Event);
  if (OnFocusChange) OnFocusChange(true);
}

void THotKeyEdit::focusOutEvent(QFocusEvent* Event) {
  QLineEdit::focusOutEvent(Event);
  if (OnFocusChange) OnFocusChange(false);
}
