#pragma once

// Qt kind: QWidget (QHeaderView).

#include <QtWidgets/QHeaderView>

// The classic layout's column header, 23 points high, painted in the
// theme's group-header look (ZPHTableHeaderCell).
class ZPHTableHeaderView : public QHeaderView {
  Q_OBJECT

public:
  static constexpr int Height = 23;
  explicit ZPHTableHeaderView(QWidget* parent = nullptr);

  QSize sizeHint() const override;

protected:
  void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;
  void paintEvent(QPaintEvent* event) override;
};
