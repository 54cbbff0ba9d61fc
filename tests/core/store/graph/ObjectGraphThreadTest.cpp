#include "core/store/graph/StoreTestModel.h"

#include "platform/ZPHMainThread.h"
#include "platform/ZPHOperation.h"
#include "platform/ZPHOperationQueue.h"
#include "store/CBCoreDataUtilities.h"
#include "store/graph/ZPHObjectGraphErrors.h"
#include "store/graph/ZPHSQLiteConnection.h"
#include "support/ZPHTestApplicationDelegate.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

// A main context on the main thread and a serial store queue whose
// operations each work in a temporary context of their own.
class ObjectGraphThreadTest : public ::testing::Test, public StoreTestFixture {
protected:
  void SetUp() override
  {
    ASSERT_TRUE(open());
    queue.setMaxConcurrentOperationCount(1);
  }
  void TearDown() override { queue.waitUntilAllOperationsAreFinished(); }

  // Runs `work` with a temporary context on the store queue, serving the
  // main event loop until it finished.
  void onStoreQueue(const std::function<void(ZPHManagedObjectContext&)>& work)
  {
    std::atomic<bool> done{false};
    auto operation = std::make_shared<ZPHBlockOperation>([&] {
      ZPHManagedObjectContext context(store.get(), ZPHManagedObjectContext::ConfinementConcurrencyType);
      work(context);
      done = true;
    });
    queue.addOperation(operation);
    ASSERT_TRUE(ZPHTestWaitUntil([&] { return done.load(); }, 30000));
    operation->waitUntilFinished();
  }

  ZPHManagedObject* insertFeed(const QString& name)
  {
    ZPHManagedObject* feed = main->insertNewObject(QStringLiteral("Feed"));
    feed->setValue(QStringLiteral("name"), name);
    feed->setValue(QStringLiteral("url"), QStringLiteral("https://example.com/") + name);
    return feed;
  }

  ZPHOperationQueue queue{QStringLiteral("com.fernhollow.zephlin.coreDataBackgroundQueue")};
};

}  // namespace

TEST_F(ObjectGraphThreadTest, StoreQueueSaveIsInTheMainContextBeforeTheSaverGoesOn)
{
  ZPHManagedObject* feed = insertFeed(QStringLiteral("one"));
  ASSERT_TRUE(main->save());
  const ZPHManagedObjectID feedID = feed->objectID();
  QStringList changedKeys;
  feed->addChangeObserver([&](ZPHManagedObject*, const QString& key) {
    EXPECT_TRUE(ZPHMainThread::isMainThread());
    changedKeys.append(key);
  });
  QList<ZPHManagedObjectID> insertedSeen;
  QObject::connect(main.get(), &ZPHManagedObjectContext::objectsDidChange,
                   [&](const QList<ZPHManagedObjectID>& inserted, const QList<ZPHManagedObjectID>&,
                       const QList<ZPHManagedObjectID>&) { insertedSeen.append(inserted); });

  QString seenByMainAfterSave;
  qint64 feedsSeenByMain = 0;
  onStoreQueue([&](ZPHManagedObjectContext& context) {
    ZPHManagedObject* mine = context.existingObjectWithID(feedID);
    ASSERT_NE(mine, nullptr);
    mine->setValue(QStringLiteral("name"), QStringLiteral("renamed"));
    ZPHManagedObject* added = context.insertNewObject(QStringLiteral("Feed"));
    added->setValue(QStringLiteral("name"), QStringLiteral("two"));
    ASSERT_TRUE(context.save());
    // The merge happened on the main thread while this thread waited.
    ZPHMainThread::sync([&] {
      seenByMainAfterSave = feed->value(QStringLiteral("name")).toString();
      feedsSeenByMain = main->countForFetchRequest(ZPHFetchRequest(QStringLiteral("Feed")));
    });
  });
  EXPECT_EQ(seenByMainAfterSave, QStringLiteral("renamed"));
  EXPECT_EQ(feedsSeenByMain, 2);
  EXPECT_EQ(changedKeys, QStringList{QStringLiteral("name")});
  EXPECT_EQ(insertedSeen.size(), 1);
  EXPECT_FALSE(main->hasChanges());
}

TEST_F(ObjectGraphThreadTest, UnsavedMainValuesWinPerProperty)
{
  ZPHManagedObject* feed = insertFeed(QStringLiteral("one"));
  ASSERT_TRUE(main->save());
  const ZPHManagedObjectID feedID = feed->objectID();
  feed->setValue(QStringLiteral("name"), QStringLiteral("mine"));

  onStoreQueue([&](ZPHManagedObjectContext& context) {
    ZPHManagedObject* theirs = context.existingObjectWithID(feedID);
    theirs->setValue(QStringLiteral("name"), QStringLiteral("theirs"));
    theirs->setValue(QStringLiteral("unreadCount"), quint64(5));
    ASSERT_TRUE(context.save());
  });
  EXPECT_EQ(feed->value(QStringLiteral("name")).toString(), QStringLiteral("mine"));
  EXPECT_EQ(feed->value(QStringLiteral("unreadCount")).toULongLong(), 5u);
  ASSERT_TRUE(main->save());

  close();
  ASSERT_TRUE(open());
  const QList<ZPHManagedObject*> feeds = main->executeFetchRequest(ZPHFetchRequest(QStringLiteral("Feed")));
  ASSERT_EQ(feeds.size(), 1);
  EXPECT_EQ(feeds[0]->value(QStringLiteral("name")).toString(), QStringLiteral("mine"));
  EXPECT_EQ(feeds[0]->value(QStringLiteral("unreadCount")).toULongLong(), 5u);
}

TEST_F(ObjectGraphThreadTest, ObjectsDeletedOnTheStoreQueueLeaveTheMainContext)
{
  ZPHManagedObject* feed = insertFeed(QStringLiteral("one"));
  ASSERT_TRUE(main->save());
  const ZPHManagedObjectID feedID = feed->objectID();
  bool toldGone = false;
  feed->addChangeObserver([&](ZPHManagedObject*, const QString& key) { toldGone = toldGone || key.isNull(); });
  onStoreQueue([&](ZPHManagedObjectContext& context) {
    context.deleteObject(context.existingObjectWithID(feedID));
    ASSERT_TRUE(context.save());
  });
  EXPECT_TRUE(toldGone);
  EXPECT_EQ(feed->managedObjectContext(), nullptr);
  EXPECT_EQ(main->registeredObject(feedID), nullptr);
  EXPECT_EQ(main->existingObjectWithID(feedID), nullptr);
  EXPECT_TRUE(main->existingObjectsWithIDs({feedID}).isEmpty());
}

TEST_F(ObjectGraphThreadTest, BatchDeletesInSlicesKeepEveryContextConsistent)
{
  constexpr int Count = 1200;
  for (int i = 0; i < Count; ++i) {
    ZPHManagedObject* article = main->insertNewObject(QStringLiteral("Article"));
    article->setValue(QStringLiteral("guid"), QString::number(i));
    ZPHManagedObject* content = main->insertNewObject(QStringLiteral("ArticleContent"));
    article->setValue(QStringLiteral("content"), QVariant::fromValue(content));
    ZPHManagedObject* metadata = main->insertNewObject(QStringLiteral("ArticleMetadata"));
    metadata->setValue(QStringLiteral("guid"), QStringLiteral("link") + QString::number(i));
    article->setValue(QStringLiteral("metadata"), QVariant::fromValue(metadata));
  }
  ASSERT_TRUE(main->save());
  const QList<ZPHManagedObjectID> articleIDs =
      main->executeFetchRequestForObjectIDs(ZPHFetchRequest(QStringLiteral("Article")));
  ASSERT_EQ(articleIDs.size(), Count);
  // The main context holds one article and its metadata.
  ZPHManagedObject* held = main->existingObjectWithID(articleIDs[7]);
  ZPHManagedObject* heldMetadata = held->value(QStringLiteral("metadata")).value<ZPHManagedObject*>();
  ASSERT_NE(heldMetadata, nullptr);

  for (qsizetype start = 0; start < articleIDs.size(); start += 500) {
    const QList<ZPHManagedObjectID> batch = articleIDs.mid(start, 500);
    onStoreQueue([&](ZPHManagedObjectContext& context) {
      ZPHError error;
      EXPECT_TRUE(context.batchDeleteObjectsWithIDs(batch, &error)) << error.toString().toStdString();
    });
  }
  EXPECT_EQ(held->managedObjectContext(), nullptr);
  EXPECT_EQ(heldMetadata->managedObjectContext(), main.get());
  EXPECT_FALSE(heldMetadata->value(QStringLiteral("article")).isValid());
  EXPECT_FALSE(main->hasChanges());
  EXPECT_EQ(main->countForFetchRequest(ZPHFetchRequest(QStringLiteral("Article"))), 0);
  EXPECT_EQ(main->countForFetchRequest(ZPHFetchRequest(QStringLiteral("ArticleContent"))), 0);       // cascaded
  EXPECT_EQ(main->countForFetchRequest(ZPHFetchRequest(QStringLiteral("ArticleMetadata"))), Count);  // nullified
  EXPECT_EQ(main->countForFetchRequest(ZPHFetchRequest(QStringLiteral("ArticleMetadata"),
                                                       !ZPHPredicate::equal(QStringLiteral("article"), QVariant()))),
            0);
  ZPHError error;
  EXPECT_TRUE(store->checkIntegrity(&error)) << error.toString().toStdString();
}

TEST_F(ObjectGraphThreadTest, FailedSaveRollsBackAndReachesTheFailureHandlerOnce)
{
  ZPHTestApplicationDelegate delegate;
  // A store-level failure in the middle of the transaction.
  {
    ZPHError error;
    std::unique_ptr<ZPHSQLiteConnection> raw = ZPHSQLiteConnection::open(path(), false, &error);
    ASSERT_TRUE(raw);
    ASSERT_TRUE(
        raw->exec("CREATE TRIGGER boom BEFORE INSERT ON \"Node\" WHEN NEW.name = 'boom' "
                  "BEGIN SELECT RAISE(ABORT, 'boom'); END"));
  }
  insertFeed(QStringLiteral("first"));
  ZPHManagedObject* bad = insertFeed(QStringLiteral("boom"));
  insertFeed(QStringLiteral("last"));
  const ZPHManagedObjectID temporary = bad->objectID();

  CBSaveManagedObjectContext(main.get());
  ASSERT_EQ(delegate.coreDataFailures().size(), 1);
  EXPECT_EQ(delegate.coreDataFailures()[0].domain(), ZPHObjectGraphErrorDomain);
  EXPECT_TRUE(main->hasChanges());
  EXPECT_EQ(bad->objectID(), temporary);
  {
    // Nothing of the failed save reached the file.
    ZPHManagedObjectContext other(store.get(), ZPHManagedObjectContext::ConfinementConcurrencyType);
    EXPECT_EQ(other.countForFetchRequest(ZPHFetchRequest(QStringLiteral("Node"))), 0);
  }

  // A save without changes does nothing; a good save goes through.
  bad->setValue(QStringLiteral("name"), QStringLiteral("fine"));
  CBSaveManagedObjectContext(main.get());
  CBSaveManagedObjectContext(main.get());
  EXPECT_EQ(delegate.coreDataFailures().size(), 1);
  EXPECT_EQ(main->countForFetchRequest(ZPHFetchRequest(QStringLiteral("Node"))), 3);

  // A missing required value fails before the store is touched.
  main->insertNewObject(QStringLiteral("ArticleMetadata"));
  CBSaveManagedObjectContext(main.get());
  ASSERT_EQ(delegate.coreDataFailures().size(), 2);
  EXPECT_EQ(delegate.coreDataFailures()[1].code(), ZPHObjectGraphValidationError);
}

TEST_F(ObjectGraphThreadTest, EachThreadHasItsOwnConnectionUntilItEnds)
{
  insertFeed(QStringLiteral("one"));
  ASSERT_TRUE(main->save());
  EXPECT_EQ(store->connectionCount(), 1);
  qint64 seen = -1;
  int whileRunning = 0;
  std::thread reader([&] {
    ZPHManagedObjectContext context(store.get(), ZPHManagedObjectContext::ConfinementConcurrencyType);
    seen = context.countForFetchRequest(ZPHFetchRequest(QStringLiteral("Feed")));
    whileRunning = store->connectionCount();
  });
  reader.join();
  EXPECT_EQ(seen, 1);
  EXPECT_EQ(whileRunning, 2);
  EXPECT_EQ(store->connectionCount(), 1);
}

#ifdef QT_DEBUG
TEST_F(ObjectGraphThreadTest, WritingFromAnotherThreadIsCaught)
{
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  ZPHManagedObject* feed = insertFeed(QStringLiteral("one"));
  EXPECT_DEATH(
      {
        std::thread writer([&] { feed->setValue(QStringLiteral("name"), QStringLiteral("other")); });
        writer.join();
      },
      "store context used off its own thread");
}
#endif
