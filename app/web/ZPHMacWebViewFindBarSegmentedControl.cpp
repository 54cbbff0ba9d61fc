#include "web/ZPHMacWebViewFindBarSegmentedControl.h"

#include "web/ZPHMacWebViewFindBarSegmentedCell.h"

#include <QtGui/QPainter>

ZPHMacWebViewFindBarSegmentedControl::ZPHMacWebViewFindBarSegmentedControl(QWidget* parent)
    : ZPHCustomSegmentedControl(parent)
{
  setCell(std::make_unique<ZPHMacWebViewFindBarSegmentedCell>());
  setSegmentCount(2);
  setWidth(SegmentWidth, 0);
  setWidth(SegmentWidth, 1);
  setFixedSize(sizeHint());
  setFocusPolicy(Qt::NoFocus);
}

QRectF ZPHMacWebViewFindBarSegmentedControl::rectForSegment(int segment) const
{
  if (segment < 0 || segment >= segmentCount())
    return {};
  return QRectF(segment == 0 ? 0 : SegmentWidth + 1 + (segment - 1) * SegmentWidth, 0, SegmentWidth, height());
}

void ZPHMacWebViewFindBarSegmentedControl::paintEvent(QPaintEvent* event)
{
  Q_UNUSED(event);
  QPainter painter(this);
  static_cast<ZPHMacWebViewFindBarSegmentedCell&>(cell()).drawControl(painter, *this);
}
