#pragma once

#include "store/graph/ZPHPredicate.h"

#include <QtCore/QList>
#include <QtCore/QString>

struct ZPHSortDescriptor {
  QString keyPath;  // an attribute, or one hop through a to-one relationship
  bool ascending = true;
};

// What to fetch: the objects (or their identifiers, or their count) of an
// entity and its subentities that match a predicate, sorted and limited.
struct ZPHFetchRequest {
  enum ResultType { ManagedObjectResultType, ManagedObjectIDResultType, CountResultType };

  ZPHFetchRequest() = default;
  explicit ZPHFetchRequest(const QString& entity, const ZPHPredicate& where = ZPHPredicate())
      : entityName(entity), predicate(where)
  {
  }

  QString entityName;
  ZPHPredicate predicate;
  QList<ZPHSortDescriptor> sortDescriptors;
  int fetchLimit = 0;  // 0: no limit
  ResultType resultType = ManagedObjectResultType;
};
