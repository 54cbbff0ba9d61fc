#pragma once

// Qt kind: QObject that owns widgets.

#include "keys/ZPHMainWindowKeyDelegate.h"
#include "keys/ZPHResponderChain.h"
#include "keys/ZPHUserInterfaceValidations.h"
#include "kit/ZPHClock.h"
#include "platform/ZPHNotificationCenter.h"
#include "sharing/ZPHSharingHost.h"
#include "store/tree/ZPHTreeNodeRepresentedObjects.h"

#include <QtCore/QObject>
#include <QtCore/QPointer>
#include <QtCore/QSize>
#include <QtCore/QVariant>
#include <QtGui/QImage>

#include <memory>
#include <vector>

class CBDataArticle;
struct ZPHArticleListRow;
class CBDataController;
class QAction;
class QToolBar;
class ZPHArticleListDelegate;
class ZPHContentPaneController;
class ZPHSearchField;
class ZPHSearchWindowController;
class QMainWindow;
class QMenu;
class QSystemTrayIcon;
class QUndoStack;
class QWidget;
class ZPHDockMenuController;
class ZPHEmptyContentsViewController;
class ZPHMainWindowSplitView;
class ZPHMainWindowToolbarController;
class ZPHNetworkController;
class ZPHNotificationBezelWindowController;
class ZPHReadingLayoutViewController;
class ZPHRightPaneContainerView;
class ZPHSourceListTreeBuilder;
class ZPHSourceListViewController;
class ZPHSharingPluginCommand;
class QTimer;
class ZPHStatusViewController;
class ZPHUndoableOperation;
class ZPHWindowAutosave;
class ZPHTabIndicatorWindowController;
class ZPHTabsController;

// Object: the controller (QObject*); userInfo "window" -> the main window
// (QObject*). Posted when the main window has been resized.
extern const QString ZPHMainWindowDidResizeNotification;  // "ZPHMainWindowDidResizeNotification"

// The controller of the single main window: the source list on the left
// with the status area under it, the reading area on the right. It turns
// what the rest of the program announces (sites being added, imports,
// read-later sending, a page opened in the browser) into status items and
// bezels, mirrors the unread totals, and owns the window's undo stack, the
// way every undoable store change of the window goes.
//
// The application makes one at start-up, gives it the data controller, the
// tree builder and the network controller, and keeps it; the window is
// built on the first call of window(). Main thread only.
class ZPHMainWindowController : public QObject,
                                public ZPHMainWindowKeyDelegate,
                                public ZPHUserInterfaceValidations,
                                public ZPHSharingHost {
  Q_OBJECT
  Q_PROPERTY(quint64 unreadCount READ unreadCount NOTIFY unreadCountChanged)
  Q_PROPERTY(quint64 unreadFavoritesCount READ unreadFavoritesCount NOTIFY unreadFavoritesCountChanged)
  Q_PROPERTY(QString selectedURL READ selectedURL NOTIFY selectedURLChanged)
  Q_PROPERTY(QString mouseOverURL READ mouseOverURL NOTIFY mouseOverURLChanged)
  Q_PROPERTY(QString toggleReadMenuItemTitle READ toggleReadMenuItemTitle NOTIFY toggleReadMenuItemTitleChanged)

public:
  // The window's size on the first run, where the screen has room for it.
  static constexpr QSize DefaultWindowSize{1100, 700};
  static const QString AddingFeedsStatusItemIdentifier;          // "com.fernhollow.zephlin.status.addingFeeds"
  static const QString SendingToInstapaperStatusItemIdentifier;  // "com.fernhollow.zephlin.status.sendingToInstapaper"

  // The clock (the system clock when null) times the status area, the bezel
  // and the source list's delays; it must outlive the controller.
  explicit ZPHMainWindowController(ZPHClock* clock = nullptr, QObject* parent = nullptr);
  ~ZPHMainWindowController() override;

  // Set before the window is built; not owned.
  CBDataController* dataController() const { return m_dataController; }
  void setDataController(CBDataController* dataController) { m_dataController = dataController; }
  ZPHSourceListTreeBuilder* sourceListTreeBuilder() const { return m_sourceListTreeBuilder; }
  void setSourceListTreeBuilder(ZPHSourceListTreeBuilder* builder) { m_sourceListTreeBuilder = builder; }
  ZPHNetworkController* networkController() const { return m_networkController; }
  void setNetworkController(ZPHNetworkController* controller);

  // The window, built on first use.
  QMainWindow* window();
  bool isWindowLoaded() const { return m_window != nullptr; }
  void showWindow();

  ZPHSourceListViewController* sourceListViewController() const { return m_sourceListViewController.get(); }
  ZPHStatusViewController* statusViewController() const { return m_statusViewController.get(); }
  ZPHStatusViewController* sourceListStatusViewController() const { return m_statusViewController.get(); }
  // Where the status area sits (the source list's status container).
  QWidget* sourceListStatusViewEnclosingView() const;
  ZPHRightPaneContainerView* rightPaneContainerView() const { return m_rightPaneContainerView; }
  ZPHMainWindowSplitView* applicationSplitView() const { return m_applicationSplitView; }
  // The article list and its layouts, in the right pane.
  ZPHArticleListDelegate* articleListDelegate() const { return m_articleListDelegate.get(); }
  // The content pane: the list's view or a browser tab's, the tabs column,
  // the current web view, what the window shares.
  ZPHContentPaneController* contentPaneController() const { return m_contentPaneController.get(); }
  // Browser tabs: the tab set (the content pane's) and the tab
  // indicator over the window's corner.
  ZPHTabsController* tabsController() const;
  ZPHTabIndicatorWindowController* tabIndicatorWindowController() const { return m_tabIndicator.get(); }
  // The search field (in the toolbar) and its options window.
  ZPHSearchField* searchField() const { return m_searchField; }
  ZPHSearchWindowController* searchWindowController() const { return m_searchWindowController.get(); }
  QToolBar* toolbar() const { return m_toolbar; }
  ZPHMainWindowToolbarController* toolbarController() const { return m_toolbarController.get(); }
  QUndoStack* undoManager() const { return m_undoManager; }
  ZPHNotificationBezelWindowController* notificationBezelWindowController() const
  {
    return m_notificationBezelWindowController.get();
  }
  ZPHDockMenuController* dockMenuController() const { return m_dockMenuController; }
  // Null where the desktop has no tray; a click on it brings the window.
  QSystemTrayIcon* trayIcon() const { return m_trayIcon; }
  // Whether closing the window ends the program: unless the tray icon
  // shows, which keeps the program (the window only hides).
  bool closingWindowEndsProgram() const;

  // Shows a bezel over the window (the controller is made on first use).
  void showNotificationBezelWithText(const QString& text, const QImage& image);
  // Registers the operation on the undo stack under its action name and
  // queues it on the store queue; undo queues its inverse, redo it again.
  void performUndoableOperation(std::shared_ptr<ZPHUndoableOperation> operation);
  // Selects Today (row 2).
  void selectInitialSourcelistItem();

  // ---- Commands
  // The controller's commands are QActions named by their selector
  // ("markAllAsRead:"), its children; the window's keys, menus and toolbar
  // send them through the responder chain: the focused view's controllers,
  // then this controller, then the application (setApplicationResponder).
  QAction* commandAction(const QString& selector) const;
  const ZPHResponderChain& responderChain() const { return m_responderChain; }
  void setApplicationResponder(QObject* responder);
  // Sends a command for the window's focus; true when a responder took it.
  bool sendAction(const QString& selector);
  bool validateUserInterfaceItem(QAction* item) override;
  // Runs validateUserInterfaceItem() over every command (on selection,
  // unread and refresh changes and when a menu opens).
  void validateCommands();
  // Marks every article the list shows read, undoably.
  void markAllAsRead();
  // The last store change of the window undone, or the last undone one done
  // again ("undo:" Ctrl+Z, "redo:" Ctrl+Shift+Z; titled with the step).
  void undo();
  void redo();
  void moveFocusToSourceList();
  // Marks the selected articles read (unread when the first is read), or
  // bookmarked (unbookmarked when the first is), undoably.
  void toggleRead();
  void toggleFlagged();
  // The next unread article: in the list, else in the next source list row
  // with unread articles (wrapping to the top).
  void nextUnread();
  bool validateNextUnread() const;
  void copyArticleURL();
  // The selected article's link in the web browser; `respectingShortcuts`:
  // the held modifiers may ask for the background.
  void openInBrowser(bool respectingShortcuts = true);
  void openInTab();
  void makeTextLarger();
  void makeTextSmaller();
  void makeTextStandardSize();
  bool canShiftFontSizeInDirection(int direction) const;
  // Back and forward in the selected browser tab's page (back from its
  // first page shows the news items again); nothing on the news-items tab.
  void goBack();
  void goForward();
  // Find in the article shown: the find bar, the next and previous match.
  // On while an article row is selected.
  void find();
  void findNext();
  void findPrevious();
  bool validateFind() const;
  // The article column one step narrower or wider (the margins the other
  // way); on while the article's page shows and the column can change
  // that way.
  void makeMarginsNarrower();
  void makeMarginsWider();
  bool validateMargins(int direction) const;
  void toggleDarkMode();
  void deleteSelectedFeedsAndFolders();
  bool canMoveFocusToArticleList() const;
  void moveFocusToArticleListAndSelectTopRowIfNeeded();
  // The first unread row after `row` of `rows` (the first unread row when
  // `row` is -1 or not a row); -1 when none.
  static qsizetype unreadRowAfterRow(qsizetype row, const QList<ZPHArticleListRow>& rows);
  QString toggleFlaggedTitle() const;

  // ---- Sharing
  // Runs a sharing command on the selected article from the view showing
  // it. While that view is still being shown it tries again every 0.25 s,
  // for 2 s at most, and gives up when the selection changes or the window
  // goes.
  static constexpr int SharingRetryInterval = 250;  // ms
  static constexpr int SharingRetryLimit = 2000;    // ms
  void performSharingPluginCommandWithPluginCommand(ZPHSharingPluginCommand* command) override;
  bool isSharingRetryPending() const;
  // The view that shows the selected article for a sharing command (the
  // article pane when it shows one); null while there is none.
  QWidget* viewRepresentingSelectedArticleForPluginPopover() const;
  QString toggleDarkModeTitle() const;
  // Sharing: the share menus' commands for the item (those that can act on
  // it, in their groups); a command chosen runs on the item from the view
  // and view controller given. The menu bar's Share menu calls
  // addSharingPluginCommandsToShareMenu(): the presented item, from the
  // view that shows the selected article.
  int addSharingPluginCommandsToMenu(QMenu* menu, const std::optional<CBSharableItem>& item, QWidget* view,
                                     QObject* viewController);
  int addSharingPluginCommandsToShareMenu(QMenu* menu);
  // The sharing host: the presented item, the toolbar's share control and
  // its popover.
  std::optional<CBSharableItem> presentedSharableItemForSharing() const override;
  QWidget* presentedSharableItemPopoverRelativeView() const override;
  void presentSharingPopOver() override;

  // ---- Keys (the window's key delegate)
  ZPHMainWindowKeyTable::Flags keyRoutingFlags(QWidget* focus) override;
  bool performKeyAction(const ZPHMainWindowKeyTable::Action& action, QWidget* focus) override;

  quint64 unreadCount() const { return m_unreadCount; }
  quint64 unreadFavoritesCount() const { return m_unreadFavoritesCount; }
  // Mirrors the application's totals: favourites first, then the total.
  void setUnreadCounts(quint64 unreadCount, quint64 unreadFavoritesCount);
  QString selectedURL() const { return m_selectedURL; }
  QString mouseOverURL() const { return m_mouseOverURL; }
  QVariant presentedSharableItem() const { return m_presentedSharableItem; }
  QString toggleReadMenuItemTitle() const { return m_toggleReadMenuItemTitle; }

  // The notification handlers.
  void selectedURLDidChange(const ZPHNotification& notification);
  void mouseOverURLDidChange(const ZPHNotification& notification);
  void presentedSharableItemDidChange(const ZPHNotification& notification);
  void subscribeWillStartNotification(const ZPHNotification& notification);
  void subscribeDidFinishNotification(const ZPHNotification& notification);
  void importDidFinishNotification(const ZPHNotification& notification);
  void sendToInstapaperDidStartNotification(const ZPHNotification& notification);
  void sendToInstapaperDidSucceedNotification(const ZPHNotification& notification);
  void sendToInstapaperDidFailNotification(const ZPHNotification& notification);
  void appDelegateDidOpenURLInExternalBrowser(const ZPHNotification& notification);

  // The import bezel's text and image for the notification's user info;
  // an empty text when no bezel shows.
  static std::pair<QString, QString> importBezelTextAndImageName(const QVariantMap& userInfo);

Q_SIGNALS:
  void unreadCountChanged(quint64 unreadCount);
  void unreadFavoritesCountChanged(quint64 unreadFavoritesCount);
  void selectedURLChanged(const QString& url);
  void mouseOverURLChanged(const QString& url);
  void presentedSharableItemChanged();
  void toggleReadMenuItemTitleChanged(const QString& title);

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  void windowDidLoad();
  void makeCommands();
  QList<ZPHRepresentedObject> feedsAndFoldersShown() const;
  ZPHReadingLayoutViewController* currentLayoutViewController() const;
  void registerObservers();
  void setUpTrayIcon();
  void showStatusItem(const QString& text, const QString& identifier);
  void setUpArticleList();
  void sourceListSelectionDidChange();
  // What the source list's selected rows represent, in row order.
  QList<ZPHRepresentedObject> sourceListSelection() const;
  bool urlNotificationConcernsThisWindow(const ZPHNotification& notification) const;
  CBDataArticle* selectedArticle() const;
  QList<CBDataArticle*> currentArticles() const;
  QList<CBDataArticle*> listedArticles() const;
  void updateToggleReadMenuItemTitle();
  void scheduleValidation();

  ZPHClock* m_clock;
  CBDataController* m_dataController = nullptr;
  ZPHSourceListTreeBuilder* m_sourceListTreeBuilder = nullptr;
  QPointer<ZPHNetworkController> m_networkController;

  std::unique_ptr<QMainWindow> m_window;
  std::unique_ptr<ZPHWindowAutosave> m_windowAutosave;
  std::unique_ptr<ZPHSourceListViewController> m_sourceListViewController;
  std::unique_ptr<ZPHStatusViewController> m_statusViewController;
  std::unique_ptr<ZPHArticleListDelegate> m_articleListDelegate;
  std::unique_ptr<ZPHContentPaneController> m_contentPaneController;
  std::unique_ptr<ZPHSearchWindowController> m_searchWindowController;
  ZPHSearchField* m_searchField = nullptr;
  QToolBar* m_toolbar = nullptr;
  std::unique_ptr<ZPHMainWindowToolbarController> m_toolbarController;
  std::unique_ptr<ZPHNotificationBezelWindowController> m_notificationBezelWindowController;
  ZPHMainWindowSplitView* m_applicationSplitView = nullptr;
  ZPHRightPaneContainerView* m_rightPaneContainerView = nullptr;
  QUndoStack* m_undoManager = nullptr;
  ZPHDockMenuController* m_dockMenuController = nullptr;
  QSystemTrayIcon* m_trayIcon = nullptr;

  quint64 m_unreadCount = 0;
  quint64 m_unreadFavoritesCount = 0;
  QString m_selectedURL;
  QString m_mouseOverURL;
  QVariant m_presentedSharableItem;
  QString m_toggleReadMenuItemTitle;
  std::vector<ZPHObserverToken> m_observers;
  ZPHResponderChain m_responderChain;
  QPointer<QObject> m_applicationResponder;
  // When Space last went to the next unread article (ms of m_clock).
  qint64 m_lastSpaceNextUnread = -1;
  bool m_validationScheduled = false;
  QTimer* m_sharingRetry = nullptr;
  qint64 m_sharingRetryStarted = 0;
  ZPHSharingPluginCommand* m_sharingRetryCommand = nullptr;
  // Browser tabs.
  std::unique_ptr<ZPHTabIndicatorWindowController> m_tabIndicator;
  void setUpTabIndicator();
};
