#include "themes/ZPHFontSizeSegmentedCell.h"

#include "kit/CBDrawing.h"
#include "themes/ZPHCustomSegmentedControl.h"
#include "themes/ZPHThemePalette.h"

#include <QtGui/QPainter>

#include <cmath>

namespace {

QColor hsb(qreal hue, qreal saturation, qreal brightness) { return QColor::fromHsvF(hue, saturation, brightness); }

// A quarter circle of the corner radius about `centre`, clockwise on screen
// from `startAngle` (degrees, 0 pointing right, 90 up).
void appendCorner(QPainterPath& path, const QPointF& centre, qreal startAngle)
{
  const qreal radius = ZPHFontSizeSegmentedCell::CornerRadius;
  path.arcTo(QRectF(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius), startAngle, -90);
}

}  // namespace

QPainterPath ZPHFontSizeSegmentedCell::outlinePath(int segment, int count, const QRectF& frame)
{
  const qreal left = std::round(frame.x());
  const qreal right = std::round(frame.x() + frame.width());
  const qreal top = std::round(frame.y());
  const qreal bottom = std::round(frame.y() + frame.height());
  QPainterPath path;
  if (segment == 0) {
    path.moveTo(right + 1.5, bottom - 0.5);
    path.lineTo(left + CornerRadius + 0.5, bottom - 0.5);
    appendCorner(path, QPointF(left + CornerRadius + 0.5, bottom - CornerRadius - 0.5), 270);
    path.lineTo(left + 0.5, top + 0.5);
    path.lineTo(right + 1.5, top + 0.5);
  } else if (segment == count - 1) {
    path.moveTo(left - 1, top + 0.5);
    path.lineTo(right - 0.5, top + 0.5);
    path.lineTo(right - 0.5, bottom - CornerRadius - 0.5);
    appendCorner(path, QPointF(right - CornerRadius - 0.5, bottom - CornerRadius - 0.5), 0);
    path.lineTo(left - 1, bottom - 0.5);
  } else {
    path.moveTo(left - 1.5, top + 0.5);
    path.lineTo(right + 1.5, top + 0.5);
    path.moveTo(left - 1.5, bottom - 0.5);
    path.lineTo(right + 1.5, bottom - 0.5);
  }
  return path;
}

QPainterPath ZPHFontSizeSegmentedCell::fillPath(int segment, int count, const QRectF& frame)
{
  if (segment == 0 || segment == count - 1) {
    QPainterPath closed = outlinePath(segment, count, frame);
    closed.closeSubpath();
    return closed;
  }
  QPainterPath rectangle;
  rectangle.addRect(QRectF(frame.x(), frame.y(), frame.width() + 1, frame.height()));
  return rectangle;
}

void ZPHFontSizeSegmentedCell::drawSegment(int segment, const QRectF& frame, QPainter& painter,
                                           ZPHCustomSegmentedControl& controlView)
{
  const int count = controlView.segmentCount();
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);

  const bool highlighted = controlView.isHighlightedForSegment(segment);
  // The dark theme's greys, darker while pressed; the light ones of their own.
  const bool dark = ZPHThemePalette::currentThemeIsDark();
  const QColor button = controlView.palette().color(QPalette::Button);
  const QGradientStops stops = dark ? (highlighted ? QGradientStops{{0, button.darker(150)}, {1, button.darker(130)}}
                                                   : QGradientStops{{0, button.lighter(110)}, {1, button}})
                               : highlighted
                                   ? QGradientStops{{0, hsb(0.083, 0.01, 0.82)}, {1, hsb(0.083, 0.009, 0.902)}}
                                   : QGradientStops{{0, hsb(0, 0, 0.976)}, {1, hsb(1, 0.008, 0.929)}};
  // From the top edge to the bottom edge.
  painter.fillPath(fillPath(segment, count, frame), ZPHGradientAtAngle(frame, -90, stops));

  painter.setPen(QPen(dark ? controlView.palette().color(QPalette::Dark) : QColor(163, 163, 163), 1));
  painter.setBrush(Qt::NoBrush);
  painter.drawPath(outlinePath(segment, count, frame));

  const QIcon image = controlView.imageForSegment(segment);
  if (!image.isNull()) {
    const QList<QSize> sizes = image.availableSizes();
    const QSize size = sizes.isEmpty() ? QSize(16, 16) : sizes.constFirst();
    const QRectF target(std::round(frame.center().x() - size.width() / 2.0),
                        std::round(frame.center().y() - size.height() / 2.0), size.width(), size.height());
    const bool enabled = controlView.isEnabledForSegment(segment) && controlView.isEnabled();
    painter.setOpacity(enabled ? 1.0 : DisabledImageOpacity);
    image.paint(&painter, target.toRect());
  }
  painter.restore();
}
