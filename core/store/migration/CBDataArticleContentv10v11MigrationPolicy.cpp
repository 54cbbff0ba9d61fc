#include "store/migration/CBDataArticleContentv10v11MigrationPolicy.h"

#include "store/entities/CBDataArticleContent.h"

#include "store/graph/ZPHManagedObject.h"

QString CBDataArticleContentv10v11MigrationPolicy::normalizedTextFromHtmlText(const QString& htmlText)
{
  // The same text that saving the HTML of a current article content makes.
  return CBDataArticleContent::normalizedTextFromHtmlText(htmlText);
}

bool CBDataArticleContentv10v11MigrationPolicy::createDestinationInstancesForSourceInstance(
    ZPHManagedObject* source, const ZPHEntityMapping& mapping, ZPHMigrationManager* manager, ZPHError* error)
{
  if (!ZPHEntityMigrationPolicy::createDestinationInstancesForSourceInstance(source, mapping, manager, error))
    return false;
  ZPHManagedObject* content = manager->destinationInstancesForEntityMappingNamed(mapping.name, source).last();
  content->setValue(QStringLiteral("normalizedText"),
                    normalizedTextFromHtmlText(source->value(QStringLiteral("htmlText")).toString()));
  return true;
}
