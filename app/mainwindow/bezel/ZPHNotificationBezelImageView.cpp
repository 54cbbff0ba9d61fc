#include "mainwindow/bezel/ZPHNotificationBezelImageView.h"

#include "kit/ZPHShadow.h"
#include "mainwindow/bezel/ZPHNotificationBezelWindow.h"

#include <QtGui/QPainter>

#include <cmath>

ZPHNotificationBezelImageView::ZPHNotificationBezelImageView(QWidget* parent) : QWidget(parent)
{
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setFocusPolicy(Qt::NoFocus);
}

void ZPHNotificationBezelImageView::setImage(const QImage& image)
{
  m_image = image;
  updateGeometry();
  update();
}

QSize ZPHNotificationBezelImageView::imageSize() const
{
  if (m_image.isNull())
    return QSize(0, 0);
  return (QSizeF(m_image.size()) / m_image.devicePixelRatio()).toSize();
}

void ZPHNotificationBezelImageView::paintEvent(QPaintEvent*)
{
  if (m_image.isNull())
    return;
  const QSizeF size = imageSize();
  const QRectF target(std::floor((width() - size.width()) / 2), std::floor((height() - size.height()) / 2),
                      size.width(), size.height());
  QPainter painter(this);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  ZPHNotificationBezelWindow::contentShadow().draw(
      painter, target, [&](QPainter& shadowPainter) { shadowPainter.drawImage(target, m_image); });
  painter.drawImage(target, m_image);
}
