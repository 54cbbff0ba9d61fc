#pragma once

#include "store/migration/ZPHMigrationManager.h"

// Key of the migration manager's user info holding the map from each
// migrated article to its new metadata record.
extern const QString ZPHArticleToArticleMigrationPolicyArticleMetadataMapTableKey;
// "ZPHArticleToArticleMigrationPolicyArticleMetadataMapTableKey"

// Article mapping from model version 12 to 13: the article's own read and
// starred flags move into an ArticleMetadata record keyed by its best link.
// With other versions in the mapping's user info it does the default steps
// only.
class ZPHArticleToArticleMigrationPolicy : public ZPHEntityMigrationPolicy {
public:
  bool createDestinationInstancesForSourceInstance(ZPHManagedObject* source, const ZPHEntityMapping& mapping,
                                                   ZPHMigrationManager* manager, ZPHError* error) override;
  bool createRelationshipsForDestinationInstance(ZPHManagedObject* destination, const ZPHEntityMapping& mapping,
                                                 ZPHMigrationManager* manager, ZPHError* error) override;

  // The best link of an article of any model version (read by key, as older
  // versions have no typed article class): the permalink trimmed when it
  // begins with "http://", "https://" or "rss://", else the trimmed link
  // when not empty, else the guid.
  static QString bestLinkForSourceArticle(const ZPHManagedObject* article);
};
