// A later launch hands its command line to the running one over the
// instance lock's socket: what the holder takes, and what it refuses.

#include "shell/ZPHInstanceLock.h"
#include "support/ZPHTestSupport.h"

#include <QtCore/QSemaphore>
#include <QtCore/QThread>
#include <QtNetwork/QLocalSocket>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

namespace {

struct Received {
  QStringList arguments;
  QString workingDirectory;
};

// A newcomer on a thread of its own (it waits for the holder, which answers
// on the main thread).
using HandOver = ZPHInstanceLock::HandOver;

HandOver handOverResultFromAnotherThread(const QString& dataFolder, const QStringList& arguments, const QString& folder)
{
  std::atomic<int> result{-1};
  std::thread newcomer([&] {
    ZPHInstanceLock lock(dataFolder);
    result = int(lock.handOverToHolder(arguments, folder));
  });
  ZPHTestWaitUntil([&] { return result.load() >= 0; }, 20000);
  newcomer.join();
  return HandOver(result.load());
}

bool handOverFromAnotherThread(const QString& dataFolder, const QStringList& arguments, const QString& folder)
{
  return handOverResultFromAnotherThread(dataFolder, arguments, folder) == HandOver::Accepted;
}

// Sends raw bytes as a newcomer would, from another thread; answers the
// reply (empty when the holder hung up).
QByteArray sendRaw(const QString& serverName, const QByteArray& bytes, bool waitForReply = true)
{
  QByteArray reply;
  std::atomic<bool> done{false};
  std::thread client([&] {
    QLocalSocket socket;
    socket.connectToServer(serverName);
    if (socket.waitForConnected(2000)) {
      socket.write(bytes);
      socket.waitForBytesWritten(2000);
      while (waitForReply && socket.state() == QLocalSocket::ConnectedState && !reply.contains('\n') &&
             socket.waitForReadyRead(8000))
        reply += socket.readAll();
    }
    done = true;
  });
  ZPHTestWaitUntil([&] { return done.load(); }, 20000);
  client.join();
  return reply;
}

}  // namespace

TEST(HandOverTest, TheHolderTakesTheArgumentsAndTheFolder)
{
  ZPHTestTempDir dir;
  ZPHInstanceLock holder(dir.path());
  ASSERT_EQ(holder.acquire(), ZPHInstanceLock::Outcome::Acquired);
  QList<Received> received;
  QObject::connect(&holder, &ZPHInstanceLock::handOverReceived,
                   [&](const QStringList& arguments, const QString& folder) {
                     received.append({arguments, folder});
                   });

  const QStringList arguments{QStringLiteral("feed://example.com/rss"), QStringLiteral("subs dir/é.opml"),
                              QStringLiteral("line\nbreak")};
  EXPECT_TRUE(handOverFromAnotherThread(dir.path(), arguments, QStringLiteral("/home/someone")));
  EXPECT_TRUE(handOverFromAnotherThread(dir.path(), {}, QString()));
  ASSERT_EQ(received.size(), 2);
  EXPECT_EQ(received[0].arguments, arguments);
  EXPECT_EQ(received[0].workingDirectory, QStringLiteral("/home/someone"));
  EXPECT_TRUE(received[1].arguments.isEmpty());

  // Too many or too long arguments stay behind; the rest goes.
  QStringList many;
  for (int i = 0; i < ZPHInstanceLock::MaxArguments + 5; ++i)
    many.append(QStringLiteral("feed://example.com/%1").arg(i));
  many.insert(3, QString(ZPHInstanceLock::MaxArgumentLength + 1, QLatin1Char('x')));
  EXPECT_TRUE(handOverFromAnotherThread(dir.path(), many, QStringLiteral("/")));
  ASSERT_EQ(received.size(), 3);
  EXPECT_EQ(received[2].arguments.size(), ZPHInstanceLock::MaxArguments);
  EXPECT_EQ(received[2].arguments.first(), QStringLiteral("feed://example.com/0"));
}

TEST(HandOverTest, MessagesThatAreNotHandOversAreRefused)
{
  ZPHTestTempDir dir;
  ZPHInstanceLock holder(dir.path());
  ASSERT_EQ(holder.acquire(), ZPHInstanceLock::Outcome::Acquired);
  int received = 0;
  QObject::connect(&holder, &ZPHInstanceLock::handOverReceived, [&] { ++received; });
  const QString server = holder.serverName();

  QByteArray tooManyArguments = "hand-over {\"arguments\": [";
  for (int i = 0; i <= ZPHInstanceLock::MaxArguments; ++i) tooManyArguments += (i ? ",\"x\"" : "\"x\"");
  tooManyArguments += "], \"workingDirectory\": \"/\"}\n";
  const QByteArray refused[] = {
      "come-forward\n",
      "hand-over not json\n",
      "hand-over [\"feed://example.com/rss\"]\n",
      "hand-over {\"arguments\": \"feed://example.com/rss\", \"workingDirectory\": \"/\"}\n",
      "hand-over {\"arguments\": [1, 2], \"workingDirectory\": \"/\"}\n",
      "hand-over {\"arguments\": [], \"workingDirectory\": 7}\n",
      "hand-over {\"arguments\": [\"" + QByteArray(ZPHInstanceLock::MaxArgumentLength + 1, 'x') +
          "\"], \"workingDirectory\": \"/\"}\n",
      tooManyArguments,
  };
  for (const QByteArray& message : refused) {
    SCOPED_TRACE(message.left(60).toStdString());
    EXPECT_EQ(sendRaw(server, message), QByteArray("refused\n"));
  }
  // A message without end is cut off at its bound, one that never ends at
  // its time.
  EXPECT_TRUE(sendRaw(server, "hand-over " + QByteArray(ZPHInstanceLock::MaxMessageBytes + 10, 'x')).isEmpty());
  EXPECT_TRUE(sendRaw(server, "hand-over {\"arguments\": [").isEmpty());
  EXPECT_EQ(received, 0);

  // The holder still serves a well-formed one.
  EXPECT_EQ(sendRaw(server, ZPHInstanceLock::handOverMessage({QStringLiteral("feed://example.com/rss")}, "/")),
            QByteArray("ok\n"));
  EXPECT_EQ(received, 1);
}

TEST(HandOverTest, IdleConnectionsDoNotShutOutARealLaunch)
{
  ZPHTestTempDir dir;
  ZPHInstanceLock holder(dir.path());
  ASSERT_EQ(holder.acquire(), ZPHInstanceLock::Outcome::Acquired);
  int received = 0;
  QObject::connect(&holder, &ZPHInstanceLock::handOverReceived, [&] { ++received; });

  // Three times as many connections as the holder serves at once, all
  // silent.
  std::vector<std::unique_ptr<QLocalSocket>> idle;
  for (int i = 0; i < 3 * ZPHInstanceLock::MaxConnections; ++i) {
    auto socket = std::make_unique<QLocalSocket>();
    socket->connectToServer(holder.serverName());
    ASSERT_TRUE(socket->waitForConnected(5000));
    idle.push_back(std::move(socket));
    ZPHTestSpinEventLoop(5);
  }
  ZPHTestSpinEventLoop(50);

  // A real launch still comes through, the oldest idle ones made room.
  EXPECT_EQ(handOverResultFromAnotherThread(dir.path(), {QStringLiteral("feed://example.com/rss")}, "/"),
            HandOver::Accepted);
  EXPECT_EQ(received, 1);
  int cutOff = 0;
  for (const auto& socket : idle) cutOff += socket->state() == QLocalSocket::UnconnectedState ? 1 : 0;
  EXPECT_GE(cutOff, 2 * ZPHInstanceLock::MaxConnections);
}

TEST(HandOverTest, AQuittingHolderSendsNewcomersToWaitForTheLock)
{
  ZPHTestTempDir dir;
  auto holder = std::make_unique<ZPHInstanceLock>(dir.path());
  ASSERT_EQ(holder->acquire(), ZPHInstanceLock::Outcome::Acquired);
  int received = 0;
  QObject::connect(holder.get(), &ZPHInstanceLock::handOverReceived, [&] { ++received; });

  // A newcomer connected before the holder began to quit hears "quitting".
  QSemaphore connected;
  QSemaphore quitting;
  QByteArray reply;
  std::thread early([&] {
    QLocalSocket socket;
    socket.connectToServer(holder->serverName());
    if (!socket.waitForConnected(5000))
      return connected.release();
    connected.release();
    quitting.acquire();
    socket.write(ZPHInstanceLock::handOverMessage({}, QStringLiteral("/")));
    socket.waitForBytesWritten(5000);
    while (!reply.contains('\n') && socket.waitForReadyRead(8000)) reply += socket.readAll();
  });
  ASSERT_TRUE(connected.tryAcquire(1, 10000));
  ZPHTestSpinEventLoop(50);
  holder->stopTakingHandOvers();
  quitting.release();
  ZPHTestWaitUntil([&] { return !reply.isEmpty(); }, 20000);
  early.join();
  EXPECT_EQ(reply, QByteArray("quitting\n"));

  // A later one finds nobody listening, and waits for the lock: it has it
  // once the holder is gone, and that is no reason for a check.
  EXPECT_EQ(handOverResultFromAnotherThread(dir.path(), {QStringLiteral("feed://example.com/rss")}, "/"),
            HandOver::HolderQuitting);
  EXPECT_EQ(received, 0);
  std::atomic<int> outcome{-1};
  std::atomic<bool> staleTakenOver{true};
  std::thread newcomer([&] {
    ZPHInstanceLock lock(dir.path());
    outcome = int(lock.acquire(ZPHInstanceLock::HolderQuitWaitMs));
    staleTakenOver = lock.tookOverStaleLock();
  });
  ZPHTestSpinEventLoop(200);
  EXPECT_EQ(outcome.load(), -1);  // still waiting
  holder.reset();
  ZPHTestWaitUntil([&] { return outcome.load() >= 0; }, 20000);
  newcomer.join();
  EXPECT_EQ(outcome.load(), int(ZPHInstanceLock::Outcome::Acquired));
  EXPECT_FALSE(staleTakenOver.load());
}

TEST(HandOverTest, ALockThatCannotBeMadeIsUnavailableNotTaken)
{
  ZPHTestTempDir dir;
  const QString folder = ZPHTestReadOnlyFolder(dir);
  ZPHInstanceLock lock(folder);
  EXPECT_EQ(lock.acquire(), ZPHInstanceLock::Outcome::Unavailable);
  EXPECT_FALSE(lock.isLocked());
  EXPECT_FALSE(lock.lockError().isEmpty());
  // Waiting does not change it.
  EXPECT_EQ(lock.acquire(200), ZPHInstanceLock::Outcome::Unavailable);
}
