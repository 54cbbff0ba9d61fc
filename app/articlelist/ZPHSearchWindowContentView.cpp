#include "articlelist/ZPHSearchWindowContentView.h"

#include <QtGui/QPainter>
#include <QtGui/QPainterPath>

ZPHSearchWindowContentView::ZPHSearchWindowContentView(QWidget* parent) : QWidget(parent)
{
  setAttribute(Qt::WA_TranslucentBackground);
}

void ZPHSearchWindowContentView::paintEvent(QPaintEvent*)
{
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  QPainterPath backdrop;
  backdrop.addRoundedRect(QRectF(rect()), 4.5, 4.5);
  painter.fillPath(backdrop, QColor::fromRgbF(1.0, 1.0, 1.0, 0.95));
}
