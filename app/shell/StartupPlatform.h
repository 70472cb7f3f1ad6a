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

// Decides from the environment (Env(name) returns the variable, empty when unset).
TPlatformChoice ChoosePlatform(const std::function<QByteArray(const char*)>& Env);

// Applies ChoosePlatform to the process environment and turns high-DPI scaling
// off. Returns false (after printing the note) when the program cannot run.
bool PreparePlatform();
