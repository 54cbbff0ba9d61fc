#include "kit/ZPHBottomBorderView.h"

#include <QtGui/QPainter>

ZPHBottomBorderView::ZPHBottomBorderView(QWidget* parent) : QWidget(parent) {}

QRectF ZPHBottomBorderView::borderRect() const
{
  if (!m_borderColor.isValid() || !(m_borderHeight > 0))
    return {};
  return QRectF(0, height() - m_borderHeight, width(), m_borderHeight);
}

void ZPHBottomBorderView::paintEvent(QPaintEvent* event)
{
  QWidget::paintEvent(event);
  const QRectF border = borderRect();
  if (border.isEmpty())
    return;
  QPainter painter(this);
  painter.fillRect(border, m_borderColor);
}
