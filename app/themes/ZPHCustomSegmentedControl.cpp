#include "themes/ZPHCustomSegmentedControl.h"

#include "themes/ZPHCustomSegmentedCell.h"

#include <QtGui/QPainter>

#include <algorithm>

ZPHCustomSegmentedControl::ZPHCustomSegmentedControl(QWidget* parent)
    : QWidget(parent), m_cell(std::make_unique<ZPHCustomSegmentedCell>())
{
}

ZPHCustomSegmentedControl::~ZPHCustomSegmentedControl() = default;

void ZPHCustomSegmentedControl::setSegmentCount(int count)
{
  count = std::max(0, count);
  while (m_labels.size() > count) m_labels.removeLast();
  while (m_labels.size() < count) m_labels.append(QString());
  update();
}

QString ZPHCustomSegmentedControl::labelForSegment(int segment) const
{
  return segment >= 0 && segment < m_labels.size() ? m_labels.at(segment) : QString();
}

void ZPHCustomSegmentedControl::setLabel(const QString& label, int segment)
{
  if (segment < 0 || segment >= m_labels.size())
    return;
  m_labels[segment] = label;
  update();
}

QRectF ZPHCustomSegmentedControl::rectForSegment(int segment) const
{
  const int count = segmentCount();
  if (segment < 0 || segment >= count)
    return {};
  const qreal segmentWidth = static_cast<qreal>(width()) / count;
  return QRectF(segment * segmentWidth, 0, segmentWidth, height());
}

void ZPHCustomSegmentedControl::setCell(std::unique_ptr<ZPHCustomSegmentedCell> cell)
{
  if (cell == nullptr)
    return;
  m_cell = std::move(cell);
  update();
}

void ZPHCustomSegmentedControl::paintEvent(QPaintEvent*)
{
  QPainter painter(this);
  m_cell->drawWithFrame(rect(), painter, *this);
}
