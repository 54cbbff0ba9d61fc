#include "foundation/CBPrefs.h"
#include "platform/ZPHMainThread.h"
#include "platform/ZPHNotificationCenter.h"
#include "platform/ZPHOperation.h"
#include "platform/ZPHUserDefaults.h"
#include "store/CBDataController.h"
#include "store/accounts/CBDataAccount.h"
#include "store/accounts/CBGlobalFeed.h"
#include "store/accounts/ZPHArticleListController.h"
#include "store/entities/ArticleMetadata.h"
#include "store/entities/CBDataArticle.h"
#include "store/entities/CBFeed.h"
#include "store/entities/CBFolder.h"
#include "store/graph/ZPHManagedObjectContext.h"
#include "store/operations/ZPHBatchDeletionOperation.h"
#include "store/operations/ZPHMarkAllAsReadOperation.h"
#include "store/operations/ZPHMarkAsFlaggedOperation.h"
#include "support/ZPHTestApplicationDelegate.h"
#include "support/ZPHTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>

namespace {

// Records what the controller tells.
struct Recorder : ZPHArticleListControllerDelegate {
  int updates = 0;
  // The identifiers the controller held when its first rows arrived.
  QList<QList<ZPHManagedObjectID>> firstRows;
  void articleListControllerDidReceiveFirstArticles(ZPHArticleListController* controller) override
  {
    firstRows.append(ZPHArticleListController::objectIDsOfRows(controller->articles()));
    EXPECT_TRUE(controller->isUpdating());
  }
  QList<QList<ZPHManagedObjectID>> removals;
  QList<QList<qsizetype>> stateChanges;
  void articleListControllerDidUpdateArticles(ZPHArticleListController*) override { ++updates; }
  void articleListControllerDidRemoveArticles(ZPHArticleListController*,
                                              const QList<ZPHManagedObjectID>& removed) override
  {
    removals.append(removed);
  }
  void articleListControllerDidChangeStates(ZPHArticleListController*, const QList<qsizetype>& indexes) override
  {
    stateChanges.append(indexes);
  }
};

// A real store with its store queue; feeds and articles made in the main
// context.
class ArticleListControllerTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    ZPHUserDefaults::standardUserDefaults().removeObject(ZPHHideReadArticles);
    delegate.useDataController(&data);
    ZPHError error;
    ASSERT_TRUE(data.setupCoreDataStackWithClass({}, false, &error)) << error.toString().toStdString();
    data.completeSetup();
    main = data.mainThreadManagedObjectContext();
    controller.setDelegate(&recorder);
  }
  void TearDown() override
  {
    ZPHUserDefaults::standardUserDefaults().removeObject(ZPHHideReadArticles);
    settle();
  }

  void settle()
  {
    ASSERT_TRUE(ZPHTestWaitUntil([&] { return !data.coreDataQueueHasOperations(); }, 20000));
    ZPHTestSpinEventLoop(30);
  }

  CBFeed* feed(const QString& name, CBFolder* folder = nullptr)
  {
    CBFeed* feed = CBFeed::insertFeedWithURL(QUrl(QStringLiteral("http://127.0.0.1:9/%1.xml").arg(name)), main);
    if (folder != nullptr)
      data.localAccount()->addFeedAtEndOfFolder(feed, folder);
    else
      data.localAccount()->addFeed(feed);
    return feed;
  }
  // Article `name` of the feed, `day` days into March 2026.
  CBDataArticle* article(CBFeed* feed, const QString& name, int day, bool read = false, bool flagged = false)
  {
    CBDataArticle* article = CBDataArticle::insertArticleWithFeedURL(feed->URL(), main);
    const QString link = QStringLiteral("http://127.0.0.1:9/item/") + name;
    article->setGuid(link);
    article->setLink(link);
    article->setTitle(name);
    article->setDateForDisplay(QDateTime(QDate(2026, 3, day), QTime(12, 0), Qt::UTC));
    ArticleMetadata* metadata = ArticleMetadata::insertArticleMetadataForGUID(link, main);
    metadata->setRead(read);
    metadata->setFlagged(flagged);
    article->setMetadata(metadata);
    return article;
  }
  void save() { ASSERT_TRUE(main->save()); }

  // Updates for the selection and waits for the answer; the titles.
  QStringList list(const QList<ZPHRepresentedObject>& selection, const QList<ZPHManagedObjectID>& keep = {})
  {
    const int before = recorder.updates;
    controller.setFeedsAndFolders(selection);
    controller.updateArticles(keep);
    EXPECT_TRUE(ZPHTestWaitUntil([&] { return recorder.updates > before; }, 20000));
    return titles();
  }
  QStringList titles()
  {
    QStringList titles;
    for (qsizetype i = 0; i < controller.count(); ++i) {
      CBDataArticle* article = controller.articleAtIndex(i);
      titles.append(article ? article->title() : QStringLiteral("<gone>"));
    }
    return titles;
  }

  ZPHTestApplicationDelegate delegate;
  CBDataController data;
  ZPHManagedObjectContext* main = nullptr;
  Recorder recorder;
  ZPHArticleListController controller;
};

}  // namespace

TEST_F(ArticleListControllerTest, FoldersListUnreadArticlesOnceAndFeedsFollowHideRead)
{
  CBFolder* folder = data.localAccount()->addFolderWithName(QStringLiteral("News"));
  CBFeed* a = feed(QStringLiteral("a"), folder);
  CBFeed* b = feed(QStringLiteral("b"), folder);
  CBFeed* c = feed(QStringLiteral("c"));
  article(a, QStringLiteral("a1"), 1);
  article(a, QStringLiteral("a2"), 4, true);
  article(b, QStringLiteral("b1"), 2);
  article(b, QStringLiteral("b2"), 3, true);
  article(c, QStringLiteral("c1"), 5);
  CBDataArticle* markedForDeletion = article(c, QStringLiteral("c2"), 6);
  markedForDeletion->setMarkedForDeletion(true);
  save();

  EXPECT_EQ(list({folder}), (QStringList{"b1", "a1"}));
  // The feed selected with its folder: all of its articles, once.
  EXPECT_EQ(list({folder, a}), (QStringList{"a2", "a1", "b1"}));
  EXPECT_EQ(list({c, a}), (QStringList{"c1", "a2", "a1"}));
  EXPECT_EQ(list({}), QStringList());

  ZPHUserDefaults::standardUserDefaults().setBool(ZPHHideReadArticles, true);
  EXPECT_EQ(list({a}), QStringList{"a1"});
  // A kept read article stays, sorted into place; one listed already is not
  // doubled.
  const QList<ZPHManagedObjectID> keep{
      CBDataArticle::fetchArticleWithBestLink(QStringLiteral("http://127.0.0.1:9/item/a2"), main)->objectID()};
  EXPECT_EQ(list({a}, keep), (QStringList{"a2", "a1"}));
  // With one appended, the whole list is sorted again.
  EXPECT_EQ(list({a, folder}, keep), (QStringList{"a2", "b1", "a1"}));
  EXPECT_EQ(controller.indexOfFirstUnreadArticle(), 1);

  // Oldest first.
  controller.setSortAscending(true);
  EXPECT_EQ(list({folder}), (QStringList{"a1", "b1"}));

  // Smart feeds: Bookmarks and All Unread of every feed.
  ZPHUserDefaults::standardUserDefaults().setInteger(ZPHAllUnreadFeedsSelection, 1);
  controller.setSortAscending(false);
  CBGlobalFeed allUnread(CBGlobalFeedTypeAllUnread);
  EXPECT_EQ(list({&allUnread}), (QStringList{"c1", "b1", "a1"}));
  ZPHUserDefaults::standardUserDefaults().removeObject(ZPHAllUnreadFeedsSelection);
}

TEST_F(ArticleListControllerTest, TheNewestRequestWinsAndStatesFollowTheNotifications)
{
  CBFeed* a = feed(QStringLiteral("a"));
  CBFeed* b = feed(QStringLiteral("b"));
  for (int n = 1; n <= 5; ++n) article(a, QStringLiteral("a%1").arg(n), n);
  article(b, QStringLiteral("b1"), 9);
  save();

  // Two requests at once: one answer, the second's.
  controller.setFeedsAndFolders({a});
  controller.updateArticles();
  controller.setFeedsAndFolders({b});
  controller.updateArticles();
  EXPECT_TRUE(controller.isUpdating());
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return !controller.isUpdating(); }, 20000));
  settle();
  EXPECT_EQ(recorder.updates, 1);
  EXPECT_EQ(titles(), QStringList{"b1"});

  EXPECT_EQ(list({a}), (QStringList{"a5", "a4", "a3", "a2", "a1"}));
  // A bulk mark of three, and its undo: rows by index, no article loaded.
  const QList<ZPHManagedObjectID> ids = ZPHArticleListController::objectIDsOfRows(controller.articles());
  recorder.stateChanges.clear();
  delegate.performUndoableOperation(
      ZPHMarkAllAsReadOperation::operationWithArticleManagedObjectIds({ids[1], ids[3], ids[4]}, true));
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return !recorder.stateChanges.isEmpty(); }, 20000));
  EXPECT_EQ(recorder.stateChanges.last(), (QList<qsizetype>{1, 3, 4}));
  EXPECT_TRUE(controller.articles()[3].read);
  EXPECT_FALSE(controller.articles()[2].read);
  EXPECT_EQ(controller.indexOfFirstUnreadArticle(), 0);
  delegate.undo();
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return recorder.stateChanges.size() == 2; }, 20000));
  EXPECT_FALSE(controller.articles()[3].read);

  delegate.performUndoableOperation(ZPHMarkAsFlaggedOperation::operationWithArticleManagedObjectIds({ids[2]}, true));
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return controller.articles()[2].flagged; }, 20000));
  EXPECT_TRUE(controller.articleAtIndex(2)->flagged());
}

TEST_F(ArticleListControllerTest, StoreQueueDeletionsNeverWaitForTheMainThreadAndStayGone)
{
  CBFeed* a = feed(QStringLiteral("a"));
  for (int n = 1; n <= 4; ++n) article(a, QStringLiteral("a%1").arg(n), n);
  save();
  ASSERT_EQ(list({a}), (QStringList{"a4", "a3", "a2", "a1"}));
  const ZPHManagedObjectID doomed = controller.articles()[1].objectID;  // a3
  CBDataArticle* loaded = controller.articleAtIndex(1);

  // A deletion on the store queue, as the clean-ups do it, and an operation
  // behind it; the main thread serves only the merges meanwhile.
  std::atomic<bool> next{false};
  data.addCoreDataQueueBlock(
      [&] {
        std::shared_ptr<ZPHManagedObjectContext> context = data.temporaryManagedObjectContext();
        ZPHManagedObject* object = context->existingObjectWithID(doomed);
        context->deleteObject(object);
        ZPHNotificationCenter::defaultCenter().post(
            ZPHWillDeleteCoreDataObjectsInBackgroundNotification, QVariant(),
            {{ZPHManagedObjectObjectIDsKey, QVariant::fromValue(QList<ZPHManagedObjectID>{doomed})}});
        ASSERT_TRUE(context->save());
      },
      {});
  data.addCoreDataQueueBlock(
      [&] {
        next = true;
        ZPHMainThread::wakeWaiter();
      },
      {});
  ZPHMainThread::waitServingSync([&] { return next.load(); });
  EXPECT_TRUE(next.load());
  // The notice has not been handled yet; the article is gone from the
  // main context, and commands see it.
  EXPECT_EQ(controller.count(), 4);
  EXPECT_EQ(loaded->managedObjectContext(), nullptr);
  EXPECT_EQ(controller.articleAtIndex(1), nullptr);
  ZPHTestSpinEventLoop(50);
  EXPECT_EQ(titles(), (QStringList{"a4", "a2", "a1"}));
  ASSERT_EQ(recorder.removals.size(), 1);
  EXPECT_EQ(recorder.removals[0], QList<ZPHManagedObjectID>{doomed});

  // An answer to a request made before a notice leaves the doomed out.
  const ZPHManagedObjectID a1 = controller.articles()[2].objectID;
  controller.updateArticles();
  controller.willDeleteCoreDataObjectsInBackground({a1});
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return !controller.isUpdating(); }, 20000));
  EXPECT_EQ(titles(), (QStringList{"a4", "a2"}));
  // A later request is not filtered any more.
  EXPECT_EQ(list({a}), (QStringList{"a4", "a2", "a1"}));
}

// A long list shows its first rows ahead of the rest: the rows that head
// the whole list, while the update goes on. A short list, or one that keeps
// the selected articles, comes whole at once.
TEST_F(ArticleListControllerTest, ALongListShowsItsFirstRowsAheadOfTheRest)
{
  CBFeed* many = feed(QStringLiteral("many"));
  CBFeed* few = feed(QStringLiteral("few"));
  const int count = ZPHArticleListController::FirstRows + 30;
  for (int i = 0; i < count; ++i) article(many, QStringLiteral("m%1").arg(i), 1 + i % 28);
  CBDataArticle* kept = article(few, QStringLiteral("f0"), 2);
  article(few, QStringLiteral("f1"), 3);
  save();

  list({many});
  ASSERT_EQ(recorder.firstRows.size(), 1);
  const QList<ZPHManagedObjectID> whole = ZPHArticleListController::objectIDsOfRows(controller.articles());
  ASSERT_EQ(whole.size(), count);
  EXPECT_EQ(recorder.firstRows.first(), whole.mid(0, ZPHArticleListController::FirstRows));

  list({few});
  list({many}, {kept->objectID()});
  EXPECT_EQ(recorder.firstRows.size(), 1);
  EXPECT_EQ(controller.count(), count + 1);
}
