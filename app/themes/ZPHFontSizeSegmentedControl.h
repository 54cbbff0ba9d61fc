#pragma once

// Qt kind: QWidget.

#include "themes/ZPHCustomSegmentedControl.h"

#include <QtCore/QLineF>
#include <QtCore/QList>

// The segmented control of the style popover's font selector (narrower and
// wider column, smaller and larger text), its segments drawn by
// ZPHFontSizeSegmentedCell. Over the segments the control strokes a
// divider on each segment's right edge, half a point right of the rounded
// edge, in a grey of 163/255: the full height for a segment listed in
// hardDividers(), for the selected (or pressed) segment and for the one
// just left of it; else faint (half opacity), stopping 5 points short of
// the top and the bottom.
class ZPHFontSizeSegmentedControl : public ZPHCustomSegmentedControl {
  Q_OBJECT

public:
  explicit ZPHFontSizeSegmentedControl(QWidget* parent = nullptr);

  QList<int> hardDividers() const { return m_hardDividers; }
  void setHardDividers(const QList<int>& dividers);

  struct Divider {
    QLineF line;
    bool full = false;  // else faint and shorter
    bool operator==(const Divider&) const = default;
  };
  // The dividers as they are drawn now, segment by segment.
  QList<Divider> dividers() const;

protected:
  void paintEvent(QPaintEvent* event) override;

private:
  QList<int> m_hardDividers;
};
