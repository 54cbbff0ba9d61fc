#include "kit/YRKSpinningProgressIndicatorLayer.h"

#include <QtCore/QtMath>
#include <QtGui/QPainter>

#include <algorithm>
#include <limits>

namespace {

constexpr qint64 NeverLit = std::numeric_limits<qint64>::min() / 2;

}  // namespace

YRKSpinningProgressIndicatorLayer::YRKSpinningProgressIndicatorLayer(ZPHClock* clock, QObject* parent)
    : QObject(parent), m_clock(clock != nullptr ? clock : &ZPHClock::systemClock()), m_litAt(m_numFins, NeverLit)
{
}

YRKSpinningProgressIndicatorLayer::~YRKSpinningProgressIndicatorLayer() { disposeAnimTimer(); }

void YRKSpinningProgressIndicatorLayer::setBounds(const QRectF& bounds)
{
  m_bounds = bounds;
  Q_EMIT needsDisplay();
}

void YRKSpinningProgressIndicatorLayer::setColor(const QColor& color)
{
  const QColor rgb = color.toRgb();
  if (rgb == m_foreColor)
    return;
  m_foreColor = rgb;
  Q_EMIT needsDisplay();
}

void YRKSpinningProgressIndicatorLayer::startProgressAnimation()
{
  m_isRunning = true;
  // The first step lights fin 0.
  m_position = m_numFins - 1;
  Q_EMIT needsDisplay();
  setupAnimTimer();
}

void YRKSpinningProgressIndicatorLayer::stopProgressAnimation()
{
  m_isRunning = false;
  Q_EMIT needsDisplay();
  // The timer goes on repainting until the lit fins have faded.
  if (!isFading())
    disposeAnimTimer();
}

void YRKSpinningProgressIndicatorLayer::toggleProgressAnimation()
{
  if (m_isRunning)
    stopProgressAnimation();
  else
    startProgressAnimation();
}

void YRKSpinningProgressIndicatorLayer::advancePosition()
{
  m_position = (m_position + 1) % m_numFins;
  m_litAt[m_position] = m_clock->now();
  Q_EMIT needsDisplay();
}

void YRKSpinningProgressIndicatorLayer::setupAnimTimer()
{
  disposeAnimTimer();
  // Steps at once, then every interval.
  auto step = [this](auto&& self) -> void {
    m_animationTimer = 0;
    if (m_isRunning) {
      advancePosition();
    } else {
      Q_EMIT needsDisplay();
      if (!isFading())
        return;
    }
    m_animationTimer = m_clock->schedule(StepInterval, this, [this, self] { self(self); });
  };
  step(step);
}

void YRKSpinningProgressIndicatorLayer::disposeAnimTimer()
{
  m_clock->cancel(m_animationTimer);
  m_animationTimer = 0;
}

qreal YRKSpinningProgressIndicatorLayer::finOpacity(unsigned fin) const
{
  if (fin >= m_numFins)
    return m_fadeDownOpacity;
  const qint64 elapsed = m_clock->now() - m_litAt[fin];
  if (elapsed >= FadeDuration || elapsed < 0)
    return m_fadeDownOpacity;
  const qreal progress = static_cast<qreal>(elapsed) / FadeDuration;
  return 1.0 + (m_fadeDownOpacity - 1.0) * progress;
}

bool YRKSpinningProgressIndicatorLayer::isFading() const
{
  for (unsigned fin = 0; fin < m_numFins; ++fin)
    if (finOpacity(fin) > m_fadeDownOpacity)
      return true;
  return false;
}

QRectF YRKSpinningProgressIndicatorLayer::finBoundsForCurrentBounds() const
{
  const qreal size = std::min(m_bounds.width(), m_bounds.height());
  return QRectF(0, 0, size * static_cast<qreal>(0.095f), size * static_cast<qreal>(0.3f));
}

QPointF YRKSpinningProgressIndicatorLayer::finAnchorPointForCurrentBounds() const
{
  const qreal size = std::min(m_bounds.width(), m_bounds.height());
  if (size <= 0)
    return QPointF(0.5, 0);
  return QPointF(0.5, -0.9 * (size - 0.3 * size) / size);
}

qreal YRKSpinningProgressIndicatorLayer::finRotation(unsigned fin) const
{
  // Just short of a full turn over the ring.
  return 6.282185 / m_numFins * fin;
}

void YRKSpinningProgressIndicatorLayer::paint(QPainter& painter) const
{
  const QRectF fin = finBoundsForCurrentBounds();
  if (fin.isEmpty())
    return;
  const QPointF anchor = finAnchorPointForCurrentBounds();
  // The anchor lies below the fin: the fin reaches from this far above the
  // centre up to its full height beyond.
  const qreal innerRadius = -anchor.y() * fin.height();
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  painter.translate(m_bounds.center());
  for (unsigned index = 0; index < m_numFins; ++index) {
    const qreal opacity = finOpacity(index);
    if (opacity <= 0)
      continue;
    painter.save();
    painter.rotate(qRadiansToDegrees(finRotation(index)));
    QColor color = m_foreColor;
    color.setAlphaF(color.alphaF() * opacity);
    painter.setBrush(color);
    const QRectF shape(-fin.width() / 2, -innerRadius - fin.height(), fin.width(), fin.height());
    painter.drawRoundedRect(shape, finCornerRadius(), finCornerRadius());
    painter.restore();
  }
  painter.restore();
}
