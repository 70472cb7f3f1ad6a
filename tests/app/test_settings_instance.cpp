// Single instance: the message framing (bounded, malformed ignored), paths
// and commands on the wire, and the hand-over and commands between two
// instances through a real local socket.
#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "SettingsTestSupport.h"
#include "SingleInstance.h"

namespace {

QByteArray Header(uint32_t N) {
  QByteArray H;
  H.append(char(N >> 24)).append(char(N >> 16)).append(char(N >> 8)).append(char(N));
  return H;
}

TEST(HandOverMessage, WholeOrInPiecesGivesThePath) {
  const QString Path = QStringLiteral("Data/Feu d'été.quelma");
  const QByteArray M = EncodeHandOver(Path);
  EXPECT_EQ(M.left(4), Header(uint32_t(Path.toUtf8().size())));
  THandOverDecoder Whole;
  EXPECT_EQ(Whole.Feed(M), THandOverDecoder::Complete);
  EXPECT_EQ(Whole.Path(), Path);

  THandOverDecoder Bytewise;
  for (int i = 0; i < M.size() - 1; ++i)
    ASSERT_EQ(Bytewise.Feed(M.mid(i, 1)), THandOverDecoder::NeedMore);
  EXPECT_EQ(Bytewise.Feed(M.right(1)), THandOverDecoder::Complete);
  EXPECT_EQ(Bytewise.Path(), Path);

  THandOverDecoder Empty; // only bring the instance forward
  EXPECT_EQ(Empty.Feed(EncodeHandOver(QString())), THandOverDecoder::Complete);
  EXPECT_EQ(Empty.Path(), QString());
}

TEST(HandOverMessage, MalformedMessagesAreRefused) {
  struct TCase {
    const char* What;
    QByteArray Bytes;
  };
  const TCase Cases[] = {
      {"length above the bound", Header(HandOverMaxBytes + 1)},
      {"huge length", Header(0xffffffffu)},
      {"bytes after the message", EncodeHandOver(QStringLiteral("a.quelma")) + "x"},
      {"invalid UTF-8", Header(3) + QByteArray("\xff\xfe\xfd", 3)},
  };
  for (const TCase& C : Cases) {
    SCOPED_TRACE(C.What);
    THandOverDecoder D;
    EXPECT_EQ(D.Feed(C.Bytes), THandOverDecoder::Malformed);
    EXPECT_EQ(D.Path(), QString());
    EXPECT_EQ(D.Feed("more"), THandOverDecoder::Malformed);
  }
  // Refused as soon as the length is known: the body is never waited for.
  THandOverDecoder Early;
  EXPECT_EQ(Early.Feed(Header(1u << 30)), THandOverDecoder::Malformed);
  // A longest allowed message is taken.
  THandOverDecoder Longest;
  EXPECT_EQ(Longest.Feed(Header(HandOverMaxBytes) + QByteArray(HandOverMaxBytes, 'a')),
            THandOverDecoder::Complete);
  // The text ends at its first NUL byte.
  THandOverDecoder Nul;
  EXPECT_EQ(Nul.Feed(Header(9) + QByteArray("a.quelma\0", 9)), THandOverDecoder::Complete);
  EXPECT_EQ(Nul.Path(), QStringLiteral("a.quelma"));
  // A path too long to send goes as a plain activation.
  EXPECT_EQ(EncodeHandOver(QString(HandOverMaxBytes + 1, QLatin1Char('x'))), Header(0));
}

TEST(HandOverMessage, CommandsAndPathsAreTold) {
  struct TCase {
    const char* What;
    QByteArray Bytes;
    std::optional<TRemoteCommand> Command;
    QString Path;
  };
  std::vector<TCase> Cases = {
      {"a path", EncodeHandOver(QStringLiteral("/home/me/a.quelma")), {}, "/home/me/a.quelma"},
      {"an empty message: only come forward", EncodeHandOver(QString()), {}, QString()},
      // Only a leading NUL makes a command; a later one ends a path.
      {"a NUL inside a path", Header(6) + QByteArray("x\0exit", 6), {}, "x"},
  };
  for (TRemoteCommand C : AllRemoteCommands)
    Cases.push_back({RemoteCommandName(C), EncodeRemoteCommand(C), C, QString()});
  for (const TCase& C : Cases) {
    SCOPED_TRACE(C.What);
    THandOverDecoder D;
    ASSERT_EQ(D.Feed(C.Bytes), THandOverDecoder::Complete);
    EXPECT_EQ(D.Command(), C.Command);
    EXPECT_EQ(D.Path(), C.Path);
  }
  // The bytes of one command, as other programs may write them.
  EXPECT_EQ(EncodeRemoteCommand(TRemoteCommand::ToggleVisible),
            Header(15) + QByteArray("\0toggle-visible", 15));
  // A command arriving byte by byte.
  const QByteArray M = EncodeRemoteCommand(TRemoteCommand::StartOver);
  THandOverDecoder Bytewise;
  for (int i = 0; i < M.size() - 1; ++i)
    ASSERT_EQ(Bytewise.Feed(M.mid(i, 1)), THandOverDecoder::NeedMore);
  EXPECT_EQ(Bytewise.Feed(M.right(1)), THandOverDecoder::Complete);
  EXPECT_EQ(Bytewise.Command(), TRemoteCommand::StartOver);
}

TEST(HandOverMessage, UnknownCommandsAreRefusedAndBrokenFramesDropped) {
  const auto Command = [](const QByteArray& Name) {
    return Header(uint32_t(1 + Name.size())) + '\0' + Name;
  };
  struct TCase {
    const char* What;
    QByteArray Bytes;
    THandOverDecoder::TState State;
  };
  const TCase Cases[] = {
      {"no name", Command(""), THandOverDecoder::Refused},
      {"an unknown name", Command("toggle-everything"), THandOverDecoder::Refused},
      {"another letter case", Command("Exit"), THandOverDecoder::Refused},
      {"the option's dashes", Command("--exit"), THandOverDecoder::Refused},
      {"a NUL after the name", Command(QByteArray("exit\0", 5)), THandOverDecoder::Refused},
      {"a space after the name", Command("exit "), THandOverDecoder::Refused},
      {"bytes that are not text", Command("\xff\xfe"), THandOverDecoder::Refused},
      {"a command above the bound", Header(HandOverMaxBytes + 1) + '\0' + "exit",
       THandOverDecoder::Malformed},
      {"bytes after a command",
       EncodeRemoteCommand(TRemoteCommand::Exit) + EncodeRemoteCommand(TRemoteCommand::Exit),
       THandOverDecoder::Malformed},
  };
  for (const TCase& C : Cases) {
    SCOPED_TRACE(C.What);
    THandOverDecoder D;
    EXPECT_EQ(D.Feed(C.Bytes), C.State);
    EXPECT_FALSE(D.Command().has_value());
    EXPECT_EQ(D.Path(), QString());
    EXPECT_EQ(D.Feed("more"), THandOverDecoder::Malformed);
  }
  // Every name goes back to its command, and the names are distinct.
  QStringList Names;
  for (TRemoteCommand C : AllRemoteCommands) {
    EXPECT_EQ(RemoteCommandNamed(RemoteCommandName(C)), C);
    Names << QString::fromLatin1(RemoteCommandName(C));
  }
  Names.removeDuplicates();
  EXPECT_EQ(Names.size(), int(std::size(AllRemoteCommands)));
}

TEST(HandOverMessage, OnlyAFirstQuelmaArgumentIsHandedOverAndMadeAbsolute) {
  // The running instance works in another folder: a relative name is the
  // sender's.
  const QDir Here = QDir::current();
  EXPECT_EQ(HandOverPath({QStringLiteral("fire.QUELMA")}),
            Here.absoluteFilePath(QStringLiteral("fire.QUELMA")));
  EXPECT_EQ(HandOverPath({QStringLiteral("../rel/x.quelma"), QStringLiteral("b.quelma")}),
            QDir::cleanPath(Here.absoluteFilePath(QStringLiteral("../rel/x.quelma"))));
  EXPECT_EQ(HandOverPath({QStringLiteral("/abs/y.quelma")}), QStringLiteral("/abs/y.quelma"));
  EXPECT_EQ(HandOverPath({QStringLiteral("notes.txt")}), QString());
  EXPECT_EQ(HandOverPath({QStringLiteral("/TRAY"), QStringLiteral("a.quelma")}), QString());
  EXPECT_EQ(HandOverPath({QStringLiteral("quelma")}), QString());
  EXPECT_EQ(HandOverPath({}), QString());
}

class InstanceTest : public SettingsAppTest {
protected:
  void SetUp() override {
    SettingsTestApp();
    ASSERT_TRUE(Folder.isValid());
    Name = Folder.filePath(QStringLiteral("q.sock"));
  }
  // Runs F on another thread (the second instance) while this one serves.
  template <class F> auto AsSecondInstance(F Fn) {
    decltype(Fn()) Result{};
    std::unique_ptr<QThread> T(QThread::create([&] { Result = Fn(); }));
    T->start();
    QElapsedTimer Clock;
    Clock.start();
    while (!T->isFinished() && Clock.elapsed() < 15000)
      QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    T->wait();
    SettleEvents();
    return Result;
  }

  QTemporaryDir Folder;
  QString Name;
};

TEST_F(InstanceTest, TheSecondInstanceHandsOverAndTheFirstLoads) {
  TInstanceStart First = StartSingleInstance({}, nullptr, Name);
  ASSERT_NE(First.Server, nullptr);
  std::unique_ptr<TInstanceServer> Server(First.Server);
  QStringList Received;
  Server->OnHandOver = [&](const QString& P) {
    Received << P;
    return QString();
  };

  const THandOverResult R = AsSecondInstance([&] {
    return HandOverToRunningInstance(
        Name, HandOverPath({QStringLiteral("rel/a.quelma"), QStringLiteral("/TRAY")}));
  });
  EXPECT_EQ(R, THandOverResult::Delivered);
  EXPECT_EQ(Received,
            QStringList{QDir::current().absoluteFilePath(QStringLiteral("rel/a.quelma"))});

  // Without a state file it only brings the first forward.
  EXPECT_EQ(AsSecondInstance([&] { return HandOverToRunningInstance(Name, QString()); }),
            THandOverResult::Delivered);
  EXPECT_EQ(Received.size(), 2);
  EXPECT_EQ(Received.back(), QString());

  // A path the instance could not load: the sender gets the reason.
  Server->OnHandOver = [&](const QString& P) {
    Received << P;
    return QStringLiteral("%1: no such file").arg(P);
  };
  QString Failure;
  EXPECT_EQ(AsSecondInstance([&] {
              return HandOverToRunningInstance(Name, QStringLiteral("/gone.quelma"),
                                               HandOverTimeoutMs, &Failure);
            }),
            THandOverResult::Failed);
  EXPECT_EQ(Failure, QStringLiteral("/gone.quelma: no such file"));
  Received.removeLast();

  // A malformed message is dropped without an answer or a load.
  const THandOverResult Bad = AsSecondInstance([&] {
    QLocalSocket S;
    S.connectToServer(Name);
    if (!S.waitForConnected(2000))
      return THandOverResult::NoInstance;
    S.write(Header(0xffffffffu));
    S.waitForBytesWritten(2000);
    S.waitForReadyRead(1500);
    return S.bytesAvailable() > 0 ? THandOverResult::Delivered : THandOverResult::NoAnswer;
  });
  EXPECT_EQ(Bad, THandOverResult::NoAnswer);
  EXPECT_EQ(Received.size(), 2);

  // A second server under the same name is refused while the first runs.
  TInstanceServer Other;
  EXPECT_FALSE(Other.Listen(Name));
}

TEST_F(InstanceTest, CommandsAreCarriedOutBeforeTheAnswer) {
  // None running: nothing is started, not even a socket.
  EXPECT_EQ(SendRemoteCommand(Name, TRemoteCommand::ToggleDrawing, 1000),
            THandOverResult::NoInstance);
  EXPECT_FALSE(QFileInfo::exists(Name));

  TInstanceStart First = StartSingleInstance({}, nullptr, Name);
  ASSERT_NE(First.Server, nullptr);
  std::unique_ptr<TInstanceServer> Server(First.Server);
  // Without a handler a command is refused, not acknowledged.
  EXPECT_EQ(AsSecondInstance([&] { return SendRemoteCommand(Name, TRemoteCommand::StartOver); }),
            THandOverResult::Refused);

  std::vector<TRemoteCommand> Done;
  std::atomic<int> DoneCount = 0;
  Server->OnCommand = [&](TRemoteCommand C) {
    QThread::msleep(50); // a command that takes a moment: the answer waits
    Done.push_back(C);
    ++DoneCount;
  };
  QStringList Paths;
  Server->OnHandOver = [&](const QString& P) {
    Paths << P;
    return QString();
  };
  std::vector<TRemoteCommand> Sent;
  for (TRemoteCommand C : AllRemoteCommands) {
    if (C == TRemoteCommand::Exit)
      continue;
    SCOPED_TRACE(RemoteCommandName(C));
    int SeenBySender = -1;
    EXPECT_EQ(AsSecondInstance([&] {
                const THandOverResult R = SendRemoteCommand(Name, C);
                SeenBySender = DoneCount;
                return R;
              }),
              THandOverResult::Delivered);
    Sent.push_back(C);
    EXPECT_EQ(SeenBySender, int(Sent.size())); // done when the answer came
  }
  EXPECT_EQ(Done, Sent);
  EXPECT_TRUE(Paths.isEmpty());

  // A name this program does not know gets the refusal byte, and nothing runs.
  const QByteArray Answer = AsSecondInstance([&] {
    QLocalSocket S;
    S.connectToServer(Name);
    if (!S.waitForConnected(2000))
      return QByteArray();
    S.write(Header(9) + QByteArray("\0rekindle", 9));
    S.waitForBytesWritten(2000);
    S.waitForReadyRead(5000);
    return S.readAll();
  });
  EXPECT_EQ(Answer, QByteArray(1, HandOverRefused));
  EXPECT_EQ(Done, Sent);

  // "exit" returns once the instance has ended, not at the answer.
  std::atomic<bool> Ended = false;
  Server->OnCommand = [&](TRemoteCommand C) {
    Done.push_back(C);
    QTimer::singleShot(300, [&] {
      Ended = true;
      Server.reset();
    });
  };
  bool EndedBeforeReturn = false;
  EXPECT_EQ(AsSecondInstance([&] {
              const THandOverResult R = SendRemoteCommand(Name, TRemoteCommand::Exit);
              EndedBeforeReturn = Ended;
              return R;
            }),
            THandOverResult::Delivered);
  EXPECT_EQ(Done.back(), TRemoteCommand::Exit);
  EXPECT_TRUE(EndedBeforeReturn);
}

TEST_F(InstanceTest, AStartWaitsForTheOneDecidingAndHandsOverToIt) {
  // Another start holds the decision: it has found no instance and is about
  // to listen.
  QLockFile Deciding(InstanceLockPath(Name));
  ASSERT_TRUE(Deciding.lock());
  TInstanceStart Second;
  std::atomic<bool> Finished = false;
  std::unique_ptr<QThread> T(QThread::create([&] {
    Second = StartSingleInstance({QStringLiteral("b.quelma")}, nullptr, Name);
    Finished = true;
  }));
  T->start();
  // Meanwhile this start neither listens nor gives up.
  QElapsedTimer Clock;
  Clock.start();
  while (!Finished && Clock.elapsed() < 500)
    QThread::msleep(10);
  EXPECT_FALSE(Finished);
  EXPECT_FALSE(QFileInfo::exists(Name));

  TInstanceServer First;
  QStringList Received;
  First.OnHandOver = [&](const QString& P) {
    Received << P;
    return QString();
  };
  ASSERT_TRUE(First.Listen(Name));
  Deciding.unlock();
  Clock.restart();
  while (!Finished && Clock.elapsed() < 15000)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  T->wait();
  SettleEvents();
  EXPECT_EQ(Second.Result, THandOverResult::Delivered);
  EXPECT_EQ(Second.Server, nullptr);
  delete Second.Server;
  EXPECT_EQ(Received, QStringList{QDir::current().absoluteFilePath(QStringLiteral("b.quelma"))});
}

// A socket file with nobody behind it, as a crashed instance leaves it.
void MakeStaleSocket(const QString& Path, bool KeepListening, int* Fd) {
  const int S = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un A{};
  A.sun_family = AF_UNIX;
  const QByteArray P = Path.toLocal8Bit();
  std::memcpy(A.sun_path, P.constData(), size_t(P.size()));
  ASSERT_EQ(::bind(S, reinterpret_cast<sockaddr*>(&A), sizeof A), 0);
  ASSERT_EQ(::listen(S, 4), 0);
  if (KeepListening)
    *Fd = S;
  else
    ::close(S);
}

TEST_F(InstanceTest, AStaleSocketIsRemovedAndTheNewProcessBecomesTheFirst) {
  int Fd = -1;
  MakeStaleSocket(Name, false, &Fd);
  EXPECT_EQ(HandOverToRunningInstance(Name, QString(), 1000), THandOverResult::NoInstance);
  TInstanceStart Start = StartSingleInstance({QStringLiteral("x.quelma")}, nullptr, Name);
  EXPECT_EQ(Start.Result, THandOverResult::NoInstance);
  ASSERT_NE(Start.Server, nullptr);
  delete Start.Server;
}

TEST_F(InstanceTest, AFirstInstanceThatDoesNotAnswerLetsTheSecondEnd) {
  int Fd = -1;
  MakeStaleSocket(Name, true, &Fd); // listens, never answers
  QElapsedTimer Clock;
  Clock.start();
  EXPECT_EQ(HandOverToRunningInstance(Name, QStringLiteral("a.quelma"), 500),
            THandOverResult::NoAnswer);
  EXPECT_LT(Clock.elapsed(), 3000);
  ::close(Fd);
}

} // namespace
