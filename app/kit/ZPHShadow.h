#pragma once

// Qt kind: none (a painter: a plain class that draws for a view).

#include <QtCore/QPointF>
#include <QtCore/QRectF>
#include <QtGui/QColor>
#include <QtGui/QPainterPath>

#include <functional>

class QPainter;

// A drop shadow: a colour, a blur radius and an offset. QPainter has no
// shadow state, so a shadow is drawn on its own, before the shape it
// belongs to: draw() paints the shape's silhouette blurred, in the shadow's
// colour, moved by the offset; then the caller paints the shape.
//
// The offset is in the painter's coordinates, where y grows downward: a
// shadow one point below its shape has the offset (0, 1). The blur radius
// spreads the silhouette by about that many points. A shadow without colour
// (an invalid QColor) draws nothing.
class ZPHShadow {
public:
  ZPHShadow() = default;
  ZPHShadow(qreal blurRadius, const QColor& color, const QPointF& offset = QPointF())
      : m_blurRadius(blurRadius), m_color(color), m_offset(offset)
  {
  }

  qreal blurRadius() const { return m_blurRadius; }
  QColor color() const { return m_color; }
  QPointF offset() const { return m_offset; }
  void setShadowWithBlurRadius(qreal blurRadius, const QColor& color, const QPointF& offset);

  // Paints the shadow of what `shape` paints inside `shapeBounds` (its own
  // colours do not matter, only its coverage). The painter's state is kept.
  void draw(QPainter& painter, const QRectF& shapeBounds, const std::function<void(QPainter&)>& shape) const;
  // The shadow of the filled path.
  void drawForPath(QPainter& painter, const QPainterPath& path) const;

private:
  qreal m_blurRadius = 0;
  QColor m_color;
  QPointF m_offset;
};
