#include "SyncTestFixture.h"

#include "feeds/parsers/CBParsedNewsItem.h"
#include "feeds/refresh/ZPHCoreDataArticleSaverOperation.h"
#include "store/tree/CBTreeNode.h"
#include "sync/ZPHSyncDeletedNodeLog.h"

namespace {

using Failure = ZPHTestSyncPeer::Failure;

class SyncCycleTest : public SyncTestFixture {
protected:
  // The peer's copy of a node with one field pair changed, as another
  // device would send it.
  void moveOnPeer(const QString& guid, const QString& parent)
  {
    QJsonObject node = peer.folder(User, guid);
    node.insert(QStringLiteral("parentGUID"), parent);
    node.insert(QStringLiteral("parentGUIDModDate"), QDateTime::currentSecsSinceEpoch() + 100);
    peer.putFolder(User, node);
  }

  // Dates every node's changes a minute back, as if made a while ago: the
  // wire carries whole seconds, and a change in the same second as the one
  // before it would not be later.
  void ageNodes()
  {
    for (CBNode* node : CBNode::nodesWithMOC(main)) {
      for (const auto& [get, set] :
           {std::pair{&CBNode::modDate, &CBNode::setModDate},
            std::pair{&CBNode::parentguidModDate, &CBNode::setParentguidModDate},
            std::pair{&CBNode::childindexModDate, &CBNode::setChildindexModDate},
            std::pair{&CBNode::userSpecifiedNameModDate, &CBNode::setUserSpecifiedNameModDate}}) {
        if ((node->*get)() > 0)
          (node->*set)((node->*get)() - 60);
      }
    }
    saveMain();
  }

  // Moves a folder as the source list does.
  void moveHere(CBFolder* folder, CBFolder* parent)
  {
    const double now = QDateTime::currentMSecsSinceEpoch() / 1000.0;
    folder->setParent(parent);
    folder->setParentguid(parent ? parent->guid() : QString());
    folder->setParentguidModDate(now);
    folder->setModDate(now);
    folder->setNeedsSync(true);
    saveMain();
  }

  // Saves parsed items of a feed as a refresh does.
  void refreshFeed(const QString& feedURL, const QStringList& links)
  {
    QList<std::shared_ptr<CBParsedNewsItem>> items;
    for (const QString& link : links) {
      auto item = std::make_shared<CBParsedNewsItem>();
      item->setGuid(link);
      item->setLink(link);
      item->setTitle(link);
      item->setPubDate(QDateTime::currentDateTimeUtc());
      items.append(item);
    }
    auto saver = std::make_shared<ZPHCoreDataArticleSaverOperation>(items, QUrl(feedURL));
    delegate.addCoreDataQueueOperation(saver);
    ASSERT_TRUE(ZPHTestWaitUntil([&] { return saver->isFinished(); }, 30000));
    ZPHTestSpinEventLoop(30);
  }

  int cyclesStarted() { return int(recordedNamed(ZPHSyncDownloadingFeedsAndFoldersListNotification).size()); }
};

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
  record(ZPHRemoteFolderAddedNotification);
  record(ZPHRemoteFeedOrFolderReorderingNotification);
  ASSERT_TRUE(startAndSync());
  EXPECT_TRUE(manager->lastError().isNull()) << manager->lastError().toString().toStdString();

  // Up.
  const QJsonObject sentFolder = peer.folder(User, newsGUID);
  EXPECT_EQ(sentFolder.value(QStringLiteral("userAssignedName")).toString(), QStringLiteral("News"));
  const QJsonObject sentFeed = peer.feed(User, QStringLiteral("https://local.example.com/feed.xml"));
  EXPECT_EQ(sentFeed.value(QStringLiteral("parentGUID")).toString(), newsGUID);
  EXPECT_EQ(sentFeed.value(QStringLiteral("guid")).toString(), local->guid());
  EXPECT_FALSE(local->needsSync());
  EXPECT_FALSE(news->needsSync());

  // Down, into the tree.
  CBFolder* remote = folderWithGUID(QStringLiteral("F-remote"));
  ASSERT_NE(remote, nullptr);
  EXPECT_EQ(remote->nameForDisplay(), QStringLiteral("Remote"));
  CBFeed* remoteFeed = feedWithURL(QStringLiteral("https://remote.example.com/rss"));
  ASSERT_NE(remoteFeed, nullptr);
  EXPECT_EQ(remoteFeed->parent(), remote);
  EXPECT_FALSE(remoteFeed->needsSync());
  CBTreeNode::Pointer remoteNode = account->treeNodeForFolderWithGUID(QStringLiteral("F-remote"));
  ASSERT_NE(remoteNode, nullptr);
  EXPECT_EQ(remoteNode->children().size(), 1);
  EXPECT_NE(account->feedWithURL(QUrl(QStringLiteral("https://remote.example.com/rss"))), nullptr);
  EXPECT_TRUE(ZPHTestWaitUntil([&] {
    return !recordedNamed(ZPHRemoteFeedAddedNotification).isEmpty() &&
           !recordedNamed(ZPHRemoteFolderAddedNotification).isEmpty();
  }));
  EXPECT_FALSE(recordedNamed(ZPHRemoteFeedOrFolderReorderingNotification).isEmpty());

  // Nothing changed: the next cycle sends nothing new and changes nothing.
  ASSERT_TRUE(sync());
  EXPECT_TRUE(manager->lastError().isNull());
  EXPECT_EQ(peer.feeds(User).size(), 2);
  EXPECT_EQ(CBFeed::feedsWithMOC(main).size(), 2);
}

// A folder moved and a feed deleted by the other device.
TEST_F(SyncCycleTest, FolderMovedAndFeedDeletedOnTheServer)
{
  signIn();
  CBFolder* a = account->addFolderWithName(QStringLiteral("A"));
  CBFolder* b = account->addFolderWithName(QStringLiteral("B"));
  addFeed(QStringLiteral("https://x.example.com/feed"), a);
  CBFeed* y = addFeed(QStringLiteral("https://y.example.com/feed"));
  saveMain();
  const ZPHManagedObjectID yArticle = addArticle(y->url(), QStringLiteral("https://y.example.com/1"));
  ASSERT_TRUE(startAndSync());
  ASSERT_TRUE(manager->lastError().isNull());

  moveOnPeer(a->guid(), b->guid());
  QJsonObject deleted = peer.feed(User, y->url());
  deleted.insert(QStringLiteral("isDeleted"), true);
  peer.putFeed(User, deleted);

  ASSERT_TRUE(sync());
  EXPECT_TRUE(manager->lastError().isNull());
  EXPECT_EQ(a->parent(), b);
  EXPECT_EQ(a->parentguid(), b->guid());
  EXPECT_EQ(feedWithURL(QStringLiteral("https://y.example.com/feed")), nullptr);
  EXPECT_EQ(article(yArticle), nullptr);
  EXPECT_EQ(account->feedWithURL(QUrl(QStringLiteral("https://y.example.com/feed"))), nullptr);
  CBTreeNode::Pointer bNode = account->treeNodeForFolderWithGUID(b->guid());
  ASSERT_NE(bNode, nullptr);
  ASSERT_EQ(bNode->children().size(), 1);
  EXPECT_EQ(bNode->children().first()->representedNode(), a);
  // The server's own deletion is not sent back as a local one.
  EXPECT_TRUE(ZPHSyncDeletedNodeLog::sharedLog().pendingNodes().isEmpty());
}

// One reply moves feeds out of a folder and deletes the folder: the moved
// feeds stay, with their articles, wherever they went; what is still in the
// folder after the merge goes with it. The next cycle changes nothing.
TEST_F(SyncCycleTest, FeedsMovedOutOfAFolderTheServerDeletesAreKept)
{
  signIn();
  CBFolder* doomed = account->addFolderWithName(QStringLiteral("Doomed"));
  CBFolder* kept = account->addFolderWithName(QStringLiteral("Kept"));
  CBFeed* toFolder = addFeed(QStringLiteral("https://to-folder.example.com/feed"), doomed);
  CBFeed* toTop = addFeed(QStringLiteral("https://to-top.example.com/feed"), doomed);
  CBFeed* left = addFeed(QStringLiteral("https://left.example.com/feed"), doomed);
  saveMain();
  const QString doomedGUID = doomed->guid();
  const QString keptGUID = kept->guid();
  const ZPHManagedObjectID toFolderArticle =
      addArticle(toFolder->url(), QStringLiteral("https://to-folder.example.com/1"));
  const ZPHManagedObjectID toTopArticle = addArticle(toTop->url(), QStringLiteral("https://to-top.example.com/1"));
  const ZPHManagedObjectID leftArticle = addArticle(left->url(), QStringLiteral("https://left.example.com/1"));
  ASSERT_TRUE(startAndSync());
  ASSERT_TRUE(manager->lastError().isNull());

  const double later = QDateTime::currentSecsSinceEpoch() + 100;
  QJsonObject moved = peer.feed(User, toFolder->url());
  moved.insert(QStringLiteral("parentGUID"), keptGUID);
  moved.insert(QStringLiteral("parentGUIDModDate"), later);
  peer.putFeed(User, moved);
  QJsonObject atTop = peer.feed(User, toTop->url());
  atTop.remove(QStringLiteral("parentGUID"));
  atTop.insert(QStringLiteral("parentGUIDModDate"), later);
  peer.putFeed(User, atTop);
  QJsonObject gone = peer.folder(User, doomedGUID);
  gone.insert(QStringLiteral("isDeleted"), true);
  peer.putFolder(User, gone);

  ASSERT_TRUE(sync());
  EXPECT_TRUE(manager->lastError().isNull()) << manager->lastError().toString().toStdString();
  EXPECT_EQ(folderWithGUID(doomedGUID), nullptr);
  CBFeed* inKept = feedWithURL(QStringLiteral("https://to-folder.example.com/feed"));
  CBFeed* onTop = feedWithURL(QStringLiteral("https://to-top.example.com/feed"));
  ASSERT_NE(inKept, nullptr);
  ASSERT_NE(onTop, nullptr);
  EXPECT_EQ(inKept->parent(), kept);
  EXPECT_EQ(onTop->parent(), nullptr);
  EXPECT_NE(article(toFolderArticle), nullptr);
  EXPECT_NE(article(toTopArticle), nullptr);
  EXPECT_EQ(feedWithURL(QStringLiteral("https://left.example.com/feed")), nullptr);
  EXPECT_EQ(article(leftArticle), nullptr);
  CBTreeNode::Pointer keptNode = account->treeNodeForFolderWithGUID(keptGUID);
  ASSERT_NE(keptNode, nullptr);
  ASSERT_EQ(keptNode->children().size(), 1);
  EXPECT_EQ(keptNode->children().first()->representedNode(), inKept);
  EXPECT_NE(account->feedWithURL(QUrl(QStringLiteral("https://to-top.example.com/feed"))), nullptr);

  ASSERT_TRUE(sync());
  EXPECT_TRUE(manager->lastError().isNull());
  EXPECT_NE(feedWithURL(QStringLiteral("https://to-folder.example.com/feed")), nullptr);
  EXPECT_NE(feedWithURL(QStringLiteral("https://to-top.example.com/feed")), nullptr);
  EXPECT_FALSE(peer.feed(User, QStringLiteral("https://to-folder.example.com/feed"))
                   .value(QStringLiteral("isDeleted"))
                   .toBool());
}

// A folder moved and a feed deleted here reach the server.
TEST_F(SyncCycleTest, FolderMovedAndFeedDeletedHere)
{
  signIn();
  CBFolder* a = account->addFolderWithName(QStringLiteral("A"));
  CBFolder* b = account->addFolderWithName(QStringLiteral("B"));
  CBFeed* y = addFeed(QStringLiteral("https://y.example.com/feed"));
  saveMain();
  ageNodes();
  const QString yURL = y->url();
  ASSERT_TRUE(startAndSync());
  ASSERT_TRUE(manager->lastError().isNull());

  moveHere(a, b);
  account->deleteNodes({y});
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return !controller.coreDataQueueHasOperations(); }));
  ZPHTestSpinEventLoop(30);
  ASSERT_EQ(ZPHSyncDeletedNodeLog::sharedLog().pendingNodes().size(), 1);

  ASSERT_TRUE(waitForSyncQueue());
  ASSERT_TRUE(sync());
  EXPECT_TRUE(manager->lastError().isNull());
  EXPECT_EQ(peer.folder(User, a->guid()).value(QStringLiteral("parentGUID")).toString(), b->guid());
  EXPECT_TRUE(peer.feed(User, yURL).value(QStringLiteral("isDeleted")).toBool());
  EXPECT_FALSE(a->needsSync());
  EXPECT_TRUE(ZPHSyncDeletedNodeLog::sharedLog().pendingNodes().isEmpty());
  // The server's copy does not bring the feed back.
  ASSERT_TRUE(sync());
  EXPECT_EQ(feedWithURL(yURL), nullptr);
}

// A server parent that would put a node inside itself is refused: the tree
// cannot loop.
TEST_F(SyncCycleTest, ParentLoopFromTheServerIsRefused)
{
  signIn();
  CBFolder* a = account->addFolderWithName(QStringLiteral("A"));
  CBFolder* b = account->addFolderWithName(QStringLiteral("B"), a);
  saveMain();
  ASSERT_EQ(b->parent(), a);
  ASSERT_TRUE(startAndSync());

  moveOnPeer(a->guid(), b->guid());  // A into its own child
  peer.putFolder(User, folderNode(QStringLiteral("C"), QStringLiteral("C"), QStringLiteral("C")));  // into itself
  ASSERT_TRUE(sync());
  EXPECT_TRUE(manager->lastError().isNull());
  EXPECT_EQ(a->parent(), nullptr);
  EXPECT_TRUE(a->parentguid().isEmpty());
  EXPECT_EQ(b->parent(), a);
  CBFolder* c = folderWithGUID(QStringLiteral("C"));
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(c->parent(), nullptr);
  EXPECT_NE(account->treeNodeForFolderWithGUID(QStringLiteral("C")), nullptr);
}

// Read and bookmark states both ways, matched by best link; a state for an
// article not downloaded yet shows when the article arrives.
TEST_F(SyncCycleTest, ArticleStatesTravelBothWays)
{
  signIn();
  const QString feedURL = QStringLiteral("https://news.example.com/feed");
  addFeed(feedURL);
  saveMain();
  const ZPHManagedObjectID mine = addArticle(feedURL, QStringLiteral("https://news.example.com/1"));
  const ZPHManagedObjectID theirs = addArticle(feedURL, QStringLiteral("https://news.example.com/2"));
  ASSERT_TRUE(startAndSync());

  markRead(mine);
  markFlagged(mine);
  ASSERT_TRUE(article(mine)->needsSync());
  const double later = QDateTime::currentSecsSinceEpoch() + 60;
  peer.putArticle(User, QJsonObject{{QStringLiteral("guid"), QStringLiteral("https://news.example.com/2")},
                                    {QStringLiteral("read"), true},
                                    {QStringLiteral("readModDate"), later},
                                    {QStringLiteral("bookmarked"), true},
                                    {QStringLiteral("bookmarkedModDate"), later}});
  peer.putArticle(User, QJsonObject{{QStringLiteral("guid"), QStringLiteral("https://news.example.com/3")},
                                    {QStringLiteral("read"), true},
                                    {QStringLiteral("readModDate"), later},
                                    {QStringLiteral("bookmarked"), true},
                                    {QStringLiteral("bookmarkedModDate"), later}});
  record(CBMultipleArticlesDidChangeReadStatusNotification);
  record(CBDataArticleFlaggedStatusDidChangeNotification);

  ASSERT_TRUE(waitForSyncQueue());
  ASSERT_TRUE(sync());
  EXPECT_TRUE(manager->lastError().isNull());

  const QJsonObject sent = peer.article(User, QStringLiteral("https://news.example.com/1"));
  EXPECT_TRUE(sent.value(QStringLiteral("read")).toBool());
  EXPECT_TRUE(sent.value(QStringLiteral("bookmarked")).toBool());
  EXPECT_FALSE(article(mine)->needsSync());

  EXPECT_TRUE(article(theirs)->read());
  EXPECT_TRUE(article(theirs)->flagged());
  EXPECT_FALSE(article(theirs)->needsSync());
  ASSERT_TRUE(ZPHTestWaitUntil([&] {
    return !recordedNamed(CBMultipleArticlesDidChangeReadStatusNotification).isEmpty() &&
           !recordedNamed(CBDataArticleFlaggedStatusDidChangeNotification).isEmpty();
  }));
  const ZPHNotification readChange = recordedNamed(CBMultipleArticlesDidChangeReadStatusNotification).first();
  EXPECT_TRUE(readChange.userInfo.value(QStringLiteral("fromSync")).toBool());
  EXPECT_EQ(readChange.userInfo.value(ZPHArticlesKey).toList().size(), 1);
  EXPECT_EQ(recordedNamed(CBDataArticleFlaggedStatusDidChangeNotification).first().object.value<ZPHManagedObjectID>(),
            theirs);
  // From sync: not sent back as a change of this device.
  ASSERT_TRUE(waitForSyncQueue());
  EXPECT_TRUE(CBDataArticle::articlesToSyncWithMoc(main).isEmpty());

  // Not downloaded yet: the state waits by its link...
  ArticleMetadata* waiting =
      ArticleMetadata::findExistingArticleMetadataWithGUID(QStringLiteral("https://news.example.com/3"), main);
  ASSERT_NE(waiting, nullptr);
  EXPECT_TRUE(waiting->read());
  // ... and shows when a refresh brings the article.
  refreshFeed(feedURL, {QStringLiteral("https://news.example.com/1"), QStringLiteral("https://news.example.com/2"),
                        QStringLiteral("https://news.example.com/3")});
  CBDataArticle* arrived = CBDataArticle::fetchArticleWithBestLink(QStringLiteral("https://news.example.com/3"), main);
  ASSERT_NE(arrived, nullptr);
  EXPECT_TRUE(arrived->read());
  EXPECT_TRUE(arrived->flagged());
}

// Conflicting changes on both sides, resolved field by field by date,
// deletion winning.
TEST_F(SyncCycleTest, ConflictsAreResolvedByTheMergeRules)
{
  signIn();
  defaults().setDouble(ZPHSyncLastFeedsAndFolderModTimeStamp, 0.0);
  struct Case {
    QString guid;
    double local;
    double server;
    bool serverDeleted;
    bool localDeleted;
    QString localAfter;   // null: gone
    QString serverAfter;  // null: deleted
  };
  const QList<Case> cases{
      {QStringLiteral("equal"), 2000, 2000, false, false, QStringLiteral("Here"), QStringLiteral("There")},
      {QStringLiteral("local-newer"), 3000, 2000, false, false, QStringLiteral("Here"), QStringLiteral("Here")},
      {QStringLiteral("server-newer"), 2000, 3000, false, false, QStringLiteral("There"), QStringLiteral("There")},
      {QStringLiteral("server-deleted"), 3000, 2000, true, false, QString(), QString()},
      {QStringLiteral("local-deleted"), 2000, 3000, false, true, QString(), QString()},
  };
  for (const Case& c : cases) {
    CBFolder* folder = CBFolder::insertFolderWithName(QStringLiteral("Here"), main);
    folder->setGuid(c.guid);
    folder->setUserSpecifiedName(QStringLiteral("Here"));
    folder->setUserSpecifiedNameModDate(c.local);
    folder->setModDate(c.local);
    folder->setNeedsSync(true);
    QJsonObject node = folderNode(c.guid, QStringLiteral("There"), QString(), c.server);
    node.insert(QStringLiteral("isDeleted"), c.serverDeleted);
    peer.putFolder(User, node);
  }
  saveMain();
  for (const Case& c : cases) {
    if (c.localDeleted) {
      ASSERT_TRUE(delegate.runInTemporaryContextOnStoreQueue([&](ZPHManagedObjectContext* context) {
        CBFolder::deleteFolder(CBFolder::folderWithGUID(c.guid, context), context);
        context->save();
      }));
    }
  }
  ZPHTestSpinEventLoop(30);
  account->loadFeedsAndFoldersFromDisk();

  ASSERT_TRUE(startAndSync());
  EXPECT_TRUE(manager->lastError().isNull());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.guid.toStdString());
    CBFolder* folder = folderWithGUID(c.guid);
    if (c.localAfter.isNull()) {
      EXPECT_EQ(folder, nullptr);
    } else {
      ASSERT_NE(folder, nullptr);
      EXPECT_EQ(folder->nameForDisplay(), c.localAfter);
      EXPECT_FALSE(folder->needsSync());
    }
    const QJsonObject server = peer.folder(User, c.guid);
    if (c.serverAfter.isNull())
      EXPECT_TRUE(server.value(QStringLiteral("isDeleted")).toBool());
    else
      EXPECT_EQ(server.value(QStringLiteral("userAssignedName")).toString(), c.serverAfter);
  }
}

}  // namespace
