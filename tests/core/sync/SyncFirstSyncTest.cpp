#include "SyncTestFixture.h"

namespace {

// The first sync of an account: merge at once when only one side has data
// (and the server's is this user's), else ask whether to merge or purge.
class SyncFirstSyncTest : public SyncTestFixture {
protected:
  void SetUp() override
  {
    SyncTestFixture::SetUp();
    signIn(false);
    peer.putFolder(User, folderNode(QStringLiteral("F-server"), QStringLiteral("From the server")));
    peer.putFeed(User, feedNode(QStringLiteral("https://server.example.com/feed"), QStringLiteral("G-server"),
                                QStringLiteral("F-server")));
  }

  void addLocalData()
  {
    CBFolder* folder = account->addFolderWithName(QStringLiteral("Mine"));
    addFeed(QStringLiteral("https://local.example.com/feed"), folder);
    saveMain();
    localArticle = addArticle(QStringLiteral("https://local.example.com/feed"), QStringLiteral("https://local/1"));
  }

  bool hasServerData() { return feedWithURL(QStringLiteral("https://server.example.com/feed")) != nullptr; }
  bool hasLocalData() { return feedWithURL(QStringLiteral("https://local.example.com/feed")) != nullptr; }
  bool serverHasLocalData() { return !peer.feed(User, QStringLiteral("https://local.example.com/feed")).isEmpty(); }

  ZPHManagedObjectID localArticle;
};

TEST_F(SyncFirstSyncTest, NothingHereMergesWithoutAsking)
{
  record(ZPHSyncMergeOrPurgeDataRequest);
  ASSERT_TRUE(startAndSync());
  EXPECT_TRUE(manager->lastError().isNull());
  EXPECT_TRUE(recordedNamed(ZPHSyncMergeOrPurgeDataRequest).isEmpty());
  EXPECT_TRUE(hasServerData());
  EXPECT_TRUE(defaults().boolForKey(ZPHSyncDataHasBeenSynced));
  EXPECT_EQ(defaults().stringForKey(ZPHLastValidUserNameKey), User);
}

TEST_F(SyncFirstSyncTest, EmptyServerOfTheSameUserMergesWithoutAsking)
{
  peer.addAccount(QStringLiteral("other@example.com"), Password);
  ZPHSyncCredentials::saveUsername(QStringLiteral("other@example.com"));
  addLocalData();
  record(ZPHSyncMergeOrPurgeDataRequest);
  ASSERT_TRUE(startAndSync());
  EXPECT_TRUE(manager->lastError().isNull());
  EXPECT_TRUE(recordedNamed(ZPHSyncMergeOrPurgeDataRequest).isEmpty());
  EXPECT_FALSE(
      peer.feed(QStringLiteral("other@example.com"), QStringLiteral("https://local.example.com/feed")).isEmpty());
}

TEST_F(SyncFirstSyncTest, EmptyServerOfAnotherUserAsks)
{
  defaults().setString(ZPHLastValidUserNameKey, QStringLiteral("previous@example.com"));
  peer.addAccount(QStringLiteral("other@example.com"), Password);
  ZPHSyncCredentials::saveUsername(QStringLiteral("other@example.com"));
  addLocalData();
  answerMergeOrPurge(ZPHSyncMergeResponse);
  ASSERT_TRUE(startAndSync());
  EXPECT_EQ(questions.load(), 1);
  EXPECT_TRUE(manager->lastError().isNull());
  EXPECT_EQ(defaults().stringForKey(ZPHLastValidUserNameKey), QStringLiteral("other@example.com"));
}

TEST_F(SyncFirstSyncTest, MergeKeepsBothSides)
{
  addLocalData();
  answerMergeOrPurge(ZPHSyncMergeResponse);
  ASSERT_TRUE(startAndSync());
  EXPECT_EQ(questions.load(), 1);
  EXPECT_TRUE(manager->lastError().isNull());
  EXPECT_TRUE(hasServerData());
  EXPECT_TRUE(hasLocalData());
  EXPECT_TRUE(serverHasLocalData());
  EXPECT_NE(article(localArticle), nullptr);
}

TEST_F(SyncFirstSyncTest, PurgeKeepsTheServerSide)
{
  addLocalData();
  answerMergeOrPurge(ZPHSyncPurgeResponse);
  record(ZPHRemoteFeedOrFolderMetadataNotification);
  ASSERT_TRUE(startAndSync());
  EXPECT_EQ(questions.load(), 1);
  EXPECT_TRUE(manager->lastError().isNull());
  EXPECT_TRUE(hasServerData());
  EXPECT_FALSE(hasLocalData());
  EXPECT_FALSE(serverHasLocalData());
  EXPECT_EQ(article(localArticle), nullptr);
  EXPECT_EQ(account->folders().size(), 1);
  EXPECT_FALSE(recordedNamed(ZPHRemoteFeedOrFolderMetadataNotification).isEmpty());
}

// The question closed without a choice ("cancel") ends the call: nothing
// merged, nothing purged, and the next cycle asks again. So does any answer
// but "merge" and "purge".
TEST_F(SyncFirstSyncTest, AClosedQuestionMergesAndPurgesNothing)
{
  addLocalData();
  record(ZPHSyncMergeOrPurgeDataRequest);
  QString answer;
  observers.push_back(ZPHNotificationCenter::defaultCenter().addObserver(
      ZPHSyncMergeOrPurgeDataRequest, QVariant(),
      [&answer](const ZPHNotification&) {
        ZPHNotificationCenter::defaultCenter().postOnMainThread(ZPHSyncMergeOrPurgeDataResponse, QVariant(),
                                                                {{ZPHSyncMergeOrPurgeResponseKey, answer}});
      },
      ZPHNotificationCenter::Delivery::MainThread));
  manager->start();
  ASSERT_TRUE(waitForCycle());
  qsizetype asked = 1;
  for (const QString& given : {ZPHSyncCancelResponse, QStringLiteral("Merge"), QStringLiteral("")}) {
    SCOPED_TRACE(given.toStdString());
    answer = given;
    ASSERT_TRUE(sync());
    ++asked;
    EXPECT_EQ(recordedNamed(ZPHSyncMergeOrPurgeDataRequest).size(), asked);
    EXPECT_EQ(manager->lastError().code(), ZPHSyncErrorNoAnswer);
    EXPECT_FALSE(manager->refreshInProgress());
    EXPECT_FALSE(hasServerData());
    EXPECT_TRUE(hasLocalData());
    EXPECT_FALSE(serverHasLocalData());
    EXPECT_FALSE(defaults().boolForKey(ZPHSyncDataHasBeenSynced));
  }

  answer = ZPHSyncMergeResponse;
  ASSERT_TRUE(sync());
  EXPECT_TRUE(manager->lastError().isNull());
  EXPECT_TRUE(hasServerData());
  EXPECT_TRUE(serverHasLocalData());
}

}  // namespace
