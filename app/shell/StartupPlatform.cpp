#include "StartupPlatform.h"

#include <QtGlobal>

#include <cstdio>

TPlatformChoice ChoosePlatform(const std::function<QByteArray(const char*)>& Env) {
  TPlatformChoice C;
  const QByteArray Requested = Env("QT_QPA_PLATFORM");
  const bool Wayland = !Env("WAYLAND_DISPLAY").isEmpty() || Env("XDG_SESSION_TYPE") == "wayland";
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
