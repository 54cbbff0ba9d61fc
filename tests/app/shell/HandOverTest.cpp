// A later launch hands its command line to the running one over the
// instance lock's socket: what the holder takes, and what it refuses.

#include "shell/ZPHInstanceLock.h"
#include "support/ZPHTestSupport.h"

#include <QtCore/QThread>
#include <QtNetwork/QLocalSocket>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

struct Received {
  QStringList arguments;
  QString workingDirectory;
};

// A newcomer on a thread of its own (it waits for the holder, which answers
// on the main thread).
bool handOverFromAnotherThread(const QString& dataFolder, const QStringList& arguments, const QString& folder)
{
  std::atomic<int> result{-1};
  std::thread newcomer([&] {
    ZPHInstanceLock lock(dataFolder);
    result = lock.handOverToHolder(arguments, folder) ? 1 : 0;
  });
  ZPHTestWaitUntil([&] { return result.load() >= 0; }, 20000);
  newcomer.join();
  return result.load() == 1;
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
