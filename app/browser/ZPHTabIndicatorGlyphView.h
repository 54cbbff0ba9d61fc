#pragma once

// Qt kind: QWidget.

#include "themes/ZPHThemeUpdatingView.h"

// The tab indicator's glyph: a tab on a bar, 20 by 20, in the theme's glyph
// colour (the inactive one while the main window is not drawn as active).
class ZPHTabIndicatorGlyphView : public ZPHThemeUpdatingView<QWidget> {
  Q_OBJECT

public:
  explicit ZPHTabIndicatorGlyphView(QWidget* parent = nullptr);

  QSize sizeHint() const override { return QSize(20, 20); }

protected:
  void paintEvent(QPaintEvent* event) override;
};
