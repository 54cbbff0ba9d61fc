#pragma once

// Qt kind: none (a painter: a plain class that draws for a view).

#include <QtCore/QRectF>

class QAbstractButton;
class QPainter;

// Draws the find bar's Done button: a pill outlined in the theme's
// search-scope stroke, filled with its gradient under a soft inner shadow,
// the title centred in its font colour. Pressed, and in a window that does
// not draw active, it takes the pressed and inactive colours.
class ZPHMacWebViewFindBarDoneButtonCell {
public:
  ZPHMacWebViewFindBarDoneButtonCell() = delete;

  static void drawWithFrame(QPainter& painter, const QRectF& frame, const QAbstractButton& button);
};
