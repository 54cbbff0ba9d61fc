#pragma once

// Qt kind: QWidget.

#include <QtGui/QColor>
#include <QtWidgets/QWidget>

// Fills what it repaints with its colour, a light blue until one is set, and
// is always opaque.
class CBSolidColorView : public QWidget {
  Q_OBJECT

public:
  explicit CBSolidColorView(QWidget* parent = nullptr);

  // The light blue (0.607843137255, 0.788235294118, 1.0) when none was set;
  // it is then kept.
  QColor backgroundColor();
  // Setting the colour it has does nothing; another one repaints.
  void setBackgroundColor(const QColor& color);

protected:
  void paintEvent(QPaintEvent* event) override;

private:
  QColor m_backgroundColor;
};
