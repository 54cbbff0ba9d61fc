#pragma once

// Qt kind: QWidget.

#include "themes/ZPHCustomSegmentedControl.h"

// The find bar's previous/next control: two arrow segments of 22 points in
// a pill 45 by 19, drawn by ZPHMacWebViewFindBarSegmentedCell. A click on a
// segment does not leave it selected.
class ZPHMacWebViewFindBarSegmentedControl : public ZPHCustomSegmentedControl {
  Q_OBJECT

public:
  static constexpr qreal SegmentWidth = 22;

  explicit ZPHMacWebViewFindBarSegmentedControl(QWidget* parent = nullptr);

  // Segment 0 at x 0, segment 1 at x 23 (past the divider), full height.
  QRectF rectForSegment(int segment) const override;
  QSize sizeHint() const override { return QSize(45, 19); }

protected:
  void paintEvent(QPaintEvent* event) override;
};
