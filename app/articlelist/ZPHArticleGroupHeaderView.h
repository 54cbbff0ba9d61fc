#pragma once

// Qt kind: none (a painter: a plain class that draws for a view).

#include <QtCore/QRectF>
#include <QtCore/QString>
#include <QtGui/QFont>

class QPainter;

// The header row of a date group in the standard layout ("Today",
// "Yesterday", "March 2026"): painted by the list's delegate, as the rows
// are. The title shows each word capitalised in bold 13-point text, 8
// points from the left, over the group-row background with the two top
// lines; text and lines follow the theme and the window's active state.
class ZPHArticleGroupHeaderView {
public:
  ZPHArticleGroupHeaderView() = delete;

  static constexpr qreal TitleX = 8;

  // Each word with an initial capital, the rest in lower case; empty for
  // no title.
  static QString titleForDisplay(const QString& title);
  static QFont titleFont();
  // The title's frame: sized to fit, at x = 8, centred vertically (bounds in
  // the header's coordinates), made integral.
  static QRectF titleFrame(const QString& title, const QRectF& bounds);

  // Background in `background` (the row's), the top line and the one under
  // it, then the title with its shadow.
  static void paint(QPainter* painter, const QRectF& bounds, const QString& title, const QColor& background,
                    bool active);
  // The lines alone (also drawn by the classic search header).
  static void paintLines(QPainter* painter, const QRectF& bounds, bool active);
  static void paintTitle(QPainter* painter, const QRectF& bounds, const QString& title);
};
