#include "kit/CBSolidColorView.h"

#include <QtGui/QPaintEvent>
#include <QtGui/QPainter>

CBSolidColorView::CBSolidColorView(QWidget* parent) : QWidget(parent) { setAttribute(Qt::WA_OpaquePaintEvent, true); }

QColor CBSolidColorView::backgroundColor()
{
  if (!m_backgroundColor.isValid())
    m_backgroundColor = QColor::fromRgbF(0.607843137255, 0.788235294118, 1.0, 1.0);
  return m_backgroundColor;
}

void CBSolidColorView::setBackgroundColor(const QColor& color)
{
  if (color == m_backgroundColor)
    return;
  m_backgroundColor = color;
  update();
}

void CBSolidColorView::paintEvent(QPaintEvent* event)
{
  QPainter painter(this);
  painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
  painter.fillRect(event->rect(), backgroundColor());
}
