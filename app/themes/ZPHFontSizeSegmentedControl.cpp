#include "themes/ZPHFontSizeSegmentedControl.h"

#include "themes/ZPHFontSizeSegmentedCell.h"

#include <QtGui/QPainter>

#include <cmath>

namespace {
constexpr int DividerGrey = 163;
constexpr qreal ShortDividerInset = 5;
}  // namespace

ZPHFontSizeSegmentedControl::ZPHFontSizeSegmentedControl(QWidget* parent) : ZPHCustomSegmentedControl(parent)
{
  setCell(std::make_unique<ZPHFontSizeSegmentedCell>());
}

void ZPHFontSizeSegmentedControl::setHardDividers(const QList<int>& dividers)
{
  m_hardDividers = dividers;
  update();
}

QList<ZPHFontSizeSegmentedControl::Divider> ZPHFontSizeSegmentedControl::dividers() const
{
  QList<Divider> lines;
  for (int i = 0; i < segmentCount(); ++i) {
    const QRectF rect = rectForSegment(i);
    const qreal x = std::round(rect.x() + rect.width()) + 0.5;
    const bool full = m_hardDividers.contains(i) || isHighlightedForSegment(i) ||
                      (i + 1 < segmentCount() && isHighlightedForSegment(i + 1));
    const qreal bottom = std::round(rect.y() + rect.height());
    const qreal top = std::round(rect.y());
    if (full)
      lines.append({QLineF(x, bottom, x, top), true});
    else
      lines.append({QLineF(x, bottom - ShortDividerInset, x, top + ShortDividerInset), false});
  }
  return lines;
}

void ZPHFontSizeSegmentedControl::paintEvent(QPaintEvent* event)
{
  ZPHCustomSegmentedControl::paintEvent(event);
  if (segmentCount() == 0)
    return;
  QPainter painter(this);
  for (const Divider& divider : dividers()) {
    QColor grey(DividerGrey, DividerGrey, DividerGrey);
    if (!divider.full)
      grey.setAlphaF(0.5);
    painter.setPen(QPen(grey, 1));
    painter.drawLine(divider.line);
  }
}
