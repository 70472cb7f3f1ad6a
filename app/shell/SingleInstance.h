#pragma once
// One running instance per user, and commands to it from the command line.
// The first instance listens on a local socket named after the user; a later
// start connects, sends one message, waits for the answer and ends. A socket
// left behind by a crashed instance is removed and the new process becomes
// the first. Starts at the same moment decide under a lock file
// (InstanceLockPath): holding it, a start connects, and only when nobody
// answers does it listen, so exactly one of them becomes the instance.
//
// A message: a 4-byte big-endian length N (at most HandOverMaxBytes), then N
// bytes, either
//  - a hand-over: UTF-8 text, the ".quelma" path to load (made absolute by
//    the sender; the text ends at its first NUL byte), or nothing to only
//    bring the running instance forward; or
//  - a command: one NUL byte, then the command's name in ASCII as its option
//    is spelled without "--" ("\0toggle-visible"), and nothing after it.
//    No path contains a NUL byte, so no hand-over starts with one. (An
//    instance from before the commands reads this as an empty path and only
//    comes forward.)
// The answer is one byte: HandOverAck once the message is taken (a path
// once it is loaded; a command after it was carried out; after "exit" the
// instance keeps the connection until it ends, so the sender returns once it
// has gone), HandOverFailed for a path that could not be loaded, followed by
// the reason as UTF-8 text up to the end of the connection (at most
// HandOverMaxBytes), or HandOverRefused for a command the instance does not
// know. Broken framing (a length above the
// bound, bytes after the message, text that is not UTF-8) closes the
// connection without an answer.
#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>

class QLocalServer;
class QLocalSocket;

// Longest message body; longer ones are refused.
inline constexpr int HandOverMaxBytes = 64 * 1024;
inline constexpr char HandOverAck = 1;
inline constexpr char HandOverRefused = 2;
inline constexpr char HandOverFailed = 3;
// How long a later start waits for the first to answer. The first answers
// once its event loop runs, after it has made its windows and loaded its
// styles, which on a busy machine takes seconds: giving up sooner would end a
// start that was about to be answered.
inline constexpr int HandOverTimeoutMs = 30000;

// What the command line can ask of the running instance.
enum class TRemoteCommand {
  ToggleDrawing,
  ToggleVisible,
  ToggleSettings,
  ShowSettings,
  StartOver,
  Exit
};
inline constexpr TRemoteCommand AllRemoteCommands[] = {
    TRemoteCommand::ToggleDrawing, TRemoteCommand::ToggleVisible, TRemoteCommand::ToggleSettings,
    TRemoteCommand::ShowSettings,  TRemoteCommand::StartOver,     TRemoteCommand::Exit};
// "toggle-drawing" and so on: the name on the wire and, after "--", the option.
const char* RemoteCommandName(TRemoteCommand Command);
std::optional<TRemoteCommand> RemoteCommandNamed(std::string_view Name);

// The socket name for this user.
QString InstanceServerName();
// The lock file of the socket Name: beside it, or in the temporary folder
// for a bare name.
QString InstanceLockPath(const QString& Name);

// The path a later start hands over: the first argument, made absolute, when
// its extension is ".quelma" in any letter case, else empty.
QString HandOverPath(const QStringList& Arguments);

QByteArray EncodeHandOver(const QString& Path);
QByteArray EncodeRemoteCommand(TRemoteCommand Command);

// Reads one message from bytes arriving in pieces.
class THandOverDecoder {
public:
  // Refused: framed well, but a command this program does not know.
  enum TState { NeedMore, Complete, Refused, Malformed };
  // Takes more bytes; bytes after a complete message make it malformed.
  TState Feed(const QByteArray& Bytes);
  TState State() const { return FState; }
  // A complete hand-over: the path (empty: only come forward).
  QString Path() const { return FPath; }
  // A complete command; empty for a hand-over.
  std::optional<TRemoteCommand> Command() const { return FCommand; }

private:
  TState Fail(TState State);
  QByteArray FBuffer;
  TState FState = NeedMore;
  QString FPath;
  std::optional<TRemoteCommand> FCommand;
};

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
