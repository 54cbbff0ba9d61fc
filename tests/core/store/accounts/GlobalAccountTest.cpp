#include "foundation/CBDateManager.h"
#include "foundation/CBEventThrottler.h"
#include "foundation/CBPrefs.h"
#include "platform/CBOperation.h"
#include "platform/ZPHNotificationCenter.h"
#include "platform/ZPHUserDefaults.h"
#include "store/CBDataController.h"
#include "store/accounts/CBDataAccount.h"
#include "store/accounts/CBGlobalAccount.h"
#include "store/accounts/CBGlobalFeed.h"
#include "store/accounts/ZPHGlobalFavoritesGroup.h"
#include "store/entities/ArticleMetadata.h"
#include "store/entities/CBDataArticle.h"
#include "store/entities/CBDataModel.h"
#include "store/entities/CBFeed.h"
#include "store/entities/CBFolder.h"
#include "store/graph/ZPHFetchRequest.h"
#include "store/graph/ZPHManagedObjectContext.h"
#include "store/operations/ZPHMarkAllAsReadOperation.h"
#include "store/tree/ZPHModel.h"
#include "store/tree/ZPHSourceListTreeBuilder.h"
#include "support/ZPHTestApplicationDelegate.h"
#include "support/ZPHTestSupport.h"

#include <QtCore/QTimer>

#include <gtest/gtest.h>

#include <algorithm>

namespace {

const QString AURL = QStringLiteral("https://a.example/feed");
const QString BURL = QStringLiteral("https://b.example/feed");
const QString CURL = QStringLiteral("https://c.example/feed");

// The store: folder "Folder" (expanded) holding feed Alpha (A); feed Beta (B,
// a favourite) and feed Gamma (C, no articles) at top level. A and B each
// have an unread and a read article of today and an unread one of
// yesterday. So: 4 unread in all, 2 of them in the favourite; Today 2
// unread over every feed; no bookmarks.
class GlobalAccountTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    ZPHUserDefaults& defaults = ZPHUserDefaults::standardUserDefaults();
    for (const QString& key : {ZPHSubscriptionsSortOrderKey, CBTodayUnreadCountKey, CBFlaggedUnreadCountKey,
                               ZPHAllUnreadFeedsSelection, ZPHTodayFeedSelection, ZPHHideReadArticles,
                               QStringLiteral("ZPHExpandFavorites"), QStringLiteral("sortInGroupsOnly")})
      defaults.removeObject(key);

    // The model exists before the accounts, so its observers are asked
    // before the Favorites group's.
    ZPHModel::sharedModel();
    delegate.useDataController(&controller);
    ZPHError error;
    ASSERT_TRUE(controller.setupCoreDataStackWithClass({}, false, &error)) << error.toString().toStdString();
    main = delegate.mainThreadManagedObjectContext();

    const QDateTime today = CBDateManager::sharedManager()->firstSecondOfToday().addSecs(60);
    const QDateTime yesterday = CBDateManager::sharedManager()->firstSecondOfToday().addSecs(-3600);
    CBFolder* folder = CBFolder::createFolderWithName(QStringLiteral("Folder"), main);
    folder->setExpanded(true);
    CBFeed* a = addFeed(AURL, QStringLiteral("Alpha"), folder);
    CBFeed* b = addFeed(BURL, QStringLiteral("Beta"), nullptr);
    b->setFavorite(true);
    b->setChildindex(1);
    CBFeed* c = addFeed(CURL, QStringLiteral("Gamma"), nullptr);
    c->setChildindex(2);
    for (CBFeed* feed : {a, b}) {
      const QString prefix = feed == a ? QStringLiteral("a-") : QStringLiteral("b-");
      addArticle(feed, prefix + QStringLiteral("today-unread"), today, false);
      addArticle(feed, prefix + QStringLiteral("today-read"), today, true);
      addArticle(feed, prefix + QStringLiteral("yesterday-unread"), yesterday, false);
    }
    ASSERT_TRUE(main->save());
    aID = a->objectID();
    bID = b->objectID();
    cID = c->objectID();
    folderID = folder->objectID();

    controller.completeSetup();
    account = controller.localAccount();
    global = controller.globalAccount();
    ASSERT_NE(account, nullptr);
    ASSERT_NE(global, nullptr);
    builder = std::make_unique<ZPHSourceListTreeBuilder>(&controller);
    builder->rebuildTree();
    ZPHModel::sharedModel()->updateHasFavoriteFeeds();
    ASSERT_TRUE(waitFor([&] {
      return account->unreadCount() == 4 && global->todayFeed()->unreadCount() == 2 &&
             global->favoritesGroup()->unreadCount() == 2;
    }));
    drain();
  }

  void TearDown() override
  {
    drain();
    builder.reset();
  }

  CBFeed* addFeed(const QString& url, const QString& name, CBFolder* folder)
  {
    CBFeed* feed = CBFeed::insertFeedWithURL(QUrl(url), main);
    feed->setGuid(QStringLiteral("guid-") + url);
    feed->setFeedSpecifiedName(name);
    if (folder != nullptr) {
      feed->setParent(folder);
      feed->setParentguid(folder->guid());
    }
    return feed;
  }

  void addArticle(CBFeed* feed, const QString& title, const QDateTime& date, bool read)
  {
    const QString link = feed->url() + QStringLiteral("/") + title;
    CBDataArticle* article = CBDataArticle::insertArticleWithFeedURL(feed->URL(), main);
    article->setGuid(link);
    article->setLink(link);
    article->setTitle(title);
    article->setDateForDisplay(date);
    ArticleMetadata* metadata = ArticleMetadata::insertArticleMetadataForGUID(article->bestLink(), main);
    metadata->setRead(read);
    article->setMetadata(metadata);
  }

  bool waitFor(const std::function<bool()>& done) { return ZPHTestWaitUntil(done, 20000); }

  // Until no recount is pending anywhere.
  void drain()
  {
    ASSERT_TRUE(ZPHTestWaitUntilSettled(
        [&] {
          return !controller.coreDataQueueHasOperations() && account->totalUnreadCountEventThrottler()->isIdle() &&
                 !global->todayUnreadCountTimer()->isActive() && !global->flaggedUnreadCountTimer()->isActive();
        },
        20000));
  }

  // Runs `work` in a temporary context on the store queue and waits for it.
  void onStoreQueue(const std::function<void(ZPHManagedObjectContext*)>& work)
  {
    ASSERT_TRUE(delegate.runInTemporaryContextOnStoreQueue(work));
  }

  static CBDataArticle* article(const QString& title, ZPHManagedObjectContext* context)
  {
    const QList<ZPHManagedObject*> found = context->executeFetchRequest(
        ZPHFetchRequest(CBDataEntityNameArticle, ZPHPredicate::equal(QStringLiteral("title"), title)));
    return found.isEmpty() ? nullptr : static_cast<CBDataArticle*>(found.first());
  }

  static QStringList titles(const QList<CBDataArticle*>& articles)
  {
    QStringList result;
    for (const CBDataArticle* a : articles) result.append(a->title());
    result.sort();
    return result;
  }

  // As the favourite operation does it: the mark saved on the store queue,
  // then the announcement on the main thread.
  void markFavorite(const QString& url, bool favorite)
  {
    onStoreQueue([&](ZPHManagedObjectContext* context) {
      CBFeed::feedWithURL(url, context)->setFavorite(favorite);
      ASSERT_TRUE(context->save());
    });
    ZPHNotificationCenter::defaultCenter().postOnMainThread(CBFeedFavoriteDidChangeNotification);
  }

  // Takes away the only favourite (Beta) one way; the flag follows.
  void expectLastFavouriteGoneTurnsTheFlagOff(const std::function<void()>& takeAway, quint64 feedsLeft)
  {
    ZPHModel* model = ZPHModel::sharedModel();
    ASSERT_TRUE(model->hasFavoriteFeeds());
    EXPECT_EQ(model->numberOfFeedsOtherThanGlobalFeeds(), 4u);
    QList<bool> reported;
    QObject context;
    QObject::connect(model, &ZPHModel::hasFavoriteFeedsChanged, &context, [&](bool value) { reported.append(value); });

    takeAway();
    ASSERT_TRUE(waitFor([&] { return !model->hasFavoriteFeeds(); }));
    EXPECT_EQ(reported, QList<bool>{false});
    EXPECT_FALSE(favoritesNode()->hasChildren());
    EXPECT_EQ(model->numberOfFeedsOtherThanGlobalFeeds(), feedsLeft);
  }

  CBNode* node(const ZPHManagedObjectID& id) { return dynamic_cast<CBNode*>(main->existingObjectWithID(id)); }
  CBTreeNode::Pointer favoritesNode() const { return global->favoritesGroup()->treeNode(); }
  quint64 today() const { return global->todayFeed()->unreadCount(); }
  quint64 flagged() const { return global->flaggedFeed()->unreadCount(); }

  ZPHTestApplicationDelegate delegate;
  CBDataController controller;
  std::unique_ptr<ZPHSourceListTreeBuilder> builder;
  ZPHManagedObjectContext* main = nullptr;
  CBDataAccount* account = nullptr;
  CBGlobalAccount* global = nullptr;
  ZPHManagedObjectID aID, bID, cID, folderID;
};

TEST_F(GlobalAccountTest, TheTreeHoldsTheSmartFeedsAboveTheAccount)
{
  EXPECT_EQ(global->identifier(), QStringLiteral("global"));
  EXPECT_EQ(global->accountType(), 1u);
  EXPECT_EQ(CBGlobalAccount::globalAccount(), global);

  const CBTreeNode::List top = builder->tree()->children();
  ASSERT_EQ(top.size(), 2);
  EXPECT_EQ(top[0], global->accountTreeNode());
  EXPECT_EQ(top[1], account->accountTreeNode());
  EXPECT_EQ(builder->localAccountNode(), account->accountTreeNode());
  EXPECT_EQ(builder->treeNodeForAccount(global), top[0]);
  EXPECT_EQ(builder->treeNodeForAccount(account), top[1]);
  for (const CBTreeNode::Pointer& section : top) {
    EXPECT_TRUE(section->isSpecialGroup());
    EXPECT_TRUE(section->expanded());
  }
  EXPECT_EQ(top[0]->title(), QStringLiteral("News Feed"));

  const CBTreeNode::List smart = top[0]->orderedChildren();
  ASSERT_EQ(smart.size(), 4);
  const QStringList names = {QStringLiteral("All Unread"), QStringLiteral("Today"), QStringLiteral("Bookmarks"),
                             QStringLiteral("Favorites")};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(smart[i]->title(), names[i]);
    EXPECT_FALSE(smart[i]->allowsDragging());
    EXPECT_EQ(smart[i], global->childTreeNodes()[i]);
  }
  EXPECT_EQ(static_cast<CBGlobalFeed*>(smart[1]->representedObject())->globalFeedType(), CBGlobalFeedTypeToday);
  EXPECT_TRUE(smart[3]->isGroup());
  EXPECT_FALSE(smart[3]->isSpecialGroup());
  EXPECT_FALSE(smart[3]->expanded());  // "ZPHExpandFavorites" is off

  EXPECT_EQ(builder->treeNodeForFolderName(QStringLiteral("fOLDER"), account)->representedNode(), node(folderID));
  EXPECT_EQ(builder->treeNodeForFolderName(QStringLiteral("Beta"), account), nullptr);  // a feed, not a folder
}

TEST_F(GlobalAccountTest, AFavouriteFeedIsShownUnderFavoritesAndStaysInItsFolder)
{
  int announcements = 0;
  ZPHObserverToken updated = ZPHNotificationCenter::defaultCenter().addObserver(
      ZPHGlobalFavoritesGroupUpdatedChildren, QVariant(), [&](const ZPHNotification&) { ++announcements; });

  markFavorite(AURL, true);
  ASSERT_TRUE(waitFor([&] { return favoritesNode()->numberOfChildren() == 2; }));
  EXPECT_EQ(announcements, 1);
  EXPECT_TRUE(global->favoritesGroup()->containsFeedWithURL(QUrl(AURL)));

  // Found without rebuilding the tree: the change reaches the root's lists.
  const CBTreeNode::List nodes = builder->treeNodesForRepresentedObject(node(aID));
  ASSERT_EQ(nodes.size(), 2);
  const auto underFavorites =
      std::find_if(nodes.begin(), nodes.end(), [&](const auto& n) { return n->parent() == favoritesNode().get(); });
  const auto inFolder = std::find_if(nodes.begin(), nodes.end(), [&](const auto& n) {
    return n->parent() != nullptr && n->parent()->representedNode() == node(folderID);
  });
  ASSERT_NE(underFavorites, nodes.end());
  ASSERT_NE(inFolder, nodes.end());
  EXPECT_EQ(builder->favoriteCounterPartToTreeNode(underFavorites->get()), *inFolder);
  EXPECT_EQ(builder->favoriteCounterPartToTreeNode(inFolder->get()), *underFavorites);

  // No counterpart for a feed that is no favourite, nor for a folder.
  const CBTreeNode::List gamma = builder->treeNodesForRepresentedObject(node(cID));
  ASSERT_EQ(gamma.size(), 1);
  EXPECT_EQ(builder->favoriteCounterPartToTreeNode(gamma.first().get()), nullptr);
  EXPECT_EQ(
      builder->favoriteCounterPartToTreeNode(builder->treeNodesForRepresentedObject(node(folderID)).first().get()),
      nullptr);

  // Favourites are counted under Favorites and in the account.
  ZPHModel::sharedModel()->updateHasFeedsOtherThanGlobalFeeds();
  EXPECT_EQ(ZPHModel::sharedModel()->numberOfFeedsOtherThanGlobalFeeds(), 5u);
}

TEST_F(GlobalAccountTest, UnmarkingTheLastFavouriteTurnsHasFavoriteFeedsOff)
{
  // The favourite change alone leaves the feed count to the next recount.
  expectLastFavouriteGoneTurnsTheFlagOff([&] { markFavorite(BURL, false); }, 4u);
}

TEST_F(GlobalAccountTest, DeletingTheLastFavouriteTurnsHasFavoriteFeedsOff)
{
  expectLastFavouriteGoneTurnsTheFlagOff(
      [&] {
        // As the source list does: both nodes leave the tree, then the
        // account deletes the feed.
        for (const CBTreeNode::Pointer& n : builder->treeNodesForRepresentedObject(node(bID)))
          n->detachFromParentInvalidatingRecursively(false);
        account->deleteNodes({node(bID)});
      },
      2u);
}

TEST_F(GlobalAccountTest, NextNodeWithACountSkipsSectionsAndExpandedFoldersAndStopsAtTheEnd)
{
  ASSERT_EQ(node(folderID)->countForDisplay(), 2u);
  ASSERT_EQ(flagged(), 0u);
  // Rows: News Feed, All Unread 4, Today 2, Bookmarks 0, Favorites 2
  // (collapsed), All Sites 4, Beta 2, Folder 2 (expanded), Alpha 2, Gamma 0.
  EXPECT_EQ(builder->firstTreeNodeWithCountForDisplay()->title(), QStringLiteral("All Unread"));

  QStringList walked;
  CBTreeNode::Pointer at = builder->tree()->children().first();
  while ((at = builder->treeNodeWithCountForDisplayAfter(at.get())) != nullptr) walked.append(at->title());
  EXPECT_EQ(walked, (QStringList{QStringLiteral("All Unread"), QStringLiteral("Today"), QStringLiteral("Favorites"),
                                 QStringLiteral("Beta"), QStringLiteral("Alpha")}));

  // A collapsed folder is a stop of its own; its feeds are no longer rows.
  const CBTreeNode::Pointer folder = builder->treeNodesForRepresentedObject(node(folderID)).first();
  const CBTreeNode::Pointer alpha = builder->treeNodesForRepresentedObject(node(aID)).first();
  const CBTreeNode::Pointer beta = builder->treeNodesForRepresentedObject(node(bID)).last();
  ASSERT_EQ(beta->parent(), account->accountTreeNode().get());
  folder->setExpanded(false);
  EXPECT_EQ(builder->treeNodeWithCountForDisplayAfter(beta.get()), folder);
  EXPECT_EQ(builder->treeNodeWithCountForDisplayAfter(folder.get()), nullptr);  // Gamma has nothing unread
  EXPECT_EQ(builder->treeNodeWithCountForDisplayAfter(alpha.get()), nullptr);   // not a row now
}

TEST_F(GlobalAccountTest, TodayListsWhatTheSettingsChoose)
{
  struct Case {
    int selection;
    bool hideRead;
    QStringList all;
    QStringList unread;
  };
  const QStringList favUnread = {QStringLiteral("b-today-unread")};
  const QStringList everyUnread = {QStringLiteral("a-today-unread"), QStringLiteral("b-today-unread")};
  const Case cases[] = {
      {0, true, favUnread, favUnread},
      {0, false, {QStringLiteral("b-today-read"), QStringLiteral("b-today-unread")}, favUnread},
      {1, true, everyUnread, everyUnread},
      {1,
       false,
       {QStringLiteral("a-today-read"), QStringLiteral("a-today-unread"), QStringLiteral("b-today-read"),
        QStringLiteral("b-today-unread")},
       everyUnread},
  };
  ZPHUserDefaults& defaults = ZPHUserDefaults::standardUserDefaults();
  CBGlobalFeed* todayFeed = global->todayFeed();
  for (const Case& c : cases) {
    SCOPED_TRACE(QStringLiteral("selection %1, hide read %2").arg(c.selection).arg(c.hideRead).toStdString());
    defaults.setInteger(ZPHTodayFeedSelection, c.selection);
    defaults.setBool(ZPHHideReadArticles, c.hideRead);
    EXPECT_EQ(titles(todayFeed->fetchArticlesWithSortDescriptor(std::nullopt, main)), c.all);
    EXPECT_EQ(titles(todayFeed->fetchUnreadArticlesWithSortDescriptor(std::nullopt, main)), c.unread);
    EXPECT_EQ(titles(CBDataArticle::articlesWithPredicate(
                  CBGlobalFeed::predicateForTodaysArticlesWithSortDescriptor(std::nullopt, main), std::nullopt, main)),
              titles(CBDataArticle::articlesWithPredicate(
                  c.selection == 0 ? CBDataArticle::predicateForArticlesPublishedTodayInFavoriteFeedsWithMoc(main)
                                   : CBDataArticle::predicateForArticlesPublishedTodayWithMoc(main),
                  std::nullopt, main)));
  }

  // The Today recount follows the same choice.
  defaults.setInteger(ZPHTodayFeedSelection, 0);
  global->scheduleUpdateForTodayUnreadCount();
  EXPECT_TRUE(waitFor([&] { return today() == 1; }));
}

TEST_F(GlobalAccountTest, TodayAndBookmarksFollowSingleAndBulkChanges)
{
  struct Step {
    const char* name;
    std::function<void(ZPHManagedObjectContext*)> change;
    quint64 today;
    quint64 flagged;
  };
  const auto articles = [](const QStringList& names, ZPHManagedObjectContext* context) {
    QList<CBDataArticle*> list;
    for (const QString& name : names) list.append(article(name, context));
    return list;
  };
  const Step steps[] = {
      {"bookmark an unread article",
       [](ZPHManagedObjectContext* c) {
         article(QStringLiteral("a-today-unread"), c)->operation_only_markAsFlagged(true);
       },
       2, 1},
      {"read a single article of today",
       [](ZPHManagedObjectContext* c) {
         article(QStringLiteral("b-today-unread"), c)->operation_only_markAsRead(true, true, true, true);
       },
       1, 1},
      {"read in bulk, the bookmarked one among them",
       [&](ZPHManagedObjectContext* c) {
         CBDataArticle::operation_only_markArticles(
             articles({QStringLiteral("a-today-unread"), QStringLiteral("a-yesterday-unread")}, c), true, c);
       },
       0, 0},
      {"unread in bulk",
       [&](ZPHManagedObjectContext* c) {
         CBDataArticle::operation_only_markArticles(articles({QStringLiteral("a-today-unread")}, c), false, c);
       },
       1, 1},
      {"unbookmark",
       [](ZPHManagedObjectContext* c) {
         article(QStringLiteral("a-today-unread"), c)->operation_only_markAsFlagged(false);
       },
       1, 0},
  };
  ZPHUserDefaults& defaults = ZPHUserDefaults::standardUserDefaults();
  for (const Step& step : steps) {
    SCOPED_TRACE(step.name);
    onStoreQueue(step.change);
    EXPECT_TRUE(waitFor([&] { return today() == step.today && flagged() == step.flagged; }))
        << "Today " << today() << ", Bookmarks " << flagged();
    drain();
    EXPECT_EQ(today(), step.today);
    EXPECT_EQ(flagged(), step.flagged);
    EXPECT_EQ(quint64(defaults.integerForKey(CBTodayUnreadCountKey)), step.today);
    EXPECT_EQ(quint64(defaults.integerForKey(CBFlaggedUnreadCountKey)), step.flagged);
  }
}

TEST_F(GlobalAccountTest, ChangesAnnouncedOnAnotherThreadAreCountedOnTheMainThread)
{
  // Whoever announces a bulk read or a bookmark from the store queue's own
  // thread still gets Today and Bookmarks recounted.
  struct Case {
    const char* name;
    QString notification;
    QString title;
    bool flag;
    quint64 today;
    quint64 flagged;
  };
  const Case cases[] = {
      {"bulk read", CBMultipleArticlesDidChangeReadStatusNotification, QStringLiteral("a-today-unread"), false, 1, 0},
      {"bookmark", CBDataArticleFlaggedStatusDidChangeNotification, QStringLiteral("b-today-unread"), true, 1, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    onStoreQueue([&](ZPHManagedObjectContext* context) {
      CBDataArticle* changed = article(c.title, context);
      if (c.flag)
        changed->metadata()->setFlagged(true);
      else
        changed->metadata()->setRead(true);
      ASSERT_TRUE(context->save());
      ZPHNotificationCenter::defaultCenter().post(
          c.notification, c.flag ? QVariant::fromValue(changed->objectID()) : QVariant(),
          c.flag ? QVariantMap()
                 : QVariantMap{{ZPHArticlesKey, QVariantList{QVariant::fromValue(changed->objectID())}}});
    });
    EXPECT_TRUE(waitFor([&] { return today() == c.today && flagged() == c.flagged; }))
        << "Today " << today() << ", Bookmarks " << flagged();
    drain();
  }
}

TEST_F(GlobalAccountTest, AllUnreadFollowsTheFavouritesTotalWhenChosen)
{
  CBGlobalFeed* allUnread = global->allUnreadFeed();
  ZPHGlobalFavoritesGroup* favorites = global->favoritesGroup();
  EXPECT_EQ(allUnread->unreadCount(), 4u);
  EXPECT_EQ(controller.unreadCount(), 4u);
  EXPECT_EQ(controller.unreadFavoritesCount(), 2u);

  ZPHUserDefaults::standardUserDefaults().setInteger(ZPHAllUnreadFeedsSelection, 0);
  global->updateAllUnreadFeedCount();
  EXPECT_EQ(allUnread->unreadCount(), 2u);
  EXPECT_EQ(titles(allUnread->fetchArticlesWithSortDescriptor(std::nullopt, main)),
            (QStringList{QStringLiteral("b-today-unread"), QStringLiteral("b-yesterday-unread")}));

  // A second favourite: the favourites' total grows, the account's does not.
  markFavorite(AURL, true);
  EXPECT_TRUE(waitFor([&] { return allUnread->unreadCount() == 4 && favorites->unreadCount() == 4; }));
  // Reading one of them lowers both totals.
  onStoreQueue([&](ZPHManagedObjectContext* c) {
    article(QStringLiteral("a-yesterday-unread"), c)->operation_only_markAsRead(true, true, true, true);
  });
  EXPECT_TRUE(waitFor([&] { return allUnread->unreadCount() == 3 && account->unreadCount() == 3; }));
  // Beta no longer a favourite: only Alpha's unread count is left.
  markFavorite(BURL, false);
  EXPECT_TRUE(waitFor([&] { return allUnread->unreadCount() == 1 && favorites->unreadCount() == 1; }));
  EXPECT_EQ(controller.unreadFavoritesCount(), 1u);

  ZPHUserDefaults::standardUserDefaults().setInteger(ZPHAllUnreadFeedsSelection, 1);
  global->updateAllUnreadFeedCount();
  EXPECT_EQ(allUnread->unreadCount(), 3u);
}

TEST_F(GlobalAccountTest, CountsComeBackFromTheUserDefaultsUntilTheRecount)
{
  ZPHUserDefaults& defaults = ZPHUserDefaults::standardUserDefaults();
  defaults.setInteger(CBTodayUnreadCountKey, 7);
  defaults.setInteger(CBFlaggedUnreadCountKey, 3);
  global->restoreUnreadCounts();
  EXPECT_EQ(today(), 7u);
  EXPECT_EQ(flagged(), 3u);
  EXPECT_TRUE(global->todayUnreadCountTimer()->isActive());

  // The recount puts the real counts back, in the defaults too.
  EXPECT_TRUE(waitFor([&] { return today() == 2 && flagged() == 0; }));
  drain();
  EXPECT_EQ(defaults.integerForKey(CBTodayUnreadCountKey), 2);
  EXPECT_EQ(defaults.integerForKey(CBFlaggedUnreadCountKey), 0);

  // Nothing stored: the counts stay as they are until the recount.
  defaults.removeObject(CBTodayUnreadCountKey);
  defaults.removeObject(CBFlaggedUnreadCountKey);
  global->clearUnreadCounts();
  global->restoreUnreadCounts();
  EXPECT_EQ(today(), 0u);
  EXPECT_EQ(global->allUnreadFeed()->unreadCount(), 0u);
  EXPECT_TRUE(waitFor([&] { return today() == 2 && global->allUnreadFeed()->unreadCount() == 4; }));
}

TEST_F(GlobalAccountTest, NothingIsRecountedWhileShuttingDown)
{
  delegate.shuttingDown = true;
  global->scheduleUpdateForTodayUnreadCount();
  global->scheduleUpdateForFlaggedArticles();
  EXPECT_FALSE(global->todayUnreadCountTimer()->isActive());
  EXPECT_FALSE(global->flaggedUnreadCountTimer()->isActive());
  delegate.shuttingDown = false;
}

}  // namespace

TEST_F(GlobalAccountTest, MarkAllAsReadTakesTheUnreadArticlesOfSmartFeedsAndFavorites)
{
  // Today with every feed chosen: the two unread articles of today.
  ZPHUserDefaults::standardUserDefaults().setInteger(ZPHTodayFeedSelection, 1);
  auto todayRead = ZPHMarkAllAsReadOperation::operationWithTreeNodeRepresentedObjects({global->todayFeed()}, true);
  ASSERT_EQ(todayRead->managedObjectIds().size(), 2);
  delegate.performUndoableOperation(todayRead);
  ASSERT_TRUE(waitFor([&] { return account->unreadCount() == 2 && today() == 0; }));
  drain();
  EXPECT_TRUE(article(QStringLiteral("a-today-unread"), main)->read());
  EXPECT_FALSE(article(QStringLiteral("a-yesterday-unread"), main)->read());

  // The Favorites group: what is left unread in Beta.
  auto favoritesRead =
      ZPHMarkAllAsReadOperation::operationWithTreeNodeRepresentedObjects({global->favoritesGroup()}, true);
  ASSERT_EQ(favoritesRead->managedObjectIds().size(), 1);
  delegate.performUndoableOperation(favoritesRead);
  ASSERT_TRUE(waitFor([&] { return account->unreadCount() == 1; }));
  drain();
  EXPECT_TRUE(article(QStringLiteral("b-yesterday-unread"), main)->read());
  EXPECT_FALSE(article(QStringLiteral("a-yesterday-unread"), main)->read());
}
