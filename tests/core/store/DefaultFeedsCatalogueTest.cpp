#include "store/CBDefaultFeedsCatalogue.h"
#include "support/ZPHTestSupport.h"

#include <QtCore/QSet>
#include <QtCore/QUrl>

#include <gtest/gtest.h>

TEST(DefaultFeedsCatalogue, TheShippedCatalogueListsWellFormedSitesInSeveralCategories)
{
  const QList<CBDefaultFeedsCatalogueFeed> feeds = CBDefaultFeedsCatalogue::readFeeds();
  EXPECT_GE(feeds.size(), 30);
  QSet<QString> categories;
  QSet<QString> addresses;
  for (const CBDefaultFeedsCatalogueFeed& feed : feeds) {
    categories.insert(feed.categoryName);
    const QString rss = feed.dictionary.value("rss").toString();
    for (const QString& key : {QStringLiteral("rss"), QStringLiteral("home")}) {
      const QUrl url(feed.dictionary.value(key).toString(), QUrl::StrictMode);
      EXPECT_TRUE(url.isValid() && url.scheme() == "https" && !url.host().isEmpty()) << rss.toStdString();
    }
    EXPECT_FALSE(feed.dictionary.value("name").toString().trimmed().isEmpty()) << rss.toStdString();
    EXPECT_FALSE(feed.dictionary.value("description").toString().trimmed().isEmpty()) << rss.toStdString();
    EXPECT_FALSE(addresses.contains(rss)) << "listed twice: " << rss.toStdString();
    addresses.insert(rss);
  }
  EXPECT_GE(categories.size(), 5);
}

TEST(DefaultFeedsCatalogue, ABrokenCatalogueReadsAsEmptyAndABrokenFeedIsLeftOut)
{
  ZPHTestTempDir folder;
  struct Case {
    const char* name;
    QByteArray json;
    QStringList expectedNames;
  } cases[] = {
      {"not-json", "{\"categories\": ", {}},
      {"array", "[1, 2]", {}},
      {"no-categories", R"({"feeds": [{"category": "a", "name": "A"}]})", {}},
      {"empty-categories", R"({"categories": {}, "feeds": [{"category": "a", "name": "A"}]})", {}},
      {"no-feeds", R"({"categories": {"a": "Alpha"}})", {}},
      {"empty-feeds", R"({"categories": {"a": "Alpha"}, "feeds": []})", {}},
      {"mixed",
       R"({"categories": {"a": "Alpha", "b": "", "c": 7},
           "feeds": [{"category": "a", "name": "First"}, {"name": "No Category"}, {"category": "x", "name": "Unknown"},
                     {"category": "b", "name": "Empty Name"}, {"category": "c", "name": "Not Text"}, "not an object",
                     {"category": "a", "name": "Second"}]})",
       {"First", "Second"}},
  };
  for (const Case& c : cases) {
    const QString path = folder.writeFile(QString::fromLatin1(c.name), c.json);
    QStringList names;
    for (const CBDefaultFeedsCatalogueFeed& feed : CBDefaultFeedsCatalogue::readFeeds(path)) {
      names.append(feed.dictionary.value("name").toString());
      EXPECT_EQ(feed.categoryName, "Alpha");
    }
    EXPECT_EQ(names, c.expectedNames) << c.name;
  }
  EXPECT_TRUE(CBDefaultFeedsCatalogue::readFeeds(folder.filePath("missing.json")).isEmpty());
}
