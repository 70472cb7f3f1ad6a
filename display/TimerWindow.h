// The hidden timer window: the Qt side of the timers. Timer threads post their ticks here;
// the ticks run on the thread the window lives in, the GUI thread.
#pragma once

#include "Timers.h"

#include <QEvent>
#include <QObject>

// Each posted tick is queued in the TTimerQueue and announced by one event of TickEvent()
// type. Qt can remove posted events only by receiver and type, not by their contents, so a
// purge removes this timer's ticks from the queue and then replaces the window's posted
// tick events with one per tick left: other timers' ticks stay, in their order.
class TTimerWindow final : public QObject, public TTimerQueue {
  Q_OBJECT

public:
  explicit TTimerWindow(QObject* Parent = nullptr);
  // Stops the timers that post here first, so no timer thread posts into a dead window.
  ~TTimerWindow() override;

  static QEvent::Type TickEvent();

protected:
  bool event(QEvent* Event) override;
  void Posted() override;
  void Purged(std::size_t Remaining) override;
};

// The process-wide timer window: created on the first call, and installed as the poster of
// every timer started from then on. Freed by FreeTimerWindow, or when the application object
// goes away.
TTimerWindow* InstallTimerWindow();
void FreeTimerWindow();
