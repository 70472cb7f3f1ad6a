#include "RepeatClock.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTimer>

namespace {

class TQtRepeatClock final : public IRepeatClock {
public:
  void StartRepeat(int Interval, std::function<void()> Handler, const void* Owner) override {
    QTimer* timer = Timer();
    FHandler = std::move(Handler);
    FOwner = Owner;
    timer->start(Interval);
  }

  void SetInterval(int Interval) override {
    QTimer* timer = Timer();
    if (timer->interval() != Interval)
      timer->start(Interval);
  }

  void StopRepeat(const void* Owner) override {
    if (Owner != FOwner || !FTimer)
      return;
    FTimer->stop();
    FOwner = nullptr;
    FHandler = nullptr;
  }

private:
  // Made on first use and owned by the application object, so it goes with it.
  QTimer* Timer() {
    if (!FTimer) {
      FTimer = new QTimer(QCoreApplication::instance());
      QObject::connect(FTimer, &QTimer::timeout, FTimer, [this] {
        // A copy: the handler may stop or restart the clock.
        if (std::function<void()> handler = FHandler)
          handler();
      });
    }
    return FTimer;
  }

  QPointer<QTimer> FTimer;
  std::function<void()> FHandler;
  const void* FOwner = nullptr;
};

TQtRepeatClock& QtClock() {
  static TQtRepeatClock clock;
  return clock;
}

IRepeatClock* Installed = nullptr;

} // namespace

IRepeatClock& RepeatClock() {
  return Installed ? *Installed : QtClock();
}

void SetRepeatClock(IRepeatClock* Clock) {
  Installed = Clock;
}
