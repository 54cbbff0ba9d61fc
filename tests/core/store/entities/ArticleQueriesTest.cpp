#include "core/store/entities/ArticleStoreFixture.h"

#include "foundation/CBDateManager.h"

#include <QtCore/QSet>

namespace {

// Two feeds (one favourite) and articles that each query must find or must
// leave out, named by their links' last part.
class ArticleQueriesTest : public ArticleStoreFixture {
protected:
  void SetUp() override
  {
    ArticleStoreFixture::SetUp();
    const QDateTime today = CBDateManager::sharedManager()->firstSecondOfToday().addSecs(60);
    const QDateTime yesterday = CBDateManager::sharedManager()->firstSecondOfToday().addSecs(-60);
    const QDateTime tomorrow = CBDateManager::sharedManager()->firstSecondOfTomorrow();
    addFeed(fav)->setFavorite(true);
    addFeed(other);
    struct Item {
      const QString* feed;
      const char* name;
      QDateTime date;
      std::optional<bool> read;
      bool flagged;
    } items[] = {
        {&fav, "favTodayUnreadFlagged", today, false, true},
        {&fav, "favYesterdayRead", yesterday, true, false},
        {&fav, "favTodayUnread", today, false, false},
        {&other, "otherTodayUnread", today, false, false},
        {&other, "otherTodayReadFlagged", today, true, true},
        {&other, "otherTomorrowUnread", tomorrow, false, false},
        {&other, "otherNoMetadata", today, std::nullopt, false},
    };
    for (const Item& item : items) {
      CBDataArticle* article =
          addArticle(*item.feed, *item.feed + QString::fromUtf8(item.name), item.date, item.read, item.flagged);
      if (QByteArray(item.name) == "favYesterdayRead")
        article->setNeedsSync(true);
    }
    // Marked for deletion: no query ever finds it.
    addArticle(fav, fav + QStringLiteral("gone"), today, false, true)->setMarkedForDeletion(true);
    save();
  }

  static QSet<QString> names(const QList<CBDataArticle*>& articles)
  {
    QSet<QString> set;
    for (const CBDataArticle* article : articles) set.insert(article->link().section(u'/', -1));
    return set;
  }
  static QSet<QString> set(std::initializer_list<const char*> items)
  {
    QSet<QString> result;
    for (const char* item : items) result.insert(QString::fromUtf8(item));
    return result;
  }

  const QString fav = QStringLiteral("https://fav.example/");
  const QString other = QStringLiteral("https://other.example/");
};

}  // namespace

TEST_F(ArticleQueriesTest, EachQueryFindsWhatItMustAndNothingElse)
{
  ZPHManagedObjectContext* c = main.get();
  const QUrl favURL(fav);
  const QStringList both{fav, other};
  struct Case {
    const char* query;
    std::optional<ZPHPredicate> predicate;
    QSet<QString> expected;
  } cases[] = {
      {"feed", CBDataArticle::predicateForArticlesForFeedWithURL(favURL, c),
       set({"favTodayUnreadFlagged", "favYesterdayRead", "favTodayUnread"})},
      {"unread of feed", CBDataArticle::predicateForUnreadArticlesForFeedWithURL(favURL, c),
       set({"favTodayUnreadFlagged", "favTodayUnread"})},
      {"feeds", CBDataArticle::predicateForArticlesForFeedsWithURLs({other}, c),
       set({"otherTodayUnread", "otherTodayReadFlagged", "otherTomorrowUnread", "otherNoMetadata"})},
      {"unread of feeds", CBDataArticle::predicateForUnreadArticlesForFeedsWithURLs(both, c),
       set({"favTodayUnreadFlagged", "favTodayUnread", "otherTodayUnread", "otherTomorrowUnread"})},
      {"unread", CBDataArticle::predicateForUnreadArticlesWithMoc(c),
       set({"favTodayUnreadFlagged", "favTodayUnread", "otherTodayUnread", "otherTomorrowUnread"})},
      {"today", CBDataArticle::predicateForArticlesPublishedTodayWithMoc(c),
       set({"favTodayUnreadFlagged", "favTodayUnread", "otherTodayUnread", "otherTodayReadFlagged",
            "otherNoMetadata"})},
      {"unread today", CBDataArticle::predicateForUnreadArticlesPublishedTodayWithMoc(c),
       set({"favTodayUnreadFlagged", "favTodayUnread", "otherTodayUnread"})},
      {"favourites", CBDataArticle::predicateForArticlesInFavoriteFeedsWithMoc(c),
       set({"favTodayUnreadFlagged", "favYesterdayRead", "favTodayUnread"})},
      {"flagged", CBDataArticle::predicateForArticlesFlaggedWithMoc(c),
       set({"favTodayUnreadFlagged", "otherTodayReadFlagged"})},
      {"unread flagged", CBDataArticle::predicateForUnreadArticlesFlaggedWithMoc(c), set({"favTodayUnreadFlagged"})},
      {"unread favourites", CBDataArticle::predicateForUnreadArticlesInFavoriteFeedsWithMoc(c),
       set({"favTodayUnreadFlagged", "favTodayUnread"})},
      {"today in favourites", CBDataArticle::predicateForArticlesPublishedTodayInFavoriteFeedsWithMoc(c),
       set({"favTodayUnreadFlagged", "favTodayUnread"})},
      {"unread today in favourites", CBDataArticle::predicateForUnreadArticlesPublishedTodayInFavoriteFeedsWithMoc(c),
       set({"favTodayUnreadFlagged", "favTodayUnread"})},
  };
  for (const Case& kase : cases) {
    ASSERT_TRUE(kase.predicate.has_value()) << kase.query;
    EXPECT_EQ(names(CBDataArticle::articlesWithPredicate(kase.predicate, std::nullopt, c)), kase.expected)
        << kase.query << ": " << kase.predicate->predicateFormat().toStdString();
    // The same answer in memory, as a context judges its unsaved objects.
    QSet<QString> inMemory;
    for (CBDataArticle* article : CBDataArticle::articlesWithMoc(c)) {
      if (kase.predicate->evaluateWithObject(article))
        inMemory.insert(article->link().section(u'/', -1));
    }
    EXPECT_EQ(inMemory, kase.expected) << kase.query << " in memory";
  }
  EXPECT_FALSE(CBDataArticle::predicateForUnreadArticlesPublishedTodayWithMoc(nullptr).has_value());
}

TEST_F(ArticleQueriesTest, ListsCountsAndLookUps)
{
  ZPHManagedObjectContext* c = main.get();
  const ZPHSortDescriptor newestFirst{QStringLiteral("dateForDisplay"), false};
  const QList<CBDataArticle*> unread = CBDataArticle::unreadArticlesWithSortDescriptor(newestFirst, c);
  ASSERT_EQ(unread.size(), 4);
  EXPECT_EQ(unread.first()->link().section(u'/', -1), QStringLiteral("otherTomorrowUnread"));

  EXPECT_EQ(names(CBDataArticle::articlesToSyncWithMoc(c)), set({"favYesterdayRead"}));
  EXPECT_EQ(names(CBDataArticle::sortedArticlesForFeedsWithURLs({fav}, true, std::nullopt, c)),
            set({"favTodayUnreadFlagged", "favTodayUnread"}));
  EXPECT_EQ(CBDataArticle::sortedArticlesForFeedsWithURLs({fav}, false, std::nullopt, c).size(), 3);
  EXPECT_TRUE(CBDataArticle::sortedArticlesForFeedsWithURLs({}, false, std::nullopt, c).isEmpty());
  EXPECT_TRUE(CBDataArticle::articlesForFeedWithURL(QUrl(), c).isEmpty());
  EXPECT_EQ(CBDataArticle::articlesFlaggedWithSortDescriptor(std::nullopt, c).size(), 2);
  EXPECT_EQ(CBDataArticle::unreadArticlesFlaggedWithSortDescriptor(std::nullopt, c).size(), 1);
  EXPECT_EQ(CBDataArticle::articlesInFavoriteFeedsWithSortDescriptor(std::nullopt, c).size(), 3);
  EXPECT_EQ(CBDataArticle::articlesPublishedTodayWithSortDescriptor(std::nullopt, c).size(), 5);

  EXPECT_EQ(CBDataArticle::countOfUnreadArticlesPublishedTodayWithMoc(c), 3);
  EXPECT_EQ(CBDataArticle::countOfUnreadArticlesPublishedTodayInFavoriteFeedsWithMoc(c), 2);
  EXPECT_EQ(CBDataArticle::unreadCountForFlaggedArticlesWithMoc(c), 1);
  EXPECT_EQ(CBDataArticle::unreadCountForArticlesWithFeedURL(QUrl(other), c), 2);
  EXPECT_EQ(CBDataArticle::unreadCountForArticlesWithFeedURL(QUrl(), c), 0);
  EXPECT_EQ(CBDataArticle::unreadCountWithPredicate(std::nullopt, c), 0);

  const QString link = other + QStringLiteral("otherTodayUnread");
  ASSERT_NE(CBDataArticle::fetchArticleWithBestLink(link, c), nullptr);
  EXPECT_EQ(CBDataArticle::fetchArticleWithBestLink(link, c)->link(), link);
  EXPECT_EQ(CBDataArticle::fetchArticleWithBestLink(QString(), c), nullptr);
  EXPECT_EQ(CBDataArticle::fetchArticleWithBestLink(QStringLiteral("https://nowhere.example/"), c), nullptr);

  // Identifiers in order; a deleted article is left out.
  const QList<CBDataArticle*> all = CBDataArticle::articlesWithMoc(c);
  ASSERT_GE(all.size(), 3);
  const QList<ZPHManagedObjectID> ids{all[2]->objectID(), all[0]->objectID(), all[1]->objectID()};
  c->deleteObject(all[0]);
  save();
  const QList<CBDataArticle*> found = CBDataArticle::articlesWithManagedObjectIDs(ids, c);
  ASSERT_EQ(found.size(), 2);
  EXPECT_EQ(found[0]->objectID(), ids[0]);
  EXPECT_EQ(found[1]->objectID(), ids[2]);
}
