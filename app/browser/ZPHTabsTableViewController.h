#pragma once

// Qt kind: QObject that owns widgets.

#include "browser/ZPHTabCell.h"
#include "kit/CBPopupButton.h"
#include "platform/ZPHNotificationCenter.h"

#include <QtCore/QElapsedTimer>
#include <QtCore/QObject>
#include <QtCore/QPointer>

#include <functional>
#include <vector>

class QMenu;
class QMimeData;
class QTimer;
class ZPHTab;
class ZPHTabsContainerView;
class ZPHTabsController;
class ZPHTabsTableView;
class ZPHTabsTableViewController;

// What the tabs list asks of the content pane controller about the
// news-items row.
class ZPHTabsTableViewControllerDelegate {
public:
  virtual ~ZPHTabsTableViewControllerDelegate() = default;
  // The context menu of the news-items row (the caller owns it).
  virtual QMenu* menuForNewsItemTabOfTabsTableViewController(ZPHTabsTableViewController* controller) = 0;
  virtual void tabsTableViewDidReceiveDoubleClickOnNewsItemTab(ZPHTabsTableViewController* controller) = 0;
};

// The tabs column: one row per tab of the tabs controller, drawn as a
// picture with its title or as the title alone ("tabsViewState"). A click
// selects a tab, a close button closes one, a double click opens the page
// in the web browser, a context menu offers copy, close, open, reload,
// open-all and share; browser tabs are dragged to move them, and web and
// file addresses dropped on the list open new tabs. The menus' items carry
// the tab they were opened for, never a row number.
//
// Made once by the content pane controller over its tabs controller, which
// outlives it. Main thread only.
class ZPHTabsTableViewController : public QObject, public CBPopupButtonDelegate {
  Q_OBJECT

public:
  static constexpr qint64 DropHighlightDuration = 1000;  // ms

  explicit ZPHTabsTableViewController(ZPHTabsController* tabsController, QObject* parent = nullptr);
  ~ZPHTabsTableViewController() override;

  ZPHTabsController* tabsController() const { return m_tabsController; }
  // Not owned.
  ZPHTabsTableViewControllerDelegate* delegate() const { return m_delegate; }
  void setDelegate(ZPHTabsTableViewControllerDelegate* delegate) { m_delegate = delegate; }
  // Refreshes the news-items row's picture (the content pane controller's).
  void setNewsItemsThumbnailUpdater(std::function<void(bool forcing)> updater)
  {
    m_newsItemsThumbnailUpdater = std::move(updater);
  }

  // The column's view (the container), made on first use.
  QWidget* view();
  ZPHTabsContainerView* containerView();
  ZPHTabsTableView* browserTabsTable();

  int selectedTabIndex() const;
  int tabsViewState() const;
  void reloadData();
  void scrollTabAtIndexToVisible(qsizetype index);
  void configureForSelectedTabIndex(qsizetype index, bool scrollingToVisible);
  QString urlStringForTabAtIndex(qsizetype index) const;
  QString titleForTabAtIndex(qsizetype index) const;
  void updateNewsItemsThumbnailForcingUpdate(bool forcing);
  // What the row's cell shows now.
  ZPHTabCell::State cellStateForRow(int row) const;
  void markTabAsNeedingDisplay(ZPHTab* tab, bool shouldUpdateNewsItemsThumbnail);

  // ---- The list's input
  // A press on a row (not on a close button).
  void rowPressed(int row);
  // A close button released over itself; `alone`: Alt alone was held.
  void closeButtonClicked(ZPHTab* tab, bool optionAlone);
  // The context menu of the row (the caller shows it; it deletes itself
  // when it closes); null for none.
  QMenu* menuForRow(int row);
  QMenu* menuForPopupButton(CBPopupButton* button) override;
  // The index of the row the last menu was made for (the sharing popover's
  // place); -1 for none.
  int indexOfTabAssociatedWithMenu() const { return m_indexOfTabAssociatedWithMenu; }
  // The popover's place for the last menu's row: the row with a quarter of
  // its width; empty for none.
  QRect pluginCommandPopoverPositioningRect() const;

  // ---- Actions (the tab they are for)
  void copyLink(ZPHTab* tab);
  void closeTabFromContextualMenu(ZPHTab* tab);
  void openInDefaultBrowserFromContextualMenu(ZPHTab* tab);
  void reloadFromContextualMenu(ZPHTab* tab);
  void openAllTabsInDefaultBrowser();
  // The double click.
  void openTabInDefaultBrowser(int row);

  // ---- Drags and drops
  // The address a drop carries (web URLs with titles, then URLs, then
  // text), feed: addresses made web ones; only http, https and file
  // addresses without a space; null otherwise. Its title, when it has one.
  static QString urlStringFromMimeData(const QMimeData* data, QString* title = nullptr);
  // A drag of the row may start (a browser tab).
  bool canDragRow(int row) const;
  // A drop before `row`: a move of the list's own row `draggedRow` (0 for a
  // drop from elsewhere) or a new tab for the address. True when done.
  bool acceptDrop(const QMimeData* data, int draggedRow, int row);
  // The row that glows after a drop (-1: none) and how far the glow is.
  int dragHighlightTabIndex() const { return m_dragHighlightTabIndex; }

private:
  void loadView();
  void tabsNeedDisplay(const ZPHNotification& notification);
  void startDropHighlight(int row);
  void dropHighlightTick();
  void contextualMenuDidGoAway();
  void openInExternalBrowser(const QString& urlString);

  ZPHTabsController* m_tabsController;
  ZPHTabsTableViewControllerDelegate* m_delegate = nullptr;
  std::function<void(bool)> m_newsItemsThumbnailUpdater;
  QPointer<ZPHTabsContainerView> m_container;
  ZPHTabsTableView* m_table = nullptr;
  int m_indexOfTabAssociatedWithMenu = -1;
  int m_dragHighlightTabIndex = -1;
  QElapsedTimer m_dropHighlightStart;
  QTimer* m_dropHighlightTimer = nullptr;
  std::vector<ZPHObserverToken> m_observers;
};
