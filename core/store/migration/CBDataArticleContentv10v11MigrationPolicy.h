#pragma once

#include "store/migration/ZPHMigrationManager.h"

// Article-content mapping from model version 10 to 11: the new normalized
// text is made from the stored HTML.
class CBDataArticleContentv10v11MigrationPolicy : public ZPHEntityMigrationPolicy {
public:
  bool createDestinationInstancesForSourceInstance(ZPHManagedObject* source, const ZPHEntityMapping& mapping,
                                                   ZPHMigrationManager* manager, ZPHError* error) override;

  // The normalized search text of an article's HTML (null for null):
  // entities decoded, markup stripped, decomposed, lower-cased, folded
  // without regard to diacritics and width. The one place the step computes
  // it.
  static QString normalizedTextFromHtmlText(const QString& htmlText);
};
