#pragma once

// Qt kind: none (a painter: a plain class that draws for a view).

#include <QtCore/QRectF>

class QPainter;
class ZPHCustomSegmentedControl;

// Draws a custom segmented control segment by segment. Subclasses (the find
// bar's and the text-size control's cells) draw the segments themselves.
class ZPHCustomSegmentedCell {
public:
  virtual ~ZPHCustomSegmentedCell();

  // Nothing for a control without segments; otherwise each segment from the
  // first, in the rectangle the control gives for it, with the painter's
  // state saved around each. The count is read again after each segment.
  void drawWithFrame(const QRectF& frame, QPainter& painter, ZPHCustomSegmentedControl& controlView);

  // Draws one segment: its label, centred, in the palette's button text.
  virtual void drawSegment(int segment, const QRectF& frame, QPainter& painter, ZPHCustomSegmentedControl& controlView);
};
