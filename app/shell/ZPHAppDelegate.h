#pragma once

// Qt kind: QObject, the application (also the core's application delegate and ZPHAppServices).

#include "common/ZPHAppServices.h"
#include "feeds/network/ZPHNetworkController.h"
#include "foundation/ZPHCoreApplicationDelegate.h"
#include "keys/ZPHUserInterfaceValidations.h"
#include "platform/ZPHNotificationCenter.h"
#include "sheets/ZPHWelcomeWindowController.h"
#include "shell/ZPHAlert.h"
#include "store/tree/ZPHTreeNodeRepresentedObjects.h"

#include <QtCore/QDateTime>
#include <QtCore/QMutex>
#include <QtCore/QObject>
#include <QtCore/QPointer>
#include <QtCore/QString>
#include <QtCore/QStringList>
#include <QtCore/QUrl>
#include <QtCore/QVariantMap>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class CBAppObserver;
class CBDataArticle;
class ZPHBrowserLauncher;
class ZPHMacWebView;
class CBFaviconController;
class CBLocalAccountFeedMetadataCache;
class QAction;
class QDialog;
class QMainWindow;
class QMenu;
class QTimer;
class QWidget;
class ZPHInstanceLock;
class ZPHInternalPagesProfile;
class ZPHClock;
class ZPHMainWindowController;
class ZPHApplicationCommands;
class ZPHAuthenticationController;
class ZPHDockIconController;
class ZPHMainMenuController;
class ZPHSyncQuestionsController;
class ZPHQuittingWindowController;
class ZPHQuitSequence;
class ZPHScreenshotHook;
class ZPHStartupSequence;
class ZPHSourceListTreeBuilder;
class ZPHStatusViewController;
class ZPHSyncManager;
class ZPHTabCommands;
class ZPHSubscriptionCommands;

// User defaults registered at start-up that no other part of the program
// defines.
extern const QString ZPHFavoritesFeedsEnabled;                 // "ZPHFavoritesFeedsEnabled"
extern const QString ZPHFirstRunDateKey;                       // "FirstRunDate"
extern const QString ZPHDidSetWebKitPrefsKey;                  // "didSetWebKitPrefs"
extern const QString ZPHNumberOfLaunchesKey;                   // "ZPHNumberOfLaunches"
extern const QString ZPHHasAskedToSignUpToNewsletterKey;       // "ZPHHasAskedToSignUpToNewsletter"
extern const QString ZPHMainWindowControllerWasFullScreenKey;  // "ZPHMainWindowControllerWasFullScreen"
// Set while the store's integrity check is due: from when a start decides
// to check until the check has ended (a quit during the check leaves it
// set, so the next start checks).
extern const QString ZPHStoreIntegrityCheckDueKey;               // "ZPHStoreIntegrityCheckDue"
extern const QString ZPHApplicationShouldActivatePrimaryWindow;  // notification, same text
extern const QString ZPHApplicationResignedActiveNotification;   // "ZPHApplicationResignedActive"

// The application: it starts the program on its data folder, owns the
// long-lived controllers (the data controller and with it the store, the
// refresh controller, the source-list tree builder, the main window), runs
// the refresh timer and quits only after the store queue has run dry and
// the main context is saved. It is the core library's application delegate:
// every store-queue and context call forwards to the data controller made
// at start-up, and does nothing before it exists. And it is the views'
// ZPHAppServices: their links, subscriptions, files, commands and sheets.
//
// One per process, made on the main thread after the application object;
// it registers itself as the library's delegate while it lives. Main-thread
// only, except for the delegate calls the library makes from its threads,
// which read only values fixed before the first worker starts and atomics.
class ZPHAppDelegate : public QObject,
                       public ZPHCoreApplicationDelegate,
                       public ZPHAppServices,
                       public ZPHUserInterfaceValidations {
  Q_OBJECT

public:
  // What the delegate takes from outside. main() fills in the folders and
  // the screenshot; the rest defaults to the system and the desktop, and
  // tests put in their own.
  struct Environment {
    // Absolute; empty: the user's standard folders.
    QString dataFolder;
    QString cacheFolder;
    // Write the main window as a PNG here once start-up has ended, then quit.
    QString screenshotPath;
    // With a screenshot: the state to bring the program into first
    // (ZPHScreenshotScript).
    QString screenshotStatePath;
    // Reads that state (null and the reason when it cannot); empty: the
    // state is not read and the window is written as it comes up.
    std::function<std::unique_ptr<ZPHScreenshotHook>(const QString& path, QString* errorMessage)> loadScreenshotState;
    // The clock.
    std::function<QDateTime()> now;
    // What times the main window's delays and timers (the system clock when
    // empty or null); the clock must outlive the delegate.
    std::function<ZPHClock*()> interfaceClock;
    // Bytes free on the disk holding a path (nullopt: unknown).
    std::function<std::optional<qint64>(const QString& path)> freeDiskSpace;
    // Where connectivity comes from; empty: the shared network controller.
    std::function<std::unique_ptr<ZPHNetworkController::ReachabilitySource>()> makeReachabilitySource;
    // Shows an alert and answers the button pressed.
    std::function<int(const ZPHAlert& alert)> runModalAlert;
    // Hands an address to the desktop (web, mail); empty: the desktop's
    // opener, whose late failures are told too (ZPHBrowserLauncher).
    std::function<bool(const QUrl& url)> openURL;
    // Ends the event loop with the status.
    std::function<void(int status)> exitApplication;
    // The modifier keys held now (link routing reads them).
    std::function<Qt::KeyboardModifiers()> keyboardModifiers;
    // Tells the user that something did not work.
    std::function<void()> beep;
    // The addresses and files of the command line, and the folder it was
    // given in (ZPHLaunchArguments).
    QStringList launchArguments;
    QString workingDirectory;
    // Told once when a quit begins (main() arms its deadline).
    std::function<void()> quitBegan;
    // Told when the quit begins (true) and ends (false) to wait for the
    // user's changes on the store queue: main() holds its deadline meanwhile.
    std::function<void(bool held)> holdQuitDeadline;
    // Menus, badge and windows: whether the welcome window shows on a first
    // run and the mailing-list reminder later (unset: yes); tests of other
    // things turn them off.
    std::optional<bool> presentsFirstRunWindows;
  };

  // What the application's windows do for the delegate: the subscription
  // commands are filled in when the delegate is made, the tabs and the
  // Share menu by the start-up when it builds the main window; tests put in
  // their own.
  struct Seams {
    // Opens the Add Site window with an address.
    std::function<void(const QString& address, bool searchImmediately, bool useCurrentlySelectedContainer)> addSite;
    // Runs a subscribe request (a dropped address) in the Add Site window and
    // answers the feeds it added.
    std::function<QList<CBFeed*>(std::shared_ptr<ZPHSubscribeRequest> request)> addFeedsWithSubscribeRequest;
    // Imports an OPML file.
    std::function<void(const QString& path)> importOPMLFile;
    // Opens an address in a tab of the built-in browser, selected or not, and
    // an empty tab: the main window's tabs. Before the window is built (and
    // in tests that empty them) links open in the web browser.
    std::function<void(const QUrl& url, bool selectNewTab)> openURLInInternalBrowser;
    std::function<void()> openNewTabInInternalBrowser;
    // The previous version's importer, for the welcome window and its
    // command; without it the welcome window offers no import.
    ZPHWelcomeImporter zephlin3Importer;
    // The tabs: how many there are, the news-items tab included (one while
    // there are none), and the browser tabs' {"url", "title"}.
    std::function<int()> numberOfTabs;
    std::function<QList<QVariantMap>()> tabURLsAndTitles;
    // The open tabs as a file's text, format 0 HTML, 1 plain text, 2 OPML;
    // empty for none.
    std::function<QString(const QList<QVariantMap>& tabs, int format)> exportTabsText;
    // Fills the Share menu as it opens with the sharing commands.
    std::function<void(QMenu* menu)> fillShareMenu;
  };

  // Command lines handed over before start-up ends that are kept for it.
  static constexpr int MaxPendingLaunches = 16;

  explicit ZPHAppDelegate(Environment environment = {}, QObject* parent = nullptr);
  ~ZPHAppDelegate() override;

  // The application's delegate (nullptr before it is made and after it went).
  static ZPHAppDelegate* appDelegate();

  // "Zephlin/<version> (Linux; <project page>; gzip-happy)".
  static QString userAgentString();
  // The application's version (the build's when the application has none).
  static QString applicationVersion();

  // ---- Life
  // Runs the start-up sequence (ZPHStartupSequence) once.
  void applicationDidFinishLaunching();
  // Every request to quit ends here: closing the main window, the quit
  // command, SIGTERM, the session ending. The first request starts the quit
  // (ZPHQuitSequence); the program ends once it is done. Later requests do
  // nothing.
  void requestTermination();
  ZPHQuitSequence* quitSequence() const { return m_quitSequence.get(); }
  // The status the program ends with: 0, or 1 when start-up was stopped by a
  // failure.
  int exitStatus() const { return m_exitStatus; }
  // Brings the main window to the front (a second launch asks for it).
  void makePrimaryWindowKeyAndOrderedFront();
  // The main window shows again when the application is reopened.
  void applicationShouldHandleReopen();

  // ---- Refreshing
  // Refreshes every feed of the local account while the network is
  // reachable.
  void refreshAll();
  // The timer's check, every 60 seconds.
  void doPeriodicRefreshIfNeeded();
  void performInitialRefreshAll();
  QTimer* periodicRefreshTimer() const { return m_periodicRefreshTimer; }
  bool refreshInProgress() const { return m_refreshInProgress; }
  QDateTime lastRefreshDate() const { return m_lastRefreshDate; }
  bool initialRefreshDone() const { return m_initialRefreshDone; }
  ZPHNetworkController* networkController() const { return m_networkController; }

  // ---- State
  bool isFirstRun() const { return m_isFirstRun; }
  bool completingStartupSequence() const { return m_completingStartupSequence; }
  bool startupSequenceEnded() const { return m_startupEnded; }
  bool terminatingDueToCoreDataFailure() const { return m_terminatingDueToCoreDataFailure.load(); }
  void setTerminatingDueToCoreDataFailure(bool value) { m_terminatingDueToCoreDataFailure = value; }
  bool runningModalSheet() const { return m_runningModalSheet; }
  void setRunningModalSheet(bool value) { m_runningModalSheet = value; }
  bool previousRunEndedUncleanly() const { return m_previousRunEndedUncleanly; }
  quint64 unreadCount() const { return m_unreadCount; }
  quint64 unreadFavoritesCount() const { return m_unreadFavoritesCount; }
  QString applicationNameForWebviewUserAgent() const override { return m_applicationNameForWebviewUserAgent; }
  // Whether $HOME differs from the user's home folder in the user database;
  // decided once.
  static bool isRunningSandboxed();
  bool isInFullScreen() const;

  // ---- Owned objects
  // The main window (null until it is built and after it went).
  QMainWindow* mainWindow() const;
  ZPHMainWindowController* mainWindowController() const { return m_mainWindowController.get(); }
  ZPHSourceListTreeBuilder* sourceListTreeBuilder() const { return m_sourceListTreeBuilder.get(); }
  void setSourceListTreeBuilder(std::unique_ptr<ZPHSourceListTreeBuilder> builder);
  CBFaviconController* faviconController() const { return m_faviconController; }
  CBLocalAccountFeedMetadataCache* localAccountFeedMetadataCache() const { return m_metadataCache.get(); }
  ZPHInternalPagesProfile* internalPagesProfile() const { return m_internalPagesProfile.get(); }
  ZPHInstanceLock* instanceLock() const { return m_instanceLock.get(); }
  ZPHQuittingWindowController* quittingWindowController() const { return m_quittingWindowController.get(); }
  const Environment& environment() const { return m_environment; }
  QDateTime now() const;
  int runModalAlert(const ZPHAlert& alert);

  // Status items go to the main window's status area. Until it exists, and
  // once it has gone, they are kept here in order of arrival and their
  // handlers run at once; the area takes the kept ones when it comes.
  QList<std::shared_ptr<ZPHStatusItem>> statusItems() const;

  // ---- Sheets
  // Runs `window` as a window-modal sheet on the visible main window and
  // `work` on the next turn of the event loop; false, running neither, when
  // the main window is not visible or another sheet runs. The sheet ends
  // when the window finishes.
  bool runModalSheet(QDialog* window, std::function<void()> work) override;
  void showAlertSheetWithTitle(const QString& title, const QString& message);

  // ---- Addresses and files from outside
  Seams& seams() { return m_seams; }
  // A feed: or zephlin: address handed to the program (ZPHIncomingAddress):
  // subscribes to its address on the next turn of the event loop; anything
  // else is ignored.
  void getURL(const QString& string);
  // Shows the reader window; then subscribes to the address (the Add Site
  // window) or, when it is subscribed already, selects its feed. An address
  // that is not a URL, or no main window, beeps.
  void handleSubscribeToFeedRequest(const QString& urlString, bool searchImmediately,
                                    bool useCurrentlySelectedContainer) override;
  // Opens the Add Site window unless a sheet runs.
  void addFeedWithURLString(const QString& urlString, bool searchImmediately, bool useCurrentlySelectedContainer);
  // The scripting command that adds a feed: "zephlin://add/<address>".
  void addFeedURLScript(const QString& urlString);
  // Imports the files that look like OPML subscription lists.
  void applicationOpenFiles(const QStringList& paths) override;
  // Through the desktop's opener, as links go; one it has no program for is
  // told as a link that did not open is (linkDidNotOpen()).
  bool openDocument(const QUrl& fileURL) override;
  // The addresses and files of a command line (this launch's, or a later
  // one's handed over), with the folder it was given in. Taken once
  // start-up has ended.
  void handleLaunchArguments(const QStringList& arguments, const QString& workingDirectory);
  // Whether the desktop, not a web view, opens the address: only mailto:.
  static bool systemShouldOpenURLString(const QString& string);
  // A command's associated address (a site's home page) in the web browser,
  // in front; only http and https, else a beep.
  void openAssociatedURL(const QString& urlString);

  // ---- Opening links
  // The one opener of links (ZPHAppServices): the place asked for, turned
  // by the two preferences and the Alt and Ctrl keys (ZPHLinkRouting). Only
  // http and https addresses reach a browser and only mailto: addresses the
  // mail program; anything else beeps.
  LinkOutcome openLink(const QUrl& url, const LinkRequest& request) override;
  using ZPHAppServices::openLink;
  // An empty tab of the built-in browser.
  void openNewTabInInternalBrowser();
  // A link that could not open says so: an error item in the status area
  // with its address, for LinkNotOpenedShownFor (ZPHBrowserLauncher).
  static constexpr int LinkNotOpenedShownFor = 10000;  // ms
  void linkDidNotOpen(const QUrl& url);
  // The tab commands ("newTab:", "closeTab:", …), acting on the main window's tabs.
  ZPHTabCommands* tabCommands() const { return m_tabCommands; }

  // ---- Commands
  // The application's commands are QActions named by their selector
  // ("refreshAll:"), its children, the last responders of the main
  // window's chain. Their shortcuts come from the shortcut set named by
  // "ZPHKeyMapSetName", applied when the main window is built and whenever
  // the setting changes.
  QAction* commandAction(const QString& selector) const override;
  // Adding sites and folders, importing and exporting: their commands and
  // windows.
  ZPHSubscriptionCommands* subscriptionCommands() const { return m_subscriptionCommands.get(); }
  // Menus, badge and windows: the application's commands are enabled and
  // titled here (ZPHApplicationCommands).
  bool validateUserInterfaceItem(QAction* item) override;
  ZPHApplicationCommands* applicationCommands() const { return m_applicationCommands; }
  ZPHMainMenuController* mainMenuController() const { return m_mainMenuController.get(); }
  ZPHDockIconController* dockIconController() const { return m_dockIconController.get(); }
  ZPHAuthenticationController* authenticationController() const { return m_authenticationController.get(); }
  ZPHSyncQuestionsController* syncQuestionsController() const { return m_syncQuestionsController.get(); }

  // ---- Sharing dictionaries ("url", "title"; a missing value leaves its key out)
  static QVariantMap sharingDictionaryWithLink(const QString& link);
  static QVariantMap sharingDictionaryForDataItem(const CBDataArticle* article);
  // The page's address, title and HTML source ("html"), answered on the
  // main thread once the page has given its source; null view: an empty
  // dictionary at once.
  static void sharingDictionaryForWebPage(ZPHMacWebView* webView, std::function<void(const QVariantMap&)> done);

  // ---- The source list and the plug-ins
  // Selects the feed or folder in the main window's source list; with
  // `refresh` its data is reloaded first (a feed or folder just made).
  // Nothing without a main window.
  void selectRepresentedObjectInMainWindowSourceList(ZPHRepresentedObject object, bool refresh, bool scrollIfNeeded);
  // Calls `call` on each plug-in that observes the application, in order.
  void makeAppObserversPerform(const std::function<void(CBAppObserver*)>& call) const;

  // ---- The store's failure path (see ZPHMacCoreDataStack)
  // Stops all store work, lets the queue run dry, closes the main window
  // and releases the data controller, which closes every connection to the
  // store; then runs `then`. Main thread; never waits.
  void closeStoreThen(std::function<void()> then);
  void setExitStatus(int status) { m_exitStatus = status; }
  // The failure path's end: the program ends now, whatever quit was under
  // way.
  void terminateAfterCoreDataFailure();

  // ---- ZPHCoreApplicationDelegate
  bool appIsShuttingDown() const override { return m_appIsShuttingDown.load(); }
  CBDataController* dataController() const override { return m_dataController.load(); }
  ZPHRefreshController* refreshController() const override { return m_refreshController.load(); }
  ZPHManagedObjectContext* mainThreadManagedObjectContext() const override;
  std::shared_ptr<ZPHManagedObjectContext> temporaryManagedObjectContext() override;
  std::shared_ptr<ZPHManagedObjectContext> temporaryManagedObjectContextOnPrivateQueue() override;
  void addCoreDataQueueOperation(std::shared_ptr<ZPHOperation> operation) override;
  void addCoreDataQueueOperationAndWait(std::shared_ptr<ZPHOperation> operation) override;
  void addCoreDataQueueBlock(std::function<void()> block, std::function<void()> completionHandler) override;
  void addMainThreadCoreDataQueueBlock(std::function<void()> block) override;
  void addMainThreadCoreDataQueueBlockIgnoringTermination(std::function<void()> block) override;
  void saveManagedObjectContext(ZPHManagedObjectContext* context) override;
  void handleCoreDataFailureWithError(const ZPHError& error) override;
  void performUndoableOperation(std::shared_ptr<ZPHUndoableOperation> operation) override;
  QString pathToDataFolder() const override { return m_dataFolder; }
  QString pathToCacheFolder() const override { return m_cacheFolder; }
  QString userAgent() const override { return m_userAgent; }
  void addStatusItem(std::shared_ptr<ZPHStatusItem> item, std::function<void()> addCompletionHandler) override;
  void removeStatusItem(std::shared_ptr<ZPHStatusItem> item, std::function<void()> removalCompletionHandler) override;
  void removeAnyStatusItemWithIdentifier(const QString& identifier) override;
  QList<CBFeed*> addFeedsWithSubscribeRequestReturningNewlyAddedFeeds(
      std::shared_ptr<ZPHSubscribeRequest> request) override;
  // http and https addresses only, through the desktop.
  bool openURLInDefaultWebBrowser(const QUrl& url) override;

  // "Zephlin 3" or "Zephlin 4" from the stored key set name; anything else
  // is "Zephlin 4".
  static QString keyMapSetNameForStoredValue(const QVariant& value);

Q_SIGNALS:
  void unreadCountChanged(quint64 unreadCount);
  void unreadFavoritesCountChanged(quint64 unreadFavoritesCount);
  // Start-up has run to its end (not sent when it stopped).
  void startupSequenceCompleted();

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  // The start-up and the quit make and let go of the objects the delegate
  // owns.
  friend class ZPHStartupSequence;
  friend class ZPHQuitSequence;

  void makeCommands();
  // The web browser: the desktop decides whether it comes to the front.
  // False (and a beep) for anything but an http or https address.
  bool openInExternalBrowser(const QUrl& url, bool inForeground);
  // A tab of the built-in browser (the web browser while there are no tabs).
  LinkOutcome openInInternalBrowser(const QUrl& url, bool selectNewTab);
  ZPHStatusViewController* statusArea() const;

  // Notification handlers.
  void accountReady();
  void refreshSessionDidBegin();
  void refreshSessionDidEnd();
  void feedsAndFoldersDidReorganize();
  void internetConnectivityChanged(bool connected);
  void takePendingLaunchArguments();

  Environment m_environment;
  // Made first and let go of last: they act on everything below.
  std::unique_ptr<ZPHStartupSequence> m_startupSequence;
  std::unique_ptr<ZPHQuitSequence> m_quitSequence;
  QString m_dataFolder;
  QString m_cacheFolder;
  QString m_userAgent;
  QString m_applicationNameForWebviewUserAgent;
  ZPHCoreApplicationDelegate* m_previousDelegate = nullptr;

  // Read by the library's threads.
  std::atomic<bool> m_appIsShuttingDown{false};
  std::atomic<bool> m_terminatingDueToCoreDataFailure{false};
  std::atomic<CBDataController*> m_dataController{nullptr};
  std::atomic<ZPHRefreshController*> m_refreshController{nullptr};

  // Main thread.
  bool m_completingStartupSequence = false;
  bool m_startupRan = false;
  bool m_startupEnded = false;
  bool m_isFirstRun = false;
  bool m_previousRunEndedUncleanly = false;
  bool m_runningModalSheet = false;
  bool m_refreshInProgress = false;
  bool m_initialRefreshDone = false;
  bool m_initialRefreshWaitsForConnectivity = false;
  int m_exitStatus = 0;
  QDateTime m_lastRefreshDate;
  quint64 m_unreadCount = 0;
  quint64 m_unreadFavoritesCount = 0;

  std::unique_ptr<ZPHInstanceLock> m_instanceLock;
  std::unique_ptr<CBDataController> m_dataControllerOwner;
  std::unique_ptr<ZPHSyncManager> m_syncManager;
  std::unique_ptr<ZPHRefreshController> m_refreshControllerOwner;
  std::unique_ptr<ZPHSourceListTreeBuilder> m_sourceListTreeBuilder;
  std::unique_ptr<ZPHNetworkController> m_ownNetworkController;
  ZPHNetworkController* m_networkController = nullptr;
  CBFaviconController* m_faviconController = nullptr;
  std::shared_ptr<CBLocalAccountFeedMetadataCache> m_metadataCache;
  std::unique_ptr<ZPHInternalPagesProfile> m_internalPagesProfile;
  std::unique_ptr<ZPHMainWindowController> m_mainWindowController;
  std::unique_ptr<ZPHQuittingWindowController> m_quittingWindowController;
  std::unique_ptr<ZPHScreenshotHook> m_screenshotScript;
  // Links that cannot open: the desktop's opener (none when the environment
  // brings its own).
  std::unique_ptr<ZPHBrowserLauncher> m_browserLauncher;
  QTimer* m_periodicRefreshTimer = nullptr;
  QTimer* m_initialRefreshTimer = nullptr;
  std::vector<ZPHObserverToken> m_observers;

  mutable QMutex m_statusItemsMutex;
  QList<std::shared_ptr<ZPHStatusItem>> m_statusItems;

  Seams m_seams;
  ZPHTabCommands* m_tabCommands = nullptr;
  // Adding sites and folders, importing and exporting.
  std::unique_ptr<ZPHSubscriptionCommands> m_subscriptionCommands;
  // Menus, badge and windows.
  ZPHApplicationCommands* m_applicationCommands = nullptr;
  std::unique_ptr<ZPHMainMenuController> m_mainMenuController;
  std::unique_ptr<ZPHDockIconController> m_dockIconController;
  std::unique_ptr<ZPHAuthenticationController> m_authenticationController;
  std::unique_ptr<ZPHSyncQuestionsController> m_syncQuestionsController;
  // Command lines handed over before start-up ended, taken when it ends.
  QList<std::pair<QStringList, QString>> m_pendingLaunchArguments;
};
