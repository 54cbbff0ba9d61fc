#pragma once

// Qt kind: QWidget.

#include <QtGui/QColor>
#include <QtWidgets/QWidget>

// Fills itself with a colour; draws nothing without one. It tells Qt it
// paints every pixel (opaque) only when asked to.
class ZPHSimpleColorView : public QWidget {
  Q_OBJECT

public:
  explicit ZPHSimpleColorView(QWidget* parent = nullptr);

  // An invalid colour means none. A different colour repaints.
  QColor backgroundColor() const { return m_backgroundColor; }
  void setBackgroundColor(const QColor& color);

  bool shouldBeOpaque() const { return m_shouldBeOpaque; }
  void setShouldBeOpaque(bool opaque);
  bool isOpaque() const { return testAttribute(Qt::WA_OpaquePaintEvent); }

protected:
  void paintEvent(QPaintEvent* event) override;

private:
  QColor m_backgroundColor;
  bool m_shouldBeOpaque = false;
};
