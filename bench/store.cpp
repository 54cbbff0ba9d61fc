// Article store speed: saving refreshes, counting unread articles per feed,
// listing unread articles by date, opening a full store.

#include "store/ArticleMetadata.h"
#include "store/CBDataArticle.h"
#include "store/CBDataArticleContent.h"
#include "store/CBDataModel.h"
#include "store/graph/ZPHManagedObjectContext.h"
#include "store/graph/ZPHManagedObjectModel.h"
#include "store/graph/ZPHPersistentStore.h"

#include "ZPHBenchSupport.h"

#include <QtCore/QDateTime>
#include <QtCore/QTemporaryDir>

#include <algorithm>
#include <memory>

namespace {

constexpr int Feeds = 1000;
constexpr int ArticlesPerSave = 50;
constexpr int Saves = 2000;  // 100,000 articles

// ZPH_BENCH_SAVES=n makes the save benchmark smaller (for a profiler run).
int savesToRun()
{
  bool ok = false;
  const int saves = qEnvironmentVariableIntValue("ZPH_BENCH_SAVES", &ok);
  return ok && saves > 0 ? std::min(saves, Saves) : Saves;
}

// One refresh of one feed: 50 articles with contents and metadata.
void saveRefresh(ZPHManagedObjectContext& context, int refresh, int htmlSize = 1400)
{
  const QString html = QStringLiteral("<p>") + QString(htmlSize, QLatin1Char('w')) + QStringLiteral("</p>");
  static const QString summary(200, QLatin1Char('s'));
  const QDateTime base = QDateTime(QDate(2026, 1, 1), QTime(0, 0), Qt::UTC);
  const QString feed = zphBenchFeedURL(refresh % Feeds);
  for (int i = 0; i < ArticlesPerSave; ++i) {
    const int n = refresh * ArticlesPerSave + i;
    const QString link = QStringLiteral("https://feed%1.example.com/item/%2").arg(refresh % Feeds).arg(n);
    auto* article = static_cast<CBDataArticle*>(context.insertNewObject(CBDataEntityNameArticle));
    article->setGuid(link);
    article->setFeedURL(feed);
    article->setLink(link);
    article->setTitle(QStringLiteral("Article %1").arg(n));
    article->setPlainTextTitle(QStringLiteral("Article %1").arg(n));
    article->setSummary(summary);
    const QDateTime date = base.addSecs(n * 37);
    article->setDatePublished(date);
    article->setDateArrived(date);
    article->setDateForDisplay(date);
    auto* content = static_cast<CBDataArticleContent*>(context.insertNewObject(CBDataEntityNameArticleContent));
    content->setHtmlText(html);
    content->setNormalizedText(summary);
    article->setContent(content);
    auto* metadata = static_cast<ArticleMetadata*>(context.insertNewObject(CBDataEntityNameArticleMetadata));
    metadata->setGuid(link);
    metadata->setRead(n % 7 == 0);
    article->setMetadata(metadata);
  }
  context.save();
}

// A full store (1,000 feeds, 100,000 articles) made once per process.
struct FullStore {
  QTemporaryDir folder;
  const ZPHManagedObjectModel* model = CBDataManagedObjectModel();
  QString path() const { return folder.filePath(QStringLiteral("Articles")); }

  FullStore()
  {
    // ZPH_BENCH_KEEP_STORE=1 keeps the store for a look with the sqlite3 shell.
    if (qEnvironmentVariableIsSet("ZPH_BENCH_KEEP_STORE")) {
      folder.setAutoRemove(false);
      qInfo("store kept at %s", qPrintable(path()));
    }
    ZPHPersistentStore store(model, path());
    store.open(false, nullptr);
    ZPHManagedObjectContext context(&store, ZPHManagedObjectContext::ConfinementConcurrencyType);
    for (int feed = 0; feed < Feeds; ++feed) {
      ZPHManagedObject* object = context.insertNewObject(CBDataEntityNameFeed);
      object->setValue(QStringLiteral("guid"), QStringLiteral("feed-%1").arg(feed));
      object->setValue(QStringLiteral("url"), zphBenchFeedURL(feed));
      object->setValue(QStringLiteral("name"), QStringLiteral("Feed %1").arg(feed));
    }
    context.save();
    for (int refresh = 0; refresh < Saves; ++refresh) {
      saveRefresh(context, refresh);
      context.reset();
    }
    store.checkpointAndClose(nullptr);
  }

  static FullStore& shared()
  {
    static FullStore store;
    return store;
  }
};

ZPHPredicate unread()
{
  return !ZPHPredicate::equal(QStringLiteral("metadata.read"), true) &&
         ZPHPredicate::equal(QStringLiteral("markedForDeletion"), 0);
}

}  // namespace

// 100,000 articles with contents and metadata, arriving as 2,000 saves of 50;
// the argument is the size of each article's HTML.
static void BM_SaveRefreshes(benchmark::State& state)
{
  const ZPHManagedObjectModel* model = CBDataManagedObjectModel();
  for (auto _ : state) {
    QTemporaryDir folder;
    ZPHPersistentStore store(model, folder.filePath(QStringLiteral("Articles")));
    store.open(false, nullptr);
    ZPHManagedObjectContext main(&store, ZPHManagedObjectContext::MainQueueConcurrencyType);
    ZPHManagedObjectContext saver(&store, ZPHManagedObjectContext::ConfinementConcurrencyType);
    for (int refresh = 0; refresh < savesToRun(); ++refresh) {
      saveRefresh(saver, refresh, int(state.range(0)));
      saver.reset();
    }
  }
  state.SetItemsProcessed(state.iterations() * savesToRun() * ArticlesPerSave);
}
BENCHMARK(BM_SaveRefreshes)->Arg(1400)->Arg(200)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

// Unread articles per feed for 1,000 feeds, one grouped query.
static void BM_UnreadCountsPerFeed(benchmark::State& state)
{
  FullStore& full = FullStore::shared();
  ZPHPersistentStore store(full.model, full.path());
  store.open(false, nullptr);
  ZPHManagedObjectContext main(&store, ZPHManagedObjectContext::MainQueueConcurrencyType);
  qsizetype groups = 0;
  for (auto _ : state) {
    const auto counts =
        main.countsGroupedByKeyPath(ZPHFetchRequest(CBDataEntityNameArticle, unread()), QStringLiteral("feedURL"));
    groups = counts.size();
    benchmark::DoNotOptimize(counts);
  }
  state.counters["feeds"] = double(groups);
}
BENCHMARK(BM_UnreadCountsPerFeed)->Unit(benchmark::kMillisecond);

// Identifiers of every unread article, newest first.
static void BM_UnreadIDsByDate(benchmark::State& state)
{
  FullStore& full = FullStore::shared();
  ZPHPersistentStore store(full.model, full.path());
  store.open(false, nullptr);
  ZPHManagedObjectContext main(&store, ZPHManagedObjectContext::MainQueueConcurrencyType);
  qsizetype found = 0;
  for (auto _ : state) {
    ZPHFetchRequest request(CBDataEntityNameArticle, unread());
    request.sortDescriptors = {{QStringLiteral("dateForDisplay"), false}};
    const QList<ZPHManagedObjectID> objectIDs = main.executeFetchRequestForObjectIDs(request);
    found = objectIDs.size();
    benchmark::DoNotOptimize(objectIDs);
  }
  state.counters["articles"] = double(found);
}
BENCHMARK(BM_UnreadIDsByDate)->Unit(benchmark::kMillisecond);

// Opening the full store (without and with its integrity check) and loading
// every feed and folder.
static void BM_OpenStoreAndLoadFeeds(benchmark::State& state)
{
  FullStore& full = FullStore::shared();
  for (auto _ : state) {
    ZPHPersistentStore store(full.model, full.path());
    store.open(state.range(0) != 0, nullptr);
    ZPHManagedObjectContext main(&store, ZPHManagedObjectContext::MainQueueConcurrencyType);
    const QList<ZPHManagedObject*> feeds = main.executeFetchRequest(ZPHFetchRequest(CBDataEntityNameNode));
    benchmark::DoNotOptimize(feeds);
  }
}
BENCHMARK(BM_OpenStoreAndLoadFeeds)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

ZPH_BENCHMARK_MAIN();
