#include "shell/ZPHAppDelegate.h"

#include "shell/ZPHApplicationCommands.h"
#include "shell/ZPHApplicationKeys.h"
#include "shell/ZPHDockIconController.h"
#include "shell/ZPHMainMenuController.h"

#include "articlelist/ZPHReadingLayoutViewController.h"
#include "subscribe/ZPHSubscribeRequest.h"

#include "articleview/ZPHStyleSheetController.h"
#include "articleview/ZPHWebArticleDetailPane.h"
#include "browser/ZPHTabCommands.h"
#include "browser/ZPHTabsController.h"
#include "common/ZPHApplicationNotifications.h"
#include "common/ZPHIncomingAddress.h"
#include "common/ZPHShellLog.h"
#include "feeds/images/CBFaviconController.h"
#include "feeds/images/CBFaviconURLProtocol.h"
#include "feeds/images/CBLocalStyleSheetProtocol.h"
#include "feeds/images/CBThumbnailController.h"
#include "feeds/images/ZPHArticleImageCacheController.h"
#include "feeds/metadata/CBLocalAccountFeedMetadataCache.h"
#include "feeds/network/CBDownloadOperation.h"
#include "feeds/refresh/ZPHRefreshController.h"
#include "feeds/refresh/ZPHStatusItem.h"
#include "foundation/CBDateManager.h"
#include "foundation/CBPrefs.h"
#include "keys/ZPHKeyMappingController.h"
#include "kit/ZPHNamedImage.h"
#include "mainwindow/ZPHMainWindowController.h"
#include "mainwindow/status/ZPHStatusViewController.h"
#include "platform/CBOperationController.h"
#include "platform/ZPHMainThread.h"
#include "platform/ZPHOperationQueue.h"
#include "platform/ZPHTerminationCancelingOperation.h"
#include "platform/ZPHUserDefaults.h"
#include "preferences/ZPHPreferenceWindowController.h"
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
#include "shell/ZPHQuittingWindowController.h"
#include "shell/ZPHScreenshotHook.h"
#include "shell/ZPHWebRendering.h"
#include "sourcelist/ZPHSourceListViewController.h"
#include "store/CBDataController.h"
#include "store/accounts/CBDataAccount.h"
#include "store/entities/CBDataArticle.h"
#include "store/entities/CBFeed.h"
#include "store/entities/CBFolder.h"
#include "store/graph/ZPHPersistentStore.h"
#include "store/operations/ZPHDeleteEnclosuresWithoutArticlesOperation.h"
#include "store/operations/ZPHDeleteMarkedArticlesOperation.h"
#include "store/tree/ZPHSourceListTreeBuilder.h"
#include "subscriptions/ZPHAddSiteAddressContentViewController.h"
#include "subscriptions/ZPHExportTabs.h"
#include "subscriptions/ZPHOPMLBackupController.h"
#include "subscriptions/ZPHSubscriptionCommands.h"
#include "subscriptions/ZPHZephlin3LocalFeedImporter.h"
#include "sync/ZPHSyncManager.h"
#include "themes/ZPHRegisterThemes.h"
#include "themes/ZPHTheme.h"
#include "web/ZPHInternalPagesProfile.h"
#include "web/ZPHMacWebView.h"

#include <QtCore/QBuffer>
#include <QtCore/QCoreApplication>
#include <QtCore/QDir>
#include <QtCore/QElapsedTimer>
#include <QtCore/QFileInfo>
#include <QtCore/QStandardPaths>
#include <QtCore/QTimer>
#include <QtGui/QAction>
#include <QtGui/QGuiApplication>
#include <QtGui/QPixmap>
#include <QtGui/QWindowStateChangeEvent>
#include <QtWidgets/QApplication>
#include <QtWidgets/QDialog>
#include <QtWidgets/QMainWindow>
#include <QtWidgets/QMenu>
#include <QtWidgets/QMessageBox>
#include <QtWidgets/QSystemTrayIcon>
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
constexpr int QuitPollIntervalMs = 20;

QString applicationVersion()
{
  const QString version = QCoreApplication::applicationVersion();
  return version.isEmpty() ? QStringLiteral(ZEPHLIN_VERSION) : version;
}

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
  releaseRefreshController();
  m_sourceListTreeBuilder.reset();
  // The store closes without writing its log back into the file: that
  // grows with the log and the file, and the next start does it in the
  // background. (The failure path let go of the store already.)
  if (m_dataControllerOwner != nullptr && m_dataControllerOwner->persistentStore() != nullptr)
    m_dataControllerOwner->persistentStore()->leaveLogOnClose();
  releaseDataController();
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
  zph_setupDebuggingFacilities();
  zph_registerObservers();
  zph_setupURLEventHandler();
  zph_completeStartupSequence();
}

void ZPHAppDelegate::zph_setupDebuggingFacilities()
{
  // The log handler is main()'s. A lock left behind by a run that ended
  // without quitting stands in for a crash report (see the helper sequence).
  qCInfo(zphShell).noquote() << "Zephlin" << applicationVersion() << "starts; data in" << m_dataFolder << "cache in"
                             << m_cacheFolder;
}

void ZPHAppDelegate::zph_registerObservers()
{
  m_observers.push_back(ZPHNotificationCenter::defaultCenter().addObserver(
      ZPHDataAccountReadyNotification, QVariant(), this, [this](const ZPHNotification&) { accountReady(); },
      ZPHNotificationCenter::Delivery::MainThread));
}

void ZPHAppDelegate::zph_setupURLEventHandler()
{
  // Addresses handed to a second launch reach this one through the instance
  // lock's socket; the URL handling work adds them there.
}

void ZPHAppDelegate::zph_completeStartupSequence()
{
  if (m_completingStartupSequence)
    return;
  m_completingStartupSequence = true;

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
  if (m_instanceLock)  // not for a launch that found another one running
    ZPHUserDefaults::standardUserDefaults().setString(ZPHLastVersionRun, applicationVersion());
  m_completingStartupSequence = false;

  if (goOn) {
    m_startupEnded = true;
    qCInfo(zphShell) << "start-up complete";
    Q_EMIT startupSequenceCompleted();
    takePendingLaunchArguments();
    if (m_screenshotScript != nullptr)
      m_screenshotScript->run(this, [this] { writeScreenshot(); });
    else if (!m_environment.screenshotPath.isEmpty())
      QTimer::singleShot(0, this, &ZPHAppDelegate::writeScreenshot);
  }
}

bool ZPHAppDelegate::zph_setupSupportDirectories()
{
  // The cache can be made again; only its absence is logged.
  const QString cacheProblem = makeFolder(m_cacheFolder);
  if (!cacheProblem.isEmpty())
    qCWarning(zphShell).noquote() << cacheProblem;

  const QString dataProblem = m_dataFolder.isEmpty() ? QStringLiteral("No data folder.") : makeFolder(m_dataFolder);
  if (dataProblem.isEmpty())
    return true;
  qCCritical(zphShell).noquote() << "the data folder can't be used:" << dataProblem;
  ZPHAlert alert;
  alert.style = ZPHAlert::Style::Critical;
  alert.messageText = QStringLiteral("Zephlin can’t use its data folder.");
  alert.informativeText = dataProblem + QStringLiteral(" Zephlin will quit.");
  alert.buttons = {QStringLiteral("Quit")};
  runModalAlert(alert);
  stopStartup(1);
  return false;
}

bool ZPHAppDelegate::zph_runHelperSequence()
{
  // No offer to move the program and no software updater: the package
  // manager installs and updates.
  return zph_checkForOtherRunningZephlinProcessesAndQuit();
}

bool ZPHAppDelegate::zph_checkForOtherRunningZephlinProcessesAndQuit()
{
  auto lock = std::make_unique<ZPHInstanceLock>(m_dataFolder);
  ZPHInstanceLock::Outcome outcome = lock->acquire();
  if (outcome == ZPHInstanceLock::Outcome::HeldByAnother) {
    qCInfo(zphShell).noquote() << "another Zephlin uses" << m_dataFolder << "and is asked to come forward";
    const ZPHInstanceLock::HandOver handOver =
        lock->handOverToHolder(m_environment.launchArguments, m_environment.workingDirectory);
    if (handOver == ZPHInstanceLock::HandOver::Accepted) {
      qCInfo(zphShell) << "the running Zephlin came forward; this launch ends";
      quitWithoutTheStore(0);
      return false;
    }
    if (handOver == ZPHInstanceLock::HandOver::HolderQuitting) {
      // It goes away within its quit's deadline: this launch starts then.
      qCInfo(zphShell) << "the running Zephlin is quitting; this launch starts once it has gone";
      outcome = lock->acquire(ZPHInstanceLock::HolderQuitWaitMs);
    }
  }

  if (outcome == ZPHInstanceLock::Outcome::Acquired) {
    m_previousRunEndedUncleanly = lock->tookOverStaleLock();
    connect(lock.get(), &ZPHInstanceLock::handOverReceived, this,
            [this](const QStringList& arguments, const QString& workingDirectory) {
              if (m_appIsShuttingDown)
                return;
              makePrimaryWindowKeyAndOrderedFront();
              handleLaunchArguments(arguments, workingDirectory);
            });
    // This launch's own addresses and files, once start-up has ended.
    m_pendingLaunchArguments.append({m_environment.launchArguments, m_environment.workingDirectory});
    m_instanceLock = std::move(lock);
    return true;
  }

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
            .arg(lock->lockFilePath(), lock->lockError());
    runModalAlert(alert);
    quitWithoutTheStore(1);
    return false;
  }
  alert.style = ZPHAlert::Style::Warning;
  alert.messageText = QStringLiteral("Zephlin already running.");
  alert.informativeText = QStringLiteral(
      "Another copy of Zephlin is already running; and running two copies at once can lead to data corruption. "
      "Please quit the other copy of Zephlin before launching this version.");
  runModalAlert(alert);
  quitWithoutTheStore(0);
  return false;
}

void ZPHAppDelegate::quitWithoutTheStore(int status)
{
  // At once, without the quit: nothing of this launch touched the store.
  m_terminationRequested = true;
  m_terminationReplied = true;
  m_exitStatus = status;
  m_environment.exitApplication(status);
}

void ZPHAppDelegate::zph_setupRuntimePreferences()
{
  ZPHUserDefaults& defaults = ZPHUserDefaults::standardUserDefaults();
  // The article style settings reset the font defaults once, themselves
  // (ZPHStyleSheetController).
  ZPHPreferenceWindowController::registerDefaults();
  if (!defaults.hasStoredValue(ZPHFirstRunDateKey)) {
    m_isFirstRun = true;
    defaults.setObject(ZPHFirstRunDateKey, now());
    defaults.setInteger(ZPHBrowserTabsVisibility, 0);
  }
  if (!defaults.hasStoredValue(ZPHDisplayCloseAllTabsWarningSheet))
    defaults.setBool(ZPHDisplayCloseAllTabsWarningSheet, true);
  migrateHidePreferences();
  defaults.synchronize();
}

void ZPHAppDelegate::migrateHidePreferences()
{
  ZPHUserDefaults& defaults = ZPHUserDefaults::standardUserDefaults();
  if (defaults.hasStoredValue(ZPHHideReadItems) && !defaults.hasStoredValue(ZPHHideReadArticles) &&
      !defaults.hasStoredValue(ZPHHideFeedsWithNoUnread))
    defaults.removeObject(ZPHHideReadItems);
}

void ZPHAppDelegate::zph_setupMiscManagers()
{
  CBDateManager::sharedManager();
  if (m_screenshotScript != nullptr && m_screenshotScript->offline()) {
    m_ownNetworkController =
        std::make_unique<ZPHNetworkController>(m_screenshotScript->makeFixedReachabilitySource(false));
    m_networkController = m_ownNetworkController.get();
  } else if (m_environment.makeReachabilitySource) {
    m_ownNetworkController = std::make_unique<ZPHNetworkController>(m_environment.makeReachabilitySource());
    m_networkController = m_ownNetworkController.get();
  } else {
    m_networkController = ZPHNetworkController::sharedController();
  }
  m_observers.push_back(ZPHNotificationCenter::defaultCenter().addObserver(
      ZPHNetworkControllerInternetConnectivityChangedNotification, QVariant::fromValue(m_networkController), this,
      [this](const ZPHNotification& notification) {
        internetConnectivityChanged(
            notification.userInfo.value(ZPHNetworkControllerHasInternetConnectivityKey).toBool());
      },
      ZPHNotificationCenter::Delivery::MainThread));
}

bool ZPHAppDelegate::zph_setupCoreData()
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
    } else {
      handleCoreDataFailureWithError(error);  // quits through the failure path
      m_exitStatus = 1;
    }
    return false;
  }

  loadPlugins();

  m_faviconController = CBFaviconController::sharedController();
  m_metadataCache = CBLocalAccountFeedMetadataCache::sharedCache();
  // The article themes are copied into the cache folder, which the style
  // sheet scheme then serves.
  for (const QString& folder : ZPHStyleSheetController::sharedController()->styleSheetFolders())
    CBLocalStyleSheetProtocol::registerStyleSheetFolder(folder);

  CBLocalImageURLProtocol::mapSchemeToImageFolderCache(CBFaviconURLProtocol::scheme(),
                                                       m_faviconController->imageFolderCache());
  CBLocalStyleSheetProtocol::setRipplesPicturesFolder(QStringLiteral(":/ripples"));
  {
    QByteArray png;
    QBuffer buffer(&png);
    if (buffer.open(QIODevice::WriteOnly) && ZPHNamedImage(QStringLiteral("GenericFeedFavicon")).save(&buffer, "PNG"))
      CBFaviconURLProtocol::setGenericFeedFaviconData(png);
  }
  // The web engine starts with the first internal page that needs it.
  m_internalPagesProfile = std::make_unique<ZPHInternalPagesProfile>();

  m_sourceListTreeBuilder = std::make_unique<ZPHSourceListTreeBuilder>(dataController());
  // The sort menu items take the stored order as their menu opens.

  ZPHNotificationCenter& center = ZPHNotificationCenter::defaultCenter();
  using D = ZPHNotificationCenter::Delivery;
  m_observers.push_back(center.addObserver(
      ZPHRefreshSessionDidBeginNotification, QVariant(), this,
      [this](const ZPHNotification&) { refreshSessionDidBegin(); }, D::MainThread));
  m_observers.push_back(center.addObserver(
      ZPHRefreshSessionDidEndNotification, QVariant(), this, [this](const ZPHNotification&) { refreshSessionDidEnd(); },
      D::MainThread));
  m_observers.push_back(center.addObserver(
      ZPHFeedsAndFoldersDidReorganizeNotification, QVariant(), this,
      [this](const ZPHNotification&) { feedsAndFoldersDidReorganize(); }, D::MainThread));
  m_observers.push_back(center.addObserver(
      ZPHApplicationShouldActivatePrimaryWindow, QVariant(), this,
      [this](const ZPHNotification&) { makePrimaryWindowKeyAndOrderedFront(); }, D::MainThread));

  if (CBDiskSpaceChecker::isDiskSpaceLow(m_dataFolder, m_environment.freeDiskSpace)) {
    qCCritical(zphShell) << "low on disk space; Zephlin quits";
    runModalAlert(CBDiskSpaceChecker::diskSpaceLowAlert());
    stopStartup(1);
    return false;
  }

  m_refreshControllerOwner = std::make_unique<ZPHRefreshController>();
  m_refreshController = m_refreshControllerOwner.get();

  center.post(ZPHPersistentStoreConfigurationChangeNotification);
  // Menus, badge and windows: the questions of the core library get their
  // sheets on the main window (none while it is not built yet).
  const ZPHSheetHost host{[this] { return static_cast<QWidget*>(mainWindow()); },
                          [this] { return m_runningModalSheet; },
                          [this](bool running) { m_runningModalSheet = running; }};
  m_authenticationController = std::make_unique<ZPHAuthenticationController>(host);
  // A search the user stops in the Add Site window withdraws its login sheet.
  ZPHAddSiteAddressContentViewController::setCancelCurrentCredentialsRequest([this] {
    if (m_authenticationController != nullptr)
      m_authenticationController->cancelCurrentCredentialsRequest();
  });
  m_syncQuestionsController = std::make_unique<ZPHSyncQuestionsController>(host);
  // Automatic backups of the subscription list.
  ZPHOPMLBackupController::sharedOPMLBackupController()->startRunning();
  return true;
}

bool ZPHAppDelegate::setupDataControllerReturningError(ZPHError* error)
{
  auto controller = std::make_unique<CBDataController>();
  // A check that a quit stopped is still due.
  ZPHUserDefaults& defaults = ZPHUserDefaults::standardUserDefaults();
  const bool check = m_previousRunEndedUncleanly || defaults.boolForKey(ZPHStoreIntegrityCheckDueKey);
  if (check) {
    qCWarning(zphShell) << "the previous run did not end cleanly; the store's integrity is checked";
    defaults.setBool(ZPHStoreIntegrityCheckDueKey, true);
    defaults.synchronize();
  }
  const bool ok =
      controller->setupCoreDataStackWithClass([] { return std::make_unique<ZPHMacCoreDataStack>(); }, check, error);
  // Done unless stopped (a check that found damage sends the store aside).
  const bool stopped =
      !ok && error != nullptr && error->domain() == ZPHCocoaErrorDomain && error->code() == ZPHUserCancelledError;
  if (check && !stopped) {
    defaults.removeObject(ZPHStoreIntegrityCheckDueKey);
    defaults.synchronize();
  }
  if (!ok)
    return false;
  m_dataControllerOwner = std::move(controller);
  CBDataController* data = m_dataControllerOwner.get();
  m_dataController = data;
  qCInfo(zphShell).noquote() << "opened the store in" << m_dataFolder;
  connect(data, &CBDataController::unreadCountChanged, this, [this](quint64 count) {
    m_unreadCount = count;
    Q_EMIT unreadCountChanged(count);
  });
  connect(data, &CBDataController::unreadFavoritesCountChanged, this, [this](quint64 count) {
    m_unreadFavoritesCount = count;
    Q_EMIT unreadFavoritesCountChanged(count);
  });
  m_unreadCount = data->unreadCount();
  m_unreadFavoritesCount = data->unreadFavoritesCount();
  data->completeSetup();
  // The sync client starts with the store when an account has synced before.
  m_syncManager = std::make_unique<ZPHSyncManager>();
  m_syncManager->startIfSetUp();
  return true;
}

void ZPHAppDelegate::loadPlugins()
{
  // Sharing: the plug-ins the information resource names, and the
  // open-in-browser one always. The Share menu, built with the main window,
  // takes their commands as it opens (Seams::fillShareMenu).
  ZPHPluginManager::sharedManager()->loadPlugins();
}

void ZPHAppDelegate::zph_setupInterfaceAndEventHandlers()
{
  ZPHRegisterThemes();
  // The current theme follows the stored choice from its first use on.
  qCInfo(zphShell).noquote() << "theme:" << ZPHTheme::currenThemeIdentifier();
  // The reading layouts show the selected article as its rendered page.
  ZPHReadingLayoutViewController::setDetailPaneFactory([this]() -> std::unique_ptr<ZPHArticleDetailPane> {
    if (!m_internalPagesProfile)
      return nullptr;
    return std::make_unique<ZPHWebArticleDetailPane>(m_internalPagesProfile.get());
  });
  auto controller = std::make_unique<ZPHMainWindowController>(
      m_environment.interfaceClock ? m_environment.interfaceClock() : nullptr);
  controller->setDataController(dataController());
  controller->setSourceListTreeBuilder(m_sourceListTreeBuilder.get());
  controller->setNetworkController(m_networkController);
  controller->setUnreadCounts(m_unreadCount, m_unreadFavoritesCount);
  ZPHMainWindowController* mirror = controller.get();
  const auto mirrorCounts = [this, mirror] { mirror->setUnreadCounts(m_unreadCount, m_unreadFavoritesCount); };
  connect(this, &ZPHAppDelegate::unreadCountChanged, mirror, mirrorCounts);
  connect(this, &ZPHAppDelegate::unreadFavoritesCountChanged, mirror, mirrorCounts);
  // Commands the window does not answer come to the application.
  controller->setApplicationResponder(this);
  m_mainWindowController = std::move(controller);
  // Its native window is made with the surface its web views draw on.
  ZPHWebRendering::prepareWindowForWebViews(m_mainWindowController->window());
  m_mainWindowController->window()->installEventFilter(this);
  // Screenshots: the window at its own size, whatever the screen.
  if (!m_environment.screenshotPath.isEmpty())
    m_mainWindowController->window()->resize(ZPHMainWindowController::DefaultWindowSize);
  m_mainWindowController->window()->addActions(findChildren<QAction*>(QString(), Qt::FindDirectChildrenOnly));
  // The application's keys work in its other windows too.
  new ZPHApplicationKeys([this] { return findChildren<QAction*>(QString(), Qt::FindDirectChildrenOnly); },
                         [this]() -> QWidget* { return mainWindow(); }, this);
  // Menus, badge and windows: the menu bar and the unread badge.
  m_mainMenuController = std::make_unique<ZPHMainMenuController>(this, m_mainWindowController.get());
  m_mainMenuController->setShareMenuFiller([this](QMenu* menu) {
    if (m_seams.fillShareMenu)
      m_seams.fillShareMenu(menu);
  });
  m_mainWindowController->window()->setMenuBar(m_mainMenuController->menuBar());
  // The Article menu's Mark As Read item carries the window's title for it.
  const auto mirrorToggleReadTitle = [menus = m_mainMenuController.get()](const QString& title) {
    if (QAction* item = menus->itemForSelector(QStringLiteral("toggleRead:")))
      item->setText(title);
  };
  mirrorToggleReadTitle(m_mainWindowController->toggleReadMenuItemTitle());
  connect(m_mainWindowController.get(), &ZPHMainWindowController::toggleReadMenuItemTitleChanged,
          m_mainMenuController.get(), mirrorToggleReadTitle);
  m_dockIconController = std::make_unique<ZPHDockIconController>();
  m_dockIconController->setUnreadCounts(m_unreadCount, m_unreadFavoritesCount);
  m_dockIconController->setMainWindow(m_mainWindowController->window());
  m_dockIconController->setTrayIcon(m_mainWindowController->trayIcon());
  // The tray's menu brings the window back and quits, as a dock's does.
  if (QSystemTrayIcon* tray = m_mainWindowController->trayIcon(); tray != nullptr && tray->contextMenu() != nullptr) {
    tray->contextMenu()->addSeparator();
    tray->contextMenu()->addActions(
        {commandAction(QStringLiteral("showReaderWindow:")), commandAction(QStringLiteral("terminate:"))});
  }
  const auto badge = [this] { m_dockIconController->setUnreadCounts(m_unreadCount, m_unreadFavoritesCount); };
  connect(this, &ZPHAppDelegate::unreadCountChanged, m_dockIconController.get(), badge);
  connect(this, &ZPHAppDelegate::unreadFavoritesCountChanged, m_dockIconController.get(), badge);
  setUpKeyMapping();
  // Browser tabs: the tab commands act on the window's tabs, whose column
  // takes its stored mode, and links go to tabs.
  m_tabCommands->setTabsController(m_mainWindowController->tabsController());
  m_seams.openURLInInternalBrowser = [this](const QUrl& url, bool select) { m_tabCommands->openURLInTab(url, select); };
  m_seams.openNewTabInInternalBrowser = [this] { m_tabCommands->openNewTab(); };
  // The application's tab commands count, list and export the same tabs.
  m_seams.numberOfTabs = [this] {
    ZPHTabsController* tabs = m_tabCommands->tabsController();
    return tabs != nullptr ? int(tabs->numberOfTabs()) : 1;
  };
  m_seams.tabURLsAndTitles = [this] {
    QList<QVariantMap> list;
    if (ZPHTabsController* tabs = m_tabCommands->tabsController())
      for (const ZPHTabAddress& tab : tabs->tabURLsAndTitlesArray())
        list.append({{QStringLiteral("url"), tab.url}, {QStringLiteral("title"), tab.title}});
    return list;
  };
  m_seams.exportTabsText = [](const QList<QVariantMap>& tabs, int format) {
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
  m_seams.fillShareMenu = [this](QMenu* menu) {
    if (m_mainWindowController != nullptr)
      m_mainWindowController->addSharingPluginCommandsToShareMenu(menu);
  };

  // The status items kept until now go to the status area, in order.
  QList<std::shared_ptr<ZPHStatusItem>> kept;
  {
    QMutexLocker locker(&m_statusItemsMutex);
    kept = std::exchange(m_statusItems, {});
  }
  if (ZPHStatusViewController* area = m_mainWindowController->statusViewController()) {
    for (const std::shared_ptr<ZPHStatusItem>& item : std::as_const(kept)) area->addStatusItem(item);
  }
}

void ZPHAppDelegate::zph_presentMainInterface()
{
  if (mainWindow() == nullptr)
    return;
  // Menus, badge and windows: on the first run the welcome window shows
  // first and the main window once it closes; later, the offer to become
  // the default feed reader (when the desktop answers) and Today.
  if (m_isFirstRun && m_environment.presentsFirstRunWindows.value_or(true)) {
    m_applicationCommands->showWelcomeWindow(0);
    return;
  }
  if (!m_isFirstRun)
    m_applicationCommands->offerToBecomeDefaultFeedReader();
  if (QAction* today = commandAction(QStringLiteral("gotoToday:")))
    today->trigger();
  m_mainWindowController->showWindow();
  if (ZPHUserDefaults::standardUserDefaults().boolForKey(ZPHMainWindowControllerWasFullScreenKey) &&
      !mainWindow()->isFullScreen())
    mainWindow()->showFullScreen();
}

void ZPHAppDelegate::pesterAboutNewsLetterIfAppropriate()
{
  // Menus, badge and windows: the mailing-list reminder.
  if (m_environment.presentsFirstRunWindows.value_or(true))
    m_applicationCommands->pesterAboutNewsLetterIfAppropriate();
}

void ZPHAppDelegate::writeScreenshot()
{
  const QString path = m_environment.screenshotPath;
  if (mainWindow() != nullptr) {
    if (QWidget* central = mainWindow()->centralWidget())
      central->ensurePolished();
    const QPixmap pixmap = mainWindow()->grab();
    if (!pixmap.isNull() && pixmap.save(path, "PNG")) {
      qCInfo(zphShell).noquote() << "wrote the window to" << path;
    } else {
      qCCritical(zphShell).noquote() << "cannot write the window to" << path;
      m_exitStatus = 1;
    }
  }
  requestTermination();
}

void ZPHAppDelegate::stopStartup(int status)
{
  m_exitStatus = status;
  requestTermination();
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

void ZPHAppDelegate::requestTermination()
{
  if (m_terminationRequested) {
    if (m_appIsShuttingDown)
      qCInfo(zphShell) << "already quitting";
    return;
  }
  m_terminationRequested = true;
  m_quitClock.start();
  if (applicationShouldTerminate() == TerminateReply::TerminateNow)
    replyToApplicationShouldTerminate(true);
}

ZPHAppDelegate::TerminateReply ZPHAppDelegate::applicationShouldTerminate()
{
  if (dataController() == nullptr || terminatingDueToCoreDataFailure()) {
    // A start-up still checking the store stops the check and opens nothing.
    if (ZPHMacCoreDataStack* stack = ZPHMacCoreDataStack::instance(); stack != nullptr && dataController() == nullptr)
      stack->cancelIntegrityCheck();
    return TerminateReply::TerminateNow;
  }
  terminateAsynchronously();
  return TerminateReply::TerminateLater;
}

// The quit, step by step. Each wait serves the event loop (the window keeps
// drawing) until the event it waits for, or until its bound, which is
// logged; the quit then goes on without what did not end:
// 1. No new work: the store queue and the operation controllers take none,
//    the timers stop, launches are no longer taken, the termination
//    notification goes out (sync stops, termination-cancelling operations
//    cancel). The quitting window shows while work is pending.
// 2. Cancel: downloads, favicons, thumbnails, refreshes and the shared
//    controller's operations, at once.
// 3. The cancelled refreshes and the feed metadata writes end
//    (QuitBackgroundWorkBoundMs).
// 4. Everything already on the store queue runs: a main-thread block
//    queued behind it writes back. Past QuitStoreQueueBoundMs, what a later
//    refresh does again is cancelled (the article savers: those not started
//    are dropped whole, the running one stops at its next article and
//    saves nothing of its batch); the rest (the user's changes: marks, Mark
//    All Read, deletions, moves and renames) still runs before the write-
//    back, main()'s deadline held meanwhile. Only work that does not end
//    (savers still running QuitCancelledSaversBoundMs after their cancel,
//    or anything after QuitUsersChangesBoundMs) has the whole queue
//    cancelled (QuitStoreQueueCancelBoundMs).
// 5. Write back once: the main context is saved.
// 6. Close: once the store queue is dry, the windows go and the event loop
//    ends; the delegate's destructor lets go of the refresh controller
//    (QuitTeardownBoundMs), the tree builder, the data controller (its
//    store closes without writing its log back), the lock and the web
//    profile.
// main() arms a deadline of QuitDeadlineMs when the quit begins
// (Environment::quitBegan): a process still running then ends at once.
void ZPHAppDelegate::terminateAsynchronously()
{
  // A queued backup of the subscription list is written before the quit
  // goes on (its store-queue block runs once termination has begun).
  ZPHOPMLBackupController::sharedOPMLBackupController()->startAnyQueuedBackups();
  m_appIsShuttingDown = true;
  if (m_environment.quitBegan)
    m_environment.quitBegan();
  if (m_periodicRefreshTimer)
    m_periodicRefreshTimer->stop();
  if (m_initialRefreshTimer)
    m_initialRefreshTimer->stop();
  if (m_instanceLock)
    m_instanceLock->stopTakingHandOvers();
  ZPHNotificationCenter::defaultCenter().post(ZPHApplicationWillTerminateNotification,
                                              QVariant::fromValue(static_cast<QObject*>(this)));
  CBDataController* data = dataController();
  const bool pending = (m_metadataCache && m_metadataCache->hasOperations()) ||
                       (data != nullptr && data->coreDataQueueHasOperations()) || refreshOperationsLeft() != 0 ||
                       ZPHOPMLBackupController::sharedOPMLBackupController()->hasRemainingWork();
  if (!pending) {
    qCInfo(zphShell) << "quitting";
    runFinishingSteps(false);
    return;
  }
  qCInfo(zphShell) << "quitting once the pending work is done";
  m_quittingWindowController = std::make_unique<ZPHQuittingWindowController>();
  auto work = [this] { runFinishingSteps(true); };
  // A sheet on the main window while it shows; else a window of its own, so
  // the quit is seen and always ends.
  if (!runModalSheet(m_quittingWindowController->window(), work)) {
    m_quittingWindowController->showWindow();
    QTimer::singleShot(0, this, work);
  }
}

void ZPHAppDelegate::waitForQuitStep(const QString& what, int boundMs, std::function<bool()> done,
                                     std::function<void(bool ended)> then)
{
  auto clock = std::make_shared<QElapsedTimer>();
  clock->start();
  auto poll = std::make_shared<std::function<void()>>();
  // The poll holds itself only through the timer's copies; it ends with
  // the step.
  *poll = [this, what, boundMs, done = std::move(done), then = std::move(then), clock,
           weakPoll = std::weak_ptr<std::function<void()>>(poll)]() {
    if (done()) {
      then(true);
      return;
    }
    if (clock->hasExpired(boundMs)) {
      qCWarning(zphShell).noquote()
          << QStringLiteral("quit: %1 did not end within its bound of %2 ms; going on").arg(what).arg(boundMs);
      then(false);
      return;
    }
    if (const std::shared_ptr<std::function<void()>> self = weakPoll.lock())
      QTimer::singleShot(QuitPollIntervalMs, this, [self] { (*self)(); });
  };
  (*poll)();
}

int ZPHAppDelegate::refreshOperationsLeft() const
{
  // The queue's count: a cancelled refresh leaves the controller's list at
  // once, but its thread may still be at work.
  const ZPHRefreshController* refresh = refreshController();
  return refresh != nullptr ? refresh->refreshOperationController()->operationQueue()->operationCount() : 0;
}

void ZPHAppDelegate::runFinishingSteps(bool modal)
{
  if (terminatingDueToCoreDataFailure())
    return;  // the failure path ends the program

  // The open tabs are saved.
  if (m_tabCommands != nullptr)
    m_tabCommands->saveTabs();
  CBOperationController::sharedDownloadOperationController()->cancelAllOperations();
  if (m_faviconController)
    m_faviconController->cancelAllOperations();
  CBThumbnailController::sharedController()->cancelAllOperations();
  if (ZPHRefreshController* refresh = refreshController())
    refresh->cancelAllOperations();
  CBOperationController::sharedController()->cancelAllOperations();

  waitForQuitStep(
      QStringLiteral("the cancelled refreshes and the feed metadata writes"), QuitBackgroundWorkBoundMs,
      [this] { return refreshOperationsLeft() == 0 && (!m_metadataCache || !m_metadataCache->hasOperations()); },
      [this, modal](bool) { finishAfterStoreQueue(modal); });
}

void ZPHAppDelegate::finishAfterStoreQueue(bool modal)
{
  if (terminatingDueToCoreDataFailure())
    return;  // the failure path ends the program
  CBDataController* data = dataController();
  if (data == nullptr) {
    replyToApplicationShouldTerminate(true);
    return;
  }
  // Behind everything already on the store queue; whichever comes first,
  // the block or the end of the wait, writes back.
  auto written = std::make_shared<bool>(false);
  QPointer<ZPHAppDelegate> self(this);
  data->addMainThreadCoreDataQueueBlockIgnoringTermination([self, modal, written] {
    if (self && !*written) {
      *written = true;
      self->writeBackAndClose(modal);
    }
  });
  waitForQuitStep(
      QStringLiteral("the store queue"), QuitStoreQueueBoundMs, [written] { return *written; },
      [this, modal, written](bool ended) {
        if (!ended)
          finishAfterTheUsersChanges(modal, written);
      });
}

void ZPHAppDelegate::finishAfterTheUsersChanges(bool modal, std::shared_ptr<bool> written)
{
  // What a later refresh does again is dropped: the savers not started
  // whole, the running one's batch at its next article. The rest of the
  // queue (the user's changes above all) runs before the write-back, main()'s
  // deadline held meanwhile.
  if (CBDataController* data = dataController())
    data->cancelCoreDataBackgroundOperationsThatMayBeDropped();
  if (m_environment.holdQuitDeadline)
    m_environment.holdQuitDeadline(true);
  auto sinceCancel = std::make_shared<QElapsedTimer>();
  sinceCancel->start();
  auto saversStuck = std::make_shared<bool>(false);
  waitForQuitStep(
      QStringLiteral("the user's changes on the store queue"), QuitUsersChangesBoundMs,
      [this, written, sinceCancel, saversStuck] {
        const CBDataController* data = dataController();
        if (!*written && data != nullptr && data->coreDataQueueRunsCancelledOperation() &&
            sinceCancel->hasExpired(QuitCancelledSaversBoundMs)) {
          qCWarning(zphShell).noquote() << QStringLiteral(
                                               "quit: the cancelled savers did not end within their bound of %1 ms; "
                                               "going on")
                                               .arg(QuitCancelledSaversBoundMs);
          *saversStuck = true;
        }
        return *written || *saversStuck;
      },
      [this, modal, written, saversStuck](bool ended) {
        if (m_environment.holdQuitDeadline)
          m_environment.holdQuitDeadline(false);
        if (ended && !*saversStuck)
          return;  // written back
        // Work that ignores its cancel, or that does not end: the store queue
        // is cancelled whole, and the main context is written back beside it.
        if (CBDataController* data = dataController())
          data->cancelCoreDataBackgroundOperations();
        waitForQuitStep(
            QStringLiteral("the cancelled store queue"), QuitStoreQueueCancelBoundMs,
            [this, written] {
              const CBDataController* data = dataController();
              return *written || data == nullptr || !data->coreDataQueueHasOperations();
            },
            [this, modal, written](bool) {
              if (*written)
                return;
              *written = true;
              writeBackAndClose(modal);
            });
      });
}

void ZPHAppDelegate::writeBackAndClose(bool modal)
{
  // Once: also a running store operation lets the main thread's save take
  // its turn.
  if (CBDataController* data = dataController())
    data->saveManagedObjectContext(data->mainThreadManagedObjectContext());
  if (terminatingDueToCoreDataFailure())
    return;  // the save failed: the failure path ends the program
  qCInfo(zphShell).noquote() << QStringLiteral("wrote the store back %1 ms after the quit began")
                                    .arg(m_quitClock.isValid() ? m_quitClock.elapsed() : 0);
  // The OPML backups queued at the quit's start read the list in store-queue
  // order (before this write-back) and are written off the main thread.
  waitForQuitStep(
      QStringLiteral("the OPML backups"), QuitBackupBoundMs,
      [] { return !ZPHOPMLBackupController::sharedOPMLBackupController()->hasRemainingWork(); },
      [this, modal](bool) { endQuit(modal); });
}

void ZPHAppDelegate::endQuit(bool modal)
{
  // The quit completes once the store queue is dry, so that letting go of
  // the store afterwards waits for nothing. Work that ignored its cancel
  // holds it here until main()'s deadline ends the program.
  if (const CBDataController* data = dataController(); data != nullptr && data->coreDataQueueHasOperations()) {
    // (The write-back's own block ends right after this.)
    if (++m_quitStoreQueueChecks == 2)
      qCInfo(zphShell) << "quit: waiting for the store queue to run dry";
    QPointer<ZPHAppDelegate> self(this);
    QTimer::singleShot(QuitPollIntervalMs, this, [self, modal] {
      if (self)
        self->endQuit(modal);
    });
    return;
  }
  if (!modal) {
    replyToApplicationShouldTerminate(true);
    return;
  }
  if (m_quittingWindowController)
    m_quittingWindowController->closeWindow();
  m_runningModalSheet = false;
  QPointer<ZPHAppDelegate> self(this);
  QTimer::singleShot(0, this, [self] {
    if (self)
      self->replyToApplicationShouldTerminate(true);
  });
}

void ZPHAppDelegate::terminateAfterCoreDataFailure()
{
  m_terminationRequested = true;
  if (m_quittingWindowController)
    m_quittingWindowController->closeWindow();
  replyToApplicationShouldTerminate(true);
}

void ZPHAppDelegate::replyToApplicationShouldTerminate(bool shouldTerminate)
{
  if (!shouldTerminate || m_terminationReplied)
    return;
  m_terminationReplied = true;
  // The window goes from the screen now, while the platform is whole.
  if (QMainWindow* window = mainWindow())
    window->hide();
  qCInfo(zphShell).noquote()
      << QStringLiteral("quit complete (%1 ms)").arg(m_quitClock.isValid() ? m_quitClock.elapsed() : 0);
  m_environment.exitApplication(m_exitStatus);
}

void ZPHAppDelegate::closeStoreThen(std::function<void()> then)
{
  m_appIsShuttingDown = true;
  if (m_periodicRefreshTimer)
    m_periodicRefreshTimer->stop();
  if (m_initialRefreshTimer)
    m_initialRefreshTimer->stop();
  ZPHNotificationCenter::defaultCenter().post(ZPHApplicationWillTerminateNotification,
                                              QVariant::fromValue(static_cast<QObject*>(this)));
  if (ZPHRefreshController* refresh = refreshController())
    refresh->cancelAllOperations();
  if (CBDataController* data = dataController())
    data->cancelCoreDataBackgroundOperations();

  auto idle = [this] {
    const CBDataController* data = dataController();
    const ZPHRefreshController* refresh = refreshController();
    return (data == nullptr || !data->coreDataQueueHasOperations()) &&
           (refresh == nullptr || refresh->refreshOperationController()->numberOfOperations() == 0);
  };
  if (!idle()) {
    QTimer::singleShot(QuitPollIntervalMs, this,
                       [this, then = std::move(then)]() mutable { closeStoreThen(std::move(then)); });
    return;
  }
  // Views let go of store objects with their window.
  m_quittingWindowController.reset();
  m_mainWindowController.reset();
  releaseRefreshController();
  m_sourceListTreeBuilder.reset();
  releaseDataController();
  qCInfo(zphShell) << "closed the store";
  if (then)
    then();
}

void ZPHAppDelegate::releaseRefreshController()
{
  ZPHRefreshController* refresh = m_refreshControllerOwner.get();
  if (refresh == nullptr)
    return;
  refresh->cancelAllOperations();
  // The quit waited for the cancelled refreshes already, so this is quick
  // unless one did not end; the controller's destructor then waits for it.
  if (!ZPHMainThread::processEventsUntil([this] { return refreshOperationsLeft() == 0; },
                                         QDeadlineTimer(QuitTeardownBoundMs)))
    qCWarning(zphShell).noquote() << QStringLiteral(
                                         "quit: %1 refreshes did not end within the bound of %2 ms after their cancel")
                                         .arg(refreshOperationsLeft())
                                         .arg(QuitTeardownBoundMs);
  m_refreshController = nullptr;
  m_refreshControllerOwner.reset();
}

void ZPHAppDelegate::releaseDataController()
{
  // The sync client's calls end in store work, so it goes first.
  m_syncManager.reset();
  if (!m_dataControllerOwner)
    return;
  m_dataControllerOwner->disconnect(this);
  // Runs the store queue dry (serving the main thread), then closes the
  // store and every connection to it.
  m_dataControllerOwner.reset();
  m_dataController = nullptr;
}

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
  ZPHMacCoreDataStack::quitForCoreDataFailureWithError(error);
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

void ZPHAppDelegate::setUpKeyMapping()
{
  QList<QAction*> items = findChildren<QAction*>(QString(), Qt::FindDirectChildrenOnly);
  if (m_mainWindowController != nullptr)
    items += m_mainWindowController->findChildren<QAction*>(QString(), Qt::FindDirectChildrenOnly);
  // Menus, badge and windows: menu items whose commands live elsewhere in
  // the chain carry their keys themselves.
  if (m_mainMenuController != nullptr)
    items += m_mainMenuController->keyCarryingItems();
  ZPHKeyMappingController* mapping = ZPHKeyMappingController::sharedMappingController();
  mapping->setMenuItems(items);
  const auto apply = [this, mapping](const QVariant& stored) {
    const QString name = keyMapSetNameForStoredValue(stored);
    if (name == mapping->keySetName()) {
      mapping->setupMenus();
      // The set gave Close Tab its key again; the tabs decide who has it.
      if (m_tabCommands != nullptr && m_tabCommands->tabsController() != nullptr)
        m_tabCommands->tabsController()->updateKeyboardShortcuts();
    } else {
      mapping->setKeySetName(name);
    }
  };
  apply(ZPHUserDefaults::standardUserDefaults().objectForKey(ZPHKeyMapSetName));
  ZPHUserDefaults::standardUserDefaults().observe(ZPHKeyMapSetName, this, apply);
}
