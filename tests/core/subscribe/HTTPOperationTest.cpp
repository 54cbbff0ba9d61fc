// ESHTTPOperation and the finder's download, against the loopback server.

#include "feeds/network/CBDownloadOperation.h"
#include "platform/ZPHMainThread.h"
#include "platform/ZPHOperationQueue.h"
#include "subscribe/ESHTTPOperation.h"
#include "subscribe/ESJSONOperation.h"
#include "subscribe/ESURLRequest.h"
#include "subscribe/ZPHFeedFinderHTTPOperation.h"
#include "subscribe/ZPHURLAdditions.h"
#include "support/ZPHTestApplicationDelegate.h"
#include "support/ZPHTestHTTPServer.h"
#include "support/ZPHTestSupport.h"

#include <QtCore/QBuffer>
#include <QtCore/QMutex>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>

namespace {

ZPHTestHTTPResponse textResponse(const QByteArray& body, int status = 200, const QByteArray& type = "text/plain")
{
  return ZPHTestHTTPResponse{status, {{"Content-Type", type}}, body, 0};
}

class HTTPOperationTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    ASSERT_TRUE(server.start());
    queue.setMaxConcurrentOperationCount(3);
  }

  // Runs the operation on the queue and waits for its completion on the
  // main thread; answers how often the completion ran.
  template <typename Operation>
  std::shared_ptr<Operation> make(const QUrl& url)
  {
    auto completions = std::make_shared<std::atomic<int>>(0);
    m_completions = completions;
    return std::make_shared<Operation>(QNetworkRequest(url), ESHTTPOperation::WorkBlock(),
                                       [completions](const std::shared_ptr<ESHTTPOperation>&) { ++*completions; });
  }
  bool run(const std::shared_ptr<ESHTTPOperation>& operation)
  {
    queue.addOperation(operation);
    return ZPHTestWaitUntil([&] { return *m_completions > 0; }, 30000);
  }
  int completions() const { return *m_completions; }

  ZPHTestApplicationDelegate delegate;
  ZPHTestHTTPServer server;
  ZPHOperationQueue queue;
  std::shared_ptr<std::atomic<int>> m_completions;
};

}  // namespace

TEST_F(HTTPOperationTest, StatusCodesOutsideTheAcceptableSetFailWithTheStatusUnderneath)
{
  for (int status : {200, 299, 300, 304, 404, 500}) {
    server.route("/s", [status](const ZPHTestHTTPRequest&) { return textResponse("body", status); });
    auto operation = make<ESHTTPOperation>(server.url("/s"));
    ASSERT_TRUE(run(operation)) << status;
    EXPECT_EQ(completions(), 1);
    EXPECT_EQ(operation->state(), ESRunLoopOperation::Finished);
    EXPECT_EQ(operation->lastResponse().statusCode, status);
    if (status < 300) {
      EXPECT_TRUE(operation->error().isNull()) << status;
      EXPECT_EQ(operation->responseBody(), "body");
    } else {
      EXPECT_EQ(operation->error().domain(), ESHTTPOperationErrorDomain) << status;
      EXPECT_EQ(operation->error().code(), ESHTTPOperationErrorBadStatusCode) << status;
      EXPECT_EQ(operation->error().value(ZPHUnderlyingErrorKey).value<ZPHError>().code(), status);
    }
  }
}

TEST_F(HTTPOperationTest, BodiesAreBoundedByTheMaximumResponseSize)
{
  const QByteArray big(5 * 1024 * 1024, 'x');
  // Announced: refused at the first piece.
  server.route("/announced", [&](const ZPHTestHTTPRequest&) { return textResponse(big); });
  auto announced = make<ESHTTPOperation>(server.url("/announced"));
  ASSERT_TRUE(run(announced));
  EXPECT_EQ(announced->error().domain(), ESHTTPOperationErrorDomain);
  EXPECT_EQ(announced->error().code(), ESHTTPOperationErrorResponseTooLarge);
  EXPECT_TRUE(announced->responseBody().isEmpty());

  // Without a length: refused at the piece that crosses the limit.
  server.route("/unannounced", [&](const ZPHTestHTTPRequest&) {
    ZPHTestHTTPResponse response = ZPHTestHTTPResponse::gzipped(big);
    return response;
  });
  auto unannounced = make<ESHTTPOperation>(server.url("/unannounced"));
  ASSERT_TRUE(run(unannounced));
  EXPECT_EQ(unannounced->error().code(), ESHTTPOperationErrorResponseTooLarge);

  // A smaller limit, set before queuing, applies; after queuing nothing changes.
  server.route("/small", [](const ZPHTestHTTPRequest&) { return textResponse(QByteArray(2000, 'y')); });
  auto small = make<ESHTTPOperation>(server.url("/small"));
  EXPECT_TRUE(small->setDefaultResponseSize(1000));
  EXPECT_TRUE(small->setMaximumResponseSize(1000));
  ASSERT_TRUE(run(small));
  EXPECT_EQ(small->error().code(), ESHTTPOperationErrorResponseTooLarge);
  EXPECT_FALSE(small->setMaximumResponseSize(5000));
  EXPECT_FALSE(small->setAcceptableStatusCodes({200}));
  EXPECT_EQ(small->maximumResponseSize(), 1000u);
}

TEST_F(HTTPOperationTest, ContentTypesAreCheckedOnlyWhenAskedFor)
{
  server.route("/typed", [](const ZPHTestHTTPRequest&) {
    return textResponse("<rss/>", 200, "Application/RSS+XML; charset=utf-8");
  });
  server.route("/untyped", [](const ZPHTestHTTPRequest&) { return ZPHTestHTTPResponse{200, {}, "x", 0}; });

  auto any = make<ESHTTPOperation>(server.url("/untyped"));
  ASSERT_TRUE(run(any));
  EXPECT_TRUE(any->error().isNull());

  auto matching = make<ESHTTPOperation>(server.url("/typed"));
  matching->setAcceptableContentTypes({"application/rss+xml"});
  ASSERT_TRUE(run(matching));
  EXPECT_TRUE(matching->error().isNull());
  EXPECT_EQ(matching->lastResponse().mimeType(), "application/rss+xml");

  auto missing = make<ESHTTPOperation>(server.url("/untyped"));
  missing->setAcceptableContentTypes({"application/rss+xml"});
  ASSERT_TRUE(run(missing));
  EXPECT_EQ(missing->error().code(), ESHTTPOperationErrorBadContentType);
}

TEST_F(HTTPOperationTest, RedirectsAreFollowedAndTheWorkBlockMakesTheProcessedResponse)
{
  server.route("/a", [](const ZPHTestHTTPRequest&) { return ZPHTestHTTPResponse::redirect("/b", 302); });
  server.route("/b", [](const ZPHTestHTTPRequest&) { return textResponse("forty-two"); });
  std::atomic<int> completions{0};
  auto operation = ESHTTPOperation::newHTTPOperationWithRequest(
      QNetworkRequest(server.url("/a")),
      [](ESHTTPOperation& self, ZPHError*) { return QVariant(self.responseBody().size()); },
      [&](const std::shared_ptr<ESHTTPOperation>&) { ++completions; });
  queue.addOperation(operation);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return completions > 0; }, 20000));
  EXPECT_TRUE(operation->error().isNull()) << operation->error().toString().toStdString();
  EXPECT_EQ(operation->lastRequest().url(), server.url("/b"));
  EXPECT_EQ(operation->processedResponse().toInt(), 9);
  EXPECT_GT(operation->operationID(), 0);
  EXPECT_TRUE(operation->description().contains(QStringLiteral("/b")));
}

TEST_F(HTTPOperationTest, OnlyWebAddressesAreFetched)
{
  for (const char* address : {"file:///etc/passwd", "ftp://127.0.0.1/x", "data:text/plain,x"}) {
    auto operation = make<ESHTTPOperation>(QUrl(QString::fromLatin1(address)));
    ASSERT_TRUE(run(operation)) << address;
    EXPECT_EQ(operation->error().domain(), ZPHURLErrorDomain) << address;
    EXPECT_EQ(operation->error().code(), ZPHURLErrorUnsupportedURL) << address;
  }
  // A redirect may not lead elsewhere either.
  server.route("/to-file",
               [](const ZPHTestHTTPRequest&) { return ZPHTestHTTPResponse::redirect("file:///etc/passwd"); });
  auto redirected = make<ESHTTPOperation>(server.url("/to-file"));
  ASSERT_TRUE(run(redirected));
  EXPECT_EQ(redirected->error().code(), ZPHURLErrorUnsupportedURL);
  EXPECT_EQ(server.requests().size(), 1);
}

TEST_F(HTTPOperationTest, ACancelledOperationStillCompletesOnceWithoutTouchingTheNetwork)
{
  server.route("/never", [](const ZPHTestHTTPRequest&) { return textResponse("x"); });
  auto operation = make<ESHTTPOperation>(server.url("/never"));
  operation->cancel();
  operation->cancel();
  ASSERT_TRUE(run(operation));
  ZPHTestSpinEventLoop(100);
  EXPECT_EQ(completions(), 1);
  EXPECT_EQ(operation->error().domain(), ZPHCocoaErrorDomain);
  EXPECT_EQ(operation->error().code(), ZPHUserCancelledError);
  EXPECT_TRUE(server.requests().isEmpty());

  // Cancelled while the server takes its time.
  server.route("/slow", [](const ZPHTestHTTPRequest&) {
    ZPHTestHTTPResponse response = textResponse(QByteArray(10, 'z'));
    response.delayBeforeBodyMs = 3000;
    return response;
  });
  auto slow = make<ESHTTPOperation>(server.url("/slow"));
  queue.addOperation(slow);
  ASSERT_TRUE(
      ZPHTestWaitUntil([&] { return !server.requests().isEmpty() && server.requests().last().path == "/slow"; }));
  slow->cancel();
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return completions() > 0; }, 2000));
  EXPECT_EQ(slow->error().code(), ZPHUserCancelledError);
}

TEST_F(HTTPOperationTest, AnExchangeThatTakesTooLongEnds)
{
  server.route("/slow", [](const ZPHTestHTTPRequest&) {
    ZPHTestHTTPResponse response = textResponse("late");
    response.delayBeforeBodyMs = 3000;
    return response;
  });
  auto operation = make<ESHTTPOperation>(server.url("/slow"));
  EXPECT_TRUE(operation->setMaximumExchangeDurationMs(300));
  ASSERT_TRUE(run(operation));
  EXPECT_EQ(operation->error().domain(), ZPHURLErrorDomain);
  EXPECT_EQ(operation->error().code(), ZPHURLErrorTimedOut);
}

TEST_F(HTTPOperationTest, AnOutputStreamTakesAnAcceptableBody)
{
  server.route("/file", [](const ZPHTestHTTPRequest&) { return textResponse("streamed"); });
  QBuffer buffer;
  auto operation = make<ESHTTPOperation>(server.url("/file"));
  operation->setOutputStream(&buffer);
  ASSERT_TRUE(run(operation));
  EXPECT_TRUE(operation->error().isNull());
  EXPECT_EQ(buffer.data(), "streamed");
  EXPECT_FALSE(buffer.isOpen());
  EXPECT_EQ(operation->totalBytesWritten(), 8u);
}

TEST_F(HTTPOperationTest, TheFinderDownloadKeepsTheLastPermanentAddressAndStopsLoops)
{
  // A 301 to a second address, then a 302 to a third.
  server.route("/first", [](const ZPHTestHTTPRequest&) { return ZPHTestHTTPResponse::redirect("/second", 301); });
  server.route("/second", [](const ZPHTestHTTPRequest&) { return ZPHTestHTTPResponse::redirect("/third", 302); });
  server.route("/third", [](const ZPHTestHTTPRequest&) { return textResponse("end"); });
  auto chain = make<ZPHFeedFinderHTTPOperation>(server.url("/first"));
  ASSERT_TRUE(run(chain));
  EXPECT_TRUE(chain->error().isNull()) << chain->error().toString().toStdString();
  EXPECT_EQ(chain->lastPermanentURL(), server.url("/second"));
  EXPECT_EQ(chain->finalURL(), server.url("/third"));
  EXPECT_EQ(chain->urlsRead().size(), 2);

  // A loop ends the second time a target comes round.
  server.route("/loop-a", [](const ZPHTestHTTPRequest&) { return ZPHTestHTTPResponse::redirect("/loop-b", 302); });
  server.route("/loop-b", [](const ZPHTestHTTPRequest&) { return ZPHTestHTTPResponse::redirect("/loop-a", 302); });
  auto loop = make<ZPHFeedFinderHTTPOperation>(server.url("/loop-a"));
  ASSERT_TRUE(run(loop));
  EXPECT_EQ(loop->error().domain(), ZPHURLErrorDomain);
  EXPECT_EQ(loop->error().code(), ZPHURLErrorHTTPTooManyRedirects);
}

TEST_F(HTTPOperationTest, TheFinderDownloadAsksForALoginAtMostFiveTimes)
{
  server.route("/locked", [](const ZPHTestHTTPRequest&) { return ZPHTestHTTPResponse::basicChallenge(); });
  int questions = 0;
  ZPHObserverToken answerer = ZPHNotificationCenter::defaultCenter().addObserver(
      ZPHFeedFinderShouldAuthenticateHTTPBasicAuthNotification, {}, [&](const ZPHNotification& question) {
        ++questions;
        ZPHFeedFinderHTTPOperation::postBasicAuthAnswer(question.object.toString(),
                                                        ZPHCredentialsResult("user", "wrong"));
      });
  auto operation = make<ZPHFeedFinderHTTPOperation>(server.url("/locked"));
  ASSERT_TRUE(run(operation));
  EXPECT_EQ(questions, 5);
  EXPECT_EQ(operation->httpAuthTries(), 5);
  EXPECT_EQ(operation->error().domain(), ZPHURLErrorDomain);
  EXPECT_EQ(operation->error().code(), ZPHURLErrorUserAuthenticationRequired);

  // Without prompting, the first challenge ends it.
  auto silent = make<ZPHFeedFinderHTTPOperation>(server.url("/locked"));
  silent->setAllowPromptForUserCredentials(false);
  ASSERT_TRUE(run(silent));
  EXPECT_EQ(questions, 5);
  EXPECT_EQ(silent->error().code(), ZPHURLErrorUserAuthenticationRequired);
}

TEST_F(HTTPOperationTest, AnUnansweredQuestionGivesUpAfterItsTimeOut)
{
  server.route("/locked", [](const ZPHTestHTTPRequest&) { return ZPHTestHTTPResponse::basicChallenge(); });
  QString asked;
  ZPHObserverToken listener = ZPHNotificationCenter::defaultCenter().addObserver(
      ZPHFeedFinderShouldAuthenticateHTTPBasicAuthNotification, {},
      [&](const ZPHNotification& question) { asked = question.object.toString(); });
  auto operation = make<ZPHFeedFinderHTTPOperation>(server.url("/locked"));
  operation->setQuestionTimeoutMs(300);
  ASSERT_TRUE(run(operation));
  EXPECT_FALSE(asked.isEmpty());
  EXPECT_EQ(operation->error().code(), ZPHURLErrorUserCancelledAuthentication);
  // The network workers' own client leaves the challenge to the network
  // manager: the server saw the request twice.
  EXPECT_EQ(server.requests().size(), 2);
  // A late answer changes nothing.
  ZPHFeedFinderHTTPOperation::postBasicAuthAnswer(asked, ZPHCredentialsResult("user", "late"));
  ZPHTestSpinEventLoop(100);
  EXPECT_EQ(completions(), 1);
  EXPECT_EQ(server.requests().size(), 2);
}

TEST_F(HTTPOperationTest, AJSONOperationParsesTheBodyAndCallsOneOfItsBlocks)
{
  server.route("/object", [](const ZPHTestHTTPRequest&) {
    return textResponse(R"({"feeds": ["a", "b"], "count": 2})", 200, "application/json; charset=utf-8");
  });
  server.route("/broken", [](const ZPHTestHTTPRequest&) { return textResponse("{\"feeds\": [", 200, "text/json"); });
  server.route("/empty", [](const ZPHTestHTTPRequest&) { return textResponse("", 200, "text/plain"); });
  server.route("/page", [](const ZPHTestHTTPRequest&) { return textResponse("{}", 200, "text/html"); });
  server.route("/gone", [](const ZPHTestHTTPRequest&) { return textResponse("{}", 404, "application/json"); });

  EXPECT_EQ(ESJSONOperation::defaultAcceptableContentTypes(),
            (QSet<QString>{"application/json", "application/x-javascript", "text/javascript", "text/x-javascript",
                           "text/x-json", "text/json", "text/plain"}));
  const struct {
    const char* path;
    bool succeeds;
    QString errorDomain;
    qint64 errorCode;
  } cases[] = {
      {"/object", true, {}, 0},
      {"/empty", true, {}, 0},
      {"/broken", false, ZPHCocoaErrorDomain, ESJSONOperation::JSONReadingError},
      {"/page", false, ESHTTPOperationErrorDomain, ESHTTPOperationErrorBadContentType},
      {"/gone", false, ESHTTPOperationErrorDomain, ESHTTPOperationErrorBadStatusCode},
  };
  for (const auto& c : cases) {
    int successes = 0;
    int failures = 0;
    QVariant json;
    auto operation = ESJSONOperation::newJSONOperationWithRequest(
        QNetworkRequest(server.url(QString::fromLatin1(c.path))),
        [&](const std::shared_ptr<ESJSONOperation>&, const QVariant& value) {
          EXPECT_TRUE(ZPHMainThread::isMainThread());
          ++successes;
          json = value;
        },
        [&](const std::shared_ptr<ESJSONOperation>&) { ++failures; });
    EXPECT_EQ(operation->acceptableContentTypes(), ESJSONOperation::defaultAcceptableContentTypes());
    queue.addOperation(operation);
    ASSERT_TRUE(ZPHTestWaitUntil([&] { return successes + failures > 0; }, 20000)) << c.path;
    ZPHTestSpinEventLoop(20);
    EXPECT_EQ(successes, c.succeeds ? 1 : 0) << c.path;
    EXPECT_EQ(failures, c.succeeds ? 0 : 1) << c.path;
    EXPECT_EQ(operation->error().domain(), c.errorDomain) << c.path;
    EXPECT_EQ(operation->error().code(), c.errorCode) << c.path;
    if (QLatin1String(c.path) == QLatin1String("/object"))
      EXPECT_EQ(json.toMap(), (QVariantMap{{"feeds", QVariantList{"a", "b"}}, {"count", 2}}));
    else
      EXPECT_FALSE(json.isValid()) << c.path;
  }

  // Without a failure block a failure calls nothing (and does not crash).
  std::atomic<bool> succeeded{false};
  auto quiet = ESJSONOperation::newJSONOperationWithRequest(
      QNetworkRequest(server.url("/broken")),
      [&](const std::shared_ptr<ESJSONOperation>&, const QVariant&) { succeeded = true; });
  queue.addOperation(quiet);
  quiet->waitUntilFinished();
  ZPHTestSpinEventLoop(50);
  EXPECT_FALSE(succeeded.load());
  EXPECT_EQ(quiet->error().code(), ESJSONOperation::JSONReadingError);
}

TEST_F(HTTPOperationTest, FormPostsAreBuiltByTheRequestHelpers)
{
  // Escaping: UTF-8, and the characters that would split a form or a path.
  EXPECT_EQ(ESURLRequest::urlEncodeString(QStringLiteral("a/b&c?d=e+f g~é")),
            QStringLiteral("a%2Fb%26c%3Fd%3De%2Bf%20g~%C3%A9"));
  EXPECT_EQ(ESURLRequest::urlEncodeString(QStringLiteral("x:y@z;1,2$")), QStringLiteral("x:y@z;1,2$"));
  EXPECT_EQ(ESURLRequest::HTTPBodyWithDictionary({}), QByteArray());
  // The pairs as they are, in key order, without a leading "&".
  EXPECT_EQ(ESURLRequest::HTTPBodyWithDictionary(
                {{"user", QStringLiteral("zoë")}, {"add", ESURLRequest::urlEncodeString(QStringLiteral("a&b"))}}),
            QByteArray("add=a%26b&user=zo\xc3\xab"));

  server.route("/form", [](const ZPHTestHTTPRequest& request) {
    return textResponse(request.method + " " + request.header("Content-Type") + " " + request.body);
  });
  const ESURLRequest post = ESURLRequest::postRequestWithURL(server.url("/form"), {{"a", "1"}, {"b", "two"}});
  EXPECT_EQ(post.httpMethod, "POST");
  EXPECT_EQ(post.httpBody, "a=1&b=two");
  std::atomic<int> completions{0};
  auto operation = ESHTTPOperation::newHTTPOperationWithRequest(
      post, {}, [&](const std::shared_ptr<ESHTTPOperation>&) { ++completions; });
  queue.addOperation(operation);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return completions > 0; }, 20000));
  EXPECT_EQ(operation->responseBody(), "POST application/x-www-form-urlencoded a=1&b=two");
}

TEST_F(HTTPOperationTest, TheUploadProgressBlockFollowsTheBodyOnTheRunLoopThread)
{
  server.route("/upload",
               [](const ZPHTestHTTPRequest& request) { return textResponse(QByteArray::number(request.body.size())); });
  const QByteArray body(300 * 1024, 'u');
  auto operation = make<ESHTTPOperation>(server.url("/upload"));
  operation->setHTTPMethod("POST");
  operation->setHTTPBody(body);
  struct Report {
    quint64 sent;
    qint64 total;
    bool onMainThread;
  };
  QMutex mutex;
  QList<Report> reports;
  EXPECT_TRUE(operation->setUploadProgressBlock([&](quint64 sent, qint64 total) {
    QMutexLocker locker(&mutex);
    reports.append({sent, total, ZPHMainThread::isMainThread()});
  }));
  ASSERT_TRUE(run(operation));
  EXPECT_TRUE(operation->error().isNull()) << operation->error().toString().toStdString();
  EXPECT_EQ(operation->responseBody(), QByteArray::number(body.size()));
  QMutexLocker locker(&mutex);
  ASSERT_FALSE(reports.isEmpty());
  EXPECT_EQ(reports.last().sent, quint64(body.size()));
  EXPECT_EQ(reports.last().total, body.size());
  for (const Report& report : reports) EXPECT_FALSE(report.onMainThread);
  locker.unlock();

  // Once queued the block is refused, and the log says why.
  ZPHTestLogCapture log;
  EXPECT_FALSE(operation->setUploadProgressBlock([](quint64, qint64) {}));
  EXPECT_EQ(
      log.linesContaining(QStringLiteral("Set Upload Progress Block in Invalid State")),
      QStringList{QStringLiteral("Set Upload Progress Block in Invalid State: Attempted to setUploadProgressBlock "
                                 "while in state: 2. UploadProgressBlock may only be set prior to queueing "
                                 "operation")});
}
