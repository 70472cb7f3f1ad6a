#pragma once
// The messages between a later start and the running instance, as bytes.
#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>
#include <string_view>

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
