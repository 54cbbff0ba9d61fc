#include "foundation/CBEventThrottler.h"
#include "platform/ZPHNotificationCenter.h"
#include "platform/ZPHUserDefaults.h"
#include "store/CBDataController.h"
#include "store/accounts/CBDataAccount.h"
#include "store/accounts/CBParsedFeedInfo.h"
#include "store/entities/CBFeed.h"
#include "store/entities/CBFolder.h"
#include "store/graph/ZPHManagedObjectContext.h"
#include "support/ZPHTestApplicationDelegate.h"
#include "support/ZPHTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

QStringList titles(const CBTreeNode::List& nodes)
{
  QStringList result;
  for (const CBTreeNode::Pointer& node : nodes) result.append(node->title());
  return result;
}

// The local account over a real data controller; notifications of the
// account recorded by name.
class DataAccountTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    ZPHUserDefaults::standardUserDefaults().setInteger(ZPHSubscriptionsSortOrderKey, 1);
    delegate.useDataController(&controller);
    ZPHError error;
    ASSERT_TRUE(controller.setupCoreDataStackWithClass({}, false, &error)) << error.toString().toStdString();
    main = delegate.mainThreadManagedObjectContext();
    for (const QString& name :
         {ZPHFeedsAddedNotification, ZPHClientDidCreateFolderEvent, ZPHFeedsWillDeleteNotification,
          ZPHFeedsOrFoldersDeletedNotification, CBFeedDataDidChangeNotification}) {
      observers.push_back(ZPHNotificationCenter::defaultCenter().addObserver(
          name, QVariant(), [this](const ZPHNotification& n) { posted.append(n); }));
    }
  }
  void TearDown() override
  {
    drain();
    ZPHUserDefaults::standardUserDefaults().removeObject(ZPHSubscriptionsSortOrderKey);
  }

  void start()
  {
    controller.completeSetup();
    account = controller.localAccount();
    ASSERT_NE(account, nullptr);
  }
  // Holds the store queue until storeQueueReleased turns true: what is
  // queued meanwhile waits behind it.
  void holdStoreQueue()
  {
    std::atomic<bool> started{false};
    storeQueueReleased = false;
    controller.addCoreDataQueueBlock(
        [&started, this] {
          started = true;
          while (!storeQueueReleased) std::this_thread::sleep_for(std::chrono::milliseconds(2));
        },
        {});
    ASSERT_TRUE(ZPHTestWaitUntil([&] { return started.load(); }));
  }
  std::atomic<bool> storeQueueReleased{false};

  void drain()
  {
    ASSERT_TRUE(ZPHTestWaitUntil([&] { return !controller.coreDataQueueHasOperations(); }, 20000));
    ZPHTestSpinEventLoop(20);
  }
  QList<ZPHNotification> postedNamed(const QString& name) const
  {
    QList<ZPHNotification> result;
    for (const ZPHNotification& n : posted) {
      if (n.name == name)
        result.append(n);
    }
    return result;
  }
  bool collected(const QString& name) const
  {
    for (const QVariant& record : account->saveEventThrottler()->notifications()) {
      if (record.toMap().value(QStringLiteral("name")).toString() == name)
        return true;
    }
    return false;
  }

  // Rows written straight into the store, as an earlier run left them.
  CBFeed* storedFeed(const QString& name, const QString& url, CBFolder* folder, int childindex)
  {
    CBFeed* feed = CBFeed::insertFeedWithMOC(main);
    if (!url.isEmpty())
      feed->setURL(QUrl(url));
    feed->setGuid(QStringLiteral("guid-") + name);
    feed->setFeedSpecifiedName(name);
    feed->setChildindex(childindex);
    if (folder != nullptr) {
      feed->setParent(folder);
      feed->setParentguid(folder->guid());
    }
    return feed;
  }
  CBFeed* newFeed(const QString& url) { return CBFeed::insertFeedWithURL(QUrl(url), main); }
  QVariant accountObject() const { return QVariant::fromValue(static_cast<QObject*>(account)); }

  ZPHTestApplicationDelegate delegate;
  CBDataController controller;
  ZPHManagedObjectContext* main = nullptr;
  CBDataAccount* account = nullptr;
  std::vector<ZPHObserverToken> observers;
  QList<ZPHNotification> posted;
};

TEST_F(DataAccountTest, LoadingSkipsAFeedWithoutAddressAndBuildsTheTree)
{
  CBFolder* news = CBFolder::createFolderWithName(QStringLiteral("News"), main);
  news->setChildindex(0);
  storedFeed(QStringLiteral("B"), QStringLiteral("https://b.example/"), news, 1);
  storedFeed(QStringLiteral("A"), QStringLiteral("https://a.example/"), news, 0);
  storedFeed(QStringLiteral("Alpha"), QStringLiteral("https://alpha.example/"), nullptr, 1);
  storedFeed(QStringLiteral("NoAddress"), QString(), nullptr, 2);
  storedFeed(QStringLiteral("Gone"), QStringLiteral("https://gone.example/"), nullptr, 3)->setDeleted(true);
  ASSERT_TRUE(main->save());
  start();

  EXPECT_EQ(account->feeds().size(), 3);
  EXPECT_EQ(account->feedsDictionary().size(), 3);
  EXPECT_TRUE(account->isSubscribedToFeedWithURL(QUrl(QStringLiteral("https://alpha.example/"))));
  EXPECT_FALSE(account->isSubscribedToFeedWithURL(QUrl(QStringLiteral("https://gone.example/"))));
  EXPECT_EQ(account->nameForDisplay(), QStringLiteral("All Sites"));

  const CBTreeNode::Pointer top = account->accountTreeNode();
  EXPECT_TRUE(top->isSpecialGroup());
  EXPECT_FALSE(top->allowsDragging());
  EXPECT_EQ(titles(top->orderedChildren()), (QStringList{"News", "Alpha"}));  // manual order
  CBTreeNode::Pointer newsNode = account->treeNodeForFolderWithGUID(news->guid());
  ASSERT_NE(newsNode, nullptr);
  EXPECT_EQ(titles(newsNode->orderedChildren()), (QStringList{"A", "B"}));

  // By name, the top level is sorted again.
  ZPHUserDefaults::standardUserDefaults().setInteger(ZPHSubscriptionsSortOrderKey, 0);
  account->loadFeedsAndFoldersFromDisk();
  EXPECT_EQ(titles(account->accountTreeNode()->orderedChildren()), (QStringList{"Alpha", "News"}));
}

TEST_F(DataAccountTest, AddingFoldersAndFeedsUpdatesTreeAndStoreAndAnnouncesOnce)
{
  start();
  CBFolder* news = account->addFolderWithName(QStringLiteral("News"));
  ASSERT_NE(news, nullptr);
  EXPECT_EQ(postedNamed(ZPHClientDidCreateFolderEvent).size(), 1);
  CBFolder* inner = account->addFolderWithName(QStringLiteral("Inner"), news);
  EXPECT_EQ(inner->parentguid(), news->guid());
  EXPECT_TRUE(inner->needsSync());

  CBFeed* first = newFeed(QStringLiteral("https://one.example/feed"));
  CBFeed* second = newFeed(QStringLiteral("https://two.example/feed"));
  CBFeed* third = newFeed(QStringLiteral("https://three.example/feed"));
  first->setFeedSpecifiedName(QStringLiteral("One"));
  second->setFeedSpecifiedName(QStringLiteral("Two"));
  third->setFeedSpecifiedName(QStringLiteral("Three"));
  news->setExpanded(false);
  account->addFeedAtEndOfFolder(first, news);
  account->addFeedAtIndexOfFolder(second, 0, news);
  EXPECT_NE(account->addFeed(third), nullptr);
  EXPECT_EQ(account->addFeed(third), nullptr);  // known address: nothing changes
  account->addFeedAtEndOfFolder(first, inner);

  EXPECT_EQ(account->feeds().size(), 3);
  EXPECT_FALSE(first->guid().isEmpty());
  CBTreeNode::Pointer newsNode = account->treeNodeForFolderWithGUID(news->guid());
  ASSERT_NE(newsNode, nullptr);
  EXPECT_EQ(titles(newsNode->children()), (QStringList{"Two", "Inner", "One"}));
  EXPECT_TRUE(news->expanded());
  EXPECT_TRUE(newsNode->expanded());
  EXPECT_EQ(second->childindex(), 0);
  EXPECT_EQ(inner->childindex(), 1);
  EXPECT_EQ(first->childindex(), 2);
  EXPECT_EQ(first->parentguid(), news->guid());
  EXPECT_EQ(titles(account->accountTreeNode()->children()), (QStringList{"News", "Three"}));

  // The save throttler posts each added feed once, after the changes.
  EXPECT_TRUE(postedNamed(ZPHFeedsAddedNotification).isEmpty());
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return postedNamed(ZPHFeedsAddedNotification).size() >= 3; }, 10000));
  ZPHTestSpinEventLoop(50);
  const QList<ZPHNotification> added = postedNamed(ZPHFeedsAddedNotification);
  ASSERT_EQ(added.size(), 3);
  EXPECT_EQ(added.first().object, accountObject());
  EXPECT_EQ(added.first().userInfo.value(ZPHFolderOrFeedKey).value<ZPHManagedObject*>(), first);

  // Moving a feed to the top level, then everything comes back from the store.
  CBTreeNode::Pointer firstNode =
      account->accountTreeNode()->treeNodesForRepresentedObject(static_cast<CBNode*>(first)).first();
  account->accountTreeNode()->moveChild(firstNode, 0);
  account->accountTreeNode()->sweepChildIndices(true);
  newsNode->sweepChildIndices(true);
  account->saveMOC();
  EXPECT_TRUE(first->parentguid().isNull());
  const QString before = account->accountTreeNode()->description();
  account->loadFeedsAndFoldersFromDisk();
  EXPECT_EQ(account->accountTreeNode()->description(), before);
  EXPECT_EQ(titles(account->accountTreeNode()->children()), (QStringList{"One", "News", "Three"}));
}

TEST_F(DataAccountTest, DeletingAFolderDeletesEverythingInside)
{
  start();
  CBFolder* news = account->addFolderWithName(QStringLiteral("News"));
  CBFolder* inner = account->addFolderWithName(QStringLiteral("Inner"), news);
  account->addFeedAtEndOfFolder(newFeed(QStringLiteral("https://a.example/")), inner);
  account->addFeedAtEndOfFolder(newFeed(QStringLiteral("https://b.example/")), news);
  account->addFeed(newFeed(QStringLiteral("https://t.example/")));
  drain();

  account->treeNodeForFolderWithGUID(news->guid())->detachFromParentInvalidatingRecursively(false);
  account->deleteNodes({news});
  const QList<ZPHNotification> willDelete = postedNamed(ZPHFeedsWillDeleteNotification);
  ASSERT_EQ(willDelete.size(), 1);
  QVariantList urls = willDelete.first().userInfo.value(ZPHURLsKey).toList();
  std::sort(urls.begin(), urls.end(), [](const QVariant& a, const QVariant& b) { return a.toString() < b.toString(); });
  EXPECT_EQ(urls,
            (QVariantList{QUrl(QStringLiteral("https://a.example/")), QUrl(QStringLiteral("https://b.example/"))}));
  EXPECT_EQ(account->feeds().size(), 1);

  ASSERT_TRUE(ZPHTestWaitUntil([&] { return !postedNamed(ZPHFeedsOrFoldersDeletedNotification).isEmpty(); }, 20000));
  EXPECT_TRUE(account->feedsBeingDeleted().isEmpty());
  auto context = controller.temporaryManagedObjectContext();
  EXPECT_EQ(CBFeed::feedsWithMOC(context.get()).size(), 1);
  EXPECT_TRUE(CBFolder::foldersWithMOC(context.get()).isEmpty());
  context.reset();

  account->deleteNodes({});
  EXPECT_EQ(postedNamed(ZPHFeedsWillDeleteNotification).size(), 1);
}

TEST_F(DataAccountTest, ALoadWhileADeletionIsPendingLeavesTheFeedOut)
{
  start();
  CBFeed* keep = newFeed(QStringLiteral("https://keep.example/"));
  CBFeed* gone = newFeed(QStringLiteral("https://gone.example/"));
  account->addFeed(keep);
  CBTreeNode::Pointer goneNode = account->addFeed(gone);
  drain();

  ASSERT_NO_FATAL_FAILURE(holdStoreQueue());
  goneNode->detachFromParentInvalidatingRecursively(false);
  account->deleteNodes({gone});
  account->loadFeedsAndFoldersFromDisk();
  EXPECT_EQ(account->feeds(), QList<CBFeed*>{keep});
  EXPECT_EQ(account->feedWithURL(QUrl(QStringLiteral("https://gone.example/"))), nullptr);
  EXPECT_EQ(titles(account->accountTreeNode()->children()).size(), 1);

  storeQueueReleased = true;
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return !postedNamed(ZPHFeedsOrFoldersDeletedNotification).isEmpty(); }, 20000));
  EXPECT_TRUE(account->feedsBeingDeleted().isEmpty());
}

TEST_F(DataAccountTest, ParsedFeedInfoTakesTrimmedTitlesAndWebHomePagesOnly)
{
  start();
  CBFeed* feed = newFeed(QStringLiteral("https://feed.example/rss"));
  account->addFeed(feed);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return !postedNamed(ZPHFeedsAddedNotification).isEmpty(); }, 10000));
  ZPHTestSpinEventLoop(20);

  struct Case {
    const char* title;
    const char* homePage;
    bool changes;
  } cases[] = {
      {" \n\t ", "", false},
      {"", "javascript:alert(1)", false},
      {"", "file:///etc/passwd", false},
      {"", "ftp://feed.example/", false},
      {"", "not a url at all", false},
      {"  Fresh Name \n", "", true},
  };
  for (const Case& test : cases) {
    CBParsedFeedInfo info;
    info.setFeedURLString(QStringLiteral("https://feed.example/rss"));
    info.setTitle(QString::fromUtf8(test.title));
    info.setHomePageURLString(QString::fromUtf8(test.homePage));
    account->processUpdatedParsedFeedInfo(info);
    EXPECT_EQ(collected(CBFeedDataDidChangeNotification), test.changes) << test.title << test.homePage;
    EXPECT_TRUE(feed->homePageURL().isEmpty()) << test.homePage;
  }
  EXPECT_EQ(feed->feedSpecifiedName(), QStringLiteral("Fresh Name"));

  // The same through the parser's notification.
  auto info = std::make_shared<CBParsedFeedInfo>();
  info->setFeedURLString(QStringLiteral("https://feed.example/rss"));
  info->setTitle(QStringLiteral("Renamed"));
  info->sendDidParseFeedInfoNotification();
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return feed->feedSpecifiedName() == QStringLiteral("Renamed"); }, 10000));
}

// During a refresh feeds are parsed faster than a store block each would get
// through: what arrives while one block waits is applied by that block, in
// order (the last word on a feed wins), with one save.
TEST_F(DataAccountTest, ParsedFeedInfoArrivingTogetherIsAppliedWithOneSave)
{
  start();
  const QStringList urls{QStringLiteral("https://one.example/rss"), QStringLiteral("https://two.example/rss")};
  for (const QString& url : urls) account->addFeed(newFeed(url));
  drain();
  int saves = 0;
  QObject::connect(main, &ZPHManagedObjectContext::objectsDidChange, main,
                   [&](const QList<ZPHManagedObjectID>&, const QList<ZPHManagedObjectID>& updated,
                       const QList<ZPHManagedObjectID>&) { saves += updated.isEmpty() ? 0 : 1; });

  ASSERT_NO_FATAL_FAILURE(holdStoreQueue());
  int delivered = 0;
  ZPHObserverToken deliveries = ZPHNotificationCenter::defaultCenter().addObserver(
      CBDidParseFeedInfoNotification, {}, [&](const ZPHNotification&) { ++delivered; });
  const QList<std::pair<QString, QString>> parsed{
      {urls[0], QStringLiteral("One")}, {urls[1], QStringLiteral("Two")}, {urls[0], QStringLiteral("One, renamed")}};
  for (const auto& [url, title] : parsed) {
    auto info = std::make_shared<CBParsedFeedInfo>();
    info->setFeedURLString(url);
    info->setTitle(title);
    info->sendDidParseFeedInfoNotification();
  }
  // Every notification has reached the account while the store queue is held.
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return delivered == parsed.size(); }, 20000));
  // What reached the main context until now is the adding of the feeds,
  // merged late on a busy machine: the parsed information waits behind the
  // held queue.
  saves = 0;
  storeQueueReleased = true;
  CBFeed* one = account->feedWithURL(QUrl(urls[0]));
  CBFeed* two = account->feedWithURL(QUrl(urls[1]));
  ASSERT_TRUE(ZPHTestWaitUntil(
      [&] { return two->feedSpecifiedName() == QStringLiteral("Two") && !controller.coreDataQueueHasOperations(); },
      20000));
  EXPECT_EQ(one->feedSpecifiedName(), QStringLiteral("One, renamed"));
  EXPECT_EQ(saves, 1);
}

TEST_F(DataAccountTest, SubscriptionSortOrders)
{
  const std::pair<quint64, const char*> cases[] = {
      {0, "nameForDisplay"}, {1, ""}, {2, "dateForDisplay"}, {3, "countForDisplay"}, {9, ""}};
  for (const auto& [order, key] : cases)
    EXPECT_EQ(CBDataAccount::sortKeyForSubscriptionSortOrder(order), QString::fromLatin1(key)) << order;
}

}  // namespace
