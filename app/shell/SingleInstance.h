#pragma once
// One running instance per user. The first instance listens on a local socket
// named after the user; a second start connects, hands over its first
// argument when that is a ".quelma" path (unchanged, also when relative), waits
// for the answer and ends. A socket left behind by a crashed instance is
// removed and the new process becomes the first.
//
// The message: a 4-byte big-endian length, then that many bytes of UTF-8
// (the path; empty: only bring the running instance forward). The answer is
// the single byte HandOverAck.
#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <optional>

class QLocalServer;
class QLocalSocket;

// Longest path a message may carry; longer ones are refused.
inline constexpr int HandOverMaxBytes = 64 * 1024;
inline constexpr char HandOverAck = 1;
// How long a second instance waits for the first to answer.
inline constexpr int HandOverTimeoutMs = 5000;

// The socket name for this user.
QString InstanceServerName();

// The path a second instance hands over: the first argument when its
// extension is ".quelma" in any letter case, else empty.
QString HandOverPath(const QStringList& Arguments);

QByteArray EncodeHandOver(const QString& Path);

// Reads one message from bytes arriving in pieces.
class THandOverDecoder {
public:
  enum TState { NeedMore, Complete, Malformed };
  // Takes more bytes; bytes after a complete message make it malformed.
  TState Feed(const QByteArray& Bytes);
  TState State() const { return FState; }
  QString Path() const { return FPath; }

private:
  QByteArray FBuffer;
  TState FState = NeedMore;
  QString FPath;
};

// The first instance's side.
class TInstanceServer : public QObject {
public:
  explicit TInstanceServer(QObject* Parent = nullptr);
  ~TInstanceServer() override;

  // Runs on the GUI thread for every message: the path (empty: only bring
  // the instance forward).
  std::function<void(const QString& Path)> OnHandOver;

  // Starts listening under Name; a stale socket is removed first. False when
  // another instance listens there.
  bool Listen(const QString& Name);
  QString FullServerName() const;

private:
  void NewConnection();
  QLocalServer* FServer;
};

enum class THandOverResult {
  NoInstance, // nobody listens (a stale socket was removed): be the first
  Delivered,  // the running instance took the message: end
  NoAnswer,   // an instance exists but did not answer in time: end, say so
};

// The second instance's side: connects to Name and sends Path.
THandOverResult HandOverToRunningInstance(const QString& Name, const QString& Path,
                                          int TimeoutMs = HandOverTimeoutMs);

// Start-up: hands over to a running instance, or makes this process the
// first by listening. Returns the server when this process is the first
// (nullptr otherwise, with Result telling why).
struct TInstanceStart {
  THandOverResult Result = THandOverResult::NoInstance;
  TInstanceServer* Server = nullptr; // owned by the caller's parent object
};
TInstanceStart StartSingleInstance(const QStringList& Arguments, QObject* ServerParent,
                                   const QString& Name = InstanceServerName());
