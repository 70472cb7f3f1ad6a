#include "NumBar.h"

#include <QContextMenuEvent>
#include <QCursor>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <QWheelEvent>
#include <algorithm>
#include <chrono>
#include <optional>

#include "RepeatClock.h"

namespace {

std::optional<TNumBarKey> MapKey(int Key) {
  switch (Key) {
  case Qt::Key_PageUp:
    return nkPageUp;
  case Qt::Key_PageDown:
    return nkPageDown;
  case Qt::Key_Home:
    return nkHome;
  case Qt::Key_End:
    return nkEnd;
  // Up and Down step as Left and Right do: a slider is not a list to move
  // through.
  case Qt::Key_Left:
  case Qt::Key_Down:
    return nkLeft;
  case Qt::Key_Right:
  case Qt::Key_Up:
    return nkRight;
  case Qt::Key_Insert:
    return nkInsert;
  default:
    return std::nullopt;
  }
}

std::optional<TDragButton> MapButton(Qt::MouseButton Button) {
  switch (Button) {
  case Qt::LeftButton:
    return dbLeft;
  case Qt::RightButton:
    return dbRight;
  case Qt::MiddleButton:
    return dbMiddle;
  default:
    return std::nullopt;
  }
}

qint64 SteadyMilliseconds() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

} // namespace

// ---- TKnob --------------------------------------------------------------

TKnob::TKnob(TNumBar* Slider) : QWidget(Slider), FSlider(Slider) {
  // The slider hit-tests its parts itself, so that one pointer grab covers every drag.
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setFocusPolicy(Qt::NoFocus);
}

void TKnob::paintEvent(QPaintEvent*) {
  QPainter canvas(this);
  FSlider->PaintKnob(canvas, rect());
}

// ---- TNumBarButton ------------------------------------------------------

TNumBarButton::TNumBarButton(TNumBar* Slider, bool Increment)
    : QWidget(Slider), FSlider(Slider), FIncrement(Increment), FGlyphIndex(Increment ? 1 : 0) {
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setFocusPolicy(Qt::NoFocus);
}

TNumBarButton::~TNumBarButton() {
  RepeatClock().StopRepeat(this);
}

void TNumBarButton::SetGlyphIndex(int Value) {
  if (Value == FGlyphIndex)
    return;
  FGlyphIndex = Value;
  update();
}

void TNumBarButton::Press() {
  if (FPressed)
    return;
  FPressed = true;
  update();
  QPointer<TNumBarButton> self(this);
  FSlider->StepArrow(FIncrement);
  // The change handler may have taken the arrow buttons away.
  if (!self || !FPressed)
    return;
  RepeatClock().StartRepeat(
      RepeatFirstDelay, [this] { RepeatTick(); }, this);
}

void TNumBarButton::RepeatTick() {
  RepeatClock().SetInterval(RepeatNextDelay);
  FSlider->StepArrow(FIncrement);
}

void TNumBarButton::Release() {
  if (!FPressed)
    return;
  FPressed = false;
  RepeatClock().StopRepeat(this);
  update();
  FSlider->NotifyRelease(this); // last: the handler may free this button
}

void TNumBarButton::Cancel() {
  FPressed = false;
  RepeatClock().StopRepeat(this);
}

void TNumBarButton::paintEvent(QPaintEvent*) {
  QPainter canvas(this);
  FSlider->PaintArrowButton(canvas, rect(), FGlyphIndex, FPressed);
}

// ---- TNumBar: creation and properties -----------------------------------

TNumBar::TNumBar(QWidget* Parent) : QWidget(Parent) {
  FColor = palette().color(QPalette::Button);
  QFont bold = font();
  bold.setBold(true);
  setFont(bold);
  setFocusPolicy(Qt::StrongFocus);
  FKnob = new TKnob(this);
  FSmoothTimer = new QTimer(this);
  FSmoothTimer->setInterval(AnimationInterval);
  QObject::connect(FSmoothTimer, &QTimer::timeout, this, [this] { SmoothTick(); });
  LayoutParts();
}

TNumBar::~TNumBar() {
  QObject::disconnect(FLinkedConnection);
  if (FPointerHidden)
    QGuiApplication::restoreOverrideCursor();
}

void TNumBar::SetColor(const QColor& Value) {
  FColor = Value;
  update();
  FKnob->update();
  for (auto& a : FArrows)
    if (a)
      a->update();
}

void TNumBar::SetBorderStyle(TBorderStyle Value) {
  FBorderStyle = Value;
  const int m = Value == bsSingle ? 1 : 0;
  setContentsMargins(m, m, m, m);
  SyncClientSize();
  PartsChanged();
  KnobMoved();
  update();
}

bool TNumBar::TabStop() const {
  return (focusPolicy() & Qt::TabFocus) != 0;
}

void TNumBar::SetTabStop(bool Value) {
  setFocusPolicy(Value ? Qt::StrongFocus : Qt::NoFocus);
}

void TNumBar::SetLinkedNumBar(TNumBar* Value) {
  QObject::disconnect(FLinkedConnection);
  if (Value == this)
    Value = nullptr;
  FLinkedBar = Value;
  TNumBarModel::SetLinkedNumBar(Value);
  if (Value)
    FLinkedConnection = QObject::connect(Value, &QObject::destroyed, this,
                                         [this] { TNumBarModel::SetLinkedNumBar(nullptr); });
}

QSize TNumBar::sizeHint() const {
  const int thickness = QFontMetrics(font()).height() + 8;
  return Orientation() == trHorizontal ? QSize(150, thickness) : QSize(thickness, 150);
}

QRect TNumBar::ToWidget(const TNumBarRect& R) const {
  return QRect(R.Left, R.Top, R.Width, R.Height).translated(ClientOrigin());
}

void TNumBar::SyncClientSize() {
  const QRect c = contentsRect();
  SetClientSize(c.width(), c.height());
}

void TNumBar::wheelEvent(QWheelEvent* Event) {
  if (!isEnabled()) {
    Event->ignore();
    return;
  }
  // A horizontal wheel (or a tilted one) steps too.
  const QPoint D = Event->angleDelta();
  Wheel(std::abs(D.y()) >= std::abs(D.x()) ? D.y() : D.x());
  Event->accept();
}

void TNumBar::NotifyRelease(QObject* Sender) {
  if (TReleaseEvent handler = OnRelease)
    handler(Sender);
}

// ---- TNumBar: model hooks -----------------------------------------------

void TNumBar::Changed() {
  // A copy: the handler may assign another one.
  if (TNotifyEvent handler = OnChange)
    handler(this);
}

void TNumBar::Released() {
  NotifyRelease(this);
}

void TNumBar::AdjustKnobWidth(int& Width) {
  if (TSetKnobWidthEvent handler = OnSetKnobWidth)
    handler(this, Width);
}

int TNumBar::TextWidth(const std::string& Text) const {
  return QFontMetrics(font()).horizontalAdvance(QString::fromStdString(Text));
}

void TNumBar::KnobMoved() {
  if (!FKnob)
    return; // during construction
  FKnob->setGeometry(ToWidget(KnobRect()));
  FKnob->setVisible(KnobVisible());
}

void TNumBar::KnobChanged() {
  if (FKnob)
    FKnob->update();
}

void TNumBar::PartsChanged() {
  for (int i = 0; i < 2; ++i) {
    const bool increment = i == 1;
    if (HasArrowButtons()) {
      if (!FArrows[i])
        FArrows[i] = new TNumBarButton(this, increment);
      TNumBarButton* a = FArrows[i];
      a->SetGlyphIndex(ArrowGlyph(increment));
      a->setGeometry(ToWidget(ArrowRect(increment)));
      a->setVisible(ArrowsVisible());
      a->raise(); // the knob's end pixels lie under the buttons
    } else if (FArrows[i]) {
      // Later, not now: this may run inside the button's own press or release.
      TNumBarButton* a = FArrows[i];
      FArrows[i] = nullptr;
      a->Cancel();
      a->hide();
      a->deleteLater();
    }
  }
  update();
}

void TNumBar::RepaintNow() {
  repaint();
  if (FKnob->isVisible())
    FKnob->repaint();
}

void TNumBar::EnabledStateChanged(bool Enabled) {
  // Only when it differs: a parent's disabling must not stick to the slider.
  if (isEnabled() != Enabled)
    setEnabled(Enabled);
}

void TNumBar::StartSmoothingClock() {
  FSmoothLast = SteadyMilliseconds();
  FSmoothTimer->start();
}

void TNumBar::StopSmoothingClock() {
  FSmoothTimer->stop();
}

void TNumBar::SmoothTick() {
  // Ticks the event loop could not deliver in time are caught up in one go.
  const qint64 now = SteadyMilliseconds();
  const qint64 ticks = (now - FSmoothLast + AnimationInterval / 2) / AnimationInterval;
  FSmoothLast = now;
  SmoothStep(static_cast<int>(std::clamp<qint64>(ticks - 1, 0, 1000)));
}

void TNumBar::GrabPointer() {
  // The pointer itself is held by the press that started the drag (Qt's implicit grab).
  if (TabStop() && !hasFocus())
    setFocus(Qt::MouseFocusReason);
}

void TNumBar::BeginRelativePointer() {
  FDragStartGlobal = FPressKnown ? FPressGlobal : QCursor::pos();
  FLastPointer = FDragStartGlobal;
  QScreen* s = screen();
  const QRect area = s ? s->virtualGeometry().adjusted(32, 32, -32, -32) : QRect();
  FPointerClip = {area.left(), area.top(), area.width(), area.height()};
  if (!FPointerHidden) {
    QGuiApplication::setOverrideCursor(QCursor(Qt::BlankCursor));
    FPointerHidden = true;
  }
}

void TNumBar::EndRelativePointer() {
  QCursor::setPos(FDragStartGlobal);
  if (FPointerHidden) {
    QGuiApplication::restoreOverrideCursor();
    FPointerHidden = false;
  }
}

// ---- TNumBar: input -----------------------------------------------------

void TNumBar::CancelPointer() {
  if (FPressedButton) {
    TNumBarButton* b = FPressedButton;
    FPressedButton = nullptr;
    b->Release();
  }
  if (DragState() >= 0)
    EndDrag();
}

void TNumBar::mousePressEvent(QMouseEvent* Event) {
  const std::optional<TDragButton> button = MapButton(Event->button());
  if (!button) {
    QWidget::mousePressEvent(Event);
    return;
  }
  Event->accept();
  const QPoint p = Event->position().toPoint() - ClientOrigin();
  FPressGlobal = Event->globalPosition().toPoint();
  FPressKnown = true;
  if (ArrowsVisible()) {
    for (bool increment : {false, true}) {
      if (!ArrowRect(increment).Contains(p.x(), p.y()))
        continue;
      if (FPressedButton || DragState() != dsIdle)
        return;
      if (*button == dbLeft) {
        if (TabStop())
          setFocus(Qt::MouseFocusReason);
        FPressedButton = ArrowButton(increment);
        FPressedButton->Press();
      } else {
        StartDrag(*button, p.x(), p.y());
      }
      return;
    }
  }
  if (FPressedButton)
    return;
  if (KnobVisible() && KnobRect().Contains(p.x(), p.y()))
    MouseDownKnob(*button, p.x(), p.y());
  else
    MouseDownTrack(*button, p.x(), p.y());
}

void TNumBar::mouseMoveEvent(QMouseEvent* Event) {
  const int state = DragState();
  if (state == dbLeft) {
    const QPoint p = Event->position().toPoint() - ClientOrigin();
    DragMove(p.x(), p.y());
  } else if (state == dbRight || state == dbMiddle) {
    const QPoint current = Event->globalPosition().toPoint();
    const QPoint movement = FLastPointer - current;
    const TNumBarPoint wrapped = WrapPointer({current.x(), current.y()}, FPointerClip);
    FLastPointer = QPoint(wrapped.X, wrapped.Y);
    if (FLastPointer != current)
      QCursor::setPos(FLastPointer);
    RelativeDragMove(movement.x(), movement.y());
  }
  Event->accept();
}

void TNumBar::mouseReleaseEvent(QMouseEvent* Event) {
  Event->accept();
  if (FPressedButton) {
    if (Event->button() != Qt::LeftButton)
      return;
    TNumBarButton* b = FPressedButton;
    FPressedButton = nullptr;
    b->Release();
    return;
  }
  // Any button up ends the pointer capture, and with it the drag.
  if (DragState() >= 0)
    EndDrag();
}

void TNumBar::contextMenuEvent(QContextMenuEvent* Event) {
  // Taken either way: without a menu the right button drags, and no parent menu should open.
  Event->accept();
  if (FPopupMenu)
    FPopupMenu->popup(Event->globalPos());
}

void TNumBar::keyPressEvent(QKeyEvent* Event) {
  if (const std::optional<TNumBarKey> key = MapKey(Event->key())) {
    KeyDown(*key);
    Event->accept();
    return;
  }
  QWidget::keyPressEvent(Event); // the rest goes to the parent
}

void TNumBar::keyReleaseEvent(QKeyEvent* Event) {
  if (const std::optional<TNumBarKey> key = MapKey(Event->key())) {
    // Held keys repeat as press and release pairs here; only the real release ends the change.
    if (!Event->isAutoRepeat())
      KeyUp(*key);
    Event->accept();
    return;
  }
  QWidget::keyReleaseEvent(Event);
}

void TNumBar::focusInEvent(QFocusEvent* Event) {
  FocusIn();
  if (TabStop())
    update();
  QWidget::focusInEvent(Event);
}

void TNumBar::focusOutEvent(QFocusEvent* Event) {
  FocusOut();
  if (TabStop())
    update();
  QWidget::focusOutEvent(Event);
}

void TNumBar::hideEvent(QHideEvent* Event) {
  // A hidden slider gets no button-up: end what the pointer started.
  CancelPointer();
  QWidget::hideEvent(Event);
}

void TNumBar::resizeEvent(QResizeEvent* Event) {
  SyncClientSize();
  QWidget::resizeEvent(Event);
}

void TNumBar::changeEvent(QEvent* Event) {
  switch (Event->type()) {
  case QEvent::EnabledChange:
    if (!isEnabled())
      CancelPointer();
    SetEnabledState(isEnabled());
    break;
  case QEvent::FontChange:
    LayoutParts();
    break;
  default:
    break;
  }
  QWidget::changeEvent(Event);
}

// ---- TNumBar: painting --------------------------------------------------

void TNumBar::paintEvent(QPaintEvent*) {
  QPainter canvas(this);
  const TShadeScheme scheme = Scheme();
  if (FBorderStyle == bsSingle) {
    const QRect r = rect();
    canvas.fillRect(r, scheme.Highlight);
    canvas.fillRect(QRect(r.left(), r.top(), r.width() - 1, 1), scheme.Shadow);
    canvas.fillRect(QRect(r.left(), r.top(), 1, r.height() - 1), scheme.Shadow);
  }
  const QRect track = ToWidget(TrackRect()).intersected(contentsRect());
  if (OnPaintKnob && Options().Contains(nbOnBackPaint)) {
    canvas.save();
    OnPaintKnob(this, canvas, hasFocus(), -1, track);
    canvas.restore();
    return;
  }
  canvas.fillRect(track, hasFocus() ? scheme.Focused : scheme.Base);
}

void TNumBar::PaintKnob(QPainter& Canvas, const QRect& R) {
  const bool pressed = KnobPressed();
  if (OnPaintKnob) {
    OnPaintKnob(this, Canvas, pressed, -2, R);
    return;
  }
  const TShadeScheme scheme = Scheme();
  PaintPartFrame(Canvas, R, scheme, pressed);
  const QPoint shift = pressed ? QPoint(1, 1) : QPoint(0, 0);
  if (Text().empty()) {
    PaintGripLines(Canvas, R.translated(shift), Orientation() == trHorizontal, scheme, pressed);
    return;
  }
  Canvas.setFont(font());
  Canvas.setPen(palette().color(QPalette::ButtonText));
  Canvas.setBackgroundMode(Qt::TransparentMode);
  Canvas.drawText(R.translated(shift), Qt::AlignCenter, QString::fromStdString(Text()));
}

void TNumBar::PaintArrowButton(QPainter& Canvas, const QRect& R, int GlyphIndex, bool Pressed) {
  if (OnPaintKnob) {
    OnPaintKnob(this, Canvas, Pressed, GlyphIndex, R);
    return;
  }
  const TShadeScheme scheme = Scheme();
  PaintPartFrame(Canvas, R, scheme, Pressed);
  PaintArrowGlyph(Canvas, Pressed ? R.translated(1, 1) : R, GlyphIndex, scheme);
}
