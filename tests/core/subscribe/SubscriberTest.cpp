// The subscriber with a real store, a real refresh controller and the
// loopback HTTP(S) server.

#include "feeds/network/ZPHServerTrustStore.h"
#include "feeds/refresh/ZPHRefreshController.h"
#include "foundation/CBKeychain.h"
#include "platform/CBOperationController.h"
#include "platform/ZPHFilePasswordStore.h"
#include "store/CBDataController.h"
#include "store/accounts/CBDataAccount.h"
#include "store/entities/CBDataModel.h"
#include "store/entities/CBFeed.h"
#include "store/entities/CBFolder.h"
#include "store/graph/ZPHFetchRequest.h"
#include "store/graph/ZPHManagedObjectContext.h"
#include "subscribe/ZPHFeedFinder.h"
#include "subscribe/ZPHFeedFinderHTTPOperation.h"
#include "subscribe/ZPHSubscriber.h"
#include "support/ZPHTestApplicationDelegate.h"
#include "support/ZPHTestHTTPServer.h"
#include "support/ZPHTestSupport.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

QByteArray rss(const QByteArray& title)
{
  return "<?xml version=\"1.0\"?><rss version=\"2.0\"><channel><title>" + title +
         "</title><link>http://example.com/</link><item><title>One</title><guid>" + title +
         "-1</guid><link>http://example.com/1</link></item></channel></rss>";
}

ZPHTestHTTPResponse respond(const QByteArray& body)
{
  return ZPHTestHTTPResponse{200, {{"Content-Type", "application/rss+xml"}}, body, 0};
}

class SubscriberTest : public ::testing::Test {
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
    ASSERT_NE(account, nullptr);
    main = controller.mainThreadManagedObjectContext();
    refresh = std::make_unique<ZPHRefreshController>();
    delegate.scriptedRefreshController = refresh.get();
    observers.push_back(ZPHNotificationCenter::defaultCenter().addObserver(
        ZPHBatchSubscribeWillStartNotification, {}, [this](const ZPHNotification& n) { willStart.append(n); }));
    observers.push_back(ZPHNotificationCenter::defaultCenter().addObserver(
        ZPHBatchSubscribeDidFinishNotification, {}, [this](const ZPHNotification& n) { didFinish.append(n); }));
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

  std::shared_ptr<ZPHSubscribeRequest> request(const QUrl& url, CBFolder* folder = nullptr, const QString& title = {})
  {
    auto made = std::make_shared<ZPHSubscribeRequest>(url);
    made->setParentFolder(folder);
    made->setTitle(title);
    return made;
  }

  // Runs the batch and waits for its end.
  ZPHFeedSubscriptionResults subscribe(const ZPHSubscribeRequests& requests, QList<bool>* progress = nullptr)
  {
    auto subscriber = ZPHSubscriber::subscriberWithSubscribeRequests(requests);
    if (progress)
      subscriber->setProgressHandler([progress](bool succeeded, const std::shared_ptr<ZPHFeedSubscriptionResult>&) {
        progress->append(succeeded);
      });
    ZPHFeedSubscriptionResults results;
    bool done = false;
    EXPECT_TRUE(subscriber->subscribeWithCompletionHandler([&](const ZPHFeedSubscriptionResults& all) {
      results = all;
      done = true;
    }));
    subscriber.reset();  // it keeps itself alive while it runs
    EXPECT_TRUE(ZPHTestWaitUntil([&] { return done; }, 30000));
    return results;
  }

  QStringList namesIn(CBFolder* folder) const
  {
    QStringList names;
    for (CBNode* child : folder->fetchChildren()) names.append(static_cast<CBFeed*>(child)->nameForDisplay());
    return names;
  }

  int requestsFor(const ZPHTestHTTPServer& from, const QString& path) const
  {
    int count = 0;
    for (const ZPHTestHTTPRequest& request : from.requests()) count += request.path == path ? 1 : 0;
    return count;
  }

  ZPHTestTempDir keychainFolder;
  ZPHTestApplicationDelegate delegate;
  CBDataController controller;
  CBDataAccount* account = nullptr;
  ZPHManagedObjectContext* main = nullptr;
  std::unique_ptr<ZPHRefreshController> refresh;
  ZPHTestHTTPServer server;
  QList<ZPHNotification> willStart;
  QList<ZPHNotification> didFinish;
  std::vector<ZPHObserverToken> observers;
};

}  // namespace

TEST_F(SubscriberTest, FoundFeedsGoIntoTheirFolderAtTheirIndexAndAreRefreshed)
{
  for (const char* name : {"a", "b", "c"})
    server.route(QStringLiteral("/%1.xml").arg(QLatin1String(name)),
                 [name](const ZPHTestHTTPRequest&) { return respond(rss("Feed " + QByteArray(name).toUpper())); });
  CBFolder* folder = account->addFolderWithName(QStringLiteral("Reading"));
  auto first = request(server.url("/a.xml"), folder);
  auto titled = request(server.url("/b.xml"), folder, QStringLiteral("My Name for B"));
  auto inFront = request(server.url("/c.xml"), folder);
  inFront->setTargetIndexInParentFolder(0);
  auto failing = request(server.url("/missing.xml"), folder);

  QList<bool> progress;
  const ZPHFeedSubscriptionResults results = subscribe({first, titled, inFront, failing}, &progress);
  ASSERT_EQ(results.size(), 4);
  EXPECT_EQ(progress, QList<bool>({true, true, true, false}));
  ASSERT_EQ(willStart.size(), 1);
  EXPECT_EQ(willStart[0]
                .userInfo.value(ZPHBatchSubscribeNotificationSubscribeRequestsKey)
                .value<ZPHSubscribeRequests>()
                .size(),
            4);
  ASSERT_EQ(didFinish.size(), 1);
  EXPECT_EQ(ZPHSubscriber::newlySubscribedFeedsFromBatchSubscribeDidFinishNotification(didFinish[0]).size(), 3);
  EXPECT_EQ(ZPHSubscriber::errorsFromBatchSubscribeDidFinishNotification(didFinish[0]).size(), 1);

  // The titled request keeps its name and takes no found title; the others are named by their feeds.
  EXPECT_TRUE(results[1]->foundTitle().isEmpty());
  EXPECT_EQ(results[0]->foundTitle(), "Feed A");
  EXPECT_EQ(namesIn(folder), QStringList({"Feed C", "Feed A", "My Name for B"}));
  CBFeed* feedA = results[0]->resultingSubscribedFeed();
  ASSERT_NE(feedA, nullptr);
  EXPECT_EQ(feedA->URL(), server.url("/a.xml"));
  EXPECT_EQ(feedA->homePageURL(), server.url("/a.xml"));
  EXPECT_EQ(account->feedWithURL(server.url("/a.xml")), feedA);

  // The failure says why, in the finder's words.
  const ZPHError failure = results[3]->error();
  EXPECT_EQ(failure.code(), ZPHSubscriberErrorFinderFailed);
  EXPECT_EQ(failure.localizedDescription(),
            QStringLiteral("There was a problem adding %1.").arg(ZPHFeedFinderFeedNameUncapitalizedPlaceholder));
  EXPECT_EQ(failure.localizedRecoverySuggestion(), ZPHFeedFinder::siteNotAccessibleErrorString());
  EXPECT_EQ(results[3]->resultingSubscribedFeed(), nullptr);

  // Every new feed is refreshed once the account announces it.
  ASSERT_TRUE(ZPHTestWaitUntil(
      [&] {
        return requestsFor(server, "/a.xml") >= 2 && requestsFor(server, "/b.xml") >= 2 &&
               requestsFor(server, "/c.xml") >= 2;
      },
      20000));
}

TEST_F(SubscriberTest, AFeedIsNeverAddedTwice)
{
  server.route("/feed.xml", [](const ZPHTestHTTPRequest&) { return respond(rss("Once")); });
  server.route("/page", [this](const ZPHTestHTTPRequest&) {
    return ZPHTestHTTPResponse{
        200,
        {{"Content-Type", "text/html"}},
        "<link rel=alternate type=application/rss+xml href=\"" + server.url("/feed.xml").toEncoded() + "\">",
        0};
  });
  // Two addresses that lead to one feed, and a request twice: one feed, one search for the repeated request.
  auto direct = request(server.url("/feed.xml"));
  auto viaPage = request(server.url("/page"));
  auto repeated = direct->copy();
  const ZPHFeedSubscriptionResults results = subscribe({direct, viaPage, repeated});
  ASSERT_EQ(results.size(), 3);
  EXPECT_EQ(results[0], results[2]);
  EXPECT_TRUE(results[0]->error().isNull());
  EXPECT_EQ(results[1]->error().code(), ZPHSubscriberErrorAlreadySubscribed);
  EXPECT_EQ(results[1]->resultingSubscribedFeed(), results[0]->resultingSubscribedFeed());
  EXPECT_EQ(requestsFor(server, "/page"), 1);
  EXPECT_EQ(CBFeed::feedsWithURL(server.url("/feed.xml").toString(), main).size(), 1);

  // Later, the feed already in the account is found, not inserted.
  bool done = false;
  QList<CBFeed*> feeds;
  ZPHFeedSubscriptionResults failures;
  auto later = ZPHSubscriber::subscriberUsingSubscriptionRequests(
      {request(server.url("/page"))}, [&](const QList<CBFeed*>& added, const ZPHFeedSubscriptionResults& failed) {
        feeds = added;
        failures = failed;
        done = true;
      });
  ASSERT_TRUE(later->subscribe());
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return done; }, 30000));
  ASSERT_EQ(failures.size(), 1);
  EXPECT_EQ(failures[0]->error().code(), ZPHSubscriberErrorAlreadySubscribed);
  EXPECT_EQ(failures[0]->error().localizedDescription(), "This site cannot be added.");
  EXPECT_EQ(feeds, QList<CBFeed*>({results[0]->resultingSubscribedFeed()}));
  EXPECT_EQ(CBFeed::feedsWithURL(server.url("/feed.xml").toString(), main).size(), 1);
}

TEST_F(SubscriberTest, ACancelledBatchAddsNothingAndTellsOnlyThatItEnded)
{
  server.route("/slow.xml", [](const ZPHTestHTTPRequest&) {
    ZPHTestHTTPResponse response = respond(rss("Slow"));
    response.delayBeforeBodyMs = 1000;
    return response;
  });
  bool handlerCalled = false;
  auto subscriber = ZPHSubscriber::subscriberWithSubscribeRequests({request(server.url("/slow.xml"))});
  subscriber->setProgressHandler(
      [&](bool, const std::shared_ptr<ZPHFeedSubscriptionResult>&) { handlerCalled = true; });
  ASSERT_TRUE(
      subscriber->subscribeWithCompletionHandler([&](const ZPHFeedSubscriptionResults&) { handlerCalled = true; }));
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return !server.requests().isEmpty(); }));
  subscriber->cancel();
  EXPECT_FALSE(subscriber->subscribe());
  ASSERT_EQ(didFinish.size(), 1);
  EXPECT_TRUE(didFinish[0].userInfo.isEmpty());
  ZPHTestSpinEventLoop(1500);
  EXPECT_FALSE(handlerCalled);
  EXPECT_EQ(didFinish.size(), 1);
  EXPECT_EQ(account->feedWithURL(server.url("/slow.xml")), nullptr);
}

// A login typed into the address is the feed's login, kept in the
// keychain: no address stored for the feed holds it, the home page (the
// address as typed) included, and so none can take it to the sync server.
TEST_F(SubscriberTest, ALoginTypedIntoTheAddressIsKeptApartFromEveryAddress)
{
  const QByteArray good = ZPHTestHTTPResponse::basicAuthorization("reader", "pw-in-address");
  // No home page of its own, which a refresh would store instead.
  const QByteArray feedWithoutLink =
      "<?xml version=\"1.0\"?><rss version=\"2.0\"><channel><title>Private</title>"
      "<item><title>One</title><guid>p-1</guid></item></channel></rss>";
  server.route("/private.xml", [good, feedWithoutLink](const ZPHTestHTTPRequest& request) {
    return request.header("Authorization") == good ? respond(feedWithoutLink) : ZPHTestHTTPResponse::basicChallenge();
  });
  QUrl typed = server.url("/private.xml");
  typed.setUserName(QStringLiteral("reader"));
  typed.setPassword(QStringLiteral("pw-in-address"));

  const ZPHFeedSubscriptionResults results = subscribe({request(typed)});
  ASSERT_EQ(results.size(), 1);
  CBFeed* feed = results[0]->resultingSubscribedFeed();
  ASSERT_NE(feed, nullptr) << results[0]->error().toString().toStdString();
  EXPECT_EQ(feed->username(), "reader");
  EXPECT_EQ(CBKeychainFetchInternetPassword(server.url("/private.xml"), "reader"), "pw-in-address");
  EXPECT_EQ(feed->URL(), server.url("/private.xml"));
  EXPECT_EQ(feed->homePageURL(), server.url("/private.xml"));
  for (const QString& stored : {feed->url(), feed->strHomePageURL(), feed->strFaviconURL()})
    EXPECT_FALSE(stored.contains(QLatin1String("pw-in-address"))) << stored.toStdString();

  // Saved so: the store's own copy holds no password either.
  ZPHManagedObjectContext reader(main->persistentStore(), ZPHManagedObjectContext::ConfinementConcurrencyType);
  for (ZPHManagedObject* object : reader.executeFetchRequest(ZPHFetchRequest(CBDataEntityNameFeed))) {
    for (const char* key : {"url", "strHomePageURL", "strFaviconURL"})
      EXPECT_FALSE(object->value(QLatin1String(key)).toString().contains(QLatin1String("pw-in-address"))) << key;
  }
}

TEST_F(SubscriberTest, AProtectedFeedKeepsItsLoginAndAFeedBehindATrustedCertificateIsRefreshed)
{
  ZPHServerTrustStore::sharedStore().removeAllTrustedCertificates();
  const QByteArray good = ZPHTestHTTPResponse::basicAuthorization("reader", "s3cret");
  server.route("/private.xml", [good](const ZPHTestHTTPRequest& request) {
    return request.header("Authorization") == good ? respond(rss("Private")) : ZPHTestHTTPResponse::basicChallenge();
  });
  ZPHTestHTTPServer tls;
  ASSERT_TRUE(tls.startTls(ZPHTestFixture("tls/localhost.crt"), ZPHTestFixture("tls/localhost.key")));
  tls.route("/secure.xml", [](const ZPHTestHTTPRequest&) { return respond(rss("Secure")); });

  int certificateQuestions = 0;
  observers.push_back(ZPHNotificationCenter::defaultCenter().addObserver(
      ZPHFeedFinderShouldAuthenticateHTTPBasicAuthNotification, {}, [](const ZPHNotification& question) {
        ZPHFeedFinderHTTPOperation::postBasicAuthAnswer(question.object.toString(),
                                                        ZPHCredentialsResult("reader", "s3cret"));
      }));
  observers.push_back(ZPHNotificationCenter::defaultCenter().addObserver(
      ZPHFeedFinderShouldAuthenticateSelfSignedCertNotification, {}, [&](const ZPHNotification& question) {
        ++certificateQuestions;
        ZPHFeedFinderHTTPOperation::postSelfSignedCertAnswer(question.object.toString(), true);
      }));

  const ZPHFeedSubscriptionResults results =
      subscribe({request(server.url("/private.xml")), request(tls.url("/secure.xml"))});
  ASSERT_EQ(results.size(), 2);
  CBFeed* privateFeed = results[0]->resultingSubscribedFeed();
  CBFeed* secureFeed = results[1]->resultingSubscribedFeed();
  ASSERT_NE(privateFeed, nullptr) << results[0]->error().toString().toStdString();
  ASSERT_NE(secureFeed, nullptr) << results[1]->error().toString().toStdString();
  EXPECT_EQ(certificateQuestions, 1);

  // The login is the feed's, its password in the keychain.
  EXPECT_EQ(privateFeed->username(), "reader");
  EXPECT_EQ(CBKeychainFetchInternetPassword(server.url("/private.xml"), "reader"), "s3cret");

  // The refreshes reach both, with the login and through the trusted certificate, asking nobody.
  ASSERT_TRUE(ZPHTestWaitUntil(
      [&] {
        int authorized = 0;
        for (const ZPHTestHTTPRequest& request : server.requests())
          authorized += request.header("Authorization") == good ? 1 : 0;
        return authorized >= 2 && requestsFor(tls, "/secure.xml") >= 2;
      },
      20000));
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return refresh->refreshOperationController()->operationCount() == 0; }, 20000));
  EXPECT_TRUE(privateFeed->lastFeedRefreshError().isNull())
      << privateFeed->lastFeedRefreshError().toString().toStdString();
  EXPECT_TRUE(secureFeed->lastFeedRefreshError().isNull())
      << secureFeed->lastFeedRefreshError().toString().toStdString();
  EXPECT_EQ(certificateQuestions, 1);
  ZPHServerTrustStore::sharedStore().removeAllTrustedCertificates();
}
