#pragma once
// What the flame window needs of the windowing system beyond plain Qt: exact
// desktop placement above every other window, whatever window manager runs,
// and knowing whether per-pixel alpha can be seen at all.
//
// On X11 the flame window is unmanaged (override-redirect), so no window
// manager moves, decorates or restacks it; keeping it in front is then our own
// job (TStayOnTopKeeper). Elsewhere these fall back to what Qt offers.
#include <QByteArray>
#include <QRect>
#include <QString>
#include <Qt>

#include <memory>
#include <vector>

#include "AlphaRegion.h"

class QWidget;

// True when the program runs on an X11 display (Qt's xcb platform).
bool RunningOnX11();

// Whether an X server answers at the display named Display (as DISPLAY
// names it), asked before Qt starts; true where the platform has no X11.
bool DisplayAnswers(const QByteArray& Display);

// The flags of a borderless, unfocusable tool window placed at exact desktop
// coordinates: on X11 it bypasses the window manager.
Qt::WindowFlags LayeredWindowFlags();

enum class TAlphaCompositing {
  Unknown, // not an X11 display: the platform composites or cannot tell
  Active,  // a compositing manager runs: per-pixel alpha is seen
  Missing, // plain X11: translucent pixels show without blending
};

// Asks the display now (X11: is the selection _NET_WM_CM_S<screen> owned?).
TAlphaCompositing AlphaCompositing();

// The sentence to tell the user when per-pixel alpha cannot be seen, else "".
QString PerPixelAlphaWarning();

// PerPixelAlphaWarning(), written to standard error the first time it is not
// empty (once per process). Returns the text for the settings window.
QString ReportPerPixelAlphaOnce();

// Raises a shown top-level window to the top of the stack.
void RaiseTopLevel(QWidget* Window);

// Makes a shown window take mouse input only on Rects (window coordinates,
// banded as OpaqueRegion makes them); clicks elsewhere reach the windows
// below. nullptr: input on the whole window again. False where the platform
// cannot do it (then the whole window takes input).
bool SetWindowInputRegion(QWidget* Window, const std::vector<TRegionRect>* Rects);

// What the window system says of a top-level window, for diagnostics and the
// tests under a real display.
struct TNativeWindowState {
  bool Known = false;     // the platform could tell (X11, window created)
  QRect Geometry;         // the window's rectangle in desktop coordinates
  bool Unmanaged = false; // no window manager handles it (override-redirect)
  bool Mapped = false;    // shown on the display
  bool OnTop = false;     // nothing is stacked above it (or its frame)
};
TNativeWindowState NativeWindowState(const QWidget* Window);

// Keeps the flame window where the user wants it in the stack of top-level
// windows, whatever window manager runs. The flame is unmanaged on X11, so no
// window manager stacks it: the keeper answers every map and restack of the
// desktop's windows.
//  - In front (SetOnTop(true)): above every managed window of the desktop.
//  - Not in front: like an ordinary window, covered by every window that is
//    raised or activated after the flame was shown.
//  - In both: the window named by SetKeptAbove (the settings window) stays
//    above the flame while shown, and the one named by SetKeptBelow (the
//    drawing window) stays right under it.
// Unmanaged windows of other programs (menus, tooltips) are left above it.
// Does nothing off X11, where Qt's stay-on-top hint is used.
class TStayOnTopKeeper {
public:
  explicit TStayOnTopKeeper(QWidget* Window);
  ~TStayOnTopKeeper();
  TStayOnTopKeeper(const TStayOnTopKeeper&) = delete;
  TStayOnTopKeeper& operator=(const TStayOnTopKeeper&) = delete;

  // Starts (or stops) answering the desktop's restacks.
  void SetActive(bool Active);
  bool Active() const;
  void SetOnTop(bool OnTop);
  bool OnTop() const;
  void SetKeptAbove(QWidget* Window);
  void SetKeptBelow(QWidget* Window);
  // The window was just shown at the top: the windows below it now are the
  // ones it covers until another is raised.
  void Shown();
  // Restacks now, when needed.
  void Arrange();
  // How many times the window was restacked (for tests and diagnostics).
  int RaiseCount() const;

  struct TImpl;

private:
  std::unique_ptr<TImpl> FImpl;
};
