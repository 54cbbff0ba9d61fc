#include "store/CBDataArticleContentv10v11MigrationPolicy.h"

#include "foundation/CBEntityDecoding.h"
#include "foundation/CBString.h"
#include "store/graph/ZPHManagedObject.h"

QString CBDataArticleContentv10v11MigrationPolicy::normalizedTextFromHtmlText(const QString& htmlText)
{
  if (htmlText.isNull())
    return QString();
  const QString decoded = cb_stringWithDecodedEntities(htmlText);
  const QString stripped = cb_stringWithStrippedHTML(decoded, int(decoded.size()));
  // Compatibility decomposition folds width (full-width and half-width
  // forms) as it decomposes; dropping the combining marks folds diacritics.
  const QString decomposed = stripped.normalized(QString::NormalizationForm_KD).toLower();
  QString folded;
  folded.reserve(decomposed.size());
  for (const QChar c : decomposed) {
    const QChar::Category category = c.category();
    if (category != QChar::Mark_NonSpacing && category != QChar::Mark_Enclosing)
      folded.append(c);
  }
  return folded;
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
