#pragma once

// Qt kind: QWidget.

#include <QtWidgets/QWidget>

// The faint shade strip along the bottom of the classic layout's list, 4
// points high, transparent to the mouse.
class ZPHClassicLayoutInnerShadowView : public QWidget {
  Q_OBJECT

public:
  static constexpr int Height = 4;
  explicit ZPHClassicLayoutInnerShadowView(QWidget* parent = nullptr);

  // Along the bottom of `bounds`.
  static QRect frameInBounds(const QRect& bounds) { return QRect(0, bounds.height() - Height, bounds.width(), Height); }

protected:
  void paintEvent(QPaintEvent* event) override;
};
