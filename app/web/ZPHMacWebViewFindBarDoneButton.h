#pragma once

// Qt kind: QWidget (QPushButton).

#include "themes/ZPHThemeUpdatingView.h"

#include <QtWidgets/QPushButton>

// The find bar's Done button: a small pill in the theme's search-scope
// colours (ZPHMacWebViewFindBarDoneButtonCell), 45 by 19.
class ZPHMacWebViewFindBarDoneButton : public ZPHThemeUpdatingView<QPushButton> {
  Q_OBJECT

public:
  explicit ZPHMacWebViewFindBarDoneButton(QWidget* parent = nullptr);

  QSize sizeHint() const override { return QSize(45, 19); }
  QSize minimumSizeHint() const override { return sizeHint(); }

protected:
  void paintEvent(QPaintEvent* event) override;
};
