#include "themes/ZPHCustomSegmentedControl.h"

#include "kit/ZPHPlainTextToolTip.h"
#include "themes/ZPHCustomSegmentedCell.h"

#include <QtGui/QHelpEvent>
#include <QtGui/QMouseEvent>
#include <QtGui/QPainter>
#include <QtWidgets/QToolTip>

#include <algorithm>

ZPHCustomSegmentedControl::ZPHCustomSegmentedControl(QWidget* parent)
    : QWidget(parent), m_cell(std::make_unique<ZPHCustomSegmentedCell>())
{
}

ZPHCustomSegmentedControl::~ZPHCustomSegmentedControl() = default;

void ZPHCustomSegmentedControl::setSegmentCount(int count)
{
  count = std::max(0, count);
  while (m_segments.size() > count) m_segments.removeLast();
  while (m_segments.size() < count) m_segments.append(Segment());
  if (m_pressedSegment >= count)
    setPressedSegment(-1);
  // Tool tips follow the segments' rectangles, looked up when asked for.
  update();
}

QString ZPHCustomSegmentedControl::labelForSegment(int segment) const
{
  return isValid(segment) ? m_segments.at(segment).label : QString();
}

void ZPHCustomSegmentedControl::setLabel(const QString& label, int segment)
{
  if (!isValid(segment))
    return;
  m_segments[segment].label = label;
  update();
}

QIcon ZPHCustomSegmentedControl::imageForSegment(int segment) const
{
  return isValid(segment) ? m_segments.at(segment).image : QIcon();
}

void ZPHCustomSegmentedControl::setImage(const QIcon& image, int segment)
{
  if (!isValid(segment))
    return;
  m_segments[segment].image = image;
  update();
}

QString ZPHCustomSegmentedControl::toolTipForSegment(int segment) const
{
  return isValid(segment) ? m_segments.at(segment).toolTip : QString();
}

void ZPHCustomSegmentedControl::setToolTip(const QString& toolTip, int segment)
{
  if (isValid(segment))
    m_segments[segment].toolTip = toolTip;
}

qreal ZPHCustomSegmentedControl::widthForSegment(int segment) const
{
  return isValid(segment) ? m_segments.at(segment).width : 0;
}

void ZPHCustomSegmentedControl::setWidth(qreal width, int segment)
{
  if (!isValid(segment))
    return;
  m_segments[segment].width = std::max<qreal>(0, width);
  update();
}

bool ZPHCustomSegmentedControl::isEnabledForSegment(int segment) const
{
  return isValid(segment) && m_segments.at(segment).enabled;
}

void ZPHCustomSegmentedControl::setEnabled(bool enabled, int segment)
{
  if (!isValid(segment))
    return;
  m_segments[segment].enabled = enabled;
  if (!enabled && m_pressedSegment == segment)
    setPressedSegment(-1);
  update();
}

bool ZPHCustomSegmentedControl::isSelectedForSegment(int segment) const
{
  return isValid(segment) && m_segments.at(segment).selected;
}

void ZPHCustomSegmentedControl::setSelected(bool selected, int segment)
{
  if (!isValid(segment))
    return;
  m_segments[segment].selected = selected;
  update();
}

bool ZPHCustomSegmentedControl::isHighlightedForSegment(int segment) const
{
  return isSelectedForSegment(segment) || (segment >= 0 && segment == m_pressedSegment);
}

qreal ZPHCustomSegmentedControl::totalWidth() const
{
  qreal total = 0;
  for (const Segment& segment : m_segments) total += segment.width;
  return total;
}

QRectF ZPHCustomSegmentedControl::rectForSegment(int segment) const
{
  const int count = segmentCount();
  if (!isValid(segment))
    return {};
  const qreal share = static_cast<qreal>(width()) / count;
  auto widthOf = [this, share](int index) {
    const qreal set = m_segments.at(index).width;
    return set > 0 ? set : share;
  };
  qreal x = 0;
  for (int index = 0; index < segment; ++index) x += widthOf(index);
  const qreal total = totalWidth();
  if (total > 0 && width() > total)
    x += (width() - total) / 2;
  return QRectF(x, 0, widthOf(segment), height());
}

int ZPHCustomSegmentedControl::segmentForPoint(const QPointF& point) const
{
  for (int segment = 0; segment < segmentCount(); ++segment) {
    if (rectForSegment(segment).contains(point))
      return segment;
  }
  return -1;
}

QString ZPHCustomSegmentedControl::toolTipForPoint(const QPointF& point) const
{
  const int segment = segmentForPoint(point);
  return segment >= 0 ? toolTipForSegment(segment) : QString();
}

void ZPHCustomSegmentedControl::setCell(std::unique_ptr<ZPHCustomSegmentedCell> cell)
{
  if (cell == nullptr)
    return;
  m_cell = std::move(cell);
  update();
}

void ZPHCustomSegmentedControl::setPressedSegment(int segment)
{
  if (m_pressedSegment == segment)
    return;
  m_pressedSegment = segment;
  update();
}

bool ZPHCustomSegmentedControl::event(QEvent* event)
{
  if (event->type() == QEvent::ToolTip) {
    auto* help = static_cast<QHelpEvent*>(event);
    const int segment = segmentForPoint(help->pos());
    const QString tip = segment >= 0 ? toolTipForSegment(segment) : QString();
    if (tip.isEmpty()) {
      QToolTip::hideText();
      event->ignore();
    } else {
      QToolTip::showText(help->globalPos(), ZPHPlainTextToolTip(tip), this, rectForSegment(segment).toRect());
    }
    return true;
  }
  return QWidget::event(event);
}

void ZPHCustomSegmentedControl::paintEvent(QPaintEvent*)
{
  QPainter painter(this);
  m_cell->drawWithFrame(rect(), painter, *this);
}

void ZPHCustomSegmentedControl::mousePressEvent(QMouseEvent* event)
{
  if (event->button() != Qt::LeftButton) {
    QWidget::mousePressEvent(event);
    return;
  }
  const int segment = segmentForPoint(event->position());
  m_trackedSegment = isEnabledForSegment(segment) ? segment : -1;
  setPressedSegment(m_trackedSegment);
  event->accept();
}

void ZPHCustomSegmentedControl::mouseMoveEvent(QMouseEvent* event)
{
  if (m_trackedSegment < 0) {
    QWidget::mouseMoveEvent(event);
    return;
  }
  // Highlighted only while the mouse is over the segment it pressed.
  setPressedSegment(segmentForPoint(event->position()) == m_trackedSegment ? m_trackedSegment : -1);
  event->accept();
}

void ZPHCustomSegmentedControl::mouseReleaseEvent(QMouseEvent* event)
{
  if (event->button() != Qt::LeftButton || m_trackedSegment < 0) {
    QWidget::mouseReleaseEvent(event);
    return;
  }
  const int tracked = m_trackedSegment;
  m_trackedSegment = -1;
  setPressedSegment(-1);
  event->accept();
  if (segmentForPoint(event->position()) == tracked && isEnabledForSegment(tracked) && isEnabled())
    Q_EMIT segmentClicked(tracked);
}
