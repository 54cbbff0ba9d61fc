#include "mainwindow/ZPHContentPaneController.h"

#include "articlelist/ZPHArticleListDelegate.h"
#include "articlelist/ZPHReadingLayoutViewController.h"
#include "articlelist/ZPHSearchWindowController.h"
#include "articleview/ZPHArticleDetailPane.h"
#include "browser/ZPHBrowserContentView.h"
#include "browser/ZPHBrowserPaneView.h"
#include "browser/ZPHBrowserTab.h"
#include "browser/ZPHBrowserViewController.h"
#include "browser/ZPHNewsItemsTab.h"
#include "browser/ZPHTabCell.h"
#include "browser/ZPHTabThumbnailingController.h"
#include "browser/ZPHTabsContainerView.h"
#include "browser/ZPHTabsController.h"
#include "common/CBPasteboard.h"
#include "common/ZPHAppServices.h"
#include "common/ZPHApplicationNotifications.h"
#include "foundation/CBMimeTypes.h"
#include "foundation/CBPrefs.h"
#include "foundation/ZPHCoreApplicationDelegate.h"
#include "kit/ZPHWindowShouldDrawActive.h"
#include "platform/ZPHMainThread.h"
#include "platform/ZPHOperation.h"
#include "platform/ZPHOperationQueue.h"
#include "platform/ZPHUserDefaults.h"
#include "sharing/CBSharableItem.h"
#include "store/entities/CBDataArticle.h"
#include "themes/ZPHTheme.h"
#include "web/ZPHExternalPagesProfile.h"
#include "web/ZPHMacWebView.h"

#include <QtCore/QCoreApplication>
#include <QtWidgets/QMenu>
#include <QtWidgets/QStackedWidget>

ZPHContentPaneController::ZPHContentPaneController(ZPHArticleListDelegate* list, ZPHClock* clock, QObject* parent)
    : QObject(parent), m_list(list), m_clock(clock)
{
  Q_ASSERT_X(list, Q_FUNC_INFO, "the content pane shows an article list");
  // The list tells what changed; the pane redraws the news-items tab and
  // announces what the window presents.
  const auto redisplayNewsItemsTab = [this] {
    if (m_tabsController)
      m_tabsController->newsItemsTab()->markSelfAsNeedingRedisplay();
  };
  connect(list, &ZPHArticleListDelegate::articlesChanged, this, redisplayNewsItemsTab);
  connect(list, &ZPHArticleListDelegate::selectedArticlesChanged, this, redisplayNewsItemsTab);
  connect(list, &ZPHArticleListDelegate::presentedArticleChanged, this,
          &ZPHContentPaneController::configureAndNotifySharableItem);
  connect(list, &ZPHArticleListDelegate::layoutSelectionChanged, this, &ZPHContentPaneController::updateStatusBarURL);
  connect(list, &ZPHArticleListDelegate::articleListShowRequested, this, &ZPHContentPaneController::showArticleList);

  ZPHNotificationCenter& center = ZPHNotificationCenter::defaultCenter();
  using D = ZPHNotificationCenter::Delivery;
  const auto observe = [&](const QString& name, std::function<void(const ZPHNotification&)> handler) {
    m_observers.push_back(center.addObserver(name, QVariant(), this, std::move(handler), D::MainThread));
  };
  // The tab cells' colours, and a new picture of the news items (the list
  // recolours itself first: it observes before the pane is made).
  observe(ZPHThemeChangedNotification, [this](const ZPHNotification&) {
    ZPHTabCell::resetForThemeChange();
    updateNewsItemsThumbnailForcingUpdate(true);
  });
  observe(ZPHActiveTrackingWindowShouldDrawActiveChangedNotification,
          [this](const ZPHNotification&) { updateNewsItemsThumbnailForcingUpdate(true); });
  // A page's change re-announces what the tab shares.
  observe(ZPHWebViewDidUpdateNotification, [this](const ZPHNotification&) {
    if (m_tabsController && !m_tabsController->isNewsItemsTabSelected())
      configureAndNotifySharableItem();
  });
}

ZPHContentPaneController::~ZPHContentPaneController()
{
  m_observers.clear();
  // The column, then the tabs with their views, before the web profile
  // they use.
  m_tabsTableViewController.reset();
  if (m_tabsController)
    m_tabsController->setHost(nullptr);
  m_tabsController.reset();
  if (m_tabsThumbnailResizingOperationQueue)
    m_tabsThumbnailResizingOperationQueue->waitUntilAllOperationsAreFinished();
  if (m_browserPaneView && m_browserPaneView->parent() == nullptr) {
    // The list's view is the list's to delete.
    if (m_list && m_list->contentView() != nullptr && m_paneStack->indexOf(m_list->contentView()) >= 0)
      m_list->contentView()->setParent(nullptr);
    delete m_browserPaneView;
  }
}

void ZPHContentPaneController::setUp()
{
  if (m_setUp || !m_list)
    return;
  m_setUp = true;
  // The pane holds the news-items tab's view or a tab's, with the tabs
  // column beside it.
  m_browserPaneView = new ZPHBrowserPaneView;
  m_paneStack = new QStackedWidget;
  m_paneStack->addWidget(newsItemsView());
  m_browserPaneView->setContentView(m_paneStack);
  // The column, then the stored tabs.
  setupTabsTableView();
  ZPHUserDefaults::standardUserDefaults().observe(ZPHBrowserTabsVisibility, this, [this](const QVariant&) {
    if (m_tabsController)
      m_tabsController->updateTabVisibilityWithAnimation(true);
  });
  m_tabsController->restoreTabs();
}

QWidget* ZPHContentPaneController::contentView() const { return m_browserPaneView; }

void ZPHContentPaneController::showArticleList(bool focusingSearchField)
{
  if (!m_tabsController)
    return;
  // Search results bring the news items back only from a browser tab.
  if (focusingSearchField && m_tabsController->isNewsItemsTabSelected())
    return;
  m_tabsController->selectNewsItemsTab();
  if (focusingSearchField && m_list && m_list->searchWindowController())
    m_list->searchWindowController()->makeSearchFieldFirstResponderAndSetInsertionPointToEnd();
}

// ----------------------------------------------------------- content pane

ZPHExternalPagesProfile* ZPHContentPaneController::webPreferences()
{
  if (!m_webPreferences) {
    ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate();
    // Without the application's folders the pages are kept off the record.
    m_webPreferences = std::make_unique<ZPHExternalPagesProfile>(delegate ? delegate->pathToDataFolder() : QString(),
                                                                 delegate ? delegate->pathToCacheFolder() : QString());
  }
  return m_webPreferences.get();
}

ZPHMacWebView* ZPHContentPaneController::detailViewWebView() const
{
  ZPHReadingLayoutViewController* layout = m_list ? m_list->currentLayoutViewController() : nullptr;
  ZPHArticleDetailPane* pane = layout ? layout->detailViewController() : nullptr;
  return pane ? pane->webView() : nullptr;
}

bool ZPHContentPaneController::currentDetailViewSupportsTextSize() const
{
  ZPHReadingLayoutViewController* layout = m_list ? m_list->currentLayoutViewController() : nullptr;
  return layout && layout->supportsTextSize();
}

bool ZPHContentPaneController::currentDetailViewSupportsMargins() const
{
  ZPHReadingLayoutViewController* layout = m_list ? m_list->currentLayoutViewController() : nullptr;
  return layout && layout->supportsMargins();
}

bool ZPHContentPaneController::webviewCanScroll() const
{
  const ZPHMacWebView* view = currentWebView();
  return view && view->zph_canScrollDown();
}

void ZPHContentPaneController::scrollWebviewDown()
{
  if (ZPHMacWebView* view = currentWebView())
    view->zph_scrollDown();
}

bool ZPHContentPaneController::webviewCanScrollUp() const
{
  const ZPHMacWebView* view = currentWebView();
  return view && view->zph_canScrollUp();
}

void ZPHContentPaneController::scrollWebviewUp()
{
  if (ZPHMacWebView* view = currentWebView())
    view->zph_scrollUp();
}

void ZPHContentPaneController::updateStatusBarURL()
{
  QVariantMap userInfo;
  const QList<CBDataArticle*> selected = m_list ? m_list->selectedArticles() : QList<CBDataArticle*>();
  if (selected.size() == 1 && ZPHManagedObject::isLive(selected.first())) {
    const QString link = selected.first()->bestLink();
    if (!link.isEmpty())
      userInfo.insert(CBURLKey, link);
  }
  QWidget* view = detailViewWebView();
  if (!view && m_list && m_list->currentLayoutViewController())
    view = m_list->currentLayoutViewController()->detailView();
  if (view)
    userInfo.insert(ZPHURLNotificationViewKey, QVariant::fromValue<QObject*>(view));
  ZPHNotificationCenter::defaultCenter().post(ZPHSelectedURLDidUpdateNotification, QVariant::fromValue<QObject*>(this),
                                              userInfo);
}

void ZPHContentPaneController::configureAndNotifySharableItem()
{
  QVariantMap userInfo;
  userInfo.insert(ZPHSharableItemKey, QVariant());
  if (ZPHBrowserTab* tab = m_tabsController ? m_tabsController->currentBrowserTab() : nullptr) {
    // A browser tab: its page, unless it has no address yet.
    const QString address = tab->displayURL();
    if (!address.isEmpty() && !address.contains(QLatin1String("about:blank"), Qt::CaseInsensitive))
      userInfo.insert(ZPHSharableItemKey, QVariant::fromValue(CBSharableItem::sharableItemWithURL(
                                              QUrl(address), QUrl(), tab->displayTitle())));
  } else if (CBDataArticle* article = m_list ? m_list->selectedArticle() : nullptr; ZPHManagedObject::isLive(article)) {
    // The news-items tab: the current article.
    userInfo.insert(ZPHSharableItemKey, QVariant::fromValue(CBSharableItem::sharableItemWithArticle(article)));
  }
  ZPHNotificationCenter::defaultCenter().post(ZPHPresentedSharableItemDidChangeNotification,
                                              QVariant::fromValue<QObject*>(this), userInfo);
}

// ----------------------------------------------------------- browser tabs

void ZPHContentPaneController::setupTabsTableView()
{
  Q_ASSERT_X(!m_tabsTableViewController, Q_FUNC_INFO, "the tabs list is set up once");
  ZPHTabsController::Environment environment;
  environment.clock = m_clock;
  environment.profile = [this] { return webPreferences()->profile(); };
  m_tabsController = std::make_unique<ZPHTabsController>(environment);
  m_tabsController->setHost(this);
  m_tabsController->newsItemsTab()->setThumbnailProvider([this] { return m_newsItemsThumbnailImage; });
  connect(m_tabsController.get(), &ZPHTabsController::selectedTabIndexChanged, this,
          [this](qsizetype oldIndex, qsizetype newIndex) {
            if ((oldIndex == 0) != (newIndex == 0))
              Q_EMIT currentWebViewIsDetailViewChanged(newIndex == 0);
          });
  m_tabsThumbnailResizingOperationQueue = std::make_unique<ZPHOperationQueue>();
  m_tabsThumbnailResizingOperationQueue->setMaxConcurrentOperationCount(1);

  m_tabsTableViewController = std::make_unique<ZPHTabsTableViewController>(m_tabsController.get());
  m_tabsTableViewController->setDelegate(this);
  m_tabsTableViewController->setNewsItemsThumbnailUpdater(
      [this](bool forcing) { updateNewsItemsThumbnailForcingUpdate(forcing); });
  m_browserPaneView->setTabsColumn(m_tabsTableViewController->view(), ZPHTabsContainerView::Width);
  connect(m_browserPaneView, &ZPHBrowserPaneView::tabsWidthChanged, this,
          [this](int width) { Q_EMIT tabsViewWidthChanged(width); });
  // A change asked for while the column slid comes now.
  connect(m_browserPaneView, &ZPHBrowserPaneView::animationFinished, this, [this] {
    if (m_tabsController && m_browserPaneView->tabsShown() != m_tabsController->tabsVisible())
      updateTabsViewLayoutWithAnimation(false);
  });
  updateTabsViewLayoutWithAnimation(false);
}

ZPHBrowserPaneView* ZPHContentPaneController::browserPaneView() const { return m_browserPaneView; }

QWidget* ZPHContentPaneController::newsItemsView() const { return m_list ? m_list->contentView() : nullptr; }

ZPHBrowserViewController* ZPHContentPaneController::currentBrowserViewController() const
{
  return m_tabsController && !m_tabsController->isNewsItemsTabSelected() ? m_currentBrowserViewController.data()
                                                                         : nullptr;
}

ZPHMacWebView* ZPHContentPaneController::currentWebView() const
{
  if (ZPHBrowserViewController* browser = currentBrowserViewController())
    return browser->webView();
  return detailViewWebView();
}

QWidget* ZPHContentPaneController::currentWebViewWidget() const { return currentWebView(); }

bool ZPHContentPaneController::currentWebViewIsDetailView() const { return currentBrowserViewController() == nullptr; }

bool ZPHContentPaneController::currentDetailViewIsATab() const
{
  return m_tabsController && !m_tabsController->isNewsItemsTabSelected();
}

bool ZPHContentPaneController::animatingTabs() const { return m_browserPaneView && m_browserPaneView->animating(); }

QWidget* ZPHContentPaneController::window() const { return m_browserPaneView ? m_browserPaneView->window() : nullptr; }

QRect ZPHContentPaneController::webViewRect() const
{
  ZPHBrowserViewController* browser = currentBrowserViewController();
  return browser != nullptr ? browser->webViewRect() : QRect();
}

void ZPHContentPaneController::showDetailWebView()
{
  QWidget* newsItems = newsItemsView();
  if (!m_paneStack || newsItems == nullptr || m_paneStack->currentWidget() == newsItems)
    return;
  if (m_currentBrowserViewController && m_currentBrowserViewController->browserTab())
    m_tabsController->thumbnailingController()->invalidateThumbnailForTab(m_currentBrowserViewController->browserTab());
  m_currentBrowserViewController = nullptr;
  m_paneStack->setCurrentWidget(newsItems);
  m_list->completeLayoutSwitchWithSelection(m_list->layoutSwapSelectedArticleIndex());
}

void ZPHContentPaneController::makeArticleListFirstResponder()
{
  if (m_list)
    m_list->makeArticleListFirstResponder();
}

void ZPHContentPaneController::showOrHideOverallEmptyContentsViewAsNeeded()
{
  if (m_list)
    m_list->showOrHideOverallEmptyContentsViewAsNeeded();
}

void ZPHContentPaneController::swapInViewForBrowserTabAtIndex(qsizetype index)
{
  auto* tab = qobject_cast<ZPHBrowserTab*>(m_tabsController->tabItemAtIndex(index));
  Q_ASSERT_X(tab, Q_FUNC_INFO, "the item must be a browser tab");
  ZPHBrowserViewController* browser = tab != nullptr ? tab->browserViewControllerCreatingIfNeeded() : nullptr;
  if (browser == nullptr)
    return;
  if (m_currentBrowserViewController && m_currentBrowserViewController != browser &&
      m_currentBrowserViewController->browserTab())
    m_tabsController->thumbnailingController()->invalidateThumbnailForTab(m_currentBrowserViewController->browserTab());
  m_currentBrowserViewController = browser;
  QWidget* view = browser->contentView();
  if (m_paneStack->currentWidget() == view)
    return;
  if (m_paneStack->indexOf(view) < 0)
    m_paneStack->addWidget(view);
  m_paneStack->setCurrentWidget(view);
  browser->mountWebView();
  browser->makeWebViewFirstResponder();
  tab->doLoadOnSelectIfNeeded();
  m_tabsController->thumbnailingController()->invalidateThumbnailForTab(tab);
  ZPHNotificationCenter::defaultCenter().post(QStringLiteral("ZPHBrowserWebPagesDidBecomeActiveNotification"),
                                              QVariant::fromValue<QObject*>(this));
}

void ZPHContentPaneController::makeWebViewFirstResponder()
{
  if (m_tabsController && m_tabsController->isNewsItemsTabSelected())
    return;
  if (ZPHMacWebView* view = currentWebView())
    view->setFocus(Qt::OtherFocusReason);
}

void ZPHContentPaneController::updateTabsViewLayoutWithAnimation(bool animate)
{
  if (!m_browserPaneView || !m_tabsController || animatingTabs())
    return;
  m_browserPaneView->setTabsShown(m_tabsController->tabsVisible(), animate);
}

void ZPHContentPaneController::updateNewsItemsThumbnailForcingUpdate(bool forcing)
{
  ZPHReadingLayoutViewController* layout = m_list ? m_list->currentLayoutViewController() : nullptr;
  if (!m_tabsController || layout == nullptr || m_thumbnailPending)
    return;
  if (!m_tabsController->isNewsItemsTabSelected() && !forcing)
    return;
  if (layout->awaitingMainFrameLoadingComplete())
    return;
  QWidget* view = newsItemsView();
  // Only what is on screen can be pictured.
  if (view == nullptr || !view->isVisible() || view->width() <= 0 || view->height() <= 0)
    return;
  const QImage picture = view->grab().toImage();
  if (picture.isNull())
    return;
  m_thumbnailPending = true;
  QPointer<ZPHContentPaneController> self(this);
  m_tabsThumbnailResizingOperationQueue->addOperation(std::make_shared<ZPHBlockOperation>([self, picture] {
    const QImage scaled =
        picture.scaled(ZPHTabThumbnailingController::ThumbnailWidth, ZPHTabThumbnailingController::ThumbnailHeight,
                       Qt::KeepAspectRatio, Qt::SmoothTransformation);
    ZPHMainThread::async([self, scaled] {
      if (!self)
        return;
      self->m_thumbnailPending = false;
      self->m_newsItemsThumbnailImage = scaled;
      if (self->m_tabsController)
        self->m_tabsController->newsItemsTab()->markSelfAsNeedingRedisplay(false);
    });
  }));
}

QMenu* ZPHContentPaneController::menuForNewsItemTabOfTabsTableViewController(ZPHTabsTableViewController* controller)
{
  Q_UNUSED(controller);
  auto* menu = new QMenu;
  CBDataArticle* article = m_list ? m_list->selectedArticle() : nullptr;
  const QString link = ZPHManagedObject::isLive(article) ? article->bestLink() : QString();
  QAction* copy = menu->addAction(QCoreApplication::translate("Browser", "Copy Article Link"));
  copy->setEnabled(!link.isEmpty());
  connect(copy, &QAction::triggered, this, [link] { CBCopyURLStringToPasteboard(link); });
  menu->addAction(QCoreApplication::translate("Browser", "Close Tab"))->setEnabled(false);
  QAction* open = menu->addAction(tr("Open in Browser"));
  open->setEnabled(!link.isEmpty());
  connect(open, &QAction::triggered, this, [this] { tabsTableViewDidReceiveDoubleClickOnNewsItemTab(nullptr); });
  menu->addAction(QCoreApplication::translate("Browser", "Reload Page"))->setEnabled(false);
  return menu;
}

void ZPHContentPaneController::tabsTableViewDidReceiveDoubleClickOnNewsItemTab(ZPHTabsTableViewController* controller)
{
  Q_UNUSED(controller);
  CBDataArticle* article = m_list ? m_list->selectedArticle() : nullptr;
  if (!ZPHManagedObject::isLive(article) || !m_list->currentLayoutViewController())
    return;
  const QString link = article->bestLink();
  const QUrl url(link);
  if (!link.isEmpty() && url.isValid())
    ZPHAppServices::current().openLink(url, ZPHAppServices::LinkPlace::ExternalBrowser);
}
