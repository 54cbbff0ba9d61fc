#include "kit/ZPHInnerGlowClipView.h"

#include <QtGui/QPainter>
#include <QtGui/QPainterPath>
#include <QtGui/QPainterPathStroker>

ZPHInnerGlowClipView::ZPHInnerGlowClipView(QWidget* parent) : QWidget(parent) {}

QColor ZPHInnerGlowClipView::backgroundColor() const
{
  return m_backgroundColor.isValid() ? m_backgroundColor : palette().color(QPalette::Base);
}

void ZPHInnerGlowClipView::setBackgroundColor(const QColor& color)
{
  m_backgroundColor = color;
  update();
}

void ZPHInnerGlowClipView::setShouldDrawInnerGlow(bool draw)
{
  if (draw == m_shouldDrawInnerGlow)
    return;
  m_shouldDrawInnerGlow = draw;
  update();
}

void ZPHInnerGlowClipView::setInnerGlowColor(const QColor& color)
{
  if (color == m_innerGlowColor && color.isValid() == m_innerGlowColor.isValid())
    return;
  m_innerGlowColor = color;
  regenerateShadow();
}

ZPHShadow ZPHInnerGlowClipView::innerGlowShadowWithColor(const QColor& color)
{
  return ZPHShadow(2.5, color, QPointF(0, 0));
}

void ZPHInnerGlowClipView::regenerateShadow()
{
  m_innerGlowShadow = innerGlowShadowWithColor(m_innerGlowColor);
  update();
}

void ZPHInnerGlowClipView::paintEvent(QPaintEvent*)
{
  QPainter painter(this);
  painter.fillRect(rect(), backgroundColor());
  if (!m_shouldDrawInnerGlow || !m_innerGlowColor.isValid())
    return;
  // The bounds stroked one point wide: only the inner half and its glow
  // fall inside the clip.
  const QRectF bounds = rect();
  painter.setClipRect(bounds);
  QPainterPath outline;
  outline.addRect(bounds);
  QPainterPathStroker stroker;
  stroker.setWidth(1.0);
  const QPainterPath stroke = stroker.createStroke(outline);
  m_innerGlowShadow.drawForPath(painter, stroke);
  painter.fillPath(stroke, m_innerGlowColor);
}
