#pragma once

// Qt kind: QWidget.

#include <QtGui/QColor>
#include <QtWidgets/QWidget>

// Draws a line of `borderHeight` points in `borderColor` along its bottom
// edge, over what the widget draws otherwise (its children stay on top).
// Setting colour or height does not repaint by itself.
class ZPHBottomBorderView : public QWidget {
  Q_OBJECT

public:
  explicit ZPHBottomBorderView(QWidget* parent = nullptr);

  // An invalid colour means none.
  QColor borderColor() const { return m_borderColor; }
  void setBorderColor(const QColor& color) { m_borderColor = color; }
  qreal borderHeight() const { return m_borderHeight; }
  void setBorderHeight(qreal height) { m_borderHeight = height; }

  // The strip the border fills; empty without colour or height.
  QRectF borderRect() const;

protected:
  void paintEvent(QPaintEvent* event) override;

private:
  QColor m_borderColor;
  qreal m_borderHeight = 0;
};
