// Article list speed on a store of 100,000 articles (66,666 unread): the
// main thread's time per operation, up to the list drawn again, as the
// benchmark's time; the wall time and the store queue's share as counters.
// Last, on a store of 500,000 unread articles (a first refresh of 10,000
// feeds leaves one), All Unread to its first rows drawn, by the wall clock.
//   All Unread listed (from the selection to the rows drawn),
//   a page of rows scrolled, the next article selected (loaded, marked read,
//   the row drawn read),
//   10,000 articles marked read and back (merge, rows and drawing),
//   ten scattered articles leaving All Unread and coming back, the rows
//   moved in place (model, table and drawing),
//   Mark All Read on All Unread and its undo (to the counts and the rows),
//   a search of 1,000 results shown.
// The main thread's time is its CPU time: it sleeps while it waits.

#include "ZPHBenchApplicationDelegate.h"
#include "articlelist/ZPHArticleListDelegate.h"
#include "articlelist/ZPHArticleListModel.h"
#include "articlelist/ZPHArticleListTableView.h"
#include "articlelist/ZPHReadingLayoutViewController.h"
#include "articlelist/ZPHSearchField.h"
#include "articlelist/ZPHSearchOperation.h"
#include "articlelist/ZPHSearchWindowController.h"
#include "foundation/ZPHCoreApplicationDelegate.h"
#include "platform/ZPHOperation.h"
#include "platform/ZPHUserDefaults.h"
#include "preferences/ZPHPreferenceWindowController.h"
#include "store/CBDataController.h"
#include "store/accounts/CBDataAccount.h"
#include "store/accounts/CBGlobalAccount.h"
#include "store/accounts/CBGlobalFeed.h"
#include "store/entities/CBDataModel.h"
#include "store/entities/CBFeed.h"
#include "store/operations/ZPHMarkAllAsReadOperation.h"
#include "store/operations/ZPHUndoableOperation.h"
#include "store/tree/ZPHModel.h"
#include "store/tree/ZPHSourceListTreeBuilder.h"

#include "ZPHBenchArticleStore.h"
#include "ZPHBenchWidgets.h"

#include <QtCore/QElapsedTimer>
#include <QtCore/QEventLoop>
#include <QtCore/QTemporaryDir>
#include <QtCore/QTimer>
#include <QtWidgets/QApplication>
#include <QtWidgets/QScrollBar>
#include <QtWidgets/QWidget>

#include <atomic>
#include <cstdio>
#include <memory>

namespace {

constexpr int Articles = 100000;

void serveUntil(const std::function<bool()>& done) { zphBenchServeUntil(done, "the list"); }

using ListBenchDelegate = ZPHBenchApplicationDelegate;

// The store, the article list in a window, made once per process.
struct ListFixture {
  explicit ListFixture(int articles = Articles, bool allUnread = false);
  int articles = Articles;
  QTemporaryDir folder;
  std::unique_ptr<ListBenchDelegate> delegate;
  std::unique_ptr<ZPHSourceListTreeBuilder> builder;
  std::unique_ptr<QWidget> window;
  std::unique_ptr<ZPHSearchField> field;
  std::unique_ptr<ZPHSearchWindowController> search;
  std::unique_ptr<ZPHArticleListDelegate> list;

  void fill(bool allUnread)
  {
    {
      ZPHPersistentStore store(CBDataManagedObjectModel(), folder.filePath(QStringLiteral("Articles")));
      ZPHError error;
      if (!store.open(true, &error)) {
        std::fprintf(stderr, "no store: %s\n", qPrintable(error.toString()));
        std::exit(2);
      }
      zphBenchFillArticleStore(store, articles, allUnread);
    }
    delegate = std::make_unique<ListBenchDelegate>(folder.path());
    ZPHError error;
    if (!delegate->data.setupCoreDataStackWithClass({}, false, &error)) {
      std::fprintf(stderr, "no store: %s\n", qPrintable(error.toString()));
      std::exit(2);
    }
    delegate->data.completeSetup();
    // The feeds join the local account, as subscribed feeds do.
    if (CBDataAccount* local = delegate->data.localAccount()) {
      for (CBFeed* feed : CBFeed::feedsWithMOC(delegate->data.mainThreadManagedObjectContext())) local->addFeed(feed);
      delegate->data.saveMainThreadManagedObjectContext();
    }
    // The tree tells the list there are feeds to list.
    builder = std::make_unique<ZPHSourceListTreeBuilder>(&delegate->data);
    builder->rebuildTree();
    window = std::make_unique<QWidget>();
    window->resize(1100, 700);
    field = std::make_unique<ZPHSearchField>();
    search = std::make_unique<ZPHSearchWindowController>(window.get());
    search->setSearchField(field.get());
    // The settings' defaults, as the application registers them at start.
    ZPHPreferenceWindowController::registerDefaults();
    list = std::make_unique<ZPHArticleListDelegate>();
    list->setSearchWindowController(search.get());
    search->setArticleListDelegate(list.get());
    list->setUp();
    list->contentView()->setParent(window.get());
    list->contentView()->setGeometry(window->rect());
    window->show();
    settle();
  }

  ZPHArticleListTableView* table() const
  {
    return qobject_cast<ZPHArticleListTableView*>(list->currentLayoutViewController()->controlView());
  }
  void settle()
  {
    serveUntil(
        [&] { return !delegate->data.coreDataQueueHasOperations() && !list->articleListController()->isUpdating(); });
    QCoreApplication::processEvents();
  }
  void draw() { table()->viewport()->repaint(); }
  // The selection and the wait for its rows, drawn.
  void select(const QList<ZPHRepresentedObject>& items)
  {
    list->sourcelistSelectionDidChange(items);
    serveUntil([&] { return !list->articleListController()->isUpdating(); });
    draw();
  }
  CBGlobalFeed* allUnread() const { return delegate->data.globalAccount()->allUnreadFeed(); }
};

ListFixture::ListFixture(int count, bool allUnread) : articles(count) { fill(allUnread); }

// The fixture of the benchmarks that run now: the store of 100,000 articles,
// or (for the last benchmark) one of `articles`, which replaces it. Kept
// until releaseFixture() at the end of the run, which removes its folder.
ListFixture*& sharedFixture()
{
  static ListFixture* shared = nullptr;
  return shared;
}

ListFixture& fixture(int articles = Articles, bool allUnread = false)
{
  ListFixture*& shared = sharedFixture();
  if (shared != nullptr && shared->articles != articles) {
    delete shared;
    shared = nullptr;
  }
  if (shared == nullptr)
    shared = new ListFixture(articles, allUnread);
  return *shared;
}

void releaseFixture()
{
  delete sharedFixture();
  sharedFixture() = nullptr;
}

// The store queue's time for one block of work, measured on the queue.
double storeQueueMilliseconds(ListFixture& shared, std::function<void(ZPHManagedObjectContext*)> work)
{
  std::atomic<double> took{-1};
  shared.delegate->data.addCoreDataQueueBlock(
      [&] {
        QElapsedTimer timer;
        timer.start();
        std::shared_ptr<ZPHManagedObjectContext> context = shared.delegate->data.temporaryManagedObjectContext();
        work(context.get());
        took = double(timer.nsecsElapsed()) / 1e6;
      },
      {});
  serveUntil([&] { return took.load() >= 0; });
  return took.load();
}

// The store queue's time for the list's query of All Unread.
double allUnreadStoreQueueMilliseconds(ListFixture& shared)
{
  return storeQueueMilliseconds(shared, [](ZPHManagedObjectContext* context) {
    ZPHFetchRequest request(CBDataEntityNameArticle, CBDataArticle::predicateForUnreadArticlesWithMoc(context));
    request.sortDescriptors = {{QStringLiteral("dateForDisplay"), false}};
    context->executeFetchRequestForObjectIDsWithValues(
        request,
        {QStringLiteral("dateForDisplay"), QStringLiteral("metadata.read"), QStringLiteral("metadata.flagged")});
  });
}

}  // namespace

// All Unread (66,666 rows under date headers) from its selection to the
// rows drawn; between runs another smart feed is listed.
static void BM_AllUnreadListed(benchmark::State& state)
{
  ListFixture& shared = fixture();
  CBGlobalFeed* other = shared.delegate->data.globalAccount()->flaggedFeed();
  double wall = 0;
  for (auto _ : state) {
    shared.select({other});
    ZPHBenchTiming timing;
    timing.start();
    shared.select({shared.allUnread()});
    state.SetIterationTime(timing.mainMilliseconds() / 1e3);
    wall += double(timing.wall.nsecsElapsed()) / 1e6;
  }
  if (shared.list->articleListController()->count() != 66666)
    state.SkipWithError("All Unread does not hold 66,666 articles");
  if (!shared.table()->isVisible())
    state.SkipWithError("the list is not shown");
  state.counters["rows"] = double(shared.list->articleListModel()->rowCount());
  state.counters["wall_ms"] = wall / double(state.iterations());
  state.counters["storeQueue_ms"] = allUnreadStoreQueueMilliseconds(shared);
}
BENCHMARK(BM_AllUnreadListed)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

// Ten articles scattered over All Unread leave its list and come back, as a
// reload of the same source brings them: the rows go and come in place,
// the table follows and is drawn, scrolled to the middle.
static void BM_RowsMovedInPlace(benchmark::State& state)
{
  ListFixture& shared = fixture();
  shared.select({shared.allUnread()});
  ZPHArticleListController* controller = shared.list->articleListController();
  ZPHArticleListModel* model = shared.list->articleListModel();
  const QList<ZPHArticleListRow> all = controller->articles();
  QList<ZPHArticleListRow> fewer = all;
  for (qsizetype i = 9; i >= 0; --i) fewer.removeAt(i * (fewer.size() / 10));
  const auto entries = [&] {
    return ZPHArticleListModel::groupedEntries(controller->articles(), model->dateManager());
  };
  QScrollBar* bar = shared.table()->verticalScrollBar();
  bar->setValue(bar->maximum() / 2);
  bool inPlace = true;
  for (auto _ : state) {
    ZPHBenchTiming timing;
    timing.start();
    for (const QList<ZPHArticleListRow>* rows : std::initializer_list<const QList<ZPHArticleListRow>*>{&fewer, &all}) {
      controller->setArticles(*rows);
      inPlace &= model->updateEntries(entries()).has_value();
      shared.draw();
    }
    state.SetIterationTime(timing.mainMilliseconds() / 1e3);
  }
  if (!inPlace)
    state.SkipWithError("the rows were not moved in place");
  state.counters["rows"] = double(model->rowCount());
}
BENCHMARK(BM_RowsMovedInPlace)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

// One page of All Unread scrolled and drawn (its rows loaded on the way).
static void BM_PageScrolled(benchmark::State& state)
{
  ListFixture& shared = fixture();
  shared.select({shared.allUnread()});
  QScrollBar* bar = shared.table()->verticalScrollBar();
  bar->setValue(0);
  for (auto _ : state) {
    ZPHBenchTiming timing;
    timing.start();
    bar->setValue(bar->value() + bar->pageStep());
    shared.draw();
    state.SetIterationTime(timing.mainMilliseconds() / 1e3);
  }
}
BENCHMARK(BM_PageScrolled)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(200);

// The next article selected by the user: loaded into the detail pane,
// marked read on the store queue, its row drawn read.
static void BM_NextArticle(benchmark::State& state)
{
  ListFixture& shared = fixture();
  shared.select({shared.allUnread()});
  ZPHArticleListTableView* table = shared.table();
  table->setFocus();
  table->selectRow(table->nextRow(), true);
  shared.settle();
  double wall = 0;
  for (auto _ : state) {
    const int next = table->nextRow();
    CBDataArticle* article = shared.list->articleListModel()->articleAtRow(next);
    ZPHBenchTiming timing;
    timing.start();
    table->selectRow(next, true);
    shared.draw();
    serveUntil(
        [&] { return article != nullptr && article->read() && !shared.delegate->data.coreDataQueueHasOperations(); });
    shared.draw();
    state.SetIterationTime(timing.mainMilliseconds() / 1e3);
    wall += double(timing.wall.nsecsElapsed()) / 1e6;
  }
  state.counters["wall_ms"] = wall / double(state.iterations());
}
BENCHMARK(BM_NextArticle)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(100);

// 10,000 listed articles marked read, then the undo marks them unread:
// the main thread merges the saves, updates the rows by ranges and draws.
static void BM_TenThousandMarkedReadAndUndone(benchmark::State& state)
{
  ListFixture& shared = fixture();
  shared.select({shared.allUnread()});
  // The rows shown so far are loaded, as a user's list would be.
  QList<ZPHManagedObjectID> ids;
  const QList<ZPHArticleListRow>& rows = shared.list->articleListController()->articles();
  for (qsizetype i = 0; i < rows.size() && ids.size() < 10000; i += 2) ids.append(rows.at(i).objectID);
  const qsizetype last = shared.list->articleListController()->indexOfArticle(ids.last());
  bool read = true;
  double wall = 0;
  double queue = 0;
  for (auto _ : state) {
    ZPHBenchTiming timing;
    timing.start();
    auto operation = ZPHMarkAllAsReadOperation::operationWithArticleManagedObjectIds(ids, read);
    QElapsedTimer queued;
    std::atomic<double> queueMs{-1};
    auto timed = std::make_shared<ZPHBlockOperation>([operation, &queueMs] {
      QElapsedTimer timer;
      timer.start();
      operation->start();
      queueMs = double(timer.nsecsElapsed()) / 1e6;
    });
    shared.delegate->data.addCoreDataQueueOperation(timed);
    serveUntil(
        [&] { return queueMs.load() >= 0 && shared.list->articleListController()->articles().at(last).read == read; });
    shared.draw();
    state.SetIterationTime(timing.mainMilliseconds() / 1e3);
    wall += double(timing.wall.nsecsElapsed()) / 1e6;
    queue += queueMs.load();
    read = !read;
  }
  state.counters["articles"] = double(ids.size());
  state.counters["wall_ms"] = wall / double(state.iterations());
  state.counters["storeQueue_ms"] = queue / double(state.iterations());
}
BENCHMARK(BM_TenThousandMarkedReadAndUndone)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

// Mark All Read on All Unread (66,666 articles), as the toolbar asks for it,
// then its undo: the wall time until the account's unread count says so
// ("to the counts") and until the last listed row is drawn read; the main
// thread's time as the benchmark's time.
static void BM_AllUnreadMarkedReadAndUndone(benchmark::State& state)
{
  ListFixture& shared = fixture();
  shared.select({shared.allUnread()});
  CBDataAccount* account = shared.delegate->data.localAccount();
  const qsizetype unread = shared.list->articleListController()->count();
  const ZPHManagedObjectID lastRow = shared.list->articleListController()->articles().last().objectID;
  std::shared_ptr<ZPHUndoableOperation> undo;
  double toCounts = 0;
  double toRows = 0;
  int runs = 0;
  for (auto _ : state) {
    const bool read = undo == nullptr;
    ZPHBenchTiming timing;
    timing.start();
    std::shared_ptr<ZPHUndoableOperation> operation =
        read ? std::static_pointer_cast<ZPHUndoableOperation>(
                   ZPHMarkAllAsReadOperation::operationWithTreeNodeRepresentedObjects({shared.allUnread()}, true))
             : undo;
    undo = read ? operation->inverseOperation() : nullptr;
    shared.delegate->performUndoableOperation(operation);
    double countsAt = -1;
    double rowsAt = -1;
    const quint64 expected = read ? 0 : quint64(unread);
    serveUntil([&] {
      const double now = double(timing.wall.nsecsElapsed()) / 1e6;
      if (countsAt < 0 && account->unreadCount() == expected)
        countsAt = now;
      const qsizetype row = shared.list->articleListController()->indexOfArticle(lastRow);
      if (rowsAt < 0 && row >= 0 && shared.list->articleListController()->articles().at(row).read == read)
        rowsAt = now;
      return countsAt >= 0 && rowsAt >= 0 && !shared.delegate->data.coreDataQueueHasOperations();
    });
    shared.draw();
    state.SetIterationTime(timing.mainMilliseconds() / 1e3);
    toCounts += countsAt;
    toRows += rowsAt;
    ++runs;
  }
  state.counters["articles"] = double(unread);
  state.counters["to_counts_ms"] = toCounts / runs;
  state.counters["to_rows_ms"] = toRows / runs;
}
BENCHMARK(BM_AllUnreadMarkedReadAndUndone)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(4);

// A title search with 1,000 results, from its start to the results drawn.
static void BM_SearchWithAThousandResults(benchmark::State& state)
{
  ListFixture& shared = fixture();
  shared.select({shared.allUnread()});
  shared.field->setText(QStringLiteral("needle"));
  double wall = 0;
  for (auto _ : state) {
    shared.list->searchCanceledUpdatingArticles(false, false, false);
    ZPHBenchTiming timing;
    timing.start();
    shared.search->executeSearchWithType(2);
    serveUntil([&] {
      return shared.list->showingSearchResultSet() &&
             shared.list->currentSearchOperation() == shared.search->lastSearchOperation();
    });
    shared.draw();
    state.SetIterationTime(timing.mainMilliseconds() / 1e3);
    wall += double(timing.wall.nsecsElapsed()) / 1e6;
  }
  if (shared.list->articleListController()->count() != 1000)
    state.SkipWithError("the search did not find 1,000 articles");
  state.counters["wall_ms"] = wall / double(state.iterations());
  state.counters["storeQueue_ms"] = storeQueueMilliseconds(shared, [](ZPHManagedObjectContext* context) {
    ZPHFetchRequest request(CBDataEntityNameArticle,
                            ZPHPredicate::equal(QStringLiteral("markedForDeletion"), 0) &&
                                ZPHSearchOperation::predicateForQuery(QStringLiteral("needle"), 2));
    request.sortDescriptors = {{QStringLiteral("dateForDisplay"), false}};
    context->executeFetchRequestForObjectIDsWithValues(
        request,
        {QStringLiteral("dateForDisplay"), QStringLiteral("metadata.read"), QStringLiteral("metadata.flagged")});
  });
}
BENCHMARK(BM_SearchWithAThousandResults)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

// All Unread of 500,000 articles (every one unread) from its selection to
// its first rows drawn, by the wall clock; between runs another smart feed
// is listed. Last: its store replaces the one of the benchmarks above.
static void BM_AllUnreadOfHalfAMillionFirstRowsShown(benchmark::State& state)
{
  constexpr int Large = 500000;
  ListFixture& shared = fixture(Large, true);
  CBGlobalFeed* other = shared.delegate->data.globalAccount()->flaggedFeed();
  // The newest article: the first row of All Unread.
  ZPHManagedObjectID newest;
  storeQueueMilliseconds(shared, [&](ZPHManagedObjectContext* context) {
    ZPHFetchRequest request(CBDataEntityNameArticle, CBDataArticle::predicateForUnreadArticlesWithMoc(context));
    request.sortDescriptors = {{QStringLiteral("dateForDisplay"), false}};
    request.fetchLimit = 1;
    newest = context->executeFetchRequestForObjectIDs(request).value(0);
  });
  double whole = 0;
  for (auto _ : state) {
    shared.select({other});
    QElapsedTimer wall;
    wall.start();
    shared.list->sourcelistSelectionDidChange({shared.allUnread()});
    serveUntil([&] {
      return shared.list->articleListModel()->rowForObjectID(newest) >= 0 &&
             shared.list->articleListModel()->rowCount() > 0;
    });
    shared.draw();
    state.SetIterationTime(double(wall.nsecsElapsed()) / 1e9);
    serveUntil([&] { return !shared.list->articleListController()->isUpdating(); });
    whole += double(wall.nsecsElapsed()) / 1e6;
  }
  state.counters["whole_list_ms"] = whole / double(state.iterations());
  if (shared.list->articleListController()->count() != Large)
    state.SkipWithError("All Unread does not hold 500,000 articles");
  state.counters["rows"] = double(shared.list->articleListModel()->rowCount());
  state.counters["storeQueue_ms"] = allUnreadStoreQueueMilliseconds(shared);
}
BENCHMARK(BM_AllUnreadOfHalfAMillionFirstRowsShown)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

int main(int argc, char** argv)
{
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  // The settings the list writes stay in a folder of the run's own.
  QTemporaryDir settings;
  qputenv("XDG_CONFIG_HOME", settings.path().toUtf8());
  QApplication app(argc, argv);
  ZPHRegisterThemes();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  releaseFixture();
  return 0;
}
