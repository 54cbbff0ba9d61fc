#pragma once

// Qt kind: QWidget.

#include "themes/ZPHThemeUpdatingView.h"

// The bar under the source list that holds the add and action buttons and
// the status area. It draws a divider along its top edge (a device pixel in
// the theme's divider colour, lighter while the window is not active, and
// its shadow under it) and a shadow line down its right edge; it repaints
// when the theme changes and when its window becomes or stops being
// active.
class ZPHSourceListBottomContainerBox : public ZPHThemeUpdatingView<QWidget> {
public:
  explicit ZPHSourceListBottomContainerBox(QWidget* parent = nullptr);

protected:
  void paintEvent(QPaintEvent* event) override;
  void changeEvent(QEvent* event) override;
};
