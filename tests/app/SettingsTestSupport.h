#pragma once
// Widget tests on Qt's offscreen platform: one application object for the
// whole test program, whichever test needs it first.
#include <QApplication>
#include <QCoreApplication>
#include <QEvent>

inline QApplication& SettingsTestApp() {
  if (auto* Existing = qobject_cast<QApplication*>(QCoreApplication::instance()))
    return *Existing;
  static int Argc = 1;
  static char Name[] = "test_app";
  static char* Argv[] = {Name, nullptr};
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  // No style of the user's or of an installed copy reaches a test: the data
  // folders are empty unless a test sets its own (DataFolders.h).
  qputenv("XDG_DATA_HOME", "/nonexistent/data-home");
  qputenv("XDG_DATA_DIRS", "/nonexistent/data-dirs");
  // Never destroyed: Qt's input devices must not outlive it at exit.
  static QApplication* A = new QApplication(Argc, Argv);
  return *A;
}

inline void SettleEvents() {
  for (int i = 0; i < 3; ++i) {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
  }
}

#include <gtest/gtest.h>

// A fixture base that has the application before any member widget exists.
class SettingsAppTest : public ::testing::Test {
protected:
  SettingsAppTest() { SettingsTestApp(); }
};
