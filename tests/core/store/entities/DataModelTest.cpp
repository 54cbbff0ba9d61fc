#include "platform/ZPHNotificationCenter.h"
#include "store/entities/AbstractTab.h"
#include "store/entities/ArticleMetadata.h"
#include "store/entities/CBDataArticle.h"
#include "store/entities/CBDataArticleContent.h"
#include "store/entities/CBDataModel.h"
#include "store/entities/CBFeed.h"
#include "store/entities/CBFolder.h"
#include "store/graph/ZPHManagedObjectContext.h"
#include "store/graph/ZPHManagedObjectModel.h"
#include "support/ZPHTestSupport.h"

#include <gtest/gtest.h>

namespace {

class DataModelTest : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_TRUE(open()); }

  bool open()
  {
    main.reset();
    store =
        std::make_unique<ZPHPersistentStore>(CBDataManagedObjectModel(), folder.filePath(QStringLiteral("Articles")));
    if (!store->open(false, nullptr))
      return false;
    main = std::make_unique<ZPHManagedObjectContext>(store.get(), ZPHManagedObjectContext::MainQueueConcurrencyType);
    return true;
  }

  template <class T>
  T* insert(const QString& entity)
  {
    return static_cast<T*>(main->insertNewObject(entity));
  }

  ZPHTestTempDir folder;
  std::unique_ptr<ZPHPersistentStore> store;
  std::unique_ptr<ZPHManagedObjectContext> main;
};

}  // namespace

TEST_F(DataModelTest, AttributeIndexesOfTheClassesMatchTheModel)
{
  const ZPHManagedObjectModel* model = CBDataManagedObjectModel();
  struct Case {
    const QString& entity;
    const char* key;
    int index;
  } cases[] = {
      {CBDataEntityNameFeed, "guid", CBNode::PropertyGuid},
      {CBDataEntityNameFolder, "unreadCountIsValid", CBNode::PropertyUnreadCountIsValid},
      {CBDataEntityNameFeed, "url", AbstractManagedFeed::PropertyUrl},
      {CBDataEntityNameFeed, "nameForDisplay", AbstractManagedFeed::PropertyNameForDisplay},
      {CBDataEntityNameFolder, "expanded", AbstractManagedFolder::PropertyExpanded},
      {CBDataEntityNameArticle, "guid", CBDataArticle::PropertyGuid},
      {CBDataEntityNameArticle, "hasVideoEnclosure", CBDataArticle::PropertyHasVideoEnclosure},
      {CBDataEntityNameArticleContent, "xmlBaseURL", CBDataArticleContent::PropertyXmlBaseURL},
      {CBDataEntityNameArticleMetadata, "flagged", ArticleMetadata::PropertyFlagged},
      {CBDataEntityNameBrowserTab, "needsSyncChanged", AbstractTab::PropertyNeedsSyncChanged},
  };
  for (const Case& c : cases) {
    const ZPHEntityDescription* entity = model->entity(c.entity);
    ASSERT_NE(entity, nullptr) << c.entity.toStdString();
    EXPECT_EQ(entity->indexOfProperty(QString::fromLatin1(c.key)), c.index) << c.entity.toStdString() << "." << c.key;
  }
  EXPECT_EQ(AbstractManagedFeed::AttributeEnd, model->entity(CBDataEntityNameFeed)->attributeCount());
  EXPECT_EQ(CBDataArticle::AttributeCount, model->entity(CBDataEntityNameArticle)->attributeCount());
  EXPECT_EQ(model->entity(CBDataEntityNameNodeMetadata), nullptr);  // a name only
}

TEST_F(DataModelTest, FreshObjectsReadTheirDefaults)
{
  CBFeed* feed = insert<CBFeed>(CBDataEntityNameFeed);
  EXPECT_FALSE(feed->deleted());
  EXPECT_FALSE(feed->needsSync());
  EXPECT_EQ(feed->unreadCount(), 0u);
  EXPECT_FALSE(feed->unreadCountIsValid());
  EXPECT_FALSE(feed->favorite());
  EXPECT_FALSE(feed->suspended());
  EXPECT_TRUE(feed->canBeRefreshed());
  EXPECT_FALSE(feed->isFolder());  // answered by the class
  CBFolder* folder = insert<CBFolder>(CBDataEntityNameFolder);
  EXPECT_TRUE(folder->isFolder());
  EXPECT_FALSE(folder->expanded());
  CBDataArticle* article = insert<CBDataArticle>(CBDataEntityNameArticle);
  EXPECT_FALSE(article->markedForDeletion());
  EXPECT_EQ(article->primitiveValue(CBDataArticle::PropertyMarkedForDeletion).toLongLong(), 0);
  EXPECT_TRUE(article->guid().isNull());
  // Without metadata an article reads as unread and not bookmarked.
  EXPECT_FALSE(article->read());
  EXPECT_FALSE(article->flagged());
}

TEST_F(DataModelTest, FeedPasswordsAndMemoryOnlyStateAreNeverWritten)
{
  CBFeed* feed = insert<CBFeed>(CBDataEntityNameFeed);
  feed->setURL(QUrl(QStringLiteral("https://example.com/feed?x=1")));
  feed->setPassword(QStringLiteral("secret"));
  feed->setSortDescending(true);
  feed->setPubDate(86400.0);
  EXPECT_EQ(feed->url(), QStringLiteral("https://example.com/feed?x=1"));
  EXPECT_EQ(feed->dateForDisplay(), QDateTime(QDate(1970, 1, 2), QTime(0, 0), Qt::UTC));
  ASSERT_TRUE(main->save());
  for (const QByteArray& statement : CBDataManagedObjectModel()->schemaStatements())
    EXPECT_FALSE(statement.contains("password")) << statement.constData();

  ASSERT_TRUE(open());
  const QList<ZPHManagedObject*> feeds = main->executeFetchRequest(ZPHFetchRequest(CBDataEntityNameFeed));
  ASSERT_EQ(feeds.size(), 1);
  auto* loaded = dynamic_cast<CBFeed*>(feeds[0]);
  ASSERT_NE(loaded, nullptr);
  EXPECT_TRUE(loaded->password().isNull());
  EXPECT_FALSE(loaded->sortDescending());
  EXPECT_EQ(loaded->URL(), QUrl(QStringLiteral("https://example.com/feed?x=1")));
}

TEST_F(DataModelTest, ArticleRelaysItsMetadataStateAndTheBookmarkOutlivesIt)
{
  CBDataArticle* article = insert<CBDataArticle>(CBDataEntityNameArticle);
  article->setGuid(QStringLiteral("g"));
  ArticleMetadata* metadata = insert<ArticleMetadata>(CBDataEntityNameArticleMetadata);
  metadata->setGuid(QStringLiteral("https://example.com/story"));
  QStringList seen;
  article->addChangeObserver([&](ZPHManagedObject*, const QString& key) { seen.append(key); });
  article->setMetadata(metadata);
  EXPECT_EQ(metadata->article(), article);
  seen.clear();
  metadata->setRead(true);
  metadata->setFlagged(true);
  EXPECT_EQ(seen, (QStringList{CBDataArticleReadKey, CBDataArticleFlaggedKey}));
  EXPECT_TRUE(article->read());
  EXPECT_TRUE(article->flagged());
  ASSERT_TRUE(main->save());

  main->deleteObject(article);
  ASSERT_TRUE(main->save());
  const QList<ZPHManagedObject*> kept = main->executeFetchRequest(
      ZPHFetchRequest(CBDataEntityNameArticleMetadata,
                      ZPHPredicate::equal(QStringLiteral("guid"), QStringLiteral("https://example.com/story"))));
  ASSERT_EQ(kept.size(), 1);
  EXPECT_EQ(static_cast<ArticleMetadata*>(kept[0])->article(), nullptr);
  EXPECT_TRUE(static_cast<ArticleMetadata*>(kept[0])->flagged());
}

TEST_F(DataModelTest, UnreadCountInvalidationClimbsTheTree)
{
  CBFolder* outer = insert<CBFolder>(CBDataEntityNameFolder);
  CBFolder* inner = insert<CBFolder>(CBDataEntityNameFolder);
  inner->setParent(outer);
  CBFeed* feed = insert<CBFeed>(CBDataEntityNameFeed);
  feed->setParent(inner);
  CBFeed* sibling = insert<CBFeed>(CBDataEntityNameFeed);
  for (CBNode* node : std::initializer_list<CBNode*>{outer, inner, feed, sibling}) node->setUnreadCountIsValid(true);
  ASSERT_TRUE(main->save());

  feed->recursivelyInvalidateUnreadCountsUpTree();
  EXPECT_FALSE(feed->unreadCountIsValid());
  EXPECT_FALSE(inner->unreadCountIsValid());
  EXPECT_FALSE(outer->unreadCountIsValid());
  EXPECT_TRUE(sibling->unreadCountIsValid());
  EXPECT_EQ(inner->children(), (QList<CBNode*>{feed}));
}

TEST_F(DataModelTest, NeedsSyncIsAnnouncedOnceAfterTheNextSave)
{
  int events = 0;
  ZPHObserverToken token = ZPHNotificationCenter::defaultCenter().addObserver(
      ZPHSyncableFeedOrFolderEventNotification, QVariant(), [&](const ZPHNotification&) { ++events; });
  CBFeed* feed = insert<CBFeed>(CBDataEntityNameFeed);
  ASSERT_TRUE(main->save());

  feed->setNeedsSync(true);
  feed->setNeedsSync(true);
  EXPECT_EQ(events, 0);
  ASSERT_TRUE(main->save());
  EXPECT_EQ(events, 1);
  ASSERT_TRUE(main->save());  // writes the cleared mark

  feed->setNeedsSync(true);  // already stored as true
  feed->setModDate(1.0);
  ASSERT_TRUE(main->save());
  EXPECT_EQ(events, 1);
  EXPECT_EQ(CBNode::nodesToSyncWithMOC(main.get()), (QList<CBNode*>{feed}));
  EXPECT_EQ(CBNode::activeNodesWithMOC(main.get()).size(), 1);
}
