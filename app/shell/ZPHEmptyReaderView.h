#pragma once

#include "themes/ZPHThemeUpdatingView.h"

#include <QtGui/QColor>

// The centre of the main window while it has no views of its own yet: the
// empty article list's background in the current theme, repainted when the
// theme changes.
class ZPHEmptyReaderView : public ZPHThemeUpdatingView<QWidget> {
public:
  explicit ZPHEmptyReaderView(QWidget* parent = nullptr);

  // The current theme's articleListEmptyBackgroundColor.
  QColor backgroundColor() const;

protected:
  void paintEvent(QPaintEvent* event) override;
};
