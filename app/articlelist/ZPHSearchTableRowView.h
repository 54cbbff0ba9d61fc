#pragma once

// Qt kind: item delegate (QStyledItemDelegate).

#include <QtWidgets/QStyledItemDelegate>

// Draws the rows of the search options window's list: a selected row is
// filled with the desktop's selected-menu-item colour (the palette's
// highlight) over its whole width, then its text is drawn as usual.
class ZPHSearchTableRowView : public QStyledItemDelegate {
  Q_OBJECT

public:
  explicit ZPHSearchTableRowView(QObject* parent = nullptr);

  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};
