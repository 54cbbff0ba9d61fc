#include "kit/CBPathExtras.h"

#include "kit/CBDrawing.h"
#include "kit/ZPHShadow.h"

#include <QtGui/QPainter>
#include <QtGui/QPainterPathStroker>

#include <algorithm>
#include <cmath>

namespace {

// How far along the tangents the control points of a quarter circle lie.
constexpr qreal kQuarterArc = 0.5522847498;

qreal length(const QPointF& v) { return std::hypot(v.x(), v.y()); }

// From the current point toward `corner`, turning there toward `next` with
// an arc of `radius` tangent to both lines (as far as the lines allow).
void arcThroughCorner(QPainterPath& path, const QPointF& corner, const QPointF& next, qreal radius)
{
  const QPointF from = path.currentPosition();
  const QPointF in = from - corner;
  const QPointF out = next - corner;
  const qreal inLength = length(in);
  const qreal outLength = length(out);
  if (radius <= 0 || inLength <= 0 || outLength <= 0) {
    path.lineTo(corner);
    return;
  }
  const QPointF start = corner + in * (radius / inLength);
  const QPointF end = corner + out * (radius / outLength);
  path.lineTo(start);
  path.cubicTo(start + (corner - start) * kQuarterArc, end + (corner - end) * kQuarterArc, end);
}

}  // namespace

QPainterPath bezierPathWithRoundedRect(const QRectF& rect, qreal cornerRadius)
{
  QPainterPath path;
  appendBezierPathWithRoundedRect(path, rect, cornerRadius);
  return path;
}

void appendBezierPathWithRoundedRect(QPainterPath& path, const QRectF& rect, qreal cornerRadius)
{
  if (!(rect.height() > 0))
    return;
  const qreal r = cornerRadius;
  const qreal left = rect.left();
  const qreal top = rect.top();
  const qreal right = rect.right();
  const qreal bottom = rect.bottom();
  path.moveTo(left, top + r);
  arcThroughCorner(path, QPointF(left, top), QPointF(right, top), r);
  arcThroughCorner(path, QPointF(right, top), QPointF(right, bottom), r);
  arcThroughCorner(path, QPointF(right, bottom), QPointF(left, bottom), r);
  arcThroughCorner(path, QPointF(left, bottom), QPointF(left, top), r);
  path.closeSubpath();
}

QPainterPath bezierPathWithTriangleInRect(const QRectF& rect, int orientation)
{
  QPainterPath path;
  appendBezierPathWithTriangleInRect(path, rect, orientation);
  return path;
}

void appendBezierPathWithTriangleInRect(QPainterPath& path, const QRectF& rect, int orientation)
{
  const qreal left = rect.left();
  const qreal top = rect.top();
  const qreal right = rect.right();
  const qreal bottom = rect.bottom();
  const QPointF center = rect.center();
  switch (orientation) {
    case 0:
      path.moveTo(left, top);
      path.lineTo(right, top);
      path.lineTo(center.x(), bottom);
      break;
    case 1:
      path.moveTo(left, bottom);
      path.lineTo(right, bottom);
      path.lineTo(center.x(), top);
      break;
    case 2:
      path.moveTo(right, top);
      path.lineTo(right, bottom);
      path.lineTo(left, center.y());
      break;
    default:
      path.moveTo(left, top);
      path.lineTo(left, bottom);
      path.lineTo(right, center.y());
      break;
  }
  path.closeSubpath();
}

void cb_appendBezierPathWithRoundedRectangle(QPainterPath& path, const QRectF& rect, qreal radius)
{
  const qreal left = rect.left();
  const qreal top = rect.top();
  const qreal right = rect.right();
  const qreal bottom = rect.bottom();
  const qreal r = std::clamp<qreal>(radius, 0, std::min(rect.width(), rect.height()) / 2);
  path.moveTo(rect.center().x(), bottom);
  arcThroughCorner(path, QPointF(left, bottom), QPointF(left, top), r);
  arcThroughCorner(path, QPointF(left, top), QPointF(right, top), r);
  arcThroughCorner(path, QPointF(right, top), QPointF(right, bottom), r);
  arcThroughCorner(path, QPointF(right, bottom), QPointF(left, bottom), r);
  path.closeSubpath();
}

QPainterPath zph_bezierPathWithRoundedRect(const QRectF& rect, unsigned corners, qreal radius)
{
  QPainterPath path;
  zph_appendBezierPathWithRoundedRect(path, rect, corners, radius);
  return path;
}

void zph_appendBezierPathWithRoundedRect(QPainterPath& path, const QRectF& rect, unsigned corners, qreal radius)
{
  const qreal r = std::max<qreal>(0, std::min(radius, std::min(rect.width(), rect.height()) / 2));
  const qreal left = rect.left();
  const qreal top = rect.top();
  const qreal right = rect.right();
  const qreal bottom = rect.bottom();
  const QPointF center = rect.center();
  const auto turn = [&](unsigned corner, const QPointF& at, const QPointF& next) {
    if ((corners & corner) != 0) {
      arcThroughCorner(path, at, next, r);
    } else {
      path.lineTo(at);
      path.lineTo(next);
    }
  };
  // Around the rectangle as it looks: from the middle of the bottom edge to
  // the right, up, left and down again.
  path.moveTo(center.x(), bottom);
  turn(ZPHRectCornerBottomRight, QPointF(right, bottom), QPointF(right, center.y()));
  turn(ZPHRectCornerTopRight, QPointF(right, top), QPointF(center.x(), top));
  turn(ZPHRectCornerTopLeft, QPointF(left, top), QPointF(left, center.y()));
  if ((corners & ZPHRectCornerBottomLeft) != 0)
    arcThroughCorner(path, QPointF(left, bottom), QPointF(center.x(), bottom), r);
  else
    path.lineTo(left, bottom);
  path.closeSubpath();
}

void zph_drawInnerShadow(QPainter& painter, const QPainterPath& path, const ZPHShadow& shadow)
{
  if (path.isEmpty())
    return;
  QPainterPath ring;
  ring.setFillRule(Qt::OddEvenFill);
  ring.addRect(path.boundingRect().adjusted(-40, -40, 40, 40));
  ring.addPath(path);
  painter.save();
  painter.setClipPath(path, Qt::IntersectClip);
  shadow.drawForPath(painter, ring);
  painter.restore();
}

void zph_strokeWithGradient(QPainter& painter, const QPainterPath& path, qreal lineWidth,
                            const QGradientStops& gradient, qreal angle)
{
  if (path.isEmpty() || !(lineWidth > 0))
    return;
  QPainterPathStroker stroker;
  stroker.setWidth(lineWidth);
  stroker.setCapStyle(Qt::FlatCap);
  stroker.setJoinStyle(Qt::MiterJoin);
  stroker.setMiterLimit(0);
  const QPainterPath outline = stroker.createStroke(path);
  painter.save();
  painter.fillPath(outline, ZPHGradientAtAngle(outline.boundingRect(), angle, gradient));
  painter.restore();
}

void cb_drawRect(QPainter& painter, const QRectF& rect, const QColor& from, const QColor& to)
{
  if (rect.isEmpty())
    return;
  const QColor start = from.toRgb();
  const QColor end = to.toRgb();
  const int rows = std::max(1, static_cast<int>(std::ceil(rect.height())));
  painter.save();
  painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
  for (int row = 0; row < rows; ++row) {
    const qreal t = rows > 1 ? static_cast<qreal>(row) / (rows - 1) : 0;
    const auto mix = [t](qreal a, qreal b) { return a + (b - a) * t; };
    const QColor color = QColor::fromRgbF(mix(start.redF(), end.redF()), mix(start.greenF(), end.greenF()),
                                          mix(start.blueF(), end.blueF()), mix(start.alphaF(), end.alphaF()));
    const qreal y = rect.top() + row;
    painter.fillRect(QRectF(rect.left(), y, rect.width(), std::min<qreal>(1, rect.bottom() - y)), color);
  }
  painter.restore();
}
