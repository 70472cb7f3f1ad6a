#pragma once
// Monitors: the desktop rectangle and the emitter-space origin.
#include <QList>
#include <QPointF>
#include <QRect>

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
