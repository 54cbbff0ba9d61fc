#pragma once

// Qt kind: QWidget.

#include <QtWidgets/QWidget>

// The backdrop of the search options window: a rounded rectangle (radius
// 4.5) of white at 95 % opacity over its bounds; the corners stay clear.
class ZPHSearchWindowContentView : public QWidget {
  Q_OBJECT

public:
  explicit ZPHSearchWindowContentView(QWidget* parent = nullptr);

protected:
  void paintEvent(QPaintEvent* event) override;
};
