// ESHTTPOperation and the finder's download, against the loopback server.

#include "feeds/network/CBDownloadOperation.h"
#include "platform/ZPHOperationQueue.h"
#include "subscribe/ESHTTPOperation.h"
#include "subscribe/ZPHFeedFinderHTTPOperation.h"
#include "subscribe/ZPHURLAdditions.h"
#include "support/ZPHTestApplicationDelegate.h"
#include "support/ZPHTestHTTPServer.h"
#include "support/ZPHTestSupport.h"

#include <QtCore/QBuffer>

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
