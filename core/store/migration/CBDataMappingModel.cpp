#include "store/migration/CBDataMappingModel.h"

#include "store/entities/CBDataModel.h"
#include "store/graph/ZPHManagedObjectModel.h"
#include "store/migration/CBDataArticleContentv10v11MigrationPolicy.h"
#include "store/migration/ZPHArticleToArticleMigrationPolicy.h"

std::optional<ZPHMappingModel> CBDataMappingModelForVersions(int sourceVersion, int destinationVersion)
{
  if (destinationVersion != sourceVersion + 1)
    return std::nullopt;
  const ZPHManagedObjectModel* source = CBDataManagedObjectModelForVersion(sourceVersion);
  const ZPHManagedObjectModel* destination = CBDataManagedObjectModelForVersion(destinationVersion);
  if (source == nullptr || destination == nullptr)
    return std::nullopt;
  ZPHMappingModel mapping;
  for (const ZPHEntityDescription* entity : destination->entities()) {
    if (entity->isAbstract() || source->entity(entity->name()) == nullptr)
      continue;
    ZPHEntityMapping entityMapping;
    entityMapping.name = entity->name() + QStringLiteral("To") + entity->name();
    entityMapping.sourceEntityName = entity->name();
    entityMapping.destinationEntityName = entity->name();
    entityMapping.userInfo = {{QStringLiteral("sourceModelVersion"), sourceVersion},
                              {QStringLiteral("destinationModelVersion"), destinationVersion}};
    if (entity->name() == CBDataEntityNameArticle)
      entityMapping.makePolicy = [] { return std::make_unique<ZPHArticleToArticleMigrationPolicy>(); };
    else if (entity->name() == CBDataEntityNameArticleContent && sourceVersion == 10)
      entityMapping.makePolicy = [] { return std::make_unique<CBDataArticleContentv10v11MigrationPolicy>(); };
    mapping.entityMappings.append(entityMapping);
  }
  return mapping;
}
