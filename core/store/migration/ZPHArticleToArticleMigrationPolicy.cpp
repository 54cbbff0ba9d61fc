#include "store/migration/ZPHArticleToArticleMigrationPolicy.h"

#include "platform/ZPHLog.h"
#include "store/entities/CBDataModel.h"
#include "store/graph/ZPHManagedObject.h"
#include "store/graph/ZPHManagedObjectContext.h"

#include <QtCore/QUuid>

const QString ZPHArticleToArticleMigrationPolicyArticleMetadataMapTableKey =
    QStringLiteral("ZPHArticleToArticleMigrationPolicyArticleMetadataMapTableKey");

namespace {

using MetadataMap = QHash<ZPHManagedObject*, ZPHManagedObject*>;

bool movesStateToMetadata(const ZPHEntityMapping& mapping)
{
  return mapping.userInfo.value(QStringLiteral("sourceModelVersion")).toInt() == 12 &&
         mapping.userInfo.value(QStringLiteral("destinationModelVersion")).toInt() == 13;
}

MetadataMap& metadataMap(ZPHMigrationManager* manager)
{
  std::any& slot = manager->userInfo()[ZPHArticleToArticleMigrationPolicyArticleMetadataMapTableKey];
  if (!slot.has_value())
    slot = std::make_shared<MetadataMap>();
  return *std::any_cast<std::shared_ptr<MetadataMap>&>(slot);
}

}  // namespace

QString ZPHArticleToArticleMigrationPolicy::bestLinkForSourceArticle(const ZPHManagedObject* article)
{
  const QString permalink = article->value(QStringLiteral("permalink")).toString().trimmed();
  if (!permalink.isEmpty() && (permalink.startsWith(QLatin1String("http://"), Qt::CaseInsensitive) ||
                               permalink.startsWith(QLatin1String("https://"), Qt::CaseInsensitive) ||
                               permalink.startsWith(QLatin1String("rss://"), Qt::CaseInsensitive)))
    return permalink;
  const QString link = article->value(QStringLiteral("link")).toString().trimmed();
  if (!link.isEmpty())
    return link;
  return article->value(QStringLiteral("guid")).toString();
}

bool ZPHArticleToArticleMigrationPolicy::createDestinationInstancesForSourceInstance(ZPHManagedObject* source,
                                                                                     const ZPHEntityMapping& mapping,
                                                                                     ZPHMigrationManager* manager,
                                                                                     ZPHError* error)
{
  if (!ZPHEntityMigrationPolicy::createDestinationInstancesForSourceInstance(source, mapping, manager, error))
    return false;
  if (!movesStateToMetadata(mapping))
    return true;
  QString guid = bestLinkForSourceArticle(source);
  bool madeUUID = false;
  if (guid.isEmpty()) {
    qCWarning(zphStore) << "Nil guid for article" << source->objectID().URIRepresentation()
                        << ". Creating a UUID string to use as the guid";
    guid = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    Q_ASSERT(!guid.isEmpty());
    madeUUID = true;
  }
  ZPHManagedObject* metadata = manager->destinationContext()->insertNewObject(CBDataEntityNameArticleMetadata);
  metadata->setValue(QStringLiteral("guid"), guid);
  metadata->setValue(QStringLiteral("read"), source->value(QStringLiteral("read")).toBool());
  metadata->setValue(QStringLiteral("flagged"), source->value(QStringLiteral("starred")).toBool());
  ZPHManagedObject* article = manager->destinationInstancesForEntityMappingNamed(mapping.name, source).last();
  if (madeUUID)
    article->setValue(QStringLiteral("guid"), guid);
  metadataMap(manager).insert(article, metadata);
  return true;
}

bool ZPHArticleToArticleMigrationPolicy::createRelationshipsForDestinationInstance(ZPHManagedObject* destination,
                                                                                   const ZPHEntityMapping& mapping,
                                                                                   ZPHMigrationManager* manager,
                                                                                   ZPHError* error)
{
  if (!ZPHEntityMigrationPolicy::createRelationshipsForDestinationInstance(destination, mapping, manager, error))
    return false;
  if (!movesStateToMetadata(mapping))
    return true;
  ZPHManagedObject* metadata = metadataMap(manager).value(destination);
  Q_ASSERT_X(metadata != nullptr, Q_FUNC_INFO, "No article metadata for article");
  if (metadata != nullptr)
    destination->setRelatedObject(destination->entity()->indexOfProperty(QStringLiteral("metadata")), metadata);
  return true;
}
