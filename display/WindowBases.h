#pragma once
// The window classes under the flame window.
//
// TCustomWPForm: a borderless top-level form with client size limits, the
// Solid switch (click-through when off) and a position constraint.
// On X11 these forms are unmanaged windows: no window manager places, frames
// or restacks them (see DesktopWindowing.h).
// TLayeredForm: a form that shows a 32-bit premultiplied surface with per-pixel
// alpha at a screen rectangle (the layered rectangle), under an extra constant
// alpha, and keeps on the desktop.
//
// Coordinates are device pixels: the program turns Qt's high-DPI scaling off.
#include <QElapsedTimer>
#include <QWidget>

#include <cstdint>
#include <functional>

#include "DIBmp.h"
#include "DesktopWindowing.h"

// Options of TCustomWPForm, a set of flags; none of them changes anything the
// flame window does.
enum TWPControlOption : uint32_t {
  wpPlainBackground = 1,
};
using TWPControlOptions = uint32_t;

class TCustomWPForm : public QWidget {
public:
  explicit TCustomWPForm(QWidget* Parent = nullptr, Qt::WindowFlags Flags = LayeredWindowFlags());
  ~TCustomWPForm() override = default;

  TRect FBorders;                  // non-client insets: always zero here
  TPoint FMinClient{0, 0};         // smallest client (and surface) size
  TPoint FMaxClient{30000, 30000}; // largest client size
  bool FSolid = true;              // takes mouse input; false: click-through
  TWPControlOptions Options = wpPlainBackground;

  // Window-level events: the form became visible, or hidden.
  std::function<void()> OnShow;
  std::function<void()> OnHide;

  virtual void SetBorders(const TRect& R);
  // Makes the live window's input state match IsSolid: it takes mouse input
  // exactly when solid, else every click passes to the windows below.
  virtual void ApplyExStyle();
  virtual bool IsSolid() const { return FSolid; }
  // Clamps a proposed window position (the window's top-left, screen
  // coordinates) for a window of Width x Height. Here: no limit.
  virtual void ConstrainPosition(int32_t& X, int32_t& Y, int32_t Width, int32_t Height) const;

  // Smallest client size := (R.Left, R.Top), largest := (R.Right, R.Bottom).
  // The smallest also bounds the surface of a layered form.
  void SetSizeLimits(const TRect& R);
  bool Solid() const { return FSolid; }
  void SetSolid(bool Value);

protected:
  // Sets or clears window flags on the live window without re-creating it
  // (QWidget::setWindowFlags would hide and re-create the window).
  void SetWindowFlagsLive(Qt::WindowFlags Flags);
  void SetWindowFlagLive(Qt::WindowType Flag, bool On);

  virtual void DoShow();
  virtual void DoHide();
  bool event(QEvent* E) override;
  // Runs ApplyExStyle again whenever the platform shows the window: Qt may
  // give it a new native window then (a changed stay-on-top hint), which
  // starts with no input state of ours.
  void WatchPlatformWindow();
  void showEvent(QShowEvent* E) override;
  void hideEvent(QHideEvent* E) override;
};

class TLayeredForm : public TCustomWPForm {
public:
  explicit TLayeredForm(QWidget* Parent = nullptr, Qt::WindowFlags Flags = LayeredWindowFlags());
  ~TLayeredForm() override;

  TRect FMargins;               // click-through halo around the layered rectangle
  TDIBmp FSurface;              // the presented 32-bit surface (premultiplied BGRA)
  TRect FLayeredBounds;         // where the content is shown, screen coordinates
  int32_t FConstantAlpha = 255; // extra alpha over the per-pixel alpha, 0..255
  TRect FInvalidRect;           // whole surface while a paint is pending, else empty
  TRect FDesktopRect;           // the desktop, screen coordinates; empty: not known yet

  // Raised before every surface size check.
  std::function<void(TLayeredForm&)> OnResizing;
  // Raised when the surface got a new size.
  std::function<void(TLayeredForm&)> OnResize;
  // The form's ordinary paint event, run before every presentation.
  std::function<void(TLayeredForm&)> OnPaint;

  void ApplyExStyle() override;
  // At least 16 pixels of the window stay on FDesktopRect each way. A Width
  // (Height) of 0 or less means the layered width (height).
  void ConstrainPosition(int32_t& X, int32_t& Y, int32_t Width, int32_t Height) const override;

  // New layered rectangle (at least one pixel each way); the surface gets its
  // size, at least FMinClient, plus the margins (all zero when it changes).
  // Presents when Present is set.
  void SetLayeredBounds(const TRect& R, bool Present);
  // Shows the whole surface now, at the layered rectangle's top-left.
  void Present();
  // The paint hook, then (when visible) the surface handed to the screen.
  void PaintLayered();
  // Presents at the next paint (asynchronous).
  void Invalidate();

  // Input region of a solid window: refreshed at most this often (ms).
  static constexpr int InputRegionInterval = 100;

  // Frames handed to the window system so far (each paint of the surface).
  int64_t PresentedFrames() const { return FPresentedFrames; }

protected:
  // Runs before each presentation; may set FConstantAlpha.
  virtual void PaintHook();
  // The window's geometry := the surface at the layered rectangle's top-left
  // (less the margins), through ConstrainPosition.
  void PlaceWindow();

  void DoShow() override;
  void paintEvent(QPaintEvent* E) override;

private:
  // The native window's input shape from IsSolid: none at all when
  // click-through, else the visible pixels. Set by us rather than left to
  // Qt's flag, which a re-created native window does not always get.
  void ApplyInputShape();
  // A solid window takes clicks only on its visible pixels; the region
  // follows the picture at most every InputRegionInterval milliseconds.
  void UpdateInputRegion();
  bool FInputRegionStale = true;
  QElapsedTimer FInputRegionAge;
  bool FPresenting = false; // the paint hook already ran for this paint
  int64_t FPresentedFrames = 0;
};
