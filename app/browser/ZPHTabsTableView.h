#pragma once

// Qt kind: QWidget (QListView).

#include <QtCore/QPointer>
#include <QtWidgets/QListView>

class ZPHBrowserTab;
class ZPHTabsTableViewController;

// The one-column list of the tabs column: each row painted as a ZPHTabCell
// by the list's one item delegate, no selection highlight, grid or
// background of its own. It never takes the keyboard focus. It tracks the
// mouse on the close buttons (pressing, dragging off and releasing closes
// nothing; Alt-clicking one closes every browser tab), asks its controller
// for a row's context menu, drags browser tabs out (and in place, to move
// them) and takes dropped addresses. Its controller decides; it only
// reports.
class ZPHTabsTableView : public QListView {
  Q_OBJECT

public:
  // The format of a drag of one of the list's own rows: the row number.
  static const QString TabRowMimeType;  // "application/x-zephlin-tab-row"

  explicit ZPHTabsTableView(ZPHTabsTableViewController* controller, QWidget* parent = nullptr);

  // 0 thumbnails (rows of 98 with a spacing of 5), 1 labels (28 and 3).
  int tabsViewState() const { return m_tabsViewState; }
  void setTabsViewState(int state);
  int rowHeight() const;
  QSize intercellSpacing() const;
  // The frame a row's cell draws in (its rectangle without the spacing).
  QRect cellFrameForRow(int row) const;
  // The row under a point of the viewport; -1 for none.
  int rowAtPoint(const QPoint& point) const;
  // The row a drop at the point goes before (1 or more).
  int dropRowForPoint(const QPoint& point) const;
  // Where a drop would go while one is dragged over (-1: none).
  int dropIndicatorRow() const { return m_dropIndicatorRow; }

  // The row whose close button is held down (-1: none), and whether the
  // pointer is on it.
  int trackedCloseButtonRow() const { return m_closeRow; }

protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dragLeaveEvent(QDragLeaveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

private:
  void startTabDrag(int row);
  bool validateDrop(QDropEvent* event, int* row);

  ZPHTabsTableViewController* m_controller;
  int m_tabsViewState = 0;
  // Close-button tracking.
  int m_closeRow = -1;
  QPointer<ZPHBrowserTab> m_closeTab;
  // A press on a row that may become a drag.
  int m_pressedRow = -1;
  QPoint m_pressPoint;
  int m_dropIndicatorRow = -1;
};
