#pragma once

// Qt kind: QObject that owns widgets.

#include <QtCore/QHash>
#include <QtCore/QList>
#include <QtCore/QObject>
#include <QtCore/QPointer>
#include <QtCore/QString>
#include <QtWidgets/QMenuBar>

#include <functional>

class QAction;
class QMenu;
class ZPHAppDelegate;
class ZPHMainWindowController;

// The main window's menu bar, built from (title, selector) data: an item
// runs whatever command answers its selector through the window's
// responder chain (the focused view's controllers, the window's controller,
// the application), and is disabled while none does. As a menu opens, each
// item takes its command's enabled state, title, check mark and shortcut.
//
// Keys: a command of the application or of the window's controller has
// its own shortcut from the shortcut set; its item only shows it (after a
// tab in its title) and holds no key, so one key runs one action wherever
// the focus is, the menu bar's included. An item whose command no one of those two owns carries the set's key itself
// (one item per selector), so every key of a set reaches its command.
//
// The Site menu takes, each time it opens, the source list's commands for
// the selection after its last untagged separator, tagged
// SiteMenuItemTag, and a tagged separator after them; the Share menu is
// filled each time it opens (the sharing commands). Main thread.
class ZPHMainMenuController : public QObject {
  Q_OBJECT

public:
  static constexpr int SiteMenuItemTag = 435;

  struct Item {
    QString title;
    QString selector;  // empty: a separator (or a submenu)
    QList<Item> submenu;
    bool isSeparator() const { return selector.isEmpty() && submenu.isEmpty(); }
  };
  struct Menu {
    QString title;
    QString objectName;
    QList<Item> items;
  };
  // The menus, in order.
  static QList<Menu> menuBarData();
  // Every selector of the menus.
  static QStringList allSelectors();

  ZPHMainMenuController(ZPHAppDelegate* delegate, ZPHMainWindowController* mainWindowController,
                        QObject* parent = nullptr);
  ~ZPHMainMenuController() override;

  // The bar, given to the main window.
  QMenuBar* menuBar() const { return m_menuBar; }
  QMenu* menuNamed(const QString& objectName) const;
  // The first item of the selector.
  QAction* itemForSelector(const QString& selector) const;
  // The items that carry a set's key themselves (their commands' owners
  // are elsewhere in the chain).
  QList<QAction*> keyCarryingItems() const;

  // What a menu shows as it opens.
  void validateMenu(QMenu* menu);
  void updateSiteMenu();
  void updateShareMenu();
  // An item carries its key only while no command of the application, the
  // window's controller or the window itself owns its selector; once one
  // does (a command added later), the item only shows the key. Run as
  // actions are added to the window and as menus open.
  void updateKeyCarriers();

  // Fills the Share menu as it opens; without it the menu says it is empty.
  void setShareMenuFiller(std::function<void(QMenu*)> filler) { m_shareMenuFiller = std::move(filler); }

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  void addItems(QMenu* menu, const QList<Item>& items);
  QAction* commandForSelector(const QString& selector) const;
  bool ownedByApplicationOrWindow(const QString& selector) const;

  ZPHAppDelegate* m_delegate;
  QPointer<ZPHMainWindowController> m_mainWindowController;
  QPointer<QMenuBar> m_menuBar;
  QHash<QString, QAction*> m_firstItemForSelector;
  QList<QAction*> m_keyCarryingItems;
  QPointer<QMenu> m_siteMenuSource;
  std::function<void(QMenu*)> m_shareMenuFiller;
};
