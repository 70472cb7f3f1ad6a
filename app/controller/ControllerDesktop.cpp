// What the desktop does around the program: windows that hide the flame,
// monitors that come and go, a compositing manager and a tray that start and
// stop.
#include <QGuiApplication>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTimer>

#include <cmath>

#include "DesktopWindowing.h"
#include "FlameController.h"
#include "FlameEngine.h"
#include "FlameWindow.h"

void TFlameController::SetUnseenWatch(std::unique_ptr<IUnseenWatch> Watch) {
  FUnseen = std::move(Watch);
  FDesktop.Unseen = {};
  if (FUnseen) {
    if (FEngine)
      FUnseen->SetArea(QRect(FEngine->DesktopRect.Left, FEngine->DesktopRect.Top,
                             FEngine->DesktopRect.Width(), FEngine->DesktopRect.Height()));
    FUnseen->SetOnChange([this] {
      FDesktop.Unseen = FUnseen->State();
      Apply();
    });
    FDesktop.Unseen = FUnseen->State();
  }
  Apply();
}

void TFlameController::WatchDesktop() {
  CheckDesktop();
  if (!FDesktopWatch) {
    // Either may start or stop while the program runs. Asking the display is
    // a few round trips, once a second.
    FDesktopWatch = new QTimer(this);
    QObject::connect(FDesktopWatch, &QTimer::timeout, this, [this] { CheckDesktop(); });
  }
  if (!FShown.Paused)
    FDesktopWatch->start(DesktopCheckInterval);
}

void TFlameController::CheckDesktop() {
  const QString Note = PerPixelAlphaWarning();
  FDesktop.Compositing = Note.isEmpty();
  if (Note != FCompositingNote) {
    FCompositingNote = Note;
    emit CompositingNoteChanged(Note);
  }
  SetTrayAvailable(QSystemTrayIcon::isSystemTrayAvailable());
}

void TFlameController::WatchMonitors() {
  if (!FEngine)
    return;
  FAnchor.Attach(CurrentMonitors(),
                 QPoint(int(std::floor(FEngine->OriginX)), int(std::floor(FEngine->OriginY))));
  auto Watch = [this](QScreen* S) {
    QObject::connect(S, &QScreen::geometryChanged, this, [this] { MonitorsChanged(); });
    QObject::connect(S, &QScreen::availableGeometryChanged, this, [this] { MonitorsChanged(); });
  };
  for (QScreen* S : QGuiApplication::screens())
    Watch(S);
  QObject::connect(qGuiApp, &QGuiApplication::screenAdded, this, [this, Watch](QScreen* S) {
    Watch(S);
    MonitorsChanged();
  });
  QObject::connect(qGuiApp, &QGuiApplication::screenRemoved, this, [this] { MonitorsChanged(); });
  QObject::connect(qGuiApp, &QGuiApplication::primaryScreenChanged, this,
                   [this] { MonitorsChanged(); });
}

void TFlameController::MonitorsChanged() {
  // A removed screen is still listed while its notice runs, and one change
  // of the layout comes as several notices: read the monitors once they
  // have all been handled.
  if (FMonitorsQueued)
    return;
  FMonitorsQueued = true;
  QTimer::singleShot(0, this, [this] {
    FMonitorsQueued = false;
    ApplyMonitors(CurrentMonitors(), CurrentDesktopRect());
  });
}

void TFlameController::ApplyMonitors(const QList<TMonitor>& Monitors, const TRect& Desktop) {
  if (!FEngine || !FPartWindow)
    return;
  const QPoint Shift = FAnchor.Follow(Monitors);
  const bool Moved = !Shift.isNull();
  if (Desktop != FEngine->DesktopRect || Moved) {
    FEngine->MoveDesktop(Desktop, TPoint{Shift.x(), Shift.y()});
    FPartWindow->FDesktopRect = Desktop;
  }
  if (FUnseen)
    FUnseen->SetArea(QRect(Desktop.Left, Desktop.Top, Desktop.Width(), Desktop.Height()));
  // The drawing window covers its monitor's work area, as when it opened.
  if (FDrawing)
    FDrawing->FitToScreen();
  emit MonitorsApplied();
}
