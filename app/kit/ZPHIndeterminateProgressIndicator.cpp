#include "kit/ZPHIndeterminateProgressIndicator.h"

#include "kit/YRKSpinningProgressIndicatorLayer.h"

#include <QtGui/QPainter>

ZPHIndeterminateProgressIndicator::ZPHIndeterminateProgressIndicator(QWidget* parent, ZPHClock* clock) : QWidget(parent)
{
  zph_commonInit(clock);
}

void ZPHIndeterminateProgressIndicator::zph_commonInit(ZPHClock* clock)
{
  setAttribute(Qt::WA_TransparentForMouseEvents);
  m_layer = new YRKSpinningProgressIndicatorLayer(clock, this);
  m_layer->setBounds(QRectF(rect()));
  connect(m_layer, &YRKSpinningProgressIndicatorLayer::needsDisplay, this, [this] { update(); });
  setColor(QColor(Qt::black));
}

void ZPHIndeterminateProgressIndicator::startProgressAnimation() { m_layer->startProgressAnimation(); }

void ZPHIndeterminateProgressIndicator::stopProgressAnimation() { m_layer->stopProgressAnimation(); }

void ZPHIndeterminateProgressIndicator::toggleProgressAnimation() { m_layer->toggleProgressAnimation(); }

bool ZPHIndeterminateProgressIndicator::isRunning() const { return m_layer->isRunning(); }

void ZPHIndeterminateProgressIndicator::setColor(const QColor& color)
{
  if (color == m_color)
    return;
  m_color = color;
  m_layer->setColor(color);
}

void ZPHIndeterminateProgressIndicator::resizeEvent(QResizeEvent*) { m_layer->setBounds(QRectF(rect())); }

void ZPHIndeterminateProgressIndicator::paintEvent(QPaintEvent*)
{
  QPainter painter(this);
  m_layer->paint(painter);
}
