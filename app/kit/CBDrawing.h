#pragma once

// Qt kind: none (functions).

#include <QtCore/QList>
#include <QtCore/QRectF>
#include <QtGui/QColor>
#include <QtGui/QGradient>
#include <QtGui/QImage>
#include <QtGui/QLinearGradient>
#include <QtGui/QPainter>

// Small drawing functions of the older drawing code. Each draws with the
// painter it is given and leaves the painter's state as it found it.

// Fills the rectangle with the colour.
void CBCGRectFillWithColor(QPainter& painter, const QColor& color, const QRectF& rect);
// Opaque white, made once.
QColor CBCGWhiteColor();
void CBCGRectFillWithWhite(QPainter& painter, const QRectF& rect);
// Draws the image upright into the rectangle with the composition mode and
// the opacity (0 to 1).
void CBDrawCGImageInRectWithBlendMode(QPainter& painter, const QImage& image, QPainter::CompositionMode blendMode,
                                      const QRectF& rect, qreal opacity);

// An opaque grey with red = green = blue = level.
QColor CBGray(qreal level);
// An opaque colour from three components from 0 to 255.
QColor CBRGBColor(int red, int green, int blue);
// The interface colour shaded by `level` (cb_interfaceColor(level)).
QColor CBInterfaceColor(qreal level);
// Makes that colour the painter's pen and brush colour.
void CBSetInterfaceColor(QPainter& painter, qreal level);

// A glass-like background: white 0.94, then the upper half shaded from grey
// 0.93 at its top to 0.99, and the lower half from 0.99 to 0.87 at the
// bottom.
void CBDrawGlassInRect(QPainter& painter, const QRectF& rect);
// The same with the four colours given: the upper half's top and bottom,
// then the lower half's top and bottom. With fewer than four colours, the
// default glass.
void CBDrawGlassInRectWithColors(QPainter& painter, const QRectF& rect, const QList<QColor>& colors);

// A linear gradient across `rect` at `angle` degrees, measured as on a
// drawing whose y axis points up: 0 runs from the left edge to the right
// edge, 90 from the bottom edge to the top edge, -90 from the top edge to
// the bottom edge. The stops run from the start to the end.
QLinearGradient ZPHGradientAtAngle(const QRectF& rect, qreal angle, const QGradientStops& stops);
