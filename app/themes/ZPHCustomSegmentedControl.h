#pragma once

// Qt kind: QWidget.

#include <QtCore/QList>
#include <QtCore/QStringList>
#include <QtGui/QIcon>
#include <QtWidgets/QWidget>

#include <memory>

class ZPHCustomSegmentedCell;

// The base of the themed segmented controls (the find bar's arrows, the
// text-size control): a row of segments that its cell draws one by one in
// the rectangles rectForSegment() gives. Subclasses bring their own cell.
//
// Each segment has a label, an image, a tool tip, a width (0: an equal share
// of the control's width), and is enabled and selected or not. A press on
// an enabled segment highlights it until the release, which clicks it when
// it is still over that segment (segmentClicked()).
class ZPHCustomSegmentedControl : public QWidget {
  Q_OBJECT

public:
  explicit ZPHCustomSegmentedControl(QWidget* parent = nullptr);
  ~ZPHCustomSegmentedControl() override;

  int segmentCount() const { return static_cast<int>(m_segments.size()); }
  // Keeps the segments that remain; new segments are empty, enabled and
  // unselected, with width 0.
  void setSegmentCount(int count);

  // Out-of-range segments answer nothing and take nothing.
  QString labelForSegment(int segment) const;
  void setLabel(const QString& label, int segment);
  QIcon imageForSegment(int segment) const;
  void setImage(const QIcon& image, int segment);
  QString toolTipForSegment(int segment) const;
  using QWidget::setToolTip;
  void setToolTip(const QString& toolTip, int segment);
  qreal widthForSegment(int segment) const;
  void setWidth(qreal width, int segment);
  bool isEnabledForSegment(int segment) const;
  using QWidget::setEnabled;
  void setEnabled(bool enabled, int segment);
  bool isSelectedForSegment(int segment) const;
  void setSelected(bool selected, int segment);
  // Selected, or pressed now.
  bool isHighlightedForSegment(int segment) const;
  // The segment the mouse holds down; -1 when none.
  int pressedSegment() const { return m_pressedSegment; }

  // The sum of the segments' set widths.
  qreal totalWidth() const;
  // The segment's rectangle: its width (a width of 0 an equal share of the
  // bounds' width), at the sum of the widths before it, the full height;
  // when the control is wider than the total width, all segments move
  // right by half the difference. Empty for an index out of range.
  virtual QRectF rectForSegment(int segment) const;
  // The first segment whose rectangle holds the point; -1 when none.
  int segmentForPoint(const QPointF& point) const;
  // The tool tip of the segment under the point; null when none.
  QString toolTipForPoint(const QPointF& point) const;

  ZPHCustomSegmentedCell& cell() const { return *m_cell; }
  // Null keeps the current cell.
  void setCell(std::unique_ptr<ZPHCustomSegmentedCell> cell);

Q_SIGNALS:
  void segmentClicked(int segment);

protected:
  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

private:
  struct Segment {
    QString label;
    QIcon image;
    QString toolTip;
    qreal width = 0;
    bool enabled = true;
    bool selected = false;
  };

  bool isValid(int segment) const { return segment >= 0 && segment < m_segments.size(); }
  void setPressedSegment(int segment);

  QList<Segment> m_segments;
  int m_pressedSegment = -1;
  int m_trackedSegment = -1;
  std::unique_ptr<ZPHCustomSegmentedCell> m_cell;
};
