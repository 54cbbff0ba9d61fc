#include "feeds/parsers/CBFeedParserProxy.h"
#include "feeds/parsers/CBParsedEnclosure.h"
#include "feeds/parsers/CBParsedNewsItem.h"
#include "feeds/refresh/ZPHCoreDataArticleSaverOperation.h"
#include "foundation/CBEntityConversion.h"
#include "foundation/CBMimeTypes.h"
#include "platform/ZPHNotificationCenter.h"
#include "platform/ZPHOperation.h"
#include "store/CBDataController.h"
#include "store/entities/ArticleMetadata.h"
#include "store/entities/CBDataArticle.h"
#include "store/entities/CBDataArticleContent.h"
#include "store/entities/CBDataModel.h"
#include "store/entities/CBFeed.h"
#include "store/graph/ZPHFetchRequest.h"
#include "store/graph/ZPHManagedObjectContext.h"
#include "support/ZPHTestApplicationDelegate.h"
#include "support/ZPHTestSupport.h"

#include <QtCore/QHash>
#include <QtCore/QSet>
#include <QtCore/QThread>
#include <QtCore/QTimeZone>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <optional>

namespace {

const QString FeedURL = QStringLiteral("https://example.com/feed.xml");

QDateTime day(int d) { return QDateTime(QDate(2024, 3, d), QTime(12, 0), QTimeZone::utc()); }

struct Item {
  QString guid;
  QString title;
  QString link;
  QDateTime date;
};

std::shared_ptr<CBParsedNewsItem> parsed(const Item& item)
{
  auto news = std::make_shared<CBParsedNewsItem>();
  news->setGuid(item.guid);
  news->setTitle(item.title);
  news->setLink(item.link);
  news->setPubDate(item.date);
  news->setContent(QStringLiteral("<p>") + item.title + QStringLiteral("</p>"));
  return news;
}

// A real store in the delegate's data folder, its store queue and main
// context, with one feed.
class ArticleSaverTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    delegate.useDataController(&controller);
    ZPHError error;
    ASSERT_TRUE(controller.setupCoreDataStackWithClass({}, true, &error)) << error.toString().toStdString();
    main = delegate.mainThreadManagedObjectContext();
    feed = CBFeed::insertFeedWithURL(QUrl(FeedURL), main);
    feed->setGuid(QStringLiteral("feed-guid"));
    ASSERT_TRUE(main->save());
    updated = ZPHNotificationCenter::defaultCenter().addObserver(
        ZPHFeedRefreshArticlesUpdatedNotification, {},
        [this](const ZPHNotification& notification) { notifications.append(notification); });
  }

  void TearDown() override
  {
    ASSERT_TRUE(ZPHTestWaitUntil([&] { return !controller.coreDataQueueHasOperations(); }));
  }

  // Runs a saver on the store queue and serves the main thread until its
  // save reached the main context.
  // With `preparedAhead`, the items' text is worked out on this thread
  // first, as a refresh does (the value: most items are stored already).
  std::shared_ptr<ZPHCoreDataArticleSaverOperation> save(const QList<std::shared_ptr<CBParsedNewsItem>>& items,
                                                         bool skipsMarking = false,
                                                         std::optional<bool> preparedAhead = std::nullopt)
  {
    auto saver = std::make_shared<ZPHCoreDataArticleSaverOperation>(items, QUrl(FeedURL));
    saver->setSkipsMarkingMissingItemsAsDeleted(skipsMarking);
    if (preparedAhead)
      saver->prepareItemsOnThisThread(*preparedAhead);
    delegate.addCoreDataQueueOperation(saver);
    EXPECT_TRUE(ZPHTestWaitUntil([&] { return saver->isFinished() && !controller.coreDataQueueHasOperations(); }));
    ZPHTestSpinEventLoop(20);
    return saver;
  }

  QList<std::shared_ptr<CBParsedNewsItem>> items(const QList<Item>& list)
  {
    QList<std::shared_ptr<CBParsedNewsItem>> result;
    for (const Item& item : list) result.append(parsed(item));
    return result;
  }

  QList<CBDataArticle*> articles() { return CBDataArticle::articlesForFeedWithURL(QUrl(FeedURL), main); }

  // Holds the store queue until release(), so that what is queued meanwhile
  // waits there back to back, as savers do during a refresh.
  void holdStoreQueue()
  {
    held = false;
    released = false;
    delegate.addCoreDataQueueOperation(std::make_shared<ZPHBlockOperation>([this] {
      held = true;
      while (!released) QThread::msleep(1);
    }));
    ASSERT_TRUE(ZPHTestWaitUntil([&] { return held.load(); }));
  }
  void release() { released = true; }

  std::shared_ptr<ZPHCoreDataArticleSaverOperation> queueSaver(const QList<Item>& list, const QString& url = FeedURL)
  {
    auto saver = std::make_shared<ZPHCoreDataArticleSaverOperation>(items(list), QUrl(url));
    delegate.addCoreDataQueueOperation(saver);
    return saver;
  }

  CBDataArticle* articleTitled(const QString& title)
  {
    for (CBDataArticle* article : articles())
      if (article->title() == title)
        return article;
    return nullptr;
  }

  void setState(CBDataArticle* article, bool read, bool flagged)
  {
    ArticleMetadata* metadata = article->metadata();
    ASSERT_NE(metadata, nullptr);
    metadata->setRead(read);
    metadata->setFlagged(flagged);
    ASSERT_TRUE(main->save());
  }

  ZPHTestApplicationDelegate delegate;
  CBDataController controller;
  ZPHManagedObjectContext* main = nullptr;
  CBFeed* feed = nullptr;
  ZPHObserverToken updated;
  QList<ZPHNotification> notifications;
  std::atomic<bool> held{false};
  std::atomic<bool> released{false};
};

TEST_F(ArticleSaverTest, InsertsArticlesWithContentAndMetadataAndAnnouncesThem)
{
  auto saver = save(items({{"g1", "One", "https://example.com/1", day(1)},
                           {"g2", "Two", "https://example.com/2", day(3)},
                           {"", "", "", day(5)}}));  // nothing to know it by: skipped
  ASSERT_EQ(articles().size(), 2);
  CBDataArticle* one = articleTitled(QStringLiteral("One"));
  ASSERT_NE(one, nullptr);
  EXPECT_EQ(one->guid(), QStringLiteral("g1"));
  EXPECT_EQ(one->dateForDisplay(), day(1));
  ASSERT_NE(one->content(), nullptr);
  EXPECT_EQ(one->content()->htmlText(), QStringLiteral("<p>One</p>"));
  ASSERT_NE(one->metadata(), nullptr);
  EXPECT_EQ(one->metadata()->guid(), QStringLiteral("https://example.com/1"));
  EXPECT_FALSE(one->read());

  EXPECT_TRUE(saver->didSaveUncancelled());
  ASSERT_EQ(notifications.size(), 1);
  EXPECT_EQ(notifications[0].userInfo.value(CBURLKey).toUrl(), QUrl(FeedURL));
  EXPECT_EQ(notifications[0].userInfo.value(ZPHFeedRefreshUnreadCountKey).toULongLong(), 2u);
  EXPECT_EQ(notifications[0].userInfo.value(ZPHFeedRefreshLatestPublishDateKey).toDateTime(), day(3));
}

TEST_F(ArticleSaverTest, MatchesByGuidAndByTwoOfTitleDateAndLink)
{
  save(items({{"g1", "Guid one", "https://example.com/1", day(1)},
              {"", "First", "https://example.com/same", day(2)},
              {"", "Second", "https://example.com/same", day(2)},
              {"", "<b>Marked</b> up", "https://example.com/m", day(4)},
              {"g5", "Has guid", "https://example.com/5", day(5)}}));
  ASSERT_EQ(articles().size(), 5);
  const ZPHManagedObjectID guidOne = articleTitled(QStringLiteral("Guid one"))->objectID();
  const ZPHManagedObjectID first = articleTitled(QStringLiteral("First"))->objectID();
  const ZPHManagedObjectID second = articleTitled(QStringLiteral("Second"))->objectID();
  const ZPHManagedObjectID marked = articleTitled(QStringLiteral("<b>Marked</b> up"))->objectID();

  auto saver = save(items({
      // Same guid, everything else new.
      {"g1", "Renamed", "https://example.com/moved", day(9)},
      // Date and link agree with both guid-less articles: the first one.
      {"", "Retitled", "https://example.com/same", day(2)},
      // Only the markup of the title differs, the link agrees.
      {"", "<i>Marked</i> up", "https://example.com/m", day(8)},
      // No guid: never the stored article that has one.
      {"", "Has guid", "https://example.com/5", day(5)},
  }));
  EXPECT_EQ(articleTitled(QStringLiteral("Renamed"))->objectID(), guidOne);
  EXPECT_EQ(articleTitled(QStringLiteral("Renamed"))->link(), QStringLiteral("https://example.com/moved"));
  EXPECT_EQ(articleTitled(QStringLiteral("Retitled"))->objectID(), first);
  EXPECT_EQ(articleTitled(QStringLiteral("Second"))->objectID(), second);
  EXPECT_EQ(articleTitled(QStringLiteral("<i>Marked</i> up"))->objectID(), marked);
  int withTitle = 0;
  for (CBDataArticle* article : articles())
    if (article->title() == QStringLiteral("Has guid"))
      ++withTitle;
  EXPECT_EQ(withTitle, 2);
  // Only the new one counted.
  EXPECT_EQ(notifications.last().userInfo.value(ZPHFeedRefreshUnreadCountKey).toULongLong(), feed->unreadCount() + 1);
  EXPECT_EQ(saver->managedObjectIDsOfItemsInFeed().size(), 4);
}

TEST_F(ArticleSaverTest, AnItemListedTwiceMakesOneArticle)
{
  // A guid new to the store and listed twice: the second listing updates
  // what the first inserted.
  auto saver = save(items({{"dup", "First listing", "https://example.com/d", day(1)},
                           {"", "Plain", "https://example.com/p", day(2)},
                           {"dup", "Second listing", "https://example.com/d2", day(3)},
                           {"other", "Other", "https://example.com/o", day(4)}}));
  ASSERT_EQ(articles().size(), 3);
  EXPECT_EQ(articleTitled(QStringLiteral("First listing")), nullptr);
  ASSERT_NE(articleTitled(QStringLiteral("Second listing")), nullptr);
  EXPECT_EQ(articleTitled(QStringLiteral("Second listing"))->link(), QStringLiteral("https://example.com/d2"));
  EXPECT_EQ(saver->unreadCount(), 3u);

  // A stored guid listed twice: one article takes both listings. A stored
  // article without guid is matched by what an earlier listing made of it.
  const ZPHManagedObjectID dup = articleTitled(QStringLiteral("Second listing"))->objectID();
  const ZPHManagedObjectID plain = articleTitled(QStringLiteral("Plain"))->objectID();
  save(items({{"dup", "Third", "https://example.com/d", day(5)},
              {"dup", "Fourth", "https://example.com/d", day(6)},
              {"", "Plain", "https://example.com/p2", day(2)},
              // Only the new link and the plain-text title agree.
              {"", "<b>Plain</b>", "https://example.com/p2", day(9)},
              {"other", "Other", "https://example.com/o", day(4)}}));
  ASSERT_EQ(articles().size(), 3);
  EXPECT_EQ(articleTitled(QStringLiteral("Fourth"))->objectID(), dup);
  ASSERT_NE(articleTitled(QStringLiteral("<b>Plain</b>")), nullptr);
  EXPECT_EQ(articleTitled(QStringLiteral("<b>Plain</b>"))->objectID(), plain);
}

TEST_F(ArticleSaverTest, StateSurvivesAndLeavingReadArticlesAreMarkedForDeletion)
{
  save(items({{"a", "Read", "https://example.com/a", day(1)},
              {"b", "Bookmarked", "https://example.com/b", day(2)},
              {"c", "Unread", "https://example.com/c", day(3)},
              {"d", "Stays", "https://example.com/d", day(4)}}));
  setState(articleTitled(QStringLiteral("Read")), true, false);
  setState(articleTitled(QStringLiteral("Bookmarked")), true, true);
  setState(articleTitled(QStringLiteral("Stays")), true, false);

  // A broken-off feed lists only what came before the break: nothing leaves.
  save(items({{"d", "Stays", "https://example.com/d", day(4)}}), true);
  EXPECT_EQ(articles().size(), 4);

  save(items({{"d", "Stays", "https://example.com/d", day(4)}}));
  QStringList left;
  for (CBDataArticle* article : articles()) left.append(article->title());
  left.sort();
  EXPECT_EQ(left, (QStringList{"Bookmarked", "Stays", "Unread"}));
  EXPECT_TRUE(articleTitled(QStringLiteral("Stays"))->read());
}

// A stored article is compared field by field, its body included: a
// changed body is stored (with its search text), an unchanged article keeps
// its content and its record of read and flagged, and no record is added.
TEST_F(ArticleSaverTest, ARefreshStoresChangedBodiesAndKeepsEachArticlesRecord)
{
  save(items({{"g1", "Edited", "https://example.com/1", day(1)},
              {"g2", "Same", "https://example.com/2", day(2)},
              {"", "No guid", "https://example.com/3", day(3)}}));
  setState(articleTitled(QStringLiteral("Edited")), true, false);
  setState(articleTitled(QStringLiteral("Same")), false, true);
  setState(articleTitled(QStringLiteral("No guid")), true, true);
  // "Same" moves to a newer record of its key (as after a sync): the older
  // one, unread and unflagged, stays behind with no article and comes first
  // in the store's order. The article keeps its own record, and its state.
  CBDataArticle* same = articleTitled(QStringLiteral("Same"));
  ArticleMetadata* newer = ArticleMetadata::insertArticleMetadataForGUID(same->bestLink(), main);
  ArticleMetadata* older = same->metadata();
  older->setFlagged(false);
  same->setMetadata(newer);
  ASSERT_TRUE(main->save());
  setState(same, false, true);
  QHash<QString, ZPHManagedObjectID> records;
  for (CBDataArticle* article : articles()) records.insert(article->title(), article->metadata()->objectID());
  const qint64 recordCount = main->countForFetchRequest(ZPHFetchRequest(CBDataEntityNameArticleMetadata));

  auto next = items({{"g1", "Edited", "https://example.com/1", day(1)},
                     {"g2", "Same", "https://example.com/2", day(2)},
                     {"", "No guid", "https://example.com/3", day(3)}});
  next[0]->setContent(QStringLiteral("<p>A <b>rewritten</b> body</p>"));
  auto saver = save(next);

  const struct {
    const char* title;
    QString html;
    bool read;
    bool flagged;
  } cases[] = {
      {"Edited", QStringLiteral("<p>A <b>rewritten</b> body</p>"), true, false},
      {"Same", QStringLiteral("<p>Same</p>"), false, true},
      {"No guid", QStringLiteral("<p>No guid</p>"), true, true},
  };
  for (const auto& expected : cases) {
    SCOPED_TRACE(expected.title);
    CBDataArticle* article = articleTitled(QString::fromUtf8(expected.title));
    ASSERT_NE(article, nullptr);
    ASSERT_NE(article->content(), nullptr);
    EXPECT_EQ(article->content()->htmlText(), expected.html);
    EXPECT_EQ(article->content()->normalizedText(), CBDataArticleContent::normalizedTextFromHtmlText(expected.html));
    EXPECT_EQ(article->metadata()->objectID(), records.value(article->title()));
    EXPECT_EQ(article->read(), expected.read);
    EXPECT_EQ(article->flagged(), expected.flagged);
  }
  EXPECT_EQ(articles().size(), 3);
  EXPECT_EQ(main->countForFetchRequest(ZPHFetchRequest(CBDataEntityNameArticleMetadata)), recordCount);
  EXPECT_EQ(saver->managedObjectIDsOfItemsInFeed().size(), 3);
}

// Items whose text was worked out ahead, in full or without the HTML's
// stored forms (as for a feed saved before, whose items mostly come back
// unchanged), are stored as items worked out on the store queue: a changed
// body and a new article's body get their search text either way.
TEST_F(ArticleSaverTest, ItemsWorkedOutAheadAreStoredAsAnyOther)
{
  const struct {
    const char* name;
    std::optional<bool> preparedAhead;
  } modes[] = {{"store queue", std::nullopt}, {"ahead in full", false}, {"ahead without HTML", true}};
  for (const auto& mode : modes) {
    SCOPED_TRACE(mode.name);
    const QString name = QString::fromUtf8(mode.name);
    const auto item = [&](const QString& what, int d) {
      return Item{name + what, name + QStringLiteral(" ") + what, QStringLiteral("https://example.com/") + name + what,
                  day(d)};
    };
    save(items({item(QStringLiteral("edited"), 1), item(QStringLiteral("same"), 2)}), false, mode.preparedAhead);
    auto next =
        items({item(QStringLiteral("edited"), 1), item(QStringLiteral("same"), 2), item(QStringLiteral("new"), 3)});
    const QString rewritten =
        QStringLiteral("<p>A <b>rewritten</b> body &amp; <img src=\"https://example.com/i.png\"></p>");
    next[0]->setContent(rewritten);
    next[2]->setContent(QStringLiteral("<div>Brand <i>new</i></div>"));
    save(next, false, mode.preparedAhead);

    for (const std::shared_ptr<CBParsedNewsItem>& expected : next) {
      SCOPED_TRACE(expected->title().toStdString());
      CBDataArticle* article = articleTitled(expected->title());
      ASSERT_NE(article, nullptr);
      ASSERT_NE(article->content(), nullptr);
      EXPECT_EQ(article->content()->htmlText(), expected->htmlText());
      EXPECT_EQ(article->content()->normalizedText(),
                CBDataArticleContent::normalizedTextFromHtmlText(expected->htmlText()));
      EXPECT_EQ(article->plainTextPreview(), expected->preview());
      EXPECT_EQ(article->thumbnailURL(), expected->thumbnailURL());
    }
  }
}

TEST_F(ArticleSaverTest, ItemsWithoutIdentityMarkEveryReadArticleAndSaveNothing)
{
  save(items({{"a", "Read", "https://example.com/a", day(1)}, {"c", "Unread", "https://example.com/c", day(3)}}));
  setState(articleTitled(QStringLiteral("Read")), true, false);
  auto saver = save(items({{"", "No identity", "", day(5)}}));
  ASSERT_EQ(articles().size(), 1);
  EXPECT_EQ(articles()[0]->title(), QStringLiteral("Unread"));
  EXPECT_EQ(saver->latestPublishDate().date().year(), 1);
}

TEST_F(ArticleSaverTest, NewArticlesNotNewerThanTheFeedsMarkAllReadArriveRead)
{
  feed->setMarkAllAsReadLastArticleDate(double(day(5).toSecsSinceEpoch()));
  ASSERT_TRUE(main->save());
  save(items({{"old", "Old", "https://example.com/old", day(4)},
              {"at", "At", "https://example.com/at", day(5)},
              {"new", "New", "https://example.com/new", day(6)}}));
  EXPECT_TRUE(articleTitled(QStringLiteral("Old"))->read());
  EXPECT_TRUE(articleTitled(QStringLiteral("At"))->read());
  EXPECT_FALSE(articleTitled(QStringLiteral("New"))->read());
}

TEST_F(ArticleSaverTest, EnclosuresAreStoredWithTheirMediaFlags)
{
  struct Case {
    const char* url;
    const char* mimeType;
    const char* medium;
    bool audio;
    bool video;
  };
  const Case cases[] = {
      {"https://example.com/a.mp3", "audio/mpeg", nullptr, true, false},
      {"https://example.com/v", "", "video", false, true},
      {"https://example.com/p.png", "image/png", nullptr, false, false},
  };
  QList<std::shared_ptr<CBParsedNewsItem>> list;
  for (const Case& c : cases) {
    auto item = parsed({QString::fromLatin1(c.url), QString::fromLatin1(c.url), QString::fromLatin1(c.url), day(1)});
    auto enclosure = std::make_shared<CBParsedEnclosure>();
    enclosure->setUrlString(QString::fromLatin1(c.url));
    enclosure->setMimeType(QString::fromLatin1(c.mimeType));
    if (c.medium != nullptr)
      enclosure->setMedium(QString::fromLatin1(c.medium));
    enclosure->setFileSize(1234);
    item->addEnclosure(enclosure);
    // A second copy of the same address and one without an address add nothing.
    item->addEnclosure(enclosure);
    item->addEnclosure(std::make_shared<CBParsedEnclosure>());
    list.append(item);
  }
  save(list);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.url);
    CBDataArticle* article = articleTitled(QString::fromLatin1(c.url));
    ASSERT_NE(article, nullptr);
    ASSERT_EQ(article->enclosures().size(), 1);
    EXPECT_EQ(article->enclosures()[0]->value(QStringLiteral("URL")).toString(), QString::fromLatin1(c.url));
    EXPECT_EQ(article->enclosures()[0]->value(QStringLiteral("fileSize")).toLongLong(), 1234);
    EXPECT_EQ(article->hasAudioEnclosure(), c.audio);
    EXPECT_EQ(article->hasVideoEnclosure(), c.video);
  }

  // The same enclosures again change nothing; none clears them and the flags.
  const ZPHManagedObjectID audio =
      articleTitled(QStringLiteral("https://example.com/a.mp3"))->enclosures()[0]->objectID();
  save(list);
  EXPECT_EQ(articleTitled(QStringLiteral("https://example.com/a.mp3"))->enclosures()[0]->objectID(), audio);
  QList<std::shared_ptr<CBParsedNewsItem>> bare;
  for (const Case& c : cases)
    bare.append(parsed({QString::fromLatin1(c.url), QString::fromLatin1(c.url), QString::fromLatin1(c.url), day(1)}));
  save(bare);
  for (const Case& c : cases) {
    CBDataArticle* article = articleTitled(QString::fromLatin1(c.url));
    EXPECT_TRUE(article->enclosures().isEmpty());
    EXPECT_FALSE(article->hasAudioEnclosure());
    EXPECT_FALSE(article->hasVideoEnclosure());
  }
}

TEST_F(ArticleSaverTest, StoredArticlesKeepMatchingEnclosuresAndAnItemTwiceSeesItsOwnChanges)
{
  const auto withEnclosures = [](const Item& fields, const QStringList& urls) {
    auto item = parsed(fields);
    for (const QString& url : urls) {
      auto enclosure = std::make_shared<CBParsedEnclosure>();
      enclosure->setUrlString(url);
      enclosure->setMimeType(url.endsWith(QLatin1String(".mp4")) ? QStringLiteral("video/mp4")
                                                                 : QStringLiteral("audio/mpeg"));
      item->addEnclosure(enclosure);
    }
    return item;
  };
  const Item a{"a", "A", "https://example.com/a", day(1)};
  const Item c{"c", "C", "https://example.com/c", day(2)};
  const QString e1 = QStringLiteral("https://example.com/1.mp3");
  const QString e2 = QStringLiteral("https://example.com/2.mp4");
  const QString e4 = QStringLiteral("https://example.com/4.mp3");
  const QString e6 = QStringLiteral("https://example.com/6.mp3");
  const QString e7 = QStringLiteral("https://example.com/7.mp4");
  save({withEnclosures(a, {e1, e2}), withEnclosures(c, {e6})});
  const auto enclosureNamed = [](CBDataArticle* article, const QString& url) -> ZPHManagedObject* {
    for (ZPHManagedObject* enclosure : article->enclosures())
      if (enclosure->value(QStringLiteral("URL")).toString() == url)
        return enclosure;
    return nullptr;
  };
  ASSERT_NE(enclosureNamed(articleTitled(QStringLiteral("A")), e2), nullptr);
  const ZPHManagedObjectID kept = enclosureNamed(articleTitled(QStringLiteral("A")), e2)->objectID();

  // A drops one enclosure, keeps one and gains one; C comes twice, and the
  // second time it finds the enclosure the first time added.
  save({withEnclosures(a, {e2, e4}), withEnclosures(c, {e6, e7}), withEnclosures(c, {e7})});
  CBDataArticle* articleA = articleTitled(QStringLiteral("A"));
  ASSERT_EQ(articleA->enclosures().size(), 2);
  EXPECT_EQ(enclosureNamed(articleA, e1), nullptr);
  ASSERT_NE(enclosureNamed(articleA, e2), nullptr);
  EXPECT_EQ(enclosureNamed(articleA, e2)->objectID(), kept);
  EXPECT_NE(enclosureNamed(articleA, e4), nullptr);
  EXPECT_TRUE(articleA->hasAudioEnclosure());
  EXPECT_TRUE(articleA->hasVideoEnclosure());
  CBDataArticle* articleC = articleTitled(QStringLiteral("C"));
  ASSERT_EQ(articleC->enclosures().size(), 1);
  EXPECT_NE(enclosureNamed(articleC, e7), nullptr);
  EXPECT_FALSE(articleC->hasAudioEnclosure());
  EXPECT_TRUE(articleC->hasVideoEnclosure());
  // Nothing is left over beside them.
  EXPECT_EQ(main->countForFetchRequest(ZPHFetchRequest(QStringLiteral("Enclosure"))), 3);
}

// A new article whose guid the feed lists twice, with and without an
// enclosure: the later item decides, in either order.
TEST_F(ArticleSaverTest, ANewArticleListedTwiceTakesTheEnclosuresOfTheLaterItem)
{
  const auto item = [](const char* guid, bool enclosed) {
    auto parsedItem = parsed({QLatin1String(guid), QLatin1String(guid),
                              QStringLiteral("https://example.com/") + QLatin1String(guid), day(1)});
    if (enclosed) {
      auto enclosure = std::make_shared<CBParsedEnclosure>();
      enclosure->setUrlString(QStringLiteral("https://example.com/%1.mp3").arg(QLatin1String(guid)));
      enclosure->setMimeType(QStringLiteral("audio/mpeg"));
      parsedItem->addEnclosure(enclosure);
    }
    return parsedItem;
  };
  save({item("first", true), item("first", false), item("last", false), item("last", true)});
  for (const char* guid : {"first", "last"}) {
    SCOPED_TRACE(guid);
    const bool enclosedLast = QLatin1String(guid) == QLatin1String("last");
    CBDataArticle* article = articleTitled(QLatin1String(guid));
    ASSERT_NE(article, nullptr);
    EXPECT_EQ(article->enclosures().size(), enclosedLast ? 1 : 0);
    EXPECT_EQ(article->hasAudioEnclosure(), enclosedLast);
  }
}

TEST_F(ArticleSaverTest, AnUnknownFeedOrACancelledSaverAnnouncesNothing)
{
  auto unknown = std::make_shared<ZPHCoreDataArticleSaverOperation>(
      items({{"g", "T", "https://example.com/t", day(1)}}), QUrl(QStringLiteral("https://example.com/gone.xml")));
  delegate.addCoreDataQueueOperation(unknown);
  auto cancelled = std::make_shared<ZPHCoreDataArticleSaverOperation>(
      items({{"g", "T", "https://example.com/t", day(1)}}), QUrl(FeedURL));
  cancelled->cancel();
  delegate.addCoreDataQueueOperation(cancelled);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return unknown->isFinished() && cancelled->isFinished(); }));
  ZPHTestSpinEventLoop(20);
  EXPECT_FALSE(unknown->didSaveUncancelled());
  EXPECT_FALSE(cancelled->didSaveUncancelled());
  EXPECT_TRUE(notifications.isEmpty());
  EXPECT_TRUE(articles().isEmpty());
}

// Savers that wait on the store queue back to back are saved together (one
// save, one merge into the main context), each still as if it ran alone:
// its own feed, matching, counts and announcement, in queue order, and its
// own cancel.
TEST_F(ArticleSaverTest, SaversWaitingTogetherSaveOnceEachAsIfAlone)
{
  const QString otherURL = QStringLiteral("https://example.org/other.xml");
  CBFeed::insertFeedWithURL(QUrl(otherURL), main)->setGuid(QStringLiteral("other-guid"));
  ASSERT_TRUE(main->save());
  int merges = 0;
  QObject::connect(main, &ZPHManagedObjectContext::objectsDidChange, main,
                   [&](const QList<ZPHManagedObjectID>& inserted, const QList<ZPHManagedObjectID>&,
                       const QList<ZPHManagedObjectID>&) { merges += inserted.isEmpty() ? 0 : 1; });

  holdStoreQueue();
  auto first = queueSaver({{"a", "A", "https://example.com/a", day(1)}, {"b", "B", "https://example.com/b", day(2)}});
  auto other = queueSaver({{"x", "X", "https://example.org/x", day(3)}}, otherURL);
  // The same feed again: it finds what the first saver made (no second
  // article for "b") and counts only what is new to it.
  auto again =
      queueSaver({{"b", "B again", "https://example.com/b", day(2)}, {"c", "C", "https://example.com/c", day(4)}});
  auto cancelled = queueSaver({{"d", "D", "https://example.com/d", day(5)}});
  cancelled->cancel();
  auto unknown =
      queueSaver({{"e", "E", "https://example.com/e", day(6)}}, QStringLiteral("https://example.net/gone.xml"));
  release();
  ASSERT_TRUE(ZPHTestWaitUntil(
      [&] {
        return first->isFinished() && other->isFinished() && again->isFinished() && cancelled->isFinished() &&
               unknown->isFinished() && !controller.coreDataQueueHasOperations();
      },
      30000));
  ZPHTestSpinEventLoop(20);

  EXPECT_EQ(merges, 1);
  QStringList titles;
  for (CBDataArticle* article : articles()) titles.append(article->title());
  titles.sort();
  EXPECT_EQ(titles, (QStringList{"A", "B again", "C"}));
  EXPECT_EQ(CBDataArticle::articlesForFeedWithURL(QUrl(otherURL), main).size(), 1);

  EXPECT_TRUE(first->didSaveUncancelled());
  EXPECT_TRUE(other->didSaveUncancelled());
  EXPECT_TRUE(again->didSaveUncancelled());
  EXPECT_FALSE(cancelled->didSaveUncancelled());
  EXPECT_FALSE(unknown->didSaveUncancelled());
  ASSERT_EQ(notifications.size(), 3);
  const QList<std::pair<QString, quint64>> expected{{FeedURL, 2}, {otherURL, 1}, {FeedURL, 1}};
  for (qsizetype i = 0; i < notifications.size(); ++i) {
    EXPECT_EQ(notifications[i].userInfo.value(CBURLKey).toUrl(), QUrl(expected[i].first)) << i;
    EXPECT_EQ(notifications[i].userInfo.value(ZPHFeedRefreshUnreadCountKey).toULongLong(), expected[i].second) << i;
  }
}

// A read state kept for a link whose article went (an orphaned record) goes
// back to one article only, also when two feeds saved together bring the
// link at once.
TEST_F(ArticleSaverTest, SaversSavedTogetherClaimAnOrphanedStateOnce)
{
  const QString otherURL = QStringLiteral("https://example.org/other.xml");
  CBFeed::insertFeedWithURL(QUrl(otherURL), main)->setGuid(QStringLiteral("other-guid"));
  ArticleMetadata* orphan =
      ArticleMetadata::insertArticleMetadataForGUID(QStringLiteral("https://example.com/s"), main);
  ASSERT_NE(orphan, nullptr);
  orphan->setRead(true);
  ASSERT_TRUE(main->save());

  holdStoreQueue();
  auto first = queueSaver({{"s1", "Story", "https://example.com/s", day(1)}});
  auto second = queueSaver({{"s2", "Story elsewhere", "https://example.com/s", day(1)}}, otherURL);
  release();
  ASSERT_TRUE(ZPHTestWaitUntil(
      [&] { return first->isFinished() && second->isFinished() && !controller.coreDataQueueHasOperations(); }, 30000));
  ZPHTestSpinEventLoop(20);

  ASSERT_EQ(articles().size(), 1);
  const QList<CBDataArticle*> elsewhere = CBDataArticle::articlesForFeedWithURL(QUrl(otherURL), main);
  ASSERT_EQ(elsewhere.size(), 1);
  ASSERT_NE(articles()[0]->metadata(), nullptr);
  ASSERT_NE(elsewhere[0]->metadata(), nullptr);
  EXPECT_NE(articles()[0]->metadata(), elsewhere[0]->metadata());
  // The first in queue order takes the kept state, as it would alone.
  EXPECT_EQ(articles()[0]->metadata()->objectID(), orphan->objectID());
  EXPECT_TRUE(articles()[0]->read());
  EXPECT_FALSE(elsewhere[0]->read());
}

// Savers saved together find the states kept for their links as each would
// alone: a state held by another feed's article is not taken, one left by a
// gone article is, a state the batch made for a link is seen by the savers
// after it, and a link that comes out otherwise once scrubbed still finds
// its own.
TEST_F(ArticleSaverTest, SaversSavedTogetherFindTheStatesOfTheirLinksAsAlone)
{
  const QString otherURL = QStringLiteral("https://example.org/other.xml");
  CBFeed::insertFeedWithURL(QUrl(otherURL), main)->setGuid(QStringLiteral("other-guid"));
  ASSERT_TRUE(main->save());
  save(items({{"s", "S", "https://example.com/s", day(1)}}));
  ASSERT_NE(articleTitled(QStringLiteral("S")), nullptr);
  setState(articleTitled(QStringLiteral("S")), true, true);
  const ZPHManagedObjectID storyState = articleTitled(QStringLiteral("S"))->metadata()->objectID();
  // Kept states of gone articles: one for a plain link, one for a link with
  // a lone surrogate as the store keeps it (scrubbed).
  const QString brokenLink = QStringLiteral("https://example.com/w") + QChar(0xD800);
  const QString orphans[] = {QStringLiteral("https://example.com/t"),
                             CobbletonExtras::zph_stringByReplacingSingularSurrogates(brokenLink)};
  ASSERT_NE(orphans[1], brokenLink);
  QList<ZPHManagedObjectID> orphanStates;
  for (const QString& guid : orphans) {
    ArticleMetadata* orphan = ArticleMetadata::insertArticleMetadataForGUID(guid, main);
    ASSERT_NE(orphan, nullptr);
    orphan->setRead(true);
    ASSERT_TRUE(main->save());
    orphanStates.append(orphan->objectID());
  }

  holdStoreQueue();
  auto first = queueSaver({{"s", "S", "https://example.com/s", day(1)},
                           {"t", "T", "https://example.com/t", day(2)},
                           {"w", "W", brokenLink, day(3)}});
  auto second = queueSaver({{"u", "U", "https://example.com/s", day(1)}}, otherURL);
  auto third =
      queueSaver({{"u", "U", "https://example.com/s", day(1)}, {"v", "V", "https://example.com/t", day(2)}}, otherURL);
  release();
  ASSERT_TRUE(ZPHTestWaitUntil(
      [&] {
        return first->isFinished() && second->isFinished() && third->isFinished() &&
               !controller.coreDataQueueHasOperations();
      },
      30000));
  ZPHTestSpinEventLoop(20);

  const struct {
    const char* title;
    std::optional<ZPHManagedObjectID> state;  // the state it holds, when a kept one
    bool read;
    bool flagged;
  } expected[] = {
      {"S", storyState, true, true},
      {"T", orphanStates[0], true, false},
      {"W", orphanStates[1], true, false},
  };
  QSet<ZPHManagedObjectID> states;
  for (const auto& row : expected) {
    CBDataArticle* article = articleTitled(QString::fromUtf8(row.title));
    ASSERT_NE(article, nullptr) << row.title;
    ASSERT_NE(article->metadata(), nullptr) << row.title;
    EXPECT_EQ(article->metadata()->objectID(), *row.state) << row.title;
    EXPECT_EQ(article->read(), row.read) << row.title;
    EXPECT_EQ(article->flagged(), row.flagged) << row.title;
    states.insert(article->metadata()->objectID());
  }
  EXPECT_EQ(articles().size(), 3);
  // The other feed's articles (one "u" for both of its savers) get states
  // of their own.
  const QList<CBDataArticle*> elsewhere = CBDataArticle::articlesForFeedWithURL(QUrl(otherURL), main);
  ASSERT_EQ(elsewhere.size(), 2);
  for (CBDataArticle* article : elsewhere) {
    ASSERT_NE(article->metadata(), nullptr);
    EXPECT_EQ(article->metadata()->guid(), article->bestLink());
    EXPECT_FALSE(article->read()) << article->title().toStdString();
    EXPECT_FALSE(states.contains(article->metadata()->objectID())) << article->title().toStdString();
    states.insert(article->metadata()->objectID());
  }
  EXPECT_EQ(states.size(), 5);
}

}  // namespace

namespace {

// One item of a real feed, parsed as a refresh parses it.
QList<std::shared_ptr<CBParsedNewsItem>> parsedFeed(const QByteArray& item)
{
  CBFeedParserProxy parser;
  parser.parseData("<?xml version=\"1.0\" encoding=\"utf-8\"?><rss version=\"2.0\"><channel><title>T</title>" + item +
                   "</channel></rss>");
  return parser.newsItems();
}

}  // namespace

TEST_F(ArticleSaverTest, StoresThePlainTitleAReadablePreviewAndTheAuthorsNameAndAddress)
{
  const QByteArray item =
      "<item><guid>p1</guid>"
      "<title>Why I switched to &lt;em&gt;plain&lt;/em&gt; Makefiles &lt;script&gt;x()&lt;/script&gt;"
      "</title><author>x@example.com (J\xC3\xBCrgen M\xC3\xBCller)</author>"
      "<description>&lt;p&gt;See footnote[1].&lt;/p&gt;&lt;p&gt;RELATIVE-LINK&lt;/p&gt;"
      "&lt;table&gt;&lt;tr&gt;&lt;td&gt;simpler.&lt;/td&gt;&lt;td&gt;Tool&lt;/td&gt;&lt;/tr&gt;"
      "&lt;/table&gt;</description></item>";
  // An article stored before, with the values of the old reading: the next
  // refresh that lists it brings the new ones.
  CBDataArticle* old = CBDataArticle::insertArticleWithFeedURL(QUrl(FeedURL), main);
  old->setGuid(QStringLiteral("p1"));
  old->setPlainTextTitle(QStringLiteral("Why I switched to <em>plain</em> Makefiles <script>x()</script>"));
  old->setAuthorEmail(QStringLiteral("x@example.com (J\u00FCrgen M\u00FCller)"));
  old->setPlainTextPreview(QStringLiteral("See footnote[1].RELATIVE-LINKsimpler.Tool"));
  ASSERT_TRUE(main->save());

  save(parsedFeed(item));
  ASSERT_EQ(articles().size(), 1);
  CBDataArticle* article = articles().first();
  EXPECT_EQ(article, old);
  EXPECT_EQ(article->plainTextTitle(), QStringLiteral("Why I switched to plain Makefiles"));
  EXPECT_EQ(article->plainTextTitleForDisplay(), article->plainTextTitle());
  EXPECT_EQ(article->plainTextPreview(), QStringLiteral("See footnote[1]. RELATIVE-LINK simpler. Tool"));
  EXPECT_EQ(article->authorName(), QStringLiteral("J\u00FCrgen M\u00FCller"));
  EXPECT_EQ(article->authorEmail(), QStringLiteral("x@example.com"));

  // The name is found as the author search finds names.
  for (const QString& query : {QStringLiteral("M\u00FCller"), QStringLiteral("muller")}) {
    const QList<CBDataArticle*> found = CBDataArticle::articlesWithPredicate(
        ZPHPredicate::contains(QStringLiteral("authorName"), query,
                               ZPHPredicate::CaseInsensitive | ZPHPredicate::DiacriticInsensitive),
        std::nullopt, main);
    EXPECT_EQ(found, QList<CBDataArticle*>{article}) << query.toStdString();
  }
}
