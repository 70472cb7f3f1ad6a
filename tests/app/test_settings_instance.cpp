// Single instance: the message framing (bounded, malformed ignored) and the
// hand-over between two instances through a real local socket.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTemporaryDir>
#include <QThread>

#include <cstring>
#include <memory>

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

TEST(HandOverMessage, OnlyAFirstQuelmaArgumentIsHandedOver) {
  EXPECT_EQ(HandOverPath({QStringLiteral("fire.QUELMA")}), QStringLiteral("fire.QUELMA"));
  EXPECT_EQ(HandOverPath({QStringLiteral("../rel/x.quelma"), QStringLiteral("b.quelma")}),
            QStringLiteral("../rel/x.quelma"));
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
  Server->OnHandOver = [&](const QString& P) { Received << P; };

  const THandOverResult R = AsSecondInstance([&] {
    return HandOverToRunningInstance(
        Name, HandOverPath({QStringLiteral("rel/a.quelma"), QStringLiteral("/TRAY")}));
  });
  EXPECT_EQ(R, THandOverResult::Delivered);
  EXPECT_EQ(Received, QStringList{QStringLiteral("rel/a.quelma")});

  // Without a state file it only brings the first forward.
  EXPECT_EQ(AsSecondInstance([&] { return HandOverToRunningInstance(Name, QString()); }),
            THandOverResult::Delivered);
  EXPECT_EQ(Received, (QStringList{QStringLiteral("rel/a.quelma"), QString()}));

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
