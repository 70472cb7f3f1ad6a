#include "SingleInstance.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>

#include <memory>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace {

// The decision lock is held for a connect and, at most, a listen; a holder
// that has not let go after this long is passed by.
constexpr int LockWaitMs = 5000;

} // namespace

QString InstanceServerName() {
  // The per-user runtime folder is private to the user; elsewhere the shared
  // temporary folder with the user's id in the name.
  const QString Runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
  if (!Runtime.isEmpty() && QFileInfo(Runtime).isDir())
    return QDir(Runtime).filePath(QStringLiteral("quelma.sock"));
#ifdef Q_OS_UNIX
  return QStringLiteral("quelma-%1").arg(::getuid());
#else
  return QStringLiteral("quelma-") + qEnvironmentVariable("USERNAME");
#endif
}

QString InstanceLockPath(const QString& Name) {
  if (QDir::isAbsolutePath(Name))
    return Name + QStringLiteral(".lock");
  return QDir::temp().filePath(Name + QStringLiteral(".lock"));
}

// ---- Later starts -------------------------------------------------------------------

namespace {

enum class TConnect { Connected, NoInstance, NoAnswer };

TConnect Connect(QLocalSocket& S, const QString& Name, int TimeoutMs) {
  S.connectToServer(Name);
  if (S.waitForConnected(TimeoutMs))
    return TConnect::Connected;
  switch (S.error()) {
  case QLocalSocket::ServerNotFoundError:
  case QLocalSocket::ConnectionRefusedError:
    return TConnect::NoInstance;
  default:
    return TConnect::NoAnswer;
  }
}

// Sends Message on a connected socket and reads the answer; with WaitForEnd
// also waits (as long again) for the instance to close the connection.
THandOverResult Exchange(QLocalSocket& S, const QByteArray& Message, int TimeoutMs, bool WaitForEnd,
                         QString* Failure = nullptr) {
  QDeadlineTimer Deadline(TimeoutMs);
  S.write(Message);
  while (S.bytesToWrite() > 0 && S.waitForBytesWritten(int(Deadline.remainingTime()))) {
  }
  while (S.bytesAvailable() < 1 && S.state() == QLocalSocket::ConnectedState &&
         S.waitForReadyRead(int(Deadline.remainingTime()))) {
  }
  if (S.bytesAvailable() < 1)
    return THandOverResult::NoAnswer;
  char Answer = 0;
  S.getChar(&Answer);
  if (Answer == HandOverRefused)
    return THandOverResult::Refused;
  if (Answer == HandOverFailed) {
    // The reason follows, up to the end of the connection.
    QByteArray Reason;
    while (Reason.size() <= HandOverMaxBytes) {
      Reason += S.read(HandOverMaxBytes + 1 - Reason.size());
      if (S.state() != QLocalSocket::ConnectedState ||
          !S.waitForReadyRead(int(Deadline.remainingTime())))
        break;
    }
    Reason += S.read(HandOverMaxBytes + 1 - Reason.size());
    if (Failure)
      *Failure = QString::fromUtf8(Reason.left(HandOverMaxBytes));
    return THandOverResult::Failed;
  }
  if (Answer != HandOverAck)
    return THandOverResult::NoAnswer;
  if (WaitForEnd && S.state() == QLocalSocket::ConnectedState)
    S.waitForDisconnected(TimeoutMs);
  return THandOverResult::Delivered;
}

// Held while a start decides whether an instance runs. Without it (a folder
// that takes no lock file, a holder stuck past LockWaitMs) the start decides
// unguarded: Listen still refuses a name someone answers on.
class TDecisionLock {
public:
  explicit TDecisionLock(const QString& Name) : FLock(InstanceLockPath(Name)) {
    FLock.tryLock(LockWaitMs);
  }

private:
  QLockFile FLock;
};

// Sends Message over a connection attempt's socket, when it connected.
THandOverResult SendOver(QLocalSocket& S, TConnect Connected, const QByteArray& Message,
                         int TimeoutMs, bool WaitForEnd, QString* Failure = nullptr) {
  switch (Connected) {
  case TConnect::NoInstance:
    return THandOverResult::NoInstance;
  case TConnect::NoAnswer:
    return THandOverResult::NoAnswer;
  case TConnect::Connected:
    break;
  }
  return Exchange(S, Message, TimeoutMs, WaitForEnd, Failure);
}

} // namespace

THandOverResult HandOverToRunningInstance(const QString& Name, const QString& Path, int TimeoutMs,
                                          QString* Failure) {
  QLocalSocket S;
  return SendOver(S, Connect(S, Name, TimeoutMs), EncodeHandOver(Path), TimeoutMs, false, Failure);
}

THandOverResult SendRemoteCommand(const QString& Name, TRemoteCommand Command, int TimeoutMs) {
  QLocalSocket S;
  TConnect Connected;
  {
    // A start deciding at this moment is waited for, so its instance counts.
    const TDecisionLock Lock(Name);
    Connected = Connect(S, Name, TimeoutMs);
  }
  return SendOver(S, Connected, EncodeRemoteCommand(Command), TimeoutMs,
                  Command == TRemoteCommand::Exit);
}

TInstanceStart StartSingleInstance(const QStringList& Arguments, QObject* ServerParent,
                                   const QString& Name) {
  TInstanceStart Start;
  QLocalSocket S;
  {
    // Connect, else listen, as one step among starts at the same moment.
    const TDecisionLock Lock(Name);
    TConnect Connected = Connect(S, Name, HandOverTimeoutMs);
    if (Connected == TConnect::NoInstance) {
      auto* Server = new TInstanceServer(ServerParent);
      if (Server->Listen(Name)) {
        Start.Server = Server;
        return Start;
      }
      delete Server;
      // An unguarded decision: another start listens now. Or the socket
      // cannot be made at all, and this process runs alone (NoInstance).
      Connected = Connect(S, Name, HandOverTimeoutMs);
    }
    if (Connected != TConnect::Connected) {
      Start.Result = Connected == TConnect::NoInstance ? THandOverResult::NoInstance
                                                       : THandOverResult::NoAnswer;
      return Start;
    }
  }
  Start.Result = Exchange(S, EncodeHandOver(HandOverPath(Arguments)), HandOverTimeoutMs, false,
                          &Start.Failure);
  return Start;
}
