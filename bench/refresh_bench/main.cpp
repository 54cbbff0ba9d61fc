// refresh_bench: the headless refresh, measured. Subscribes the local
// account to a list of feeds, runs rounds of "refresh all" through the
// refresh controller and prints one JSON line per round.
//
//   refresh_bench --data-dir DIR [--keep] --urls FILE|URL [--rounds N] [--bump URL [--first-bumped-round N]]

#include "feeds/refresh/ZPHArticleSaverBacklog.h"
#include "feeds/refresh/ZPHRefreshController.h"
#include "feeds/refresh/ZPHStatusItem.h"
#include "foundation/CBEventThrottler.h"
#include "foundation/ZPHCoreApplicationDelegate.h"
#include "platform/CBOperationController.h"
#include "platform/ZPHMainThread.h"
#include "platform/ZPHNotificationCenter.h"
#include "store/CBDataController.h"
#include "store/ZPHCoreDataStack.h"
#include "store/accounts/CBDataAccount.h"
#include "store/entities/CBDataArticle.h"
#include "store/entities/CBDataModel.h"
#include "store/entities/CBFeed.h"
#include "store/graph/ZPHFetchRequest.h"
#include "store/graph/ZPHManagedObjectContext.h"

#include <QtCore/QCommandLineParser>
#include <QtCore/QCoreApplication>
#include <QtCore/QDeadlineTimer>
#include <QtCore/QDir>
#include <QtCore/QElapsedTimer>
#include <QtCore/QEventLoop>
#include <QtCore/QFile>
#include <QtCore/QHash>
#include <QtCore/QJsonDocument>
#include <QtCore/QJsonObject>
#include <QtCore/QTextStream>
#include <QtCore/QTimer>
#include <QtNetwork/QNetworkAccessManager>
#include <QtNetwork/QNetworkReply>
#include <QtNetwork/QNetworkRequest>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>

namespace {

// The application side, as the application has it: folders fixed at
// start-up, the store forwarded to the data controller, status items kept
// in a list.
class BenchApplicationDelegate : public ZPHCoreApplicationDelegate {
public:
  BenchApplicationDelegate(const QString& dataFolder, const QString& cacheFolder)
      : m_dataFolder(dataFolder), m_cacheFolder(cacheFolder)
  {
  }

  CBDataController dataControllerInstance;
  ZPHRefreshController* refreshControllerInstance = nullptr;
  QList<std::shared_ptr<ZPHStatusItem>> statusItems;

  bool appIsShuttingDown() const override { return false; }
  CBDataController* dataController() const override { return const_cast<CBDataController*>(&dataControllerInstance); }
  ZPHRefreshController* refreshController() const override { return refreshControllerInstance; }
  ZPHManagedObjectContext* mainThreadManagedObjectContext() const override
  {
    return dataControllerInstance.mainThreadManagedObjectContext();
  }
  std::shared_ptr<ZPHManagedObjectContext> temporaryManagedObjectContext() override
  {
    return dataControllerInstance.temporaryManagedObjectContext();
  }
  std::shared_ptr<ZPHManagedObjectContext> temporaryManagedObjectContextOnPrivateQueue() override
  {
    return dataControllerInstance.temporaryManagedObjectContextOnPrivateQueue();
  }
  void addCoreDataQueueOperation(std::shared_ptr<ZPHOperation> operation) override
  {
    dataControllerInstance.addCoreDataQueueOperation(std::move(operation));
  }
  void addCoreDataQueueOperationAndWait(std::shared_ptr<ZPHOperation> operation) override
  {
    dataControllerInstance.addCoreDataQueueOperationAndWait(std::move(operation));
  }
  void addCoreDataQueueBlock(std::function<void()> block, std::function<void()> completionHandler) override
  {
    dataControllerInstance.addCoreDataQueueBlock(std::move(block), std::move(completionHandler));
  }
  void addMainThreadCoreDataQueueBlock(std::function<void()> block) override
  {
    dataControllerInstance.addMainThreadCoreDataQueueBlock(std::move(block));
  }
  void addMainThreadCoreDataQueueBlockIgnoringTermination(std::function<void()> block) override
  {
    dataControllerInstance.addMainThreadCoreDataQueueBlockIgnoringTermination(std::move(block));
  }
  void saveManagedObjectContext(ZPHManagedObjectContext* context) override
  {
    dataControllerInstance.saveManagedObjectContext(context);
  }
  void handleCoreDataFailureWithError(const ZPHError& error) override
  {
    std::fprintf(stderr, "store failure: %s\n", qPrintable(error.toString()));
    std::fflush(stderr);
    std::_Exit(3);
  }
  void performUndoableOperation(std::shared_ptr<ZPHUndoableOperation>) override {}
  QString pathToDataFolder() const override { return m_dataFolder; }
  QString pathToCacheFolder() const override { return m_cacheFolder; }
  QString userAgent() const override { return QStringLiteral("Zephlin/refresh_bench"); }
  void addStatusItem(std::shared_ptr<ZPHStatusItem> item, std::function<void()> handler) override
  {
    statusItems.append(std::move(item));
    if (handler)
      ZPHMainThread::async(std::move(handler));
  }
  void removeStatusItem(std::shared_ptr<ZPHStatusItem> item, std::function<void()> handler) override
  {
    statusItems.removeAll(item);
    if (handler)
      ZPHMainThread::async(std::move(handler));
  }
  void removeAnyStatusItemWithIdentifier(const QString& identifier) override
  {
    statusItems.removeIf([&](const std::shared_ptr<ZPHStatusItem>& item) { return item->identifier() == identifier; });
  }
  QList<CBFeed*> addFeedsWithSubscribeRequestReturningNewlyAddedFeeds(std::shared_ptr<ZPHSubscribeRequest>) override
  {
    return {};
  }

private:
  QString m_dataFolder;
  QString m_cacheFolder;
};

[[noreturn]] void fail(const QString& message)
{
  std::fprintf(stderr, "refresh_bench: %s\n", qPrintable(message));
  std::exit(2);
}

bool isWebAddress(const QString& text)
{
  return text.startsWith(QLatin1String("http://")) || text.startsWith(QLatin1String("https://"));
}

QByteArray fetch(QNetworkAccessManager& network, const QUrl& url)
{
  QNetworkReply* reply = network.get(QNetworkRequest(url));
  QEventLoop loop;
  QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
  loop.exec();
  const QByteArray body = reply->readAll();
  const bool failed = reply->error() != QNetworkReply::NoError;
  const QString text = reply->errorString();
  reply->deleteLater();
  if (failed)
    fail(QStringLiteral("%1: %2").arg(url.toString(), text));
  return body;
}

QList<QUrl> readAddresses(QNetworkAccessManager& network, const QString& source)
{
  QByteArray text;
  if (isWebAddress(source)) {
    text = fetch(network, QUrl(source));
  } else {
    QFile file(source);
    if (!file.open(QIODevice::ReadOnly))
      fail(QStringLiteral("cannot read %1").arg(source));
    text = file.readAll();
  }
  QList<QUrl> urls;
  for (const QByteArray& line : text.split('\n')) {
    const QString trimmed = QString::fromUtf8(line).trimmed();
    if (trimmed.isEmpty() || trimmed.startsWith(QLatin1Char('#')))
      continue;
    const QUrl url(trimmed);
    if (url.isValid() && !url.scheme().isEmpty())
      urls.append(url);
  }
  return urls;
}

// Processor time of the whole process (every thread, user and system) so
// far: unlike the wall clock, hardly touched by other work on the machine.
double processorSeconds()
{
  struct rusage usage {};
  getrusage(RUSAGE_SELF, &usage);
  return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Context switches of the threads alive now, voluntary and not: each thread
// hand-over that waits costs one.
qint64 contextSwitches()
{
  qint64 total = 0;
  const QDir tasks(QStringLiteral("/proc/self/task"));
  for (const QString& task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
    QFile status(tasks.filePath(task) + QStringLiteral("/status"));
    if (!status.open(QIODevice::ReadOnly))
      continue;
    for (const QByteArray& line : status.readAll().split('\n')) {
      if (line.startsWith("voluntary_ctxt_switches:") || line.startsWith("nonvoluntary_ctxt_switches:"))
        total += line.mid(line.indexOf(':') + 1).trimmed().toLongLong();
    }
  }
  return total;
}

// Processor time of each thread alive now (user and system), by thread id.
QHash<QString, double> threadProcessorSeconds()
{
  QHash<QString, double> seconds;
  static const double ticksPerSecond = double(sysconf(_SC_CLK_TCK));
  const QDir tasks(QStringLiteral("/proc/self/task"));
  for (const QString& task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
    QFile stat(tasks.filePath(task) + QStringLiteral("/stat"));
    if (!stat.open(QIODevice::ReadOnly))
      continue;
    // The fields after the parenthesised name; utime and stime are the 14th
    // and 15th of the line.
    const QByteArray line = stat.readAll();
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    if (fields.size() > 12)
      seconds.insert(task, double(fields.at(11).toLongLong() + fields.at(12).toLongLong()) / ticksPerSecond);
  }
  return seconds;
}

// The most processor time one thread took since `before`: the thread that
// bounds the refresh when it is busy all along (the store queue's).
double busiestThreadSeconds(const QHash<QString, double>& before)
{
  double most = 0;
  const QHash<QString, double> now = threadProcessorSeconds();
  for (auto it = now.constBegin(); it != now.constEnd(); ++it)
    most = std::max(most, it.value() - before.value(it.key()));
  return most;
}

double peakRSSMegabytes()
{
  struct rusage usage {};
  getrusage(RUSAGE_SELF, &usage);
  return double(usage.ru_maxrss) / 1024.0;  // kilobytes on Linux
}

// Runs the main event loop, as the application does, until `done` answers
// true or the time is up. The loop sleeps in the system until work arrives,
// so main-thread hand-overs from the workers run as soon as they are posted.
bool spinUntil(const std::function<bool()>& done, int milliseconds)
{
  if (done())
    return true;
  QEventLoop loop;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
    if (done())
      loop.quit();
  });
  QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
  poll.start(2);
  loop.exec();
  return done();
}

// The main thread's longest step: a timer asks every few milliseconds how
// long it has been since it last ran; whatever kept the main thread from
// the event loop longer than that shows as a gap.
class MainThreadStallProbe {
public:
  static constexpr int IntervalMs = 2;

  MainThreadStallProbe()
  {
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setInterval(IntervalMs);
    QObject::connect(&m_timer, &QTimer::timeout, [this] { tick(); });
  }

  // Measures from now.
  void restart()
  {
    m_longestNs = 0;
    m_sinceTick.start();
    m_timer.start();
  }

  // The longest time between two visits of the event loop so far, in
  // milliseconds, with the time up to now.
  double longestMilliseconds()
  {
    tick();
    return double(m_longestNs) / 1e6;
  }

private:
  void tick()
  {
    m_longestNs = std::max(m_longestNs, m_sinceTick.nsecsElapsed());
    m_sinceTick.start();
  }

  QTimer m_timer;
  QElapsedTimer m_sinceTick;
  qint64 m_longestNs = 0;
};

// Everything queued on the main thread before now has run.
void flushMainThread()
{
  bool reached = false;
  ZPHMainThread::async([&] { reached = true; });
  spinUntil([&] { return reached; }, 60000);
}

}  // namespace

int main(int argc, char** argv)
{
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("refresh_bench"));

  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral("Subscribes to feeds and measures rounds of refreshing them all."));
  parser.addHelpOption();
  const QCommandLineOption dataDirOption(QStringLiteral("data-dir"),
                                         QStringLiteral("Data and cache folder (wiped first)."), QStringLiteral("DIR"));
  const QCommandLineOption keepOption(QStringLiteral("keep"), QStringLiteral("Keep the data folder's contents."));
  const QCommandLineOption urlsOption(QStringLiteral("urls"),
                                      QStringLiteral("Feed addresses, one per line, in a file or at a URL."),
                                      QStringLiteral("FILE|URL"));
  const QCommandLineOption roundsOption(QStringLiteral("rounds"), QStringLiteral("Rounds of refresh all (default 2)."),
                                        QStringLiteral("N"), QStringLiteral("2"));
  const QCommandLineOption bumpOption(QStringLiteral("bump"), QStringLiteral("URL requested between rounds."),
                                      QStringLiteral("URL"));
  const QCommandLineOption firstBumpedOption(QStringLiteral("first-bumped-round"),
                                             QStringLiteral("First round with the bump before it (default 2)."),
                                             QStringLiteral("N"), QStringLiteral("2"));
  parser.addOptions({dataDirOption, keepOption, urlsOption, roundsOption, bumpOption, firstBumpedOption});
  parser.process(app);

  if (!parser.isSet(dataDirOption) || !parser.isSet(urlsOption))
    fail(QStringLiteral("--data-dir and --urls are required"));
  bool roundsOK = false;
  const int rounds = parser.value(roundsOption).toInt(&roundsOK);
  if (!roundsOK || rounds < 1)
    fail(QStringLiteral("--rounds wants a positive number"));
  bool firstBumpedOK = false;
  const int firstBumpedRound = parser.value(firstBumpedOption).toInt(&firstBumpedOK);
  if (!firstBumpedOK || firstBumpedRound < 2)
    fail(QStringLiteral("--first-bumped-round wants a number from 2 up"));
  const QString bump = parser.value(bumpOption);
  if (!bump.isEmpty() && !isWebAddress(bump))
    fail(QStringLiteral("--bump wants an http or https address"));

  QDir root(QDir(parser.value(dataDirOption)).absolutePath());
  if (!parser.isSet(keepOption) && root.exists() && !root.removeRecursively())
    fail(QStringLiteral("cannot wipe %1").arg(root.path()));
  const QString dataFolder = root.filePath(QStringLiteral("data"));
  const QString cacheFolder = root.filePath(QStringLiteral("cache"));
  if (!QDir().mkpath(dataFolder) || !QDir().mkpath(cacheFolder))
    fail(QStringLiteral("cannot make %1").arg(root.path()));

  QNetworkAccessManager network;
  const QList<QUrl> urls = readAddresses(network, parser.value(urlsOption));

  BenchApplicationDelegate delegate(dataFolder, cacheFolder);
  ZPHCoreApplicationDelegate::setSharedDelegate(&delegate);
  CBDataController& data = delegate.dataControllerInstance;
  ZPHError error;
  if (!data.setupCoreDataStackWithClass({}, false, &error))
    fail(QStringLiteral("store: %1").arg(error.toString()));
  data.completeSetup();
  CBDataAccount* account = data.localAccount();
  if (account == nullptr)
    fail(QStringLiteral("no local account"));
  ZPHManagedObjectContext* main = data.mainThreadManagedObjectContext();

  // Subscribing; the account announces the new feeds once, a little later.
  bool feedsAddedPosted = false;
  ZPHObserverToken addedObserver = ZPHNotificationCenter::defaultCenter().addObserver(
      ZPHFeedsAddedNotification, QVariant(), [&](const ZPHNotification&) { feedsAddedPosted = true; },
      ZPHNotificationCenter::Delivery::MainThread);
  int added = 0;
  for (const QUrl& url : urls) {
    if (account->isSubscribedToFeedWithURL(url))
      continue;
    CBFeed* feed = CBFeed::insertFeedWithURL(url, main);
    if (account->addFeed(feed) != nullptr)
      ++added;
  }
  if (added > 0)
    spinUntil([&] { return feedsAddedPosted; }, 30000);
  addedObserver.reset();

  ZPHRefreshController refreshController;
  delegate.refreshControllerInstance = &refreshController;
  int sessionsEnded = 0;
  ZPHObserverToken endObserver = ZPHNotificationCenter::defaultCenter().addObserver(
      ZPHRefreshSessionDidEndNotification, QVariant(), [&](const ZPHNotification&) { ++sessionsEnded; });

  QTextStream out(stdout);
  MainThreadStallProbe stallProbe;
  for (int round = 1; round <= rounds; ++round) {
    if (round >= firstBumpedRound && !bump.isEmpty())
      fetch(network, QUrl(bump));

    const int endedBefore = sessionsEnded;
    const quint64 generationBefore = account->lastUnreadCountOperationGeneration();
    const double processorBefore = processorSeconds();
    const qint64 switchesBefore = contextSwitches();
    const QHash<QString, double> threadsBefore = threadProcessorSeconds();
    QElapsedTimer timer;
    timer.start();
    stallProbe.restart();
    refreshController.refreshAllInAccounts({account});
    const double queueSeconds = double(timer.nsecsElapsed()) / 1e9;
    const bool queued = refreshController.refreshOperationController()->numberOfOperations() > 0;
    if (queued)
      spinUntil([&] { return sessionsEnded > endedBefore; }, 600000);
    const double sessionSeconds = double(timer.nsecsElapsed()) / 1e9;
    // The last refreshes' articles reach the main context in store order.
    spinUntil([&] { return !data.coreDataQueueHasOperations(); }, 600000);
    flushMainThread();
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    const double longestMainThreadStep = stallProbe.longestMilliseconds();
    const double cpuSeconds = processorSeconds() - processorBefore;
    const qint64 switches = contextSwitches() - switchesBefore;
    const double busiestThread = busiestThreadSeconds(threadsBefore);

    // The account recounts its unread articles after the session, once its
    // throttler has seen 0.2 s without a change (later saves of feed
    // information and favicons push it back).
    spinUntil(
        [&] {
          return (!queued || account->lastUnreadCountOperationGeneration() > generationBefore) &&
                 account->totalUnreadCountEventThrottler()->isIdle() && !data.coreDataQueueHasOperations();
        },
        60000);
    flushMainThread();

    int errors = 0;
    for (CBFeed* feed : account->feeds()) {
      if (!feed->lastFeedRefreshError().isNull())
        ++errors;
    }
    const qint64 articles = main->countForFetchRequest(ZPHFetchRequest(CBDataEntityNameArticle));

    QJsonObject line;
    line.insert(QStringLiteral("round"), round);
    line.insert(QStringLiteral("feeds"), int(account->feeds().size()));
    line.insert(QStringLiteral("seconds"), qRound(seconds * 1000.0) / 1000.0);
    line.insert(QStringLiteral("cpu_seconds"), qRound(cpuSeconds * 1000.0) / 1000.0);
    line.insert(QStringLiteral("context_switches"), switches);
    line.insert(QStringLiteral("busiest_thread_cpu_seconds"), qRound(busiestThread * 1000.0) / 1000.0);
    line.insert(QStringLiteral("queue_seconds"), qRound(queueSeconds * 1000.0) / 1000.0);
    line.insert(QStringLiteral("session_seconds"), qRound(sessionSeconds * 1000.0) / 1000.0);
    line.insert(QStringLiteral("articles"), articles);
    line.insert(QStringLiteral("unread"), qint64(account->unreadCount()));
    line.insert(QStringLiteral("errors"), errors);
    // The longest the main thread stayed away from its event loop during the
    // refresh (from the call to the articles in the main context).
    line.insert(QStringLiteral("main_thread_longest_step_ms"), qRound(longestMainThreadStep * 10.0) / 10.0);
    line.insert(QStringLiteral("peak_rss_mb"), qRound(peakRSSMegabytes() * 10.0) / 10.0);
    // The most parsed feeds that waited for the saver at once, so far.
    line.insert(QStringLiteral("saver_backlog_peak"), ZPHArticleSaverBacklog::sharedBacklog()->mostSlotsTaken());
    out << QJsonDocument(line).toJson(QJsonDocument::Compact) << '\n';
    out.flush();
  }

  endObserver.reset();
  refreshController.cancelAllOperations();
  delegate.refreshControllerInstance = nullptr;
  spinUntil([&] { return !data.coreDataQueueHasOperations(); }, 60000);
  account->saveToDiskAtShutdown();
  return 0;
}
