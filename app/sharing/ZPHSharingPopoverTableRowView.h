#pragma once

// Qt kind: item delegate (QStyledItemDelegate).

#include <QtWidgets/QStyledItemDelegate>

// Draws the sharing popover's rows: a command row (26 points) with its
// picture and title, black when the command can act on the item and light
// grey when not, over the theme's popover selection colour when selected;
// a separator row (13 points) as a faint line across the middle.
class ZPHSharingPopoverTableRowView : public QStyledItemDelegate {
  Q_OBJECT

public:
  // Roles of the popover's model.
  enum Role { SeparatorRole = Qt::UserRole + 1, ValidRole, CommandRole };
  static constexpr int CommandRowHeight = 26;
  static constexpr int SeparatorRowHeight = 13;

  using QStyledItemDelegate::QStyledItemDelegate;

  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

  // The colours of the titles in the current theme.
  static QColor validTitleColor();
  static QColor invalidTitleColor();
};
