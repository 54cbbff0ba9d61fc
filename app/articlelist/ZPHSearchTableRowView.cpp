#include "articlelist/ZPHSearchTableRowView.h"

#include <QtGui/QPainter>
#include <QtWidgets/QStyle>

ZPHSearchTableRowView::ZPHSearchTableRowView(QObject* parent) : QStyledItemDelegate(parent) {}

void ZPHSearchTableRowView::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
  QStyleOptionViewItem item(option);
  if ((option.state & QStyle::State_Selected) != 0) {
    painter->fillRect(option.rect, option.palette.color(QPalette::Active, QPalette::Highlight));
    // The selection is drawn; the text takes the selected text colour.
    item.state &= ~QStyle::State_Selected;
    item.palette.setColor(QPalette::Text, option.palette.color(QPalette::Active, QPalette::HighlightedText));
  }
  QStyledItemDelegate::paint(painter, item, index);
}
