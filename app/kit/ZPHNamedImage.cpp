#include "kit/ZPHNamedImage.h"

#include <QtCore/QHash>
#include <QtCore/QMutex>
#include <QtCore/QMutexLocker>

namespace {

QImage loadImage(const QString& name)
{
  QImage image(QStringLiteral(":/images/%1@2x.png").arg(name));
  if (!image.isNull()) {
    image.setDevicePixelRatio(2.0);
    return image;
  }
  return QImage(QStringLiteral(":/images/%1.png").arg(name));
}

}  // namespace

QImage ZPHNamedImage(const QString& name)
{
  if (name.isEmpty() || name.contains(QLatin1Char('/')))
    return {};
  static QMutex mutex;
  static QHash<QString, QImage> images;
  const QMutexLocker locker(&mutex);
  if (const auto found = images.constFind(name); found != images.constEnd())
    return *found;
  const QImage image = loadImage(name);
  if (!image.isNull())
    images.insert(name, image);
  return image;
}
