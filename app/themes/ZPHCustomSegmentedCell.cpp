#include "themes/ZPHCustomSegmentedCell.h"

#include "themes/ZPHCustomSegmentedControl.h"

#include <QtGui/QPainter>

ZPHCustomSegmentedCell::~ZPHCustomSegmentedCell() = default;

void ZPHCustomSegmentedCell::drawWithFrame(const QRectF& frame, QPainter& painter,
                                           ZPHCustomSegmentedControl& controlView)
{
  Q_UNUSED(frame);
  for (int segment = 0; segment < controlView.segmentCount(); ++segment) {
    painter.save();
    drawSegment(segment, controlView.rectForSegment(segment), painter, controlView);
    painter.restore();
  }
}

void ZPHCustomSegmentedCell::drawSegment(int segment, const QRectF& frame, QPainter& painter,
                                         ZPHCustomSegmentedControl& controlView)
{
  const QString label = controlView.labelForSegment(segment);
  if (label.isEmpty())
    return;
  painter.setPen(controlView.palette().color(QPalette::ButtonText));
  painter.setFont(controlView.font());
  painter.drawText(frame, Qt::AlignCenter | Qt::TextSingleLine, label);
}
