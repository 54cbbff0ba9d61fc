// Article store speed: saving refreshes, counting unread articles per feed,
// listing unread articles by date, opening a full store.

#include "store/graph/ZPHManagedObjectContext.h"
#include "store/graph/ZPHManagedObjectModel.h"
#include "store/graph/ZPHPersistentStore.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QDateTime>
#include <QtCore/QTemporaryDir>

#include <benchmark/benchmark.h>

#include <memory>

namespace {

constexpr int Feeds = 1000;
constexpr int ArticlesPerSave = 50;
constexpr int Saves = 2000;  // 100,000 articles

ZPHAttributeDescription attribute(const QString& name, ZPHAttributeType type, const QVariant& defaultValue = {},
                                  bool indexed = false)
{
  ZPHAttributeDescription description;
  description.name = name;
  description.type = type;
  description.defaultValue = defaultValue;
  description.indexed = indexed;
  return description;
}

ZPHRelationshipDescription relationship(const QString& name, const QString& destination, const QString& inverse,
                                        ZPHDeleteRule rule = ZPHDeleteRule::Nullify)
{
  ZPHRelationshipDescription description;
  description.name = name;
  description.destinationEntityName = destination;
  description.inverseName = inverse;
  description.deleteRule = rule;
  return description;
}

// The shape of the article store's hot entities.
std::unique_ptr<ZPHManagedObjectModel> makeModel()
{
  using A = ZPHAttributeType;
  auto model = std::make_unique<ZPHManagedObjectModel>(1);
  model->addEntity(QStringLiteral("Feed"))
      .addAttribute(attribute(QStringLiteral("guid"), A::String, {}, true))
      .addAttribute(attribute(QStringLiteral("url"), A::String, {}, true))
      .addAttribute(attribute(QStringLiteral("name"), A::String))
      .addAttribute(attribute(QStringLiteral("unreadCount"), A::UInt64, 0));
  model->addEntity(QStringLiteral("Article"))
      .addAttribute(attribute(QStringLiteral("guid"), A::String, {}, true))
      .addAttribute(attribute(QStringLiteral("feedURL"), A::String))
      .addAttribute(attribute(QStringLiteral("link"), A::String))
      .addAttribute(attribute(QStringLiteral("title"), A::String))
      .addAttribute(attribute(QStringLiteral("plainTextTitle"), A::String))
      .addAttribute(attribute(QStringLiteral("summary"), A::String))
      .addAttribute(attribute(QStringLiteral("datePublished"), A::Date))
      .addAttribute(attribute(QStringLiteral("dateArrived"), A::Date))
      .addAttribute(attribute(QStringLiteral("dateForDisplay"), A::Date))
      .addAttribute(attribute(QStringLiteral("markedForDeletion"), A::Number, 0))
      .addRelationship(relationship(QStringLiteral("content"), QStringLiteral("ArticleContent"),
                                    QStringLiteral("article"), ZPHDeleteRule::Cascade))
      .addRelationship(
          relationship(QStringLiteral("metadata"), QStringLiteral("ArticleMetadata"), QStringLiteral("article")))
      // Covering indexes for the unread counts per feed and the date-sorted lists.
      .addIndex({QStringLiteral("feedURL"), QStringLiteral("markedForDeletion"), QStringLiteral("metadata")})
      .addIndex({QStringLiteral("dateForDisplay"), QStringLiteral("markedForDeletion"), QStringLiteral("metadata")});
  model->addEntity(QStringLiteral("ArticleContent"))
      .addAttribute(attribute(QStringLiteral("htmlText"), A::String))
      .addAttribute(attribute(QStringLiteral("normalizedText"), A::String))
      .addRelationship(relationship(QStringLiteral("article"), QStringLiteral("Article"), QStringLiteral("content")));
  model->addEntity(QStringLiteral("ArticleMetadata"))
      .addAttribute(attribute(QStringLiteral("guid"), A::String, {}, true))
      .addAttribute(attribute(QStringLiteral("read"), A::Bool, false, false))
      .addAttribute(attribute(QStringLiteral("flagged"), A::Bool, false, false))
      .addRelationship(relationship(QStringLiteral("article"), QStringLiteral("Article"), QStringLiteral("metadata")));
  model->finish();
  return model;
}

QString feedURL(int feed)
{
  return QStringLiteral("https://feed%1.example.com/rss").arg(feed);
}

// One refresh of one feed: 50 articles with contents and metadata.
void saveRefresh(ZPHManagedObjectContext& context, int refresh)
{
  static const QString html = QStringLiteral("<p>") + QString(1400, QLatin1Char('w')) + QStringLiteral("</p>");
  static const QString summary(200, QLatin1Char('s'));
  const QDateTime base = QDateTime(QDate(2026, 1, 1), QTime(0, 0), Qt::UTC);
  const QString feed = feedURL(refresh % Feeds);
  for (int i = 0; i < ArticlesPerSave; ++i) {
    const int n = refresh * ArticlesPerSave + i;
    const QString link = QStringLiteral("https://feed%1.example.com/item/%2").arg(refresh % Feeds).arg(n);
    ZPHManagedObject* article = context.insertNewObject(QStringLiteral("Article"));
    article->setValue(QStringLiteral("guid"), link);
    article->setValue(QStringLiteral("feedURL"), feed);
    article->setValue(QStringLiteral("link"), link);
    article->setValue(QStringLiteral("title"), QStringLiteral("Article %1").arg(n));
    article->setValue(QStringLiteral("plainTextTitle"), QStringLiteral("Article %1").arg(n));
    article->setValue(QStringLiteral("summary"), summary);
    const QDateTime date = base.addSecs(n * 37);
    article->setValue(QStringLiteral("datePublished"), date);
    article->setValue(QStringLiteral("dateArrived"), date);
    article->setValue(QStringLiteral("dateForDisplay"), date);
    ZPHManagedObject* content = context.insertNewObject(QStringLiteral("ArticleContent"));
    content->setValue(QStringLiteral("htmlText"), html);
    content->setValue(QStringLiteral("normalizedText"), summary);
    article->setValue(QStringLiteral("content"), QVariant::fromValue(content));
    ZPHManagedObject* metadata = context.insertNewObject(QStringLiteral("ArticleMetadata"));
    metadata->setValue(QStringLiteral("guid"), link);
    metadata->setValue(QStringLiteral("read"), n % 7 == 0);
    article->setValue(QStringLiteral("metadata"), QVariant::fromValue(metadata));
  }
  context.save();
}

// A full store (1,000 feeds, 100,000 articles) made once per process.
struct FullStore {
  QTemporaryDir folder;
  std::unique_ptr<ZPHManagedObjectModel> model = makeModel();
  QString path() const { return folder.filePath(QStringLiteral("Articles")); }

  FullStore()
  {
    ZPHPersistentStore store(model.get(), path());
    store.open(false, nullptr);
    ZPHManagedObjectContext context(&store, ZPHManagedObjectContext::ConfinementConcurrencyType);
    for (int feed = 0; feed < Feeds; ++feed) {
      ZPHManagedObject* object = context.insertNewObject(QStringLiteral("Feed"));
      object->setValue(QStringLiteral("guid"), QStringLiteral("feed-%1").arg(feed));
      object->setValue(QStringLiteral("url"), feedURL(feed));
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

// 100,000 articles with contents and metadata, arriving as 2,000 saves of 50.
static void BM_SaveRefreshes(benchmark::State& state)
{
  auto model = makeModel();
  for (auto _ : state) {
    QTemporaryDir folder;
    ZPHPersistentStore store(model.get(), folder.filePath(QStringLiteral("Articles")));
    store.open(false, nullptr);
    ZPHManagedObjectContext main(&store, ZPHManagedObjectContext::MainQueueConcurrencyType);
    ZPHManagedObjectContext saver(&store, ZPHManagedObjectContext::ConfinementConcurrencyType);
    for (int refresh = 0; refresh < Saves; ++refresh) {
      saveRefresh(saver, refresh);
      saver.reset();
    }
  }
  state.SetItemsProcessed(state.iterations() * Saves * ArticlesPerSave);
}
BENCHMARK(BM_SaveRefreshes)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

// Unread articles per feed for 1,000 feeds, one grouped query.
static void BM_UnreadCountsPerFeed(benchmark::State& state)
{
  FullStore& full = FullStore::shared();
  ZPHPersistentStore store(full.model.get(), full.path());
  store.open(false, nullptr);
  ZPHManagedObjectContext main(&store, ZPHManagedObjectContext::MainQueueConcurrencyType);
  qsizetype groups = 0;
  for (auto _ : state) {
    const auto counts =
        main.countsGroupedByKeyPath(ZPHFetchRequest(QStringLiteral("Article"), unread()), QStringLiteral("feedURL"));
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
  ZPHPersistentStore store(full.model.get(), full.path());
  store.open(false, nullptr);
  ZPHManagedObjectContext main(&store, ZPHManagedObjectContext::MainQueueConcurrencyType);
  qsizetype found = 0;
  for (auto _ : state) {
    ZPHFetchRequest request(QStringLiteral("Article"), unread());
    request.sortDescriptors = {{QStringLiteral("dateForDisplay"), false}};
    const QList<ZPHManagedObjectID> objectIDs = main.executeFetchRequestForObjectIDs(request);
    found = objectIDs.size();
    benchmark::DoNotOptimize(objectIDs);
  }
  state.counters["articles"] = double(found);
}
BENCHMARK(BM_UnreadIDsByDate)->Unit(benchmark::kMillisecond);

// Opening the full store (with its integrity check) and loading the feeds.
static void BM_OpenStoreAndLoadFeeds(benchmark::State& state)
{
  FullStore& full = FullStore::shared();
  for (auto _ : state) {
    ZPHPersistentStore store(full.model.get(), full.path());
    store.open(state.range(0) != 0, nullptr);
    ZPHManagedObjectContext main(&store, ZPHManagedObjectContext::MainQueueConcurrencyType);
    const QList<ZPHManagedObject*> feeds = main.executeFetchRequest(ZPHFetchRequest(QStringLiteral("Feed")));
    benchmark::DoNotOptimize(feeds);
  }
}
BENCHMARK(BM_OpenStoreAndLoadFeeds)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
  QCoreApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
