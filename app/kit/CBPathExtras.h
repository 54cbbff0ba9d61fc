#pragma once

// Qt kind: none (functions).

#include <QtCore/QRectF>
#include <QtGui/QColor>
#include <QtGui/QGradient>
#include <QtGui/QPainterPath>

class QPainter;
class ZPHShadow;

// Path builders and path drawing of the older drawing code, on QPainterPath.
// Coordinates are the painter's: y grows downward.

// A rounded rectangle of four quarter arcs of `cornerRadius`, which is not
// clamped. Nothing is appended for a rectangle whose height is not above 0.
QPainterPath bezierPathWithRoundedRect(const QRectF& rect, qreal cornerRadius);
void appendBezierPathWithRoundedRect(QPainterPath& path, const QRectF& rect, qreal cornerRadius);

// A closed triangle filling the rectangle. Orientation 0: the base along the
// minimum-y edge and the apex at the middle of the maximum-y edge; 1: base
// along maximum y, apex at the middle of minimum y; 2: base along maximum x,
// apex at the middle of minimum x; any other value: base along minimum x,
// apex at the middle of maximum x.
QPainterPath bezierPathWithTriangleInRect(const QRectF& rect, int orientation);
void appendBezierPathWithTriangleInRect(QPainterPath& path, const QRectF& rect, int orientation);

// A rounded rectangle through arcs of `radius` tangent at the corners,
// starting at the middle of the maximum-y edge.
void cb_appendBezierPathWithRoundedRectangle(QPainterPath& path, const QRectF& rect, qreal radius);

// Corners by what they look like on screen.
enum ZPHRectCorner : unsigned {
  ZPHRectCornerBottomLeft = 1,
  ZPHRectCornerBottomRight = 2,
  ZPHRectCornerTopLeft = 4,
  ZPHRectCornerTopRight = 8,
  ZPHRectCornerAll = 15,
};

// A rectangle whose corners in the mask are rounded with `radius`, at most
// half the shorter side; the others are square.
QPainterPath zph_bezierPathWithRoundedRect(const QRectF& rect, unsigned corners, qreal radius);
void zph_appendBezierPathWithRoundedRect(QPainterPath& path, const QRectF& rect, unsigned corners, qreal radius);

// Draws the shadow inside the path only: the shadow of the ring around the
// path (its bounds grown by 40 points, less the path), clipped to the path.
void zph_drawInnerShadow(QPainter& painter, const QPainterPath& path, const ZPHShadow& shadow);

// Strokes the path `lineWidth` wide (flat caps, mitre joins that bevel at
// once) and fills the stroke with a gradient at `angle` degrees across it
// (see ZPHGradientAtAngle).
void zph_strokeWithGradient(QPainter& painter, const QPainterPath& path, qreal lineWidth,
                            const QGradientStops& gradient, qreal angle);

// Fills the rectangle one-point row by row from its top, each row in the
// colour that lies that far between `from` (top) and `to` (bottom).
void cb_drawRect(QPainter& painter, const QRectF& rect, const QColor& from, const QColor& to);
