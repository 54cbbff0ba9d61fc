#pragma once

// Qt kind: none (a painter: a plain class that draws for a view).

#include <QtCore/QRect>
#include <QtCore/QRectF>
#include <QtCore/QString>
#include <QtGui/QImage>

class QPainter;

// Draws one row of the tabs list: in thumbnails view the tab's picture in
// a rounded frame with its title below (and a progress bar over the
// picture while the page loads), in labels view the title alone; the close
// button of a browser tab left of its title; the selection outline around
// a selected tab or one whose context menu is open; a brief glow over a
// tab just dropped. Titles are plain text, cut at the end. Colours come
// from the current theme, made into gradients and shadows once and again
// after a theme change (resetForThemeChange).
class ZPHTabCell {
public:
  static constexpr int ThumbnailsRowHeight = 98;
  static constexpr int LabelsRowHeight = 28;
  static constexpr qreal LabelHeight = 22.0;

  struct State {
    QString title;
    QImage image;
    bool isSelected = false;
    bool highlightedForContextualMenu = false;
    bool hasCloseButton = false;
    bool closeButtonHighlighted = false;
    int tabsViewState = 0;  // 0 thumbnails, 1 labels
    bool dragHighlight = false;
    double dragHighlightFraction = 0;
    bool windowActive = true;
    // Shown while strictly between 0.01 and 0.94 (thumbnails view only).
    double progress = 1.0;
  };

  // The colours of the theme now, for the cells drawn from now on.
  static void resetForThemeChange();

  // ---- Geometry, for a cell frame.
  static QRectF drawingRect(const QRect& cellFrame);
  static QRectF labelContainerRect(const QRect& cellFrame);
  static QRectF labelRect(const QRect& cellFrame, bool hasCloseButton);
  static QRectF imageContainerRect(const QRect& cellFrame, int tabsViewState);
  static QRectF progressBarRect(const QRect& cellFrame, int tabsViewState);
  static QRect rectOfCloseButton(const QRect& cellFrame);
  static bool progressIsDue(double progress) { return progress > 0.01 && progress < 0.94; }

  static void draw(QPainter& painter, const QRect& cellFrame, const State& state);
  // The close button's picture (12 by 12 points).
  static QImage closeButtonImage();
};
