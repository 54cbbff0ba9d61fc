#pragma once

// Qt kind: QObject.

#include "shell/ZPHScreenshotHook.h"

#include <QtCore/QJsonObject>
#include <QtCore/QObject>
#include <QtCore/QString>

#include <functional>
#include <memory>
#include <vector>

class ZPHAppDelegate;
class ZPHArticleListDelegate;
class ZPHMainWindowController;
class ZPHSubscriptionCommands;
class ZPHTabsController;

// Puts the program into a given state before it writes its window as a
// picture (--screenshot FILE --screenshot-state STATE). Read only in that
// mode. STATE is a JSON object; feeds are named by the end of their
// address ("/feed/3.xml"); every key may be left out:
//
//   "folders":    [{"name": "News", "feeds": ["/feed/0.xml", ...], "open": true}]
//                 new folders, the feeds moved into them
//   "favorites":  ["/feed/3.xml"]      marked favourite
//   "suspended":  ["/feed/4.xml"]      suspended
//   "openFavorites": true              Favorites shows its feeds
//   "markRead":   ["/feed/5.xml"] or "all"   their articles read, after the
//                 first refresh
//   "hideRead":   true                 "hide read sites" on
//   "select":     "/feed/1.xml"        the row selected (default: Today);
//                 "folder:News" selects that folder
//   "layout":     1                    the classic article layout (0 standard)
//   "bookmark":   ["story 2"]          articles whose title holds the text
//                                      get bookmarked
//   "readArticle": "story 3"           that article selected in the list (as
//                                      the user does: it is read) and its
//                                      page shown
//   "find":       "the"                the article page's find bar open,
//                                      searching for the text
//   "search":     {"text": "story", "type": 0}   typed into the search field;
//                                      the options stay open
//   "contextMenu": "story 4"           the list's menu opened on that article
//   "offline":    true                 the network counts as unreachable
//   "refresh":    "done" (default: the picture after the first refresh and
//                 its status item) or "during" (while a second refresh
//                 shows "Refreshing Sites…")
//   "bezel":      {"text": "Sites Added", "image": "BezelNotificationSitesAdded"}
//   "window":     {"width": 1600, "height": 1000}   the window's size
//                 (default: its own, 1100 by 700, whatever the screen)
//   "tabs":       {"site": "/harbor.xml", "open": ["/news.html", "/"],
//                  "show": 1, "labels": true, "visibility": 2,
//                  "feedMenu": true, "find": "the"}
//                 browser tabs for the pages of the feed's site, each
//                 shown until it loaded (so it has its picture); then the
//                 tab of that index shown (0: the news items), the column
//                 as titles, the column's mode, the feed button's menu open
//                 and the find bar searching for the text
//   "addSite":    {"pane": 1, "address": "http://…", "search": true,
//                 "until": "error" or "found"}   the Add Site window on that
//                 pane (0 address, 1 popular sites), the address typed and
//                 searched until the outcome shows
//   "subscriptionErrors": 8            the error list of that many sites
//   "addFolder":  "Weekend"            the New Folder sheet, the name typed
//   "importing":  0.4                  "Importing OPML…" at that progress
//   "importFile": "/path/list.opml"    that file imported (its bezel, or its
//                                      error alert)
//   Menus, badge and windows, each shown as a copy over the window:
//   "titleBar":   true                 the window's title ("Zephlin (12)")
//                                      drawn above its menu bar
//   "siteMenu":   true                 the Site menu, for the selection
//   "stylePopover": true               the style popover under Style
//   "preferences": "General" or "Reading"   the preferences on that pane
//   "credentialsSheet": "/feed/1.xml"  the login sheet a refresh of that
//                                      feed asks with
//   "mergeOrPurge": true               the first sync's question
//   "mailNotOpened": true              "Mail Link" of the article read with
//                                      no mail program: the status line
//   "welcome":    true                 the welcome window (a first run)
//   "about":      true                 the About window; "agreement": true
//                                      with the license agreement over it
//
// The picture is taken when everything asked for is on screen, or after 90
// seconds whatever the state. Main thread only.
class ZPHScreenshotScript : public QObject, public ZPHScreenshotHook {
  Q_OBJECT

public:
  // Null and the reason when the file cannot be read as a JSON object.
  static std::unique_ptr<ZPHScreenshotScript> load(const QString& path, QString* errorMessage);

  explicit ZPHScreenshotScript(const QJsonObject& state, QObject* parent = nullptr);
  ~ZPHScreenshotScript() override;

  bool offline() const override;
  // Connectivity that never changes, for "offline".
  std::unique_ptr<ZPHNetworkController::ReachabilitySource> makeFixedReachabilitySource(bool reachable) const override;

  // Runs the steps on the started application, then `takePicture`.
  void run(ZPHAppDelegate* delegate, std::function<void()> takePicture) override;

private:
  struct Step {
    std::function<bool()> ready;
    std::function<void()> action;
  };
  void addStep(std::function<bool()> ready, std::function<void()> action = {});
  // A step that acts at once.
  void addAction(std::function<void()> action);
  void poll();
  // The time since the step before ended is at least `milliseconds`.
  bool waited(qint64 milliseconds) const;
  // No work waits on the store's queue.
  bool storeIdle() const;
  // The downloads asked for (favicons, thumbnails, pictures) are done, or
  // a few seconds have passed.
  bool downloadsSettled() const;

  // The first refresh, the store's shape, the selection.
  void startSteps();
  // After every other step: the second refresh, the bezel.
  void finalSteps();
  void shapeStore();
  void markRead();
  void warmFavicons();
  void select();

  // The article list: its layout, bookmarks, an article read, the page's
  // find bar, a search, the list's menu.
  void articleListSteps();
  void bookmarkSteps(ZPHArticleListDelegate* list);
  void readArticleSteps(ZPHArticleListDelegate* list);
  void articleFindSteps(ZPHArticleListDelegate* list);
  void searchSteps(ZPHMainWindowController* window, ZPHArticleListDelegate* list);
  void listMenuSteps(ZPHMainWindowController* window, ZPHArticleListDelegate* list);

  // The source list's menus, its removal box and renaming, and the
  // toolbar's customisation sheet.
  void commandSteps();
  void sourceListSteps(ZPHMainWindowController* window);
  void toolbarSteps(ZPHMainWindowController* window);
  // Sharing: the popover, the read-later login and the Share submenu.
  void sharingSteps(ZPHMainWindowController* window);
  void shareLoginSteps();

  // Browser tabs ("tabs").
  void tabSteps();
  void tabFindSteps(ZPHTabsController* tabs, const QString& find);
  void tabFeedMenuSteps(ZPHMainWindowController* window, ZPHTabsController* tabs);

  // The Add Site and New Folder windows, the error list, imports.
  void subscriptionSteps();
  void addSiteSteps(ZPHMainWindowController* window, ZPHSubscriptionCommands* commands);
  void subscriptionErrorSteps(ZPHMainWindowController* window);
  void addFolderSteps(ZPHMainWindowController* window, ZPHSubscriptionCommands* commands);
  void importSteps(ZPHMainWindowController* window, ZPHSubscriptionCommands* commands);

  // Menus, badge and windows: their menus, popover, sheets and windows.
  void menusAndWindowsSteps();
  void titleBarSteps(ZPHMainWindowController* window);
  void siteMenuSteps(ZPHMainWindowController* window);
  void stylePopoverSteps(ZPHMainWindowController* window);
  void preferencesSteps(ZPHMainWindowController* window);
  // The sheets the core's questions bring: a login, the first sync's.
  void questionSheetSteps(ZPHMainWindowController* window);
  void welcomeSteps(ZPHMainWindowController* window);
  void mailNotOpenedSteps(ZPHMainWindowController* window);
  void aboutSteps(ZPHMainWindowController* window);

  QJsonObject m_state;
  ZPHAppDelegate* m_delegate = nullptr;
  std::vector<Step> m_steps;
  size_t m_next = 0;
  qint64 m_startedAt = 0;
  int m_sessionsEnded = 0;
  int m_faviconsDownloaded = 0;
  qint64 m_stepStartedAt = 0;
  std::function<void()> m_takePicture;
  std::vector<ZPHObserverToken> m_observers;
};
