#pragma once

// Qt kind: QObject that owns widgets.

#include "platform/ZPHNotificationCenter.h"
#include "subscribe/ZPHSubscribeRequest.h"
#include "subscriptions/ZPHAddSiteTableCellView.h"
#include "subscriptions/ZPHModelAdditions.h"

#include <QtCore/QObject>
#include <QtCore/QPointer>
#include <QtCore/QSet>
#include <QtCore/QUrl>

#include <functional>

class CBFeed;
class ZPHAddSiteContentViewControllerDelegate;
class ZPHAddSiteSubscriptionListTableView;

// The feeds the finder found for an address, as a short list in the address
// pane: a row per feed with its check box, favicon, title and folder
// pop-up, and, for more than one feed, a header naming the site that checks
// or unchecks them all and sets one folder for all. Feeds the store has are
// checked, disabled and "Already Added"; the others start checked. The list
// is at most five rows high; it scrolls beyond.
//
// Main thread.
class ZPHAddSiteAddressSubscriptionListViewController : public QObject, public ZPHAddSiteTableCellViewDelegate {
  Q_OBJECT
public:
  static constexpr int MaximumVisibleRows = 5;

  explicit ZPHAddSiteAddressSubscriptionListViewController(QObject* parent = nullptr);
  ~ZPHAddSiteAddressSubscriptionListViewController() override;

  QWidget* view();
  ZPHAddSiteSubscriptionListTableView* tableView() const { return m_tableView; }

  // The window that subscribes (the pane's delegate).
  void setSubscriber(ZPHAddSiteContentViewControllerDelegate* subscriber) { m_subscriber = subscriber; }
  void setFolderMenu(const QList<ZPHFolderMenuItem>& menu) { m_folderMenu = menu; }
  void setDefaultFolderOrAccount(const ZPHFolderTarget& target) { m_defaultFolderOrAccount = target; }

  QString categoryTitle() const { return m_categoryTitle; }
  void setCategoryTitle(const QString& title);
  ZPHSubscribeRequests allSubscribeRequests() const { return m_allSubscribeRequests; }
  // Copies of the requests; the already added ones are found, the others
  // checked.
  void setAllSubscribeRequests(const ZPHSubscribeRequests& requests);

  bool isShowingHeaderRow() const { return m_allSubscribeRequests.size() > 1; }
  bool hasValidRequestsToSubscribe() const { return !m_checked.isEmpty(); }
  // The checked requests in list order.
  ZPHSubscribeRequests checkedRequests() const;
  bool isAlreadyAdded(const ZPHSubscribeRequest* request) const { return m_alreadyAdded.contains(request); }
  // The row of request i (under the header when it shows).
  ZPHAddSiteTableCellView* rowForRequestAtIndex(int index) const;
  ZPHAddSiteTableCellView* headerRow() const;
  // The height the list wants: at most five rows.
  int fittingHeight() const;

  // Hands the checked requests, in list order, to the window; nothing when
  // none is checked.
  void subscribeWithCompletionHandler(std::function<void(const QList<CBFeed*>& feeds)> completion);

  // The requests whose feed the store has (the main context).
  static QSet<const ZPHSubscribeRequest*> alreadySubscribedFeedsWithSubscribeRequests(
      const ZPHSubscribeRequests& requests);
  // Where a feed's favicon may come from, in order: the feed's own address
  // (when its path is longer than "/"), then the home page of each domain
  // from the shortest to the host itself.
  static QList<QUrl> orderedFavIconHomePageURLsForFeedURL(const QUrl& feedURL);
  // The favicon for a feed address (the default one when none is known).
  static QImage faviconForFeedURL(const QUrl& feedURL);

  // ZPHAddSiteTableCellViewDelegate
  void addSiteTableCellViewDidChangeCheckedState(ZPHAddSiteTableCellView* cell, bool checked) override;
  void addSiteTableCellViewDidChooseFolderTarget(ZPHAddSiteTableCellView* cell, const ZPHFolderTarget& target) override;
  void addSiteTableCellViewDidClick(ZPHAddSiteTableCellView* cell) override;

Q_SIGNALS:
  void hasValidRequestsToSubscribeChanged(bool hasValid);

private:
  void reloadRows();
  void configureRow(int index);
  void configureHeader();
  void faviconChanged(const ZPHNotification& notification);
  int indexOfRow(const ZPHAddSiteTableCellView* cell) const;
  QList<std::shared_ptr<ZPHSubscribeRequest>> addableRequests() const;
  void setChecked(const QSet<const ZPHSubscribeRequest*>& checked);

  QPointer<QWidget> m_view;
  ZPHAddSiteSubscriptionListTableView* m_tableView = nullptr;
  ZPHAddSiteTableCellView* m_header = nullptr;
  QList<ZPHAddSiteTableCellView*> m_requestRows;
  ZPHAddSiteContentViewControllerDelegate* m_subscriber = nullptr;
  QList<ZPHFolderMenuItem> m_folderMenu;
  ZPHFolderTarget m_defaultFolderOrAccount;
  QString m_categoryTitle;
  ZPHSubscribeRequests m_allSubscribeRequests;
  QSet<const ZPHSubscribeRequest*> m_checked;
  QSet<const ZPHSubscribeRequest*> m_alreadyAdded;
  std::vector<ZPHObserverToken> m_observers;
};
