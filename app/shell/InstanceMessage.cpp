#include "InstanceMessage.h"

#include <QFileInfo>
#include <QStringDecoder>

#include <cstdint>

namespace {

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
