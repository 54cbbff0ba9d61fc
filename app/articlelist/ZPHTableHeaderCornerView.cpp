#include "articlelist/ZPHTableHeaderCornerView.h"

#include "articlelist/ZPHTableHeaderCell.h"
#include "articlelist/ZPHTableHeaderView.h"

#include <QtGui/QPaintEvent>
#include <QtGui/QPainter>

ZPHTableHeaderCornerView::ZPHTableHeaderCornerView(QWidget* parent) : QWidget(parent)
{
  setFixedHeight(ZPHTableHeaderView::Height);
}

void ZPHTableHeaderCornerView::paintEvent(QPaintEvent* event)
{
  QPainter painter(this);
  ZPHTableHeaderCell::drawBackgroundWithFrame(&painter, QRectF(rect()), this);
  Q_UNUSED(event);
}
