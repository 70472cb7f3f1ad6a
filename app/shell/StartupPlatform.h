#pragma once
// Choices made before the application object exists: the Qt platform and the
// pixel scale. The flame and drawing windows sit at exact desktop positions in
// device pixels, which only X11 allows.
#include <QByteArray>
#include <QString>

#include <functional>

struct TPlatformChoice {
  QByteArray Platform; // value for QT_QPA_PLATFORM; empty: leave it as it is
  QString Note;        // to tell the user on standard error; empty: nothing
  bool Fatal = false;  // cannot run: Note says why
};

// The environment: Env(name) returns the variable, empty when unset.
using TEnvironment = std::function<QByteArray(const char*)>;

// Decides from the environment.
TPlatformChoice ChoosePlatform(const TEnvironment& Env);

// A Wayland session: WAYLAND_DISPLAY is set, or XDG_SESSION_TYPE is "wayland".
bool IsWaylandSession(const TEnvironment& Env);

// A Wayland session while the program runs on X11 (Platform: Qt's platform
// name, "xcb"), that is through XWayland. There the global hot keys, which
// are X11 key grabs, see only keys sent to an X11 window.
bool WaylandSessionOnX11(const TEnvironment& Env, const QString& Platform);

// What to tell the user on such a session about the hot keys.
QString WaylandHotKeysNote();

// On such a session (asked of the process and of Qt), writes
// WaylandHotKeysNote to standard error the first time (once per process) and
// returns it for the System tab; elsewhere returns "".
QString ReportWaylandHotKeysOnce();

// Applies ChoosePlatform to the process environment and turns Qt's high-DPI
// scaling off, so that the flame and the drawing window work in screen
// pixels. Returns false (after printing the note) when the program cannot
// run.
bool PreparePlatform();

// The scale the user asked of Qt (QT_SCALE_FACTOR, as it was before
// PreparePlatform took it away; 1 when none or not a number above 0).
double UserScaleFactor();

// How much larger than designed the settings window and its dialogs are
// drawn: the user's scale factor times the screen's logical DPI over 96.
double InterfaceScale(double LogicalDpi);
