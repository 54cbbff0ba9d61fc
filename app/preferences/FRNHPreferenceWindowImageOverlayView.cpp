#include "preferences/FRNHPreferenceWindowImageOverlayView.h"

#include <QtGui/QPainter>

FRNHPreferenceWindowImageOverlayView::FRNHPreferenceWindowImageOverlayView(QWidget* parent) : QWidget(parent)
{
  setAttribute(Qt::WA_TransparentForMouseEvents);
}

void FRNHPreferenceWindowImageOverlayView::setBackgroundColor(const QColor& color)
{
  m_backgroundColor = color;
  update();
}

void FRNHPreferenceWindowImageOverlayView::setImage(const QPixmap& image)
{
  m_image = image;
  update();
}

void FRNHPreferenceWindowImageOverlayView::setAlpha(qreal alpha)
{
  m_alpha = qBound<qreal>(0, alpha, 1);
  update();
}

void FRNHPreferenceWindowImageOverlayView::paintEvent(QPaintEvent*)
{
  QPainter painter(this);
  painter.setOpacity(m_alpha);
  painter.fillRect(rect(), m_backgroundColor);
  painter.drawPixmap(0, 0, m_image);
}
