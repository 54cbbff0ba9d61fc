#include "SyncTestFixture.h"

#include "platform/ZPHTerminationCancelingOperation.h"
#include "sync/ZPHSyncDeletedNodeLog.h"

#include <QtCore/QFile>

namespace {

class SyncManagerTest : public SyncTestFixture {};

// At launch the client starts by itself only for an account that synced
// before; it stops when the application quits.
TEST_F(SyncManagerTest, StartsAtLaunchOnlyForAnAccountThatSyncedBefore)
{
  EXPECT_EQ(ZPHSyncManager::existingController(), manager.get());
  manager->startIfSetUp();
  EXPECT_FALSE(manager->running());

  signIn(false);
  manager->startIfSetUp();
  EXPECT_FALSE(manager->running());

  defaults().setBool(ZPHSyncDataHasBeenSynced, true);
  manager->startIfSetUp();
  EXPECT_TRUE(manager->running());
  ASSERT_TRUE(waitForCycle());
  EXPECT_TRUE(manager->lastError().isNull());

  ZPHNotificationCenter::defaultCenter().post(ZPHApplicationWillTerminateNotification);
  EXPECT_FALSE(manager->running());
}

// A feed or folder the user deletes is kept for the server, on disk, only
// while there is a sync account.
TEST_F(SyncManagerTest, LocalDeletionsAreKeptForTheServer)
{
  // Everything is added before anything is deleted: a row deleted last
  // would hand its identifier to the next insert (the store's fault, mended
  // separately).
  CBFeed* before = addFeed(QStringLiteral("https://before.example.com/feed"));
  CBFolder* folder = account->addFolderWithName(QStringLiteral("Gone"));
  CBFeed* after = addFeed(QStringLiteral("https://after.example.com/feed"));
  saveMain();
  const QString folderGUID = folder->guid();
  const auto deleteNode = [&](CBNode* node) {
    account->deleteNodes({node});
    ASSERT_TRUE(ZPHTestWaitUntil([&] { return !controller.coreDataQueueHasOperations(); }));
  };

  deleteNode(before);
  EXPECT_TRUE(ZPHSyncDeletedNodeLog::sharedLog().pendingNodes().isEmpty());

  signIn();
  deleteNode(folder);
  deleteNode(after);
  const QList<QJsonObject> pending = ZPHSyncDeletedNodeLog::sharedLog().pendingNodes();
  ASSERT_EQ(pending.size(), 2);
  EXPECT_EQ(pending[0].value(QStringLiteral("guid")).toString(), folderGUID);
  EXPECT_EQ(pending[0].value(QStringLiteral("isFolder")), QJsonValue(1));
  EXPECT_EQ(pending[1].value(QStringLiteral("url")).toString(), QStringLiteral("https://after.example.com/feed"));
  EXPECT_TRUE(pending[1].value(QStringLiteral("isDeleted")).toBool());
  EXPECT_TRUE(QFile::exists(delegate.pathToDataFolder() + QStringLiteral("/SyncDeletions.json")));

  ASSERT_TRUE(startAndSync());
  EXPECT_TRUE(manager->lastError().isNull());
  EXPECT_TRUE(peer.folder(User, folderGUID).value(QStringLiteral("isDeleted")).toBool());
  EXPECT_TRUE(
      peer.feed(User, QStringLiteral("https://after.example.com/feed")).value(QStringLiteral("isDeleted")).toBool());
  EXPECT_TRUE(peer.feed(User, QStringLiteral("https://before.example.com/feed")).isEmpty());
  EXPECT_TRUE(ZPHSyncDeletedNodeLog::sharedLog().pendingNodes().isEmpty());
  EXPECT_FALSE(QFile::exists(delegate.pathToDataFolder() + QStringLiteral("/SyncDeletions.json")));
}

// A deletion goes up with the node's last values, as any node does: a
// server that reads "childIndex" and "flags" as required takes it, and the
// login once written into the home page does not go with it.
TEST_F(SyncManagerTest, ADeletionGoesUpWithTheNodesLastValues)
{
  signIn();
  CBFolder* folder = account->addFolderWithName(QStringLiteral("Folder"));
  CBFeed* feed = addFeed(QStringLiteral("https://kept-values.example.com/feed"), folder);
  feed->setName(QStringLiteral("Named"));
  feed->setUserSpecifiedNameModDate(1300.25);
  feed->setFlags(2);
  feed->setFlagsModDate(1200.75);
  feed->setChildindex(4);
  feed->setChildindexModDate(1100.5);
  feed->setParentguidModDate(1000.5);
  feed->setValue(QStringLiteral("strHomePageURL"), QStringLiteral("http://reader:pw@kept-values.example.com/"));
  saveMain();
  const QString feedGUID = feed->guid();
  const QString folderGUID = folder->guid();
  account->deleteNodes({feed});
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return !controller.coreDataQueueHasOperations(); }));
  ZPHTestSpinEventLoop(30);

  const QList<QJsonObject> pending = ZPHSyncDeletedNodeLog::sharedLog().pendingNodes();
  ASSERT_EQ(pending.size(), 1);
  QJsonObject sent = pending[0];
  EXPECT_GT(sent.take(QStringLiteral("modDate")).toDouble(), 1300.0);
  EXPECT_EQ(sent, ZPHTestJSON(QStringLiteral(R"({"guid": "%1", "isDeleted": true, "parentGUID": "%2",
                                                 "parentGUIDModDate": 1000, "childIndex": 4,
                                                 "childIndexModDate": 1100, "userAssignedName": "Named",
                                                 "userAssignedNameModDate": 1300, "flags": 2,
                                                 "flagsModDate": 1200,
                                                 "url": "https://kept-values.example.com/feed",
                                                 "homepageurl": "http://kept-values.example.com/"})")
                                  .arg(feedGUID, folderGUID)
                                  .toUtf8()));

  ASSERT_TRUE(startAndSync());
  EXPECT_TRUE(manager->lastError().isNull()) << manager->lastError().toString().toStdString();
  EXPECT_TRUE(peer.feed(User, QStringLiteral("https://kept-values.example.com/feed"))
                  .value(QStringLiteral("isDeleted"))
                  .toBool());
  EXPECT_TRUE(ZPHSyncDeletedNodeLog::sharedLog().pendingNodes().isEmpty());
}

// The change of needsSync to true is announced once, by the save that made
// it: a later save of the same object in another context announces nothing,
// so the client is not woken for a change it already has.
TEST_F(SyncManagerTest, AChangeToSyncIsAnnouncedOnce)
{
  CBFeed* feed = addFeed(QStringLiteral("https://once.example.com/feed"));
  saveMain();
  const ZPHManagedObjectID feedID = feed->objectID();
  const ZPHManagedObjectID articleID = addArticle(feed->url(), QStringLiteral("https://once.example.com/1"));
  record(ZPHSyncableArticleEventNotification);
  record(ZPHSyncableFeedOrFolderEventNotification);

  markRead(articleID);
  ASSERT_TRUE(delegate.runInTemporaryContextOnStoreQueue([&](ZPHManagedObjectContext* context) {
    auto* node = dynamic_cast<CBFeed*>(context->existingObjectWithID(feedID));
    node->setNeedsSync(false);
    context->save();
    node->setNeedsSync(true);
    context->save();
  }));
  ZPHTestSpinEventLoop(100);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return !controller.coreDataQueueHasOperations(); }));
  const qsizetype articleEvents = recordedNamed(ZPHSyncableArticleEventNotification).size();
  EXPECT_GE(articleEvents, 1);
  EXPECT_EQ(recordedNamed(ZPHSyncableFeedOrFolderEventNotification).size(), 1);

  ASSERT_TRUE(delegate.runInTemporaryContextOnStoreQueue([&](ZPHManagedObjectContext* context) {
    auto* article = dynamic_cast<CBDataArticle*>(context->existingObjectWithID(articleID));
    article->setTitle(QStringLiteral("Changed elsewhere"));
    auto* node = dynamic_cast<CBFeed*>(context->existingObjectWithID(feedID));
    node->setUnreadCount(7);
    context->save();
  }));
  ZPHTestSpinEventLoop(50);
  EXPECT_EQ(recordedNamed(ZPHSyncableArticleEventNotification).size(), articleEvents);
  EXPECT_EQ(recordedNamed(ZPHSyncableFeedOrFolderEventNotification).size(), 1);
}

}  // namespace
