#pragma once

#include "platform/ZPHNotificationCenter.h"
#include "store/accounts/CBAccount.h"
#include "store/graph/ZPHManagedObjectID.h"
#include "store/tree/CBTreeNode.h"

#include <QtCore/QHash>
#include <QtCore/QObject>
#include <QtCore/QSet>
#include <QtCore/QUrl>

#include <atomic>
#include <memory>
#include <vector>

class CBEventThrottler;
class CBFeed;
class CBFolder;
class CBNode;
class CBOperation;
class CBParsedFeedInfo;

// Object: the account (QObject*); userInfo ZPHFolderOrFeedKey -> the feed
// (ZPHManagedObject*). Collected by the save throttler.
extern const QString ZPHFeedsAddedNotification;  // "ZPHFeedsAddedNotification"
extern const QString ZPHFolderOrFeedKey;         // "folderOrFeed"
// Object: the feed (ZPHManagedObject*). Collected by the save throttler.
extern const QString CBFeedDataDidChangeNotification;  // "CBFeedDataDidChangeNotification"
// Object: the account; userInfo ZPHURLsKey -> the feed URLs (QVariantList of
// QUrl, no repeats), or no userInfo when no feed had one. Posted at once.
extern const QString ZPHFeedsWillDeleteNotification;  // "ZPHFeedsWillDeleteNotification"
extern const QString ZPHURLsKey;                      // "urls"
// Object: the account. Posted on the main thread when a deletion finished.
extern const QString ZPHFeedsOrFoldersDeletedNotification;  // "ZPHFeedsOrFoldersDeletedNotification"
// Object: the new folder (ZPHManagedObject*). Posted at once.
extern const QString ZPHClientDidCreateFolderEvent;  // "ZPHClientDidCreateFolderEvent"
// No object. Queued on the idle notification queue, merged.
extern const QString ZPHUnreadCountDidChangeNotification;  // "ZPHUnreadCountDidChangeNotification"
// Posted by the source list when feeds and folders were moved; the
// application then marks every unread count invalid.
extern const QString ZPHFeedsAndFoldersDidReorganizeNotification;  // "ZPHFeedsAndFoldersDidReorganizeNotification"

// The account: its feeds by URL, its folders by guid and its tree of nodes
// for the source list, all on the main thread with the main store context.
// Every change saves the main context and announces itself through
// notifications that the save throttler collects and posts about a second
// after the last change. The unread-count half keeps the account's totals
// and recounts the stored counts on the store queue after 0.2 s of quiet.
class CBDataAccount : public QObject, public CBAccount, public CBTreeNodeRepresentedObject {
  Q_OBJECT
public:
  CBDataAccount(quint64 accountType, const QString& login);
  ~CBDataAccount() override;

  // The data controller's local account (nullptr before it exists).
  static CBDataAccount* localAccount();
  static bool accountIsOnMyMac(const CBDataAccount* account);
  // 0 "nameForDisplay", 2 "dateForDisplay", 3 "countForDisplay", else ""
  // (manual order).
  static QString sortKeyForSubscriptionSortOrder(quint64 sortOrder);
  // The key for the order stored in user defaults under "subscriptionsSortOrder".
  static QString sortKeyForStoredSubscriptionSortOrder();

  // CBAccount
  bool isSubscribedToFeedWithURL(const QUrl& url) const override;
  bool disabled() const override { return m_disabled; }
  void setDisabled(bool disabled) override { m_disabled = disabled; }
  QString identifier() const override { return m_identifier; }
  void setIdentifier(const QString& identifier) { m_identifier = identifier; }
  QString login() const override { return m_login; }
  void setLogin(const QString& login) override { m_login = login; }
  QString title() const override { return m_title; }
  void setTitle(const QString& title) { m_title = title; }
  quint64 accountType() const override { return m_accountType; }
  QList<CBFeed*> allFeedsThatCanBeRefreshed() const override;
  quint64 unreadCount() const override { return m_unreadCount; }

  // As the represented object of its top node.
  QString nameForDisplay() const override;
  void setNameForDisplay(const QString& name) override { m_nameForDisplay = name; }
  quint64 countForDisplay() const override { return m_unreadCount; }

  // Feeds and folders (main thread).
  const QList<CBFeed*>& feeds() const { return m_feeds; }
  const QHash<QUrl, CBFeed*>& feedsDictionary() const { return m_feedsDictionary; }
  const QList<CBFolder*>& folders() const { return m_folders; }
  const QHash<QString, ZPHManagedObjectID>& foldersDictionary() const { return m_foldersDictionary; }
  const QSet<ZPHManagedObjectID>& feedsBeingDeleted() const { return m_feedsBeingDeleted; }
  CBTreeNode::Pointer accountTreeNode() const { return m_accountTreeNode; }
  CBEventThrottler* saveEventThrottler() const { return m_saveEventThrottler.get(); }

  // Rebuilds the lists, maps and tree from the store.
  void loadFeedsAndFoldersFromDisk();
  // Take in what was saved to the store behind the account's back (an
  // import) where a reload from the store would place it, keeping the rows
  // it has: first the stored folders it lacks, then the new feeds, a slice
  // at a time if the caller likes (each call sorts only the rows that
  // gained children), then the rows' indices are swept once, as a load
  // does. Feeds and folders it knows are left alone.
  void addStoredFolders();
  void addStoredFeeds(const QList<CBFeed*>& feeds);
  void sweepChildIndicesOfAllRows();
  QList<CBNode*> topLevelNodesForAccount() const;

  CBFolder* addFolderWithName(const QString& name) { return addFolderWithName(name, nullptr); }
  CBFolder* addFolderWithName(const QString& name, CBFolder* parentFolder);
  // The feed is already inserted into the main context. nullptr (and no
  // change to the tree) when the account already has its URL.
  CBTreeNode::Pointer addFeed(CBFeed* feed);
  void addFeedAtEndOfFolder(CBFeed* feed, CBFolder* folder);
  void addFeedAtIndexOfFolder(CBFeed* feed, qsizetype index, CBFolder* folder);
  void preflightFeed(CBFeed* feed);
  // The caller has already taken the nodes out of the tree.
  void deleteNodes(const QList<CBNode*>& nodes);
  void deleteFeedWithURL(const QUrl& url);

  CBFeed* feedWithURL(const QUrl& url) const;
  QString nameForDisplayForFeedWithURL(const QUrl& url) const;
  QList<QUrl> feedURLs() const;
  CBTreeNode::Pointer treeNodeForFolderWithGUID(const QString& guid) const;
  void processUpdatedParsedFeedInfo(const CBParsedFeedInfo& info);
  void saveMOC();
  void saveToDiskAtShutdown() { saveMOC(); }

  // Unread counts.
  quint64 favoritesUnreadCount() const { return m_favoritesUnreadCount; }
  CBEventThrottler* totalUnreadCountEventThrottler() const { return m_totalUnreadCountEventThrottler.get(); }
  // Read on the store queue by the recount, written on the main thread.
  quint64 lastUnreadCountOperationGeneration() const { return m_lastUnreadCountOperationGeneration.load(); }
  // Starts a recount on the store queue (the throttler's action).
  void updateTotalUnreadCount();
  void updateUnreadCountsOnMainThread();
  void markAllUnreadCountsAsInvalid();

Q_SIGNALS:
  void unreadCountChanged(quint64 unreadCount);
  void favoritesUnreadCountChanged(quint64 favoritesUnreadCount);

private:
  void accountUnreadCountUpdateOperationDidComplete(const std::shared_ptr<CBOperation>& operation);
  void createAccountTreeNode();
  // The row of `folder`, made (with those of its folders) when missing;
  // nullptr when it or a folder above it is being deleted. `rows` holds
  // the folders' rows, `gained` collects the rows that gained children.
  CBTreeNode* treeNodeForStoredFolder(CBFolder* folder, QHash<const CBNode*, CBTreeNode*>* rows,
                                      QSet<CBTreeNode*>* gained);
  // The rows in `gained` in their order, as a load from the store has them.
  void sortGainedRows(const QSet<CBTreeNode*>& gained);
  void initUnreadCountSystem();
  void rebuildFeedsDictionaryFromAccountTreeNode();
  void reloadFeedandFolderCachesFromDisk();
  // The old top node is invalidated first.
  void setAccountTreeNode(const CBTreeNode::Pointer& node);
  // Asks the favicon controller for a web home page's icon link.
  void updateFaviconURLForFeed(CBFeed* feed);

  void addFeedToFolder(CBFeed* feed, qsizetype index, CBFolder* folder);
  CBTreeNode::Pointer treeNodeForFolder(CBFolder* folder) const;
  void addArchivedItems(const QList<CBNode*>& items, CBTreeNode* node);
  QSet<CBNode*> preprocessNodesForDeletion(const QList<CBNode*>& nodes);
  void registerObservers();
  void setUnreadCounts(quint64 unreadCount, quint64 favoritesUnreadCount);

  // Notification handlers.
  void parserDidParseFeedInfo(const ZPHNotification& notification);
  void faviconURLFound(const ZPHNotification& notification);
  void articlesWereDeleted(const ZPHNotification& notification);
  void articleReadStatusDidChange(const ZPHNotification& notification);
  void multipleArticleReadStatusDidChange(const ZPHNotification& notification);
  void refreshDidUpdateFeed(const ZPHNotification& notification);
  void feedFavoriteStatusDidChange(const ZPHNotification& notification);
  void refreshSessionDidEnd(const ZPHNotification& notification);

  QVariant accountObject() { return QVariant::fromValue(static_cast<QObject*>(this)); }

  quint64 m_accountType = 0;
  QString m_login;
  QString m_identifier;
  QString m_title;
  QString m_nameForDisplay;
  bool m_disabled = false;
  QList<CBFeed*> m_feeds;
  QHash<QUrl, CBFeed*> m_feedsDictionary;
  QList<CBFolder*> m_folders;
  QHash<QString, ZPHManagedObjectID> m_foldersDictionary;
  QSet<ZPHManagedObjectID> m_feedsBeingDeleted;
  CBTreeNode::Pointer m_accountTreeNode;
  std::unique_ptr<CBEventThrottler> m_saveEventThrottler;
  // The counts article savers reported, written by one store-queue block for
  // all that arrived before it ran (shared with that block).
  struct PendingFeedCounts;
  std::shared_ptr<PendingFeedCounts> m_pendingFeedCounts;
  // Parsed feed information waiting for the one main-thread store block
  // that applies all that arrived before it ran (main thread).
  QList<std::shared_ptr<CBParsedFeedInfo>> m_pendingFeedInfos;
  bool m_feedInfoBlockQueued = false;
  // Applies the information to its feed; true when the feed changed (the
  // caller saves).
  bool applyParsedFeedInfo(const CBParsedFeedInfo& info);
  std::unique_ptr<CBEventThrottler> m_totalUnreadCountEventThrottler;
  quint64 m_unreadCount = 0;
  quint64 m_favoritesUnreadCount = 0;
  std::atomic<quint64> m_lastUnreadCountOperationGeneration{0};
  std::vector<ZPHObserverToken> m_observers;
};
