#pragma once

#include "platform/ZPHNotificationCenter.h"
#include "store/accounts/CBAccount.h"
#include "store/tree/CBTreeNode.h"

#include <QtCore/QObject>
#include <QtCore/QPointer>

#include <memory>
#include <vector>

class CBDataAccount;
class CBGlobalFeed;
class CBOperation;
class QTimer;
class ZPHGlobalFavoritesGroup;

// User-defaults keys keeping the last smart-feed counts between runs.
extern const QString CBTodayUnreadCountKey;    // "todayUnreadCount"
extern const QString CBFlaggedUnreadCountKey;  // "flaggedUnreadCount"
// User default (boolean): whether the Favorites group shows its feeds; the
// source list writes it when the user opens or closes the group.
extern const QString ZPHExpandFavoritesKey;  // "ZPHExpandFavorites"

// The pseudo-account above the local account in the source list: the smart
// feeds All Unread, Today and Bookmarks and the Favorites group, under one
// top node ("News Feed").
//
// All Unread shows the local account's total (or its favourites' total,
// as the user chooses). Today and Bookmarks are recounted on the store queue
// 0.2 s after the last change that can move them (read, bookmark, refresh,
// deletion); their last counts are kept in the user defaults.
//
// The data controller makes the one instance when it completes its set-up
// and owns it; globalAccount() reaches it. Main thread only.
class CBGlobalAccount : public QObject, public CBAccount, public CBTreeNodeRepresentedObject {
  Q_OBJECT
public:
  // Follows the unread count of `localAccount` (not owned).
  explicit CBGlobalAccount(CBDataAccount* localAccount);
  ~CBGlobalAccount() override;

  // The application's data controller's global account (nullptr before it
  // exists).
  static CBGlobalAccount* globalAccount();

  // CBAccount: fixed answers.
  bool isSubscribedToFeedWithURL(const QUrl& url) const override;
  bool disabled() const override { return false; }
  void setDisabled(bool disabled) override { Q_UNUSED(disabled); }
  QString identifier() const override { return QStringLiteral("global"); }
  QString login() const override { return QString(); }
  void setLogin(const QString& login) override { Q_UNUSED(login); }
  QString title() const override;
  quint64 accountType() const override { return 1; }
  QList<CBFeed*> allFeedsThatCanBeRefreshed() const override { return {}; }
  quint64 unreadCount() const override { return 0; }

  // As the represented object of its top node.
  QString nameForDisplay() const override { return title(); }
  void setNameForDisplay(const QString& name) override { Q_UNUSED(name); }

  CBGlobalFeed* allUnreadFeed() const { return m_allUnreadFeed.get(); }
  CBGlobalFeed* todayFeed() const { return m_todayFeed.get(); }
  CBGlobalFeed* flaggedFeed() const { return m_flaggedFeed.get(); }
  ZPHGlobalFavoritesGroup* favoritesGroup() const { return m_favoritesGroup.get(); }
  // All Unread, Today, Bookmarks, Favorites.
  const CBTreeNode::List& childTreeNodes() const { return m_childTreeNodes; }
  CBTreeNode::Pointer accountTreeNode() const { return m_accountTreeNode; }
  // The one-shot timers of the pending recounts (active while one waits).
  QTimer* todayUnreadCountTimer() const { return m_todayUnreadCountTimer; }
  QTimer* flaggedUnreadCountTimer() const { return m_flaggedUnreadCountTimer; }

  // A recount 0.2 s after the last call (nothing while shutting down). A
  // Today recount also recounts Bookmarks.
  void scheduleUpdateForTodayUnreadCount();
  void scheduleUpdateForFlaggedArticles();
  // All Unread takes the local account's total, or its favourites' total
  // when "ZPHAllUnreadFeedsSelection" is 0.
  void updateAllUnreadFeedCount();
  // Today and Bookmarks take their stored counts when there are any; then
  // a Today recount is scheduled.
  void restoreUnreadCounts();
  // The three smart feeds' counts to 0.
  void clearUnreadCounts();
  // Stops the pending Today recount.
  void teardown();

private:
  void feedCountUnreadFlaggedOperationDidComplete(const std::shared_ptr<CBOperation>& operation);
  // The recounts' callbacks: set the count, keep it in the user defaults,
  // update All Unread and announce ZPHUnreadCountDidChangeNotification.
  void feedCountUnreadOperationDidComplete(const std::shared_ptr<CBOperation>& operation);
  void queueUpdateForFlaggedUnreadCount();
  // Queue the recounts on the store queue.
  void queueUpdateForTodayUnreadCount();
  void updateFlaggedUnreadCount();
  // The timers' actions.
  void updateTodayUnreadCount();
  // Registers 1 for "ZPHUnreadCountSelection", "ZPHAllUnreadFeedsSelection"
  // and "ZPHTodayFeedSelection".
  static void registerFavoritesPreferences();

  void registerObservers();
  // Notification handlers (main thread).
  void articleReadStatusDidChange(const ZPHNotification& notification);
  void articleFlaggedStatusDidChange(const ZPHNotification& notification);
  void todayCountMayHaveChanged(const ZPHNotification& notification);
  void feedsOrFoldersDeleted(const ZPHNotification& notification);

  QPointer<CBDataAccount> m_localAccount;
  std::unique_ptr<CBGlobalFeed> m_allUnreadFeed;
  std::unique_ptr<CBGlobalFeed> m_todayFeed;
  std::unique_ptr<CBGlobalFeed> m_flaggedFeed;
  std::unique_ptr<ZPHGlobalFavoritesGroup> m_favoritesGroup;
  CBTreeNode::List m_childTreeNodes;
  CBTreeNode::Pointer m_accountTreeNode;
  QTimer* m_todayUnreadCountTimer = nullptr;
  QTimer* m_flaggedUnreadCountTimer = nullptr;
  std::vector<ZPHObserverToken> m_observers;
};
