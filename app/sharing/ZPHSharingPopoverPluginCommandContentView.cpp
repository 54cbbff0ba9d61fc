#include "sharing/ZPHSharingPopoverPluginCommandContentView.h"

#include <QtGui/QPainter>
#include <QtGui/QPainterPath>

ZPHSharingPopoverPluginCommandContentView::ZPHSharingPopoverPluginCommandContentView(QWidget* parent)
    : ZPHThemeUpdatingView<QWidget>(parent)
{
  setAttribute(Qt::WA_OpaquePaintEvent, false);
}

QColor ZPHSharingPopoverPluginCommandContentView::backgroundColor() const
{
  if (m_backgroundColor.isValid())
    return m_backgroundColor;
  return ZPHTheme::currenThemeIdentifier() == ZPHDarkThemeIdentifier ? QColor(44, 44, 46) : QColor(Qt::white);
}

void ZPHSharingPopoverPluginCommandContentView::setBackgroundColor(const QColor& color)
{
  m_backgroundColor = color;
  update();
}

void ZPHSharingPopoverPluginCommandContentView::paintEvent(QPaintEvent* event)
{
  Q_UNUSED(event);
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const QRectF bounds = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
  QPainterPath path;
  path.addRoundedRect(bounds, CornerRadius, CornerRadius);
  painter.fillPath(path, backgroundColor());
  // The inner shadow along the top.
  painter.save();
  painter.setClipPath(path);
  QLinearGradient shade(bounds.topLeft(), bounds.topLeft() + QPointF(0, 4));
  shade.setColorAt(0, QColor(26, 26, 26, 51));
  shade.setColorAt(1, QColor(26, 26, 26, 0));
  painter.fillRect(QRectF(bounds.left(), bounds.top(), bounds.width(), 4), shade);
  painter.restore();
  const bool dark = ZPHTheme::currenThemeIdentifier() == ZPHDarkThemeIdentifier;
  painter.setPen(QPen(dark ? QColor(90, 90, 92) : QColor(179, 179, 179), 1));
  painter.drawPath(path);
}
