#pragma once

#include "store/graph/ZPHPredicate.h"

#include <QtCore/QList>
#include <QtCore/QString>

struct ZPHSortDescriptor {
  QString keyPath;  // an attribute, or one hop through a to-one relationship
  bool ascending = true;
};

// What to fetch: the objects of an entity and its subentities that match a
// predicate, sorted and limited. The context answers it with objects,
// identifiers or a count (executeFetchRequest, executeFetchRequestForObjectIDs,
// countForFetchRequest).
struct ZPHFetchRequest {
  ZPHFetchRequest() = default;
  explicit ZPHFetchRequest(const QString& entity, const ZPHPredicate& where = ZPHPredicate())
      : entityName(entity), predicate(where)
  {
  }

  QString entityName;
  ZPHPredicate predicate;
  QList<ZPHSortDescriptor> sortDescriptors;
  int fetchLimit = 0;  // 0: no limit
};
