#include "HotKeyEdit.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTimer>

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
  if (QtKey == Qt::Key_Escape &&
      !(Modifiers & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier)))
    return -1;
  const Qt::KeyboardModifiers Chord =
      Modifiers & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
  if ((QtKey == Qt::Key_Backspace || QtKey == Qt::Key_Delete) && Chord == Qt::NoModifier)
    return 0;
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
    // Escape: the value stays, the hot keys come back, the window acts.
    if (Key->key() == Qt::Key_Escape)
      GiveUpFocus();
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
    if (Event->key() == Qt::Key_Escape)
      Event->ignore();
    return;
  }
  Event->accept();
  if (S == FHotKey)
    return;
  if (Refuse) {
    const QString Why = Refuse(S);
    if (!Why.isEmpty()) {
      if (OnRefused)
        OnRefused(Why);
      return;
    }
  }
  SetHotKey(S);
  if (OnChange)
    OnChange(this);
}

void THotKeyEdit::contextMenuEvent(QContextMenuEvent* Event) {
  // The line's editing menu would offer cut and paste of text it does not hold.
  Event->accept();
}

void THotKeyEdit::focusInEvent(QFocusEvent* Event) {
  QLineEdit::focusInEvent(Event);
  const bool Clicked = FClicked;
  FClicked = false;
  switch (Event->reason()) {
  case Qt::MouseFocusReason:
  case Qt::TabFocusReason:
  case Qt::BacktabFocusReason:
  case Qt::ShortcutFocusReason:
    break;
  case Qt::ActiveWindowFocusReason:
    // A click on the edit of an inactive window gives it the focus only
    // once the window is activated.
    if (Clicked)
      break;
    [[fallthrough]];
  default:
    // Focus handed back by Qt (a page shown again, the window activated):
    // the user did not ask for the edit.
    QTimer::singleShot(0, this, [this] {
      if (hasFocus() && !FFocused)
        clearFocus();
    });
    return;
  }
  FFocused = true;
  qApp->installEventFilter(this);
  if (OnFocusChange)
    OnFocusChange(true);
}

void THotKeyEdit::focusOutEvent(QFocusEvent* Event) {
  QLineEdit::focusOutEvent(Event);
  if (!FFocused)
    return;
  FFocused = false;
  qApp->removeEventFilter(this);
  // Leaving the window: the focus must not come back with it.
  if (Event->reason() == Qt::ActiveWindowFocusReason)
    QTimer::singleShot(0, this, [this] { clearFocus(); });
  if (OnFocusChange)
    OnFocusChange(false);
}

void THotKeyEdit::mousePressEvent(QMouseEvent* Event) {
  FClicked = true;
  QLineEdit::mousePressEvent(Event);
}

bool THotKeyEdit::eventFilter(QObject* Watched, QEvent* Event) {
  // A press anywhere but on this edit ends the editing, also on places that
  // take no focus themselves (a tab, the page, a label).
  if (Event->type() == QEvent::MouseButtonPress && Watched != this && Watched->isWidgetType() &&
      FFocused) {
    auto* W = static_cast<QWidget*>(Watched);
    if (!isAncestorOf(W))
      GiveUpFocus();
  }
  return QLineEdit::eventFilter(Watched, Event);
}

void THotKeyEdit::GiveUpFocus() {
  if (!hasFocus())
    return;
  // The window itself takes the focus, so Escape and the keys still reach it.
  if (QWidget* W = window(); W && W != this)
    W->setFocus(Qt::OtherFocusReason);
  if (hasFocus())
    clearFocus();
}
