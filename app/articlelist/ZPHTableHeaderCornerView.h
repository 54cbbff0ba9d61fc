#pragma once

// Qt kind: QWidget.

#include <QtWidgets/QWidget>

// The corner above the vertical scroller, beside the classic layout's
// header: it looks like the header.
class ZPHTableHeaderCornerView : public QWidget {
  Q_OBJECT

public:
  explicit ZPHTableHeaderCornerView(QWidget* parent = nullptr);

protected:
  void paintEvent(QPaintEvent* event) override;
};
