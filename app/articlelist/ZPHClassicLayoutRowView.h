#pragma once

// Qt kind: none (a painter: a plain class that draws for a view).

#include <QtCore/QRectF>
#include <QtGui/QColor>

class QPainter;

// How a row of the article list is painted under its cells: background,
// selection, the separator at its bottom and the contextual-click ring,
// in the current theme's colours. One painter serves every row; the cells
// of a row each paint their part of it. The classic layout's rows draw no
// separator of their own (the table's grid does); the standard layout's do
// (ZPHStandardLayoutRowView).
//
// "Active" is the window's zph_windowShouldDrawActive(), true without a
// window; the list is "focused" while keyboard focus is inside it. Linux
// has no control tint: the Aqua colours are used.
class ZPHClassicLayoutRowView {
public:
  struct State {
    bool selected = false;
    // A header row: its own background and separators.
    bool groupRowStyle = false;
    bool hasArticle = true;
    bool read = false;
    // The next row is a header.
    bool isLastArticleInGroup = false;
    bool contextualHighlight = false;
    bool active = true;
    bool listFocused = false;
  };

  virtual ~ZPHClassicLayoutRowView();

  virtual bool drawsGrid() const { return false; }
  // The cue of an article just opened in the browser.
  virtual double arrowAnimationDuration() const { return 0.7; }
  virtual int arrowWidthMultiplier() const { return 16; }

  static QColor backgroundColorForTableRow(const State& state);
  // Of a selected row; also answered for an unselected one.
  static QColor selectionColorForTableRow(const State& state);
  static QColor seperatorColorForTopOfGroupRow(bool active);
  static QColor seperatorColorForBottomOfGroupRow(bool active);
  static QColor seperatorColorForTableRow(bool active);
  // The bottom strip of the row, 1 point high.
  static QRectF separatorRect(const QRectF& rowRect);
  // The ring's rectangle and pen width for a row.
  static QRectF rightClickHighlightRect(const QRectF& rowRect, bool selected);

  // Paints the part of the row (rowRect, the whole row) that lies in the
  // cell (cellRect): background, selection, separator, ring.
  void paintRow(QPainter* painter, const QRectF& cellRect, const QRectF& rowRect, const State& state) const;
  void drawRightClickHighlight(QPainter* painter, const QRectF& rowRect, const State& state) const;
};
