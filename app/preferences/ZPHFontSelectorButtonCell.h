#pragma once

// Qt kind: none (a painter: a plain class that draws for a view).

#include <QtCore/QRectF>
#include <QtGui/QPainterPath>

class QPainter;
class ZPHFontSelectorButton;

// Draws a button of the font selector: a light bezel (rounded top corners
// with a highlight along the inner top edge for the first button of the
// stack, square with a divider along its top for the others) that darkens
// while the mouse holds it, the family's name set in its own font, centred
// under a soft shadow, and a check mark on the chosen one; title and check
// mark at half opacity while the button is disabled. In the dark theme the
// bezel, outline and title take the dark greys of the button's palette.
class ZPHFontSelectorButtonCell {
public:
  static constexpr qreal CornerRadius = 5;
  static constexpr int FillGrey = 242;
  static constexpr int PressedFillGrey = 230;
  static constexpr int OutlineGrey = 163;
  static constexpr int DividerGrey = 224;
  static constexpr qreal DisabledOpacity = 0.5;

  // The outline of a button of that style in a frame of that size: style 0
  // rounds its top corners; style 1 is its two sides.
  static QPainterPath outlinePath(int styleType, const QSizeF& size);
  // Where the title's top-left corner goes for a title of that size.
  static QPointF titleOrigin(const QSizeF& frame, const QSizeF& title, qreal verticalTweak);

  void draw(QPainter& painter, const QRectF& frame, const ZPHFontSelectorButton& button) const;
};
