#include "foundation/CBGeometry.h"

#include "platform/ZPHLog.h"

QRectF CGRectCenteredHorizontallyInRect(const QRectF& rect, const QRectF& container)
{
  return QRectF(container.center().x() - rect.width() / 2.0, rect.y(), rect.width(), rect.height());
}

QRectF CGRectCenteredVerticallyInRect(const QRectF& rect, const QRectF& container)
{
  return QRectF(rect.x(), container.center().y() - rect.height() / 2.0, rect.width(), rect.height());
}

QRectF CGRectCenteredInRect(const QRectF& rect, const QRectF& container)
{
  return QRectF(container.center().x() - rect.width() / 2.0, container.center().y() - rect.height() / 2.0, rect.width(),
                rect.height());
}

void CBLogCGRect(const QString& label, const QRectF& rect)
{
  qCInfo(zphCore).noquote() << QStringLiteral("%1 : {X = %2; Y = %3; Width = %4; Height = %5}")
                                   .arg(label)
                                   .arg(rect.x())
                                   .arg(rect.y())
                                   .arg(rect.width())
                                   .arg(rect.height());
}
