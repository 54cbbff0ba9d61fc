// The three recoveries of refresh errors, with a real store and the test
// application delegate standing in for the application's windows.

#include "feeds/refresh/ZPHRefreshController.h"
#include "feeds/refresh/ZPHRefreshFeedOperation.h"
#include "foundation/CBMimeTypes.h"
#include "platform/CBOperationController.h"
#include "platform/ZPHFilePasswordStore.h"
#include "store/CBDataController.h"
#include "store/accounts/CBDataAccount.h"
#include "store/entities/CBFeed.h"
#include "store/entities/CBFolder.h"
#include "store/graph/ZPHManagedObjectContext.h"
#include "subscribe/ZPHAuthenticationErrorRecoveryAttempter.h"
#include "subscribe/ZPHPageGoneErrorRecoveryAttempter.h"
#include "subscribe/ZPHPageNotFoundErrorRecoveryAttempter.h"
#include "subscribe/ZPHSubscribeRequest.h"
#include "support/ZPHTestApplicationDelegate.h"
#include "support/ZPHTestHTTPServer.h"
#include "support/ZPHTestSupport.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

class RecoveryAttemptersTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    ASSERT_TRUE(server.start());
    ZPHPasswordStore::setDefaultStore(std::make_shared<ZPHFilePasswordStore>(keychainFolder.path()));
    delegate.useDataController(&controller);
    ZPHError error;
    ASSERT_TRUE(controller.setupCoreDataStackWithClass({}, false, &error)) << error.toString().toStdString();
    controller.completeSetup();
    account = controller.localAccount();
    main = controller.mainThreadManagedObjectContext();
    refresh = std::make_unique<ZPHRefreshController>();
    delegate.scriptedRefreshController = refresh.get();
  }

  void TearDown() override
  {
    refresh->cancelAllOperations();
    refresh->refreshOperationController()->waitUntilAllOperationsAreFinished();
    EXPECT_TRUE(ZPHTestWaitUntil([&] { return !controller.coreDataQueueHasOperations(); }, 20000));
    ZPHTestSpinEventLoop(50);
    delegate.scriptedRefreshController = nullptr;
    refresh.reset();
    ZPHPasswordStore::setDefaultStore(nullptr);
  }

  CBFeed* feed(const QUrl& url, const QUrl& homePage = {}, CBFolder* folder = nullptr)
  {
    CBFeed* made = CBFeed::insertFeedWithURL(url, main);
    if (!homePage.isEmpty())
      made->setHomePageURL(homePage);
    account->addFeedAtEndOfFolder(made, folder);
    return made;
  }

  // The recovery's verdict, once it came.
  struct Outcome {
    int calls = 0;
    std::optional<bool> recovered;
  };
  ZPHFeedErrorRecoveryAttempter::DidRecoverHandler recorder(Outcome* outcome)
  {
    return [outcome](bool didRecover) {
      ++outcome->calls;
      outcome->recovered = didRecover;
    };
  }

  ZPHTestTempDir keychainFolder;
  ZPHTestApplicationDelegate delegate;
  CBDataController controller;
  CBDataAccount* account = nullptr;
  ZPHManagedObjectContext* main = nullptr;
  std::unique_ptr<ZPHRefreshController> refresh;
  ZPHTestHTTPServer server;
};

ZPHError refreshError(qint64 code) { return ZPHRefreshFeedOperation::refreshErrorWithCode(code); }

}  // namespace

TEST_F(RecoveryAttemptersTest, EachRefreshErrorHasItsAttempterAndOtherOptionsRecoverAtOnce)
{
  EXPECT_EQ(
      ZPHFeedErrorRecoveryAttempter::attempterForRefreshError(refreshError(ZPHRefreshFeedOperationErrorLoginRejected)),
      ZPHAuthenticationErrorRecoveryAttempter::sharedAuthenticationErrorRecoveryAttempter());
  EXPECT_EQ(
      ZPHFeedErrorRecoveryAttempter::attempterForRefreshError(refreshError(ZPHRefreshFeedOperationErrorLoginRequired)),
      ZPHAuthenticationErrorRecoveryAttempter::sharedAuthenticationErrorRecoveryAttempter());
  EXPECT_EQ(
      ZPHFeedErrorRecoveryAttempter::attempterForRefreshError(refreshError(ZPHRefreshFeedOperationErrorPageNotFound)),
      ZPHPageNotFoundErrorRecoveryAttempter::sharedFeedNotFoundErrorRecoveryAttempter());
  EXPECT_EQ(ZPHFeedErrorRecoveryAttempter::attempterForRefreshError(refreshError(ZPHRefreshFeedOperationErrorGone)),
            ZPHPageGoneErrorRecoveryAttempter::sharedFeedGoneErrorRecoveryAttempter());
  EXPECT_EQ(ZPHFeedErrorRecoveryAttempter::attempterForRefreshError(refreshError(ZPHRefreshFeedOperationErrorParse)),
            nullptr);

  int challenges = 0;
  ZPHObserverToken listener = ZPHNotificationCenter::defaultCenter().addObserver(
      ZPHFeedRefreshChallengeReceivedNotification, {}, [&](const ZPHNotification&) { ++challenges; });
  CBFeed* site = feed(server.url("/feed.xml"), server.url("/"));
  for (qint64 code : {ZPHRefreshFeedOperationErrorLoginRejected, ZPHRefreshFeedOperationErrorPageNotFound,
                      ZPHRefreshFeedOperationErrorGone}) {
    Outcome outcome;
    const ZPHError error = refreshError(code);
    ZPHFeedErrorRecoveryAttempter::attempterForRefreshError(error)->attemptRecoveryFromError(error, 0, site,
                                                                                             recorder(&outcome));
    EXPECT_EQ(outcome.calls, 1) << code;
    EXPECT_EQ(outcome.recovered, true) << code;
  }
  EXPECT_EQ(challenges, 0);
  EXPECT_TRUE(delegate.subscribeRequests().isEmpty());
  EXPECT_TRUE(delegate.openedURLs().isEmpty());
}

TEST_F(RecoveryAttemptersTest, LoggingInStoresTheAnsweredLoginAndRefreshes)
{
  const QByteArray good = ZPHTestHTTPResponse::basicAuthorization("reader", "new-secret");
  server.route("/private.xml", [good](const ZPHTestHTTPRequest& request) {
    if (request.header("Authorization") != good)
      return ZPHTestHTTPResponse::basicChallenge();
    return ZPHTestHTTPResponse{200,
                               {{"Content-Type", "application/rss+xml"}},
                               "<rss version=\"2.0\"><channel><title>P</title></channel></rss>",
                               0};
  });
  CBFeed* site = feed(server.url("/private.xml"));
  site->setUsername(QStringLiteral("old"));

  // The application answers with the question's user info, as its credentials window does: first with an
  // empty password, then with a full login.
  QList<QVariantMap> answers{{{ZPHAuthenticationUsernameKey, "reader"}, {ZPHAuthenticationPasswordKey, ""}},
                             {{ZPHAuthenticationUsernameKey, "reader"}, {ZPHAuthenticationPasswordKey, "new-secret"}}};
  QList<ZPHNotification> questions;
  ZPHObserverToken application = ZPHNotificationCenter::defaultCenter().addObserver(
      ZPHFeedRefreshChallengeReceivedNotification, {}, [&](const ZPHNotification& question) {
        questions.append(question);
        QVariantMap answer = question.userInfo;
        const QVariantMap entered = answers.takeFirst();
        for (auto it = entered.cbegin(); it != entered.cend(); ++it) answer.insert(it.key(), it.value());
        // Someone else's answer for the same feed comes first, and changes nothing.
        QVariantMap foreign = answer;
        foreign.insert(ZPHAuthenticationErrorRecoveryAttempterBlockKey, QStringLiteral("another question"));
        ZPHNotificationCenter::defaultCenter().postOnMainThread(ZPHFeedRefreshChallengeCredentialsReadyNotification,
                                                                question.object, foreign);
        ZPHNotificationCenter::defaultCenter().postOnMainThread(ZPHFeedRefreshChallengeCredentialsReadyNotification,
                                                                question.object, answer);
      });
  const ZPHError error = refreshError(ZPHRefreshFeedOperationErrorLoginRequired);
  auto* attempter = ZPHAuthenticationErrorRecoveryAttempter::sharedAuthenticationErrorRecoveryAttempter();

  Outcome empty;
  attempter->attemptRecoveryFromError(error, ZPHRefreshFeedOperationAuthenticationErrorRecoveryIndex, site,
                                      recorder(&empty));
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return empty.calls > 0; }));
  ASSERT_EQ(questions.size(), 1);
  EXPECT_EQ(questions[0].object.toUrl(), server.url("/private.xml"));
  EXPECT_EQ(questions[0].userInfo.value(ZPHAuthenticationUsernameKey).toString(), "old");
  EXPECT_EQ(empty.recovered, true);
  EXPECT_EQ(site->username(), "old");
  ZPHTestSpinEventLoop(200);
  EXPECT_TRUE(server.requests().isEmpty());

  Outcome full;
  attempter->attemptRecoveryFromError(error, ZPHRefreshFeedOperationAuthenticationErrorRecoveryIndex, site,
                                      recorder(&full));
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return full.calls > 0; }));
  EXPECT_EQ(full.recovered, true);
  EXPECT_EQ(site->username(), "reader");
  EXPECT_EQ(site->password(), "new-secret");
  ASSERT_TRUE(ZPHTestWaitUntil(
      [&] {
        for (const ZPHTestHTTPRequest& request : server.requests())
          if (request.header("Authorization") == good)
            return true;
        return false;
      },
      20000));

  // Answered questions are no longer listened for: answering again does nothing.
  for (const ZPHNotification& question : questions)
    ZPHNotificationCenter::defaultCenter().post(ZPHFeedRefreshChallengeCredentialsReadyNotification, question.object,
                                                question.userInfo);
  EXPECT_EQ(empty.calls, 1);
  EXPECT_EQ(full.calls, 1);
}

TEST_F(RecoveryAttemptersTest, ANotFoundFeedIsSearchedForFromItsHomePageElseItsSiteRoot)
{
  CBFolder* folder = account->addFolderWithName(QStringLiteral("News"));
  CBFeed* withHome =
      feed(QUrl("http://feeds.example.org:8080/old/feed.xml"), QUrl("http://www.example.org/blog/"), folder);
  withHome->setUserSpecifiedName(QStringLiteral("My Blog"));
  CBFeed* withoutHome = feed(QUrl("https://feeds.example.org:8443/gone.xml"));
  CBFeed* hostileHome = feed(QUrl("http://example.net/x.xml"), QUrl("javascript:alert(1)"));

  auto* attempter = ZPHPageNotFoundErrorRecoveryAttempter::sharedFeedNotFoundErrorRecoveryAttempter();
  const ZPHError error = refreshError(ZPHRefreshFeedOperationErrorPageNotFound);
  for (CBFeed* site : {withHome, withoutHome, hostileHome}) {
    Outcome outcome;
    attempter->attemptRecoveryFromError(error, ZPHRefreshFeedOperationPageNotFoundErrorRecoveryIndex, site,
                                        recorder(&outcome));
    EXPECT_EQ(outcome.recovered, true);
  }
  const QList<std::shared_ptr<ZPHSubscribeRequest>> requests = delegate.subscribeRequests();
  ASSERT_EQ(requests.size(), 3);
  EXPECT_EQ(requests[0]->feedURL(), QUrl("http://www.example.org/blog/"));
  EXPECT_EQ(requests[0]->parentFolder(), folder);
  EXPECT_EQ(requests[0]->account(), account);
  EXPECT_EQ(requests[0]->title(), "My Blog");
  EXPECT_EQ(requests[1]->feedURL(), QUrl("https://feeds.example.org:8443/"));
  EXPECT_EQ(requests[1]->parentFolder(), nullptr);
  EXPECT_TRUE(requests[1]->title().isEmpty());
  EXPECT_EQ(requests[2]->feedURL(), QUrl("http://example.net/"));
}

TEST_F(RecoveryAttemptersTest, AGoneFeedOpensOnlyAWebHomePage)
{
  CBFeed* web = feed(QUrl("http://example.org/feed.xml"), QUrl("https://example.org/"));
  CBFeed* hostile = feed(QUrl("http://example.net/feed.xml"), QUrl("javascript:alert(1)"));
  CBFeed* none = feed(QUrl("http://example.com/feed.xml"));
  auto* attempter = ZPHPageGoneErrorRecoveryAttempter::sharedFeedGoneErrorRecoveryAttempter();
  const ZPHError error = refreshError(ZPHRefreshFeedOperationErrorGone);

  struct Case {
    CBFeed* feed;
    bool opens;
  } cases[] = {{web, true}, {hostile, false}, {none, false}};
  for (const Case& c : cases) {
    Outcome outcome;
    attempter->attemptRecoveryFromError(error, ZPHRefreshFeedOperationGoneErrorRecoveryIndex, c.feed,
                                        recorder(&outcome));
    EXPECT_EQ(outcome.calls, 1);
    EXPECT_EQ(outcome.recovered, c.opens) << c.feed->URL().toString().toStdString();
  }
  EXPECT_EQ(delegate.openedURLs(), QList<QUrl>({QUrl("https://example.org/")}));

  // The application may fail to hand it over; that is reported too.
  delegate.scriptedOpenURLResult = false;
  Outcome refused;
  attempter->attemptRecoveryFromError(error, ZPHRefreshFeedOperationGoneErrorRecoveryIndex, web, recorder(&refused));
  EXPECT_EQ(refused.recovered, false);
}
