#pragma once
// Widget tests run on Qt's offscreen platform; one application for the program.
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QImage>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <cstdint>
#include <functional>

#include "DIBmp.h"

inline QApplication& TestApp() {
  static int Argc = 1;
  static char Name[] = "test_display";
  static char* Argv[] = {Name, nullptr};
  static QApplication* App = [] {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
      qputenv("QT_QPA_PLATFORM", "offscreen");
    return new QApplication(Argc, Argv);
  }();
  return *App;
}

// A premultiplied test pattern: alpha rises to the right, colour downwards.
inline uint32_t PatternPixel(int32_t X, int32_t Y) {
  const uint32_t A = uint32_t(64 + (X * 191) / 63) & 0xFF;
  const uint32_t R = (A * uint32_t(Y % 32)) / 31;
  const uint32_t G = (A * uint32_t(31 - Y % 32)) / 31;
  const uint32_t B = A / 2;
  return (A << 24) | (R << 16) | (G << 8) | B;
}

inline void FillPattern(TDIB& Surface) {
  for (int32_t Y = 0; Y < Surface.Height; ++Y)
    for (int32_t X = 0; X < Surface.Width; ++X)
      *Surface.PixelAddress(X, Y) = PatternPixel(X, Y);
}

// Runs the event loop for a while; only a loop that waits sends Qt's queued
// requests to a real display server.
inline void Pump(int Milliseconds) {
  QEventLoop Loop;
  QTimer::singleShot(Milliseconds, &Loop, &QEventLoop::quit);
  Loop.exec();
}

// Runs the event loop until Done holds, for at most TimeoutMs; returns Done().
// The checks after it say what was expected.
inline bool PumpUntil(const std::function<bool()>& Done, int TimeoutMs = 5000) {
  QElapsedTimer Clock;
  Clock.start();
  while (!Done()) {
    if (Clock.elapsed() > TimeoutMs)
      return false;
    Pump(20);
  }
  return true;
}

// Shows the window and lets the platform map it, as a running program would
// before its first frame: only an exposed window paints at once.
inline void ShowExposed(QWidget& W) {
  W.show();
  PumpUntil([&] { return W.windowHandle() && W.windowHandle()->isExposed(); });
  QCoreApplication::processEvents();
}

// What a presentation handed to the window system, read back from the
// window's backing store (the offscreen platform's keeps colour only).
inline bool ShownEquals(const QImage& Shown, int X, int Y, uint32_t Want) {
  const uint32_t Got = Shown.pixel(X, Y);
  return Shown.hasAlphaChannel() ? Got == Want : (Got & 0xFFFFFFu) == (Want & 0xFFFFFFu);
}
