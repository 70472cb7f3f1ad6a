#include "FlameWindow.h"

TPartWindow::TPartWindow()
    : TLayeredFormEx(nullptr, LayeredWindowFlags() | Qt::WindowStaysOnTopHint), FKeeper(this) {
  setWindowTitle(QStringLiteral("PartForm"));
  FAnimSpeed = 1.0f;
  FKeeper.SetActive(true);
  // Creation event, window side.
  TLayeredFormEx::SetSizeLimits(TRect{16, 16, 16, 16});
  TLayeredFormEx::SetLayeredBounds(TRect{0, 0, 16, 16}, true);
  SetSolid(false);
  FTransition = -1;
}

TPartWindow::~TPartWindow() {
  FKeeper.SetActive(false);
}

void TPartWindow::ReparentToDesktop() {
  hide();
  if (!FReparented) {
    FReparented = true;
    if (parentWidget())
      setParent(nullptr, windowFlags());
  }
}

void TPartWindow::SetStayOnTop(bool Value) {
  FStayOnTop = Value;
  // A window the window manager never sees is stacked by the keeper alone;
  // changing Qt's hint would only make Qt re-create the native window.
  if (!windowFlags().testFlag(Qt::X11BypassWindowManagerHint))
    SetWindowFlagLive(Qt::WindowStaysOnTopHint, Value);
  FKeeper.SetOnTop(Value);
  if (Value)
    BringToFront();
}

void TPartWindow::SetStackCompanions(QWidget* Above, QWidget* Below) {
  FKeeper.SetKeptAbove(Above);
  FKeeper.SetKeptBelow(Below);
}

void TPartWindow::BringToFront() {
  RaiseTopLevel(this);
  FKeeper.Shown();
}

void TPartWindow::DoShow() {
  FormShow();
  TLayeredFormEx::DoShow();
  // Shown at the top of the stack, as any window that appears.
  BringToFront();
}

void TPartWindow::DoHide() {
  FormShow();
  TLayeredFormEx::DoHide();
}

void TPartWindow::FormShow() {
  if (OnAnimTimerEnable)
    OnAnimTimerEnable(isVisible());
}
