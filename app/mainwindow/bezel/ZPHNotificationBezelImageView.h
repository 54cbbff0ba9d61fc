#pragma once

// Qt kind: QWidget.

#include <QtGui/QImage>
#include <QtWidgets/QWidget>

// The image of a notification bezel, at its own size and centred, over the
// bezel's small dark drop shadow. Draws nothing without an image.
class ZPHNotificationBezelImageView : public QWidget {
  Q_OBJECT

public:
  explicit ZPHNotificationBezelImageView(QWidget* parent = nullptr);

  QImage image() const { return m_image; }
  void setImage(const QImage& image);
  // The image's size in points (0 x 0 without one).
  QSize imageSize() const;

  QSize sizeHint() const override { return imageSize(); }

protected:
  void paintEvent(QPaintEvent* event) override;

private:
  QImage m_image;
};
