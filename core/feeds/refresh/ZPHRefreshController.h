#pragma once

#include "platform/ZPHNotificationCenter.h"
#include "store/ZPHFeedIngestionInterface.h"

#include <QtCore/QList>
#include <QtCore/QObject>
#include <QtCore/QString>

#include <memory>
#include <vector>

class CBAccount;
class CBAccountRefresher;
class CBFeed;
class CBNode;
class CBOperationController;
class CBTreeNode;
class ZPHStatusItem;

// ZPHRefreshSessionDidBeginNotification and ZPHRefreshSessionDidEndNotification
// come from store/ZPHFeedIngestionInterface.h.
extern const QString ZPHRefreshControllerVisualRefreshInProgressKey;  // "visualRefreshInProgress"
// User default, integer minutes; registered as 30.
extern const QString ZPHRefreshFeedsIntervalKey;  // "refreshFeedsInterval"

// The single entry point for refreshing feeds: all feeds of accounts, a list
// of feeds, one feed or every feed under a folder. Its operation controller
// runs 8 refreshes at once; while it has operations, a refresh session runs
// with its "Refreshing Sites…" status item in the application's status area.
// Newly added feeds are refreshed at once, and everything is cancelled when
// the internet can no longer be reached. Main thread; the application makes
// one at start-up and keeps it.
class ZPHRefreshController : public QObject {
  Q_OBJECT
  Q_PROPERTY(bool visualRefreshInProgress READ visualRefreshInProgress NOTIFY visualRefreshInProgressChanged)

public:
  static const QString OperationControllerName;  // "com.fernhollow.zephlin.refreshOperationsController"
  static const QString StatusItemIdentifier;     // "com.fernhollow.zephlin.status.refreshingFeeds"
  static const QString StatusItemText;           // "Refreshing Sites…"
  static constexpr int MaxConcurrentRefreshes = 8;

  explicit ZPHRefreshController(QObject* parent = nullptr);
  ~ZPHRefreshController() override;

  // Each account goes to the first registered refresher that wants it;
  // accounts nobody wants are skipped.
  void refreshAllInAccounts(const QList<CBAccount*>& accounts);
  // Feeds with an address that are not suspended.
  void refreshFeeds(const QList<CBFeed*>& feeds);
  void refreshOneFeed(CBFeed* feed);
  // Subfolders first (each at once, recursively), then the folder's own feeds.
  void refreshFeedsInFolder(CBTreeNode* folderNode);
  void refreshFeedOrFolder(CBNode* feedOrFolder);

  void registerAccountRefresher(std::unique_ptr<CBAccountRefresher> refresher);
  CBAccountRefresher* refresherForAccount(CBAccount* account) const;

  // Cancels every refresh (used at quit).
  void cancelAllOperations();

  bool visualRefreshInProgress() const { return m_visualRefreshInProgress; }
  CBOperationController* refreshOperationController() const { return m_operationController.get(); }
  QList<CBAccountRefresher*> accountRefreshers() const;
  std::shared_ptr<ZPHStatusItem> refreshingFeedsStatusItem() const { return m_statusItem; }

  // Notification handlers.
  void feedsAdded(const ZPHNotification& notification);
  void refreshOperationsDidBegin(const ZPHNotification& notification);
  void refreshOperationsDidEnd(const ZPHNotification& notification);
  void internetConnectivityChanged(const ZPHNotification& notification);

Q_SIGNALS:
  void visualRefreshInProgressChanged(bool inProgress);

private:
  void setVisualRefreshInProgress(bool inProgress);
  void postSessionNotification(const QString& name);

  std::unique_ptr<CBOperationController> m_operationController;
  std::vector<std::unique_ptr<CBAccountRefresher>> m_accountRefreshers;
  std::shared_ptr<ZPHStatusItem> m_statusItem;
  // Handed to the application for removal; its handler has not run yet.
  std::shared_ptr<ZPHStatusItem> m_statusItemBeingRemoved;
  bool m_visualRefreshInProgress = false;
  std::vector<ZPHObserverToken> m_observers;
};
