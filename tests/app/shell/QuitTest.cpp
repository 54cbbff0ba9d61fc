// The quit of the running application: every wait ends, by the event it
// waits for or at its bound, which is reported; nothing is killed.

#include "app/shell/AppHarness.h"
#include "articlelist/ZPHArticleListDelegate.h"
#include "feeds/metadata/CBLocalAccountFeedMetadataCache.h"
#include "feeds/parsers/CBParsedNewsItem.h"
#include "feeds/refresh/ZPHCoreDataArticleSaverOperation.h"
#include "foundation/CBPrefs.h"
#include "foundation/ZPHCoreApplicationDelegate.h"
#include "keys/ZPHKeyMappingController.h"
#include "mainwindow/ZPHMainWindowController.h"
#include "platform/CBOperation.h"
#include "platform/CBOperationController.h"
#include "platform/ZPHOperationQueue.h"
#include "shell/ZPHQuitSequence.h"
#include "sourcelist/ZPHSourceListCommands.h"
#include "sourcelist/ZPHSourceListViewController.h"
#include "store/CBCoreDataUtilities.h"
#include "store/accounts/ZPHArticleListController.h"
#include "store/entities/AbstractManagedFolder.h"
#include "store/entities/ArticleMetadata.h"
#include "store/entities/CBDataArticle.h"
#include "store/entities/CBDataModel.h"
#include "store/entities/CBFolder.h"
#include "store/graph/ZPHFetchRequest.h"
#include "store/graph/ZPHManagedObjectContext.h"
#include "store/graph/ZPHPredicate.h"
#include "store/graph/ZPHSQLiteLogVFS.h"
#include "store/operations/ZPHBatchDeletionOperation.h"

#include <QtCore/QCryptographicHash>
#include <QtCore/QElapsedTimer>
#include <QtCore/QSemaphore>
#include <QtCore/QThread>
#include <QtCore/QTimeZone>
#include <QtGui/QAction>
#include <QtTest/QTest>
#include <QtWidgets/QAbstractButton>
#include <QtWidgets/QMainWindow>
#include <QtWidgets/QMessageBox>

#include <algorithm>
#include <atomic>
#include <functional>

namespace {

// Runs until its gate opens, cancelled or not.
class StubbornOperation : public CBOperation {
public:
  QSemaphore gate;
  QSemaphore entered;

protected:
  void main() override
  {
    entered.release();
    gate.acquire();
  }
};

// Store work that runs until released, cancelled or not; a saver's kind of
// work (dropped at quit) or the user's.
class StubbornStoreWork : public ZPHOperation {
public:
  explicit StubbornStoreWork(bool droppable) : m_droppable(droppable) {}
  bool mayBeDroppedAtQuit() const override { return m_droppable; }
  QSemaphore entered;
  QSemaphore gate;

protected:
  void main() override
  {
    entered.release();
    gate.tryAcquire(1, 120000);  // bounded only against a broken test
  }

private:
  const bool m_droppable;
};

// A disk on which every write of the store takes its time, per page of
// 8 KiB (a smaller write counts as one); once asked, the next write of one
// thread waits until the test lets it go.
class SlowDisk : public ZPHSQLiteLogVFSWriteHook {
public:
  explicit SlowDisk(int msPerPage) : m_msPerPage(msPerPage) { ZPHSQLiteLogVFSSetWriteHook(this); }
  ~SlowDisk() override { ZPHSQLiteLogVFSSetWriteHook(nullptr); }
  void holdNextWriteOf(QThread* thread) { m_held = thread; }
  QSemaphore held;
  QSemaphore gate;

  void willWrite(long long bytes) override
  {
    QThread* self = QThread::currentThread();
    if (m_held.load() == self && m_held.compare_exchange_strong(self, nullptr)) {
      held.release();
      gate.tryAcquire(1, 120000);  // bounded only against a broken test
    }
    QThread::msleep(m_msPerPage * std::max(1ll, (bytes + 8191) / 8192));
  }

private:
  const int m_msPerPage;
  std::atomic<QThread*> m_held{nullptr};
};

// The address of a made-up site's feed.
QUrl siteFeedURL(const QString& name) { return QUrl(QStringLiteral("https://%1.example/feed").arg(name)); }

// A site's feed at the end of the folder (none: the top), with articles
// whose guids are the name and their number, each with its metadata.
void insertSiteWithArticles(CBDataAccount* account, ZPHManagedObjectContext* context, const QString& name,
                            CBFolder* folder, int articles)
{
  CBFeed* feed = CBFeed::insertFeedWithURL(siteFeedURL(name), context);
  account->addFeedAtEndOfFolder(feed, folder);
  for (int i = 0; i < articles; ++i) {
    CBDataArticle* article = CBDataArticle::insertArticleWithFeedURL(feed->URL(), context);
    article->setGuid(name + QString::number(i));
    article->setLink(siteFeedURL(name).toString() + QStringLiteral("/") + QString::number(i));
    article->setMetadata(ArticleMetadata::insertArticleMetadataForGUID(article->link(), context));
  }
}

// Selects the feed in the main window and answers Mark All Read once the
// article list shows that feed and the command acts on it (none if it
// never does).
QAction* markAllReadForFeed(ZPHAppDelegate* delegate, CBNode* feed)
{
  delegate->selectRepresentedObjectInMainWindowSourceList(ZPHRepresentedObject(feed), true, true);
  ZPHArticleListController* list = delegate->mainWindowController()->articleListDelegate()->articleListController();
  QAction* markAllAsRead = delegate->mainWindowController()->commandAction(QStringLiteral("markAllAsRead:"));
  const bool shown = ZPHTestWaitUntil(
      [&] {
        return !list->isUpdating() && list->feedsAndFolders() == QList<ZPHRepresentedObject>{feed} &&
               markAllAsRead->isEnabled();
      },
      60000);
  return shown ? markAllAsRead : nullptr;
}

// No unread count the store keeps as valid differs from its articles'.
void expectNoStaleValidCount(ZPHManagedObjectContext* stored)
{
  const QHash<QString, qint64> counts = CBFeed::feedUnreadCountsWithMOC(stored);
  QHash<const CBNode*, quint64> sums;
  for (const CBFeed* feed : CBFeed::feedsWithMOC(stored)) {
    const quint64 actual = quint64(counts.value(feed->url()));
    if (feed->unreadCountIsValid()) {
      EXPECT_EQ(feed->unreadCount(), actual) << feed->url().toStdString();
    }
    for (const CBNode* folder = feed->parent(); folder != nullptr; folder = folder->parent()) sums[folder] += actual;
  }
  for (const CBFolder* folder : CBFolder::foldersWithMOC(stored)) {
    if (folder->unreadCountIsValid()) {
      EXPECT_EQ(folder->unreadCount(), sums.value(folder)) << folder->nameForDisplay().toStdString();
    }
  }
}

// The user's store work in steps, each let go by the test and saved on its
// own, in a context of the operation's.
class SteppedStoreWork : public ZPHOperation {
public:
  using Step = std::function<void(ZPHManagedObjectContext* context, int index)>;
  SteppedStoreWork(int steps, Step step) : m_steps(steps), m_step(std::move(step)) {}
  QSemaphore gate;
  std::atomic<int> saved{0};

protected:
  void main() override
  {
    std::shared_ptr<ZPHManagedObjectContext> context =
        ZPHCoreApplicationDelegate::sharedDelegate()->temporaryManagedObjectContext();
    for (int i = 0; i < m_steps; ++i) {
      if (!gate.tryAcquire(1, 120000))  // bounded only against a broken test
        return;
      m_step(context.get(), i);
      CBSaveManagedObjectContext(context.get());
      ++saved;
    }
  }

private:
  const int m_steps;
  const Step m_step;
};

const QString BoundReached = QStringLiteral("did not end within its bound");

class QuitTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    ZPHResetApplicationSettings();
    ASSERT_TRUE(server.start());
    // A feed whose server takes its time (the body after 25 s).
    server.route(QStringLiteral("/slow.xml"), [this](const ZPHTestHTTPRequest&) {
      ZPHTestHTTPResponse response;
      response.headers = {{"Content-Type", "application/rss+xml"}};
      response.body = ZPHTestFeed(server.url(), 3);
      response.delayBeforeBodyMs = 25000;
      return response;
    });
  }

  QString dataFolder() const { return dir.filePath(QStringLiteral("data")); }

  bool slowFeedAsked() const
  {
    for (const ZPHTestHTTPRequest& request : server.requests()) {
      if (request.path == QLatin1String("/slow.xml"))
        return true;
    }
    return false;
  }

  static int refreshQueueCount(ZPHAppDelegate* delegate)
  {
    return delegate->refreshController()->refreshOperationController()->operationQueue()->operationCount();
  }

  // Whether the store in the data folder has the folder of this guid.
  bool storeHasFolder(const QString& guid) const
  {
    ZPHTestApplicationDelegate reader;
    reader.setDataFolder(dataFolder());
    CBDataController controller;
    reader.useDataController(&controller);
    ZPHError error;
    if (!controller.setupCoreDataStackWithClass({}, false, &error))
      return false;
    const int count = controller.mainThreadManagedObjectContext()->countForFetchRequest(
        ZPHFetchRequest(CBDataEntityNameFolder, ZPHPredicate::equal(QStringLiteral("guid"), guid)));
    reader.useDataController(nullptr);
    return count == 1;
  }

  ZPHTestTempDir dir;
  ZPHTestHTTPServer server;
};

}  // namespace

TEST_F(QuitTest, AQuitDuringARefreshOfASlowSiteEndsWithTheRefreshEnded)
{
  ZPHSeedStoreWithFeed(dataFolder(), server.url(QStringLiteral("/slow.xml")));
  AppHarness app(dataFolder());
  app.start();
  ASSERT_TRUE(app.delegate->startupSequenceEnded());
  ZPHAppDelegate* delegate = app.delegate.get();
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return slowFeedAsked(); }, 30000));
  ASSERT_EQ(refreshQueueCount(delegate), 1);

  ZPHTestLogCapture log;
  delegate->requestTermination();
  ASSERT_TRUE(app.waitForExit());
  EXPECT_EQ(app.exitStatus, 0);
  // The refresh was cancelled and has ended, and the refresh controller's
  // list emptied with it: letting go of the controller waits for nothing.
  EXPECT_EQ(refreshQueueCount(delegate), 0);
  EXPECT_TRUE(ZPHTestWaitUntil(
      [&] { return delegate->refreshController()->refreshOperationController()->numberOfOperations() == 0; }, 10000));
  EXPECT_TRUE(log.linesContaining(BoundReached).isEmpty()) << log.lines().join('\n').toStdString();
  app.delegate.reset();
  EXPECT_TRUE(log.linesContaining(QStringLiteral("did not end within")).isEmpty())
      << log.lines().join('\n').toStdString();
  EXPECT_FALSE(QFileInfo::exists(dataFolder() + QStringLiteral("/Zephlin.lock")));
}

TEST_F(QuitTest, FeedMetadataWritesUnderWayDoNotHoldTheQuit)
{
  AppHarness app(dataFolder());
  app.start();
  ASSERT_TRUE(app.delegate->startupSequenceEnded());
  app.settle();
  std::shared_ptr<CBLocalAccountFeedMetadataCache> cache = CBLocalAccountFeedMetadataCache::sharedCache();
  ASSERT_TRUE(cache);

  // Writes as every saved feed leaves them; the quit begins while they run.
  for (int i = 0; i < 50; ++i) {
    const QByteArray n = QByteArray::number(i);
    cache->setContentHash(QCryptographicHash::hash(n, QCryptographicHash::Md5),
                          QUrl(QStringLiteral("http://127.0.0.1:9/quit-%1.xml").arg(i)));
  }
  ASSERT_TRUE(cache->hasOperations());
  ZPHTestLogCapture log;
  app.delegate->requestTermination();
  ASSERT_TRUE(app.waitForExit());
  EXPECT_EQ(app.exitStatus, 0);
  EXPECT_FALSE(cache->hasOperations());
  EXPECT_TRUE(log.linesContaining(BoundReached).isEmpty()) << log.lines().join('\n').toStdString();
}

// Work that does not end holds each wait only to its bound, which is
// logged; the quit then goes on, and completes once the store queue has run
// dry (in the program, main()'s deadline ends it if that never comes).
// Store work that ignores its cancel: a saver, dropped at the store
// queue's bound and then given the cancelled savers' bound to stop; or the
// user's own work, given the bound of the user's changes. The quit runs
// with those two bounds shortened (the program's are seconds long); the
// program keeps its own.
TEST_F(QuitTest, EveryWaitThatDoesNotEndStopsAtItsBoundAndSaysSo)
{
  ZPHQuitSequence::Bounds bounds;
  bounds.cancelledSaversMs = 400;
  bounds.usersChangesMs = 1200;
  struct Case {
    const char* name;
    bool droppable;
    const char* storeWait;
    int storeWaitBoundMs;
  } cases[] = {
      {"a saver", true, "the cancelled savers did not end within their bound of %1 ms", bounds.cancelledSaversMs},
      {"the user's work", false, "the user's changes on the store queue did not end within its bound of %1 ms",
       bounds.usersChangesMs},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    AppHarness app(dataFolder());
    app.start();
    ASSERT_TRUE(app.delegate->startupSequenceEnded());
    app.settle();
    ZPHAppDelegate* delegate = app.delegate.get();
    const ZPHQuitSequence::Bounds program = delegate->quitSequence()->bounds();
    EXPECT_EQ(program.cancelledSaversMs, ZPHQuitSequence::QuitCancelledSaversBoundMs);
    EXPECT_EQ(program.usersChangesMs, ZPHQuitSequence::QuitUsersChangesBoundMs);
    delegate->quitSequence()->setBounds(bounds);

    // A refresh that ignores its cancel, store work that ignores its
    // cancel, and a change only the main context has.
    auto refresh = std::make_shared<StubbornOperation>();
    delegate->refreshController()->refreshOperationController()->addOperation(refresh);
    ASSERT_TRUE(refresh->entered.tryAcquire(1, 10000));
    auto storeWork = std::make_shared<StubbornStoreWork>(c.droppable);
    delegate->addCoreDataQueueOperation(storeWork);
    ASSERT_TRUE(storeWork->entered.tryAcquire(1, 10000));
    const QString guid = QStringLiteral("made-before a quit stuck on %1").arg(QString::fromUtf8(c.name));
    ZPHManagedObject* folder = delegate->mainThreadManagedObjectContext()->insertNewObject(CBDataEntityNameFolder);
    folder->setValue(QStringLiteral("guid"), guid);

    ZPHTestLogCapture log;
    delegate->requestTermination();
    // Each wait gave up at its bound; the main context is written back, and
    // the quit waits for the store queue to run dry.
    ASSERT_TRUE(ZPHTestWaitUntil(
        [&] { return !log.linesContaining(QStringLiteral("waiting for the store queue to run dry")).isEmpty(); },
        60000))
        << log.lines().join('\n').toStdString();
    EXPECT_FALSE(app.exitStatus.has_value());
    EXPECT_EQ(log.linesContaining(QStringLiteral("wrote the store back")).size(), 1);
    const QStringList reached = log.linesContaining(QStringLiteral("did not end within"));
    const QStringList expected = {
        QStringLiteral(
            "quit: the cancelled refreshes and the feed metadata writes did not end within its bound of %1 ms")
            .arg(ZPHQuitSequence::QuitBackgroundWorkBoundMs),
        QStringLiteral("quit: the store queue did not end within its bound of %1 ms")
            .arg(ZPHQuitSequence::QuitStoreQueueBoundMs),
        QStringLiteral("quit: ") + QString::fromUtf8(c.storeWait).arg(c.storeWaitBoundMs),
        QStringLiteral("quit: the cancelled store queue did not end within its bound of %1 ms")
            .arg(ZPHQuitSequence::QuitStoreQueueCancelBoundMs),
    };
    ASSERT_EQ(reached.size(), expected.size()) << log.lines().join('\n').toStdString();
    for (qsizetype i = 0; i < expected.size(); ++i)
      EXPECT_TRUE(reached[i].contains(expected[i])) << reached[i].toStdString();

    // What still ran ends now: the quit completes, the delegate goes after it.
    storeWork->gate.release();
    refresh->gate.release();
    ASSERT_TRUE(app.waitForExit());
    EXPECT_EQ(app.exitStatus, 0);
    EXPECT_FALSE(delegate->mainWindow()->isVisible());
    app.delegate.reset();
    EXPECT_TRUE(storeHasFolder(guid));
    EXPECT_FALSE(QFileInfo::exists(dataFolder() + QStringLiteral("/Zephlin.lock")));
  }
  // The waits that hold main()'s deadline are the store queue's; the others
  // together stay within it.
  EXPECT_LT(ZPHQuitSequence::QuitBackgroundWorkBoundMs + ZPHQuitSequence::QuitStoreQueueBoundMs +
                ZPHQuitSequence::QuitStoreQueueCancelBoundMs + ZPHQuitSequence::QuitBackupBoundMs +
                ZPHQuitSequence::QuitTeardownBoundMs,
            ZPHQuitSequence::QuitDeadlineMs);
}

// The user's work that moves on is waited for however long it takes: the
// bound of the user's changes counts from the store queue's last step
// forward, an operation that ended or a deletion's batch saved, and main()'s
// deadline is held anew at each. Here the steps come a fraction of the
// (shortened) bound apart and last well past it: many small changes, and
// one deletion of many batches (each announced before its save, as the
// deletions do).
TEST_F(QuitTest, TheUsersWorkThatMovesOnEndsPastTheBoundOfTheUsersChanges)
{
  ZPHQuitSequence::Bounds bounds;
  bounds.usersChangesMs = 2000;
  constexpr int Steps = 10;
  constexpr int StepApartMs = 400;  // a fifth of the bound, so the steps last twice the bound
  for (const bool oneDeletion : {false, true}) {
    SCOPED_TRACE(oneDeletion ? "one deletion of many batches" : "many small changes");
    const auto guid = [oneDeletion](int index) {
      return QStringLiteral("%1 %2").arg(oneDeletion ? "deleted" : "made").arg(index);
    };
    AppHarness app(dataFolder());
    QList<bool> holds;
    app.holdQuitDeadline = [&holds](bool held) { holds.append(held); };
    app.start();
    ASSERT_TRUE(app.delegate->startupSequenceEnded());
    ZPHAppDelegate* delegate = app.delegate.get();
    delegate->quitSequence()->setBounds(bounds);
    ZPHManagedObjectContext* main = delegate->mainThreadManagedObjectContext();

    std::vector<std::shared_ptr<SteppedStoreWork>> work;
    if (oneDeletion) {
      // The folders it deletes, one a batch.
      QList<ZPHManagedObject*> doomed;
      for (int i = 0; i < Steps; ++i) {
        doomed.append(main->insertNewObject(CBDataEntityNameFolder));
        doomed.last()->setValue(QStringLiteral("guid"), guid(i));
      }
      app.data()->saveMainThreadManagedObjectContext();
      app.settle();
      QList<ZPHManagedObjectID> objectIDs;
      for (const ZPHManagedObject* folder : std::as_const(doomed)) objectIDs.append(folder->objectID());
      work.push_back(std::make_shared<SteppedStoreWork>(Steps, [objectIDs](ZPHManagedObjectContext* context, int i) {
        context->deleteObject(context->existingObjectWithID(objectIDs.at(i)));
        ZPHNotificationCenter::defaultCenter().post(
            ZPHWillDeleteCoreDataObjectsInBackgroundNotification, QVariant(),
            {{ZPHManagedObjectObjectIDsKey, QVariant::fromValue(QList<ZPHManagedObjectID>{objectIDs.at(i)})}});
      }));
    } else {
      app.settle();
      for (int i = 0; i < Steps; ++i) {
        work.push_back(std::make_shared<SteppedStoreWork>(1, [guid, i](ZPHManagedObjectContext* context, int) {
          context->insertNewObject(CBDataEntityNameFolder)->setValue(QStringLiteral("guid"), guid(i));
        }));
      }
    }
    for (const std::shared_ptr<SteppedStoreWork>& operation : work) delegate->addCoreDataQueueOperation(operation);

    ZPHTestLogCapture log;
    QElapsedTimer quitting;
    quitting.start();
    delegate->requestTermination();
    for (int i = 0; i < Steps; ++i) {
      ZPHTestSpinEventLoop(StepApartMs);
      SteppedStoreWork& operation = *work.at(oneDeletion ? 0 : size_t(i));
      const int saved = operation.saved;
      operation.gate.release();
      if (!ZPHTestWaitUntil([&] { return operation.saved > saved; }, 30000)) {
        ADD_FAILURE() << "step " << i << " did not run\n" << log.lines().join('\n').toStdString();
        break;
      }
    }
    for (const std::shared_ptr<SteppedStoreWork>& operation : work) operation->gate.release(Steps);
    ASSERT_TRUE(app.waitForExit());
    EXPECT_EQ(app.exitStatus, 0);
    EXPECT_GT(quitting.elapsed(), ZPHQuitSequence::QuitStoreQueueBoundMs + bounds.usersChangesMs);
    EXPECT_FALSE(log.linesContaining(QStringLiteral("quit: the store queue did not end within its bound")).isEmpty());
    EXPECT_TRUE(log.linesContaining(QStringLiteral("the user's changes on the store queue did not end")).isEmpty())
        << log.lines().join('\n').toStdString();
    EXPECT_EQ(log.linesContaining(QStringLiteral("wrote the store back")).size(), 1);
    // main()'s deadline was held anew at the steps, and let go at the end.
    EXPECT_GT(holds.count(true), 1);
    EXPECT_FALSE(holds.value(holds.size() - 1, true));
    app.delegate.reset();
    for (int i = 0; i < Steps; ++i) EXPECT_EQ(storeHasFolder(guid(i)), !oneDeletion) << guid(i).toStdString();
  }
}

// The user's last changes queue behind a backlog of article savers that
// holds the store queue well past its bound: a mark as read, a star, Mark
// All Read on a feed in a folder, and a feed deleted. The quit drops the
// savers (a later refresh saves their items again) and runs every one of
// the user's changes before it writes back; and no count that those
// changes or the savers made wrong is left stored as valid.
TEST_F(QuitTest, AQuitBehindSaversKeepsTheUsersChangesAndNoStaleCount)
{
  constexpr int Savers = 30;
  constexpr int ItemsPerSaver = 1000;
  const auto url = siteFeedURL;
  ZPHSeedStore(dataFolder(), [&](CBDataController& controller) {
    CBDataAccount* account = controller.localAccount();
    ZPHManagedObjectContext* main = controller.mainThreadManagedObjectContext();
    CBFolder* group = account->addFolderWithName(QStringLiteral("Group"));
    insertSiteWithArticles(account, main, QStringLiteral("marked"), nullptr, 5);
    insertSiteWithArticles(account, main, QStringLiteral("all-read"), group, 5);
    insertSiteWithArticles(account, main, QStringLiteral("deleted"), nullptr, 5);
    for (int i = 0; i < Savers; ++i)
      account->addFeedAtEndOfFolder(CBFeed::insertFeedWithURL(url(QStringLiteral("busy%1").arg(i)), main), group);
  });
  AppHarness app(dataFolder());
  app.connected = false;  // no refresh of its own
  app.start();
  ASSERT_TRUE(app.delegate->startupSequenceEnded());
  app.settle();
  ZPHAppDelegate* delegate = app.delegate.get();
  ZPHManagedObjectContext* main = delegate->mainThreadManagedObjectContext();
  CBDataAccount* account = app.data()->localAccount();

  QAction* markAllAsRead = markAllReadForFeed(delegate, account->feedWithURL(url(QStringLiteral("all-read"))));
  ASSERT_NE(markAllAsRead, nullptr);
  // A refresh's backlog: savers of a thousand new items each.
  for (int i = 0; i < Savers; ++i) {
    QList<std::shared_ptr<CBParsedNewsItem>> items;
    for (int n = 0; n < ItemsPerSaver; ++n) {
      auto item = std::make_shared<CBParsedNewsItem>();
      item->setGuid(QStringLiteral("busy-%1-%2").arg(i).arg(n));
      item->setTitle(QStringLiteral("Item %1").arg(n));
      item->setLink(QStringLiteral("https://busy%1.example/%2").arg(i).arg(n));
      item->setContent(QStringLiteral("<p>%1</p>").arg(QString(200, QLatin1Char('x'))));
      items.append(item);
    }
    delegate->addCoreDataQueueOperation(
        std::make_shared<ZPHCoreDataArticleSaverOperation>(items, url(QStringLiteral("busy%1").arg(i))));
  }
  // The user's changes, as the article list, the Mark All Read command and
  // the source list's deletion make them.
  const QList<CBDataArticle*> marked = CBDataArticle::articlesForFeedWithURL(url(QStringLiteral("marked")), main);
  ASSERT_EQ(marked.size(), 5);
  marked[0]->markAsRead(true);
  marked[1]->markAsFlagged(true);
  markAllAsRead->trigger();
  ZPHSourceListViewController* sourceList = delegate->mainWindowController()->sourceListViewController();
  delegate->selectRepresentedObjectInMainWindowSourceList(
      ZPHRepresentedObject(static_cast<CBNode*>(account->feedWithURL(url(QStringLiteral("deleted"))))), true, true);
  ASSERT_TRUE(sourceList->commands()->performCommand(QStringLiteral("deleteSelectedFeedsAndFolders:")));
  auto* confirmation = sourceList->view()->findChild<QMessageBox*>(QStringLiteral("ZPHSourceListDeletionSheet"));
  ASSERT_NE(confirmation, nullptr);
  for (QAbstractButton* button : confirmation->buttons()) {
    if (confirmation->buttonRole(button) == QMessageBox::AcceptRole)
      button->click();
  }
  ASSERT_TRUE(app.data()->coreDataQueueHasOperations());

  ZPHTestLogCapture log;
  delegate->requestTermination();
  ASSERT_TRUE(app.waitForExit());
  EXPECT_EQ(app.exitStatus, 0);
  app.delegate.reset();
  EXPECT_FALSE(log.linesContaining(QStringLiteral("quit: the store queue did not end within its bound")).isEmpty())
      << "the savers did not hold the store queue past its bound";
  for (const char* later : {"the cancelled savers did not end", "the user's changes on the store queue did not end",
                            "the cancelled store queue did not end"})
    EXPECT_TRUE(log.linesContaining(QString::fromLatin1(later)).isEmpty()) << log.lines().join('\n').toStdString();

  ZPHReadStoredStore(dataFolder(), [&](CBDataController& controller) {
    ZPHManagedObjectContext* stored = controller.mainThreadManagedObjectContext();
    const QList<CBDataArticle*> markedAfter =
        CBDataArticle::articlesForFeedWithURL(url(QStringLiteral("marked")), stored);
    const auto withGuid = [&](const QString& guid) -> CBDataArticle* {
      for (CBDataArticle* article : markedAfter) {
        if (article->guid() == guid)
          return article;
      }
      return nullptr;
    };
    ASSERT_NE(withGuid(QStringLiteral("marked0")), nullptr);
    EXPECT_TRUE(withGuid(QStringLiteral("marked0"))->read());
    ASSERT_NE(withGuid(QStringLiteral("marked1")), nullptr);
    EXPECT_TRUE(withGuid(QStringLiteral("marked1"))->flagged());
    const QList<CBDataArticle*> markedAllRead =
        CBDataArticle::articlesForFeedWithURL(url(QStringLiteral("all-read")), stored);
    EXPECT_EQ(markedAllRead.size(), 5);
    for (const CBDataArticle* article : markedAllRead) EXPECT_TRUE(article->read()) << article->guid().toStdString();
    EXPECT_EQ(CBFeed::feedWithURL(url(QStringLiteral("deleted")).toString(), stored), nullptr);
    EXPECT_TRUE(CBDataArticle::articlesForFeedWithURL(url(QStringLiteral("deleted")), stored).isEmpty());

    // Every count stored as valid is the count of the articles.
    expectNoStaleValidCount(stored);
  });
}

// On a disk where every write takes 50 ms a page, the quit finds an
// article saver in the middle of its save, whose whole save takes far
// longer than the savers' bound. The save stops between two of its slices,
// so the user's changes queued behind it still run and are stored before
// the write-back, and the quit never gives up on the store queue. What the
// saver committed is found by the next save of the same items: no article
// twice; and no count is left stored as valid that its slices made wrong.
TEST_F(QuitTest, OnASlowDiskTheSaversSaveStopsForTheUsersChanges)
{
  const auto url = siteFeedURL;
  ZPHSeedStore(dataFolder(), [&](CBDataController& controller) {
    CBDataAccount* account = controller.localAccount();
    ZPHManagedObjectContext* main = controller.mainThreadManagedObjectContext();
    insertSiteWithArticles(account, main, QStringLiteral("marked"), nullptr, 5);
    insertSiteWithArticles(account, main, QStringLiteral("all-read"), nullptr, 5);
    insertSiteWithArticles(account, main, QStringLiteral("busy"), account->addFolderWithName(QStringLiteral("Group")),
                           0);
  });
  // A refresh's saver of 2000 new items, half of them without guid.
  constexpr int Items = 2000;
  const auto busyItems = [&] {
    QList<std::shared_ptr<CBParsedNewsItem>> items;
    for (int n = 0; n < Items; ++n) {
      auto item = std::make_shared<CBParsedNewsItem>();
      if (n % 2 == 0)
        item->setGuid(QStringLiteral("busy-%1").arg(n));
      item->setTitle(QStringLiteral("Item %1").arg(n));
      item->setLink(QStringLiteral("https://busy.example/%1").arg(n));
      item->setPubDate(QDateTime::fromSecsSinceEpoch(1700000000 + n, QTimeZone::utc()));
      item->setContent(QStringLiteral("<p>%1</p>").arg(QString(200, QLatin1Char('x'))));
      items.append(item);
    }
    return items;
  };

  auto disk = std::make_unique<SlowDisk>(50);
  AppHarness app(dataFolder());
  app.connected = false;  // no refresh of its own
  app.start();
  ASSERT_TRUE(app.delegate->startupSequenceEnded());
  app.settle();
  ZPHAppDelegate* delegate = app.delegate.get();
  ZPHManagedObjectContext* main = delegate->mainThreadManagedObjectContext();
  CBDataAccount* account = app.data()->localAccount();
  QAction* markAllAsRead = markAllReadForFeed(delegate, account->feedWithURL(url(QStringLiteral("all-read"))));
  ASSERT_NE(markAllAsRead, nullptr);

  // The user marks an article read: the store has written on this disk.
  const QList<CBDataArticle*> marked = CBDataArticle::articlesForFeedWithURL(url(QStringLiteral("marked")), main);
  ASSERT_EQ(marked.size(), 5);
  marked[0]->markAsRead(true);
  ASSERT_TRUE(ZPHTestWaitUntil([] { return ZPHSQLiteLogVFSMillisecondsPerPageWritten() >= 25; }, 60000));

  // The saver saves slice after slice; it is held in a write once the
  // main context has some of its articles.
  QSemaphore learnt;
  QThread* storeQueueThread = nullptr;
  app.data()->addCoreDataQueueBlock(
      [&] {
        storeQueueThread = QThread::currentThread();
        learnt.release();
      },
      {});
  ASSERT_TRUE(learnt.tryAcquire(1, 60000));
  auto saver = std::make_shared<ZPHCoreDataArticleSaverOperation>(busyItems(), url(QStringLiteral("busy")));
  delegate->addCoreDataQueueOperation(saver);
  ASSERT_TRUE(ZPHTestWaitUntil(
      [&] { return !CBDataArticle::articlesForFeedWithURL(url(QStringLiteral("busy")), main).isEmpty(); }, 120000));
  disk->holdNextWriteOf(storeQueueThread);
  ASSERT_TRUE(disk->held.tryAcquire(1, 120000));
  ASSERT_TRUE(saver->isExecuting());

  // The user's changes queue behind it: a star and Mark All Read. The quit
  // cancels the saver at the store queue's bound, and the save goes on.
  marked[1]->markAsFlagged(true);
  markAllAsRead->trigger();
  ZPHTestLogCapture log;
  delegate->requestTermination();
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return saver->isCancelled(); }, 60000)) << log.lines().join('\n').toStdString();
  disk->gate.release();
  ASSERT_TRUE(app.waitForExit());
  EXPECT_EQ(app.exitStatus, 0);
  app.delegate.reset();
  disk.reset();  // the store is closed
  EXPECT_FALSE(log.linesContaining(QStringLiteral("quit: the store queue did not end within its bound")).isEmpty());
  for (const char* later : {"the cancelled savers did not end", "the user's changes on the store queue did not end",
                            "the cancelled store queue did not end"})
    EXPECT_TRUE(log.linesContaining(QString::fromLatin1(later)).isEmpty()) << log.lines().join('\n').toStdString();
  EXPECT_FALSE(saver->didSaveUncancelled());

  ZPHReadStoredStore(dataFolder(), [&](CBDataController& controller) {
    ZPHManagedObjectContext* stored = controller.mainThreadManagedObjectContext();
    for (const CBDataArticle* article : CBDataArticle::articlesForFeedWithURL(url(QStringLiteral("marked")), stored)) {
      EXPECT_EQ(article->read(), article->guid() == QLatin1String("marked0")) << article->guid().toStdString();
      EXPECT_EQ(article->flagged(), article->guid() == QLatin1String("marked1")) << article->guid().toStdString();
    }
    const QList<CBDataArticle*> markedAllRead =
        CBDataArticle::articlesForFeedWithURL(url(QStringLiteral("all-read")), stored);
    EXPECT_EQ(markedAllRead.size(), 5);
    for (const CBDataArticle* article : markedAllRead) EXPECT_TRUE(article->read()) << article->guid().toStdString();
    // The saver's slices before its stop are saved, each article whole.
    const QList<CBDataArticle*> saved = CBDataArticle::articlesForFeedWithURL(url(QStringLiteral("busy")), stored);
    EXPECT_GT(saved.size(), 0);
    EXPECT_LT(saved.size(), Items);
    for (const CBDataArticle* article : saved) {
      EXPECT_NE(article->content(), nullptr) << article->link().toStdString();
      EXPECT_NE(article->metadata(), nullptr) << article->link().toStdString();
    }
    // No count stored as valid is wrong.
    expectNoStaleValidCount(stored);

    // The next refresh of the feed saves its items again, and finds the ones
    // already saved.
    auto again = std::make_shared<ZPHCoreDataArticleSaverOperation>(busyItems(), url(QStringLiteral("busy")));
    controller.addCoreDataQueueOperation(again);
    ASSERT_TRUE(ZPHTestWaitUntil([&] { return again->isFinished(); }, 120000));
    EXPECT_TRUE(again->didSaveUncancelled());
    ASSERT_TRUE(ZPHTestWaitUntil(
        [&] { return CBDataArticle::articlesForFeedWithURL(url(QStringLiteral("busy")), stored).size() >= Items; },
        60000));
    QSet<QString> links;
    for (const CBDataArticle* article : CBDataArticle::articlesForFeedWithURL(url(QStringLiteral("busy")), stored))
      links.insert(article->link());
    EXPECT_EQ(links.size(), Items);
    EXPECT_EQ(CBDataArticle::articlesForFeedWithURL(url(QStringLiteral("busy")), stored).size(), Items);
  });
}

TEST_F(QuitTest, ControlQQuitsInEitherKeySet)
{
  for (const QString& set : {ZPHKeyMappingController::Zephlin3SetName, ZPHKeyMappingController::Zephlin4SetName}) {
    SCOPED_TRACE(set.toStdString());
    ZPHUserDefaults::standardUserDefaults().setString(ZPHKeyMapSetName, set);
    AppHarness app(dataFolder());
    app.start();
    ASSERT_TRUE(app.delegate->startupSequenceEnded());
    app.settle();
    QAction* quit = app.delegate->commandAction(QStringLiteral("terminate:"));
    ASSERT_NE(quit, nullptr);
    EXPECT_EQ(quit->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
    EXPECT_TRUE(app.delegate->mainWindow()->actions().contains(quit));

    QMainWindow* window = app.delegate->mainWindow();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    QTest::keyClick(window->windowHandle(), Qt::Key_Q, Qt::ControlModifier);
    ASSERT_TRUE(app.waitForExit());
    EXPECT_EQ(app.exitStatus, 0);
    app.delegate.reset();
  }
  ZPHUserDefaults::standardUserDefaults().removeObject(ZPHKeyMapSetName);
}

TEST_F(QuitTest, WithoutALockOnItsDataFolderNoCopyOpensTheStore)
{
  const QString folder = ZPHTestReadOnlyFolder(dir);
  AppHarness app(folder);
  app.start();
  ASSERT_TRUE(app.exitStatus.has_value());
  EXPECT_EQ(app.exitStatus, 1);
  ASSERT_EQ(app.alerts.size(), 1);
  EXPECT_EQ(app.alerts[0].messageText, QStringLiteral("Zephlin can’t lock its data folder."));
  EXPECT_TRUE(app.alerts[0].informativeText.contains(folder + QStringLiteral("/Zephlin.lock")))
      << app.alerts[0].informativeText.toStdString();
  EXPECT_EQ(app.delegate->dataController(), nullptr);
  EXPECT_EQ(app.delegate->mainWindow(), nullptr);
  EXPECT_EQ(app.delegate->instanceLock(), nullptr);
  EXPECT_FALSE(QFileInfo::exists(folder + QStringLiteral("/Articles")));
  app.delegate.reset();
}
