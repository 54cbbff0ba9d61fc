#pragma once

// Qt kind: QWidget (QPushButton).

#include "themes/ZPHThemeUpdatingView.h"

#include <QtWidgets/QPushButton>

// The tab indicator's rounded background, also what takes its clicks. Its
// state picks the colour: 0 regular, 1 widened (a background tab opened), 2
// pressed; the inactive colours while the main window is not drawn as
// active.
class ZPHTabIndicatorBackgroundView : public ZPHThemeUpdatingView<QPushButton> {
  Q_OBJECT

public:
  explicit ZPHTabIndicatorBackgroundView(QWidget* parent = nullptr);

  int state() const { return m_state; }
  void setState(int state);
  // 1 for true, 0 for false.
  void configureForAnimatedOutState(bool animatedOut) { setState(animatedOut ? 1 : 0); }
  QColor backgroundColor() const;

protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

private:
  int m_state = 0;
};
