#pragma once

// Qt kind: model (QAbstractListModel).

#include "kit/ZPHClock.h"
#include "store/graph/ZPHManagedObjectID.h"

#include <QtCore/QAbstractListModel>
#include <QtCore/QPointer>
#include <QtCore/QStringList>
#include <QtCore/QUrl>

#include <functional>
#include <limits>
#include <memory>
#include <vector>

class AbstractTab;
class QAction;
class QMenu;
class QWebEngineProfile;
class QWidget;
class ZPHBrowserTab;
class ZPHBrowserViewController;
class ZPHMacWebView;
class ZPHManagedObjectContext;
class ZPHNewsItemsTab;
class ZPHPersistentStore;
class ZPHTab;
class ZPHTabThumbnailingController;
class ZPHTabsControllerHost;
class ZPHUserDefaults;

// Object: the tabs controller. After every tab switch, a deleted tab, the
// first restore, an empty tab opened and a new tab added for an address.
extern const QString ZPHBrowserTabsDidChangeNotification;
// Object: the tabs controller. When the selected tab's index changed.
extern const QString ZPHBrowserIndexOfSelectedTabDidChangeNotification;

// One tab of the list for an export: its address and, when it has one, its
// title.
struct ZPHTabAddress {
  QString url;
  QString title;
  bool operator==(const ZPHTabAddress& other) const { return url == other.url && title == other.title; }
};

// The tabs of the main window and every rule about them: the news-items tab
// first (the article list and article view, never closed, moved or
// deleted), then the browser tabs in the order shown; which tab is
// selected; what opening, closing, moving and dropping a tab does and which
// tab is selected after a close; when the tabs column shows; how the tabs
// are stored and brought back at the next start; which of Close Tab and
// Close Window has Ctrl+W.
//
// The rows of the model are the tabs (Qt::DisplayRole: the title as plain
// text; TabRole: the ZPHTab*). The view work of a switch is the host's
// (ZPHTabsControllerHost, the content pane controller).
//
// Browser tabs are stored objects of the entity "ZPHTab" in a context of
// their own on the main thread, the tabs context (its user info marks it as
// holding tabs only; it keeps no undo), saved 5 seconds after the last
// change, at once when a tab is made, dropped or closed, and at quit. Every
// save writes each tab's place in the list, so the tabs come back in the
// order they had. Restored tabs make no web view until they are selected.
//
// Made by the content pane controller, which owns it; it must go before the
// store (the main window goes before the data controller). Main thread
// only.
class ZPHTabsController : public QAbstractListModel {
  Q_OBJECT

public:
  // Not found (the largest signed 64-bit value).
  static constexpr qsizetype NotFound = std::numeric_limits<qsizetype>::max();
  static constexpr qint64 SaveDelay = 5000;  // ms
  enum Role { TabRole = Qt::UserRole + 1 };

  struct Environment {
    // The save timer and the tabs' load time-outs (the system clock when
    // null; it must outlive the controller).
    ZPHClock* clock = nullptr;
    // The settings (the standard ones when null).
    ZPHUserDefaults* defaults = nullptr;
    // The store of the tabs (default: the application's data controller's);
    // null: no browser tabs can be made.
    std::function<ZPHPersistentStore*()> store;
    // The browser pages' profile for the tabs' web views.
    std::function<QWebEngineProfile*()> profile;
    // The thumbnails' folder (default: "TabThumbnails.noindex" in the cache
    // folder).
    QString thumbnailFolder;
  };

  explicit ZPHTabsController(QObject* parent = nullptr) : ZPHTabsController(Environment(), parent) {}
  explicit ZPHTabsController(Environment environment, QObject* parent = nullptr);
  ~ZPHTabsController() override;

  // The view side; not owned (null: none).
  ZPHTabsControllerHost* host() const { return m_host; }
  void setHost(ZPHTabsControllerHost* host) { m_host = host; }

  // ---- The model
  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  // The row of a tab (for a redraw).
  QModelIndex indexForTab(const ZPHTab* tab) const;

  // ---- Queries
  qsizetype numberOfTabs() const { return qsizetype(m_tabItems.size()); }
  ZPHTab* tabItemAtIndex(qsizetype index) const;
  qsizetype indexOfTabItem(const ZPHTab* tab) const;
  ZPHTab* currentTab() const { return tabItemAtIndex(m_selectedTabIndex); }
  ZPHBrowserTab* currentBrowserTab() const;
  ZPHBrowserViewController* currentBrowserViewController() const;
  bool isNewsItemsTabSelected() const { return m_selectedTabIndex == 0; }
  ZPHNewsItemsTab* newsItemsTab() const { return m_newsItemsTab.get(); }
  qsizetype selectedTabIndex() const { return m_selectedTabIndex; }
  bool tabsVisible() const { return m_tabsVisible; }
  int tabsVisibility() const { return m_tabsVisibility; }
  ZPHBrowserTab* browserTabAtIndex(qsizetype index) const;
  QList<ZPHBrowserTab*> browserTabs() const;
  ZPHMacWebView* webViewForTabAtIndex(qsizetype index) const;
  qsizetype indexForTabWithWebView(const QWidget* webView) const;
  // The last browser tab whose stored address matches (both trimmed of "/"
  // at the ends and standardised); NotFound for none.
  qsizetype indexOfTabWithURLString(const QString& urlString) const;
  bool tabWithURLExists(const QString& urlString) const { return indexOfTabWithURLString(urlString) != NotFound; }
  QString urlStringForTabAtIndex(qsizetype index) const;
  QStringList tabURLsArray() const;
  // The tabs' addresses and titles for an export (the open-tabs writers):
  // tabs without an address are left out, and, unless asked, temporary
  // search-result pages.
  QList<ZPHTabAddress> tabURLsAndTitlesArray() const { return tabURLsAndTitlesArrayIncludingTemporaryFiles(false); }
  QList<ZPHTabAddress> tabURLsAndTitlesArrayIncludingTemporaryFiles(bool keep) const;
  // Calls `block` for each browser tab of the list as it is now, with its
  // index in the list at the moment of the call; `*stop` ends the walk.
  void enumerateBrowserTabs(const std::function<void(ZPHBrowserTab* tab, qsizetype index, bool* stop)>& block) const;
  bool shouldShowTabBar() const;
  // "tabsViewState": 1 the tabs show as labels; anything else (unset, 0,
  // any other value) as thumbnails, 0. The one reading of the setting.
  static int tabsViewState(ZPHUserDefaults* defaults = nullptr);

  // ---- Selecting
  void selectTabAtIndex(qsizetype index);
  void selectNewsItemsTab() { selectTabAtIndex(0); }
  void selectLastTab() { selectTabAtIndex(numberOfTabs() - 1); }
  void selectTabAtIndexAndMakeWebViewFirstResponder(qsizetype index);
  void selectTabWithURLString(const QString& urlString);
  void selectNextTab();
  void selectPreviousTab();

  // ---- Opening
  // A new tab for the address, or the tab that shows it already (reloaded
  // on request); selected on request. Answers its index (NotFound when no
  // tab can be made).
  qsizetype openURLStringInNewTab(const QString& urlString, bool selectNewTab, bool reloadIfExists);
  void openEmptyPageInNewTab();
  // A new tab, with its web view and selected, for a window a page's script
  // opened on the user's click; its page then loads what the script asked
  // for. Null when no tab can be made. Disposable while the column is never
  // shown.
  ZPHBrowserTab* openTabForNewWindow();
  // Loads the address into the browser tab ("&amp;" decoded).
  void openURLStringInTab(const QString& urlString, ZPHBrowserTab* tab);
  // A dropped address as a new tab at the row (1 or more), selected;
  // answers its index (NotFound when none was made).
  qsizetype newTabWithPasteboardURLString(const QString& urlString, const QString& title, qsizetype row);

  // ---- Closing and moving
  // Closes the tab (the selected one for null) on the next turn of the
  // event loop; nothing for the news-items tab.
  void closeTab(ZPHTab* tab = nullptr);
  void closeTabAtIndex(qsizetype index);
  void closeTabWithObjectID(const ZPHManagedObjectID& objectID);
  void closeTabsOtherThanNewsItemsTab();
  // Moves the browser tab at `from` to before the row `to` (both 1 or more;
  // `to` may be the count); the selected tab stays selected.
  void swapTabAtIndex(qsizetype from, qsizetype to);

  // ---- The column
  // 0 automatic, 1 always shown, 2 never shown (the caller stores it).
  void changeTabsVisibility(int mode, bool animate);
  void updateTabVisibilityWithAnimation(bool animate);

  // ---- Storing
  void markTabsAsDirty();
  bool tabsAreDirty() const { return m_tabsAreDirty; }
  bool saveTimerRuns() const { return m_saveTabsTimer != 0; }
  void saveTabsToDiskIfNeeded();
  // Brings the stored tabs back (once the view side is set up).
  void restoreTabs();
  bool didRestoreTabsFromPrefs() const { return m_didRestoreTabsFromPrefs; }
  // The context of the browser tabs; null without a store.
  ZPHManagedObjectContext* tabsManagedObjectContext();

  // ---- Close Tab and Close Window
  void setCloseTabMenuItem(QAction* item) { m_closeTabMenuItem = item; }
  QAction* closeTabMenuItem() const { return m_closeTabMenuItem; }
  void setCloseWindowMenuItem(QAction* item) { m_closeWindowMenuItem = item; }
  QAction* closeWindowMenuItem() const { return m_closeWindowMenuItem; }
  // Ctrl+W closes the tab while a browser tab is selected in the active
  // main window (Close Window then has Ctrl+Shift+W); else it closes the
  // window (and Close Tab has none). While closing the window would end
  // the program, Ctrl+W stays Close Tab's and Close Window keeps
  // Ctrl+Shift+W: the key that closes tabs never quits.
  void updateKeyboardShortcuts();
  // Whether closing the window ends the program (unset: no).
  void setClosingWindowEndsProgram(std::function<bool()> ends) { m_closingWindowEndsProgram = std::move(ends); }
  // Enables the item and, for Close Tab, moves the shortcut.
  bool validateMenuItem(QAction* item);

  // ---- For the tabs
  ZPHClock* clock() const { return m_clock; }
  ZPHUserDefaults* defaults() const { return m_defaults; }
  QWebEngineProfile* browserProfile() const;
  ZPHTabThumbnailingController* thumbnailingController() const { return m_thumbnailer.get(); }
  // What fills a "Share" submenu for a page (the sharing commands); without
  // it no "Share" item shows. Answers whether it added anything.
  using ShareMenuFiller = std::function<bool(QMenu* menu, const QUrl& url, const QString& title)>;
  void setShareMenuFiller(ShareMenuFiller filler) { m_shareMenuFiller = std::move(filler); }
  const ShareMenuFiller& shareMenuFiller() const { return m_shareMenuFiller; }
  // Redraws the tab's row.
  void tabNeedsDisplay(ZPHTab* tab);

Q_SIGNALS:
  void selectedTabIndexChanged(qsizetype oldIndex, qsizetype newIndex);
  void numberOfTabsChanged(qsizetype count);
  void tabsVisibleChanged(bool visible);
  // A browser tab was opened without being selected.
  void backgroundTabOpened();

private:
  ZPHBrowserTab* addBrowserTab();
  ZPHBrowserTab* makeTab(AbstractTab* stored);
  void deleteTabAtIndex(qsizetype index);
  void setSelection(qsizetype index);
  void switchToNewsItemsTab();
  void finishSwitch();
  void toggleTabsVisible(bool animate);
  void rescheduleSaveTimer();
  void saveTimerFired();
  void saveContext();
  void writeListPositions();
  QSet<QString> thumbnailNamesOfTabs(const ZPHBrowserTab* except = nullptr) const;
  bool mainWindowIsKey() const;
  void applyCloseTabMode(bool closeTabMode);
  QWidget* focusWidget() const;

  Environment m_environment;
  ZPHClock* m_clock;
  ZPHUserDefaults* m_defaults;
  ZPHTabsControllerHost* m_host = nullptr;
  std::unique_ptr<ZPHNewsItemsTab> m_newsItemsTab;
  // Element 0 is the news-items tab; the browser tabs are owned here.
  std::vector<ZPHTab*> m_tabItems;
  std::vector<std::unique_ptr<ZPHBrowserTab>> m_browserTabs;
  qsizetype m_selectedTabIndex = 0;
  bool m_tabsVisible = false;
  int m_tabsVisibility = 0;
  bool m_tabsAreDirty = false;
  ZPHClock::TimerID m_saveTabsTimer = 0;
  bool m_didRestoreTabsFromPrefs = false;
  bool m_tabsLoaded = false;
  std::unique_ptr<ZPHManagedObjectContext> m_tabsContext;
  bool m_triedTabsContext = false;
  std::unique_ptr<ZPHTabThumbnailingController> m_thumbnailer;
  QPointer<QAction> m_closeTabMenuItem;
  QPointer<QAction> m_closeWindowMenuItem;
  std::function<bool()> m_closingWindowEndsProgram;
  ShareMenuFiller m_shareMenuFiller;
};
