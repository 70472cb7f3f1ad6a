#pragma once
// "Debug mode": the engine's debug flag, a one-time snapshot of the numbers
// that decide where the flame is drawn (shown in place of the quick help),
// the engine's counters in the settings window's caption while it is on, and
// the caption "QUELMA" back when it is cleared.
#include <QString>
#include <QStringList>

#include <functional>

#include "Rects.h"

class QPlainTextEdit;
class QWidget;
class TPartForm;

// The snapshot: separators, desktop rectangle, origin in the surface, origin,
// flame window rectangle, an empty line, then "EM<i> X:<x> Y:<y>" per
// emitter. Floats in the state files' general form with Decimal.
QStringList DebugSnapshotLines(const TPartForm& Form, const TRect& LayeredBounds,
                               const QString& Thousand, const QString& Decimal);

class TDebugReadout {
public:
  std::function<TPartForm*()> Engine;
  std::function<TRect()> LayeredBounds; // the flame window's rectangle
  std::function<void()> ClearFading;    // the "Clear fading" button's reset
  QPlainTextEdit* HelpMemo = nullptr;
  QWidget* Window = nullptr; // whose caption shows the counters
  // The separators used (default: the user's locale).
  QString Thousand, Decimal;

  // Routes the engine's counter line into the window's caption.
  void Install();
  // The click handling of "Debug mode".
  void DebugBoxClick(bool Checked);
};
