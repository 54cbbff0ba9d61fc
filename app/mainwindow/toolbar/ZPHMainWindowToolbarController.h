#pragma once

// Qt kind: QObject that owns widgets.

#include "articlelist/ZPHSearchFieldToolbar.h"
#include "mainwindow/toolbar/ZPHToolbarCustomizationSheet.h"
#include "platform/ZPHNotificationCenter.h"

#include <QtCore/QObject>
#include <QtCore/QPointer>
#include <QtCore/QStringList>

#include <memory>
#include <vector>

class CBRefreshToolbarButton;
class QAbstractButton;
class CBToolbarSegmentedControl;
class QAction;
class QMainWindow;
class QMenu;
class QToolBar;
class QWidget;
class ZPHMainWindowController;
class ZPHRefreshController;
class ZPHSearchField;
class ZPHStylePopoverViewController;
class ZPHSharingPluginCommand;

// The main window's toolbar: its items by identifier, the default and the
// allowed sets, the controls behind the items and what they send, their
// enabled states (asked of the main window controller's validation), the
// Refresh control that spins while a refresh runs, and the user's own
// arrangement and display mode (icon and label, icon only, text only),
// kept together under "MainWindowToolbar" and changed from the toolbar's
// context menu and its "Customize Toolbar…" sheet.
//
// Text only, an item is a button with its label: Add Site's sends
// "addFeed:", the others send what their control sends.
//
// Made by the main window controller when it builds its window; never
// replaced. Main thread.
class ZPHMainWindowToolbarController : public QObject, public ZPHSearchFieldToolbar {
  Q_OBJECT

public:
  // The user default holding the arrangement (a list of identifiers).
  static const QString ToolbarIdentifier;  // "MainWindowToolbar"

  static const QString AddRemoveItemIdentifier;      // "ZPHToolbarItemAddRemove"
  static const QString RefreshItemIdentifier;        // "ZPHToolbarToolbarItemRefresh"
  static const QString MarkAllAsReadItemIdentifier;  // "ZPHToolbarItemMarkAllAsRead"
  static const QString NextUnreadItemIdentifier;     // "ZPHToolbarItemNextUnread"
  static const QString ArticleThemeItemIdentifier;   // "ZPHToolbarItemArticleTheme"
  static const QString ShareItemIdentifier;          // "ZPHToolbarItemShare"
  static const QString FlagItemIdentifier;           // "ZWHToolbarItemFlag"
  static const QString OpenInBrowserItemIdentifier;  // "ZPHToolbarItemOpenInBrowser"
  static const QString SearchItemIdentifier;         // "ZPHToolbarItemSearch"
  static const QString NewFolderItemIdentifier;      // "ZPHToolbarItemNewFolder"
  static const QString FlexibleSpaceItemIdentifier;  // "NSToolbarFlexibleSpaceItem"
  static const QString SpaceItemIdentifier;          // "NSToolbarSpaceItem"
  static const QString SeparatorItemIdentifier;      // "NSToolbarSeparatorItem"

  // Keys of the stored arrangement (a dictionary; a list of identifiers
  // as earlier versions stored it reads as the items in the default mode).
  static const QString ItemIdentifiersKey;  // "itemIdentifiers"
  static const QString DisplayModeKey;      // "displayMode"

  enum DisplayMode { IconAndLabel = 1, IconOnly = 2, LabelOnly = 3 };
  static constexpr DisplayMode DefaultDisplayMode = IconAndLabel;
  // The names the menus and the sheet give the modes.
  static QString titleForDisplayMode(DisplayMode mode);

  static QStringList defaultItemIdentifiers();
  static QStringList allowedItemIdentifiers();
  // The label of an item (the customisation sheet shows it); a plug-in
  // command's is its title.
  static QString labelForItemIdentifier(const QString& identifier);

  // Sharing: the plug-in commands that can be toolbar items (sharing
  // commands, then browsers, each with a title and a picture), known by
  // their command identifiers; the customisation sheet offers them after
  // the fixed items. Running one runs it on the article.
  static QList<ZPHSharingPluginCommand*> pluginCommands();
  static ZPHSharingPluginCommand* pluginCommandForItemIdentifier(const QString& identifier);
  // The allowed set with the plug-in commands before the spaces.
  static QStringList offeredItemIdentifiers();

  explicit ZPHMainWindowToolbarController(ZPHMainWindowController* mainWindowController, QObject* parent = nullptr);
  ~ZPHMainWindowToolbarController() override;

  // Builds the toolbar with the saved arrangement (the default one when
  // none is saved) and puts it on the window; the search field becomes the
  // search item.
  void setupToolbar(QMainWindow* window, ZPHSearchField* searchField);
  QToolBar* toolbar() const { return m_toolbar; }

  // The arrangement shown; setting it rebuilds the toolbar and saves it.
  // Identifiers not offered are dropped.
  QStringList itemIdentifiers() const { return m_itemIdentifiers; }
  void setItemIdentifiers(const QStringList& identifiers);
  // How the items show; setting it rebuilds the toolbar and saves it. The
  // search window controller hears of the user's choice (the Find command
  // gives that mode back).
  DisplayMode displayMode() const { return m_displayMode; }
  void setDisplayMode(DisplayMode mode);

  // The Find command's changes (ZPHSearchFieldToolbar): shown or hidden, a
  // mode, the search item put back or taken off again; none is saved.
  bool isToolbarVisible() const override;
  void setToolbarVisible(bool visible) override;
  int toolbarDisplayMode() const override { return int(m_displayMode); }
  void setToolbarDisplayModeForSearch(int mode) override;
  bool toolbarHasSearchItem() const override { return m_itemIdentifiers.contains(SearchItemIdentifier); }
  void setToolbarHasSearchItemForSearch(bool has) override;
  // The button an item shows in text-only mode; null when it is not shown
  // or the mode is another.
  QAbstractButton* textButtonForItemIdentifier(const QString& identifier) const;
  // The control of an item shown; null when it is not shown.
  QWidget* controlForItemIdentifier(const QString& identifier) const;
  CBRefreshToolbarButton* refreshButton() const { return m_refreshButton; }

  // Follows the refresh controller's visual refresh (the application's one
  // when null).
  void setRefreshController(ZPHRefreshController* controller);
  void updateRefreshButton();

  // Enables each control by the main window controller's validation of its
  // command.
  void validateToolbarItems();
  // Whether the control of an item sends a command that validates.
  bool validateItem(const QString& identifier);

  // The control actions.
  void addRemoveSegmentedControlClicked(int segment);
  // Sharing: Share opens the sharing popover below its control, or closes
  // it when it is open; showSharePopover() only opens it. Share is on while
  // a sharing or browser command (with a picture) can act on the article.
  void shareButtonPressed();
  void showSharePopover();
  bool validateShareItem() const;
  // The Style item: shows the style popover under it (mode 1 when the
  // window shows something whose text and column can be adjusted), or
  // closes it when it is shown.
  void styleButtonPressed(QWidget* sender);
  // Made on first use.
  ZPHStylePopoverViewController* stylePopoverViewController();

  // The toolbar's context menu and the customisation sheet it opens.
  QMenu* contextMenu(QWidget* parent);
  ZPHToolbarCustomizationSheet* runCustomizationSheet();
  ZPHToolbarCustomizationSheet* customizationSheet() const { return m_customizationSheet; }

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  void rebuild();
  QWidget* makeItem(const QString& identifier);
  CBToolbarSegmentedControl* makeControl(const QString& identifier, const QString& imageName, const QString& label,
                                         const QString& toolTip);
  void updateImages();
  bool sendCommand(const QString& selector);
  QString commandOfItem(const QString& identifier) const;
  void save();

  ZPHMainWindowController* m_mainWindowController;
  QPointer<QMainWindow> m_window;
  QToolBar* m_toolbar = nullptr;
  QPointer<ZPHSearchField> m_searchField;
  QStringList m_itemIdentifiers;
  QList<QPair<QString, QWidget*>> m_items;
  QList<QPair<QString, QAbstractButton*>> m_textButtons;
  DisplayMode m_displayMode = DefaultDisplayMode;
  CBRefreshToolbarButton* m_refreshButton = nullptr;
  QPointer<ZPHRefreshController> m_refreshController;
  QMetaObject::Connection m_refreshConnection;
  QPointer<ZPHToolbarCustomizationSheet> m_customizationSheet;
  std::unique_ptr<ZPHStylePopoverViewController> m_stylePopoverViewController;
  std::vector<ZPHObserverToken> m_observers;
};
