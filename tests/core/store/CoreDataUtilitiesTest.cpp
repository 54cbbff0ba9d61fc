#include "store/CBCoreDataUtilities.h"
#include "store/entities/CBDataModel.h"
#include "store/entities/CBFeed.h"
#include "store/graph/ZPHManagedObjectContext.h"
#include "support/ZPHTestApplicationDelegate.h"

#include <gtest/gtest.h>

namespace {

class CoreDataUtilitiesTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    CBCoreDataUtilitiesStartup();
    ASSERT_TRUE(store.open(false, nullptr));
  }

  ZPHTestApplicationDelegate delegate;
  ZPHPersistentStore store{CBDataManagedObjectModel(), delegate.pathToDataFolder() + QStringLiteral("/Articles")};
  ZPHManagedObjectContext main{&store, ZPHManagedObjectContext::MainQueueConcurrencyType};
};

}  // namespace

TEST_F(CoreDataUtilitiesTest, EqualityPredicatesAreCachedAndFilledPerCall)
{
  const ZPHPredicate first = CBPredicateWithEquality(QStringLiteral("url"));
  EXPECT_EQ(first, CBPredicateWithEquality(QStringLiteral("url")));  // the same object
  EXPECT_EQ(first.predicateFormat(), QStringLiteral("(url == $VALUE)"));
  EXPECT_EQ(CBPredicateWithDictionaryMatches({{QStringLiteral("a"), 1}, {QStringLiteral("b"), 2}}).predicateFormat(),
            QStringLiteral("((a == $a) && (b == $b))"));

  for (const char* url : {"https://one.example/", "https://two.example/"})
    CBInsertObjectWithValueForKey(QStringLiteral("url"), QString::fromLatin1(url), CBDataEntityNameFeed, &main);
  ASSERT_TRUE(main.save());
  for (const char* url : {"https://one.example/", "https://two.example/"}) {
    auto* feed = static_cast<CBFeed*>(CBFetchManagedObjectWithValueForKey(
        QStringLiteral("url"), QString::fromLatin1(url), CBDataEntityNameFeed, &main));
    ASSERT_NE(feed, nullptr);
    EXPECT_EQ(feed->url(), QString::fromLatin1(url));
  }
  EXPECT_EQ(
      CBFetchManagedObjectArrayWithValueForKey(QStringLiteral("deleted"), false, CBDataEntityNameNode, &main).size(),
      2);
  EXPECT_EQ(CBFetchManagedObjectWithValueForKey(QStringLiteral("url"), QStringLiteral("https://none.example/"),
                                                CBDataEntityNameFeed, &main),
            nullptr);
}

TEST_F(CoreDataUtilitiesTest, FetchOrInsertSaysWhetherItInserted)
{
  bool inserted = false;
  ZPHManagedObject* first = CBFetchOrInsertObjectWithValueForKey(QStringLiteral("guid"), QStringLiteral("link"),
                                                                 CBDataEntityNameArticleMetadata, &main, &inserted);
  EXPECT_TRUE(inserted);
  ZPHManagedObject* again = CBFetchOrInsertObjectWithValueForKey(QStringLiteral("guid"), QStringLiteral("link"),
                                                                 CBDataEntityNameArticleMetadata, &main, &inserted);
  EXPECT_FALSE(inserted);
  EXPECT_EQ(again, first);  // also before the save

  const QVariantMap values{{QStringLiteral("guid"), QStringLiteral("tab")}, {QStringLiteral("index"), 3}};
  ZPHManagedObject* tab = CBFetchOrInsertObjectWithDictionary(values, CBDataEntityNameBrowserTab, &main, &inserted);
  EXPECT_TRUE(inserted);
  EXPECT_EQ(tab->value(QStringLiteral("index")).toInt(), 3);
  ASSERT_TRUE(main.save());
  EXPECT_EQ(CBFetchOrInsertObjectWithDictionary(values, CBDataEntityNameBrowserTab, &main, &inserted), tab);
  EXPECT_FALSE(inserted);
}

TEST_F(CoreDataUtilitiesTest, PresenceAndExistingObjectsFollowTheStore)
{
  ZPHManagedObject* kept = CBInsertObject(CBDataEntityNameFeed, &main);
  ZPHManagedObject* doomed = CBInsertObject(CBDataEntityNameFeed, &main);
  EXPECT_TRUE(cb_isPresentInManagedObjectContext(kept));  // inserted, not deleted
  ASSERT_TRUE(main.save());
  const ZPHManagedObjectID doomedID = doomed->objectID();
  {
    // Another context deletes one behind this context's back.
    ZPHManagedObjectContext other(&store, ZPHManagedObjectContext::ConfinementConcurrencyType);
    ZPHManagedObjectContext holder(&store, ZPHManagedObjectContext::ConfinementConcurrencyType);
    ZPHManagedObject* held = holder.existingObjectWithID(doomedID);
    ASSERT_NE(held, nullptr);
    other.deleteObject(other.existingObjectWithID(doomedID));
    ASSERT_TRUE(other.save());
    EXPECT_FALSE(cb_isPresentInManagedObjectContext(held));
  }
  EXPECT_TRUE(cb_isPresentInManagedObjectContext(kept));
  EXPECT_EQ(main.existingObjectsWithIDs({doomedID, kept->objectID()}), (QList<ZPHManagedObject*>{kept}));
}

TEST_F(CoreDataUtilitiesTest, SaveRoutineSavesChangesAndReportsFailuresOnce)
{
  CBSaveManagedObjectContext(&main);  // nothing to save
  EXPECT_TRUE(delegate.coreDataFailures().isEmpty());

  ZPHManagedObject* feed = CBInsertObject(CBDataEntityNameFeed, &main);
  feed->setValue(QStringLiteral("name"), QStringLiteral("Name"));
  const QStringList overview = CBOverviewOfChangesInSet({feed});
  ASSERT_EQ(overview.size(), 1);
  EXPECT_TRUE(overview[0].contains(QStringLiteral("CBFeed")));
  CBSaveManagedObjectContext(&main);
  EXPECT_FALSE(main.hasChanges());
  EXPECT_TRUE(CBOverviewOfChangesInSet({feed}).isEmpty());
  feed->setValue(QStringLiteral("name"), QStringLiteral("Other"));
  EXPECT_TRUE(CBOverviewOfChangesInSet({feed})[0].contains(QStringLiteral("changes:{name = Other}")))
      << CBOverviewOfChangesInSet({feed})[0].toStdString();

  CBInsertObject(CBDataEntityNameArticleMetadata, &main);  // misses its required guid
  CBSaveManagedObjectContext(&main);
  EXPECT_EQ(delegate.coreDataFailures().size(), 1);
}
