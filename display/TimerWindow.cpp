#include "TimerWindow.h"

#include <QCoreApplication>
#include <QtGlobal>

#include <exception>

TTimerWindow::TTimerWindow(QObject* Parent) : QObject(Parent) {
  setObjectName(QStringLiteral("TTimerWindow"));
}

TTimerWindow::~TTimerWindow() {
  DetachTimerPoster(this);
}

QEvent::Type TTimerWindow::TickEvent() {
  static const QEvent::Type Type = static_cast<QEvent::Type>(QEvent::registerEventType());
  return Type;
}

bool TTimerWindow::event(QEvent* Event) {
  if (Event->type() != TickEvent())
    return QObject::event(Event);
  // An exception must not cross Qt's event loop. The timer is idle again already, so the
  // next tick runs the handler afresh.
  try {
    DeliverOne();
  } catch (const std::exception& Error) {
    qWarning("Timer handler failed: %s", Error.what());
  } catch (...) {
    qWarning("Timer handler failed");
  }
  return true;
}

// Called with the queue locked, from a timer thread.
void TTimerWindow::Posted() {
  QCoreApplication::postEvent(this, new QEvent(TickEvent()));
}

// Called with the queue locked, from the GUI thread: one announcing event per tick left.
void TTimerWindow::Purged(std::size_t Remaining) {
  QCoreApplication::removePostedEvents(this, TickEvent());
  for (std::size_t I = 0; I < Remaining; ++I)
    QCoreApplication::postEvent(this, new QEvent(TickEvent()));
}

namespace {
TTimerWindow* GTimerWindow = nullptr;
}

TTimerWindow* InstallTimerWindow() {
  if (!GTimerWindow) {
    GTimerWindow = new TTimerWindow;
    // Gone with the application object at the latest, while its event queues still exist.
    qAddPostRoutine(FreeTimerWindow);
  }
  SetTimerPoster(GTimerWindow);
  return GTimerWindow;
}

void FreeTimerWindow() {
  if (!GTimerWindow)
    return;
  qRemovePostRoutine(FreeTimerWindow);
  delete GTimerWindow;
  GTimerWindow = nullptr;
}
