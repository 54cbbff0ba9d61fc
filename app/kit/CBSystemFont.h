#pragma once

// Qt kind: none (functions).

#include <QtGui/QFont>

// The desktop's general font at `points` (11 when `points` is not above 0).
QFont CBSystemFontOfSize(qreal points);
