#include "platform/ZPHMainThread.h"
#include "platform/ZPHNotificationCenter.h"
#include "store/CBDataController.h"
#include "store/entities/ArticleMetadata.h"
#include "store/entities/CBDataArticle.h"
#include "store/entities/CBFeed.h"
#include "store/entities/CBFolder.h"
#include "store/graph/ZPHManagedObjectContext.h"
#include "store/operations/ZPHMarkAllAsReadOperation.h"
#include "store/operations/ZPHMarkAsFlaggedOperation.h"
#include "store/operations/ZPHMarkAsReadOperation.h"
#include "store/operations/ZPHMarkFeedAsFavoriteOperation.h"
#include "store/tree/CBTreeNode.h"
#include "support/ZPHTestApplicationDelegate.h"
#include "support/ZPHTestSupport.h"

#include <QtCore/QMutex>
#include <QtCore/QSet>
#include <QtCore/QTimeZone>

#include <gtest/gtest.h>

#include <memory>

namespace {

// Notifications of one name, recorded on the thread that delivers them.
struct Recorder {
  explicit Recorder(const QString& name)
  {
    token = ZPHNotificationCenter::defaultCenter().addObserver(name, QVariant(), [this](const ZPHNotification& n) {
      QMutexLocker locker(&mutex);
      notifications.append(n);
      onMainThread.append(ZPHMainThread::isMainThread());
    });
  }
  qsizetype count()
  {
    QMutexLocker locker(&mutex);
    return notifications.size();
  }
  QMutex mutex;
  QList<ZPHNotification> notifications;
  QList<bool> onMainThread;
  ZPHObserverToken token;
};

// A source-list object that is neither a feed nor a folder.
class OtherObject : public CBTreeNodeRepresentedObject {
public:
  QString nameForDisplay() const override { return QStringLiteral("Other"); }
  void setNameForDisplay(const QString&) override {}
};

QDateTime at(int day) { return QDateTime(QDate(2026, 3, day), QTime(12, 0), QTimeZone::utc()); }

// A real store in the delegate's data folder with its store queue; the
// delegate keeps the undo stack and queues the operations.
class UndoableOperationsTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    delegate.useDataController(&controller);
    ZPHError error;
    ASSERT_TRUE(controller.setupCoreDataStackWithClass({}, true, &error)) << error.toString().toStdString();
    main = delegate.mainThreadManagedObjectContext();
  }

  void TearDown() override { settle(); }

  // Serves the main thread until the store queue ran dry (its saves are
  // merged into the main context by then) and its main-thread posts arrived.
  void settle()
  {
    ASSERT_TRUE(ZPHTestWaitUntil([&] { return !controller.coreDataQueueHasOperations(); }, 30000));
    ZPHTestSpinEventLoop(30);
  }

  CBFolder* addFolder(const QString& name) { return CBFolder::createFolderWithName(name, main); }

  CBFeed* addFeed(const QString& url, CBFolder* folder = nullptr)
  {
    CBFeed* feed = CBFeed::insertFeedWithURL(QUrl(url), main);
    feed->setGuid(QStringLiteral("guid-") + url);
    feed->setParent(folder);
    return feed;
  }

  // With a state, its metadata too (keyed by the best link).
  CBDataArticle* addArticle(const QString& feedURL, const QString& link, std::optional<bool> read = std::nullopt,
                            bool flagged = false)
  {
    CBDataArticle* article = CBDataArticle::insertArticleWithFeedURL(QUrl(feedURL), main);
    article->setGuid(link);
    article->setLink(link);
    article->setDateForDisplay(at(1));
    if (read) {
      ArticleMetadata* metadata = ArticleMetadata::insertArticleMetadataForGUID(link, main);
      metadata->setRead(*read);
      metadata->setFlagged(flagged);
      article->setMetadata(metadata);
    }
    return article;
  }

  // Saves, then stores the feeds' unread counts (a folder marks the feeds
  // with unread articles).
  void saveCounting(const QList<CBFeed*>& feeds)
  {
    ASSERT_TRUE(main->save());
    for (CBFeed* feed : feeds) feed->updateUnreadCount();
    ASSERT_TRUE(main->save());
  }

  static QList<bool> readStates(const QList<CBDataArticle*>& articles)
  {
    QList<bool> states;
    for (const CBDataArticle* article : articles) states.append(article->read());
    return states;
  }

  ZPHTestApplicationDelegate delegate;
  CBDataController controller;
  ZPHManagedObjectContext* main = nullptr;
};

}  // namespace

TEST_F(UndoableOperationsTest, MarkAllAsReadUndoesToTheArticlesThatWereUnreadAndRedoesUnderOneName)
{
  const QString url = QStringLiteral("https://a.example/rss");
  CBFeed* feed = addFeed(url);
  const QList<CBDataArticle*> articles{addArticle(url, QStringLiteral("https://a.example/1"), false),
                                       addArticle(url, QStringLiteral("https://a.example/2"), true),
                                       addArticle(url, QStringLiteral("https://a.example/3"), false)};
  saveCounting({feed});
  const QList<bool> before = readStates(articles);

  delegate.performUndoableOperation(ZPHMarkAllAsReadOperation::operationWithTreeNodeRepresentedObjects({feed}, true));
  settle();
  EXPECT_EQ(readStates(articles), QList<bool>({true, true, true}));
  EXPECT_EQ(delegate.undoActionName(), QStringLiteral("Mark All As Read"));
  EXPECT_FALSE(delegate.canRedo());
  // The articles that changed go to the sync server.
  EXPECT_TRUE(articles[0]->needsSync());
  EXPECT_TRUE(articles[2]->needsSync());

  delegate.undo();
  settle();
  EXPECT_EQ(readStates(articles), before);  // the one read before stays read
  EXPECT_FALSE(delegate.canUndo());
  EXPECT_EQ(delegate.redoActionName(), QStringLiteral("Mark All As Read"));

  delegate.redo();
  settle();
  EXPECT_EQ(readStates(articles), QList<bool>({true, true, true}));
  EXPECT_EQ(delegate.undoActionName(), QStringLiteral("Mark All As Read"));
  EXPECT_FALSE(delegate.canRedo());

  delegate.undo();
  settle();
  EXPECT_EQ(readStates(articles), before);
  EXPECT_EQ(delegate.redoActionName(), QStringLiteral("Mark All As Read"));
}

TEST_F(UndoableOperationsTest, ActionNamesFollowTheOriginalTargetStateThroughInverses)
{
  using Make = std::function<std::shared_ptr<ZPHUndoableStateOperation>(const QList<ZPHManagedObjectID>&, bool)>;
  struct Case {
    Make make;
    const char* whenSet;
    const char* whenCleared;
  };
  const QList<Case> cases{
      {[](auto& ids, bool state) {
         return ZPHMarkAllAsReadOperation::operationWithArticleManagedObjectIds(ids, state);
       },
       "Mark All As Read", "Mark All As Unread"},
      {[](auto& ids, bool state) { return ZPHMarkAsReadOperation::operationWithArticleManagedObjectIds(ids, state); },
       "Mark As Read", "Mark As Unread"},
      {[](auto& ids, bool state) {
         return ZPHMarkAsFlaggedOperation::operationWithArticleManagedObjectIds(ids, state);
       },
       "Bookmark", "Unbookmark"},
  };
  CBDataArticle* article = addArticle(QStringLiteral("https://a.example/rss"), QStringLiteral("https://a.example/1"));
  ASSERT_TRUE(main->save());
  const QList<ZPHManagedObjectID> ids{article->objectID()};

  for (const Case& c : cases) {
    for (const bool state : {true, false}) {
      SCOPED_TRACE(std::string(c.whenSet) + (state ? " set" : " cleared"));
      const QString name = QString::fromUtf8(state ? c.whenSet : c.whenCleared);
      const std::shared_ptr<ZPHUndoableStateOperation> operation = c.make(ids, state);
      EXPECT_EQ(operation->actionName(), name);
      EXPECT_EQ(operation->originalTargetState(), state);

      const auto inverse = std::dynamic_pointer_cast<ZPHUndoableStateOperation>(operation->inverseOperation());
      ASSERT_NE(inverse, nullptr);
      EXPECT_EQ(typeid(*inverse), typeid(*operation));
      EXPECT_EQ(inverse->targetState(), !state);
      EXPECT_EQ(inverse->originalTargetState(), state);
      EXPECT_EQ(inverse->managedObjectIds(), ids);
      EXPECT_EQ(inverse->actionName(), name);

      const auto again = std::dynamic_pointer_cast<ZPHUndoableStateOperation>(inverse->inverseOperation());
      ASSERT_NE(again, nullptr);
      EXPECT_EQ(again->targetState(), state);
      EXPECT_EQ(again->actionName(), name);
    }
  }
}

TEST_F(UndoableOperationsTest, MarkAllOverAFolderAndAFeedInsideItMarksEachArticleOnce)
{
  CBFolder* folder = addFolder(QStringLiteral("News"));
  const QString a = QStringLiteral("https://a.example/rss");
  const QString b = QStringLiteral("https://b.example/rss");
  const QString suspendedURL = QStringLiteral("https://s.example/rss");
  const QString goneURL = QStringLiteral("https://g.example/rss");
  CBFeed* feedA = addFeed(a, folder);
  CBFeed* feedB = addFeed(b, folder);
  CBFeed* suspended = addFeed(suspendedURL, folder);
  suspended->setSuspended(true);
  CBFeed* gone = addFeed(goneURL);
  const QList<CBDataArticle*> unread{addArticle(a, QStringLiteral("https://a.example/1"), false),
                                     addArticle(a, QStringLiteral("https://a.example/2"), false),
                                     addArticle(b, QStringLiteral("https://b.example/1"), false)};
  addArticle(a, QStringLiteral("https://a.example/read"), true);
  CBDataArticle* ofSuspended = addArticle(suspendedURL, QStringLiteral("https://s.example/1"), false);
  CBDataArticle* ofGone = addArticle(goneURL, QStringLiteral("https://g.example/1"), false);
  saveCounting({feedA, feedB, suspended, gone});
  // Deleted meanwhile (not saved yet): left out.
  CBFeed::deleteFeed(gone, false, main);

  OtherObject other;
  const QList<ZPHRepresentedObject> selection{folder, feedA, gone, &other};
  const QList<ZPHManagedObjectID> collected =
      zph_managedObjectIDsOfUnreadArticlesInTreeNodeRepresentedObjects(selection);
  QSet<ZPHManagedObjectID> expected;
  for (const CBDataArticle* article : unread) expected.insert(article->objectID());
  EXPECT_EQ(QSet<ZPHManagedObjectID>(collected.begin(), collected.end()), expected);
  EXPECT_EQ(collected.size(), expected.size());
  EXPECT_TRUE(zph_managedObjectIDsOfUnreadArticlesInTreeNodeRepresentedObjects({}).isEmpty());
  EXPECT_TRUE(zph_managedObjectIDsOfUnreadArticlesInTreeNodeRepresentedObjects({&other}).isEmpty());

  // Another part of the selection (a smart feed) may name the same articles
  // again: each is still marked, and announced, once.
  Recorder recorder(CBMultipleArticlesDidChangeReadStatusNotification);
  delegate.performUndoableOperation(
      ZPHMarkAllAsReadOperation::operationWithArticleManagedObjectIds(collected + collected, true));
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return recorder.count() == 1; }));
  EXPECT_TRUE(recorder.onMainThread.first());
  const QVariantList announced = recorder.notifications.first().userInfo.value(ZPHArticlesKey).toList();
  EXPECT_EQ(announced.size(), expected.size());
  settle();
  EXPECT_EQ(readStates(unread), QList<bool>({true, true, true}));
  EXPECT_FALSE(ofSuspended->read());
  EXPECT_FALSE(ofGone->read());
}

TEST_F(UndoableOperationsTest, BookmarkingAnArticleDeletedMeanwhileDoesNothing)
{
  const QString url = QStringLiteral("https://a.example/rss");
  CBDataArticle* kept = addArticle(url, QStringLiteral("https://a.example/kept"), false);
  CBDataArticle* doomed = addArticle(url, QStringLiteral("https://a.example/doomed"), false);
  ASSERT_TRUE(main->save());
  const auto operation =
      ZPHMarkAsFlaggedOperation::operationWithArticleManagedObjectIds({doomed->objectID(), kept->objectID()}, true);
  CBDataArticle::deleteArticles({doomed}, true, main);
  ASSERT_TRUE(main->save());

  Recorder flagged(CBDataArticleFlaggedStatusDidChangeNotification);
  delegate.performUndoableOperation(operation);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return flagged.count() == 1; }));
  settle();
  EXPECT_EQ(flagged.count(), 1);
  EXPECT_EQ(flagged.notifications.first().object.value<ZPHManagedObjectID>(), kept->objectID());
  EXPECT_TRUE(kept->flagged());
  // No bookmark appeared for the deleted article's link.
  EXPECT_EQ(ArticleMetadata::findExistingArticleMetadataWithGUID(QStringLiteral("https://a.example/doomed"), main),
            nullptr);
  EXPECT_TRUE(CBDataArticle::articlesFlaggedWithSortDescriptor(std::nullopt, main) == QList<CBDataArticle*>{kept});
}

TEST_F(UndoableOperationsTest, FavoriteOperationTakesOnlySavedFeeds)
{
  CBFolder* folder = addFolder(QStringLiteral("News"));
  CBFolder* inner = addFolder(QStringLiteral("Inner"));
  CBFeed* feed = addFeed(QStringLiteral("https://a.example/rss"), folder);
  ASSERT_TRUE(main->save());
  CBFeed* unsaved = addFeed(QStringLiteral("https://b.example/rss"));

  EXPECT_EQ(ZPHMarkFeedAsFavoriteOperation::favoriteOperationWithFeedsToFavorite({}, true), nullptr);
  EXPECT_EQ(ZPHMarkFeedAsFavoriteOperation::favoriteOperationWithFeedsToFavorite({folder, inner}, true), nullptr);
  EXPECT_EQ(ZPHMarkFeedAsFavoriteOperation::favoriteOperationWithFeedsToFavorite({unsaved}, true), nullptr);
  const auto operation =
      ZPHMarkFeedAsFavoriteOperation::favoriteOperationWithFeedsToFavorite({folder, feed, unsaved}, false);
  ASSERT_NE(operation, nullptr);
  EXPECT_EQ(operation->objectIDsToFavorite(), QList<ZPHManagedObjectID>{feed->objectID()});
  EXPECT_FALSE(operation->targetState());
}

TEST_F(UndoableOperationsTest, ArticleEntryPointsReachTheStoreThroughTheUndoStack)
{
  const QString url = QStringLiteral("https://a.example/rss");
  CBFeed* feed = addFeed(url);
  // No metadata of its own; a bookmark kept for its link from an earlier
  // copy of the article is found, not duplicated.
  CBDataArticle* article = addArticle(url, QStringLiteral("https://a.example/1"));
  ArticleMetadata* kept = ArticleMetadata::insertArticleMetadataForGUID(QStringLiteral("https://a.example/1"), main);
  kept->setFlagged(true);
  CBDataArticle* other = addArticle(url, QStringLiteral("https://a.example/2"), false);
  saveCounting({feed});
  ASSERT_EQ(feed->unreadCount(), 1u);

  Recorder read(CBDataArticleReadStatusDidChangeNotification);
  article->markAsRead(true);
  EXPECT_EQ(delegate.undoActionName(), QStringLiteral("Mark As Read"));
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return read.count() == 1; }));
  EXPECT_TRUE(read.onMainThread.first());
  EXPECT_EQ(read.notifications.first().object.value<ZPHManagedObject*>(), article);
  EXPECT_TRUE(article->read());
  EXPECT_TRUE(article->needsSync());
  ASSERT_NE(article->metadata(), nullptr);
  EXPECT_EQ(article->metadata()->objectID(), kept->objectID());
  EXPECT_TRUE(article->flagged());

  CBDataArticle::markArticles({article, other}, false);
  EXPECT_EQ(delegate.undoActionName(), QStringLiteral("Mark As Unread"));
  settle();
  EXPECT_FALSE(article->read());
  EXPECT_EQ(feed->unreadCount(), 2u);  // recounted on the store queue
  EXPECT_EQ(read.count(), 2);          // only the article that changed

  Recorder flagged(CBDataArticleFlaggedStatusDidChangeNotification);
  CBDataArticle::markArticlesAsFlagged({article, other}, false);
  other->markAsFlagged(true);
  EXPECT_EQ(delegate.undoActionName(), QStringLiteral("Bookmark"));
  settle();
  EXPECT_FALSE(article->flagged());
  EXPECT_TRUE(other->flagged());
  EXPECT_EQ(flagged.count(), 2);
  for (const bool onMain : flagged.onMainThread) EXPECT_TRUE(onMain);

  delegate.undo();
  settle();
  EXPECT_FALSE(other->flagged());
  EXPECT_EQ(delegate.undoActionName(), QStringLiteral("Unbookmark"));
  EXPECT_EQ(delegate.redoActionName(), QStringLiteral("Bookmark"));
}

TEST_F(UndoableOperationsTest, ArticleEntryPointsSkipDeletedAndUnsavedArticles)
{
  const QString url = QStringLiteral("https://a.example/rss");
  CBDataArticle* deleted = addArticle(url, QStringLiteral("https://a.example/1"), false);
  ASSERT_TRUE(main->save());
  CBDataArticle::deleteArticles({deleted}, true, main);
  CBDataArticle* unsaved = addArticle(url, QStringLiteral("https://a.example/2"), false);

  int handed = 0;
  delegate.onUndoableOperation = [&](std::shared_ptr<ZPHUndoableOperation>) { ++handed; };
  CBDataArticle::markArticles({deleted, unsaved}, true);
  CBDataArticle::markArticlesAsFlagged({deleted, unsaved}, true);
  unsaved->markAsRead(true);
  CBDataArticle::markArticles({}, true);
  EXPECT_EQ(handed, 0);
  EXPECT_FALSE(delegate.canUndo());
}

TEST_F(UndoableOperationsTest, FeedEntryPointsMarkFavoritesAndAnnounceThemOnTheMainThread)
{
  CBFeed* a = addFeed(QStringLiteral("https://a.example/rss"));
  CBFeed* b = addFeed(QStringLiteral("https://b.example/rss"));
  ASSERT_TRUE(main->save());
  Recorder changed(CBFeedFavoriteDidChangeNotification);

  CBFeed::markFeeds({a, b}, true);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return changed.count() == 1; }));
  EXPECT_TRUE(changed.onMainThread.first());
  EXPECT_EQ(changed.notifications.first().object.toString(), QStringLiteral("CBFeed"));
  EXPECT_TRUE(a->favorite());
  EXPECT_TRUE(b->favorite());

  b->markAsFavorite(false);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return changed.count() == 2; }));
  EXPECT_TRUE(a->favorite());
  EXPECT_FALSE(b->favorite());
  EXPECT_EQ(CBFeed::favoriteFeedsWithMOC(main), QList<CBFeed*>{a});
  EXPECT_FALSE(delegate.canUndo());  // not an undoable change
}

// Marking by identifiers writes the states in the store directly and keeps
// the rules of marking one article at a time: an article without a state
// record gets one (the kept record of its best link, if any), only the
// articles that change are marked for sync, the feeds' last mark-all-read
// date rises to their newest listed article, gone articles are skipped, and
// the announcement names the feeds whose articles changed.
TEST_F(UndoableOperationsTest, MarkingByIdentifiersKeepsTheRulesOfMarkingOneByOne)
{
  const QString a = QStringLiteral("https://a.example/rss");
  const QString b = QStringLiteral("https://b.example/rss");
  CBFeed* feedA = addFeed(a);
  CBFeed* feedB = addFeed(b);
  CBDataArticle* unread = addArticle(a, QStringLiteral("https://a.example/1"), false);
  unread->setDateForDisplay(at(9));
  CBDataArticle* alreadyRead = addArticle(b, QStringLiteral("https://b.example/1"), true);
  CBDataArticle* withoutRecord = addArticle(a, QStringLiteral("https://a.example/2"));
  CBDataArticle* withoutAnyRecord = addArticle(a, QStringLiteral("https://a.example/3"));
  CBDataArticle* gone = addArticle(a, QStringLiteral("https://a.example/gone"), false);
  // A state kept for a link whose article went.
  ArticleMetadata* kept = ArticleMetadata::insertArticleMetadataForGUID(QStringLiteral("https://a.example/2"), main);
  kept->setFlagged(true);
  saveCounting({feedA, feedB});
  const QDateTime readModified = alreadyRead->modDate();
  const QList<ZPHManagedObjectID> ids{unread->objectID(), alreadyRead->objectID(), withoutRecord->objectID(),
                                      withoutAnyRecord->objectID(), gone->objectID()};
  main->deleteObject(gone);
  ASSERT_TRUE(main->save());

  Recorder recorder(CBMultipleArticlesDidChangeReadStatusNotification);
  Recorder syncable(ZPHSyncableArticleEventNotification);
  delegate.performUndoableOperation(ZPHMarkAllAsReadOperation::operationWithArticleManagedObjectIds(ids, true));
  settle();
  ASSERT_EQ(recorder.count(), 1);
  EXPECT_GE(syncable.count(), 1);  // the sync hears of the articles to send
  EXPECT_EQ(readStates({unread, alreadyRead, withoutRecord, withoutAnyRecord}), QList<bool>({true, true, true, true}));
  EXPECT_TRUE(unread->needsSync());
  EXPECT_TRUE(unread->modDate().isValid());
  EXPECT_FALSE(alreadyRead->needsSync());
  EXPECT_EQ(alreadyRead->modDate(), readModified);
  ASSERT_NE(withoutRecord->metadata(), nullptr);
  EXPECT_EQ(withoutRecord->metadata()->objectID(), kept->objectID());
  EXPECT_TRUE(withoutRecord->flagged());
  ASSERT_NE(withoutAnyRecord->metadata(), nullptr);
  EXPECT_TRUE(withoutAnyRecord->needsSync());
  EXPECT_EQ(feedA->markAllAsReadLastArticleDate(), double(at(9).toSecsSinceEpoch()));
  EXPECT_EQ(feedB->markAllAsReadLastArticleDate(), double(at(1).toSecsSinceEpoch()));
  const ZPHNotification& announced = recorder.notifications.first();
  EXPECT_EQ(announced.userInfo.value(ZPHArticlesKey).toList().size(), 4);
  EXPECT_TRUE(announced.userInfo.value(CBDataArticleReadKey).toBool());
  EXPECT_EQ(announced.userInfo.value(CBDataArticleFeedURLsKey).toStringList(), QStringList{a});
}
