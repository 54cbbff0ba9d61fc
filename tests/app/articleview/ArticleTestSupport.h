#pragma once

// Shared by the article tests: one application delegate for the whole run
// (the image, favicon and metadata caches keep the folders of the delegate
// they first met), and a real store on disk per test.

#include "fixtures/images/ZPHTestImages.h"
#include "platform/ZPHMainThread.h"
#include "store/CBDataController.h"
#include "store/accounts/CBDataAccount.h"
#include "store/entities/CBDataArticle.h"
#include "store/entities/CBDataArticleContent.h"
#include "store/entities/CBFeed.h"
#include "store/graph/ZPHManagedObjectContext.h"
#include "support/ZPHTestApplicationDelegate.h"
#include "support/ZPHTestHTTPServer.h"
#include "support/ZPHTestSupport.h"

#include <QtCore/QString>

#include <gtest/gtest.h>

#include <string>

// The delegate of the run.
ZPHTestApplicationDelegate& articleTestDelegate();

// gtest prints QStrings as arrays of code units.
inline std::string text(const QString& string) { return string.toStdString(); }

// The hostile feed fixture at "/hostile.xml" on the server, its links
// pointing back at it, and the picture it shows at "/image.png".
inline void routeHostileFeed(ZPHTestHTTPServer& server)
{
  const QByteArray origin = server.url(QStringLiteral("/")).toString().chopped(1).toUtf8();
  QByteArray feedXML = ZPHTestFixture(QStringLiteral("articles/hostile-feed.xml"));
  feedXML.replace("SERVER", origin);
  server.route(QStringLiteral("/hostile.xml"), [feedXML](const ZPHTestHTTPRequest&) {
    ZPHTestHTTPResponse response;
    response.headers = {{"Content-Type", "application/rss+xml"}};
    response.body = feedXML;
    return response;
  });
  server.route(QStringLiteral("/image.png"), [](const ZPHTestHTTPRequest&) {
    ZPHTestHTTPResponse response;
    response.headers = {{"Content-Type", "image/png"}};
    response.body = ZPHTestImages::png(120, 80);
    return response;
  });
}

// A store of its own in a temp folder, reached through the run's delegate.
class ArticleStoreTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    articleTestDelegate().setDataFolder(dataFolder.path());
    articleTestDelegate().useDataController(&controller);
    ZPHError error;
    ASSERT_TRUE(controller.setupCoreDataStackWithClass({}, false, &error)) << error.toString().toStdString();
    controller.completeSetup();
    account = controller.localAccount();
    ASSERT_NE(account, nullptr);
    main = controller.mainThreadManagedObjectContext();
  }

  void TearDown() override
  {
    EXPECT_TRUE(ZPHTestWaitUntil([&] { return !controller.coreDataQueueHasOperations(); }, 30000));
    ZPHTestSpinEventLoop(50);
  }

  CBFeed* addFeed(const QString& url, const QString& name = QString(), const QString& homePage = QString())
  {
    CBFeed* feed = CBFeed::insertFeedWithURL(QUrl(url), main);
    account->addFeed(feed);
    if (!name.isEmpty())
      feed->setFeedSpecifiedName(name);
    if (!homePage.isEmpty())
      feed->setHomePageURL(QUrl(homePage));
    return feed;
  }

  CBDataArticle* addArticle(const QString& feedURL, const QString& link, const QString& html = QString())
  {
    CBDataArticle* article = CBDataArticle::insertArticleWithFeedURL(QUrl(feedURL), main);
    article->setGuid(link);
    article->setLink(link);
    if (!html.isEmpty())
      article->insertArticleContentWithMOC(main)->setHtmlText(html);
    return article;
  }

  ZPHTestTempDir dataFolder;
  CBDataController controller;
  CBDataAccount* account = nullptr;
  ZPHManagedObjectContext* main = nullptr;
};
