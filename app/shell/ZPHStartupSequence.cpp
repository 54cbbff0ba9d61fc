#include "shell/ZPHStartupSequence.h"

#include "articlelist/ZPHReadingLayoutViewController.h"
#include "articleview/ZPHStyleSheetController.h"
#include "articleview/ZPHWebArticleDetailPane.h"
#include "browser/ZPHTabCommands.h"
#include "browser/ZPHTabsController.h"
#include "common/ZPHShellLog.h"
#include "feeds/images/CBFaviconController.h"
#include "feeds/images/CBFaviconURLProtocol.h"
#include "feeds/images/CBLocalStyleSheetProtocol.h"
#include "feeds/images/ZPHArticleImageCacheController.h"
#include "feeds/metadata/CBLocalAccountFeedMetadataCache.h"
#include "feeds/refresh/ZPHRefreshController.h"
#include "feeds/refresh/ZPHStatusItem.h"
#include "foundation/CBDateManager.h"
#include "foundation/CBPrefs.h"
#include "keys/ZPHKeyMappingController.h"
#include "kit/ZPHNamedImage.h"
#include "mainwindow/ZPHMainWindowController.h"
#include "mainwindow/status/ZPHStatusViewController.h"
#include "platform/ZPHUserDefaults.h"
#include "preferences/ZPHPreferenceWindowController.h"
#include "sharing/ZPHPluginManager.h"
#include "sheets/ZPHAuthenticationController.h"
#include "sheets/ZPHSyncQuestionsController.h"
#include "shell/CBDiskSpaceChecker.h"
#include "shell/ZPHApplicationCommands.h"
#include "shell/ZPHApplicationKeys.h"
#include "shell/ZPHDockIconController.h"
#include "shell/ZPHInstanceLock.h"
#include "shell/ZPHMacCoreDataStack.h"
#include "shell/ZPHMainMenuController.h"
#include "shell/ZPHQuitSequence.h"
#include "shell/ZPHScreenshotHook.h"
#include "shell/ZPHWebRendering.h"
#include "store/CBDataController.h"
#include "store/accounts/CBDataAccount.h"
#include "store/operations/ZPHDeleteMarkedArticlesOperation.h"
#include "store/tree/ZPHSourceListTreeBuilder.h"
#include "subscriptions/ZPHAddSiteAddressContentViewController.h"
#include "subscriptions/ZPHExportTabs.h"
#include "subscriptions/ZPHOPMLBackupController.h"
#include "sync/ZPHSyncManager.h"
#include "themes/ZPHRegisterThemes.h"
#include "themes/ZPHTheme.h"
#include "web/ZPHInternalPagesProfile.h"

#include <QtCore/QBuffer>
#include <QtCore/QDir>
#include <QtCore/QFileInfo>
#include <QtCore/QTimer>
#include <QtGui/QAction>
#include <QtGui/QPixmap>
#include <QtWidgets/QMainWindow>
#include <QtWidgets/QMenu>
#include <QtWidgets/QSystemTrayIcon>
#include <QtWidgets/QWidget>

namespace {

// Answers the folder's problem, or null when it exists as a folder or was
// made.
QString makeFolder(const QString& path)
{
  const QFileInfo info(path);
  if (info.exists() && !info.isDir())
    return QStringLiteral("“%1” is a file, not a folder.").arg(path);
  if (!info.exists() && !QDir().mkpath(path))
    return QStringLiteral("The folder “%1” could not be made.").arg(path);
  return {};
}

}  // namespace

ZPHStartupSequence::ZPHStartupSequence(ZPHAppDelegate& delegate, const ZPHAppDelegate::Environment& environment)
    : m_delegate(delegate), m_environment(environment)
{
}

void ZPHStartupSequence::run()
{
  zph_setupDebuggingFacilities();
  zph_registerObservers();
  zph_setupURLEventHandler();
  zph_completeStartupSequence();
}

void ZPHStartupSequence::zph_setupDebuggingFacilities()
{
  // The log handler is main()'s. A lock left behind by a run that ended
  // without quitting stands in for a crash report (see the helper sequence).
  qCInfo(zphShell).noquote() << "Zephlin" << ZPHAppDelegate::applicationVersion() << "starts; data in"
                             << m_delegate.m_dataFolder << "cache in" << m_delegate.m_cacheFolder;
}

void ZPHStartupSequence::zph_registerObservers()
{
  m_delegate.m_observers.push_back(ZPHNotificationCenter::defaultCenter().addObserver(
      ZPHDataAccountReadyNotification, QVariant(), &m_delegate,
      [this](const ZPHNotification&) { m_delegate.accountReady(); }, ZPHNotificationCenter::Delivery::MainThread));
}

void ZPHStartupSequence::zph_setupURLEventHandler()
{
  // Addresses handed to a second launch reach this one through the instance
  // lock's socket; the URL handling work adds them there.
}

void ZPHStartupSequence::zph_completeStartupSequence()
{
  if (m_delegate.m_completingStartupSequence)
    return;
  m_delegate.m_completingStartupSequence = true;

  // The lock lives in the data folder, so the folders come first.
  bool goOn = zph_setupSupportDirectories() && zph_runHelperSequence();
  if (goOn) {
    zph_setupRuntimePreferences();
    zph_setupMiscManagers();
    goOn = zph_setupCoreData();
  }
  if (goOn) {
    zph_setupInterfaceAndEventHandlers();
    zph_presentMainInterface();
    ZPHUserDefaults& defaults = ZPHUserDefaults::standardUserDefaults();
    defaults.setInteger(ZPHNumberOfLaunchesKey, defaults.integerForKey(ZPHNumberOfLaunchesKey) + 1);
    pesterAboutNewsLetterIfAppropriate();
  }
  if (m_delegate.m_instanceLock)  // not for a launch that found another one running
    ZPHUserDefaults::standardUserDefaults().setString(ZPHLastVersionRun, ZPHAppDelegate::applicationVersion());
  m_delegate.m_completingStartupSequence = false;

  if (goOn) {
    m_delegate.m_startupEnded = true;
    qCInfo(zphShell) << "start-up complete";
    Q_EMIT m_delegate.startupSequenceCompleted();
    m_delegate.takePendingLaunchArguments();
    if (m_delegate.m_screenshotScript != nullptr)
      m_delegate.m_screenshotScript->run(&m_delegate, [this] { writeScreenshot(); });
    else if (!m_environment.screenshotPath.isEmpty())
      QTimer::singleShot(0, &m_delegate, [this] { writeScreenshot(); });
  }
}

bool ZPHStartupSequence::zph_setupSupportDirectories()
{
  // The cache can be made again; only its absence is logged.
  const QString cacheProblem = makeFolder(m_delegate.m_cacheFolder);
  if (!cacheProblem.isEmpty())
    qCWarning(zphShell).noquote() << cacheProblem;

  const QString dataProblem =
      m_delegate.m_dataFolder.isEmpty() ? QStringLiteral("No data folder.") : makeFolder(m_delegate.m_dataFolder);
  if (dataProblem.isEmpty())
    return true;
  qCCritical(zphShell).noquote() << "the data folder can't be used:" << dataProblem;
  ZPHAlert alert;
  alert.style = ZPHAlert::Style::Critical;
  alert.messageText = QStringLiteral("Zephlin can’t use its data folder.");
  alert.informativeText = dataProblem + QStringLiteral(" Zephlin will quit.");
  alert.buttons = {QStringLiteral("Quit")};
  m_delegate.runModalAlert(alert);
  stopStartup(1);
  return false;
}

bool ZPHStartupSequence::zph_runHelperSequence()
{
  // No offer to move the program and no software updater: the package
  // manager installs and updates.
  return zph_checkForOtherRunningZephlinProcessesAndQuit();
}

bool ZPHStartupSequence::zph_checkForOtherRunningZephlinProcessesAndQuit()
{
  auto lock = std::make_unique<ZPHInstanceLock>(m_delegate.m_dataFolder);
  ZPHInstanceLock::Outcome outcome = lock->acquire();
  if (outcome == ZPHInstanceLock::Outcome::HeldByAnother) {
    qCInfo(zphShell).noquote() << "another Zephlin uses" << m_delegate.m_dataFolder << "and is asked to come forward";
    const ZPHInstanceLock::HandOver handOver =
        lock->handOverToHolder(m_environment.launchArguments, m_environment.workingDirectory);
    if (handOver == ZPHInstanceLock::HandOver::Accepted) {
      qCInfo(zphShell) << "the running Zephlin came forward; this launch ends";
      m_delegate.m_quitSequence->quitWithoutTheStore(0);
      return false;
    }
    if (handOver == ZPHInstanceLock::HandOver::HolderQuitting) {
      // It goes away within its quit's deadline: this launch starts then.
      qCInfo(zphShell) << "the running Zephlin is quitting; this launch starts once it has gone";
      outcome = lock->acquire(ZPHInstanceLock::HolderQuitWaitMs);
    }
  }

  if (outcome == ZPHInstanceLock::Outcome::Acquired) {
    takeInstanceLock(std::move(lock));
    return true;
  }
  quitWithoutTheLock(*lock, outcome);
  return false;
}

void ZPHStartupSequence::takeInstanceLock(std::unique_ptr<ZPHInstanceLock> lock)
{
  m_delegate.m_previousRunEndedUncleanly = lock->tookOverStaleLock();
  QObject::connect(lock.get(), &ZPHInstanceLock::handOverReceived, &m_delegate,
                   [this](const QStringList& arguments, const QString& workingDirectory) {
                     if (m_delegate.m_appIsShuttingDown)
                       return;
                     m_delegate.makePrimaryWindowKeyAndOrderedFront();
                     m_delegate.handleLaunchArguments(arguments, workingDirectory);
                   });
  // This launch's own addresses and files, once start-up has ended.
  m_delegate.m_pendingLaunchArguments.append({m_environment.launchArguments, m_environment.workingDirectory});
  m_delegate.m_instanceLock = std::move(lock);
}

void ZPHStartupSequence::quitWithoutTheLock(const ZPHInstanceLock& lock, ZPHInstanceLock::Outcome outcome)
{
  ZPHAlert alert;
  alert.buttons = {QStringLiteral("Quit")};
  if (outcome == ZPHInstanceLock::Outcome::Unavailable) {
    // Without the lock another copy could open the same store: none opens it.
    alert.style = ZPHAlert::Style::Critical;
    alert.messageText = QStringLiteral("Zephlin can’t lock its data folder.");
    alert.informativeText =
        QStringLiteral(
            "The lock file “%1” could not be made (%2), so two copies of Zephlin could use the same data "
            "at once. Make the folder writable and open Zephlin again.")
            .arg(lock.lockFilePath(), lock.lockError());
    m_delegate.runModalAlert(alert);
    m_delegate.m_quitSequence->quitWithoutTheStore(1);
    return;
  }
  alert.style = ZPHAlert::Style::Warning;
  alert.messageText = QStringLiteral("Zephlin already running.");
  alert.informativeText = QStringLiteral(
      "Another copy of Zephlin is already running; and running two copies at once can lead to data corruption. "
      "Please quit the other copy of Zephlin before launching this version.");
  m_delegate.runModalAlert(alert);
  m_delegate.m_quitSequence->quitWithoutTheStore(0);
}

void ZPHStartupSequence::zph_setupRuntimePreferences()
{
  ZPHUserDefaults& defaults = ZPHUserDefaults::standardUserDefaults();
  // The article style settings reset the font defaults once, themselves
  // (ZPHStyleSheetController).
  ZPHPreferenceWindowController::registerDefaults();
  if (!defaults.hasStoredValue(ZPHFirstRunDateKey)) {
    m_delegate.m_isFirstRun = true;
    defaults.setObject(ZPHFirstRunDateKey, m_delegate.now());
    defaults.setInteger(ZPHBrowserTabsVisibility, 0);
  }
  if (!defaults.hasStoredValue(ZPHDisplayCloseAllTabsWarningSheet))
    defaults.setBool(ZPHDisplayCloseAllTabsWarningSheet, true);
  migrateHidePreferences();
  defaults.synchronize();
}

void ZPHStartupSequence::migrateHidePreferences()
{
  ZPHUserDefaults& defaults = ZPHUserDefaults::standardUserDefaults();
  if (defaults.hasStoredValue(ZPHHideReadItems) && !defaults.hasStoredValue(ZPHHideReadArticles) &&
      !defaults.hasStoredValue(ZPHHideFeedsWithNoUnread))
    defaults.removeObject(ZPHHideReadItems);
}

void ZPHStartupSequence::zph_setupMiscManagers()
{
  CBDateManager::sharedManager();
  if (m_delegate.m_screenshotScript != nullptr && m_delegate.m_screenshotScript->offline()) {
    m_delegate.m_ownNetworkController =
        std::make_unique<ZPHNetworkController>(m_delegate.m_screenshotScript->makeFixedReachabilitySource(false));
    m_delegate.m_networkController = m_delegate.m_ownNetworkController.get();
  } else if (m_environment.makeReachabilitySource) {
    m_delegate.m_ownNetworkController = std::make_unique<ZPHNetworkController>(m_environment.makeReachabilitySource());
    m_delegate.m_networkController = m_delegate.m_ownNetworkController.get();
  } else {
    m_delegate.m_networkController = ZPHNetworkController::sharedController();
  }
  m_delegate.m_observers.push_back(ZPHNotificationCenter::defaultCenter().addObserver(
      ZPHNetworkControllerInternetConnectivityChangedNotification, QVariant::fromValue(m_delegate.m_networkController),
      &m_delegate,
      [this](const ZPHNotification& notification) {
        m_delegate.internetConnectivityChanged(
            notification.userInfo.value(ZPHNetworkControllerHasInternetConnectivityKey).toBool());
      },
      ZPHNotificationCenter::Delivery::MainThread));
}

bool ZPHStartupSequence::zph_setupCoreData()
{
  // Articles deleted by the start-up clean-up take their cached images along.
  ZPHDeleteMarkedArticlesOperation::setCachedImagesPurge([](const QString& html, const QUrl& baseURL) {
    ZPHArticleImageCacheController::sharedController()->purgeCachedImagesFoundInArticleContentHTML(html, baseURL);
  });

  ZPHError error;
  if (!setupDataControllerReturningError(&error)) {
    if (error.domain() == ZPHCocoaErrorDomain && error.code() == ZPHUserCancelledError) {
      // The user stopped the migration or the integrity check (or quit
      // during it): the store stays as it was.
      qCInfo(zphShell).noquote() << error.localizedDescription() << "Zephlin quits and leaves the store as it was";
      stopStartup(0);
    } else if (ZPHMacCoreDataStack::openingErrorLeavesStoreInPlace(error)) {
      // The disk or the folder failed, not the store: it stays for the next
      // start.
      qCCritical(zphShell).noquote() << "the store could not be opened; it stays where it is:" << error.toString();
      m_delegate.runModalAlert(ZPHMacCoreDataStack::storeNotOpenedAlert(error, m_delegate.m_dataFolder));
      stopStartup(1);
    } else {
      ZPHMacCoreDataStack::quitForCoreDataFailureWithError(error);  // sets the store aside and quits
      m_delegate.m_exitStatus = 1;
    }
    return false;
  }

  loadPlugins();
  registerLocalURLSchemes();

  m_delegate.m_sourceListTreeBuilder = std::make_unique<ZPHSourceListTreeBuilder>(m_delegate.dataController());
  // The sort menu items take the stored order as their menu opens.

  observeStoreNotifications();

  if (CBDiskSpaceChecker::isDiskSpaceLow(m_delegate.m_dataFolder, m_environment.freeDiskSpace)) {
    qCCritical(zphShell) << "low on disk space; Zephlin quits";
    m_delegate.runModalAlert(CBDiskSpaceChecker::diskSpaceLowAlert());
    stopStartup(1);
    return false;
  }

  m_delegate.m_refreshControllerOwner = std::make_unique<ZPHRefreshController>();
  m_delegate.m_refreshController = m_delegate.m_refreshControllerOwner.get();

  ZPHNotificationCenter::defaultCenter().post(ZPHPersistentStoreConfigurationChangeNotification);
  makeSheetControllers();
  // Automatic backups of the subscription list.
  ZPHOPMLBackupController::sharedOPMLBackupController()->startRunning();
  return true;
}

void ZPHStartupSequence::registerLocalURLSchemes()
{
  m_delegate.m_faviconController = CBFaviconController::sharedController();
  m_delegate.m_metadataCache = CBLocalAccountFeedMetadataCache::sharedCache();
  // The article themes are copied into the cache folder, which the style
  // sheet scheme then serves.
  for (const QString& folder : ZPHStyleSheetController::sharedController()->styleSheetFolders())
    CBLocalStyleSheetProtocol::registerStyleSheetFolder(folder);

  CBLocalImageURLProtocol::mapSchemeToImageFolderCache(CBFaviconURLProtocol::scheme(),
                                                       m_delegate.m_faviconController->imageFolderCache());
  CBLocalStyleSheetProtocol::setRipplesPicturesFolder(QStringLiteral(":/ripples"));
  {
    QByteArray png;
    QBuffer buffer(&png);
    if (buffer.open(QIODevice::WriteOnly) && ZPHNamedImage(QStringLiteral("GenericFeedFavicon")).save(&buffer, "PNG"))
      CBFaviconURLProtocol::setGenericFeedFaviconData(png);
  }
  // The web engine starts with the first internal page that needs it.
  m_delegate.m_internalPagesProfile = std::make_unique<ZPHInternalPagesProfile>();
}

void ZPHStartupSequence::observeStoreNotifications()
{
  ZPHNotificationCenter& center = ZPHNotificationCenter::defaultCenter();
  using D = ZPHNotificationCenter::Delivery;
  m_delegate.m_observers.push_back(center.addObserver(
      ZPHRefreshSessionDidBeginNotification, QVariant(), &m_delegate,
      [this](const ZPHNotification&) { m_delegate.refreshSessionDidBegin(); }, D::MainThread));
  m_delegate.m_observers.push_back(center.addObserver(
      ZPHRefreshSessionDidEndNotification, QVariant(), &m_delegate,
      [this](const ZPHNotification&) { m_delegate.refreshSessionDidEnd(); }, D::MainThread));
  m_delegate.m_observers.push_back(center.addObserver(
      ZPHFeedsAndFoldersDidReorganizeNotification, QVariant(), &m_delegate,
      [this](const ZPHNotification&) { m_delegate.feedsAndFoldersDidReorganize(); }, D::MainThread));
  m_delegate.m_observers.push_back(center.addObserver(
      ZPHApplicationShouldActivatePrimaryWindow, QVariant(), &m_delegate,
      [this](const ZPHNotification&) { m_delegate.makePrimaryWindowKeyAndOrderedFront(); }, D::MainThread));
}

void ZPHStartupSequence::makeSheetControllers()
{
  // Menus, badge and windows: the questions of the core library get their
  // sheets on the main window (none while it is not built yet).
  const ZPHSheetHost host{[this] { return static_cast<QWidget*>(m_delegate.mainWindow()); },
                          [this] { return m_delegate.m_runningModalSheet; },
                          [this](bool running) { m_delegate.m_runningModalSheet = running; }};
  m_delegate.m_authenticationController = std::make_unique<ZPHAuthenticationController>(host);
  // A search the user stops in the Add Site window withdraws its login sheet.
  ZPHAddSiteAddressContentViewController::setCancelCurrentCredentialsRequest([this] {
    if (m_delegate.m_authenticationController != nullptr)
      m_delegate.m_authenticationController->cancelCurrentCredentialsRequest();
  });
  m_delegate.m_syncQuestionsController = std::make_unique<ZPHSyncQuestionsController>(host);
}

bool ZPHStartupSequence::setupDataControllerReturningError(ZPHError* error)
{
  auto controller = std::make_unique<CBDataController>();
  // A check that a quit stopped is still due.
  ZPHUserDefaults& defaults = ZPHUserDefaults::standardUserDefaults();
  const bool unclean = m_delegate.m_previousRunEndedUncleanly;
  const bool check = unclean || defaults.boolForKey(ZPHStoreIntegrityCheckDueKey);
  if (check) {
    if (unclean)
      qCWarning(zphShell) << "the previous run did not end cleanly; the store's integrity is checked";
    else
      qCInfo(zphShell) << "the store's integrity check is due, as the last one was stopped before it finished; the "
                          "previous run ended cleanly";
    defaults.setBool(ZPHStoreIntegrityCheckDueKey, true);
    defaults.synchronize();
  }
  const auto cause = unclean ? ZPHCoreDataMigrationWindowController::IntegrityCheckCause::UncleanEnd
                             : ZPHCoreDataMigrationWindowController::IntegrityCheckCause::StoppedCheck;
  const bool ok = controller->setupCoreDataStackWithClass(
      [cause] {
        auto stack = std::make_unique<ZPHMacCoreDataStack>();
        stack->setIntegrityCheckCause(cause);
        return stack;
      },
      check, error);
  // Done unless stopped (a check that found damage sends the store aside).
  const bool stopped =
      !ok && error != nullptr && error->domain() == ZPHCocoaErrorDomain && error->code() == ZPHUserCancelledError;
  if (check && !stopped) {
    defaults.removeObject(ZPHStoreIntegrityCheckDueKey);
    defaults.synchronize();
  }
  if (!ok)
    return false;
  m_delegate.m_dataControllerOwner = std::move(controller);
  CBDataController* data = m_delegate.m_dataControllerOwner.get();
  m_delegate.m_dataController = data;
  qCInfo(zphShell).noquote() << "opened the store in" << m_delegate.m_dataFolder;
  QObject::connect(data, &CBDataController::unreadCountChanged, &m_delegate, [this](quint64 count) {
    m_delegate.m_unreadCount = count;
    Q_EMIT m_delegate.unreadCountChanged(count);
  });
  QObject::connect(data, &CBDataController::unreadFavoritesCountChanged, &m_delegate, [this](quint64 count) {
    m_delegate.m_unreadFavoritesCount = count;
    Q_EMIT m_delegate.unreadFavoritesCountChanged(count);
  });
  m_delegate.m_unreadCount = data->unreadCount();
  m_delegate.m_unreadFavoritesCount = data->unreadFavoritesCount();
  data->completeSetup();
  // The sync client starts with the store when an account has synced before.
  m_delegate.m_syncManager = std::make_unique<ZPHSyncManager>();
  m_delegate.m_syncManager->startIfSetUp();
  return true;
}

void ZPHStartupSequence::loadPlugins()
{
  // Sharing: the plug-ins the information resource names, and the
  // open-in-browser one always. The Share menu, built with the main window,
  // takes their commands as it opens (Seams::fillShareMenu).
  ZPHPluginManager::sharedManager()->loadPlugins();
}

void ZPHStartupSequence::zph_setupInterfaceAndEventHandlers()
{
  ZPHRegisterThemes();
  // The current theme follows the stored choice from its first use on.
  qCInfo(zphShell).noquote() << "theme:" << ZPHTheme::currenThemeIdentifier();
  // The reading layouts show the selected article as its rendered page.
  ZPHReadingLayoutViewController::setDetailPaneFactory([this]() -> std::unique_ptr<ZPHArticleDetailPane> {
    if (!m_delegate.m_internalPagesProfile)
      return nullptr;
    return std::make_unique<ZPHWebArticleDetailPane>(m_delegate.m_internalPagesProfile.get());
  });
  makeMainWindowController();
  makeMenusAndBadge();
  setUpKeyMapping();
  connectTabs();

  // The status items kept until now go to the status area, in order.
  QList<std::shared_ptr<ZPHStatusItem>> kept;
  {
    QMutexLocker locker(&m_delegate.m_statusItemsMutex);
    kept = std::exchange(m_delegate.m_statusItems, {});
  }
  if (ZPHStatusViewController* area = m_delegate.m_mainWindowController->statusViewController()) {
    for (const std::shared_ptr<ZPHStatusItem>& item : std::as_const(kept)) area->addStatusItem(item);
  }
}

void ZPHStartupSequence::makeMainWindowController()
{
  auto controller = std::make_unique<ZPHMainWindowController>(
      m_environment.interfaceClock ? m_environment.interfaceClock() : nullptr);
  controller->setDataController(m_delegate.dataController());
  controller->setSourceListTreeBuilder(m_delegate.m_sourceListTreeBuilder.get());
  controller->setNetworkController(m_delegate.m_networkController);
  controller->setUnreadCounts(m_delegate.m_unreadCount, m_delegate.m_unreadFavoritesCount);
  ZPHMainWindowController* mirror = controller.get();
  const auto mirrorCounts = [this, mirror] {
    mirror->setUnreadCounts(m_delegate.m_unreadCount, m_delegate.m_unreadFavoritesCount);
  };
  QObject::connect(&m_delegate, &ZPHAppDelegate::unreadCountChanged, mirror, mirrorCounts);
  QObject::connect(&m_delegate, &ZPHAppDelegate::unreadFavoritesCountChanged, mirror, mirrorCounts);
  // Commands the window does not answer come to the application.
  controller->setApplicationResponder(&m_delegate);
  m_delegate.m_mainWindowController = std::move(controller);
  // Its native window is made with the surface its web views draw on.
  ZPHWebRendering::prepareWindowForWebViews(m_delegate.m_mainWindowController->window());
  m_delegate.m_mainWindowController->window()->installEventFilter(&m_delegate);
  // Screenshots: the window at its own size, whatever the screen.
  if (!m_environment.screenshotPath.isEmpty())
    m_delegate.m_mainWindowController->window()->resize(ZPHMainWindowController::DefaultWindowSize);
  m_delegate.m_mainWindowController->window()->addActions(
      m_delegate.findChildren<QAction*>(QString(), Qt::FindDirectChildrenOnly));
  // The application's keys work in its other windows too.
  new ZPHApplicationKeys([this] { return m_delegate.findChildren<QAction*>(QString(), Qt::FindDirectChildrenOnly); },
                         [this]() -> QWidget* { return m_delegate.mainWindow(); }, &m_delegate);
}

void ZPHStartupSequence::makeMenusAndBadge()
{
  // Menus, badge and windows: the menu bar and the unread badge.
  m_delegate.m_mainMenuController =
      std::make_unique<ZPHMainMenuController>(&m_delegate, m_delegate.m_mainWindowController.get());
  m_delegate.m_mainMenuController->setShareMenuFiller([this](QMenu* menu) {
    if (m_delegate.m_seams.fillShareMenu)
      m_delegate.m_seams.fillShareMenu(menu);
  });
  m_delegate.m_mainWindowController->window()->setMenuBar(m_delegate.m_mainMenuController->menuBar());
  // The Article menu's Mark As Read item carries the window's title for it.
  const auto mirrorToggleReadTitle = [menus = m_delegate.m_mainMenuController.get()](const QString& title) {
    if (QAction* item = menus->itemForSelector(QStringLiteral("toggleRead:")))
      item->setText(title);
  };
  mirrorToggleReadTitle(m_delegate.m_mainWindowController->toggleReadMenuItemTitle());
  QObject::connect(m_delegate.m_mainWindowController.get(), &ZPHMainWindowController::toggleReadMenuItemTitleChanged,
                   m_delegate.m_mainMenuController.get(), mirrorToggleReadTitle);
  m_delegate.m_dockIconController = std::make_unique<ZPHDockIconController>();
  m_delegate.m_dockIconController->setUnreadCounts(m_delegate.m_unreadCount, m_delegate.m_unreadFavoritesCount);
  m_delegate.m_dockIconController->setMainWindow(m_delegate.m_mainWindowController->window());
  m_delegate.m_dockIconController->setTrayIcon(m_delegate.m_mainWindowController->trayIcon());
  // The tray's menu brings the window back and quits, as a dock's does.
  if (QSystemTrayIcon* tray = m_delegate.m_mainWindowController->trayIcon();
      tray != nullptr && tray->contextMenu() != nullptr) {
    tray->contextMenu()->addSeparator();
    tray->contextMenu()->addActions({m_delegate.commandAction(QStringLiteral("showReaderWindow:")),
                                     m_delegate.commandAction(QStringLiteral("terminate:"))});
  }
  const auto badge = [this] {
    m_delegate.m_dockIconController->setUnreadCounts(m_delegate.m_unreadCount, m_delegate.m_unreadFavoritesCount);
  };
  QObject::connect(&m_delegate, &ZPHAppDelegate::unreadCountChanged, m_delegate.m_dockIconController.get(), badge);
  QObject::connect(&m_delegate, &ZPHAppDelegate::unreadFavoritesCountChanged, m_delegate.m_dockIconController.get(),
                   badge);
}

void ZPHStartupSequence::connectTabs()
{
  // Browser tabs: the tab commands act on the window's tabs, whose column
  // takes its stored mode, and links go to tabs.
  m_delegate.m_tabCommands->setTabsController(m_delegate.m_mainWindowController->tabsController());
  m_delegate.m_seams.openURLInInternalBrowser = [this](const QUrl& url, bool select) {
    m_delegate.m_tabCommands->openURLInTab(url, select);
  };
  m_delegate.m_seams.openNewTabInInternalBrowser = [this] { m_delegate.m_tabCommands->openNewTab(); };
  // The application's tab commands count, list and export the same tabs.
  m_delegate.m_seams.numberOfTabs = [this] {
    ZPHTabsController* tabs = m_delegate.m_tabCommands->tabsController();
    return tabs != nullptr ? int(tabs->numberOfTabs()) : 1;
  };
  m_delegate.m_seams.tabURLsAndTitles = [this] {
    QList<QVariantMap> list;
    if (ZPHTabsController* tabs = m_delegate.m_tabCommands->tabsController())
      for (const ZPHTabAddress& tab : tabs->tabURLsAndTitlesArray())
        list.append({{QStringLiteral("url"), tab.url}, {QStringLiteral("title"), tab.title}});
    return list;
  };
  m_delegate.m_seams.exportTabsText = [](const QList<QVariantMap>& tabs, int format) {
    switch (format) {
      case 0:
        return ZPHExportTabsAsHTML(tabs);
      case 1:
        return ZPHExportTabsAsText(tabs);
      case 2:
        return ZPHExportTabsAsOPML(tabs);
      default:
        return QString();
    }
  };
  m_delegate.m_seams.fillShareMenu = [this](QMenu* menu) {
    if (m_delegate.m_mainWindowController != nullptr)
      m_delegate.m_mainWindowController->addSharingPluginCommandsToShareMenu(menu);
  };
}

void ZPHStartupSequence::zph_presentMainInterface()
{
  if (m_delegate.mainWindow() == nullptr)
    return;
  // Menus, badge and windows: on the first run the welcome window shows
  // first and the main window once it closes; later, the offer to become
  // the default feed reader (when the desktop answers) and Today.
  if (m_delegate.m_isFirstRun && m_environment.presentsFirstRunWindows.value_or(true)) {
    m_delegate.m_applicationCommands->showWelcomeWindow(0);
    return;
  }
  if (!m_delegate.m_isFirstRun)
    m_delegate.m_applicationCommands->offerToBecomeDefaultFeedReader();
  if (QAction* today = m_delegate.commandAction(QStringLiteral("gotoToday:")))
    today->trigger();
  m_delegate.m_mainWindowController->showWindow();
  if (ZPHUserDefaults::standardUserDefaults().boolForKey(ZPHMainWindowControllerWasFullScreenKey) &&
      !m_delegate.mainWindow()->isFullScreen())
    m_delegate.mainWindow()->showFullScreen();
}

void ZPHStartupSequence::pesterAboutNewsLetterIfAppropriate()
{
  // Menus, badge and windows: the mailing-list reminder.
  if (m_environment.presentsFirstRunWindows.value_or(true))
    m_delegate.m_applicationCommands->pesterAboutNewsLetterIfAppropriate();
}

void ZPHStartupSequence::writeScreenshot()
{
  const QString path = m_environment.screenshotPath;
  if (m_delegate.mainWindow() != nullptr) {
    if (QWidget* central = m_delegate.mainWindow()->centralWidget())
      central->ensurePolished();
    const QPixmap pixmap = m_delegate.mainWindow()->grab();
    if (!pixmap.isNull() && pixmap.save(path, "PNG")) {
      qCInfo(zphShell).noquote() << "wrote the window to" << path;
    } else {
      qCCritical(zphShell).noquote() << "cannot write the window to" << path;
      m_delegate.m_exitStatus = 1;
    }
  }
  m_delegate.requestTermination();
}

void ZPHStartupSequence::stopStartup(int status)
{
  m_delegate.m_exitStatus = status;
  m_delegate.requestTermination();
}

void ZPHStartupSequence::setUpKeyMapping()
{
  QList<QAction*> items = m_delegate.findChildren<QAction*>(QString(), Qt::FindDirectChildrenOnly);
  if (m_delegate.m_mainWindowController != nullptr)
    items += m_delegate.m_mainWindowController->findChildren<QAction*>(QString(), Qt::FindDirectChildrenOnly);
  // Menus, badge and windows: menu items whose commands live elsewhere in
  // the chain carry their keys themselves.
  if (m_delegate.m_mainMenuController != nullptr)
    items += m_delegate.m_mainMenuController->keyCarryingItems();
  ZPHKeyMappingController* mapping = ZPHKeyMappingController::sharedMappingController();
  mapping->setMenuItems(items);
  const auto apply = [this, mapping](const QVariant& stored) {
    const QString name = ZPHAppDelegate::keyMapSetNameForStoredValue(stored);
    if (name == mapping->keySetName()) {
      mapping->setupMenus();
      // The set gave Close Tab its key again; the tabs decide who has it.
      if (m_delegate.m_tabCommands != nullptr && m_delegate.m_tabCommands->tabsController() != nullptr)
        m_delegate.m_tabCommands->tabsController()->updateKeyboardShortcuts();
    } else {
      mapping->setKeySetName(name);
    }
  };
  apply(ZPHUserDefaults::standardUserDefaults().objectForKey(ZPHKeyMapSetName));
  ZPHUserDefaults::standardUserDefaults().observe(ZPHKeyMapSetName, &m_delegate, apply);
}
