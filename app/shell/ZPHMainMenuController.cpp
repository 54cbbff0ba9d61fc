#include "shell/ZPHMainMenuController.h"

#include "keys/ZPHResponderChain.h"
#include "keys/ZPHUserInterfaceValidations.h"
#include "mainwindow/ZPHMainWindowController.h"
#include "shell/ZPHAppDelegate.h"
#include "sourcelist/ZPHSourceListCommands.h"
#include "sourcelist/ZPHSourceListViewController.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QSet>
#include <QtGui/QAction>
#include <QtWidgets/QMainWindow>
#include <QtWidgets/QMenu>
#include <QtWidgets/QMenuBar>

namespace {

using Item = ZPHMainMenuController::Item;

Item item(const char* title, const char* selector)
{
  return Item{QCoreApplication::translate("ZPHMainMenuController", title), QString::fromLatin1(selector), {}};
}

Item separator() { return Item{}; }

// An item's title without the key it shows.
QString titleWithoutKey(const QString& text) { return text.section(u'\t', 0, 0); }

Item submenu(const char* title, QList<Item> items)
{
  return Item{QCoreApplication::translate("ZPHMainMenuController", title), QString(), std::move(items)};
}

}  // namespace

QList<ZPHMainMenuController::Menu> ZPHMainMenuController::menuBarData()
{
  return {
      {tr("&File"),
       QStringLiteral("fileMenu"),
       {item("New Tab", "newTab:"), separator(), item("Add Site\u2026", "addFeed:"),
        item("Add Popular Sites\u2026", "addPopularSites:"), item("New Folder\u2026", "addFolder:"), separator(),
        item("Import Subscriptions\u2026", "importFeedsFromOPML:"),
        item("Import from Zephlin 3\u2026", "importFeedsFromZPH3:"), item("Export Subscriptions\u2026", "exportFeeds:"),
        item("Export Tabs\u2026", "exportTabs:"), separator(), item("Close Tab", "closeTab:"),
        item("Close All Tabs\u2026", "closeAllTabs:"), item("Close Window", "performClose:"), separator(),
        item("Quit Zephlin", "terminate:")}},
      {tr("&Edit"),
       QStringLiteral("editMenu"),
       {item("Undo", "undo:"), item("Redo", "redo:"), separator(), item("Cut", "cut:"), item("Copy", "copy:"),
        item("Paste", "paste:"), item("Select All", "selectAll:"), separator(), item("Find\u2026", "find:"),
        item("Find Next", "findNext:"), item("Find Previous", "findPrevious:"), item("Search Articles", "selectFind:"),
        separator(), item("Preferences\u2026", "openPreferencesWindow:")}},
      {tr("&View"),
       QStringLiteral("viewMenu"),
       {item("Hide Source List", "hideSourceList:"),
        separator(),
        item("Standard Layout", "useStandardLayout:"),
        item("Classic Layout", "useClassicLayout:"),
        separator(),
        item("Hide Read Sites", "toggleHideReadSites:"),
        item("Hide Read Articles", "toggleHideReadArticles:"),
        submenu("Sort Sites",
                {item("By Name", "sortByName:"), item("By Unread Count", "sortByUnreadCount:"),
                 item("By Date of the Latest Article", "sortByPublishDate:"), item("Manually", "sortByManualOrder:"),
                 separator(), item("Within Folders Only", "toggleSortInFolders:")}),
        separator(),
        item("Always Show Tab Bar", "showTabBar:"),
        item("Never Show Tab Bar", "hideTabBar:"),
        item("Show Tab Bar Automatically", "automaticallyShowHideTabBar:"),
        item("Show Thumbnails", "toggleShowThumbnailsInTabs:"),
        separator(),
        item("Bigger", "zph_makeTextLarger:"),
        item("Smaller", "zph_makeTextSmaller:"),
        item("Actual Size", "zph_makeTextStandardSize:"),
        item("Wider Column", "makeMarginsWider:"),
        item("Narrower Column", "makeMarginsNarrower:"),
        separator(),
        item("Switch to Dark Theme", "toggleDarkMode:"),
        separator(),
        item("Enter Full Screen", "toggleFullScreen:")}},
      {tr("&Go"),
       QStringLiteral("goMenu"),
       {item("All Unread", "gotoAllUnread:"), item("Today", "gotoToday:"), item("Bookmarks", "gotoBookmarks:"),
        item("Favorites", "gotoFavorites:"), separator(), item("Sites", "moveFocusToSourceList:"),
        item("Articles", "moveFocusToArticleList:"), separator(), item("Back", "goBack:"),
        item("Forward", "goForward:")}},
      {tr("&Site"),
       QStringLiteral("siteMenu"),
       {item("Add Site\u2026", "addFeed:"), item("New Folder\u2026", "addFolder:"), separator(),
        item("Refresh All", "refreshAll:"), separator(), item("Remove\u2026", "deleteSelectedFeedsAndFolders:")}},
      {tr("&Article"),
       QStringLiteral("articleMenu"),
       {item("Next Unread", "nextUnread:"), separator(), item("Mark As Read", "toggleRead:"),
        item("Bookmark", "toggleFlagged:"), item("Mark All As Read", "markAllAsRead:"), separator(),
        item("Open in Browser", "openInBrowser:"), item("Open in Tab", "openInTab:"),
        item("Copy Link", "copyArticleURL:")}},
      {tr("S&hare"), QStringLiteral("shareMenu"), {}},
      {tr("&Window"),
       QStringLiteral("windowMenu"),
       {item("Reader Window", "showReaderWindow:"), separator(), item("Select Next Tab", "selectNextTab:"),
        item("Select Previous Tab", "selectPreviousTab:"), item("Select News Tab", "selectNewsItemsTab:")}},
      {tr("&Help"),
       QStringLiteral("helpMenu"),
       {item("Send Feedback\u2026", "sendFeedback:"), separator(), item("About Zephlin", "showAboutWindow:")}},
  };
}

QStringList ZPHMainMenuController::allSelectors()
{
  QStringList selectors;
  std::function<void(const QList<Item>&)> collect = [&](const QList<Item>& items) {
    for (const Item& entry : items) {
      if (!entry.selector.isEmpty() && !selectors.contains(entry.selector))
        selectors.append(entry.selector);
      collect(entry.submenu);
    }
  };
  for (const Menu& menu : menuBarData()) collect(menu.items);
  return selectors;
}

ZPHMainMenuController::ZPHMainMenuController(ZPHAppDelegate* delegate, ZPHMainWindowController* mainWindowController,
                                             QObject* parent)
    : QObject(parent), m_delegate(delegate), m_mainWindowController(mainWindowController)
{
  m_menuBar = new QMenuBar();
  m_menuBar->setObjectName(QStringLiteral("ZPHMainMenuBar"));
  if (m_mainWindowController != nullptr && m_mainWindowController->isWindowLoaded())
    m_mainWindowController->window()->installEventFilter(this);
  for (const Menu& data : menuBarData()) {
    QMenu* menu = m_menuBar->addMenu(data.title);
    menu->setObjectName(data.objectName);
    addItems(menu, data.items);
    if (data.objectName == QLatin1String("shareMenu")) {
      connect(menu, &QMenu::aboutToShow, this, &ZPHMainMenuController::updateShareMenu);
      updateShareMenu();
    } else if (data.objectName == QLatin1String("siteMenu")) {
      connect(menu, &QMenu::aboutToShow, this, [this, menu] {
        validateMenu(menu);
        updateSiteMenu();
      });
    }
  }
}

ZPHMainMenuController::~ZPHMainMenuController()
{
  delete m_siteMenuSource.data();
  // The bar belongs to the window that holds it; one never given away goes
  // here.
  if (m_menuBar != nullptr && m_menuBar->parent() == nullptr)
    delete m_menuBar.data();
}

void ZPHMainMenuController::addItems(QMenu* menu, const QList<Item>& items)
{
  if (menu->objectName() != QLatin1String("siteMenu") && menu->objectName() != QLatin1String("shareMenu"))
    connect(menu, &QMenu::aboutToShow, this, [this, menu] { validateMenu(menu); });
  // Key-carrying items are off while their menu shows only when no command
  // answers them; they come back on when it closes, so their keys work.
  connect(menu, &QMenu::aboutToHide, this, [this, menu] {
    for (QAction* action : menu->actions())
      if (m_keyCarryingItems.contains(action))
        action->setEnabled(true);
  });
  for (const Item& entry : items) {
    if (!entry.submenu.isEmpty()) {
      QMenu* child = menu->addMenu(entry.title);
      child->setObjectName(entry.title);
      addItems(child, entry.submenu);
      continue;
    }
    if (entry.isSeparator()) {
      menu->addSeparator();
      continue;
    }
    QAction* action = menu->addAction(entry.title);
    action->setObjectName(entry.selector);
    const QString selector = entry.selector;
    connect(action, &QAction::triggered, this, [this, selector] {
      if (m_mainWindowController != nullptr)
        m_mainWindowController->sendAction(selector);
    });
    if (!m_firstItemForSelector.contains(selector)) {
      m_firstItemForSelector.insert(selector, action);
      if (!ownedByApplicationOrWindow(selector))
        m_keyCarryingItems.append(action);
    }
    if (!m_keyCarryingItems.contains(action))
      action->setShortcutContext(Qt::WidgetShortcut);
  }
}

bool ZPHMainMenuController::ownedByApplicationOrWindow(const QString& selector) const
{
  if (m_delegate->commandAction(selector) != nullptr)
    return true;
  if (m_mainWindowController == nullptr)
    return false;
  if (m_mainWindowController->commandAction(selector) != nullptr)
    return true;
  // An action of the window's own with that name holds the key.
  if (m_mainWindowController->isWindowLoaded())
    for (QAction* action : m_mainWindowController->window()->actions())
      if (action->objectName() == selector)
        return true;
  return false;
}

void ZPHMainMenuController::updateKeyCarriers()
{
  for (QAction* item : std::as_const(m_keyCarryingItems)) {
    // Only one action in the window may hold a key; another owner takes it.
    item->setShortcutContext(ownedByApplicationOrWindow(item->objectName()) ? Qt::WidgetShortcut : Qt::WindowShortcut);
  }
}

bool ZPHMainMenuController::eventFilter(QObject* watched, QEvent* event)
{
  if (event->type() == QEvent::ActionAdded)
    QMetaObject::invokeMethod(this, &ZPHMainMenuController::updateKeyCarriers, Qt::QueuedConnection);
  return QObject::eventFilter(watched, event);
}

QMenu* ZPHMainMenuController::menuNamed(const QString& objectName) const
{
  return m_menuBar->findChild<QMenu*>(objectName);
}

QAction* ZPHMainMenuController::itemForSelector(const QString& selector) const
{
  return m_firstItemForSelector.value(selector);
}

QList<QAction*> ZPHMainMenuController::keyCarryingItems() const { return m_keyCarryingItems; }

QAction* ZPHMainMenuController::commandForSelector(const QString& selector) const
{
  if (m_mainWindowController == nullptr)
    return m_delegate->commandAction(selector);
  QWidget* focus = m_mainWindowController->isWindowLoaded() ? m_mainWindowController->window()->focusWidget() : nullptr;
  return m_mainWindowController->responderChain().actionForSelector(selector, focus);
}

void ZPHMainMenuController::validateMenu(QMenu* menu)
{
  updateKeyCarriers();
  for (QAction* action : menu->actions()) {
    const QString selector = action->objectName();
    if (action->isSeparator() || action->menu() != nullptr || selector.isEmpty() ||
        action->data().toInt() == SiteMenuItemTag)
      continue;
    QAction* command = commandForSelector(selector);
    if (command == nullptr) {
      action->setEnabled(false);
      continue;
    }
    bool enabled = command->isEnabled();
    if (auto* validations = dynamic_cast<ZPHUserInterfaceValidations*>(command->parent()))
      enabled = validations->validateUserInterfaceItem(command);
    action->setEnabled(enabled);
    const QString title = command->text().isEmpty() ? titleWithoutKey(action->text()) : command->text();
    if (m_keyCarryingItems.contains(action)) {
      action->setText(title);
    } else {
      // The command holds the key and the item only shows it, after a tab
      // as the menu draws a key: an item holding it as well would answer it
      // too wherever the menu bar has the focus (after Escape closed one of
      // its menus), and a key with two actions runs neither.
      action->setShortcut(QKeySequence());
      const QKeySequence key = command->shortcut();
      action->setText(key.isEmpty() ? title : title + u'\t' + key.toString(QKeySequence::NativeText));
    }
    action->setCheckable(command->isCheckable());
    if (command->isCheckable())
      action->setChecked(command->isChecked());
  }
}

void ZPHMainMenuController::updateSiteMenu()
{
  QMenu* site = menuNamed(QStringLiteral("siteMenu"));
  if (site == nullptr)
    return;
  // The items put in last time go (deleting their menu takes its actions out).
  for (QAction* action : site->actions())
    if (action->data().toInt() == SiteMenuItemTag && action->isSeparator()) {
      site->removeAction(action);
      delete action;
    }
  delete m_siteMenuSource.data();
  QAction* anchor = nullptr;
  for (QAction* action : site->actions())
    if (action->isSeparator() && action->data().toInt() != SiteMenuItemTag)
      anchor = action;
  Q_ASSERT_X(anchor != nullptr, Q_FUNC_INFO, "the Site menu needs an untagged separator");
  ZPHMainWindowController* main = m_mainWindowController;
  ZPHSourceListViewController* sourceList = main != nullptr ? main->sourceListViewController() : nullptr;
  if (anchor == nullptr || sourceList == nullptr)
    return;
  m_siteMenuSource = sourceList->commands()->menuForSelectedItems(ZPHSourceListMenuBuilder::Kind::Site, nullptr);
  const QList<QAction*> actions = site->actions();
  QAction* before = actions.value(actions.indexOf(anchor) + 1);
  bool inserted = false;
  for (QAction* action : m_siteMenuSource->actions()) {
    if (action->isSeparator())
      continue;
    action->setData(SiteMenuItemTag);
    site->insertAction(before, action);
    inserted = true;
  }
  if (inserted) {
    auto* tagged = new QAction(site);
    tagged->setSeparator(true);
    tagged->setData(SiteMenuItemTag);
    site->insertAction(before, tagged);
  }
}

void ZPHMainMenuController::updateShareMenu()
{
  QMenu* share = menuNamed(QStringLiteral("shareMenu"));
  if (share == nullptr)
    return;
  share->clear();
  if (m_shareMenuFiller)
    m_shareMenuFiller(share);
  if (share->actions().isEmpty())
    share->addAction(tr("No Sharing Services"))->setEnabled(false);
}
