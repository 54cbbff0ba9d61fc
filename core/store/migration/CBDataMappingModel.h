#pragma once

#include "store/migration/ZPHMigrationManager.h"

#include <optional>

// The mapping of one step of the object model, from `sourceVersion` to
// `sourceVersion + 1` (CBDataModelOldestVersion up to the current version):
// one entity mapping "<Entity>To<Entity>" for every concrete entity that
// both versions have, with the versions in its user info; the article
// mapping runs ZPHArticleToArticleMigrationPolicy, the article-content
// mapping of step 10 to 11 CBDataArticleContentv10v11MigrationPolicy.
// Nothing for any other pair.
std::optional<ZPHMappingModel> CBDataMappingModelForVersions(int sourceVersion, int destinationVersion);
