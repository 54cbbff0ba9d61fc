#include "SyncTestFixture.h"

namespace {

using Failure = ZPHTestSyncPeer::Failure;

class SyncFailureTest : public SyncTestFixture {
protected:
  int cyclesStarted() { return int(recordedNamed(ZPHSyncDownloadingFeedsAndFoldersListNotification).size()); }
};

// A server that fails in the middle of a cycle (a refused login, 500, a
// body that is not JSON, a dropped connection) ends the cycle; nothing that
// the server did not accept is marked as synced, nothing from a failed reply
// is stored, and the next cycle completes.
TEST_F(SyncFailureTest, AFailedCallLosesNothingAndTheNextCycleCompletes)
{
  signIn();
  // The login question that a fourth refusal asks is closed by the user.
  answerLogin(ZPHCredentialsResult::cancelled());
  const QString feedURL = QStringLiteral("https://base.example.com/feed");
  addFeed(feedURL);
  saveMain();
  ASSERT_TRUE(startAndSync());
  ASSERT_TRUE(manager->lastError().isNull());

  const QStringList calls{QStringLiteral("list_feeds_and_folders"), QStringLiteral("update_feeds_and_folders"),
                          QStringLiteral("list_articles"), QStringLiteral("update_articles")};
  const QList<std::pair<Failure, const char*>> failures{{Failure::Unauthorized, "401"},
                                                        {Failure::ServerError, "500"},
                                                        {Failure::NotJSON, "not JSON"},
                                                        {Failure::Drop, "dropped"}};
  int n = 0;
  for (const QString& call : calls) {
    for (const auto& [failure, failureName] : failures) {
      SCOPED_TRACE((call + u' ' + QLatin1String(failureName)).toStdString());
      ++n;
      // A change on each side, of feeds and of article states, made while
      // the client is stopped so that only the cycle below sends them.
      manager->stop();
      const QString localFeed = QStringLiteral("https://local-%1.example.com/feed").arg(n);
      const QString serverFeed = QStringLiteral("https://server-%1.example.com/feed").arg(n);
      const QString localLink = QStringLiteral("https://base.example.com/local-%1").arg(n);
      const QString serverLink = QStringLiteral("https://base.example.com/server-%1").arg(n);
      addFeed(localFeed);
      saveMain();
      const ZPHManagedObjectID mine = addArticle(feedURL, localLink);
      const ZPHManagedObjectID theirs = addArticle(feedURL, serverLink);
      markRead(mine);
      peer.putFeed(User, feedNode(serverFeed, QStringLiteral("G-server-%1").arg(n)));
      const double later = QDateTime::currentSecsSinceEpoch() + 60;
      peer.putArticle(User, QJsonObject{{QStringLiteral("guid"), serverLink},
                                        {QStringLiteral("read"), true},
                                        {QStringLiteral("readModDate"), later}});
      // What the local changes set off (the account's own store work after
      // a read change) runs its course while the client is stopped.
      ZPHTestSpinEventLoop(100);
      ASSERT_TRUE(ZPHTestWaitUntil([&] { return !controller.coreDataQueueHasOperations(); }));
      ZPHTestSpinEventLoop(50);
      // Stored credentials are offered three times; a fourth refusal ends
      // at the login request, which the user cancels.
      peer.failNext(call, failure, failure == Failure::Unauthorized ? 4 : 1);

      ASSERT_TRUE(startAndSync());
      EXPECT_FALSE(manager->lastError().isNull());
      EXPECT_FALSE(manager->refreshInProgress());
      const int failedAt = int(calls.indexOf(call));
      // What the failing call and those after it were to do is not done.
      EXPECT_EQ(feedWithURL(serverFeed) != nullptr, failedAt > 0);
      EXPECT_EQ(peer.feed(User, localFeed).isEmpty(), failedAt <= 1);
      EXPECT_EQ(feedWithURL(localFeed)->needsSync(), failedAt <= 1);
      EXPECT_EQ(article(theirs)->read(), failedAt > 2);
      EXPECT_EQ(article(mine)->needsSync(), true);
      EXPECT_TRUE(peer.article(User, localLink).isEmpty());
      // A failed reply's data is not merged.
      EXPECT_EQ(feedWithURL(QStringLiteral("https://five-hundred.example.com/feed")), nullptr);
      EXPECT_EQ(ArticleMetadata::findExistingArticleMetadataWithGUID(
                    QStringLiteral("https://five-hundred.example.com/1"), main),
                nullptr);

      peer.clearFailures();
      ASSERT_TRUE(sync());
      EXPECT_TRUE(manager->lastError().isNull()) << manager->lastError().toString().toStdString();
      EXPECT_NE(feedWithURL(serverFeed), nullptr);
      EXPECT_FALSE(peer.feed(User, localFeed).isEmpty());
      EXPECT_FALSE(feedWithURL(localFeed)->needsSync());
      EXPECT_TRUE(article(theirs)->read());
      EXPECT_FALSE(article(mine)->needsSync());
      EXPECT_TRUE(peer.article(User, localLink).value(QStringLiteral("read")).toBool());
    }
  }
}

// A cycle that stops for good on a transport error is not stuck: the
// periodic check and the next change start new ones.
TEST_F(SyncFailureTest, NoCycleIsLeftHanging)
{
  signIn();
  manager->setPeriodicRefreshInterval(0.3);
  record(ZPHSyncDownloadingFeedsAndFoldersListNotification);

  // Before a cycle got through, the periodic check does nothing.
  peer.failNext(QStringLiteral("list_feeds_and_folders"), Failure::Drop);
  ASSERT_TRUE(startAndSync());
  EXPECT_FALSE(manager->lastError().isNull());
  EXPECT_FALSE(manager->lastRefreshDate().isValid());
  ZPHTestSpinEventLoop(800);
  EXPECT_EQ(cyclesStarted(), 1);

  // A change starts the next one, which gets through.
  addFeed(QStringLiteral("https://change.example.com/feed"));
  saveMain();
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return cyclesStarted() == 2; }));
  ASSERT_TRUE(waitForCycle());
  EXPECT_TRUE(manager->lastError().isNull());
  EXPECT_TRUE(manager->lastRefreshDate().isValid());

  // Then the periodic check starts cycles on its own, also after one failed.
  peer.failNext(QStringLiteral("update_articles"), Failure::ServerError);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return cyclesStarted() >= 4; }, 10000));
  ASSERT_TRUE(waitForCycle());
}

// Changes in a burst start one cycle; a change during a cycle starts none,
// and none follows by itself.
TEST_F(SyncFailureTest, OneCycleAtATime)
{
  signIn();
  CBFeed* feed = addFeed(QStringLiteral("https://edit.example.com/feed"));
  saveMain();
  ASSERT_TRUE(startAndSync());
  record(ZPHSyncDownloadingFeedsAndFoldersListNotification);

  feed->setNameForDisplay(QStringLiteral("One"));
  saveMain();
  ZPHTestSpinEventLoop(50);
  feed->setNameForDisplay(QStringLiteral("Two"));
  saveMain();
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return cyclesStarted() == 1; }));
  ASSERT_TRUE(waitForCycle());
  ZPHTestSpinEventLoop(500);
  EXPECT_EQ(cyclesStarted(), 1);
  EXPECT_EQ(peer.feed(User, feed->url()).value(QStringLiteral("userAssignedName")).toString(), QStringLiteral("Two"));

  // An edit while the cycle's last call is under way waits for the next
  // cycle; none starts by itself.
  record(ZPHSyncArticleDataImportedNotification);
  peer.delayNext(QStringLiteral("update_articles"), 800);
  manager->fetchFeedsAndFolders();
  ASSERT_TRUE(manager->refreshInProgress());
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return !recordedNamed(ZPHSyncArticleDataImportedNotification).isEmpty(); }));
  ZPHTestSpinEventLoop(100);
  feed->setNameForDisplay(QStringLiteral("Three"));
  saveMain();
  ASSERT_TRUE(waitForCycle());
  ZPHTestSpinEventLoop(600);
  EXPECT_EQ(cyclesStarted(), 2);
  EXPECT_FALSE(manager->refreshInProgress());
  EXPECT_TRUE(feed->needsSync());
}

// An edit made while the update call that sends the node is under way is
// not marked as synced with it: the next cycle sends it.
TEST_F(SyncFailureTest, AnEditDuringItsUpdateGoesWithTheNextCycle)
{
  signIn();
  CBFeed* feed = addFeed(QStringLiteral("https://inflight.example.com/feed"));
  saveMain();
  ASSERT_TRUE(startAndSync());

  feed->setNameForDisplay(QStringLiteral("Sent"));
  feed->setUserSpecifiedNameModDate(feed->userSpecifiedNameModDate() + 10);
  feed->setModDate(feed->userSpecifiedNameModDate());
  saveMain();
  ASSERT_TRUE(waitForSyncQueue());
  record(ZPHSyncDataExportedNotification);
  peer.delayNext(QStringLiteral("update_feeds_and_folders"), 800);
  manager->fetchFeedsAndFolders();
  // The body is made at once; the reply is late.
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return peer.requests(QStringLiteral("update_feeds_and_folders")).size() >= 4; }));
  feed->setNameForDisplay(QStringLiteral("Edited meanwhile"));
  feed->setUserSpecifiedNameModDate(feed->userSpecifiedNameModDate() + 20);
  feed->setModDate(feed->userSpecifiedNameModDate());
  saveMain();
  ASSERT_TRUE(waitForCycle());
  EXPECT_TRUE(manager->lastError().isNull());
  EXPECT_EQ(peer.feed(User, feed->url()).value(QStringLiteral("userAssignedName")).toString(), QStringLiteral("Sent"));
  EXPECT_TRUE(feed->needsSync());

  ASSERT_TRUE(sync());
  EXPECT_EQ(peer.feed(User, feed->url()).value(QStringLiteral("userAssignedName")).toString(),
            QStringLiteral("Edited meanwhile"));
  EXPECT_FALSE(feed->needsSync());
}

// The article calls alone leave refreshInProgress alone: a cycle under way
// stays under way until its own last call.
TEST_F(SyncFailureTest, ArticleCallsAloneDoNotEndACycle)
{
  signIn();
  ASSERT_TRUE(startAndSync());
  record(ZPHSyncArticleDataExportedNotification);

  peer.delayNext(QStringLiteral("update_feeds_and_folders"), 1500);
  manager->fetchArticles();
  manager->fetchFeedsAndFolders();
  ASSERT_TRUE(manager->refreshInProgress());
  // The article calls alone run before the cycle's slow update call.
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return recordedNamed(ZPHSyncArticleDataExportedNotification).size() == 1; }));
  ZPHTestSpinEventLoop(200);
  EXPECT_TRUE(manager->refreshInProgress());
  ASSERT_TRUE(waitForCycle());
  EXPECT_EQ(recordedNamed(ZPHSyncArticleDataExportedNotification).size(), 2);

  // Alone, with no cycle under way, they don't start one either.
  manager->fetchArticles();
  EXPECT_FALSE(manager->refreshInProgress());
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return recordedNamed(ZPHSyncArticleDataExportedNotification).size() == 3; }));
  ZPHTestSpinEventLoop(50);
  EXPECT_FALSE(manager->refreshInProgress());
}

// Stopping cancels the call under way; starting again completes a cycle.
TEST_F(SyncFailureTest, StopCancelsAndStartResumes)
{
  signIn();
  addFeed(QStringLiteral("https://stop.example.com/feed"));
  saveMain();
  peer.delayNext(QStringLiteral("list_feeds_and_folders"), 3000);
  manager->start();
  ASSERT_TRUE(manager->refreshInProgress());
  ZPHTestSpinEventLoop(200);
  manager->stop();
  EXPECT_FALSE(manager->refreshInProgress());
  EXPECT_FALSE(manager->running());
  manager->fetchFeedsAndFolders();  // stopped: nothing starts
  EXPECT_FALSE(manager->refreshInProgress());

  ASSERT_TRUE(startAndSync());
  EXPECT_TRUE(manager->lastError().isNull());
  EXPECT_FALSE(peer.feed(User, QStringLiteral("https://stop.example.com/feed")).isEmpty());
}

}  // namespace
