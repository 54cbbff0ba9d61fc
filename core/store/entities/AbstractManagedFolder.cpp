#include "store/entities/AbstractManagedFolder.h"

#include <algorithm>

QList<CBNode*> AbstractManagedFolder::children() const
{
  QList<CBNode*> nodes;
  for (ZPHManagedObject* object : relatedObjects(entity()->indexOfProperty(QStringLiteral("children"))))
    nodes.append(static_cast<CBNode*>(object));
  std::stable_sort(nodes.begin(), nodes.end(),
                   [](const CBNode* a, const CBNode* b) { return a->childindex() < b->childindex(); });
  return nodes;
}
