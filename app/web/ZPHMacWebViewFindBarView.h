#pragma once

// Qt kind: QWidget.

#include "themes/ZPHThemeUpdatingView.h"

// The find bar's background: a vertical gradient between a line along the
// top and a line along the bottom, in the current theme's colours.
class ZPHMacWebViewFindBarView : public ZPHThemeUpdatingView<> {
  Q_OBJECT

public:
  explicit ZPHMacWebViewFindBarView(QWidget* parent = nullptr);

protected:
  void paintEvent(QPaintEvent* event) override;
};
