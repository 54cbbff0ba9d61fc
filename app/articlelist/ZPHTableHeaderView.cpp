#include "articlelist/ZPHTableHeaderView.h"

#include "articlelist/ZPHTableHeaderCell.h"

#include <QtGui/QPainter>

ZPHTableHeaderView::ZPHTableHeaderView(QWidget* parent) : QHeaderView(Qt::Horizontal, parent)
{
  setSectionsClickable(false);
  setHighlightSections(false);
  setFixedHeight(Height);
}

QSize ZPHTableHeaderView::sizeHint() const { return QSize(QHeaderView::sizeHint().width(), Height); }

void ZPHTableHeaderView::paintEvent(QPaintEvent* event)
{
  // The part right of the last column looks like the header too.
  {
    QPainter painter(viewport());
    ZPHTableHeaderCell::drawBackgroundWithFrame(&painter, QRectF(viewport()->rect()), this);
  }
  QHeaderView::paintEvent(event);
}

void ZPHTableHeaderView::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const
{
  if (!rect.isValid())
    return;
  const QString title =
      model() ? model()->headerData(logicalIndex, orientation(), Qt::DisplayRole).toString() : QString();
  const bool last = logicalIndex == count() - 1;
  ZPHTableHeaderCell::drawWithFrame(painter, QRectF(rect), this, title, last);
}
