#pragma once

// Qt kind: QWidget.

#include <QtGui/QColor>
#include <QtWidgets/QWidget>

// The layer a textured box shows over its content with the article styles:
// it fills itself with its colour, opaque black until set.
class ZPHTexturedBoxOverlayView : public QWidget {
  Q_OBJECT

public:
  explicit ZPHTexturedBoxOverlayView(QWidget* parent = nullptr);

  QColor color() const { return m_color; }
  // Repaints.
  void setColor(const QColor& color);

protected:
  void paintEvent(QPaintEvent* event) override;

private:
  QColor m_color = QColor(0, 0, 0);
};
