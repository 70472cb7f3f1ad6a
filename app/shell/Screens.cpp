#include "Screens.h"

#include <QGuiApplication>
#include <QScreen>

#include <algorithm>
#include <limits>

namespace {

// Squared distance from P to the nearest point of R (0 inside).
long long SquaredDistance(QPoint P, const QRect& R) {
  const long long Dx = P.x() < R.left()    ? R.left() - P.x()
                       : P.x() > R.right() ? P.x() - R.right()
                                           : 0;
  const long long Dy = P.y() < R.top()      ? R.top() - P.y()
                       : P.y() > R.bottom() ? P.y() - R.bottom()
                                            : 0;
  return Dx * Dx + Dy * Dy;
}

} // namespace

TRect ToTRect(const QRect& R) {
  return TRect{R.x(), R.y(), R.x() + R.width(), R.y() + R.height()};
}

TRect DesktopUnion(const QRect& Primary, const QList<QRect>& Monitors) {
  QRect U(0, 0, Primary.width(), Primary.height());
  for (const QRect& M : Monitors)
    U = U.united(M);
  return ToTRect(U);
}

TRect CurrentDesktopRect() {
  QList<QRect> Monitors;
  for (QScreen* S : QGuiApplication::screens())
    Monitors.append(S->geometry());
  QScreen* P = QGuiApplication::primaryScreen();
  return DesktopUnion(P ? P->geometry() : QRect(), Monitors);
}

QList<TMonitor> CurrentMonitors() {
  QList<TMonitor> Monitors;
  for (QScreen* S : QGuiApplication::screens())
    Monitors.append(TMonitor{S->name(), S->geometry()});
  return Monitors;
}

void TMonitorAnchor::Attach(const QList<TMonitor>& Monitors, QPoint Point) {
  FAttached = false;
  FName.clear();
  for (const TMonitor& M : Monitors)
    if (M.Geometry.contains(Point)) {
      FAttached = true;
      FName = M.Name;
      FTopLeft = M.Geometry.topLeft();
      return;
    }
}

QPoint TMonitorAnchor::Follow(const QList<TMonitor>& Monitors) {
  if (!FAttached)
    return {};
  for (const TMonitor& M : Monitors)
    if (M.Name == FName) {
      const QPoint Moved = M.Geometry.topLeft() - FTopLeft;
      FTopLeft = M.Geometry.topLeft();
      return Moved;
    }
  return {};
}

QScreen* ScreenNearest(const QRect& R) {
  QScreen* Best = nullptr;
  long long BestArea = 0;
  for (QScreen* S : QGuiApplication::screens()) {
    const QRect I = S->geometry().intersected(R);
    const long long Area = static_cast<long long>(I.width()) * I.height();
    if (Area > BestArea) {
      Best = S;
      BestArea = Area;
    }
  }
  if (Best)
    return Best;
  long long BestDist = std::numeric_limits<long long>::max();
  const QPoint C = R.center();
  for (QScreen* S : QGuiApplication::screens()) {
    const long long Dist = SquaredDistance(C, S->geometry());
    if (Dist < BestDist) {
      Best = S;
      BestDist = Dist;
    }
  }
  return Best ? Best : QGuiApplication::primaryScreen();
}

QPointF MonitorCentre(const QRect& Monitor) {
  return QPointF(static_cast<float>(Monitor.x() + Monitor.width() / 2.0),
                 static_cast<float>(Monitor.y() + Monitor.height() / 2.0));
}

QList<TScreenArea> CurrentScreenAreas() {
  QList<TScreenArea> Areas;
  for (QScreen* S : QGuiApplication::screens())
    Areas.append(TScreenArea{S->geometry(), S->availableGeometry()});
  return Areas;
}

QPoint PlaceOnScreen(const QRect& Frame, const QList<TScreenArea>& Screens) {
  const TScreenArea* Best = nullptr;
  bool BestFits = false;
  long long BestArea = 0;
  long long BestDist = std::numeric_limits<long long>::max();
  const QPoint C = Frame.center();
  for (const TScreenArea& S : Screens) {
    if (S.Geometry.contains(Frame))
      return Frame.topLeft();
    // A monitor too small for the window would leave part of it off: one
    // that holds it whole wins over more overlap.
    const QRect& Room = S.Available.isValid() ? S.Available : S.Geometry;
    const bool Fits = Room.width() >= Frame.width() && Room.height() >= Frame.height();
    if (BestFits && !Fits)
      continue;
    const QRect I = S.Geometry.intersected(Frame);
    const long long Area = static_cast<long long>(I.width()) * I.height();
    const long long Dist = SquaredDistance(C, S.Geometry);
    if ((Fits && !BestFits) || Area > BestArea || (BestArea == 0 && Area == 0 && Dist < BestDist)) {
      Best = &S;
      BestFits = Fits;
      BestArea = Area;
      BestDist = Dist;
    }
  }
  if (!Best)
    return Frame.topLeft(); // no screen at all: nothing to go by
  const QRect A = Best->Available.isValid() ? Best->Available : Best->Geometry;
  const int X = std::max(A.left(), std::min(Frame.left(), A.left() + A.width() - Frame.width()));
  const int Y = std::max(A.top(), std::min(Frame.top(), A.top() + A.height() - Frame.height()));
  return QPoint(X, Y);
}
