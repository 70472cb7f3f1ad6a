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
  if (QtKey == Qt::Key_Escape && !(Modifiers & ChordModifiers))
    return -1;
  const Qt::KeyboardModifiers Chord = Modifiers & ChordModifiers;
  if ((QtKey == Qt::Key_Backspace || QtKey == Qt::Key_Delete) && Chord == Qt::NoModifier)
    return 0;
  const int S = ShortCutFromKeyCombination(QKeyCombination(Modifiers, Qt::Key(QtKey)));
  return S == 0 ? -1 : S;
}

bool THotKeyEdit::event(QEvent* Event) {
  // Take every combination before the window's shortcuts see it, except Tab
  // and Shift+Tab, which move the focus as everywhere else, and Escape.
  if (Event->type() == QEvent::ShortcutOverride) {
    auto* Key = static_cast<QKeyEvent*>(Event);
    if (MovesFocus(Key->key(), Key->modifiers()))
      return QLineEdit::event(Event);
    if (ShortCutForKey(Key->key(), Key->modifiers()) >= 0) {
      Event->accept();
      return true;
    }
    // Escape: the value stays and the hot keys come back; the window is
    // left as it is (the key goes to the window, which has no use for it).
    if (Key->key() == Qt::Key_Escape && !(Key->modifiers() & ChordModifiers)) {
      GiveUpFocus();
      Event->accept();
      return true;
    }
  }
  if (Event->type() == QEvent::KeyPress) {
    auto* Key = static_cast<QKeyEvent*>(Event);
    if ((Key->key() == Qt::Key_Tab || Key->key() == Qt::Key_Backtab) &&
        !MovesFocus(Key->key(), Key->modifiers())) {
      keyPressEvent(Key);
      return true;
    }
  }
  return QLineEdit::event(Event);
}

bool THotKeyEdit::MovesFocus(int QtKey, Qt::KeyboardModifiers Modifiers) {
  return (QtKey == Qt::Key_Tab || QtKey == Qt::Key_Backtab) &&
         !(Modifiers & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
}

QString THotKeyEdit::WhyNotGlobal(int ShortCut) {
  if (ShortCut == 0 || (ShortCut & (scCtrl | scAlt)))
    return QString();
  // F1 to F12 alone are keys of their own; anything else without Ctrl or
  // Alt would take a key that other programs need to be typed.
  const int VK = ShortCut & ~scModifiers;
  if (VK >= 0x70 && VK <= 0x7B && !(ShortCut & scShift))
    return QString();
  return QStringLiteral("%1 cannot be a global hot key: it needs Ctrl or Alt (F1 to F12 may "
                        "stand alone).")
      .arg(ShortCutToText(ShortCut));
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
  if (const QString Why = WhyNotGlobal(S); !Why.isEmpty()) {
    if (OnRefused)
      OnRefused(Why);
    return;
  }
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
