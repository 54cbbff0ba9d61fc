// Browser tabs at start-up and on a switch, on a store of their own:
//   the start of the article list with its tabs column (the list, the tab
//   set's restore, the column drawn, the tabs' pictures read from their
//   files), with no stored tab and with twenty; no web view is made;
//   a switch to a restored tab: its web view made and the column drawn,
//   its last picture shown at once (the counter "picture" is 1 when it was
//   there at the switch).
// The main thread's time is its CPU time as the benchmark's time; the wall
// time is a counter.

#include "ZPHBenchApplicationDelegate.h"
#include "articlelist/ZPHArticleListDelegate.h"
#include "browser/ZPHBrowserTab.h"
#include "browser/ZPHTabThumbnailCache.h"
#include "browser/ZPHTabsController.h"
#include "browser/ZPHTabsTableView.h"
#include "browser/ZPHTabsTableViewController.h"
#include "mainwindow/ZPHContentPaneController.h"
#include "store/entities/AbstractTab.h"
#include "store/entities/CBDataModel.h"
#include "store/graph/ZPHManagedObjectContext.h"

#include "ZPHBenchWidgets.h"

#include <QtCore/QDir>
#include <QtCore/QElapsedTimer>
#include <QtCore/QEventLoop>
#include <QtCore/QTemporaryDir>
#include <QtCore/QTimer>
#include <QtGui/QImage>
#include <QtWidgets/QApplication>
#include <QtWidgets/QWidget>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>

namespace {

void serveUntil(const std::function<bool()>& done) { zphBenchServeUntil(done, "the tabs"); }

// A store with `tabs` stored tabs and a picture file for each.
struct TabsStore {
  QTemporaryDir folder;
  std::unique_ptr<ZPHBenchApplicationDelegate> delegate;

  explicit TabsStore(int tabs)
  {
    delegate = std::make_unique<ZPHBenchApplicationDelegate>(folder.path());
    ZPHError error;
    if (!delegate->data.setupCoreDataStackWithClass({}, false, &error)) {
      std::fprintf(stderr, "no store: %s\n", qPrintable(error.toString()));
      std::exit(2);
    }
    delegate->data.completeSetup();
    ZPHManagedObjectContext* main = delegate->data.mainThreadManagedObjectContext();
    const QString pictures = QDir(folder.path()).filePath(QStringLiteral("TabThumbnails.noindex"));
    QDir().mkpath(pictures);
    QImage picture(113, 72, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    for (int n = 1; n <= tabs; ++n) {
      const QString url = QStringLiteral("https://example.com/page/%1").arg(n);
      auto* tab = static_cast<AbstractTab*>(main->insertNewObject(CBDataEntityNameBrowserTab));
      tab->setGuid(QStringLiteral("tab-%1").arg(n));
      tab->setUrl(url);
      tab->setTitle(QStringLiteral("Page %1").arg(n));
      tab->setIndex(n);
      picture.save(QDir(pictures).filePath(ZPHTabThumbnailCache::filenameForURL(QUrl(url))), "TIFF");
    }
    main->save();
  }
};

// The article list with its tabs column in a window, shown and drawn, the
// tabs' pictures read.
struct Shown {
  std::unique_ptr<QWidget> window;
  std::unique_ptr<ZPHArticleListDelegate> list;
  std::unique_ptr<ZPHContentPaneController> pane;

  void start()
  {
    window = std::make_unique<QWidget>();
    window->resize(1100, 700);
    list = std::make_unique<ZPHArticleListDelegate>();
    list->setUp();
    pane = std::make_unique<ZPHContentPaneController>(list.get());
    pane->setUp();
    pane->contentView()->setParent(window.get());
    pane->contentView()->setGeometry(window->rect());
    window->show();
    ZPHTabsController* tabs = pane->tabsController();
    serveUntil([&] {
      for (ZPHBrowserTab* tab : tabs->browserTabs())
        if (tab->thumbnailImage().isNull())
          return false;
      return true;
    });
    pane->tabsTableViewController()->browserTabsTable()->viewport()->repaint();
    QCoreApplication::processEvents();
  }
};

}  // namespace

static void BM_StartWithStoredTabs(benchmark::State& state)
{
  TabsStore store(int(state.range(0)));
  double wall = 0;
  for (auto _ : state) {
    ZPHBenchTiming timing;
    timing.start();
    Shown shown;
    shown.start();
    state.SetIterationTime(timing.mainMilliseconds() / 1e3);
    wall += double(timing.wall.nsecsElapsed()) / 1e6;
    state.PauseTiming();
    // No tab has a web view.
    for (ZPHBrowserTab* tab : shown.pane->tabsController()->browserTabs())
      if (tab->webView() != nullptr)
        state.SkipWithError("a restored tab made a web view");
    shown = Shown();
    QCoreApplication::processEvents();
    state.ResumeTiming();
  }
  state.counters["wall_ms"] = benchmark::Counter(wall / double(state.iterations()));
}
BENCHMARK(BM_StartWithStoredTabs)->Arg(0)->Arg(20)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

static void BM_SwitchToARestoredTab(benchmark::State& state)
{
  TabsStore store(20);
  Shown shown;
  shown.start();
  ZPHTabsController* tabs = shown.pane->tabsController();
  double wall = 0;
  double pictures = 0;
  qsizetype next = 1;
  for (auto _ : state) {
    ZPHBenchTiming timing;
    timing.start();
    tabs->selectTabAtIndex(next);
    pictures += tabs->currentBrowserTab()->thumbnailImage().isNull() ? 0 : 1;
    shown.pane->tabsTableViewController()->browserTabsTable()->viewport()->repaint();
    state.SetIterationTime(timing.mainMilliseconds() / 1e3);
    wall += double(timing.wall.nsecsElapsed()) / 1e6;
    state.PauseTiming();
    tabs->selectNewsItemsTab();
    QCoreApplication::processEvents();
    next = next % 20 + 1;
    state.ResumeTiming();
  }
  state.counters["wall_ms"] = benchmark::Counter(wall / double(state.iterations()));
  state.counters["picture"] = benchmark::Counter(pictures / double(state.iterations()));
}
BENCHMARK(BM_SwitchToARestoredTab)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

ZPH_WIDGETS_BENCHMARK_MAIN();
