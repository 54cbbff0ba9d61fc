#pragma once

// Qt kind: none (a painter: a plain class that draws for a view).

#include "themes/ZPHCustomSegmentedCell.h"

#include <QtGui/QColor>
#include <QtGui/QPainterPath>

class ZPHMacWebViewFindBarSegmentedControl;

// Draws the find bar's previous/next control: a pill of two halves with a
// left and a right arrow and a divider between them, casting a hard shadow
// one point down, in the current theme's colours. Only the first and the
// last segment draw a body.
class ZPHMacWebViewFindBarSegmentedCell : public ZPHCustomSegmentedCell {
public:
  // The shadow and outline, each segment, then the divider.
  void drawControl(QPainter& painter, ZPHMacWebViewFindBarSegmentedControl& control);
  void drawSegment(int segment, const QRectF& frame, QPainter& painter,
                   ZPHCustomSegmentedControl& controlView) override;

  static QRectF dividerFrame() { return QRectF(22, 0, 1, 19); }
  static QPainterPath outlinePath();
  // The body of the first (0) or the last segment.
  static QPainterPath segmentBodyPath(bool first);
  // The left-pointing (first) or right-pointing arrow.
  static QPainterPath arrowPath(bool first);

  // The arrow's colour for the segment in the control's state.
  static QColor arrowColor(int segment, const ZPHCustomSegmentedControl& control);
};
