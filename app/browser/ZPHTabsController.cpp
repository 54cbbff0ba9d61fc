#include "browser/ZPHTabsController.h"

#include "browser/ZPHBrowserTab.h"
#include "browser/ZPHBrowserViewController.h"
#include "browser/ZPHNewsItemsTab.h"
#include "browser/ZPHTabThumbnailCache.h"
#include "browser/ZPHTabThumbnailingController.h"
#include "browser/ZPHTabsControllerHost.h"
#include "common/ZPHWebLog.h"
#include "foundation/CBEntityConversion.h"
#include "foundation/CBPrefs.h"
#include "foundation/CBString.h"
#include "foundation/ZPHCoreApplicationDelegate.h"
#include "kit/ZPHPlainTextToolTip.h"
#include "platform/ZPHMainThread.h"
#include "platform/ZPHNotificationCenter.h"
#include "platform/ZPHUserDefaults.h"
#include "store/CBCoreDataUtilities.h"
#include "store/CBDataController.h"
#include "store/entities/AbstractTab.h"
#include "store/entities/CBDataModel.h"
#include "store/graph/ZPHManagedObjectContext.h"
#include "web/ZPHMacWebView.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QDir>
#include <QtCore/QTimer>
#include <QtGui/QAction>
#include <QtWidgets/QApplication>
#include <QtWidgets/QWidget>

const QString ZPHBrowserTabsDidChangeNotification = QStringLiteral("ZPHBrowserTabsDidChangeNotification");
const QString ZPHBrowserIndexOfSelectedTabDidChangeNotification =
    QStringLiteral("ZPHBrowserIndexOfSelectedTabDidChangeNotification");

namespace {

const QString kTemporarySearchResults = QStringLiteral("HTMLArchiveSearchResults.noindex");

// The address compared for "a tab shows it": without "/" at either end,
// standardised; null when it makes no address.
QString standardizedAddress(const QString& string)
{
  qsizetype start = 0;
  qsizetype end = string.size();
  while (start < end && string.at(start) == u'/') ++start;
  while (end > start && string.at(end - 1) == u'/') --end;
  const QString trimmed = string.mid(start, end - start);
  if (trimmed.isEmpty())
    return {};
  const QUrl url(trimmed);
  if (!url.isValid())
    return {};
  return url.adjusted(QUrl::NormalizePathSegments).toString(QUrl::FullyEncoded);
}

void post(const QString& name, QObject* object)
{
  ZPHNotificationCenter::defaultCenter().post(name, QVariant::fromValue(object));
}

}  // namespace

ZPHTabsController::ZPHTabsController(Environment environment, QObject* parent)
    : QAbstractListModel(parent),
      m_environment(std::move(environment)),
      m_clock(m_environment.clock != nullptr ? m_environment.clock : &ZPHClock::systemClock()),
      m_defaults(m_environment.defaults != nullptr ? m_environment.defaults : &ZPHUserDefaults::standardUserDefaults())
{
  ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate();
  if (!m_environment.store) {
    m_environment.store = []() -> ZPHPersistentStore* {
      ZPHCoreApplicationDelegate* shared = ZPHCoreApplicationDelegate::sharedDelegate();
      CBDataController* data = shared != nullptr ? shared->dataController() : nullptr;
      return data != nullptr ? data->persistentStore() : nullptr;
    };
  }
  QString folder = m_environment.thumbnailFolder;
  if (folder.isEmpty() && delegate != nullptr && !delegate->pathToCacheFolder().isEmpty())
    folder = QDir(delegate->pathToCacheFolder()).filePath(QStringLiteral("TabThumbnails.noindex"));
  m_thumbnailer = std::make_unique<ZPHTabThumbnailingController>(folder, m_clock);
  m_newsItemsTab = std::make_unique<ZPHNewsItemsTab>();
  m_tabItems = {m_newsItemsTab.get()};
}

ZPHTabsController::~ZPHTabsController()
{
  if (m_saveTabsTimer != 0)
    m_clock->cancel(m_saveTabsTimer);
  for (const std::unique_ptr<ZPHBrowserTab>& tab : m_browserTabs) tab->invalidate();
  m_tabItems.clear();
  m_browserTabs.clear();
  m_thumbnailer.reset();
  m_tabsContext.reset();
}

// ---- The model

int ZPHTabsController::rowCount(const QModelIndex& parent) const
{
  return parent.isValid() ? 0 : int(m_tabItems.size());
}

QVariant ZPHTabsController::data(const QModelIndex& index, int role) const
{
  ZPHTab* tab = index.isValid() ? tabItemAtIndex(index.row()) : nullptr;
  if (tab == nullptr)
    return {};
  switch (role) {
    case Qt::DisplayRole:
      return tab->displayTitle();
    case Qt::ToolTipRole:
      return ZPHPlainTextToolTip(tab->displayTitle());
    case TabRole:
      return QVariant::fromValue<QObject*>(tab);
    default:
      return {};
  }
}

QModelIndex ZPHTabsController::indexForTab(const ZPHTab* tab) const
{
  const qsizetype row = indexOfTabItem(tab);
  return row == NotFound ? QModelIndex() : index(int(row));
}

void ZPHTabsController::tabNeedsDisplay(ZPHTab* tab)
{
  const QModelIndex row = indexForTab(tab);
  if (row.isValid())
    Q_EMIT dataChanged(row, row);
}

// ---- Queries

ZPHTab* ZPHTabsController::tabItemAtIndex(qsizetype index) const
{
  if (index < 0 || index >= numberOfTabs()) {
    qCWarning(zphWeb) << Q_FUNC_INFO << ": Accessing invalid tab index" << index << "of" << numberOfTabs();
    return nullptr;
  }
  return m_tabItems.at(size_t(index));
}

qsizetype ZPHTabsController::indexOfTabItem(const ZPHTab* tab) const
{
  for (size_t i = 0; i < m_tabItems.size(); ++i)
    if (m_tabItems.at(i) == tab)
      return qsizetype(i);
  return NotFound;
}

ZPHBrowserTab* ZPHTabsController::browserTabAtIndex(qsizetype index) const
{
  if (index <= 0 || index >= numberOfTabs())
    return nullptr;
  return static_cast<ZPHBrowserTab*>(m_tabItems.at(size_t(index)));
}

ZPHBrowserTab* ZPHTabsController::currentBrowserTab() const { return browserTabAtIndex(m_selectedTabIndex); }

ZPHBrowserViewController* ZPHTabsController::currentBrowserViewController() const
{
  ZPHBrowserTab* tab = currentBrowserTab();
  return tab != nullptr ? tab->browserViewController() : nullptr;
}

QList<ZPHBrowserTab*> ZPHTabsController::browserTabs() const
{
  QList<ZPHBrowserTab*> tabs;
  for (qsizetype i = 1; i < numberOfTabs(); ++i) tabs.append(browserTabAtIndex(i));
  return tabs;
}

ZPHMacWebView* ZPHTabsController::webViewForTabAtIndex(qsizetype index) const
{
  ZPHBrowserTab* tab = browserTabAtIndex(index);
  Q_ASSERT_X(tab, Q_FUNC_INFO, "the index must name a browser tab");
  return tab != nullptr ? tab->webView() : nullptr;
}

qsizetype ZPHTabsController::indexForTabWithWebView(const QWidget* webView) const
{
  if (webView == nullptr)
    return NotFound;
  for (qsizetype i = 1; i < numberOfTabs(); ++i)
    if (browserTabAtIndex(i)->webView() == webView)
      return i;
  return NotFound;
}

qsizetype ZPHTabsController::indexOfTabWithURLString(const QString& urlString) const
{
  const QString wanted = standardizedAddress(urlString);
  if (wanted.isEmpty())
    return NotFound;
  qsizetype found = NotFound;
  for (qsizetype i = 1; i < numberOfTabs(); ++i) {
    const AbstractTab* stored = browserTabAtIndex(i)->storedTab();
    if (stored != nullptr && standardizedAddress(stored->url()) == wanted)
      found = i;
  }
  return found;
}

QString ZPHTabsController::urlStringForTabAtIndex(qsizetype index) const
{
  ZPHBrowserTab* tab = browserTabAtIndex(index);
  Q_ASSERT_X(tab, Q_FUNC_INFO, "the index must name a browser tab");
  return tab != nullptr ? tab->displayURL() : QString();
}

QStringList ZPHTabsController::tabURLsArray() const
{
  QStringList urls;
  for (ZPHBrowserTab* tab : browserTabs()) {
    const QString url = tab->displayURL();
    if (!url.isEmpty())
      urls.append(url);
  }
  return urls;
}

QList<ZPHTabAddress> ZPHTabsController::tabURLsAndTitlesArrayIncludingTemporaryFiles(bool keep) const
{
  QList<ZPHTabAddress> list;
  for (ZPHBrowserTab* tab : browserTabs()) {
    const QString url = tab->displayURL();
    if (url.isEmpty() || (!keep && url.contains(kTemporarySearchResults)))
      continue;
    list.append({url, tab->logicalLastGoodTitle()});
  }
  return list;
}

void ZPHTabsController::enumerateBrowserTabs(const std::function<void(ZPHBrowserTab*, qsizetype, bool*)>& block) const
{
  Q_ASSERT_X(block, Q_FUNC_INFO, "Invalid parameter not satisfying: block");
  const QList<ZPHBrowserTab*> snapshot = browserTabs();
  bool stop = false;
  for (ZPHBrowserTab* tab : snapshot) {
    const qsizetype index = indexOfTabItem(tab);
    if (index == NotFound)
      continue;
    block(tab, index, &stop);
    if (stop)
      break;
  }
}

bool ZPHTabsController::shouldShowTabBar() const
{
  const qint64 visibility = m_defaults->integerForKey(ZPHBrowserTabsVisibility);
  if (visibility == 2)
    return false;
  if (visibility != 0)
    return true;
  return numberOfTabs() > 1;
}

int ZPHTabsController::tabsViewState(ZPHUserDefaults* defaults)
{
  ZPHUserDefaults* settings = defaults != nullptr ? defaults : &ZPHUserDefaults::standardUserDefaults();
  return settings->integerForKey(ZPHBrowserTabsViewState) == 1 ? 1 : 0;
}

QWebEngineProfile* ZPHTabsController::browserProfile() const
{
  return m_environment.profile ? m_environment.profile() : nullptr;
}

QWidget* ZPHTabsController::focusWidget() const { return QApplication::focusWidget(); }

// ---- The tabs context

ZPHManagedObjectContext* ZPHTabsController::tabsManagedObjectContext()
{
  ZPH_ASSERT_MAIN_THREAD();
  if (m_tabsContext)
    return m_tabsContext.get();
  ZPHPersistentStore* store = m_environment.store ? m_environment.store() : nullptr;
  if (store == nullptr)
    return nullptr;
  // The store has one main context; the tabs' is confined to the main
  // thread all the same, and keeps no undo.
  m_tabsContext = std::make_unique<ZPHManagedObjectContext>(store, ZPHManagedObjectContext::ConfinementConcurrencyType);
  m_tabsContext->userInfo().insert(ZPHManagedObjectContextUserInfoIsTabsOnlyKey, true);
  return m_tabsContext.get();
}

void ZPHTabsController::writeListPositions()
{
  for (qsizetype i = 1; i < numberOfTabs(); ++i) {
    AbstractTab* stored = browserTabAtIndex(i)->storedTab();
    if (stored != nullptr && !stored->isDeleted() && stored->index() != int(i))
      stored->setIndex(int(i));
  }
}

void ZPHTabsController::saveContext()
{
  ZPHManagedObjectContext* context = tabsManagedObjectContext();
  if (context == nullptr)
    return;
  writeListPositions();
  if (ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate())
    delegate->saveManagedObjectContext(context);
  else
    CBSaveManagedObjectContext(context);
}

// ---- Making and deleting tabs

ZPHBrowserTab* ZPHTabsController::makeTab(AbstractTab* stored)
{
  auto tab = std::make_unique<ZPHBrowserTab>(stored, this);
  ZPHBrowserTab* made = tab.get();
  m_browserTabs.push_back(std::move(tab));
  return made;
}

ZPHBrowserTab* ZPHTabsController::addBrowserTab()
{
  ZPHManagedObjectContext* context = tabsManagedObjectContext();
  if (context == nullptr) {
    qCWarning(zphWeb) << "no store to keep a browser tab in; none is opened";
    return nullptr;
  }
  auto* stored = static_cast<AbstractTab*>(CBInsertObject(CBDataEntityNameBrowserTab, context));
  Q_ASSERT_X(stored, Q_FUNC_INFO, "a browser tab could not be inserted");
  if (stored == nullptr)
    return nullptr;
  stored->setGuid(cb_uuidString());
  const int row = int(numberOfTabs());
  beginInsertRows(QModelIndex(), row, row);
  ZPHBrowserTab* tab = makeTab(stored);
  m_tabItems.push_back(tab);
  m_thumbnailer->registerTab(tab);
  stored->setIndex(row);
  endInsertRows();
  Q_EMIT numberOfTabsChanged(numberOfTabs());
  return tab;
}

QSet<QString> ZPHTabsController::thumbnailNamesOfTabs(const ZPHBrowserTab* except) const
{
  QSet<QString> names;
  for (ZPHBrowserTab* tab : browserTabs()) {
    if (tab == except)
      continue;
    const QUrl url(tab->displayURL());
    if (url.isValid() && !url.isEmpty())
      names.insert(ZPHTabThumbnailCache::filenameForURL(url));
  }
  return names;
}

void ZPHTabsController::deleteTabAtIndex(qsizetype index)
{
  ZPHBrowserTab* tab = browserTabAtIndex(index);
  Q_ASSERT_X(tab != nullptr && index != m_selectedTabIndex, Q_FUNC_INFO,
             "only a browser tab that is not selected is deleted");
  if (tab == nullptr || index == m_selectedTabIndex)
    return;
  tab->invalidate();
  m_thumbnailer->unregisterTab(tab, thumbnailNamesOfTabs(tab));
  beginRemoveRows(QModelIndex(), int(index), int(index));
  m_tabItems.erase(m_tabItems.begin() + index);
  const qsizetype selected = m_selectedTabIndex;
  if (m_selectedTabIndex > index)
    --m_selectedTabIndex;
  endRemoveRows();
  if (m_selectedTabIndex != selected) {
    // The same tab, one place up.
    post(ZPHBrowserIndexOfSelectedTabDidChangeNotification, this);
    Q_EMIT selectedTabIndexChanged(selected, m_selectedTabIndex);
  }
  if (AbstractTab* stored = tab->storedTab(); stored != nullptr && m_tabsContext && !stored->isDeleted())
    m_tabsContext->deleteObject(stored);
  tab->forgetStoredTab();
  saveContext();
  // Its views went with invalidate(); nothing of it waits any longer.
  for (auto it = m_browserTabs.begin(); it != m_browserTabs.end(); ++it) {
    if (it->get() == tab) {
      m_browserTabs.erase(it);
      break;
    }
  }
  post(ZPHBrowserTabsDidChangeNotification, this);
  Q_EMIT numberOfTabsChanged(numberOfTabs());
  QPointer<ZPHTabsController> self(this);
  QTimer::singleShot(0, this, [self] {
    if (self)
      self->updateKeyboardShortcuts();
  });
}

// ---- Selecting

void ZPHTabsController::setSelection(qsizetype index)
{
  const qsizetype old = m_selectedTabIndex;
  m_selectedTabIndex = index;
  for (qsizetype k = 0; k < numberOfTabs(); ++k) m_tabItems.at(size_t(k))->setIsSelected(k == index);
  if (index != old) {
    post(ZPHBrowserIndexOfSelectedTabDidChangeNotification, this);
    if (old >= 0 && old < numberOfTabs())
      Q_EMIT dataChanged(this->index(int(old)), this->index(int(old)));
    Q_EMIT dataChanged(this->index(int(index)), this->index(int(index)));
    Q_EMIT selectedTabIndexChanged(old, index);
  }
}

void ZPHTabsController::selectTabAtIndex(qsizetype index)
{
  if (index == m_selectedTabIndex)
    return;
  if (index < 0 || index >= numberOfTabs()) {
    qCWarning(zphWeb) << Q_FUNC_INFO << ": Invalid tab index" << index;
    Q_ASSERT_X(false, Q_FUNC_INFO, "Invalid tab index");
    return;
  }
  if (index > 0) {
    setSelection(index);
    if (m_host)
      m_host->swapInViewForBrowserTabAtIndex(index);
    finishSwitch();
    return;
  }
  ZPHBrowserTab* current = currentBrowserTab();
  if (current != nullptr && current->isDisposable()) {
    const qsizetype disposable = m_selectedTabIndex;
    switchToNewsItemsTab();
    closeTabAtIndex(disposable);
    return;
  }
  switchToNewsItemsTab();
}

void ZPHTabsController::switchToNewsItemsTab()
{
  setSelection(0);
  if (m_host) {
    m_host->showDetailWebView();
    m_host->makeArticleListFirstResponder();
    m_host->showOrHideOverallEmptyContentsViewAsNeeded();
  }
  finishSwitch();
}

void ZPHTabsController::finishSwitch()
{
  updateTabVisibilityWithAnimation(true);
  post(ZPHBrowserTabsDidChangeNotification, this);
  if (m_host)
    m_host->configureAndNotifySharableItem();
  updateKeyboardShortcuts();
}

void ZPHTabsController::selectTabAtIndexAndMakeWebViewFirstResponder(qsizetype index)
{
  selectTabAtIndex(index);
  if (index == 0) {
    if (m_host)
      m_host->makeArticleListFirstResponder();
  } else if (ZPHBrowserViewController* browser = currentBrowserViewController()) {
    browser->makeWebViewFirstResponder();
  }
}

void ZPHTabsController::selectTabWithURLString(const QString& urlString)
{
  const qsizetype index = indexOfTabWithURLString(urlString);
  if (index != NotFound)
    selectTabAtIndexAndMakeWebViewFirstResponder(index);
}

void ZPHTabsController::selectNextTab()
{
  if (m_selectedTabIndex >= numberOfTabs() - 1) {
    selectTabAtIndex(0);
    return;
  }
  selectTabAtIndex(m_selectedTabIndex + 1);
  if (m_host)
    m_host->makeWebViewFirstResponder();
}

void ZPHTabsController::selectPreviousTab()
{
  if (m_selectedTabIndex == 0)
    selectLastTab();
  else
    selectTabAtIndex(m_selectedTabIndex - 1);
  if (m_selectedTabIndex > 0 && m_host)
    m_host->makeWebViewFirstResponder();
}

// ---- Opening

qsizetype ZPHTabsController::openURLStringInNewTab(const QString& urlString, bool selectNewTab, bool reloadIfExists)
{
  const qsizetype existing = indexOfTabWithURLString(urlString);
  if (existing != NotFound) {
    if (reloadIfExists)
      if (ZPHMacWebView* view = browserTabAtIndex(existing)->webView())
        view->reload();
    if (selectNewTab)
      selectTabWithURLString(urlString);
    return existing;
  }
  ZPHBrowserTab* tab = addBrowserTab();
  if (tab == nullptr)
    return NotFound;
  post(ZPHBrowserTabsDidChangeNotification, this);
  tab->storedTab()->setUrl(urlString);
  if (m_defaults->integerForKey(ZPHBrowserTabsVisibility) == 2)
    tab->setDisposable(true);
  saveContext();
  if (selectNewTab) {
    tab->webViewCreatedIfNeeded();
    selectLastTab();
    const ZPHManagedObjectID objectID = tab->objectID();
    QPointer<ZPHTabsController> self(this);
    QTimer::singleShot(0, this, [self, objectID, urlString] {
      if (!self)
        return;
      ZPHManagedObjectContext* context = self->tabsManagedObjectContext();
      ZPHManagedObject* stored = context != nullptr ? context->existingObjectWithID(objectID) : nullptr;
      for (ZPHBrowserTab* candidate : self->browserTabs()) {
        if (stored != nullptr && !stored->isDeleted() && candidate->storedTab() == stored) {
          self->openURLStringInTab(urlString, candidate);
          return;
        }
      }
      qCWarning(zphWeb) << Q_FUNC_INFO << ": Not opening URL in new tab, because the tab has already disappeared.";
    });
  } else {
    openURLStringInTab(urlString, tab);
    Q_EMIT backgroundTabOpened();
  }
  markTabsAsDirty();
  updateTabVisibilityWithAnimation(true);
  if (selectNewTab)
    if (ZPHBrowserViewController* browser = currentBrowserViewController())
      browser->setURLStringForBrowserTextField(urlString);
  return numberOfTabs() - 1;
}

void ZPHTabsController::openURLStringInTab(const QString& urlString, ZPHBrowserTab* tab)
{
  Q_ASSERT_X(tab, Q_FUNC_INFO, "the tab must be a browser tab");
  if (tab == nullptr || tab->storedTab() == nullptr)
    return;
  const QString decoded = CobbletonExtras::stringWithAmpersandEntitiesDecoded(urlString);
  tab->storedTab()->setUrl(decoded);
  tab->loadURLString(decoded, true);
  if (tab->initialRequestedURL().isEmpty())
    tab->setInitialRequestedURL(decoded);
  tab->setLastRequestedURL(decoded);
  tab->storedTab()->setUrl(decoded);
  markTabsAsDirty();
}

void ZPHTabsController::openEmptyPageInNewTab()
{
  ZPHBrowserTab* tab = addBrowserTab();
  if (tab == nullptr)
    return;
  saveContext();
  post(ZPHBrowserTabsDidChangeNotification, this);
  selectLastTab();
  if (ZPHBrowserViewController* browser = currentBrowserViewController())
    browser->makeAddressFieldFirstResponder();
}

ZPHBrowserTab* ZPHTabsController::openTabForNewWindow()
{
  ZPHBrowserTab* tab = addBrowserTab();
  if (tab == nullptr)
    return nullptr;
  if (m_defaults->integerForKey(ZPHBrowserTabsVisibility) == 2)
    tab->setDisposable(true);
  saveContext();
  post(ZPHBrowserTabsDidChangeNotification, this);
  tab->webViewCreatedIfNeeded();
  selectLastTab();
  markTabsAsDirty();
  updateTabVisibilityWithAnimation(true);
  return tab;
}

qsizetype ZPHTabsController::newTabWithPasteboardURLString(const QString& urlString, const QString& title,
                                                           qsizetype row)
{
  ZPHManagedObjectContext* context = tabsManagedObjectContext();
  if (context == nullptr || urlString.isEmpty())
    return NotFound;
  row = std::clamp<qsizetype>(row, 1, numberOfTabs());
  auto* stored = static_cast<AbstractTab*>(CBInsertObject(CBDataEntityNameBrowserTab, context));
  if (stored == nullptr)
    return NotFound;
  stored->setGuid(cb_uuidString());
  stored->setUrl(urlString);
  beginInsertRows(QModelIndex(), int(row), int(row));
  ZPHBrowserTab* tab = makeTab(stored);
  tab->setInitialRequestedURL(urlString);
  tab->setLastRequestedURL(urlString);
  if (!title.isEmpty())
    tab->setInitialTitle(title);
  m_tabItems.insert(m_tabItems.begin() + row, tab);
  if (m_selectedTabIndex >= row)
    ++m_selectedTabIndex;
  // A dropped tab gets its pictures like any other.
  m_thumbnailer->registerTab(tab);
  stored->setIndex(int(row));
  saveContext();
  endInsertRows();
  Q_EMIT numberOfTabsChanged(numberOfTabs());
  tab->loadURLString(urlString, true);
  selectTabAtIndex(row);
  return row;
}

// ---- Closing and moving

void ZPHTabsController::closeTab(ZPHTab* tab)
{
  ZPHTab* closing = tab != nullptr && tab->isBrowserTab() ? tab : currentTab();
  if (closing == nullptr || !closing->isBrowserTab())
    return;
  const ZPHManagedObjectID objectID = static_cast<ZPHBrowserTab*>(closing)->objectID();
  QPointer<ZPHTabsController> self(this);
  // After the menu or button that asked has finished.
  QTimer::singleShot(0, this, [self, objectID] {
    if (self)
      self->closeTabWithObjectID(objectID);
  });
}

void ZPHTabsController::closeTabWithObjectID(const ZPHManagedObjectID& objectID)
{
  for (qsizetype i = 1; i < numberOfTabs(); ++i) {
    ZPHBrowserTab* tab = browserTabAtIndex(i);
    if (tab->objectID() == objectID && tab->storedTab() != nullptr && !tab->storedTab()->isDeleted()) {
      closeTabAtIndex(i);
      return;
    }
  }
}

void ZPHTabsController::closeTabAtIndex(qsizetype index)
{
  QPointer<QWidget> focus = focusWidget();
  QPointer<ZPHBrowserTab> closing = browserTabAtIndex(index);
  Q_ASSERT_X(closing, Q_FUNC_INFO, "only a browser tab is closed");
  if (closing == nullptr)
    return;
  bool keepFocus = true;
  QWidget* currentWebView = m_host ? m_host->currentWebViewWidget() : nullptr;
  if (focus && currentWebView != nullptr && (focus == currentWebView || currentWebView->isAncestorOf(focus)))
    keepFocus = false;

  const qsizetype selected = m_selectedTabIndex;
  const qsizetype count = numberOfTabs();
  qsizetype target = 0;
  qsizetype after = 0;
  if (index == selected && m_defaults->boolForKey(ZPHReturnToNewsItemsOnCloseTab)) {
    target = 0;
    after = 0;
  } else if (index != selected) {
    target = selected;
    after = index < selected ? selected - 1 : selected;
  } else if (selected + 1 < count) {
    target = selected + 1;
    after = selected;
  } else {
    target = selected - 1;
    after = selected - 1;
  }

  if (target != 0) {
    selectTabAtIndex(target);
    const qsizetype now = indexOfTabItem(closing);
    if (now != NotFound)
      deleteTabAtIndex(now);
    setSelection(after);
    if (keepFocus && focus)
      focus->setFocus(Qt::OtherFocusReason);
    else if (after == 0 && m_host)
      m_host->makeArticleListFirstResponder();
    markTabsAsDirty();
    updateTabVisibilityWithAnimation(true);
    return;
  }
  selectTabAtIndex(0);
  const qsizetype now = closing ? indexOfTabItem(closing) : NotFound;
  if (now == NotFound)
    return;  // it went as a disposable tab
  deleteTabAtIndex(now);
  updateTabVisibilityWithAnimation(true);
  setSelection(0);
}

void ZPHTabsController::closeTabsOtherThanNewsItemsTab()
{
  selectTabAtIndex(0);
  for (ZPHBrowserTab* tab : browserTabs()) {
    const qsizetype index = indexOfTabItem(tab);
    if (index != NotFound)
      closeTabAtIndex(index);
  }
  updateTabVisibilityWithAnimation(true);
}

void ZPHTabsController::swapTabAtIndex(qsizetype from, qsizetype to)
{
  Q_ASSERT_X(from > 0 && to > 0, Q_FUNC_INFO, "the news-items tab never moves");
  if (from <= 0 || to <= 0 || from >= numberOfTabs() || to > numberOfTabs() || to == from || to == from + 1)
    return;
  ZPHTab* current = currentTab();
  beginMoveRows(QModelIndex(), int(from), int(from), QModelIndex(), int(to));
  ZPHTab* moved = m_tabItems.at(size_t(from));
  m_tabItems.erase(m_tabItems.begin() + from);
  const qsizetype place = to > from ? to - 1 : to;
  m_tabItems.insert(m_tabItems.begin() + place, moved);
  endMoveRows();
  // The same tab stays selected, at its new place.
  const qsizetype selected = m_selectedTabIndex;
  m_selectedTabIndex = indexOfTabItem(current);
  if (m_selectedTabIndex != selected) {
    post(ZPHBrowserIndexOfSelectedTabDidChangeNotification, this);
    Q_EMIT selectedTabIndexChanged(selected, m_selectedTabIndex);
  }
  // Stored at the next save.
  markTabsAsDirty();
}

// ---- The column

void ZPHTabsController::changeTabsVisibility(int mode, bool animate)
{
  m_tabsVisibility = mode;
  updateTabVisibilityWithAnimation(animate);
}

void ZPHTabsController::updateTabVisibilityWithAnimation(bool animate)
{
  if (shouldShowTabBar() != m_tabsVisible)
    toggleTabsVisible(animate);
}

void ZPHTabsController::toggleTabsVisible(bool animate)
{
  m_tabsVisible = !m_tabsVisible;
  if (m_tabsVisible)
    if (ZPHBrowserTab* current = currentBrowserTab(); current != nullptr && current->storedTab() != nullptr)
      current->setDisposable(false);
  if (m_host)
    m_host->updateTabsViewLayoutWithAnimation(animate);
  Q_EMIT tabsVisibleChanged(m_tabsVisible);
}

// ---- Storing

void ZPHTabsController::markTabsAsDirty()
{
  // With the column never shown, tabs are throw-away pages.
  if (m_defaults->integerForKey(ZPHBrowserTabsVisibility) == 2)
    return;
  m_tabsAreDirty = true;
  rescheduleSaveTimer();
}

void ZPHTabsController::rescheduleSaveTimer()
{
  ZPH_ASSERT_MAIN_THREAD();
  if (m_saveTabsTimer != 0)
    m_clock->cancel(m_saveTabsTimer);
  m_saveTabsTimer = m_clock->schedule(SaveDelay, this, [this] { saveTimerFired(); });
}

void ZPHTabsController::saveTimerFired()
{
  m_saveTabsTimer = 0;
  if (m_didRestoreTabsFromPrefs)
    saveTabsToDiskIfNeeded();
  else
    rescheduleSaveTimer();
}

void ZPHTabsController::saveTabsToDiskIfNeeded()
{
  if (!m_tabsAreDirty)
    return;
  for (ZPHBrowserTab* tab : browserTabs()) {
    AbstractTab* stored = tab->storedTab();
    if (stored == nullptr || stored->isDeleted())
      continue;
    const QString url = tab->displayURL();
    const QString address = url.isEmpty() ? tab->initialRequestedURL() : url;
    if (stored->url() != address)
      stored->setUrl(address);
    if (ZPHMacWebView* view = tab->webView()) {
      const QString title = view->displayTitle();
      if (!title.isEmpty() && stored->title() != title)
        stored->setTitle(title);
    }
  }
  saveContext();
  m_tabsAreDirty = false;
}

void ZPHTabsController::restoreTabs()
{
  ZPH_ASSERT_MAIN_THREAD();
  QList<AbstractTab*> fetched;
  if (ZPHManagedObjectContext* context = tabsManagedObjectContext()) {
    // Rows with neither an identity nor an address are of no use, and
    // throw-away tabs a quit left open are thrown away now.
    ZPHFetchRequest empty(CBDataEntityNameBrowserTab, ZPHPredicate::equal(QStringLiteral("guid"), QVariant()) &&
                                                          ZPHPredicate::equal(QStringLiteral("url"), QVariant()));
    QList<ZPHManagedObject*> useless = context->executeFetchRequest(empty);
    ZPHFetchRequest disposable(CBDataEntityNameBrowserTab,
                               ZPHPredicate::equal(QStringLiteral("disposable"), QVariant(true)));
    QSet<const ZPHManagedObject*> open;
    for (ZPHBrowserTab* tab : browserTabs()) open.insert(tab->storedTab());
    for (ZPHManagedObject* object : context->executeFetchRequest(disposable))
      if (!useless.contains(object) && !open.contains(object))
        useless.append(object);
    if (!useless.isEmpty()) {
      for (ZPHManagedObject* object : useless) context->deleteObject(object);
      saveContext();
    }
    ZPHFetchRequest all(CBDataEntityNameBrowserTab);
    all.sortDescriptors = {
        {QStringLiteral("index"), true}, {QStringLiteral("url"), true}, {QStringLiteral("guid"), true}};
    ZPHError error;
    for (ZPHManagedObject* object : context->executeFetchRequest(all, &error))
      fetched.append(static_cast<AbstractTab*>(object));
    if (!error.isNull())
      qCWarning(zphWeb).noquote() << "the stored tabs could not be read:" << error.toString();
  }

  beginResetModel();
  QHash<const AbstractTab*, ZPHBrowserTab*> existing;
  for (ZPHBrowserTab* tab : browserTabs()) existing.insert(tab->storedTab(), tab);
  m_tabItems = {m_newsItemsTab.get()};
  QList<ZPHBrowserTab*> restored;
  for (AbstractTab* stored : std::as_const(fetched)) {
    ZPHBrowserTab* tab = existing.value(stored);
    if (tab == nullptr)
      tab = makeTab(stored);
    m_tabItems.push_back(tab);
    restored.append(tab);
    const QString url = stored->url();
    if (url.isEmpty())
      continue;
    tab->setInitialRequestedURL(url);
    tab->setLastRequestedURL(url);
    QString title = stored->title();
    if (title.isEmpty())
      title = QUrl(url).host();
    if (title.isEmpty())
      title = QCoreApplication::translate("Browser", "(Not yet loaded. Select to load.)");
    tab->setInitialTitle(title);
    tab->setLoadOnSelect(true);
  }
  // Tabs of an earlier list that are no longer stored go.
  for (auto it = m_browserTabs.begin(); it != m_browserTabs.end();) {
    if (!restored.contains(it->get())) {
      (*it)->invalidate();
      it = m_browserTabs.erase(it);
    } else {
      ++it;
    }
  }
  m_selectedTabIndex = std::min(m_selectedTabIndex, numberOfTabs() - 1);
  endResetModel();
  for (ZPHBrowserTab* tab : std::as_const(restored)) m_thumbnailer->registerTab(tab);
  Q_EMIT numberOfTabsChanged(numberOfTabs());

  if (m_tabsLoaded)
    return;
  m_tabsLoaded = true;
  m_thumbnailer->cache()->startupAndCleanCacheAsynchronously(thumbnailNamesOfTabs());
  m_didRestoreTabsFromPrefs = true;
  post(ZPHBrowserTabsDidChangeNotification, this);
  m_newsItemsTab->setIsSelected(true);
  QPointer<ZPHTabsController> self(this);
  QTimer::singleShot(0, this, [self] {
    if (!self)
      return;
    self->updateTabVisibilityWithAnimation(true);
    self->m_newsItemsTab->markSelfAsNeedingRedisplay();
  });
}

// ---- Close Tab and Close Window

bool ZPHTabsController::mainWindowIsKey() const
{
  QWidget* window = m_host ? m_host->window() : nullptr;
  return window != nullptr && window->isActiveWindow();
}

void ZPHTabsController::applyCloseTabMode(bool closeTabMode)
{
  if (closeTabMode) {
    if (!m_closeWindowMenuItem)
      return;
    m_closeWindowMenuItem->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_W));
    if (m_closeTabMenuItem)
      m_closeTabMenuItem->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_W));
    return;
  }
  if (m_closeWindowMenuItem)
    m_closeWindowMenuItem->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_W));
  if (m_closeTabMenuItem)
    m_closeTabMenuItem->setShortcut(QKeySequence());
}

void ZPHTabsController::updateKeyboardShortcuts()
{
  const bool closingEnds = m_closingWindowEndsProgram && m_closingWindowEndsProgram();
  applyCloseTabMode(closingEnds || (mainWindowIsKey() && m_selectedTabIndex > 0));
}

bool ZPHTabsController::validateMenuItem(QAction* item)
{
  if (item == nullptr)
    return false;
  bool enabled = true;
  if (!isNewsItemsTabSelected()) {
    if (item == m_closeTabMenuItem)
      applyCloseTabMode(mainWindowIsKey() || (m_closingWindowEndsProgram && m_closingWindowEndsProgram()));
    else if (item == m_closeWindowMenuItem)
      enabled = mainWindowIsKey() && numberOfTabs() > 1;
  }
  item->setEnabled(enabled);
  return enabled;
}
