#pragma once

// Qt kind: QWidget.

#include <QtGui/QColor>
#include <QtGui/QPixmap>
#include <QtWidgets/QWidget>

// The picture of a preferences window's old pane shown over the new one
// while the window changes panes: the background colour, then the picture
// at the top-left corner, all at the overlay's opacity (alpha), which the
// window fades to 0. It stays at the top-left of its parent and takes no
// clicks.
class FRNHPreferenceWindowImageOverlayView : public QWidget {
  Q_OBJECT
  Q_PROPERTY(qreal alpha READ alpha WRITE setAlpha)

public:
  explicit FRNHPreferenceWindowImageOverlayView(QWidget* parent = nullptr);

  QColor backgroundColor() const { return m_backgroundColor; }
  void setBackgroundColor(const QColor& color);
  QPixmap image() const { return m_image; }
  void setImage(const QPixmap& image);
  qreal alpha() const { return m_alpha; }
  void setAlpha(qreal alpha);

protected:
  void paintEvent(QPaintEvent* event) override;

private:
  QColor m_backgroundColor = Qt::gray;
  QPixmap m_image;
  qreal m_alpha = 1;
};
