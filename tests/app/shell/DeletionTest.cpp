// Deleting feeds and folders in the running application: what is left in the
// store file, what a bookmark does, and a quit while a deletion runs.

#include "app/shell/AppHarness.h"
#include "store/entities/ArticleMetadata.h"
#include "store/entities/CBDataArticle.h"
#include "store/entities/CBDataArticleContent.h"
#include "store/entities/CBFolder.h"
#include "store/graph/ZPHManagedObjectContext.h"
#include "store/graph/ZPHSQLiteConnection.h"
#include "store/operations/ZPHDeleteMarkedArticlesOperation.h"

#include <sqlite3.h>

#include <atomic>

namespace {

class DeletionTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    ZPHResetApplicationSettings();
    ASSERT_TRUE(server.start());
    server.route(QStringLiteral("/feed.xml"), [this](const ZPHTestHTTPRequest&) {
      ZPHTestHTTPResponse response;
      response.headers = {{"Content-Type", "application/rss+xml"}};
      response.body = ZPHTestFeed(server.url(), 5);
      return response;
    });
    deletedToken = ZPHNotificationCenter::defaultCenter().addObserver(ZPHFeedsOrFoldersDeletedNotification, QVariant(),
                                                                      [this](const ZPHNotification&) { ++deletions; });
  }

  QString dataFolder() const { return dir.filePath(QStringLiteral("data")); }
  QUrl feedURL() const { return server.url(QStringLiteral("/feed.xml")); }
  QString link(int item) const { return server.url(QStringLiteral("/item/%1").arg(item)).toString(); }

  // A number from the store file itself, read through a connection of its own.
  qint64 countInStoreFile(const QByteArray& sql, const QString& text = QString())
  {
    std::unique_ptr<ZPHSQLiteConnection> connection =
        ZPHSQLiteConnection::open(dataFolder() + QStringLiteral("/Articles"), false, nullptr);
    if (!connection)
      return -1;
    ZPHSQLiteStatement statement = connection->prepare(sql);
    if (!text.isNull())
      statement.bindText(1, text);
    return statement.step() == SQLITE_ROW ? statement.columnInt64(0) : -1;
  }

  // Starts the application; its local account and main context.
  void start(AppHarness& app)
  {
    app.start();
    ASSERT_TRUE(app.delegate->startupSequenceEnded());
    account = app.data()->localAccount();
    main = app.delegate->mainThreadManagedObjectContext();
  }

  void deleteFolder(CBDataAccount* account, CBFolder* folder)
  {
    const int before = deletions;
    account->treeNodeForFolderWithGUID(folder->guid())->detachFromParentInvalidatingRecursively(false);
    account->deleteNodes({folder});
    ASSERT_TRUE(ZPHTestWaitUntil([&] { return deletions > before; }, 120000));
  }

  ZPHTestTempDir dir;
  ZPHTestHTTPServer server;
  int deletions = 0;
  ZPHObserverToken deletedToken;
  CBDataAccount* account = nullptr;
  ZPHManagedObjectContext* main = nullptr;
};

}  // namespace

TEST_F(DeletionTest, ABookmarkOutlivesItsDeletedFolderAndComesBackWithTheFeed)
{
  RefreshSessionCounter sessions;
  AppHarness app(dataFolder());
  ASSERT_NO_FATAL_FAILURE(start(app));

  // A folder with the loopback feed, refreshed; one article bookmarked.
  CBFolder* folder = account->addFolderWithName(QStringLiteral("News"));
  account->addFeedAtEndOfFolder(CBFeed::insertFeedWithURL(feedURL(), main), folder);
  ASSERT_TRUE(ZPHTestWaitUntil(
      [&] { return CBDataArticle::articlesForFeedWithURL(feedURL(), main).size() == 5 && sessions.finished > 0; },
      60000));
  app.settle();
  CBDataArticle* bookmarked = CBDataArticle::fetchArticleWithBestLink(link(2), main);
  ASSERT_NE(bookmarked, nullptr);
  bookmarked->findOrInsertMetadata()->setFlagged(true);
  app.data()->saveMainThreadManagedObjectContext();
  app.settle();
  ASSERT_EQ(countInStoreFile("SELECT count(*) FROM \"Article\" WHERE feedURL = ?", feedURL().toString()), 5);

  // Removed: the file holds no feed, folder or article of it any more, only
  // the bookmark's metadata.
  deleteFolder(account, folder);
  app.settle();
  EXPECT_EQ(countInStoreFile("SELECT count(*) FROM \"Node\""), 0);
  EXPECT_EQ(countInStoreFile("SELECT count(*) FROM \"Article\""), 0);
  EXPECT_EQ(countInStoreFile("SELECT count(*) FROM \"ArticleContent\""), 0);
  EXPECT_EQ(countInStoreFile("SELECT count(*) FROM \"ArticleMetadata\" WHERE flagged = 1 AND guid = ?", link(2)), 1);
  EXPECT_EQ(countInStoreFile("SELECT count(*) FROM \"ArticleMetadata\" WHERE flagged = 0"), 0);

  // Added again and refreshed from the server: the bookmark is back on its
  // article, and only there.
  const int sessionsBefore = sessions.finished;
  account->addFeed(CBFeed::insertFeedWithURL(feedURL(), main));
  ASSERT_TRUE(ZPHTestWaitUntil(
      [&] {
        return sessions.finished > sessionsBefore && CBDataArticle::articlesForFeedWithURL(feedURL(), main).size() == 5;
      },
      60000));
  app.settle();
  int flagged = 0;
  for (CBDataArticle* article : CBDataArticle::articlesForFeedWithURL(feedURL(), main))
    flagged += article->flagged() ? 1 : 0;
  EXPECT_EQ(flagged, 1);
  ASSERT_NE(CBDataArticle::fetchArticleWithBestLink(link(2), main), nullptr);
  EXPECT_TRUE(CBDataArticle::fetchArticleWithBestLink(link(2), main)->flagged());
}

TEST_F(DeletionTest, TheCleanUpOfMarkedArticlesIsAnnouncedAndTheCountsFollow)
{
  RefreshSessionCounter sessions;
  AppHarness app(dataFolder());
  ASSERT_NO_FATAL_FAILURE(start(app));
  account->addFeed(CBFeed::insertFeedWithURL(feedURL(), main));
  ASSERT_TRUE(ZPHTestWaitUntil(
      [&] { return CBDataArticle::articlesForFeedWithURL(feedURL(), main).size() == 5 && sessions.finished > 0; },
      60000));
  app.settle();
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return app.delegate->unreadCount() == 5; }, 30000));

  // Two unread articles the feed no longer lists, marked for deletion: the
  // clean-up removes them and says so to the main thread's observers (the
  // accounts' counts, the article list).
  int announced = 0;
  const ZPHObserverToken token = ZPHNotificationCenter::defaultCenter().addObserver(
      CBDataDidDeleteArticlesNotification, QVariant(), [&](const ZPHNotification&) { ++announced; },
      ZPHNotificationCenter::Delivery::MainThread);
  for (int item : {1, 2}) CBDataArticle::fetchArticleWithBestLink(link(item), main)->setMarkedForDeletion(true);
  app.data()->saveMainThreadManagedObjectContext();
  app.settle();
  ZPHDeleteMarkedArticlesOperation::asynchronouslyDeleteArticlesMarkedForDeletion();
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return announced > 0; }, 60000));
  app.settle();
  EXPECT_EQ(announced, 1);  // one batch
  EXPECT_EQ(countInStoreFile("SELECT count(*) FROM \"Article\""), 3);
  EXPECT_TRUE(ZPHTestWaitUntil([&] { return app.delegate->unreadCount() == 3; }, 30000)) << app.delegate->unreadCount();
}

TEST_F(DeletionTest, AQuitWhileALargeDeletionRunsLetsItEndWithTheStoreWhole)
{
  constexpr int ArticlesPerFeed = 3000;
  AppHarness app(dataFolder());
  app.connected = false;  // no refresh touches the articles
  app.start();
  ASSERT_TRUE(app.delegate->startupSequenceEnded());
  CBDataAccount* account = app.data()->localAccount();
  ZPHManagedObjectContext* main = app.delegate->mainThreadManagedObjectContext();

  CBFolder* folder = account->addFolderWithName(QStringLiteral("Big"));
  CBFolder* inner = account->addFolderWithName(QStringLiteral("Inner"), folder);
  CBFeed* kept = CBFeed::insertFeedWithURL(QUrl(QStringLiteral("https://kept.example/feed")), main);
  account->addFeed(kept);
  for (const QString& url : {QStringLiteral("https://one.example/feed"), QStringLiteral("https://two.example/feed")}) {
    CBFeed* feed = CBFeed::insertFeedWithURL(QUrl(url), main);
    account->addFeedAtEndOfFolder(feed, url.contains(QLatin1String("one")) ? folder : inner);
    for (int i = 0; i < ArticlesPerFeed; ++i) {
      CBDataArticle* article = CBDataArticle::insertArticleWithFeedURL(feed->URL(), main);
      article->setGuid(url + QString::number(i));
      article->setLink(url + QStringLiteral("/") + QString::number(i));
      article->insertArticleContentWithMOC(main)->setHtmlText(QString(400, QLatin1Char('x')));
    }
  }
  CBDataArticle::insertArticleWithFeedURL(kept->URL(), main)->setGuid(QStringLiteral("kept"));
  app.data()->saveMainThreadManagedObjectContext();
  app.settle();

  // Removed and quit at once. The user's deletion is not dropped at the
  // store queue's bound: it ends before the quit writes back.
  account->treeNodeForFolderWithGUID(folder->guid())->detachFromParentInvalidatingRecursively(false);
  account->deleteNodes({folder});
  ZPHTestLogCapture log;
  app.stop();
  EXPECT_EQ(app.exitStatus, 0);
  EXPECT_TRUE(log.linesContaining(QStringLiteral("the user's changes on the store queue did not end")).isEmpty());

  EXPECT_EQ(countInStoreFile("SELECT count(*) FROM \"Node\""), 1);
  EXPECT_EQ(countInStoreFile("SELECT count(*) FROM \"Article\""), 1);
  EXPECT_EQ(countInStoreFile("SELECT count(*) FROM \"ArticleContent\""), 0);
  std::unique_ptr<ZPHSQLiteConnection> connection =
      ZPHSQLiteConnection::open(dataFolder() + QStringLiteral("/Articles"), false, nullptr);
  ASSERT_NE(connection, nullptr);
  ZPHSQLiteStatement check = connection->prepare("PRAGMA integrity_check");
  ASSERT_EQ(check.step(), SQLITE_ROW);
  EXPECT_EQ(check.columnText(0), QStringLiteral("ok"));
}
