#include "StartupPlatform.h"

#include <QGuiApplication>
#include <QtGlobal>

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
  if (!Wayland && !AsksWayland)
    return C; // X11, or a platform chosen on purpose
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

bool PreparePlatform() {
  const TPlatformChoice C = ChoosePlatform([](const char* Name) { return qgetenv(Name); });
  if (!C.Note.isEmpty())
    std::fprintf(stderr, "quelma: %s\n", C.Note.toLocal8Bit().constData());
  if (C.Fatal)
    return false;
  if (!C.Platform.isEmpty())
    qputenv("QT_QPA_PLATFORM", C.Platform);
  // Device pixels everywhere: no scaling of the flame or drawing windows.
  qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
  qunsetenv("QT_SCALE_FACTOR");
  qunsetenv("QT_SCREEN_SCALE_FACTORS");
  return true;
}
