#include "mainwindow/ZPHMainWindowController.h"

#include "articlelist/ZPHArticleListDelegate.h"
#include "articlelist/ZPHEmptyContentsViewController.h"
#include "articlelist/ZPHReadingLayoutViewController.h"
#include "articlelist/ZPHSearchField.h"
#include "articlelist/ZPHSearchWindowController.h"
#include "articleview/ZPHArticleDetailPane.h"
#include "articleview/ZPHStyleSheetController.h"
#include "articleview/ZPHWebArticleDetailPane.h"
#include "browser/ZPHBrowserContentView.h"
#include "browser/ZPHBrowserViewController.h"
#include "browser/ZPHTabIndicatorWindowController.h"
#include "browser/ZPHTabsController.h"
#include "common/CBPasteboard.h"
#include "common/ZPHAppServices.h"
#include "common/ZPHApplicationNotifications.h"
#include "feeds/network/ZPHNetworkController.h"
#include "feeds/refresh/ZPHRefreshController.h"
#include "feeds/refresh/ZPHStatusItem.h"
#include "foundation/CBMimeTypes.h"
#include "foundation/CBPrefs.h"
#include "foundation/ZPHCoreApplicationDelegate.h"
#include "kit/ZPHNamedImage.h"
#include "kit/ZPHSplitViewAutosave.h"
#include "kit/ZPHWindowAutosave.h"
#include "mainwindow/ZPHContentPaneController.h"
#include "mainwindow/ZPHDockMenuController.h"
#include "mainwindow/ZPHEditCommands.h"
#include "mainwindow/ZPHMainWindow.h"
#include "mainwindow/ZPHMainWindowSplitView.h"
#include "mainwindow/ZPHRightPaneContainerView.h"
#include "mainwindow/ZPHUndoableOperationCommand.h"
#include "mainwindow/bezel/ZPHNotificationBezelWindow.h"
#include "mainwindow/bezel/ZPHNotificationBezelWindowController.h"
#include "mainwindow/status/ZPHStatusViewController.h"
#include "mainwindow/toolbar/ZPHMainWindowToolbarController.h"
#include "platform/ZPHMainThread.h"
#include "platform/ZPHUserDefaults.h"
#include "sharing/CBSharableItem.h"
#include "sharing/ZPHPluginManager.h"
#include "sharing/ZPHSharing.h"
#include "sharing/ZPHSharingPluginCommand.h"
#include "sharing/ZPHSharingPopoverViewController.h"
#include "sourcelist/ZPHSourceListCommands.h"
#include "sourcelist/ZPHSourceListView.h"
#include "sourcelist/ZPHSourceListViewController.h"
#include "store/accounts/ZPHArticleListController.h"
#include "store/entities/CBDataArticle.h"
#include "store/operations/ZPHMarkAllAsReadOperation.h"
#include "store/operations/ZPHUndoableOperation.h"
#include "store/tree/CBTreeNode.h"
#include "store/tree/ZPHSourceListTreeBuilder.h"
#include "subscribe/ZPHSubscribeRequest.h"
#include "subscribe/ZPHSubscriber.h"
#include "themes/ZPHTheme.h"
#include "themes/ZPHThemePalette.h"

#include <QtCore/QEvent>
#include <QtCore/QTimer>
#include <QtGui/QAction>
#include <QtGui/QGuiApplication>
#include <QtGui/QUndoStack>
#include <QtWidgets/QAbstractScrollArea>
#include <QtWidgets/QMainWindow>
#include <QtWidgets/QScrollBar>
#include <QtWidgets/QSystemTrayIcon>
#include <QtWidgets/QToolBar>
#include <QtWidgets/QVBoxLayout>

const QString ZPHMainWindowDidResizeNotification = QStringLiteral("ZPHMainWindowDidResizeNotification");
const QString ZPHMainWindowController::AddingFeedsStatusItemIdentifier =
    QStringLiteral("com.fernhollow.zephlin.status.addingFeeds");
const QString ZPHMainWindowController::SendingToInstapaperStatusItemIdentifier =
    QStringLiteral("com.fernhollow.zephlin.status.sendingToInstapaper");

namespace {

constexpr int InitialSidebarWidth = 240;

// The window as the user left it (ZPHWindowAutosave, ZPHSplitViewAutosave).
const QString WindowFrameKey = QStringLiteral("ZPHMainWindowFrame");
const QString WindowMaximizedKey = QStringLiteral("ZPHMainWindowMaximized");
const QString SourceListWidthKey = QStringLiteral("ZPHSourceListWidth");

qsizetype countOfList(const QVariant& value)
{
  if (!value.isValid() || value.isNull())
    return 0;
  return value.canConvert<QVariantList>() ? value.value<QVariantList>().size() : 0;
}

}  // namespace

ZPHMainWindowController::ZPHMainWindowController(ZPHClock* clock, QObject* parent)
    : QObject(parent), m_clock(clock != nullptr ? clock : &ZPHClock::systemClock())
{
  m_toggleReadMenuItemTitle = tr("Mark As Read");
  m_responderChain.setNextResponders({this});
  m_undoManager = new QUndoStack(this);
  // The Undo and Redo commands name the step they would take.
  connect(m_undoManager, &QUndoStack::indexChanged, this, &ZPHMainWindowController::scheduleValidation);
  makeCommands();
}

ZPHMainWindowController::~ZPHMainWindowController()
{
  m_observers.clear();
  m_tabIndicator.reset();
  if (m_sharingRetry != nullptr)
    m_sharingRetry->stop();
  // Sharing: the popover and the plug-ins' menus forget this window.
  if (ZPHSharingPopoverViewController::sharingPopoverViewController()->mainWindowController() == this)
    ZPHSharingPopoverViewController::sharingPopoverViewController()->setMainWindowController(nullptr);
  ZPHPluginManager::sharedManager()->setPerformerForItemlessMenuItems({});
  // The controllers that hold views inside the window go first (the content
  // pane before the list it shows), then the window, then the controllers
  // of the views it held.
  if (m_window != nullptr)
    m_window->removeEventFilter(this);
  m_searchWindowController.reset();
  m_contentPaneController.reset();
  m_articleListDelegate.reset();
  m_toolbarController.reset();
  m_windowAutosave.reset();
  m_window.reset();
  m_notificationBezelWindowController.reset();
  m_statusViewController.reset();
  m_sourceListViewController.reset();
}

void ZPHMainWindowController::setNetworkController(ZPHNetworkController* controller)
{
  m_networkController = controller;
  if (m_sourceListViewController != nullptr)
    m_sourceListViewController->setNetworkController(controller);
}

QWidget* ZPHMainWindowController::sourceListStatusViewEnclosingView() const
{
  return m_sourceListViewController != nullptr ? m_sourceListViewController->statusViewContainer() : nullptr;
}

// MARK: - The window

QMainWindow* ZPHMainWindowController::window()
{
  if (m_window != nullptr)
    return m_window.get();
  auto window = std::make_unique<ZPHMainWindow>();
  window->setKeyDelegate(this);
  m_window = std::move(window);
  m_window->setObjectName(QStringLiteral("ZPHMainWindow"));
  m_window->setWindowTitle(QStringLiteral("Zephlin"));
  m_window->resize(DefaultWindowSize);
  // Remembered window: its frame and maximised state as the user left them.
  m_windowAutosave = std::make_unique<ZPHWindowAutosave>(m_window.get(), WindowFrameKey, WindowMaximizedKey);
  m_windowAutosave->restore();

  m_applicationSplitView = new ZPHMainWindowSplitView(m_window.get());
  m_sourceListViewController = std::make_unique<ZPHSourceListViewController>(m_clock);
  m_sourceListViewController->setSourceListTreeBuilder(m_sourceListTreeBuilder);
  m_sourceListViewController->setNetworkController(m_networkController);
  m_applicationSplitView->addWidget(m_sourceListViewController->view());
  m_rightPaneContainerView = new ZPHRightPaneContainerView(m_applicationSplitView);
  m_applicationSplitView->addWidget(m_rightPaneContainerView);
  // The sidebar keeps its own width limits; only the reading area grows
  // with the window.
  m_applicationSplitView->setDividerPositionConstraint(&ZPHSourceListViewController::constrainedSplitPosition);
  m_applicationSplitView->setChildrenCollapsible(false);
  m_applicationSplitView->setStretchFactor(0, 0);
  m_applicationSplitView->setStretchFactor(1, 1);
  m_applicationSplitView->setSizes({InitialSidebarWidth, m_window->width() - InitialSidebarWidth});
  // Remembered window: the sidebar's width.
  (new ZPHSplitViewAutosave(m_applicationSplitView, SourceListWidthKey))
      ->restore(&ZPHSourceListViewController::constrainedSplitPosition);
  m_window->setCentralWidget(m_applicationSplitView);
  m_window->installEventFilter(this);

  setUpArticleList();

  windowDidLoad();
  return m_window.get();
}

void ZPHMainWindowController::windowDidLoad()
{
  // The toolbar and the search popup come with their windows.
  m_sourceListViewController->completeInitialization();
  ZPHResponderChain::setViewController(m_sourceListViewController->view(), m_sourceListViewController.get());
  // The commands' shortcuts work anywhere in the window (the edit commands'
  // keys are the controls').
  for (QAction* action : findChildren<QAction*>(QString(), Qt::FindDirectChildrenOnly))
    if (!ZPHEditCommands::commandForSelector(action->objectName(), nullptr))
      m_window->addAction(action);
  registerObservers();
  selectInitialSourcelistItem();

  m_statusViewController = std::make_unique<ZPHStatusViewController>(m_clock);
  if (QWidget* container = sourceListStatusViewEnclosingView()) {
    container->layout()->addWidget(m_statusViewController->view());
  } else {
    m_statusViewController->view()->setGeometry(QRect());
  }

  // Sharing: the popover lists the commands for this window's article, and
  // menu items without an item of their own run on it.
  ZPHSharingPopoverViewController::sharingPopoverViewController()->setMainWindowController(this);
  ZPHPluginManager::sharedManager()->setPerformerForItemlessMenuItems(
      [this](ZPHSharingPluginCommand* command) { performSharingPluginCommandWithPluginCommand(command); });

  m_dockMenuController = new ZPHDockMenuController(m_window.get());
  m_dockMenuController->setDataController(m_dataController);
  setUpTrayIcon();
  setUpTabIndicator();
}

// Browser tabs: the indicator follows the tab set and the article view.
void ZPHMainWindowController::setUpTabIndicator()
{
  m_tabIndicator = std::make_unique<ZPHTabIndicatorWindowController>(m_clock);
  ZPHTabsController* tabs = tabsController();
  if (tabs == nullptr)
    return;
  ZPHTabIndicatorWindowController* indicator = m_tabIndicator.get();
  connect(tabs, &ZPHTabsController::numberOfTabsChanged, indicator,
          [indicator](qsizetype count) { indicator->setHasMoreThanOneTab(count > 1); });
  connect(m_contentPaneController.get(), &ZPHContentPaneController::currentWebViewIsDetailViewChanged, indicator,
          &ZPHTabIndicatorWindowController::setShowingDetailsViewTab);
  connect(m_articleListDelegate.get(), &ZPHArticleListDelegate::mouseInDetailViewAreaChanged, indicator,
          &ZPHTabIndicatorWindowController::setMouseInArticleDetailArea);
  connect(m_contentPaneController.get(), &ZPHContentPaneController::tabsViewWidthChanged, indicator,
          &ZPHTabIndicatorWindowController::setLastTabsWidth);
  // Ctrl+W: the key that closes tabs never ends the program.
  tabs->setClosingWindowEndsProgram([this] { return closingWindowEndsProgram(); });
  tabs->updateKeyboardShortcuts();
  indicator->setHasMoreThanOneTab(tabs->numberOfTabs() > 1);
  indicator->setShowingDetailsViewTab(tabs->isNewsItemsTabSelected());
  connect(tabs, &ZPHTabsController::selectedTabIndexChanged, this, &ZPHMainWindowController::scheduleValidation);
}

ZPHTabsController* ZPHMainWindowController::tabsController() const
{
  return m_contentPaneController != nullptr ? m_contentPaneController->tabsController() : nullptr;
}

void ZPHMainWindowController::setUpArticleList()
{
  m_searchField = new ZPHSearchField();
  m_toolbarController = std::make_unique<ZPHMainWindowToolbarController>(this);
  m_toolbarController->setupToolbar(m_window.get(), m_searchField);
  m_toolbar = m_toolbarController->toolbar();

  m_searchWindowController = std::make_unique<ZPHSearchWindowController>(m_window.get());
  m_searchWindowController->setSearchField(m_searchField);
  m_searchWindowController->setSearchFieldToolbar(m_toolbarController.get());

  m_articleListDelegate = std::make_unique<ZPHArticleListDelegate>();
  m_articleListDelegate->setSearchWindowController(m_searchWindowController.get());
  // The main window hands the source list's selection to the article list
  // and carries the list's requests to the source list.
  m_articleListDelegate->setSourceListSelectionProvider([this] { return sourceListSelection(); });
  // The article list's "Remove Site" asks and removes as the source list does.
  m_articleListDelegate->setFeedRemover([this](CBFeed* feed) {
    if (m_sourceListViewController != nullptr)
      m_sourceListViewController->commands()->deleteFeed(feed);
  });
  connect(m_articleListDelegate.get(), &ZPHArticleListDelegate::moveFocusToSourceListRequested,
          m_sourceListViewController.get(), &ZPHSourceListViewController::makeSourceListOutlineViewFirstResponder);
  connect(m_articleListDelegate.get(), &ZPHArticleListDelegate::sourceListSelectionHiddenChanged,
          m_sourceListViewController.get(), &ZPHSourceListViewController::setSelectionHidden);
  m_searchWindowController->setArticleListDelegate(m_articleListDelegate.get());
  m_articleListDelegate->setUp();
  // The content pane shows the list beside the browser tabs.
  m_contentPaneController = std::make_unique<ZPHContentPaneController>(m_articleListDelegate.get(), m_clock);
  m_contentPaneController->setUp();
  m_rightPaneContainerView->transitionToView(m_contentPaneController->contentView(), false);

  connect(m_searchWindowController.get(), &ZPHSearchWindowController::moveFocusToArticleListAndSelectNoneRequested,
          this, [this] {
            if (ZPHReadingLayoutViewController* layout = m_articleListDelegate->currentLayoutViewController())
              layout->moveFocusToArticleListAndSelectNone();
          });

  // The commands and the toolbar follow the selections, the list, the
  // unread totals and refreshing.
  connect(m_articleListDelegate.get(), &ZPHArticleListDelegate::selectedArticlesChanged, this,
          &ZPHMainWindowController::scheduleValidation);
  connect(m_articleListDelegate.get(), &ZPHArticleListDelegate::articlesChanged, this,
          &ZPHMainWindowController::scheduleValidation);
  connect(this, &ZPHMainWindowController::unreadCountChanged, this, &ZPHMainWindowController::scheduleValidation);
  if (ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate())
    if (ZPHRefreshController* refresh = delegate->refreshController())
      connect(refresh, &ZPHRefreshController::visualRefreshInProgressChanged, this,
              &ZPHMainWindowController::scheduleValidation);
}

QList<ZPHRepresentedObject> ZPHMainWindowController::sourceListSelection() const
{
  QList<ZPHRepresentedObject> items;
  if (m_sourceListViewController == nullptr)
    return items;
  for (const CBTreeNode::Pointer& node : m_sourceListViewController->selectedOutlineItems()) {
    if (node == nullptr)
      continue;
    if (CBNode* stored = node->representedNode())
      items.append(stored);
    else if (CBTreeNodeRepresentedObject* object = node->representedObject())
      items.append(object);
  }
  return items;
}

void ZPHMainWindowController::sourceListSelectionDidChange()
{
  if (m_articleListDelegate == nullptr || m_sourceListViewController == nullptr)
    return;
  m_articleListDelegate->sourcelistSelectionDidChange(sourceListSelection());
  scheduleValidation();
}

void ZPHMainWindowController::setUpTrayIcon()
{
  // The Dock menu stands in as the tray icon's menu where the desktop has
  // a tray; the application's dock-icon controller puts the unread badge on
  // the icon's tooltip and the window's title.
  if (!QSystemTrayIcon::isSystemTrayAvailable())
    return;
  m_trayIcon =
      new QSystemTrayIcon(QIcon(QPixmap::fromImage(ZPHNamedImage(QStringLiteral("GenericFeedFavicon")))), this);
  m_trayIcon->setToolTip(QStringLiteral("Zephlin"));
  m_trayIcon->setContextMenu(m_dockMenuController);
  connect(m_trayIcon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
    if (reason != QSystemTrayIcon::Trigger && reason != QSystemTrayIcon::DoubleClick)
      return;
    showWindow();
    window()->activateWindow();
  });
  m_trayIcon->show();
}

bool ZPHMainWindowController::closingWindowEndsProgram() const
{
  return m_trayIcon == nullptr || !m_trayIcon->isVisible();
}

void ZPHMainWindowController::showWindow()
{
  QMainWindow* main = window();
  if (main->isMinimized())
    main->showNormal();
  main->show();
  main->raise();
  // Controls without work: the commands there are now decide what is on.
  scheduleValidation();
  if (m_tabIndicator)
    m_tabIndicator->addToFloatAboveWindow(main);
}

void ZPHMainWindowController::selectInitialSourcelistItem()
{
  if (m_sourceListViewController != nullptr)
    m_sourceListViewController->selectRow(2);
}

bool ZPHMainWindowController::eventFilter(QObject* watched, QEvent* event)
{
  if (m_window != nullptr && watched == m_window.get() && event->type() == QEvent::Resize) {
    if (m_window->isVisible() && m_sourceListViewController != nullptr)
      m_sourceListViewController->sourceListOutlineView()->noteLiveResize();
    ZPHNotificationCenter::defaultCenter().post(
        ZPHMainWindowDidResizeNotification, QVariant::fromValue(static_cast<QObject*>(this)),
        {{QStringLiteral("window"), QVariant::fromValue(static_cast<QObject*>(m_window.get()))}});
  }
  // Browser tabs: Ctrl+W follows whether the window is the active one.
  if (m_window != nullptr && watched == m_window.get() &&
      (event->type() == QEvent::WindowActivate || event->type() == QEvent::WindowDeactivate))
    if (ZPHTabsController* tabs = tabsController())
      tabs->updateKeyboardShortcuts();
  // A closing window ends a sharing command's wait for its view.
  if (m_window != nullptr && watched == m_window.get() && event->type() == QEvent::Close && m_sharingRetry != nullptr) {
    m_sharingRetry->stop();
    m_sharingRetryCommand = nullptr;
  }
  return QObject::eventFilter(watched, event);
}

// MARK: - Bezels and undo

void ZPHMainWindowController::showNotificationBezelWithText(const QString& text, const QImage& image)
{
  if (m_notificationBezelWindowController == nullptr) {
    m_notificationBezelWindowController = std::make_unique<ZPHNotificationBezelWindowController>(m_clock);
    m_notificationBezelWindowController->setParentWindow(window());
  }
  m_notificationBezelWindowController->showBezelWithText(text, image);
}

void ZPHMainWindowController::performUndoableOperation(std::shared_ptr<ZPHUndoableOperation> operation)
{
  if (operation == nullptr)
    return;
  if (!ZPHMainThread::isMainThread()) {
    QPointer<ZPHMainWindowController> self(this);
    ZPHMainThread::async([self, operation = std::move(operation)]() mutable {
      if (self != nullptr)
        self->performUndoableOperation(std::move(operation));
    });
    return;
  }
  window();
  // Pushing does the step, which queues the operation.
  m_undoManager->push(new ZPHUndoableOperationCommand(operation, [](std::shared_ptr<ZPHUndoableOperation> step) {
    if (ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate())
      delegate->addCoreDataQueueOperation(std::move(step));
  }));
}

void ZPHMainWindowController::setUnreadCounts(quint64 unreadCount, quint64 unreadFavoritesCount)
{
  if (unreadFavoritesCount != m_unreadFavoritesCount) {
    m_unreadFavoritesCount = unreadFavoritesCount;
    Q_EMIT unreadFavoritesCountChanged(unreadFavoritesCount);
  }
  if (unreadCount != m_unreadCount) {
    m_unreadCount = unreadCount;
    Q_EMIT unreadCountChanged(unreadCount);
  }
}

// MARK: - Notifications

void ZPHMainWindowController::registerObservers()
{
  ZPHNotificationCenter& center = ZPHNotificationCenter::defaultCenter();
  using D = ZPHNotificationCenter::Delivery;
  const auto observe = [&](const QString& name, void (ZPHMainWindowController::*handler)(const ZPHNotification&)) {
    m_observers.push_back(center.addObserver(
        name, QVariant(), this,
        [this, handler](const ZPHNotification& notification) { (this->*handler)(notification); }, D::MainThread));
  };
  observe(ZPHSelectedURLDidUpdateNotification, &ZPHMainWindowController::selectedURLDidChange);
  observe(ZPHMouseOverURLDidUpdateNotification, &ZPHMainWindowController::mouseOverURLDidChange);
  observe(ZPHPresentedSharableItemDidChangeNotification, &ZPHMainWindowController::presentedSharableItemDidChange);
  observe(ZPHBatchSubscribeWillStartNotification, &ZPHMainWindowController::subscribeWillStartNotification);
  observe(ZPHBatchSubscribeDidFinishNotification, &ZPHMainWindowController::subscribeDidFinishNotification);
  observe(ZPHImportDidFinishNotification, &ZPHMainWindowController::importDidFinishNotification);
  observe(ZPHSendToInstapaperClientDidStartNotification,
          &ZPHMainWindowController::sendToInstapaperDidStartNotification);
  observe(ZPHSendToInstapaperClientDidSucceedNotification,
          &ZPHMainWindowController::sendToInstapaperDidSucceedNotification);
  observe(ZPHSendToInstapaperClientDidFailNotification, &ZPHMainWindowController::sendToInstapaperDidFailNotification);
  observe(ZPHAppDelegateDidOpenURLInExternalWebBrowserNotification,
          &ZPHMainWindowController::appDelegateDidOpenURLInExternalBrowser);
  m_observers.push_back(center.addObserver(
      CBSourceListSelectionDidChangeNotification, QVariant(), this,
      [this](const ZPHNotification&) { sourceListSelectionDidChange(); }, D::MainThread));
  // A new margin step moves the column's limits.
  m_observers.push_back(center.addObserver(
      ZPHStylesDidChangeNotification, QVariant(), this, [this](const ZPHNotification&) { scheduleValidation(); },
      D::MainThread));
  // The window's plain controls follow the theme: no light block in a dark
  // window.
  m_observers.push_back(center.addObserver(
      ZPHThemeChangedNotification, QVariant(), this,
      [this](const ZPHNotification&) { ZPHThemePalette::applyCurrentTheme(m_window.get()); }, D::MainThread));
  ZPHThemePalette::applyCurrentTheme(m_window.get());
}

bool ZPHMainWindowController::urlNotificationConcernsThisWindow(const ZPHNotification& notification) const
{
  const auto* view = qobject_cast<QWidget*>(notification.userInfo.value(ZPHURLNotificationViewKey).value<QObject*>());
  const QWidget* content = m_window != nullptr ? m_window->centralWidget() : nullptr;
  return view != nullptr && content != nullptr && content->isAncestorOf(view);
}

void ZPHMainWindowController::selectedURLDidChange(const ZPHNotification& notification)
{
  if (!urlNotificationConcernsThisWindow(notification))
    return;
  const QString url = notification.userInfo.value(CBURLKey).toString();
  if (url == m_selectedURL)
    return;
  m_selectedURL = url;
  Q_EMIT selectedURLChanged(url);
}

void ZPHMainWindowController::mouseOverURLDidChange(const ZPHNotification& notification)
{
  if (!urlNotificationConcernsThisWindow(notification))
    return;
  const QString url = notification.userInfo.value(CBURLKey).toString();
  if (url == m_mouseOverURL)
    return;
  m_mouseOverURL = url;
  Q_EMIT mouseOverURLChanged(url);
}

void ZPHMainWindowController::presentedSharableItemDidChange(const ZPHNotification& notification)
{
  const QVariant item = notification.userInfo.value(ZPHSharableItemKey);
  m_presentedSharableItem = item.isNull() ? QVariant() : item;
  Q_EMIT presentedSharableItemChanged();
}

void ZPHMainWindowController::showStatusItem(const QString& text, const QString& identifier)
{
  ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate();
  if (delegate == nullptr)
    return;
  delegate->removeAnyStatusItemWithIdentifier(identifier);
  delegate->addStatusItem(
      ZPHStatusItem::statusItemWithLocalizedDescription(text, identifier, ZPHStatusItemTypeIndeterminateProgress), {});
}

void ZPHMainWindowController::subscribeWillStartNotification(const ZPHNotification& notification)
{
  const qsizetype requests = notification.userInfo.value(ZPHBatchSubscribeNotificationSubscribeRequestsKey)
                                 .value<ZPHSubscribeRequests>()
                                 .size();
  if (requests == 0)
    return;
  showStatusItem(requests < 2 ? tr("Adding Site…") : tr("Adding Sites…"), AddingFeedsStatusItemIdentifier);
}

void ZPHMainWindowController::subscribeDidFinishNotification(const ZPHNotification& notification)
{
  if (ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate())
    delegate->removeAnyStatusItemWithIdentifier(AddingFeedsStatusItemIdentifier);
  const qsizetype added =
      ZPHSubscriber::newlySubscribedFeedsFromBatchSubscribeDidFinishNotification(notification).size();
  if (added == 0)
    return;
  showNotificationBezelWithText(added == 1 ? tr("Site Added") : tr("Sites Added"),
                                ZPHNamedImage(QStringLiteral("BezelNotificationSiteAdded")));
}

std::pair<QString, QString> ZPHMainWindowController::importBezelTextAndImageName(const QVariantMap& userInfo)
{
  const auto showBezel = userInfo.constFind(ZPHShouldShowBezelKey);
  if (showBezel != userInfo.constEnd() && !showBezel->toBool())
    return {};
  // Without a user info neither count is known; an absent list counts 0.
  std::optional<qsizetype> imported;
  std::optional<qsizetype> duplicates;
  if (!userInfo.isEmpty()) {
    imported = countOfList(userInfo.value(ZPHImportedFeedsKey));
    duplicates = countOfList(userInfo.value(ZPHDuplicateFeedsKey));
  }
  // "1 Site", "1 Duplicate": the counts read as words do.
  const auto sites = [](qsizetype n) { return n == 1 ? tr("Imported 1 Site") : tr("Imported %1 Sites").arg(n); };
  const auto copies = [](qsizetype n) { return n == 1 ? tr("1 Duplicate") : tr("%1 Duplicates").arg(n); };
  QString text;
  if (imported == 0 && duplicates == 0)
    text = tr("No Sites Found");
  else if (imported > 0 && duplicates > 0)
    text = tr("%1, %2").arg(sites(*imported), copies(*duplicates));
  else if (imported > 0)
    text = sites(*imported);
  else if (duplicates > 0)
    text = tr("Import Finished. %1").arg(copies(*duplicates));
  else
    text = tr("Sites Imported");
  const bool nothing = imported.value_or(0) == 0 && duplicates.value_or(0) == 0;
  return {text,
          nothing ? QStringLiteral("BezelNotificationNoSitesAdded") : QStringLiteral("BezelNotificationSitesAdded")};
}

void ZPHMainWindowController::importDidFinishNotification(const ZPHNotification& notification)
{
  const auto [text, image] = importBezelTextAndImageName(notification.userInfo);
  if (!text.isEmpty())
    showNotificationBezelWithText(text, ZPHNamedImage(image));
}

void ZPHMainWindowController::sendToInstapaperDidStartNotification(const ZPHNotification&)
{
  showStatusItem(tr("Sending to Instapaper..."), SendingToInstapaperStatusItemIdentifier);
}

void ZPHMainWindowController::sendToInstapaperDidSucceedNotification(const ZPHNotification&)
{
  if (ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate())
    delegate->removeAnyStatusItemWithIdentifier(SendingToInstapaperStatusItemIdentifier);
  showNotificationBezelWithText(tr("Sent to Instapaper"), ZPHNamedImage(QStringLiteral("BezelNotificationInstapaper")));
}

void ZPHMainWindowController::sendToInstapaperDidFailNotification(const ZPHNotification& notification)
{
  if (ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate())
    delegate->removeAnyStatusItemWithIdentifier(SendingToInstapaperStatusItemIdentifier);
  const ZPHError error = notification.userInfo.value(ZPHUnderlyingErrorKey).value<ZPHError>();
  // The service's own words, shown as plain text.
  QString text = error.value(ZPHLocalizedDescriptionKey).toString();
  if (text.isEmpty())
    text = QStringLiteral("Instapaper");
  showNotificationBezelWithText(text, ZPHNamedImage(QStringLiteral("BezelNotificationError")));
}

void ZPHMainWindowController::appDelegateDidOpenURLInExternalBrowser(const ZPHNotification&)
{
  // A link of an article in the current list shows no bezel; until the
  // article list exists, no link is one.
  showNotificationBezelWithText(tr("Opened in Browser"),
                                ZPHNamedImage(QStringLiteral("BezelNotificationOpenedInBrowser")));
}

// MARK: - Commands

void ZPHMainWindowController::makeCommands()
{
  const auto command = [this](const char* selector, const QString& title, auto run) {
    auto* action = new QAction(title, this);
    action->setObjectName(QString::fromLatin1(selector));
    connect(action, &QAction::triggered, this, run);
    return action;
  };
  command("markAllAsRead:", tr("Mark All As Read"), [this] { markAllAsRead(); });
  command("moveFocusToSourceList:", tr("Go to Sites"), [this] { moveFocusToSourceList(); });
  command("toggleRead:", tr("Mark As Read"), [this] { toggleRead(); });
  command("toggleFlagged:", tr("Bookmark"), [this] { toggleFlagged(); });
  command("nextUnread:", tr("Next Unread"), [this] { nextUnread(); });
  command("copyArticleURL:", tr("Copy Link"), [this] { copyArticleURL(); });
  command("openInBrowser:", tr("Open in Browser"), [this] {
    // Chosen by its own shortcut, the shortcut's modifiers are no request
    // to open in the background.
    auto* action = qobject_cast<QAction*>(sender());
    const Qt::KeyboardModifiers held = QGuiApplication::queryKeyboardModifiers();
    const bool byOwnShortcut = action != nullptr && !action->shortcut().isEmpty() && held != Qt::NoModifier &&
                               action->shortcut()[0].keyboardModifiers() == held;
    openInBrowser(!byOwnShortcut);
  });
  command("openInTab:", tr("Open in Tab"), [this] { openInTab(); });
  command("zph_makeTextLarger:", tr("Bigger"), [this] { makeTextLarger(); });
  command("zph_makeTextSmaller:", tr("Smaller"), [this] { makeTextSmaller(); });
  command("zph_makeTextStandardSize:", tr("Actual Size"), [this] { makeTextStandardSize(); });
  command("toggleDarkMode:", tr("Switch to Dark Theme"), [this] { toggleDarkMode(); });
  command("deleteSelectedFeedsAndFolders:", tr("Remove"), [this] { deleteSelectedFeedsAndFolders(); });
  command("moveFocusToArticleList:", tr("Go to Articles"), [this] { moveFocusToArticleListAndSelectTopRowIfNeeded(); });
  command("goBack:", tr("Back"), [this] { goBack(); });
  command("goForward:", tr("Forward"), [this] { goForward(); });
  command("find:", tr("Find\u2026"), [this] { find(); });
  command("findNext:", tr("Find Next"), [this] { findNext(); });
  command("findPrevious:", tr("Find Previous"), [this] { findPrevious(); });
  command("makeMarginsNarrower:", tr("Narrower Column"), [this] { makeMarginsNarrower(); });
  command("makeMarginsWider:", tr("Wider Column"), [this] { makeMarginsWider(); });
  // Undo and redo: keys of their own, which the shortcut sets leave alone;
  // a text field or an editable part of a page takes them first for its
  // own typing while it has the focus.
  command("undo:", tr("Undo"), [this] { undo(); })->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
  command("redo:", tr("Redo"), [this] { redo(); })->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z));
  // Cut, Copy, Paste and Select All act on the control with the focus.
  // Their keys stay the controls' own: the commands only show them (they
  // are not the window's actions).
  for (const auto& [selector, title, key] :
       {std::tuple("cut:", tr("Cut"), QKeySequence::Cut), std::tuple("copy:", tr("Copy"), QKeySequence::Copy),
        std::tuple("paste:", tr("Paste"), QKeySequence::Paste),
        std::tuple("selectAll:", tr("Select All"), QKeySequence::SelectAll)}) {
    ZPHEditCommands::Command edit = ZPHEditCommands::Command::Copy;
    ZPHEditCommands::commandForSelector(QString::fromLatin1(selector), &edit);
    command(selector, title, [this, edit] {
      ZPHEditCommands::perform(edit, m_window != nullptr ? m_window->focusWidget() : nullptr);
    })->setShortcut(key);
  }
}

QAction* ZPHMainWindowController::commandAction(const QString& selector) const
{
  return findChild<QAction*>(selector, Qt::FindDirectChildrenOnly);
}

void ZPHMainWindowController::setApplicationResponder(QObject* responder)
{
  m_applicationResponder = responder;
  m_responderChain.setNextResponders(responder != nullptr ? QList<QObject*>{this, responder} : QList<QObject*>{this});
  // Controls without work: other responders, other commands.
  scheduleValidation();
}

bool ZPHMainWindowController::sendAction(const QString& selector)
{
  return m_responderChain.sendAction(selector, m_window != nullptr ? m_window->focusWidget() : nullptr);
}

CBDataArticle* ZPHMainWindowController::selectedArticle() const
{
  return m_articleListDelegate != nullptr ? m_articleListDelegate->selectedArticle() : nullptr;
}

QList<CBDataArticle*> ZPHMainWindowController::currentArticles() const
{
  return m_articleListDelegate != nullptr ? m_articleListDelegate->selectedArticles() : QList<CBDataArticle*>{};
}

bool ZPHMainWindowController::validateUserInterfaceItem(QAction* item)
{
  const QString selector = item != nullptr ? item->objectName() : QString();
  // Article commands act on the news-items tab.
  const bool newsItemsTabShown = tabsController() == nullptr || tabsController()->isNewsItemsTabSelected();
  const bool validForArticleActions = selectedArticle() != nullptr && newsItemsTabShown;
  bool enabled = false;
  if (selector == QLatin1String("markAllAsRead:")) {
    ZPHArticleListController* list =
        m_articleListDelegate != nullptr ? m_articleListDelegate->articleListController() : nullptr;
    enabled = list != nullptr && list->hasAnyUnreadItems();
  } else if (selector == QLatin1String("moveFocusToSourceList:")) {
    enabled = m_sourceListViewController != nullptr;
  } else if (selector == QLatin1String("moveFocusToArticleList:")) {
    enabled = canMoveFocusToArticleList();
  } else if (selector == QLatin1String("toggleRead:")) {
    enabled = validForArticleActions;
    updateToggleReadMenuItemTitle();
    if (item != nullptr)
      item->setText(m_toggleReadMenuItemTitle);
  } else if (selector == QLatin1String("toggleFlagged:")) {
    enabled = !currentArticles().isEmpty() && newsItemsTabShown;
    if (item != nullptr)
      item->setText(toggleFlaggedTitle());
  } else if (selector == QLatin1String("goBack:") || selector == QLatin1String("goForward:")) {
    const ZPHBrowserViewController* browser =
        m_contentPaneController != nullptr ? m_contentPaneController->currentBrowserViewController() : nullptr;
    enabled = browser != nullptr && (selector == QLatin1String("goBack:") || browser->canGoForward());
  } else if (selector == QLatin1String("nextUnread:")) {
    enabled = validateNextUnread();
  } else if (selector == QLatin1String("zph_makeTextStandardSize:") || selector == QLatin1String("copyArticleURL:") ||
             selector == QLatin1String("openInTab:") || selector == QLatin1String("openInBrowser:")) {
    enabled = validForArticleActions;
  } else if (selector == QLatin1String("zph_makeTextLarger:")) {
    enabled = validForArticleActions && canShiftFontSizeInDirection(1);
  } else if (selector == QLatin1String("zph_makeTextSmaller:")) {
    enabled = validForArticleActions && canShiftFontSizeInDirection(-1);
  } else if (selector == QLatin1String("toggleDarkMode:")) {
    enabled = true;
    if (item != nullptr)
      item->setText(toggleDarkModeTitle());
  } else if (selector == QLatin1String("deleteSelectedFeedsAndFolders:")) {
    enabled = m_sourceListViewController != nullptr && m_sourceListViewController->commands()->validateDelete();
  } else if (selector == QLatin1String("find:") || selector == QLatin1String("findNext:") ||
             selector == QLatin1String("findPrevious:")) {
    enabled = validateFind();
  } else if (selector == QLatin1String("makeMarginsNarrower:")) {
    enabled = validateMargins(-1);
  } else if (selector == QLatin1String("makeMarginsWider:")) {
    enabled = validateMargins(1);
  } else if (selector == QLatin1String("undo:") || selector == QLatin1String("redo:")) {
    const bool isUndo = selector == QLatin1String("undo:");
    enabled = isUndo ? m_undoManager->canUndo() : m_undoManager->canRedo();
    const QString step = isUndo ? m_undoManager->undoText() : m_undoManager->redoText();
    if (item != nullptr)
      item->setText(step.isEmpty() ? (isUndo ? tr("Undo") : tr("Redo"))
                                   : (isUndo ? tr("Undo %1") : tr("Redo %1")).arg(step));
  } else if (ZPHEditCommands::Command edit; ZPHEditCommands::commandForSelector(selector, &edit)) {
    enabled = ZPHEditCommands::canPerform(edit, m_window != nullptr ? m_window->focusWidget() : nullptr);
  }
  if (item != nullptr)
    item->setEnabled(enabled);
  return enabled;
}

void ZPHMainWindowController::validateCommands()
{
  m_validationScheduled = false;
  // A page that has loaded, or been measured, may have made the margin
  // commands possible.
  if (ZPHReadingLayoutViewController* layout = currentLayoutViewController())
    if (ZPHArticleDetailPane* pane = layout->detailViewController()) {
      connect(pane, &ZPHArticleDetailPane::mainFrameDidFinishLoading, this,
              &ZPHMainWindowController::scheduleValidation, Qt::UniqueConnection);
      if (auto* page = qobject_cast<ZPHWebArticleDetailPane*>(pane))
        connect(page, &ZPHWebArticleDetailPane::articleWidthsChanged, this,
                &ZPHMainWindowController::scheduleValidation, Qt::UniqueConnection);
    }
  for (QAction* action : findChildren<QAction*>(QString(), Qt::FindDirectChildrenOnly))
    validateUserInterfaceItem(action);
  if (m_toolbarController != nullptr)
    m_toolbarController->validateToolbarItems();
  // Controls without work: the source list's add button follows its commands.
  if (m_sourceListViewController != nullptr)
    m_sourceListViewController->validateAddButton();
}

void ZPHMainWindowController::scheduleValidation()
{
  // Several changes in one turn of the event loop validate once.
  if (m_validationScheduled)
    return;
  m_validationScheduled = true;
  QMetaObject::invokeMethod(
      this, [this] { validateCommands(); }, Qt::QueuedConnection);
}

void ZPHMainWindowController::updateToggleReadMenuItemTitle()
{
  CBDataArticle* article = selectedArticle();
  const QString title = article != nullptr && article->read() ? tr("Mark As Unread") : tr("Mark As Read");
  if (title == m_toggleReadMenuItemTitle)
    return;
  m_toggleReadMenuItemTitle = title;
  Q_EMIT toggleReadMenuItemTitleChanged(title);
}

QString ZPHMainWindowController::toggleFlaggedTitle() const
{
  CBDataArticle* article = selectedArticle();
  return article != nullptr && article->flagged() ? tr("Unbookmark") : tr("Bookmark");
}

QString ZPHMainWindowController::toggleDarkModeTitle() const
{
  return ZPHUserDefaults::standardUserDefaults().integerForKey(ZPHSubthemeStyleIndexKey) == 1
             ? tr("Switch to Light Theme")
             : tr("Switch to Dark Theme");
}

QList<ZPHRepresentedObject> ZPHMainWindowController::feedsAndFoldersShown() const
{
  // What the article list shows; before it has any, what the source list
  // has selected.
  if (m_articleListDelegate != nullptr && m_articleListDelegate->articleListController() != nullptr &&
      !m_articleListDelegate->articleListController()->feedsAndFolders().isEmpty())
    return m_articleListDelegate->articleListController()->feedsAndFolders();
  QList<ZPHRepresentedObject> objects;
  if (m_sourceListViewController == nullptr)
    return objects;
  for (const CBTreeNode::Pointer& node : m_sourceListViewController->selectedOutlineItems()) {
    if (node->representedNode() != nullptr)
      objects.append(node->representedNode());
    else if (node->representedObject() != nullptr)
      objects.append(node->representedObject());
  }
  return objects;
}

void ZPHMainWindowController::markAllAsRead()
{
  const QList<ZPHRepresentedObject> objects = feedsAndFoldersShown();
  if (objects.isEmpty())
    return;
  performUndoableOperation(ZPHMarkAllAsReadOperation::operationWithTreeNodeRepresentedObjects(objects, true));
}

void ZPHMainWindowController::undo()
{
  if (m_undoManager->canUndo())
    m_undoManager->undo();
}

void ZPHMainWindowController::redo()
{
  if (m_undoManager->canRedo())
    m_undoManager->redo();
}

void ZPHMainWindowController::moveFocusToSourceList()
{
  if (m_sourceListViewController != nullptr)
    m_sourceListViewController->makeSourceListOutlineViewFirstResponder();
}

void ZPHMainWindowController::toggleRead()
{
  const QList<CBDataArticle*> articles = currentArticles();
  if (articles.isEmpty())
    return;
  CBDataArticle::markArticles(articles, !articles.first()->read());
}

void ZPHMainWindowController::toggleFlagged()
{
  const QList<CBDataArticle*> articles = currentArticles();
  if (articles.isEmpty())
    return;
  CBDataArticle::markArticlesAsFlagged(articles, !articles.first()->flagged());
}

qsizetype ZPHMainWindowController::unreadRowAfterRow(qsizetype row, const QList<ZPHArticleListRow>& rows)
{
  const qsizetype from = row >= 0 && row < rows.size() ? row + 1 : 0;
  for (qsizetype index = from; index < rows.size(); ++index) {
    if (!rows.at(index).read)
      return index;
  }
  return -1;
}

bool ZPHMainWindowController::validateNextUnread() const
{
  if (m_unreadCount == 0)
    return false;
  CBDataArticle* article = selectedArticle();
  return !(m_unreadCount == 1 && article != nullptr && !article->read());
}

void ZPHMainWindowController::nextUnread()
{
  if (m_articleListDelegate == nullptr || m_sourceListViewController == nullptr)
    return;
  ZPHReadingLayoutViewController* layout = m_articleListDelegate->currentLayoutViewController();
  QPointer<QWidget> listView = layout != nullptr ? layout->controlView() : nullptr;
  ZPHArticleListController* list = m_articleListDelegate->articleListController();
  CBDataArticle* article = selectedArticle();
  const qsizetype row = list != nullptr && article != nullptr ? list->indexOfArticle(article->objectID()) : -1;
  const qsizetype next = list != nullptr ? unreadRowAfterRow(row, list->articles()) : -1;
  if (next >= 0) {
    m_articleListDelegate->navigateToArticleInCurrentList(list->articleAtIndex(next));
  } else if (m_sourceListTreeBuilder != nullptr) {
    const CBTreeNode::Pointer current = m_sourceListViewController->currentTreeNode();
    CBTreeNode::Pointer node = m_sourceListTreeBuilder->treeNodeWithCountForDisplayAfter(current.get());
    if (node == nullptr)
      node = m_sourceListTreeBuilder->firstTreeNodeWithCountForDisplay();
    if (node != nullptr) {
      m_sourceListViewController->selectTreeNode(node.get());
      m_sourceListViewController->scrollToSelectedRow();
      m_articleListDelegate->navigateToFirstUnreadArticle();
    }
  }
  if (listView != nullptr)
    listView->setFocus(Qt::OtherFocusReason);
}

void ZPHMainWindowController::copyArticleURL()
{
  // The link the article opens: a permalink counts only as a web address.
  if (CBDataArticle* article = selectedArticle())
    CBCopyURLStringToPasteboard(article->bestLink());
}

void ZPHMainWindowController::openInBrowser(bool respectingShortcuts)
{
  CBDataArticle* article = selectedArticle();
  const QString link = article != nullptr ? article->bestLink() : QString();
  if (link.isEmpty())
    return;
  const QUrl url(link);
  if (!url.isValid())
    return;
  ZPHAppServices::current().openLink(url, {ZPHAppServices::LinkPlace::ExternalBrowser, true, respectingShortcuts});
}

void ZPHMainWindowController::openInTab()
{
  CBDataArticle* article = selectedArticle();
  const QString link = article != nullptr ? article->bestLink() : QString();
  const QUrl url(link);
  if (link.isEmpty() || !url.isValid())
    return;
  ZPHAppServices::current().openLink(url, ZPHAppServices::LinkPlace::Preferred);
}

bool ZPHMainWindowController::canShiftFontSizeInDirection(int direction) const
{
  const ZPHStyleSheetController* styles = ZPHStyleSheetController::sharedController();
  const int size = styles->defaultFontSize();
  return direction > 0 ? size < ZPHStyleSheetController::maximumFontSize() : styles->minimumFontSize() < size;
}

void ZPHMainWindowController::makeTextLarger()
{
  if (!canShiftFontSizeInDirection(1))
    return;
  ZPHStyleSheetController* styles = ZPHStyleSheetController::sharedController();
  const int size = styles->defaultFontSize() + 1;
  styles->setDefaultFontSize(size);
  styles->setDefaultFixedFontSize(size);
}

void ZPHMainWindowController::makeTextSmaller()
{
  if (!canShiftFontSizeInDirection(-1))
    return;
  ZPHStyleSheetController* styles = ZPHStyleSheetController::sharedController();
  const int size = styles->defaultFontSize() - 1;
  styles->setDefaultFontSize(size);
  styles->setDefaultFixedFontSize(size);
}

void ZPHMainWindowController::makeTextStandardSize() { ZPHStyleSheetController::sharedController()->resetFontSizes(); }

ZPHReadingLayoutViewController* ZPHMainWindowController::currentLayoutViewController() const
{
  return m_articleListDelegate != nullptr ? m_articleListDelegate->currentLayoutViewController() : nullptr;
}

bool ZPHMainWindowController::validateFind() const
{
  // A browser tab searches its page.
  if (m_contentPaneController != nullptr && m_contentPaneController->currentBrowserViewController() != nullptr)
    return true;
  const ZPHReadingLayoutViewController* layout = currentLayoutViewController();
  return layout != nullptr && layout->selectedRow() >= 0;
}

void ZPHMainWindowController::goBack()
{
  if (ZPHBrowserViewController* browser =
          m_contentPaneController != nullptr ? m_contentPaneController->currentBrowserViewController() : nullptr)
    browser->goBack();
}

void ZPHMainWindowController::goForward()
{
  if (ZPHBrowserViewController* browser =
          m_contentPaneController != nullptr ? m_contentPaneController->currentBrowserViewController() : nullptr)
    browser->goForward();
}

void ZPHMainWindowController::find()
{
  if (ZPHBrowserViewController* browser =
          m_contentPaneController != nullptr ? m_contentPaneController->currentBrowserViewController() : nullptr) {
    browser->contentView()->showFindPanelAnimated(true);
    return;
  }
  if (ZPHReadingLayoutViewController* layout = currentLayoutViewController())
    layout->showFindPanel();
}

void ZPHMainWindowController::findNext()
{
  if (ZPHBrowserViewController* browser =
          m_contentPaneController != nullptr ? m_contentPaneController->currentBrowserViewController() : nullptr) {
    browser->contentView()->highlightNextSearchResult();
    return;
  }
  if (ZPHReadingLayoutViewController* layout = currentLayoutViewController())
    layout->highlightNextSearchResult();
}

void ZPHMainWindowController::findPrevious()
{
  if (ZPHBrowserViewController* browser =
          m_contentPaneController != nullptr ? m_contentPaneController->currentBrowserViewController() : nullptr) {
    browser->contentView()->highlightPreviousSearchResult();
    return;
  }
  if (ZPHReadingLayoutViewController* layout = currentLayoutViewController())
    layout->highlightPreviousSearchResult();
}

bool ZPHMainWindowController::validateMargins(int direction) const
{
  const ZPHReadingLayoutViewController* layout = currentLayoutViewController();
  if (layout == nullptr || m_contentPaneController->currentWebView() == nullptr ||
      !m_contentPaneController->currentDetailViewSupportsMargins())
    return false;
  return direction > 0 ? layout->canMakeMarginsWider() : layout->canMakeMarginsNarrower();
}

void ZPHMainWindowController::makeMarginsNarrower()
{
  if (ZPHReadingLayoutViewController* layout = currentLayoutViewController())
    layout->makeMarginsNarrower();
}

void ZPHMainWindowController::makeMarginsWider()
{
  if (ZPHReadingLayoutViewController* layout = currentLayoutViewController())
    layout->makeMarginsWider();
}

void ZPHMainWindowController::toggleDarkMode()
{
  ZPHUserDefaults& defaults = ZPHUserDefaults::standardUserDefaults();
  const bool dark = defaults.integerForKey(ZPHSubthemeStyleIndexKey) != 1;
  defaults.setInteger(ZPHSubthemeStyleIndexKey, dark ? 1 : 0);
  ZPHTheme::switchToThemeWithIdentifier(dark ? ZPHDarkThemeIdentifier : ZPHLightThemeIdentifier);
  if (QAction* action = commandAction(QStringLiteral("toggleDarkMode:")))
    action->setText(toggleDarkModeTitle());
}

void ZPHMainWindowController::deleteSelectedFeedsAndFolders()
{
  if (m_sourceListViewController != nullptr)
    m_sourceListViewController->commands()->deleteSelectedFeedsAndFolders();
}

bool ZPHMainWindowController::canMoveFocusToArticleList() const
{
  return m_articleListDelegate != nullptr && m_articleListDelegate->articleListController() != nullptr &&
         m_articleListDelegate->articleListController()->count() > 0;
}

QWidget* ZPHMainWindowController::viewRepresentingSelectedArticleForPluginPopover() const
{
  if (selectedArticle() == nullptr || m_articleListDelegate == nullptr)
    return nullptr;
  ZPHReadingLayoutViewController* layout = m_articleListDelegate->currentLayoutViewController();
  ZPHArticleDetailPane* pane = layout != nullptr ? layout->detailViewController() : nullptr;
  QWidget* view = pane != nullptr ? pane->view() : nullptr;
  return view != nullptr && view->isVisible() ? view : nullptr;
}

bool ZPHMainWindowController::isSharingRetryPending() const
{
  return m_sharingRetry != nullptr && m_sharingRetry->isActive();
}

void ZPHMainWindowController::performSharingPluginCommandWithPluginCommand(ZPHSharingPluginCommand* command)
{
  if (command == nullptr)
    return;
  if (m_sharingRetry == nullptr) {
    m_sharingRetry = new QTimer(this);
    m_sharingRetry->setInterval(SharingRetryInterval);
    connect(m_sharingRetry, &QTimer::timeout, this, [this] {
      if (m_clock->now() - m_sharingRetryStarted > SharingRetryLimit) {
        m_sharingRetry->stop();
        m_sharingRetryCommand = nullptr;
        return;
      }
      if (QWidget* view = viewRepresentingSelectedArticleForPluginPopover()) {
        m_sharingRetry->stop();
        ZPHSharingPluginCommand* pending = std::exchange(m_sharingRetryCommand, nullptr);
        ZPHPluginManager::sharedManager()->runPluginCommand(
            pending, CBSharableItem::arrayOfOneSharableItemWithArticle(selectedArticle()), nullptr, view, nullptr,
            CBUserInterfaceContext::currentEvent(), nullptr);
      }
    });
    // A new selection or a closing window ends the wait.
    connect(m_articleListDelegate.get(), &ZPHArticleListDelegate::selectedArticlesChanged, m_sharingRetry, [this] {
      m_sharingRetry->stop();
      m_sharingRetryCommand = nullptr;
    });
  }
  m_sharingRetry->stop();
  m_sharingRetryCommand = nullptr;
  if (m_articleListDelegate == nullptr || selectedArticle() == nullptr)
    return;
  m_articleListDelegate->navigateToSelectedArticleInCurrentList();
  if (QWidget* view = viewRepresentingSelectedArticleForPluginPopover()) {
    // No view controller: the context finds the layout around the view.
    ZPHPluginManager::sharedManager()->runPluginCommand(
        command, CBSharableItem::arrayOfOneSharableItemWithArticle(selectedArticle()), nullptr, view, nullptr,
        CBUserInterfaceContext::currentEvent(), nullptr);
    return;
  }
  m_sharingRetryCommand = command;
  m_sharingRetryStarted = m_clock->now();
  m_sharingRetry->start();
}

// Sharing
int ZPHMainWindowController::addSharingPluginCommandsToMenu(QMenu* menu, const std::optional<CBSharableItem>& item,
                                                            QWidget* view, QObject* viewController)
{
  return item.has_value() ? ZPHSharing::addSharingCommandsToMenu(menu, *item, view, viewController) : 0;
}

int ZPHMainWindowController::addSharingPluginCommandsToShareMenu(QMenu* menu)
{
  return addSharingPluginCommandsToMenu(menu, presentedSharableItemForSharing(),
                                        viewRepresentingSelectedArticleForPluginPopover(), nullptr);
}

std::optional<CBSharableItem> ZPHMainWindowController::presentedSharableItemForSharing() const
{
  if (!m_presentedSharableItem.canConvert<CBSharableItem>())
    return std::nullopt;
  return m_presentedSharableItem.value<CBSharableItem>();
}

QWidget* ZPHMainWindowController::presentedSharableItemPopoverRelativeView() const
{
  return m_toolbarController != nullptr
             ? m_toolbarController->controlForItemIdentifier(ZPHMainWindowToolbarController::ShareItemIdentifier)
             : nullptr;
}

void ZPHMainWindowController::presentSharingPopOver()
{
  if (m_toolbarController != nullptr)
    m_toolbarController->showSharePopover();
}

void ZPHMainWindowController::moveFocusToArticleListAndSelectTopRowIfNeeded()
{
  if (m_articleListDelegate == nullptr)
    return;
  if (ZPHReadingLayoutViewController* layout = m_articleListDelegate->currentLayoutViewController())
    layout->moveFocusToArticleListAndSelectTopRowIfNeeded();
}

// MARK: - Keys

namespace {

// The scroll bar of what shows the article, where the article pane has one.
QScrollBar* articleScrollBar(ZPHArticleListDelegate* articles)
{
  ZPHReadingLayoutViewController* layout = articles != nullptr ? articles->currentLayoutViewController() : nullptr;
  ZPHArticleDetailPane* pane = layout != nullptr ? layout->detailViewController() : nullptr;
  QWidget* view = pane != nullptr ? pane->view() : nullptr;
  if (view == nullptr)
    return nullptr;
  auto* area = qobject_cast<QAbstractScrollArea*>(view);
  if (area == nullptr)
    area = view->findChild<QAbstractScrollArea*>();
  return area != nullptr ? area->verticalScrollBar() : nullptr;
}

}  // namespace

ZPHMainWindowKeyTable::Flags ZPHMainWindowController::keyRoutingFlags(QWidget* focus)
{
  Q_UNUSED(focus);
  ZPHMainWindowKeyTable::Flags flags;
  if (m_sourceListViewController != nullptr) {
    flags.typeSelecting = m_sourceListViewController->isCurrentlyTypeSelecting();
    const qsizetype favorites = m_sourceListViewController->zph_selectedFavoritesGroupFeeds().size();
    flags.selectionIsAllFavorites = favorites > 0 && favorites == m_sourceListViewController->selectedRows().size();
  }
  flags.canMoveFocusToArticleList = canMoveFocusToArticleList();
  flags.browserTabSelected = tabsController() != nullptr && !tabsController()->isNewsItemsTabSelected();
  flags.currentWebViewIsDetailView = selectedArticle() != nullptr && !flags.browserTabSelected;
  if (flags.currentWebViewIsDetailView) {
    if (QScrollBar* bar = articleScrollBar(m_articleListDelegate.get())) {
      flags.webViewCanScrollDown = bar->value() < bar->maximum();
      flags.webViewCanScrollUp = bar->value() > bar->minimum();
    }
  }
  flags.spaceWentToNextUnreadJustNow = m_lastSpaceNextUnread >= 0 && m_clock->now() - m_lastSpaceNextUnread <= 100;
  ZPHReadingLayoutViewController* layout =
      m_articleListDelegate != nullptr ? m_articleListDelegate->currentLayoutViewController() : nullptr;
  flags.previousArticleRowSelectable = layout != nullptr && layout->previousRow() >= 0;
  return flags;
}

bool ZPHMainWindowController::performKeyAction(const ZPHMainWindowKeyTable::Action& action, QWidget* focus)
{
  using Effect = ZPHMainWindowKeyTable::Effect;
  ZPHSourceListViewController* sourceList = m_sourceListViewController.get();
  ZPHSourceListView* outline = sourceList != nullptr ? sourceList->sourceListOutlineView() : nullptr;
  switch (action.effect) {
    case Effect::None:
      return false;
    case Effect::Swallow:
      return true;
    case Effect::SendAction:
      return m_responderChain.sendAction(action.selector, focus);
    case Effect::SelectPreviousSourceListRow:
    case Effect::SelectNextSourceListRow:
      if (sourceList == nullptr)
        return false;
      if (action.effect == Effect::SelectPreviousSourceListRow)
        sourceList->selectPreviousRow();
      else
        sourceList->selectNextRow();
      m_responderChain.sendAction(action.selector, focus);
      return true;
    case Effect::CollapseItemOrCollapseItemToParent: {
      if (outline == nullptr)
        return false;
      const QModelIndex current = outline->currentIndex();
      if (current.isValid() && outline->isExpanded(current)) {
        outline->collapse(current);
      } else if (current.parent().isValid()) {
        outline->setCurrentIndex(current.parent());
        outline->collapse(current.parent());
      }
      return true;
    }
    case Effect::ExpandSelectedItem:
      if (outline == nullptr)
        return false;
      if (outline->currentIndex().isValid())
        outline->expand(outline->currentIndex());
      return true;
    case Effect::CollapseAll:
      if (outline == nullptr)
        return false;
      outline->collapseAllItems();
      return true;
    case Effect::ExpandAll:
      if (outline == nullptr)
        return false;
      outline->expandAllItems();
      return true;
    case Effect::RemoveFromFavorites:
      return sourceList != nullptr && sourceList->commands()->performCommand(QStringLiteral("removeFromFavorites:"));
    case Effect::NextUnreadBySpace:
      m_lastSpaceNextUnread = m_clock->now();
      m_responderChain.sendAction(action.selector, focus);
      return true;
    case Effect::MoveFocusToArticleList:
      moveFocusToArticleListAndSelectTopRowIfNeeded();
      return true;
    case Effect::OpenExternalURLForSelectedArticle:
      openInBrowser(true);
      return true;
    case Effect::ScrollWebViewDown:
    case Effect::ScrollWebViewUp:
      if (QScrollBar* bar = articleScrollBar(m_articleListDelegate.get())) {
        bar->triggerAction(action.effect == Effect::ScrollWebViewDown ? QAbstractSlider::SliderPageStepAdd
                                                                      : QAbstractSlider::SliderPageStepSub);
        return true;
      }
      return false;
    case Effect::SelectPreviousArticleRow: {
      ZPHReadingLayoutViewController* layout =
          m_articleListDelegate != nullptr ? m_articleListDelegate->currentLayoutViewController() : nullptr;
      if (layout == nullptr || layout->previousRow() < 0)
        return false;
      layout->selectRow(layout->previousRow(), true);
      return true;
    }
    case Effect::MakeAddressFieldFirstResponder:
      if (ZPHBrowserViewController* browser =
              m_contentPaneController != nullptr ? m_contentPaneController->currentBrowserViewController() : nullptr) {
        browser->makeAddressFieldFirstResponder();
        return true;
      }
      return false;
  }
  return false;
}
