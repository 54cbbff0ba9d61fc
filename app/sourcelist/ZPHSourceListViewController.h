#pragma once

// Qt kind: QObject that owns widgets.

#include "kit/ZPHClock.h"
#include "platform/ZPHNotificationCenter.h"
#include "store/tree/CBTreeNode.h"
#include "store/tree/ZPHTreeNodeRepresentedObjects.h"

#include <QtCore/QDateTime>
#include <QtCore/QObject>
#include <QtCore/QPointer>
#include <QtCore/QTimeZone>
#include <QtWidgets/QMessageBox>

#include <functional>
#include <vector>

class CBFeed;
class CBFolder;
class CBGlobalFeed;
class CBPopupButton;
class QItemSelection;
class QMenu;
class QMimeData;
class QModelIndex;
class QTimer;
class QWidget;
class ZPHGlobalFavoritesGroup;
class ZPHNetworkController;
class ZPHSourceListCommands;
class ZPHSourceListDragAndDrop;
class ZPHSourceListModel;
class ZPHSourceListSelectionModel;
class ZPHSourceListTreeBuilder;
class ZPHSourceListView;

// Posted when the source list's selection really changed (not while it
// reloads); object: the outline view (QObject*), no user info. The article
// list reads the selection back from selectedOutlineItems().
extern const QString CBSourceListSelectionDidChangeNotification;  // "CBSourceListSelectionDidChangeNotification"
// Posted when a feed or folder was renamed in place; object: the source
// list view controller; userInfo "folderOrFeed" -> the feed or folder
// (ZPHManagedObject*).
extern const QString ZPHFeedOrFolderDisplayNameChangedNotification;  // "ZPHFeedOrFolderDisplayNameChangedNotification"

// The sidebar of the main window: the source list of smart feeds, the
// Favorites group, folders and feeds with their unread counts, favicons and
// error buttons, and the bar under it with the add and action buttons and
// the status area's container.
//
// It shows the shared tree builder's tree through its model, keeps the
// selection and says when it really changed, hides feeds and folders
// without unread articles while "ZPHHideFeedsWithNoUnread" is on (a
// selected feed and its folders stay until the selection leaves them; the
// list is filtered again 1.5 s after the last change), keeps Today's day
// number current across midnight, follows refreshes, favicons and
// connectivity. Its commands and menus (ZPHSourceListCommands) and its drag
// and drop (ZPHSourceListDragAndDrop) are objects of their own that it
// owns. The sidebar keeps a width of its own (MinimumSidebarWidth to
// MaximumSidebarWidth, constrainedSplitPosition()); the window that holds
// it applies that to its split view.
//
// "Row n" is the n-th row shown, counting the rows inside open groups:
// with everything open, 0 "NEWS FEED", 1 All Unread, 2 Today, 3 Bookmarks,
// 4 Favorites, 5 "ALL SITES", then folders and feeds.
//
// One per main window. Main thread only.
class ZPHSourceListViewController : public QObject {
  Q_OBJECT

public:
  // The filter waits this long after the last change.
  static constexpr qint64 FilterReloadDelay = 1500;  // ms
  // Favicons that arrive together are drawn once, this long after the last.
  static constexpr qint64 FaviconReloadDelay = 200;  // ms
  static constexpr int MinimumSidebarWidth = 130;
  static constexpr int MaximumSidebarWidth = 400;

  // The clock (the system clock when null) must outlive the controller; it
  // times the filter and favicon delays.
  explicit ZPHSourceListViewController(ZPHClock* clock = nullptr, QObject* parent = nullptr);
  ~ZPHSourceListViewController() override;

  // The sidebar; the controller owns it until a window takes it.
  QWidget* view() const { return m_view; }
  ZPHSourceListView* sourceListOutlineView() const { return m_outlineView; }
  ZPHSourceListModel* model() const { return m_model; }
  ZPHSourceListSelectionModel* selectionModel() const { return m_selectionModel; }
  // Where the status area goes.
  QWidget* statusViewContainer() const { return m_statusViewContainer; }
  CBPopupButton* contextMenuPopUpButton() const { return m_contextMenuPopUpButton; }
  CBPopupButton* addMenuPopUpButton() const { return m_addMenuPopUpButton; }
  // The add button is on while one of its menu's commands can run.
  void validateAddButton();

  // Set before completeInitialization(); not owned.
  ZPHSourceListTreeBuilder* sourceListTreeBuilder() const { return m_treeBuilder; }
  void setSourceListTreeBuilder(ZPHSourceListTreeBuilder* builder) { m_treeBuilder = builder; }
  // Whose connectivity decides which errors show (the shared one when
  // null); not owned.
  void setNetworkController(ZPHNetworkController* controller);
  // The wall clock and zone of the midnight timer (the system's when unset).
  void setNowFunction(std::function<QDateTime()> now, std::function<QTimeZone()> zone = {});

  // Once per controller: builds the rows, follows the store and the
  // settings, opens the sections and the groups stored as open.
  void completeInitialization();
  bool isInitialized() const { return m_initialized; }

  // Where a split view's divider may put the sidebar: a position strictly
  // between 208 and 272 snaps to 240; then it is kept within 130 and 400.
  static int constrainedSplitPosition(int proposed);

  // The commands and menus, and the drag and drop; owned here.
  ZPHSourceListCommands* commands() const { return m_commands; }
  ZPHSourceListDragAndDrop* dragAndDrop() const { return m_dragAndDrop; }

  void makeSourceListOutlineViewFirstResponder();
  bool selectionHidden() const { return m_selectionHidden; }
  void setSelectionHidden(bool hidden);
  bool isCurrentlyTypeSelecting() const;

  // ---- Rows
  int numberOfRows() const;
  QModelIndex indexForRow(int row) const;
  // -1 for a node without a row.
  int rowForNode(const CBTreeNode* node) const;
  CBTreeNode* nodeForRow(int row) const;
  bool isRowSelectable(int row) const;
  // The shown rows that are selected, in order.
  QList<int> selectedRows() const;

  // ---- Selection
  // The nodes of the selection as last handled, in row order.
  const CBTreeNode::List& selectedOutlineItems() const { return m_selectedOutlineItems; }
  // The node of the first selected row; null when none.
  CBTreeNode::Pointer currentTreeNode() const;
  CBTreeNode::Pointer selectedTreeNodeIfOnlyOne() const;
  CBFeed* selectedFeedIfOnlyOne() const;
  // Exactly that row; an index past the end (or negative) is the last row.
  void selectRow(qint64 row);
  void selectTreeNode(const CBTreeNode* node);
  // The next (previous) selectable row, going round at the end (start);
  // every row is looked at once at most.
  void selectNextRow();
  void selectPreviousRow();
  void scrollToSelectedRow();
  // Selects each node of the object that has a row, the last one winning;
  // scrolls to the first when asked.
  void selectRepresentedObject(ZPHRepresentedObject object, bool scrollIfNeeded);
  // Rebuilds, shows the object's first node (forced in, its folders open)
  // and selects it.
  void refreshDataCacheReloadDataAndSelectObject(ZPHRepresentedObject object, bool scrollIfNeeded);

  // What the selection holds, by kind (a feed under Favorites counts as a
  // normal feed too).
  QList<CBFeed*> zph_selectedNormalFeeds() const;
  QList<CBGlobalFeed*> zph_selectedGlobalFeeds() const;
  QList<CBFeed*> zph_selectedFavoritesGroupFeeds() const;
  ZPHGlobalFavoritesGroup* zph_feedsFromFavoritesGroupIfSelected() const;
  QList<CBTreeNodeRepresentedObject*> zph_selectedGlobalFolders() const;
  QList<CBFolder*> zph_selectedFolders() const;
  QList<ZPHRepresentedObject> zph_selectedFeedsGlobalFeedsOrFavoritesGroup() const;

  // ---- Reloading
  bool currentlyReloadingData() const { return m_currentlyReloadingData; }
  // A reload while one runs is refused (logged) and changes nothing.
  void reloadSourceListDataPreservingSelection(bool preserve);
  // Posts the selection notification when the number of selected rows
  // changed.
  void reloadDataPreservingSelectionAndNotify();
  // The tree is rebuilt first.
  void refreshDataCacheReloadDataAndPreserveCurrentSelection();
  // The same on the next turn of the event loop, once for every request
  // made until then.
  void scheduleRebuild();
  void updateDisplayForRowsThatRepresentObject(ZPHRepresentedObject object);
  void filterReload();
  // One filter reload 1.5 s after the last request.
  void scheduleFilterReload();
  bool isFilterReloadScheduled() const { return m_filterReloadTimer != 0; }
  void postSourceListSelectionDidChangeNotification();

  bool hideFeedsWithNoUnread() const { return m_hideFeedsWithNoUnread; }
  // A change reloads with the selection kept.
  void setHideFeedsWithNoUnread(bool hide);

  // ---- Sorting
  void configureForOrder(qint64 order);
  void sortByName();
  void sortByManualOrder();
  void toggleSortInsideFoldersOnly();

  // ---- The rows' buttons
  // Shows the feed's last refresh error in a window-modal box, with a
  // button per recovery option when the error can be recovered from;
  // answers the box (null when the row has no error).
  QMessageBox* sourceListCellViewDidClickErrorButton(const QModelIndex& index);
  // "Show Read": shows the read sites again.
  void sourceListGroupCellViewDidClickButton(const QModelIndex& index);

  // ---- Today across midnight
  // The next local midnight after `now` in `zone`: the start of the next
  // calendar day (its first valid time on a day that has no midnight).
  static QDateTime nextLocalMidnightAfter(const QDateTime& now, const QTimeZone& zone);
  // When the midnight timer fires next (invalid while none is armed).
  QDateTime midnightTimerFireDate() const { return m_midnightFireDate; }
  // The timer's action: redraws Today and arms the timer again.
  void significantTimeChangeOccurred();

  void updateFaviconScaleFactorIfNeeded();

  // ---- Renaming and favourites
  // Selects the feed's row under Favorites, opening Favorites; nothing when
  // the feed has no such row.
  void selectFavoriteFeedAndExpandFavoritesIfNeeded(CBFeed* feed);
  // Stores a name typed into a row (in store-queue order; an object
  // deleted meanwhile is left alone).
  void textFieldEdited(CBTreeNode* node, const QString& name);

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  void loadView();
  void registerObservers();
  void outlineViewSelectionDidChange();
  CBTreeNode::List selectedItemsInOutlineView() const;
  void storeTreeNodesRecursivelyToForceIncludedTreeNodes(CBTreeNode* node);
  void restoreSelectionToSelectedOutlineItems(const CBTreeNode::List& items);
  void expandRowsMarkedExpanded(const QModelIndex& parent);
  void selectIndexes(const QList<QModelIndex>& indexes);
  void itemExpansionChanged(const QModelIndex& index, bool expanded);
  void feedOrFolderUnreadCountDidChange();
  void faviconDidDownload();
  void internetConnectivityChanged();
  void updateHideFeedsWithNoUnreadFromDefaults();
  void makeMidnightTimer();
  void invalidateMidnightTimer();
  bool networkIsReachable() const;

  ZPHClock* m_clock;
  QPointer<QWidget> m_view;
  ZPHSourceListView* m_outlineView = nullptr;
  ZPHSourceListModel* m_model = nullptr;
  ZPHSourceListSelectionModel* m_selectionModel = nullptr;
  QWidget* m_statusViewContainer = nullptr;
  CBPopupButton* m_contextMenuPopUpButton = nullptr;
  CBPopupButton* m_addMenuPopUpButton = nullptr;
  ZPHSourceListTreeBuilder* m_treeBuilder = nullptr;
  QPointer<ZPHNetworkController> m_networkController;

  bool m_initialized = false;
  bool m_currentlyReloadingData = false;
  bool m_expandingProgrammatically = false;
  bool m_rebuildScheduled = false;
  bool m_selectionHidden = false;
  bool m_hideFeedsWithNoUnread = false;
  CBTreeNode::List m_selectedOutlineItems;
  // What the selection stands for (and whether under Favorites): the way
  // back to it when its nodes went with a reload of the account's tree.
  QList<std::pair<const void*, bool>> m_selectedIdentities;
  CBTreeNode::List m_forceIncludedTreeNodes;

  ZPHClock::TimerID m_filterReloadTimer = 0;
  ZPHClock::TimerID m_faviconReloadTimer = 0;

  std::function<QDateTime()> m_now;
  std::function<QTimeZone()> m_zone;
  QTimer* m_midnightTimer = nullptr;
  QDateTime m_midnightFireDate;

  std::vector<ZPHObserverToken> m_observers;
  ZPHSourceListCommands* m_commands = nullptr;
  ZPHSourceListDragAndDrop* m_dragAndDrop = nullptr;
};
