#pragma once
// Monitors: the desktop rectangle and the emitter-space origin.
#include <QList>
#include <QPoint>
#include <QPointF>
#include <QRect>
#include <QString>

#include "Rects.h"

class QScreen;

// Qt's rectangle (inclusive right and bottom) as a TRect (exclusive).
TRect ToTRect(const QRect& R);

// The union of (0, 0, primary width, primary height) and every monitor.
TRect DesktopUnion(const QRect& Primary, const QList<QRect>& Monitors);
// DesktopUnion of the screens Qt reports now.
TRect CurrentDesktopRect();

// The monitor showing most of R, else the one nearest to its centre.
QScreen* ScreenNearest(const QRect& R);

// Left + width / 2 and top + height / 2 of a monitor, as singles.
QPointF MonitorCentre(const QRect& Monitor);

// A monitor as the window system names and places it.
struct TMonitor {
  QString Name;
  QRect Geometry;
};
// The monitors Qt reports now.
QList<TMonitor> CurrentMonitors();

// Follows one monitor, by name, through changes of the monitor layout: the
// art belongs to the monitor of its origin and moves with it. On X11 a monitor
// added to the left of the others moves them all to the right.
class TMonitorAnchor {
public:
  // Anchors to the monitor holding Point, else to none.
  void Attach(const QList<TMonitor>& Monitors, QPoint Point);
  // How far the anchored monitor's top-left moved since it was last seen.
  // Nothing while it is gone; a monitor of its name that comes back later
  // counts from where it was last seen.
  QPoint Follow(const QList<TMonitor>& Monitors);
  bool Attached() const { return FAttached; }
  const QString& Name() const { return FName; }

private:
  bool FAttached = false;
  QString FName; // may be empty: some platforms name no monitor
  QPoint FTopLeft;
};

// A screen's whole rectangle and its work area (without panels).
struct TScreenArea {
  QRect Geometry;
  QRect Available;
};
// The screens Qt reports now.
QList<TScreenArea> CurrentScreenAreas();
// Where a window whose frame is Frame goes so that all of it can be seen:
// where it is when one screen holds it whole; else inside the work area of
// the screen that shows most of it (or, when none shows any, the nearest
// one) among those large enough for it, moved as little as it can be (its
// top-left corner on the screen when no screen is large enough).
QPoint PlaceOnScreen(const QRect& Frame, const QList<TScreenArea>& Screens);
