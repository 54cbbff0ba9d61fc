#include "kit/ZPHSimpleColorView.h"

#include <QtGui/QPainter>

ZPHSimpleColorView::ZPHSimpleColorView(QWidget* parent) : QWidget(parent)
{
  setAttribute(Qt::WA_OpaquePaintEvent, false);
}

void ZPHSimpleColorView::setBackgroundColor(const QColor& color)
{
  if (color == m_backgroundColor && color.isValid() == m_backgroundColor.isValid())
    return;
  m_backgroundColor = color;
  update();
}

void ZPHSimpleColorView::setShouldBeOpaque(bool opaque)
{
  m_shouldBeOpaque = opaque;
  setAttribute(Qt::WA_OpaquePaintEvent, opaque);
}

void ZPHSimpleColorView::paintEvent(QPaintEvent*)
{
  if (!m_backgroundColor.isValid())
    return;
  QPainter painter(this);
  painter.fillRect(rect(), m_backgroundColor);
}
