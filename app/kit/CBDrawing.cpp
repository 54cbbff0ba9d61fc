#include "kit/CBDrawing.h"

#include "kit/CBColorExtras.h"

#include <cmath>
#include <numbers>

void CBCGRectFillWithColor(QPainter& painter, const QColor& color, const QRectF& rect)
{
  painter.fillRect(rect, color);
}

QColor CBCGWhiteColor()
{
  static const QColor white(255, 255, 255);
  return white;
}

void CBCGRectFillWithWhite(QPainter& painter, const QRectF& rect)
{
  CBCGRectFillWithColor(painter, CBCGWhiteColor(), rect);
}

void CBDrawCGImageInRectWithBlendMode(QPainter& painter, const QImage& image, QPainter::CompositionMode blendMode,
                                      const QRectF& rect, qreal opacity)
{
  if (image.isNull() || rect.isEmpty())
    return;
  painter.save();
  painter.setCompositionMode(blendMode);
  painter.setOpacity(opacity);
  painter.drawImage(rect, image);
  painter.restore();
}

QColor CBGray(qreal level) { return cb_grayWithFloat(level); }

QColor CBRGBColor(int red, int green, int blue) { return QColor::fromRgbF(red / 255.0, green / 255.0, blue / 255.0); }

QColor CBInterfaceColor(qreal level) { return cb_interfaceColor(level); }

void CBSetInterfaceColor(QPainter& painter, qreal level)
{
  const QColor color = CBInterfaceColor(level);
  QPen pen = painter.pen();
  pen.setColor(color);
  painter.setPen(pen);
  painter.setBrush(color);
}

QLinearGradient ZPHGradientAtAngle(const QRectF& rect, qreal angle, const QGradientStops& stops)
{
  const qreal radians = angle * std::numbers::pi / 180.0;
  // y grows downward here, so an angle measured upward turns the sign of y.
  const QPointF direction(std::cos(radians), -std::sin(radians));
  const qreal reach = std::abs(direction.x()) * rect.width() / 2 + std::abs(direction.y()) * rect.height() / 2;
  const QPointF center = rect.center();
  QLinearGradient gradient(center - direction * reach, center + direction * reach);
  gradient.setStops(stops);
  return gradient;
}

void CBDrawGlassInRectWithColors(QPainter& painter, const QRectF& rect, const QList<QColor>& colors)
{
  if (colors.size() < 4) {
    CBDrawGlassInRect(painter, rect);
    return;
  }
  painter.save();
  painter.fillRect(rect, cb_grayWithFloat(0.94));
  const qreal middle = rect.top() + std::floor(rect.height() / 2);
  const QRectF upper(rect.left(), rect.top(), rect.width(), middle - rect.top());
  const QRectF lower(rect.left(), middle, rect.width(), rect.bottom() - middle);
  painter.fillRect(upper, ZPHGradientAtAngle(upper, -90, {{0, colors[0]}, {1, colors[1]}}));
  painter.fillRect(lower, ZPHGradientAtAngle(lower, -90, {{0, colors[2]}, {1, colors[3]}}));
  painter.restore();
}

void CBDrawGlassInRect(QPainter& painter, const QRectF& rect)
{
  CBDrawGlassInRectWithColors(
      painter, rect, {cb_grayWithFloat(0.93), cb_grayWithFloat(0.99), cb_grayWithFloat(0.99), cb_grayWithFloat(0.87)});
}
