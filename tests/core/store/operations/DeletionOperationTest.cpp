#include "platform/ZPHMainThread.h"
#include "platform/ZPHNotificationCenter.h"
#include "store/CBDataController.h"
#include "store/accounts/CBDataAccount.h"
#include "store/entities/ArticleMetadata.h"
#include "store/entities/CBDataArticle.h"
#include "store/entities/CBDataArticleContent.h"
#include "store/entities/CBDataModel.h"
#include "store/entities/CBFeed.h"
#include "store/entities/CBFolder.h"
#include "store/graph/ZPHFetchRequest.h"
#include "store/graph/ZPHManagedObjectContext.h"
#include "store/operations/ZPHBatchDeletionOperation.h"
#include "store/operations/ZPHDeleteMarkedArticlesOperation.h"
#include "store/operations/ZPHDeletionOperation.h"
#include "support/ZPHTestApplicationDelegate.h"
#include "support/ZPHTestSupport.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QMutex>
#include <QtCore/QProcess>
#include <QtCore/QSet>

#include <gtest/gtest.h>

#include <unistd.h>
#include <atomic>
#include <csignal>

namespace {

const char* const KillChildVariable = "ZPH_DELETION_KILL_CHILD_FOLDER";

// Feeds and folders of the local account over a real store, with articles
// that hold content, an enclosure and metadata under their link.
class DeletionFixture {
public:
  DeletionFixture() { delegate.useDataController(&controller); }

  bool open(bool integrityCheck = false)
  {
    ZPHError error;
    if (!controller.setupCoreDataStackWithClass({}, integrityCheck, &error)) {
      ADD_FAILURE() << error.toString().toStdString();
      return false;
    }
    main = controller.mainThreadManagedObjectContext();
    controller.completeSetup();
    account = controller.localAccount();
    return account != nullptr;
  }

  CBFeed* addFeed(const QString& url, CBFolder* folder)
  {
    CBFeed* feed = CBFeed::insertFeedWithURL(QUrl(url), main);
    if (folder != nullptr)
      account->addFeedAtEndOfFolder(feed, folder);
    else
      account->addFeed(feed);
    return feed;
  }

  // `count` articles of the feed; the ones whose number is in `bookmarked`
  // are bookmarked, the others read.
  QList<ZPHManagedObjectID> addArticles(const CBFeed* feed, int count, const QSet<int>& bookmarked = {})
  {
    QList<CBDataArticle*> articles;
    for (int i = 0; i < count; ++i) {
      const QString link = feed->url() + QStringLiteral("/a/%1").arg(i);
      CBDataArticle* article = CBDataArticle::insertArticleWithFeedURL(feed->URL(), main);
      article->setGuid(link);
      article->setLink(link);
      ArticleMetadata* metadata = ArticleMetadata::insertArticleMetadataForGUID(link, main);
      metadata->setRead(true);
      metadata->setFlagged(bookmarked.contains(i));
      article->setMetadata(metadata);
      CBDataArticleContent* content = article->insertArticleContentWithMOC(main);
      content->setHtmlText(QStringLiteral("<p><img src=\"%1.png\"></p>").arg(link));
      article->insertEnclosureWithURL(QUrl(link + QStringLiteral(".mp3")), main);
      articles.append(article);
    }
    EXPECT_TRUE(main->save());
    QList<ZPHManagedObjectID> objectIDs;
    for (const CBDataArticle* article : articles) objectIDs.append(article->objectID());
    return objectIDs;
  }

  qint64 count(const QString& entity, const ZPHPredicate& predicate = ZPHPredicate())
  {
    return main->countForFetchRequest(ZPHFetchRequest(entity, predicate));
  }
  qint64 articlesOf(const QString& url)
  {
    return count(CBDataEntityNameArticle, ZPHPredicate::equal(CBDataArticleFeedURLKey, url));
  }

  // The folder, detached as the source list does, deleted.
  void deleteFolder(CBFolder* folder)
  {
    account->treeNodeForFolderWithGUID(folder->guid())->detachFromParentInvalidatingRecursively(false);
    account->deleteNodes({folder});
  }

  void settle()
  {
    for (int quiet = 0; quiet < 3;) {
      ASSERT_TRUE(ZPHTestWaitUntil([&] { return !controller.coreDataQueueHasOperations(); }, 120000));
      ZPHTestSpinEventLoop(20);
      quiet = controller.coreDataQueueHasOperations() ? 0 : quiet + 1;
    }
  }

  ZPHTestApplicationDelegate delegate;
  CBDataController controller;
  ZPHManagedObjectContext* main = nullptr;
  CBDataAccount* account = nullptr;
};

// Records the will-delete announcements, with the thread they came on.
class Announcements {
public:
  Announcements()
  {
    m_token = ZPHNotificationCenter::defaultCenter().addObserver(
        ZPHWillDeleteCoreDataObjectsInBackgroundNotification, QVariant(), [this](const ZPHNotification& n) {
          QMutexLocker locker(&m_mutex);
          m_objectIDs.append(n.userInfo.value(ZPHManagedObjectObjectIDsKey).value<QList<ZPHManagedObjectID>>());
          m_onMainThread |= ZPHMainThread::isMainThread();
          if (onAnnouncement)
            onAnnouncement(int(m_objectIDs.size()));
        });
  }
  std::function<void(int number)> onAnnouncement;

  QList<QList<ZPHManagedObjectID>> all() const
  {
    QMutexLocker locker(&m_mutex);
    return m_objectIDs;
  }
  bool anyOnMainThread() const
  {
    QMutexLocker locker(&m_mutex);
    return m_onMainThread;
  }
  // Per announcement, the number of objects of the entity.
  QList<int> countsOf(const QString& entity) const
  {
    QList<int> counts;
    for (const QList<ZPHManagedObjectID>& ids : all()) {
      counts.append(int(std::count_if(ids.begin(), ids.end(),
                                      [&](const ZPHManagedObjectID& id) { return id.entity()->name() == entity; })));
    }
    return counts;
  }

private:
  mutable QMutex m_mutex;
  QList<QList<ZPHManagedObjectID>> m_objectIDs;
  bool m_onMainThread = false;
  ZPHObserverToken m_token;
};

bool waitForDeletedNotification(std::atomic<int>& deleted, int expected)
{
  return ZPHTestWaitUntil([&] { return deleted.load() >= expected; }, 120000);
}

}  // namespace

TEST(DeletionOperationTest, AFolderTakesItsFeedsArticlesAndUnbookmarkedMetadataAlongInOneSave)
{
  DeletionFixture store;
  ASSERT_TRUE(store.open());
  CBFolder* news = store.account->addFolderWithName(QStringLiteral("News"));
  CBFolder* inner = store.account->addFolderWithName(QStringLiteral("Inner"), news);
  CBFeed* a = store.addFeed(QStringLiteral("https://a.example/feed"), inner);
  CBFeed* b = store.addFeed(QStringLiteral("https://b.example/feed"), news);
  CBFeed* kept = store.addFeed(QStringLiteral("https://kept.example/feed"), nullptr);
  const QString aURL = a->url();
  const QString bURL = b->url();
  QList<ZPHManagedObjectID> doomed = store.addArticles(a, 3, {1});
  doomed += store.addArticles(b, 2);
  store.addArticles(kept, 2, {0});
  // An article already marked for deletion goes with its feed too.
  store.main->existingObjectWithID(doomed.last())->setValue(QStringLiteral("markedForDeletion"), true);
  ASSERT_TRUE(store.main->save());
  store.settle();

  QMutex purgedMutex;
  QSet<QUrl> purged;
  bool purgedOffMainThread = false;
  ZPHDeleteMarkedArticlesOperation::setCachedImagesPurge([&](const QString& html, const QUrl& baseURL) {
    QMutexLocker locker(&purgedMutex);
    purgedOffMainThread |= !ZPHMainThread::isMainThread() || !html.contains(QLatin1String("<img"));
    purged.insert(baseURL);
  });
  std::atomic<int> deleted{0};
  ZPHObserverToken deletedToken = ZPHNotificationCenter::defaultCenter().addObserver(
      ZPHFeedsOrFoldersDeletedNotification, QVariant(), [&](const ZPHNotification&) { ++deleted; });
  Announcements announcements;

  store.deleteFolder(news);
  EXPECT_EQ(store.account->feedsBeingDeleted().size(), 2);
  ASSERT_TRUE(waitForDeletedNotification(deleted, 1));
  store.settle();
  ZPHDeleteMarkedArticlesOperation::setCachedImagesPurge({});

  // One announcement, from the store queue, naming the articles, their
  // contents and enclosures, the feeds and the folders.
  ASSERT_EQ(announcements.all().size(), 1);
  EXPECT_FALSE(announcements.anyOnMainThread());
  const QList<ZPHManagedObjectID> first = announcements.all().first();
  const QSet<ZPHManagedObjectID> announced(first.begin(), first.end());
  for (const ZPHManagedObjectID& id : doomed) EXPECT_TRUE(announced.contains(id));
  EXPECT_EQ(announcements.countsOf(CBDataEntityNameArticleContent), QList<int>{5});
  EXPECT_EQ(announcements.countsOf(CBDataEntityNameEnclosure), QList<int>{5});
  EXPECT_EQ(announcements.countsOf(CBDataEntityNameArticleMetadata), QList<int>{4});  // not the bookmark
  EXPECT_EQ(announcements.countsOf(CBDataEntityNameFeed), QList<int>{2});
  EXPECT_EQ(announcements.countsOf(CBDataEntityNameFolder), QList<int>{2});

  EXPECT_EQ(store.articlesOf(aURL), 0);
  EXPECT_EQ(store.articlesOf(bURL), 0);
  EXPECT_EQ(store.articlesOf(kept->url()), 2);
  EXPECT_EQ(store.count(CBDataEntityNameArticleContent), 2);
  EXPECT_EQ(store.count(CBDataEntityNameEnclosure), 2);
  EXPECT_EQ(store.count(CBDataEntityNameFeed), 1);
  EXPECT_EQ(store.count(CBDataEntityNameFolder), 0);
  // The bookmarks stay (the deleted feed's and the kept one's), nothing else
  // of the deleted feeds.
  EXPECT_EQ(store.count(CBDataEntityNameArticleMetadata, ZPHPredicate::equal(QStringLiteral("flagged"), 1)), 2);
  EXPECT_EQ(store.count(CBDataEntityNameArticleMetadata), 3);
  EXPECT_TRUE(store.account->feedsBeingDeleted().isEmpty());
  EXPECT_EQ(store.account->feeds(), QList<CBFeed*>{kept});

  QMutexLocker locker(&purgedMutex);
  EXPECT_FALSE(purgedOffMainThread);
  EXPECT_EQ(purged.size(), 5);
  EXPECT_TRUE(purged.contains(QUrl(aURL + QStringLiteral("/a/1"))));
}

TEST(DeletionOperationTest, ManyArticlesGoInBatchesOf500AndTheNodesWithTheLast)
{
  DeletionFixture store;
  ASSERT_TRUE(store.open());
  CBFolder* folder = store.account->addFolderWithName(QStringLiteral("Big"));
  CBFeed* feed = store.addFeed(QStringLiteral("https://big.example/feed"), folder);
  const QString url = feed->url();
  store.addArticles(feed, 1234);
  store.settle();

  std::atomic<int> deleted{0};
  ZPHObserverToken deletedToken = ZPHNotificationCenter::defaultCenter().addObserver(
      ZPHFeedsOrFoldersDeletedNotification, QVariant(), [&](const ZPHNotification&) { ++deleted; });
  Announcements announcements;
  // Between batches the earlier ones are saved already and the feed is still
  // there: a run cut off here leaves no article without its feed.
  std::atomic<int> feedsSeenAtSecondBatch{-1};
  std::atomic<int> articlesSeenAtSecondBatch{-1};
  announcements.onAnnouncement = [&](int number) {
    if (number != 2)
      return;
    auto context = store.controller.temporaryManagedObjectContext();
    feedsSeenAtSecondBatch = int(context->countForFetchRequest(ZPHFetchRequest(CBDataEntityNameFeed)));
    articlesSeenAtSecondBatch = int(context->countForFetchRequest(ZPHFetchRequest(CBDataEntityNameArticle)));
  };

  store.deleteFolder(folder);
  ASSERT_TRUE(waitForDeletedNotification(deleted, 1));
  store.settle();

  EXPECT_EQ(announcements.countsOf(CBDataEntityNameArticle), (QList<int>{500, 500, 234}));
  EXPECT_EQ(announcements.countsOf(CBDataEntityNameFeed), (QList<int>{0, 0, 1}));
  EXPECT_EQ(announcements.countsOf(CBDataEntityNameFolder), (QList<int>{0, 0, 1}));
  EXPECT_EQ(feedsSeenAtSecondBatch.load(), 1);
  EXPECT_EQ(articlesSeenAtSecondBatch.load(), 734);
  EXPECT_EQ(store.articlesOf(url), 0);
  EXPECT_EQ(store.count(CBDataEntityNameArticleMetadata), 0);
  EXPECT_EQ(store.count(CBDataEntityNameNode), 0);
}

TEST(DeletionOperationTest, AnObjectAlreadyGoneIsSkippedAndTheRestDeleted)
{
  DeletionFixture store;
  ASSERT_TRUE(store.open());
  CBFeed* feed = store.addFeed(QStringLiteral("https://one.example/feed"), nullptr);
  store.addArticles(feed, 2);
  CBFolder* gone = CBFolder::createFolderWithName(QStringLiteral("Gone"), store.main);
  ASSERT_TRUE(store.main->save());
  const ZPHManagedObjectID goneID = gone->objectID();
  store.main->deleteObject(gone);
  ASSERT_TRUE(store.main->save());

  EXPECT_EQ(ZPHDeletionOperation::deletionOperationWithNodesToDelete({}), nullptr);
  auto operation = ZPHDeletionOperation::deletionOperationWithNodesToDelete({feed});
  ASSERT_NE(operation, nullptr);
  EXPECT_EQ(operation->objectIDsToDelete(), QSet<ZPHManagedObjectID>{feed->objectID()});
  auto both = std::make_shared<ZPHDeletionOperation>(QSet<ZPHManagedObjectID>{goneID, feed->objectID()});
  std::atomic<bool> finished{false};
  both->setCompletionBlock([&] { finished = true; });
  store.controller.addCoreDataQueueOperation(both);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return finished.load(); }, 30000));
  store.settle();
  EXPECT_EQ(store.count(CBDataEntityNameFeed), 0);
  EXPECT_EQ(store.count(CBDataEntityNameArticle), 0);
}

// Runs in a child process started by the test below: deletes a folder of
// two large feeds and is killed by its own hand while the deletion runs.
TEST(DeletionOperationKillSafety, ChildDeletesAFolderUntilKilled)
{
  const QString dataFolder = qEnvironmentVariable(KillChildVariable);
  if (dataFolder.isEmpty())
    GTEST_SKIP() << "runs only as the child of AKilledDeletionLeavesNoArticleWithoutItsFeed";
  DeletionFixture store;
  store.delegate.setDataFolder(dataFolder);
  ASSERT_TRUE(store.open());
  CBFolder* folder = store.account->addFolderWithName(QStringLiteral("Big"));
  // Four batches' worth.
  store.addArticles(store.addFeed(QStringLiteral("https://one.example/feed"), folder),
                    2 * ZPHDeletionOperation::ArticleBatchSize, {7});
  store.addArticles(store.addFeed(QStringLiteral("https://two.example/feed"), folder),
                    2 * ZPHDeletionOperation::ArticleBatchSize);
  store.addArticles(store.addFeed(QStringLiteral("https://kept.example/feed"), nullptr), 10);
  store.settle();

  Announcements announcements;
  // Killed as the fourth batch is about to be saved: three are.
  announcements.onAnnouncement = [](int number) {
    if (number == 4)
      ::kill(::getpid(), SIGKILL);
  };
  store.deleteFolder(folder);
  store.settle();
  ADD_FAILURE() << "not killed";
}

TEST(DeletionOperationKillSafetyTest, AKilledDeletionLeavesNoArticleWithoutItsFeed)
{
  ZPHTestTempDir dir;
  QProcess child;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QString::fromLatin1(KillChildVariable), dir.path());
  environment.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("detect_leaks=0"));
  child.setProcessEnvironment(environment);
  child.setProcessChannelMode(QProcess::MergedChannels);
  child.start(QCoreApplication::applicationFilePath(),
              {QStringLiteral("--gtest_filter=DeletionOperationKillSafety.ChildDeletesAFolderUntilKilled")});
  ASSERT_TRUE(child.waitForStarted());
  ASSERT_TRUE(child.waitForFinished(240000));
  ASSERT_EQ(child.exitStatus(), QProcess::CrashExit) << child.readAll().toStdString();

  DeletionFixture store;
  store.delegate.setDataFolder(dir.path());
  ASSERT_TRUE(store.open(true));
  // Three batches of articles went; the folder, both feeds and the rest of
  // their articles are there, each article with its content and enclosure.
  const qint64 one = store.articlesOf(QStringLiteral("https://one.example/feed"));
  const qint64 two = store.articlesOf(QStringLiteral("https://two.example/feed"));
  EXPECT_EQ(one + two, ZPHDeletionOperation::ArticleBatchSize);
  EXPECT_EQ(store.articlesOf(QStringLiteral("https://kept.example/feed")), 10);
  EXPECT_EQ(store.count(CBDataEntityNameFeed), 3);
  EXPECT_EQ(store.count(CBDataEntityNameFolder), 1);
  const qint64 articles = store.count(CBDataEntityNameArticle);
  EXPECT_EQ(articles, one + two + 10);
  EXPECT_EQ(store.count(CBDataEntityNameArticleContent), articles);
  EXPECT_EQ(store.count(CBDataEntityNameEnclosure), articles);
  EXPECT_EQ(store.count(CBDataEntityNameArticleMetadata, ZPHPredicate::equal(QStringLiteral("flagged"), 1)), 1);

  // Deleted again, the folder goes for good.
  std::atomic<int> deleted{0};
  ZPHObserverToken deletedToken = ZPHNotificationCenter::defaultCenter().addObserver(
      ZPHFeedsOrFoldersDeletedNotification, QVariant(), [&](const ZPHNotification&) { ++deleted; });
  ASSERT_EQ(store.account->folders().size(), 1);
  store.deleteFolder(store.account->folders().first());
  ASSERT_TRUE(waitForDeletedNotification(deleted, 1));
  store.settle();
  EXPECT_EQ(store.count(CBDataEntityNameArticle), 10);
  EXPECT_EQ(store.count(CBDataEntityNameFeed), 1);
}
