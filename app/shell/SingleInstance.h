#pragma once
// One running instance per user, and commands to it from the command line.
// The first instance listens on a local socket named after the user; a later
// start connects, sends one message, waits for the answer and ends. A socket
// left behind by a crashed instance is removed and the new process becomes
// the first. Starts at the same moment decide under a lock file
// (InstanceLockPath): holding it, a start connects, and only when nobody
// answers does it listen, so exactly one of them becomes the instance. The
// messages themselves: InstanceMessage.h.
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

#include "InstanceMessage.h"

class QLocalServer;

// The socket name for this user.
QString InstanceServerName();
// The lock file of the socket Name: beside it, or in the temporary folder
// for a bare name.
QString InstanceLockPath(const QString& Name);

// The first instance's side.
class TInstanceServer : public QObject {
public:
  explicit TInstanceServer(QObject* Parent = nullptr);
  ~TInstanceServer() override;

  // Runs on the GUI thread for every hand-over, before the answer: the path
  // (empty: only bring the instance forward). Returns why the path could not
  // be loaded, or "" when it was.
  std::function<QString(const QString& Path)> OnHandOver;
  // Runs on the GUI thread for every command, before the answer; it must not
  // delete the server. Without it commands are refused.
  std::function<void(TRemoteCommand Command)> OnCommand;

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
  Refused,    // the running instance does not know the command
  Failed,     // the running instance could not load the path
};

// A later start's side: connects to Name and sends Path. Failed leaves the
// reason in Failure.
THandOverResult HandOverToRunningInstance(const QString& Name, const QString& Path,
                                          int TimeoutMs = HandOverTimeoutMs,
                                          QString* Failure = nullptr);
// Sends a command to the instance listening under Name and waits until it
// was carried out (for Exit: until the instance has ended). Never starts one.
THandOverResult SendRemoteCommand(const QString& Name, TRemoteCommand Command,
                                  int TimeoutMs = HandOverTimeoutMs);

// Start-up: hands over to a running instance, or makes this process the
// first by listening. Returns the server when this process is the first
// (nullptr otherwise, with Result telling why).
struct TInstanceStart {
  THandOverResult Result = THandOverResult::NoInstance;
  TInstanceServer* Server = nullptr; // owned by the caller's parent object
  QString Failure;                   // why the running instance could not load the path
};
TInstanceStart StartSingleInstance(const QStringList& Arguments, QObject* ServerParent,
                                   const QString& Name = InstanceServerName());
