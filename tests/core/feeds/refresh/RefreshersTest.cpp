#include "feeds/refresh/CBDownloadableFeedRefresher.h"
#include "feeds/refresh/CBLocalAccountRefresher.h"
#include "feeds/refresh/ZPHRefreshController.h"
#include "feeds/refresh/ZPHRefreshFeedOperation.h"
#include "feeds/refresh/ZPHStatusItem.h"
#include "platform/CBOperationController.h"
#include "platform/ZPHNotificationCenter.h"
#include "store/CBDataController.h"
#include "store/accounts/CBDataAccount.h"
#include "store/entities/CBDataArticle.h"
#include "store/entities/CBFeed.h"
#include "store/entities/CBFolder.h"
#include "store/graph/ZPHManagedObjectContext.h"
#include "support/ZPHTestApplicationDelegate.h"
#include "support/ZPHTestHTTPServer.h"
#include "support/ZPHTestSupport.h"

#include <gtest/gtest.h>

namespace {

// Feeds of the local account at addresses nobody answers; the tests look at
// what gets queued, not at what the downloads bring.
class RefreshersTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    delegate.useDataController(&controller);
    ZPHError error;
    ASSERT_TRUE(controller.setupCoreDataStackWithClass({}, false, &error)) << error.toString().toStdString();
    controller.completeSetup();
    account = controller.localAccount();
    ASSERT_NE(account, nullptr);
    main = controller.mainThreadManagedObjectContext();
  }
  void TearDown() override
  {
    if (refresh) {
      refresh->cancelAllOperations();
      refresh->refreshOperationController()->waitUntilAllOperationsAreFinished();
    }
    EXPECT_TRUE(ZPHTestWaitUntil([&] { return !controller.coreDataQueueHasOperations(); }, 20000));
    ZPHTestSpinEventLoop(50);
    refresh.reset();
  }

  CBFeed* feed(const QString& url, CBFolder* folder = nullptr)
  {
    CBFeed* feed = CBFeed::insertFeedWithURL(QUrl(url), main);
    if (folder != nullptr)
      account->addFeedAtEndOfFolder(feed, folder);
    else
      account->addFeed(feed);
    return feed;
  }
  void makeController()
  {
    refresh = std::make_unique<ZPHRefreshController>();
    // Nothing runs: only the queuing is looked at.
    refresh->refreshOperationController()->setSuspended(true);
  }
  QStringList queuedURLs() const
  {
    QStringList urls;
    for (const std::shared_ptr<CBOperation>& operation : refresh->refreshOperationController()->operations())
      urls.append(operation->operationObject().toUrl().toString());
    return urls;
  }

  ZPHTestApplicationDelegate delegate;
  CBDataController controller;
  CBDataAccount* account = nullptr;
  ZPHManagedObjectContext* main = nullptr;
  std::unique_ptr<ZPHRefreshController> refresh;
};

TEST_F(RefreshersTest, OnlyRefreshableFeedsAreQueuedAndOnlyOnce)
{
  feed(QStringLiteral("http://127.0.0.1:9/a.xml"));
  feed(QStringLiteral("feed://127.0.0.1:9/b.xml"));
  feed(QStringLiteral("ftp://127.0.0.1/c.xml"));
  CBFeed* suspended = feed(QStringLiteral("http://127.0.0.1:9/d.xml"));
  suspended->setSuspended(true);
  CBFeed* noAddress = CBFeed::insertFeedWithMOC(main);
  makeController();

  refresh->refreshAllInAccounts({account});
  refresh->refreshAllInAccounts({account});
  refresh->refreshFeeds({suspended, noAddress, nullptr});
  EXPECT_EQ(queuedURLs(), (QStringList{"http://127.0.0.1:9/a.xml", "feed://127.0.0.1:9/b.xml"}));

  // A cancelled refresh no longer counts: its feed is queued again, once.
  refresh->refreshOperationController()->operations().first()->cancel();
  refresh->refreshAllInAccounts({account});
  refresh->refreshAllInAccounts({account});
  EXPECT_EQ(queuedURLs(),
            (QStringList{"http://127.0.0.1:9/a.xml", "feed://127.0.0.1:9/b.xml", "http://127.0.0.1:9/a.xml"}));
  EXPECT_EQ(refresh->refreshOperationController()->queueWidth(), 8);
  EXPECT_EQ(refresh->refreshOperationController()->name(),
            QStringLiteral("com.fernhollow.zephlin.refreshOperationsController"));
}

// A long list goes to the controller a part a turn, so that no turn of the
// main thread is long: every feed is queued once, in order, what is queued
// meanwhile is not queued twice, and a feed gone before its turn is left
// out. The controller stays busy throughout: one session.
TEST_F(RefreshersTest, ALongListIsHandedOverAPartATurnEachFeedOnce)
{
  const qsizetype count = 2 * CBDownloadableFeedRefresher::FeedsPerTurn + 20;
  QStringList urls;
  QList<CBFeed*> feeds;
  for (qsizetype i = 0; i < count; ++i) {
    urls.append(QStringLiteral("http://127.0.0.1:9/%1.xml").arg(i));
    feeds.append(feed(urls.last()));
  }
  makeController();
  int sessions = 0;
  ZPHObserverToken began = ZPHNotificationCenter::defaultCenter().addObserver(
      CBOperationControllerDidBeginOperationsNotification, QVariant::fromValue(refresh->refreshOperationController()),
      [&](const ZPHNotification&) { ++sessions; });

  refresh->refreshAllInAccounts({account});
  EXPECT_EQ(queuedURLs(), urls.mid(0, CBDownloadableFeedRefresher::FeedsPerTurn));
  // Asked again before the rest arrived, and one feed gone meanwhile.
  refresh->refreshAllInAccounts({account});
  const QString gone = urls.takeLast();
  main->deleteObject(feeds.last());
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return queuedURLs().size() >= urls.size(); }, 20000));
  ZPHTestSpinEventLoop(50);
  EXPECT_EQ(queuedURLs(), urls);
  EXPECT_FALSE(queuedURLs().contains(gone));
  EXPECT_EQ(sessions, 1);
}

TEST_F(RefreshersTest, AFolderRefreshQueuesItsSubfolderFirst)
{
  CBFolder* outer = account->addFolderWithName(QStringLiteral("Outer"));
  feed(QStringLiteral("http://127.0.0.1:9/own1.xml"), outer);
  CBFolder* inner = account->addFolderWithName(QStringLiteral("Inner"), outer);
  feed(QStringLiteral("http://127.0.0.1:9/inner.xml"), inner);
  feed(QStringLiteral("http://127.0.0.1:9/own2.xml"), outer);
  feed(QStringLiteral("http://127.0.0.1:9/elsewhere.xml"));
  makeController();

  refresh->refreshFeedOrFolder(outer);
  EXPECT_EQ(queuedURLs(), (QStringList{"http://127.0.0.1:9/inner.xml", "http://127.0.0.1:9/own1.xml",
                                       "http://127.0.0.1:9/own2.xml"}));
}

TEST_F(RefreshersTest, NewFeedsAreRefreshedWhenTheAccountAnnouncesThem)
{
  makeController();
  feed(QStringLiteral("http://127.0.0.1:9/new.xml"));
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return !queuedURLs().isEmpty(); }, 20000));
  EXPECT_EQ(queuedURLs(), (QStringList{"http://127.0.0.1:9/new.xml"}));
}

TEST_F(RefreshersTest, ErrorTextsNameTheFeed)
{
  const QString placeholder = ZPHRefreshFeedOperationFeedDisplayNameTextPlaceholder;
  const ZPHError error(ZPHRefreshFeedOperationErrorDomain, 4,
                       {{ZPHLocalizedDescriptionKey, QStringLiteral("“%1” was not found.").arg(placeholder)},
                        {ZPHLocalizedRecoverySuggestionKey, placeholder + QStringLiteral(" / ") + placeholder},
                        {QStringLiteral("number"), 7}});
  struct Case {
    QString userName;
    QString url;
    QString shown;
  } cases[] = {
      {QStringLiteral("Daily"), QStringLiteral("http://example.com/f"), QStringLiteral("Daily")},
      {QString(70, QLatin1Char('x')), QStringLiteral("http://example.com/f"),
       QString(60, QLatin1Char('x')) + QStringLiteral("…")},
      {QString(60, QLatin1Char('y')), QStringLiteral("http://example.com/f"), QString(60, QLatin1Char('y'))},
  };
  for (const Case& c : cases) {
    CBFeed* f = CBFeed::insertFeedWithURL(QUrl(c.url), main);
    f->setUserSpecifiedName(c.userName);
    const ZPHError translated = CBDownloadableFeedRefresher::translateError(error, f);
    EXPECT_EQ(translated.domain(), error.domain());
    EXPECT_EQ(translated.code(), 4);
    EXPECT_EQ(translated.value(ZPHLocalizedDescriptionKey).toString(),
              QStringLiteral("“%1” was not found.").arg(c.shown));
    EXPECT_EQ(translated.value(ZPHLocalizedRecoverySuggestionKey).toString(),
              c.shown + QStringLiteral(" / ") + c.shown);
    EXPECT_EQ(translated.value(QStringLiteral("number")), QVariant(7));
  }
  EXPECT_TRUE(
      CBDownloadableFeedRefresher::translateError(ZPHError(QStringLiteral("d"), 1), CBFeed::insertFeedWithMOC(main))
          .userInfo()
          .isEmpty());
}

TEST_F(RefreshersTest, TheRefreshOutcomeIsStoredOnTheFeedAndClearedBySuccess)
{
  ZPHTestHTTPServer server;
  ASSERT_TRUE(server.start());
  CBFeed* f = feed(server.url(QStringLiteral("/feed.xml")).toString());
  f->setUserSpecifiedName(QStringLiteral("Daily"));
  refresh = std::make_unique<ZPHRefreshController>();
  auto refreshOnce = [&] {
    refresh->refreshOneFeed(f);
    ASSERT_TRUE(
        ZPHTestWaitUntil([&] { return refresh->refreshOperationController()->numberOfOperations() == 0; }, 20000));
    ASSERT_TRUE(ZPHTestWaitUntil([&] { return !controller.coreDataQueueHasOperations(); }, 20000));
    ZPHTestSpinEventLoop(50);
  };
  server.route(QStringLiteral("/feed.xml"), [](const ZPHTestHTTPRequest&) {
    ZPHTestHTTPResponse response;
    response.status = 404;
    return response;
  });
  refreshOnce();
  ASSERT_FALSE(f->lastFeedRefreshError().isNull());
  EXPECT_EQ(f->lastFeedRefreshError().code(), ZPHRefreshFeedOperationErrorPageNotFound);
  const QString suggestion = f->lastFeedRefreshError().localizedRecoverySuggestion();
  EXPECT_FALSE(suggestion.contains(ZPHRefreshFeedOperationFeedDisplayNameTextPlaceholder));
  EXPECT_TRUE(suggestion.startsWith(QStringLiteral("“Daily” has removed"))) << suggestion.toStdString();

  server.route(QStringLiteral("/feed.xml"), [](const ZPHTestHTTPRequest&) {
    ZPHTestHTTPResponse response;
    response.body =
        "<?xml version=\"1.0\"?><rss version=\"2.0\"><channel><title>T</title>"
        "<item><title>A</title><link>http://example.com/a</link></item></channel></rss>";
    return response;
  });
  refreshOnce();
  EXPECT_TRUE(f->lastFeedRefreshError().isNull());
}

// A site's icon is looked for once per home page and announced once; a feed
// of the site that gets its home page later takes the icon already found.
TEST_F(RefreshersTest, AFeedOfASiteWhoseIconIsKnownTakesItWhenItLearnsItsHomePage)
{
  ZPHTestHTTPServer server;
  ASSERT_TRUE(server.start());
  server.route(QStringLiteral("/"), [](const ZPHTestHTTPRequest&) {
    return ZPHTestHTTPResponse{
        200, {{"Content-Type", "text/html"}}, "<html><head><link rel=\"icon\" href=\"/icon.png\"></head></html>", 0};
  });
  const QByteArray body = "<?xml version=\"1.0\"?><rss version=\"2.0\"><channel><title>T</title><link>" +
                          server.url(QStringLiteral("/")).toEncoded() +
                          "</link><item><title>A</title><link>http://example.com/a</link></item></channel></rss>";
  for (const QString& path : {QStringLiteral("/one.xml"), QStringLiteral("/two.xml")}) {
    server.route(path, [body](const ZPHTestHTTPRequest&) {
      return ZPHTestHTTPResponse{200, {{"Content-Type", "application/rss+xml"}}, body, 0};
    });
  }
  const QUrl icon = server.url(QStringLiteral("/icon.png"));
  refresh = std::make_unique<ZPHRefreshController>();
  auto refreshOnce = [&](CBFeed* f) {
    refresh->refreshOneFeed(f);
    ASSERT_TRUE(
        ZPHTestWaitUntil([&] { return refresh->refreshOperationController()->numberOfOperations() == 0; }, 20000));
    ASSERT_TRUE(ZPHTestWaitUntil([&] { return !controller.coreDataQueueHasOperations(); }, 20000));
  };
  CBFeed* one = feed(server.url(QStringLiteral("/one.xml")).toString());
  refreshOnce(one);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return one->faviconURL() == icon; }, 20000));

  CBFeed* two = feed(server.url(QStringLiteral("/two.xml")).toString());
  refreshOnce(two);
  EXPECT_TRUE(ZPHTestWaitUntil([&] { return two->faviconURL() == icon; }, 5000));
  int homePageReads = 0;
  for (const ZPHTestHTTPRequest& request : server.requests()) homePageReads += request.path == QLatin1String("/");
  EXPECT_EQ(homePageReads, 1);
}

TEST_F(RefreshersTest, ManyOutcomesLandOnTheirOwnFeedsAfterTheirArticles)
{
  ZPHTestHTTPServer server;
  ASSERT_TRUE(server.start());
  const int count = 24;
  QList<CBFeed*> feeds;
  for (int i = 0; i < count; ++i) {
    const QString path = QStringLiteral("/feed%1.xml").arg(i);
    server.route(path, [i](const ZPHTestHTTPRequest&) {
      ZPHTestHTTPResponse response;
      if (i % 3 == 0) {
        response.status = 404;
        return response;
      }
      response.body = "<?xml version=\"1.0\"?><rss version=\"2.0\"><channel><title>T</title><item><title>A" +
                      QByteArray::number(i) + "</title><link>http://example.com/" + QByteArray::number(i) +
                      "</link></item></channel></rss>";
      return response;
    });
    feeds.append(feed(server.url(path).toString()));
  }
  // When a feed's outcome arrives, the articles of its refresh are there.
  QList<std::pair<CBFeed*, int>> tokens;
  int outcomesBeforeArticles = 0;
  int outcomes = 0;
  for (CBFeed* f : feeds) {
    tokens.append({f, f->addChangeObserver([&](ZPHManagedObject* object, const QString& key) {
                     if (key != CBFeedLastFeedRefreshErrorKey)
                       return;
                     ++outcomes;
                     auto* changed = static_cast<CBFeed*>(object);
                     if (changed->lastFeedRefreshError().isNull() &&
                         CBDataArticle::articlesForFeedWithURL(changed->URL(), main).isEmpty())
                       ++outcomesBeforeArticles;
                   })});
  }
  refresh = std::make_unique<ZPHRefreshController>();
  refresh->refreshFeeds(feeds);
  ASSERT_TRUE(
      ZPHTestWaitUntil([&] { return refresh->refreshOperationController()->numberOfOperations() == 0; }, 30000));
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return !controller.coreDataQueueHasOperations(); }, 30000));
  ZPHTestSpinEventLoop(50);
  for (const auto& [f, token] : tokens) f->removeChangeObserver(token);
  EXPECT_EQ(outcomes, count);
  EXPECT_EQ(outcomesBeforeArticles, 0);
  for (int i = 0; i < count; ++i) {
    SCOPED_TRACE(i);
    if (i % 3 == 0) {
      EXPECT_EQ(feeds[i]->lastFeedRefreshError().code(), ZPHRefreshFeedOperationErrorPageNotFound);
    } else {
      EXPECT_TRUE(feeds[i]->lastFeedRefreshError().isNull());
      EXPECT_EQ(CBDataArticle::articlesForFeedWithURL(feeds[i]->URL(), main).size(), 1);
    }
  }
}

}  // namespace

namespace {

TEST_F(RefreshersTest, SessionBeginReachesObserversBeforeEndAndEachSessionHasItsItem)
{
  makeController();
  QStringList seen;
  ZPHObserverToken begin = ZPHNotificationCenter::defaultCenter().addObserver(
      ZPHRefreshSessionDidBeginNotification, QVariant(), [&](const ZPHNotification&) { seen.append("begin"); });
  ZPHObserverToken end = ZPHNotificationCenter::defaultCenter().addObserver(
      ZPHRefreshSessionDidEndNotification, QVariant(), [&](const ZPHNotification&) { seen.append("end"); });

  // A session that ends before the main loop turns, then one that begins
  // before the application has removed the first one's item.
  refresh->refreshOperationsDidBegin({});
  EXPECT_TRUE(refresh->visualRefreshInProgress());
  const std::shared_ptr<ZPHStatusItem> first = refresh->refreshingFeedsStatusItem();
  ASSERT_NE(first, nullptr);
  refresh->refreshOperationsDidEnd({});
  refresh->refreshOperationsDidBegin({});
  const std::shared_ptr<ZPHStatusItem> second = refresh->refreshingFeedsStatusItem();
  ASSERT_NE(second, nullptr);
  EXPECT_NE(second, first);
  EXPECT_TRUE(seen.isEmpty());
  ZPHTestSpinEventLoop(50);
  EXPECT_EQ(seen, (QStringList{"begin", "end", "begin"}));
  EXPECT_TRUE(refresh->visualRefreshInProgress());
  EXPECT_EQ(delegate.visibleStatusItems(), (QList<std::shared_ptr<ZPHStatusItem>>{second}));

  refresh->refreshOperationsDidEnd({});
  ZPHTestSpinEventLoop(50);
  EXPECT_EQ(seen.last(), QStringLiteral("end"));
  EXPECT_FALSE(refresh->visualRefreshInProgress());
  EXPECT_EQ(refresh->refreshingFeedsStatusItem(), nullptr);
  EXPECT_TRUE(delegate.visibleStatusItems().isEmpty());
}

}  // namespace
