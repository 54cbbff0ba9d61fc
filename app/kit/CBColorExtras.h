#pragma once

// Qt kind: none (functions).

#include <QtGui/QColor>

// The interface colours of the older drawing code. Greys and borders are made
// once and kept. The cool blue follows the desktop's control tint where
// there is one; Linux has none, so it is always the default tint's blue
// (RGB 82, 120, 197).

// An opaque grey with red = green = blue = level.
QColor cb_grayWithFloat(qreal level);
QColor cb_grayBorderColor();            // white 0.75
QColor cb_darkGrayBorderColor();        // white 0.36
QColor cb_borderColor();                // grey 0.25
QColor cb_grayWindowBackgroundColor();  // grey 0.94

QColor cb_coolBlueColor();
// Works the cool blue out again from the control tint and keeps it.
void cb_updateCoolBlueColor();

// The interface colour: the cool blue.
QColor cb_interfaceColor();
// Nothing to drop: the interface colour has no override here.
void cb_updateInterfaceColor();
// The interface colour shaded by `level`: below 0 blended toward black by
// the level's magnitude, from 0 up blended toward white by the level.
QColor cb_interfaceColor(qreal level);
QColor cb_lightInterfaceColor();  // cb_interfaceColor(0.85)

// `color` blended toward black (the shadow of it) or white (its highlight)
// by `fraction` from 0 to 1; alpha is kept.
QColor cb_shadowWithLevel(const QColor& color, qreal fraction);
QColor cb_highlightWithLevel(const QColor& color, qreal fraction);
