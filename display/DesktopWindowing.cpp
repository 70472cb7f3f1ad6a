#include "DesktopWindowing.h"

#include <QGuiApplication>

#include <cstdio>

bool RunningOnX11() {
  return QGuiApplication::platformName() == QLatin1String("xcb");
}

Qt::WindowFlags LayeredWindowFlags() {
  Qt::WindowFlags Flags = Qt::Tool | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus |
                          Qt::NoDropShadowWindowHint;
  // A managed window may be moved on screen, framed or stacked by the window
  // manager's rules; the flame must sit exactly where the art is.
  if (RunningOnX11())
    Flags |= Qt::X11BypassWindowManagerHint;
  return Flags;
}

QString PerPixelAlphaWarning() {
  if (AlphaCompositing() != TAlphaCompositing::Missing)
    return QString();
  return QStringLiteral(
      "No compositing manager is running on this X display, so the flame's transparency "
      "cannot be shown: it appears without blending over the desktop. Start a compositing "
      "manager (for example xcompmgr or picom) or use a desktop that composites.");
}

QString ReportPerPixelAlphaOnce() {
  static bool Reported = false;
  const QString Text = PerPixelAlphaWarning();
  if (!Text.isEmpty() && !Reported) {
    Reported = true;
    std::fprintf(stderr, "quelma: %s\n", Text.toLocal8Bit().constData());
    std::fflush(stderr);
  }
  return Text;
}
