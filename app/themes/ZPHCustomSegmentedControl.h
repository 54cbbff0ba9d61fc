#pragma once

#include <QtCore/QStringList>
#include <QtWidgets/QWidget>

#include <memory>

class ZPHCustomSegmentedCell;

// The base of the themed segmented controls (the find bar's arrows, the
// text-size control): a row of segments that its cell draws one by one in
// the rectangles rectForSegment() gives. Subclasses bring their own cell.
class ZPHCustomSegmentedControl : public QWidget {
  Q_OBJECT

public:
  explicit ZPHCustomSegmentedControl(QWidget* parent = nullptr);
  ~ZPHCustomSegmentedControl() override;

  int segmentCount() const { return static_cast<int>(m_labels.size()); }
  // Keeps the labels of the segments that remain; new segments have none.
  void setSegmentCount(int count);
  QString labelForSegment(int segment) const;
  void setLabel(const QString& label, int segment);

  // The segment's rectangle in the control: equal shares of the width, the
  // full height. Empty for an index out of range.
  virtual QRectF rectForSegment(int segment) const;

  ZPHCustomSegmentedCell& cell() const { return *m_cell; }
  // Null keeps the current cell.
  void setCell(std::unique_ptr<ZPHCustomSegmentedCell> cell);

protected:
  void paintEvent(QPaintEvent* event) override;

private:
  QStringList m_labels;
  std::unique_ptr<ZPHCustomSegmentedCell> m_cell;
};
