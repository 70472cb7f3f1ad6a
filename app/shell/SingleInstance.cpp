#include "SingleInstance.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QPointer>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QTimer>

#include <memory>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace {

// A client that has not finished its message after this long is dropped.
constexpr int ClientLimitMs = 10000;
// The decision lock is held for a connect and, at most, a listen; a holder
// that has not let go after this long is passed by.
constexpr int LockWaitMs = 5000;

struct TCommandName {
  TRemoteCommand Command;
  const char* Name;
};
constexpr TCommandName CommandNames[] = {
    {TRemoteCommand::ToggleDrawing, "toggle-drawing"},
    {TRemoteCommand::ToggleVisible, "toggle-visible"},
    {TRemoteCommand::ToggleSettings, "toggle-settings"},
    {TRemoteCommand::ShowSettings, "show-settings"},
    {TRemoteCommand::StartOver, "start-over"},
    {TRemoteCommand::Exit, "exit"},
};

QByteArray Framed(const QByteArray& Body) {
  const auto N = uint32_t(Body.size());
  QByteArray M;
  M.reserve(4 + Body.size());
  M.append(char(N >> 24)).append(char(N >> 16)).append(char(N >> 8)).append(char(N));
  M.append(Body);
  return M;
}

} // namespace

const char* RemoteCommandName(TRemoteCommand Command) {
  for (const TCommandName& C : CommandNames)
    if (C.Command == Command)
      return C.Name;
  return "";
}

std::optional<TRemoteCommand> RemoteCommandNamed(std::string_view Name) {
  for (const TCommandName& C : CommandNames)
    if (Name == C.Name)
      return C.Command;
  return std::nullopt;
}

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

QString HandOverPath(const QStringList& Arguments) {
  if (Arguments.isEmpty())
    return {};
  const QString& First = Arguments.front();
  const qsizetype Dot = First.lastIndexOf(QLatin1Char('.'));
  if (Dot < 0 || First.mid(Dot).compare(QLatin1String(".quelma"), Qt::CaseInsensitive) != 0)
    return {};
  // The running instance has another working folder.
  return QFileInfo(First).absoluteFilePath();
}

QByteArray EncodeHandOver(const QString& Path) {
  QByteArray Utf8 = Path.toUtf8();
  if (Utf8.size() > HandOverMaxBytes)
    Utf8.clear(); // a path that long cannot be meant
  return Framed(Utf8);
}

QByteArray EncodeRemoteCommand(TRemoteCommand Command) {
  return Framed(QByteArray(1, '\0') + RemoteCommandName(Command));
}

THandOverDecoder::TState THandOverDecoder::Fail(TState State) {
  FState = State;
  FBuffer.clear();
  FPath.clear();
  FCommand.reset();
  return FState;
}

THandOverDecoder::TState THandOverDecoder::Feed(const QByteArray& Bytes) {
  if (FState != NeedMore)
    return Bytes.isEmpty() ? FState : Fail(Malformed);
  FBuffer.append(Bytes);
  if (FBuffer.size() < 4)
    return FState;
  const auto* P = reinterpret_cast<const unsigned char*>(FBuffer.constData());
  const uint32_t N =
      uint32_t(P[0]) << 24 | uint32_t(P[1]) << 16 | uint32_t(P[2]) << 8 | uint32_t(P[3]);
  if (N > uint32_t(HandOverMaxBytes))
    return Fail(Malformed);
  if (FBuffer.size() < qsizetype(4 + N))
    return FState;
  if (FBuffer.size() > qsizetype(4 + N))
    return Fail(Malformed);
  QByteArray Text = FBuffer.mid(4);
  if (Text.startsWith('\0')) {
    // A command: its exact name, nothing before or after it.
    const QByteArray Name = Text.mid(1);
    FCommand = RemoteCommandNamed(std::string_view(Name.constData(), size_t(Name.size())));
    FBuffer.clear();
    if (!FCommand)
      return Fail(Refused);
    FState = Complete;
    return FState;
  }
  // The text ends at its first NUL byte, as a C string would.
  const qsizetype Nul = Text.indexOf('\0');
  if (Nul >= 0)
    Text.truncate(Nul);
  QStringDecoder Decode(QStringDecoder::Utf8);
  FPath = Decode.decode(Text);
  FState = Decode.hasError() ? Malformed : Complete;
  if (FState == Malformed)
    FPath.clear();
  FBuffer.clear();
  return FState;
}

// ---- First instance --------------------------------------------------------------

TInstanceServer::TInstanceServer(QObject* Parent)
    : QObject(Parent), FServer(new QLocalServer(this)) {
  FServer->setSocketOptions(QLocalServer::UserAccessOption);
  QObject::connect(FServer, &QLocalServer::newConnection, this, [this] { NewConnection(); });
}

TInstanceServer::~TInstanceServer() {
  FServer->close();
}

bool TInstanceServer::Listen(const QString& Name) {
  // Someone answering there is a running instance. Checked before listening:
  // with owner-only access Qt puts the new socket in place of an existing
  // one instead of failing.
  {
    QLocalSocket Probe;
    Probe.connectToServer(Name);
    if (Probe.waitForConnected(1000)) {
      Probe.abort();
      return false;
    }
  }
  // Nobody answers: a socket left by a crashed instance, or none at all.
  QLocalServer::removeServer(Name);
  return FServer->listen(Name);
}

QString TInstanceServer::FullServerName() const {
  return FServer->fullServerName();
}

void TInstanceServer::NewConnection() {
  while (QLocalSocket* S = FServer->nextPendingConnection()) {
    QObject::connect(S, &QLocalSocket::disconnected, S, &QObject::deleteLater);
    auto Decoder = std::make_shared<THandOverDecoder>();
    QPointer<QLocalSocket> Guard(S);
    QTimer::singleShot(ClientLimitMs, S, [Guard] {
      if (Guard)
        Guard->abort();
    });
    QObject::connect(S, &QLocalSocket::readyRead, this, [this, S, Decoder] {
      // Never more than one message's worth of bytes is buffered.
      const qint64 Room = 4 + HandOverMaxBytes + 1;
      const THandOverDecoder::TState State = Decoder->Feed(S->read(Room));
      if (State == THandOverDecoder::NeedMore)
        return;
      if (State == THandOverDecoder::Malformed) {
        S->abort();
        return;
      }
      const auto Answer = [S](char Byte, bool Close) {
        S->write(QByteArray(1, Byte));
        S->flush();
        if (Close)
          S->disconnectFromServer();
      };
      const std::optional<TRemoteCommand> Command = Decoder->Command();
      if (State == THandOverDecoder::Refused || (Command && !OnCommand)) {
        Answer(HandOverRefused, true);
        return;
      }
      if (Command) {
        // Carried out before the answer, so the sender's status means it is
        // done. "Exit" keeps the connection: it closes as the program ends.
        OnCommand(*Command);
        Answer(HandOverAck, *Command != TRemoteCommand::Exit);
        return;
      }
      // Loaded before the answer, so that the later start can say whether it
      // was; a message box about it waits until the answer is sent.
      const QString Path = Decoder->Path();
      QPointer<QLocalSocket> Still(S);
      const QString Failure = OnHandOver ? OnHandOver(Path) : QString();
      if (!Still)
        return; // the client gave up meanwhile
      if (Failure.isEmpty()) {
        Answer(HandOverAck, true);
        return;
      }
      S->write(QByteArray(1, HandOverFailed) + Failure.toUtf8().left(HandOverMaxBytes));
      S->flush();
      S->disconnectFromServer();
    });
  }
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
