#include "subscriptions/ZPHAddSiteAddressSubscriptionListViewController.h"

#include "common/FRNHCGUtils.h"
#include "feeds/images/CBFaviconController.h"
#include "foundation/ZPHCoreApplicationDelegate.h"
#include "store/ZPHFeedIngestionInterface.h"
#include "store/accounts/CBDataAccount.h"
#include "store/entities/CBFeed.h"
#include "store/entities/CBFolder.h"
#include "subscriptions/ZPHAddSiteContentViewController.h"
#include "subscriptions/ZPHAddSiteSubscriptionListTableView.h"

#include <QtNetwork/QHostAddress>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QVBoxLayout>

ZPHAddSiteAddressSubscriptionListViewController::ZPHAddSiteAddressSubscriptionListViewController(QObject* parent)
    : QObject(parent)
{
  ZPHObserveFaviconChanges(
      this, [this](const ZPHNotification& notification) { faviconChanged(notification); }, m_observers);
}

ZPHAddSiteAddressSubscriptionListViewController::~ZPHAddSiteAddressSubscriptionListViewController()
{
  m_observers.clear();
  delete m_view.data();
}

QWidget* ZPHAddSiteAddressSubscriptionListViewController::view()
{
  if (m_view == nullptr) {
    auto* view = new QWidget;
    auto* layout = new QVBoxLayout(view);
    layout->setContentsMargins(0, 0, 0, 0);
    m_tableView = new ZPHAddSiteSubscriptionListTableView(view);
    m_tableView->setObjectName(QStringLiteral("foundFeeds"));
    layout->addWidget(m_tableView);
    m_view = view;
  }
  return m_view;
}

void ZPHAddSiteAddressSubscriptionListViewController::setCategoryTitle(const QString& title)
{
  m_categoryTitle = title;
  if (m_header != nullptr)
    configureHeader();
}

void ZPHAddSiteAddressSubscriptionListViewController::setAllSubscribeRequests(const ZPHSubscribeRequests& requests)
{
  ZPHSubscribeRequests copies;
  for (const std::shared_ptr<ZPHSubscribeRequest>& request : requests) {
    if (request != nullptr)
      copies.append(request->copy());
  }
  m_allSubscribeRequests = copies;
  view();
  m_alreadyAdded = alreadySubscribedFeedsWithSubscribeRequests(m_allSubscribeRequests);
  QSet<const ZPHSubscribeRequest*> checked;
  for (const std::shared_ptr<ZPHSubscribeRequest>& request : addableRequests()) checked.insert(request.get());
  setChecked(checked);
  reloadRows();
}

QList<std::shared_ptr<ZPHSubscribeRequest>> ZPHAddSiteAddressSubscriptionListViewController::addableRequests() const
{
  QList<std::shared_ptr<ZPHSubscribeRequest>> addable;
  for (const std::shared_ptr<ZPHSubscribeRequest>& request : m_allSubscribeRequests) {
    if (!m_alreadyAdded.contains(request.get()))
      addable.append(request);
  }
  return addable;
}

void ZPHAddSiteAddressSubscriptionListViewController::setChecked(const QSet<const ZPHSubscribeRequest*>& checked)
{
  // Observers hear of every change of the checked set.
  m_checked = checked;
  Q_EMIT hasValidRequestsToSubscribeChanged(hasValidRequestsToSubscribe());
}

ZPHSubscribeRequests ZPHAddSiteAddressSubscriptionListViewController::checkedRequests() const
{
  ZPHSubscribeRequests checked;
  for (const std::shared_ptr<ZPHSubscribeRequest>& request : m_allSubscribeRequests) {
    if (m_checked.contains(request.get()))
      checked.append(request);
  }
  return checked;
}

void ZPHAddSiteAddressSubscriptionListViewController::reloadRows()
{
  QList<ZPHAddSiteTableCellView*> rows;
  m_header = nullptr;
  m_requestRows.clear();
  if (isShowingHeaderRow()) {
    m_header = new ZPHAddSiteTableCellView(ZPHAddSiteTableCellView::Kind::Header);
    m_header->setDelegate(this);
    m_header->setFolderMenu(m_folderMenu);
    rows.append(m_header);
  }
  for (qsizetype i = 0; i < m_allSubscribeRequests.size(); ++i) {
    const auto kind =
        isShowingHeaderRow() ? ZPHAddSiteTableCellView::Kind::Multiple : ZPHAddSiteTableCellView::Kind::Single;
    auto* row = new ZPHAddSiteTableCellView(kind);
    row->setObjectName(QStringLiteral("request%1").arg(i));
    row->setDelegate(this);
    row->setFolderMenu(m_folderMenu);
    row->setShouldDrawBottomSeparator(true);
    m_requestRows.append(row);
    rows.append(row);
  }
  m_tableView->setRows(rows);
  if (m_header != nullptr)
    configureHeader();
  for (int i = 0; i < m_requestRows.size(); ++i) configureRow(i);
  m_tableView->setVerticalScrollBarPolicy(m_allSubscribeRequests.size() > 4 ? Qt::ScrollBarAsNeeded
                                                                            : Qt::ScrollBarAlwaysOff);
}

int ZPHAddSiteAddressSubscriptionListViewController::fittingHeight() const
{
  return m_tableView != nullptr ? m_tableView->zph_fittingHeightForMaxNumberOfRows(MaximumVisibleRows) : 0;
}

ZPHAddSiteTableCellView* ZPHAddSiteAddressSubscriptionListViewController::rowForRequestAtIndex(int index) const
{
  return index >= 0 && index < m_requestRows.size() ? m_requestRows.at(index) : nullptr;
}

ZPHAddSiteTableCellView* ZPHAddSiteAddressSubscriptionListViewController::headerRow() const { return m_header; }

void ZPHAddSiteAddressSubscriptionListViewController::configureRow(int index)
{
  ZPHAddSiteTableCellView* row = rowForRequestAtIndex(index);
  if (row == nullptr)
    return;
  const std::shared_ptr<ZPHSubscribeRequest>& request = m_allSubscribeRequests.at(index);
  const bool added = m_alreadyAdded.contains(request.get());
  ZPHFolderTarget folder;
  if (!added) {
    if (CBFolder* parent = request->parentFolder())
      folder = {request->account(), parent};
    else if (request->account() != nullptr)
      folder = {request->account(), nullptr};
    else
      folder = m_defaultFolderOrAccount;
  }
  int state = ZPHAddSiteCellStateChecked;
  if (added)
    state = ZPHAddSiteCellStateAlreadyAdded;
  else if (isShowingHeaderRow())
    state = m_checked.contains(request.get()) ? ZPHAddSiteCellStateChecked : ZPHAddSiteCellStateUnchecked;
  row->configureForTitle(request->title(), faviconForFeedURL(request->feedURL()), state, folder);
  // A row under a header: the separator but above the next header (none).
  row->setShouldDrawBottomSeparator(index + 1 < m_requestRows.size());
}

void ZPHAddSiteAddressSubscriptionListViewController::configureHeader()
{
  if (m_header == nullptr)
    return;
  const std::shared_ptr<ZPHSubscribeRequest> last =
      m_allSubscribeRequests.isEmpty() ? nullptr : m_allSubscribeRequests.constLast();
  const QImage favicon = last != nullptr ? faviconForFeedURL(last->feedURL()) : QImage();
  if (!addableRequests().isEmpty() && last != nullptr) {
    ZPHFolderTarget folder = {last->account(), last->parentFolder()};
    m_header->configureForTitle(m_categoryTitle, favicon, ZPHAddSiteCellStateHeaderOrMixed, folder);
  } else {
    m_header->configureForTitle(m_categoryTitle, favicon, ZPHAddSiteCellStateNothingToAdd, {});
  }
}

int ZPHAddSiteAddressSubscriptionListViewController::indexOfRow(const ZPHAddSiteTableCellView* cell) const
{
  for (int i = 0; i < m_requestRows.size(); ++i) {
    if (m_requestRows.at(i) == cell)
      return i;
  }
  return -1;
}

void ZPHAddSiteAddressSubscriptionListViewController::addSiteTableCellViewDidChangeCheckedState(
    ZPHAddSiteTableCellView* cell, bool checked)
{
  const int index = indexOfRow(cell);
  if (index < 0)
    return;
  const ZPHSubscribeRequest* request = m_allSubscribeRequests.at(index).get();
  Q_ASSERT(!m_alreadyAdded.contains(request));
  QSet<const ZPHSubscribeRequest*> set = m_checked;
  if (checked)
    set.insert(request);
  else
    set.remove(request);
  setChecked(set);
  configureRow(index);
}

void ZPHAddSiteAddressSubscriptionListViewController::addSiteTableCellViewDidClick(ZPHAddSiteTableCellView* cell)
{
  if (cell != m_header)
    return;
  QSet<const ZPHSubscribeRequest*> addable;
  for (const std::shared_ptr<ZPHSubscribeRequest>& request : addableRequests()) addable.insert(request.get());
  setChecked(m_checked == addable ? QSet<const ZPHSubscribeRequest*>() : addable);
  configureHeader();
  for (int i = 0; i < m_requestRows.size(); ++i) configureRow(i);
}

void ZPHAddSiteAddressSubscriptionListViewController::addSiteTableCellViewDidChooseFolderTarget(
    ZPHAddSiteTableCellView* cell, const ZPHFolderTarget& target)
{
  const auto apply = [&target](ZPHSubscribeRequest& request) {
    if (target.folder != nullptr) {
      request.setParentFolder(target.folder);
    } else {
      request.setAccount(target.account);
      request.setParentFolder(nullptr);
    }
  };
  if (cell == m_header) {
    for (const std::shared_ptr<ZPHSubscribeRequest>& request : m_allSubscribeRequests) apply(*request);
    configureHeader();
    for (int i = 0; i < m_requestRows.size(); ++i) configureRow(i);
    return;
  }
  const int index = indexOfRow(cell);
  if (index < 0)
    return;
  apply(*m_allSubscribeRequests.at(index));
  configureRow(index);
}

void ZPHAddSiteAddressSubscriptionListViewController::subscribeWithCompletionHandler(
    std::function<void(const QList<CBFeed*>& feeds)> completion)
{
  const ZPHSubscribeRequests requests = checkedRequests();
  if (requests.isEmpty() || m_subscriber == nullptr)
    return;
  m_subscriber->subscribeToSubscribeRequests(requests, std::move(completion));
}

QSet<const ZPHSubscribeRequest*>
ZPHAddSiteAddressSubscriptionListViewController::alreadySubscribedFeedsWithSubscribeRequests(
    const ZPHSubscribeRequests& requests)
{
  QSet<const ZPHSubscribeRequest*> added;
  ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate();
  ZPHManagedObjectContext* main = delegate != nullptr ? delegate->mainThreadManagedObjectContext() : nullptr;
  if (main == nullptr)
    return added;
  QStringList urls;
  for (const std::shared_ptr<ZPHSubscribeRequest>& request : requests)
    urls.append(request->feedURL().toString(QUrl::FullyEncoded));
  QSet<QUrl> stored;
  for (const CBFeed* feed : CBFeed::feedsWithURLs(urls, main)) stored.insert(feed->URL());
  for (const std::shared_ptr<ZPHSubscribeRequest>& request : requests) {
    if (stored.contains(request->feedURL()))
      added.insert(request.get());
  }
  return added;
}

QList<QUrl> ZPHAddSiteAddressSubscriptionListViewController::orderedFavIconHomePageURLsForFeedURL(const QUrl& feedURL)
{
  QList<QUrl> candidates;
  const QUrl standardized = feedURL.adjusted(QUrl::NormalizePathSegments);
  if (standardized.path().size() > 1)
    candidates.append(standardized);
  // An IP address is one host, not a row of domain labels; and the feed's own
  // host keeps its port, which a parent domain's site does not share.
  const bool isAddress = !QHostAddress(feedURL.host()).isNull();
  const QStringList labels =
      isAddress ? QStringList{feedURL.host()} : feedURL.host().split(QLatin1Char('.'), Qt::SkipEmptyParts);
  if (labels.size() > 1 || isAddress) {
    for (qsizetype i = std::max<qsizetype>(labels.size() - 2, 0); i >= 0; --i) {
      QUrl home;
      home.setScheme(feedURL.scheme());
      home.setHost(labels.mid(i).join(QLatin1Char('.')));
      if (i == 0)
        home.setPort(feedURL.port());
      home.setPath(QStringLiteral("/"));
      if (!candidates.contains(home))
        candidates.append(home);
    }
  }
  return candidates;
}

QImage ZPHAddSiteAddressSubscriptionListViewController::faviconForFeedURL(const QUrl& feedURL)
{
  CBFaviconController* favicons = CBFaviconController::sharedController();
  if (favicons != nullptr) {
    for (const QUrl& home : orderedFavIconHomePageURLsForFeedURL(feedURL)) {
      const QUrl faviconURL = favicons->updateAndReturnBestFaviconURLForHomePageURL(home);
      if (faviconURL.isEmpty())
        continue;
      const QImage image = FRNHCGUtils::imageForFeedWithHomePageURL(home, faviconURL, false);
      if (!image.isNull())
        return image;
    }
  }
  return FRNHCGUtils::imageForFeedWithHomePageURL(feedURL, QUrl(), true);
}

void ZPHAddSiteAddressSubscriptionListViewController::faviconChanged(const ZPHNotification& notification)
{
  if (m_requestRows.isEmpty())
    return;
  const QUrl home = notification.userInfo.value(CBFaviconControllerHomePageURLKey).toUrl();
  bool any = false;
  for (int i = 0; i < m_allSubscribeRequests.size(); ++i) {
    const QUrl feedURL = m_allSubscribeRequests.at(i)->feedURL();
    if (home.isEmpty() || feedURL == home || orderedFavIconHomePageURLsForFeedURL(feedURL).contains(home)) {
      configureRow(i);
      any = true;
    }
  }
  if (any && m_header != nullptr)
    configureHeader();
}
