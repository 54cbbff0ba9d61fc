#pragma once

// A full client against the loopback sync peer: a store on disk with its
// data controller and local account, the test application delegate, a
// password file in the test's folder, the sync settings pointing at the
// peer, and a sync manager of the test's own.

#include "ZPHTestSyncPeer.h"

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
    ZPHSyncServerNetworkOperation::setUserAnswerTimeoutMs(3000);

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
    ZPHSyncServerNetworkOperation::setUserAnswerTimeoutMs(ZPHSyncServerNetworkOperation::DefaultUserAnswerTimeoutMs);
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

  ZPHTestSyncPeer peer;
  ZPHTestApplicationDelegate delegate;
  std::shared_ptr<ZPHFilePasswordStore> passwords;
  CBDataController controller;
  CBDataAccount* account = nullptr;
  ZPHManagedObjectContext* main = nullptr;
  std::unique_ptr<ZPHSyncManager> manager;
  std::vector<ZPHObserverToken> observers;
  QMutex recordedMutex;
  QList<ZPHNotification> recorded;
};
