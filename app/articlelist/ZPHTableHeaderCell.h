#pragma once

// Qt kind: none (a painter: a plain class that draws for a view).

#include <QtCore/QRectF>
#include <QtCore/QString>

class QPainter;
class QWidget;

// The painting of one column header of the classic layout: the group
// header's background and lines, the title in bold 12-point text with its
// shadow, and a divider after every column but the last.
class ZPHTableHeaderCell {
public:
  ZPHTableHeaderCell() = delete;

  // Background of a header (also of the corner above the scroller); the
  // widget tells whether its window draws active.
  static void drawBackgroundWithFrame(QPainter* painter, const QRectF& frame, const QWidget* view);
  static void drawWithFrame(QPainter* painter, const QRectF& frame, const QWidget* view, const QString& title,
                            bool lastColumn);
  static void drawDividerWithFrame(QPainter* painter, const QRectF& frame, const QWidget* view);

  // (x + 10, h/2 - t/1.75, w - 10, h - (h/2 - t/1.75)); the bounds' y is not
  // added.
  static QRectF titleRectForBounds(const QRectF& bounds, qreal titleHeight);
  static QRectF sortIndicatorRectForBounds(const QRectF& bounds);
  // (w - 1, 0, 1, h).
  static QRectF dividerRectForBounds(const QRectF& bounds);
};
