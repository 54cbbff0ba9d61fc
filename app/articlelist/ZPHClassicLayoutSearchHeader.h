#pragma once

// Qt kind: QWidget.

#include "articlelist/ZPHArticleSearchGroupHeaderView.h"

#include <QtCore/QRectF>
#include <QtGui/QColor>

// The search header of the classic layout, in the strip above its table:
// the group-row background, the header's lines, a separator at the bottom,
// and the pop-up 3 points above the bottom.
class ZPHClassicLayoutSearchHeader : public ZPHArticleSearchGroupHeaderView {
  Q_OBJECT

public:
  explicit ZPHClassicLayoutSearchHeader(QWidget* parent = nullptr);

  QColor backgroundColorForTableRow() const;
  QColor seperatorColorForGroupRow() const;
  QRectF separatorRect() const { return QRectF(0, height() - 1, width(), 1); }

protected:
  void paintEvent(QPaintEvent* event) override;
  bool isClassic() const override { return true; }
};
