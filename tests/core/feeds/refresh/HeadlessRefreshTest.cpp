#include "feeds/metadata/CBLocalAccountFeedMetadataCache.h"
#include "feeds/network/ZPHNetworkController.h"
#include "feeds/refresh/ZPHRefreshController.h"
#include "feeds/refresh/ZPHStatusItem.h"
#include "foundation/CBEventThrottler.h"
#include "platform/CBOperationController.h"
#include "platform/ZPHMainThread.h"
#include "platform/ZPHNotificationCenter.h"
#include "store/CBDataController.h"
#include "store/accounts/CBDataAccount.h"
#include "store/entities/CBDataModel.h"
#include "store/entities/CBFeed.h"
#include "store/entities/CBFolder.h"
#include "store/graph/ZPHFetchRequest.h"
#include "store/graph/ZPHManagedObjectContext.h"
#include "support/ZPHTestApplicationDelegate.h"
#include "support/ZPHTestSupport.h"

#include <QtCore/QDir>
#include <QtCore/QEventLoop>
#include <QtCore/QFile>
#include <QtCore/QJsonDocument>
#include <QtCore/QJsonObject>
#include <QtCore/QProcess>
#include <QtCore/QStandardPaths>
#include <QtNetwork/QNetworkAccessManager>
#include <QtNetwork/QNetworkReply>

#include <gtest/gtest.h>

namespace {

// The refresh operations keep their conditional-GET values in the shared
// feed metadata database, made once per process in the cache folder of the
// delegate registered at the time: this one, which lives for the whole run.
class SharedMetadataCacheEnvironment : public ::testing::Environment {
public:
  void SetUp() override
  {
    m_delegate = std::make_unique<ZPHTestApplicationDelegate>();
    ASSERT_NE(CBLocalAccountFeedMetadataCache::sharedCache(), nullptr);
  }
  void TearDown() override { CBLocalAccountFeedMetadataCache::sharedCache()->waitUntilAllOperationsAreFinished(); }

private:
  std::unique_ptr<ZPHTestApplicationDelegate> m_delegate;
};
[[maybe_unused]] ::testing::Environment* const sharedMetadataCacheEnvironment =
    ::testing::AddGlobalTestEnvironment(new SharedMetadataCacheEnvironment);

constexpr int FeedCount = 50;
constexpr int ItemsPerFeed = 10;

// The whole local account refreshed headless against the feed farm: 50
// feeds of 10 items on 127.0.0.1, ten of them in a folder inside a folder,
// ten more in the outer folder, the rest at top level.
class HeadlessRefreshTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    const QString script = QStringLiteral(ZPH_FEEDFARM_SCRIPT);
    const QString python = QStandardPaths::findExecutable(QStringLiteral("python3"));
    ASSERT_TRUE(QFile::exists(script)) << "feed farm not found: " << script.toStdString();
    ASSERT_FALSE(python.isEmpty()) << "python3 not found";

    const QString portFile = QDir(temp.path()).filePath(QStringLiteral("farm.port"));
    farm.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    farm.start(python, {script, QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--feeds"),
                        QString::number(FeedCount), QStringLiteral("--items"), QString::number(ItemsPerFeed),
                        QStringLiteral("--churn"), QStringLiteral("10"), QStringLiteral("--max-seconds"),
                        QStringLiteral("300"), QStringLiteral("--port-file"), portFile});
    ASSERT_TRUE(farm.waitForStarted(10000));
    ASSERT_TRUE(ZPHTestWaitUntil([&] { return QFile(portFile).size() > 0; }, 20000));
    QFile file(portFile);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    base = QStringLiteral("http://127.0.0.1:%1").arg(QString::fromUtf8(file.readAll()).trimmed());

    delegate.useDataController(&controller);
    ZPHError error;
    ASSERT_TRUE(controller.setupCoreDataStackWithClass({}, false, &error)) << error.toString().toStdString();
    controller.completeSetup();
    account = controller.localAccount();
    ASSERT_NE(account, nullptr);
    main = controller.mainThreadManagedObjectContext();

    ZPHNotificationCenter& center = ZPHNotificationCenter::defaultCenter();
    for (const QString& name : {ZPHRefreshSessionDidBeginNotification, ZPHRefreshSessionDidEndNotification}) {
      observers.push_back(center.addObserver(name, QVariant(), [this](const ZPHNotification& n) {
        sessionEvents.append(n.name);
        sessionObjects.append(n.object.value<QObject*>());
      }));
    }
  }

  void TearDown() override
  {
    if (refresh) {
      refresh->cancelAllOperations();
      refresh->refreshOperationController()->waitUntilAllOperationsAreFinished();
    }
    if (account != nullptr) {
      EXPECT_TRUE(ZPHTestWaitUntil([&] { return !controller.coreDataQueueHasOperations(); }, 30000));
      ZPHTestSpinEventLoop(50);
    }
    refresh.reset();
    if (farm.state() != QProcess::NotRunning) {
      farm.kill();
      farm.waitForFinished(5000);
    }
  }

  QByteArray get(const QString& path)
  {
    QNetworkReply* reply = network.get(QNetworkRequest(QUrl(base + path)));
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    loop.exec();
    const QByteArray body = reply->readAll();
    EXPECT_EQ(reply->error(), QNetworkReply::NoError) << path.toStdString();
    reply->deleteLater();
    return body;
  }
  QJsonObject stats() { return QJsonDocument::fromJson(get(QStringLiteral("/stats"))).object(); }

  // Subscribes to every feed of the farm; the refresh controller is made
  // once the account has announced the new feeds, so only the rounds below
  // refresh them.
  void subscribe()
  {
    QList<QUrl> urls;
    for (const QByteArray& line : get(QStringLiteral("/urls.txt")).split('\n')) {
      if (!line.trimmed().isEmpty())
        urls.append(QUrl(QString::fromUtf8(line.trimmed())));
    }
    ASSERT_EQ(urls.size(), FeedCount);
    bool announced = false;
    ZPHObserverToken added = ZPHNotificationCenter::defaultCenter().addObserver(
        ZPHFeedsAddedNotification, QVariant(), [&](const ZPHNotification&) { announced = true; },
        ZPHNotificationCenter::Delivery::MainThread);
    outer = account->addFolderWithName(QStringLiteral("Outer"));
    inner = account->addFolderWithName(QStringLiteral("Inner"), outer);
    for (int i = 0; i < urls.size(); ++i) {
      CBFeed* feed = CBFeed::insertFeedWithURL(urls[i], main);
      if (i < 10)
        account->addFeedAtEndOfFolder(feed, inner);
      else if (i < 20)
        account->addFeedAtEndOfFolder(feed, outer);
      else
        ASSERT_NE(account->addFeed(feed), nullptr);
    }
    ASSERT_EQ(account->feeds().size(), FeedCount);
    ASSERT_TRUE(ZPHTestWaitUntil([&] { return announced; }, 20000));
    refresh = std::make_unique<ZPHRefreshController>();
    delegate.scriptedRefreshController = refresh.get();
  }

  // One "refresh all", waited for until its session ended and its articles
  // and the recount after it reached the main thread.
  void refreshAll(const std::function<void()>& afterQueuing = {})
  {
    const qsizetype endsBefore = sessionEvents.count(ZPHRefreshSessionDidEndNotification);
    const quint64 generation = account->lastUnreadCountOperationGeneration();
    refresh->refreshAllInAccounts({account});
    if (afterQueuing)
      afterQueuing();
    ASSERT_TRUE(
        ZPHTestWaitUntil([&] { return sessionEvents.count(ZPHRefreshSessionDidEndNotification) > endsBefore; }, 60000));
    ASSERT_TRUE(ZPHTestWaitUntil([&] { return account->lastUnreadCountOperationGeneration() > generation; }, 20000));
    ASSERT_TRUE(ZPHTestWaitUntilSettled(
        [&] { return !controller.coreDataQueueHasOperations() && account->totalUnreadCountEventThrottler()->isIdle(); },
        30000));
  }

  qint64 articleCount() { return main->countForFetchRequest(ZPHFetchRequest(CBDataEntityNameArticle)); }

  ZPHTestTempDir temp;
  QProcess farm;
  QString base;
  QNetworkAccessManager network;
  ZPHTestApplicationDelegate delegate;
  CBDataController controller;
  CBDataAccount* account = nullptr;
  ZPHManagedObjectContext* main = nullptr;
  CBFolder* outer = nullptr;
  CBFolder* inner = nullptr;
  std::unique_ptr<ZPHRefreshController> refresh;
  std::vector<ZPHObserverToken> observers;
  QStringList sessionEvents;
  QList<QObject*> sessionObjects;
};

TEST_F(HeadlessRefreshTest, RefreshAllStoresEveryArticleCountsThemAndAnUnchangedRoundChangesNothing)
{
  subscribe();
  const QJsonObject before = stats();

  refreshAll();
  EXPECT_EQ(articleCount(), FeedCount * ItemsPerFeed);
  EXPECT_EQ(account->unreadCount(), quint64(FeedCount * ItemsPerFeed));
  EXPECT_EQ(inner->unreadCount(), quint64(10 * ItemsPerFeed));
  EXPECT_EQ(outer->unreadCount(), quint64(20 * ItemsPerFeed));
  for (CBFeed* feed : account->feeds()) {
    EXPECT_EQ(feed->unreadCount(), quint64(ItemsPerFeed)) << feed->url().toStdString();
    EXPECT_TRUE(feed->lastFeedRefreshError().isNull()) << feed->url().toStdString();
  }
  // Every feed answered in full (the favicon look-ups fetched the home
  // pages besides).
  const QJsonObject first = stats();
  EXPECT_GE(first.value("ok").toInt() - before.value("ok").toInt(), FeedCount);

  // One session: begin before end, both from the refresh controller, and
  // its status item shown and then removed.
  EXPECT_EQ(sessionEvents, (QStringList{ZPHRefreshSessionDidBeginNotification, ZPHRefreshSessionDidEndNotification}));
  for (QObject* object : sessionObjects) EXPECT_EQ(object, refresh.get());
  const auto events = delegate.statusEvents();
  ASSERT_EQ(events.size(), 2);
  EXPECT_EQ(events[0].kind, ZPHTestApplicationDelegate::StatusEvent::Added);
  EXPECT_EQ(events[1].kind, ZPHTestApplicationDelegate::StatusEvent::Removed);
  EXPECT_EQ(events[0].item, events[1].item);
  EXPECT_EQ(events[0].item->identifier(), QStringLiteral("com.fernhollow.zephlin.status.refreshingFeeds"));
  EXPECT_EQ(events[0].item->localizedDescription(), QStringLiteral("Refreshing Sites…"));
  EXPECT_EQ(events[0].item->statusItemType(), ZPHStatusItemTypeIndeterminateProgress);
  EXPECT_TRUE(delegate.visibleStatusItems().isEmpty());
  EXPECT_FALSE(refresh->visualRefreshInProgress());
  EXPECT_EQ(refresh->refreshingFeedsStatusItem(), nullptr);

  // Nothing changed: conditional GETs only, and the store stays as it was.
  refreshAll();
  const QJsonObject second = stats();
  EXPECT_EQ(second.value("not_modified").toInt() - first.value("not_modified").toInt(), FeedCount);
  EXPECT_EQ(articleCount(), FeedCount * ItemsPerFeed);
  EXPECT_EQ(account->unreadCount(), quint64(FeedCount * ItemsPerFeed));
  EXPECT_EQ(sessionEvents.size(), 4);
  EXPECT_EQ(sessionEvents.mid(2),
            (QStringList{ZPHRefreshSessionDidBeginNotification, ZPHRefreshSessionDidEndNotification}));
  EXPECT_EQ(delegate.statusEvents().size(), 4);

  // A bump gives every tenth feed one more item: exactly those are added.
  get(QStringLiteral("/bump"));
  refreshAll();
  EXPECT_EQ(articleCount(), FeedCount * ItemsPerFeed + FeedCount / 10);
  EXPECT_EQ(account->unreadCount(), quint64(FeedCount * ItemsPerFeed + FeedCount / 10));
}

TEST_F(HeadlessRefreshTest, LosingTheNetworkCancelsTheSession)
{
  subscribe();
  QList<std::shared_ptr<CBOperation>> queued;
  int cancelledOrDone = 0;
  refreshAll([&] {
    queued = refresh->refreshOperationController()->operations();
    ZPHNotificationCenter::defaultCenter().post(ZPHNetworkControllerInternetConnectivityChangedNotification, QVariant(),
                                                {{ZPHNetworkControllerHasInternetConnectivityKey, false}});
    // A refresh that had already ended is left as it was; every other one
    // is cancelled.
    for (const std::shared_ptr<CBOperation>& operation : queued)
      cancelledOrDone += operation->isCancelled() || operation->isFinished() ? 1 : 0;
  });
  ASSERT_EQ(queued.size(), FeedCount);
  EXPECT_EQ(cancelledOrDone, FeedCount);
  int cancelled = 0;
  for (const std::shared_ptr<CBOperation>& operation : queued) cancelled += operation->isCancelled() ? 1 : 0;
  EXPECT_GT(cancelled, FeedCount / 2);
  EXPECT_EQ(refresh->refreshOperationController()->numberOfOperations(), 0);
  EXPECT_EQ(sessionEvents, (QStringList{ZPHRefreshSessionDidBeginNotification, ZPHRefreshSessionDidEndNotification}));
  EXPECT_FALSE(refresh->visualRefreshInProgress());
  EXPECT_LT(articleCount(), FeedCount * ItemsPerFeed);

  // Connectivity back starts nothing by itself; the next refresh is whole.
  ZPHNotificationCenter::defaultCenter().post(ZPHNetworkControllerInternetConnectivityChangedNotification, QVariant(),
                                              {{ZPHNetworkControllerHasInternetConnectivityKey, true}});
  EXPECT_EQ(refresh->refreshOperationController()->numberOfOperations(), 0);
  refreshAll();
  EXPECT_EQ(articleCount(), FeedCount * ItemsPerFeed);
  EXPECT_EQ(account->unreadCount(), quint64(FeedCount * ItemsPerFeed));
}

}  // namespace
