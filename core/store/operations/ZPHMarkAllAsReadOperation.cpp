#include "store/operations/ZPHMarkAllAsReadOperation.h"

#include "store/entities/CBDataArticle.h"
#include "store/graph/ZPHManagedObjectContext.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QSet>

std::shared_ptr<ZPHMarkAllAsReadOperation> ZPHMarkAllAsReadOperation::operationWithTreeNodeRepresentedObjects(
    const QList<ZPHRepresentedObject>& objects, bool targetState)
{
  return operationWithArticleManagedObjectIds(zph_managedObjectIDsOfUnreadArticlesInTreeNodeRepresentedObjects(objects),
                                              targetState);
}

QString ZPHMarkAllAsReadOperation::actionName() const
{
  return originalTargetState() ? QCoreApplication::translate("ZPHMarkAllAsReadOperation", "Mark All As Read")
                               : QCoreApplication::translate("ZPHMarkAllAsReadOperation", "Mark All As Unread");
}

std::shared_ptr<ZPHUndoableOperation> ZPHMarkAllAsReadOperation::inverseOperation() const
{
  return std::make_shared<ZPHMarkAllAsReadOperation>(managedObjectIds(), !targetState(), originalTargetState());
}

void ZPHMarkAllAsReadOperation::main()
{
  // A smart feed and a feed of the same selection may both name an article.
  QList<ZPHManagedObjectID> objectIDs;
  QSet<ZPHManagedObjectID> seen;
  for (const ZPHManagedObjectID& objectID : managedObjectIds()) {
    if (!seen.contains(objectID)) {
      seen.insert(objectID);
      objectIDs.append(objectID);
    }
  }

  // The states are written in the store directly: a "Mark All As Read" may
  // cover tens of thousands of articles, none of which needs loading.
  zph_changeInTemporaryContextAndSave([&](ZPHManagedObjectContext* context) {
    CBDataArticle::operation_only_markArticlesWithIDs(objectIDs, targetState(), context);
  });
}
