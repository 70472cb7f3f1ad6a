#include "StartupPlatform.h"

#include "DesktopWindowing.h"

#include <QGuiApplication>
#include <QtGlobal>

#include <algorithm>
#include <cstdio>

bool IsWaylandSession(const TEnvironment& Env) {
  return !Env("WAYLAND_DISPLAY").isEmpty() || Env("XDG_SESSION_TYPE") == "wayland";
}

bool WaylandSessionOnX11(const TEnvironment& Env, const QString& Platform) {
  return Platform == QLatin1String("xcb") && IsWaylandSession(Env);
}

QString WaylandHotKeysNote() {
  return QStringLiteral(
      "On this Wayland session the global hot keys work only while an X11 window, such as "
      "QUELMA's settings window, has focus. Bind \"quelma --toggle-drawing\", "
      "\"quelma --toggle-visible\" or \"quelma --toggle-settings\" to keys in your desktop's "
      "settings instead.");
}

QString ReportWaylandHotKeysOnce() {
  if (!WaylandSessionOnX11([](const char* Name) { return qgetenv(Name); },
                           QGuiApplication::platformName()))
    return QString();
  static bool Reported = false;
  if (!Reported) {
    Reported = true;
    std::fprintf(stderr, "quelma: %s\n", WaylandHotKeysNote().toLocal8Bit().constData());
    std::fflush(stderr);
  }
  return WaylandHotKeysNote();
}

TPlatformChoice ChoosePlatform(const TEnvironment& Env) {
  TPlatformChoice C;
  const QByteArray Requested = Env("QT_QPA_PLATFORM");
  const bool Wayland = IsWaylandSession(Env);
  const bool AsksWayland = Requested.startsWith("wayland");
  if (!Wayland && !AsksWayland) {
    // X11, or a platform chosen on purpose; X11 needs a display to reach.
    if ((Requested.isEmpty() || Requested == "xcb") && Env("DISPLAY").isEmpty()) {
      C.Fatal = true;
      C.Note = QStringLiteral("no display: DISPLAY is not set. QUELMA shows its flame on an X11 "
                              "desktop; start it from a desktop session.");
    }
    return C;
  }
  if (!Requested.isEmpty() && !AsksWayland && Requested != "xcb")
    return C;
  if (Env("DISPLAY").isEmpty()) {
    C.Fatal = true;
    C.Note = QStringLiteral(
        "this Wayland session has no X server (XWayland): QUELMA places its windows at exact "
        "desktop positions, which needs X11.");
    return C;
  }
  C.Platform = "xcb";
  C.Note = QStringLiteral(
      "Wayland session: running through XWayland (Qt's xcb platform), so the flame can be "
      "placed on the desktop.");
  return C;
}

namespace {
double GUserScale = 1.0;
}

double UserScaleFactor() {
  return GUserScale;
}

double InterfaceScale(double LogicalDpi) {
  const double Dpi = LogicalDpi > 0 ? LogicalDpi / 96.0 : 1.0;
  return GUserScale * std::max(1.0, Dpi);
}

bool PreparePlatform() {
  const TPlatformChoice C = ChoosePlatform([](const char* Name) { return qgetenv(Name); });
  if (!C.Note.isEmpty())
    std::fprintf(stderr, "quelma: %s\n", C.Note.toLocal8Bit().constData());
  if (C.Fatal)
    return false;
  if (!C.Platform.isEmpty())
    qputenv("QT_QPA_PLATFORM", C.Platform);
  const QByteArray Platform = qgetenv("QT_QPA_PLATFORM");
  if (Platform.isEmpty() || Platform == "xcb") {
    // Qt would abort the process on a display it cannot open.
    const QByteArray Display = qgetenv("DISPLAY");
    if (!DisplayAnswers(Display)) {
      std::fprintf(stderr, "quelma: cannot open the display \"%s\": no X server answers there.\n",
                   Display.constData());
      return false;
    }
  }
  // Device pixels everywhere: no scaling of the flame or drawing windows.
  // The settings window scales itself instead (InterfaceScale).
  bool Number = false;
  const double Asked = qEnvironmentVariable("QT_SCALE_FACTOR").toDouble(&Number);
  GUserScale = Number && Asked > 0 && Asked <= 8 ? Asked : 1.0;
  qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
  qunsetenv("QT_SCALE_FACTOR");
  qunsetenv("QT_SCREEN_SCALE_FACTORS");
  return true;
}
