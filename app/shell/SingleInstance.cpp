#include "SingleInstance.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
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

QString HandOverPath(const QStringList& Arguments) {
  if (Arguments.isEmpty())
    return {};
  const QString& First = Arguments.front();
  const qsizetype Dot = First.lastIndexOf(QLatin1Char('.'));
  if (Dot < 0 || First.mid(Dot).compare(QLatin1String(".quelma"), Qt::CaseInsensitive) != 0)
    return {};
  return First;
}

QByteArray EncodeHandOver(const QString& Path) {
  QByteArray Utf8 = Path.toUtf8();
  if (Utf8.size() > HandOverMaxBytes)
    Utf8.clear(); // a path that long cannot be meant
  const auto N = uint32_t(Utf8.size());
  QByteArray M;
  M.reserve(4 + Utf8.size());
  M.append(char(N >> 24)).append(char(N >> 16)).append(char(N >> 8)).append(char(N));
  M.append(Utf8);
  return M;
}

THandOverDecoder::TState THandOverDecoder::Feed(const QByteArray& Bytes) {
  if (FState != NeedMore) {
    if (!Bytes.isEmpty()) {
      FState = Malformed;
      FPath.clear();
    }
    return FState;
  }
  FBuffer.append(Bytes);
  if (FBuffer.size() < 4)
    return FState;
  const auto* P = reinterpret_cast<const unsigned char*>(FBuffer.constData());
  const uint32_t N =
      uint32_t(P[0]) << 24 | uint32_t(P[1]) << 16 | uint32_t(P[2]) << 8 | uint32_t(P[3]);
  if (N > uint32_t(HandOverMaxBytes)) {
    FState = Malformed;
    FBuffer.clear();
    return FState;
  }
  if (FBuffer.size() < qsizetype(4 + N))
    return FState;
  if (FBuffer.size() > qsizetype(4 + N)) {
    FState = Malformed;
    FBuffer.clear();
    return FState;
  }
  QByteArray Text = FBuffer.mid(4);
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
      S->write(QByteArray(1, HandOverAck));
      S->flush();
      S->disconnectFromServer();
      // Answered first: the second instance ends while this one loads the
      // file, which may show a message box.
      const QString Path = Decoder->Path();
      QTimer::singleShot(0, this, [this, Path] {
        if (OnHandOver)
          OnHandOver(Path);
      });
    });
  }
}

// ---- Second instance --------------------------------------------------------------

THandOverResult HandOverToRunningInstance(const QString& Name, const QString& Path, int TimeoutMs) {
  QLocalSocket S;
  QDeadlineTimer Deadline(TimeoutMs);
  S.connectToServer(Name);
  if (!S.waitForConnected(int(Deadline.remainingTime()))) {
    switch (S.error()) {
    case QLocalSocket::ServerNotFoundError:
    case QLocalSocket::ConnectionRefusedError:
      return THandOverResult::NoInstance;
    default:
      return THandOverResult::NoAnswer;
    }
  }
  S.write(EncodeHandOver(Path));
  while (S.bytesToWrite() > 0 && S.waitForBytesWritten(int(Deadline.remainingTime()))) {
  }
  while (S.bytesAvailable() < 1 && S.state() == QLocalSocket::ConnectedState &&
         S.waitForReadyRead(int(Deadline.remainingTime()))) {
  }
  if (S.bytesAvailable() >= 1) {
    char Answer = 0;
    S.getChar(&Answer);
    if (Answer == HandOverAck)
      return THandOverResult::Delivered;
  }
  return THandOverResult::NoAnswer;
}

TInstanceStart StartSingleInstance(const QStringList& Arguments, QObject* ServerParent,
                                   const QString& Name) {
  const QString Path = HandOverPath(Arguments);
  TInstanceStart Start;
  Start.Result = HandOverToRunningInstance(Name, Path);
  if (Start.Result != THandOverResult::NoInstance)
    return Start;
  auto* Server = new TInstanceServer(ServerParent);
  if (Server->Listen(Name)) {
    Start.Server = Server;
    return Start;
  }
  delete Server;
  // Another instance started at the same moment and listens now.
  Start.Result = HandOverToRunningInstance(Name, Path);
  return Start;
}
