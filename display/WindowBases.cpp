#include "WindowBases.h"

#include <QEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QWindow>

#include <algorithm>
#include <climits>

namespace {

int32_t ClampToInt32(int64_t V) {
  return int32_t(std::clamp<int64_t>(V, INT32_MIN, INT32_MAX));
}

// Qt keeps widget sizes within [0, QWIDGETSIZE_MAX].
int QtSize(int64_t V) {
  return int(std::clamp<int64_t>(V, 0, QWIDGETSIZE_MAX));
}

} // namespace

// ---------------------------------------------------------------------------
// TCustomWPForm

TCustomWPForm::TCustomWPForm(QWidget* Parent, Qt::WindowFlags Flags) : QWidget(Parent, Flags) {
  // Nothing to erase: every paint covers the whole window.
  setAttribute(Qt::WA_NoSystemBackground);
  setAttribute(Qt::WA_ShowWithoutActivating);
  setAttribute(Qt::WA_X11DoNotAcceptFocus);
  setFocusPolicy(Qt::NoFocus);
}

void TCustomWPForm::SetBorders(const TRect& R) {
  FBorders = R;
}

void TCustomWPForm::SetWindowFlagsLive(Qt::WindowFlags Flags) {
  if (Flags == windowFlags())
    return;
  overrideWindowFlags(Flags);
  if (QWindow* W = windowHandle())
    W->setFlags(Flags);
}

void TCustomWPForm::SetWindowFlagLive(Qt::WindowType Flag, bool On) {
  Qt::WindowFlags Flags = windowFlags();
  Flags.setFlag(Flag, On);
  SetWindowFlagsLive(Flags);
}

void TCustomWPForm::ApplyExStyle() {
  // On X11 Qt gives a window that is transparent for input an empty input
  // shape, so clicks reach whatever lies below.
  SetWindowFlagLive(Qt::WindowTransparentForInput, !IsSolid());
}

void TCustomWPForm::ConstrainPosition(int32_t&, int32_t&, int32_t, int32_t) const {}

void TCustomWPForm::SetSizeLimits(const TRect& R) {
  // Limits for sizing by the user or a window manager. They are not handed to
  // Qt: the window is always exactly its surface, which FMinClient bounds
  // from below, and Qt's limits would clamp that or resize the window ahead
  // of its picture.
  FMinClient = TPoint{R.Left, R.Top};
  FMaxClient = TPoint{R.Right, R.Bottom};
}

void TCustomWPForm::SetSolid(bool Value) {
  FSolid = Value;
  ApplyExStyle();
}

void TCustomWPForm::DoShow() {
  if (OnShow)
    OnShow();
}

void TCustomWPForm::DoHide() {
  if (OnHide)
    OnHide();
}

bool TCustomWPForm::event(QEvent* E) {
  const bool Result = QWidget::event(E);
  // Every new platform window gets the input state of the form.
  if (E->type() == QEvent::WinIdChange && internalWinId()) {
    WatchPlatformWindow();
    ApplyExStyle();
  }
  return Result;
}

void TCustomWPForm::WatchPlatformWindow() {
  QWindow* W = windowHandle();
  if (!W || W->property("quelmaWatched").toBool())
    return;
  W->setProperty("quelmaWatched", true);
  QObject::connect(W, &QWindow::visibleChanged, this, [this](bool Visible) {
    if (Visible)
      ApplyExStyle();
  });
}

void TCustomWPForm::showEvent(QShowEvent* E) {
  QWidget::showEvent(E);
  DoShow();
}

void TCustomWPForm::hideEvent(QHideEvent* E) {
  QWidget::hideEvent(E);
  DoHide();
}

// ---------------------------------------------------------------------------
// TLayeredForm

TLayeredForm::TLayeredForm(QWidget* Parent, Qt::WindowFlags Flags) : TCustomWPForm(Parent, Flags) {
  // Per-pixel alpha: Qt picks a 32-bit visual and starts every paint from
  // transparent pixels.
  setAttribute(Qt::WA_TranslucentBackground);
  FSurface.MakeDIBSection();
  FConstantAlpha = 255;
  SetLayeredBounds(TRect{32, 32, 64, 64}, true);
}

TLayeredForm::~TLayeredForm() = default;

void TLayeredForm::ApplyExStyle() {
  // Becoming solid gives input to the whole window again: the next
  // presentation narrows it to the visible pixels.
  FInputRegionStale = true;
  // A tool window: no taskbar or pager entry.
  Qt::WindowFlags Flags = windowFlags();
  if ((Flags & Qt::WindowType_Mask) != Qt::Tool)
    Flags = (Flags & ~Qt::WindowType_Mask) | Qt::Tool;
  Flags.setFlag(Qt::WindowTransparentForInput, !IsSolid());
  SetWindowFlagsLive(Flags);
  ApplyInputShape();
}

void TLayeredForm::ApplyInputShape() {
  if (!internalWinId())
    return;
  if (!IsSolid()) {
    static const std::vector<TRegionRect> Nothing;
    SetWindowInputRegion(this, &Nothing);
    return;
  }
  FInputRegionStale = true;
  UpdateInputRegion();
}

void TLayeredForm::ConstrainPosition(int32_t& X, int32_t& Y, int32_t Width, int32_t Height) const {
  // Before the desktop is known there is nothing to keep the window on.
  if (IsRectEmpty(FDesktopRect))
    return;
  const int64_t W = Width <= 0 ? int64_t(FLayeredBounds.Right) - FLayeredBounds.Left : Width;
  const int64_t H = Height <= 0 ? int64_t(FLayeredBounds.Bottom) - FLayeredBounds.Top : Height;
  auto Clamp = [](int64_t V, int64_t Lo, int64_t Hi) {
    if (V < Lo)
      V = Lo;
    if (V > Hi)
      V = Hi;
    return ClampToInt32(V);
  };
  X = Clamp(X, int64_t(FDesktopRect.Left) - W + 16, int64_t(FDesktopRect.Right) - 16);
  Y = Clamp(Y, int64_t(FDesktopRect.Top) - H + 16, int64_t(FDesktopRect.Bottom) - 16);
}

void TLayeredForm::SetLayeredBounds(const TRect& R, bool Present) {
  // Never empty; computed wide since R may sit at the end of the int range.
  FLayeredBounds = R;
  FLayeredBounds.Right = ClampToInt32(std::max<int64_t>(R.Right, int64_t(R.Left) + 1));
  FLayeredBounds.Bottom = ClampToInt32(std::max<int64_t>(R.Bottom, int64_t(R.Top) + 1));
  if (FLayeredBounds.Right <= FLayeredBounds.Left) // Left = INT32_MAX
    FLayeredBounds.Left = FLayeredBounds.Right - 1;
  if (FLayeredBounds.Bottom <= FLayeredBounds.Top)
    FLayeredBounds.Top = FLayeredBounds.Bottom - 1;

  if (OnResizing)
    OnResizing(*this);
  const int64_t W =
      std::max<int64_t>(int64_t(FLayeredBounds.Right) - FLayeredBounds.Left, FMinClient.X);
  const int64_t H =
      std::max<int64_t>(int64_t(FLayeredBounds.Bottom) - FLayeredBounds.Top, FMinClient.Y);
  const int32_t SW = ClampToInt32(std::max<int64_t>(W + FMargins.Left + FMargins.Right, 1));
  const int32_t SH = ClampToInt32(std::max<int64_t>(H + FMargins.Top + FMargins.Bottom, 1));
  if (SW != FSurface.Width || SH != FSurface.Height || FSurface.BitCount != 32) {
    FSurface.SetFormat(SW, SH, 32);
    FInputRegionStale = true;
    if (OnResize)
      OnResize(*this);
  }
  if (Present)
    this->Present();
}

void TLayeredForm::Present() {
  FInvalidRect = TRect{0, 0, FSurface.Width, FSurface.Height};
  PaintLayered();
}

void TLayeredForm::PaintLayered() {
  PaintHook();
  if (isVisible()) {
    PlaceWindow();
    UpdateInputRegion();
    FPresenting = true;
    repaint();
    FPresenting = false;
  }
  FInvalidRect = TRect{};
}

void TLayeredForm::UpdateInputRegion() {
  if (!IsSolid() || !internalWinId() || FSurface.BitCount != 32)
    return; // click-through: the window takes no input at all
  if (!FInputRegionStale && FInputRegionAge.isValid() &&
      FInputRegionAge.elapsed() < InputRegionInterval)
    return;
  FInputRegionStale = false;
  FInputRegionAge.restart();
  // Pixel-exact while that stays small, else on a coarser grid; failing
  // that, the whole window takes input.
  constexpr std::size_t MaxRects = 20000;
  bool Overflow = false;
  std::vector<TRegionRect> Rects;
  for (int32_t Cell : {1, 4, 16}) {
    Rects = OpaqueRegion(FSurface.PixelMemory, FSurface.Width, FSurface.Height, FSurface.RowStride,
                         Cell, MaxRects, &Overflow);
    if (!Overflow)
      break;
  }
  SetWindowInputRegion(this, Overflow ? nullptr : &Rects);
}

void TLayeredForm::Invalidate() {
  if (!internalWinId())
    return;
  FInvalidRect = TRect{0, 0, FSurface.Width, FSurface.Height};
  update();
}

void TLayeredForm::PaintHook() {
  if (OnPaint)
    OnPaint(*this);
}

void TLayeredForm::PlaceWindow() {
  int32_t X = ClampToInt32(int64_t(FLayeredBounds.Left) - FMargins.Left);
  int32_t Y = ClampToInt32(int64_t(FLayeredBounds.Top) - FMargins.Top);
  ConstrainPosition(X, Y, FSurface.Width, FSurface.Height);
  const QRect G(X, Y, QtSize(FSurface.Width), QtSize(FSurface.Height));
  if (geometry() != G)
    setGeometry(G);
}

void TLayeredForm::DoShow() {
  TCustomWPForm::DoShow();
  if (isVisible())
    Present();
}

void TLayeredForm::paintEvent(QPaintEvent*) {
  if (!FPresenting)
    PaintHook();
  if (FSurface.BitCount == 32 && FSurface.PixelMemory) {
    // A view of the surface's own pixels: no copy before the window system's.
    const QImage View(FSurface.PixelMemory, FSurface.Width, FSurface.Height, FSurface.RowStride,
                      QImage::Format_ARGB32_Premultiplied);
    QPainter P(this);
    P.setCompositionMode(QPainter::CompositionMode_Source);
    P.setOpacity(std::clamp(FConstantAlpha & 0xFF, 0, 255) / 255.0);
    P.drawImage(QPoint(0, 0), View);
  }
  FInvalidRect = TRect{};
  ++FPresentedFrames;
}
