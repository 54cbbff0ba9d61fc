#include "sharing/ZPHSharingCommandBase.h"

#include "kit/ZPHNamedImage.h"

const QString ZPHSharingCommandBase::CommandIDPrefix = QStringLiteral("com.fernhollow.Zephlin.plugin.sharing.");

ZPHSharingCommandBase::ZPHSharingCommandBase(QString commandID, QString title, QString shortTitle, int type,
                                             QString imageName)
    : m_commandID(std::move(commandID)),
      m_title(std::move(title)),
      m_shortTitle(std::move(shortTitle)),
      m_type(type),
      m_imageName(std::move(imageName))
{
}

bool ZPHSharingCommandBase::validateWithItems(const QList<CBSharableItem>& items) const
{
  return validateOneItemWithAddress(items);
}

QImage ZPHSharingCommandBase::image() const { return m_imageName.isEmpty() ? QImage() : ZPHNamedImage(m_imageName); }

QImage ZPHSharingCommandBase::menuImage() const
{
  if (m_imageName.isEmpty())
    return {};
  const QImage menu = ZPHNamedImage(m_imageName + QStringLiteral("_menu"));
  return menu.isNull() ? image() : menu;
}

bool ZPHSharingCommandBase::isWebAddress(const QUrl& url)
{
  const QString scheme = url.scheme().toLower();
  return url.isValid() && (scheme == QLatin1String("http") || scheme == QLatin1String("https")) &&
         !url.host().isEmpty();
}
