#include "core/store/entities/ArticleStoreFixture.h"

#include "platform/ZPHFilePasswordStore.h"
#include "platform/ZPHNotificationCenter.h"
#include "platform/ZPHUserDefaults.h"
#include "store/CBDataController.h"
#include "store/entities/ZPHFeedStub.h"
#include "store/entities/ZPHFolderStub.h"

#include <QtCore/QFile>

namespace {

class FeedsAndFoldersTest : public ArticleStoreFixture {};

double since1970(const QDateTime& date) { return double(date.toMSecsSinceEpoch()) / 1000.0; }

}  // namespace

TEST_F(FeedsAndFoldersTest, NamesFallBackFromTheUsersToTheFeedsToUntitled)
{
  struct Case {
    const char* user;
    const char* feed;
    const char* display;
    const char* name;
  } cases[] = {
      {"Mine", "Theirs", "Mine", "Mine"},
      {"", "Theirs", "Theirs", "Theirs"},
      {nullptr, "Theirs", "Theirs", "Theirs"},
      {"", "", "Untitled", "Untitled Site"},
      {nullptr, nullptr, "Untitled", "Untitled Site"},
  };
  for (const Case& c : cases) {
    CBFeed* feed = CBFeed::insertFeedWithMOC(main.get());
    feed->setUserSpecifiedName(c.user ? QString::fromUtf8(c.user) : QString());
    feed->setFeedSpecifiedName(c.feed ? QString::fromUtf8(c.feed) : QString());
    EXPECT_EQ(feed->nameForDisplay(), QString::fromUtf8(c.display)) << c.user << "/" << c.feed;
    EXPECT_EQ(feed->name(), QString::fromUtf8(c.name)) << c.user << "/" << c.feed;
  }
  CBFolder* folder = CBFolder::insertFolderWithMOC(main.get());
  EXPECT_EQ(folder->nameForDisplay(), QStringLiteral("Untitled"));
  folder->setName(QStringLiteral("News"));
  EXPECT_EQ(folder->nameForDisplay(), QStringLiteral("News"));
}

TEST_F(FeedsAndFoldersTest, RenamingToTheSameTextStillMarksForSync)
{
  CBFeed* feed = addFeed(QStringLiteral("https://a.example/feed"));
  feed->setUserSpecifiedName(QStringLiteral("Same"));
  save();
  ASSERT_FALSE(feed->needsSync());
  const double before = since1970(QDateTime::currentDateTimeUtc());
  feed->setNameForDisplay(QStringLiteral("Same"));
  EXPECT_TRUE(feed->needsSync());
  EXPECT_GE(feed->userSpecifiedNameModDate(), before);
  EXPECT_EQ(feed->modDate(), feed->userSpecifiedNameModDate());

  CBFolder* folder = CBFolder::createFolderWithName(QStringLiteral("F"), main.get());
  save();
  folder->setNameForDisplay(QStringLiteral("G"));
  EXPECT_EQ(folder->name(), QStringLiteral("G"));
  EXPECT_EQ(folder->userSpecifiedName(), QStringLiteral("G"));
  EXPECT_TRUE(folder->needsSync());
}

TEST_F(FeedsAndFoldersTest, RefreshAnswersFollowSuspensionDeletionAndHiding)
{
  struct Case {
    bool suspended, deleted, hidden, refreshable;
  } cases[] = {{false, false, false, true},
               {true, false, false, false},
               {false, true, false, false},
               {false, false, true, false}};
  for (const Case& c : cases) {
    CBFeed* feed = CBFeed::insertFeedWithMOC(main.get());
    feed->setSuspended(c.suspended);
    feed->setDeleted(c.deleted);
    feed->setExcludeFromDisplay(c.hidden);
    EXPECT_EQ(feed->canBeRefreshed(), c.refreshable) << c.suspended << c.deleted << c.hidden;
  }
}

TEST_F(FeedsAndFoldersTest, NewFeedsAndFoldersAreMarkedForSyncAndFoundAgain)
{
  CBFolder* folder = CBFolder::addFolderWithName(QStringLiteral("Tech"), nullptr, nullptr, main.get());
  CBFolder* inner = CBFolder::addFolderWithName(QStringLiteral("Linux"), folder, nullptr, main.get());
  CBFeed* feed = CBFeed::insertFeedWithURL(QUrl(QStringLiteral("https://lwn.example/rss")), main.get());
  CBFeed::addFeed(feed, nullptr, folder, main.get());
  CBFeed* top = CBFeed::insertFeedWithURL(QUrl(QStringLiteral("https://top.example/rss")), main.get());
  CBFeed::addFeed(top, nullptr, nullptr, main.get());
  save();

  for (const CBNode* node : {static_cast<CBNode*>(folder), static_cast<CBNode*>(inner), static_cast<CBNode*>(feed)}) {
    EXPECT_FALSE(node->guid().isEmpty());
    EXPECT_TRUE(node->needsSync());
    EXPECT_GT(node->modDate(), 0.0);
  }
  EXPECT_EQ(feed->parent(), folder);
  EXPECT_EQ(feed->parentguid(), folder->guid());
  EXPECT_TRUE(folder->expanded());
  EXPECT_EQ(top->parent(), nullptr);
  EXPECT_EQ(inner->parentguid(), folder->guid());
  // Seconds since 2001: about 31 years less than since 1970.
  const double since2001 = since1970(QDateTime::currentDateTimeUtc()) - 978307200.0;
  EXPECT_NEAR(folder->creationDate(), since2001, 60.0);

  ZPHManagedObjectContext other(store.get(), ZPHManagedObjectContext::ConfinementConcurrencyType);
  EXPECT_EQ(CBFolder::folderWithGUID(folder->guid(), &other)->name(), QStringLiteral("Tech"));
  EXPECT_NE(CBFolder::folderWithGUID(folder->guid(), folder->creationDate(), &other), nullptr);
  EXPECT_EQ(CBFolder::folderWithGUID(folder->guid(), folder->creationDate() + 1, &other), nullptr);
  EXPECT_EQ(CBFolder::rootFoldersWithMOC(&other).size(), 1);
  EXPECT_EQ(CBFolder::foldersInParentFolder(CBFolder::folderWithGUID(folder->guid(), &other), &other).size(), 1);
  EXPECT_EQ(CBFolder::foldersWithName(QStringLiteral("Linux"), CBFolder::folderWithGUID(folder->guid(), &other), &other)
                .size(),
            1);
  EXPECT_EQ(CBFeed::feedWithURL(QStringLiteral("https://lwn.example/rss"), &other)->guid(), feed->guid());
  EXPECT_EQ(CBFeed::feedWithURL(QStringLiteral("https://lwn.example/rss"), QStringLiteral("other"), &other), nullptr);
  EXPECT_EQ(CBFeed::feedsWithURLs(
                {QStringLiteral("https://lwn.example/rss"), QStringLiteral("https://top.example/rss")}, &other)
                .size(),
            2);
  EXPECT_EQ(CBFeed::feedsForGUIDs({feed->guid(), top->guid()}, &other).size(), 2);
  EXPECT_TRUE(CBFeed::feedsForGUIDs({}, &other).isEmpty());

  // Children by childindex, through the stored parent guid.
  inner->setChildindex(2);
  feed->setChildindex(1);
  save();
  const QList<CBNode*> children = folder->fetchChildren();
  ASSERT_EQ(children.size(), 2);
  EXPECT_EQ(children[0], feed);
  EXPECT_EQ(children[1], inner);
  EXPECT_EQ(folder->firstLevelSubFoldersWithMOC(main.get()), QList<CBFolder*>{inner});
}

TEST_F(FeedsAndFoldersTest, FavoritesAreSortedByDisplayName)
{
  for (const char* name : {"Zeta", "alpha", "Mu"}) {
    CBFeed* feed = addFeed(QStringLiteral("https://%1.example/").arg(QLatin1String(name)), QString::fromUtf8(name));
    feed->setFavorite(true);
  }
  addFeed(QStringLiteral("https://plain.example/"), QStringLiteral("Plain"));
  CBFeed* gone = addFeed(QStringLiteral("https://gone.example/"), QStringLiteral("Gone"));
  gone->setFavorite(true);
  gone->setDeleted(true);
  save();
  QStringList names;
  for (const CBFeed* feed : CBFeed::favoriteFeedsWithMOC(main.get())) names.append(feed->nameForDisplay());
  EXPECT_EQ(names, QStringList({QStringLiteral("Mu"), QStringLiteral("Zeta"), QStringLiteral("alpha")}));
  EXPECT_EQ(CBFeed::feedsWithMOC(main.get()).size(), 4);
}

TEST_F(FeedsAndFoldersTest, FolderCountsSumLiveChildrenAndEndTheMarkAllRead)
{
  CBFolder* folder = CBFolder::createFolderWithName(QStringLiteral("F"), main.get());
  CBFeed* a = addFeed(QStringLiteral("https://a.example/"));
  CBFeed* b = addFeed(QStringLiteral("https://b.example/"));
  CBFeed* deleted = addFeed(QStringLiteral("https://c.example/"));
  for (CBFeed* feed : {a, b, deleted}) CBFeed::addFeed(feed, nullptr, folder, main.get());
  a->setUnreadCount(3);
  b->setUnreadCount(4);
  deleted->setUnreadCount(100);
  deleted->setDeleted(true);
  folder->setMarkingAllAsRead(true);
  folder->updateUnreadCount();
  EXPECT_EQ(folder->unreadCount(), 7u);
  EXPECT_TRUE(folder->unreadCountIsValid());
  EXPECT_TRUE(folder->markingAllAsRead());

  b->setSuspended(true);
  EXPECT_EQ(folder->descendantFeedsForMarkAsRead(), (QList<CBFeed*>{a, deleted}));
  a->setUnreadCount(0);
  b->setUnreadCount(0);
  folder->updateUnreadCount();
  EXPECT_EQ(folder->unreadCount(), 0u);
  EXPECT_FALSE(folder->markingAllAsRead());
  EXPECT_EQ(folder->allDescendantsThatAreFeeds().size(), 3);
  EXPECT_TRUE(folder->containsFeedWithURL(QUrl(QStringLiteral("https://b.example/"))));
  EXPECT_FALSE(folder->containsFeedWithURL(QUrl(QStringLiteral("https://z.example/"))));
}

TEST_F(FeedsAndFoldersTest, DeletingAFeedTakesItsArticlesButKeepsBookmarks)
{
  const QString url = QStringLiteral("https://a.example/feed");
  CBFeed* feed = addFeed(url);
  const QDateTime date = QDateTime::currentDateTimeUtc();
  addArticle(url, QStringLiteral("https://a.example/1"), date, false, false);
  addArticle(url, QStringLiteral("https://a.example/2"), date, true, true);
  addArticle(QStringLiteral("https://other.example/"), QStringLiteral("https://other.example/1"), date, false);
  save();
  EXPECT_EQ(CBFeed::feedUnreadCountsWithMOC(main.get()).value(url), 1);

  CBFeed::deleteFeed(feed, true, main.get());
  save();
  EXPECT_EQ(CBFeed::feedWithURL(url, main.get()), nullptr);
  EXPECT_TRUE(CBDataArticle::articlesForFeedWithURL(QUrl(url), main.get()).isEmpty());
  EXPECT_EQ(CBDataArticle::articlesWithMoc(main.get()).size(), 1);
  EXPECT_EQ(ArticleMetadata::findExistingArticleMetadataWithGUID(QStringLiteral("https://a.example/1"), main.get()),
            nullptr);
  ArticleMetadata* kept =
      ArticleMetadata::findExistingArticleMetadataWithGUID(QStringLiteral("https://a.example/2"), main.get());
  ASSERT_NE(kept, nullptr);
  EXPECT_TRUE(kept->flagged());
  EXPECT_EQ(kept->article(), nullptr);
  CBFeed::deleteFeed(nullptr, true, main.get());  // nothing
}

TEST_F(FeedsAndFoldersTest, UnreadCountsAndUnreadIdentifiersPerFeed)
{
  const QString a = QStringLiteral("https://a.example/");
  const QString b = QStringLiteral("https://b.example/");
  CBFeed* feedA = addFeed(a);
  CBFeed* feedB = addFeed(b);
  const QDateTime date = QDateTime::currentDateTimeUtc();
  CBDataArticle* unreadA = addArticle(a, a + QStringLiteral("1"), date, false);
  addArticle(a, a + QStringLiteral("2"), date, true);
  addArticle(b, b + QStringLiteral("1"), date, false);
  addArticle(b, b + QStringLiteral("2"), date, false);
  save();
  const QHash<QString, qint64> counts = CBFeed::feedUnreadCountsWithMOC(main.get());
  EXPECT_EQ(counts.value(a), 1);
  EXPECT_EQ(counts.value(b), 2);
  EXPECT_EQ(CBFeed::managedObjectIDsOfUnreadArticlesForFeeds({feedA}, main.get()),
            QList<ZPHManagedObjectID>{unreadA->objectID()});
  EXPECT_EQ(CBFeed::managedObjectIDsOfUnreadArticlesForFeeds({feedA, feedB}, main.get()).size(), 3);
  feedB->updateUnreadCount();
  EXPECT_EQ(feedB->unreadCount(), 2u);
  EXPECT_TRUE(feedB->unreadCountIsValid());
}

TEST_F(FeedsAndFoldersTest, APasswordLivesInMemoryUntilTheKeychainHasIt)
{
  ZPHTestTempDir keychainFolder;
  auto keychain = std::make_shared<ZPHFilePasswordStore>(keychainFolder.path());
  ZPHPasswordStore::setDefaultStore(keychain);

  const QString url = QStringLiteral("https://private.example/feed");
  CBFeed* feed = addFeed(url);
  feed->setUsername(QStringLiteral("ann"));
  feed->setPassword(QStringLiteral("s3cret-in-memory"));
  save();
  EXPECT_EQ(feed->password(), QStringLiteral("s3cret-in-memory"));

  // Nothing of it in the store's files or in another context.
  for (const QString& suffix : {QString(), QStringLiteral("-wal")}) {
    QFile file(store->path() + suffix);
    if (file.open(QIODevice::ReadOnly)) {
      EXPECT_FALSE(file.readAll().contains("s3cret-in-memory")) << suffix.toStdString();
    }
  }
  {
    ZPHManagedObjectContext other(store.get(), ZPHManagedObjectContext::ConfinementConcurrencyType);
    EXPECT_TRUE(CBFeed::feedWithURL(url, &other)->password().isNull());
  }

  ASSERT_TRUE(feed->savePasswordInKeychain());
  {
    ZPHManagedObjectContext other(store.get(), ZPHManagedObjectContext::ConfinementConcurrencyType);
    EXPECT_EQ(CBFeed::feedWithURL(url, &other)->password(), QStringLiteral("s3cret-in-memory"));
  }
  ZPHPasswordStore::setDefaultStore(nullptr);
}

TEST_F(FeedsAndFoldersTest, StubsBuildOnlyNewWebFeeds)
{
  addFeed(QStringLiteral("https://known.example/rss"));
  save();
  struct Case {
    const char* address;
    const char* stored;  // nullptr: no feed
    bool reported;
  } cases[] = {
      {"https://new.example/rss", "https://new.example/rss", false},
      {"http://plain.example/rss", "http://plain.example/rss", false},
      {"feed://wrapped.example/rss", "http://wrapped.example/rss", false},
      {"feed:https://inner.example/rss", "https://inner.example/rss", false},
      {"<https://angle.example/rss>", "https://angle.example/rss", false},
      {"https://known.example/rss", nullptr, false},
      {"", nullptr, false},
      {"ftp://files.example/rss", nullptr, true},
      {"javascript:alert(1)", nullptr, true},
      {"file:///etc/passwd", nullptr, true},
      {"feed:ftp://files.example/rss", nullptr, true},
  };
  for (const Case& c : cases) {
    ZPHFeedStub stub(QString::fromUtf8(c.address));
    stub.setFeedSpecifiedName(QStringLiteral("Named"));
    stub.setHomePageURLString(QStringLiteral("https://home.example/"));
    ZPHError error;
    const int before = CBFeed::feedsWithMOC(main.get()).size();
    CBFeed* feed = stub.buildFeedWithManagedObjectContext(main.get(), &error);
    if (c.stored == nullptr) {
      EXPECT_EQ(feed, nullptr) << c.address;
      EXPECT_EQ(CBFeed::feedsWithMOC(main.get()).size(), before) << c.address;
    } else {
      ASSERT_NE(feed, nullptr) << c.address;
      EXPECT_EQ(feed->url(), QString::fromUtf8(c.stored)) << c.address;
      EXPECT_EQ(feed->feedSpecifiedName(), QStringLiteral("Named"));
      EXPECT_EQ(feed->strHomePageURL(), QStringLiteral("https://home.example/"));
    }
    EXPECT_EQ(!error.isNull(), c.reported) << c.address;
    if (c.reported) {
      EXPECT_EQ(error.domain(), ZPHFeedStubErrorDomain);
    }
  }
  ZPHFeedStub wrapped(QStringLiteral("feed://again.example/rss"));
  wrapped.buildFeedWithManagedObjectContext(main.get());
  EXPECT_EQ(wrapped.urlString(), QStringLiteral("http://again.example/rss"));

  // A login written into the address becomes the feed's own; the address is
  // stored without it, and the feed is known by it next time.
  ZPHFeedStub withLogin(QStringLiteral("https://reader:pw@login.example/rss"));
  withLogin.setHomePageURLString(QStringLiteral("https://reader:pw@login.example/"));
  CBFeed* logged = withLogin.buildFeedWithManagedObjectContext(main.get());
  ASSERT_NE(logged, nullptr);
  EXPECT_EQ(logged->url(), QStringLiteral("https://login.example/rss"));
  EXPECT_EQ(logged->strHomePageURL(), QStringLiteral("https://login.example/"));
  EXPECT_EQ(logged->username(), QStringLiteral("reader"));
  EXPECT_EQ(logged->password(), QStringLiteral("pw"));
  ZPHFeedStub again(QStringLiteral("https://reader:pw@login.example/rss"));
  EXPECT_EQ(again.buildFeedWithManagedObjectContext(main.get()), nullptr);
}

TEST_F(FeedsAndFoldersTest, FolderStubsDropKnownFeedsAndEmptyFolders)
{
  auto root = std::make_shared<ZPHFolderStub>(QStringLiteral("OPML Imports"));
  auto onlyKnown = std::make_shared<ZPHFolderStub>(QStringLiteral("Known"));
  auto mixed = std::make_shared<ZPHFolderStub>(QStringLiteral("Mixed"));
  auto empty = std::make_shared<ZPHFolderStub>(QStringLiteral("Empty"));
  onlyKnown->addItem(std::make_shared<ZPHFeedStub>(QStringLiteral("https://a.example/./rss")));
  mixed->addItem(std::make_shared<ZPHFeedStub>(QStringLiteral("https://b.example/rss")));
  mixed->addItem(std::make_shared<ZPHFeedStub>(QStringLiteral("https://c.example/rss")));
  mixed->addItem(std::shared_ptr<ZPHFeedStub>());  // ignored
  root->addItem(onlyKnown);
  root->addItem(mixed);
  root->addItem(empty);
  root->addItem(std::make_shared<ZPHFeedStub>(QStringLiteral("https://d.example/rss")));
  EXPECT_EQ(root->urlCount(), 4);

  const auto removed = root->removeStandardizedURLsReturningURLsRemoved(
      {QStringLiteral("https://a.example/rss"), QStringLiteral("https://c.example/rss")}, true);
  ASSERT_TRUE(removed.has_value());
  EXPECT_EQ(*removed,
            QStringList({QStringLiteral("https://a.example/./rss"), QStringLiteral("https://c.example/rss")}));
  EXPECT_EQ(root->urlCount(), 2);
  EXPECT_EQ(root->description(),
            QStringLiteral("[title: OPML Imports, list:([title: Mixed, list:(https://b.example/rss)], "
                           "https://d.example/rss)]"));
  EXPECT_FALSE(root->removeStandardizedURLsReturningURLsRemoved({QStringLiteral("https://z.example/")}, true));
}

TEST_F(FeedsAndFoldersTest, APublishDateUpdateReordersOnlyWhenSortingByDate)
{
  CBFeed* feed = addFeed(QStringLiteral("https://a.example/"));
  int reorders = 0;
  ZPHObserverToken token = ZPHNotificationCenter::defaultCenter().addObserver(
      QStringLiteral("CBDateEventOrderChangeNotification"), QVariant(), [&](const ZPHNotification&) { ++reorders; });
  const QDateTime first = QDateTime(QDate(2026, 5, 1), QTime(8, 0), Qt::UTC);
  const auto update = [&](const QDateTime& date) {
    feed->publishDateUpdate({QStringLiteral("update"), QVariant(), {{QStringLiteral("latestPublishDate"), date}}});
  };
  ZPHUserDefaults::standardUserDefaults().setInteger(ZPHSubscriptionsSortOrderKey, 2);
  update(first);
  EXPECT_EQ(feed->dateForDisplay(), first);
  EXPECT_EQ(reorders, 1);
  update(first);  // the same date
  EXPECT_EQ(reorders, 1);
  ZPHUserDefaults::standardUserDefaults().setInteger(ZPHSubscriptionsSortOrderKey, 0);
  update(first.addDays(1));
  EXPECT_EQ(feed->dateForDisplay(), first.addDays(1));
  EXPECT_EQ(reorders, 1);
  ZPHUserDefaults::standardUserDefaults().removeObject(ZPHSubscriptionsSortOrderKey);
}
