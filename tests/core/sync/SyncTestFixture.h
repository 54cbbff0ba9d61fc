#pragma once

// A full client against the loopback sync peer: a store on disk with its
// data controller and local account, the test application delegate, a
// password file in the test's folder, the sync settings pointing at the
// peer, and a sync manager of the test's own.

#include "support/ZPHTestSyncPeer.h"

#include "platform/ZPHFilePasswordStore.h"
#include "platform/ZPHMainThread.h"
#include "platform/ZPHNotificationCenter.h"
#include "platform/ZPHOperationQueue.h"
#include "platform/ZPHUserDefaults.h"
#include "store/CBDataController.h"
#include "store/accounts/CBDataAccount.h"
#include "store/entities/ArticleMetadata.h"
#include "store/entities/CBDataArticle.h"
#include "store/entities/CBFeed.h"
#include "store/entities/CBFolder.h"
#include "store/entities/CBNode.h"
#include "store/graph/ZPHManagedObjectContext.h"
#include "subscribe/ZPHCredentialsResult.h"
#include "support/ZPHTestApplicationDelegate.h"
#include "support/ZPHTestSupport.h"
#include "sync/ZPHSyncConstants.h"
#include "sync/ZPHSyncCookieJar.h"
#include "sync/ZPHSyncCredentials.h"
#include "sync/ZPHSyncManager.h"
#include "sync/ZPHSyncServerNetworkOperation.h"

#include <QtCore/QJsonArray>
#include <QtCore/QJsonDocument>
#include <QtCore/QJsonObject>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <vector>

class SyncTestFixture : public ::testing::Test {
protected:
  static inline const QString User = QStringLiteral("reader@example.com");
  static inline const QString Password = QStringLiteral("s3cret-Pa55");

  void SetUp() override
  {
    ASSERT_TRUE(peer.isListening());
    passwords = std::make_shared<ZPHFilePasswordStore>(delegate.rootFolder() + QStringLiteral("/passwords"));
    ZPHPasswordStore::setDefaultStore(passwords);
    clearSyncSettings();
    defaults().setString(ZPHSyncServiceBaseURL, peer.url());

    delegate.useDataController(&controller);
    ZPHError error;
    ASSERT_TRUE(controller.setupCoreDataStackWithClass({}, false, &error)) << error.toString().toStdString();
    controller.completeSetup();
    account = controller.localAccount();
    ASSERT_NE(account, nullptr);
    main = controller.mainThreadManagedObjectContext();
    manager = std::make_unique<ZPHSyncManager>();
  }

  void TearDown() override
  {
    manager.reset();
    EXPECT_TRUE(ZPHTestWaitUntil([&] { return !controller.coreDataQueueHasOperations(); }, 30000));
    ZPHTestSpinEventLoop(50);
    observers.clear();
    clearSyncSettings();
    ZPHPasswordStore::setDefaultStore(nullptr);
  }

  static ZPHUserDefaults& defaults() { return ZPHUserDefaults::standardUserDefaults(); }

  static void clearSyncSettings()
  {
    for (const QString& key : {ZPHSyncServiceBaseURL, ZPHSyncServiceUsernameKey, ZPHSyncResetAccountInfo,
                               ZPHSyncDataHasBeenSynced, ZPHLastValidUserNameKey, ZPHSyncURLTagIndex,
                               ZPHSyncLastFeedsAndFolderModTimeStamp, ZPHSyncLastArticleModTimeStamp})
      defaults().removeObject(key);
    ZPHSyncCredentials::savePassword(QString());
    ZPHSyncCredentials::setFastUserSwitch(false);
    ZPHSyncCredentials::eraseCredentials();
    ZPHSyncCookieJar::sharedJar().deleteAllCookies();
  }

  // An account on the peer and the same credentials stored here.
  void signIn(bool hasSyncedBefore = true)
  {
    peer.addAccount(User, Password);
    ZPHSyncCredentials::saveUsername(User);
    ZPHSyncCredentials::savePassword(Password);
    if (hasSyncedBefore) {
      defaults().setBool(ZPHSyncDataHasBeenSynced, true);
      defaults().setString(ZPHLastValidUserNameKey, User);
    }
  }

  // Starts the client (the first cycle starts with it) and waits for that
  // cycle to end.
  bool startAndSync(int timeoutMs = 30000)
  {
    manager->start();
    return waitForCycle(timeoutMs);
  }

  // Runs one cycle and waits for its end (however it ends).
  bool sync(int timeoutMs = 30000)
  {
    manager->fetchFeedsAndFolders();
    if (!manager->refreshInProgress())
      return false;
    return waitForCycle(timeoutMs);
  }

  bool waitForCycle(int timeoutMs = 30000)
  {
    const bool ended = ZPHTestWaitUntil([&] { return !manager->refreshInProgress(); }, timeoutMs);
    // The main-thread tail of the last call (tree reload, announcements).
    ZPHTestSpinEventLoop(30);
    return ended;
  }

  // Waits until the sync queue is idle.
  bool waitForSyncQueue(int timeoutMs = 30000)
  {
    return ZPHTestWaitUntil([&] { return manager->queue()->operationCount() == 0; }, timeoutMs);
  }

  void saveMain() { ASSERT_TRUE(main->save()); }

  // A feed at top level or in a folder, through the account as the user
  // would add it (marked for sync).
  CBFeed* addFeed(const QString& url, CBFolder* folder = nullptr)
  {
    CBFeed* feed = CBFeed::insertFeedWithURL(QUrl(url), main);
    if (folder != nullptr)
      account->addFeedAtEndOfFolder(feed, folder);
    else
      account->addFeed(feed);
    return feed;
  }

  CBFolder* folderWithGUID(const QString& guid) { return CBFolder::folderWithGUID(guid, main); }
  CBFeed* feedWithURL(const QString& url) { return CBFeed::feedWithURL(url, main); }

  // The node objects the peer holds, as the client would read them.
  static QJsonObject feedNode(const QString& url, const QString& guid, const QString& parent = QString(),
                              double dates = 1000.0)
  {
    QJsonObject node{{QStringLiteral("url"), url},         {QStringLiteral("guid"), guid},
                     {QStringLiteral("childIndex"), 0},    {QStringLiteral("flags"), 0},
                     {QStringLiteral("isDeleted"), false}, {QStringLiteral("parentGUIDModDate"), dates}};
    if (!parent.isEmpty())
      node.insert(QStringLiteral("parentGUID"), parent);
    return node;
  }
  static QJsonObject folderNode(const QString& guid, const QString& name, const QString& parent = QString(),
                                double dates = 1000.0)
  {
    QJsonObject node{{QStringLiteral("guid"), guid},
                     {QStringLiteral("userAssignedName"), name},
                     {QStringLiteral("userAssignedNameModDate"), dates},
                     {QStringLiteral("childIndex"), 0},
                     {QStringLiteral("flags"), 0},
                     {QStringLiteral("isDeleted"), false},
                     {QStringLiteral("isFolder"), 1},
                     {QStringLiteral("parentGUIDModDate"), dates}};
    if (!parent.isEmpty())
      node.insert(QStringLiteral("parentGUID"), parent);
    return node;
  }

  // Records every notification of a name posted from now on (any thread).
  void record(const QString& name)
  {
    observers.push_back(ZPHNotificationCenter::defaultCenter().addObserver(name, QVariant(),
                                                                           [this](const ZPHNotification& notification) {
                                                                             QMutexLocker locker(&recordedMutex);
                                                                             recorded.append(notification);
                                                                           }));
  }
  QList<ZPHNotification> recordedNamed(const QString& name)
  {
    QMutexLocker locker(&recordedMutex);
    QList<ZPHNotification> matching;
    for (const ZPHNotification& notification : recorded) {
      if (notification.name == name)
        matching.append(notification);
    }
    return matching;
  }

  // An article of the feed, saved.
  ZPHManagedObjectID addArticle(const QString& feedURL, const QString& link)
  {
    CBDataArticle* article = CBDataArticle::insertArticleWithFeedURL(QUrl(feedURL), main);
    article->setGuid(link);
    article->setLink(link);
    article->setTitle(link);
    article->setDateForDisplay(QDateTime::currentDateTimeUtc());
    EXPECT_TRUE(main->save());
    return article->objectID();
  }
  CBDataArticle* article(const ZPHManagedObjectID& objectID)
  {
    return dynamic_cast<CBDataArticle*>(main->existingObjectWithID(objectID));
  }
  // Marks read as the user does, on the store queue.
  void markRead(const ZPHManagedObjectID& objectID, bool read = true)
  {
    ASSERT_TRUE(delegate.runInTemporaryContextOnStoreQueue([&](ZPHManagedObjectContext* context) {
      auto* article = dynamic_cast<CBDataArticle*>(context->existingObjectWithID(objectID));
      ASSERT_NE(article, nullptr);
      CBDataArticle::operation_only_markArticles({article}, read, context);
    }));
    ZPHTestSpinEventLoop(20);
  }
  void markFlagged(const ZPHManagedObjectID& objectID, bool flagged = true)
  {
    ASSERT_TRUE(delegate.runInTemporaryContextOnStoreQueue([&](ZPHManagedObjectContext* context) {
      auto* article = dynamic_cast<CBDataArticle*>(context->existingObjectWithID(objectID));
      ASSERT_NE(article, nullptr);
      article->operation_only_markAsFlagged(flagged);
    }));
    ZPHTestSpinEventLoop(20);
  }

  // The application's answers: every merge-or-purge question answered with
  // `response`; every login request answered with `credentials`.
  void answerMergeOrPurge(const QString& response)
  {
    observers.push_back(ZPHNotificationCenter::defaultCenter().addObserver(
        ZPHSyncMergeOrPurgeDataRequest, QVariant(),
        [this, response](const ZPHNotification&) {
          ++questions;
          ZPHNotificationCenter::defaultCenter().postOnMainThread(ZPHSyncMergeOrPurgeDataResponse, QVariant(),
                                                                  {{ZPHSyncMergeOrPurgeResponseKey, response}});
        },
        ZPHNotificationCenter::Delivery::MainThread));
  }
  void answerLogin(const ZPHCredentialsResult& credentials,
                   const QString& answer = ZPHSyncServiceLoginCredentialsProvided)
  {
    observers.push_back(ZPHNotificationCenter::defaultCenter().addObserver(
        ZPHSyncServiceLoginCredentialsRequired, QVariant(),
        [this, credentials, answer](const ZPHNotification&) {
          ++loginRequests;
          ZPHNotificationCenter::defaultCenter().postOnMainThread(answer, QVariant::fromValue(credentials));
        },
        ZPHNotificationCenter::Delivery::MainThread));
  }

  ZPHTestSyncPeer peer;
  ZPHTestApplicationDelegate delegate;
  std::shared_ptr<ZPHFilePasswordStore> passwords;
  CBDataController controller;
  CBDataAccount* account = nullptr;
  ZPHManagedObjectContext* main = nullptr;
  std::unique_ptr<ZPHSyncManager> manager;
  std::vector<ZPHObserverToken> observers;
  std::atomic<int> questions{0};
  std::atomic<int> loginRequests{0};
  QMutex recordedMutex;
  QList<ZPHNotification> recorded;
};
