#include "browser/ZPHTabsTableViewController.h"

#include "browser/ZPHBrowserContextualMenu.h"
#include "browser/ZPHBrowserTab.h"
#include "browser/ZPHNewsItemsTab.h"
#include "browser/ZPHTabsContainerView.h"
#include "browser/ZPHTabsController.h"
#include "browser/ZPHTabsTableView.h"
#include "common/CBPasteboard.h"
#include "common/ZPHAppServices.h"
#include "common/ZPHWebLog.h"
#include "foundation/CBPrefs.h"
#include "foundation/CBString.h"
#include "foundation/CBStringExtras.h"
#include "kit/ZPHWindowShouldDrawActive.h"
#include "platform/ZPHNotificationQueue.h"
#include "web/ZPHMacWebView.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QJsonArray>
#include <QtCore/QJsonDocument>
#include <QtCore/QMimeData>
#include <QtCore/QTimer>
#include <QtGui/QAction>
#include <QtGui/QGuiApplication>
#include <QtWidgets/QMenu>
#include <QtWidgets/QScrollBar>

namespace {

const QString kUpdateNewsItemThumbnailNotification = QStringLiteral("ZPHBrowserUpdateNewsItemThumbnailNotification");

QAction* addItem(QMenu* menu, const QString& title, QObject* context, std::function<void()> run)
{
  QAction* item = menu->addAction(title);
  QObject::connect(item, &QAction::triggered, context, std::move(run));
  return item;
}

}  // namespace

ZPHTabsTableViewController::ZPHTabsTableViewController(ZPHTabsController* tabsController, QObject* parent)
    : QObject(parent), m_tabsController(tabsController)
{
  Q_ASSERT_X(tabsController, Q_FUNC_INFO, "Invalid parameter not satisfying: tabsController");
}

ZPHTabsTableViewController::~ZPHTabsTableViewController()
{
  m_observers.clear();
  if (m_container && m_container->parent() == nullptr)
    delete m_container;
}

QWidget* ZPHTabsTableViewController::view() { return containerView(); }

ZPHTabsContainerView* ZPHTabsTableViewController::containerView()
{
  if (!m_container)
    loadView();
  return m_container;
}

ZPHTabsTableView* ZPHTabsTableViewController::browserTabsTable()
{
  containerView();
  return m_table;
}

void ZPHTabsTableViewController::loadView()
{
  m_table = new ZPHTabsTableView(this);
  m_table->setModel(m_tabsController);
  m_container = new ZPHTabsContainerView(m_table, m_tabsController->defaults());
  m_container->gearButton()->setPullDownMenuDelegate(this);

  ZPHNotificationCenter& center = ZPHNotificationCenter::defaultCenter();
  const auto observe = [&](const QString& name, std::function<void(const ZPHNotification&)> handler) {
    m_observers.push_back(center.addObserver(name, QVariant(), this, std::move(handler)));
  };
  observe(kUpdateNewsItemThumbnailNotification,
          [this](const ZPHNotification&) { updateNewsItemsThumbnailForcingUpdate(false); });
  observe(QStringLiteral("CBOverlayViewPopAnimationCompleteNotification"),
          [this](const ZPHNotification&) { updateNewsItemsThumbnailForcingUpdate(false); });
  observe(ZPHThemeChangedNotification,
          [this](const ZPHNotification&) { updateNewsItemsThumbnailForcingUpdate(false); });
  observe(ZPHTabsTableViewControllerTabsNeedsDisplayNotification,
          [this](const ZPHNotification& notification) { tabsNeedDisplay(notification); });
  observe(ZPHActiveTrackingWindowShouldDrawActiveChangedNotification, [this](const ZPHNotification&) { reloadData(); });
  connect(
      m_tabsController, &ZPHTabsController::selectedTabIndexChanged, this,
      [this](qsizetype oldIndex, qsizetype newIndex) { configureForSelectedTabIndex(newIndex, oldIndex != newIndex); });
}

int ZPHTabsTableViewController::selectedTabIndex() const { return int(m_tabsController->selectedTabIndex()); }

int ZPHTabsTableViewController::tabsViewState() const
{
  return ZPHTabsController::tabsViewState(m_tabsController->defaults());
}

void ZPHTabsTableViewController::reloadData()
{
  if (m_table)
    m_table->viewport()->update();
}

void ZPHTabsTableViewController::scrollTabAtIndexToVisible(qsizetype index)
{
  if (m_table && index >= 0 && index < m_tabsController->numberOfTabs())
    m_table->scrollTo(m_tabsController->index(int(index)));
}

void ZPHTabsTableViewController::configureForSelectedTabIndex(qsizetype index, bool scrollingToVisible)
{
  reloadData();
  if (scrollingToVisible)
    scrollTabAtIndexToVisible(index);
}

QString ZPHTabsTableViewController::urlStringForTabAtIndex(qsizetype index) const
{
  return m_tabsController->urlStringForTabAtIndex(index);
}

QString ZPHTabsTableViewController::titleForTabAtIndex(qsizetype index) const
{
  ZPHTab* tab = m_tabsController->tabItemAtIndex(index);
  return tab != nullptr ? tab->displayTitle() : QString();
}

void ZPHTabsTableViewController::updateNewsItemsThumbnailForcingUpdate(bool forcing)
{
  if (m_newsItemsThumbnailUpdater)
    m_newsItemsThumbnailUpdater(forcing);
  m_tabsController->tabNeedsDisplay(m_tabsController->newsItemsTab());
}

ZPHTabCell::State ZPHTabsTableViewController::cellStateForRow(int row) const
{
  ZPHTabCell::State state;
  ZPHTab* tab = row >= 0 && row < m_tabsController->numberOfTabs() ? m_tabsController->tabItemAtIndex(row) : nullptr;
  if (tab == nullptr)
    return state;
  state.tabsViewState = tabsViewState();
  state.title = tab->displayTitle();
  if (state.tabsViewState == 0)
    state.image = tab->thumbnailImage();
  state.isSelected = row == m_tabsController->selectedTabIndex();
  state.highlightedForContextualMenu = tab->highlightedForContextualMenu();
  state.hasCloseButton = tab->isBrowserTab();
  if (auto* browser = qobject_cast<ZPHBrowserTab*>(tab)) {
    state.closeButtonHighlighted = browser->closeButtonHighlighted();
    state.progress = browser->estimatedProgress();
  }
  state.windowActive =
      m_container == nullptr || m_container->window() == m_container.data() || zph_windowShouldDrawActive(m_container);
  if (row == m_dragHighlightTabIndex && m_dropHighlightTimer != nullptr && m_dropHighlightTimer->isActive()) {
    state.dragHighlight = true;
    state.dragHighlightFraction = std::clamp(m_dropHighlightStart.elapsed() / 1000.0, 0.0, 1.0);
  }
  return state;
}

void ZPHTabsTableViewController::tabsNeedDisplay(const ZPHNotification& notification)
{
  QObject* object = notification.object.value<QObject*>();
  ZPHTab* tab = object != nullptr ? qobject_cast<ZPHTab*>(object) : m_tabsController->newsItemsTab();
  if (object != nullptr && tab == nullptr) {
    qCWarning(zphWeb) << Q_FUNC_INFO << ": Tab object" << object << "doesn't conform to protocol!";
    return;
  }
  markTabAsNeedingDisplay(tab, notification.userInfo.value(ZPHShouldUpdateNewsItemsThumbnailKey, true).toBool());
}

void ZPHTabsTableViewController::markTabAsNeedingDisplay(ZPHTab* tab, bool shouldUpdateNewsItemsThumbnail)
{
  if (tab == nullptr || m_tabsController->indexOfTabItem(tab) == ZPHTabsController::NotFound)
    return;
  if (tab->isNewsItemsTab() && shouldUpdateNewsItemsThumbnail) {
    // A burst of requests makes one refresh, when the event loop is idle.
    ZPHNotificationQueue::defaultQueue().enqueueIdle({kUpdateNewsItemThumbnailNotification, QVariant(), {}});
  }
  m_tabsController->tabNeedsDisplay(tab);
}

// ---- Input

void ZPHTabsTableViewController::rowPressed(int row)
{
  if (row < 0)
    return;
  // A click moves the keyboard focus into the tab (or the article list).
  m_tabsController->selectTabAtIndexAndMakeWebViewFirstResponder(row);
}

void ZPHTabsTableViewController::closeButtonClicked(ZPHTab* tab, bool optionAlone)
{
  if (tab == nullptr || !tab->isBrowserTab())
    return;
  if (optionAlone) {
    // Every browser tab, without the warning.
    if (QAction* all = ZPHAppServices::current().commandAction(QStringLiteral("actuallyCloseAllTabs:")))
      all->trigger();
    else
      m_tabsController->closeTabsOtherThanNewsItemsTab();
    return;
  }
  m_tabsController->closeTab(tab);
}

void ZPHTabsTableViewController::contextualMenuDidGoAway()
{
  for (qsizetype i = 0; i < m_tabsController->numberOfTabs(); ++i)
    if (ZPHTab* tab = m_tabsController->tabItemAtIndex(i))
      tab->setHighlightedForContextualMenu(false);
  reloadData();
}

QMenu* ZPHTabsTableViewController::menuForRow(int row)
{
  if (row < 0 || row >= m_tabsController->numberOfTabs())
    return nullptr;
  m_indexOfTabAssociatedWithMenu = row;
  if (row == 0)
    return m_delegate != nullptr ? m_delegate->menuForNewsItemTabOfTabsTableViewController(this) : nullptr;
  QPointer<ZPHTab> tab = m_tabsController->tabItemAtIndex(row);
  if (row != m_tabsController->selectedTabIndex()) {
    tab->setHighlightedForContextualMenu(true);
    reloadData();
  }
  QPointer<ZPHTabsTableViewController> self(this);
  auto* menu = new ZPHBrowserContextualMenu(QStringLiteral("TabMenu"), [self] {
    if (self)
      self->contextualMenuDidGoAway();
  });
  // Each item acts on the tab it was made for, wherever the tab has moved.
  const auto tabItem = [&](const QString& title, void (ZPHTabsTableViewController::*act)(ZPHTab*)) {
    addItem(menu, title, this, [self, tab, act] {
      if (self && tab)
        (self.data()->*act)(tab);
    });
  };
  tabItem(QCoreApplication::translate("Browser", "Copy Link"), &ZPHTabsTableViewController::copyLink);
  tabItem(QCoreApplication::translate("Browser", "Close Tab"), &ZPHTabsTableViewController::closeTabFromContextualMenu);
  tabItem(QCoreApplication::translate("ZPHTabsTableViewController", "Open in Browser"),
          &ZPHTabsTableViewController::openInDefaultBrowserFromContextualMenu);
  tabItem(QCoreApplication::translate("Browser", "Reload Page"), &ZPHTabsTableViewController::reloadFromContextualMenu);
  menu->addSeparator();
  addItem(menu, QCoreApplication::translate("Browser", "Open All Tabs in Browser"), this, [self] {
    if (self)
      self->openAllTabsInDefaultBrowser();
  });
  const QString address = urlStringForTabAtIndex(row);
  const QUrl url(address);
  const ZPHTabsController::ShareMenuFiller& filler = m_tabsController->shareMenuFiller();
  if (!address.isEmpty() && url.isValid() && filler) {
    auto* share = new QMenu(QCoreApplication::translate("ZPHTabsTableViewController", "Share"), menu);
    if (filler(share, url, titleForTabAtIndex(row))) {
      menu->addSeparator();
      menu->addMenu(share);
    } else {
      delete share;
    }
  }
  return menu;
}

QMenu* ZPHTabsTableViewController::menuForPopupButton(CBPopupButton* button)
{
  Q_UNUSED(button);
  QMenu* menu = menuForRow(selectedTabIndex());
  if (menu != nullptr)
    menu->setAttribute(Qt::WA_DeleteOnClose);
  return menu;
}

QRect ZPHTabsTableViewController::pluginCommandPopoverPositioningRect() const
{
  if (m_table == nullptr || m_indexOfTabAssociatedWithMenu < 0 ||
      m_indexOfTabAssociatedWithMenu >= m_tabsController->numberOfTabs())
    return {};
  QRect rect = m_table->visualRect(m_tabsController->index(m_indexOfTabAssociatedWithMenu));
  rect.setWidth(rect.width() / 4);
  return rect;
}

// ---- Actions

void ZPHTabsTableViewController::copyLink(ZPHTab* tab)
{
  if (auto* browser = qobject_cast<ZPHBrowserTab*>(tab))
    CBCopyURLStringToPasteboard(browser->displayURL());
}

void ZPHTabsTableViewController::closeTabFromContextualMenu(ZPHTab* tab)
{
  const qsizetype index = m_tabsController->indexOfTabItem(tab);
  if (index != ZPHTabsController::NotFound && index > 0)
    m_tabsController->closeTabAtIndex(index);
}

void ZPHTabsTableViewController::openInExternalBrowser(const QString& urlString)
{
  const QUrl url(urlString);
  if (urlString.isEmpty() || !url.isValid())
    return;
  ZPHAppServices::current().openLink(url, ZPHAppServices::LinkPlace::ExternalBrowser);
}

void ZPHTabsTableViewController::openInDefaultBrowserFromContextualMenu(ZPHTab* tab)
{
  Q_ASSERT_X(tab && tab->isBrowserTab(), Q_FUNC_INFO, "a browser tab opens in the browser");
  if (auto* browser = qobject_cast<ZPHBrowserTab*>(tab))
    openInExternalBrowser(browser->displayURL());
}

void ZPHTabsTableViewController::reloadFromContextualMenu(ZPHTab* tab)
{
  auto* browser = qobject_cast<ZPHBrowserTab*>(tab);
  Q_ASSERT_X(browser, Q_FUNC_INFO, "a browser tab reloads");
  if (browser != nullptr && browser->webView() != nullptr)
    browser->webView()->reload();
}

void ZPHTabsTableViewController::openAllTabsInDefaultBrowser()
{
  for (ZPHBrowserTab* tab : m_tabsController->browserTabs()) openInExternalBrowser(tab->displayURL());
}

void ZPHTabsTableViewController::openTabInDefaultBrowser(int row)
{
  if (row < 0 || row >= m_tabsController->numberOfTabs())
    return;
  if (row == 0) {
    if (m_delegate != nullptr)
      m_delegate->tabsTableViewDidReceiveDoubleClickOnNewsItemTab(this);
    return;
  }
  openInExternalBrowser(urlStringForTabAtIndex(row));
}

// ---- Drags and drops

QString ZPHTabsTableViewController::urlStringFromMimeData(const QMimeData* data, QString* title)
{
  if (data == nullptr)
    return {};
  QString string;
  QString dropTitle;
  if (data->hasFormat(WebURLsWithTitlesPboardType)) {
    const QJsonArray lists = QJsonDocument::fromJson(data->data(WebURLsWithTitlesPboardType)).array();
    string = lists.at(0).toArray().at(0).toString();
    dropTitle = lists.at(1).toArray().at(0).toString();
  }
  if (string.isEmpty() && data->hasUrls() && !data->urls().isEmpty())
    string = data->urls().constFirst().toString(QUrl::FullyEncoded);
  if (string.isEmpty() && data->hasText())
    string = data->text().trimmed();
  if (string.isEmpty())
    return {};
  const QString normalized = CBURLWithFeedURL(string);
  if (normalized.isEmpty() || normalized.contains(QLatin1Char(' ')))
    return {};
  const QString lower = normalized.toLower();
  if (!lower.startsWith(QLatin1String("http://")) && !lower.startsWith(QLatin1String("https://")) &&
      !lower.startsWith(QLatin1String("file://")))
    return {};
  if (title != nullptr)
    *title = dropTitle;
  return normalized;
}

bool ZPHTabsTableViewController::canDragRow(int row) const { return row > 0 && row < m_tabsController->numberOfTabs(); }

bool ZPHTabsTableViewController::acceptDrop(const QMimeData* data, int draggedRow, int row)
{
  if (row < 1)
    return false;
  bool done = false;
  int landed = -1;
  if (draggedRow != 0) {
    if (draggedRow > 0 && draggedRow < m_tabsController->numberOfTabs()) {
      ZPHTab* moved = m_tabsController->tabItemAtIndex(draggedRow);
      m_tabsController->swapTabAtIndex(draggedRow, row);
      landed = int(m_tabsController->indexOfTabItem(moved));
      done = true;
    }
  } else {
    QString title;
    const QString address = urlStringFromMimeData(data, &title);
    if (!address.isEmpty()) {
      const qsizetype made = m_tabsController->newTabWithPasteboardURLString(address, title, row);
      done = made != ZPHTabsController::NotFound;
      landed = int(made);
    }
  }
  reloadData();
  if (!done)
    return false;
  m_tabsController->markTabsAsDirty();
  startDropHighlight(landed);
  ZPHNotificationCenter::defaultCenter().post(ZPHBrowserTabsDidChangeNotification, QVariant::fromValue<QObject*>(this));
  return true;
}

void ZPHTabsTableViewController::startDropHighlight(int row)
{
  m_dragHighlightTabIndex = row;
  if (m_dropHighlightTimer == nullptr) {
    m_dropHighlightTimer = new QTimer(this);
    m_dropHighlightTimer->setInterval(1000 / 30);
    connect(m_dropHighlightTimer, &QTimer::timeout, this, &ZPHTabsTableViewController::dropHighlightTick);
  }
  m_dropHighlightStart.start();
  m_dropHighlightTimer->start();
}

void ZPHTabsTableViewController::dropHighlightTick()
{
  if (m_dropHighlightStart.elapsed() > DropHighlightDuration || m_dragHighlightTabIndex <= 0 ||
      m_dragHighlightTabIndex >= m_tabsController->numberOfTabs()) {
    m_dragHighlightTabIndex = -1;
    m_dropHighlightTimer->stop();
  }
  reloadData();
}
