#include "feeds/network/CBDownloadOperation.h"
#include "feeds/network/ZPHNetworkAccessPool.h"
#include "platform/CBOperationController.h"
#include "support/ZPHTestApplicationDelegate.h"
#include "support/ZPHTestHTTPServer.h"
#include "support/ZPHTestSupport.h"

#include <QtCore/QThread>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace {

ZPHTestHTTPResponse textResponse(const QByteArray& body, int status = 200, int delayMs = 0)
{
  return ZPHTestHTTPResponse{status, {{"Content-Type", "text/plain"}}, body, delayMs};
}

// Downloads on a pool of the test's own, against the loopback server.
class NetworkAccessPoolTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    ASSERT_TRUE(server.start());
    controller.setQueueWidth(12);
  }

  std::shared_ptr<CBDownloadOperation> download(const QString& path, ZPHNetworkAccessPool& pool)
  {
    auto operation = std::make_shared<CBDownloadOperation>(server.url(path));
    operation->setNetworkAccessPool(&pool);
    operation->setTimeoutIntervalMs(20000);
    return operation;
  }

  // Answers `path` only for the login reader / s3cret; answers that login's
  // Authorization header.
  QByteArray routeBehindLogin(const QString& path)
  {
    const QByteArray good = ZPHTestHTTPResponse::basicAuthorization("reader", "s3cret");
    server.route(path, [good](const ZPHTestHTTPRequest& request) {
      return request.header("Authorization") == good ? textResponse("members only")
                                                     : ZPHTestHTTPResponse::basicChallenge();
    });
    return good;
  }

  bool runAll(const std::vector<std::shared_ptr<CBDownloadOperation>>& operations, int timeoutMs = 30000)
  {
    for (const auto& operation : operations) controller.addOperation(operation);
    return ZPHTestWaitUntil(
        [&] {
          for (const auto& operation : operations)
            if (!operation->isFinished())
              return false;
          return controller.operationCount() == 0;
        },
        timeoutMs);
  }

  ZPHTestApplicationDelegate delegate;
  ZPHTestHTTPServer server;
  CBOperationController controller;
};

}  // namespace

TEST_F(NetworkAccessPoolTest, ManyConcurrentDownloadsShareTheWorkersAndACancelStopsOnlyItsOwn)
{
  ZPHNetworkAccessPool pool(2);
  EXPECT_EQ(pool.workerCount(), 2);
  EXPECT_EQ(pool.managersMade(), 2);

  server.route("/slow", [](const ZPHTestHTTPRequest&) { return textResponse("too late", 200, 30000); });
  constexpr int Count = 30;
  for (int i = 0; i < Count; ++i) {
    const QByteArray body = "item " + QByteArray::number(i);
    server.route(QStringLiteral("/item/%1").arg(i),
                 [body](const ZPHTestHTTPRequest&) { return textResponse(body, 200, 20); });
  }

  // The slow one first, so it holds a connection while the others run.
  auto slow = download("/slow", pool);
  controller.addOperation(slow);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return !server.requests().isEmpty() && slow->downloadThread() != nullptr; }));

  std::vector<std::shared_ptr<CBDownloadOperation>> items;
  for (int i = 0; i < Count; ++i) {
    items.push_back(download(QStringLiteral("/item/%1").arg(i), pool));
    controller.addOperation(items.back());
  }
  // Cancelled in the middle of the crowd.
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return server.requests().size() > Count / 2; }, 20000));
  controller.cancelOperation(slow);
  ASSERT_TRUE(ZPHTestWaitUntil(
      [&] {
        for (const auto& operation : items)
          if (!operation->isFinished())
            return false;
        return slow->isFinished() && controller.operationCount() == 0;
      },
      30000));

  for (int i = 0; i < Count; ++i) {
    SCOPED_TRACE(i);
    EXPECT_TRUE(items[size_t(i)]->okResponse()) << qPrintable(items[size_t(i)]->error().toString());
    EXPECT_EQ(items[size_t(i)]->responseBody(), "item " + QByteArray::number(i));
  }
  EXPECT_FALSE(slow->okResponse());
  EXPECT_EQ(slow->downloadStatus(), CBDownloadOperation::Cancelled);
  EXPECT_EQ(slow->didFailErrorCode(), ZPHURLErrorCancelled);

  // No download made a manager or thread of its own, and the cancelled one
  // gave its connection back.
  EXPECT_EQ(pool.managersMade(), 2);
  EXPECT_TRUE(ZPHTestWaitUntil([&] { return pool.runningTransferCount() == 0; }));
  EXPECT_EQ(pool.waitingTransferCount(), 0);
  EXPECT_EQ(pool.mostTransfersPerHost(), ZPHNetworkAccessPool::MaximumTransfersPerHost);
  EXPECT_EQ(server.requests().size(), Count + 1);
}

TEST_F(NetworkAccessPoolTest, CredentialsNeverReachAnotherDownloadOfTheSameServer)
{
  ZPHNetworkAccessPool pool(1);
  const QByteArray good = routeBehindLogin("/private");
  server.route("/open", [](const ZPHTestHTTPRequest&) { return textResponse("for everyone"); });

  auto member = download("/private", pool);
  member->setUsername("reader");
  member->setPassword("s3cret");
  ASSERT_TRUE(runAll({member}));
  EXPECT_TRUE(member->okResponse());
  // The member's request ran on a manager of its own.
  EXPECT_EQ(pool.managersMade(), 2);

  auto stranger = download("/private", pool);
  auto open = download("/open", pool);
  ASSERT_TRUE(runAll({stranger}));
  ASSERT_TRUE(runAll({open}));
  EXPECT_FALSE(stranger->okResponse());
  EXPECT_TRUE(stranger->authenticationError());
  EXPECT_TRUE(open->okResponse());

  const QList<ZPHTestHTTPRequest> requests = server.requests();
  // Challenge and answer; the stranger's on the workers' own client, then on
  // the shared manager, which the own client leaves challenges to; the open
  // page.
  ASSERT_EQ(requests.size(), 5);
  EXPECT_EQ(requests[1].header("Authorization"), good);
  for (qsizetype i = 2; i < requests.size(); ++i) EXPECT_TRUE(requests[i].header("Authorization").isNull()) << i;
  EXPECT_EQ(pool.handedOverTransferCount(), 1);
}

// The same for a login written into the address: the network answers the
// server with it by itself, and a shared manager would keep it.
TEST_F(NetworkAccessPoolTest, ALoginInTheAddressNeverReachesAnotherDownloadOfTheSameServer)
{
  ZPHNetworkAccessPool pool(1);
  routeBehindLogin("/private");

  QUrl withLogin = server.url("/private");
  withLogin.setUserName(QStringLiteral("reader"));
  withLogin.setPassword(QStringLiteral("s3cret"));
  auto member = std::make_shared<CBDownloadOperation>(withLogin);
  member->setNetworkAccessPool(&pool);
  ASSERT_TRUE(runAll({member}));
  EXPECT_TRUE(member->okResponse());
  EXPECT_EQ(pool.managersMade(), 2);

  auto stranger = download("/private", pool);
  ASSERT_TRUE(runAll({stranger}));
  EXPECT_FALSE(stranger->okResponse());
  EXPECT_TRUE(stranger->authenticationError());
  const QList<ZPHTestHTTPRequest> requests = server.requests();
  ASSERT_FALSE(requests.isEmpty());
  EXPECT_TRUE(requests.last().header("Authorization").isNull());
}

TEST_F(NetworkAccessPoolTest, AStoppedPoolFailsDownloadsAtOnce)
{
  server.route("/feed", [](const ZPHTestHTTPRequest&) { return textResponse("<rss/>"); });
  ZPHNetworkAccessPool pool(1);
  pool.stop();
  auto operation = download("/feed", pool);
  ASSERT_TRUE(runAll({operation}));
  EXPECT_FALSE(operation->okResponse());
  EXPECT_EQ(operation->didFailErrorCode(), ZPHURLErrorCancelled);
  EXPECT_EQ(operation->downloadStatus(), CBDownloadOperation::Finished);
  EXPECT_TRUE(server.requests().isEmpty());
}

TEST_F(NetworkAccessPoolTest, AQuietTransferWakesItsCallerOnlyToAct)
{
  // The headers go out 300 ms before the body. A caller that only collects
  // the answer is not woken for them (nor for a small body): its first wait
  // ends with the whole exchange. A large body still wakes it on the way.
  struct Case {
    const char* name;
    bool quiet;
    qsizetype bodyBytes;
    qsizetype trickleBytes;
    bool firstWaitHasData;
    bool firstWaitHasEnd;
  };
  const Case cases[] = {
      {"woken for the headers", false, 64, 0, false, false},
      {"quiet, small body", true, 64, 0, true, true},
      {"quiet, large body", true, 3 * ZPHNetworkTransfer::QuietWakeBytes, ZPHNetworkTransfer::QuietWakeBytes + 1024,
       true, false},
  };
  ZPHNetworkAccessPool pool(1);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const QByteArray body(c.bodyBytes, 'x');
    server.route("/answer", [&](const ZPHTestHTTPRequest&) {
      ZPHTestHTTPResponse response = textResponse(body, 200, 300);
      if (c.trickleBytes > 0) {
        response.trickleBytes = c.trickleBytes;
        response.trickleIntervalMs = 300;
      }
      return response;
    });
    ZPHNetworkTransfer::Request request;
    request.request = QNetworkRequest(server.url("/answer"));
    request.wakesOnlyToAct = c.quiet;
    const std::shared_ptr<ZPHNetworkTransfer> transfer = pool.start(request);
    // A caller late to wait (a busy machine) finds the headers queued: a
    // quiet one still waits for something to act on.
    QThread::msleep(100);

    QList<ZPHNetworkTransfer::Event> first;
    while (first.isEmpty()) first = transfer->takeEvents(20000);
    const auto has = [](const QList<ZPHNetworkTransfer::Event>& events, ZPHNetworkTransfer::Event::Type type) {
      return std::any_of(events.cbegin(), events.cend(), [type](const auto& event) { return event.type == type; });
    };
    EXPECT_EQ(first.front().type, ZPHNetworkTransfer::Event::Response);
    EXPECT_EQ(has(first, ZPHNetworkTransfer::Event::Data), c.firstWaitHasData);
    EXPECT_EQ(has(first, ZPHNetworkTransfer::Event::Finished), c.firstWaitHasEnd);

    // Nothing is lost either way: the whole body, then the end.
    QList<ZPHNetworkTransfer::Event> all = first;
    while (!has(all, ZPHNetworkTransfer::Event::Finished)) {
      const QList<ZPHNetworkTransfer::Event> more = transfer->takeEvents(20000);
      ASSERT_FALSE(more.isEmpty());
      all += more;
    }
    QByteArray received;
    for (const ZPHNetworkTransfer::Event& event : all) {
      if (event.type == ZPHNetworkTransfer::Event::Data)
        received += event.data;
    }
    EXPECT_EQ(received, body);
    EXPECT_EQ(all.back().type, ZPHNetworkTransfer::Event::Finished);
    EXPECT_EQ(all.back().error, QNetworkReply::NoError);
  }
}
