#include "SyncTestFixture.h"

#include "foundation/CBEventThrottler.h"
#include "store/tree/CBTreeNode.h"
#include "sync/ZPHSyncDeletedNodeLog.h"

namespace {

using Failure = ZPHTestSyncPeer::Failure;

class SyncCycleTest : public SyncTestFixture {};

// Local feeds and folders go up; the server's come down, into their folders.
TEST_F(SyncCycleTest, FeedsAndFoldersTravelBothWays)
{
  signIn();
  CBFolder* news = account->addFolderWithName(QStringLiteral("News"));
  CBFeed* local = addFeed(QStringLiteral("https://local.example.com/feed.xml"), news);
  saveMain();
  const QString newsGUID = news->guid();

  peer.putFolder(User, folderNode(QStringLiteral("F-remote"), QStringLiteral("Remote")));
  peer.putFeed(User, feedNode(QStringLiteral("https://remote.example.com/rss"), QStringLiteral("G-remote"),
                              QStringLiteral("F-remote")));

  record(ZPHRemoteFeedAddedNotification);
  ASSERT_TRUE(startAndSync());
  EXPECT_TRUE(manager->lastError().isNull()) << manager->lastError().toString().toStdString();

  // Up.
  const QJsonObject sentFolder = peer.folder(User, newsGUID);
  EXPECT_EQ(sentFolder.value(QStringLiteral("userAssignedName")).toString(), QStringLiteral("News"));
  const QJsonObject sentFeed = peer.feed(User, QStringLiteral("https://local.example.com/feed.xml"));
  EXPECT_EQ(sentFeed.value(QStringLiteral("parentGUID")).toString(), newsGUID);
  EXPECT_FALSE(local->needsSync());
  EXPECT_FALSE(news->needsSync());

  // Down.
  CBFolder* remote = folderWithGUID(QStringLiteral("F-remote"));
  ASSERT_NE(remote, nullptr);
  EXPECT_EQ(remote->nameForDisplay(), QStringLiteral("Remote"));
  CBFeed* remoteFeed = feedWithURL(QStringLiteral("https://remote.example.com/rss"));
  ASSERT_NE(remoteFeed, nullptr);
  EXPECT_EQ(remoteFeed->parent(), remote);
  EXPECT_NE(account->treeNodeForFolderWithGUID(QStringLiteral("F-remote")), nullptr);
  EXPECT_NE(account->feedWithURL(QUrl(QStringLiteral("https://remote.example.com/rss"))), nullptr);
  EXPECT_TRUE(ZPHTestWaitUntil([&] { return !recordedNamed(ZPHRemoteFeedAddedNotification).isEmpty(); }));
}

}  // namespace
