#pragma once

// Qt kind: QWidget (QListView).

#include <QtWidgets/QListView>

// A list that behaves like a menu: the row under the pointer is selected
// while the pointer moves over it, when the row may be selected (its item is
// enabled and selectable); over another row, or on leaving, nothing is.
class ZPHFakeMenuTableView : public QListView {
  Q_OBJECT

public:
  explicit ZPHFakeMenuTableView(QWidget* parent = nullptr);

  // The selected row, or -1.
  int selectedRow() const;
  // Selects the row when it may be selected; else selects nothing.
  void selectRowIfAllowed(int row);

protected:
  void mouseMoveEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;
};

// The sharing popover's list.
class ZPHSharingPopoverTableView : public ZPHFakeMenuTableView {
  Q_OBJECT

public:
  using ZPHFakeMenuTableView::ZPHFakeMenuTableView;
};
