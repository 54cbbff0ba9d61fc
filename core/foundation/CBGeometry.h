#pragma once

// Rectangle centring for drawing code. No rounding to whole units.

#include <QtCore/QRectF>
#include <QtCore/QString>

// `rect` moved so that its centre's x is the container's; y and size kept.
QRectF CGRectCenteredHorizontallyInRect(const QRectF& rect, const QRectF& container);
// `rect` moved so that its centre's y is the container's; x and size kept.
QRectF CGRectCenteredVerticallyInRect(const QRectF& rect, const QRectF& container);
// `rect` moved so that its centre is the container's; size kept.
QRectF CGRectCenteredInRect(const QRectF& rect, const QRectF& container);

// Logs "label : {X = x; Y = y; Width = w; Height = h}".
void CBLogCGRect(const QString& label, const QRectF& rect);
