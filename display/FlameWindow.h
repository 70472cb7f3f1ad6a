#pragma once
// The flame window: the window side of the flame engine's display. One
// borderless top-level window at exact desktop coordinates that shows the
// engine's surface with per-pixel alpha, lets clicks through unless made
// solid, stays in front on request, has no taskbar entry, is never activated,
// and fades in and out.
//
// The engine (TPartForm) is built on it: new TPartForm(*Window).
#include <functional>

#include "DesktopWindowing.h"
#include "FadingWindow.h"
#include "FlameDisplay.h"

class TPartWindow : public TLayeredFormEx, public IFlameDisplay {
public:
  // The window's creation: caption "PartForm", stay-on-top, click-through,
  // 16 x 16 size limits, placed at (0, 0, 16, 16). Not shown.
  TPartWindow();
  ~TPartWindow() override;

  // ---- IFlameDisplay -------------------------------------------------------
  TDIBmp& Surface() override { return FSurface; }
  TRect LayeredBounds() const override { return FLayeredBounds; }
  void SetSizeLimits(const TRect& R) override { TLayeredFormEx::SetSizeLimits(R); }
  void SetLayeredBounds(const TRect& R, bool Present) override {
    TLayeredFormEx::SetLayeredBounds(R, Present);
  }
  void Present() override { TLayeredFormEx::Present(); }

  // Hides the window and detaches it from every application window, so it is
  // neither hidden nor minimised with them.
  void ReparentToDesktop();

  // Keep in front: above all other windows while set.
  bool StayOnTop() const { return FStayOnTop; }
  void SetStayOnTop(bool Value);
  // Raises the shown window to the top now, as a window that was just shown
  // (under the settings window; over the drawing window).
  void BringToFront();
  // The program's windows the flame keeps its place between: Above (the
  // settings window) stays over it while shown, Below (the drawing window)
  // right under it. Either may be nullptr.
  void SetStackCompanions(QWidget* Above, QWidget* Below);

  // The show and hide events' handler: runs with true when the window became
  // visible and false when it was hidden. The program enables its animation
  // timer with it, so that frames run exactly while the window is visible.
  std::function<void(bool Visible)> OnAnimTimerEnable;

protected:
  void DoShow() override;
  void DoHide() override;
  void FormShow();

private:
  TStayOnTopKeeper FKeeper;
  bool FStayOnTop = true;
  bool FReparented = false;
};
