#pragma once

// Qt kind: QWidget.

#include <QtWidgets/QWidget>

// The veil over the welcome window while an import runs: a dark blue-grey
// (0.192, 0.2, 0.247) at half opacity, times its own fade (alpha).
class ZPHWelcomeWindowProgressOverlayView : public QWidget {
  Q_OBJECT
  Q_PROPERTY(qreal alpha READ alpha WRITE setAlpha)

public:
  explicit ZPHWelcomeWindowProgressOverlayView(QWidget* parent = nullptr);

  qreal alpha() const { return m_alpha; }
  void setAlpha(qreal alpha);

protected:
  void paintEvent(QPaintEvent* event) override;

private:
  qreal m_alpha = 1;
};
