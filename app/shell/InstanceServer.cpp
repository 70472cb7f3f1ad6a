#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QTimer>

#include <memory>

#include "SingleInstance.h"

namespace {

// A client that has not finished its message after this long is dropped.
constexpr int ClientLimitMs = 10000;

} // namespace

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
