// Importing and exporting a subscription list of 10,000 feeds in 200
// folders, with the source list shown: the whole import (read, parse, add,
// save, the main context's merge, the account's reload, the source list's
// rebuild) into an empty store, and the whole export (the tree read in
// store-queue order, the text built and written). Each also reports the
// longest the main thread was kept from its event loop ("max_main_step_ms",
// measured by a 1 ms timer). The import also reports the longest save of the
// main context made meanwhile, every 25 ms ("max_main_save_ms": the import
// saves in one transaction, which such a save waits for).

#include "ZPHBenchApplicationDelegate.h"
#include "ZPHBenchSupport.h"
#include "ZPHBenchWidgets.h"
#include "platform/ZPHUserDefaults.h"
#include "sourcelist/ZPHSourceListView.h"
#include "sourcelist/ZPHSourceListViewController.h"
#include "store/accounts/CBDataAccount.h"
#include "store/entities/CBFolder.h"
#include "store/tree/ZPHSourceListTreeBuilder.h"
#include "subscriptions/ZPHOPMLExporter.h"
#include "subscriptions/ZPHOPMLImporter.h"

#include <QtCore/QElapsedTimer>
#include <QtCore/QEventLoop>
#include <QtCore/QFile>
#include <QtCore/QTemporaryDir>
#include <QtCore/QTimer>

#include <cstdio>
#include <memory>

namespace {

constexpr int Folders = 200;
constexpr int FeedsPerFolder = 50;

QByteArray subscriptionList()
{
  QByteArray opml =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<opml version=\"2.0\"><head><title>Big</title></head>"
      "<body>\n";
  for (int f = 0; f < Folders; ++f) {
    opml += "<outline text=\"Folder " + QByteArray::number(f) + "\">\n";
    for (int n = 0; n < FeedsPerFolder; ++n) {
      const int number = f * FeedsPerFolder + n;
      opml += "  <outline type=\"rss\" text=\"Feed " + QByteArray::number(number) + "\" htmlUrl=\"https://feed" +
              QByteArray::number(number) + ".example.com/\" xmlUrl=\"" + zphBenchFeedURL(number).toUtf8() + "\"/>\n";
    }
    opml += "</outline>\n";
  }
  return opml + "</body></opml>\n";
}

// The longest gap between two turns of the main loop while `done` is not;
// `during`, when given, runs every 25 ms meanwhile.
double runMainLoopUntil(const std::function<bool()>& done, const std::function<void()>& during = {})
{
  QElapsedTimer clock;
  clock.start();
  qint64 last = 0;
  qint64 longest = 0;
  QTimer probe;
  probe.setTimerType(Qt::PreciseTimer);
  probe.setInterval(1);
  QObject::connect(&probe, &QTimer::timeout, [&] {
    const qint64 now = clock.elapsed();
    longest = std::max(longest, now - last);
    last = now;
  });
  probe.start();
  QEventLoop loop;
  QTimer check;
  check.setInterval(1);
  QObject::connect(&check, &QTimer::timeout, [&] {
    if (done())
      loop.quit();
  });
  check.start();
  QTimer user;
  user.setInterval(25);
  if (during) {
    QObject::connect(&user, &QTimer::timeout, during);
    user.start();
  }
  loop.exec();
  return double(longest);
}

// A store with the source list shown.
struct Window {
  QTemporaryDir folder;
  std::unique_ptr<ZPHBenchApplicationDelegate> delegate;
  std::unique_ptr<ZPHSourceListTreeBuilder> builder;
  std::unique_ptr<ZPHSourceListViewController> list;

  Window()
  {
    delegate = std::make_unique<ZPHBenchApplicationDelegate>(folder.path());
    ZPHError error;
    if (!delegate->data.setupCoreDataStackWithClass({}, false, &error)) {
      std::fprintf(stderr, "no store: %s\n", qPrintable(error.toString()));
      std::exit(2);
    }
    delegate->data.completeSetup();
    builder = std::make_unique<ZPHSourceListTreeBuilder>(&delegate->data);
    list = std::make_unique<ZPHSourceListViewController>();
    list->setSourceListTreeBuilder(builder.get());
    list->completeInitialization();
    list->view()->resize(240, 800);
    list->view()->show();
    QCoreApplication::processEvents();
  }
  ~Window()
  {
    list.reset();
    builder.reset();
  }

  // Imports the file; false when it did not come in whole. With
  // `longestSave`, the main context saves a small change every 25 ms
  // meanwhile.
  bool import(const QString& path, double* longestStep, double* longestSave = nullptr)
  {
    auto importer = std::make_shared<ZPHOPMLImporter>(path);
    bool completed = false;
    qsizetype imported = 0;
    importer->importWithCompletionHandler(
        [&](const QList<CBFeed*>& feeds, const QList<CBFeed*>&, const ZPHError& error) {
          completed = true;
          imported = error.isNull() ? feeds.size() : -1;
        });
    CBFolder* scratch =
        longestSave != nullptr ? delegate->data.localAccount()->addFolderWithName(QStringLiteral("Scratch")) : nullptr;
    int changes = 0;
    const auto saveAChange = [&] {
      scratch->setModDate(++changes);
      QElapsedTimer clock;
      clock.start();
      delegate->data.saveMainThreadManagedObjectContext();
      *longestSave = std::max(*longestSave, double(clock.nsecsElapsed()) / 1e6);
    };
    *longestStep = runMainLoopUntil([&] { return completed && !list->currentlyReloadingData(); },
                                    scratch != nullptr ? std::function<void()>(saveAChange) : nullptr);
    // The source list's rebuild of the new tree, drawn.
    QCoreApplication::processEvents();
    list->sourceListOutlineView()->viewport()->repaint();
    return imported == Folders * FeedsPerFolder;
  }
};

// The subscription list as a file in `files`.
QString writtenSubscriptionList(const QTemporaryDir& files, benchmark::State& state)
{
  const QString path = files.filePath(QStringLiteral("big.opml"));
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly) || file.write(subscriptionList()) < 0)
    state.SkipWithError("no subscription list");
  return path;
}

}  // namespace

static void BM_ImportOPML10000FeedsIn200Folders(benchmark::State& state)
{
  QTemporaryDir files;
  const QString path = writtenSubscriptionList(files, state);
  double longest = 0;
  double longestSave = 0;
  for (auto _ : state) {
    state.PauseTiming();
    auto window = std::make_unique<Window>();
    state.ResumeTiming();
    double step = 0;
    if (!window->import(path, &step, &longestSave))
      state.SkipWithError("the import did not come in whole");
    longest = std::max(longest, step);
    state.PauseTiming();
    window.reset();
    state.ResumeTiming();
  }
  state.counters["feeds"] = double(Folders * FeedsPerFolder);
  state.counters["max_main_step_ms"] = longest;
  state.counters["max_main_save_ms"] = longestSave;
}
BENCHMARK(BM_ImportOPML10000FeedsIn200Folders)->Unit(benchmark::kMillisecond)->Iterations(3);

static void BM_ExportOPML10000FeedsIn200Folders(benchmark::State& state)
{
  QTemporaryDir files;
  const QString path = writtenSubscriptionList(files, state);
  Window window;
  double step = 0;
  if (!window.import(path, &step))
    state.SkipWithError("the import did not come in whole");
  // What the import leaves to the store queue (the unread recount of the
  // new feeds) runs before the exports are timed.
  QElapsedTimer quiet;
  quiet.start();
  while (quiet.elapsed() < 500) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    if (window.delegate->data.coreDataQueueHasOperations())
      quiet.restart();
  }
  const QString exported = files.filePath(QStringLiteral("exported.opml"));
  double longest = 0;
  qint64 bytes = 0;
  for (auto _ : state) {
    bool done = false;
    bool written = false;
    ZPHOPMLExporter::exportAccountsToFile({window.delegate->data.localAccount()}, exported, false,
                                          [&](bool ok, const QString&) {
                                            written = ok;
                                            done = true;
                                          });
    longest = std::max(longest, runMainLoopUntil([&] { return done; }));
    if (!written)
      state.SkipWithError("the list was not written");
    bytes = QFile(exported).size();
  }
  state.counters["bytes"] = double(bytes);
  state.counters["max_main_step_ms"] = longest;
}
BENCHMARK(BM_ExportOPML10000FeedsIn200Folders)->Unit(benchmark::kMillisecond)->Iterations(5);

ZPH_WIDGETS_BENCHMARK_MAIN();
