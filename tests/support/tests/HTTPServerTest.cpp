#include "support/ZPHTestHTTPServer.h"
#include "support/ZPHTestSupport.h"

#include <QtNetwork/QNetworkAccessManager>
#include <QtNetwork/QNetworkReply>
#include <QtNetwork/QNetworkRequest>
#include <QtNetwork/QTcpServer>

#include <gtest/gtest.h>

#include <memory>

namespace {

// Waits on the main thread for the reply to finish.
std::unique_ptr<QNetworkReply> finished(QNetworkReply* reply)
{
  std::unique_ptr<QNetworkReply> owned(reply);
  EXPECT_TRUE(ZPHTestWaitUntil([&] { return owned->isFinished(); }, 10000));
  return owned;
}

int statusOf(const QNetworkReply& reply) { return reply.attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(); }

}  // namespace

TEST(TestHTTPServer, AnswersRoutesRecordsRequestsAnd404sTheRest)
{
  ZPHTestHTTPServer server;
  ASSERT_TRUE(server.start());
  ASSERT_NE(server.port(), 0);
  server.route("/hello", [](const ZPHTestHTTPRequest& request) {
    return ZPHTestHTTPResponse{200,
                               {{"Content-Type", "text/plain"}, {"X-Echo", request.header("x-zephlin-test")}},
                               "hello " + request.header("X-Zephlin-Test"),
                               0};
  });
  QNetworkAccessManager manager;

  QNetworkRequest get(server.url("/hello?a=1&b=two"));
  get.setRawHeader("X-Zephlin-Test", "world");
  auto reply = finished(manager.get(get));
  EXPECT_EQ(reply->error(), QNetworkReply::NoError);
  EXPECT_EQ(statusOf(*reply), 200);
  EXPECT_EQ(reply->rawHeader("X-Echo"), "world");
  EXPECT_EQ(reply->readAll(), "hello world");

  auto missing = finished(manager.get(QNetworkRequest(server.url("/nothing-here"))));
  EXPECT_EQ(missing->error(), QNetworkReply::ContentNotFoundError);
  EXPECT_EQ(statusOf(*missing), 404);

  const QList<ZPHTestHTTPRequest> requests = server.requests();
  ASSERT_EQ(requests.size(), 2);
  EXPECT_EQ(requests[0].method, "GET");
  EXPECT_EQ(requests[0].path, "/hello");
  EXPECT_EQ(requests[0].query, "a=1&b=two");
  EXPECT_EQ(requests[0].header("x-zephlin-test"), "world");
  EXPECT_TRUE(requests[0].body.isEmpty());
  EXPECT_EQ(requests[1].path, "/nothing-here");
  EXPECT_TRUE(requests[1].query.isNull());
}

TEST(TestHTTPServer, EchoesAPostBodyAfterADelay)
{
  ZPHTestHTTPServer server;
  ASSERT_TRUE(server.start());
  server.route("/echo", [](const ZPHTestHTTPRequest& request) {
    return ZPHTestHTTPResponse{201, {{"Content-Type", request.header("Content-Type")}}, request.body, 50};
  });
  QNetworkAccessManager manager;

  QByteArray body = "name=zephlin&text=";
  body.append(QByteArray(100000, 'x'));  // more than one read's worth
  QNetworkRequest post(server.url("echo"));
  post.setHeader(QNetworkRequest::ContentTypeHeader, "application/x-www-form-urlencoded");
  auto reply = finished(manager.post(post, body));
  EXPECT_EQ(reply->error(), QNetworkReply::NoError);
  EXPECT_EQ(statusOf(*reply), 201);
  EXPECT_EQ(reply->readAll(), body);

  const QList<ZPHTestHTTPRequest> requests = server.requests();
  ASSERT_EQ(requests.size(), 1);
  EXPECT_EQ(requests[0].method, "POST");
  EXPECT_EQ(requests[0].body, body);
  EXPECT_EQ(requests[0].header("Content-Length"), QByteArray::number(body.size()));
}

TEST(TestHTTPServer, AClosedPortRefusesAndNoServerTakesItWhileHeld)
{
  ZPHTestClosedPort closed;
  ASSERT_NE(closed.port(), 0);
  QNetworkAccessManager manager;
  auto reply = finished(manager.get(QNetworkRequest(closed.url("feed.xml"))));
  EXPECT_EQ(reply->error(), QNetworkReply::ConnectionRefusedError);
  EXPECT_EQ(closed.url("feed.xml"), QUrl(QStringLiteral("http://127.0.0.1:%1/feed.xml").arg(closed.port())));

  // A server asked for that very port does not get it.
  QTcpServer taker;
  EXPECT_FALSE(taker.listen(QHostAddress::LocalHost, closed.port()));
}
