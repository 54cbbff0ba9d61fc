#include "platform/ZPHMainThread.h"
#include "platform/ZPHNotificationCenter.h"
#include "store/CBDataController.h"
#include "store/entities/ArticleMetadata.h"
#include "store/entities/CBDataArticle.h"
#include "store/entities/CBDataArticleContent.h"
#include "store/entities/CBDataModel.h"
#include "store/graph/ZPHFetchRequest.h"
#include "store/graph/ZPHManagedObjectContext.h"
#include "store/operations/ZPHDeleteEnclosuresWithoutArticlesOperation.h"
#include "store/operations/ZPHDeleteMarkedArticlesOperation.h"
#include "support/ZPHTestApplicationDelegate.h"
#include "support/ZPHTestSupport.h"

#include <QtCore/QMutex>
#include <QtCore/QSet>

#include <gtest/gtest.h>

#include <atomic>

namespace {

const QString FeedURL = QStringLiteral("https://example.com/feed");

QString linkFor(int i) { return QStringLiteral("https://example.com/a/%1").arg(i); }

// A real store with its store queue, forwarded to by the test delegate as the
// application does.
class CleanUpOperationsTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    delegate.useDataController(&controller);
    ZPHError error;
    ASSERT_TRUE(controller.setupCoreDataStackWithClass({}, false, &error)) << error.toString().toStdString();
    main = delegate.mainThreadManagedObjectContext();
    deletions = ZPHNotificationCenter::defaultCenter().addObserver(
        ZPHWillDeleteCoreDataObjectsInBackgroundNotification, QVariant(), [this](const ZPHNotification& n) {
          const auto objectIDs = n.userInfo.value(ZPHManagedObjectObjectIDsKey).value<QList<ZPHManagedObjectID>>();
          std::function<void(const QList<ZPHManagedObjectID>&)> handler;
          {
            QMutexLocker locker(&mutex);
            announced.append(objectIDs);
            handler = onAnnounced;
          }
          if (handler)
            handler(objectIDs);
        });
  }

  void TearDown() override
  {
    ZPHDeleteMarkedArticlesOperation::setCachedImagesPurge({});
    deletions.reset();
    settle();
  }

  // The store queue ran dry (a run queues its batches one by one) and the
  // main-thread work it posted has run.
  void settle()
  {
    for (int quiet = 0; quiet < 3;) {
      ASSERT_TRUE(ZPHTestWaitUntil([&] { return !controller.coreDataQueueHasOperations(); }, 60000));
      ZPHTestSpinEventLoop(20);
      quiet = controller.coreDataQueueHasOperations() ? 0 : quiet + 1;
    }
  }

  // Articles of the feed, read, each holding metadata under its link and an
  // image in its HTML; `marked` of them marked for deletion.
  QList<ZPHManagedObjectID> addArticles(int count, bool marked)
  {
    QList<CBDataArticle*> articles;
    for (int i = 0; i < count; ++i) {
      const int n = nextArticle++;
      CBDataArticle* article = CBDataArticle::insertArticleWithFeedURL(QUrl(FeedURL), main);
      article->setGuid(linkFor(n));
      article->setLink(linkFor(n));
      article->setMarkedForDeletion(marked);
      ArticleMetadata* metadata = ArticleMetadata::insertArticleMetadataForGUID(linkFor(n), main);
      metadata->setRead(true);
      article->setMetadata(metadata);
      CBDataArticleContent* content = article->insertArticleContentWithMOC(main);
      content->setHtmlText(QStringLiteral("<p><img src=\"https://example.com/i/%1.png\"></p>").arg(n));
      article->insertEnclosureWithURL(QUrl(QStringLiteral("https://example.com/e/%1.mp3").arg(n)), main);
      articles.append(article);
    }
    EXPECT_TRUE(main->save());
    QList<ZPHManagedObjectID> objectIDs;
    for (const CBDataArticle* article : articles) objectIDs.append(article->objectID());
    return objectIDs;
  }

  qint64 count(const QString& entity, const ZPHPredicate& predicate = ZPHPredicate())
  {
    return main->countForFetchRequest(ZPHFetchRequest(entity, predicate));
  }

  QList<int> articlesPerAnnouncement()
  {
    QMutexLocker locker(&mutex);
    QList<int> counts;
    for (const QList<ZPHManagedObjectID>& objectIDs : announced) {
      int articles = 0;
      for (const ZPHManagedObjectID& objectID : objectIDs) {
        if (objectID.entity()->name() == CBDataEntityNameArticle)
          ++articles;
      }
      counts.append(articles);
    }
    return counts;
  }

  ZPHTestApplicationDelegate delegate;
  CBDataController controller;
  ZPHManagedObjectContext* main = nullptr;
  int nextArticle = 0;

  QMutex mutex;
  QList<QList<ZPHManagedObjectID>> announced;
  std::function<void(const QList<ZPHManagedObjectID>&)> onAnnounced;
  ZPHObserverToken deletions;
};

}  // namespace

TEST_F(CleanUpOperationsTest, MarkedArticlesGoInBatchesOf500AndABookmarkSetMeanwhileSurvives)
{
  const QList<ZPHManagedObjectID> marked = addArticles(1234, true);
  const QList<ZPHManagedObjectID> kept = addArticles(7, false);

  QMutex purgedMutex;
  QSet<QUrl> purgedBaseURLs;
  int purgesOffMainThread = 0;
  ZPHDeleteMarkedArticlesOperation::setCachedImagesPurge([&](const QString& html, const QUrl& baseURL) {
    QMutexLocker locker(&purgedMutex);
    if (!ZPHMainThread::isMainThread() || !html.contains(QLatin1String("<img")))
      ++purgesOffMainThread;
    purgedBaseURLs.insert(baseURL);
  });

  // While the first batch runs, the user bookmarks an article of a later
  // batch: it is bookmarked on the store queue before that batch runs.
  ZPHManagedObjectID bookmarked;
  std::atomic<bool> bookmarkSaved{false};
  std::atomic<bool> bookmarking{false};
  onAnnounced = [&](const QList<ZPHManagedObjectID>& first) {
    if (bookmarking.exchange(true))
      return;
    for (const ZPHManagedObjectID& objectID : marked) {
      if (!first.contains(objectID)) {
        bookmarked = objectID;
        break;
      }
    }
    delegate.addCoreDataQueueBlock(
        [&, objectID = bookmarked] {
          std::shared_ptr<ZPHManagedObjectContext> context = delegate.temporaryManagedObjectContext();
          auto* article = dynamic_cast<CBDataArticle*>(context->existingObjectWithID(objectID));
          ASSERT_NE(article, nullptr);
          ASSERT_NE(article->metadata(), nullptr);
          article->metadata()->setFlagged(true);
          ASSERT_TRUE(context->save());
          bookmarkSaved = true;
        },
        {});
  };

  ZPHDeleteMarkedArticlesOperation::asynchronouslyDeleteArticlesMarkedForDeletion();
  settle();

  EXPECT_EQ(articlesPerAnnouncement(), (QList<int>{500, 500, 234}));
  EXPECT_TRUE(bookmarkSaved);
  EXPECT_EQ(count(CBDataEntityNameArticle), kept.size());
  EXPECT_EQ(count(CBDataEntityNameArticle, ZPHPredicate::equal(QStringLiteral("markedForDeletion"), 1)), 0);
  // Contents and enclosures went with their articles.
  EXPECT_EQ(count(CBDataEntityNameArticleContent), kept.size());
  EXPECT_EQ(count(CBDataEntityNameEnclosure), kept.size());
  // The metadata of the kept articles and the bookmark stay; the rest went.
  EXPECT_EQ(count(CBDataEntityNameArticleMetadata), kept.size() + 1);
  const QList<ZPHManagedObject*> flagged = main->executeFetchRequest(
      ZPHFetchRequest(CBDataEntityNameArticleMetadata, ZPHPredicate::equal(ArticleMetadataFlaggedKey, 1)));
  ASSERT_EQ(flagged.size(), 1);
  EXPECT_TRUE(static_cast<ArticleMetadata*>(flagged.first())->flagged());
  EXPECT_TRUE(
      static_cast<ArticleMetadata*>(flagged.first())->guid().startsWith(QLatin1String("https://example.com/a/")));
  // Every deleted article's images were purged, on the main thread.
  QMutexLocker locker(&purgedMutex);
  EXPECT_EQ(purgedBaseURLs.size(), marked.size());
  EXPECT_TRUE(purgedBaseURLs.contains(QUrl(linkFor(0))));
  EXPECT_EQ(purgesOffMainThread, 0);
}

TEST_F(CleanUpOperationsTest, WithoutMarkedArticlesNothingIsDeleted)
{
  addArticles(3, false);
  ZPHDeleteMarkedArticlesOperation::asynchronouslyDeleteArticlesMarkedForDeletion();
  settle();
  EXPECT_TRUE(articlesPerAnnouncement().isEmpty());
  EXPECT_EQ(count(CBDataEntityNameArticle), 3);
}

TEST_F(CleanUpOperationsTest, EnclosuresWithoutArticlesGoAndTheOthersStay)
{
  addArticles(2, false);
  for (int i = 0; i < 620; ++i) {
    ZPHManagedObject* enclosure = main->insertNewObject(CBDataEntityNameEnclosure);
    enclosure->setValue(QStringLiteral("URL"), QStringLiteral("https://example.com/orphan/%1.mp3").arg(i));
  }
  ASSERT_TRUE(main->save());
  ASSERT_EQ(count(CBDataEntityNameEnclosure), 622);

  ZPHDeleteEnclosuresWithoutArticlesOperation::asynchronouslyDeleteEnclosuresWithoutArticles();
  settle();

  EXPECT_EQ(count(CBDataEntityNameEnclosure), 2);
  EXPECT_EQ(count(CBDataEntityNameEnclosure, ZPHPredicate::equal(QStringLiteral("article"), QVariant())), 0);
  QMutexLocker locker(&mutex);
  ASSERT_EQ(announced.size(), 2);
  EXPECT_EQ(announced[0].size(), 500);
  EXPECT_EQ(announced[1].size(), 120);
}
