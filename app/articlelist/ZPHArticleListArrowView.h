#pragma once

// Qt kind: none (a painter: a plain class that draws for a view).

#include <QtCore/QRectF>
#include <QtGui/QPainterPath>

class QPainter;

// The arrow that crosses a row whose article was just opened in the
// browser: a box with a pointed right end, filled left to right with the
// theme's arrow gradient.
class ZPHArticleListArrowView {
public:
  ZPHArticleListArrowView() = delete;

  // Through (x, y+h), (x, y), (x+w-k, y), (x+w, y+h/2), (x+w-k, y+h), with
  // k = h/2 * tan(30 degrees).
  static QPainterPath arrowPath(const QRectF& bounds);
  static void paint(QPainter* painter, const QRectF& bounds);
};
