#pragma once

#include "store/operations/ZPHUndoableStateOperation.h"
#include "store/tree/ZPHTreeNodeRepresentedObjects.h"

// Marks many articles read or unread in one save
// (CBDataArticle::operation_only_markArticles): all marked for sync, the
// feeds' mark-all-read dates raised, one
// CBMultipleArticlesDidChangeReadStatusNotification. An article listed
// twice is marked once. "Mark All As Read" or "Mark All As Unread".
class ZPHMarkAllAsReadOperation : public ZPHUndoableStateOperation {
public:
  using ZPHUndoableStateOperation::ZPHUndoableStateOperation;

  static std::shared_ptr<ZPHMarkAllAsReadOperation> operationWithArticleManagedObjectIds(
      const QList<ZPHManagedObjectID>& managedObjectIds, bool targetState)
  {
    return std::make_shared<ZPHMarkAllAsReadOperation>(managedObjectIds, targetState);
  }
  // Main thread: over the unread articles of the feeds, folders and other
  // objects of the source list (as they are now; the inverse marks the same
  // articles back).
  static std::shared_ptr<ZPHMarkAllAsReadOperation> operationWithTreeNodeRepresentedObjects(
      const QList<ZPHRepresentedObject>& objects, bool targetState);

  QString actionName() const override;
  std::shared_ptr<ZPHUndoableOperation> inverseOperation() const override;

protected:
  void main() override;
};
