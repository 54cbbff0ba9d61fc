// Source list speed on the main thread: 1,000 feeds in 50 folders (open),
// half of them with unread articles, with "hide read sites" on and a read feed selected (kept by
// the filter). One reload that restores the selection, and every feed's
// count changing at once, each up to the list drawn again. The count change
// again with 10,000 feeds in no folder, every one a row of one group (no
// filter).

#include "ZPHBenchApplicationDelegate.h"
#include "feeds/refresh/ZPHStatusItem.h"
#include "foundation/CBPrefs.h"
#include "foundation/ZPHCoreApplicationDelegate.h"
#include "platform/ZPHNotificationCenter.h"
#include "platform/ZPHUserDefaults.h"
#include "sourcelist/ZPHSourceListModel.h"
#include "sourcelist/ZPHSourceListView.h"
#include "sourcelist/ZPHSourceListViewController.h"
#include "store/CBDataController.h"
#include "store/accounts/CBDataAccount.h"
#include "store/entities/ArticleMetadata.h"
#include "store/entities/CBDataArticle.h"
#include "store/entities/CBDataModel.h"
#include "store/entities/CBFeed.h"
#include "store/entities/CBFolder.h"
#include "store/graph/ZPHManagedObjectContext.h"
#include "store/tree/ZPHSourceListTreeBuilder.h"

#include "ZPHBenchSupport.h"
#include "ZPHBenchWidgets.h"

#include <QtCore/QDeadlineTimer>
#include <QtCore/QTemporaryDir>
#include <QtWidgets/QApplication>

#include <algorithm>
#include <cstdio>
#include <memory>

namespace {

using SourceListBenchDelegate = ZPHBenchApplicationDelegate;

// The store, the tree and a shown source list, made once per process.
struct SourceListFixture {
  QTemporaryDir folder;
  std::unique_ptr<SourceListBenchDelegate> delegate;
  std::unique_ptr<ZPHSourceListTreeBuilder> builder;
  std::unique_ptr<ZPHSourceListViewController> list;
  QList<CBFeed*> feeds;
  quint64 unreadExpected = 0;

  // `folders` 0: the feeds are in no folder. `hideRead`: "hide read sites"
  // is on, and a read feed is selected (kept by the filter).
  SourceListFixture(int folders, int feedsPerFolder, bool hideRead)
  {
    delegate = std::make_unique<SourceListBenchDelegate>(folder.path());
    ZPHError error;
    if (!delegate->data.setupCoreDataStackWithClass({}, false, &error)) {
      std::fprintf(stderr, "no store: %s\n", qPrintable(error.toString()));
      std::exit(2);
    }
    delegate->data.completeSetup();
    CBDataAccount* account = delegate->data.localAccount();
    ZPHManagedObjectContext* main = delegate->data.mainThreadManagedObjectContext();
    for (int f = 0; f < std::max(folders, 1); ++f) {
      CBFolder* folder = folders == 0
                             ? nullptr
                             : account->addFolderWithName(QStringLiteral("Folder %1").arg(f, 2, 10, QLatin1Char('0')));
      for (int n = 0; n < feedsPerFolder; ++n) {
        const int number = f * feedsPerFolder + n;
        CBFeed* feed = CBFeed::insertFeedWithURL(QUrl(zphBenchFeedURL(number)), main);
        feed->setName(QStringLiteral("Feed %1").arg(number, 5, 10, QLatin1Char('0')));
        if (folder != nullptr)
          account->addFeedAtEndOfFolder(feed, folder);
        else
          account->addFeed(feed);
        // Every other feed has 1 to 17 unread articles, the others 2 read.
        const int articles = number % 2 == 0 ? 2 : number % 17 + 1;
        for (int a = 0; a < articles; ++a) {
          const QString link = QStringLiteral("https://feed%1.example.com/item/%2").arg(number).arg(a);
          auto* article = static_cast<CBDataArticle*>(main->insertNewObject(CBDataEntityNameArticle));
          article->setGuid(link);
          article->setFeedURL(feed->url());
          article->setLink(link);
          article->setTitle(link);
          auto* metadata = static_cast<ArticleMetadata*>(main->insertNewObject(CBDataEntityNameArticleMetadata));
          metadata->setGuid(link);
          metadata->setRead(number % 2 == 0);
          article->setMetadata(metadata);
          ++unreadExpected;
          if (number % 2 == 0)
            --unreadExpected;
        }
        feeds.append(feed);
      }
    }
    delegate->data.saveMainThreadManagedObjectContext();
    // The account announces the new feeds about a second after the last.
    QDeadlineTimer announced(2000);
    while (!announced.hasExpired()) QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    // The account counts the unread articles of every feed and folder.
    account->markAllUnreadCountsAsInvalid();
    delegate->data.updateAllUnreadCountsOnMainThread();
    QDeadlineTimer deadline(60000);
    while (delegate->data.unreadCount() != unreadExpected && !deadline.hasExpired())
      QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    if (delegate->data.unreadCount() != unreadExpected) {
      std::fprintf(stderr, "the unread counts did not come: %llu of %llu\n",
                   static_cast<unsigned long long>(delegate->data.unreadCount()),
                   static_cast<unsigned long long>(unreadExpected));
      std::exit(2);
    }

    builder = std::make_unique<ZPHSourceListTreeBuilder>(&delegate->data);
    ZPHUserDefaults::standardUserDefaults().setBool(ZPHHideFeedsWithNoUnread, false);
    list = std::make_unique<ZPHSourceListViewController>();
    list->setSourceListTreeBuilder(builder.get());
    list->completeInitialization();
    QWidget* view = list->view();
    view->resize(240, 800);
    view->show();
    // A read feed in the middle, selected: the filter keeps it.
    list->selectTreeNode(
        builder->treeNodesForRepresentedObject(static_cast<CBNode*>(feeds.at(feeds.size() / 2))).constFirst().get());
    if (hideRead) {
      ZPHUserDefaults::standardUserDefaults().setBool(ZPHHideFeedsWithNoUnread, true);
      while (!list->hideFeedsWithNoUnread() || list->currentlyReloadingData())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    QCoreApplication::processEvents();
  }
};

SourceListFixture& fixture()
{
  static SourceListFixture* shared = new SourceListFixture(50, 20, true);  // kept for the process
  return *shared;
}

SourceListFixture& unfiledFixture()
{
  static SourceListFixture* shared = new SourceListFixture(0, 10000, false);  // kept for the process
  return *shared;
}

void drawNow(ZPHSourceListViewController* list)
{
  QCoreApplication::processEvents();
  list->sourceListOutlineView()->viewport()->repaint();
}

}  // namespace

// The filter's reload: a new snapshot of the tree with the read feeds left
// out, the groups opened again, the selection found again by equality, the
// visible rows drawn.
static void BM_SourceListReloadRestoringTheSelection(benchmark::State& state)
{
  SourceListFixture& shared = fixture();
  for (auto _ : state) {
    shared.list->reloadSourceListDataPreservingSelection(true);
    drawNow(shared.list.get());
  }
  if (shared.list->selectedOutlineItems().size() != 1)
    state.SkipWithError("the selection was lost");
  state.counters["rows"] = double(shared.list->numberOfRows());
}
BENCHMARK(BM_SourceListReloadRestoringTheSelection)->Unit(benchmark::kMillisecond);

// Every feed's count changes (as a recount's merge changes them), then the
// unread-count notification, which names no feed: every row is drawn
// again and the filter's reload is scheduled.
static void everyFeedCountChanging(benchmark::State& state, SourceListFixture& shared)
{
  quint64 round = 0;
  for (auto _ : state) {
    ++round;
    for (qsizetype n = 0; n < shared.feeds.size(); ++n)
      shared.feeds.at(n)->setUnreadCount(n % 2 == 0 ? 0 : quint64((n + round) % 17 + 1));
    ZPHNotificationCenter::defaultCenter().post(ZPHUnreadCountDidChangeNotification);
    drawNow(shared.list.get());
  }
  if (shared.list->hideFeedsWithNoUnread() && !shared.list->isFilterReloadScheduled())
    state.SkipWithError("no filter reload was scheduled");
  state.counters["feeds"] = double(shared.feeds.size());
  state.counters["rows"] = double(shared.list->numberOfRows());
}

static void BM_SourceListEveryFeedCountChanging(benchmark::State& state) { everyFeedCountChanging(state, fixture()); }
BENCHMARK(BM_SourceListEveryFeedCountChanging)->Unit(benchmark::kMillisecond);

static void BM_SourceListEveryFeedCountChangingTenThousandUnfiled(benchmark::State& state)
{
  everyFeedCountChanging(state, unfiledFixture());
}
BENCHMARK(BM_SourceListEveryFeedCountChangingTenThousandUnfiled)->Unit(benchmark::kMillisecond);

ZPH_WIDGETS_BENCHMARK_MAIN();
