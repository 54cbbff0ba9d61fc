#pragma once

// Qt kind: QObject.

#include "platform/ZPHNotificationCenter.h"

#include <QtCore/QObject>
#include <QtCore/QPointer>
#include <QtCore/QStringList>
#include <QtCore/QUrl>

#include <functional>

class QAction;
class ZPHTabsController;
class ZPHUserDefaults;

// The application's tab commands, QActions named by their selectors and
// owned by the application (children of the owner given): "newTab:",
// "closeTab:" (Close Tab), "performClose:" (Close Window), "actuallyCloseAllTabs:",
// "showTabBar:", "hideTabBar:", "automaticallyShowHideTabBar:" (the tabs
// column's three modes, checked as "ZPHBrowserTabsVisibility" says),
// "selectNextTab:", "selectPreviousTab:" and "selectNewsItemsTab:". They act
// on the tabs controller of the main window, once there is one, and are
// enabled by validateCommand(), run whenever the tabs change. The tabs
// controller moves Ctrl+W between Close Tab and Close Window.
//
// Main thread only.
class ZPHTabCommands : public QObject {
  Q_OBJECT

public:
  // The selectors, in the order above.
  static const QStringList& selectors();

  // `owner`: the actions' parent (the application delegate); `showMainWindow`
  // brings the main window to the front (for a new tab).
  ZPHTabCommands(QObject* owner, std::function<void()> showMainWindow, ZPHUserDefaults* defaults = nullptr);
  ~ZPHTabCommands() override;

  QAction* action(const QString& selector) const;
  ZPHTabsController* tabsController() const;
  // The main window's tabs (null: none): Close Tab and Close Window go to
  // it for their shortcut, and the tabs column takes its stored mode.
  void setTabsController(ZPHTabsController* tabs);

  // Enables (and checks) one of the commands; false for any other action.
  bool validateCommand(QAction* action);
  void validateCommands();

  // ---- What the application hands to the tabs
  // A link in a new tab, selected or not (then the tab indicator shows
  // that one opened in the background); false without tabs.
  bool openURLInTab(const QUrl& url, bool selectNewTab);
  bool openNewTab();
  // At quit.
  void saveTabs();
  // The tabs column's mode, stored and applied (not while it is being
  // animated).
  void setTabsVisibility(int mode);

private:
  QAction* makeAction(const QString& selector, const QString& title, std::function<void()> run);

  QObject* m_owner;
  std::function<void()> m_showMainWindow;
  ZPHUserDefaults* m_defaults;
  QPointer<ZPHTabsController> m_tabs;
  QList<QPointer<QAction>> m_actions;
  ZPHObserverToken m_keySetObserver;
};
