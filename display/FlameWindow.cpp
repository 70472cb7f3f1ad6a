#include "FlameWindow.h"

TPartWindow::TPartWindow() : TLayeredFormEx(nullptr, LayeredWindowFlags() | Qt::WindowStaysOnTopHint), FKeeper(this)
{
  setWindowTitle(QStringLiteral("PartForm"));
  FAnimSpeed = 1.0f;
  FKeeper.SetActive(true);
  // Creation event, window side.
  SetMoveArea(TRect{0, 0, 0, 0});
  TLayeredFormEx::SetSizeLimits(TRect{16, 16, 16, 16});
  TLayeredFormEx::SetLayeredBounds(TRect{0, 0, 16, 16}, true);
  SetSolid(false);
  FTransition = -1;
}

TPartWindow::~TPartWindow()
{
  FKeeper.SetActive(false);
}

void TPartWindow::ReparentToDesktop()
{
  hide();
  if (!FReparented) {
    FReparented = true;
    if (parentWidget())
      setParent(nullptr, windowFlags());
  }
}

void TPartWindow::SetStayOnTop(bool Value)
{
  FStayOnTop = Value;
  SetWindowFlagLive(Qt::WindowStaysOnTopHint, Value);
  FKeeper.SetActive(Value);
  if (Value)
    BringToFront();
}

void TPartWindow::BringToFront()
{
  RaiseTopLevel(this);
}

void TPartWindow::DoShow()
{
  FormShow();
  TLayeredFormEx::DoShow();
  if (FStayOnTop)
    BringToFront();
}

void TPartWindow::DoHide()
{
  FormShow();
  TLayeredFormEx::DoHide();
}

void TPartWindow::FormShow()
{
  if (OnAnimTimerEnable)
    OnAnimTimerEnable(isVisible());
}
