// Article store speed: saving refreshes (as objects, and as parsed feeds
// through the article saver), counting unread articles per feed, listing
// unread articles by date, opening a full store.

#include "feeds/parsers/CBParsedEnclosure.h"
#include "feeds/parsers/CBParsedNewsItem.h"
#include "feeds/refresh/ZPHCoreDataArticleSaverOperation.h"
#include "platform/ZPHOperation.h"
#include "store/entities/ArticleMetadata.h"
#include "store/entities/CBDataArticle.h"
#include "store/entities/CBDataArticleContent.h"
#include "store/entities/CBDataModel.h"
#include "store/entities/CBFeed.h"
#include "store/graph/ZPHManagedObjectContext.h"
#include "store/graph/ZPHManagedObjectModel.h"
#include "store/graph/ZPHPersistentStore.h"
#include "store/graph/ZPHSQLiteConnection.h"

#include "ZPHBenchApplicationDelegate.h"
#include "ZPHBenchSupport.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QDateTime>
#include <QtCore/QElapsedTimer>
#include <QtCore/QFileInfo>
#include <QtCore/QRandomGenerator>
#include <QtCore/QTemporaryDir>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include <time.h>

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
// the argument is the size of each article's HTML. The time is the saving
// thread's until the last save returned (the store's closing, which writes
// what is left of the log into the file, and the removal of the files are
// not counted).
static void BM_SaveRefreshes(benchmark::State& state)
{
  const ZPHManagedObjectModel* model = CBDataManagedObjectModel();
  for (auto _ : state) {
    state.PauseTiming();
    auto folder = std::make_unique<QTemporaryDir>();
    auto store = std::make_unique<ZPHPersistentStore>(model, folder->filePath(QStringLiteral("Articles")));
    store->open(false, nullptr);
    auto main =
        std::make_unique<ZPHManagedObjectContext>(store.get(), ZPHManagedObjectContext::MainQueueConcurrencyType);
    auto saver =
        std::make_unique<ZPHManagedObjectContext>(store.get(), ZPHManagedObjectContext::ConfinementConcurrencyType);
    state.ResumeTiming();
    for (int refresh = 0; refresh < savesToRun(); ++refresh) {
      saveRefresh(*saver, refresh, int(state.range(0)));
      saver->reset();
    }
    state.PauseTiming();
    saver.reset();
    main.reset();
    store.reset();
    folder.reset();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * savesToRun() * ArticlesPerSave);
}
BENCHMARK(BM_SaveRefreshes)->Arg(1400)->Arg(200)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

namespace {

constexpr int ParsedFeeds = 200;

qint64 threadCPUNanoseconds()
{
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// ZPH_BENCH_FEEDS=n makes the parsed-feed benchmark smaller (for a
// profiler run).
int parsedFeedsToRun()
{
  bool ok = false;
  const int feeds = qEnvironmentVariableIntValue("ZPH_BENCH_FEEDS", &ok);
  return ok && feeds > 0 ? std::min(feeds, ParsedFeeds) : ParsedFeeds;
}

// The 50 items of feed `feed` as a parser hands them over: guid, title, link,
// author, a date an hour apart (so the feeds' articles interleave by date), a
// few paragraphs of HTML, an image in one item of five and an enclosure in one
// of seven.
QList<std::shared_ptr<CBParsedNewsItem>> parsedFeed(int feed)
{
  static const char* const words[] = {"river",  "market", "signal", "orbit",  "copper", "lantern", "harbor",
                                      "meadow", "engine", "quartz", "violet", "summit", "thunder", "canvas",
                                      "pixel",  "garden", "ember",  "cobalt", "atlas",  "mosaic"};
  QRandomGenerator random{quint32(feed)};
  const auto sentence = [&](int count) {
    QString text;
    for (int w = 0; w < count; ++w) {
      if (w > 0)
        text += QLatin1Char(' ');
      text += QLatin1String(words[random.bounded(20)]);
    }
    return text;
  };
  const QDateTime epoch = QDateTime(QDate(2026, 1, 1), QTime(0, 0), Qt::UTC);
  QList<std::shared_ptr<CBParsedNewsItem>> items;
  for (int i = ArticlesPerSave - 1; i >= 0; --i) {
    auto item = std::make_shared<CBParsedNewsItem>();
    const QString link = QStringLiteral("https://feed%1.example.com/item/%2").arg(feed).arg(i);
    item->setGuid(QStringLiteral("f%1-i%2").arg(feed).arg(i));
    item->setTitle(sentence(6));
    item->setLink(link);
    item->setAuthor(QStringLiteral("Writer %1").arg(feed));
    item->setPubDate(epoch.addSecs(qint64(feed) * 37 + qint64(i) * 3600));
    QString html;
    for (int p = 0; p < 3; ++p) html += QStringLiteral("<p>") + sentence(40) + QStringLiteral("</p>");
    if (i % 5 == 0)
      html += QStringLiteral("<p><img src=\"https://feed%1.example.com/img/%2.png\" alt=\"\"></p>").arg(feed).arg(i);
    item->setSummary(html);
    if (i % 7 == 0) {
      auto enclosure = std::make_shared<CBParsedEnclosure>();
      enclosure->setUrlString(QStringLiteral("https://feed%1.example.com/media/%2.mp3").arg(feed).arg(i));
      enclosure->setMimeType(QStringLiteral("audio/mpeg"));
      enclosure->setFileSize(1234);
      item->addEnclosure(enclosure);
    }
    items.append(item);
  }
  return items;
}

}  // namespace

// 10,000 articles arriving as 200 parsed feeds of 50 items through the article
// saver, each in a transaction of its own; argument 0 saves them into an empty
// store, 1 saves the same feeds again over their stored articles.
static void BM_SaveParsedFeeds(benchmark::State& state)
{
  const ZPHManagedObjectModel* model = CBDataManagedObjectModel();
  const int feeds = parsedFeedsToRun();
  for (auto _ : state) {
    state.PauseTiming();
    QTemporaryDir folder;
    ZPHPersistentStore store(model, folder.filePath(QStringLiteral("Articles")));
    store.open(false, nullptr);
    auto context =
        std::make_shared<ZPHManagedObjectContext>(&store, ZPHManagedObjectContext::PrivateQueueConcurrencyType);
    // CPU time of the context's queue, which stands for the store queue:
    // what the savers cost the one thread they all share.
    qint64 queueNanoseconds = 0;
    const auto saveAll = [&] {
      for (int feed = 0; feed < feeds; ++feed) {
        auto saver = std::make_shared<ZPHCoreDataArticleSaverOperation>(parsedFeed(feed), QUrl(zphBenchFeedURL(feed)));
        saver->setPrivateQueueManagedObjectContext(context);
        context->performBlockAndWait([&] {
          const qint64 before = threadCPUNanoseconds();
          saver->start();
          context->reset();
          queueNanoseconds += threadCPUNanoseconds() - before;
        });
      }
    };
    context->performBlockAndWait([&] {
      for (int feed = 0; feed < feeds; ++feed) {
        CBFeed* object = CBFeed::insertFeedWithURL(QUrl(zphBenchFeedURL(feed)), context.get());
        object->setGuid(QStringLiteral("feed-%1").arg(feed));
      }
      context->save();
      context->reset();
    });
    // From a thread of its own, as the store queue runs savers: waiting for
    // the context's queue from the main thread would serve its event loop.
    if (state.range(0) != 0)
      std::thread(saveAll).join();
    queueNanoseconds = 0;
    state.ResumeTiming();
    std::thread(saveAll).join();
    state.PauseTiming();
    context.reset();
    state.counters["queue_cpu_ms"] = double(queueNanoseconds) / 1e6;
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * feeds * ArticlesPerSave);
}
BENCHMARK(BM_SaveParsedFeeds)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

namespace {

// The application's store in a folder of its own, with its store queue;
// made with the benchmark's timing paused.
struct QueuedStore {
  explicit QueuedStore(benchmark::State& state) : paused(state) {}

  // Sets the store up; false, with the benchmark skipped, when it cannot.
  bool open(benchmark::State& state)
  {
    ZPHError error;
    if (delegate.data.setupCoreDataStackWithClass({}, false, &error))
      return true;
    state.SkipWithError(qPrintable(error.toString()));
    return false;
  }
  ZPHManagedObjectContext* main() const { return delegate.mainThreadManagedObjectContext(); }

  struct Paused {
    explicit Paused(benchmark::State& state) { state.PauseTiming(); }
  } paused;  // first, before the folder and the delegate are made
  QTemporaryDir folder;
  ZPHBenchApplicationDelegate delegate{folder.path()};
};

// Saves the parsed feeds as a refresh saves them: their savers queued on the
// store queue back to back (held until all are queued), so that they run in
// batches, while the main thread merges. `items` gives the items of the n-th
// feed, `feedURL` its address. Answers the store queue thread's CPU time.
qint64 saveQueuedFeeds(ZPHBenchApplicationDelegate& delegate, int feeds,
                       const std::function<QList<std::shared_ptr<CBParsedNewsItem>>(int)>& items,
                       const std::function<QUrl(int)>& feedURL)
{
  std::atomic<qint64> queueNanoseconds{0};
  std::atomic<bool> released{false};
  delegate.addCoreDataQueueOperation(std::make_shared<ZPHBlockOperation>([&] {
    while (!released.load()) std::this_thread::sleep_for(std::chrono::microseconds(100));
    queueNanoseconds -= threadCPUNanoseconds();
  }));
  for (int feed = 0; feed < feeds; ++feed)
    delegate.addCoreDataQueueOperation(std::make_shared<ZPHCoreDataArticleSaverOperation>(items(feed), feedURL(feed)));
  std::atomic<bool> done{false};
  delegate.addCoreDataQueueOperation(std::make_shared<ZPHBlockOperation>([&] {
    queueNanoseconds += threadCPUNanoseconds();
    done = true;
  }));
  released = true;
  while (!done.load()) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  while (delegate.data.coreDataQueueHasOperations()) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  return queueNanoseconds.load();
}

}  // namespace

// The same 10,000 articles as 200 parsed feeds saved as a refresh saves
// them: the savers queued on the store queue back to back, so that they run
// in batches; argument 0 saves into an empty store, 1 over the stored
// articles. queue_cpu_ms is the store queue thread's CPU time.
static void BM_SaveParsedFeedsInBatches(benchmark::State& state)
{
  const int feeds = parsedFeedsToRun();
  for (auto _ : state) {
    QueuedStore queued(state);
    if (!queued.open(state))
      return;
    ZPHManagedObjectContext* main = queued.main();
    for (int feed = 0; feed < feeds; ++feed) {
      CBFeed* object = CBFeed::insertFeedWithURL(QUrl(zphBenchFeedURL(feed)), main);
      object->setGuid(QStringLiteral("feed-%1").arg(feed));
    }
    main->save();
    const auto feedURL = [](int feed) { return QUrl(zphBenchFeedURL(feed)); };
    if (state.range(0) != 0)
      saveQueuedFeeds(queued.delegate, feeds, parsedFeed, feedURL);
    state.ResumeTiming();
    const qint64 queueNanoseconds = saveQueuedFeeds(queued.delegate, feeds, parsedFeed, feedURL);
    state.PauseTiming();
    state.counters["queue_cpu_ms"] = double(queueNanoseconds) / 1e6;
    QCoreApplication::processEvents();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * feeds * ArticlesPerSave);
}
BENCHMARK(BM_SaveParsedFeedsInBatches)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

// 256 new feeds of 50 items saved as a refresh saves them, into a store that
// holds the articles of as many feeds as the argument already (50 each,
// written straight into the tables), their dates interleaved with the
// stored ones as those of many feeds are. What a save costs should not grow
// with the store: queue_cpu_ms is the store queue thread's CPU time,
// log_kb_per_article the write-ahead log written per article saved (every
// page a commit changes is written again).
static void BM_SaveParsedFeedsIntoGrownStore(benchmark::State& state)
{
  constexpr int NewFeeds = 256;
  const int stored = int(state.range(0));
  for (auto _ : state) {
    QueuedStore queued(state);
    if (!queued.open(state))
      return;
    ZPHManagedObjectContext* main = queued.main();
    ZPHSQLiteConnection* db = main->persistentStore()->connection();
    // Article n of stored feed f dates from f * 37 + n * 3600 seconds after
    // the epoch, as the parsed feeds do.
    const QByteArray rows = QByteArray::number(qint64(stored) * ArticlesPerSave);
    const QByteArray numbers =
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " + rows + ") ";
    const QByteArray feedOf = "((i - 1) / " + QByteArray::number(ArticlesPerSave) + ")";
    const QByteArray itemOf = "((i - 1) % " + QByteArray::number(ArticlesPerSave) + ")";
    const QByteArray date = QByteArray::number(QDateTime(QDate(2026, 1, 1), QTime(0, 0), Qt::UTC).toSecsSinceEpoch()) +
                            " + " + feedOf + " * 37 + " + itemOf + " * 3600";
    const bool filled =
        db->exec("BEGIN IMMEDIATE") &&
        db->exec(numbers +
                 "INSERT INTO ArticleContent (id, htmlText, normalizedText) SELECT i, 'stored', 'stored' FROM n") &&
        db->exec(
            numbers +
            "INSERT INTO ArticleMetadata (id, guid, read, flagged) SELECT i, 'stored-' || i, i % 3 = 0, 0 FROM n") &&
        db->exec(numbers +
                 "INSERT INTO Article (id, guid, feedURL, title, datePublished, dateArrived, dateForDisplay, "
                 "markedForDeletion, content_id, metadata_id) SELECT i, 'stored-' || i, 'https://feed' || " +
                 feedOf + " || '.example.com/rss', 'Stored', " + date + ", " + date + ", " + date +
                 ", 0, i, i FROM n") &&
        db->exec("COMMIT") && db->exec("PRAGMA wal_checkpoint(TRUNCATE)");
    if (!filled) {
      state.SkipWithError(qPrintable(db->lastError().toString()));
      return;
    }
    // The new feeds' items fall among the stored ones, spread over the whole
    // range of dates.
    const auto storedFeedFor = [stored](int feed) { return feed * stored / NewFeeds; };
    for (int feed = 0; feed < NewFeeds; ++feed) CBFeed::insertFeedWithURL(QUrl(zphBenchFeedURL(stored + feed)), main);
    main->save();
    const QString log = main->persistentStore()->path() + QStringLiteral("-wal");
    const qint64 logBefore = QFileInfo(log).size();
    state.ResumeTiming();
    const qint64 queueNanoseconds = saveQueuedFeeds(
        queued.delegate, NewFeeds, [&](int feed) { return parsedFeed(storedFeedFor(feed)); },
        [stored](int feed) { return QUrl(zphBenchFeedURL(stored + feed)); });
    state.PauseTiming();
    state.counters["queue_cpu_ms"] = double(queueNanoseconds) / 1e6;
    state.counters["log_kb_per_article"] =
        double(QFileInfo(log).size() - logBefore) / 1024.0 / double(NewFeeds * ArticlesPerSave);
    QCoreApplication::processEvents();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * NewFeeds * ArticlesPerSave);
}
BENCHMARK(BM_SaveParsedFeedsIntoGrownStore)
    ->Arg(1000)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->UseRealTime();

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

// A count of every article and the 50 newest articles of the full store, in
// a main context without changes (argument 0) and with one unsaved change
// to a feed (argument 1), which has nothing to do with articles.
static void BM_CountArticles(benchmark::State& state)
{
  FullStore& full = FullStore::shared();
  ZPHPersistentStore store(full.model, full.path());
  store.open(false, nullptr);
  ZPHManagedObjectContext main(&store, ZPHManagedObjectContext::MainQueueConcurrencyType);
  if (state.range(0) != 0) {
    ZPHFetchRequest feed(CBDataEntityNameFeed);
    feed.fetchLimit = 1;
    main.executeFetchRequest(feed).value(0)->setValue(QStringLiteral("name"), QStringLiteral("Renamed"));
  }
  qint64 count = 0;
  for (auto _ : state) {
    count = main.countForFetchRequest(ZPHFetchRequest(CBDataEntityNameArticle));
    benchmark::DoNotOptimize(count);
  }
  state.counters["articles"] = double(count);
}
BENCHMARK(BM_CountArticles)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

static void BM_Newest50Articles(benchmark::State& state)
{
  FullStore& full = FullStore::shared();
  ZPHPersistentStore store(full.model, full.path());
  store.open(false, nullptr);
  ZPHManagedObjectContext main(&store, ZPHManagedObjectContext::MainQueueConcurrencyType);
  if (state.range(0) != 0) {
    ZPHFetchRequest feed(CBDataEntityNameFeed);
    feed.fetchLimit = 1;
    main.executeFetchRequest(feed).value(0)->setValue(QStringLiteral("name"), QStringLiteral("Renamed"));
  }
  qsizetype found = 0;
  for (auto _ : state) {
    ZPHFetchRequest request(CBDataEntityNameArticle);
    request.sortDescriptors = {{QStringLiteral("dateForDisplay"), false}};
    request.fetchLimit = 50;
    const QList<ZPHManagedObject*> articles = main.executeFetchRequest(request);
    found = articles.size();
    benchmark::DoNotOptimize(articles);
  }
  state.counters["articles"] = double(found);
}
BENCHMARK(BM_Newest50Articles)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The main thread saves a change every few milliseconds while another
// thread (the store queue) saves 40,000 new articles in one save; reports
// the longest time one main-thread save took ("main_blocked_ms").
static void BM_MainSaveDuringLargeStoreQueueSave(benchmark::State& state)
{
  const ZPHManagedObjectModel* model = CBDataManagedObjectModel();
  double longest = 0;
  int mainSaves = 0;
  for (auto _ : state) {
    state.PauseTiming();
    QTemporaryDir folder;
    ZPHPersistentStore store(model, folder.filePath(QStringLiteral("Articles")));
    store.open(false, nullptr);
    ZPHManagedObjectContext main(&store, ZPHManagedObjectContext::MainQueueConcurrencyType);
    ZPHManagedObject* feed = main.insertNewObject(CBDataEntityNameFeed);
    feed->setValue(QStringLiteral("url"), zphBenchFeedURL(0));
    main.save();
    std::atomic<bool> started{false};
    std::atomic<bool> finished{false};
    state.ResumeTiming();
    std::thread storeQueue([&] {
      ZPHManagedObjectContext saver(&store, ZPHManagedObjectContext::ConfinementConcurrencyType);
      for (int refresh = 0; refresh < 800; ++refresh) {
        const QString html = QString(1400, QLatin1Char('w'));
        for (int i = 0; i < ArticlesPerSave; ++i) {
          auto* article = static_cast<CBDataArticle*>(saver.insertNewObject(CBDataEntityNameArticle));
          const QString link = QStringLiteral("https://example.com/%1/%2").arg(refresh).arg(i);
          article->setGuid(link);
          article->setFeedURL(zphBenchFeedURL(0));
          article->setTitle(link);
          auto* content = static_cast<CBDataArticleContent*>(saver.insertNewObject(CBDataEntityNameArticleContent));
          content->setHtmlText(html);
          article->setContent(content);
        }
      }
      started = true;
      saver.save();
      finished = true;
    });
    while (!started) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    int n = 0;
    while (!finished) {
      feed->setValue(QStringLiteral("name"), QStringLiteral("Name %1").arg(++n));
      QElapsedTimer timer;
      timer.start();
      main.save();
      longest = std::max(longest, double(timer.nsecsElapsed()) / 1e6);
      ++mainSaves;
      // The merge of the store queue's save comes through the event loop.
      QCoreApplication::processEvents();
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    storeQueue.join();
    QCoreApplication::processEvents();
  }
  state.counters["main_blocked_ms"] = longest;
  state.counters["main_saves"] = double(mainSaves);
}
BENCHMARK(BM_MainSaveDuringLargeStoreQueueSave)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

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
