#include "QuitSignals.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#ifdef Q_OS_UNIX
#include <csignal>

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int SignalPipe[2] = {-1, -1};

extern "C" void OnTerminationSignal(int) {
  const char Byte = 1;
  // Async-signal-safe; a full pipe means a quit is already pending.
  [[maybe_unused]] const ssize_t N = ::write(SignalPipe[1], &Byte, 1);
}

} // namespace

bool QuitOnTerminationSignals(QObject* Parent) {
  if (SignalPipe[0] >= 0)
    return true;
  if (::socketpair(AF_UNIX, SOCK_STREAM, 0, SignalPipe) != 0)
    return false;
  for (int Fd : SignalPipe) {
    ::fcntl(Fd, F_SETFL, ::fcntl(Fd, F_GETFL) | O_NONBLOCK);
    ::fcntl(Fd, F_SETFD, FD_CLOEXEC);
  }
  auto* Notifier = new QSocketNotifier(SignalPipe[0], QSocketNotifier::Read, Parent);
  QObject::connect(Notifier, &QSocketNotifier::activated, Notifier, [] {
    char Buffer[16];
    while (::read(SignalPipe[0], Buffer, sizeof Buffer) > 0) {
    }
    QCoreApplication::exit(0);
  });
  struct sigaction Action {};
  Action.sa_handler = OnTerminationSignal;
  sigemptyset(&Action.sa_mask);
  Action.sa_flags = SA_RESTART;
  for (int S : {SIGTERM, SIGINT, SIGHUP})
    ::sigaction(S, &Action, nullptr);
  return true;
}

#else

bool QuitOnTerminationSignals(QObject*) {
  return false;
}

#endif
