#pragma once

// Qt kind: none (a painter: a plain class that draws for a view).

#include "themes/ZPHCustomSegmentedCell.h"

#include <QtGui/QPainterPath>

// Draws the text-size segments of the style popover's font selector: light
// segments with a grey outline whose bottom outer corners are rounded, a
// darker fill for the highlighted segment, and each segment's image centred,
// faded when the segment or the control is disabled.
class ZPHFontSizeSegmentedCell : public ZPHCustomSegmentedCell {
public:
  static constexpr qreal CornerRadius = 5;
  static constexpr qreal DisabledImageOpacity = 0.35;

  void drawSegment(int segment, const QRectF& frame, QPainter& painter,
                   ZPHCustomSegmentedControl& controlView) override;

  // The outline of segment `segment` of `count` in `frame`, on half-point
  // lines: the first segment's runs round its bottom-left corner, the last
  // one's round its bottom-right corner, the others are only their top and
  // bottom edges.
  static QPainterPath outlinePath(int segment, int count, const QRectF& frame);
  // The shape filled: the closed outline for the two end segments, the frame
  // one point wider for the others.
  static QPainterPath fillPath(int segment, int count, const QRectF& frame);
};
