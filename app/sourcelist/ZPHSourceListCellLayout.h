#pragma once

// Qt kind: none (a value type).

#include <QtCore/QRect>
#include <QtCore/QSize>

class QFont;

// Where the parts of one source list row go: the title, the error button,
// the unread badge and a section header's button. One answer serves both
// the drawing and the clicks. Positions are in the row's cell, whose right
// edge the rightmost part touches; parts are 6 points apart, and a part of
// no width takes no gap.
struct ZPHSourceListCellLayout {
  // Between the parts, and to the left of a header's title.
  static constexpr int Margin = 6;
  // Between a header's title and its button.
  static constexpr int HeaderButtonGap = 5;

  QRect textRect;
  // Empty when there is no error button, no badge, no header button.
  QRect errorButtonRect;
  QRect badgeRect;
  QRect headerButtonRect;

  // A feed or folder: the title from `textX` on, then the error button (of
  // `errorButtonSize`; empty for none), then the badge of `badgeWidth`
  // (0 for none) at the right edge.
  static ZPHSourceListCellLayout feedCell(const QRect& cell, int textX, int badgeWidth, const QSize& errorButtonSize);
  // A smart feed: the title from `textX` on, the badge after it; the title
  // always stops 6 points before the badge, even one of no width.
  static ZPHSourceListCellLayout smartFeedCell(const QRect& cell, int textX, int badgeWidth);
  // A section header: the title 6 points in; the button (of `buttonSize`;
  // empty for none) at the right edge, the title stopping 5 points before
  // it (the title gives way, not the button); without a button the title
  // stops 6 points before the edge.
  static ZPHSourceListCellLayout groupCell(const QRect& cell, const QSize& buttonSize);

  // The badge's width: 0 for a count under 1, else one digit width per
  // digit of the count plus 2 points (the digit width is the width of "9",
  // cut down to whole points).
  static int chickletWidth(qint64 count, int digitWidth);
  static int chickletWidth(qint64 count, const QFont& font);
  // The badge's font: the bold system font of size 11.
  static QFont chickletFont();
};
