#include "DrawingWindow.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QScreen>

#include "FlameEngine.h"

namespace {

QLabel* MakeLabel(QWidget* Parent, const QString& Text, int PixelHeight, int Y) {
  auto* L = new QLabel(Text, Parent);
  QFont F(QStringLiteral("Tahoma"));
  F.setPixelSize(PixelHeight);
  L->setFont(F);
  QPalette P = L->palette();
  P.setColor(QPalette::WindowText, DrawingLabelColor);
  L->setPalette(P);
  // A click on a label is a click on the window.
  L->setAttribute(Qt::WA_TransparentForMouseEvents);
  L->move(8, Y);
  L->adjustSize();
  return L;
}

Qt::WindowFlags DrawingWindowFlags(bool StayOnTop) {
  // A borderless tool window: no taskbar entry. On X11 it is unmanaged, so no
  // window manager decorates it, moves it, raises it or focuses it on a click;
  // its place in the stack is set by ArrangeZOrder alone.
  Qt::WindowFlags F = Qt::Tool | Qt::FramelessWindowHint;
  if (QGuiApplication::platformName() == QLatin1String("xcb"))
    F |= Qt::X11BypassWindowManagerHint;
  if (StayOnTop)
    F |= Qt::WindowStaysOnTopHint;
  return F;
}

void RaiseInOrder(IDrawingHost& Host) {
  QWidget* Settings = Host.SettingsWindow();
  if (Settings && Settings->isVisible())
    Settings->raise();
  // The flame window keeps itself under the settings window and the drawing
  // window under itself, also when the window manager restacks later.
  Host.RaiseFlameWindow();
}

} // namespace

TInputForm::TInputForm(IDrawingHost& Host, TPartForm& Engine, bool StayOnTop)
    : QWidget(nullptr, DrawingWindowFlags(StayOnTop)), FHost(Host), FEngine(Engine) {
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(QStringLiteral("Mouse input"));
  QPalette P = palette();
  P.setColor(QPalette::Window, DrawingWindowColor);
  setPalette(P);
  setAutoFillBackground(true);
  // The whole window, labels included, at one constant alpha.
  setWindowOpacity(DrawingWindowAlpha / 255.0);
  setCursor(Qt::CrossCursor);
  setMouseTracking(true);
  setFocusPolicy(Qt::StrongFocus);

  DMLabel = MakeLabel(this, QStringLiteral("Drawing mode"), 16, 8);
  KeyLabel = MakeLabel(this, QString(), 12, 30);
  Label1 = MakeLabel(this, QStringLiteral("Middle-click to start over"), 12, 47);
  DMLabel->setObjectName(QStringLiteral("DMLabel"));
  KeyLabel->setObjectName(QStringLiteral("KeyLabel"));
  Label1->setObjectName(QStringLiteral("Label1"));
  UpdateKeyLabel();
  FitToScreen();
}

void TInputForm::FitToScreen() {
  // Maximised on the settings window's monitor: its work area.
  QScreen* S = nullptr;
  if (QWidget* W = FHost.SettingsWindow())
    S = W->screen();
  if (!S)
    S = QGuiApplication::primaryScreen();
  if (S)
    setGeometry(S->availableGeometry());
}

void TInputForm::UpdateKeyLabel() {
  // Without a hot key the way back is the box of the settings window.
  const QString Key = FHost.DrawingHotKeyText();
  KeyLabel->setText(Key.isEmpty()
                        ? QStringLiteral("Right-click to discard, \"Enable drawing\" to bring back")
                        : QStringLiteral("Right-click to discard, ") + Key +
                              QStringLiteral(" to bring back"));
  KeyLabel->adjustSize();
}

TInputForm::~TInputForm() = default;

void TInputForm::keyPressEvent(QKeyEvent* Event) {
  if (Event->key() == Qt::Key_Escape) {
    close();
    return;
  }
  if (Event->key() == Qt::Key_Z && (Event->modifiers() & Qt::ControlModifier)) {
    if (Event->modifiers() & Qt::ShiftModifier)
      FHost.RedoArt();
    else
      FHost.UndoArt();
    return;
  }
  QWidget::keyPressEvent(Event);
}

void TInputForm::mousePressEvent(QMouseEvent* Event) {
  const QPoint G = Event->globalPosition().toPoint();
  const Qt::KeyboardModifiers M = Event->modifiers();
  switch (Event->button()) {
  case Qt::LeftButton:
    FHost.StrokeBegins();
    StrokePress(FEngine, FStroke, G.x(), G.y(), M & Qt::ControlModifier, M & Qt::ShiftModifier);
    break;
  case Qt::MiddleButton:
    FHost.StartOverClick();
    break;
  default:
    break; // right: the window closes on release
  }
}

void TInputForm::mouseDoubleClickEvent(QMouseEvent* Event) {
  // A second click in quick succession is just another press.
  mousePressEvent(Event);
}

void TInputForm::mouseMoveEvent(QMouseEvent* Event) {
  const QPoint G = Event->globalPosition().toPoint();
  const Qt::KeyboardModifiers M = Event->modifiers();
  StrokeMove(FEngine, FStroke, G.x(), G.y(), M & Qt::ControlModifier, M & Qt::ShiftModifier);
}

void TInputForm::mouseReleaseEvent(QMouseEvent* Event) {
  if (Event->button() == Qt::LeftButton)
    FStroke.Release();
  else if (Event->button() == Qt::RightButton)
    close();
}

void TInputForm::closeEvent(QCloseEvent* Event) {
  Event->accept();
  // WA_DeleteOnClose frees the window once its events are done.
  FClosed = true;
  if (OnClose)
    OnClose();
  FHost.SetDrawingBox(false);
}

void TInputForm::changeEvent(QEvent* Event) {
  if (Event->type() == QEvent::ActivationChange && !FClosed)
    RaiseInOrder(FHost);
  QWidget::changeEvent(Event);
}

TDrawingWindow::~TDrawingWindow() {
  if (TInputForm* W = FForm.data()) {
    W->OnClose = nullptr;
    delete W;
  }
}

void TDrawingWindow::Show() {
  if (FForm)
    return;
  FHost.SetDrawingBox(true);
  FHost.SetDisplayBox(true);
  // Setting the boxes may itself have opened a window (when "Enable drawing"
  // was clear, its handler comes back here): never make a second one.
  if (FForm)
    return;
  auto* W = new TInputForm(FHost, FEngine, FHost.FlameStayOnTop());
  W->OnClose = [this] { FForm = nullptr; };
  FForm = W;
  W->show();
  W->raise();
  W->activateWindow();
  FHost.SetSettingsStayOnTop(true);
  ArrangeZOrder();
}

void TDrawingWindow::Hide() {
  if (TInputForm* W = FForm.data()) {
    W->hide();
    W->close();
    FForm = nullptr;
  }
  FHost.SetSettingsStayOnTop(false);
}

void TDrawingWindow::ArrangeZOrder() {
  RaiseInOrder(FHost);
}

void TDrawingWindow::FitToScreen() {
  if (TInputForm* W = FForm.data())
    W->FitToScreen();
}
