#include "sheets/ZPHWelcomeWindowProgressOverlayView.h"

#include <QtGui/QPainter>

ZPHWelcomeWindowProgressOverlayView::ZPHWelcomeWindowProgressOverlayView(QWidget* parent) : QWidget(parent) {}

void ZPHWelcomeWindowProgressOverlayView::setAlpha(qreal alpha)
{
  m_alpha = qBound<qreal>(0, alpha, 1);
  update();
}

void ZPHWelcomeWindowProgressOverlayView::paintEvent(QPaintEvent*)
{
  QPainter painter(this);
  painter.fillRect(rect(), QColor::fromRgbF(0.192, 0.2, 0.247, 0.5 * m_alpha));
}
