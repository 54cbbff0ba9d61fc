#pragma once

// Qt kind: none (functions).

#include <QtCore/QRectF>

// Rectangle helpers of the article list's cell drawing.

// The rectangle with its origin rounded down to whole points; same size.
QRectF CBRectWithIntegralOrigin(const QRectF& rect);
// The rectangle moved half a point right and half a point down (onto the
// middle of the pixel rows, where a one-point line is sharp); same size.
QRectF CBRectOffsetByHalfPoint(const QRectF& rect);
