#include "feeds/metadata/CBLocalAccountFeedMetadataCache.h"
#include "feeds/refresh/ZPHArticleSaverBacklog.h"
#include "feeds/refresh/ZPHRefreshFeedOperation.h"
#include "platform/ZPHOperation.h"
#include "platform/ZPHOperationQueue.h"
#include "store/CBDataController.h"
#include "store/entities/CBDataArticle.h"
#include "store/entities/CBFeed.h"
#include "store/graph/ZPHManagedObjectContext.h"
#include "support/ZPHTestApplicationDelegate.h"
#include "support/ZPHTestHTTPServer.h"
#include "support/ZPHTestSupport.h"

#include <QtCore/QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <vector>

namespace {

QByteArray feedBody(int feed)
{
  const QByteArray n = QByteArray::number(feed);
  return "<?xml version=\"1.0\"?><rss version=\"2.0\"><channel><title>Feed " + n +
         "</title><link>http://127.0.0.1/</link><item><guid>g" + n + "</guid><title>Item of " + n +
         "</title><link>http://127.0.0.1/" + n + "</link></item></channel></rss>";
}

// Feeds with new bodies, a real store whose queue the test can hold up, and
// a backlog of two slots.
class SaverBacklogTest : public ::testing::Test {
protected:
  static constexpr int FeedCount = 6;
  static constexpr int Limit = 2;

  void SetUp() override
  {
    ASSERT_TRUE(server.start());
    delegate.useDataController(&controller);
    ZPHError error;
    ASSERT_TRUE(controller.setupCoreDataStackWithClass({}, true, &error)) << error.toString().toStdString();
    main = delegate.mainThreadManagedObjectContext();
    for (int i = 0; i < FeedCount; ++i) {
      const QString path = QStringLiteral("/feed/%1.xml").arg(i);
      server.route(path, [i](const ZPHTestHTTPRequest&) {
        ZPHTestHTTPResponse response;
        response.body = feedBody(i);
        return response;
      });
      urls.append(server.url(path));
      CBFeed::insertFeedWithURL(urls.last(), main);
    }
    ASSERT_TRUE(main->save());
    cache = CBLocalAccountFeedMetadataCache::makeCache();
    ASSERT_TRUE(cache);
    queue.setMaxConcurrentOperationCount(8);
  }

  void TearDown() override
  {
    storeHeld = false;
    queue.waitUntilAllOperationsAreFinished();
    EXPECT_TRUE(ZPHTestWaitUntil([&] { return !controller.coreDataQueueHasOperations() && !cache->hasOperations(); }));
    cache->waitUntilAllOperationsAreFinished();
  }

  std::shared_ptr<ZPHRefreshFeedOperation> refresh(int feed)
  {
    auto operation = std::make_shared<ZPHRefreshFeedOperation>(urls[feed]);
    operation->setFeedMetadataCache(cache);
    operation->setSaverBacklog(backlog);
    return operation;
  }

  // Keeps the store queue busy until storeHeld goes false: the saver is
  // behind.
  void holdStoreQueue()
  {
    storeHeld = true;
    controller.addCoreDataQueueOperation(std::make_shared<ZPHBlockOperation>([this] {
      while (storeHeld.load()) QThread::msleep(2);
    }));
  }

  int finishedCount(const std::vector<std::shared_ptr<ZPHRefreshFeedOperation>>& operations) const
  {
    int count = 0;
    for (const auto& operation : operations) count += operation->isFinished() ? 1 : 0;
    return count;
  }

  ZPHTestHTTPServer server;
  ZPHTestApplicationDelegate delegate;
  CBDataController controller;
  ZPHManagedObjectContext* main = nullptr;
  QList<QUrl> urls;
  std::shared_ptr<CBLocalAccountFeedMetadataCache> cache;
  std::shared_ptr<ZPHArticleSaverBacklog> backlog = std::make_shared<ZPHArticleSaverBacklog>(Limit);
  ZPHOperationQueue queue{QStringLiteral("refresh queue")};
  std::atomic<bool> storeHeld{false};
};

}  // namespace

TEST_F(SaverBacklogTest, NoMoreThanTheLimitOfParsedFeedsWaitForTheSaver)
{
  holdStoreQueue();
  std::vector<std::shared_ptr<ZPHRefreshFeedOperation>> operations;
  for (int i = 0; i < FeedCount; ++i) {
    operations.push_back(refresh(i));
    queue.addOperation(operations.back());
  }

  // Every feed was downloaded; two were parsed and handed to the saver, the
  // others hold back.
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return server.requests().size() == FeedCount; }));
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return finishedCount(operations) == Limit; }));
  ZPHTestSpinEventLoop(100);
  EXPECT_EQ(finishedCount(operations), Limit);
  EXPECT_EQ(backlog->slotsTaken(), Limit);
  EXPECT_EQ(backlog->mostSlotsTaken(), Limit);

  // A refresh cancelled while it holds back parses nothing.
  std::shared_ptr<ZPHRefreshFeedOperation> cancelled;
  for (const auto& operation : operations) {
    if (!operation->isFinished()) {
      cancelled = operation;
      break;
    }
  }
  ASSERT_TRUE(cancelled);
  cancelled->cancel();
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return cancelled->isFinished(); }));
  EXPECT_EQ(cancelled->refreshError().code(), ZPHRefreshFeedOperationErrorNotResponding);

  // Once the saver catches up, the rest go through, never more than two at once.
  storeHeld = false;
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return finishedCount(operations) == FeedCount; }, 20000));
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return !controller.coreDataQueueHasOperations(); }, 20000));
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return backlog->slotsTaken() == 0; }));
  EXPECT_EQ(backlog->mostSlotsTaken(), Limit);
  ZPHTestSpinEventLoop(20);
  for (const auto& operation : operations) {
    const qsizetype saved = CBDataArticle::articlesForFeedWithURL(operation->feedURL(), main).size();
    if (operation == cancelled) {
      EXPECT_EQ(saved, 0);
      EXPECT_TRUE(cache->contentHashForFeedURL(operation->feedURL()).isNull());
    } else {
      EXPECT_TRUE(operation->refreshError().isNull()) << qPrintable(operation->refreshError().toString());
      EXPECT_EQ(saved, 1) << qPrintable(operation->feedURL().toString());
    }
  }
}

TEST_F(SaverBacklogTest, ASaverTheStoreQueueDropsGivesItsSlotBack)
{
  // While the application quits the store queue takes no savers.
  delegate.shuttingDown = true;
  std::vector<std::shared_ptr<ZPHRefreshFeedOperation>> operations;
  for (int i = 0; i < Limit + 2; ++i) {
    operations.push_back(refresh(i));
    queue.addOperation(operations.back());
  }
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return finishedCount(operations) == Limit + 2; }, 20000));
  delegate.shuttingDown = false;
  EXPECT_EQ(backlog->slotsTaken(), 0);
  EXPECT_GE(backlog->mostSlotsTaken(), 1);
  EXPECT_LE(backlog->mostSlotsTaken(), Limit);
}
