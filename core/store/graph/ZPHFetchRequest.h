#pragma once

#include "store/graph/ZPHPredicate.h"

#include <QtCore/QList>
#include <QtCore/QString>
#include <QtCore/QStringList>

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
  // To-one relationships ("metadata") whose objects executeFetchRequest
  // loads along with the results, in one more query each, so that reading
  // them from every result runs no query per object.
  QStringList relationshipKeyPathsForPrefetching;
};
