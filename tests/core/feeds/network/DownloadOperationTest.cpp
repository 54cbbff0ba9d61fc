#include "feeds/images/CBPermanentWebCacheController.h"
#include "feeds/images/CBWebCacheController.h"
#include "feeds/network/CBDownloadOperation.h"
#include "platform/CBOperationController.h"
#include "platform/ZPHMainThread.h"
#include "support/ZPHTestApplicationDelegate.h"
#include "support/ZPHTestHTTPServer.h"
#include "support/ZPHTestSupport.h"

#include <QtCore/QElapsedTimer>
#include <QtCore/QFile>
#include <QtCore/QThread>

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

const QString kUserAgent = QStringLiteral("Zephlin/9.9 (test; gzip-happy)");

ZPHTestHTTPResponse textResponse(const QByteArray& body, int status = 200)
{
  return ZPHTestHTTPResponse{status, {{"Content-Type", "text/plain"}}, body, 0};
}

// Fails while building its request.
class ThrowingRequestOperation : public CBDownloadOperation {
public:
  using CBDownloadOperation::CBDownloadOperation;

protected:
  void createRequest() override { throw std::runtime_error("no request today"); }
};

// Fails inside a connection event, on the download thread's event loop.
class ThrowingDataOperation : public CBDownloadOperation {
public:
  using CBDownloadOperation::CBDownloadOperation;

protected:
  void didReceiveData(const QByteArray&) override { throw std::runtime_error("no data today"); }
};

class DownloadOperationTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    ASSERT_TRUE(server.start());
    CBDownloadOperation::setDefaultUserAgent(kUserAgent);
  }
  void TearDown() override { CBDownloadOperation::setDefaultUserAgent(QString()); }

  std::shared_ptr<CBDownloadOperation> operationFor(const QUrl& url, bool useWebCache = false)
  {
    auto operation = std::make_shared<CBDownloadOperation>(
        url, &receiver,
        [this](const std::shared_ptr<CBOperation>&) {
          ++callbacks;
          callbackOnMainThread = ZPHMainThread::isMainThread();
        },
        useWebCache);
    operation->setTimeoutIntervalMs(5000);
    return operation;
  }

  // Runs the operation on a tracking controller; true once it finished and
  // its completion notification emptied the controller.
  bool run(const std::shared_ptr<CBDownloadOperation>& operation, int timeoutMs = 10000)
  {
    controller.addOperation(operation);
    return ZPHTestWaitUntil([&] { return operation->isFinished() && controller.operationCount() == 0; }, timeoutMs);
  }

  ZPHTestApplicationDelegate delegate;
  ZPHTestHTTPServer server;
  CBOperationController controller;
  QObject receiver;
  int callbacks = 0;
  bool callbackOnMainThread = false;
};

}  // namespace

TEST_F(DownloadOperationTest, SendsTheProgramsHeadersAndReportsTheResponse)
{
  server.route("/feed", [](const ZPHTestHTTPRequest&) {
    return ZPHTestHTTPResponse{200,
                               {{"Content-Type", "application/rss+xml"},
                                {"etag", "\"v1\""},
                                {"Last-Modified", "Tue, 01 Dec 2026 10:00:00 GMT"},
                                {"Set-Cookie", "session=1"}},
                               "<rss/>",
                               0};
  });
  auto operation = operationFor(server.url("/feed"));
  operation->setExtraRequestHeader("X-Extra", "yes");
  ASSERT_TRUE(run(operation));

  EXPECT_TRUE(operation->okResponse());
  EXPECT_EQ(operation->statusCode(), 200);
  EXPECT_EQ(operation->responseBodyString(), "<rss/>");
  EXPECT_EQ(operation->downloadStatus(), CBDownloadOperation::Finished);
  EXPECT_TRUE(operation->finishedReading());
  EXPECT_TRUE(operation->error().isNull());
  EXPECT_EQ(operation->didFailErrorCode(), 0);
  EXPECT_FALSE(operation->authenticationError());
  EXPECT_EQ(operation->downloadThread(), nullptr);
  EXPECT_TRUE(operation->urlResponse().isHTTP);
  const auto info = operation->conditionalGetInfoResponse();
  ASSERT_TRUE(info.has_value());
  EXPECT_EQ(info->httpResponseEtag(), "\"v1\"");
  EXPECT_EQ(info->httpResponseLastModified(), "Tue, 01 Dec 2026 10:00:00 GMT");
  EXPECT_EQ(callbacks, 1);
  EXPECT_TRUE(callbackOnMainThread);

  const QList<ZPHTestHTTPRequest> requests = server.requests();
  ASSERT_EQ(requests.size(), 1);
  EXPECT_EQ(requests[0].method, "GET");
  EXPECT_EQ(requests[0].header("User-Agent"), kUserAgent.toUtf8());
  EXPECT_EQ(requests[0].header("Connection").toLower(), "close");
  EXPECT_TRUE(requests[0].header("Accept-Encoding").contains("gzip"));
  EXPECT_EQ(requests[0].header("X-Extra"), "yes");
  EXPECT_TRUE(requests[0].header("Cookie").isNull());
}

TEST_F(DownloadOperationTest, ExtraHeadersReplaceTheProgramsAndPostsCarryTheirBody)
{
  server.route("/post", [](const ZPHTestHTTPRequest& request) { return textResponse("got " + request.body); });
  auto operation = operationFor(server.url("/post"));
  operation->setExtraRequestHeaders({{"user-agent", "Other/1.0"}, {"Connection", "keep-alive"}});
  operation->setHttpMethod(CBHTTPMethodPost);
  operation->setPostBody("a=1");
  ASSERT_TRUE(run(operation));
  EXPECT_EQ(operation->responseBodyString(), "got a=1");

  const QList<ZPHTestHTTPRequest> requests = server.requests();
  ASSERT_EQ(requests.size(), 1);
  EXPECT_EQ(requests[0].method, "POST");
  EXPECT_EQ(requests[0].header("User-Agent"), "Other/1.0");
  EXPECT_EQ(requests[0].header("Connection"), "keep-alive");
  int userAgents = 0;
  for (const auto& header : requests[0].headers)
    userAgents += header.first.compare("user-agent", Qt::CaseInsensitive) == 0;
  EXPECT_EQ(userAgents, 1);
}

TEST_F(DownloadOperationTest, StatusesAreReportedNotFailedAndGzipIsDecoded)
{
  server.route("/missing", [](const ZPHTestHTTPRequest&) { return textResponse("no such feed", 404); });
  server.route("/broken", [](const ZPHTestHTTPRequest&) { return textResponse("oops", 500); });
  server.route("/moved", [](const ZPHTestHTTPRequest&) { return textResponse("", 304); });
  const QByteArray text = QByteArray("compressible text ").repeated(200);
  server.route("/gzip", [text](const ZPHTestHTTPRequest&) { return ZPHTestHTTPResponse::gzipped(text); });

  struct Case {
    const char* path;
    int status;
    bool ok;
    QByteArray body;
  };
  const Case cases[] = {
      {"/missing", 404, false, "no such feed"},
      {"/broken", 500, false, "oops"},
      {"/moved", 304, false, ""},
      {"/gzip", 200, true, text},
  };
  for (const Case& c : cases) {
    auto operation = operationFor(server.url(c.path));
    ASSERT_TRUE(run(operation)) << c.path;
    EXPECT_TRUE(operation->error().isNull()) << c.path << qPrintable(operation->error().toString());
    EXPECT_EQ(operation->statusCode(), c.status) << c.path;
    EXPECT_EQ(operation->okResponse(), c.ok) << c.path;
    EXPECT_EQ(operation->responseBody(), c.body) << c.path;
  }
}

TEST_F(DownloadOperationTest, ABodyThatCannotBeDecodedFails)
{
  // Whichever client reads it, a 200 whose body is lost is no success (nor
  // an empty body, which a refresh would take for "nothing changed").
  server.route("/corrupt", [](const ZPHTestHTTPRequest&) {
    return ZPHTestHTTPResponse{
        200, {{"Content-Encoding", "gzip"}}, QByteArray::fromHex("1f8b0800000000000003ffffffff")};
  });
  for (const bool ownClient : {true, false}) {
    SCOPED_TRACE(ownClient);
    ZPHNetworkAccessPool pool(1);
    pool.setUsesOwnClient(ownClient);
    auto operation = operationFor(server.url("/corrupt"));
    operation->setNetworkAccessPool(&pool);
    ASSERT_TRUE(run(operation));
    EXPECT_FALSE(operation->okResponse());
    EXPECT_EQ(operation->didFailErrorCode(), ZPHURLErrorCannotDecodeContentData);
    EXPECT_EQ(pool.ownClientTransferCount(), ownClient ? 1 : 0);
  }
}

TEST_F(DownloadOperationTest, WebCacheHitsSkipTheNetworkAndDownloadsFillTheCache)
{
  const QUrl cachedURL = server.url("/cached.png");
  CBWebCacheController::sharedController()->storeObject("from the cache", cachedURL);
  auto hit = operationFor(cachedURL, true);
  ASSERT_TRUE(run(hit));
  EXPECT_TRUE(hit->okResponse());
  EXPECT_EQ(hit->statusCode(), 0);
  EXPECT_EQ(hit->responseBody(), "from the cache");
  EXPECT_TRUE(server.requests().isEmpty());

  // Without the flag the cache is not asked.
  server.route("/cached.png", [](const ZPHTestHTTPRequest&) { return textResponse("fresh"); });
  auto uncached = operationFor(cachedURL, false);
  ASSERT_TRUE(run(uncached));
  EXPECT_EQ(uncached->responseBody(), "fresh");
  EXPECT_EQ(CBWebCacheController::sharedController()->cachedObjectAtURL(cachedURL), "from the cache");

  // A miss downloads and stores a 200 body; other statuses are not stored.
  server.route("/image.jpg", [](const ZPHTestHTTPRequest&) { return textResponse("image bytes"); });
  server.route("/gone.jpg", [](const ZPHTestHTTPRequest&) { return textResponse("gone", 410); });
  auto miss = operationFor(server.url("/image.jpg"), true);
  ASSERT_TRUE(run(miss));
  EXPECT_EQ(CBWebCacheController::sharedController()->cachedObjectAtURL(server.url("/image.jpg")), "image bytes");
  auto gone = operationFor(server.url("/gone.jpg"), true);
  ASSERT_TRUE(run(gone));
  EXPECT_FALSE(CBWebCacheController::sharedController()->isObjectAtURLCached(server.url("/gone.jpg")));

  // The permanent cache is used instead when asked for.
  auto permanent = operationFor(server.url("/image.jpg"), true);
  permanent->setUsePermanentWebCache(true);
  const qsizetype before = server.requests().size();
  ASSERT_TRUE(run(permanent));
  EXPECT_EQ(server.requests().size(), before + 1);
  EXPECT_EQ(CBPermanentWebCacheController::sharedController()->cachedObjectAtURL(server.url("/image.jpg")),
            "image bytes");
}

TEST_F(DownloadOperationTest, RedirectsKeepOnlyTheLastBodyAndNeverCarryCookies)
{
  server.route("/old", [this](const ZPHTestHTTPRequest&) {
    ZPHTestHTTPResponse response = ZPHTestHTTPResponse::redirect(server.url("/new").toEncoded(), 301);
    response.headers.append(std::pair<QByteArray, QByteArray>("Set-Cookie", "tracker=1; Path=/"));
    return response;
  });
  server.route("/new", [](const ZPHTestHTTPRequest&) { return textResponse("final body"); });
  auto operation = operationFor(server.url("/old"));
  ASSERT_TRUE(run(operation));
  EXPECT_TRUE(operation->okResponse());
  EXPECT_EQ(operation->responseBody(), "final body");
  EXPECT_EQ(operation->urlResponse().url, server.url("/new"));
  const QList<ZPHTestHTTPRequest> requests = server.requests();
  ASSERT_EQ(requests.size(), 2);
  EXPECT_EQ(requests[1].path, "/new");
  EXPECT_TRUE(requests[1].header("Cookie").isNull());
  EXPECT_EQ(requests[1].header("User-Agent"), kUserAgent.toUtf8());
}

TEST_F(DownloadOperationTest, RedirectsToOtherSchemesAreNotFollowed)
{
  ZPHTestTempDir folder;
  const QString secret = folder.writeFile("secret.txt", "local secret");
  server.route("/to-file", [secret](const ZPHTestHTTPRequest&) {
    return ZPHTestHTTPResponse::redirect(QUrl::fromLocalFile(secret).toEncoded());
  });
  auto operation = operationFor(server.url("/to-file"));
  operation->setUseWebCache(true);
  ASSERT_TRUE(run(operation));
  EXPECT_FALSE(operation->okResponse());
  EXPECT_EQ(operation->error().domain(), CBDownloadOperationErrorDomain) << qPrintable(operation->error().toString());
  EXPECT_EQ(operation->didFailErrorCode(), CBDownloadOperationErrorUnsupportedScheme);
  EXPECT_FALSE(operation->responseBody().contains("local secret"));
  EXPECT_FALSE(CBWebCacheController::sharedController()->isObjectAtURLCached(server.url("/to-file")));
}

// Headers that carry credentials of the request's own never reach another
// server: such a download follows redirects only within its scheme, host and
// port, and one elsewhere fails it without a request there. Any download
// may be held to its server that way.
TEST_F(DownloadOperationTest, CredentialHeadersAndBodiesNeverFollowARedirectToAnotherServer)
{
  ZPHTestHTTPServer otherHost;
  otherHost.setHost(QStringLiteral("127.0.0.2"));
  ASSERT_TRUE(otherHost.start());
  otherHost.route("/landing", [](const ZPHTestHTTPRequest& request) {
    return textResponse(request.header("Authorization").isNull() && request.header("Cookie").isNull() &&
                                request.header("Proxy-Authorization").isNull()
                            ? "a feed's new home"
                            : "someone else's answer");
  });
  server.route("/landing", [](const ZPHTestHTTPRequest&) { return textResponse("our own answer"); });
  server.route("/away", [&otherHost](const ZPHTestHTTPRequest&) {
    return ZPHTestHTTPResponse::redirect(otherHost.url("/landing").toEncoded(), 307);
  });
  server.route("/home", [](const ZPHTestHTTPRequest&) { return ZPHTestHTTPResponse::redirect("/landing", 307); });

  struct Case {
    const char* name;
    const char* header;  // nullptr: none
    bool keepsToOrigin;
    const char* path;
    bool ok;
    const char* body;
  };
  const Case cases[] = {
      {"nothing of its own, to another host", nullptr, false, "/away", true, "a feed's new home"},
      {"a login header, to another host", "Authorization", false, "/away", false, ""},
      {"a cookie, to another host", "Cookie", false, "/away", false, ""},
      {"a proxy login, to another host", "Proxy-Authorization", false, "/away", false, ""},
      {"held to its server, to another host", nullptr, true, "/away", false, ""},
      {"a cookie, within the server", "Cookie", false, "/home", true, "our own answer"},
      {"held to its server, within it", nullptr, true, "/home", true, "our own answer"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const qsizetype otherBefore = otherHost.requests().size();
    const qsizetype before = server.requests().size();
    auto operation = operationFor(server.url(c.path));
    operation->setHttpMethod(CBHTTPMethodPost);
    operation->setPostBody("the user's own data");
    if (c.header != nullptr)
      operation->setExtraRequestHeader(QString::fromLatin1(c.header), QStringLiteral("secret=1"));
    operation->setFollowsRedirectsOnlyToOrigin(c.keepsToOrigin);
    ASSERT_TRUE(run(operation));
    EXPECT_EQ(operation->okResponse(), c.ok);
    EXPECT_FALSE(operation->responseBody().contains("someone else's")) << operation->responseBody().constData();
    const QList<ZPHTestHTTPRequest> elsewhere = otherHost.requests().mid(otherBefore);
    const QList<ZPHTestHTTPRequest> here = server.requests().mid(before);
    if (c.ok) {
      EXPECT_EQ(operation->responseBody(), QByteArray(c.body));
      // Followed: a 307 keeps the method, the body and the headers.
      const ZPHTestHTTPRequest& last = elsewhere.isEmpty() ? here.last() : elsewhere.last();
      EXPECT_EQ(last.method, QByteArray("POST"));
      EXPECT_EQ(last.body, QByteArray("the user's own data"));
      EXPECT_EQ(here.size() + elsewhere.size(), 2);
    } else {
      EXPECT_TRUE(elsewhere.isEmpty());
      EXPECT_EQ(here.size(), 1);
      EXPECT_EQ(operation->error().domain(), CBDownloadOperationErrorDomain);
      EXPECT_EQ(operation->didFailErrorCode(), CBDownloadOperationErrorRedirectToOtherOrigin);
    }
    if (c.header != nullptr) {
      for (const ZPHTestHTTPRequest& request : elsewhere) EXPECT_TRUE(request.header(c.header).isNull());
      for (const ZPHTestHTTPRequest& request : here) EXPECT_EQ(request.header(c.header), QByteArray("secret=1"));
    }
  }

  // The operation's own redirects keep to the same rules as the network's:
  // no other scheme, and not for ever.
  server.route("/loop", [](const ZPHTestHTTPRequest&) { return ZPHTestHTTPResponse::redirect("/loop", 302); });
  auto looping = operationFor(server.url("/loop"));
  looping->setFollowsRedirectsOnlyToOrigin(true);
  ASSERT_TRUE(run(looping));
  EXPECT_FALSE(looping->okResponse());
  EXPECT_EQ(looping->didFailErrorCode(), ZPHURLErrorHTTPTooManyRedirects);
  server.route("/to-file",
               [](const ZPHTestHTTPRequest&) { return ZPHTestHTTPResponse::redirect("file:///etc/passwd"); });
  auto toFile = operationFor(server.url("/to-file"));
  toFile->setFollowsRedirectsOnlyToOrigin(true);
  ASSERT_TRUE(run(toFile));
  EXPECT_FALSE(toFile->okResponse());
  EXPECT_EQ(toFile->didFailErrorCode(), CBDownloadOperationErrorUnsupportedScheme);
}

TEST_F(DownloadOperationTest, ChallengesAreAnsweredAtMostThreeTimesAndOnlyForTheOriginalAddress)
{
  const QByteArray good = ZPHTestHTTPResponse::basicAuthorization("reader", "s3cret");
  server.route("/private", [good](const ZPHTestHTTPRequest& request) {
    return request.header("Authorization") == good ? textResponse("members only")
                                                   : ZPHTestHTTPResponse::basicChallenge();
  });
  ZPHTestHTTPServer other;
  ASSERT_TRUE(other.start());
  other.route("/elsewhere", [](const ZPHTestHTTPRequest&) { return ZPHTestHTTPResponse::basicChallenge(); });
  server.route("/away", [&other](const ZPHTestHTTPRequest&) {
    return ZPHTestHTTPResponse::redirect(other.url("/elsewhere").toEncoded());
  });

  struct Case {
    const char* name;
    const char* path;
    QString user;
    QString password;
    bool ok;
    int requestsWithCredentials;
    // A download that can send no credentials starts on the workers' own
    // client, which leaves the challenge to the network manager: the
    // server sees its request twice.
    int requestsWithout;
  };
  const Case cases[] = {
      {"no credentials", "/private", QString(), QString(), false, 0, 2},
      {"empty password", "/private", "reader", "", false, 0, 1},
      {"right credentials", "/private", "reader", "s3cret", true, 1, 1},
      {"wrong credentials", "/private", "reader", "wrong", false, 3, 1},
  };
  for (const Case& c : cases) {
    const qsizetype before = server.requests().size();
    auto operation = operationFor(server.url(c.path));
    operation->setUsername(c.user);
    operation->setPassword(c.password);
    ASSERT_TRUE(run(operation)) << c.name;
    EXPECT_EQ(operation->okResponse(), c.ok) << c.name;
    EXPECT_EQ(operation->authenticationError(), !c.ok) << c.name;
    const QList<ZPHTestHTTPRequest> requests = server.requests().mid(before);
    ASSERT_EQ(requests.size(), c.requestsWithout + c.requestsWithCredentials) << c.name;
    for (qsizetype i = 0; i < c.requestsWithout; ++i)
      EXPECT_TRUE(requests[i].header("Authorization").isNull()) << c.name;
    for (qsizetype i = c.requestsWithout; i < requests.size(); ++i) {
      EXPECT_EQ(requests[i].header("Authorization"),
                ZPHTestHTTPResponse::basicAuthorization(c.user.toUtf8(), c.password.toUtf8()))
          << c.name;
    }
    if (!c.ok) {
      EXPECT_EQ(operation->didFailErrorCode(), ZPHURLErrorUserCancelledAuthentication) << c.name;
    }
  }

  // A challenge from the host a redirect led to gets no credentials.
  auto redirected = operationFor(server.url("/away"));
  redirected->setUsername("reader");
  redirected->setPassword("s3cret");
  ASSERT_TRUE(run(redirected));
  EXPECT_FALSE(redirected->okResponse());
  EXPECT_TRUE(redirected->authenticationError());
  const QList<ZPHTestHTTPRequest> elsewhere = other.requests();
  ASSERT_EQ(elsewhere.size(), 1);
  EXPECT_TRUE(elsewhere[0].header("Authorization").isNull());
}

TEST_F(DownloadOperationTest, ASilentServerTimesOut)
{
  server.route("/slow", [](const ZPHTestHTTPRequest&) {
    ZPHTestHTTPResponse response = textResponse("too late");
    response.delayBeforeBodyMs = 5000;
    return response;
  });
  auto operation = operationFor(server.url("/slow"));
  operation->setTimeoutIntervalMs(200);
  ASSERT_TRUE(run(operation, 4000));
  EXPECT_FALSE(operation->okResponse());
  EXPECT_EQ(operation->error().domain(), ZPHURLErrorDomain);
  EXPECT_EQ(operation->didFailErrorCode(), ZPHURLErrorTimedOut);
  EXPECT_EQ(operation->downloadStatus(), CBDownloadOperation::Finished);
}

TEST_F(DownloadOperationTest, ATricklingServerTimesOutAtTheOverallDeadline)
{
  // A byte every 50 ms never leaves the transport silent long enough for
  // its own time-out.
  server.route("/trickle", [](const ZPHTestHTTPRequest&) {
    ZPHTestHTTPResponse response = textResponse(QByteArray(2000, 'x'));
    response.trickleIntervalMs = 50;
    return response;
  });
  auto operation = operationFor(server.url("/trickle"));
  EXPECT_EQ(operation->overallTimeoutMs(), CBDownloadOperation::DefaultOverallTimeoutMs);
  operation->setTimeoutIntervalMs(1000);
  operation->setOverallTimeoutMs(700);
  QElapsedTimer timer;
  timer.start();
  ASSERT_TRUE(run(operation, 20000));
  EXPECT_LT(timer.elapsed(), 15000);
  EXPECT_FALSE(operation->okResponse());
  EXPECT_EQ(operation->statusCode(), 200);
  EXPECT_EQ(operation->error().domain(), ZPHURLErrorDomain);
  EXPECT_EQ(operation->didFailErrorCode(), ZPHURLErrorTimedOut);
  EXPECT_LT(operation->responseBody().size(), 2000);
  EXPECT_EQ(callbacks, 1);
}

TEST_F(DownloadOperationTest, AConnectionClosedMidBodyFails)
{
  server.route("/cut", [](const ZPHTestHTTPRequest&) {
    ZPHTestHTTPResponse response = textResponse(QByteArray(5000, 'x'));
    response.closeAfterBodyBytes = 1000;
    return response;
  });
  auto operation = operationFor(server.url("/cut"));
  ASSERT_TRUE(run(operation));
  EXPECT_FALSE(operation->okResponse());
  EXPECT_EQ(operation->statusCode(), 200);
  EXPECT_EQ(operation->didFailErrorCode(), ZPHURLErrorNetworkConnectionLost)
      << operation->error().toString().toStdString();
}

TEST_F(DownloadOperationTest, ACancelDuringASlowBodyEndsTheDownloadAndIsNeverOK)
{
  server.route("/slow", [](const ZPHTestHTTPRequest&) {
    ZPHTestHTTPResponse response = textResponse("too late");
    response.delayBeforeBodyMs = 30000;
    return response;
  });
  auto operation = operationFor(server.url("/slow"));
  controller.addOperation(operation);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return server.requests().size() == 1 && operation->downloadThread(); }));
  ZPHTestSpinEventLoop(50);
  controller.cancelOperation(operation);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return operation->isFinished() && controller.operationCount() == 0; }));
  EXPECT_FALSE(operation->okResponse());
  EXPECT_EQ(operation->downloadStatus(), CBDownloadOperation::Cancelled);
  EXPECT_EQ(operation->didFailErrorCode(), ZPHURLErrorCancelled);
  ZPHTestSpinEventLoop(20);
  EXPECT_EQ(callbacks, 0);

  // Cancelled before it ran: no request, not OK, and still completed.
  auto early = operationFor(server.url("/slow"));
  early->cancel();
  ASSERT_TRUE(run(early));
  EXPECT_FALSE(early->okResponse());
  EXPECT_EQ(early->downloadStatus(), CBDownloadOperation::Cancelled);
  EXPECT_EQ(server.requests().size(), 1);
}

TEST_F(DownloadOperationTest, ARefusedConnectionFails)
{
  const ZPHTestClosedPort closedPort;
  ASSERT_NE(closedPort.port(), 0);
  auto operation = operationFor(closedPort.url(QStringLiteral("/feed")));
  ASSERT_TRUE(run(operation));
  EXPECT_FALSE(operation->okResponse());
  EXPECT_EQ(operation->didFailErrorCode(), ZPHURLErrorCannotConnectToHost);
  EXPECT_FALSE(operation->notConnectedToInternetError());
  EXPECT_EQ(operation->statusCode(), 0);
  EXPECT_EQ(operation->downloadStatus(), CBDownloadOperation::Finished);
}

TEST_F(DownloadOperationTest, BodiesPastTheLimitFail)
{
  const QByteArray limitBytes(1000, 'x');
  server.route("/at-limit", [limitBytes](const ZPHTestHTTPRequest&) { return textResponse(limitBytes); });
  server.route("/over-limit", [limitBytes](const ZPHTestHTTPRequest&) { return textResponse(limitBytes + "y"); });
  // Small on the wire, large once decoded.
  server.route("/bomb",
               [](const ZPHTestHTTPRequest&) { return ZPHTestHTTPResponse::gzipped(QByteArray(100000, 'z')); });
  EXPECT_EQ(CBDownloadOperation(QUrl()).maximumBodySize(), 64 * 1024 * 1024);

  struct Case {
    const char* path;
    bool ok;
  };
  const Case cases[] = {{"/at-limit", true}, {"/over-limit", false}, {"/bomb", false}};
  for (const Case& c : cases) {
    auto operation = operationFor(server.url(c.path), true);
    operation->setMaximumBodySize(1000);
    ASSERT_TRUE(run(operation)) << c.path;
    EXPECT_EQ(operation->okResponse(), c.ok) << c.path;
    if (c.ok)
      continue;
    EXPECT_EQ(operation->error().domain(), CBDownloadOperationErrorDomain) << c.path;
    EXPECT_EQ(operation->didFailErrorCode(), CBDownloadOperationErrorBodyTooLarge) << c.path;
    EXPECT_LE(operation->responseBody().size(), 1000) << c.path;
    EXPECT_FALSE(CBWebCacheController::sharedController()->isObjectAtURLCached(server.url(c.path))) << c.path;
  }
}

TEST_F(DownloadOperationTest, OtherSchemesAreRefusedUnlessAllowed)
{
  ZPHTestTempDir folder;
  const QString local = folder.writeFile("local.txt", "local file");
  const QUrl fileURL = QUrl::fromLocalFile(local);
  // Even a web-cache copy of a refused address is not read.
  CBWebCacheController::sharedController()->storeObject("cached copy", fileURL);

  const QUrl refused[] = {
      fileURL,
      QUrl("data:text/plain,hello"),
      QUrl(QStringLiteral("ftp://127.0.0.1:%1/feed").arg(server.port())),
      QUrl("zph-image-cache:abc.png"),
      QUrl("feed.xml"),
      QUrl(),
  };
  for (const QUrl& url : refused) {
    auto operation = operationFor(url, true);
    ASSERT_TRUE(run(operation)) << qPrintable(url.toString());
    EXPECT_FALSE(operation->okResponse()) << qPrintable(url.toString());
    EXPECT_EQ(operation->error().domain(), CBDownloadOperationErrorDomain);
    EXPECT_EQ(operation->didFailErrorCode(), CBDownloadOperationErrorUnsupportedScheme);
    EXPECT_TRUE(operation->responseBody().isNull()) << qPrintable(url.toString());
    EXPECT_EQ(callbacks, 1);  // the delegate still hears of it
    callbacks = 0;
  }
  EXPECT_TRUE(server.requests().isEmpty());

  // A caller that opts in may read a file; the answer is not an HTTP one.
  auto allowed = operationFor(fileURL);
  allowed->setAllowsNonHTTPSchemes(true);
  ASSERT_TRUE(run(allowed));
  EXPECT_TRUE(allowed->okResponse());
  EXPECT_EQ(allowed->statusCode(), 0);
  EXPECT_EQ(allowed->responseBody(), "local file");
}

TEST_F(DownloadOperationTest, AnUntrustedCertificateAlwaysFails)
{
  ZPHTestHTTPServer tlsServer;
  ASSERT_TRUE(tlsServer.startTls(ZPHTestFixture("tls/localhost.crt"), ZPHTestFixture("tls/localhost.key")));
  tlsServer.route("/feed", [](const ZPHTestHTTPRequest&) { return textResponse("secret"); });
  ASSERT_EQ(tlsServer.url("/feed").scheme(), "https");
  auto operation = operationFor(tlsServer.url("/feed"));
  ASSERT_TRUE(run(operation));
  EXPECT_FALSE(operation->okResponse());
  EXPECT_EQ(operation->didFailErrorCode(), ZPHURLErrorServerCertificateUntrusted);
  EXPECT_TRUE(operation->responseBody().isEmpty());
  EXPECT_TRUE(tlsServer.requests().isEmpty());
}

TEST_F(DownloadOperationTest, AnExceptionStillCompletesTheOperation)
{
  server.route("/feed", [](const ZPHTestHTTPRequest&) { return textResponse("<rss/>"); });
  const std::shared_ptr<CBDownloadOperation> operations[] = {
      std::make_shared<ThrowingRequestOperation>(server.url("/feed")),
      std::make_shared<ThrowingDataOperation>(server.url("/feed")),
  };
  for (const auto& operation : operations) {
    ASSERT_TRUE(run(operation));
    EXPECT_FALSE(operation->okResponse());
    EXPECT_EQ(operation->didFailErrorCode(), ZPHURLErrorUnknown);
    EXPECT_EQ(operation->downloadStatus(), CBDownloadOperation::Finished);
    EXPECT_EQ(operation->downloadThread(), nullptr);
  }
  EXPECT_EQ(server.requests().size(), 1);
}

TEST(HTTPConditionalGetInfo, ReadsEntityTagAndLastModifiedInAnyCase)
{
  EXPECT_FALSE(CBHTTPConditionalGetInfo::conditionalGetInfoWithURLResponse({}).has_value());
  EXPECT_FALSE(CBHTTPConditionalGetInfo::conditionalGetInfoWithURLResponse({{"Content-Type", "text/xml"}}).has_value());
  EXPECT_FALSE(
      CBHTTPConditionalGetInfo::conditionalGetInfoWithURLResponse({{"ETag", ""}, {"Last-Modified", ""}}).has_value());
  const auto etagOnly = CBHTTPConditionalGetInfo::conditionalGetInfoWithURLResponse({{"etag", "\"abc\""}});
  ASSERT_TRUE(etagOnly.has_value());
  EXPECT_EQ(etagOnly->httpResponseEtag(), "\"abc\"");
  EXPECT_TRUE(etagOnly->httpResponseLastModified().isEmpty());
  const auto both = CBHTTPConditionalGetInfo::conditionalGetInfoWithURLResponse(
      {{"ETAG", "x"}, {"last-modified", "Mon, 07 Dec 2026 08:00:00 GMT"}});
  ASSERT_TRUE(both.has_value());
  EXPECT_EQ(both->httpResponseEtag(), "x");
  EXPECT_EQ(both->httpResponseLastModified(), "Mon, 07 Dec 2026 08:00:00 GMT");
}
