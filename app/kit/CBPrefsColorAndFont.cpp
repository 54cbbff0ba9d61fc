#include "kit/CBPrefsColorAndFont.h"

#include "kit/CBSystemFont.h"
#include "platform/ZPHUserDefaults.h"

#include <QtCore/QByteArray>
#include <QtCore/QDataStream>
#include <QtCore/QIODevice>
#include <QtGui/QFontDatabase>

namespace {

ZPHUserDefaults& defaults() { return ZPHUserDefaults::standardUserDefaults(); }

// The stream format of a stored colour: fixed, so a colour stored by one
// build reads back in the next.
constexpr QDataStream::Version ColorStreamVersion = QDataStream::Qt_6_0;

}  // namespace

QColor CBPrefsGetColor(const QString& key)
{
  const QVariant stored = defaults().objectForKey(key);
  if (stored.typeId() != QMetaType::QByteArray)
    return QColor(Qt::white);
  QByteArray data = stored.toByteArray();
  QDataStream stream(&data, QIODevice::ReadOnly);
  stream.setVersion(ColorStreamVersion);
  QColor color;
  stream >> color;
  if (stream.status() != QDataStream::Ok || !color.isValid())
    return QColor(Qt::white);
  return color;
}

void CBPrefsSetColor(const QColor& color, const QString& key)
{
  QByteArray data;
  QDataStream stream(&data, QIODevice::WriteOnly);
  stream.setVersion(ColorStreamVersion);
  stream << color;
  defaults().setObject(key, data);
}

QFont CBPrefsGetFont(const QString& nameKey, const QString& sizeKey)
{
  const QString name = defaults().stringForKey(nameKey);
  double size = defaults().doubleForKey(sizeKey);
  if (size < 6.0)
    size = 11.0;
  if (!name.isEmpty() && QFontDatabase::hasFamily(name)) {
    QFont font(name);
    font.setPointSizeF(size);
    return font;
  }
  return CBSystemFontOfSize(size);
}

void CBPrefsSetFont(const QString& fontName, const QString& nameKey, const QString& sizeKey, double size)
{
  defaults().setString(nameKey, fontName);
  defaults().setDouble(sizeKey, size);
}
