#include "themes/ZPHTexturedBoxOverlayView.h"

#include <QtGui/QPainter>

ZPHTexturedBoxOverlayView::ZPHTexturedBoxOverlayView(QWidget* parent) : QWidget(parent) {}

void ZPHTexturedBoxOverlayView::setColor(const QColor& color)
{
  m_color = color;
  update();
}

void ZPHTexturedBoxOverlayView::paintEvent(QPaintEvent*)
{
  QPainter painter(this);
  painter.fillRect(rect(), m_color);
}
