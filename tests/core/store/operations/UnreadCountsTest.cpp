#include "foundation/CBEventThrottler.h"
#include "foundation/CBMimeTypes.h"
#include "platform/CBOperation.h"
#include "platform/ZPHNotificationCenter.h"
#include "platform/ZPHOperationQueue.h"
#include "platform/ZPHUserDefaults.h"
#include "store/CBDataController.h"
#include "store/accounts/CBDataAccount.h"
#include "store/entities/ArticleMetadata.h"
#include "store/entities/CBDataArticle.h"
#include "store/entities/CBDataModel.h"
#include "store/entities/CBFeed.h"
#include "store/entities/CBFolder.h"
#include "store/graph/ZPHFetchRequest.h"
#include "store/graph/ZPHManagedObjectContext.h"
#include "store/operations/ZPHAccountCalculateUnreadCountsOperation.h"
#include "support/ZPHTestApplicationDelegate.h"
#include "support/ZPHTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>

namespace {

// Outer > Inner > feed A (3 unread), feed B at top level, a favourite (2
// unread, 1 read), feed C at top level without articles. The local account
// is made over a real data controller and store.
class UnreadCountsTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    ZPHUserDefaults::standardUserDefaults().removeObject(ZPHSubscriptionsSortOrderKey);
    delegate.useDataController(&controller);
    ZPHError error;
    ASSERT_TRUE(controller.setupCoreDataStackWithClass({}, false, &error)) << error.toString().toStdString();
    main = delegate.mainThreadManagedObjectContext();

    CBFolder* outer = CBFolder::createFolderWithName(QStringLiteral("Outer"), main);
    CBFolder* inner = CBFolder::createFolderWithName(QStringLiteral("Inner"), main);
    inner->setParent(outer);
    inner->setParentguid(outer->guid());
    CBFeed* a = addFeed(QStringLiteral("https://a.example/feed"), inner);
    CBFeed* b = addFeed(QStringLiteral("https://b.example/feed"), nullptr);
    b->setFavorite(true);
    b->setChildindex(1);
    CBFeed* c = addFeed(QStringLiteral("https://c.example/feed"), nullptr);
    c->setChildindex(2);
    for (int i = 0; i < 3; ++i) addArticle(a, i, false);
    addArticle(b, 0, false);
    addArticle(b, 1, false);
    addArticle(b, 2, true);
    ASSERT_TRUE(main->save());
    outerID = outer->objectID();
    innerID = inner->objectID();
    aID = a->objectID();
    bID = b->objectID();
    cID = c->objectID();

    completions = ZPHNotificationCenter::defaultCenter().addObserver(
        CBOperationDidCompleteNotification, QVariant(), [this](const ZPHNotification& n) {
          auto op = std::dynamic_pointer_cast<ZPHAccountCalculateUnreadCountsOperation>(
              n.object.value<std::shared_ptr<CBOperation>>());
          if (op != nullptr)
            completedGenerations.append(op->generation());
        });
    controller.completeSetup();
    account = controller.localAccount();
    ASSERT_NE(account, nullptr);
    ASSERT_TRUE(waitFor([&] { return account->unreadCount() == 5; }));
  }

  void TearDown() override { drain(); }

  CBFeed* addFeed(const QString& url, CBFolder* folder)
  {
    CBFeed* feed = CBFeed::insertFeedWithURL(QUrl(url), main);
    feed->setGuid(QStringLiteral("guid-") + url);
    if (folder != nullptr) {
      feed->setParent(folder);
      feed->setParentguid(folder->guid());
    }
    return feed;
  }

  void addArticle(CBFeed* feed, int n, bool read)
  {
    const QString link = feed->url() + QStringLiteral("/item") + QString::number(n);
    CBDataArticle* article = CBDataArticle::insertArticleWithFeedURL(feed->URL(), main);
    article->setGuid(link);
    article->setLink(link);
    article->setTitle(link);
    article->setDateForDisplay(QDateTime::currentDateTimeUtc());
    ArticleMetadata* metadata = ArticleMetadata::insertArticleMetadataForGUID(article->bestLink(), main);
    metadata->setRead(read);
    article->setMetadata(metadata);
  }

  CBNode* node(const ZPHManagedObjectID& id) { return dynamic_cast<CBNode*>(main->existingObjectWithID(id)); }
  quint64 count(const ZPHManagedObjectID& id) { return node(id)->unreadCount(); }

  bool waitFor(const std::function<bool()>& done) { return ZPHTestWaitUntil(done, 20000); }
  // Until every recount asked for so far has run and reported.
  void drain()
  {
    ASSERT_TRUE(ZPHTestWaitUntilSettled(
        [&] { return !controller.coreDataQueueHasOperations() && account->totalUnreadCountEventThrottler()->isIdle(); },
        20000));
  }

  // Holds the store queue until release() (nothing queued behind it runs).
  void blockStoreQueue()
  {
    released = false;
    started = false;
    controller.addCoreDataQueueBlock(
        [this] {
          started = true;
          while (!released) std::this_thread::sleep_for(std::chrono::milliseconds(2));
        },
        {});
    ASSERT_TRUE(waitFor([&] { return started.load(); }));
  }
  void release() { released = true; }

  // Runs `work` in a temporary context on the store queue and waits for it.
  void onStoreQueue(const std::function<void(ZPHManagedObjectContext*)>& work)
  {
    ASSERT_TRUE(delegate.runInTemporaryContextOnStoreQueue(work));
  }

  QList<CBDataArticle*> articlesOf(const QString& feedURL, ZPHManagedObjectContext* context)
  {
    QList<CBDataArticle*> articles;
    for (ZPHManagedObject* object : context->executeFetchRequest(
             ZPHFetchRequest(CBDataEntityNameArticle, ZPHPredicate::equal(CBDataArticleFeedURLKey, feedURL))))
      articles.append(static_cast<CBDataArticle*>(object));
    return articles;
  }

  ZPHTestApplicationDelegate delegate;
  CBDataController controller;
  ZPHManagedObjectContext* main = nullptr;
  CBDataAccount* account = nullptr;
  ZPHManagedObjectID outerID, innerID, aID, bID, cID;
  ZPHObserverToken completions;
  QList<quint64> completedGenerations;
  std::atomic<bool> released{false};
  std::atomic<bool> started{false};
};

TEST_F(UnreadCountsTest, LoadingCountsFeedsFoldersFavouritesAndTheAccount)
{
  ASSERT_TRUE(waitFor([&] { return count(outerID) == 3; }));
  EXPECT_EQ(account->unreadCount(), 5u);
  EXPECT_EQ(account->favoritesUnreadCount(), 2u);
  EXPECT_EQ(account->countForDisplay(), 5u);
  EXPECT_EQ(count(aID), 3u);
  EXPECT_EQ(count(innerID), 3u);
  EXPECT_EQ(count(bID), 2u);
  EXPECT_EQ(count(cID), 0u);
  for (const ZPHManagedObjectID& id : {outerID, innerID, aID, bID, cID}) EXPECT_TRUE(node(id)->unreadCountIsValid());
}

TEST_F(UnreadCountsTest, ReadChangeTwoFoldersDeepReachesBothFoldersAndTheAccount)
{
  const QString url = QStringLiteral("https://a.example/feed");
  onStoreQueue([&](ZPHManagedObjectContext* context) {
    articlesOf(url, context).first()->operation_only_markAsRead(true, false, true, true);
  });
  // The outer folder is right only when the inner one was summed first.
  ASSERT_TRUE(waitFor([&] { return account->unreadCount() == 4 && count(outerID) == 2; }));
  EXPECT_EQ(count(aID), 2u);
  EXPECT_EQ(count(innerID), 2u);
  EXPECT_TRUE(node(outerID)->unreadCountIsValid());
}

TEST_F(UnreadCountsTest, BulkChangesFromTheStoreQueueAreHandledOnTheMainThread)
{
  // Posted on the store queue's thread; the account takes it on the main
  // thread (its handler asserts so in debug builds).
  const QString url = QStringLiteral("https://b.example/feed");
  onStoreQueue([&](ZPHManagedObjectContext* context) {
    CBDataArticle::operation_only_markArticles(articlesOf(url, context), true, context);
  });
  ASSERT_TRUE(waitFor([&] { return account->unreadCount() == 3 && account->favoritesUnreadCount() == 0; }));
  EXPECT_EQ(count(bID), 0u);
}

TEST_F(UnreadCountsTest, BulkChangesFromSyncAreNotMarkedForSync)
{
  QVariantList ids;
  onStoreQueue([&](ZPHManagedObjectContext* context) {
    for (CBDataArticle* article : articlesOf(QStringLiteral("https://a.example/feed"), context)) {
      article->setNeedsSync(false);
      ids.append(QVariant::fromValue(article->objectID()));
    }
    context->save();
  });
  drain();
  auto needingSync = [&] {
    int n = 0;
    onStoreQueue([&](ZPHManagedObjectContext* context) {
      for (CBDataArticle* article : articlesOf(QStringLiteral("https://a.example/feed"), context))
        n += article->needsSync() ? 1 : 0;
    });
    return n;
  };
  ZPHNotificationCenter::defaultCenter().post(CBMultipleArticlesDidChangeReadStatusNotification, QVariant(),
                                              {{ZPHArticlesKey, ids}, {QStringLiteral("fromSync"), true}});
  drain();
  EXPECT_EQ(needingSync(), 0);
  ZPHNotificationCenter::defaultCenter().post(CBMultipleArticlesDidChangeReadStatusNotification, QVariant(),
                                              {{ZPHArticlesKey, ids}});
  drain();
  EXPECT_EQ(needingSync(), 3);
}

// The count a refresh reports is the saver's estimate (here a wrong one): it
// shows at once, but only the recount it asks for makes it valid, so a quit
// before that recount leaves no wrong count stored as valid.
TEST_F(UnreadCountsTest, RefreshReportedCountShowsAtOnceAndStaysInvalidUntilTheRecount)
{
  drain();
  ZPHNotificationCenter::defaultCenter().post(
      QStringLiteral("ZPHFeedRefreshArticlesUpdatedNotification"), QVariant(),
      {{CBURLKey, QUrl(QStringLiteral("https://a.example/feed"))}, {CBFeedUnreadCountKey, 7}});
  // Queued behind the refresh's block and ahead of any recount.
  quint64 feedCount = 0;
  bool feedValid = false, innerValid = true, outerValid = true;
  onStoreQueue([&](ZPHManagedObjectContext* context) {
    auto* a = dynamic_cast<CBNode*>(context->existingObjectWithID(aID));
    feedCount = a->unreadCount();
    feedValid = a->unreadCountIsValid();
    innerValid = dynamic_cast<CBNode*>(context->existingObjectWithID(innerID))->unreadCountIsValid();
    outerValid = dynamic_cast<CBNode*>(context->existingObjectWithID(outerID))->unreadCountIsValid();
  });
  EXPECT_EQ(feedCount, 7u);
  EXPECT_FALSE(feedValid);
  EXPECT_FALSE(innerValid);
  EXPECT_FALSE(outerValid);
  // The recount that follows sets everything from the articles again.
  ASSERT_TRUE(waitFor([&] { return node(outerID)->unreadCountIsValid() && count(aID) == 3; }));
}

TEST_F(UnreadCountsTest, OnlyTheNewestRecountReports)
{
  drain();
  // A save on the store queue has just asked for a recount from there.
  std::thread([&] { account->updateUnreadCountsOnMainThread(); }).join();
  drain();
  completedGenerations.clear();
  blockStoreQueue();
  account->updateTotalUnreadCount();
  account->updateTotalUnreadCount();
  const quint64 newest = account->lastUnreadCountOperationGeneration();
  release();
  drain();
  EXPECT_EQ(completedGenerations, QList<quint64>{newest});

  // A burst of triggers costs one recount after the quiet time.
  completedGenerations.clear();
  account->updateUnreadCountsOnMainThread();
  account->updateUnreadCountsOnMainThread();
  ASSERT_TRUE(waitFor([&] { return !completedGenerations.isEmpty(); }));
  drain();
  EXPECT_EQ(completedGenerations, QList<quint64>{newest + 1});
  EXPECT_EQ(account->lastUnreadCountOperationGeneration(), newest + 1);
}

TEST_F(UnreadCountsTest, ARecountGivesWayToStoreWorkQueuedBehindIt)
{
  drain();
  blockStoreQueue();
  account->updateTotalUnreadCount();
  controller.addCoreDataQueueBlock([] {}, {});
  // The block added after the recount starts before it (other recounts of
  // the smart feeds may wait too).
  qsizetype recount = -1;
  qsizetype block = -1;
  const QList<std::shared_ptr<ZPHOperation>> waiting =
      controller.coreDataBackgroundOperationQueue()->waitingOperations(100);
  for (qsizetype i = 0; i < waiting.size(); ++i) {
    if (std::dynamic_pointer_cast<ZPHAccountCalculateUnreadCountsOperation>(waiting[i]) != nullptr)
      recount = i;
    else if (waiting[i]->queuePriority() == ZPHOperationQueuePriority::Normal)
      block = i;
  }
  ASSERT_GE(recount, 0);
  ASSERT_GE(block, 0);
  EXPECT_LT(block, recount);
  EXPECT_EQ(waiting[recount]->queuePriority(), ZPHOperationQueuePriority::Low);
  release();
  drain();
  EXPECT_EQ(account->unreadCount(), 5u);
}

// A recount whose count fetch fails with an exception.
class ThrowingRecount : public ZPHAccountCalculateUnreadCountsOperation {
public:
  using ZPHAccountCalculateUnreadCountsOperation::ZPHAccountCalculateUnreadCountsOperation;

protected:
  QHash<QString, qint64> feedUnreadCounts(ZPHManagedObjectContext*) override
  {
    throw std::runtime_error("count failed");
  }
};

TEST_F(UnreadCountsTest, AnExceptionReportsNothingAndCountsAgain)
{
  drain();
  completedGenerations.clear();
  bool called = false;
  const quint64 generation = account->lastUnreadCountOperationGeneration();
  auto failing = std::make_shared<ThrowingRecount>(
      account, [&](const std::shared_ptr<CBOperation>&) { called = true; }, QString(), generation);
  controller.addCoreDataQueueOperation(failing);
  ASSERT_TRUE(waitFor([&] { return completedGenerations.contains(generation + 1); }));
  drain();
  EXPECT_FALSE(called);
  EXPECT_FALSE(completedGenerations.contains(generation));
  EXPECT_EQ(account->unreadCount(), 5u);
}

}  // namespace
