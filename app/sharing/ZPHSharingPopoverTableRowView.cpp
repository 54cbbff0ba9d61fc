#include "sharing/ZPHSharingPopoverTableRowView.h"

#include "themes/ZPHTheme.h"

#include <QtGui/QPainter>

namespace {

bool darkTheme() { return ZPHTheme::currenThemeIdentifier() == ZPHDarkThemeIdentifier; }

}  // namespace

QColor ZPHSharingPopoverTableRowView::validTitleColor()
{
  return darkTheme() ? QColor(235, 235, 235) : QColor(Qt::black);
}

QColor ZPHSharingPopoverTableRowView::invalidTitleColor()
{
  return darkTheme() ? QColor(120, 120, 120) : QColor(170, 170, 170);
}

QSize ZPHSharingPopoverTableRowView::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
  const int height = index.data(SeparatorRole).toBool() ? SeparatorRowHeight : CommandRowHeight;
  return {option.rect.width() > 0 ? option.rect.width() : 200, height};
}

void ZPHSharingPopoverTableRowView::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                          const QModelIndex& index) const
{
  painter->save();
  const QRect rect = option.rect;
  if (index.data(SeparatorRole).toBool()) {
    // A one-point line at half the height plus one.
    const qreal y = rect.top() + rect.height() / 2.0 + 1 - 0.5;
    painter->setPen(QPen(darkTheme() ? QColor(255, 255, 255, 40) : QColor(0, 0, 0, 26), 1));
    painter->drawLine(QPointF(rect.left(), y), QPointF(rect.right() + 1, y));
    painter->restore();
    return;
  }
  const bool valid = index.data(ValidRole).toBool();
  if (valid && option.state.testFlag(QStyle::State_Selected))
    painter->fillRect(rect, ZPHTheme::currentTheme()->sharePopOverSelectionColor());
  int x = rect.left() + 10;
  const QIcon icon = index.data(Qt::DecorationRole).value<QIcon>();
  if (!icon.isNull()) {
    const QRect iconRect(x, rect.top() + (rect.height() - 16) / 2, 16, 16);
    icon.paint(painter, iconRect, Qt::AlignCenter, valid ? QIcon::Normal : QIcon::Disabled);
  }
  x += 24;
  painter->setPen(valid ? validTitleColor() : invalidTitleColor());
  painter->setFont(option.font);
  const QRect textRect(x, rect.top(), rect.right() - x - 30, rect.height());
  const QString title =
      option.fontMetrics.elidedText(index.data(Qt::DisplayRole).toString(), Qt::ElideRight, textRect.width());
  painter->drawText(textRect, Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine, title);
  painter->restore();
}
