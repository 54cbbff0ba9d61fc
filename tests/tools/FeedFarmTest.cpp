// The feed farm kept with the tests, run as the benchmarks and the X11 test
// run it: it serves on the port it is given and ends on SIGTERM or at
// --max-seconds with status 0, with one worker or several.

#include <QtCore/QProcess>
#include <QtNetwork/QTcpServer>
#include <QtNetwork/QTcpSocket>

#include <gtest/gtest.h>

#include <ostream>

namespace {

// A port nobody listens on now.
quint16 freePort()
{
  QTcpServer server;
  if (!server.listen(QHostAddress::LocalHost, 0))
    return 0;
  return server.serverPort();
}

// The status of an answer to GET `path` ("200 OK").
QByteArray status(quint16 port, const QByteArray& path)
{
  QTcpSocket socket;
  socket.connectToHost(QHostAddress::LocalHost, port);
  if (!socket.waitForConnected(30000))
    return {};
  socket.write("GET " + path + " HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n");
  while (!socket.canReadLine() && socket.waitForReadyRead(30000)) {
  }
  return socket.readLine().trimmed().mid(9);
}

struct FarmCase {
  const char* name;
  int workers;
  bool endsBySignal;  // else by --max-seconds
};

void PrintTo(const FarmCase& c, std::ostream* out) { *out << c.name; }

class FeedFarm : public ::testing::TestWithParam<FarmCase> {};

}  // namespace

TEST_P(FeedFarm, ServesOnAFixedPortAndEndsWithStatusZero)
{
  const FarmCase& c = GetParam();
  const quint16 port = freePort();
  ASSERT_NE(port, 0);
  QProcess farm;
  farm.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  farm.start(QStringLiteral("python3"),
             {QStringLiteral(ZPH_FEEDFARM_SCRIPT), QStringLiteral("--port"), QString::number(port),
              QStringLiteral("--feeds"), QStringLiteral("3"), QStringLiteral("--items"), QStringLiteral("2"),
              QStringLiteral("--workers"), QString::number(c.workers), QStringLiteral("--max-seconds"),
              c.endsBySignal ? QStringLiteral("600") : QStringLiteral("2")});
  ASSERT_TRUE(farm.waitForStarted(30000));
  // It says where it serves once it serves.
  while (!farm.canReadLine() && farm.state() == QProcess::Running) farm.waitForReadyRead(1000);
  ASSERT_TRUE(farm.readLine().startsWith("feedfarm: http://127.0.0.1:" + QByteArray::number(port)))
      << "the farm did not start";
  for (int n = 0; n < 3; ++n) EXPECT_EQ(status(port, "/feed/" + QByteArray::number(n) + ".xml"), "200 OK");
  if (c.endsBySignal)
    farm.terminate();
  ASSERT_TRUE(farm.waitForFinished(120000)) << "the farm did not end";
  EXPECT_EQ(farm.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(farm.exitCode(), 0);
}

INSTANTIATE_TEST_SUITE_P(Ends, FeedFarm,
                         ::testing::Values(FarmCase{"OneWorkerOnSIGTERM", 1, true},
                                           FarmCase{"TwoWorkersOnSIGTERM", 2, true},
                                           FarmCase{"TwoWorkersAtItsMaxSeconds", 2, false}),
                         [](const ::testing::TestParamInfo<FarmCase>& info) { return std::string(info.param.name); });
