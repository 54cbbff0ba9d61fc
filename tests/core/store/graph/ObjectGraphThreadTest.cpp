#include "core/store/graph/StoreTestModel.h"

#include "platform/ZPHMainThread.h"
#include "platform/ZPHOperation.h"
#include "platform/ZPHOperationQueue.h"
#include "store/CBCoreDataUtilities.h"
#include "store/graph/ZPHObjectGraphErrors.h"
#include "store/graph/ZPHPersistentStore.h"
#include "store/graph/ZPHSQLiteConnection.h"
#include "store/graph/ZPHSQLiteLogVFS.h"
#include "support/ZPHTestApplicationDelegate.h"

#include <gtest/gtest.h>

#include <QtCore/QCoreApplication>
#include <QtCore/QDeadlineTimer>
#include <QtCore/QMutex>
#include <QtCore/QScopeGuard>
#include <QtCore/QSemaphore>
#include <QtCore/QThread>
#include <QtCore/QWaitCondition>

#include <sqlite3.h>

#include <atomic>
#include <functional>
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
      {
        ZPHManagedObjectContext context(store.get(), ZPHManagedObjectContext::ConfinementConcurrencyType);
        work(context);
      }
      // The main thread has run what this thread handed it (the merges).
      ZPHMainThread::sync([] {});
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

  // Articles numbered from 0 as their guids, each with its content.
  static void insertArticlesWithContent(ZPHManagedObjectContext& context, int count, const QString& title = {})
  {
    for (int i = 0; i < count; ++i) {
      ZPHManagedObject* article = context.insertNewObject(QStringLiteral("Article"));
      article->setValue(QStringLiteral("guid"), QString::number(i));
      if (!title.isEmpty())
        article->setValue(QStringLiteral("title"), title);
      ZPHManagedObject* content = context.insertNewObject(QStringLiteral("ArticleContent"));
      article->setValue(QStringLiteral("content"), QVariant::fromValue(content));
    }
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
    // The merge ran on the main thread before this work.
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

// A saver on another thread does not wait for the main thread's merges
// until MaxPendingMerges of them are still to run; the main thread then
// merges them in order. A merge still to run when the store goes away does
// nothing.
TEST_F(ObjectGraphThreadTest, SaversRunAheadOfTheMainThreadsMergesByAFewOnly)
{
  ZPHManagedObject* feed = insertFeed(QStringLiteral("one"));
  ASSERT_TRUE(main->save());
  const ZPHManagedObjectID feedID = feed->objectID();
  constexpr int Ahead = ZPHPersistentStore::MaxPendingMerges;
  const auto rename = [&](ZPHManagedObjectContext& context, const QString& name) {
    context.existingObjectWithID(feedID)->setValue(QStringLiteral("name"), name);
    return context.save();
  };
  std::atomic<int> saves{0};
  std::thread saver([&] {
    ZPHManagedObjectContext context(store.get(), ZPHManagedObjectContext::ConfinementConcurrencyType);
    for (int i = 0; i <= Ahead; ++i) {
      EXPECT_TRUE(rename(context, QStringLiteral("name %1").arg(i)));
      ++saves;
    }
  });
  // The main thread serves nothing meanwhile.
  const QDeadlineTimer deadline(30000);
  while (saves.load() < Ahead && !deadline.hasExpired()) QThread::msleep(1);
  EXPECT_EQ(saves.load(), Ahead);
  QThread::msleep(50);
  EXPECT_EQ(saves.load(), Ahead);  // the next save waits for the main thread
  EXPECT_EQ(feed->value(QStringLiteral("name")).toString(), QStringLiteral("one"));
  QStringList seen;
  feed->addChangeObserver([&](ZPHManagedObject* object, const QString& key) {
    if (key == QStringLiteral("name"))
      seen.append(object->value(key).toString());
  });
  EXPECT_TRUE(ZPHTestWaitUntil([&] { return saves.load() == Ahead + 1; }, 30000));
  saver.join();
  EXPECT_TRUE(ZPHTestWaitUntil([&] { return seen.size() == Ahead + 1; }, 30000));
  QStringList expected;
  for (int i = 0; i <= Ahead; ++i) expected.append(QStringLiteral("name %1").arg(i));
  EXPECT_EQ(seen, expected);

  std::thread([&] {
    ZPHManagedObjectContext context(store.get(), ZPHManagedObjectContext::ConfinementConcurrencyType);
    EXPECT_TRUE(rename(context, QStringLiteral("late")));
  }).join();
  close();
  QCoreApplication::processEvents();  // the late merge finds no store
  ASSERT_TRUE(open());
  EXPECT_EQ(main->existingObjectWithID(ZPHManagedObjectID(store.get(), feedID.entity(), feedID.rowID()))
                ->value(QStringLiteral("name"))
                .toString(),
            QStringLiteral("late"));
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

// The store queue deletes an object that an unsaved object of the main
// context links to: the merge applies the deleted object's delete rules to
// those links, as the store did to its rows, and the main context's next
// save goes through.
TEST_F(ObjectGraphThreadTest, MergedDeletionsApplyTheirDeleteRulesToUnsavedLinks)
{
  enum class Outcome { InsertGone, LinkCleared };
  struct Case {
    const char* name;
    const char* deletedEntity;  // saved beforehand; deleted on the store queue
    bool batch;                 // by a batch delete, else by a context's save
    // Makes the main context's unsaved object that links to the deleted one.
    std::function<ZPHManagedObject*(ZPHManagedObjectContext*, ZPHManagedObject* deleted)> link;
    const char* linkKey;
    Outcome outcome;
  };
  const auto newFeedIn = [](ZPHManagedObjectContext* context, ZPHManagedObject* folder) {
    ZPHManagedObject* feed = context->insertNewObject(QStringLiteral("Feed"));
    feed->setValue(QStringLiteral("parent"), QVariant::fromValue(folder));
    return feed;
  };
  const auto newEnclosureOf = [](ZPHManagedObjectContext* context, ZPHManagedObject* article) {
    ZPHManagedObject* enclosure = context->insertNewObject(QStringLiteral("Enclosure"));
    enclosure->setValue(QStringLiteral("article"), QVariant::fromValue(article));
    return enclosure;
  };
  const auto newArticleWith = [](ZPHManagedObjectContext* context, ZPHManagedObject* metadata) {
    ZPHManagedObject* article = context->insertNewObject(QStringLiteral("Article"));
    article->setValue(QStringLiteral("metadata"), QVariant::fromValue(metadata));
    return article;
  };
  const auto savedFeedMovedInto = [](ZPHManagedObjectContext* context, ZPHManagedObject* folder) {
    ZPHManagedObject* feed = context->insertNewObject(QStringLiteral("Feed"));
    EXPECT_TRUE(context->save());
    feed->setValue(QStringLiteral("parent"), QVariant::fromValue(folder));
    return feed;
  };
  const Case cases[] = {
      {"new feed in a deleted folder (cascade)", "Folder", false, newFeedIn, "parent", Outcome::InsertGone},
      {"new feed in a batch-deleted folder (cascade)", "Folder", true, newFeedIn, "parent", Outcome::InsertGone},
      {"new enclosure of a deleted article (cascade)", "Article", false, newEnclosureOf, "article",
       Outcome::InsertGone},
      {"new article with deleted metadata (nullify)", "ArticleMetadata", false, newArticleWith, "metadata",
       Outcome::LinkCleared},
      {"new article with batch-deleted metadata (nullify)", "ArticleMetadata", true, newArticleWith, "metadata",
       Outcome::LinkCleared},
      {"saved feed moved into a deleted folder", "Folder", false, savedFeedMovedInto, "parent", Outcome::LinkCleared},
  };
  // The main context saves after the deletion's merge ran, or before it
  // (the store queue has committed and handed the merge on, and the main
  // thread has not come to it yet): either way as if merged first.
  for (const bool mainSavesBeforeTheMerge : {false, true}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(c.name);
      SCOPED_TRACE(mainSavesBeforeTheMerge ? "the main context saves before the merge" : "merged first");
      ZPHManagedObject* doomed = main->insertNewObject(QString::fromLatin1(c.deletedEntity));
      if (QLatin1String(c.deletedEntity) == QLatin1String("ArticleMetadata"))
        doomed->setValue(QStringLiteral("guid"), QStringLiteral("m"));
      ASSERT_TRUE(main->save());
      const ZPHManagedObjectID doomedID = doomed->objectID();
      ZPHManagedObject* linking = c.link(main.get(), doomed);
      const auto deleteDoomed = [&](ZPHManagedObjectContext& context) {
        ZPHError error;
        if (c.batch) {
          EXPECT_TRUE(context.batchDeleteObjectsWithIDs({doomedID}, &error)) << error.toString().toStdString();
        } else {
          context.deleteObject(context.existingObjectWithID(doomedID));
          EXPECT_TRUE(context.save(&error)) << error.toString().toStdString();
        }
      };
      ZPHError error;
      if (mainSavesBeforeTheMerge) {
        // The main thread waits without serving its event loop: the merge
        // stays handed on, not run.
        auto deletion = std::make_shared<ZPHBlockOperation>([&] {
          ZPHManagedObjectContext context(store.get(), ZPHManagedObjectContext::ConfinementConcurrencyType);
          deleteDoomed(context);
        });
        queue.addOperation(deletion);
        deletion->waitUntilFinished();
        EXPECT_TRUE(main->save(&error)) << error.toString().toStdString();
        onStoreQueue([](ZPHManagedObjectContext&) {});  // the merge has come now, and changed nothing more
      } else {
        onStoreQueue(deleteDoomed);
      }
      if (c.outcome == Outcome::InsertGone) {
        EXPECT_TRUE(linking->isDeleted());
      } else {
        EXPECT_FALSE(linking->isDeleted());
        EXPECT_FALSE(linking->value(QString::fromLatin1(c.linkKey)).isValid());
      }
      EXPECT_TRUE(main->save(&error)) << error.toString().toStdString();
      EXPECT_FALSE(main->hasChanges());
      EXPECT_TRUE(store->checkIntegrity(&error));
      std::unique_ptr<ZPHSQLiteConnection> raw = ZPHSQLiteConnection::open(path(), false, nullptr);
      ZPHSQLiteStatement keys = raw->prepare("PRAGMA foreign_key_check");
      EXPECT_EQ(keys.step(), SQLITE_DONE) << "a link to a row that is gone";
    }
  }

  // A link to a row that went away behind every context's back fails the
  // save with an error of its own, not as a store that cannot be read.
  ZPHManagedObject* folder = main->insertNewObject(QStringLiteral("Folder"));
  ASSERT_TRUE(main->save());
  {
    std::unique_ptr<ZPHSQLiteConnection> raw = ZPHSQLiteConnection::open(path(), false, nullptr);
    ASSERT_TRUE(raw->exec("DELETE FROM \"Node\" WHERE id = " + QByteArray::number(folder->objectID().rowID())));
  }
  newFeedIn(main.get(), folder);
  ZPHError error;
  EXPECT_FALSE(main->save(&error));
  EXPECT_EQ(error.code(), ZPHObjectGraphConstraintError) << error.toString().toStdString();
}

namespace {

// Holds a save of the store queue inside its transaction at chosen rows: a
// temporary trigger of the queue's own connection calls a function that
// waits there until the test lets the row go.
class SaveGate {
public:
  // On the queue's thread, before its save: `rows` are the guids of the
  // articles whose insertion waits for `release(guid)`.
  bool install(ZPHSQLiteConnection* connection, const QStringList& rows)
  {
    if (sqlite3_create_function_v2(connection->handle(), "zph_test_gate", 1, SQLITE_UTF8, this, &SaveGate::call,
                                   nullptr, nullptr, nullptr) != SQLITE_OK)
      return false;
    return connection->exec("CREATE TEMP TRIGGER zph_test_gate AFTER INSERT ON \"Article\" WHEN NEW.\"guid\" IN ('" +
                            rows.join(QStringLiteral("', '")).toUtf8() +
                            "') BEGIN SELECT zph_test_gate(NEW.\"guid\"); END");
  }
  // Or: the deletion of the row `rowID` of `table` waits for
  // release(QString::number(rowID)).
  bool installOnDeletion(ZPHSQLiteConnection* connection, const QByteArray& table, qint64 rowID)
  {
    if (sqlite3_create_function_v2(connection->handle(), "zph_test_gate", 1, SQLITE_UTF8, this, &SaveGate::call,
                                   nullptr, nullptr, nullptr) != SQLITE_OK)
      return false;
    return connection->exec("CREATE TEMP TRIGGER zph_test_gate AFTER DELETE ON \"" + table + "\" WHEN OLD.\"id\" = " +
                            QByteArray::number(rowID) + " BEGIN SELECT zph_test_gate(CAST(OLD.\"id\" AS TEXT)); END");
  }
  // The row the save waits at now; null while it waits at none.
  QString waitingAt() const
  {
    QMutexLocker locker(&m_mutex);
    return m_waitingAt;
  }
  void release(const QString& row)
  {
    QMutexLocker locker(&m_mutex);
    m_released.append(row);
    m_changed.wakeAll();
  }

private:
  static void call(sqlite3_context* context, int, sqlite3_value** values)
  {
    auto* gate = static_cast<SaveGate*>(sqlite3_user_data(context));
    const QString row = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_value_text(values[0])));
    QMutexLocker locker(&gate->m_mutex);
    gate->m_waitingAt = row;
    // Bounded only against a broken test; the test releases every row.
    QDeadlineTimer giveUp(120000);
    while (!gate->m_released.contains(row) && !giveUp.hasExpired()) gate->m_changed.wait(&gate->m_mutex, giveUp);
    gate->m_waitingAt.clear();
    sqlite3_result_null(context);
  }

  mutable QMutex m_mutex;
  QWaitCondition m_changed;
  QString m_waitingAt;
  QStringList m_released;
};

}  // namespace

// While the store queue saves thousands of new objects, the main thread's
// save goes through between the queue's slices instead of waiting for the
// whole of it; everything of both ends up saved. The queue's save is held at
// two rows far apart, so the order does not hang on anyone's speed: at the
// first it writes until the main thread waits to write (the queue then
// commits what it has and lets it go first), at the other until the main
// thread has seen the store between the two.
TEST_F(ObjectGraphThreadTest, MainThreadSavesDuringALargeStoreQueueSave)
{
  constexpr int Articles = 6000;
  const QStringList heldRows{QStringLiteral("1000"), QStringLiteral("5000")};
  ZPHManagedObject* feed = insertFeed(QStringLiteral("one"));
  ASSERT_TRUE(main->save());
  SaveGate gate;
  std::atomic<bool> done{false};
  auto operation = std::make_shared<ZPHBlockOperation>([&] {
    ZPHSQLiteConnection* connection = store->connection();
    EXPECT_TRUE(connection != nullptr && gate.install(connection, heldRows));
    ZPHManagedObjectContext context(store.get(), ZPHManagedObjectContext::ConfinementConcurrencyType);
    insertArticlesWithContent(context, Articles, QString(400, QLatin1Char('t')));
    EXPECT_TRUE(context.save());
    done = true;
  });
  queue.addOperation(operation);
  const auto releaseAll = qScopeGuard([&] {
    for (const QString& row : heldRows) gate.release(row);
  });

  // The queue's save is under way, inside its transaction; the main thread
  // saves meanwhile.
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return !gate.waitingAt().isNull(); }, 60000));
  const QString first = gate.waitingAt();
  const QString later = heldRows.value(1 - heldRows.indexOf(first));
  std::thread letGo([&] {
    // Once the main thread waits to write (and only then), the held row goes on.
    QDeadlineTimer giveUp(120000);
    while (!store->writeTurnIsWanted() && !giveUp.hasExpired()) QThread::yieldCurrentThread();
    gate.release(first);
  });
  feed->setValue(QStringLiteral("unreadCount"), quint64(7));
  ZPHError error;
  const bool saved = main->save(&error);
  letGo.join();
  ASSERT_TRUE(saved) << error.toString().toStdString();
  // Committed between the queue's slices: the store holds some of its
  // articles, not all of them, and the queue's save has not ended.
  const qint64 between = main->countForFetchRequest(ZPHFetchRequest(QStringLiteral("Article")));
  EXPECT_GT(between, 0);
  EXPECT_LT(between, Articles);
  EXPECT_FALSE(done.load());
  gate.release(later);

  ASSERT_TRUE(ZPHTestWaitUntil([&] { return done.load(); }, 120000));
  operation->waitUntilFinished();
  EXPECT_EQ(main->countForFetchRequest(ZPHFetchRequest(QStringLiteral("Article"))), Articles);
  EXPECT_EQ(main->countForFetchRequest(ZPHFetchRequest(QStringLiteral("ArticleContent"))), Articles);
  close();
  ASSERT_TRUE(open());
  const QList<ZPHManagedObject*> feeds = main->executeFetchRequest(ZPHFetchRequest(QStringLiteral("Feed")));
  ASSERT_EQ(feeds.size(), 1);
  EXPECT_EQ(feeds[0]->value(QStringLiteral("unreadCount")).toULongLong(), 7u);
}

// A store-queue save asked to stop (an article saver cancelled by the quit)
// stops at the end of a chunk: the slices it committed stay, each of whole
// articles, with the changes of saved objects that link to no new object
// (a feed's count) committed in the first of them, though made last; what
// it wrote since is rolled back, and the context keeps the rest, which its
// next save writes whole. The save is held at two rows: at the first until
// the main thread waits to write (a slice commits), at the second until
// the stop is asked.
TEST_F(ObjectGraphThreadTest, ASaveAskedToStopKeepsItsWholeSlicesAndTheRest)
{
  constexpr int Articles = 6000;
  const QStringList heldRows{QStringLiteral("1000"), QStringLiteral("4000")};
  ZPHManagedObject* feed = insertFeed(QStringLiteral("one"));
  ASSERT_TRUE(main->save());
  const ZPHManagedObjectID feedID = feed->objectID();
  SaveGate gate;
  std::atomic<bool> stop{false};
  std::atomic<int> stage{0};  // 1: stopped, 2: saved the rest
  std::atomic<bool> stoppedAnswer{false}, keptChanges{false}, restSaved{false}, restWhole{false};
  QSemaphore checked;
  auto operation = std::make_shared<ZPHBlockOperation>([&] {
    ZPHSQLiteConnection* connection = store->connection();
    EXPECT_TRUE(connection != nullptr && gate.install(connection, heldRows));
    ZPHManagedObjectContext context(store.get(), ZPHManagedObjectContext::ConfinementConcurrencyType);
    insertArticlesWithContent(context, Articles);
    context.existingObjectWithID(feedID)->setValue(QStringLiteral("unreadCount"), quint64(Articles));
    context.setSaveStopCondition([&] { return stop.load(); });
    stoppedAnswer = context.save();
    keptChanges = context.hasChanges();
    stage = 1;
    checked.tryAcquire(1, 120000);  // bounded only against a broken test
    stop = false;
    restSaved = context.save();
    restWhole = !context.hasChanges();
    stage = 2;
  });
  queue.addOperation(operation);
  const auto releaseAll = qScopeGuard([&] {
    for (const QString& row : heldRows) gate.release(row);
    checked.release();
  });

  ASSERT_TRUE(ZPHTestWaitUntil([&] { return gate.waitingAt() == heldRows[0]; }, 60000));
  std::thread letGo([&] {
    QDeadlineTimer giveUp(120000);
    while (!store->writeTurnIsWanted() && !giveUp.hasExpired()) QThread::yieldCurrentThread();
    gate.release(heldRows[0]);
  });
  feed->setValue(QStringLiteral("name"), QStringLiteral("renamed"));
  const bool saved = main->save();
  letGo.join();
  ASSERT_TRUE(saved);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return gate.waitingAt() == heldRows[1]; }, 60000));
  stop = true;
  gate.release(heldRows[1]);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return stage.load() == 1; }, 60000));
  EXPECT_TRUE(stoppedAnswer.load());
  EXPECT_TRUE(keptChanges.load());

  // A reader of its own sees the store as the stop left it.
  {
    ZPHManagedObjectContext reader(store.get(), ZPHManagedObjectContext::ConfinementConcurrencyType);
    const qint64 articles = reader.countForFetchRequest(ZPHFetchRequest(QStringLiteral("Article")));
    EXPECT_GE(articles, 1000);
    EXPECT_LE(articles, 4000);
    EXPECT_EQ(reader.countForFetchRequest(ZPHFetchRequest(QStringLiteral("ArticleContent"))), articles);
    EXPECT_EQ(reader.countForFetchRequest(ZPHFetchRequest(QStringLiteral("Article"),
                                                          ZPHPredicate::equal(QStringLiteral("content"), QVariant()))),
              0);
    EXPECT_EQ(reader.existingObjectWithID(feedID)->value(QStringLiteral("unreadCount")).toULongLong(),
              quint64(Articles));
  }

  checked.release();
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return stage.load() == 2; }, 120000));
  operation->waitUntilFinished();
  EXPECT_TRUE(restSaved.load());
  EXPECT_TRUE(restWhole.load());
  close();
  ASSERT_TRUE(open());
  EXPECT_EQ(main->countForFetchRequest(ZPHFetchRequest(QStringLiteral("Article"))), Articles);
  EXPECT_EQ(main->countForFetchRequest(ZPHFetchRequest(QStringLiteral("ArticleContent"))), Articles);
  EXPECT_EQ(main->countForFetchRequest(
                ZPHFetchRequest(QStringLiteral("Article"), ZPHPredicate::equal(QStringLiteral("content"), QVariant()))),
            0);
  const QList<ZPHManagedObject*> feeds = main->executeFetchRequest(ZPHFetchRequest(QStringLiteral("Feed")));
  ASSERT_EQ(feeds.size(), 1);
  EXPECT_EQ(feeds[0]->value(QStringLiteral("name")).toString(), QStringLiteral("renamed"));
  EXPECT_EQ(feeds[0]->value(QStringLiteral("unreadCount")).toULongLong(), quint64(Articles));
}

// A deletion the store queue commits while the main thread already waits
// for its turn to save: once the main thread has the turn, the save merges
// that deletion first instead of writing a link to the row it removed.
TEST_F(ObjectGraphThreadTest, AMainSaveWaitingBehindADeletionMergesItFirst)
{
  ZPHManagedObject* folder = main->insertNewObject(QStringLiteral("Folder"));
  ZPHManagedObject* feed = insertFeed(QStringLiteral("moved"));
  ASSERT_TRUE(main->save());
  const ZPHManagedObjectID folderID = folder->objectID();
  SaveGate gate;
  const QString held = QString::number(folderID.rowID());
  auto deletion = std::make_shared<ZPHBlockOperation>([&] {
    ZPHSQLiteConnection* connection = store->connection();
    EXPECT_TRUE(connection != nullptr && gate.installOnDeletion(connection, "Node", folderID.rowID()));
    ZPHManagedObjectContext context(store.get(), ZPHManagedObjectContext::ConfinementConcurrencyType);
    ZPHError error;
    EXPECT_TRUE(context.batchDeleteObjectsWithIDs({folderID}, &error)) << error.toString().toStdString();
  });
  queue.addOperation(deletion);
  const auto releaseAll = qScopeGuard([&] { gate.release(held); });
  // The folder's row is deleted inside the queue's transaction, which holds
  // the write turn; the main thread moves the feed into it and saves.
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return gate.waitingAt() == held; }, 60000));
  feed->setValue(QStringLiteral("parent"), QVariant::fromValue(folder));
  std::thread letGo([&] {
    QDeadlineTimer giveUp(120000);
    while (!store->writeTurnIsWanted() && !giveUp.hasExpired()) QThread::yieldCurrentThread();
    gate.release(held);
  });
  ZPHError error;
  const bool saved = main->save(&error);
  letGo.join();
  deletion->waitUntilFinished();
  EXPECT_TRUE(saved) << error.toString().toStdString();
  EXPECT_EQ(folder->managedObjectContext(), nullptr);
  EXPECT_FALSE(feed->value(QStringLiteral("parent")).isValid());
  EXPECT_FALSE(main->hasChanges());
  std::unique_ptr<ZPHSQLiteConnection> raw = ZPHSQLiteConnection::open(path(), false, nullptr);
  ZPHSQLiteStatement keys = raw->prepare("PRAGMA foreign_key_check");
  EXPECT_EQ(keys.step(), SQLITE_DONE) << "a link to a row that is gone";
}

// The main thread waiting for a private-queue context serves the merge of
// that context's save, and nothing else of its event loop.
TEST_F(ObjectGraphThreadTest, WaitingForAPrivateContextServesOnlyItsMerge)
{
  ZPHManagedObjectContext privateContext(store.get(), ZPHManagedObjectContext::PrivateQueueConcurrencyType);
  bool otherWorkRan = false;
  ZPHMainThread::async([&] { otherWorkRan = true; });
  QList<ZPHManagedObjectID> mergedInserts;
  QObject::connect(main.get(), &ZPHManagedObjectContext::objectsDidChange,
                   [&](const QList<ZPHManagedObjectID>& inserted, const QList<ZPHManagedObjectID>&,
                       const QList<ZPHManagedObjectID>&) { mergedInserts.append(inserted); });
  privateContext.performBlockAndWait([&] {
    ZPHManagedObject* feed = privateContext.insertNewObject(QStringLiteral("Feed"));
    feed->setValue(QStringLiteral("name"), QStringLiteral("private"));
    EXPECT_TRUE(privateContext.save());
  });
  EXPECT_EQ(mergedInserts.size(), 1);
  EXPECT_FALSE(otherWorkRan);
  EXPECT_TRUE(ZPHTestWaitUntil([&] { return otherWorkRan; }));
}

#ifdef QT_DEBUG
TEST_F(ObjectGraphThreadTest, UseFromAnotherThreadIsCaught)
{
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  ZPHManagedObject* feed = insertFeed(QStringLiteral("one"));
  ASSERT_TRUE(main->save());
  ASSERT_FALSE(feed->isFault());
  const std::function<void()> uses[] = {
      [&] { feed->setValue(QStringLiteral("name"), QStringLiteral("other")); },
      [&] { feed->value(QStringLiteral("name")); },  // a loaded object, read
  };
  for (const auto& use : uses) {
    EXPECT_DEATH(
        {
          std::thread other(use);
          other.join();
        },
        "store context used off its own thread");
  }
}
#endif

namespace {

// Holds the first write of one thread until the test lets it go.
class HoldAWriteOf : public ZPHSQLiteLogVFSWriteHook {
public:
  explicit HoldAWriteOf(std::thread::id thread) : m_thread(thread) { ZPHSQLiteLogVFSSetWriteHook(this); }
  ~HoldAWriteOf() override { ZPHSQLiteLogVFSSetWriteHook(nullptr); }
  QSemaphore held;
  QSemaphore gate;

  void willWrite(long long) override
  {
    if (std::this_thread::get_id() != m_thread || m_done.exchange(true))
      return;
    held.release();
    gate.tryAcquire(1, 120000);  // bounded only against a broken test
  }

private:
  const std::thread::id m_thread;
  std::atomic<bool> m_done{false};
};

}  // namespace

// A thread that ends closes its own connection. When that is the store's
// last, the close writes the log back into the file and deletes the log by
// its name: the store is gone only once that close ended, or it would
// delete the log of a new store made at the same path meanwhile (whose
// committed data a new connection would then miss).
TEST(ObjectGraphThreadEnd, AStoreIsGoneOnlyOnceTheConnectionsOfEndingThreadsAreClosed)
{
  StoreTestFixture files;
  const auto makeStore = [&] {
    auto store = std::make_unique<ZPHPersistentStore>(files.model.get(), files.path());
    ZPHError error;
    EXPECT_TRUE(store->open(false, &error)) << error.toString().toStdString();
    return store;
  };
  // Opened, and written to, on a thread that ends; another thread reads
  // and ends last.
  std::unique_ptr<ZPHPersistentStore> store;
  QSemaphore written, reading, readerMayEnd;
  std::thread opener([&] {
    store = makeStore();
    ZPHSQLiteConnection* connection = store->connection();
    EXPECT_TRUE(connection != nullptr && connection->exec("CREATE TABLE old(x); INSERT INTO old VALUES (1);"));
    written.release();
    reading.acquire();
  });
  ASSERT_TRUE(written.tryAcquire(1, 60000));
  std::thread reader([&] {
    ZPHSQLiteConnection* connection = store->connection();
    EXPECT_TRUE(connection != nullptr && connection->exec("SELECT x FROM old;"));
    reading.release();
    readerMayEnd.acquire();
  });
  opener.join();
  // The reader's close writes the log back: held in that write.
  HoldAWriteOf hold(reader.get_id());
  readerMayEnd.release();
  ASSERT_TRUE(hold.held.tryAcquire(1, 60000));

  ZPHTestLogCapture log;
  std::atomic<bool> gone{false};
  std::thread destroyer([&] {
    store.reset();
    gone = true;
  });
  ASSERT_TRUE(ZPHTestWaitUntil(
      [&] {
        return gone.load() || !log.linesContaining(QStringLiteral("connections that ending threads close")).isEmpty();
      },
      60000));
  const bool goneWhileClosing = gone.load();
  const auto makeNewStore = [&] {
    for (const char* suffix : {"", "-wal", "-shm"}) QFile::remove(files.path() + QLatin1String(suffix));
    auto fresh = makeStore();
    ZPHSQLiteConnection* connection = fresh->connection();
    EXPECT_TRUE(connection != nullptr && connection->exec("CREATE TABLE new(x); INSERT INTO new VALUES (2);"));
    return fresh;
  };
  std::unique_ptr<ZPHPersistentStore> fresh;
  if (goneWhileClosing)
    fresh = makeNewStore();  // before the old close ends
  hold.gate.release();
  reader.join();
  destroyer.join();
  EXPECT_FALSE(goneWhileClosing) << "the store was gone while an ending thread still closed its connection";
  if (!fresh)
    fresh = makeNewStore();

  // The new store's data, read by a new connection.
  qint64 value = 0;
  std::thread later([&] {
    ZPHError error;
    ZPHSQLiteConnection* connection = fresh->connection(&error);
    ASSERT_NE(connection, nullptr) << error.toString().toStdString();
    ZPHSQLiteStatement statement = connection->prepare("SELECT x FROM new");
    if (statement.isValid() && statement.step() == SQLITE_ROW)
      value = statement.columnInt64(0);
  });
  later.join();
  EXPECT_EQ(value, 2);
}
