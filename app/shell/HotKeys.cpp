#include "HotKeys.h"

#include <QKeySequence>

namespace {

// One row per key or run of consecutive keys: Count Qt keys from Qt map to
// Count virtual-key codes from VK and X11 key symbols from KeySym. A code's
// first row is the one used to go back from the code to Qt and X11; later
// rows only add further Qt keys for it (shifted symbols of a US layout, the
// number pad's Enter).
struct TKeyRow {
  int Qt;
  int VK;
  int Count;
  unsigned KeySym;
  bool Keypad;
};

constexpr TKeyRow KeyTable[] = {
    {Qt::Key_A, 0x41, 26, 0x61, false},        // letters (X11: lower case)
    {Qt::Key_0, 0x30, 10, 0x30, false},        // digits
    {Qt::Key_F1, 0x70, 24, 0xffbe, false},     // F1..F24
    {Qt::Key_0, 0x60, 10, 0xffb0, true},       // number pad 0..9
    {Qt::Key_Asterisk, 0x6a, 1, 0xffaa, true}, // number pad *
    {Qt::Key_Plus, 0x6b, 1, 0xffab, true},     // number pad +
    {Qt::Key_Minus, 0x6d, 1, 0xffad, true},    // number pad -
    {Qt::Key_Period, 0x6e, 1, 0xffae, true},   // number pad decimal point
    {Qt::Key_Slash, 0x6f, 1, 0xffaf, true},    // number pad /
    {Qt::Key_Backspace, 0x08, 1, 0xff08, false},
    {Qt::Key_Tab, 0x09, 1, 0xff09, false},
    {Qt::Key_Return, 0x0d, 1, 0xff0d, false},
    {Qt::Key_Pause, 0x13, 1, 0xff13, false},
    {Qt::Key_CapsLock, 0x14, 1, 0xffe5, false},
    {Qt::Key_Escape, 0x1b, 1, 0xff1b, false},
    {Qt::Key_Space, 0x20, 1, 0x20, false},
    {Qt::Key_PageUp, 0x21, 1, 0xff55, false},
    {Qt::Key_PageDown, 0x22, 1, 0xff56, false},
    {Qt::Key_End, 0x23, 1, 0xff57, false},
    {Qt::Key_Home, 0x24, 1, 0xff50, false},
    {Qt::Key_Left, 0x25, 1, 0xff51, false},
    {Qt::Key_Up, 0x26, 1, 0xff52, false},
    {Qt::Key_Right, 0x27, 1, 0xff53, false},
    {Qt::Key_Down, 0x28, 1, 0xff54, false},
    {Qt::Key_Print, 0x2c, 1, 0xff61, false},
    {Qt::Key_Insert, 0x2d, 1, 0xff63, false},
    {Qt::Key_Delete, 0x2e, 1, 0xffff, false},
    {Qt::Key_Menu, 0x5d, 1, 0xff67, false},
    {Qt::Key_NumLock, 0x90, 1, 0xff7f, false},
    {Qt::Key_ScrollLock, 0x91, 1, 0xff14, false},
    {Qt::Key_Semicolon, 0xba, 1, 0x3b, false},
    {Qt::Key_Equal, 0xbb, 1, 0x3d, false},
    {Qt::Key_Comma, 0xbc, 1, 0x2c, false},
    {Qt::Key_Minus, 0xbd, 1, 0x2d, false},
    {Qt::Key_Period, 0xbe, 1, 0x2e, false},
    {Qt::Key_Slash, 0xbf, 1, 0x2f, false},
    {Qt::Key_QuoteLeft, 0xc0, 1, 0x60, false},
    {Qt::Key_BracketLeft, 0xdb, 1, 0x5b, false},
    {Qt::Key_Backslash, 0xdc, 1, 0x5c, false},
    {Qt::Key_BracketRight, 0xdd, 1, 0x5d, false},
    {Qt::Key_Apostrophe, 0xde, 1, 0x27, false},
    // Further Qt keys for codes above: what Qt reports with Shift held.
    {Qt::Key_Backtab, 0x09, 1, 0xff09, false},
    {Qt::Key_Enter, 0x0d, 1, 0xff0d, false},
    {Qt::Key_Enter, 0x0d, 1, 0xff8d, true},
    {Qt::Key_Comma, 0x6e, 1, 0xffae, true}, // decimal comma of some layouts
    {Qt::Key_ParenRight, 0x30, 1, 0x30, false},
    {Qt::Key_Exclam, 0x31, 1, 0x31, false},
    {Qt::Key_At, 0x32, 1, 0x32, false},
    {Qt::Key_NumberSign, 0x33, 1, 0x33, false},
    {Qt::Key_Dollar, 0x34, 1, 0x34, false},
    {Qt::Key_Percent, 0x35, 1, 0x35, false},
    {Qt::Key_AsciiCircum, 0x36, 1, 0x36, false},
    {Qt::Key_Ampersand, 0x37, 1, 0x37, false},
    {Qt::Key_Asterisk, 0x38, 1, 0x38, false},
    {Qt::Key_ParenLeft, 0x39, 1, 0x39, false},
    {Qt::Key_Colon, 0xba, 1, 0x3b, false},
    {Qt::Key_Plus, 0xbb, 1, 0x3d, false},
    {Qt::Key_Less, 0xbc, 1, 0x2c, false},
    {Qt::Key_Underscore, 0xbd, 1, 0x2d, false},
    {Qt::Key_Greater, 0xbe, 1, 0x2e, false},
    {Qt::Key_Question, 0xbf, 1, 0x2f, false},
    {Qt::Key_AsciiTilde, 0xc0, 1, 0x60, false},
    {Qt::Key_BraceLeft, 0xdb, 1, 0x5b, false},
    {Qt::Key_Bar, 0xdc, 1, 0x5c, false},
    {Qt::Key_BraceRight, 0xdd, 1, 0x5d, false},
    {Qt::Key_QuoteDbl, 0xde, 1, 0x27, false},
};

const TKeyRow* RowOfQtKey(int QtKey, bool Keypad, int& Offset) {
  for (const TKeyRow& R : KeyTable)
    if (R.Keypad == Keypad && QtKey >= R.Qt && QtKey < R.Qt + R.Count) {
      Offset = QtKey - R.Qt;
      return &R;
    }
  return nullptr;
}

const TKeyRow* RowOfVK(int VK, int& Offset) {
  for (const TKeyRow& R : KeyTable)
    if (VK >= R.VK && VK < R.VK + R.Count) {
      Offset = VK - R.VK;
      return &R;
    }
  return nullptr;
}

} // namespace

THotKey ShortCutToHotKey(int ShortCut) {
  THotKey K;
  K.Key = ShortCut & ~scModifiers & 0xffff;
  if (ShortCut & scShift)
    K.Modifiers |= ModShift;
  if (ShortCut & scCtrl)
    K.Modifiers |= ModControl;
  if (ShortCut & scAlt)
    K.Modifiers |= ModAlt;
  return K;
}

int QtKeyToVK(int QtKey, bool Keypad) {
  int Offset = 0;
  const TKeyRow* R = RowOfQtKey(QtKey, Keypad, Offset);
  // Number-pad keys without a number-pad code of their own (Home, arrows with
  // NumLock off) are the ordinary keys.
  if (!R && Keypad)
    R = RowOfQtKey(QtKey, false, Offset);
  return R ? R->VK + Offset : 0;
}

TQtKey VKToQtKey(int VK) {
  int Offset = 0;
  const TKeyRow* R = RowOfVK(VK, Offset);
  if (!R)
    return {};
  return {R->Qt + Offset, R->Keypad};
}

unsigned VKToKeySym(int VK) {
  int Offset = 0;
  const TKeyRow* R = RowOfVK(VK, Offset);
  return R ? R->KeySym + unsigned(Offset) : 0u;
}

int ShortCutFromKeyCombination(QKeyCombination Combination) {
  const int Key = int(Combination.key());
  switch (Key) {
  case Qt::Key_Shift:
  case Qt::Key_Control:
  case Qt::Key_Alt:
  case Qt::Key_Meta:
  case Qt::Key_AltGr:
    return 0;
  default:
    break;
  }
  const Qt::KeyboardModifiers M = Combination.keyboardModifiers();
  const int VK = QtKeyToVK(Key, M.testFlag(Qt::KeypadModifier));
  if (VK == 0)
    return 0;
  int ShortCut = VK;
  if (M.testFlag(Qt::ShiftModifier))
    ShortCut |= scShift;
  if (M.testFlag(Qt::ControlModifier))
    ShortCut |= scCtrl;
  if (M.testFlag(Qt::AltModifier))
    ShortCut |= scAlt;
  return ShortCut;
}

QKeyCombination ShortCutToKeyCombination(int ShortCut) {
  const TQtKey K = VKToQtKey(ShortCut & ~scModifiers & 0xffff);
  if (ShortCut == 0 || K.Key == 0)
    return QKeyCombination(Qt::Key_unknown);
  Qt::KeyboardModifiers M;
  if (ShortCut & scShift)
    M |= Qt::ShiftModifier;
  if (ShortCut & scCtrl)
    M |= Qt::ControlModifier;
  if (ShortCut & scAlt)
    M |= Qt::AltModifier;
  if (K.Keypad)
    M |= Qt::KeypadModifier;
  return QKeyCombination(M, Qt::Key(K.Key));
}

QString ShortCutToText(int ShortCut) {
  const QKeyCombination C = ShortCutToKeyCombination(ShortCut);
  if (C.key() == Qt::Key_unknown) {
    if (ShortCut == 0)
      return QStringLiteral("None");
    // A code the table does not know (stored by hand): show it as a number.
    QString Text;
    if (ShortCut & scCtrl)
      Text += QStringLiteral("Ctrl+");
    if (ShortCut & scShift)
      Text += QStringLiteral("Shift+");
    if (ShortCut & scAlt)
      Text += QStringLiteral("Alt+");
    return Text + QStringLiteral("#%1").arg(ShortCut & ~scModifiers & 0xffff);
  }
  QString Text = QKeySequence(C).toString(QKeySequence::PortableText);
  if (C.keyboardModifiers().testFlag(Qt::KeypadModifier) && !Text.contains(QLatin1String("Num")))
    Text.insert(Text.lastIndexOf(QLatin1Char('+')) + 1, QStringLiteral("Num "));
  return Text;
}

// ---- The three hot keys -----------------------------------------------------------

const std::array<const char*, TGlobalHotKeys::Count> TGlobalHotKeys::AtomNames = {
    "QUELMA toggle drawing", "QUELMA toggle display", "QUELMA toggle editor"};

TGlobalHotKeys::TGlobalHotKeys(QObject* Parent)
    : TGlobalHotKeys(&TGlobalHotKeys::CreateBackend, Parent) {}

TGlobalHotKeys::TGlobalHotKeys(const TBackendFactory& Factory, QObject* Parent) : QObject(Parent) {
  FBackend = Factory([this](int Index) {
    if (Index >= 0 && Index < Count && FRegistered[size_t(Index)] && OnHotKey)
      OnHotKey(Index);
  });
}

TGlobalHotKeys::~TGlobalHotKeys() {
  UnregisterHotKeys();
}

void TGlobalHotKeys::RegisterHotKeys(const std::array<int, Count>& ShortCuts) {
  UnregisterHotKeys();
  if (!FBackend)
    return;
  for (int i = 0; i < Count; ++i) {
    const int S = ShortCuts[size_t(i)];
    if (S == 0)
      continue;
    FRegistered[size_t(i)] = FBackend->Grab(i, ShortCutToHotKey(S));
  }
}

void TGlobalHotKeys::UnregisterHotKeys() {
  for (int i = 0; i < Count; ++i) {
    if (FRegistered[size_t(i)] && FBackend)
      FBackend->Ungrab(i);
    FRegistered[size_t(i)] = false;
  }
}

bool TGlobalHotKeys::Registered(int Index) const {
  return Index >= 0 && Index < Count && FRegistered[size_t(Index)];
}

bool TGlobalHotKeys::Available() const {
  return FBackend && FBackend->Available();
}
