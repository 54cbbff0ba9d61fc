#pragma once

// Qt kind: QObject that owns widgets.

#include "platform/ZPHNotificationCenter.h"
#include "subscribe/CBDefaultFeedEntry.h"
#include "subscriptions/ZPHAddSiteContentViewController.h"
#include "subscriptions/ZPHAddSiteTableCellView.h"

#include <QtCore/QHash>
#include <QtCore/QMap>
#include <QtCore/QPointer>
#include <QtCore/QSet>

class CBDefaultFeedManager;
class ZPHAddSiteSubscriptionListTableView;
class ZPHBottomBorderView;

// The second pane of the Add Site window, "Popular Sites": the catalogue of
// suggested sites by category; the user checks sites one by one or a whole
// category, picks a folder per site, and Add subscribes the checked ones (in
// catalogue order) through the window. Sites the store has are checked,
// disabled and "Already Added". The checks survive switching panes; a
// subscription in which nothing was added leaves them as they were.
//
// Main thread.
class ZPHAddSitePopularSitesContentViewController : public ZPHAddSiteContentViewController,
                                                    public ZPHAddSiteTableCellViewDelegate {
  Q_OBJECT
public:
  static constexpr int Width = 480;
  // The list is as high as its first nine rows, less one point (the last
  // row's separator meets the pane's bottom border).
  static constexpr int MaximumVisibleRows = 9;
  // The list's height without rows.
  static constexpr int EmptyListHeight = 60;

  // A category's check box from its counts: entries that can be added,
  // of those the checked ones, and the already added ones.
  static int categoryCellState(int addable, int checked, int alreadyAdded);

  // The catalogue of `manager` (the shared one when null).
  explicit ZPHAddSitePopularSitesContentViewController(CBDefaultFeedManager* manager = nullptr,
                                                       QObject* parent = nullptr);
  ~ZPHAddSitePopularSitesContentViewController() override;

  QWidget* view() override;
  QString titleForToolbarItem() const override;
  QImage templateImageForToolbarItem() const override;
  bool allowsResizing() const override { return true; }
  QSize contentSize() override;
  bool allowsAddSites() const override
  {
    return !m_feedsToSubscribeTo.isEmpty() && !m_waitingForSubscriptionToComplete;
  }
  void viewWillMeasureWithTargetSize(const QSize& size) override;
  void viewWillAppear() override;
  void viewDidAppear() override;
  void addSitesAction() override;

  // The rows: each category name followed by its entries.
  QStringList categoryNames() const { return m_categoryNames; }
  QList<CBDefaultFeedEntry> entriesOfCategory(const QString& name) const
  {
    return m_defaultFeedEntriesByCategoryName.value(name);
  }
  int categoryCellStateForCategoryName(const QString& name) const;
  // The state of an entry's row.
  int siteCellStateForEntry(const CBDefaultFeedEntry& entry) const;
  bool isChecked(const CBDefaultFeedEntry& entry) const { return m_feedsToSubscribeTo.contains(key(entry)); }
  bool isAlreadySubscribed(const CBDefaultFeedEntry& entry) const { return m_alreadySubscribed.contains(key(entry)); }
  void setEntryChecked(const CBDefaultFeedEntry& entry, bool checked);
  void setCategoryChecked(const QString& name, bool checked);
  void setTargetForEntry(const CBDefaultFeedEntry& entry, const ZPHFolderTarget& target);
  bool waitingForSubscriptionToComplete() const { return m_waitingForSubscriptionToComplete; }
  // The requests Add makes, in catalogue order.
  ZPHSubscribeRequests subscribeRequestsForCheckedEntries() const;

  // The entry's row in its category.
  ZPHAddSiteTableCellView* rowForEntry(const CBDefaultFeedEntry& entry) const;
  ZPHAddSiteTableCellView* rowForCategory(const QString& name) const;
  ZPHAddSiteSubscriptionListTableView* tableView() const { return m_tableView; }

  // ZPHAddSiteTableCellViewDelegate
  void addSiteTableCellViewDidChangeCheckedState(ZPHAddSiteTableCellView* cell, bool checked) override;
  void addSiteTableCellViewDidChooseFolderTarget(ZPHAddSiteTableCellView* cell, const ZPHFolderTarget& target) override;

private:
  static QString key(const CBDefaultFeedEntry& entry) { return entry.rssURL().toString(QUrl::FullyEncoded); }
  void loadView();
  void reloadRows();
  // Every row of the entry's site.
  void configureEntryRow(const CBDefaultFeedEntry& entry);
  void configureRow(ZPHAddSiteTableCellView* row, const CBDefaultFeedEntry& entry);
  void configureCategoriesOfSite(const QString& siteKey);
  void configureCategoryRow(const QString& name);
  void updateHeightConstraint(bool flexible);
  void faviconChanged(const ZPHNotification& notification);
  void themeChanged();
  QImage faviconForEntry(const CBDefaultFeedEntry& entry) const;

  CBDefaultFeedManager* m_manager = nullptr;
  QMap<QString, QList<CBDefaultFeedEntry>> m_defaultFeedEntriesByCategoryName;
  QStringList m_categoryNames;
  QSet<QString> m_alreadySubscribed;
  QSet<QString> m_feedsToSubscribeTo;
  QHash<QString, ZPHFolderTarget> m_targetFoldersOrAccountsByDefaultFeedEntryURL;
  bool m_waitingForSubscriptionToComplete = false;

  QPointer<ZPHBottomBorderView> m_view;
  ZPHAddSiteSubscriptionListTableView* m_tableView = nullptr;
  // A site listed in two categories has a row in each.
  QMultiHash<QString, ZPHAddSiteTableCellView*> m_entryRows;
  QHash<ZPHAddSiteTableCellView*, CBDefaultFeedEntry> m_rowEntries;
  QHash<QString, ZPHAddSiteTableCellView*> m_categoryRows;
  QHash<ZPHAddSiteTableCellView*, QString> m_rowCategories;
  QHash<QString, CBDefaultFeedEntry> m_entriesByKey;
  std::vector<ZPHObserverToken> m_observers;
};
