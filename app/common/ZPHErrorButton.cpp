#include "common/ZPHErrorButton.h"

#include "kit/ZPHNamedImage.h"
#include "kit/ZPHWindowShouldDrawActive.h"

#include <QtGui/QPainter>

#include <cmath>

ZPHErrorButton::ZPHErrorButton(QWidget* parent) : QAbstractButton(parent)
{
  setFocusPolicy(Qt::NoFocus);
  setCursor(Qt::ArrowCursor);
  m_activeStateObserver =
      ZPHNotificationCenter::defaultCenter().addObserver(ZPHActiveTrackingWindowShouldDrawActiveChangedNotification,
                                                         QVariant(), this, [this](const ZPHNotification& notification) {
                                                           if (notification.object.value<QObject*>() == window())
                                                             setWindowIsActive(zph_windowShouldDrawActive(this));
                                                         });
}

void ZPHErrorButton::setBackgroundStyle(BackgroundStyle style)
{
  if (m_backgroundStyle == style)
    return;
  m_backgroundStyle = style;
  update();
}

void ZPHErrorButton::setWindowIsActive(bool active)
{
  if (m_windowIsActive == active)
    return;
  m_windowIsActive = active;
  update();
}

QImage ZPHErrorButton::imageForState(bool pressed, bool windowIsActive, BackgroundStyle style)
{
  const bool light = style == BackgroundStyle::Light;
  if (!light && style != BackgroundStyle::Dark)
    return QImage();
  if (pressed)
    return ZPHNamedImage(light ? QStringLiteral("SiteErrorActive") : QStringLiteral("SiteErrorSelectedActive"));
  if (windowIsActive)
    return ZPHNamedImage(light ? QStringLiteral("SiteError") : QStringLiteral("SiteErrorSelected"));
  return ZPHNamedImage(light ? QStringLiteral("SiteErrorInactive") : QStringLiteral("SiteErrorSelectedInactive"));
}

QImage ZPHErrorButton::currentImage() const { return imageForState(isDown(), m_windowIsActive, m_backgroundStyle); }

QSize ZPHErrorButton::sizeHint() const
{
  const QImage regular = ZPHNamedImage(QStringLiteral("SiteError"));
  if (regular.isNull())
    return QSize(16, 16);
  return (QSizeF(regular.size()) / regular.devicePixelRatio()).toSize();
}

void ZPHErrorButton::paintEvent(QPaintEvent*)
{
  const QImage image = currentImage();
  if (image.isNull())
    return;
  // The regular image's size, centred, on whole pixels.
  const QSizeF size = QSizeF(sizeHint());
  const qreal scale = devicePixelRatioF();
  const QPointF origin((width() - size.width()) / 2, (height() - size.height()) / 2);
  const QRectF target(std::round(origin.x() * scale) / scale, std::round(origin.y() * scale) / scale, size.width(),
                      size.height());
  QPainter painter(this);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.drawImage(target, image);
}
