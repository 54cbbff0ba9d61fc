#include "SyncTestFixture.h"

#include "sync/ZPHSyncUtils.h"

#include <cmath>

namespace {

class SyncUtilsTest : public SyncTestFixture {
protected:
  // A folder with every date of `dates` and a name, index, parent and flags.
  CBFolder* folder(double dates)
  {
    CBFolder* node = CBFolder::insertFolderWithMOC(main);
    node->setGuid(QStringLiteral("F1"));
    node->setName(QStringLiteral("Local"));
    node->setUserSpecifiedName(QStringLiteral("Local"));
    node->setUserSpecifiedNameModDate(dates);
    node->setChildindex(1);
    node->setChildindexModDate(dates);
    node->setParentguid(QStringLiteral("P-local"));
    node->setParentguidModDate(dates);
    node->setFlags(1);
    node->setFlagsModDate(dates);
    node->setModDate(dates);
    return node;
  }
  static QJsonObject serverFolder(double dates, double modDate)
  {
    return QJsonObject{{QStringLiteral("guid"), QStringLiteral("F1")},
                       {QStringLiteral("modDate"), modDate},
                       {QStringLiteral("userAssignedName"), QStringLiteral("Server")},
                       {QStringLiteral("userAssignedNameModDate"), dates},
                       {QStringLiteral("childIndex"), 7},
                       {QStringLiteral("childIndexModDate"), dates},
                       {QStringLiteral("parentGUID"), QStringLiteral("P-server")},
                       {QStringLiteral("parentGUIDModDate"), dates},
                       {QStringLiteral("flags"), 4},
                       {QStringLiteral("flagsModDate"), dates}};
  }
};

// Every value read from a reply tolerates any shape.
TEST_F(SyncUtilsTest, ReadersTolerateAnyShape)
{
  const QJsonObject reply = ZPHTestJSON(R"({"null": null, "text": "12.7", "word": "yes", "number": 3.9,
      "negative": -2.5, "huge": 1e300, "array": [1], "object": {"a": 1}, "true": true, "zero": 0})");
  const auto v = [&](const char* key) { return reply.value(QLatin1String(key)); };

  EXPECT_TRUE(ZPHSyncUtils::processParameter(v("null")).isUndefined());
  EXPECT_EQ(ZPHSyncUtils::processParameter(v("number")).toDouble(), 3.9);

  EXPECT_EQ(ZPHSyncUtils::processInteger(v("null")), 0);
  EXPECT_EQ(ZPHSyncUtils::processInteger(v("missing")), 0);
  EXPECT_EQ(ZPHSyncUtils::processInteger(v("number")), 3);
  EXPECT_EQ(ZPHSyncUtils::processInteger(v("negative")), -2);
  EXPECT_EQ(ZPHSyncUtils::processInteger(v("text")), 12);
  EXPECT_EQ(ZPHSyncUtils::processInteger(v("huge")), std::numeric_limits<qint32>::max());
  EXPECT_EQ(ZPHSyncUtils::processInteger(v("array")), 0);
  EXPECT_EQ(ZPHSyncUtils::processInteger(v("true")), 1);

  EXPECT_EQ(ZPHSyncUtils::processTimeStamp(v("null")), 0.0);
  EXPECT_EQ(ZPHSyncUtils::processTimeStamp(v("text")), 12.7);
  EXPECT_EQ(ZPHSyncUtils::processTimeStamp(v("object")), 0.0);
  EXPECT_TRUE(std::isfinite(ZPHSyncUtils::processTimeStamp(v("huge"))));

  EXPECT_TRUE(ZPHSyncUtils::processString(v("null")).isNull());
  EXPECT_TRUE(ZPHSyncUtils::processString(v("number")).isNull());
  EXPECT_EQ(ZPHSyncUtils::processString(v("word")), QStringLiteral("yes"));

  EXPECT_TRUE(ZPHSyncUtils::processBool(v("true")));
  EXPECT_TRUE(ZPHSyncUtils::processBool(v("word")));
  EXPECT_TRUE(ZPHSyncUtils::processBool(v("number")));
  EXPECT_FALSE(ZPHSyncUtils::processBool(v("zero")));
  EXPECT_FALSE(ZPHSyncUtils::processBool(v("null")));
  EXPECT_FALSE(ZPHSyncUtils::processBool(v("object")));

  EXPECT_TRUE(ZPHSyncUtils::processArray(v("object")).isEmpty());
  EXPECT_TRUE(ZPHSyncUtils::processObject(v("array")).isEmpty());

  EXPECT_EQ(ZPHSyncUtils::processWebAddress(QJsonValue(QStringLiteral("https://example.com/feed"))),
            QStringLiteral("https://example.com/feed"));
  for (const char* bad : {"javascript:alert(1)", "file:///etc/passwd", "/relative", "", "http://"})
    EXPECT_TRUE(ZPHSyncUtils::processWebAddress(QJsonValue(QLatin1String(bad))).isNull()) << bad;
}

// The node merge: field by field, the later date wins; a later local date
// leaves the node to be sent; equal dates change nothing. The server's dates
// count with their fractions; this device's only in whole seconds, as it
// sends them.
TEST_F(SyncUtilsTest, NodeMergeTable)
{
  struct Case {
    const char* name;
    double localDates;
    double serverDates;
    double serverModDate;
    bool takesServer;
    bool updated;
    bool dirty;
  } cases[] = {
      {"equal dates", 1000, 1000, 1000, false, false, false},
      // The wire's whole seconds: a fraction later is the same second (the
      // server's echo of this device's own change).
      {"local a fraction later", 1000.7, 1000, 1000, false, false, false},
      // A change made on the server later within the same second.
      {"server a fraction later", 1000.2, 1000.6, 1000.6, true, true, false},
      {"local a whole second later than a fractional server date", 1001.2, 1000.9, 1000.9, false, false, true},
      {"local a fraction later than a fractional server date", 1000.9, 1000.4, 1000.4, false, false, false},
      {"server newer", 1000, 2000, 2000, true, true, false},
      {"local newer", 2000, 1000, 1000, false, false, true},
      {"server fields newer, local modDate newer", 1000, 2000, 500, true, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CBFolder* node = folder(c.localDates);
    bool updated = true;
    bool dirty = true;
    ZPHSyncUtils::setNodeProperties(node, serverFolder(c.serverDates, c.serverModDate), false, &updated, &dirty);
    EXPECT_EQ(updated, c.updated);
    EXPECT_EQ(dirty, c.dirty);
    EXPECT_EQ(node->userSpecifiedName(), c.takesServer ? QStringLiteral("Server") : QStringLiteral("Local"));
    EXPECT_EQ(node->name(), c.takesServer ? QStringLiteral("Server") : QStringLiteral("Local"));
    EXPECT_EQ(node->childindex(), c.takesServer ? 7 : 1);
    EXPECT_EQ(node->parentguid(), c.takesServer ? QStringLiteral("P-server") : QStringLiteral("P-local"));
    EXPECT_EQ(node->flags(), c.takesServer ? 4 : 1);
    EXPECT_EQ(node->childindexModDate(), c.takesServer ? c.serverDates : c.localDates);
    EXPECT_EQ(node->modDate(), c.serverModDate > c.localDates ? c.serverModDate : c.localDates);
    main->deleteObject(node);
  }
}

TEST_F(SyncUtilsTest, NodeMergeFieldsApartAndDeletion)
{
  // Only the index is newer locally: the rest comes from the server and the
  // node still needs sending.
  CBFolder* node = folder(1000);
  node->setChildindexModDate(3000);
  bool updated = false;
  bool dirty = false;
  ZPHSyncUtils::setNodeProperties(node, serverFolder(2000, 2000), false, &updated, &dirty);
  EXPECT_TRUE(updated);
  EXPECT_TRUE(dirty);
  EXPECT_EQ(node->childindex(), 1);
  EXPECT_EQ(node->userSpecifiedName(), QStringLiteral("Server"));

  // A server deletion marks the node whatever the dates.
  CBFolder* other = folder(5000);
  QJsonObject deleted = serverFolder(0, 0);
  deleted.insert(QStringLiteral("isDeleted"), true);
  EXPECT_TRUE(ZPHSyncUtils::setNodeProperties(other, deleted, false));
  EXPECT_TRUE(other->deleted());

  // A new node takes everything, and a null name as no name.
  CBFolder* made = CBFolder::insertFolderWithMOC(main);
  QJsonObject fresh = serverFolder(1500, 1600);
  fresh.insert(QStringLiteral("userAssignedName"), QJsonValue::Null);
  fresh.insert(QStringLiteral("childIndex"), QStringLiteral("not a number"));
  ZPHSyncUtils::setNodeProperties(made, fresh, true, &updated, &dirty);
  EXPECT_FALSE(updated);
  EXPECT_FALSE(dirty);
  EXPECT_TRUE(made->userSpecifiedName().isNull());
  EXPECT_EQ(made->childindex(), 0);
  EXPECT_EQ(made->parentguid(), QStringLiteral("P-server"));
  EXPECT_EQ(made->modDate(), 1600.0);
}

// The article merge against the article's modification date L.
TEST_F(SyncUtilsTest, ArticleMergeTable)
{
  const double L = 5000;
  struct Case {
    const char* name;
    bool localRead, localFlagged;
    QByteArray server;
    bool read, flagged, updated, dirty, readChanged, flaggedChanged;
  } cases[] = {
      {"server newer read", false, false, R"({"modDate": 6000, "read": true, "readModDate": 6000})", true, false, true,
       false, true, false},
      {"server older read", false, false, R"({"modDate": 4000, "read": true, "readModDate": 4000})", false, false,
       false, true, false, false},
      {"equal dates", true, false, R"({"modDate": 5000, "read": false, "readModDate": 5000})", true, false, false,
       false, false, false},
      {"same read, later date", true, false, R"({"modDate": 6000, "read": true, "readModDate": 6000})", true, false,
       true, false, false, false},
      {"same bookmark, later date", false, true,
       R"({"modDate": 6000, "read": false, "bookmarked": true, "bookmarkedModDate": 6000})", false, true, true, false,
       false, true},
      {"unbookmarked on the server", false, true,
       R"({"modDate": 6000, "bookmarked": false, "bookmarkedModDate": 6000})", false, false, true, false, false, true},
      {"nulls everywhere", true, true,
       R"({"modDate": null, "read": null, "bookmarked": null, "readModDate": null, "bookmarkedModDate": null})", true,
       true, false, true, false, false},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CBDataArticle* article = CBDataArticle::insertArticleWithFeedURL(QUrl(QStringLiteral("https://f.example/")), main);
    article->setLink(QStringLiteral("https://f.example/%1").arg(++n));
    article->setModDate(QDateTime::fromMSecsSinceEpoch(qint64(L * 1000), Qt::UTC));
    ArticleMetadata* metadata = article->findOrInsertMetadata();
    metadata->setRead(c.localRead);
    metadata->setFlagged(c.localFlagged);
    bool updated = false, dirty = false, readChanged = false, flaggedChanged = false;
    ZPHSyncUtils::setArticleProperties(article, ZPHTestJSON(c.server), false, &updated, &dirty, &readChanged,
                                       &flaggedChanged);
    EXPECT_EQ(article->read(), c.read);
    EXPECT_EQ(article->flagged(), c.flagged);
    EXPECT_EQ(updated, c.updated);
    EXPECT_EQ(dirty, c.dirty);
    EXPECT_EQ(readChanged, c.readChanged);
    EXPECT_EQ(flaggedChanged, c.flaggedChanged);
  }
}

// The node object as sent: dates in whole seconds, truncated; keys without a
// value left out rather than null; index, flags and deletion always there.
TEST_F(SyncUtilsTest, NodeObjectAsSent)
{
  CBFolder* bare = CBFolder::insertFolderWithMOC(main);
  bare->setModDate(1.9);
  const QJsonObject sentBare = ZPHSyncUtils::dictionaryForNode(bare);
  EXPECT_EQ(sentBare.value(QStringLiteral("modDate")), QJsonValue(1));
  EXPECT_TRUE(sentBare.value(QStringLiteral("modDate")).isDouble());
  for (const char* absent : {"guid", "parentGUID", "userAssignedName", "childIndexModDate", "flagsModDate",
                             "parentGUIDModDate", "userAssignedNameModDate", "url"})
    EXPECT_FALSE(sentBare.contains(QLatin1String(absent))) << absent;
  EXPECT_EQ(sentBare.value(QStringLiteral("childIndex")), QJsonValue(0));
  EXPECT_EQ(sentBare.value(QStringLiteral("flags")), QJsonValue(0));
  EXPECT_EQ(sentBare.value(QStringLiteral("isDeleted")), QJsonValue(false));
  EXPECT_EQ(sentBare.value(QStringLiteral("isFolder")), QJsonValue(1));

  bare->setModDate(0);
  EXPECT_FALSE(ZPHSyncUtils::dictionaryForNode(bare).contains(QStringLiteral("modDate")));

  CBFeed* feed = CBFeed::insertFeedWithURL(QUrl(QStringLiteral("https://example.com/feed?a=1")), main);
  feed->setGuid(QStringLiteral("G"));
  feed->setParentguid(QStringLiteral("P"));
  feed->setParentguidModDate(1234.99);
  feed->setHomePageURL(QUrl(QStringLiteral("https://example.com/")));
  const QJsonObject sentFeed = ZPHSyncUtils::dictionaryForNode(feed);
  EXPECT_EQ(sentFeed.value(QStringLiteral("url")).toString(), QStringLiteral("https://example.com/feed?a=1"));
  EXPECT_EQ(sentFeed.value(QStringLiteral("homepageurl")).toString(), QStringLiteral("https://example.com/"));
  EXPECT_EQ(sentFeed.value(QStringLiteral("parentGUID")).toString(), QStringLiteral("P"));
  EXPECT_EQ(sentFeed.value(QStringLiteral("parentGUIDModDate")), QJsonValue(1234));
  EXPECT_FALSE(sentFeed.contains(QStringLiteral("isFolder")));
  EXPECT_FALSE(sentFeed.contains(QStringLiteral("favIconUrl")));

  // No address goes out with a login, also one an earlier version stored.
  CBFeed* stored = CBFeed::insertFeedWithMOC(main);
  stored->setValue(QStringLiteral("url"), QStringLiteral("https://reader:pw@example.com/private"));
  stored->setValue(QStringLiteral("strHomePageURL"), QStringLiteral("http://reader:pw@example.com/"));
  stored->setValue(QStringLiteral("strFaviconURL"), QStringLiteral("https://reader:pw@example.com/icon.png"));
  const QJsonObject sentStored = ZPHSyncUtils::dictionaryForNode(stored);
  EXPECT_EQ(sentStored.value(QStringLiteral("url")).toString(), QStringLiteral("https://example.com/private"));
  EXPECT_EQ(sentStored.value(QStringLiteral("homepageurl")).toString(), QStringLiteral("http://example.com/"));
  EXPECT_EQ(sentStored.value(QStringLiteral("favIconUrl")).toString(), QStringLiteral("https://example.com/icon.png"));
  EXPECT_EQ(stored->homePageURL(), QUrl(QStringLiteral("http://example.com/")));
  CBDataArticle* article = CBDataArticle::insertArticleWithFeedURL(QUrl(QStringLiteral("https://example.com/")), main);
  article->setLink(QStringLiteral("https://reader:pw@example.com/post"));
  EXPECT_EQ(ZPHSyncUtils::dictionaryForArticle(article).value(QStringLiteral("guid")).toString(),
            QStringLiteral("https://example.com/post"));
  // And none is stored from now on, whoever sets it.
  stored->setUrl(QStringLiteral("https://reader:pw@example.com/private"));
  stored->setHomePageURL(QUrl(QStringLiteral("http://reader:pw@example.com/")));
  stored->setStrFaviconURL(QStringLiteral("https://reader:pw@example.com/icon.png"));
  EXPECT_EQ(stored->url(), QStringLiteral("https://example.com/private"));
  EXPECT_EQ(stored->strHomePageURL(), QStringLiteral("http://example.com/"));
  EXPECT_EQ(stored->strFaviconURL(), QStringLiteral("https://example.com/icon.png"));
}

// A deletion goes up with the node's last values: every key a node object
// has, "childIndex" and "flags" always, the dates as they were.
TEST_F(SyncUtilsTest, DeletedNodeObjectAsSent)
{
  const QVariantMap feedValues{{QStringLiteral("guid"), QStringLiteral("G")},
                               {QStringLiteral("isFolder"), false},
                               {QStringLiteral("modDate"), 2000.5},
                               {QStringLiteral("parentguid"), QStringLiteral("P")},
                               {QStringLiteral("parentguidModDate"), 1500.9},
                               {QStringLiteral("childindex"), 3},
                               {QStringLiteral("childindexModDate"), 1400.0},
                               {QStringLiteral("userSpecifiedName"), QStringLiteral("Mine")},
                               {QStringLiteral("userSpecifiedNameModDate"), 1300.0},
                               {QStringLiteral("flags"), 2},
                               {QStringLiteral("flagsModDate"), 1200.0},
                               {QStringLiteral("url"), QStringLiteral("https://example.com/feed")},
                               {QStringLiteral("strHomePageURL"), QStringLiteral("http://reader:pw@example.com/")},
                               {QStringLiteral("strFaviconURL"), QVariant()}};
  EXPECT_EQ(ZPHSyncUtils::dictionaryForDeletedNode(feedValues),
            ZPHTestJSON(R"({"guid": "G", "isDeleted": true, "modDate": 2000, "parentGUID": "P",
                            "parentGUIDModDate": 1500, "childIndex": 3, "childIndexModDate": 1400,
                            "userAssignedName": "Mine", "userAssignedNameModDate": 1300, "flags": 2,
                            "flagsModDate": 1200, "url": "https://example.com/feed",
                            "homepageurl": "http://example.com/"})"));

  // A bare folder: the keys every node has, and a date even without one.
  const double before = std::floor(QDateTime::currentMSecsSinceEpoch() / 1000.0);
  const QJsonObject folder = ZPHSyncUtils::dictionaryForDeletedNode(
      {{QStringLiteral("guid"), QStringLiteral("F")}, {QStringLiteral("isFolder"), true}});
  EXPECT_EQ(folder.value(QStringLiteral("childIndex")), QJsonValue(0));
  EXPECT_EQ(folder.value(QStringLiteral("flags")), QJsonValue(0));
  EXPECT_EQ(folder.value(QStringLiteral("isDeleted")), QJsonValue(true));
  EXPECT_EQ(folder.value(QStringLiteral("isFolder")), QJsonValue(1));
  EXPECT_GE(folder.value(QStringLiteral("modDate")).toDouble(), before);
  EXPECT_FALSE(folder.contains(QStringLiteral("parentGUID")));
  EXPECT_FALSE(folder.contains(QStringLiteral("url")));
}

TEST_F(SyncUtilsTest, ArticleObjectAsSent)
{
  CBDataArticle* article = CBDataArticle::insertArticleWithFeedURL(QUrl(QStringLiteral("https://f.example/")), main);
  article->setGuid(QStringLiteral("tag:1"));
  article->setPermalink(QStringLiteral("https://f.example/post"));
  article->setModDate(QDateTime::fromMSecsSinceEpoch(1234567, Qt::UTC));
  article->findOrInsertMetadata()->setFlagged(true);
  const QJsonObject sent = ZPHSyncUtils::dictionaryForArticle(article);
  EXPECT_EQ(sent.value(QStringLiteral("guid")).toString(), QStringLiteral("https://f.example/post"));
  EXPECT_DOUBLE_EQ(sent.value(QStringLiteral("modDate")).toDouble(), 1234.567);
  EXPECT_EQ(sent.value(QStringLiteral("read")), QJsonValue(false));
  EXPECT_EQ(sent.value(QStringLiteral("bookmarked")), QJsonValue(true));
  EXPECT_FALSE(sent.contains(QStringLiteral("isDeleted")));
}

}  // namespace
