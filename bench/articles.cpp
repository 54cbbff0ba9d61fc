// Article speed: a bulk read mark of 10,000 articles with its save, the
// smart-feed queries (Today, All Unread, Bookmarks) over 100,000 articles,
// and the search text of a 50 KB article.

#include "foundation/CBDateManager.h"
#include "store/entities/ArticleMetadata.h"
#include "store/entities/CBDataArticle.h"
#include "store/entities/CBDataArticleContent.h"
#include "store/entities/CBDataModel.h"
#include "store/entities/CBFeed.h"
#include "store/graph/ZPHManagedObjectContext.h"
#include "store/graph/ZPHPersistentStore.h"

#include "ZPHBenchArticleStore.h"
#include "ZPHBenchSupport.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QDateTime>
#include <QtCore/QTemporaryDir>

#include <memory>

namespace {

struct BigStore {
  QTemporaryDir folder;
  std::unique_ptr<ZPHPersistentStore> store;

  BigStore()
  {
    store =
        std::make_unique<ZPHPersistentStore>(CBDataManagedObjectModel(), folder.filePath(QStringLiteral("Articles")));
    store->open(false, nullptr);
    zphBenchFillArticleStore(*store, 100000);
  }
  static BigStore& shared()
  {
    static BigStore big;
    return big;
  }
};

// A 50 KB article body as feeds send them: paragraphs with entities,
// accented words, links, an image, a style sheet and a script.
QString articleHTML(int variant)
{
  QString html =
      QStringLiteral("<style>p { margin: 0 }</style><script>var n = %1; if (n < 2) {}</script>").arg(variant);
  int i = 0;
  while (html.size() < 50 * 1024) {
    html += QStringLiteral(
                "<p>Paragraph %1: the caf&eacute; in Z\u00FCrich &amp; the na&iuml;ve r\u00E9sum\u00E9 &#8212; "
                "<a href=\"https://example.com/%1\">read more</a> about \uFF21\uFF22\uFF23 and <em>\u00C5ngstr\u00F6m"
                "</em> units.<img src=\"https://img.example.com/%1.png\" width=\"300\"></p>\n")
                .arg(i++);
  }
  return html;
}

}  // namespace

// One bulk read mark of 10,000 articles on the store queue and its one save.
// Argument 0: the articles are already loaded in the context; 1: the
// operation starts from their identifiers, as an operation handed over from
// the main thread does.
static void BM_MarkTenThousandArticlesRead(benchmark::State& state)
{
  QTemporaryDir folder;
  ZPHPersistentStore store(CBDataManagedObjectModel(), folder.filePath(QStringLiteral("Articles")));
  store.open(false, nullptr);
  zphBenchFillArticleStore(store, 10000);
  QList<ZPHManagedObjectID> ids;
  {
    ZPHManagedObjectContext context(&store, ZPHManagedObjectContext::ConfinementConcurrencyType);
    ids = context.executeFetchRequestForObjectIDs(ZPHFetchRequest(CBDataEntityNameArticle));
  }
  const bool fromIdentifiers = state.range(0) != 0;
  state.SetLabel(fromIdentifiers ? "from identifiers" : "articles loaded");
  bool read = true;
  for (auto _ : state) {
    state.PauseTiming();
    ZPHManagedObjectContext context(&store, ZPHManagedObjectContext::ConfinementConcurrencyType);
    QList<CBDataArticle*> articles;
    if (!fromIdentifiers) {
      articles = CBDataArticle::articlesWithManagedObjectIDs(ids, &context);
      ArticleMetadata::findExistingArticleMetadataForArticles(articles, &context);
    }
    state.ResumeTiming();
    if (fromIdentifiers)
      articles = CBDataArticle::articlesWithManagedObjectIDs(ids, &context);
    CBDataArticle::operation_only_markArticles(articles, read, &context);
    state.PauseTiming();
    read = !read;                       // every run changes every article
    QCoreApplication::processEvents();  // the main-thread notifications
    state.ResumeTiming();
  }
  state.counters["articles"] = double(ids.size());
}
BENCHMARK(BM_MarkTenThousandArticlesRead)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// Identifiers of a smart feed over 100,000 articles, newest first.
static void BM_SmartFeedIdentifiers(benchmark::State& state)
{
  BigStore& big = BigStore::shared();
  ZPHManagedObjectContext main(big.store.get(), ZPHManagedObjectContext::MainQueueConcurrencyType);
  ZPHPredicate predicate;
  switch (state.range(0)) {
    case 0:
      predicate = CBDataArticle::predicateForArticlesPublishedTodayWithMoc(&main);
      state.SetLabel("Today");
      break;
    case 1:
      predicate = CBDataArticle::predicateForUnreadArticlesWithMoc(&main);
      state.SetLabel("All Unread");
      break;
    default:
      predicate = CBDataArticle::predicateForArticlesFlaggedWithMoc(&main);
      state.SetLabel("Bookmarks");
      break;
  }
  qsizetype found = 0;
  for (auto _ : state) {
    ZPHFetchRequest request(CBDataEntityNameArticle, predicate);
    request.sortDescriptors = {{QStringLiteral("dateForDisplay"), false}};
    const QList<ZPHManagedObjectID> ids = main.executeFetchRequestForObjectIDs(request);
    found = ids.size();
    benchmark::DoNotOptimize(ids);
  }
  state.counters["articles"] = double(found);
}
BENCHMARK(BM_SmartFeedIdentifiers)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

// setHtmlText of a 50 KB article: the HTML stored and its search text made.
static void BM_SetHtmlText50KB(benchmark::State& state)
{
  QTemporaryDir folder;
  ZPHPersistentStore store(CBDataManagedObjectModel(), folder.filePath(QStringLiteral("Articles")));
  store.open(false, nullptr);
  ZPHManagedObjectContext context(&store, ZPHManagedObjectContext::ConfinementConcurrencyType);
  auto* content = static_cast<CBDataArticleContent*>(context.insertNewObject(CBDataEntityNameArticleContent));
  const QString html[2] = {articleHTML(0), articleHTML(1)};
  int i = 0;
  for (auto _ : state) {
    content->setHtmlText(html[i]);
    i ^= 1;
  }
  state.SetBytesProcessed(state.iterations() * html[0].size() * 2);
}
BENCHMARK(BM_SetHtmlText50KB)->Unit(benchmark::kMicrosecond);

// setHtmlText of a short plain article (a paragraph of 1,400 ASCII letters,
// as the store benchmark saves), on a new content object each time.
static void BM_SetHtmlTextShortASCII(benchmark::State& state)
{
  QTemporaryDir folder;
  ZPHPersistentStore store(CBDataManagedObjectModel(), folder.filePath(QStringLiteral("Articles")));
  store.open(false, nullptr);
  ZPHManagedObjectContext context(&store, ZPHManagedObjectContext::ConfinementConcurrencyType);
  const QString html = QStringLiteral("<p>") + QString(1400, QLatin1Char('w')) + QStringLiteral("</p>");
  int made = 0;
  for (auto _ : state) {
    auto* content = static_cast<CBDataArticleContent*>(context.insertNewObject(CBDataEntityNameArticleContent));
    content->setHtmlText(html);
    if (++made == 1000) {
      state.PauseTiming();
      context.reset();
      made = 0;
      state.ResumeTiming();
    }
  }
  state.SetBytesProcessed(state.iterations() * html.size() * 2);
}
BENCHMARK(BM_SetHtmlTextShortASCII)->Unit(benchmark::kMicrosecond);

ZPH_BENCHMARK_MAIN();
