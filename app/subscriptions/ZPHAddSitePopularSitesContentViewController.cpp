#include "subscriptions/ZPHAddSitePopularSitesContentViewController.h"

#include "common/FRNHCGUtils.h"
#include "feeds/images/CBFaviconController.h"
#include "foundation/ZPHCoreApplicationDelegate.h"
#include "kit/ZPHBottomBorderView.h"
#include "kit/ZPHNamedImage.h"
#include "store/ZPHFeedIngestionInterface.h"
#include "store/accounts/CBDataAccount.h"
#include "store/entities/CBFeed.h"
#include "subscribe/CBDefaultFeedManager.h"
#include "subscriptions/ZPHAddSiteSubscriptionListTableView.h"

#include <QtCore/QCollator>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QVBoxLayout>

int ZPHAddSitePopularSitesContentViewController::categoryCellState(int addable, int checked, int alreadyAdded)
{
  Q_UNUSED(alreadyAdded);
  if (addable <= 0)
    return ZPHAddSiteCellStateNothingToAdd;
  if (checked <= 0)
    return ZPHAddSiteCellStateUnchecked;
  if (checked >= addable)
    return ZPHAddSiteCellStateChecked;
  return ZPHAddSiteCellStateHeaderOrMixed;
}

ZPHAddSitePopularSitesContentViewController::ZPHAddSitePopularSitesContentViewController(CBDefaultFeedManager* manager,
                                                                                         QObject* parent)
    : ZPHAddSiteContentViewController(parent),
      m_manager(manager != nullptr ? manager : CBDefaultFeedManager::sharedDefaultFeedManager())
{
  m_defaultFeedEntriesByCategoryName = m_manager->defaultFeedEntriesByCategoryName();
  m_categoryNames = m_defaultFeedEntriesByCategoryName.keys();
  QCollator collator;
  collator.setCaseSensitivity(Qt::CaseInsensitive);
  std::sort(m_categoryNames.begin(), m_categoryNames.end(),
            [&collator](const QString& a, const QString& b) { return collator.compare(a, b) < 0; });

  QStringList urls;
  for (const QString& name : std::as_const(m_categoryNames)) {
    for (const CBDefaultFeedEntry& entry : m_defaultFeedEntriesByCategoryName.value(name)) {
      urls.append(key(entry));
      m_entriesByKey.insert(key(entry), entry);
    }
  }
  ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate();
  if (ZPHManagedObjectContext* main = delegate != nullptr ? delegate->mainThreadManagedObjectContext() : nullptr) {
    for (const CBFeed* feed : CBFeed::feedsWithURLs(urls, main)) {
      const QString feedKey = feed->URL().toString(QUrl::FullyEncoded);
      if (m_entriesByKey.contains(feedKey))
        m_alreadySubscribed.insert(feedKey);
    }
  }

  ZPHNotificationCenter& center = ZPHNotificationCenter::defaultCenter();
  ZPHObserveFaviconChanges(
      this, [this](const ZPHNotification& notification) { faviconChanged(notification); }, m_observers);
  m_observers.push_back(center.addObserver(
      ZPHThemeChangedNotification, QVariant(), this, [this](const ZPHNotification&) { themeChanged(); },
      ZPHNotificationCenter::Delivery::MainThread));
}

ZPHAddSitePopularSitesContentViewController::~ZPHAddSitePopularSitesContentViewController()
{
  m_observers.clear();
  delete m_view.data();
}

QString ZPHAddSitePopularSitesContentViewController::titleForToolbarItem() const { return tr("Popular Sites"); }

QImage ZPHAddSitePopularSitesContentViewController::templateImageForToolbarItem() const
{
  return ZPHNamedImage(QStringLiteral("PopularToolbarTemplate"));
}

QWidget* ZPHAddSitePopularSitesContentViewController::view()
{
  if (m_view == nullptr)
    loadView();
  return m_view;
}

void ZPHAddSitePopularSitesContentViewController::loadView()
{
  auto* root = new ZPHBottomBorderView;
  root->setObjectName(QStringLiteral("popularSitesPane"));
  m_view = root;
  auto* layout = new QVBoxLayout(root);
  layout->setContentsMargins(0, 0, 0, 1);
  m_tableView = new ZPHAddSiteSubscriptionListTableView(root);
  m_tableView->setObjectName(QStringLiteral("popularSites"));
  layout->addWidget(m_tableView);
  themeChanged();
  reloadRows();
}

void ZPHAddSitePopularSitesContentViewController::themeChanged()
{
  if (m_view == nullptr)
    return;
  m_view->setBorderColor(ZPHTheme::currentTheme()->addSiteOrFolderBorderColor());
  m_view->setBorderHeight(1.0);
  m_view->update();
}

void ZPHAddSitePopularSitesContentViewController::reloadRows()
{
  m_entryRows.clear();
  m_rowEntries.clear();
  m_categoryRows.clear();
  m_rowCategories.clear();
  const QList<ZPHFolderMenuItem> menu =
      delegate() != nullptr ? delegate()->folderMenuForAddSiteViewController(this) : QList<ZPHFolderMenuItem>();
  QList<ZPHAddSiteTableCellView*> rows;
  for (const QString& name : std::as_const(m_categoryNames)) {
    auto* category = new ZPHAddSiteTableCellView(ZPHAddSiteTableCellView::Kind::Category);
    category->setDelegate(this);
    m_categoryRows.insert(name, category);
    m_rowCategories.insert(category, name);
    rows.append(category);
    const QList<CBDefaultFeedEntry> entries = m_defaultFeedEntriesByCategoryName.value(name);
    for (qsizetype i = 0; i < entries.size(); ++i) {
      auto* row = new ZPHAddSiteTableCellView(ZPHAddSiteTableCellView::Kind::PopularSite);
      row->setDelegate(this);
      row->setFolderMenu(menu);
      row->setShouldDrawBottomSeparator(i + 1 < entries.size());
      m_entryRows.insert(key(entries.at(i)), row);
      m_rowEntries.insert(row, entries.at(i));
      rows.append(row);
    }
  }
  m_tableView->setRows(rows);
  for (const QString& name : std::as_const(m_categoryNames)) {
    configureCategoryRow(name);
    for (const CBDefaultFeedEntry& entry : m_defaultFeedEntriesByCategoryName.value(name)) configureEntryRow(entry);
  }
}

int ZPHAddSitePopularSitesContentViewController::categoryCellStateForCategoryName(const QString& name) const
{
  int addable = 0;
  int checked = 0;
  int added = 0;
  for (const CBDefaultFeedEntry& entry : m_defaultFeedEntriesByCategoryName.value(name)) {
    if (isAlreadySubscribed(entry)) {
      ++added;
      continue;
    }
    ++addable;
    if (isChecked(entry))
      ++checked;
  }
  return categoryCellState(addable, checked, added);
}

int ZPHAddSitePopularSitesContentViewController::siteCellStateForEntry(const CBDefaultFeedEntry& entry) const
{
  if (isAlreadySubscribed(entry))
    return ZPHAddSiteCellStateAlreadyAdded;
  return isChecked(entry) ? ZPHAddSiteCellStateChecked : ZPHAddSiteCellStateUnchecked;
}

QImage ZPHAddSitePopularSitesContentViewController::faviconForEntry(const CBDefaultFeedEntry& entry) const
{
  QUrl faviconURL;
  if (CBFaviconController* favicons = CBFaviconController::sharedController())
    faviconURL = favicons->updateAndReturnBestFaviconURLForHomePageURL(entry.homeURL());
  return FRNHCGUtils::imageForFeedWithHomePageURL(entry.homeURL(), faviconURL, true);
}

void ZPHAddSitePopularSitesContentViewController::configureEntryRow(const CBDefaultFeedEntry& entry)
{
  for (ZPHAddSiteTableCellView* row : m_entryRows.values(key(entry))) configureRow(row, m_rowEntries.value(row));
}

void ZPHAddSitePopularSitesContentViewController::configureCategoriesOfSite(const QString& siteKey)
{
  for (ZPHAddSiteTableCellView* row : m_entryRows.values(siteKey))
    configureCategoryRow(m_rowEntries.value(row).cateogryLocalizedName());
}

void ZPHAddSitePopularSitesContentViewController::configureRow(ZPHAddSiteTableCellView* row,
                                                               const CBDefaultFeedEntry& entry)
{
  const int state = siteCellStateForEntry(entry);
  ZPHFolderTarget folder;
  if (state != ZPHAddSiteCellStateAlreadyAdded) {
    folder = m_targetFoldersOrAccountsByDefaultFeedEntryURL.value(key(entry));
    if (!folder.isValid() && delegate() != nullptr)
      folder = delegate()->defaultFolderOrAccountForAddSiteViewController(this);
  }
  row->configureForFeedEntry(entry, faviconForEntry(entry), state, folder);
  if (m_waitingForSubscriptionToComplete)
    row->disableControls();
}

void ZPHAddSitePopularSitesContentViewController::configureCategoryRow(const QString& name)
{
  if (ZPHAddSiteTableCellView* row = rowForCategory(name))
    row->configureForCategoryName(name, categoryCellStateForCategoryName(name));
}

ZPHAddSiteTableCellView* ZPHAddSitePopularSitesContentViewController::rowForEntry(const CBDefaultFeedEntry& entry) const
{
  for (ZPHAddSiteTableCellView* row : m_entryRows.values(key(entry))) {
    if (m_rowEntries.value(row).cateogryLocalizedName() == entry.cateogryLocalizedName())
      return row;
  }
  return nullptr;
}

ZPHAddSiteTableCellView* ZPHAddSitePopularSitesContentViewController::rowForCategory(const QString& name) const
{
  return m_categoryRows.value(name);
}

void ZPHAddSitePopularSitesContentViewController::setEntryChecked(const CBDefaultFeedEntry& entry, bool checked)
{
  if (isAlreadySubscribed(entry))
    return;
  if (checked)
    m_feedsToSubscribeTo.insert(key(entry));
  else
    m_feedsToSubscribeTo.remove(key(entry));
  Q_EMIT allowsAddSitesChanged();
  configureEntryRow(entry);
  configureCategoriesOfSite(key(entry));
}

void ZPHAddSitePopularSitesContentViewController::setCategoryChecked(const QString& name, bool checked)
{
  for (const CBDefaultFeedEntry& entry : m_defaultFeedEntriesByCategoryName.value(name)) {
    if (isAlreadySubscribed(entry))
      continue;
    if (checked)
      m_feedsToSubscribeTo.insert(key(entry));
    else
      m_feedsToSubscribeTo.remove(key(entry));
    configureEntryRow(entry);
    configureCategoriesOfSite(key(entry));
  }
  Q_EMIT allowsAddSitesChanged();
  configureCategoryRow(name);
}

void ZPHAddSitePopularSitesContentViewController::setTargetForEntry(const CBDefaultFeedEntry& entry,
                                                                    const ZPHFolderTarget& target)
{
  m_targetFoldersOrAccountsByDefaultFeedEntryURL.insert(key(entry), target);
}

void ZPHAddSitePopularSitesContentViewController::addSiteTableCellViewDidChangeCheckedState(
    ZPHAddSiteTableCellView* cell, bool checked)
{
  if (m_rowCategories.contains(cell)) {
    setCategoryChecked(m_rowCategories.value(cell), checked);
    return;
  }
  if (m_rowEntries.contains(cell))
    setEntryChecked(m_rowEntries.value(cell), checked);
}

void ZPHAddSitePopularSitesContentViewController::addSiteTableCellViewDidChooseFolderTarget(
    ZPHAddSiteTableCellView* cell, const ZPHFolderTarget& target)
{
  if (m_rowEntries.contains(cell))
    setTargetForEntry(m_rowEntries.value(cell), target);
}

ZPHSubscribeRequests ZPHAddSitePopularSitesContentViewController::subscribeRequestsForCheckedEntries() const
{
  ZPHFolderTarget fallback = delegate() != nullptr ? delegate()->defaultFolderOrAccountForAddSiteViewController(
                                                         const_cast<ZPHAddSitePopularSitesContentViewController*>(this))
                                                   : ZPHFolderTarget{CBDataAccount::localAccount(), nullptr};
  ZPHSubscribeRequests requests;
  for (const QString& name : m_categoryNames) {
    for (const CBDefaultFeedEntry& entry : m_defaultFeedEntriesByCategoryName.value(name)) {
      if (!isChecked(entry))
        continue;
      ZPHFolderTarget target = m_targetFoldersOrAccountsByDefaultFeedEntryURL.value(key(entry));
      if (!target.isValid())
        target = fallback;
      CBDataAccount* account =
          target.folder != nullptr || target.account == nullptr ? CBDataAccount::localAccount() : target.account;
      requests.append(entry.subscribeRequestForAccount(account, target.folder));
    }
  }
  return requests;
}

void ZPHAddSitePopularSitesContentViewController::addSitesAction()
{
  if (!allowsAddSites() || delegate() == nullptr)
    return;
  const ZPHSubscribeRequests requests = subscribeRequestsForCheckedEntries();
  m_waitingForSubscriptionToComplete = true;
  Q_EMIT allowsAddSitesChanged();
  for (ZPHAddSiteTableCellView* row : std::as_const(m_tableView->rows())) row->disableControls();
  QPointer<ZPHAddSitePopularSitesContentViewController> self(this);
  delegate()->subscribeToSubscribeRequests(requests, [self](const QList<CBFeed*>& feeds) {
    if (self == nullptr)
      return;
    self->m_waitingForSubscriptionToComplete = false;
    Q_EMIT self->allowsAddSitesChanged();
    if (!feeds.isEmpty() && self->delegate() != nullptr) {
      self->delegate()->addSiteViewControllerDidFinishByAddingFeeds(self, feeds);
      return;
    }
    // Nothing was added: the checks stay, the rows work again.
    self->reloadRows();
  });
}

QSize ZPHAddSitePopularSitesContentViewController::contentSize()
{
  view();
  const int rows = m_tableView->zph_fittingHeightForMaxNumberOfRows(MaximumVisibleRows);
  const int list = rows > 0 ? rows - 1 : EmptyListHeight;
  // The pane's bottom border below the list.
  return {Width, list + 1};
}

void ZPHAddSitePopularSitesContentViewController::updateHeightConstraint(bool flexible)
{
  Q_UNUSED(flexible);
  if (m_view != nullptr)
    m_view->updateGeometry();
}

void ZPHAddSitePopularSitesContentViewController::viewWillMeasureWithTargetSize(const QSize&)
{
  view();
  reloadRows();
  updateHeightConstraint(false);
}

void ZPHAddSitePopularSitesContentViewController::viewWillAppear() { updateHeightConstraint(true); }

void ZPHAddSitePopularSitesContentViewController::viewDidAppear()
{
  updateHeightConstraint(true);
  for (const QString& name : std::as_const(m_categoryNames)) {
    for (const CBDefaultFeedEntry& entry : m_defaultFeedEntriesByCategoryName.value(name)) {
      if (isAlreadySubscribed(entry))
        continue;
      if (ZPHAddSiteTableCellView* row = rowForEntry(entry); row != nullptr && row->checkbox() != nullptr) {
        row->checkbox()->setFocus();
        return;
      }
    }
  }
}

void ZPHAddSitePopularSitesContentViewController::faviconChanged(const ZPHNotification& notification)
{
  if (m_view == nullptr)
    return;
  const QUrl home = notification.userInfo.value(CBFaviconControllerHomePageURLKey).toUrl();
  for (auto it = m_rowEntries.cbegin(); it != m_rowEntries.cend(); ++it) {
    if (home.isEmpty() || it.value().homeURL() == home)
      configureRow(it.key(), it.value());
  }
}
