#include "store/graph/ZPHManagedObjectID.h"

#include "store/graph/ZPHEntityDescription.h"
#include "store/graph/ZPHPersistentStore.h"

QUrl ZPHManagedObjectID::URIRepresentation() const
{
  if (isNull() || m_store == nullptr)
    return QUrl();
  QUrl url;
  url.setScheme(QStringLiteral("x-zph-store"));
  url.setHost(m_store->identifier().toLower());
  const QString key = isTemporaryID() ? QStringLiteral("t%1").arg(-m_key) : QStringLiteral("p%1").arg(m_key);
  url.setPath(QLatin1Char('/') + m_entity->name() + QLatin1Char('/') + key);
  return url;
}
