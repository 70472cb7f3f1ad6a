// Following the monitors: added, removed, moved or resized at run time.
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>

#include <cmath>

#include "FlameEngine.h"
#include "FlameWindow.h"
#include "MainForm.h"

void TQUELMAMainForm::WatchMonitors() {
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

void TQUELMAMainForm::MonitorsChanged() {
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

void TQUELMAMainForm::ApplyMonitors(const QList<TMonitor>& Monitors, const TRect& Desktop) {
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
}
