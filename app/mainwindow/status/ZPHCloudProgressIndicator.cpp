#include "mainwindow/status/ZPHCloudProgressIndicator.h"

#include "kit/ZPHNamedImage.h"

#include <QtCore/QTimer>
#include <QtCore/QVariantAnimation>
#include <QtGui/QPainter>

#include <cmath>

namespace {

QImage cloudDotImage() { return ZPHNamedImage(QStringLiteral("CloudDot")); }

}  // namespace

ZPHCloudProgressIndicator::ZPHCloudProgressIndicator(QWidget* parent) : QWidget(parent)
{
  setAttribute(Qt::WA_TransparentForMouseEvents);
  for (int dot = 0; dot < DotCount; ++dot) {
    auto* fade = new QVariantAnimation(this);
    fade->setDuration(ImplicitAnimationDuration);
    connect(fade, &QVariantAnimation::valueChanged, this, [this, dot](const QVariant& value) {
      m_opacity[dot] = value.toReal();
      update();
    });
    m_fades[dot] = fade;
  }
}

ZPHCloudProgressIndicator::~ZPHCloudProgressIndicator()
{
  // Pending steps die with the indicator (their timers are its children).
  for (QVariantAnimation* fade : m_fades) fade->stop();
}

void ZPHCloudProgressIndicator::startAnimation()
{
  if (m_currentlyAnimating) {
    m_stopPending = false;
    ++m_stopRequest;
    return;
  }
  m_currentlyAnimating = true;
  const quint64 cycle = ++m_cycle;
  for (int dot = 0; dot < DotCount; ++dot) {
    m_fades[dot]->stop();
    m_hidden[dot] = true;
    m_opacity[dot] = 0;
  }
  update();
  stepLeftDot(cycle);
}

void ZPHCloudProgressIndicator::stopAnimation()
{
  if (!m_currentlyAnimating || m_stopPending)
    return;
  m_stopPending = true;
  const quint64 request = ++m_stopRequest;
  QTimer::singleShot(AnimationPeriod, this, [this, request] {
    if (request != m_stopRequest || !m_stopPending)
      return;
    m_stopPending = false;
    m_currentlyAnimating = false;
  });
}

void ZPHCloudProgressIndicator::stepLeftDot(quint64 cycle)
{
  if (!m_currentlyAnimating || cycle != m_cycle)
    return;
  showDot(0, cycle);
  QTimer::singleShot(AnimationTimeBetweenDots, this, [this, cycle] { showDot(1, cycle); });
  QTimer::singleShot(2 * AnimationTimeBetweenDots, this, [this, cycle] { showDot(2, cycle); });
  QTimer::singleShot(AnimationPeriod, this, [this, cycle] { stepLeftDot(cycle); });
}

void ZPHCloudProgressIndicator::showDot(int dot, quint64 cycle)
{
  if (cycle != m_cycle)
    return;
  m_opacity[dot] = 0;
  m_hidden[dot] = false;
  fadeDot(dot, 1.0);
  QTimer::singleShot(AnimationDurationForDot, this, [this, dot, cycle] {
    if (cycle == m_cycle)
      fadeDot(dot, 0.0);
  });
}

void ZPHCloudProgressIndicator::fadeDot(int dot, qreal to)
{
  QVariantAnimation* fade = m_fades[dot];
  fade->stop();
  fade->setStartValue(m_opacity[dot]);
  fade->setEndValue(to);
  fade->start();
}

QSizeF ZPHCloudProgressIndicator::dotSize() const
{
  const QImage image = cloudDotImage();
  if (image.isNull())
    return QSizeF(4, 4);
  return QSizeF(image.size()) / image.devicePixelRatio();
}

QRectF ZPHCloudProgressIndicator::dotFrame(int dot) const
{
  const QSizeF size = dotSize();
  const qreal y = std::floor((height() - size.height()) / 2);
  return QRectF(QPointF(5 + dot * (size.width() + 1), y), size);
}

qreal ZPHCloudProgressIndicator::dotOpacity(int dot) const
{
  return dot >= 0 && dot < DotCount && !m_hidden[dot] ? m_opacity[dot] : 0.0;
}

bool ZPHCloudProgressIndicator::isDotHidden(int dot) const { return dot < 0 || dot >= DotCount || m_hidden[dot]; }

QSize ZPHCloudProgressIndicator::sizeHint() const
{
  const QSizeF size = dotSize();
  return QSize(static_cast<int>(std::ceil(5 + DotCount * size.width() + (DotCount - 1) + 5)),
               static_cast<int>(std::ceil(size.height())) + 4);
}

void ZPHCloudProgressIndicator::paintEvent(QPaintEvent*)
{
  const QImage image = cloudDotImage();
  if (image.isNull())
    return;
  QPainter painter(this);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  for (int dot = 0; dot < DotCount; ++dot) {
    if (m_hidden[dot] || m_opacity[dot] <= 0)
      continue;
    painter.setOpacity(m_opacity[dot]);
    painter.drawImage(dotFrame(dot), image);
  }
}
