#include "shell/ZPHAppDelegate.h"

#include "shell/ZPHApplicationCommands.h"
#include "shell/ZPHDockIconController.h"
#include "shell/ZPHMainMenuController.h"

#include "articlelist/ZPHReadingLayoutViewController.h"
#include "subscribe/ZPHSubscribeRequest.h"

#include "browser/ZPHTabCommands.h"
#include "common/ZPHApplicationNotifications.h"
#include "common/ZPHIncomingAddress.h"
#include "common/ZPHShellLog.h"
#include "feeds/images/CBFaviconController.h"
#include "feeds/metadata/CBLocalAccountFeedMetadataCache.h"
#include "feeds/network/CBDownloadOperation.h"
#include "feeds/refresh/ZPHRefreshController.h"
#include "feeds/refresh/ZPHStatusItem.h"
#include "foundation/CBPrefs.h"
#include "mainwindow/ZPHMainWindowController.h"
#include "mainwindow/status/ZPHStatusViewController.h"
#include "platform/ZPHMainThread.h"
#include "platform/ZPHUserDefaults.h"
#include "sharing/ZPHPluginManager.h"
#include "sheets/ZPHAuthenticationController.h"
#include "sheets/ZPHSyncQuestionsController.h"
#include "shell/CBDesktopApplications.h"
#include "shell/CBDiskSpaceChecker.h"
#include "shell/ZPHBrowserLauncher.h"
#include "shell/ZPHDesktopIdentity.h"
#include "shell/ZPHInstanceLock.h"
#include "shell/ZPHLaunchArguments.h"
#include "shell/ZPHLinkRouting.h"
#include "shell/ZPHMacCoreDataStack.h"
#include "shell/ZPHQuitSequence.h"
#include "shell/ZPHQuittingWindowController.h"
#include "shell/ZPHScreenshotHook.h"
#include "shell/ZPHStartupSequence.h"
#include "sourcelist/ZPHSourceListViewController.h"
#include "store/CBDataController.h"
#include "store/accounts/CBDataAccount.h"
#include "store/entities/CBDataArticle.h"
#include "store/entities/CBFeed.h"
#include "store/entities/CBFolder.h"
#include "store/graph/ZPHObjectGraphErrors.h"
#include "store/graph/ZPHPersistentStore.h"
#include "store/operations/ZPHDeleteEnclosuresWithoutArticlesOperation.h"
#include "store/operations/ZPHDeleteMarkedArticlesOperation.h"
#include "store/tree/ZPHSourceListTreeBuilder.h"
#include "subscriptions/ZPHAddSiteAddressContentViewController.h"
#include "subscriptions/ZPHOPMLBackupController.h"
#include "subscriptions/ZPHSubscriptionCommands.h"
#include "subscriptions/ZPHZephlin3LocalFeedImporter.h"
#include "sync/ZPHSyncManager.h"
#include "web/ZPHInternalPagesProfile.h"
#include "web/ZPHMacWebView.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QDir>
#include <QtCore/QStandardPaths>
#include <QtCore/QTimer>
#include <QtGui/QAction>
#include <QtGui/QGuiApplication>
#include <QtGui/QWindowStateChangeEvent>
#include <QtWidgets/QApplication>
#include <QtWidgets/QDialog>
#include <QtWidgets/QMainWindow>
#include <QtWidgets/QMessageBox>
#include <QtWidgets/QWidget>

#include <pwd.h>
#include <unistd.h>

const QString ZPHFavoritesFeedsEnabled = QStringLiteral("ZPHFavoritesFeedsEnabled");
const QString ZPHFirstRunDateKey = QStringLiteral("FirstRunDate");
const QString ZPHDidSetWebKitPrefsKey = QStringLiteral("didSetWebKitPrefs");
const QString ZPHNumberOfLaunchesKey = QStringLiteral("ZPHNumberOfLaunches");
const QString ZPHHasAskedToSignUpToNewsletterKey = QStringLiteral("ZPHHasAskedToSignUpToNewsletter");
const QString ZPHMainWindowControllerWasFullScreenKey = QStringLiteral("ZPHMainWindowControllerWasFullScreen");
const QString ZPHStoreIntegrityCheckDueKey = QStringLiteral("ZPHStoreIntegrityCheckDue");
const QString ZPHApplicationShouldActivatePrimaryWindow = QStringLiteral("ZPHApplicationShouldActivatePrimaryWindow");
const QString ZPHApplicationResignedActiveNotification = QStringLiteral("ZPHApplicationResignedActive");

namespace {

ZPHAppDelegate* g_appDelegate = nullptr;

const QString ProjectPage = QStringLiteral("https://www.fernhollow.com/zephlin/");
constexpr int PeriodicRefreshIntervalMs = 60 * 1000;
constexpr int InitialRefreshDelayMs = 1000;
constexpr qint64 ShortestPeriodicRefreshMinutes = 10;

template <typename T>
void forwardOrDrop(CBDataController* controller, T&& call)
{
  if (controller != nullptr)
    call(controller);
}

}  // namespace

// ================================================================ creation

ZPHAppDelegate::ZPHAppDelegate(Environment environment, QObject* parent)
    : QObject(parent), m_environment(std::move(environment))
{
  ZPH_ASSERT_MAIN_THREAD();
  Q_ASSERT_X(g_appDelegate == nullptr, Q_FUNC_INFO, "one application delegate per process");
  g_appDelegate = this;

  if (!m_environment.now)
    m_environment.now = [] { return QDateTime::currentDateTime(); };
  if (!m_environment.freeDiskSpace)
    m_environment.freeDiskSpace = &CBDiskSpaceChecker::freeSpaceAtPath;
  if (!m_environment.runModalAlert)
    m_environment.runModalAlert = &ZPHAlert::run;
  if (!m_environment.openURL) {
    // Links that cannot open: the desktop's opener says so late; we tell.
    m_browserLauncher = std::make_unique<ZPHBrowserLauncher>();
    connect(m_browserLauncher.get(), &ZPHBrowserLauncher::failedToOpen, this, &ZPHAppDelegate::linkDidNotOpen);
    connect(m_browserLauncher.get(), &ZPHBrowserLauncher::opened, this, [](const QUrl& url) {
      if (CBURLForDefaultBrowser(url).isValid())
        ZPHNotificationCenter::defaultCenter().post(ZPHAppDelegateDidOpenURLInExternalWebBrowserNotification,
                                                    QVariant::fromValue(url));
    });
    m_environment.openURL = [launcher = m_browserLauncher.get()](const QUrl& url) { return launcher->openURL(url); };
  }
  if (!m_environment.exitApplication)
    m_environment.exitApplication = [](int status) { QCoreApplication::exit(status); };
  if (!m_environment.keyboardModifiers)
    m_environment.keyboardModifiers = [] { return QGuiApplication::keyboardModifiers(); };
  if (!m_environment.beep)
    m_environment.beep = [] { QApplication::beep(); };
  m_startupSequence = std::make_unique<ZPHStartupSequence>(*this, m_environment);
  m_quitSequence = std::make_unique<ZPHQuitSequence>(*this, m_environment);
  ZPHApplyDesktopIdentity();

  ZPHUserDefaults::standardUserDefaults().registerDefaults({
      {QStringLiteral("WebKitDeveloperExtras"), true},
      {QStringLiteral("WebKitAcceleratedCompositingEnabled"), true},
      {ZPHFavoritesFeedsEnabled, true},
      {ZPHBrowserSelectNewTabsAsTheyAreCreated, true},
      {ZPHKeyMapSetName, QStringLiteral("Zephlin 4")},
      {ZPHPluginsEnabled, true},
      {ZPHPictureLayoutKey, true},
  });

  m_userAgent = userAgentString();
  CBDownloadOperation::setDefaultUserAgent(m_userAgent);
  m_applicationNameForWebviewUserAgent = QCoreApplication::applicationName();
  webViewApplicationName();
  registerServices(this);

  // Fixed here, before any of the library's threads can ask.
  m_dataFolder = m_environment.dataFolder.isEmpty() ? QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)
                                                    : m_environment.dataFolder;
  m_cacheFolder = m_environment.cacheFolder.isEmpty() ? QStandardPaths::writableLocation(QStandardPaths::CacheLocation)
                                                      : m_environment.cacheFolder;

  m_previousDelegate = sharedDelegate();
  setSharedDelegate(this);

  if (!m_environment.screenshotPath.isEmpty() && !m_environment.screenshotStatePath.isEmpty() &&
      m_environment.loadScreenshotState) {
    QString problem;
    m_screenshotScript = m_environment.loadScreenshotState(m_environment.screenshotStatePath, &problem);
    if (m_screenshotScript == nullptr)
      qCWarning(zphShell).noquote() << "cannot read the screenshot's state" << m_environment.screenshotStatePath
                                    << problem;
  }

  if (QCoreApplication* application = QCoreApplication::instance())
    application->installEventFilter(this);
  makeCommands();
  if (auto* gui = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
    connect(gui, &QGuiApplication::applicationStateChanged, this, [](Qt::ApplicationState state) {
      if (state != Qt::ApplicationActive)
        ZPHNotificationCenter::defaultCenter().post(ZPHApplicationResignedActiveNotification);
    });
  }
}

ZPHAppDelegate::~ZPHAppDelegate()
{
  m_observers.clear();
  // The backups follow this application's data folder only.
  ZPHOPMLBackupController::sharedOPMLBackupController()->stopRunning();
  m_subscriptionCommands.reset();
  if (m_periodicRefreshTimer)
    m_periodicRefreshTimer->stop();
  if (m_initialRefreshTimer)
    m_initialRefreshTimer->stop();
  m_screenshotScript.reset();
  m_quittingWindowController.reset();
  // Menus, badge and windows: their sheets are answered before the window goes.
  m_syncQuestionsController.reset();
  ZPHAddSiteAddressContentViewController::setCancelCurrentCredentialsRequest({});
  m_authenticationController.reset();
  m_dockIconController.reset();
  m_mainMenuController.reset();
  m_mainWindowController.reset();
  ZPHReadingLayoutViewController::setDetailPaneFactory({});
  m_quitSequence->releaseRefreshController();
  m_sourceListTreeBuilder.reset();
  // The store closes without writing its log back into the file: that
  // grows with the log and the file, and the next start does it in the
  // background. (The failure path let go of the store already.)
  if (m_dataControllerOwner != nullptr && m_dataControllerOwner->persistentStore() != nullptr)
    m_dataControllerOwner->persistentStore()->leaveLogOnClose();
  m_quitSequence->releaseDataController();
  // The store is closed: the data folder is free for the next launch.
  m_instanceLock.reset();
  // Web pages go before their profile, the profile before the application.
  m_internalPagesProfile.reset();
  ZPHDeleteMarkedArticlesOperation::setCachedImagesPurge({});
  m_ownNetworkController.reset();
  if (sharedDelegate() == this)
    setSharedDelegate(m_previousDelegate);
  unregisterServices(this);
  g_appDelegate = nullptr;
}

ZPHAppDelegate* ZPHAppDelegate::appDelegate() { return g_appDelegate; }

QString ZPHAppDelegate::applicationVersion()
{
  const QString version = QCoreApplication::applicationVersion();
  return version.isEmpty() ? QStringLiteral(ZEPHLIN_VERSION) : version;
}

QString ZPHAppDelegate::userAgentString()
{
  return QStringLiteral("Zephlin/%1 (Linux; %2; gzip-happy)").arg(applicationVersion(), ProjectPage);
}

QDateTime ZPHAppDelegate::now() const { return m_environment.now(); }

int ZPHAppDelegate::runModalAlert(const ZPHAlert& alert) { return m_environment.runModalAlert(alert); }

// ================================================================ start-up

void ZPHAppDelegate::applicationDidFinishLaunching()
{
  if (m_startupRan)
    return;
  m_startupRan = true;
  m_startupSequence->run();
}

// =============================================================== refreshes

void ZPHAppDelegate::accountReady()
{
  if (m_periodicRefreshTimer == nullptr) {
    m_periodicRefreshTimer = new QTimer(this);
    m_periodicRefreshTimer->setInterval(PeriodicRefreshIntervalMs);
    connect(m_periodicRefreshTimer, &QTimer::timeout, this, &ZPHAppDelegate::doPeriodicRefreshIfNeeded);
    m_periodicRefreshTimer->start();
  }
  ZPHDeleteMarkedArticlesOperation::asynchronouslyDeleteArticlesMarkedForDeletion();
  ZPHDeleteEnclosuresWithoutArticlesOperation::asynchronouslyDeleteEnclosuresWithoutArticles();
  if (m_initialRefreshTimer == nullptr) {
    m_initialRefreshTimer = new QTimer(this);
    m_initialRefreshTimer->setSingleShot(true);
    m_initialRefreshTimer->setInterval(InitialRefreshDelayMs);
    connect(m_initialRefreshTimer, &QTimer::timeout, this, &ZPHAppDelegate::performInitialRefreshAll);
  }
  m_initialRefreshTimer->start();  // a pending one starts over
}

void ZPHAppDelegate::performInitialRefreshAll()
{
  if (m_initialRefreshDone || m_appIsShuttingDown)
    return;
  if (m_networkController == nullptr || !m_networkController->hasInternetConnectivity()) {
    // Offline: the first refresh waits for the network; until it has run no
    // session ends and the timer refreshes nothing.
    if (!m_initialRefreshWaitsForConnectivity)
      qCInfo(zphShell) << "offline at start-up; the first refresh runs once the network can be reached";
    m_initialRefreshWaitsForConnectivity = true;
    return;
  }
  m_initialRefreshDone = true;
  m_initialRefreshWaitsForConnectivity = false;
  refreshAll();
}

void ZPHAppDelegate::internetConnectivityChanged(bool connected)
{
  if (connected && m_initialRefreshWaitsForConnectivity)
    performInitialRefreshAll();
}

void ZPHAppDelegate::doPeriodicRefreshIfNeeded()
{
  if (m_refreshInProgress || !m_lastRefreshDate.isValid())
    return;
  const qint64 minutes = ZPHUserDefaults::standardUserDefaults().integerForKey(ZPHRefreshFeedsIntervalKey);
  if (minutes < ShortestPeriodicRefreshMinutes)
    return;
  if (m_lastRefreshDate.addSecs(minutes * 60) <= now())
    refreshAll();
}

void ZPHAppDelegate::refreshAll()
{
  if (m_networkController == nullptr || !m_networkController->hasInternetConnectivity())
    return;
  ZPHRefreshController* refresh = refreshController();
  CBDataController* data = dataController();
  if (refresh == nullptr || data == nullptr || data->localAccount() == nullptr)
    return;
  refresh->refreshAllInAccounts({data->localAccount()});
}

void ZPHAppDelegate::refreshSessionDidBegin() { m_refreshInProgress = true; }

void ZPHAppDelegate::refreshSessionDidEnd()
{
  m_refreshInProgress = false;
  m_lastRefreshDate = now();
}

void ZPHAppDelegate::feedsAndFoldersDidReorganize()
{
  if (CBDataController* data = dataController(); data != nullptr && data->localAccount() != nullptr)
    data->localAccount()->markAllUnreadCountsAsInvalid();
}

// ==================================================================== quit

bool ZPHAppDelegate::eventFilter(QObject* watched, QEvent* event)
{
  if (event->type() == QEvent::Quit && watched == QCoreApplication::instance()) {
    requestTermination();
    return true;
  }
  if (event->type() == QEvent::WindowStateChange && mainWindow() != nullptr && watched == mainWindow()) {
    // The full-screen state is kept for the next start.
    const bool fullScreen = mainWindow()->isFullScreen();
    const bool wasFullScreen = static_cast<QWindowStateChangeEvent*>(event)->oldState() & Qt::WindowFullScreen;
    if (fullScreen != wasFullScreen)
      ZPHUserDefaults::standardUserDefaults().setBool(ZPHMainWindowControllerWasFullScreenKey, fullScreen);
  }
  if (event->type() == QEvent::Close && mainWindow() != nullptr && watched == mainWindow()) {
    // While the tray icon shows, the window only hides; else closing it
    // quits.
    if (!m_mainWindowController->closingWindowEndsProgram())
      return QObject::eventFilter(watched, event);
    event->ignore();
    requestTermination();
    return true;
  }
  return QObject::eventFilter(watched, event);
}

void ZPHAppDelegate::requestTermination() { m_quitSequence->requestTermination(); }

void ZPHAppDelegate::terminateAfterCoreDataFailure() { m_quitSequence->terminateAfterCoreDataFailure(); }

void ZPHAppDelegate::closeStoreThen(std::function<void()> then) { m_quitSequence->closeStoreThen(std::move(then)); }

// ================================================================= windows

void ZPHAppDelegate::makePrimaryWindowKeyAndOrderedFront()
{
  if (mainWindow() == nullptr)
    return;
  if (mainWindow()->isMinimized())
    mainWindow()->showNormal();
  mainWindow()->show();
  mainWindow()->raise();
  mainWindow()->activateWindow();
}

void ZPHAppDelegate::applicationShouldHandleReopen() { makePrimaryWindowKeyAndOrderedFront(); }

bool ZPHAppDelegate::isInFullScreen() const { return mainWindow() != nullptr && mainWindow()->isFullScreen(); }

bool ZPHAppDelegate::isRunningSandboxed()
{
  static const bool sandboxed = [] {
    const struct passwd* entry = getpwuid(getuid());
    if (entry == nullptr || entry->pw_dir == nullptr)
      return false;
    return QDir(QString::fromLocal8Bit(entry->pw_dir)).canonicalPath() != QDir(QDir::homePath()).canonicalPath();
  }();
  return sandboxed;
}

void ZPHAppDelegate::setSourceListTreeBuilder(std::unique_ptr<ZPHSourceListTreeBuilder> builder)
{
  m_sourceListTreeBuilder = std::move(builder);
}

bool ZPHAppDelegate::runModalSheet(QDialog* window, std::function<void()> work)
{
  if (window == nullptr || mainWindow() == nullptr || !mainWindow()->isVisible() || mainWindow()->isMinimized() ||
      m_runningModalSheet)
    return false;
  m_runningModalSheet = true;
  window->setParent(mainWindow(), Qt::Sheet);
  window->setWindowModality(Qt::WindowModal);
  connect(
      window, &QDialog::finished, this, [this] { m_runningModalSheet = false; }, Qt::SingleShotConnection);
  if (work)
    QTimer::singleShot(0, this, std::move(work));
  window->open();
  return true;
}

void ZPHAppDelegate::showAlertSheetWithTitle(const QString& title, const QString& message)
{
  if (mainWindow() == nullptr)
    return;
  auto* box = new QMessageBox(mainWindow());
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setTextFormat(Qt::PlainText);
  box->setText(title);
  box->setInformativeText(message);
  box->setStandardButtons(QMessageBox::Ok);
  box->setWindowModality(Qt::WindowModal);
  box->open();
}

QVariantMap ZPHAppDelegate::sharingDictionaryWithLink(const QString& link)
{
  QVariantMap dictionary;
  if (!link.isEmpty())
    dictionary.insert(QStringLiteral("url"), link);
  return dictionary;
}

QVariantMap ZPHAppDelegate::sharingDictionaryForDataItem(const CBDataArticle* article)
{
  QVariantMap dictionary;
  if (article == nullptr)
    return dictionary;
  const QString link = article->bestLink();
  if (!link.isEmpty())
    dictionary.insert(QStringLiteral("url"), link);
  if (!article->title().isEmpty())
    dictionary.insert(QStringLiteral("title"), article->title());
  return dictionary;
}

void ZPHAppDelegate::sharingDictionaryForWebPage(ZPHMacWebView* webView, std::function<void(const QVariantMap&)> done)
{
  if (!done)
    return;
  if (webView == nullptr) {
    done({});
    return;
  }
  QVariantMap dictionary = sharingDictionaryWithLink(webView->zph_currentURLString());
  if (const QString title = webView->zph_currentTitle(); !title.isEmpty())
    dictionary.insert(QStringLiteral("title"), title);
  webView->zph_htmlSource([dictionary, done = std::move(done)](const QString& html) mutable {
    if (!html.isEmpty())
      dictionary.insert(QStringLiteral("html"), html);
    done(dictionary);
  });
}

void ZPHAppDelegate::selectRepresentedObjectInMainWindowSourceList(ZPHRepresentedObject object, bool refresh,
                                                                   bool scrollIfNeeded)
{
  ZPHSourceListViewController* sourceList =
      m_mainWindowController != nullptr ? m_mainWindowController->sourceListViewController() : nullptr;
  if (sourceList == nullptr)
    return;
  if (refresh)
    sourceList->refreshDataCacheReloadDataAndSelectObject(object, scrollIfNeeded);
  else
    sourceList->selectRepresentedObject(object, scrollIfNeeded);
}

void ZPHAppDelegate::makeAppObserversPerform(const std::function<void(CBAppObserver*)>& call) const
{
  ZPHPluginManager::sharedManager()->makeAppObserversPerform(call);
}

QString ZPHAppDelegate::keyMapSetNameForStoredValue(const QVariant& value)
{
  const QString name = value.toString();
  return name == QLatin1String("Zephlin 3") ? name : QStringLiteral("Zephlin 4");
}

// ======================================================== library services

ZPHManagedObjectContext* ZPHAppDelegate::mainThreadManagedObjectContext() const
{
  CBDataController* data = dataController();
  return data ? data->mainThreadManagedObjectContext() : nullptr;
}

std::shared_ptr<ZPHManagedObjectContext> ZPHAppDelegate::temporaryManagedObjectContext()
{
  CBDataController* data = dataController();
  return data ? data->temporaryManagedObjectContext() : nullptr;
}

std::shared_ptr<ZPHManagedObjectContext> ZPHAppDelegate::temporaryManagedObjectContextOnPrivateQueue()
{
  CBDataController* data = dataController();
  return data ? data->temporaryManagedObjectContextOnPrivateQueue() : nullptr;
}

void ZPHAppDelegate::addCoreDataQueueOperation(std::shared_ptr<ZPHOperation> operation)
{
  forwardOrDrop(dataController(),
                [&](CBDataController* data) { data->addCoreDataQueueOperation(std::move(operation)); });
}

void ZPHAppDelegate::addCoreDataQueueOperationAndWait(std::shared_ptr<ZPHOperation> operation)
{
  forwardOrDrop(dataController(),
                [&](CBDataController* data) { data->addCoreDataQueueOperationAndWait(std::move(operation)); });
}

void ZPHAppDelegate::addCoreDataQueueBlock(std::function<void()> block, std::function<void()> completionHandler)
{
  forwardOrDrop(dataController(), [&](CBDataController* data) {
    data->addCoreDataQueueBlock(std::move(block), std::move(completionHandler));
  });
}

void ZPHAppDelegate::addMainThreadCoreDataQueueBlock(std::function<void()> block)
{
  forwardOrDrop(dataController(),
                [&](CBDataController* data) { data->addMainThreadCoreDataQueueBlock(std::move(block)); });
}

void ZPHAppDelegate::addMainThreadCoreDataQueueBlockIgnoringTermination(std::function<void()> block)
{
  forwardOrDrop(dataController(), [&](CBDataController* data) {
    data->addMainThreadCoreDataQueueBlockIgnoringTermination(std::move(block));
  });
}

void ZPHAppDelegate::saveManagedObjectContext(ZPHManagedObjectContext* context)
{
  forwardOrDrop(dataController(), [&](CBDataController* data) { data->saveManagedObjectContext(context); });
}

void ZPHAppDelegate::handleCoreDataFailureWithError(const ZPHError& error)
{
  // Only a damaged store goes aside; after any other failure it stays.
  if (ZPHObjectGraphErrorSaysStoreIsDamaged(error))
    ZPHMacCoreDataStack::quitForCoreDataFailureWithError(error);
  else
    ZPHMacCoreDataStack::reportFailedSaveWithError(error);
}

void ZPHAppDelegate::performUndoableOperation(std::shared_ptr<ZPHUndoableOperation> operation)
{
  if (operation == nullptr)
    return;
  if (!ZPHMainThread::isMainThread()) {
    QPointer<ZPHAppDelegate> self(this);
    ZPHMainThread::async([self, operation = std::move(operation)]() mutable {
      if (self != nullptr)
        self->performUndoableOperation(std::move(operation));
    });
    return;
  }
  // The main window's undo stack registers the inverse and queues the
  // operation.
  if (m_mainWindowController == nullptr) {
    qCWarning(zphShell) << "no main window takes undoable operations; the operation is dropped";
    return;
  }
  m_mainWindowController->performUndoableOperation(std::move(operation));
}

QMainWindow* ZPHAppDelegate::mainWindow() const
{
  return m_mainWindowController != nullptr && m_mainWindowController->isWindowLoaded()
             ? m_mainWindowController->window()
             : nullptr;
}

ZPHStatusViewController* ZPHAppDelegate::statusArea() const
{
  return m_mainWindowController != nullptr ? m_mainWindowController->statusViewController() : nullptr;
}

QList<std::shared_ptr<ZPHStatusItem>> ZPHAppDelegate::statusItems() const
{
  QMutexLocker locker(&m_statusItemsMutex);
  return m_statusItems;
}

void ZPHAppDelegate::addStatusItem(std::shared_ptr<ZPHStatusItem> item, std::function<void()> addCompletionHandler)
{
  if (!ZPHMainThread::isMainThread()) {
    QPointer<ZPHAppDelegate> self(this);
    ZPHMainThread::async([self, item = std::move(item), handler = std::move(addCompletionHandler)]() mutable {
      if (self != nullptr)
        self->addStatusItem(std::move(item), std::move(handler));
      else if (handler)
        handler();
    });
    return;
  }
  if (ZPHStatusViewController* area = statusArea()) {
    area->addStatusItem(std::move(item), std::move(addCompletionHandler));
    return;
  }
  // Without a status area the item is kept and counts as shown.
  if (item != nullptr) {
    QMutexLocker locker(&m_statusItemsMutex);
    m_statusItems.append(std::move(item));
  }
  if (addCompletionHandler)
    addCompletionHandler();
}

void ZPHAppDelegate::removeStatusItem(std::shared_ptr<ZPHStatusItem> item,
                                      std::function<void()> removalCompletionHandler)
{
  if (!ZPHMainThread::isMainThread()) {
    QPointer<ZPHAppDelegate> self(this);
    ZPHMainThread::async([self, item = std::move(item), handler = std::move(removalCompletionHandler)]() mutable {
      if (self != nullptr)
        self->removeStatusItem(std::move(item), std::move(handler));
      else if (handler)
        handler();
    });
    return;
  }
  if (ZPHStatusViewController* area = statusArea()) {
    area->removeStatusItem(std::move(item), std::move(removalCompletionHandler));
    return;
  }
  // Without a status area the item goes at once.
  {
    QMutexLocker locker(&m_statusItemsMutex);
    m_statusItems.removeAll(item);
  }
  if (removalCompletionHandler)
    removalCompletionHandler();
}

void ZPHAppDelegate::removeAnyStatusItemWithIdentifier(const QString& identifier)
{
  if (!ZPHMainThread::isMainThread()) {
    QPointer<ZPHAppDelegate> self(this);
    ZPHMainThread::async([self, identifier] {
      if (self != nullptr)
        self->removeAnyStatusItemWithIdentifier(identifier);
    });
    return;
  }
  if (ZPHStatusViewController* area = statusArea()) {
    area->removeAnyStatusItemWithIdentifier(identifier);
    return;
  }
  QMutexLocker locker(&m_statusItemsMutex);
  m_statusItems.removeIf(
      [&](const std::shared_ptr<ZPHStatusItem>& item) { return item && item->identifier() == identifier; });
}

QList<CBFeed*> ZPHAppDelegate::addFeedsWithSubscribeRequestReturningNewlyAddedFeeds(
    std::shared_ptr<ZPHSubscribeRequest> request)
{
  // The Add Site window runs the request as a sheet.
  if (request == nullptr)
    return {};
  if (m_seams.addFeedsWithSubscribeRequest)
    return m_seams.addFeedsWithSubscribeRequest(request);
  qCInfo(zphShell).noquote() << "no Add Site window to take the subscription to"
                             << request->feedURL().toString(QUrl::RemoveUserInfo);
  return {};
}

bool ZPHAppDelegate::openURLInDefaultWebBrowser(const QUrl& url)
{
  return openLink(url, {LinkPlace::ExternalBrowser, false, false}) != LinkOutcome::Refused;
}

// ========================================== addresses and files from outside

void ZPHAppDelegate::handleLaunchArguments(const QStringList& arguments, const QString& workingDirectory)
{
  if (m_appIsShuttingDown)
    return;
  if (!m_startupEnded) {
    if (m_pendingLaunchArguments.size() >= MaxPendingLaunches) {
      qCWarning(zphShell) << "start-up has not ended and" << MaxPendingLaunches
                          << "launches wait already; the addresses and files of another are dropped";
      return;
    }
    m_pendingLaunchArguments.append({arguments, workingDirectory});
    return;
  }
  QStringList files;
  for (const ZPHLaunchRequest& request : ZPHLaunchArguments::requestsForArguments(arguments, workingDirectory)) {
    switch (request.kind) {
      case ZPHLaunchRequest::Kind::GetURL:
        getURL(request.value);
        break;
      case ZPHLaunchRequest::Kind::AddFeedURL:
        addFeedURLScript(request.value);
        break;
      case ZPHLaunchRequest::Kind::OpenFile:
        files.append(request.value);
        break;
    }
  }
  if (!files.isEmpty())
    applicationOpenFiles(files);
}

void ZPHAppDelegate::takePendingLaunchArguments()
{
  const QList<std::pair<QStringList, QString>> pending = std::exchange(m_pendingLaunchArguments, {});
  for (const auto& [arguments, workingDirectory] : pending) handleLaunchArguments(arguments, workingDirectory);
}

void ZPHAppDelegate::getURL(const QString& string)
{
  const QString address = ZPHIncomingAddress::subscriptionAddressForGetURLString(string);
  if (address.isEmpty())
    return;
  qCInfo(zphShell).noquote() << "asked to subscribe to" << ZPHIncomingAddress::withoutUserInfo(address);
  // After the caller has returned, so a running sheet does not hold it up.
  QTimer::singleShot(0, this, [this, address] { handleSubscribeToFeedRequest(address, true, false); });
}

void ZPHAppDelegate::handleSubscribeToFeedRequest(const QString& urlString, bool searchImmediately,
                                                  bool useCurrentlySelectedContainer)
{
  makePrimaryWindowKeyAndOrderedFront();
  const QUrl url(urlString, QUrl::StrictMode);
  if (!url.isValid() || url.scheme().isEmpty() || mainWindow() == nullptr) {
    m_environment.beep();
    return;
  }
  // The local account is the one account with feeds.
  CBDataController* data = dataController();
  CBDataAccount* account = data != nullptr ? data->localAccount() : nullptr;
  if (account == nullptr || !account->isSubscribedToFeedWithURL(url)) {
    addFeedWithURLString(urlString, searchImmediately, useCurrentlySelectedContainer);
    return;
  }
  CBFeed* feed = account->feedWithURL(url);
  ZPHSourceListViewController* sourceList =
      m_mainWindowController != nullptr ? m_mainWindowController->sourceListViewController() : nullptr;
  if (feed == nullptr || sourceList == nullptr)
    return;
  selectRepresentedObjectInMainWindowSourceList(static_cast<CBNode*>(feed), true, true);
  sourceList->makeSourceListOutlineViewFirstResponder();
}

void ZPHAppDelegate::addFeedWithURLString(const QString& urlString, bool searchImmediately,
                                          bool useCurrentlySelectedContainer)
{
  if (m_runningModalSheet)
    return;
  if (!m_seams.addSite) {
    qCInfo(zphShell).noquote() << "no Add Site window to subscribe to"
                               << ZPHIncomingAddress::withoutUserInfo(urlString);
    return;
  }
  const QUrl url(urlString, QUrl::StrictMode);
  m_seams.addSite(url.isValid() ? urlString : QString(), searchImmediately, useCurrentlySelectedContainer);
}

void ZPHAppDelegate::addFeedURLScript(const QString& urlString)
{
  if (!urlString.isEmpty())
    getURL(QStringLiteral("zephlin://add/") + urlString);
}

void ZPHAppDelegate::applicationOpenFiles(const QStringList& paths)
{
  for (const QString& path : paths) {
    if (!isProbablyOPMLFile(path)) {
      qCInfo(zphShell).noquote() << "not a subscription list:" << ZPHIncomingAddress::withoutUserInfo(path);
      continue;
    }
    makePrimaryWindowKeyAndOrderedFront();
    if (m_seams.importOPMLFile)
      m_seams.importOPMLFile(path);
    else
      qCInfo(zphShell).noquote() << "no import to take the subscription list"
                                 << ZPHIncomingAddress::withoutUserInfo(path);
  }
}

bool ZPHAppDelegate::systemShouldOpenURLString(const QString& string)
{
  const QUrl url(string, QUrl::StrictMode);
  return url.isValid() && url.scheme().compare(QLatin1String("mailto"), Qt::CaseInsensitive) == 0 &&
         !url.path().isEmpty();
}

void ZPHAppDelegate::openAssociatedURL(const QString& urlString)
{
  if (!urlString.isNull())
    openLink(QUrl(urlString), {LinkPlace::ExternalBrowser, false, false});
}

// ============================================================ opening links

ZPHAppServices::LinkOutcome ZPHAppDelegate::openLink(const QUrl& url, const LinkRequest& request)
{
  ZPHUserDefaults& defaults = ZPHUserDefaults::standardUserDefaults();
  const bool behindByDefault = defaults.boolForKey(ZPHOpenInBrowserInBackgroundDefaultsKey);
  switch (request.place) {
    case LinkPlace::Preferred: {
      const ZPHLinkRouting::Route route = ZPHLinkRouting::route(
          defaults.boolForKey(ZPHBrowserOpenLinksInZephlin), behindByDefault, request.respectingPreferences,
          request.respectingShortcuts, m_environment.keyboardModifiers());
      if (route.external)
        return openInExternalBrowser(url, !route.behind) ? LinkOutcome::External : LinkOutcome::Refused;
      return openInInternalBrowser(url, !route.behind);
    }
    case LinkPlace::ExternalBrowser: {
      // Alt chooses between the browsers, and here there is no choice.
      const ZPHLinkRouting::Route route =
          ZPHLinkRouting::route(false, behindByDefault, request.respectingPreferences, request.respectingShortcuts,
                                m_environment.keyboardModifiers() & ~Qt::AltModifier);
      return openInExternalBrowser(url, !route.behind) ? LinkOutcome::External : LinkOutcome::Refused;
    }
    case LinkPlace::NewTab:
      if (url.isEmpty())
        return LinkOutcome::Refused;
      return openInInternalBrowser(url, defaults.boolForKey(ZPHBrowserSelectNewTabsAsTheyAreCreated));
    case LinkPlace::MailProgram:
      if (url.scheme().compare(QLatin1String("mailto"), Qt::CaseInsensitive) != 0) {
        m_environment.beep();
        return LinkOutcome::Refused;
      }
      if (m_environment.openURL(url))
        return LinkOutcome::External;
      linkDidNotOpen(url);
      return LinkOutcome::Refused;
  }
  return LinkOutcome::Refused;
}

bool ZPHAppDelegate::openInExternalBrowser(const QUrl& url, bool inForeground)
{
  if (!CBOpenURLInDefaultBrowser(url, !inForeground, m_environment.openURL)) {
    m_environment.beep();
    // A link refused for what it is only beeps; one the desktop failed says so.
    if (const QUrl web = CBURLForDefaultBrowser(url); web.isValid())
      linkDidNotOpen(web);
    return false;
  }
  // The desktop's own opener says so once a browser took the address.
  if (m_browserLauncher == nullptr)
    ZPHNotificationCenter::defaultCenter().post(ZPHAppDelegateDidOpenURLInExternalWebBrowserNotification,
                                                QVariant::fromValue(url));
  return true;
}

ZPHAppServices::LinkOutcome ZPHAppDelegate::openInInternalBrowser(const QUrl& url, bool selectNewTab)
{
  // Without tabs the web browser takes the link.
  if (!m_seams.openURLInInternalBrowser)
    return openInExternalBrowser(url, selectNewTab) ? LinkOutcome::Internal : LinkOutcome::Refused;
  if (!CBURLForDefaultBrowser(url).isValid()) {
    m_environment.beep();
    return LinkOutcome::Refused;
  }
  m_seams.openURLInInternalBrowser(url, selectNewTab);
  return LinkOutcome::Internal;
}

bool ZPHAppDelegate::openDocument(const QUrl& fileURL)
{
  if (!fileURL.isLocalFile())
    return false;
  if (m_environment.openURL(fileURL))
    return true;
  linkDidNotOpen(fileURL);
  return false;
}

void ZPHAppDelegate::linkDidNotOpen(const QUrl& url)
{
  // Links that cannot open: the status area says so, with the address,
  // for a while.
  const std::shared_ptr<ZPHStatusItem> item = ZPHBrowserLauncher::statusItemForURL(url);
  QMainWindow* window = mainWindow();
  if (window == nullptr || !window->isVisible()) {
    // No status area on screen (the welcome window asked, say): the window
    // the user is in tells.
    QWidget* over = QApplication::activeWindow();
    auto* box = new QMessageBox(QMessageBox::Warning, QString(), QString(), QMessageBox::Ok, over);
    box->setText(item->error().localizedDescription());
    box->setInformativeText(item->error().localizedRecoverySuggestion());
    box->setTextFormat(Qt::PlainText);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setObjectName(QStringLiteral("linkNotOpenedAlert"));
    if (over != nullptr)
      box->setWindowModality(Qt::WindowModal);
    box->open();
    return;
  }
  removeAnyStatusItemWithIdentifier(ZPHBrowserLauncher::StatusItemIdentifier);
  addStatusItem(item, {});
  QTimer::singleShot(LinkNotOpenedShownFor, this, [this, item] { removeStatusItem(item, {}); });
}

void ZPHAppDelegate::openNewTabInInternalBrowser()
{
  if (m_seams.openNewTabInInternalBrowser)
    m_seams.openNewTabInInternalBrowser();
}

// ================================================================ commands

void ZPHAppDelegate::makeCommands()
{
  // The menus' commands of the application; its windows add theirs.
  auto* refresh = new QAction(tr("Refresh"), this);
  refresh->setObjectName(QStringLiteral("refreshAll:"));
  connect(refresh, &QAction::triggered, this, &ZPHAppDelegate::refreshAll);
  // Ctrl+Q, and the desktop's own key to quit where it has another; the
  // shortcut sets map no key for it, so it keeps these.
  auto* quit = new QAction(tr("Quit Zephlin"), this);
  quit->setObjectName(QStringLiteral("terminate:"));
  QList<QKeySequence> quitKeys = QKeySequence::keyBindings(QKeySequence::Quit);
  quitKeys.removeAll(QKeySequence(Qt::CTRL | Qt::Key_Q));
  quitKeys.prepend(QKeySequence(Qt::CTRL | Qt::Key_Q));
  quit->setShortcuts(quitKeys);
  quit->setMenuRole(QAction::QuitRole);
  connect(quit, &QAction::triggered, this, &ZPHAppDelegate::requestTermination);
  // Browser tabs: "newTab:", "closeTab:", "performClose:" and the others.
  m_tabCommands = new ZPHTabCommands(this, [this] { makePrimaryWindowKeyAndOrderedFront(); });

  // Adding sites and folders, importing and exporting: the commands, and the
  // seams their windows fill.
  ZPHSubscriptionCommands::Host host;
  host.window = [this]() -> QWidget* { return mainWindow(); };
  host.showReaderWindow = [this] { makePrimaryWindowKeyAndOrderedFront(); };
  host.addFeed = [this](const QString& url, bool searchImmediately, bool useSelection) {
    addFeedWithURLString(url, searchImmediately, useSelection);
  };
  host.selectAddedFeeds = [this](const QList<CBFeed*>& feeds, bool underFavorites) {
    ZPHSourceListViewController* sourceList =
        m_mainWindowController != nullptr ? m_mainWindowController->sourceListViewController() : nullptr;
    if (sourceList == nullptr || feeds.isEmpty())
      return;
    if (underFavorites)
      sourceList->selectFavoriteFeedAndExpandFavoritesIfNeeded(feeds.first());
    else
      selectRepresentedObjectInMainWindowSourceList(static_cast<CBNode*>(feeds.first()), true, true);
    sourceList->makeSourceListOutlineViewFirstResponder();
  };
  host.selectAddedFolder = [this](CBFolder* folder) {
    selectRepresentedObjectInMainWindowSourceList(static_cast<CBNode*>(folder), true, true);
  };
  host.beep = [this] { m_environment.beep(); };
  m_subscriptionCommands = std::make_unique<ZPHSubscriptionCommands>(std::move(host), this);
  m_seams.addSite = [this](const QString& address, bool searchImmediately, bool useSelection) {
    m_subscriptionCommands->addSite(address, searchImmediately, useSelection);
  };
  m_seams.addFeedsWithSubscribeRequest = [this](std::shared_ptr<ZPHSubscribeRequest> request) {
    return m_subscriptionCommands->addFeedsWithSubscribeRequest(std::move(request));
  };
  m_seams.importOPMLFile = [this](const QString& path) { m_subscriptionCommands->importFeedsFromOPMLFileAtPath(path); };
  // The previous version's sites, for the welcome window and its command.
  m_seams.zephlin3Importer.importIsCurrentlyPossible = [] {
    return ZPHZephlin3LocalFeedImporter::importIsPossibleNow();
  };
  m_seams.zephlin3Importer.import = [](ZPHWelcomeImporter::Completion completion) {
    // The import's store operation keeps the importer until it completes.
    auto importer = std::make_shared<ZPHZephlin3LocalFeedImporter>();
    importer->importWithCompletionHandler(
        [completion](const QList<CBFeed*>& imported, const QList<CBFeed*>& duplicates, const ZPHError& error) {
          QVariantList importedFeeds;
          QVariantList duplicateFeeds;
          for (CBFeed* feed : imported) importedFeeds.append(QVariant::fromValue(static_cast<ZPHManagedObject*>(feed)));
          for (CBFeed* feed : duplicates)
            duplicateFeeds.append(QVariant::fromValue(static_cast<ZPHManagedObject*>(feed)));
          if (completion)
            completion(importedFeeds, duplicateFeeds, error);
        });
  };
  // Menus, badge and windows: the rest of the application's commands.
  m_applicationCommands = new ZPHApplicationCommands(this);
  m_applicationCommands->makeCommands();
}

QAction* ZPHAppDelegate::commandAction(const QString& selector) const
{
  return findChild<QAction*>(selector, Qt::FindDirectChildrenOnly);
}

bool ZPHAppDelegate::validateUserInterfaceItem(QAction* item)
{
  // Menus, badge and windows: a command this class does not know keeps its
  // state.
  bool enabled = item != nullptr && item->isEnabled();
  if (m_applicationCommands != nullptr)
    m_applicationCommands->validate(item, &enabled);
  return enabled;
}
